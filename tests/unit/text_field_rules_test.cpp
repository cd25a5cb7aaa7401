// Text field rules that differ by version and flags: the white space and
// paragraph ends of HTML text, the metrics scripts read (whole pixels cut
// down, with the leading of a lone line or between lines; an embedded font's
// measures in whole twips), the <font> tags HTML text nests, and the field
// properties a movie or script sets: rendering settings, size under a scale,
// variables bound late, watchers, duplicates, the position of the field's box
// and the properties its prototype lists.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "movie_test_support.h"
#include "text/text_field.h"

namespace swf::testing {
namespace {

struct WhiteCase {
  std::string name;
  std::string markup;
  int version;
  bool multiline, condenseWhite;
  std::string text;
};

class HtmlWhiteSpace : public ::testing::TestWithParam<WhiteCase> {};

TEST_P(HtmlWhiteSpace, ReadAsTheVersionAndFlagsSay) {
  const WhiteCase& c = GetParam();
  TextField field;
  field.html = true;
  field.multiline = c.multiline;
  field.condenseWhite = c.condenseWhite;
  field.maxX = field.maxY = 2000;
  field.SetHtmlText(c.markup, c.version);
  EXPECT_EQ(field.text, c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HtmlWhiteSpace,
    ::testing::Values(
        WhiteCase{"v6_drops_text_of_white_space_alone", " <b> </b> \n", 6, false, false, ""},
        WhiteCase{"v6_keeps_white_space_beside_words", " a \n", 6, false, false, " a \r"},
        WhiteCase{"v6_newline_in_text_ends_a_paragraph", "\na\n", 6, false, false, "\ra\r"},
        WhiteCase{"v6_paragraph_end_stays_in_the_text", "<p>a</p>\n", 6, false, false, "a\r"},
        WhiteCase{"v8_keeps_white_space_alone", " ", 8, false, false, " "},
        WhiteCase{"v8_single_line_paragraph_tags_break_nothing", " <p>a</p>  <p>b</p> ", 8, false, false,
                  " a  b "},
        WhiteCase{"v8_multiline_paragraph_tags_break", " <p>a</p>  <p>b</p> ", 8, true, false, " a\r  b\r "},
        WhiteCase{"v8_single_line_breaks_on_newlines_only", "<p>a</p>\n", 8, false, false, "a\r"},
        WhiteCase{"condensed_runs_become_one_space", "a  \t \n  b", 7, false, true, "a b"},
        WhiteCase{"condensed_white_alone_is_dropped", " <b> x </b> <b> y </b> ", 7, false, true, " x  y "},
        WhiteCase{"condensing_keeps_control_characters", "a \x01 b", 7, false, true, "a \x01 b"},
        WhiteCase{"condensed_multiline_keeps_paragraph_ends", "<p>\na\n</p>", 7, true, true, " a \r"},
        WhiteCase{"v8_multiline_list_items_start_paragraphs", "a<li>b<li></li></li>c", 8, true, false,
                  "a\rb\r\r\rc"},
        WhiteCase{"v8_single_line_list_items_break_nothing", "a<li>b</li>c", 8, false, false, "abc"},
        WhiteCase{"nested_paragraphs_end_once", "<p>a<p>b</p></p>c", 8, true, false, "ab\rc"}),
    [](const auto& tested) { return tested.param.name; });

TEST(HtmlParagraphEnd, TakesTheFormatOfTheCharacterBeforeIt) {
  TextField field;
  field.html = field.multiline = true;
  field.maxX = field.maxY = 2000;
  field.SetHtmlText(R"(<p><font kerning="1">a</font></p>)", 8);
  ASSERT_EQ(field.text, "a\r");
  EXPECT_EQ(field.FormatOf(0, 2).kerning, std::optional<bool>(true));
}

TEST(HtmlParagraphEnd, ScriptMarkupWithoutParagraphTagsKeepsTheFieldsAlignment) {
  TextField field;
  field.html = true;
  field.maxX = field.maxY = 2000;
  TextFormatData centred;
  centred.align = "center";
  field.newFormat.Merge(centred);
  field.SetHtmlText("a", 8);
  EXPECT_EQ(field.FormatOf(0, 1).align, std::optional<std::string>("center"));
  field.SetHtmlText(R"(<p align="right">a</p>)", 8);
  EXPECT_EQ(field.FormatOf(0, 1).align, std::optional<std::string>("right"));
}

// Device-font lines are 1.15 em high (0.9 ascent, 0.25 descent) and a
// character 0.55 em wide.
struct MetricCase {
  std::string name;
  std::string text;
  double size, leading;
  double width, height;
};

class TextMetrics : public ::testing::TestWithParam<MetricCase> {};

TEST_P(TextMetrics, WholePixelsCutDownWithTheirLeading) {
  const MetricCase& c = GetParam();
  TextField field;
  field.multiline = true;
  field.maxX = field.maxY = 20000;
  TextFormatData f;
  f.size = c.size;
  f.leading = c.leading;
  field.newFormat.Merge(f);
  field.SetText(c.text);
  EXPECT_EQ(field.TextWidth(), c.width);
  EXPECT_EQ(field.TextHeight(), c.height);
}

INSTANTIATE_TEST_SUITE_P(Cases, TextMetrics,
                         ::testing::Values(MetricCase{"one_line_no_leading", "ab", 10, 0, 11, 11},    // 11, 11.5
                                           MetricCase{"one_line_counts_its_leading", "a", 10, 3, 5, 14},  // 14.5
                                           MetricCase{"two_lines_count_the_leading_between", "a\rbc", 10, 3, 11, 26},
                                           MetricCase{"three_lines", "a\rb\rc", 10, 3, 5, 40},  // 40.5
                                           MetricCase{"empty_text_measures_nothing", "", 10, 3, 0, 0}),
                         [](const auto& tested) { return tested.param.name; });

// An embedded font of 20480 units an em, as DefineFont3 measures: 'Q' and
// 'e' of fractional twips at small sizes, a space, an ascent and a descent.
FontDefinition MeasuredFont() {
  FontDefinition font;
  font.unitsPerEm = 20480;
  font.ascent = 21900;
  font.descent = 6000;
  font.advances = {{'Q', 16000}, {'e', 11560}, {' ', 5320}, {'a', 10240}};
  return font;
}

struct EmbeddedCase {
  std::string name;
  std::string text;
  double size, letterSpacing, fieldWidth;
  bool wordWrap;
  double width, height;
};

class EmbeddedMetrics : public ::testing::TestWithParam<EmbeddedCase> {};

TEST_P(EmbeddedMetrics, AdvancesAndHeightsInWholeTwips) {
  const EmbeddedCase& c = GetParam();
  const FontDefinition font = MeasuredFont();
  TextField field;
  field.font = &font;
  field.multiline = true;
  field.wordWrap = c.wordWrap;
  field.maxX = c.fieldWidth * 20;
  field.maxY = 20000;
  TextFormatData f;
  f.size = c.size;
  f.letterSpacing = c.letterSpacing;
  field.newFormat.Merge(f);
  field.SetText(c.text);
  EXPECT_EQ(field.TextWidth(), c.width);
  EXPECT_EQ(field.TextHeight(), c.height);
}

// At 10 pixels 'Q' is 156.25 twips, ' ' 51.95 and 'e' 112.89: each cut to
// 156, 51 and 112; the line is 213 + 58 twips high.
INSTANTIATE_TEST_SUITE_P(
    Cases, EmbeddedMetrics,
    ::testing::Values(EmbeddedCase{"each_advance_is_cut_to_a_twip", "Q e", 10, 0, 400, false, 15, 13},
                      EmbeddedCase{"twips_add_up_past_a_pixel", "Q e", 12, 0, 400, false, 19, 16},
                      EmbeddedCase{"two_glyphs", "Qe", 10, 0, 400, false, 13, 13},
                      EmbeddedCase{"lines_are_whole_twips_high", "Q\rQ\rQ\rQ\rQ", 10, 0, 400, false, 7, 67},
                      // At 20 pixels 'a' is 200 twips and ' ' 103: "aa " wraps
                      // before the second word and counts its space.
                      EmbeddedCase{"a_wrapped_line_counts_its_last_space", "aa aa", 20, 0, 44, true, 25, 54},
                      EmbeddedCase{"spacing_follows_every_character", "aa aa", 20, 1, 50, true, 28, 54},
                      EmbeddedCase{"a_paragraphs_last_line_counts_its_spaces", "aa  ", 20, 0, 400, false, 30, 27}),
    [](const auto& tested) { return tested.param.name; });

struct NestingCase {
  std::string name;
  std::string markup;
  int version;
  bool multiline;
  std::string html;
};

class HtmlFontNesting : public ::testing::TestWithParam<NestingCase> {};

TEST_P(HtmlFontNesting, WrittenAsThePlatformNestsThem) {
  const NestingCase& c = GetParam();
  TextField field;
  field.html = true;
  field.multiline = c.multiline;
  field.maxX = field.maxY = 2000;
  field.SetHtmlText(c.markup, c.version);
  EXPECT_EQ(field.HtmlText(c.version), c.html);
}

constexpr const char* kParagraph = R"(<P ALIGN="LEFT"><FONT FACE="Times New Roman" SIZE="12" COLOR="#000000" )";

std::string Paragraph(std::string_view kerning, std::string_view inner) {
  return std::string(kParagraph) + "LETTERSPACING=\"0\" KERNING=\"" + std::string(kerning) + "\">" +
         std::string(inner) + "</FONT></P>";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HtmlFontNesting,
    ::testing::Values(
        NestingCase{"another_font_opens_inside_the_last", R"(a<font color="#111111">b</font><font size="20">c</font>)",
                    8, false,
                    Paragraph("0", R"(a<FONT COLOR="#111111">b<FONT SIZE="20" COLOR="#000000">c</FONT></FONT>)")},
        NestingCase{"a_font_still_open_closes_those_inside_it",
                    R"(a<font color="#111111">b<font size="20">c</font></font>d)", 8, false,
                    Paragraph("0", R"(a<FONT COLOR="#111111">b<FONT SIZE="20">c</FONT></FONT>d)")},
        NestingCase{"styles_wrap_each_run_inside_its_font", R"(<font size="20">a<b>b</b>c</font>)", 8, false,
                    std::string(R"(<P ALIGN="LEFT"><FONT FACE="Times New Roman" SIZE="20" COLOR="#000000" )") +
                        R"(LETTERSPACING="0" KERNING="0">a<B>b</B>c</FONT></P>)"},
        NestingCase{"a_paragraph_end_of_its_own_format_is_an_empty_run", "<font color=\"#111111\">a</font>\nb", 8,
                    false,
                    std::string(R"(<P ALIGN="LEFT"><FONT FACE="Times New Roman" SIZE="12" COLOR="#111111" )") +
                        R"(LETTERSPACING="0" KERNING="0">a<FONT COLOR="#000000"></FONT></FONT></P>)" +
                        Paragraph("0", "b")},
        NestingCase{"an_empty_paragraph_ends_in_the_font_opened_in_it",
                    R"(<p><font color="#111111"><b></b></font></p>)", 6, false,
                    std::string(R"(<P ALIGN="LEFT"><FONT FACE="Times New Roman" SIZE="12" COLOR="#111111" )") +
                        R"(LETTERSPACING="0" KERNING="0"></FONT></P>)"},
        NestingCase{"runs_that_differ_in_paragraph_members_alone_are_one", "<i>a<li>b</li></i>", 8, false,
                    Paragraph("0", "<I>ab</I>")},
        NestingCase{"a_paragraph_ends_in_the_last_empty_font", R"(<p>a<font color="#121212"></font>b</p>)", 8, true,
                    Paragraph("0", R"(ab<FONT COLOR="#121212"></FONT>)")},
        NestingCase{"an_empty_list_item_keeps_its_bullet", "<i>a<li></li></i>", 8, true,
                    Paragraph("0", "<I>a</I>") +
                        R"(<LI><FONT FACE="Times New Roman" SIZE="12" COLOR="#000000" LETTERSPACING="0" KERNING="0">)" +
                        "<I></I></FONT></LI>"},
        NestingCase{"kerning_is_read_from_version_8", R"(<font kerning="1">a</font>)", 8, false,
                    Paragraph("1", "a")},
        NestingCase{"earlier_versions_read_no_kerning", R"(<font kerning="1">a</font>)", 7, false,
                    Paragraph("0", "a")}),
    [](const auto& tested) { return tested.param.name; });

// Movies: the definition's settings and what scripts set, read back by trace.
constexpr std::uint8_t kSetMember = 0x4F;
constexpr std::uint8_t kCallMethod = 0x52;
constexpr std::uint8_t kCloneSprite = 0x24;
constexpr std::uint8_t kReturn = 0x3E;

Actions& SetNumber(Actions& a, std::string_view object, std::string_view member, double value) {
  PushDottedPath(a, object).PushString(member).PushDouble(value);
  return a.Raw(kSetMember);
}

Actions& SetText(Actions& a, std::string_view object, std::string_view member, std::string_view value) {
  PushDottedPath(a, object).PushString(member).PushString(value);
  return a.Raw(kSetMember);
}

// CSMTextSettings for `id`: flags byte, then thickness and sharpness as floats.
Bytes CsmSettings(std::uint16_t id, std::uint8_t flags, float thickness, float sharpness) {
  Bytes body{static_cast<std::uint8_t>(id & 0xFF), static_cast<std::uint8_t>(id >> 8), flags};
  for (const float value : {thickness, sharpness}) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 4; ++i) body.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
  }
  body.push_back(0);
  return body;
}

struct FieldMovieCase {
  std::string name;
  std::function<void(MovieBuilder&)> define;
  std::function<void(Actions&)> script;
  std::vector<std::string> expected;
};

class FieldMovies : public ::testing::TestWithParam<FieldMovieCase> {};

TEST_P(FieldMovies, TraceWhatThePlatformPrints) {
  const FieldMovieCase& c = GetParam();
  MovieBuilder movie(200, 200, 24, 8);
  c.define(movie);
  Actions script;
  c.script(script);
  movie.DoAction(script).ShowFrame();
  std::vector<std::string> lines;
  MoviePlayer player;
  player.SetTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
  ASSERT_TRUE(player.Load(movie.Build()));
  EXPECT_EQ(lines, c.expected);
}

EditTextFields Field(std::string text, std::string variable = "") {
  EditTextFields fields;
  fields.text = std::move(text);
  fields.variable = std::move(variable);
  return fields;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FieldMovies,
    ::testing::Values(
        FieldMovieCase{"render_settings_come_from_the_settings_tag",
                       [](MovieBuilder& m) {
                         const std::uint16_t id = m.DefineEditText(Field("x"));
                         m.Tag(74, CsmSettings(id, 0x50, 1.5f, -2.0f));  // advanced, subpixel
                         m.Place(id, 1, {}, std::nullopt, "t");
                       },
                       [](Actions& a) {
                         TraceDottedPath(a, "t.antiAliasType");
                         TraceDottedPath(a, "t.gridFitType");
                         TraceDottedPath(a, "t.thickness");
                         TraceDottedPath(a, "t.sharpness");
                       },
                       {"advanced", "subpixel", "1.5", "-2"}},
        FieldMovieCase{"thickness_and_sharpness_keep_any_number",
                       [](MovieBuilder& m) { m.Place(m.DefineEditText(Field("x")), 1, {}, std::nullopt, "t"); },
                       [](Actions& a) {
                         SetNumber(a, "t", "sharpness", -539);
                         SetNumber(a, "t", "thickness", 300);
                         TraceDottedPath(a, "t.sharpness");
                         TraceDottedPath(a, "t.thickness");
                         PushDottedPath(a, "t").PushString("thickness").PushString("x").Raw(kSetMember);
                         TraceDottedPath(a, "t.thickness");
                       },
                       {"-539", "300", "NaN"}},
        FieldMovieCase{"size_sets_the_bounds_under_the_scale",
                       [](MovieBuilder& m) { m.Place(m.DefineEditText(Field("x")), 1, {}, std::nullopt, "t"); },
                       [](Actions& a) {
                         SetNumber(a, "t", "_xscale", 200);
                         SetNumber(a, "t", "_width", 20);
                         TraceDottedPath(a, "t._width");
                         TraceDottedPath(a, "t._xscale");
                       },
                       {"40", "200"}},
        FieldMovieCase{"a_new_variable_starts_with_the_defined_text",
                       [](MovieBuilder& m) { m.Place(m.DefineEditText(Field("Hello", "v")), 1, {}, std::nullopt, "t"); },
                       [](Actions& a) {
                         SetText(a, "t", "text", "changed");
                         SetText(a, "t", "variable", "w");
                         TraceDottedPath(a, "w");
                         TraceDottedPath(a, "t.text");
                       },
                       {"Hello", "Hello"}},
        FieldMovieCase{"a_watcher_of_text_sees_no_stored_value",
                       [](MovieBuilder& m) { m.Place(m.DefineEditText(Field("old")), 1, {}, std::nullopt, "t"); },
                       [](Actions& a) {
                         Actions body;
                         body.PushString("oldVal").GetVariable().Trace();
                         body.PushString("newVal").GetVariable().Raw(kReturn);
                         a.DefineFunction("watcher", {"prop", "oldVal", "newVal"}, body);
                         a.PushString("watcher").GetVariable().PushString("text").PushInt(2);
                         PushDottedPath(a, "t").PushString("watch").Raw(kCallMethod).Pop();
                         SetText(a, "t", "text", "new");
                         TraceDottedPath(a, "t.text");
                       },
                       {"undefined", "new"}},
        FieldMovieCase{"a_duplicated_field_starts_as_defined",
                       [](MovieBuilder& m) { m.Place(m.DefineEditText(Field("first")), 1, {}, std::nullopt, "t"); },
                       [](Actions& a) {
                         SetText(a, "t", "text", "changed");
                         SetNumber(a, "t", "_x", 7);
                         a.PushString("t").PushString("copy").PushInt(5).Raw(kCloneSprite);
                         TraceDottedPath(a, "copy.text");
                         TraceDottedPath(a, "copy._x");
                       },
                       {"first", "7"}},
        FieldMovieCase{"the_position_is_where_the_box_starts",
                       [](MovieBuilder& m) {
                         EditTextFields box = Field("x");
                         box.x = 6;
                         box.y = 7;
                         m.Place(m.DefineEditText(box), 1, {}, std::nullopt, "t");
                       },
                       [](Actions& a) {
                         TraceDottedPath(a, "t._x");
                         TraceDottedPath(a, "t._y");
                         SetNumber(a, "t", "_x", 10);
                         TraceDottedPath(a, "t._x");
                       },
                       {"6", "7", "10"}},
        FieldMovieCase{"autosize_to_the_right_moves_the_position",
                       [](MovieBuilder& m) {
                         EditTextFields box = Field("");
                         box.width = box.height = 1;
                         m.Place(m.DefineEditText(box), 1, {}, std::nullopt, "t");
                       },
                       [](Actions& a) {
                         SetText(a, "t", "autoSize", "right");
                         TraceDottedPath(a, "t._x");
                         TraceDottedPath(a, "t._width");
                         SetText(a, "t", "autoSize", "center");
                         SetText(a, "t", "autoSize", "none");
                         TraceDottedPath(a, "t._x");
                       },
                       {"-3", "4", "-3"}},
        FieldMovieCase{"a_property_the_stage_keeps_no_value_of_stays_on_the_field",
                       [](MovieBuilder& m) { m.Place(m.DefineEditText(Field("x")), 1, {}, std::nullopt, "t"); },
                       [](Actions& a) {
                         SetNumber(a, "t", "tabIndex", 3);
                         TraceDottedPath(a, "t.tabIndex");
                       },
                       {"3"}}),
    [](const auto& tested) { return tested.param.name; });

struct PrototypeCase {
  std::string name;
  int version;
  std::string member;
  std::vector<std::string> expected;  // before and after a write on an object that is no field
};

class FieldPrototype : public ::testing::TestWithParam<PrototypeCase> {};

TEST_P(FieldPrototype, PropertiesActOnFieldsAlone) {
  const PrototypeCase& c = GetParam();
  MovieBuilder movie(200, 200, 24, c.version);
  Actions a;
  constexpr std::uint8_t kNewObject = 0x40;
  a.PushString("o").PushInt(0).PushString("Object").Raw(kNewObject).SetVariable();
  PushDottedPath(a, "o").PushString("__proto__");
  PushDottedPath(a, "TextField.prototype").Raw(kSetMember);
  TraceDottedPath(a, "o." + c.member);
  SetText(a, "o", c.member, "x");
  TraceDottedPath(a, "o." + c.member);
  movie.DoAction(a).ShowFrame();
  std::vector<std::string> lines;
  MoviePlayer player;
  player.SetTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
  ASSERT_TRUE(player.Load(movie.Build()));
  EXPECT_EQ(lines, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FieldPrototype,
    ::testing::Values(PrototypeCase{"v6_text_ignores_the_write", 6, "text", {"undefined", "undefined"}},
                      PrototypeCase{"v8_text_ignores_the_write", 8, "text", {"undefined", "undefined"}},
                      PrototypeCase{"v6_has_no_version_8_property", 6, "gridFitType", {"undefined", "x"}},
                      PrototypeCase{"v8_grid_fit_ignores_the_write", 8, "gridFitType", {"undefined", "undefined"}},
                      PrototypeCase{"v5_lists_no_properties", 5, "text", {"undefined", "x"}}),
    [](const auto& tested) { return tested.param.name; });

}  // namespace
}  // namespace swf::testing
