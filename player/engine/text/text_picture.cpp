// What a text field draws: its background and border, and its visible lines
// laid out as the player lays them out (a 2-pixel gutter inside the bounds,
// margins, the first line's indent, alignment, leading) with the glyphs of
// its font, as one shape the renderer draws like any other.

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "text/text_field.h"

namespace swf {

namespace {

constexpr double kGutterTwips = 40;

Rgba ColorOf(std::uint32_t rgb) {
  return Rgba{static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
              static_cast<std::uint8_t>(rgb), 255};
}

// Adds a closed rectangle's edges under `style`.
void AddRectangle(std::vector<StyledSegment>& edges, std::uint16_t style, double x0, double y0, double x1, double y1,
                  Shape& shape) {
  const Point corners[] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
  for (int i = 0; i < 4; ++i) {
    const Point& from = corners[i];
    const Point& to = corners[(i + 1) % 4];
    edges.push_back({style, Segment{from, to, to, false}});
    GrowBounds(shape, from);
  }
}

// Glyphs go to alternate fill styles of one colour, so that neighbours that
// touch do not cancel each other out under the even-odd rule.
// Glyphs go to alternate fill styles of their colour, so that neighbours that
// touch do not cancel each other out under the even-odd rule.
class GlyphPlacer {
 public:
  GlyphPlacer(ShapeLayer& layer, Shape& shape) : layer_(layer), shape_(shape) {}

  void Place(const Glyph& glyph, std::uint32_t color, double scale, double x, double y) {
    if (glyph.edges.empty()) return;
    const std::uint16_t style = NextStyle(color);
    for (const Segment& edge : glyph.edges) {
      const Segment placed{{edge.from.x * scale + x, edge.from.y * scale + y},
                           {edge.control.x * scale + x, edge.control.y * scale + y},
                           {edge.to.x * scale + x, edge.to.y * scale + y},
                           edge.curved};
      layer_.fillEdges.push_back({style, placed});
      GrowBounds(shape_, placed);
    }
  }

  void Rectangle(std::uint32_t color, double x0, double y0, double x1, double y1) {
    AddRectangle(layer_.fillEdges, NextStyle(color), x0, y0, x1, y1, shape_);
  }

 private:
  std::uint16_t NextStyle(std::uint32_t color) {
    std::size_t index = 0;
    while (index < colors_.size() && colors_[index] != color) ++index;
    if (index == colors_.size()) {
      colors_.push_back(color);
      layer_.fills.emplace_back(ColorOf(color));
      layer_.fills.emplace_back(ColorOf(color));
    }
    parity_ ^= 1;
    return static_cast<std::uint16_t>(2 * index + static_cast<std::size_t>(parity_));
  }

