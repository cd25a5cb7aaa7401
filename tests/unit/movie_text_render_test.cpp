// Drawn text: fonts' glyph outlines through static text records and text
// fields (embedded and device fonts), checked on the pixels they ink.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "case_name.h"
#include "movie_player.h"
#include "movie_test_support.h"
#include "swf_writer.h"
#include "text/text_field.h"

namespace swf::testing {
namespace {

using tpl::testing::CaseName;

void U16(Bytes& out, unsigned value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFFu));
  out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFFu));
}
void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

// A test font of 1024 units to the em: 'A' a box 0..500 wide and 700 high
// above the baseline, 'B' a box 100..500, ' ' nothing; each advances 600.
struct TestGlyph {
  char code;
  double left, right;  // font units; 0, 0 for an empty glyph
};
constexpr TestGlyph kGlyphs[] = {{'A', 0, 500}, {' ', 0, 0}, {'B', 100, 500}};
constexpr int kAdvance = 600, kAscent = 800, kDescent = 224;

Bytes GlyphShape(const TestGlyph& glyph) {
  ShapeBuilder shape;
  // The writer stores pixels as twips (x20): font units go in as units / 20.
  if (glyph.right > glyph.left) {
    shape.Rectangle(glyph.left / 20, -700.0 / 20, (glyph.right - glyph.left) / 20, 700.0 / 20, 1);
  }
  return shape.EncodeRecords(1, 0);
}

// DefineFont2 body after the id: layout, narrow codes and offsets.
Bytes Font2Body() {
  Bytes body{0x80, 0, 4, 'T', 'e', 's', 't'};
  U16(body, static_cast<unsigned>(std::size(kGlyphs)));
  std::vector<Bytes> shapes;
  for (const TestGlyph& glyph : kGlyphs) shapes.push_back(GlyphShape(glyph));
  std::size_t offset = 2 * (std::size(kGlyphs) + 1);
  Bytes table, glyphs;
  for (const Bytes& shape : shapes) {
    U16(table, static_cast<unsigned>(offset));
    offset += shape.size();
    Append(glyphs, shape);
  }
  U16(table, static_cast<unsigned>(offset));  // the code table
  Append(body, table);
  Append(body, glyphs);
  for (const TestGlyph& glyph : kGlyphs) body.push_back(static_cast<std::uint8_t>(glyph.code));
  U16(body, kAscent);
  U16(body, kDescent);
  U16(body, 0);
  for (std::size_t i = 0; i < std::size(kGlyphs); ++i) U16(body, kAdvance);
  for (std::size_t i = 0; i < std::size(kGlyphs); ++i) Append(body, EncodeRect(0, 0, 0, 0));
  U16(body, 0);  // no kerning pairs
  return body;
}

std::uint16_t GlyphIndex(char code) {
  for (std::size_t i = 0; i < std::size(kGlyphs); ++i) {
    if (kGlyphs[i].code == code) return static_cast<std::uint16_t>(i);
  }
  return 0;
}

// DefineText (or DefineText2 with alpha) body after the id: one record of
// `text` at (x, y) pixels, `height` pixels high, each glyph advancing `advance` pixels.
Bytes TextBody(std::uint16_t font, const std::string& text, double x, double y, double height, double advance,
               Color color, bool second) {
  Bytes body = EncodeRect(0, 4000, 0, 2000);
  Append(body, EncodeMatrix({}));
  body.push_back(8);   // glyph bits
  body.push_back(16);  // advance bits
  body.push_back(0x80 | 0x08 | 0x04 | 0x02 | 0x01);
  U16(body, font);
  body.insert(body.end(), {color.r, color.g, color.b});
  if (second) body.push_back(color.a);
  U16(body, static_cast<unsigned>(static_cast<std::int16_t>(x * 20)));
  U16(body, static_cast<unsigned>(static_cast<std::int16_t>(y * 20)));
  U16(body, static_cast<unsigned>(height * 20));
  body.push_back(static_cast<std::uint8_t>(text.size()));
  BitWriter bits;
  for (char ch : text) {
    bits.UB(GlyphIndex(ch), 8);
    bits.SB(static_cast<std::int32_t>(advance * 20), 16);
  }
  Append(body, bits.Take());
  body.push_back(0);
  return body;
}

constexpr std::uint16_t kDefineFont2 = 48, kDefineText = 11, kDefineText2 = 33, kDefineEditText = 37;

