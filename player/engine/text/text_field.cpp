#include "text/text_field.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "swf_text.h"

namespace swf {

namespace {

template <typename T>
void Take(std::optional<T>& into, const std::optional<T>& from) {
  if (from) into = from;
}

}  // namespace

std::vector<std::uint32_t> CodePoints(std::string_view text) {
  std::vector<std::uint32_t> points;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    std::uint32_t point = length == 1 ? lead : lead & (0x3Fu >> (length - 1));
    for (std::size_t k = 1; k < length && i + k < text.size(); ++k) {
      point = (point << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
    }
    points.push_back(point);
    i += length;
  }
  return points;
}

void TextFormatData::Merge(const TextFormatData& other) {
  Take(font, other.font);
  Take(url, other.url);
  Take(target, other.target);
  Take(align, other.align);
  Take(display, other.display);
  Take(size, other.size);
  Take(leftMargin, other.leftMargin);
  Take(rightMargin, other.rightMargin);
  Take(indent, other.indent);
  Take(leading, other.leading);
  Take(blockIndent, other.blockIndent);
  Take(letterSpacing, other.letterSpacing);
  Take(color, other.color);
  Take(bold, other.bold);
  Take(italic, other.italic);
  Take(underline, other.underline);
  Take(bullet, other.bullet);
  Take(kerning, other.kerning);
  Take(tabStops, other.tabStops);
}

namespace {

template <typename T>
void KeepIfSame(std::optional<T>& mine, const std::optional<T>& other) {
  if (mine != other) mine.reset();
}

}  // namespace

void TextFormatData::Intersect(const TextFormatData& o) {
  KeepIfSame(font, o.font);
  KeepIfSame(url, o.url);
  KeepIfSame(target, o.target);
  KeepIfSame(align, o.align);
  KeepIfSame(display, o.display);
  KeepIfSame(size, o.size);
  KeepIfSame(leftMargin, o.leftMargin);
  KeepIfSame(rightMargin, o.rightMargin);
  KeepIfSame(indent, o.indent);
  KeepIfSame(leading, o.leading);
  KeepIfSame(blockIndent, o.blockIndent);
  KeepIfSame(letterSpacing, o.letterSpacing);
  KeepIfSame(color, o.color);
  KeepIfSame(bold, o.bold);
  KeepIfSame(italic, o.italic);
  KeepIfSame(underline, o.underline);
  KeepIfSame(bullet, o.bullet);
  KeepIfSame(kerning, o.kerning);
  KeepIfSame(tabStops, o.tabStops);
}

bool TextFormatData::SetsParagraph() const {
  return align || leftMargin || rightMargin || indent || leading || blockIndent || bullet || tabStops;
}

TextFormatData TextFormatData::Defaults() {
  TextFormatData f;
  f.font = "Times New Roman";
  f.url = "";
  f.target = "";
  f.align = "left";
  f.display = "block";
  f.size = 12;
  f.leftMargin = f.rightMargin = f.indent = f.leading = f.blockIndent = f.letterSpacing = 0;
  f.color = 0;
  f.bold = f.italic = f.underline = f.bullet = f.kerning = false;
  f.tabStops = std::vector<double>{};
  return f;
}

void TextField::Define(const EditTextDefinition& d, const Movie& movie) {
  minX = d.minX;
  minY = d.minY;
  maxX = std::max(d.minX, d.maxX);
  maxY = std::max(d.minY, d.maxY);
  wordWrap = d.wordWrap;
  multiline = d.multiline;
  password = d.password;
  editable = !d.readOnly;
  selectable = !d.noSelect;
  border = d.border;
  background = d.border;
  html = d.html;
  embedFonts = d.useOutlines;
  autoSize = d.autoSize ? AutoSize::Left : AutoSize::None;
  if (d.maxLength && *d.maxLength > 0) maxChars = *d.maxLength;
  variable = d.variableName;
  initialText = d.initialText;
  antiAliasType = d.advancedAntiAlias ? "advanced" : "normal";
  gridFitType = d.gridFit == 0 ? "none" : d.gridFit == 2 ? "subpixel" : "pixel";
  thickness = d.thickness;
  sharpness = d.sharpness;
  TextFormatData format = TextFormatData::Defaults();
  format.size = std::round(d.fontHeightTwips / 20.0);
  if (d.textColor) {
    format.color = (std::uint32_t{d.textColor->r} << 16) | (std::uint32_t{d.textColor->g} << 8) | d.textColor->b;
  }
  movie_ = &movie;
  if (d.fontId) {
    if (const auto found = movie.fonts.find(*d.fontId); found != movie.fonts.end()) {
      font = found->second.get();
      if (!font->name.empty()) format.font = font->name;
      format.bold = font->bold;
      format.italic = font->italic;
    }
  }
  static constexpr const char* kAligns[] = {"left", "right", "center", "justify"};
  format.align = kAligns[d.align & 3u];
  format.leftMargin = d.leftMargin / 20.0;
  format.rightMargin = d.rightMargin / 20.0;
  format.indent = d.indent / 20.0;
  format.leading = d.leading / 20.0;
  newFormat = format;
  runs = {FormatRun{0, format}};
  if (html) {
    // An HTML field defined empty starts its paragraphs at the left, whatever
    // its definition's alignment; markup it starts with takes that alignment.
    if (d.initialText.empty()) {
      newFormat.align = "left";
      runs = {FormatRun{0, newFormat}};
    }
    SetHtmlText(d.initialText, movie.version);
  } else {
    text.clear();
    for (char ch : d.initialText) text += ch == '\n' ? '\r' : ch;
  }
  FitToText();
}


namespace {

// The byte offset in UTF-8 `text` of UTF-16 unit `units` (the end when past it).
std::size_t ByteOffsetOfUnit(std::string_view text, int units) {
  std::size_t at = 0;
  for (int counted = 0; at < text.size() && counted < units;) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    counted += length == 4 ? 2 : 1;
    at = std::min(text.size(), at + length);
  }
  return at;
}

int Utf16UnitsOf(std::string_view text) {
  int units = 0;
  for (const char ch : text) {
    const auto byte = static_cast<unsigned char>(ch);
    if ((byte & 0xC0) != 0x80) units += byte >= 0xF0 ? 2 : 1;
  }
  return units;
}

}  // namespace

