#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "case_name.h"
#include "movie_player.h"
#include "movie_test_support.h"
#include "swf_movie.h"
#include "swf_writer.h"

namespace swf::testing {
namespace {

using tpl::testing::CaseName;

Bytes ThreeFrameMovie(bool compress) {
  MovieBuilder movie(320, 240, 12.5, 6);
  movie.SetBackground({1, 2, 3});
  const std::uint16_t id = movie.DefineShape(FilledRectangle(10, 10, {255, 0, 0}));
  movie.Place(id, 1).ShowFrame().ShowFrame().FrameLabel("End").ShowFrame();
  return movie.Build(compress);
}

TEST(MovieParser, ReadsHeaderAndFramesOfPlainAndCompressedFiles) {
  for (const bool compress : {false, true}) {
    SCOPED_TRACE(compress ? "CWS" : "FWS");
    const std::optional<Movie> movie = ParseMovie(ThreeFrameMovie(compress));
    ASSERT_TRUE(movie);
    EXPECT_EQ(movie->version, 6);
    EXPECT_EQ(movie->maxXTwips, 6400);
    EXPECT_EQ(movie->maxYTwips, 4800);
    EXPECT_EQ(movie->frameRate, 12.5);
    EXPECT_EQ(movie->headerFrameCount, 3);
    EXPECT_EQ(movie->root.FrameCount(), 3);
    EXPECT_EQ(movie->background, (Rgba{1, 2, 3, 255}));
    EXPECT_EQ(movie->root.labels.at("end"), 2);
    EXPECT_EQ(movie->root.FrameTags(0).size(), 1u);
    EXPECT_TRUE(movie->root.FrameTags(1).empty());
  }
}

TEST(MovieParser, ReadsEveryShapeVersionWithItsStyles) {
  for (int version = 1; version <= 4; ++version) {
    SCOPED_TRACE(version);
    MovieBuilder movie(100, 100);
    ShapeBuilder shape;
    const int fill = shape.AddSolidFill({10, 20, 30, 128});
    const int line = shape.AddLineStyle(2, {40, 50, 60, 200});
    shape.Rectangle(1, 2, 30, 40, fill, line).MoveTo(50, 50).CurveTo(60, 40, 70, 50);
    const std::uint16_t id = movie.DefineShape(shape, version);
    movie.ShowFrame();
    const std::optional<Movie> parsed = ParseMovie(movie.Build());
    ASSERT_TRUE(parsed);
    const auto& character = parsed->characters.at(id);
    ASSERT_TRUE(std::holds_alternative<std::shared_ptr<const Shape>>(character));
    const Shape& read = *std::get<std::shared_ptr<const Shape>>(character);
    ASSERT_EQ(read.layers.size(), 1u);
    const ShapeLayer& layer = read.layers[0];
    const std::uint8_t alpha = version >= 3 ? 128 : 255;
    ASSERT_EQ(layer.fills.size(), 1u);
    EXPECT_EQ(std::get<Rgba>(layer.fills[0]), (Rgba{10, 20, 30, alpha}));
    ASSERT_EQ(layer.lines.size(), 1u);
    EXPECT_EQ(layer.lines[0].widthTwips, 40);
    EXPECT_EQ(layer.lines[0].color, (Rgba{40, 50, 60, version >= 3 ? std::uint8_t{200} : std::uint8_t{255}}));
    // Four sides, the curve (the fill style is still set) and the line that
    // closes the curve's open outline.
    EXPECT_EQ(layer.fillEdges.size(), 6u);
    ASSERT_EQ(layer.lineEdges.size(), 5u);
    EXPECT_TRUE(layer.lineEdges.back().segment.curved);
    EXPECT_EQ(layer.lineEdges.back().segment.to.x, 1400);
    EXPECT_EQ(layer.fillEdges[0].segment.from.x, 20);
    EXPECT_EQ(layer.fillEdges[0].segment.from.y, 40);
    EXPECT_EQ(read.minX, 20);
    EXPECT_EQ(read.maxY, 1000);
  }
}

TEST(MovieParser, SkipsUnknownTagsAndReadsSpritesWithTheirOwnFrames) {
  MovieBuilder movie(100, 100);
  movie.Tag(200, {1, 2, 3, 4, 5});
  SpriteBuilder sprite;
  sprite.FrameLabel("spin").ShowFrame(4);
  const std::uint16_t id = movie.DefineSprite(sprite);
  movie.Place(id, 1).ShowFrame(2);
  const std::optional<Movie> parsed = ParseMovie(movie.Build());
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->root.FrameCount(), 2);
  const auto& timeline = *std::get<std::shared_ptr<const Timeline>>(parsed->characters.at(id));
  EXPECT_EQ(timeline.FrameCount(), 4);
  EXPECT_EQ(timeline.labels.at("spin"), 0);
}

TEST(MovieParser, ReadsFirstVersionPlacementsAndLongStyleLists) {
  MovieBuilder movie(100, 100);
  ShapeBuilder shape;
  int last = 0;
  for (int i = 0; i < 300; ++i) last = shape.AddSolidFill({static_cast<std::uint8_t>(i), 0, 0});
  shape.Rectangle(0, 0, 10, 10, last);
  const std::uint16_t id = movie.DefineShape(shape, 2);
  movie.PlaceObject1(id, 7, Transform::Translate(3, 4)).ShowFrame();
  movie.RemoveObject1(id, 7).ShowFrame();
  const std::optional<Movie> parsed = ParseMovie(movie.Build());
  ASSERT_TRUE(parsed);
  const Shape& read = *std::get<std::shared_ptr<const Shape>>(parsed->characters.at(id));
  ASSERT_EQ(read.layers.size(), 1u);
  EXPECT_EQ(read.layers[0].fills.size(), 300u);
  EXPECT_EQ(read.layers[0].fillEdges.front().style, 299);
  ASSERT_EQ(parsed->root.FrameTags(0).size(), 1u);
  const auto& place = std::get<PlaceTag>(parsed->root.FrameTags(0)[0]);
  EXPECT_EQ(place.depth, 7);
  EXPECT_EQ(place.character, id);
  EXPECT_FALSE(place.move);
  ASSERT_TRUE(place.matrix);
  EXPECT_EQ(place.matrix->tx, 60);
  EXPECT_EQ(place.matrix->ty, 80);
  ASSERT_EQ(parsed->root.FrameTags(1).size(), 1u);
  EXPECT_EQ(std::get<RemoveTag>(parsed->root.FrameTags(1)[0]).depth, 7);
}

Bytes WithDeclaredLength(Bytes file, std::uint32_t length) {
  for (int i = 0; i < 4; ++i) file[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(length >> (8 * i));
  return file;
}

Bytes Truncated(Bytes file, std::size_t size) {
  file.resize(size);
  return file;
}

struct BadInput {
  std::string name;
  Bytes file;
  bool loads;
  int frames;  // when it loads; -1: any number
};

std::vector<BadInput> BadInputs() {
  const Bytes plain = ThreeFrameMovie(false);
  const Bytes packed = ThreeFrameMovie(true);
  Bytes wrongSignature = plain;
  wrongSignature[0] = 'X';
  Bytes lzma = plain;
  lzma[0] = 'Z';
  Bytes corruptZlib = packed;
  for (std::size_t i = 8; i < corruptZlib.size(); ++i) corruptZlib[i] = 0xA5;
  // A tag whose long length reaches far beyond the file, then nothing.
  Bytes longTag = Truncated(plain, plain.size() - 2);
  longTag.insert(longTag.end(), {0xBF, 0x00, 0xF0, 0xFF, 0xFF, 0xFF, 0x01});
  // DefineShape3 announcing 65535 fill styles that are not there.
  MovieBuilder huge(10, 10);
  huge.Tag(32, {1, 0, 0x00, 0xFF, 0xFF, 0xFF}).ShowFrame();
  return {
      {"empty", {}, false, 0},
      {"signature_only", {'F', 'W', 'S'}, false, 0},
      {"wrong_signature", wrongSignature, false, 0},
      {"lzma_not_supported", lzma, false, 0},
      {"header_cut_in_rect", Truncated(plain, 10), false, 0},
      {"corrupt_zlib", corruptZlib, false, 0},
      {"declares_more_than_64_mib", WithDeclaredLength(plain, 0x7FFFFFFF), false, 0},
      {"compressed_declares_more_than_64_mib", WithDeclaredLength(packed, 0x40000000), false, 0},
      {"declared_length_cuts_frames", WithDeclaredLength(plain, static_cast<std::uint32_t>(plain.size() - 6)), true, 2},
      {"cut_inside_a_tag", Truncated(plain, plain.size() - 7), true, 2},
      {"compressed_stream_cut", Truncated(packed, packed.size() / 2 + 8), true, -1},
      {"tag_longer_than_the_file", longTag, true, 3},
      {"huge_fill_style_count", huge.Build(), true, 1},
  };
}

class MovieParserBadInput : public ::testing::TestWithParam<BadInput> {};

TEST_P(MovieParserBadInput, LoadsWhatCanBeReadAndRefusesTheRest) {
  MoviePlayer player;
  const BadInput& input = GetParam();
  EXPECT_EQ(player.Load(input.file), input.loads);
  EXPECT_EQ(player.HasMovie(), input.loads);
  if (!input.loads) return;
  if (input.frames >= 0) {
    EXPECT_EQ(player.FrameCount(), input.frames);
  }
  for (int i = 0; i < 5; ++i) player.Advance();
  Canvas canvas(8, 8);
  player.Render(canvas.View(), ScaleMode::ShowAll);
}

INSTANTIATE_TEST_SUITE_P(Files, MovieParserBadInput, ::testing::ValuesIn(BadInputs()), CaseName{});

// A host may parse a movie first and start it on another thread (the control
// starts it beside its host): the movie then plays as one loaded from its bytes.
struct TwoStepCase {
  const char* name;
  bool compress;
  bool stopInFirstFrame;
};

std::vector<std::string> PlayedTraces(MoviePlayer& player, std::vector<std::string>& lines) {
  for (int i = 0; i < 3; ++i) player.Advance();
  std::vector<std::string> seen = lines;
  seen.push_back("frame " + std::to_string(player.CurrentFrame()) + "/" + std::to_string(player.FrameCount()) +
                 (player.IsPlaying() ? " playing" : " stopped"));
  return seen;
}

Bytes CountingMovie(const TwoStepCase& c) {
  MovieBuilder movie(100, 100, 12, 6);
  Actions first;
  first.PushString("n").PushInt(1).SetVariable().PushString("first").Trace();
  if (c.stopInFirstFrame) first.Stop();
  movie.DoAction(first).ShowFrame();
  Actions next;
  next.PushString("n").PushString("n").GetVariable().PushInt(1).Add2().SetVariable();
  next.PushString("n").GetVariable().Trace();
  movie.DoAction(next).ShowFrame().DoAction(next).ShowFrame();
  return movie.Build(c.compress);
}

class MovieTwoStepLoad : public ::testing::TestWithParam<TwoStepCase> {};

TEST_P(MovieTwoStepLoad, PlaysAsAMovieLoadedFromItsBytes) {
  const Bytes file = CountingMovie(GetParam());
  std::vector<std::string> oneStepLines, twoStepLines;
  MoviePlayer oneStep;
  oneStep.SetTraceSink([&](std::string_view line) { oneStepLines.emplace_back(line); });
  ASSERT_TRUE(oneStep.Load(file));

  std::optional<Movie> parsed = ParseMovie(file);
  ASSERT_TRUE(parsed);
  MoviePlayer twoStep;
  twoStep.SetTraceSink([&](std::string_view line) { twoStepLines.emplace_back(line); });
  bool started = false;
  std::thread([&] { started = twoStep.Load(std::move(*parsed)); }).join();
  ASSERT_TRUE(started);

  const std::vector<std::string> expected = PlayedTraces(oneStep, oneStepLines);
  EXPECT_EQ(PlayedTraces(twoStep, twoStepLines), expected);
  EXPECT_EQ(expected.front(), "first");
}

INSTANTIATE_TEST_SUITE_P(Movies, MovieTwoStepLoad,
                         ::testing::Values(TwoStepCase{"Plain", false, false}, TwoStepCase{"Compressed", true, false},
                                           TwoStepCase{"StopsInFrameOne", false, true}),
                         CaseName{});

}  // namespace
}  // namespace swf::testing