// A field of the test font: bounds in pixels, font height 20 pixels.
struct FieldSpec {
  double width = 100, height = 30;
  std::uint8_t align = 0;  // 0 left, 1 right, 2 centre, 3 justify
  double leftMargin = 0, indent = 0;
  bool embedded = true, border = false, multiline = false, wordWrap = false, html = false;
  std::string text;
};

Bytes EditTextBody(std::uint16_t font, const FieldSpec& layout) {
  Bytes body = EncodeRect(0, static_cast<std::int32_t>(layout.width * 20), 0, static_cast<std::int32_t>(layout.height * 20));
  body.push_back(static_cast<std::uint8_t>(0x80 | 0x08 | 0x04 | 0x01 | (layout.wordWrap ? 0x40 : 0) |
                                           (layout.multiline ? 0x20 : 0)));
  body.push_back(static_cast<std::uint8_t>(0x20 | (layout.border ? 0x08 : 0) | (layout.html ? 0x02 : 0) |
                                           (layout.embedded ? 0x01 : 0)));
  U16(body, font);
  U16(body, 400);
  body.insert(body.end(), {0, 0, 255, 255});
  body.push_back(layout.align);
  U16(body, static_cast<unsigned>(layout.leftMargin * 20));
  U16(body, 0);
  U16(body, static_cast<unsigned>(layout.indent * 20));
  U16(body, 0);
  body.push_back(0);  // no variable
  body.insert(body.end(), layout.text.begin(), layout.text.end());
  body.push_back(0);
  return body;
}

// Columns of row y whose pixel is not white.
std::vector<int> InkedColumns(const Canvas& canvas, int y) {
  std::vector<int> columns;
  for (int x = 0; x < canvas.Width(); ++x) {
    if (canvas.At(x, y) != kWhite) columns.push_back(x);
  }
  return columns;
}

Canvas Draw(const Bytes& file, int width, int height, DeviceFonts* fonts = nullptr) {
  MoviePlayer player;
  player.SetDeviceFonts(fonts);
  EXPECT_TRUE(player.Load(file));
  Canvas canvas(width, height);
  player.Render(canvas.View(), ScaleMode::NoScale);
  return canvas;
}

TEST(StaticText, GlyphsInkTheirBoxesAndLeaveTheSpaceBetweenWords) {
  MovieBuilder movie(60, 50);
  const std::uint16_t font = movie.DefineRaw(kDefineFont2, Font2Body());
  // Height 20: a glyph box is 500/1024*20 = 9.8 pixels wide, 13.7 high above the baseline.
  const std::uint16_t text = movie.DefineRaw(kDefineText, TextBody(font, "A A", 10, 40, 20, 12, {255, 0, 0}, false));
  movie.Place(text, 1).ShowFrame();
  const Canvas canvas = Draw(movie.Build(), 60, 50);
  EXPECT_EQ(canvas.At(14, 34), kRed);  // inside the first A (x 10..19.8)
  EXPECT_EQ(canvas.At(38, 34), kRed);  // inside the second A (x 34..43.8)
  EXPECT_EQ(canvas.At(27, 34), kWhite);  // the space
  EXPECT_EQ(canvas.At(14, 44), kWhite);  // below the baseline
  EXPECT_EQ(canvas.At(14, 24), kWhite);  // above the glyph's top (26.3)
}

TEST(StaticText, TextTwoColoursCarryAlphaAndPlacementsRecolour) {
  MovieBuilder movie(40, 40);
  const std::uint16_t font = movie.DefineRaw(kDefineFont2, Font2Body());
  const std::uint16_t half =
      movie.DefineRaw(kDefineText2, TextBody(font, "A", 5, 30, 20, 12, {0, 0, 255, 128}, true));
  ColorTransform toGreen;
  toGreen.multiplyB = 0;
  toGreen.addG = 255;
  movie.Place(half, 1).Place(half, 2, Transform::Translate(20, 0), toGreen).ShowFrame();
  const Canvas canvas = Draw(movie.Build(), 40, 40);
  const std::uint32_t blended = canvas.At(9, 24);
  EXPECT_NEAR(BlueOf(blended), 255, 1);
  EXPECT_NEAR(RedOf(blended), 127, 2);  // half of the white shows through
  const std::uint32_t recoloured = canvas.At(29, 24);
  EXPECT_NEAR(GreenOf(recoloured), 255, 1);
  EXPECT_NEAR(BlueOf(recoloured), 127, 2);
}

