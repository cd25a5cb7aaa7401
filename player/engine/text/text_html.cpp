// HTML text of text fields: the markup read into runs of formats, and the
// markup the platform writes back for them, a paragraph at a time.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "swf_text.h"
#include "text/text_field.h"

namespace swf {

namespace {

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

// A tag's attributes, names lower-cased; values with or without quotes.
std::vector<std::pair<std::string, std::string>> TagAttributes(std::string_view tag) {
  std::vector<std::pair<std::string, std::string>> attributes;
  std::size_t i = 1;
  while (i < tag.size() && !IsSpace(tag[i]) && tag[i] != '>') ++i;
  while (i < tag.size()) {
    while (i < tag.size() && (IsSpace(tag[i]) || tag[i] == '/')) ++i;
    const std::size_t nameStart = i;
    while (i < tag.size() && !IsSpace(tag[i]) && tag[i] != '=' && tag[i] != '>') ++i;
    if (i == nameStart) break;
    std::string name = LowerAscii(tag.substr(nameStart, i - nameStart));
    while (i < tag.size() && IsSpace(tag[i])) ++i;
    std::string value;
    if (i < tag.size() && tag[i] == '=') {
      ++i;
      while (i < tag.size() && IsSpace(tag[i])) ++i;
      const char quote = i < tag.size() ? tag[i] : 0;
      if (quote == '"' || quote == '\'') {
        const std::size_t close = std::min(tag.find(quote, i + 1), tag.size());
        value = std::string(tag.substr(i + 1, close - i - 1));
        i = close + 1;
      } else {
        const std::size_t valueStart = i;
        while (i < tag.size() && !IsSpace(tag[i]) && tag[i] != '>') ++i;
        value = std::string(tag.substr(valueStart, i - valueStart));
      }
    }
    attributes.emplace_back(std::move(name), std::move(value));
  }
  return attributes;
}

std::optional<double> WholeNumber(const std::string& value) {
  char* end = nullptr;
  const double number = std::strtod(value.c_str(), &end);
  if (end == value.c_str()) return std::nullopt;
  return static_cast<double>(static_cast<long long>(number));
}

// What a <font> tag's attributes change in a format; a size with a sign is
// relative to the size around it. Spacing and kerning came with version 8.
void ApplyFontAttribute(TextFormatData& f, const std::string& name, const std::string& value, int version) {
  if (name == "face") {
    f.font = value;
  } else if (name == "size") {
    if (const auto size = WholeNumber(value)) {
      const bool relative = !value.empty() && (value[0] == '+' || value[0] == '-');
      // Markup sizes stay within the 1 to 127 points a <font> tag can give.
      f.size = std::clamp(relative ? f.size.value_or(12) + *size : *size, 1.0, 127.0);
    }
  } else if (name == "color") {
    if (value.size() == 7 && value[0] == '#') f.color = static_cast<std::uint32_t>(std::strtoul(value.c_str() + 1, nullptr, 16));
  } else if (version < 8) {
    return;
  } else if (name == "letterspacing") {
    f.letterSpacing = std::atof(value.c_str());
  } else if (name == "kerning") {
    f.kerning = std::atoi(value.c_str()) != 0;
  }
}

void ApplyTextFormatAttribute(TextFormatData& f, const std::string& name, const std::string& value) {
  const auto number = WholeNumber(value);
  if (name == "tabstops") {
    std::vector<double> stops;
    for (std::size_t at = 0; at < value.size();) {
      const std::size_t comma = std::min(value.find(',', at), value.size());
      if (const auto stop = WholeNumber(value.substr(at, comma - at))) stops.push_back(*stop);
      at = comma + 1;
    }
    f.tabStops = std::move(stops);
  } else if (!number) {
    return;
  } else if (name == "leftmargin") {
    f.leftMargin = std::max(0.0, *number);
  } else if (name == "rightmargin") {
    f.rightMargin = std::max(0.0, *number);
  } else if (name == "indent") {
    f.indent = *number;
  } else if (name == "blockindent") {
    f.blockIndent = std::max(0.0, *number);
  } else if (name == "leading") {
    f.leading = *number;
  }
}

// Reads markup into text and runs: each tag opens a format that holds
// until it closes.
class HtmlReader {
 public:
  // `version` and `multiline` decide the whitespace rules: before version 7
  // a text made of white space alone between two tags is dropped, as it is
  // from version 7 on when condensing; from version 7 on the paragraph tags
  // of a single-line field break no line.
  HtmlReader(const TextFormatData& base, bool condenseWhite, int version, bool multiline)
      : version_(version), condenseWhite_(condenseWhite), dropWhiteOnly_(version < 7 || condenseWhite),
        paragraphBreaks_(version < 7 || multiline) {
    stack_.push_back({"", base});
  }

