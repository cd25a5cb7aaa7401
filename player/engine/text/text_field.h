#pragma once
// A text field as scripts see it: its text in runs of character formats
// (each paragraph taking its paragraph format from its first character), its
// bounds and flags, and the HTML it reads and writes. Layout measures each run
// with its own font: the embedded font's advances and metrics, or fixed
// device-font metrics when the run names no embedded font.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "swf_movie.h"

namespace swf {

// A TextFormat: every member may be unset (null to scripts).
struct TextFormatData {
  std::optional<std::string> font, url, target, align, display;
  std::optional<double> size, leftMargin, rightMargin, indent, leading, blockIndent, letterSpacing;
  std::optional<std::uint32_t> color;
  std::optional<bool> bold, italic, underline, bullet, kerning;
  std::optional<std::vector<double>> tabStops;

  // The members `other` sets, written over these.
  void Merge(const TextFormatData& other);
  // The format a new field starts with: every member set.
  [[nodiscard]] static TextFormatData Defaults();
  // Keeps only the members `other` holds with the same value.
  void Intersect(const TextFormatData& other);
  [[nodiscard]] bool SetsParagraph() const;
  bool operator==(const TextFormatData&) const = default;
};

// A stretch of the text in one format: from byte `begin` of the UTF-8 text to
// the next run's begin.
struct FormatRun {
  std::size_t begin = 0;
  TextFormatData format;
};

// One laid-out line: its characters with their run and x (twips from the
// line's start), and its extent.
struct LaidGlyph {
  std::uint32_t code = 0;
  std::size_t run = 0;
  double x = 0, advance = 0;
  std::size_t at = 0;  // byte offset of the character in the text
};

// How far a bulleted paragraph's text stands in from its bullet, in twips of
// a run of `size` pixels, and where a tab moves to without tab stops: every
// half inch.
inline constexpr double kBulletIndentEms = 1.5;
inline constexpr double kDefaultTabTwips = 720;

// The twips a paragraph's lines stand in from the gutter: its left margin,
// block indent and, bulleted, the bullet's room.
[[nodiscard]] double ParagraphInsetTwips(const TextFormatData& paragraph);
// How far a tab at `position` twips from a line's inset start reaches: to
// the next of the paragraph's tab stops (pixels), past the last one to the
// next default stop.
[[nodiscard]] double TabAdvanceTwips(const TextFormatData& paragraph, double position);
struct LaidLine {
  std::size_t begin = 0;  // byte offset of the first character
  std::vector<LaidGlyph> glyphs;
  double width = 0;  // twips, with the spaces a wrapped line ends with
  double ascent = 0, descent = 0, leading = 0;  // twips
  bool paragraphStart = true, paragraphEnd = true;
  std::size_t paragraphRun = 0;  // the run whose paragraph format applies
};

// Where fields that name no embedded font get their glyphs: the platform's
// own fonts (the control draws them with the system's), or none at all.
class DeviceFonts {
 public:
  // A font with glyphs and advances for at least `characters`, in the face
  // nearest to the one named; null when there is none. Implementations may
  // keep and grow what they made.
  [[nodiscard]] virtual std::shared_ptr<const FontDefinition> Font(std::string_view face, bool bold, bool italic,
                                                                   std::span<const std::uint32_t> characters) = 0;

 protected:
  ~DeviceFonts() = default;
};

enum class AutoSize : std::uint8_t { None, Left, Center, Right };

struct TextField {
  // Bounds in twips relative to the field's origin.
  double minX = 0, minY = 0, maxX = 0, maxY = 0;
  std::string text;  // UTF-8, paragraphs separated by '\r'
  // Sorted by begin, the first at 0; never empty, so an empty field keeps a format.
  std::vector<FormatRun> runs{FormatRun{0, TextFormatData::Defaults()}};
  TextFormatData newFormat = TextFormatData::Defaults();
  const FontDefinition* font = nullptr;  // embedded font for metrics, when the field names one
  const Movie* movie_ = nullptr;         // whose fonts a format's face may name
  std::string variable;
  std::string initialText;  // as the definition gives it (markup for an HTML field)
  bool html = false, multiline = false, wordWrap = false, password = false, selectable = true, editable = false;
  bool border = false, background = false, embedFonts = false, condenseWhite = false, mouseWheelEnabled = true;
  std::uint32_t borderColor = 0x000000, backgroundColor = 0xFFFFFF;
  std::optional<int> maxChars;
  std::optional<std::string> restrict;
  AutoSize autoSize = AutoSize::None;
  std::string antiAliasType = "normal", gridFitType = "pixel";
  double sharpness = 0, thickness = 0;
  int scroll = 1, hscroll = 0;
  // The selection in UTF-16 units: from the anchor to the caret; -1 for none.
  int selectionAnchor = -1, selectionCaret = -1;
  // The field holds the keyboard focus: its selection shows, inverted.
  bool showsSelection = false;
  // The blinking caret is in its shown half (it shows only in a focused editable field).
  bool caretBlinkOn = true;