TEST(StaticText, GlyphsOfAnUnknownFontDrawNothing) {
  MovieBuilder movie(40, 40);
  const std::uint16_t text = movie.DefineRaw(kDefineText, TextBody(77, "AA", 5, 30, 20, 12, {255, 0, 0}, false));
  movie.Place(text, 1).ShowFrame();
  const Canvas canvas = Draw(movie.Build(), 40, 40);
  for (int y = 0; y < 40; ++y) EXPECT_TRUE(InkedColumns(canvas, y).empty()) << y;
}

// Fonts and text cut short anywhere load and draw what they can, never crash.
TEST(StaticText, TruncatedFontsAndRecordsNeverCrash) {
  const Bytes font = Font2Body();
  const Bytes text = TextBody(1, "ABA", 5, 30, 20, 12, {255, 0, 0}, false);
  for (std::size_t cut = 0; cut < font.size() + text.size(); cut += 3) {
    MovieBuilder movie(40, 40);
    const Bytes fontPart(font.begin(), font.begin() + static_cast<std::ptrdiff_t>(std::min(cut, font.size())));
    const std::size_t textCut = cut > font.size() ? cut - font.size() : 0;
    const Bytes textPart = cut >= font.size()
                               ? Bytes(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(textCut))
                               : text;
    movie.DefineRaw(kDefineFont2, fontPart);
    movie.Place(movie.DefineRaw(kDefineText, textPart), 1).ShowFrame();
    MoviePlayer player;
    ASSERT_TRUE(player.Load(movie.Build())) << cut;
    Canvas canvas(40, 40);
    player.Render(canvas.View(), ScaleMode::NoScale);
  }
}

struct AlignCase {
  std::string name;
  std::uint8_t align;
  double leftMargin, indent;
  int firstInk, lastInk;  // expected columns of the ink of "AB" in a 100-pixel field
};

// "AB" at 20 pixels: A from 0 to 9.8, B from 11.7+2 = 13.7 to 21.5; advance
// 11.7 each, so the line is 23.4 wide. The gutter is 2 pixels.
std::vector<AlignCase> AlignCases() {
  return {
      {"left", 0, 0, 0, 2, 23},
      {"right", 1, 0, 0, 100 - 2 - 24, 100 - 2 - 2},
      {"center", 2, 0, 0, 2 + 36, 2 + 36 + 21},  // (96 - 23.4) / 2 = 36.3 free on each side
      {"left_margin_and_indent", 0, 10, 5, 17, 38},
  };
}

class TextFieldAlign : public ::testing::TestWithParam<AlignCase> {};

TEST_P(TextFieldAlign, AlignmentMarginsAndIndentMoveTheInk) {
  const AlignCase& c = GetParam();
  MovieBuilder movie(100, 30);
  const std::uint16_t font = movie.DefineRaw(kDefineFont2, Font2Body());
  FieldSpec layout;
  layout.align = c.align;
  layout.leftMargin = c.leftMargin;
  layout.indent = c.indent;
  layout.text = "AB";
  movie.Place(movie.DefineRaw(kDefineEditText, EditTextBody(font, layout)), 1).ShowFrame();
  const Canvas canvas = Draw(movie.Build(), 100, 30);
  // The baseline lies at 2 + 800/1024*20 = 17.6; the glyphs reach 13.7 above it.
  const std::vector<int> ink = InkedColumns(canvas, 12);
  ASSERT_FALSE(ink.empty());
  EXPECT_NEAR(ink.front(), c.firstInk, 1);
  EXPECT_NEAR(ink.back(), c.lastInk, 1);
  EXPECT_EQ(canvas.At(ink.front() + 4, 12), 0xFF0000FFu);  // the field's blue
  EXPECT_TRUE(InkedColumns(canvas, 25).empty());           // below the descent: nothing
}

INSTANTIATE_TEST_SUITE_P(Cases, TextFieldAlign, ::testing::ValuesIn(AlignCases()), CaseName{});

