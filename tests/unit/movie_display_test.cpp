// The display side as scripts see it: text fields and buttons placed by the
// timeline, TextFormat, frame order and gotos, bounds and depth lookups.
// Each case builds a movie with the project's writer and compares the trace
// lines with what the player prints.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "case_name.h"
#include "movie_player.h"
#include "movie_test_support.h"
#include "swf_movie.h"
#include "swf_writer.h"
#include "text/text_field.h"

namespace swf::testing {
namespace {

constexpr std::uint8_t kGetMember = 0x4E;
constexpr std::uint8_t kSetMember = 0x4F;
constexpr std::uint8_t kCallMethod = 0x52;
constexpr std::uint8_t kNewObject = 0x40;
constexpr std::uint8_t kTypeOf = 0x44;
constexpr std::uint8_t kInitObject = 0x43;

// object.member = value (the value pushed by `push`).
Actions& Set(Actions& a, std::string_view object, std::string_view member, const std::function<void(Actions&)>& push) {
  PushDottedPath(a, object).PushString(member);
  push(a);
  return a.Raw(kSetMember);
}

// object.method(args...) with numeric arguments; leaves the result on the stack.
Actions& CallWithNumbers(Actions& a, std::string_view object, std::string_view method,
                         const std::vector<double>& args) {
  for (auto it = args.rbegin(); it != args.rend(); ++it) a.PushDouble(*it);
  a.PushInt(static_cast<std::int32_t>(args.size()));
  PushDottedPath(a, object).PushString(method).Raw(kCallMethod);
  return a;
}

// A movie whose frame 1 places what `define` makes, then runs `script`.
struct DisplayCase {
  std::string name;
  int version;
  std::function<void(MovieBuilder&)> define;  // defines and places characters on frame 1
  std::function<void(Actions&)> script;
  std::vector<std::string> expected;
  int ticks = 0;
};

std::vector<std::string> TracesOfCase(const DisplayCase& c) {
  MovieBuilder movie(100, 100, 24, c.version);
  c.define(movie);
  Actions script;
  c.script(script);
  movie.DoAction(script).ShowFrame();
  std::vector<std::string> lines;
  MoviePlayer player;
  player.SetTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
  EXPECT_TRUE(player.Load(movie.Build()));
  for (int i = 0; i < c.ticks; ++i) player.Advance();
  return lines;
}

void PlaceField(MovieBuilder& movie, const EditTextFields& fields, std::string_view name = "t") {
  movie.Place(movie.DefineEditText(fields), 1, {}, std::nullopt, name);
}

EditTextFields Field(std::string text, std::string variable = "") {
  EditTextFields fields;
  fields.text = std::move(text);
  fields.variable = std::move(variable);
  return fields;
}

std::vector<DisplayCase> TextFieldCases() {
  return {
      {"placed_field_is_an_object_with_its_text",
       8,
       [](MovieBuilder& m) { PlaceField(m, Field("hello")); },
       [](Actions& a) {
         TraceDottedPath(a, "t");
         PushDottedPath(a, "t").Raw(kTypeOf).Trace();
         TraceDottedPath(a, "t.text");
         TraceDottedPath(a, "t.length");
         TraceDottedPath(a, "t._name");
       },
       {"_level0.t", "object", "hello", "5", "t"}},
      {"variable_takes_the_initial_text_and_the_field_follows_it",
       8,
       [](MovieBuilder& m) { PlaceField(m, Field("first", "v")); },
       [](Actions& a) {
         TraceDottedPath(a, "v");
         a.PushString("v").PushString("second").SetVariable();
         TraceDottedPath(a, "t.text");
         Set(a, "t", "text", [](Actions& b) { b.PushString("typed"); });
         TraceDottedPath(a, "v");
       },
       {"first", "second", "typed"}},
      {"empty_field_leaves_its_variable_undefined",
       8,
       [](MovieBuilder& m) { PlaceField(m, Field("", "v")); },
       [](Actions& a) { TraceDottedPath(a, "v"); },
       {"undefined"}},
      {"flags_and_limits_from_the_definition",
       8,
       [](MovieBuilder& m) {
         EditTextFields fields = Field("x");
         fields.password = true;
         fields.multiline = true;
         fields.border = true;
         fields.maxLength = 12;
         PlaceField(m, fields);
       },
       [](Actions& a) {
         TraceDottedPath(a, "t.password");
         TraceDottedPath(a, "t.multiline");
         TraceDottedPath(a, "t.border");
         TraceDottedPath(a, "t.maxChars");
         TraceDottedPath(a, "t.type");
       },
       {"true", "true", "true", "12", "input"}},
      {"colours_wrap_to_24_bits_and_max_chars_zero_is_null",
       8,
       [](MovieBuilder& m) { PlaceField(m, Field("x")); },
       [](Actions& a) {
         Set(a, "t", "borderColor", [](Actions& b) { b.PushInt(-1); });
         TraceDottedPath(a, "t.borderColor");
         Set(a, "t", "maxChars", [](Actions& b) { b.PushInt(0); });
         TraceDottedPath(a, "t.maxChars");
       },
       {"16777215", "null"}},
      {"html_field_reads_markup_and_writes_it_back",
       8,
       [](MovieBuilder& m) {
         EditTextFields fields = Field("");
         fields.html = true;
         fields.multiline = true;
         PlaceField(m, fields);
       },
       [](Actions& a) {
         Set(a, "t", "htmlText", [](Actions& b) { b.PushString("<p>a &amp; b</p><p>c</p>"); });
         TraceDottedPath(a, "t.text");
         TraceDottedPath(a, "t.htmlText");
       },
       // The end of the last paragraph stays in the text, which then ends with an empty line.
       {"a & b", "c", "",
        "<P ALIGN=\"LEFT\"><FONT FACE=\"Times New Roman\" SIZE=\"12\" COLOR=\"#000000\" LETTERSPACING=\"0\" "
        "KERNING=\"0\">a &amp; b</FONT></P><P ALIGN=\"LEFT\"><FONT FACE=\"Times New Roman\" SIZE=\"12\" "
        "COLOR=\"#000000\" LETTERSPACING=\"0\" KERNING=\"0\">c</FONT></P>"}},
      {"width_changes_the_bounds_not_the_scale",
       8,
       [](MovieBuilder& m) { PlaceField(m, Field("x")); },
       [](Actions& a) {
         Set(a, "t", "_width", [](Actions& b) { b.PushInt(40); });
         TraceDottedPath(a, "t._width");
         TraceDottedPath(a, "t._xscale");
       },
       {"40", "100"}},
      {"auto_size_fits_the_height_to_the_text",
       8,
       [](MovieBuilder& m) {
         EditTextFields fields = Field("one");
         fields.height = 100;
         fields.fontHeight = 20;
         PlaceField(m, fields);
       },
       [](Actions& a) {
         Set(a, "t", "autoSize", [](Actions& b) { b.PushBool(true); });
         TraceDottedPath(a, "t.autoSize");
         // One line of a 20-pixel font and the 2-pixel gutters: well under the 100 it had.
         PushDottedPath(a, "t._height").PushInt(50).Raw(0x48).Trace();
       },
       {"left", "true"}},
      {"create_text_field_returns_the_field_from_version_8",
       8,
       [](MovieBuilder&) {},
       [](Actions& a) {
         a.PushInt(30).PushInt(40).PushInt(5).PushInt(5).PushInt(3).PushString("made").PushInt(6);
         a.PushString("_root").GetVariable().PushString("createTextField").Raw(kCallMethod).Trace();
         TraceDottedPath(a, "made._width");
         TraceDottedPath(a, "made._x");
       },
       {"_level0.made", "40", "5"}},
  };
}

std::vector<DisplayCase> TextFormatCases() {
  return {
      {"constructor_cuts_numbers_and_refuses_unknown_aligns",
       8,
       [](MovieBuilder&) {},
       [](Actions& a) {
         a.PushString("f");
         for (int i = 0; i < 13; ++i) a.PushDouble(-10.9);
         a.PushInt(13).PushString("TextFormat").Raw(kNewObject).SetVariable();
         TraceDottedPath(a, "f.size");
         TraceDottedPath(a, "f.color");
         TraceDottedPath(a, "f.align");
         TraceDottedPath(a, "f.bold");
         TraceDottedPath(a, "f.leftMargin");
         TraceDottedPath(a, "f.display");
       },
       {"-10", "4294967286", "null", "true", "-10", "block"}},
      {"members_set_later_keep_margins_at_zero",
       8,
       [](MovieBuilder&) {},
       [](Actions& a) {
         a.PushString("f").PushInt(0).PushString("TextFormat").Raw(kNewObject).SetVariable();
         Set(a, "f", "leftMargin", [](Actions& b) { b.PushInt(-5); });
         TraceDottedPath(a, "f.leftMargin");
         Set(a, "f", "align", [](Actions& b) { b.PushString("CENTER"); });
         TraceDottedPath(a, "f.align");
       },
       {"0", "center"}},
      {"set_text_format_reaches_the_field",
       8,
       [](MovieBuilder& m) { PlaceField(m, Field("x")); },
       [](Actions& a) {
         a.PushString("f").PushInt(0).PushString("TextFormat").Raw(kNewObject).SetVariable();
         Set(a, "f", "size", [](Actions& b) { b.PushInt(30); });
         PushDottedPath(a, "f").PushInt(1);
         PushDottedPath(a, "t").PushString("setTextFormat").Raw(kCallMethod).Pop();
         CallWithNumbers(a, "t", "getTextFormat", {}).PushString("size").Raw(kGetMember).Trace();
         CallWithNumbers(a, "t", "getTextFormat", {}).PushString("font").Raw(kGetMember).Trace();
       },
       {"30", "Times New Roman"}},
  };
}

std::vector<DisplayCase> ClipCases() {
  return {
      {"named_shape_stands_for_its_clip",
       8,
       [](MovieBuilder& m) {
         m.Place(m.DefineShape(FilledRectangle(10, 10, Color{255, 0, 0})), 1, {}, std::nullopt, "s");
       },
       [](Actions& a) { TraceDottedPath(a, "s"); },
       {"_level0"}},
      {"width_and_bounds_come_from_the_shape",
       8,
       [](MovieBuilder& m) {
         SpriteBuilder sprite;
         sprite.Place(m.DefineShape(FilledRectangle(10, 20, Color{255, 0, 0})), 1).ShowFrame();
         m.Place(m.DefineSprite(sprite), 1, Transform::ScaleRotateTranslate(2, 0, 5, 0), std::nullopt, "c");
       },
       [](Actions& a) {
         TraceDottedPath(a, "c._width");
         TraceDottedPath(a, "c._height");
         a.PushString("_root").GetVariable().PushInt(1);
         PushDottedPath(a, "c").PushString("getBounds").Raw(kCallMethod).PushString("xMax").Raw(kGetMember).Trace();
       },
       {"20", "40", "25"}},
      {"morph_measures_by_its_start_bounds_at_any_ratio",
       8,
       [](MovieBuilder& m) {
         ShapeBuilder start, end;
         start.Rectangle(0, 0, 50, 50, start.AddSolidFill(Color{255, 0, 0}));
         end.Rectangle(100, 40, 50, 50, end.AddSolidFill(Color{0, 0, 255}));
         const std::uint16_t morph = m.DefineMorphShape(start, end);
         const std::pair<const char*, std::uint16_t> placed[] = {{"a", 0}, {"b", 32768}, {"c", 65535}};
         std::uint16_t depth = 1;
         for (const auto& [name, ratio] : placed) {
           SpriteBuilder sprite;
           sprite.PlaceRatio(morph, 1, ratio).ShowFrame();
           m.Place(m.DefineSprite(sprite), depth++, {}, std::nullopt, name);
         }
       },
       [](Actions& a) {
         for (const char* name : {"a", "b", "c"}) {
           CallWithNumbers(a, name, "getBounds", {}).PushString("xMax").Raw(kGetMember).Trace();
           CallWithNumbers(a, name, "getBounds", {}).PushString("yMin").Raw(kGetMember).Trace();
         }
       },
       {"50", "0", "50", "0", "50", "0"}},
      {"local_to_global_moves_only_points_of_their_own_numbers",
       8,
       [](MovieBuilder& m) {
         SpriteBuilder sprite;
         sprite.ShowFrame();
         m.Place(m.DefineSprite(sprite), 1, Transform::Translate(10, 0), std::nullopt, "c");
       },
       [](Actions& a) {
         // The y each point is given: a number moves it, anything else leaves it.
         const std::function<void(Actions&)> ys[] = {
             [](Actions& b) { b.PushInt(2); }, [](Actions& b) { b.PushString("2"); },
             [](Actions& b) { b.PushNull(); }, [](Actions& b) { b.PushBool(true); }};
         for (const auto& y : ys) {
           a.PushString("x").PushInt(1).PushString("y");
           y(a);
           a.PushInt(2).Raw(kInitObject).StoreRegister(1).PushInt(1);
           PushDottedPath(a, "c").PushString("localToGlobal").Raw(kCallMethod).Pop();
           a.PushRegister(1).PushString("x").Raw(kGetMember).Trace();
         }
       },
       {"11", "1", "1", "1"}},
      {"depth_lookup_names_instances_and_shapes_stand_for_the_clip",
       8,
       [](MovieBuilder& m) {
         m.Place(m.DefineShape(FilledRectangle(10, 10, Color{255, 0, 0})), 1);
         SpriteBuilder sprite;
         sprite.ShowFrame();
         m.Place(m.DefineSprite(sprite), 2);
       },
       [](Actions& a) {
         CallWithNumbers(a, "_root", "getInstanceAtDepth", {-16383}).Trace();
         CallWithNumbers(a, "_root", "getInstanceAtDepth", {-16382}).Trace();
         CallWithNumbers(a, "_root", "getInstanceAtDepth", {-16381}).Trace();
       },
       {"_level0", "_level0.instance1", "undefined"}},
      {"drawn_outline_sizes_the_clip_lines_included",
       8,
       [](MovieBuilder&) {},
       [](Actions& a) {
         a.PushInt(1).PushString("d").PushInt(2).PushString("_root").GetVariable();
         a.PushString("createEmptyMovieClip").Raw(kCallMethod).Pop();
         CallWithNumbers(a, "d", "beginFill", {0xFF0000}).Pop();
         CallWithNumbers(a, "d", "lineTo", {30, 0}).Pop();
         CallWithNumbers(a, "d", "lineTo", {30, 10}).Pop();
         CallWithNumbers(a, "d", "endFill", {}).Pop();
         TraceDottedPath(a, "d._width");
         TraceDottedPath(a, "d._height");
         CallWithNumbers(a, "d", "lineStyle", {4, 0}).Pop();
         CallWithNumbers(a, "d", "lineTo", {0, 10}).Pop();
         TraceDottedPath(a, "d._width");
         CallWithNumbers(a, "d", "clear", {}).Pop();
         TraceDottedPath(a, "d._width");
       },
       {"30", "10", "34", "0"}},
      {"goto_frame_numbers_wrap_to_32_bits",
       8,
       [](MovieBuilder& m) {
         SpriteBuilder sprite;
         sprite.ShowFrame(3);
         m.Place(m.DefineSprite(sprite), 1, {}, std::nullopt, "c");
       },
       [](Actions& a) {
         CallWithNumbers(a, "c", "gotoAndStop", {4294967298.0}).Pop();
         TraceDottedPath(a, "c._currentframe");
         CallWithNumbers(a, "c", "gotoAndStop", {0}).Pop();
         TraceDottedPath(a, "c._currentframe");
         CallWithNumbers(a, "c", "gotoAndStop", {999}).Pop();
         TraceDottedPath(a, "c._currentframe");
       },
       {"2", "2", "3"}},
      {"button_is_an_object_with_a_name",
       8,
       [](MovieBuilder& m) {
         const std::uint16_t shape = m.DefineShape(FilledRectangle(10, 10, Color{255, 0, 0}));
         m.Place(m.DefineButton2({ButtonRecordSpec{0x0F, shape, 1, {}}}), 1, {}, std::nullopt, "b");
       },
       [](Actions& a) {
         TraceDottedPath(a, "b");
         PushDottedPath(a, "b").Raw(kTypeOf).Trace();
         TraceDottedPath(a, "b.enabled");
         TraceDottedPath(a, "b._width");
       },
       {"_level0.b", "object", "true", "10"}},
  };
}

// Each tick steps the newest clip first: a child's frame actions run before
// its parent's.
TEST(DisplayFrameOrder, ChildActionsRunBeforeTheParentsOnLaterFrames) {
  MovieBuilder movie(100, 100, 24, 8);
  Actions child1, child2, root1, root2;
  child1.PushString("child 1").Trace();
  child2.PushString("child 2").Trace().Stop();
  root1.PushString("root 1").Trace();
  root2.PushString("root 2").Trace().Stop();
  SpriteBuilder sprite;
  sprite.DoAction(child1).ShowFrame().DoAction(child2).ShowFrame();
  movie.DoAction(root1).Place(movie.DefineSprite(sprite), 1).ShowFrame().DoAction(root2).ShowFrame();
  std::vector<std::string> lines;
  MoviePlayer player;
  player.SetTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
  LoadOrFail(player, movie.Build());
  player.Advance();
  EXPECT_EQ(lines, (std::vector<std::string>{"root 1", "child 1", "child 2", "root 2"}));
}

// Going back to a frame makes anew what a later frame's tag placed at the
// same depth: its first frame's actions run again.
TEST(DisplayFrameOrder, RewindRemakesWhatALaterTagPlaced) {
  MovieBuilder movie(100, 100, 24, 8);
  Actions hello, back;
  hello.PushString("made").Trace();
  back.GotoFrame(1);
  SpriteBuilder sprite;
  sprite.DoAction(hello).ShowFrame();
  const std::uint16_t id = movie.DefineSprite(sprite);
  movie.ShowFrame().Place(id, 1).ShowFrame().Remove(1).ShowFrame().Place(id, 1).ShowFrame().DoAction(back).ShowFrame();
  std::vector<std::string> lines;
  MoviePlayer player;
  player.SetTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
  LoadOrFail(player, movie.Build());
  for (int i = 0; i < 4; ++i) player.Advance();
  EXPECT_EQ(lines, (std::vector<std::string>{"made", "made", "made"}));
}

// What the drawing methods make is drawn: a filled square in a clip of the
// root, and nothing outside it.
TEST(DisplayDrawing, FilledOutlineIsPainted) {
  MovieBuilder movie(100, 100, 24, 8);
  Actions a;
  a.PushInt(1).PushString("d").PushInt(2).PushString("_root").GetVariable();
  a.PushString("createEmptyMovieClip").Raw(kCallMethod).Pop();
  CallWithNumbers(a, "d", "beginFill", {0x0000FF}).Pop();
  CallWithNumbers(a, "d", "moveTo", {10, 10}).Pop();
  CallWithNumbers(a, "d", "lineTo", {60, 10}).Pop();
  CallWithNumbers(a, "d", "lineTo", {60, 60}).Pop();
  CallWithNumbers(a, "d", "lineTo", {10, 60}).Pop();
  CallWithNumbers(a, "d", "endFill", {}).Pop();
  movie.DoAction(a).ShowFrame();
  MoviePlayer player;
  LoadOrFail(player, movie.Build());
  Canvas canvas(100, 100);
  player.Render(canvas.View(), ScaleMode::ShowAll);
  EXPECT_EQ(canvas.At(35, 35), kBlue);
  EXPECT_EQ(canvas.At(80, 80), kWhite);
}

class DisplayScripts : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(DisplayScripts, TracesWhatThePlayerPrints) { EXPECT_EQ(TracesOfCase(GetParam()), GetParam().expected); }

std::vector<DisplayCase> AllCases() {
  std::vector<DisplayCase> all;
  for (auto list : {TextFieldCases(), TextFormatCases(), ClipCases()}) all.insert(all.end(), list.begin(), list.end());
  return all;
}

INSTANTIATE_TEST_SUITE_P(Cases, DisplayScripts, ::testing::ValuesIn(AllCases()),
                         [](const auto& tested) { return tested.param.name; });

// Every cut of a movie with a text field, a button and a font-less field
// parses without overrunning, and the whole one keeps their definitions.
TEST(DisplayParsing, CutMoviesParseAndTheWholeKeepsEveryDefinition) {
  MovieBuilder movie(100, 100, 24, 8);
  EditTextFields fields = Field("abc", "v");
  fields.fontHeight = 14;
  fields.color = Color{1, 2, 3, 255};
  fields.maxLength = 9;
  const std::uint16_t field = movie.DefineEditText(fields);
  Actions press;
  press.PushString("pressed").Trace();
  const std::uint16_t button = movie.DefineButton2({ButtonRecordSpec{0x01, field, 2, {}}}, {{0x0008, press}});
  movie.ShowFrame();
  const Bytes file = movie.Build();
  for (std::size_t size = 0; size < file.size(); ++size) {
    (void)ParseMovie(std::span<const std::uint8_t>(file.data(), size));
  }
  const std::optional<Movie> parsed = ParseMovie(file);
  ASSERT_TRUE(parsed);
  const auto* text = std::get_if<std::shared_ptr<const EditTextDefinition>>(&parsed->characters.at(field));
  ASSERT_TRUE(text);
  EXPECT_EQ((*text)->initialText, "abc");
  EXPECT_EQ((*text)->variableName, "v");
  EXPECT_EQ((*text)->fontHeightTwips, 280);
  EXPECT_EQ((*text)->maxLength, std::optional<std::uint16_t>(9));
  EXPECT_EQ((*text)->textColor, (Rgba{1, 2, 3, 255}));
  const auto* buttonDefinition = std::get_if<std::shared_ptr<const ButtonDefinition>>(&parsed->characters.at(button));
  ASSERT_TRUE(buttonDefinition);
  ASSERT_EQ((*buttonDefinition)->records.size(), 1u);
  EXPECT_EQ((*buttonDefinition)->records[0].character, field);
  ASSERT_EQ((*buttonDefinition)->actions.size(), 1u);
  EXPECT_EQ((*buttonDefinition)->actions[0].conditions, 0x0008);
  EXPECT_EQ(*(*buttonDefinition)->actions[0].code, press.Encode());
}

struct HtmlCase {
  std::string name;
  std::string html;
  bool condenseWhite;
  std::string text;
};

class HtmlText : public ::testing::TestWithParam<HtmlCase> {};

TEST_P(HtmlText, ReadsTheCharactersBetweenTheTags) {
  EXPECT_EQ(HtmlToPlainText(GetParam().html, GetParam().condenseWhite), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Cases, HtmlText,
                         ::testing::Values(HtmlCase{"entities", "&lt;a&gt; &amp; &quot;&apos; &#65;&#x42;", false,
                                                    "<a> & \"' AB"},
                                           HtmlCase{"unknown_entity_stays", "&bogus; &", false, "&bogus; &"},
                                           HtmlCase{"paragraphs_and_breaks_end_lines", "<p>one</p><p>two<br>three</p>",
                                                    false, "one\rtwo\rthree"},
                                           HtmlCase{"list_items_end_lines", "<li>a</li><li>b</li>", false, "a\rb"},
                                           HtmlCase{"condensed_white_space", "  a \n\t b  ", true, "a b "},
                                           HtmlCase{"kept_white_space", " a\nb", false, " a\rb"},
                                           HtmlCase{"unclosed_tag_ends_the_text", "ab<font", false, "ab"}),
                         [](const auto& tested) { return tested.param.name; });

// Word wrap breaks at the last space that fits, and a word alone too wide
// for the field is broken inside.
TEST(TextFieldLayout, WordWrapBreaksAtSpacesAndInsideLongWords) {
  TextField field;
  field.maxX = 20 * (4 + 12 * 6 * 0.55);  // the gutters and six device-font characters of 12 pixels
  field.wordWrap = true;
  field.SetText("aaa bbb cc");
  EXPECT_EQ(field.LineCount(), 2);
  field.SetText("abcdefghijklmnop");
  EXPECT_EQ(field.LineCount(), 3);
  field.wordWrap = false;
  EXPECT_EQ(field.LineCount(), 1);
  field.SetText("a\nb\r\nc");
  EXPECT_EQ(field.text, "a\rb\rc");
  EXPECT_EQ(field.LineCount(), 3);
}

}  // namespace
}  // namespace swf::testing