  // From the movie's definition; `fonts` gives the embedded font the field names.
  void Define(const EditTextDefinition& definition, const Movie& movie);

  // Text as plain text; newlines of any kind become '\r', and a field that is
  // not multiline keeps only its first line when set by script.
  void SetText(std::string_view text);
  void SetHtmlText(std::string_view html, int version);
  [[nodiscard]] std::string HtmlText(int version) const;
  // Puts `text` in place of the selection (at the end of the text when there
  // is none); the caret then follows it.
  void ReplaceSelection(std::string_view text);
  // Puts `text`, in the new-text format, in place of UTF-16 units [begin, end).
  void ReplaceText(int begin, int end, std::string_view text);

  // Formats over UTF-16 units [begin, end): the members every character there
  // shares (the first character's format when the range is empty).
  [[nodiscard]] TextFormatData FormatOf(int begin, int end) const;
  // Sets the members `format` holds on [begin, end); paragraph members on
  // every paragraph the range touches.
  void ApplyFormat(int begin, int end, const TextFormatData& format);
  // The format of the first character: what one-format properties read.
  [[nodiscard]] const TextFormatData& FirstFormat() const { return runs.front().format; }
  // Sets members on the whole text and on the new-text format.
  void ApplyToAll(const TextFormatData& format);
  // Selects from `anchor` to `caret`, each kept inside the text.
  void Select(int anchor, int caret);
  [[nodiscard]] int Utf16Length() const;

  // The lines the text breaks into, as drawn and measured.
  [[nodiscard]] std::vector<LaidLine> Layout() const;
  // Metrics in pixels.
  [[nodiscard]] double TextWidth() const;
  [[nodiscard]] double TextHeight() const;
  [[nodiscard]] int LineCount() const;
  [[nodiscard]] int MaxScroll() const;
  [[nodiscard]] int BottomScroll() const;
  // Grows or shrinks the bounds around the text as autoSize says.
  void FitToText();
  // What the field draws in its own twips: background, border and the
  // visible lines of text through its font's glyphs (the embedded font when
  // embedFonts is set, else the device font). Made again only when something
  // it shows changed, so an unchanged field keeps the same shape.
  [[nodiscard]] std::shared_ptr<const Shape> Picture() const;
  DeviceFonts* const* deviceFonts = nullptr;  // the stage's, when it has any

  [[nodiscard]] double Width() const { return (maxX - minX) / 20; }
  [[nodiscard]] double Height() const { return (maxY - minY) / 20; }
  void SetWidth(double pixels);
  void SetHeight(double pixels);

 private:
  // The embedded font a format measures and draws with: one of the movie's
  // named by the format's face (with embedFonts), else the one the field was
  // defined with.
  [[nodiscard]] const FontDefinition* UsedFont(const TextFormatData& format) const;
  [[nodiscard]] std::size_t RunAt(std::size_t byte) const;
  void SplitRunAt(std::size_t byte);
  void NormalizeRuns();
  void ReplaceBytes(std::size_t from, std::size_t to, std::string_view text, const TextFormatData& format);
  [[nodiscard]] std::string PictureKey() const;
  [[nodiscard]] std::vector<std::shared_ptr<const FontDefinition>> RunGlyphs() const;

  mutable std::shared_ptr<const Shape> picture_;
  mutable std::string pictureKey_;
};

// The text of a value of "htmlText": the characters between the tags, with
// <br> and the end of <p> and <li> as '\r' and the entities read.
[[nodiscard]] std::string HtmlToPlainText(std::string_view html, bool condenseWhite);
// Text with & < > " ' written as entities, as HTML and XML text take it.
[[nodiscard]] std::string EscapeHtml(std::string_view text);
// A code point as UTF-8 (up to four bytes).
void AppendUtf8(std::string& out, std::uint32_t point);
// Code points of a UTF-8 text (bytes that start no valid sequence count as one each).
[[nodiscard]] std::vector<std::uint32_t> CodePoints(std::string_view text);

}  // namespace swf