void TextField::SetText(std::string_view value) {
  std::string plain;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n') continue;
    plain += value[i] == '\n' ? '\r' : value[i];
  }
  // New text takes the new-text format: formats set on the old text go with it.
  text = std::move(plain);
  runs = {FormatRun{0, newFormat}};
  FitToText();
}

std::size_t TextField::RunAt(std::size_t byte) const {
  std::size_t index = 0;
  while (index + 1 < runs.size() && runs[index + 1].begin <= byte) ++index;
  return index;
}

void TextField::SplitRunAt(std::size_t byte) {
  if (byte == 0 || byte >= text.size()) return;
  const std::size_t index = RunAt(byte);
  if (runs[index].begin == byte) return;
  runs.insert(runs.begin() + static_cast<std::ptrdiff_t>(index) + 1, FormatRun{byte, runs[index].format});
}

void TextField::NormalizeRuns() {
  std::vector<FormatRun> kept;
  for (FormatRun& run : runs) {
    // A run that holds no character is dropped, except the one an empty text keeps.
    if (!kept.empty() && run.begin >= text.size()) continue;
    if (!kept.empty() && run.begin <= kept.back().begin) {
      kept.back().format = std::move(run.format);
      continue;
    }
    if (!kept.empty() && kept.back().format == run.format) continue;
    kept.push_back(std::move(run));
  }
  if (kept.empty()) kept.push_back(FormatRun{0, newFormat});
  kept.front().begin = 0;
  runs = std::move(kept);
}

void TextField::ReplaceBytes(std::size_t from, std::size_t to, std::string_view value, const TextFormatData& f) {
  from = std::min(from, text.size());
  to = std::clamp(to, from, text.size());
  SplitRunAt(from);
  SplitRunAt(to);
  const std::ptrdiff_t shift = static_cast<std::ptrdiff_t>(value.size()) - static_cast<std::ptrdiff_t>(to - from);
  // Runs before the range stay, those inside go, those after move with the text after.
  std::vector<FormatRun> next;
  for (FormatRun& run : runs) {
    if (run.begin < from) next.push_back(std::move(run));
  }
  if (!value.empty()) next.push_back(FormatRun{from, f});
  for (FormatRun& run : runs) {
    if (run.begin >= to && run.begin < text.size()) {
      run.begin = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(run.begin) + shift);
      next.push_back(std::move(run));
    }
  }
  text.replace(from, to - from, value);
  runs = std::move(next);
  NormalizeRuns();
}

int TextField::Utf16Length() const { return Utf16UnitsOf(text); }