  void Read(std::string_view html) {
    for (std::size_t i = 0; i < html.size();) {
      if (html[i] == '<') {
        std::size_t end = 0;
        const std::string name = TagName(html, i, end);
        Tag(name, html.substr(i, end - i));
        i = end;
        continue;
      }
      const std::size_t end = std::min(html.find('<', i), html.size());
      TextNode(html.substr(i, end - i));
      i = end;
    }
  }

  std::string& Text() { return text_; }
  std::vector<FormatRun>& Runs() { return runs_; }

 private:
  struct Open {
    std::string name;
    TextFormatData format;
    std::size_t textAt = 0;  // how long the text was when the tag opened
  };

  // The characters between two tags: white space condensed to one space
  // when the field condenses it, newlines as paragraph ends otherwise.
  void TextNode(std::string_view node) {
    if (dropWhiteOnly_ && std::all_of(node.begin(), node.end(), IsSpace)) return;
    for (std::size_t i = 0; i < node.size();) {
      const char ch = node[i];
      if (ch == '&') {
        std::string decoded;
        std::size_t length = 0;
        if (ReadEntity(node, i, decoded, length)) {
          Append(decoded);
          i += length;
        } else {
          Append("&");
          ++i;
        }
      } else if (condenseWhite_ && IsSpace(ch)) {
        Append(" ");
        while (i < node.size() && IsSpace(node[i])) ++i;
      } else {
        Append(std::string(1, ch == '\n' ? '\r' : ch));
        ++i;
      }
    }
  }

  // An empty <font> holds for the paragraph ends that closing tags write
  // up to the first line break the text itself (a newline, <br>, <li>) starts.
  void Append(std::string_view piece) {
    if (piece.find('\r') != std::string_view::npos) emptyFont_.reset();
    AppendIn(piece, stack_.back().format);
  }

  void AppendIn(std::string_view piece, const TextFormatData& format) {
    if (runs_.empty() || !(runs_.back().format == format)) runs_.push_back(FormatRun{text_.size(), format});
    text_.append(piece);
  }

  void Tag(const std::string& name, std::string_view tag) {
    if (name.empty()) return;
    if (name[0] == '/') {
      Close(name.substr(1));
      return;
    }
    if (name == "br") {
      if (paragraphBreaks_) Append("\r");
      return;
    }
    // A <p> inside an open one is no paragraph of its own: the markup reads
    // on as if it were not there, and the first </p> ends the open one.
    if (name == "p" && paragraphOpen_) return;
    if (name == "p") paragraphOpen_ = true;
    TextFormatData f = stack_.back().format;
    for (const auto& [key, value] : TagAttributes(tag)) {
      if (name == "font") {
        ApplyFontAttribute(f, key, value, version_);
      } else if (name == "p" && key == "align") {
        const std::string align = LowerAscii(value);
        if (align == "left" || align == "right" || align == "center" || align == "justify") f.align = align;
      } else if (name == "a" && key == "href") {
        f.url = value;
      } else if (name == "a" && key == "target") {
        f.target = value;
      } else if (name == "textformat") {
        ApplyTextFormatAttribute(f, key, value);
      }
    }
    // A list item starts a paragraph of its own.
    if (name == "li" && paragraphBreaks_ && !text_.empty() && text_.back() != '\r') Append("\r");
    if (name == "b") f.bold = true;
    if (name == "i") f.italic = true;
    if (name == "u") f.underline = true;
    if (name == "li") f.bullet = true;
    if (name == "p" || name == "li" || name == "font" || name == "a" || name == "b" || name == "i" || name == "u" ||
        name == "textformat") {
      stack_.push_back({name, std::move(f), text_.size()});
    }
  }

