// The SWF writer checked against bytes worked out by hand and against an
// independent parser (Debian's python3-yaswfp), so that a fault shared by the
// writer and the engine's parser cannot hide.

#include "swf_writer.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace swf::testing {
namespace {

TEST(SwfWriterBytes, MatchesHandWorkedEncodings) {
  struct Case {
    const char* name;
    Bytes written;
    Bytes expected;
  };
  MovieBuilder emptyMovie(1, 1, 24, 6);
  TimelineBuilder place;
  place.Place(1, 1, Transform::Translate(1, 0));
  const Case cases[] = {
      // RECT 0..20 twips both ways in 6-bit fields: 00110 000000 010100 000000 010100 (+3 pad bits).
      {"empty_movie",
       emptyMovie.Build(),
       {'F', 'W', 'S', 6, 18, 0, 0, 0, 0x30, 0x0A, 0x00, 0xA0, 0x00, 0x18, 0x00, 0x00, 0x00, 0x00}},
      // PlaceObject2 (26 << 6 | 8), flags character+matrix, depth 1, id 1,
      // matrix 0 0 00110 010100 000000 (tx 20 twips) + pad.
      {"place", place.TagBytes(), {0x88, 0x06, 0x06, 0x01, 0x00, 0x01, 0x00, 0x0C, 0xA0, 0x00}},
      {"show_frame", TimelineBuilder().ShowFrame().TagBytes(), {0x40, 0x00}},
      {"fscommand_literal",
       Actions().FsCommand("q", "a").Encode(),
       {0x83, 0x0E, 0x00, 'F', 'S', 'C', 'o', 'm', 'm', 'a', 'n', 'd', ':', 'q', 0, 'a', 0, 0x00}},
      {"push_double_one",
       Actions().PushDouble(1).Encode(),
       {0x96, 0x09, 0x00, 6, 0x00, 0x00, 0xF0, 0x3F, 0, 0, 0, 0, 0}},
      {"jump_back_to_itself",
       [] {
         Actions a;
         const int top = a.NewLabel();
         return a.Bind(top).Jump(top).Encode();
       }(),
       {0x99, 0x02, 0x00, 0xFB, 0xFF, 0x00}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.written, c.expected) << c.name;
  }
}

std::string RunYaswfp(const Bytes& file) {
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() /
      ("swf_writer_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".swf");
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  }
  const std::string command = std::string(DEBIAN_PYTHON3) + " " + YASWFP_CHECK_SCRIPT + " " + path.string() + " 2>&1";
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    std::array<char, 4096> buffer{};
    while (std::fgets(buffer.data(), buffer.size(), pipe)) output += buffer.data();
    pclose(pipe);
  }
  std::filesystem::remove(path);
  return output;
}

bool YaswfpAvailable() {
  const std::string command = std::string(DEBIAN_PYTHON3) + " -c 'import yaswfp' 2>/dev/null";
  return std::string(DEBIAN_PYTHON3).find("NOTFOUND") == std::string::npos && std::system(command.c_str()) == 0;
}

TEST(SwfWriterYaswfp, AnIndependentParserReadsWhatWasWritten) {
  if (!YaswfpAvailable()) GTEST_SKIP() << "python3-yaswfp is not installed (scripts/install-deps installs it)";
  MovieBuilder movie(40, 30, 24, 6);
  movie.SetBackground({1, 2, 3});
  ShapeBuilder shape;
  shape.Rectangle(1, 2, 3, 4, shape.AddSolidFill({255, 0, 0, 128}));
  shape.SetStyles(0, 0, shape.AddLineStyle(1, {0, 0, 255})).MoveTo(5, 5).CurveTo(6, 5, 6, 6);
  const std::uint16_t shapeId = movie.DefineShape(shape, 3);
  SpriteBuilder sprite;
  sprite.Place(shapeId, 1).ShowFrame().Remove(1).ShowFrame();
  const std::uint16_t spriteId = movie.DefineSprite(sprite);
  movie.Place(spriteId, 2, Transform::Translate(10, 5)).FrameLabel("start");
  movie.DoAction(Actions().FsCommand("quit", "now").SetVariable("c", "x").FsCommandFromVariables("c", "c").Stop());
  movie.ShowFrame().Move(2, Transform::Translate(11, 5)).ShowFrame();

  const std::string body =
      "SetBackgroundColor [1, 2, 3]\n"
      "DefineShape3 1 bounds (10, 130, 30, 130) fills [[255, 0, 0, 128]] lines [(20, [0, 0, 255, 255])]: "
      "S(move 20 40, fill1 1, fill0 0, line 0) L 60 0 L 0 80 L -60 0 L 0 -80 "
      "S(move 100 100, fill1 0, fill0 0, line 1) C 20 0 0 20\n"
      "DefineSprite 2 frames 2\n"
      "  PlaceObject2 depth 1 character 1 at 0 0\n"
      "  ShowFrame\n"
      "  RemoveObject2 depth 1\n"
      "  ShowFrame\n"
      "PlaceObject2 depth 2 character 2 at 200 100\n"
      "FrameLabel start\n"
      "DoAction GetURL(FSCommand:quit, now); Push(String c); Push(String x); ActionSetVariable; "
      "Push(String FSCommand:); Push(String c); ActionGetVariable; ActionStringAdd; Push(String c); "
      "ActionGetVariable; ActionGetURL2; ActionStop\n"
      "ShowFrame\n"
      "PlaceObject2 depth 2 move at 220 100\n"
      "ShowFrame\n";
  EXPECT_EQ(RunYaswfp(movie.Build()), "FWS version 6 frames 2 size (0, 800, 0, 600) rate 6144\n" + body);
  EXPECT_EQ(RunYaswfp(movie.Build(true)), "CWS version 6 frames 2 size (0, 800, 0, 600) rate 6144\n" + body);
}

}  // namespace
}  // namespace swf::testing
