// Lays a text field's runs out in lines, as the player measures them: a
// 2-pixel gutter inside the bounds, each paragraph's margins, block indent
// and first-line indent, word wrap at the last space that fits, and a line
// height of the tallest run's ascent plus descent, with the paragraph's
// leading below it.

#include <algorithm>
#include <cmath>

#include "swf_text.h"
#include "text/text_field.h"

namespace swf {

namespace {

constexpr double kGutterTwips = 40;
constexpr std::size_t kMaxLines = 100000;
// A device font's metrics as fractions of the font size: the average advance
// of a character, its ascent and its descent.
constexpr double kDeviceAdvance = 0.55;
constexpr double kDeviceAscent = 0.9;
constexpr double kDeviceDescent = 0.25;

struct RunMetrics {
  const FontDefinition* font = nullptr;
  double size = 12, ascent = 0, descent = 0, spacing = 0;  // twips, except size in pixels
};

// A font measure scaled to the run's size, in whole twips as the player
// keeps them: cut down, so that long lines add up the same shortfall.
double ScaledTwips(double units, const FontDefinition& font, double size) {
  return std::floor(units * size * 20 / font.unitsPerEm + 1e-9);
}

RunMetrics MetricsOf(const TextFormatData& format, const FontDefinition* font) {
  RunMetrics m;
  m.font = font;
  m.size = format.size.value_or(12);
  m.spacing = format.letterSpacing.value_or(0) * 20;
  if (font && font->ascent + font->descent > 0 && font->unitsPerEm > 0) {
    m.ascent = ScaledTwips(font->ascent, *font, m.size);
    m.descent = ScaledTwips(font->descent, *font, m.size);
  } else {
    m.ascent = kDeviceAscent * m.size * 20;
    m.descent = kDeviceDescent * m.size * 20;
  }
  return m;
}

double AdvanceOf(const RunMetrics& m, std::uint32_t code) {
  if (!m.font || m.font->advances.empty() || m.font->unitsPerEm <= 0) return kDeviceAdvance * m.size * 20 + m.spacing;
  const auto found = code <= 0xFFFF ? m.font->advances.find(static_cast<std::uint16_t>(code)) : m.font->advances.end();
  const double advance = found != m.font->advances.end() ? ScaledTwips(found->second, *m.font, m.size) : 0;
  return advance + m.spacing;
}

std::size_t SequenceLength(unsigned char lead) { return lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1; }

// Where a line that has grown past `room` at glyph `over` breaks: after the
// last space before it, or before `over` when the word alone is too wide.
std::size_t BreakAt(const std::vector<LaidGlyph>& glyphs, std::size_t lineStart, std::size_t over) {
  for (std::size_t i = over; i > lineStart; --i) {
    if (glyphs[i - 1].code == ' ') return i;
  }
  return std::max(over, lineStart + 1);
}

}  // namespace

double ParagraphInsetTwips(const TextFormatData& p) {
  const double bullet = p.bullet.value_or(false) ? kBulletIndentEms * p.size.value_or(12) * 20 : 0;
  return 20 * (p.leftMargin.value_or(0) + p.blockIndent.value_or(0)) + bullet;
}

double TabAdvanceTwips(const TextFormatData& p, double position) {
  if (p.tabStops) {
    for (const double stop : *p.tabStops) {
      const double twips = stop * 20;
      if (std::isfinite(twips) && twips > position) return twips - position;
    }
  }
  const double next = (std::floor(position / kDefaultTabTwips) + 1) * kDefaultTabTwips;
  return next - position;
}

const FontDefinition* TextField::UsedFont(const TextFormatData& f) const {
  const std::string face = LowerAscii(f.font.value_or(""));
  if ((font && LowerAscii(font->name) == face) || !movie_ || !embedFonts) return font;
  const FontDefinition* best = nullptr;
  int bestScore = -1;
  for (const auto& [id, candidate] : movie_->fonts) {
    if (LowerAscii(candidate->name) != face) continue;
    const int score = (candidate->bold == f.bold.value_or(false)) + (candidate->italic == f.italic.value_or(false));
    if (score > bestScore) {
      best = candidate.get();
      bestScore = score;
    }
  }
  return best ? best : font;
}

std::vector<LaidLine> TextField::Layout() const {
  std::vector<RunMetrics> metrics;
  metrics.reserve(runs.size());
  for (const FormatRun& run : runs) metrics.push_back(MetricsOf(run.format, UsedFont(run.format)));

  std::vector<LaidLine> lines;
  for (std::size_t start = 0; lines.size() < kMaxLines;) {
    const std::size_t end = std::min(text.find('\r', start), text.size());
    const std::size_t paragraphRun = RunAt(start);
    const TextFormatData& p = runs[paragraphRun].format;
    const double room = (maxX - minX) - 2 * kGutterTwips - ParagraphInsetTwips(p) - 20 * p.rightMargin.value_or(0);
    // The paragraph's characters with their advances.
    std::vector<LaidGlyph> glyphs;
    std::vector<std::size_t> offsets;
    for (std::size_t at = start; at < end;) {
      const std::size_t length = std::min(SequenceLength(static_cast<unsigned char>(text[at])), end - at);
      const std::uint32_t code = CodePoints(std::string_view(text).substr(at, length)).front();
      const std::size_t run = RunAt(at);
      glyphs.push_back(
          {password ? std::uint32_t{'*'} : code, run, 0, AdvanceOf(metrics[run], password ? '*' : code), at});
      offsets.push_back(at);
      at += length;
    }
    // Cut into lines.
    std::size_t lineStart = 0;
    do {
      const double lineIndent = lineStart == 0 ? p.indent.value_or(0) * 20 : 0;
      const double lineRoom = room - lineIndent;
      std::size_t lineEnd = glyphs.size();
      double x = 0;
      for (std::size_t i = lineStart; i < glyphs.size(); ++i) {
        // A tab reaches the next stop from where it stands on this line.
        if (glyphs[i].code == '\t') glyphs[i].advance = TabAdvanceTwips(p, lineIndent + x);
        if (wordWrap && i > lineStart && x + glyphs[i].advance > lineRoom && glyphs[i].code != ' ') {
          lineEnd = BreakAt(glyphs, lineStart, i);
          break;
        }
        x += glyphs[i].advance;
      }
      LaidLine line;
      line.begin = lineStart < offsets.size() ? offsets[lineStart] : start;
      line.paragraphStart = lineStart == 0;
      line.paragraphEnd = lineEnd >= glyphs.size();
      line.paragraphRun = paragraphRun;
      line.leading = p.leading.value_or(0) * 20;
      double width = 0;
      for (std::size_t i = lineStart; i < lineEnd; ++i) {
        LaidGlyph g = glyphs[i];
        g.x = width;
        width += g.advance;
        const RunMetrics& m = metrics[g.run];
        line.ascent = std::max(line.ascent, m.ascent);
        line.descent = std::max(line.descent, m.descent);
        line.glyphs.push_back(g);
      }
      // What scripts measure counts the spaces a wrapped line ends with.
      line.width = width;
      if (line.glyphs.empty()) {
        const RunMetrics& m = metrics[RunAt(line.begin)];
        line.ascent = m.ascent;
        line.descent = m.descent;
      }
      lines.push_back(std::move(line));
      lineStart = lineEnd;
    } while (lineStart < glyphs.size() && lines.size() < kMaxLines);
    if (end >= text.size()) break;
    start = end + 1;
  }
  return lines;
}

namespace {

// The widest line with its margins and indents, and the lines' heights, in
// twips as laid out.
double WidestLineTwips(const TextField& field, const std::vector<LaidLine>& lines) {
  double widest = 0;
  for (const LaidLine& line : lines) {
    const TextFormatData& p = field.runs[line.paragraphRun].format;
    const double indent = line.paragraphStart ? p.indent.value_or(0) * 20 : 0;
    widest = std::max(widest, line.width + indent + ParagraphInsetTwips(p));
  }
  return widest;
}

// A single line counts its own leading; more lines count the leading between
// them, not the last one's.
double LinesHeightTwips(const std::vector<LaidLine>& lines) {
  double height = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    height += lines[i].ascent + lines[i].descent;
    if (lines.size() == 1 || i + 1 < lines.size()) height += lines[i].leading;
  }
  return height;
}

}  // namespace