void TextField::Select(int anchor, int caret) {
  const int length = Utf16Length();
  selectionAnchor = std::clamp(anchor, 0, length);
  selectionCaret = std::clamp(caret, 0, length);
}

void TextField::ReplaceSelection(std::string_view value) {
  if (selectionAnchor < 0 || selectionCaret < 0) {
    ReplaceBytes(text.size(), text.size(), value, newFormat);
  } else {
    const int begin = std::min(selectionAnchor, selectionCaret);
    const int end = std::max(selectionAnchor, selectionCaret);
    ReplaceBytes(ByteOffsetOfUnit(text, begin), ByteOffsetOfUnit(text, end), value, newFormat);
    selectionAnchor = selectionCaret = begin + Utf16UnitsOf(value);
  }
  FitToText();
}

void TextField::ReplaceText(int begin, int end, std::string_view value) {
  ReplaceBytes(ByteOffsetOfUnit(text, begin), ByteOffsetOfUnit(text, end), value, newFormat);
  FitToText();
}

TextFormatData TextField::FormatOf(int begin, int end) const {
  const std::size_t from = ByteOffsetOfUnit(text, begin);
  const std::size_t to = std::max(from, ByteOffsetOfUnit(text, end));
  std::size_t index = RunAt(from);
  TextFormatData shared = runs[index].format;
  for (++index; index < runs.size() && runs[index].begin < to; ++index) shared.Intersect(runs[index].format);
  return shared;
}

namespace {

// The paragraph members of a format, and the character members.
TextFormatData ParagraphPart(const TextFormatData& f) {
  TextFormatData p;
  p.align = f.align;
  p.leftMargin = f.leftMargin;
  p.rightMargin = f.rightMargin;
  p.indent = f.indent;
  p.leading = f.leading;
  p.blockIndent = f.blockIndent;
  p.bullet = f.bullet;
  p.tabStops = f.tabStops;
  return p;
}

TextFormatData CharacterPart(TextFormatData f) {
  f.align.reset();
  f.leftMargin.reset();
  f.rightMargin.reset();
  f.indent.reset();
  f.leading.reset();
  f.blockIndent.reset();
  f.bullet.reset();
  f.tabStops.reset();
  return f;
}

}  // namespace

void TextField::ApplyFormat(int begin, int end, const TextFormatData& f) {
  std::size_t from = ByteOffsetOfUnit(text, begin);
  std::size_t to = std::max(from, ByteOffsetOfUnit(text, end));
  const auto mergeOver = [&](std::size_t a, std::size_t b, const TextFormatData& part) {
    SplitRunAt(a);
    SplitRunAt(b);
    for (std::size_t i = RunAt(a); i < runs.size() && (runs[i].begin < b || (a == b && runs[i].begin == a)); ++i) {
      runs[i].format.Merge(part);
    }
  };
  if (text.empty()) {
    runs.front().format.Merge(f);
    return;
  }
  if (from >= to) return;
  mergeOver(from, to, CharacterPart(f));
  if (f.SetsParagraph()) {
    // Paragraph members reach from the start of the first paragraph touched to the end of the last.
    const std::size_t lineStart = from == 0 ? 0 : text.rfind('\r', from - 1);
    from = lineStart == std::string::npos || from == 0 ? 0 : lineStart + 1;
    to = std::min(text.find('\r', to > 0 ? to - 1 : 0), text.size());
    if (to < text.size()) ++to;
    mergeOver(from, to, ParagraphPart(f));
  }
  NormalizeRuns();
  FitToText();
}

void TextField::ApplyToAll(const TextFormatData& f) {
  for (FormatRun& run : runs) run.format.Merge(f);
  newFormat.Merge(f);
  NormalizeRuns();
  FitToText();
}

// A field that sizes itself to its text takes a new size only as far as
// its text lets it: the height (and, unwrapped, the width) fit it again.
void TextField::SetWidth(double pixels) {
  if (std::isfinite(pixels) && pixels >= 0) maxX = minX + std::round(pixels * 20);
  FitToText();
}

void TextField::SetHeight(double pixels) {
  if (std::isfinite(pixels) && pixels >= 0) maxY = minY + std::round(pixels * 20);
  FitToText();
}

void AppendUtf8(std::string& out, std::uint32_t point) {
  if (point < 0x80) {
    out += static_cast<char>(point);
  } else if (point < 0x800) {
    out += static_cast<char>(0xC0 | (point >> 6));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    out += static_cast<char>(0xE0 | (point >> 12));
    out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (point >> 18));
    out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  }
}

}  // namespace swf