  ShapeLayer& layer_;
  Shape& shape_;
  std::vector<std::uint32_t> colors_;
  int parity_ = 0;
};

// The selection as the field shows it, in UTF-16 units [begin, end): none
// unless the field is focused and selectable and something is selected.
struct ShownSelection {
  int begin = 0, end = 0;
  [[nodiscard]] bool Holds(int unit) const { return unit >= begin && unit < end; }
};

ShownSelection SelectionOf(const TextField& field) {
  if (!field.showsSelection || !field.selectable || field.selectionAnchor < 0 || field.selectionCaret < 0) return {};
  return {std::min(field.selectionAnchor, field.selectionCaret), std::max(field.selectionAnchor, field.selectionCaret)};
}

// The insertion point of a focused editable field with nothing selected, in
// UTF-16 units; -1 while it does not show (between blinks).
int ShownCaret(const TextField& field) {
  if (!field.showsSelection || !field.editable || !field.caretBlinkOn) return -1;
  if (field.selectionCaret < 0 || field.selectionAnchor != field.selectionCaret) return -1;
  return field.selectionCaret;
}

// Where the caret stands on a line: before the glyph that starts at its
// unit, else after the line's last glyph when the caret lies at the line's
// end.
struct CaretPlace {
  bool found = false;
  double x = 0;
  std::uint32_t color = 0;
};

// The UTF-16 unit each byte of the text starts (for bytes inside a
// character, the character's).
std::vector<int> Utf16Units(const std::string& text) {
  std::vector<int> units(text.size() + 1, 0);
  int unit = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if ((byte & 0xC0u) != 0x80u) {
      units[i] = unit;
      unit += byte >= 0xF0 ? 2 : 1;  // four-byte characters are two units
    } else {
      units[i] = i > 0 ? units[i - 1] : 0;
    }
  }
  units[text.size()] = unit;
  return units;
}

// Inverted as the platform shows a selection: the box takes the inverse of
// what lies behind the text, the glyphs the inverse of their colour.
std::uint32_t Inverse(std::uint32_t rgb) { return ~rgb & 0xFFFFFFu; }

// A bulleted paragraph's bullet, before its first line, in its first run's
// font, size and colour.
void PlaceBullet(GlyphPlacer& placer, const TextFormatData& p, const FontDefinition* font, double left,
                 double baseline) {
  const double size = p.size.value_or(12);
  if (!font || font->unitsPerEm <= 0 || size <= 0) return;
  const double x = left - kBulletIndentEms * size * 20 + size * 20 * 0.5;
  const std::uint32_t color = p.color.value_or(0);
  if (const Glyph* glyph = font->GlyphFor(0x2022)) {
    placer.Place(*glyph, color, size * 20 / font->unitsPerEm, x, baseline);
    return;
  }
  // A font without the bullet character: a small square in its place.
  const double side = size * 20 * 0.3;
  placer.Rectangle(color, x, baseline - size * 20 * 0.45, x + side, baseline - size * 20 * 0.45 + side);
}

// The caret after the last of a line's `shown` glyphs (the line's start when
// it has none), when its unit lies at or past that glyph and before the next
// line's first character; `x` is where the line's glyphs start.
template <typename UnitAt>
CaretPlace CaretAtLineEnd(const TextField& field, const std::vector<LaidLine>& lines, std::size_t index,
                          std::size_t shown, double x, const UnitAt& unitAt, int caretUnit) {
  const LaidLine& line = lines[index];
  const bool last = index + 1 == lines.size();
  if (!last && caretUnit >= unitAt(lines[index + 1].begin)) return {};
  if (caretUnit < unitAt(line.begin)) return {};
  if (shown == 0) {
    const TextFormatData& f = field.runs[line.paragraphRun].format;
    return {true, x, f.color.value_or(0)};
  }
  const LaidGlyph& g = line.glyphs[shown - 1];
  return {true, x + g.x + g.advance, field.runs[g.run].format.color.value_or(0)};
}

// The visible lines, from the one `scroll` names, aligned in their paragraphs.
void DrawLines(const TextField& field, GlyphPlacer& placer, GlyphPlacer& highlight, GlyphPlacer& caret,
               const std::vector<std::shared_ptr<const FontDefinition>>& glyphs) {
  const ShownSelection selection = SelectionOf(field);
  const int caretUnit = ShownCaret(field);
  const std::vector<int> units =
      selection.end > selection.begin || caretUnit >= 0 ? Utf16Units(field.text) : std::vector<int>{};
  const auto unitAt = [&](std::size_t byte) { return units.empty() ? 0 : units[std::min(byte, units.size() - 1)]; };
  const std::uint32_t behind = field.background ? field.backgroundColor : 0xFFFFFFu;
  const std::vector<FormatRun>& runs = field.runs;
  const double minX = field.minX, minY = field.minY, maxX = field.maxX, maxY = field.maxY;
  const std::vector<LaidLine> lines = field.Layout();
  const std::size_t first = static_cast<std::size_t>(std::clamp(field.scroll, 1, static_cast<int>(lines.size())) - 1);
  const double bottom = maxY - kGutterTwips;
  double top = minY + kGutterTwips;
  for (std::size_t index = first; index < lines.size(); ++index) {
    const LaidLine& line = lines[index];
    // A line that does not fit whole below the last shown one is not drawn, nor any after it.
    if (index > first && top + line.ascent + line.descent > bottom) break;
    const TextFormatData& p = runs[line.paragraphRun].format;
    const double indent = line.paragraphStart ? p.indent.value_or(0) * 20 : 0;
    const double left = minX + kGutterTwips + ParagraphInsetTwips(p) + indent;
    const double room = (maxX - kGutterTwips - 20 * p.rightMargin.value_or(0)) - left;
    std::size_t shown = line.glyphs.size();
    if (!line.paragraphEnd) {
      while (shown > 0 && line.glyphs[shown - 1].code == ' ') --shown;  // spaces that end a wrapped line take no room
    }
    const double shownWidth = shown > 0 ? line.glyphs[shown - 1].x + line.glyphs[shown - 1].advance : 0;
    const double free = std::max(0.0, room - shownWidth);
    const std::string align = p.align.value_or("left");
    double x = left;
    double extraPerSpace = 0;
    if (align == "right") {
      x += free;
    } else if (align == "center") {
      x += free / 2;
    } else if (align == "justify" && !line.paragraphEnd) {
      const auto spaces = std::count_if(line.glyphs.begin(), line.glyphs.begin() + static_cast<std::ptrdiff_t>(shown),
                                        [](const LaidGlyph& g) { return g.code == ' '; });
      if (spaces > 0) extraPerSpace = free / static_cast<double>(spaces);
    }
    const double baseline = top + line.ascent;
    if (line.paragraphStart && p.bullet.value_or(false)) PlaceBullet(placer, p, glyphs[line.paragraphRun].get(), left, baseline);
    double extra = 0;
    CaretPlace caretPlace;
    for (std::size_t i = 0; i < shown; ++i) {
      const LaidGlyph& g = line.glyphs[i];
      const TextFormatData& f = runs[g.run].format;
      const FontDefinition* font = glyphs[g.run].get();
      const double size = f.size.value_or(12);
      std::uint32_t color = f.color.value_or(0);
      const double at = x + g.x + extra;
      if (caretUnit >= 0 && !caretPlace.found && unitAt(g.at) == caretUnit) caretPlace = {true, at, color};
      if (!units.empty() && selection.Holds(units[std::min(g.at, units.size() - 1)])) {
        highlight.Rectangle(Inverse(behind), at, top, at + g.advance + (g.code == ' ' ? extraPerSpace : 0),
                            top + line.ascent + line.descent);
        color = Inverse(color);
      }
      if (g.code == '\t') continue;  // a tab only moves on
      if (font && font->unitsPerEm > 0 && size > 0) {
        if (const Glyph* glyph = font->GlyphFor(g.code)) placer.Place(*glyph, color, size * 20 / font->unitsPerEm, at, baseline);
      }
      if (f.underline.value_or(false)) {
        const double stroke = std::max(20.0, size);  // a twentieth of the size, at least a pixel
        placer.Rectangle(color, at, baseline + stroke, at + g.advance + (g.code == ' ' ? extraPerSpace : 0),
                         baseline + 2 * stroke);
      }
      if (g.code == ' ') extra += extraPerSpace;
    }
    if (caretUnit >= 0 && !caretPlace.found) caretPlace = CaretAtLineEnd(field, lines, index, shown, x + extra, unitAt, caretUnit);
    if (caretPlace.found) {
      // One pixel wide, over the line's height, in the colour of the text it stands by.
      caret.Rectangle(caretPlace.color, caretPlace.x, top, caretPlace.x + 20, top + line.ascent + line.descent);
    }
    top += line.ascent + line.descent + line.leading;
  }
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g|", value);
  return text;
}

}  // namespace

