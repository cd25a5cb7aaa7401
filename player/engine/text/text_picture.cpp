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
// A device font's ascent as a share of the font size, when the font has none.
constexpr double kDefaultAscent = 0.8;

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
class GlyphPlacer {
 public:
  GlyphPlacer(ShapeLayer& layer, Shape& shape) : layer_(layer), shape_(shape) {}

  void Place(const Glyph& glyph, double scale, double x, double y) {
    if (glyph.edges.empty()) return;
    const std::uint16_t style = NextStyle();
    for (const Segment& edge : glyph.edges) {
      const Segment placed{{edge.from.x * scale + x, edge.from.y * scale + y},
                           {edge.control.x * scale + x, edge.control.y * scale + y},
                           {edge.to.x * scale + x, edge.to.y * scale + y},
                           edge.curved};
      layer_.fillEdges.push_back({style, placed});
      GrowBounds(shape_, placed);
    }
  }

  void Rectangle(double x0, double y0, double x1, double y1) {
    AddRectangle(layer_.fillEdges, NextStyle(), x0, y0, x1, y1, shape_);
  }

 private:
  std::uint16_t NextStyle() {
    parity_ ^= 1;
    return static_cast<std::uint16_t>(parity_);
  }

  ShapeLayer& layer_;
  Shape& shape_;
  int parity_ = 0;
};

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g|", value);
  return text;
}

}  // namespace

std::string TextField::PictureKey(const FontDefinition* glyphs) const {
  std::string key = text;
  key += '\0';
  for (const double value : {minX, minY, maxX, maxY, format.size.value_or(12), format.leftMargin.value_or(0),
                             format.rightMargin.value_or(0), format.indent.value_or(0), format.leading.value_or(0),
                             format.letterSpacing.value_or(0), static_cast<double>(format.color.value_or(0)),
                             static_cast<double>(borderColor), static_cast<double>(backgroundColor),
                             static_cast<double>(scroll)}) {
    key += Number(value);
  }
  key += format.align.value_or("left");
  key += format.font.value_or("");
  key += static_cast<char>('0' + border + 2 * background + 4 * password + 8 * wordWrap + 16 * embedFonts +
                           32 * format.underline.value_or(false) + 64 * format.bold.value_or(false));
  key += Number(static_cast<double>(reinterpret_cast<std::uintptr_t>(glyphs)));
  return key;
}

std::shared_ptr<const Shape> TextField::Picture() const {
  // The glyphs: the embedded font's when the field uses it, else the host's device font.
  std::shared_ptr<const FontDefinition> device;
  const FontDefinition* glyphs = nullptr;
  if (embedFonts) {
    const FontDefinition* embedded = UsedFont();
    glyphs = embedded && !embedded->glyphs.empty() ? embedded : nullptr;
  } else if (deviceFonts && *deviceFonts && !text.empty()) {
    std::vector<std::uint32_t> characters = password ? std::vector<std::uint32_t>{'*'} : CodePoints(text);
    std::sort(characters.begin(), characters.end());
    characters.erase(std::unique(characters.begin(), characters.end()), characters.end());
    device = (*deviceFonts)->Font(format.font.value_or(""), format.bold.value_or(false),
                                  format.italic.value_or(false), characters);
    glyphs = device.get();
  }
  std::string key = PictureKey(glyphs);
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

  const double size = format.size.value_or(12);
  if (glyphs && glyphs->unitsPerEm > 0 && size > 0 && !text.empty()) {
    ShapeLayer layer;
    const Rgba color = ColorOf(format.color.value_or(0));
    layer.fills = {color, color};
    GlyphPlacer placer(layer, *shape);
    const double scale = size * 20 / glyphs->unitsPerEm;
    const double ascent = glyphs->ascent > 0 ? glyphs->ascent * scale : size * 20 * kDefaultAscent;
    const double step = (LineHeight() + format.leading.value_or(0)) * 20;
    const double spacing = format.letterSpacing.value_or(0) * 20;
    const double leftMargin = format.leftMargin.value_or(0) * 20;
    const double room = (maxX - minX) - 2 * kGutterTwips - leftMargin - format.rightMargin.value_or(0) * 20;
    const std::string align = format.align.value_or("left");
    const bool underline = format.underline.value_or(false);
    std::vector<bool> starts;
    const std::vector<std::string> lines = Lines(&starts);
    const auto advanceOf = [&](std::uint32_t code) {
      const auto found = code <= 0xFFFF ? glyphs->advances.find(static_cast<std::uint16_t>(code)) : glyphs->advances.end();
      return found != glyphs->advances.end() ? found->second * scale : 0.0;
    };
    const std::size_t first = static_cast<std::size_t>(std::max(1, scroll) - 1);
    for (std::size_t index = first; index < lines.size(); ++index) {
      const double top = minY + kGutterTwips + static_cast<double>(index - first) * step;
      // A line that starts below the field's inside is not shown, nor any after it.
      if (index > first && top + ascent > maxY) break;
      std::vector<std::uint32_t> codes = CodePoints(lines[index]);
      if (password) std::fill(codes.begin(), codes.end(), std::uint32_t{'*'});
      const bool lastOfParagraph = index + 1 >= lines.size() || starts[index + 1];
      // Spaces at the end of a wrapped line take no room.
      std::size_t shown = codes.size();
      if (!lastOfParagraph) {
        while (shown > 0 && codes[shown - 1] == ' ') --shown;
      }
      const double indent = starts[index] ? format.indent.value_or(0) * 20 : 0;
      double width = 0;
      std::size_t spaces = 0;
      for (std::size_t i = 0; i < shown; ++i) {
        width += advanceOf(codes[i]) + spacing;
        if (codes[i] == ' ') ++spaces;
      }
      const double free = std::max(0.0, room - indent - width);
      double x = minX + kGutterTwips + leftMargin + indent;
      double extraPerSpace = 0;
      if (align == "right") {
        x += free;
      } else if (align == "center") {
        x += free / 2;
      } else if (align == "justify" && !lastOfParagraph && spaces > 0) {
        extraPerSpace = free / static_cast<double>(spaces);
      }
      const double baseline = top + ascent;
      const double lineStart = x;
      for (std::size_t i = 0; i < shown; ++i) {
        if (const Glyph* glyph = glyphs->GlyphFor(codes[i])) placer.Place(*glyph, scale, x, baseline);
        x += advanceOf(codes[i]) + spacing;
        if (codes[i] == ' ') x += extraPerSpace;
      }
      if (underline && x > lineStart) {
        const double stroke = std::max(20.0, size);  // a twentieth of the size, at least a pixel
        placer.Rectangle(lineStart, baseline + stroke, x, baseline + 2 * stroke);
      }
    }
    if (!layer.fillEdges.empty()) {
      std::stable_sort(layer.fillEdges.begin(), layer.fillEdges.end(),
                       [](const StyledSegment& l, const StyledSegment& r) { return l.style < r.style; });
      shape->layers.push_back(std::move(layer));
    }
  }
  picture_ = std::move(shape);
  pictureKey_ = std::move(key);
  return picture_;
}

}  // namespace swf
