#include "gdi_fonts.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "wide_text.h"

namespace tpl::player {

namespace {

// Glyphs are asked for at this many pixels to the em, the units of the font
// made from them.
constexpr int kEm = 1024;

double FromFixed(const FIXED& value) { return value.value + value.fract / 65536.0; }

swf::Point PointOf(const POINTFX& p) { return swf::Point{FromFixed(p.x), -FromFixed(p.y)}; }  // y grows down

// The outline GGO_NATIVE gives: closed polygons of lines and quadratic
// B-splines (pairs of off-curve points meet at their midpoint).
swf::Glyph ReadOutline(const std::vector<std::uint8_t>& data) {
  swf::Glyph glyph;
  std::size_t at = 0;
  while (at + sizeof(TTPOLYGONHEADER) <= data.size()) {
    TTPOLYGONHEADER header;
    std::memcpy(&header, data.data() + at, sizeof header);
    if (header.cb < sizeof header || at + header.cb > data.size()) break;
    const std::size_t end = at + header.cb;
    const swf::Point start = PointOf(header.pfxStart);
    swf::Point pen = start;
    std::size_t curveAt = at + sizeof header;
    while (curveAt + sizeof(WORD) * 2 <= end) {
      WORD type = 0, count = 0;
      std::memcpy(&type, data.data() + curveAt, sizeof type);
      std::memcpy(&count, data.data() + curveAt + sizeof type, sizeof count);
      const std::size_t pointsAt = curveAt + 2 * sizeof(WORD);
      if (pointsAt + count * sizeof(POINTFX) > end) break;
      std::vector<swf::Point> points(count);
      for (WORD i = 0; i < count; ++i) {
        POINTFX p;
        std::memcpy(&p, data.data() + pointsAt + std::size_t{i} * sizeof(POINTFX), sizeof p);
        points[i] = PointOf(p);
      }
      if (type == TT_PRIM_QSPLINE) {
        for (std::size_t i = 0; i + 1 < points.size(); ++i) {
          const swf::Point control = points[i];
          const swf::Point to = i + 2 == points.size() ? points[i + 1]
                                                       : swf::Point{(points[i].x + points[i + 1].x) / 2,
                                                                    (points[i].y + points[i + 1].y) / 2};
          glyph.edges.push_back(swf::Segment{pen, control, to, true});
          pen = to;
        }
      } else {  // lines (cubic splines, which TrueType outlines never hold, go as lines too)
        for (const swf::Point& to : points) {
          glyph.edges.push_back(swf::Segment{pen, to, to, false});
          pen = to;
        }
      }
      curveAt = pointsAt + count * sizeof(POINTFX);
    }
    if (pen.x != start.x || pen.y != start.y) glyph.edges.push_back(swf::Segment{pen, start, start, false});
    at = end;
  }
  return glyph;
}

}  // namespace

std::shared_ptr<const swf::FontDefinition> GdiDeviceFonts::Font(std::string_view face, bool bold, bool italic,
                                                                std::span<const std::uint32_t> characters) {
  try {
    Key key{std::string(face), bold, italic};
    std::shared_ptr<const swf::FontDefinition>& kept = fonts_[key];
    std::vector<std::uint32_t> missing;
    for (const std::uint32_t code : characters) {
      if (code <= 0xFFFF && (!kept || kept->glyphOfCode.count(static_cast<std::uint16_t>(code)) == 0)) {
        missing.push_back(code);
      }
    }
    if (kept && missing.empty()) return kept;
    auto font = kept ? std::make_shared<swf::FontDefinition>(*kept) : std::make_shared<swf::FontDefinition>();
    font->unitsPerEm = kEm;
    font->name = std::string(face);
    font->bold = bold;
    font->italic = italic;
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return kept;
    std::wstring wideFace = WideFromUtf8(face.empty() ? std::string_view("Times New Roman") : face);
    if (wideFace.size() >= LF_FACESIZE) wideFace.resize(LF_FACESIZE - 1);
    HFONT gdiFont = CreateFontW(-kEm, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic ? TRUE : FALSE, FALSE, FALSE,
                                DEFAULT_CHARSET, OUT_TT_ONLY_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                                DEFAULT_PITCH, wideFace.c_str());
    if (!gdiFont) {
      DeleteDC(dc);
      return kept;
    }
    const HGDIOBJ old = SelectObject(dc, gdiFont);
    TEXTMETRICW metrics{};
    if (GetTextMetricsW(dc, &metrics)) {
      font->ascent = metrics.tmAscent;
      font->descent = metrics.tmDescent;
      font->leading = metrics.tmExternalLeading;
    }
    const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    for (const std::uint32_t code : missing) {
      GLYPHMETRICS glyphMetrics{};
      const auto ch = static_cast<UINT>(code);
      const DWORD size = GetGlyphOutlineW(dc, ch, GGO_NATIVE | GGO_UNHINTED, &glyphMetrics, 0, nullptr, &identity);
      swf::Glyph glyph;
      if (size != GDI_ERROR && size > 0) {
        std::vector<std::uint8_t> data(size);
        if (GetGlyphOutlineW(dc, ch, GGO_NATIVE | GGO_UNHINTED, &glyphMetrics, size, data.data(), &identity) !=
            GDI_ERROR) {
          glyph = ReadOutline(data);
        }
      } else if (size == GDI_ERROR) {
        continue;  // no such glyph: the character advances nothing
      }
      const auto index = static_cast<std::uint16_t>(font->glyphs.size());
      font->glyphs.push_back(std::move(glyph));
      font->codes.push_back(static_cast<std::uint16_t>(code));
      font->glyphOfCode.insert_or_assign(static_cast<std::uint16_t>(code), index);
      font->advances.insert_or_assign(static_cast<std::uint16_t>(code), glyphMetrics.gmCellIncX);
    }
    SelectObject(dc, old);
    DeleteObject(gdiFont);
    DeleteDC(dc);
    kept = std::move(font);
    return kept;
  } catch (...) {
    return nullptr;
  }
}

}  // namespace tpl::player
