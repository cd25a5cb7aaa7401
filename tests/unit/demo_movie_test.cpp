#include "demo_movie.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>

#include "movie_player.h"
#include "movie_test_support.h"
#include "sound/sound_mixer.h"

namespace swf::testing {
namespace {

TEST(DemoMovie, RegeneratingGivesTheCommittedFile) {
  std::ifstream in(DEMO_MOVIE_PATH, std::ios::binary);
  ASSERT_TRUE(in) << DEMO_MOVIE_PATH;
  const std::vector<std::uint8_t> committed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_TRUE(demo::MakeDemoMovie() == committed)
      << "examples/demo/Demo.swf is stale: rebuild it with the demo_swf target";
}

TEST(DemoMovie, PlaysAMovingLoop) {
  MoviePlayer player;
  LoadOrFail(player, demo::MakeDemoMovie());
  EXPECT_EQ(player.FrameRate(), 30);
  const int frames = player.FrameCount();
  EXPECT_GE(frames, 60);
  Canvas canvas(80, 60);
  std::set<std::uint32_t> centres;
  for (int f = 0; f < frames; f += 10) {
    player.Render(canvas.View(), ScaleMode::ShowAll);
    centres.insert(canvas.At(40, 30) ^ canvas.At(20, 20) ^ canvas.At(60, 45));
    for (int i = 0; i < 10; ++i) player.Advance();
  }
  EXPECT_GT(centres.size(), 3u);  // the picture changes
  EXPECT_TRUE(player.IsPlaying());
}

TEST(DemoMovie, ChimesOnceNotOnEveryLoop) {
  MoviePlayer player;
  LoadOrFail(player, demo::MakeDemoMovie());
  EXPECT_EQ(player.Sound().VoiceCount(), 1u);
  std::vector<std::int16_t> mix(2 * 44100);
  player.Sound().Mix(mix);
  EXPECT_GT(*std::max_element(mix.begin(), mix.end()), 1000) << "the chime is silent";
  EXPECT_EQ(player.Sound().VoiceCount(), 0u);
  for (int f = 0; f < 2 * player.FrameCount(); ++f) player.Advance();
  EXPECT_EQ(player.Sound().VoiceCount(), 0u) << "the chime sounded again as the movie looped";
}

}  // namespace
}  // namespace swf::testing