TEST(TextField, WrappedLinesStackByTheLineHeight) {
  MovieBuilder movie(40, 80);
  const std::uint16_t font = movie.DefineRaw(kDefineFont2, Font2Body());
  FieldSpec layout;
  layout.width = 40;
  layout.height = 80;
  layout.multiline = layout.wordWrap = true;
  layout.text = "AA BB";  // "AA" is 23.4 wide: "AA BB" does not fit in 36 pixels
  movie.Place(movie.DefineRaw(kDefineEditText, EditTextBody(font, layout)), 1).ShowFrame();
  const Canvas canvas = Draw(movie.Build(), 40, 80);
  // Line height (800 + 224) / 1024 * 20 = 20: baselines at 17.6 and 37.6.
  EXPECT_FALSE(InkedColumns(canvas, 12).empty());
  EXPECT_FALSE(InkedColumns(canvas, 32).empty());
  EXPECT_TRUE(InkedColumns(canvas, 52).empty());
  // The second line holds the Bs, whose boxes start 2 pixels into their advance.
  EXPECT_NEAR(InkedColumns(canvas, 32).front(), 4, 1);
  EXPECT_NEAR(InkedColumns(canvas, 12).front(), 2, 1);
}

// Each run draws in its own colour and size; a line that would cross the
// field's bottom edge is not drawn at all.
struct RunCase {
  std::string name;
  FieldSpec layout;
  std::vector<std::tuple<int, int, std::uint32_t>> pixels;  // x, y, colour
};

std::vector<RunCase> RunCases() {
  FieldSpec colours;
  colours.html = true;
  colours.text = R"(<font color="#ff0000">A</font><font color="#00ff00">A</font><font size="10">A</font>)";
  FieldSpec cut;
  cut.multiline = true;
  cut.height = 30;  // 26 pixels inside the gutters: one line of 20
  cut.text = "A\rA";
  FieldSpec tall = cut;
  tall.height = 50;
  return {
      // Height 20: 'A' is 9.8 wide, advancing 11.7; the small one is half that, baseline 17.6.
      {"runs_keep_their_colours", colours, {{6, 12, 0xFFFF0000u}, {18, 12, 0xFF00FF00u}, {27, 16, 0xFF0000FFu},
                                            {27, 6, kWhite}}},
      {"a_line_past_the_bottom_is_not_drawn", cut, {{6, 12, 0xFF0000FFu}, {6, 28, kWhite}, {6, 35, kWhite}}},
      {"a_line_that_fits_is_drawn", tall, {{6, 12, 0xFF0000FFu}, {6, 35, 0xFF0000FFu}}},
  };
}

class TextFieldRuns : public ::testing::TestWithParam<RunCase> {};