// Scripts read whole pixels, cut down.
double TextField::TextWidth() const { return text.empty() ? 0 : std::floor(WidestLineTwips(*this, Layout()) / 20); }

double TextField::TextHeight() const { return text.empty() ? 0 : std::floor(LinesHeightTwips(Layout()) / 20); }

// The bounds follow the text as laid out, to the twip, with the gutters.
void TextField::FitToText() {
  if (autoSize == AutoSize::None) return;
  const std::vector<LaidLine> lines = text.empty() ? std::vector<LaidLine>{} : Layout();
  const double width = WidestLineTwips(*this, lines) + 2 * kGutterTwips;
  const double height = LinesHeightTwips(lines) + 2 * kGutterTwips;
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

int TextField::LineCount() const { return static_cast<int>(Layout().size()); }

namespace {

// How many lines from `first` fit whole inside `room` twips (at least one).
int LinesThatFit(const std::vector<LaidLine>& lines, std::size_t first, double room) {
  double top = 0;
  int count = 0;
  for (std::size_t i = first; i < lines.size(); ++i) {
    if (count > 0 && top + lines[i].ascent + lines[i].descent > room) break;
    top += lines[i].ascent + lines[i].descent + lines[i].leading;
    ++count;
  }
  return std::max(1, count);
}

}  // namespace

int TextField::BottomScroll() const {
  const std::vector<LaidLine> lines = Layout();
  const std::size_t first = static_cast<std::size_t>(std::clamp(scroll, 1, static_cast<int>(lines.size())) - 1);
  return static_cast<int>(first) + LinesThatFit(lines, first, (maxY - minY) - 2 * kGutterTwips);
}

int TextField::MaxScroll() const {
  const std::vector<LaidLine> lines = Layout();
  const double room = (maxY - minY) - 2 * kGutterTwips;
  // The first line from which every line to the end fits.
  std::size_t first = lines.size() - 1;
  while (first > 0 && first + static_cast<std::size_t>(LinesThatFit(lines, first - 1, room)) >= lines.size() + 1) {
    --first;
  }
  return static_cast<int>(first) + 1;
}

}  // namespace swf
