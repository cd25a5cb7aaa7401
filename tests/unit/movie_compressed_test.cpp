// Compressed movies: a ZWS (LZMA) file reads as the same movie as its plain
// and zlib forms, and broken ones are refused or cut short, never overrun.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "case_name.h"
#include "movie_player.h"
#include "movie_test_support.h"
#include "swf_movie.h"
#include "swf_writer.h"

namespace swf::testing {
namespace {

using tpl::testing::CaseName;

// Two frames with a red square, and enough repeated tags to compress well.
MovieBuilder SquareMovie() {
  MovieBuilder movie(100, 50, 24, 13);
  movie.SetBackground({0, 0, 255});
  const std::uint16_t square = movie.DefineShape(FilledRectangle(40, 20, {255, 0, 0}));
  movie.Place(square, 1, Transform::Translate(10, 10)).ShowFrame();
  for (int i = 0; i < 50; ++i) movie.DoAction(Actions().SetVariable("v", std::to_string(i)));
  movie.Move(1, Transform::Translate(50, 20)).ShowFrame();
  return movie;
}

TEST(CompressedMovies, LzmaZlibAndPlainFilesHoldTheSameBody) {
  const MovieBuilder movie = SquareMovie();
  const Bytes plain = movie.Build(), zlib = movie.Build(true), lzma = movie.BuildLzma();
  ASSERT_EQ(lzma[0], 'Z');
  EXPECT_LT(lzma.size(), plain.size() / 2);
  const auto plainBody = ReadSwfBody(plain), zlibBody = ReadSwfBody(zlib), lzmaBody = ReadSwfBody(lzma);
  ASSERT_TRUE(plainBody && zlibBody && lzmaBody);
  EXPECT_EQ(lzmaBody->version, 13);
  EXPECT_EQ(lzmaBody->bytes, plainBody->bytes);
  EXPECT_EQ(zlibBody->bytes, plainBody->bytes);
}

TEST(CompressedMovies, LzmaMoviePlaysAndDraws) {
  MoviePlayer player;
  LoadOrFail(player, SquareMovie().BuildLzma());
  Canvas canvas(100, 50);
  player.Render(canvas.View(), ScaleMode::NoScale);
  EXPECT_EQ(canvas.At(20, 20), kRed);
  EXPECT_EQ(canvas.At(70, 35), kBlue);
  player.Advance();
  player.Render(canvas.View(), ScaleMode::NoScale);
  EXPECT_EQ(canvas.At(20, 20), kBlue);
  EXPECT_EQ(canvas.At(70, 35), kRed);
}

struct BrokenCase {
  std::string name;
  std::function<void(Bytes&)> damage;
  bool readable;        // a body comes out at all
  bool whole = false;   // ... and all of it
};

std::vector<BrokenCase> BrokenCases() {
  return {
      // With its length known the data needs no end marker: without the
      // marker's bytes the body still comes out whole, or almost.
      {"end_marker_cut_off", [](Bytes& f) { f.resize(f.size() - 5); }, true},
      {"cut_in_half", [](Bytes& f) { f.resize(f.size() / 2); }, true},
      {"header_only", [](Bytes& f) { f.resize(12); }, false},
      {"no_data", [](Bytes& f) { f.resize(17); }, false},
      // A dictionary larger than the decoder allows is refused.
      {"huge_dictionary", [](Bytes& f) { f[13] = f[14] = f[15] = f[16] = 0xFF; }, false},
      {"bad_properties", [](Bytes& f) { f[12] = 0xFF; }, false},
      {"declared_length_beyond_the_limit", [](Bytes& f) { f[7] = 0x7F; }, false},
      // A shorter declared length cuts the body there.
      {"declared_length_short", [](Bytes& f) { f[4] = 40, f[5] = f[6] = f[7] = 0; }, true, true},
  };
}

class BrokenLzma : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenLzma, IsRefusedOrCutShort) {
  const BrokenCase& c = GetParam();
  const MovieBuilder movie = SquareMovie();
  const Bytes plainBody = ReadSwfBody(movie.Build())->bytes;
  Bytes file = movie.BuildLzma();
  c.damage(file);
  const auto body = ReadSwfBody(file);
  ASSERT_EQ(body.has_value(), c.readable);
  if (!body) return;
  const std::size_t declared = std::size_t{file[4]} | std::size_t{file[5]} << 8 | std::size_t{file[6]} << 16;
  ASSERT_LE(body->bytes.size(), declared - 8);
  // What comes out is the start of the true body.
  EXPECT_TRUE(std::equal(body->bytes.begin(), body->bytes.end(), plainBody.begin()));
  if (c.whole) {
    EXPECT_EQ(body->bytes.size(), declared - 8);
  }
  MoviePlayer player;
  (void)player.Load(file);  // plays what there is, or refuses: never more
}

INSTANTIATE_TEST_SUITE_P(Files, BrokenLzma, ::testing::ValuesIn(BrokenCases()), CaseName{});

}  // namespace
}  // namespace swf::testing
