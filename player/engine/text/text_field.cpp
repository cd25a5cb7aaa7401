#include "text/text_field.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "swf_text.h"

namespace swf {

namespace {

// A device font's metrics as fractions of the font size: the average advance
// of a character, the line height (ascent plus descent) and the gap between
// lines.
constexpr double kDeviceAdvance = 0.55;
constexpr double kDeviceLineHeight = 1.15;
constexpr int kMaxLines = 100000;

template <typename T>
void Take(std::optional<T>& into, const std::optional<T>& from) {
  if (from) into = from;
}

std::string Upper(std::string text) {
  for (char& ch : text) {
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  }
  return text;
}

std::string ColorHex(std::uint32_t color) {
  char text[8];
  std::snprintf(text, sizeof text, "#%06X", static_cast<unsigned>(color & 0xFFFFFFu));
  return text;
}

std::string NumberText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
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

namespace {

// "&amp;" and friends at `at` (which holds '&'): the text it stands for and
// its length, or nothing when it is no entity the player knows.
bool ReadEntity(std::string_view html, std::size_t at, std::string& out, std::size_t& length) {
  const std::size_t end = html.find(';', at);
  if (end == std::string_view::npos || end - at > 10) return false;
  const std::string name = LowerAscii(html.substr(at + 1, end - at - 1));
  length = end - at + 1;
  if (name == "amp") {
    out += '&';
  } else if (name == "lt") {
    out += '<';
  } else if (name == "gt") {
    out += '>';
  } else if (name == "quot") {
    out += '"';
  } else if (name == "apos") {
    out += '\'';
  } else if (name == "nbsp") {
    AppendUtf8(out, 0xA0);
  } else if (name.size() > 1 && name[0] == '#') {
    const bool hex = name[1] == 'x';
    const std::string digits = name.substr(hex ? 2 : 1);
    if (digits.empty()) return false;
    std::uint32_t point = 0;
    for (char ch : digits) {
      const int digit = ch >= '0' && ch <= '9' ? ch - '0' : hex && ch >= 'a' && ch <= 'f' ? ch - 'a' + 10 : -1;
      if (digit < 0) return false;
      point = point * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
      if (point > 0x10FFFF) return false;
    }
    AppendUtf8(out, point);
  } else {
    return false;
  }
  return true;
}

bool IsSpace(char ch) { return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r'; }

// The name of a tag that starts at `at` ('<'), lower-cased, with a leading
// '/' for a closing tag; `end` is set past its '>'.
std::string TagName(std::string_view html, std::size_t at, std::size_t& end) {
  end = html.find('>', at);
  if (end == std::string_view::npos) {
    end = html.size();
  } else {
    ++end;
  }
  std::size_t i = at + 1;
  std::string name;
  if (i < html.size() && html[i] == '/') {
    name += '/';
    ++i;
  }
  while (i < end && !IsSpace(html[i]) && html[i] != '>' && html[i] != '/') name += html[i++];
  return LowerAscii(name);
}

}  // namespace

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
  if (html) {
    SetHtmlText(d.initialText, movie.version);
  } else {
    text.clear();
    for (char ch : d.initialText) text += ch == '\n' ? '\r' : ch;
  }
  FitToText();
}

void TextField::SetText(std::string_view value) {
  text.clear();
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n') continue;
    text += value[i] == '\n' ? '\r' : value[i];
  }
  format.Merge(newFormat);
  FitToText();
}

void TextField::SetHtmlText(std::string_view value, int) {
  if (!html) {
    SetText(value);
    return;
  }
  text = HtmlToPlainText(value, condenseWhite);
  if (!multiline) {
    if (const auto cut = text.find('\r'); cut != std::string::npos) text.resize(cut);
  }
  // The first <font> and <p align> of the markup set the field's format.
  const std::string lower = LowerAscii(value);
  const auto attribute = [&](std::string_view tag, std::string_view name) -> std::optional<std::string> {
    std::string opening = "<";
    opening.append(tag);
    opening.push_back(' ');
    const std::size_t at = lower.find(opening);
    if (at == std::string::npos) return std::nullopt;
    const std::size_t close = lower.find('>', at);
    std::string assignment(name);
    assignment.push_back('=');
    const std::size_t key = lower.find(assignment, at);
    if (key == std::string::npos || key > close) return std::nullopt;
    std::size_t start = key + name.size() + 1;
    const char quote = start < value.size() ? value[start] : 0;
    if (quote == '"' || quote == '\'') ++start;
    std::size_t end = start;
    while (end < value.size() && value[end] != quote && value[end] != '>' && (quote || !IsSpace(value[end]))) ++end;
    return std::string(value.substr(start, end - start));
  };
  if (auto face = attribute("font", "face")) format.font = *face;
  if (auto size = attribute("font", "size")) format.size = std::atof(size->c_str());
  if (auto color = attribute("font", "color"); color && color->size() == 7 && (*color)[0] == '#') {
    format.color = static_cast<std::uint32_t>(std::strtoul(color->c_str() + 1, nullptr, 16));
  }
  if (auto align = attribute("p", "align")) format.align = LowerAscii(*align);
  FitToText();
}

std::string TextField::HtmlText(int version) const {
  if (!html) return text;
  const TextFormatData& f = format;
  std::string out;
  const bool textFormat = f.leftMargin.value_or(0) != 0 || f.rightMargin.value_or(0) != 0 ||
                          f.indent.value_or(0) != 0 || f.leading.value_or(0) != 0 || f.blockIndent.value_or(0) != 0;
  std::size_t start = 0;
  do {
    const std::size_t end = std::min(text.find('\r', start), text.size());
    if (textFormat) {
      out += "<TEXTFORMAT";
      if (f.leftMargin.value_or(0) != 0) out += " LEFTMARGIN=\"" + NumberText(*f.leftMargin) + "\"";
      if (f.rightMargin.value_or(0) != 0) out += " RIGHTMARGIN=\"" + NumberText(*f.rightMargin) + "\"";
      if (f.indent.value_or(0) != 0) out += " INDENT=\"" + NumberText(*f.indent) + "\"";
      if (f.blockIndent.value_or(0) != 0) out += " BLOCKINDENT=\"" + NumberText(*f.blockIndent) + "\"";
      if (f.leading.value_or(0) != 0) out += " LEADING=\"" + NumberText(*f.leading) + "\"";
      out += ">";
    }
    out += "<P ALIGN=\"" + Upper(f.align.value_or("left")) + "\">";
    out += "<FONT FACE=\"" + f.font.value_or("") + "\" SIZE=\"" + NumberText(f.size.value_or(12)) + "\" COLOR=\"" +
           ColorHex(f.color.value_or(0)) + "\"";
    if (version >= 8) {
      out += " LETTERSPACING=\"" + NumberText(f.letterSpacing.value_or(0)) + "\" KERNING=\"" +
             (f.kerning.value_or(false) ? "1" : "0") + "\"";
    }
    out += ">";
    std::string inner = EscapeHtml(std::string_view(text).substr(start, end - start));
    if (f.underline.value_or(false)) inner = "<U>" + inner + "</U>";
    if (f.italic.value_or(false)) inner = "<I>" + inner + "</I>";
    if (f.bold.value_or(false)) inner = "<B>" + inner + "</B>";
    if (!f.url.value_or("").empty()) {
      inner = "<A HREF=\"" + *f.url + "\" TARGET=\"" + f.target.value_or("") + "\">" + inner + "</A>";
    }
    out += inner + "</FONT></P>";
    if (textFormat) out += "</TEXTFORMAT>";
    start = end + 1;
  } while (start <= text.size() && start > 0 && !text.empty());
  return out;
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

int TextField::Utf16Length() const { return Utf16UnitsOf(text); }

void TextField::Select(int anchor, int caret) {
  const int length = Utf16Length();
  selectionAnchor = std::clamp(anchor, 0, length);
  selectionCaret = std::clamp(caret, 0, length);
}

void TextField::ReplaceSelection(std::string_view value) {
  if (selectionAnchor < 0 || selectionCaret < 0) {
    text += value;
  } else {
    const int begin = std::min(selectionAnchor, selectionCaret);
    const int end = std::max(selectionAnchor, selectionCaret);
    const std::size_t from = ByteOffsetOfUnit(text, begin);
    const std::size_t to = ByteOffsetOfUnit(text, end);
    text.replace(from, to - from, value);
    selectionAnchor = selectionCaret = begin + Utf16UnitsOf(value);
  }
  FitToText();
}

std::vector<std::string> TextField::Lines(std::vector<bool>* starts) const {
  std::vector<std::string> lines;
  std::size_t start = 0;
  const double room = Width() * 20 - 80;  // the 2-pixel gutter on each side
  while (lines.size() < static_cast<std::size_t>(kMaxLines)) {
    const std::size_t end = std::min(text.find('\r', start), text.size());
    std::string_view paragraph = std::string_view(text).substr(start, end - start);
    while (wordWrap && !paragraph.empty() && LineWidth(paragraph) * 20 > room &&
           lines.size() < static_cast<std::size_t>(kMaxLines)) {
      // Break at the last space that keeps the line inside the field, or
      // inside the word when it alone is too wide.
      std::size_t cut = paragraph.size();
      while (cut > 1 && LineWidth(paragraph.substr(0, cut)) * 20 > room) --cut;
      const std::size_t space = paragraph.substr(0, cut + 1).rfind(' ');
      if (space != std::string_view::npos && space > 0) cut = space + 1;
      if (starts) starts->push_back(paragraph.data() == text.data() + start);
      lines.emplace_back(paragraph.substr(0, cut));
      paragraph.remove_prefix(cut);
    }
    if (starts) starts->push_back(paragraph.data() == text.data() + start);
    lines.emplace_back(paragraph);
    if (end >= text.size()) break;
    start = end + 1;
  }
  return lines;
}

const FontDefinition* TextField::UsedFont() const {
  const std::string face = LowerAscii(format.font.value_or(""));
  if ((font && LowerAscii(font->name) == face) || !movie_ || !embedFonts) return font;
  const FontDefinition* best = nullptr;
  int bestScore = -1;
  for (const auto& [id, candidate] : movie_->fonts) {
    if (LowerAscii(candidate->name) != face) continue;
    const int score = (candidate->bold == format.bold.value_or(false)) + (candidate->italic == format.italic.value_or(false));
    if (score > bestScore) {
      best = candidate.get();
      bestScore = score;
    }
  }
  return best ? best : font;
}

double TextField::LineWidth(std::string_view line) const {
  const double size = format.size.value_or(12);
  const FontDefinition* used = UsedFont();
  double width = 0;
  for (std::uint32_t point : CodePoints(line)) {
    if (used && !used->advances.empty()) {
      const auto found = used->advances.find(static_cast<std::uint16_t>(point));
      if (found != used->advances.end()) width += found->second / used->unitsPerEm * size;
    } else {
      width += size * kDeviceAdvance;
    }
    width += format.letterSpacing.value_or(0);
  }
  return width;
}

double TextField::LineHeight() const {
  const double size = format.size.value_or(12);
  const FontDefinition* used = UsedFont();
  if (used && used->ascent + used->descent > 0) return (used->ascent + used->descent) / used->unitsPerEm * size;
  return size * kDeviceLineHeight;
}

double TextField::TextWidth() const {
  if (text.empty()) return 0;
  double widest = 0;
  for (const std::string& line : Lines()) widest = std::max(widest, LineWidth(line));
  return std::round(widest);
}

double TextField::TextHeight() const {
  if (text.empty()) return 0;
  const int lines = LineCount();
  return std::round(lines * LineHeight() + (lines - 1) * format.leading.value_or(0));
}

int TextField::LineCount() const { return static_cast<int>(Lines().size()); }

int TextField::BottomScroll() const {
  const double step = LineHeight() + format.leading.value_or(0);
  const int visible = std::max(1, static_cast<int>((Height() - 4) / std::max(1.0, step)));
  return std::min(LineCount(), scroll + visible - 1);
}

int TextField::MaxScroll() const {
  const double step = LineHeight() + format.leading.value_or(0);
  const int visible = std::max(1, static_cast<int>((Height() - 4) / std::max(1.0, step)));
  return std::max(1, LineCount() - visible + 1);
}

void TextField::FitToText() {
  if (autoSize == AutoSize::None) return;
  const double width = (TextWidth() + 4) * 20;
  const double height = (TextHeight() + 4) * 20;
  if (!wordWrap) {
    const double oldWidth = maxX - minX;
    if (autoSize == AutoSize::Right) {
      minX = maxX - width;
    } else if (autoSize == AutoSize::Center) {
      minX += (oldWidth - width) / 2;
      maxX = minX + width;
    } else {
      maxX = minX + width;
    }
  }
  maxY = minY + height;
}

void TextField::SetWidth(double pixels) {
  if (std::isfinite(pixels) && pixels >= 0) maxX = minX + std::round(pixels * 20);
}

void TextField::SetHeight(double pixels) {
  if (std::isfinite(pixels) && pixels >= 0) maxY = minY + std::round(pixels * 20);
}

std::string HtmlToPlainText(std::string_view html, bool condenseWhite) {
  std::string out;
  bool paragraphOpen = false;
  for (std::size_t i = 0; i < html.size();) {
    const char ch = html[i];
    if (ch == '<') {
      std::size_t end = 0;
      const std::string name = TagName(html, i, end);
      if (name == "br" || name == "/p" || name == "/li") {
        out += '\r';
        paragraphOpen = name != "/p" && paragraphOpen;
      } else if (name == "p") {
        paragraphOpen = true;
      }
      i = end;
    } else if (ch == '&') {
      std::size_t length = 0;
      if (ReadEntity(html, i, out, length)) {
        i += length;
      } else {
        out += ch;
        ++i;
      }
    } else if (condenseWhite && IsSpace(ch)) {
      if (!out.empty() && out.back() != ' ' && out.back() != '\r') out += ' ';
      while (i < html.size() && IsSpace(html[i])) ++i;
    } else {
      out += ch == '\n' ? '\r' : ch;
      ++i;
    }
  }
  // The end of the last paragraph adds no line of its own.
  if (!out.empty() && out.back() == '\r') out.pop_back();
  return out;
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

std::string EscapeHtml(std::string_view text) {
  std::string out;
  for (char ch : text) {
    switch (ch) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += ch; break;
    }
  }
  return out;
}

}  // namespace swf