  void Close(const std::string& name) {
    // A paragraph ends at the </p> of an open one (a stray </p> ends
    // nothing), or at each </li>.
    const bool endsParagraph = name == "li" || (name == "p" && paragraphOpen_);
    if (name == "p") paragraphOpen_ = false;
    if (endsParagraph && paragraphBreaks_) EndParagraph(name == "li");
    // A closing tag closes the innermost open tag alone, and only when it
    // names it: markup that closes tags out of order leaves them open.
    if (stack_.size() < 2 || stack_.back().name != name) return;
    // A <font> that closes on no text of its own is kept for the paragraph
    // ends that follow.
    if (name == "font" && stack_.back().textAt == text_.size()) emptyFont_ = stack_.back().format;
    stack_.pop_back();
  }

  // The '\r' that ends a paragraph: the paragraph members of the tags open
  // around it; the character members of the last empty <font> the markup
  // closed, else at a </li> those of the tags open around it, else those of
  // the character before it in its paragraph (an empty paragraph takes the
  // field's own, whatever styles or fonts are open around it).
  void EndParagraph(bool listItem) {
    const bool emptyParagraph = runs_.empty() || text_.empty() || text_.back() == '\r';
    TextFormatData format = emptyFont_        ? *emptyFont_
                            : listItem        ? stack_.back().format
                            : emptyParagraph  ? stack_.front().format
                                              : runs_.back().format;
    const TextFormatData& around = stack_.back().format;
    format.align = around.align;
    format.leftMargin = around.leftMargin;
    format.rightMargin = around.rightMargin;
    format.indent = around.indent;
    format.leading = around.leading;
    format.blockIndent = around.blockIndent;
    format.bullet = around.bullet;
    format.tabStops = around.tabStops;
    AppendIn("\r", format);
  }

  int version_;
  bool condenseWhite_, dropWhiteOnly_, paragraphBreaks_;
  bool paragraphOpen_ = false;
  std::optional<TextFormatData> emptyFont_;
  std::vector<Open> stack_;
  std::string text_;
  std::vector<FormatRun> runs_;
};

// Appends ` NAME="value"` piece by piece.
void AppendAttribute(std::string& out, std::string_view name, std::string_view value) {
  out += ' ';
  out += name;
  out += "=\"";
  out += value;
  out += '"';
}

// The members a <font> tag writes, those of `f` that differ from `outer`
// (all of them when there is no outer tag).
std::string FontAttributes(const TextFormatData& f, const TextFormatData* outer) {
  std::string out;
  const auto differs = [&](auto member) { return !outer || f.*member != outer->*member; };
  if (differs(&TextFormatData::font)) AppendAttribute(out, "FACE", EscapeHtml(f.font.value_or("")));
  if (differs(&TextFormatData::size)) AppendAttribute(out, "SIZE", NumberText(f.size.value_or(12)));
  if (differs(&TextFormatData::color)) AppendAttribute(out, "COLOR", ColorHex(f.color.value_or(0)));
  // Every version writes spacing and kerning, though only version 8 scripts can set them.
  if (differs(&TextFormatData::letterSpacing)) AppendAttribute(out, "LETTERSPACING", NumberText(f.letterSpacing.value_or(0)));
  if (differs(&TextFormatData::kerning)) AppendAttribute(out, "KERNING", f.kerning.value_or(false) ? "1" : "0");
  return out;
}

std::string TextFormatAttributes(const TextFormatData& f) {
  std::string out;
  const auto add = [&](const char* name, const std::optional<double>& value) {
    if (value.value_or(0) != 0) AppendAttribute(out, name, NumberText(*value));
  };
  add("LEFTMARGIN", f.leftMargin);
  add("RIGHTMARGIN", f.rightMargin);
  add("INDENT", f.indent);
  add("BLOCKINDENT", f.blockIndent);
  add("LEADING", f.leading);
  if (f.tabStops && !f.tabStops->empty()) {
    out += " TABSTOPS=\"";
    for (std::size_t i = 0; i < f.tabStops->size(); ++i) {
      if (i > 0) out += ',';
      out += NumberText((*f.tabStops)[i]);
    }
    out += "\"";
  }
  return out;
}

// The members a <font> tag speaks for.
bool SameFont(const TextFormatData& a, const TextFormatData& b) {
  return a.font == b.font && a.size == b.size && a.color == b.color && a.letterSpacing == b.letterSpacing &&
         a.kerning == b.kerning;
}

// The members a run's HTML writes.
bool SameCharacters(const TextFormatData& a, const TextFormatData& b) {
  return SameFont(a, b) && a.bold == b.bold && a.italic == b.italic && a.underline == b.underline &&
         a.url == b.url && a.target == b.target;
}

// One run's text with its link, bold, italic and underline.
std::string RunHtml(std::string_view text, const TextFormatData& f) {
  std::string inner = EscapeHtml(text);
  if (f.underline.value_or(false)) inner = "<U>" + inner + "</U>";
  if (f.italic.value_or(false)) inner = "<I>" + inner + "</I>";
  if (f.bold.value_or(false)) inner = "<B>" + inner + "</B>";
  if (!f.url.value_or("").empty()) {
    inner = "<A HREF=\"" + *f.url + "\" TARGET=\"" + f.target.value_or("") + "\">" + inner + "</A>";
  }
  return inner;
}

// The <font> tags of a paragraph as the player nests them: a run whose font
// one of the open tags gives closes the tags inside that one; any other run
// opens a tag inside the innermost, for the members that differ from it.
class FontNesting {
 public:
  FontNesting(std::string& out, const TextFormatData& paragraph) : out_(out) {
    out_ += "<FONT";
    out_ += FontAttributes(paragraph, nullptr);
    out_ += '>';
    open_.push_back(paragraph);
  }

