#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "movie_player.h"
#include "movie_test_support.h"
#include "swf_writer.h"

namespace swf::testing {
namespace {

// Colour of the middle of a 10 x 10 stage drawn 1:1.
std::uint32_t CentreColour(const MoviePlayer& player) {
  Canvas canvas(10, 10);
  player.Render(canvas.View(), ScaleMode::ShowAll);
  return canvas.At(5, 5);
}

struct Squares {
  std::uint16_t red, blue, green;
};

Squares DefineSquares(MovieBuilder& movie) {
  return {movie.DefineShape(FilledRectangle(10, 10, {255, 0, 0})),
          movie.DefineShape(FilledRectangle(10, 10, {0, 0, 255})),
          movie.DefineShape(FilledRectangle(10, 10, {0, 255, 0}))};
}

// Frame 1 red, frame 2 blue, frame 3 green (by remove, place and replace).
Bytes ThreeColourMovie(const Actions* lastFrameActions = nullptr) {
  MovieBuilder movie(10, 10);
  const Squares squares = DefineSquares(movie);
  movie.Place(squares.red, 1).ShowFrame();
  movie.Remove(1).Place(squares.blue, 2).ShowFrame();
  movie.Replace(2, squares.green);
  if (lastFrameActions) movie.DoAction(*lastFrameActions);
  movie.ShowFrame();
  return movie.Build();
}

TEST(MovieTimeline, ShowsFrameOneAtOnceAndLoopsAtTheEnd) {
  MoviePlayer player;
  LoadOrFail(player, ThreeColourMovie());
  EXPECT_TRUE(player.IsPlaying());
  const std::vector<std::pair<int, std::uint32_t>> expected = {{1, kRed}, {2, kBlue}, {3, kGreen},
                                                               {1, kRed}, {2, kBlue}, {3, kGreen}};
  for (const auto& [frame, colour] : expected) {
    EXPECT_EQ(player.CurrentFrame(), frame);
    EXPECT_EQ(CentreColour(player), colour) << "frame " << frame;
    player.Advance();
  }
}

TEST(MovieTimeline, StopHoldsTheFrameUntilPlay) {
  MoviePlayer player;
  LoadOrFail(player, ThreeColourMovie());
  player.Stop();
  EXPECT_FALSE(player.IsPlaying());
  player.Advance();
  EXPECT_EQ(player.CurrentFrame(), 1);
  player.Play();
  player.Advance();
  EXPECT_EQ(player.CurrentFrame(), 2);
}

TEST(MovieTimeline, StopActionOnTheLastFrameEndsPlaying) {
  const Actions stop = Actions().Stop();
  MoviePlayer player;
  LoadOrFail(player, ThreeColourMovie(&stop));
  for (int i = 0; i < 5; ++i) player.Advance();
  EXPECT_EQ(player.CurrentFrame(), 3);
  EXPECT_FALSE(player.IsPlaying());
  EXPECT_EQ(CentreColour(player), kGreen);
}

TEST(MovieTimeline, GoingBackRebuildsTheDisplayListFromFrameOne) {
  const Actions back = Actions().GotoFrame(0).Stop();
  MoviePlayer player;
  LoadOrFail(player, ThreeColourMovie(&back));
  player.Advance();
  player.Advance();  // frame 3 sends the movie back to frame 1
  EXPECT_EQ(player.CurrentFrame(), 1);
  EXPECT_FALSE(player.IsPlaying());
  EXPECT_EQ(CentreColour(player), kRed);
}

TEST(MovieTimeline, GotoLabelJumpsAheadAndRunsTheTargetFrameActions) {
  MovieBuilder movie(10, 10);
  const Squares squares = DefineSquares(movie);
  movie.Place(squares.red, 1).DoAction(Actions().GotoLabel("Finish")).ShowFrame();
  movie.DoAction(Actions().SetVariable("skipped", "no")).ShowFrame();
  movie.FrameLabel("finish").Replace(1, squares.blue).DoAction(Actions().SetVariable("reached", "yes").Stop());
  movie.ShowFrame();
  MoviePlayer player;
  LoadOrFail(player, movie.Build());
  EXPECT_EQ(player.CurrentFrame(), 3);
  EXPECT_EQ(player.RootVariable("reached"), "yes");
  EXPECT_EQ(player.RootVariable("skipped"), std::nullopt);
  EXPECT_EQ(CentreColour(player), kBlue);
}

TEST(MovieTimeline, SpritesLoopTheirOwnTimelinesWhileTheRootStands) {
  MovieBuilder movie(10, 10);
  const Squares squares = DefineSquares(movie);
  SpriteBuilder sprite;
  sprite.Place(squares.red, 1).ShowFrame();
  sprite.Replace(1, squares.blue).ShowFrame();
  sprite.Replace(1, squares.green).ShowFrame();
  const std::uint16_t id = movie.DefineSprite(sprite);
  movie.Place(id, 1).DoAction(Actions().Stop()).ShowFrame().ShowFrame();
  MoviePlayer player;
  LoadOrFail(player, movie.Build());
  EXPECT_FALSE(player.IsPlaying());
  for (const std::uint32_t colour : {kRed, kBlue, kGreen, kRed, kBlue}) {
    EXPECT_EQ(CentreColour(player), colour);
    player.Advance();
  }
  EXPECT_EQ(player.CurrentFrame(), 1);
}

// How a sprite's tag list ends decides its looping: only a sprite whose End
// tag came and that shows more than one frame loops; tags after its last
// ShowFrame run once as a last frame; one cut short waits at its last frame.
TEST(MovieTimeline, ASpriteLoopsOnlyWhenItEndedAndShowsSeveralFrames) {
  struct Case {
    const char* name;
    bool secondShowFrame;
    bool endTag;
    std::vector<std::string> traced;  // over four frames of the movie
  };
  const Case cases[] = {
      {"Ended", true, true, {"1", "2", "1", "2"}},
      {"CutShort", true, false, {"1", "2"}},
      {"TrailingActionsEnded", false, true, {"1", "2"}},
      {"TrailingActionsCutShort", false, false, {"1", "2"}},
  };
  for (const Case& c : cases) {
    SpriteBuilder sprite;
    sprite.DoAction(Actions().PushString("1").Trace()).ShowFrame();
    sprite.DoAction(Actions().PushString("2").Trace());
    if (c.secondShowFrame) sprite.ShowFrame();
    MovieBuilder movie(10, 10);
    Bytes body = {1, 0, 2, 0};  // sprite 1, two frames declared
    body.insert(body.end(), sprite.TagBytes().begin(), sprite.TagBytes().end());
    if (c.endTag) body.insert(body.end(), {0, 0});
    movie.Tag(39, body);
    movie.Place(1, 1).ShowFrame(4);
    MoviePlayer player;
    std::vector<std::string> traced;
    player.SetTraceSink([&traced](std::string_view line) { traced.emplace_back(line); });
    LoadOrFail(player, movie.Build());
    for (int i = 0; i < 3; ++i) player.Advance();
    EXPECT_EQ(traced, c.traced) << c.name;
  }
}

TEST(MovieTimeline, StopInsideASpriteStopsOnlyThatSprite) {
  MovieBuilder movie(10, 10);
  const Squares squares = DefineSquares(movie);
  SpriteBuilder sprite;
  sprite.Place(squares.red, 1).ShowFrame();
  sprite.Replace(1, squares.blue).DoAction(Actions().Stop()).ShowFrame();
  sprite.Replace(1, squares.green).ShowFrame();
  const std::uint16_t id = movie.DefineSprite(sprite);
  movie.Place(id, 1).ShowFrame(4);
  MoviePlayer player;
  LoadOrFail(player, movie.Build());
  for (int i = 0; i < 3; ++i) player.Advance();
  EXPECT_EQ(player.CurrentFrame(), 4);
  EXPECT_EQ(CentreColour(player), kBlue);
}

TEST(MovieTimeline, ASpriteThatPlacesItselfStaysBounded) {
  MovieBuilder movie(10, 10);
  const Squares squares = DefineSquares(movie);
  // Character ids are handed out in order: the sprite will be id 4.
  SpriteBuilder sprite;
  sprite.Place(squares.red, 1).Place(4, 2).Place(4, 3).ShowFrame();
  const std::uint16_t id = movie.DefineSprite(sprite);
  ASSERT_EQ(id, 4);
  movie.Place(id, 1).ShowFrame(2);
  MoviePlayer player;
  LoadOrFail(player, movie.Build());
  player.Advance();
  EXPECT_EQ(CentreColour(player), kRed);
}

}  // namespace
}  // namespace swf::testing
