// BitmapData, the flash.geom classes and Color as scripts see them: each case
// runs a few statements on the root timeline and compares what they trace.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "movie_player.h"
#include "movie_test_support.h"
#include "swf_writer.h"

namespace swf::testing {
namespace {

constexpr std::uint8_t kGetMember = 0x4E;
constexpr std::uint8_t kSetMember = 0x4F;
constexpr std::uint8_t kCallMethod = 0x52;
constexpr std::uint8_t kNewMethod = 0x53;
constexpr std::uint8_t kInitObject = 0x43;

// Pushes `flash.<package>.<name>` and `new`s it with number arguments.
void New(Actions& a, std::string_view package, std::string_view name, const std::vector<double>& args) {
  for (auto it = args.rbegin(); it != args.rend(); ++it) a.PushDouble(*it);
  a.PushInt(static_cast<std::int32_t>(args.size())).PushString("flash").GetVariable();
  a.PushString(package).Raw(kGetMember).PushString(name).Raw(kNewMethod);
}

// register.method(number arguments), its result left on the stack.
void Call(Actions& a, std::uint8_t reg, std::string_view method, const std::vector<double>& args) {
  for (auto it = args.rbegin(); it != args.rend(); ++it) a.PushDouble(*it);
  a.PushInt(static_cast<std::int32_t>(args.size())).PushRegister(reg).PushString(method).Raw(kCallMethod);
}

void Member(Actions& a, std::uint8_t reg, std::string_view name) { a.PushRegister(reg).PushString(name).Raw(kGetMember); }

struct GraphicsCase {
  std::string name;
  std::function<void(Actions&)> script;
  std::vector<std::string> expected;
};

std::vector<GraphicsCase> Cases() {
  return {
      {"geom_objects_print_their_members",
       [](Actions& a) {
         New(a, "geom", "Point", {1, 2});
         a.Trace();
         New(a, "geom", "Rectangle", {0, 1, 2, 3});
         a.Trace();
         New(a, "geom", "Matrix", {});
         a.Trace();
         New(a, "geom", "ColorTransform", {});
         a.Trace();
       },
       {"(x=1, y=2)", "(x=0, y=1, w=2, h=3)", "(a=1, b=0, c=0, d=1, tx=0, ty=0)",
        "(redMultiplier=1, greenMultiplier=1, blueMultiplier=1, alphaMultiplier=1, redOffset=0, greenOffset=0, "
        "blueOffset=0, alphaOffset=0)"}},
      {"rectangle_edges_and_intersection",
       [](Actions& a) {
         New(a, "geom", "Rectangle", {0, 0, 4, 4});
         a.StoreRegister(1).Pop();
         Member(a, 1, "bottomRight");
         a.Trace();
         New(a, "geom", "Rectangle", {2, 1, 4, 1});
         a.PushInt(1).PushRegister(1).PushString("intersection").Raw(kCallMethod).Trace();
       },
       {"(x=4, y=4)", "(x=2, y=1, w=2, h=1)"}},
      {"matrix_moves_points",
       [](Actions& a) {
         New(a, "geom", "Matrix", {2, 0, 0, 3, 5, 7});
         a.StoreRegister(1).Pop();
         New(a, "geom", "Point", {1, 1});
         a.PushInt(1).PushRegister(1).PushString("transformPoint").Raw(kCallMethod).Trace();
         Call(a, 1, "invert", {});
         a.Pop();
         Member(a, 1, "tx");
         a.Trace();
       },
       {"(x=7, y=10)", "-2.5"}},
      {"bitmap_sizes_beyond_the_limit_are_refused",
       [](Actions& a) {
         New(a, "display", "BitmapData", {2880, 2880});
         a.Trace();
         New(a, "display", "BitmapData", {2881, 1});
         a.Trace();
         New(a, "display", "BitmapData", {0, 1});
         a.Trace();
       },
       {"[object Object]", "undefined", "undefined"}},
      {"bitmap_pixels_and_disposal",
       [](Actions& a) {
         New(a, "display", "BitmapData", {3, 2, 1, 2864434397.0});  // 0xAABBCCDD, transparent
         a.StoreRegister(1).Pop();
         Member(a, 1, "width");
         a.Trace();
         Member(a, 1, "rectangle");
         a.Trace();
         Call(a, 1, "getPixel32", {0, 0});
         a.Trace();
         Call(a, 1, "getPixel", {0, 0});
         a.Trace();
         Call(a, 1, "getPixel", {0});  // too few arguments
         a.Trace();
         Call(a, 1, "setPixel32", {2, 1, 4294967295.0});
         a.Trace();
         Call(a, 1, "getPixel32", {2, 1});
         a.Trace();
         Call(a, 1, "dispose", {});
         a.Pop();
         Member(a, 1, "width");
         a.Trace();
         Call(a, 1, "getPixel32", {0, 0});
         a.Trace();
       },
       {"3", "(x=0, y=0, w=3, h=2)", "-1430532900", "12307676", "-1", "0", "-1", "-1", "-1"}},
      {"bitmap_hit_test_argument_codes",
       [](Actions& a) {
         New(a, "display", "BitmapData", {2, 2});
         a.StoreRegister(1).Pop();
         New(a, "display", "BitmapData", {2, 2});
         a.StoreRegister(2).Pop();
         // Each row: how many arguments go (a point at 0, 0, threshold 1,
         // the second bitmap, then the corner built from the row).
         struct Row {
           int count;         // arguments passed
           bool cornerGiven;  // a fourth argument
           bool cornerHasY;
           double cornerX;
         };
         const Row rows[] = {{0, false, false, 0}, {1, false, false, 0}, {2, false, false, 0},
                             {3, false, false, 0}, {4, true, false, 0},  {4, true, true, 5},
                             {4, true, true, 1}};
         for (const Row& row : rows) {
           if (row.cornerGiven) {
             a.PushString("x").PushDouble(row.cornerX);
             if (row.cornerHasY) a.PushString("y").PushDouble(row.cornerX);
             a.PushInt(row.cornerHasY ? 2 : 1).Raw(kInitObject);
           }
           if (row.count >= 3) a.PushRegister(2);
           if (row.count >= 2) a.PushInt(1);
           if (row.count >= 1) a.PushString("x").PushInt(0).PushString("y").PushInt(0).PushInt(2).Raw(kInitObject);
           a.PushInt(row.count).PushRegister(1).PushString("hitTest").Raw(kCallMethod).Trace();
         }
       },
       // Too few arguments: -1; a corner left out puts the other bitmap at
       // 0, 0; a corner without y: -4.
       {"-1", "-1", "-1", "true", "-4", "false", "true"}},
      {"bitmap_compare_codes",
       [](Actions& a) {
         New(a, "display", "BitmapData", {2, 2});
         a.StoreRegister(1).Pop();
         New(a, "display", "BitmapData", {3, 2});
         a.StoreRegister(2).Pop();
         New(a, "display", "BitmapData", {2, 2});
         a.StoreRegister(3).Pop();
         a.PushRegister(2).PushInt(1).PushRegister(1).PushString("compare").Raw(kCallMethod).Trace();
         a.PushRegister(3).PushInt(1).PushRegister(1).PushString("compare").Raw(kCallMethod).Trace();
         a.PushString("x").PushInt(1).PushRegister(1).PushString("compare").Raw(kCallMethod).Trace();
         a.PushInt(0).PushRegister(1).PushString("compare").Raw(kCallMethod).Trace();
         // The size members are listed by for..in; the methods are not.
         for (const char* name : {"width", "rectangle", "compare"}) {
           a.PushString(name).PushInt(1).PushString("flash").GetVariable().PushString("display").Raw(kGetMember);
           a.PushString("BitmapData").Raw(kGetMember).PushString("prototype").Raw(kGetMember);
           a.PushString("isPropertyEnumerable").Raw(kCallMethod).Trace();
         }
       },
       {"-3", "0", "-2", "-1", "true", "true", "false"}},
      {"empty_clip_defaults",
       [](Actions& a) {
         a.PushInt(5).PushString("mc").PushInt(2).PushString("_root").GetVariable();
         a.PushString("createEmptyMovieClip").Raw(kCallMethod).StoreRegister(1).Pop();
         for (const char* name : {"_currentframe", "_totalframes", "_focusrect", "_lockroot", "cacheAsBitmap"}) {
           Member(a, 1, name);
           a.Trace();
         }
         Call(a, 1, "getBytesTotal", {});
         a.Trace();
         // filters reads back what was set, in a new array each time.
         a.PushInt(0).PushString("flash").GetVariable().PushString("filters").Raw(kGetMember).PushString("BlurFilter");
         a.Raw(kNewMethod).PushInt(1).Raw(0x42 /* InitArray */).StoreRegister(2).Pop();
         a.PushRegister(1).PushString("filters").PushRegister(2).Raw(kSetMember);
         Member(a, 1, "filters");
         a.PushString("length").Raw(kGetMember).Trace();
         // Nothing to measure: the largest twip count in the clip's own space,
         // rounded through single precision in another one.
         a.PushRegister(1).PushInt(1).PushRegister(1).PushString("getBounds").Raw(kCallMethod);
         a.PushString("xMin").Raw(kGetMember).Trace();
         a.PushString("_root").GetVariable().PushInt(1).PushRegister(1).PushString("getBounds").Raw(kCallMethod);
         a.PushString("xMin").Raw(kGetMember).Trace();
       },
       {"0", "1", "null", "false", "false", "0", "1", "6710886.35", "6710886.4"}},
  };
}

class GraphicsScripts : public ::testing::TestWithParam<GraphicsCase> {};

TEST_P(GraphicsScripts, TraceWhatThePlatformPrints) {
  const GraphicsCase& c = GetParam();
  Actions actions;
  c.script(actions);
  MovieBuilder movie(10, 10, 24, 8);
  movie.DoAction(actions).ShowFrame();
  std::vector<std::string> lines;
  MoviePlayer player;
  player.SetTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
  LoadOrFail(player, movie.Build());
  EXPECT_EQ(lines, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, GraphicsScripts, ::testing::ValuesIn(Cases()),
                         [](const auto& tested) { return tested.param.name; });

// A bitmap placed on a timeline as it is shows at its size, and its name
// stands for the clip that shows it, as a shape's does.
TEST(GraphicsClips, PlacedBitmapMeasuresAndNamesItsClip) {
  MovieBuilder movie(10, 10, 24, 8);
  const std::uint16_t bitmap = movie.DefineBitsLossless(3, 2, std::vector<Color>(6, Color{255, 0, 0}), false);
  movie.Place(bitmap, 1, {}, std::nullopt, "pic");
  Actions a;
  a.PushString("_root").GetVariable().PushString("pic").Raw(kGetMember).Trace();
  a.PushString("_root").GetVariable().PushString("_width").Raw(kGetMember).Trace();
  a.PushString("_root").GetVariable().PushString("_height").Raw(kGetMember).Trace();
  movie.DoAction(a).ShowFrame();
  std::vector<std::string> lines;
  MoviePlayer player;
  player.SetTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
  LoadOrFail(player, movie.Build());
  EXPECT_EQ(lines, (std::vector<std::string>{"_level0", "3", "2"}));
}

// Color and MovieClip.transform act on the clip's own colour transform and matrix.
TEST(GraphicsClips, ColorAndTransformReachTheRootClip) {
  Actions a;
  // c = new Color(this); c.setRGB(0x336699); trace(c.getRGB());
  a.PushString("c").PushString("this").GetVariable().PushInt(1).PushString("Color").Raw(0x40).SetVariable();
  a.PushInt(0x336699).PushInt(1).PushString("c").GetVariable().PushString("setRGB").Raw(kCallMethod).Pop();
  a.PushInt(0).PushString("c").GetVariable().PushString("getRGB").Raw(kCallMethod).Trace();
  // trace(c.getTransform().ra); trace(this.transform.colorTransform.redOffset)
  a.PushInt(0).PushString("c").GetVariable().PushString("getTransform").Raw(kCallMethod);
  a.PushString("ra").Raw(kGetMember).Trace();
  a.PushString("this").GetVariable().PushString("transform").Raw(kGetMember);
  a.PushString("colorTransform").Raw(kGetMember).PushString("redOffset").Raw(kGetMember).Trace();
  // _x = 15; trace(this.transform.matrix.tx)
  a.PushString("this").GetVariable().PushString("_x").PushInt(15).Raw(kSetMember);
  a.PushString("this").GetVariable().PushString("transform").Raw(kGetMember);
  a.PushString("matrix").Raw(kGetMember).PushString("tx").Raw(kGetMember).Trace();
  MovieBuilder movie(10, 10, 24, 8);
  movie.DoAction(a).ShowFrame();
  std::vector<std::string> lines;
  MoviePlayer player;
  player.SetTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
  LoadOrFail(player, movie.Build());
  EXPECT_EQ(lines, (std::vector<std::string>{"3368601", "0", "51", "15"}));
}

}  // namespace
}  // namespace swf::testing

namespace swf::testing {
namespace {

// attachBitmap shows the bitmap's pixels in the clip, and a later change of
// the pixels shows on the next frame.
TEST(GraphicsClips, AttachedBitmapIsDrawnAndFollowsItsPixels) {
  Actions first;
  // b = new flash.display.BitmapData(4, 4, false, 0xFF0000); this.attachBitmap(b, 1)
  first.PushString("b");
  New(first, "display", "BitmapData", {4, 4, 0, 0xFF0000});
  first.SetVariable();
  first.PushInt(1).PushString("b").GetVariable().PushInt(2).PushString("this").GetVariable();
  first.PushString("attachBitmap").Raw(kCallMethod).Pop();
  Actions second;
  // b.fillRect(b.rectangle, 0xFF0000FF); stop()
  second.PushDouble(0xFF0000FF).PushString("b").GetVariable().PushString("rectangle").Raw(kGetMember);
  second.PushInt(2).PushString("b").GetVariable().PushString("fillRect").Raw(kCallMethod).Pop().Stop();
  MovieBuilder movie(8, 8, 24, 8);
  movie.DoAction(first).ShowFrame().DoAction(second).ShowFrame();
  MoviePlayer player;
  LoadOrFail(player, movie.Build());
  Canvas canvas(8, 8);
  player.Render(canvas.View(), ScaleMode::NoScale);
  EXPECT_EQ(canvas.At(1, 1), kRed);
  EXPECT_EQ(canvas.At(6, 6), kWhite);  // beyond the bitmap: the background
  player.Advance();
  player.Render(canvas.View(), ScaleMode::NoScale);
  EXPECT_EQ(canvas.At(1, 1), kBlue);
}

}  // namespace
}  // namespace swf::testing

namespace swf::testing {
namespace {

// Once a script moved a placed clip, the timeline's later moves of it keep
// the script's position; a clip no script touched follows them.
TEST(GraphicsClips, ScriptMovedClipsIgnoreTheTimelinesMoves) {
  MovieBuilder movie(100, 100, 24, 8);
  SpriteBuilder empty;
  empty.ShowFrame();
  const std::uint16_t sprite = movie.DefineSprite(empty);
  movie.Place(sprite, 1, Transform::Translate(1, 1), std::nullopt, "moved");
  movie.Place(sprite, 2, Transform::Translate(1, 1), std::nullopt, "still");
  Actions set;
  set.PushString("moved").GetVariable().PushString("_x").PushInt(50).Raw(kSetMember);
  movie.DoAction(set).ShowFrame();
  movie.Move(1, Transform::Translate(10, 10)).Move(2, Transform::Translate(10, 10));
  Actions read;
  for (const char* name : {"moved", "still"}) read.PushString(name).GetVariable().PushString("_x").Raw(kGetMember).Trace();
  read.Stop();
  movie.DoAction(read).ShowFrame();
  std::vector<std::string> lines;
  MoviePlayer player;
  player.SetTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
  LoadOrFail(player, movie.Build());
  player.Advance();
  EXPECT_EQ(lines, (std::vector<std::string>{"50", "10"}));
}

}  // namespace
}  // namespace swf::testing
