#include "settings/settings_layout.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>

namespace tpl {
namespace {

constexpr SettingsOptions kNone{};
constexpr SettingsOptions kAll{true, true, true, true, true};

struct Tops {
  std::optional<int> multimonitor, resolution, scale, keybQuit, mouseQuit;
};

Tops TopsOf(const SettingsLayout& layout) {
  return {layout.multimonitorTop, layout.resolutionTop, layout.scaleTop, layout.keybQuitTop, layout.mouseQuitTop};
}

void ExpectTops(const SettingsLayout& layout, const Tops& expected) {
  const Tops tops = TopsOf(layout);
  EXPECT_EQ(tops.multimonitor, expected.multimonitor) << "chkMultimonitor";
  EXPECT_EQ(tops.resolution, expected.resolution) << "fraResolution";
  EXPECT_EQ(tops.scale, expected.scale) << "fraScaleMode";
  EXPECT_EQ(tops.keybQuit, expected.keybQuit) << "chkKeybQuit";
  EXPECT_EQ(tops.mouseQuit, expected.mouseQuit) << "chkMouseQuit";
}

// The worked layouts of the dialog, with a 400 x 400 area.
TEST(SettingsLayout, NothingOptionalAt96PixelsPerInch) {
  const SettingsLayout layout = LayOutSettingsDialog(kNone, 400, 400, 96);
  ExpectTops(layout, {});
  EXPECT_EQ(layout.offset, 16);
  EXPECT_EQ(layout.windowWidth, 406);
  EXPECT_EQ(layout.windowHeight, 496);
  EXPECT_EQ(layout.closeLeft, 304);
  EXPECT_EQ(layout.closeTop, 432);
  EXPECT_EQ(layout.areaWidth, 400);
  EXPECT_EQ(layout.areaHeight, 400);
  EXPECT_FALSE(layout.widthRaised);
}

TEST(SettingsLayout, AllFiveAt96PixelsPerInch) {
  const SettingsLayout layout = LayOutSettingsDialog(kAll, 400, 400, 96);
  ExpectTops(layout, {416, 440, 488, 536, 560});
  EXPECT_EQ(layout.offset, 160);
  EXPECT_EQ(layout.windowWidth, 406);
  EXPECT_EQ(layout.windowHeight, 640);
  EXPECT_EQ(layout.closeLeft, 304);
  EXPECT_EQ(layout.closeTop, 576);
}

TEST(SettingsLayout, NothingOptionalAt120PixelsPerInch) {
  const SettingsLayout layout = LayOutSettingsDialog(kNone, 400, 400, 120);
  ExpectTops(layout, {});
  EXPECT_EQ(layout.offset, 20);
  EXPECT_EQ(layout.windowHeight, 620);
  EXPECT_EQ(layout.windowWidth, 508);  // s(406) = 507.5, to even
  EXPECT_EQ(layout.closeLeft, 380);
  EXPECT_EQ(layout.closeTop, 540);
  EXPECT_EQ(layout.areaWidth, 400) << "the area itself is never scaled";
  EXPECT_EQ(layout.areaHeight, 400);
}

TEST(SettingsLayout, AllFiveAt120PixelsPerInch) {
  const SettingsLayout layout = LayOutSettingsDialog(kAll, 400, 400, 120);
  ExpectTops(layout, {420, 450, 510, 570, 600});
  EXPECT_EQ(layout.offset, 200);
  EXPECT_EQ(layout.windowHeight, 800);
  EXPECT_EQ(layout.closeTop, 720);
}

// Each control alone takes the first row; a group takes two rows' height.
struct AloneCase {
  const char* label;
  SettingsOptions options;
  Tops tops;
  int offset;
};

TEST(SettingsLayout, EachOptionalControlAloneAt96PixelsPerInch) {
  const AloneCase cases[] = {
      {"multimonitor", {true, false, false, false, false}, {416, {}, {}, {}, {}}, 16},
      {"resolution", {false, true, false, false, false}, {{}, 416, {}, {}, {}}, 40},
      {"scale", {false, false, true, false, false}, {{}, {}, 416, {}, {}}, 40},
      {"keyboard", {false, false, false, true, false}, {{}, {}, {}, 416, {}}, 16},
      {"mouse", {false, false, false, false, true}, {{}, {}, {}, {}, 416}, 16},
      {"keyboard and mouse", {false, false, false, true, true}, {{}, {}, {}, 416, 440}, 40},
      {"multimonitor and mouse", {true, false, false, false, true}, {416, {}, {}, {}, 440}, 40},
  };
  for (const AloneCase& c : cases) {
    SCOPED_TRACE(c.label);
    const SettingsLayout layout = LayOutSettingsDialog(c.options, 400, 400, 96);
    ExpectTops(layout, c.tops);
    EXPECT_EQ(layout.offset, c.offset);
    EXPECT_EQ(layout.windowHeight, 480 + c.offset);
    EXPECT_EQ(layout.closeTop, 416 + c.offset);
  }
}

// A narrow area is widened to 300 pixels, and the window follows the wider area.
TEST(SettingsLayout, AnAreaNarrowerThan300IsWidenedTo300) {
  struct WidthCase {
    int width, pixelsPerInch, areaWidth, windowWidth, closeLeft;
    bool raised;
  };
  const WidthCase cases[] = {
      {250, 96, 300, 306, 204, true},  {250, 120, 300, 382, 255, true},  // s(306) = 382.5, to even
      {299, 96, 300, 306, 204, true},  {300, 96, 300, 306, 204, false},  {-40, 96, 300, 306, 204, true},
      {640, 96, 640, 646, 544, false}, {402, 120, 402, 510, 382, false},  // s(408) = 510, s(306) = 382.5
  };
  for (const WidthCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " at " + std::to_string(c.pixelsPerInch));
    const SettingsLayout layout = LayOutSettingsDialog(kNone, c.width, 400, c.pixelsPerInch);
    EXPECT_EQ(layout.areaWidth, c.areaWidth);
    EXPECT_EQ(layout.windowWidth, c.windowWidth);
    EXPECT_EQ(layout.closeLeft, c.closeLeft);
    EXPECT_EQ(layout.widthRaised, c.raised);
  }
}

TEST(SettingsLayout, TheHeightHasNoMinimumAndRoundsHalvesToEven) {
  EXPECT_EQ(LayOutSettingsDialog(kNone, 400, 0, 96).windowHeight, 96);
  EXPECT_EQ(LayOutSettingsDialog(kNone, 400, 0, 96).closeTop, 32);
  // s(482) = 602.5 and s(418) = 522.5 at 120 pixels per inch.
  EXPECT_EQ(LayOutSettingsDialog(kNone, 400, 402, 120).windowHeight, 602 + 20);
  EXPECT_EQ(LayOutSettingsDialog(kNone, 400, 402, 120).closeTop, 522 + 20);
}

TEST(SettingsLayout, HugeAreasStayWithinRange) {
  const SettingsLayout layout = LayOutSettingsDialog(kAll, 2147483647, -2147483647 - 1, 192);
  EXPECT_EQ(layout.areaWidth, 1000000);
  EXPECT_EQ(layout.areaHeight, -1000000);
  EXPECT_EQ(layout.windowWidth, 2000012);
}

TEST(SettingsLayout, TheCreditLineSitsThreePixelsAboveTheClientBottom) {
  EXPECT_EQ(CreditLineTop(453, 11), 439);
  EXPECT_EQ(CreditLineTop(0, 11), -14);
}

TEST(SettingsLayout, SwitchesAreOnOnlyForExactlyOne) {
  EXPECT_TRUE(SwitchIsOn("1"));
  for (const char* off : {"0", "", " 1", "1 ", "01", "true", "yes"}) EXPECT_FALSE(SwitchIsOn(off)) << off;
  EXPECT_FALSE(AnyOptionShown(kNone));
  EXPECT_TRUE(AnyOptionShown(SettingsOptions{false, false, false, false, true}));
}

TEST(SettingsNumber, ReadsConfigurationNumbersAndNamesTheTextThatIsNone) {
  EXPECT_EQ(SettingsNumber("400"), 400);
  EXPECT_EQ(SettingsNumber("-8"), -8);
  EXPECT_EQ(SettingsNumber("238"), 238);
  for (const char* bad : {"", "abc", "400px", "4 00", "99999999999"}) {
    try {
      static_cast<void>(SettingsNumber(bad));
      ADD_FAILURE() << "no error for '" << bad << "'";
    } catch (const std::invalid_argument& error) {
      EXPECT_EQ(std::string(error.what()), "'" + std::string(bad) + "' is not a valid integer value");
    }
  }
}

}  // namespace
}  // namespace tpl
