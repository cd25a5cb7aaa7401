// Text fields holding runs of formats: the HTML they read and write back,
// formats over ranges and how edits carry them, and the line metrics that
// scrolling follows.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/text_field.h"

namespace swf::testing {
namespace {

TextField HtmlField(std::string_view markup, int version = 8) {
  TextField field;
  field.html = field.multiline = true;
  field.maxX = 2000;
  field.maxY = 2000;
  field.SetHtmlText(markup, version);
  return field;
}

constexpr const char* kFont8 = R"(<FONT FACE="Times New Roman" SIZE="12" COLOR="#000000" LETTERSPACING="0" KERNING="0">)";

struct HtmlCase {
  std::string name;
  std::string markup;
  int version;
  std::string text;
  std::string written;  // "@" stands for the paragraph's version-8 <FONT> tag
};

std::string Expand(const std::string& written) {
  std::string out;
  for (const char ch : written) out += ch == '@' ? std::string(kFont8) : std::string(1, ch);
  return out;
}

class HtmlRuns : public ::testing::TestWithParam<HtmlCase> {};

TEST_P(HtmlRuns, ReadIntoRunsAndWrittenBackAsThePlatformWritesThem) {
  const HtmlCase& c = GetParam();
  const TextField field = HtmlField(c.markup, c.version);
  EXPECT_EQ(field.text, c.text);
  EXPECT_EQ(field.HtmlText(c.version), Expand(c.written));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HtmlRuns,
    ::testing::Values(
        HtmlCase{"one_paragraph", "<p>ab</p>", 8, "ab\r", R"(<P ALIGN="LEFT">@ab</FONT></P>)"},
        HtmlCase{"later_run_writes_only_what_differs", R"(a<font color="#ff0000" kerning="1">b</font>)", 8, "ab",
                 R"(<P ALIGN="LEFT">@a<FONT COLOR="#FF0000" KERNING="1">b</FONT></FONT></P>)"},
        HtmlCase{"first_run_sets_the_paragraph_font", R"(<font face="Arial" size="+2">a</font>b)", 8, "ab",
                 R"(<P ALIGN="LEFT"><FONT FACE="Arial" SIZE="14" COLOR="#000000" LETTERSPACING="0" KERNING="0">a)"
                 R"(<FONT FACE="Times New Roman" SIZE="12">b</FONT></FONT></P>)"},
        HtmlCase{"styles_wrap_their_run", "a<b>b<i>c</i></b><u>d</u>", 8, "abcd",
                 R"(<P ALIGN="LEFT">@a<B>b</B><B><I>c</I></B><U>d</U></FONT></P>)"},
        HtmlCase{"each_paragraph_keeps_its_alignment", R"(<p align="right">a</p><p align="center">b</p>c)", 8,
                 "a\rb\rc",
                 R"(<P ALIGN="RIGHT">@a</FONT></P><P ALIGN="CENTER">@b</FONT></P><P ALIGN="LEFT">@c</FONT></P>)"},
        HtmlCase{"list_items_and_links", R"(<li><a href="u" target="t">x</a></li>)", 8, "x\r",
                 R"(<LI>@<A HREF="u" TARGET="t">x</A></FONT></LI>)"},
        HtmlCase{"text_format_block", R"(<textformat leftmargin="3" indent="5" tabstops="1,2">a</textformat>)", 8,
                 "a", R"(<TEXTFORMAT LEFTMARGIN="3" INDENT="5" TABSTOPS="1,2"><P ALIGN="LEFT">@a</FONT></P></TEXTFORMAT>)"},
        HtmlCase{"breaks_end_paragraphs_but_an_empty_last_one_is_not_written", "a<br><br>", 8, "a\r\r",
                 R"(<P ALIGN="LEFT">@a</FONT></P><P ALIGN="LEFT">@</FONT></P>)"},
        HtmlCase{"a_closed_last_paragraph_stays_in_the_text_but_is_not_written", "<p>a</p>", 8, "a\r",
                 R"(<P ALIGN="LEFT">@a</FONT></P>)"},
        HtmlCase{"empty_text_writes_nothing", "", 8, "", ""},
        HtmlCase{"a_lone_break_writes_one_empty_paragraph", "<br>", 8, "\r", R"(<P ALIGN="LEFT">@</FONT></P>)"},
        HtmlCase{"version_6_writes_spacing_and_kerning_too", "<b>a</b>", 6, "a", R"(<P ALIGN="LEFT">@<B>a</B></FONT></P>)"},
        HtmlCase{"entities_are_read_and_written", "&lt;&amp;&#65;", 8, "<&A",
                 R"(<P ALIGN="LEFT">@&lt;&amp;A</FONT></P>)"},
        HtmlCase{"a_paragraph_inside_an_open_one_is_read_through", "<p>a<p>b</p>c<p>d</p>e</p>", 8, "ab\rcd\re",
                 R"(<P ALIGN="LEFT">@ab</FONT></P><P ALIGN="LEFT">@cd</FONT></P><P ALIGN="LEFT">@e</FONT></P>)"},
        HtmlCase{"an_empty_font_colours_later_paragraph_ends", R"(<p>a<font color="#121212"></font><p>b</p></p>)", 8,
                 "ab\r", R"(<P ALIGN="LEFT">@ab<FONT COLOR="#121212"></FONT></FONT></P>)"},
        HtmlCase{"a_list_item_after_an_empty_font_ends_its_hold",
                 R"(<li>a<font color="#121212"></font><li>b</li></li>)", 8, "a\rb\r\r",
                 R"(<LI>@a</FONT></LI><LI>@b</FONT></LI><LI>@</FONT></LI>)"},
        HtmlCase{"an_empty_paragraph_takes_the_format_around_it_not_the_link_before",
                 R"(a<li><a href="u"><br></a></li>)", 8, "a\r\r\r",
                 R"(<P ALIGN="LEFT">@a</FONT></P><LI>@<A HREF="u" TARGET=""></A></FONT></LI><LI>@</FONT></LI>)"},
        HtmlCase{"a_closing_tag_out_of_order_leaves_the_inner_tag_open", "<b>a<i>b</b>c</i>d</b>e", 8, "abcde",
                 R"(<P ALIGN="LEFT">@<B>a</B><B><I>bc</I></B><B>d</B>e</FONT></P>)"},
        HtmlCase{"markup_sizes_stay_within_1_to_127",
                 R"(<font size="0">a</font><font size="126">b<font size="+1">c<font size="+1">d</font></font></font>)", 8,
                 "abcd",
                 R"(<P ALIGN="LEFT"><FONT FACE="Times New Roman" SIZE="1" COLOR="#000000" LETTERSPACING="0" KERNING="0">a)"
                 R"(<FONT SIZE="126">b<FONT SIZE="127">cd</FONT></FONT></FONT></P>)"},
        HtmlCase{"an_empty_paragraph_ends_without_the_styles_around_it", R"(<b><u><p align="right"></p></u></b>)", 8,
                 "\r", R"(<P ALIGN="RIGHT">@</FONT></P>)"},
        HtmlCase{"an_empty_paragraph_ends_in_the_fields_font_keeping_its_block",
                 R"(<font color="#010101"><textformat rightmargin="3"><p><li></li></p></textformat></font>)", 8, "\r\r",
                 R"(<TEXTFORMAT RIGHTMARGIN="3"><LI><FONT FACE="Times New Roman" SIZE="12" COLOR="#010101" )"
                 R"(LETTERSPACING="0" KERNING="0"></FONT></LI></TEXTFORMAT>)"
                 R"(<TEXTFORMAT RIGHTMARGIN="3"><P ALIGN="LEFT">@</FONT></P></TEXTFORMAT>)"},
        HtmlCase{"a_list_item_ends_in_the_format_around_it", R"(<li><font color="#010101">a</font></li>)", 8, "a\r",
                 R"(<LI><FONT FACE="Times New Roman" SIZE="12" COLOR="#010101" LETTERSPACING="0" KERNING="0">a)"
                 R"(<FONT COLOR="#000000"></FONT></FONT></LI>)"},
        HtmlCase{"a_paragraph_ending_inside_a_list_item_leaves_the_item_open", "<p><li><p>a</p></li></p>", 8,
                 "a\r\r", R"(<LI>@a</FONT></LI><LI>@</FONT></LI>)"}),
    [](const auto& tested) { return tested.param.name; });

TextFormatData Bold() {
  TextFormatData f;
  f.bold = true;
  return f;
}

TextFormatData Aligned(const char* align) {
  TextFormatData f;
  f.align = align;
  return f;
}

TEST(TextFieldRuns, FormatsOverRangesShareOnlyWhatEveryCharacterHas) {
  TextField field;
  field.SetText("abcd");
  field.ApplyFormat(1, 3, Bold());
  EXPECT_EQ(field.FormatOf(0, 1).bold, false);
  EXPECT_EQ(field.FormatOf(1, 3).bold, true);
  EXPECT_EQ(field.FormatOf(0, 4).bold, std::nullopt);
  EXPECT_EQ(field.FormatOf(0, 4).size, 12);  // what every character shares stays
  EXPECT_EQ(field.runs.size(), 3u);
  field.ApplyFormat(0, 4, Bold());
  EXPECT_EQ(field.runs.size(), 1u);  // equal neighbours join
}

TEST(TextFieldRuns, EditsMoveTheFormatsAfterThemAndNewTextTakesTheNewFormat) {
  TextField field;
  field.SetText("abcd");
  field.ApplyFormat(2, 4, Bold());
  field.ReplaceText(0, 1, "xyz");  // "xyzbcd": the bold "cd" is now at 4..6
  EXPECT_EQ(field.text, "xyzbcd");
  EXPECT_EQ(field.FormatOf(4, 6).bold, true);
  EXPECT_EQ(field.FormatOf(0, 4).bold, false);
  field.newFormat.italic = true;
  field.ReplaceText(6, 6, "e");
  EXPECT_EQ(field.FormatOf(6, 7).italic, true);
  EXPECT_EQ(field.FormatOf(4, 6).italic, false);
  field.SetText("new");  // a new text forgets the old formats
  EXPECT_EQ(field.FormatOf(0, 3).bold, false);
  EXPECT_EQ(field.FormatOf(0, 3).italic, true);
}

TEST(TextFieldRuns, ParagraphMembersCoverEveryParagraphTheRangeTouches) {
  TextField field;
  field.SetText("ab\rcd\ref");
  field.ApplyFormat(1, 4, Aligned("right"));  // from inside the first paragraph into the second
  EXPECT_EQ(field.FormatOf(0, 1).align, "right");
  EXPECT_EQ(field.FormatOf(4, 5).align, "right");
  EXPECT_EQ(field.FormatOf(6, 8).align, "left");
}

// Device-font lines of size 12 are 13.8 pixels high; a field of 36 pixels
// (32 inside its gutters) shows two whole lines.
TEST(TextFieldRuns, ScrollMetricsCountTheLinesThatFitWhole) {
  TextField field;
  field.multiline = true;
  field.maxX = 2000;
  field.maxY = 36 * 20;
  field.SetText("a\rb\rc\rd");
  EXPECT_EQ(field.LineCount(), 4);
  EXPECT_EQ(field.BottomScroll(), 2);
  EXPECT_EQ(field.MaxScroll(), 3);
  field.scroll = 3;
  EXPECT_EQ(field.BottomScroll(), 4);
  EXPECT_EQ(field.TextHeight(), 55);  // four lines of 13.8
}

TEST(TextFieldRuns, ALineIsAsHighAsItsTallestRun) {
  TextField field;
  field.maxX = 2000;
  field.SetText("ab");
  EXPECT_EQ(field.TextHeight(), 13);  // 13.8, cut down to whole pixels
  TextFormatData big;
  big.size = 24;
  field.ApplyFormat(1, 2, big);
  EXPECT_EQ(field.TextHeight(), 27);  // 27.6
  EXPECT_EQ(field.TextWidth(), 19);   // 6.6 + 13.2
}

}  // namespace
}  // namespace swf::testing