std::string TextField::PictureKey() const {
  std::string key = text;
  key += '\0';
  for (const double value : {minX, minY, maxX, maxY, static_cast<double>(borderColor),
                             static_cast<double>(backgroundColor), static_cast<double>(scroll)}) {
    key += Number(value);
  }
  for (const FormatRun& run : runs) {
    const TextFormatData& f = run.format;
    key += Number(static_cast<double>(run.begin));
    for (const double value : {f.size.value_or(12), f.leftMargin.value_or(0), f.rightMargin.value_or(0),
                               f.indent.value_or(0), f.leading.value_or(0), f.blockIndent.value_or(0),
                               f.letterSpacing.value_or(0), static_cast<double>(f.color.value_or(0))}) {
      key += Number(value);
    }
    key += f.align.value_or("left") + '|' + f.font.value_or("") + '|';
    key += f.bullet.value_or(false) ? 'b' : '-';
    if (f.tabStops) {
      for (const double stop : *f.tabStops) key += Number(stop);
    }
    key += '|';
    key += static_cast<char>('0' + f.underline.value_or(false) + 2 * f.bold.value_or(false) +
                             4 * f.italic.value_or(false));
  }
  key += static_cast<char>('0' + border + 2 * background + 4 * password + 8 * wordWrap + 16 * embedFonts);
  const ShownSelection selection = SelectionOf(*this);
  key += Number(selection.begin) + Number(selection.end) + Number(ShownCaret(*this));
  return key;
}

