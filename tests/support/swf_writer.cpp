#include "swf_writer.h"

#include <lzma.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <numbers>
#include <stdexcept>
#include <utility>

namespace swf::testing {

namespace {

std::int32_t Twips(double pixels) { return static_cast<std::int32_t>(std::lround(pixels * 20)); }

void AppendU8(Bytes& out, unsigned value) { out.push_back(static_cast<std::uint8_t>(value & 0xFFu)); }

void AppendU16(Bytes& out, unsigned value) {
  AppendU8(out, value);
  AppendU8(out, value >> 8);
}

void AppendU32(Bytes& out, std::uint32_t value) {
  AppendU16(out, value & 0xFFFFu);
  AppendU16(out, value >> 16);
}

void AppendString(Bytes& out, std::string_view text) {
  out.insert(out.end(), text.begin(), text.end());
  out.push_back(0);
}

void AppendBytes(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

void AppendColor(Bytes& out, Color color, bool withAlpha) {
  AppendU8(out, color.r);
  AppendU8(out, color.g);
  AppendU8(out, color.b);
  if (withAlpha) AppendU8(out, color.a);
}

void AppendTag(Bytes& out, std::uint16_t code, const Bytes& body) {
  // Bodies of 63 bytes and more need the long form; some tools always use it
  // for certain tags, the player accepts both.
  if (body.size() < 0x3F) {
    AppendU16(out, static_cast<unsigned>(code << 6) | static_cast<unsigned>(body.size()));
  } else {
    AppendU16(out, static_cast<unsigned>(code << 6) | 0x3Fu);
    AppendU32(out, static_cast<std::uint32_t>(body.size()));
  }
  AppendBytes(out, body);
}

std::int32_t Fixed16(double value) { return static_cast<std::int32_t>(std::lround(value * 65536)); }

}  // namespace

void BitWriter::UB(std::uint32_t value, unsigned bits) {
  for (unsigned i = bits; i-- > 0;) {
    if (used_ == 0) bytes_.push_back(0);
    if ((value >> i) & 1u) bytes_.back() = static_cast<std::uint8_t>(bytes_.back() | (0x80u >> used_));
    used_ = (used_ + 1) % 8;
  }
}

void BitWriter::SB(std::int32_t value, unsigned bits) { UB(static_cast<std::uint32_t>(value), bits); }

void BitWriter::Align() { used_ = 0; }

Bytes BitWriter::Take() {
  used_ = 0;
  return std::exchange(bytes_, {});
}

unsigned BitWriter::SignedBits(std::int64_t value) {
  unsigned bits = 1;
  while (value < -(std::int64_t{1} << (bits - 1)) || value >= (std::int64_t{1} << (bits - 1))) ++bits;
  return bits;
}

Bytes EncodeRect(std::int32_t xMin, std::int32_t xMax, std::int32_t yMin, std::int32_t yMax) {
  unsigned bits = 1;
  for (const std::int32_t v : {xMin, xMax, yMin, yMax}) bits = std::max(bits, BitWriter::SignedBits(v));
  BitWriter writer;
  writer.UB(bits, 5);
  for (const std::int32_t v : {xMin, xMax, yMin, yMax}) writer.SB(v, bits);
  return writer.Take();
}

Bytes EncodeFilterList(const std::vector<FilterSpec>& filters) {
  Bytes out;
  AppendU8(out, static_cast<unsigned>(filters.size()));
  const auto fixed = [&](double v) { AppendU32(out, static_cast<std::uint32_t>(static_cast<std::int32_t>(std::lround(v * 65536)))); };
  const auto fixed8 = [&](double v) { AppendU16(out, static_cast<unsigned>(static_cast<std::int16_t>(std::lround(v * 256))) & 0xFFFFu); };
  const auto real = [&](float v) { AppendU32(out, std::bit_cast<std::uint32_t>(v)); };
  for (const FilterSpec& f : filters) {
    AppendU8(out, f.kind);
    const unsigned common = (f.inner ? 0x80u : 0) | (f.knockout ? 0x40u : 0) | (f.hideObject ? 0 : 0x20u);
    switch (f.kind) {
      case 0:
      case 2:
        AppendColor(out, f.color, true);
        fixed(f.blurX);
        fixed(f.blurY);
        if (f.kind == 0) {
          fixed(f.angle);
          fixed(f.distance);
        }
        fixed8(f.strength);
        AppendU8(out, common | (f.passes & 0x1Fu));
        break;
      case 1:
        fixed(f.blurX);
        fixed(f.blurY);
        AppendU8(out, (f.passes & 0x1Fu) << 3);
        break;
      case 3:
      case 4:
      case 7:
        if (f.kind == 3) {
          AppendColor(out, f.color, true);
          AppendColor(out, f.highlight, true);
        } else {
          AppendU8(out, static_cast<unsigned>(f.gradient.size()));
          for (const auto& stop : f.gradient) AppendColor(out, stop.second, true);
          for (const auto& stop : f.gradient) AppendU8(out, stop.first);
        }
        fixed(f.blurX);
        fixed(f.blurY);
        fixed(f.angle);
        fixed(f.distance);
        fixed8(f.strength);
        AppendU8(out, common | (f.onTop ? 0x10u : 0) | (f.passes & 0x0Fu));
        break;
      case 5:
        AppendU8(out, f.matrixX);
        AppendU8(out, f.matrixY);
        real(f.divisor);
        real(f.bias);
        for (float v : f.matrix) real(v);
        AppendColor(out, f.defaultColor, true);
        AppendU8(out, (f.clamp ? 0x02u : 0) | (f.preserveAlpha ? 0x01u : 0));
        break;
      case 6:
        for (float v : f.matrix) real(v);
        break;
      default: break;
    }
  }
  return out;
}

Bytes EncodeMatrix(const Transform& transform) {
  BitWriter writer;
  const bool hasScale = transform.scaleX != 1 || transform.scaleY != 1;
  writer.UB(hasScale, 1);
  if (hasScale) {
    const std::int32_t sx = Fixed16(transform.scaleX), sy = Fixed16(transform.scaleY);
    const unsigned bits = std::max(BitWriter::SignedBits(sx), BitWriter::SignedBits(sy));
    writer.UB(bits, 5);
    writer.SB(sx, bits);
    writer.SB(sy, bits);
  }
  const bool hasRotate = transform.rotateSkew0 != 0 || transform.rotateSkew1 != 0;
  writer.UB(hasRotate, 1);
  if (hasRotate) {
    const std::int32_t r0 = Fixed16(transform.rotateSkew0), r1 = Fixed16(transform.rotateSkew1);
    const unsigned bits = std::max(BitWriter::SignedBits(r0), BitWriter::SignedBits(r1));
    writer.UB(bits, 5);
    writer.SB(r0, bits);
    writer.SB(r1, bits);
  }
  const std::int32_t tx = Twips(transform.translateX), ty = Twips(transform.translateY);
  const unsigned bits = (tx == 0 && ty == 0) ? 0 : std::max(BitWriter::SignedBits(tx), BitWriter::SignedBits(ty));
  writer.UB(bits, 5);
  writer.SB(tx, bits);
  writer.SB(ty, bits);
  return writer.Take();
}

Bytes EncodeColorTransform(const ColorTransform& colors, bool withAlpha) {
  const auto multiply = [](double factor) { return static_cast<std::int32_t>(std::lround(factor * 256)); };
  std::vector<std::int32_t> mult = {multiply(colors.multiplyR), multiply(colors.multiplyG), multiply(colors.multiplyB)};
  std::vector<std::int32_t> add = {colors.addR, colors.addG, colors.addB};
  if (withAlpha) {
    mult.push_back(multiply(colors.multiplyA));
    add.push_back(colors.addA);
  }
  const bool hasMult = std::any_of(mult.begin(), mult.end(), [](std::int32_t v) { return v != 256; });
  const bool hasAdd = std::any_of(add.begin(), add.end(), [](std::int32_t v) { return v != 0; });
  unsigned bits = 1;
  if (hasMult) {
    for (const std::int32_t v : mult) bits = std::max(bits, BitWriter::SignedBits(v));
  }
  if (hasAdd) {
    for (const std::int32_t v : add) bits = std::max(bits, BitWriter::SignedBits(v));
  }
  if (bits > 15) throw std::invalid_argument("colour transform term out of range");
  BitWriter writer;
  writer.UB(hasAdd, 1);
  writer.UB(hasMult, 1);
  writer.UB(bits, 4);
  if (hasMult) {
    for (const std::int32_t v : mult) writer.SB(v, bits);
  }
  if (hasAdd) {
    for (const std::int32_t v : add) writer.SB(v, bits);
  }
  return writer.Take();
}

Transform Transform::Translate(double x, double y) {
  Transform t;
  t.translateX = x;
  t.translateY = y;
  return t;
}

Transform Transform::ScaleRotateTranslate(double scale, double degrees, double x, double y) {
  const double radians = degrees * std::numbers::pi / 180;
  Transform t;
  t.scaleX = t.scaleY = scale * std::cos(radians);
  t.rotateSkew0 = scale * std::sin(radians);
  t.rotateSkew1 = -scale * std::sin(radians);
  t.translateX = x;
  t.translateY = y;
  return t;
}

// ---------------------------------------------------------------- shapes

Transform GradientSpec::Box(double x, double y, double width, double height, double degrees) {
  const double radians = degrees * std::numbers::pi / 180;
  const double sx = width * 20 / 32768, sy = height * 20 / 32768;
  Transform t;
  t.scaleX = sx * std::cos(radians);
  t.rotateSkew0 = sx * std::sin(radians);
  t.rotateSkew1 = -sy * std::sin(radians);
  t.scaleY = sy * std::cos(radians);
  t.translateX = x + width / 2;
  t.translateY = y + height / 2;
  return t;
}

int ShapeBuilder::AddSolidFill(Color color) {
  Fill fill;
  fill.color = color;
  fills_.push_back(fill);
  return static_cast<int>(fills_.size());
}

int ShapeBuilder::AddGradientFill(const GradientSpec& gradient) {
  Fill fill;
  fill.type = gradient.kind;
  fill.gradient = gradient;
  fills_.push_back(fill);
  return static_cast<int>(fills_.size());
}

int ShapeBuilder::AddBitmapFill(std::uint16_t bitmap, const Transform& matrix, bool repeat, bool smooth) {
  Fill fill;
  fill.type = static_cast<std::uint8_t>(0x40 | (repeat ? 0 : 1) | (smooth ? 0 : 2));
  fill.bitmap = bitmap;
  fill.matrix = matrix;
  fills_.push_back(fill);
  return static_cast<int>(fills_.size());
}

Bytes ShapeBuilder::EncodeMorphStyles(const ShapeBuilder& end, int version) const {
  if (end.fills_.size() != fills_.size() || end.lines_.size() != lines_.size()) {
    throw std::invalid_argument("morph ends need the same styles");
  }
  Bytes out;
  AppendU8(out, static_cast<unsigned>(fills_.size()));
  for (std::size_t i = 0; i < fills_.size(); ++i) {
    const Fill& a = fills_[i];
    const Fill& b = end.fills_[i];
    AppendU8(out, a.type);
    if (a.type == 0x00) {
      AppendColor(out, a.color, true);
      AppendColor(out, b.color, true);
    } else if (a.type < 0x40) {
      AppendBytes(out, EncodeMatrix(a.gradient.matrix));
      AppendBytes(out, EncodeMatrix(b.gradient.matrix));
      AppendU8(out, static_cast<unsigned>(a.gradient.stops.size()));
      for (std::size_t k = 0; k < a.gradient.stops.size(); ++k) {
        AppendU8(out, a.gradient.stops[k].first);
        AppendColor(out, a.gradient.stops[k].second, true);
        AppendU8(out, b.gradient.stops[k].first);
        AppendColor(out, b.gradient.stops[k].second, true);
      }
      if (a.type == GradientSpec::FocalRadial) {
        AppendU16(out, static_cast<unsigned>(static_cast<std::int16_t>(std::lround(a.gradient.focal * 256))));
        AppendU16(out, static_cast<unsigned>(static_cast<std::int16_t>(std::lround(b.gradient.focal * 256))));
      }
    } else {
      AppendU16(out, a.bitmap);
      AppendBytes(out, EncodeMatrix(a.matrix));
      AppendBytes(out, EncodeMatrix(b.matrix));
    }
  }
  AppendU8(out, static_cast<unsigned>(lines_.size()));
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    AppendU16(out, lines_[i].width);
    AppendU16(out, end.lines_[i].width);
    const LineOptions& options = lines_[i].options;
    if (version == 2) AppendLineFlags(out, options);
    if (version == 2 && options.gradient) {
      // The same gradient at both ends.
      const GradientSpec& g = *options.gradient;
      AppendU8(out, g.kind);
      AppendBytes(out, EncodeMatrix(g.matrix));
      AppendBytes(out, EncodeMatrix(end.lines_[i].options.gradient ? end.lines_[i].options.gradient->matrix : g.matrix));
      AppendU8(out, static_cast<unsigned>(g.stops.size()));
      for (const auto& [ratio, color] : g.stops) {
        AppendU8(out, ratio);
        AppendColor(out, color, true);
        AppendU8(out, ratio);
        AppendColor(out, color, true);
      }
      continue;
    }
    AppendColor(out, lines_[i].color, true);
    AppendColor(out, end.lines_[i].color, true);
  }
  return out;
}

int ShapeBuilder::AddLineStyle(double widthPixels, Color color) {
  lines_.push_back({static_cast<std::uint16_t>(Twips(widthPixels)), color, {}});
  return static_cast<int>(lines_.size());
}

int ShapeBuilder::AddLineStyle(double widthPixels, Color color, const LineOptions& options) {
  lines_.push_back({static_cast<std::uint16_t>(Twips(widthPixels)), color, options});
  return static_cast<int>(lines_.size());
}

void ShapeBuilder::AppendLineFlags(Bytes& out, const LineOptions& options) {
  AppendU8(out, static_cast<unsigned>(options.startCap << 6 | options.join << 4 | (options.gradient ? 0x08 : 0) |
                                      (options.noHScale ? 0x04 : 0) | (options.noVScale ? 0x02 : 0)));
  AppendU8(out, static_cast<unsigned>((options.noClose ? 0x04 : 0) | options.endCap));
  if (options.join == LineOptions::MiterJoin) AppendU16(out, static_cast<unsigned>(std::lround(options.miterLimit * 256)));
}

ShapeBuilder& ShapeBuilder::SetStyles(int fill0, int fill1, int line) {
  Record record{Record::Style};
  record.fill0 = fill0;
  record.fill1 = fill1;
  record.line = line;
  records_.push_back(record);
  return *this;
}

ShapeBuilder& ShapeBuilder::MoveTo(double x, double y) {
  Record record{Record::Move};
  record.x = Twips(x);
  record.y = Twips(y);
  records_.push_back(record);
  return *this;
}

ShapeBuilder& ShapeBuilder::LineTo(double x, double y) {
  Record record{Record::Line};
  record.x = Twips(x);
  record.y = Twips(y);
  records_.push_back(record);
  return *this;
}

ShapeBuilder& ShapeBuilder::CurveTo(double controlX, double controlY, double x, double y) {
  Record record{Record::Curve};
  record.controlX = Twips(controlX);
  record.controlY = Twips(controlY);
  record.x = Twips(x);
  record.y = Twips(y);
  records_.push_back(record);
  return *this;
}

ShapeBuilder& ShapeBuilder::Rectangle(double x, double y, double width, double height, int fill, int line) {
  return SetStyles(0, fill, line)
      .MoveTo(x, y)
      .LineTo(x + width, y)
      .LineTo(x + width, y + height)
      .LineTo(x, y + height)
      .LineTo(x, y);
}

ShapeBuilder& ShapeBuilder::Ellipse(double centreX, double centreY, double radiusX, double radiusY, int fill,
                                    int line) {
  SetStyles(0, fill, line).MoveTo(centreX + radiusX, centreY);
  constexpr int kArcs = 8;
  const double half = std::numbers::pi / kArcs;
  const double reach = 1 / std::cos(half);  // the control point of a 45-degree arc lies this far out
  for (int i = 1; i <= kArcs; ++i) {
    const double middle = (2 * i - 1) * half, end = 2 * i * half;
    CurveTo(centreX + radiusX * reach * std::cos(middle), centreY + radiusY * reach * std::sin(middle),
            centreX + radiusX * std::cos(end), centreY + radiusY * std::sin(end));
  }
  return *this;
}

std::vector<std::int32_t> ShapeBuilder::BoundsTwips() const {
  std::int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
  bool any = false;
  const auto include = [&](std::int32_t x, std::int32_t y) {
    if (!any) {
      xMin = xMax = x;
      yMin = yMax = y;
      any = true;
    }
    xMin = std::min(xMin, x);
    xMax = std::max(xMax, x);
    yMin = std::min(yMin, y);
    yMax = std::max(yMax, y);
  };
  for (const Record& r : records_) {
    if (r.kind == Record::Style) continue;
    include(r.x, r.y);
    if (r.kind == Record::Curve) include(r.controlX, r.controlY);
  }
  std::int32_t margin = 0;
  for (const LineStyle& l : lines_) margin = std::max<std::int32_t>(margin, l.width / 2);
  return {xMin - margin, xMax + margin, yMin - margin, yMax + margin};
}

Bytes ShapeBuilder::EncodeShapeWithStyle(int shapeVersion) const {
  const bool alpha = shapeVersion >= 3;
  Bytes out;
  const auto appendCount = [&](std::size_t count) {
    if (count >= 0xFF && shapeVersion >= 2) {
      AppendU8(out, 0xFF);
      AppendU16(out, static_cast<unsigned>(count));
    } else {
      AppendU8(out, static_cast<unsigned>(count));
    }
  };
  appendCount(fills_.size());
  for (const Fill& fill : fills_) {
    AppendU8(out, fill.type);
    if (fill.type == 0x00) {
      AppendColor(out, fill.color, alpha);
    } else if (fill.type < 0x40) {
      const GradientSpec& g = fill.gradient;
      AppendBytes(out, EncodeMatrix(g.matrix));
      AppendU8(out, static_cast<unsigned>(g.spread << 6 | (g.linearRgb ? 1 : 0) << 4) |
                        static_cast<unsigned>(g.stops.size()));
      for (const auto& [ratio, color] : g.stops) {
        AppendU8(out, ratio);
        AppendColor(out, color, alpha);
      }
      if (fill.type == GradientSpec::FocalRadial) {
        AppendU16(out, static_cast<unsigned>(static_cast<std::int16_t>(std::lround(g.focal * 256))));
      }
    } else {
      AppendU16(out, fill.bitmap);
      AppendBytes(out, EncodeMatrix(fill.matrix));
    }
  }
  appendCount(lines_.size());
  for (const LineStyle& line : lines_) {
    AppendU16(out, line.width);
    if (shapeVersion >= 4) AppendLineFlags(out, line.options);
    if (shapeVersion >= 4 && line.options.gradient) {
      const GradientSpec& g = *line.options.gradient;
      AppendU8(out, g.kind);
      AppendBytes(out, EncodeMatrix(g.matrix));
      AppendU8(out, static_cast<unsigned>(g.spread << 6 | (g.linearRgb ? 1 : 0) << 4) |
                        static_cast<unsigned>(g.stops.size()));
      for (const auto& [ratio, color] : g.stops) {
        AppendU8(out, ratio);
        AppendColor(out, color, alpha);
      }
      continue;
    }
    AppendColor(out, line.color, alpha);
  }
  AppendBytes(out, EncodeRecords());
  return out;
}

Bytes ShapeBuilder::EncodeRecords() const {
  unsigned fillBits = 0, lineBits = 0;
  while ((1u << fillBits) <= fills_.size()) ++fillBits;
  while ((1u << lineBits) <= lines_.size()) ++lineBits;
  if (fills_.empty()) fillBits = 0;
  if (lines_.empty()) lineBits = 0;
  return EncodeRecords(fillBits, lineBits);
}

Bytes ShapeBuilder::EncodeRecords(unsigned fillBits, unsigned lineBits) const {
  Bytes out;
  BitWriter bits;
  bits.UB(fillBits, 4);
  bits.UB(lineBits, 4);
  std::int32_t penX = 0, penY = 0;
  const auto straight = [&](std::int32_t dx, std::int32_t dy) {
    const unsigned size = std::max({2u, BitWriter::SignedBits(dx), BitWriter::SignedBits(dy)});
    bits.UB(1, 1);  // edge
    bits.UB(1, 1);  // straight
    bits.UB(size - 2, 4);
    if (dx != 0 && dy != 0) {
      bits.UB(1, 1);
      bits.SB(dx, size);
      bits.SB(dy, size);
    } else {
      bits.UB(0, 1);
      bits.UB(dx == 0, 1);
      bits.SB(dx == 0 ? dy : dx, size);
    }
  };
  for (std::size_t i = 0; i < records_.size(); ++i) {
    const Record& r = records_[i];
    switch (r.kind) {
      case Record::Style:
      case Record::Move: {
        // A style change followed by a move becomes one record.
        const Record* style = r.kind == Record::Style ? &r : nullptr;
        const Record* move = r.kind == Record::Move ? &r : nullptr;
        if (style && i + 1 < records_.size() && records_[i + 1].kind == Record::Move) move = &records_[++i];
        // A record without any change would read as the end of the shape.
        if (!move && fillBits == 0 && lineBits == 0) break;
        bits.UB(0, 1);
        bits.UB(0, 1);  // new styles
        bits.UB(style != nullptr && lineBits > 0, 1);
        bits.UB(style != nullptr && fillBits > 0, 1);
        bits.UB(style != nullptr && fillBits > 0, 1);
        bits.UB(move != nullptr, 1);
        if (move) {
          const unsigned size = std::max(BitWriter::SignedBits(move->x), BitWriter::SignedBits(move->y));
          bits.UB(size, 5);
          bits.SB(move->x, size);
          bits.SB(move->y, size);
          penX = move->x;
          penY = move->y;
        }
        if (style && fillBits > 0) {
          bits.UB(static_cast<std::uint32_t>(style->fill0), fillBits);
          bits.UB(static_cast<std::uint32_t>(style->fill1), fillBits);
        }
        if (style && lineBits > 0) bits.UB(static_cast<std::uint32_t>(style->line), lineBits);
        break;
      }
      case Record::Line: {
        // Deltas have at most 17 bits: split long lines.
        std::int64_t dx = r.x - penX, dy = r.y - penY;
        const std::int64_t pieces = 1 + std::max(std::llabs(dx), std::llabs(dy)) / 65535;
        for (std::int64_t p = 1; p <= pieces; ++p) {
          const auto x = static_cast<std::int32_t>(penX + dx * p / pieces - (penX + dx * (p - 1) / pieces));
          const auto y = static_cast<std::int32_t>(penY + dy * p / pieces - (penY + dy * (p - 1) / pieces));
          straight(x, y);
        }
        penX = r.x;
        penY = r.y;
        break;
      }
      case Record::Curve: {
        const std::int32_t values[] = {r.controlX - penX, r.controlY - penY, r.x - r.controlX, r.y - r.controlY};
        unsigned size = 2;
        for (const std::int32_t v : values) size = std::max(size, BitWriter::SignedBits(v));
        if (size > 17) throw std::invalid_argument("curve too long for one edge");
        bits.UB(1, 1);
        bits.UB(0, 1);
        bits.UB(size - 2, 4);
        for (const std::int32_t v : values) bits.SB(v, size);
        penX = r.x;
        penY = r.y;
        break;
      }
    }
  }
  bits.UB(0, 6);  // end of shape
  AppendBytes(out, bits.Take());
  return out;
}

// ---------------------------------------------------------------- actions

Actions& Actions::Raw(std::uint8_t code, const Bytes& payload) {
  AppendU8(code_, code);
  if (code >= 0x80) {
    AppendU16(code_, static_cast<unsigned>(payload.size()));
    AppendBytes(code_, payload);
  }
  return *this;
}

Actions& Actions::Trace() { return Raw(0x26); }

namespace {

// A body's code without the End that Encode adds.
Bytes BodyCode(const Actions& body) {
  Bytes code = body.Encode();
  code.pop_back();
  return code;
}

}  // namespace

Actions& Actions::DefineFunction(std::string_view name, const std::vector<std::string>& params, const Actions& body) {
  const Bytes code = BodyCode(body);
  Bytes payload;
  AppendString(payload, name);
  AppendU16(payload, static_cast<unsigned>(params.size()));
  for (const std::string& param : params) AppendString(payload, param);
  AppendU16(payload, static_cast<unsigned>(code.size()));
  Raw(0x9B, payload);
  AppendBytes(code_, code);
  return *this;
}

Actions& Actions::DefineFunction2(std::string_view name, std::uint8_t registerCount, std::uint16_t flags,
                                  const std::vector<std::pair<std::uint8_t, std::string>>& params,
                                  const Actions& body) {
  const Bytes code = BodyCode(body);
  Bytes payload;
  AppendString(payload, name);
  AppendU16(payload, static_cast<unsigned>(params.size()));
  AppendU8(payload, registerCount);
  AppendU16(payload, flags);
  for (const auto& [reg, param] : params) {
    AppendU8(payload, reg);
    AppendString(payload, param);
  }
  AppendU16(payload, static_cast<unsigned>(code.size()));
  Raw(0x8E, payload);
  AppendBytes(code_, code);
  return *this;
}

Actions& Actions::Try(const Actions& tryBody, std::string_view catchName, const Actions& catchBody, bool hasFinally,
                      const Actions& finallyBody) {
  const Bytes tryCode = BodyCode(tryBody);
  const Bytes catchCode = catchName.empty() ? Bytes{} : BodyCode(catchBody);
  const Bytes finallyCode = hasFinally ? BodyCode(finallyBody) : Bytes{};
  Bytes payload;
  AppendU8(payload, static_cast<std::uint8_t>((catchName.empty() ? 0 : 1) | (hasFinally ? 2 : 0)));
  AppendU16(payload, static_cast<unsigned>(tryCode.size()));
  AppendU16(payload, static_cast<unsigned>(catchCode.size()));
  AppendU16(payload, static_cast<unsigned>(finallyCode.size()));
  AppendString(payload, catchName);
  Raw(0x8F, payload);
  AppendBytes(code_, tryCode);
  AppendBytes(code_, catchCode);
  AppendBytes(code_, finallyCode);
  return *this;
}

Actions& Actions::With(const Actions& body) {
  const Bytes code = BodyCode(body);
  Bytes payload;
  AppendU16(payload, static_cast<unsigned>(code.size()));
  Raw(0x94, payload);
  AppendBytes(code_, code);
  return *this;
}

Actions& Actions::Stop() { return Raw(0x07); }
Actions& Actions::Play() { return Raw(0x06); }
Actions& Actions::NextFrame() { return Raw(0x04); }
Actions& Actions::PrevFrame() { return Raw(0x05); }
Actions& Actions::Pop() { return Raw(0x17); }
Actions& Actions::GetVariable() { return Raw(0x1C); }
Actions& Actions::SetVariable() { return Raw(0x1D); }
Actions& Actions::StringAdd() { return Raw(0x21); }
Actions& Actions::Add2() { return Raw(0x47); }
Actions& Actions::Equals2() { return Raw(0x49); }
Actions& Actions::Not() { return Raw(0x12); }
Actions& Actions::GetUrl2() { return Raw(0x9A, {0x00}); }

Actions& Actions::GotoFrame(std::uint16_t zeroBasedFrame) {
  Bytes payload;
  AppendU16(payload, zeroBasedFrame);
  return Raw(0x81, payload);
}

Actions& Actions::GotoLabel(std::string_view label) {
  Bytes payload;
  AppendString(payload, label);
  return Raw(0x8C, payload);
}

Actions& Actions::GetUrl(std::string_view url, std::string_view target) {
  Bytes payload;
  AppendString(payload, url);
  AppendString(payload, target);
  return Raw(0x83, payload);
}

Actions& Actions::FsCommand(std::string_view command, std::string_view args) {
  return GetUrl("FSCommand:" + std::string(command), args);
}

Actions& Actions::FsCommandFromVariables(std::string_view commandVariable, std::string_view argsVariable) {
  return PushString("FSCommand:")
      .PushString(commandVariable)
      .GetVariable()
      .StringAdd()
      .PushString(argsVariable)
      .GetVariable()
      .GetUrl2();
}

Actions& Actions::PushString(std::string_view text) {
  Bytes payload{0};
  AppendString(payload, text);
  return Raw(0x96, payload);
}

Actions& Actions::PushFloat(float value) {
  Bytes payload{1};
  AppendU32(payload, std::bit_cast<std::uint32_t>(value));
  return Raw(0x96, payload);
}

Actions& Actions::PushDouble(double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  Bytes payload{6};
  AppendU32(payload, static_cast<std::uint32_t>(bits >> 32));
  AppendU32(payload, static_cast<std::uint32_t>(bits));
  return Raw(0x96, payload);
}

Actions& Actions::PushInt(std::int32_t value) {
  Bytes payload{7};
  AppendU32(payload, static_cast<std::uint32_t>(value));
  return Raw(0x96, payload);
}

Actions& Actions::PushBool(bool value) { return Raw(0x96, {5, static_cast<std::uint8_t>(value)}); }
Actions& Actions::PushNull() { return Raw(0x96, {2}); }
Actions& Actions::PushUndefined() { return Raw(0x96, {3}); }
Actions& Actions::PushRegister(std::uint8_t index) { return Raw(0x96, {4, index}); }

Actions& Actions::PushConstant(std::uint16_t index) {
  if (index < 256) return Raw(0x96, {8, static_cast<std::uint8_t>(index)});
  Bytes payload{9};
  AppendU16(payload, index);
  return Raw(0x96, payload);
}

Actions& Actions::ConstantPool(const std::vector<std::string>& constants) {
  Bytes payload;
  AppendU16(payload, static_cast<unsigned>(constants.size()));
  for (const std::string& c : constants) AppendString(payload, c);
  return Raw(0x88, payload);
}

Actions& Actions::StoreRegister(std::uint8_t index) { return Raw(0x87, {index}); }

Actions& Actions::SetVariable(std::string_view name, std::string_view value) {
  return PushString(name).PushString(value).SetVariable();
}

int Actions::NewLabel() {
  labels_.push_back(std::string::npos);
  return static_cast<int>(labels_.size()) - 1;
}

Actions& Actions::Bind(int label) {
  labels_.at(static_cast<std::size_t>(label)) = code_.size();
  return *this;
}

Actions& Actions::Branch(std::uint8_t code, int label) {
  Raw(code, {0, 0});
  branches_.emplace_back(code_.size() - 2, label);
  return *this;
}

Actions& Actions::If(int label) { return Branch(0x9D, label); }
Actions& Actions::Jump(int label) { return Branch(0x99, label); }

Bytes Actions::Encode() const {
  Bytes out = code_;
  for (const auto& [field, label] : branches_) {
    const std::size_t target = labels_.at(static_cast<std::size_t>(label));
    if (target == std::string::npos) throw std::logic_error("branch to a label never bound");
    const auto offset = static_cast<std::int64_t>(target) - static_cast<std::int64_t>(field + 2);
    out[field] = static_cast<std::uint8_t>(offset & 0xFF);
    out[field + 1] = static_cast<std::uint8_t>((offset >> 8) & 0xFF);
  }
  out.push_back(0);
  return out;
}

// ---------------------------------------------------------------- timelines

TimelineBuilder& TimelineBuilder::Tag(std::uint16_t code, const Bytes& body) {
  AppendTag(tags_, code, body);
  return *this;
}

TimelineBuilder& TimelineBuilder::Place(std::uint16_t character, std::uint16_t depth, const Transform& transform,
                                        const std::optional<ColorTransform>& colors, std::string_view name) {
  Bytes body;
  unsigned flags = 0x02 | 0x04;  // character, matrix
  if (colors) flags |= 0x08;
  if (!name.empty()) flags |= 0x20;
  AppendU8(body, flags);
  AppendU16(body, depth);
  AppendU16(body, character);
  AppendBytes(body, EncodeMatrix(transform));
  if (colors) AppendBytes(body, EncodeColorTransform(*colors, true));
  if (!name.empty()) AppendString(body, name);
  return Tag(26, body);
}

TimelineBuilder& TimelineBuilder::PlaceBlended(std::uint16_t character, std::uint16_t depth, std::uint8_t blendMode,
                                               const Transform& transform, std::string_view name, bool filters) {
  Bytes body;
  AppendU8(body, static_cast<unsigned>(0x02 | 0x04 | (name.empty() ? 0x00 : 0x20)));  // character, matrix, name
  AppendU8(body, static_cast<unsigned>(0x02 | 0x04 | (filters ? 0x01 : 0x00)));       // blend mode, caching, filters
  AppendU16(body, depth);
  AppendU16(body, character);
  AppendBytes(body, EncodeMatrix(transform));
  if (!name.empty()) AppendString(body, name);
  if (filters) {
    // A blur of no passes and a gradient glow of no strength: read, and
    // drawing leaves the object as it was.
    FilterSpec blur;
    blur.passes = 0;
    FilterSpec glow;
    glow.kind = 4;
    glow.strength = 0;
    glow.gradient = {{0, {255, 0, 0, 0}}, {255, {255, 0, 0, 255}}};
    AppendBytes(body, EncodeFilterList({blur, glow}));
  }
  AppendU8(body, blendMode);
  AppendU8(body, 1);  // cached as a bitmap
  return Tag(70, body);
}

TimelineBuilder& TimelineBuilder::PlaceFiltered(std::uint16_t character, std::uint16_t depth, const Bytes& filterList,
                                                const Transform& transform, std::string_view name) {
  Bytes body;
  AppendU8(body, static_cast<unsigned>(0x02 | 0x04 | (name.empty() ? 0x00 : 0x20)));  // character, matrix, name
  AppendU8(body, 0x01);                                                                // filters
  AppendU16(body, depth);
  AppendU16(body, character);
  AppendBytes(body, EncodeMatrix(transform));
  if (!name.empty()) AppendString(body, name);
  AppendBytes(body, filterList);
  return Tag(70, body);
}

TimelineBuilder& TimelineBuilder::Move(std::uint16_t depth, const Transform& transform,
                                       const std::optional<ColorTransform>& colors) {
  Bytes body;
  AppendU8(body, 0x01 | 0x04 | (colors ? 0x08 : 0x00));
  AppendU16(body, depth);
  AppendBytes(body, EncodeMatrix(transform));
  if (colors) AppendBytes(body, EncodeColorTransform(*colors, true));
  return Tag(26, body);
}

TimelineBuilder& TimelineBuilder::PlaceMask(std::uint16_t character, std::uint16_t depth, std::uint16_t clipDepth,
                                            const Transform& transform, std::string_view name) {
  Bytes body;
  AppendU8(body, static_cast<unsigned>(0x02 | 0x04 | 0x40 | (name.empty() ? 0x00 : 0x20)));  // character, matrix, clip depth
  AppendU16(body, depth);
  AppendU16(body, character);
  AppendBytes(body, EncodeMatrix(transform));
  if (!name.empty()) AppendString(body, name);
  AppendU16(body, clipDepth);
  return Tag(26, body);
}

TimelineBuilder& TimelineBuilder::PlaceRatio(std::uint16_t character, std::uint16_t depth, std::uint16_t ratio,
                                             bool move, const Transform& transform) {
  Bytes body;
  AppendU8(body, move ? 0x01 | 0x10 : 0x02 | 0x04 | 0x10);
  AppendU16(body, depth);
  if (!move) {
    AppendU16(body, character);
    AppendBytes(body, EncodeMatrix(transform));
  }
  AppendU16(body, ratio);
  return Tag(26, body);
}

TimelineBuilder& TimelineBuilder::Replace(std::uint16_t depth, std::uint16_t character) {
  Bytes body;
  AppendU8(body, 0x01 | 0x02);
  AppendU16(body, depth);
  AppendU16(body, character);
  return Tag(26, body);
}

TimelineBuilder& TimelineBuilder::PlaceObject1(std::uint16_t character, std::uint16_t depth,
                                               const Transform& transform) {
  Bytes body;
  AppendU16(body, character);
  AppendU16(body, depth);
  AppendBytes(body, EncodeMatrix(transform));
  return Tag(4, body);
}

TimelineBuilder& TimelineBuilder::Remove(std::uint16_t depth) {
  Bytes body;
  AppendU16(body, depth);
  return Tag(28, body);
}

TimelineBuilder& TimelineBuilder::RemoveObject1(std::uint16_t character, std::uint16_t depth) {
  Bytes body;
  AppendU16(body, character);
  AppendU16(body, depth);
  return Tag(5, body);
}

TimelineBuilder& TimelineBuilder::DoAction(const Actions& actions) { return Tag(12, actions.Encode()); }
TimelineBuilder& TimelineBuilder::DoActionBytes(const Bytes& body) { return Tag(12, body); }

TimelineBuilder& TimelineBuilder::FrameLabel(std::string_view label) {
  Bytes body;
  AppendString(body, label);
  return Tag(43, body);
}

TimelineBuilder& TimelineBuilder::ShowFrame(int count) {
  for (int i = 0; i < count; ++i) Tag(1, {});
  frames_ += count;
  return *this;
}

// ---------------------------------------------------------------- movies

MovieBuilder::MovieBuilder(double widthPixels, double heightPixels, double framesPerSecond, int version)
    : width_(widthPixels), height_(heightPixels), framesPerSecond_(framesPerSecond), version_(version) {}

MovieBuilder& MovieBuilder::SetBackground(Color color) {
  Bytes body;
  AppendColor(body, color, false);
  Tag(9, body);
  return *this;
}

MovieBuilder& MovieBuilder::FileAttributes(std::uint32_t flags) {
  Bytes body;
  AppendU32(body, flags);
  Tag(69, body);
  return *this;
}

std::uint16_t MovieBuilder::DefineShape(const ShapeBuilder& shape, int shapeVersion) {
  static constexpr std::uint16_t kCodes[] = {2, 22, 32, 83};
  if (shapeVersion < 1 || shapeVersion > 4) throw std::invalid_argument("shape version 1 to 4");
  const std::uint16_t id = nextId_++;
  Bytes body;
  AppendU16(body, id);
  const std::vector<std::int32_t> bounds = shape.BoundsTwips();
  const Bytes rect = EncodeRect(bounds[0], bounds[1], bounds[2], bounds[3]);
  AppendBytes(body, rect);
  if (shapeVersion == 4) {
    AppendBytes(body, rect);  // edge bounds
    AppendU8(body, 0);
  }
  AppendBytes(body, shape.EncodeShapeWithStyle(shapeVersion));
  Tag(kCodes[shapeVersion - 1], body);
  return id;
}

std::uint16_t MovieBuilder::DefineSprite(const SpriteBuilder& sprite) {
  const std::uint16_t id = nextId_++;
  Bytes body;
  AppendU16(body, id);
  AppendU16(body, static_cast<unsigned>(sprite.FrameCount()));
  AppendBytes(body, sprite.TagBytes());
  AppendU16(body, 0);  // End
  Tag(39, body);
  return id;
}

std::uint16_t MovieBuilder::DefineEditText(const EditTextFields& text) {
  const std::uint16_t id = nextId_++;
  Bytes body;
  AppendU16(body, id);
  AppendBytes(body, EncodeRect(Twips(text.x), Twips(text.x + text.width), Twips(text.y), Twips(text.y + text.height)));
  unsigned flags = 0;
  if (text.text) flags |= 0x80u;
  if (text.wordWrap) flags |= 0x40u;
  if (text.multiline) flags |= 0x20u;
  if (text.password) flags |= 0x10u;
  if (text.readOnly) flags |= 0x08u;
  if (text.color) flags |= 0x04u;
  if (text.maxLength) flags |= 0x02u;
  if (text.fontHeight) flags |= 0x01u;
  unsigned moreFlags = 0;
  if (text.autoSize) moreFlags |= 0x40u;
  if (text.border) moreFlags |= 0x08u;
  if (text.html) moreFlags |= 0x02u;
  AppendU8(body, flags);
  AppendU8(body, moreFlags);
  if (text.fontHeight) {
    AppendU16(body, 0);
    AppendU16(body, static_cast<unsigned>(Twips(*text.fontHeight)));
  }
  if (text.color) AppendColor(body, *text.color, true);
  if (text.maxLength) AppendU16(body, *text.maxLength);
  AppendString(body, text.variable);
  if (text.text) AppendString(body, *text.text);
  Tag(37, body);
  return id;
}

std::uint16_t MovieBuilder::DefineButton2(const std::vector<ButtonRecordSpec>& records,
                                          const std::vector<std::pair<std::uint16_t, Actions>>& actions) {
  const std::uint16_t id = nextId_++;
  Bytes recordBytes;
  for (const ButtonRecordSpec& record : records) {
    AppendU8(recordBytes, record.states);
    AppendU16(recordBytes, record.character);
    AppendU16(recordBytes, record.depth);
    AppendBytes(recordBytes, EncodeMatrix(record.transform));
    AppendBytes(recordBytes, EncodeColorTransform(ColorTransform{}, true));
  }
  AppendU8(recordBytes, 0);
  Bytes body;
  AppendU16(body, id);
  AppendU8(body, 0);  // not a menu
  // The action offset counts from its own field.
  AppendU16(body, actions.empty() ? 0u : static_cast<unsigned>(recordBytes.size() + 2));
  AppendBytes(body, recordBytes);
  for (std::size_t i = 0; i < actions.size(); ++i) {
    const Bytes code = actions[i].second.Encode();
    AppendU16(body, i + 1 == actions.size() ? 0u : static_cast<unsigned>(code.size() + 4));
    AppendU16(body, actions[i].first);
    AppendBytes(body, code);
  }
  Tag(34, body);
  return id;
}

std::uint16_t MovieBuilder::DefineRaw(std::uint16_t code, const Bytes& bodyAfterId) {
  const std::uint16_t id = nextId_++;
  Bytes body;
  AppendU16(body, id);
  AppendBytes(body, bodyAfterId);
  Tag(code, body);
  return id;
}

std::uint16_t MovieBuilder::DefineBitsLossless(std::uint8_t format, int width, int height, const Bytes& data,
                                               bool alpha, int colorTableSize) {
  Bytes body;
  AppendU8(body, format);
  AppendU16(body, static_cast<unsigned>(width));
  AppendU16(body, static_cast<unsigned>(height));
  if (format == 3) AppendU8(body, static_cast<unsigned>(colorTableSize - 1));
  AppendBytes(body, Deflate(data));
  return DefineRaw(alpha ? 36 : 20, body);
}

std::uint16_t MovieBuilder::DefineBitsLossless(int width, int height, const std::vector<Color>& pixels, bool alpha) {
  Bytes data;
  for (const Color& c : pixels) {
    const auto scale = [&](unsigned v) { return alpha ? (v * c.a + 127) / 255 : v; };
    AppendU8(data, alpha ? c.a : 0xFF);
    AppendU8(data, scale(c.r));
    AppendU8(data, scale(c.g));
    AppendU8(data, scale(c.b));
  }
  return DefineBitsLossless(5, width, height, data, alpha);
}

std::uint16_t MovieBuilder::DefineBitsJpeg(const Bytes& jpeg, const std::optional<Bytes>& alpha) {
  if (!alpha) return DefineRaw(21, jpeg);
  Bytes body;
  AppendU32(body, static_cast<std::uint32_t>(jpeg.size()));
  AppendBytes(body, jpeg);
  AppendBytes(body, Deflate(*alpha));
  return DefineRaw(35, body);
}

std::uint16_t MovieBuilder::DefineBitsWithTables(const Bytes& tables, const Bytes& image) {
  Tag(8, tables);
  return DefineRaw(6, image);
}

std::uint16_t MovieBuilder::DefineMorphShape(const ShapeBuilder& start, const ShapeBuilder& end, int version) {
  Bytes body;
  const std::vector<std::int32_t> a = start.BoundsTwips(), b = end.BoundsTwips();
  AppendBytes(body, EncodeRect(a[0], a[1], a[2], a[3]));
  AppendBytes(body, EncodeRect(b[0], b[1], b[2], b[3]));
  if (version == 2) {
    AppendBytes(body, EncodeRect(a[0], a[1], a[2], a[3]));
    AppendBytes(body, EncodeRect(b[0], b[1], b[2], b[3]));
    AppendU8(body, 0);
  }
  Bytes rest = start.EncodeMorphStyles(end, version);
  AppendBytes(rest, start.EncodeRecords());
  Bytes endRecords = end.EncodeRecords(0, 0);
  AppendU32(body, static_cast<std::uint32_t>(rest.size()));
  AppendBytes(body, rest);
  AppendBytes(body, endRecords);
  return DefineRaw(version == 2 ? 84 : 46, body);
}

Bytes Deflate(const Bytes& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  Bytes packed(size);
  if (compress2(packed.data(), &size, data.data(), static_cast<uLong>(data.size()), 9) != Z_OK) {
    throw std::runtime_error("zlib compression failed");
  }
  packed.resize(size);
  return packed;
}

Bytes EncodeJpeg(int width, int height, const std::vector<Color>& pixels, int quality) {
  jpeg_compress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  Bytes row(static_cast<std::size_t>(width) * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Color& c = pixels[static_cast<std::size_t>(y * width + x)];
      row[static_cast<std::size_t>(x) * 3] = c.r;
      row[static_cast<std::size_t>(x) * 3 + 1] = c.g;
      row[static_cast<std::size_t>(x) * 3 + 2] = c.b;
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  Bytes out(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return out;
}

std::pair<Bytes, Bytes> SplitJpegTables(const Bytes& jpeg) {
  Bytes tables = {0xFF, 0xD8}, image = {0xFF, 0xD8};
  std::size_t at = 2;
  while (at + 4 <= jpeg.size()) {
    const std::uint8_t marker = jpeg[at + 1];
    const std::size_t length = std::size_t{jpeg[at + 2]} << 8 | jpeg[at + 3];
    const bool table = marker == 0xDB || marker == 0xC4;
    Bytes& into = table ? tables : image;
    if (marker == 0xDA) {  // the scan runs to the end of the stream
      image.insert(image.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(at), jpeg.end());
      break;
    }
    into.insert(into.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(at),
                jpeg.begin() + static_cast<std::ptrdiff_t>(at + 2 + length));
    at += 2 + length;
  }
  tables.push_back(0xFF);
  tables.push_back(0xD9);
  return {tables, image};
}

Bytes MovieBuilder::Body() const {
  Bytes body = EncodeRect(0, Twips(width_), 0, Twips(height_));
  AppendU16(body, static_cast<unsigned>(std::lround(framesPerSecond_ * 256)));
  AppendU16(body, static_cast<unsigned>(frames_));
  AppendBytes(body, tags_);
  AppendU16(body, 0);  // End
  return body;
}

Bytes MovieBuilder::BuildLzma() const {
  const Bytes body = Body();
  lzma_options_lzma options;
  if (lzma_lzma_preset(&options, 6) != 0) throw std::runtime_error("no LZMA preset");
  lzma_stream stream = LZMA_STREAM_INIT;
  if (lzma_alone_encoder(&stream, &options) != LZMA_OK) throw std::runtime_error("no LZMA encoder");
  Bytes packed(body.size() + body.size() / 2 + 1024);
  stream.next_in = body.data();
  stream.avail_in = body.size();
  stream.next_out = packed.data();
  stream.avail_out = packed.size();
  const lzma_ret status = lzma_code(&stream, LZMA_FINISH);
  const std::size_t size = packed.size() - stream.avail_out;
  lzma_end(&stream);
  if (status != LZMA_STREAM_END) throw std::runtime_error("LZMA compression failed");
  // The .lzma header is the 5 bytes of properties and an 8-byte length; a ZWS
  // file keeps the properties, and its own lengths stand for the rest.
  constexpr std::size_t kHeader = 13;
  Bytes file = {'Z', 'W', 'S', static_cast<std::uint8_t>(version_)};
  AppendU32(file, static_cast<std::uint32_t>(body.size() + 8));
  AppendU32(file, static_cast<std::uint32_t>(size - kHeader));
  file.insert(file.end(), packed.begin(), packed.begin() + 5);
  file.insert(file.end(), packed.begin() + static_cast<std::ptrdiff_t>(kHeader),
              packed.begin() + static_cast<std::ptrdiff_t>(size));
  return file;
}

Bytes MovieBuilder::Build(bool compress) const {
  const Bytes body = Body();

  Bytes file = {static_cast<std::uint8_t>(compress ? 'C' : 'F'), 'W', 'S', static_cast<std::uint8_t>(version_)};
  AppendU32(file, static_cast<std::uint32_t>(body.size() + 8));
  if (!compress) {
    AppendBytes(file, body);
    return file;
  }
  uLongf size = compressBound(static_cast<uLong>(body.size()));
  Bytes packed(size);
  if (compress2(packed.data(), &size, body.data(), static_cast<uLong>(body.size()), 9) != Z_OK) {
    throw std::runtime_error("zlib compression failed");
  }
  packed.resize(size);
  AppendBytes(file, packed);
  return file;
}

}  // namespace swf::testing