  void Run(std::string_view text, const TextFormatData& f) {
    std::size_t keep = open_.size();
    while (keep > 0 && !SameFont(open_[keep - 1], f)) --keep;
    if (keep > 0) {
      CloseTo(keep);
    } else {
      out_ += "<FONT" + FontAttributes(f, &open_.back()) + ">";
      open_.push_back(f);
    }
    out_ += RunHtml(text, f);
  }

  void End() { CloseTo(0); }

 private:
  void CloseTo(std::size_t count) {
    for (; open_.size() > count; open_.pop_back()) out_ += "</FONT>";
  }

  std::string& out_;
  std::vector<TextFormatData> open_;
};

}  // namespace

void TextField::SetHtmlText(std::string_view value, int version) {
  if (!html) {
    SetText(value);
    return;
  }
  // Styles and links come from the markup alone; the face, size and colour
  // carry over from the field.
  TextFormatData base = newFormat;
  base.bold = base.italic = base.underline = false;
  base.url = base.target = "";
  HtmlReader reader(base, condenseWhite, version, multiline);
  reader.Read(value);
  // The end of the last paragraph stays in the text; it is written as no
  // paragraph of its own.
  text = std::move(reader.Text());
  runs = std::move(reader.Runs());
  if (runs.empty()) runs.push_back(FormatRun{0, base});
  NormalizeRuns();
  FitToText();
}

std::string TextField::HtmlText(int) const {
  if (!html || text.empty()) return text;
  std::string out;
  // Each '\r' ends a paragraph; an empty last one is not written.
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\r', start), text.size());
    const std::size_t first = RunAt(start);
    const TextFormatData& paragraph = runs[first].format;
    const std::string textFormat = TextFormatAttributes(paragraph);
    if (!textFormat.empty()) out += "<TEXTFORMAT" + textFormat + ">";
    const bool bullet = paragraph.bullet.value_or(false);
    if (bullet) {
      out += "<LI>";
    } else {
      out += "<P";
      AppendAttribute(out, "ALIGN", Upper(paragraph.align.value_or("left")));
      out += '>';
    }
    FontNesting fonts(out, paragraph);
    // The paragraph's runs up to its end, those that differ in paragraph
    // members alone as one; a run that holds only the '\r' that ends it is
    // written empty.
    const std::size_t last = end < text.size() ? end + 1 : end;
    std::size_t at = start;
    std::string pending;
    const TextFormatData* pendingFormat = nullptr;
    for (std::size_t index = first; index < runs.size() && (at < last || index == first); ++index) {
      const std::size_t runEnd = index + 1 < runs.size() ? std::min(runs[index + 1].begin, last) : last;
      const std::string_view piece = std::string_view(text).substr(at, std::min(runEnd, end) - std::min(at, end));
      if (pendingFormat && !SameCharacters(*pendingFormat, runs[index].format)) {
        fonts.Run(pending, *pendingFormat);
        pending.clear();
      }
      pending += piece;
      pendingFormat = &runs[index].format;
      at = runEnd;
    }
    if (pendingFormat) fonts.Run(pending, *pendingFormat);
    fonts.End();
    out += bullet ? "</LI>" : "</P>";
    if (!textFormat.empty()) out += "</TEXTFORMAT>";
    if (end >= text.size()) break;
    start = end + 1;
  }
  return out;
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