// The glyphs a field draws each run with: the embedded font's when the field
// uses embedded fonts, else the host's device font for the run's face.
std::vector<std::shared_ptr<const FontDefinition>> TextField::RunGlyphs() const {
  std::vector<std::shared_ptr<const FontDefinition>> fonts(runs.size());
  if (text.empty()) return fonts;
  std::vector<std::uint32_t> characters;
  if (!embedFonts) {
    characters = password ? std::vector<std::uint32_t>{'*'} : CodePoints(text);
    std::sort(characters.begin(), characters.end());
    characters.erase(std::unique(characters.begin(), characters.end()), characters.end());
  }
  for (std::size_t i = 0; i < runs.size(); ++i) {
    const TextFormatData& f = runs[i].format;
    if (embedFonts) {
      const FontDefinition* embedded = UsedFont(f);
      // Not owned: the movie keeps its fonts for as long as its fields live.
      if (embedded && !embedded->glyphs.empty()) fonts[i] = std::shared_ptr<const FontDefinition>(std::shared_ptr<void>(), embedded);
    } else if (deviceFonts && *deviceFonts) {
      fonts[i] = (*deviceFonts)->Font(f.font.value_or(""), f.bold.value_or(false), f.italic.value_or(false), characters);
    }
  }
  return fonts;
}

std::shared_ptr<const Shape> TextField::Picture() const {
  const std::vector<std::shared_ptr<const FontDefinition>> glyphs = RunGlyphs();
  std::string key = PictureKey();
  for (const auto& used : glyphs) key += Number(static_cast<double>(reinterpret_cast<std::uintptr_t>(used.get())));
  if (picture_ && key == pictureKey_) return picture_;

  auto shape = std::make_shared<Shape>();
  shape->declaredMinX = minX;
  shape->declaredMinY = minY;
  shape->declaredMaxX = maxX;
  shape->declaredMaxY = maxY;
  if (background || border) {
    ShapeLayer frame;
    if (background) {
      frame.fills.emplace_back(ColorOf(backgroundColor));
      AddRectangle(frame.fillEdges, 0, minX, minY, maxX, maxY, *shape);
    }
    if (border) {
      LineStyle hairline;  // width 0: one pixel at any scale
      hairline.color = ColorOf(borderColor);
      frame.lines.push_back(std::move(hairline));
      AddRectangle(frame.lineEdges, 0, minX, minY, maxX, maxY, *shape);
    }
    shape->layers.push_back(std::move(frame));
  }
  if (!text.empty() || ShownCaret(*this) >= 0) {
    ShapeLayer layer, highlightLayer, caretLayer;
    GlyphPlacer placer(layer, *shape);
    GlyphPlacer highlight(highlightLayer, *shape);
    GlyphPlacer caret(caretLayer, *shape);
    DrawLines(*this, placer, highlight, caret, glyphs);
    // The selection's boxes lie beneath the glyphs.
    if (!highlightLayer.fillEdges.empty()) shape->layers.push_back(std::move(highlightLayer));
    if (!layer.fillEdges.empty()) {
      std::stable_sort(layer.fillEdges.begin(), layer.fillEdges.end(),
                       [](const StyledSegment& l, const StyledSegment& r) { return l.style < r.style; });
      shape->layers.push_back(std::move(layer));
    }
    if (!caretLayer.fillEdges.empty()) shape->layers.push_back(std::move(caretLayer));
  }
  picture_ = std::move(shape);
  pictureKey_ = std::move(key);
  return picture_;
}

}  // namespace swf