TEST_P(TextFieldRuns, DrawEachRunAndOnlyWholeLines) {
  const RunCase& c = GetParam();
  MovieBuilder movie(100, 60);
  const std::uint16_t font = movie.DefineRaw(kDefineFont2, Font2Body());
  movie.Place(movie.DefineRaw(kDefineEditText, EditTextBody(font, c.layout)), 1).ShowFrame();
  const Canvas canvas = Draw(movie.Build(), 100, 60);
  for (const auto& [x, y, colour] : c.pixels) {
    EXPECT_EQ(canvas.At(x, y), colour) << x << "," << y;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, TextFieldRuns, ::testing::ValuesIn(RunCases()), CaseName{});

// A device font of boxes: every character but the space is a box 0..400 of
// 1000 units, 600 high above the baseline, advancing 500.
class BoxFonts final : public DeviceFonts {
 public:
  std::shared_ptr<const FontDefinition> Font(std::string_view face, bool, bool,
                                             std::span<const std::uint32_t> characters) override {
    faces.emplace_back(face);
    auto font = std::make_shared<FontDefinition>();
    font->unitsPerEm = 1000;
    font->ascent = 800;
    font->descent = 200;
    for (const std::uint32_t code : characters) {
      Glyph glyph;
      if (code != ' ') {
        const Point corners[] = {{0, -600}, {400, -600}, {400, 0}, {0, 0}};
        for (int i = 0; i < 4; ++i) {
          glyph.edges.push_back(Segment{corners[i], corners[(i + 1) % 4], corners[(i + 1) % 4], false});
        }
      }
      font->glyphOfCode.emplace(static_cast<std::uint16_t>(code), static_cast<std::uint16_t>(font->glyphs.size()));
      font->glyphs.push_back(std::move(glyph));
      font->advances.emplace(static_cast<std::uint16_t>(code), 500);
    }
    return font;
  }
  std::vector<std::string> faces;
};

TEST(TextField, DeviceFontsComeFromTheHostAndWithoutOneOnlyTheBorderShows) {
  MovieBuilder movie(100, 30);
  const std::uint16_t font = movie.DefineRaw(kDefineFont2, Font2Body());
  FieldSpec layout;
  layout.embedded = false;
  layout.border = true;
  layout.text = "A A";
  movie.Place(movie.DefineRaw(kDefineEditText, EditTextBody(font, layout)), 1).ShowFrame();
  const Bytes file = movie.Build();

  BoxFonts fonts;
  const Canvas drawn = Draw(file, 100, 30, &fonts);
  ASSERT_FALSE(fonts.faces.empty());
  EXPECT_EQ(fonts.faces.back(), "Test");
  // Height 20: boxes 8 wide, advancing 10: x 2..10 and 22..30, 12 high above 18.
  EXPECT_EQ(drawn.At(6, 12), 0xFF0000FFu);
  EXPECT_EQ(drawn.At(16, 12), kWhite);
  EXPECT_EQ(drawn.At(26, 12), 0xFF0000FFu);
  EXPECT_NE(drawn.At(50, 0), kWhite);  // the border

  const Canvas bare = Draw(file, 100, 30);
  EXPECT_EQ(bare.At(6, 12), kWhite);
  EXPECT_NE(bare.At(50, 0), kWhite);
}

struct SnapshotCase {
  std::string name;
  std::string method;
  std::vector<std::string> args;  // numbers stay numbers; "'x" pushes the text x; "!" pushes true, "~" false
  std::string traced;
};

// "B" at depth 1 (x 5) and "AB A" at depth 2 (x 20, advancing 12): the
// snapshot reads "BAB A".
std::vector<SnapshotCase> SnapshotCases() {
  return {
      {"count", "getCount", {}, "5"},
      {"whole_text", "getText", {"0", "5"}, "BAB A"},
      {"part_of_text", "getText", {"1", "3"}, "AB"},
      {"find_ignoring_case", "findText", {"0", "'a", "~"}, "1"},
      {"find_with_case_misses", "findText", {"0", "'a", "!"}, "-1"},
      {"find_from_a_start", "findText", {"2", "'A", "!"}, "4"},
      {"find_needs_three_arguments", "findText", {"0", "'A"}, "undefined"},
      {"hit_on_a_glyph", "hitTestTextNearPos", {"33", "25", "0"}, "2"},
      {"hit_far_away", "hitTestTextNearPos", {"200", "200", "0"}, "-1"},
  };
}

class TextSnapshotCalls : public ::testing::TestWithParam<SnapshotCase> {};

TEST_P(TextSnapshotCalls, ReadTheStaticTextOfTheClip) {
  const SnapshotCase& c = GetParam();
  MovieBuilder movie(100, 50);
  // The texts come before their font, as some authoring tools write them.
  const std::uint16_t first = movie.DefineRaw(kDefineText, TextBody(3, "B", 5, 30, 20, 12, {0, 0, 0}, false));
  const std::uint16_t second = movie.DefineRaw(kDefineText, TextBody(3, "AB A", 20, 30, 20, 12, {0, 0, 0}, false));
  ASSERT_EQ(movie.DefineRaw(kDefineFont2, Font2Body()), 3);
  Actions script;
  for (auto it = c.args.rbegin(); it != c.args.rend(); ++it) {
    if (*it == "!" || *it == "~") {
      script.PushBool(*it == "!");
    } else if ((*it)[0] == '\'') {
      script.PushString(it->substr(1));
    } else {
      script.PushInt(std::stoi(*it));
    }
  }
  script.PushInt(static_cast<std::int32_t>(c.args.size()));
  script.PushInt(0).PushString("_root").GetVariable().PushString("getTextSnapshot").Raw(0x52);
  script.PushString(c.method).Raw(0x52).Trace();
  movie.Place(first, 1).Place(second, 2).DoAction(script).ShowFrame();
  MoviePlayer player;
  std::vector<std::string> lines;
  player.SetTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
  ASSERT_TRUE(player.Load(movie.Build()));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], c.traced);
}

INSTANTIATE_TEST_SUITE_P(Cases, TextSnapshotCalls, ::testing::ValuesIn(SnapshotCases()), CaseName{});

}  // namespace
}  // namespace swf::testing
