// Reading .swf files into the Movie model: the file header (with zlib for CWS
// files, LZMA for ZWS files), the tag stream, shapes, placements and action blocks.

#define ZLIB_CONST
#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "bitmap_decode.h"
#include "swf_movie.h"
#include "swf_reader.h"
#include "swf_text.h"

namespace swf {

Matrix Matrix::Then(const Matrix& inner) const {
  Matrix m;
  m.a = a * inner.a + c * inner.b;
  m.b = b * inner.a + d * inner.b;
  m.c = a * inner.c + c * inner.d;
  m.d = b * inner.c + d * inner.d;
  m.tx = a * inner.tx + c * inner.ty + tx;
  m.ty = b * inner.tx + d * inner.ty + ty;
  return m;
}

Matrix Inverse(const Matrix& m) {
  const double det = m.a * m.d - m.b * m.c;
  if (det == 0) return Matrix{0, 0, 0, 0, -m.tx, -m.ty};
  Matrix r;
  r.a = m.d / det;
  r.b = -m.b / det;
  r.c = -m.c / det;
  r.d = m.a / det;
  r.tx = -(r.a * m.tx + r.c * m.ty);
  r.ty = -(r.b * m.tx + r.d * m.ty);
  return r;
}

Point Apply(const Matrix& m, double x, double y) { return {m.a * x + m.c * y + m.tx, m.b * x + m.d * y + m.ty}; }

ColorTransform ColorTransform::Then(const ColorTransform& inner) const {
  ColorTransform t;
  t.mr = mr * inner.mr;
  t.mg = mg * inner.mg;
  t.mb = mb * inner.mb;
  t.ma = ma * inner.ma;
  t.ar = mr * inner.ar + ar;
  t.ag = mg * inner.ag + ag;
  t.ab = mb * inner.ab + ab;
  t.aa = ma * inner.aa + aa;
  return t;
}

namespace {

std::uint8_t ClampChannel(double value) {
  if (!(value > 0)) return 0;  // also NaN
  if (value >= 255) return 255;
  return static_cast<std::uint8_t>(value + 0.5);
}

}  // namespace

Rgba ColorTransform::Apply(Rgba color) const {
  return Rgba{ClampChannel(color.r * mr + ar), ClampChannel(color.g * mg + ag), ClampChannel(color.b * mb + ab),
              ClampChannel(color.a * ma + aa)};
}

std::span<const ControlTag> Timeline::FrameTags(int frame) const {
  if (frame < 0 || frame >= FrameCount()) return {};
  const std::size_t begin = frameStarts[static_cast<std::size_t>(frame)];
  const std::size_t end = frame + 1 < FrameCount() ? frameStarts[static_cast<std::size_t>(frame) + 1] : tags.size();
  return std::span<const ControlTag>(tags).subspan(begin, end - begin);
}

namespace {

enum TagCode : unsigned {
  kEnd = 0,
  kShowFrame = 1,
  kDefineShape = 2,
  kPlaceObject = 4,
  kRemoveObject = 5,
  kSetBackgroundColor = 9,
  kDoAction = 12,
  kDefineSound = 14,
  kStartSound = 15,
  kSoundStreamHead = 18,
  kSoundStreamBlock = 19,
  kSoundStreamHead2 = 45,
  kStartSound2 = 89,
  kExportAssets = 56,
  kDoInitAction = 59,
  kDefineShape2 = 22,
  kPlaceObject2 = 26,
  kRemoveObject2 = 28,
  kDefineShape3 = 32,
  kDefineSprite = 39,
  kFrameLabel = 43,
  kFileAttributes = 69,
  kScriptLimits = 65,
  kPlaceObject3 = 70,
  kDefineShape4 = 83,
  kDefineButton = 7,
  kDefineText = 11,
  kDefineText2 = 33,
  kDefineMorphShape = 46,
  kDefineMorphShape2 = 84,
  kDefineFont = 10,
  kDefineFontInfo = 13,
  kDefineFontInfo2 = 62,
  kDefineFont2 = 48,
  kDefineFont3 = 75,
  kDefineButton2 = 34,
  kDefineEditText = 37,
  kCsmTextSettings = 74,
  kDefineButtonSound = 17,
  kDefineBits = 6,
  kJpegTables = 8,
  kDefineBitsJpeg2 = 21,
  kDefineBitsJpeg3 = 35,
  kDefineBitsLossless = 20,
  kDefineBitsLossless2 = 36,
  kDefineBitsJpeg4 = 90,
  kDefineVideoStream = 60,
};

struct RawTag {
  unsigned code = 0;
  std::span<const std::uint8_t> body;
};

// The next tag, its body cut to the data that is really there; nullopt when
// not even a tag header is left.
std::optional<RawTag> NextTag(ByteReader& reader) {
  if (reader.Remaining() < 2) return std::nullopt;
  const std::uint16_t codeAndLength = reader.U16();
  std::size_t length = codeAndLength & 0x3Fu;
  if (length == 0x3F) {
    if (reader.Remaining() < 4) return std::nullopt;
    length = reader.U32();
  }
  RawTag tag;
  tag.code = codeAndLength >> 6u;
  tag.body = reader.Bytes(std::min(length, reader.Remaining()));
  return tag;
}

Rgba ReadRgb(ByteReader& reader) {
  Rgba color;
  color.r = reader.U8();
  color.g = reader.U8();
  color.b = reader.U8();
  return color;
}

Rgba ReadRgba(ByteReader& reader) {
  Rgba color = ReadRgb(reader);
  color.a = reader.U8();
  return color;
}

std::array<double, 4> ReadRect(ByteReader& reader) {
  BitReader bits(reader);
  const unsigned size = bits.UB(5);
  std::array<double, 4> rect{};
  for (double& value : rect) value = bits.SB(size);
  return rect;
}

Matrix ReadMatrix(ByteReader& reader) {
  BitReader bits(reader);
  Matrix matrix;
  if (bits.Flag()) {
    const unsigned size = bits.UB(5);
    matrix.a = bits.FB(size);
    matrix.d = bits.FB(size);
  }
  if (bits.Flag()) {
    const unsigned size = bits.UB(5);
    matrix.b = bits.FB(size);
    matrix.c = bits.FB(size);
  }
  const unsigned size = bits.UB(5);
  matrix.tx = bits.SB(size);
  matrix.ty = bits.SB(size);
  return matrix;
}

ColorTransform ReadColorTransform(ByteReader& reader, bool withAlpha) {
  BitReader bits(reader);
  const bool hasAdd = bits.Flag();
  const bool hasMultiply = bits.Flag();
  const unsigned size = bits.UB(4);
  ColorTransform transform;
  if (hasMultiply) {
    transform.mr = bits.SB(size) / 256.0;
    transform.mg = bits.SB(size) / 256.0;
    transform.mb = bits.SB(size) / 256.0;
    if (withAlpha) transform.ma = bits.SB(size) / 256.0;
  }
  if (hasAdd) {
    transform.ar = bits.SB(size);
    transform.ag = bits.SB(size);
    transform.ab = bits.SB(size);
    if (withAlpha) transform.aa = bits.SB(size);
  }
  return transform;
}

using BitmapTable = std::map<std::uint16_t, std::shared_ptr<const Bitmap>>;

// The one colour that stands for `fill` where a line needs a plain colour.
Rgba SolidColorOf(const FillStyle& fill) {
  if (const auto* color = std::get_if<Rgba>(&fill)) return *color;
  if (const auto* gradient = std::get_if<Gradient>(&fill)) {
    if (!gradient->stops.empty()) return gradient->stops[gradient->stops.size() / 2].color;
  }
  return Rgba{0, 0, 0, 0};
}

// The flag bytes of a LINESTYLE2 (and the miter limit they announce): caps,
// join, scaling and no-close. Returns whether a fill style follows instead of
// a colour.
bool ReadLineFlags(ByteReader& reader, LineStyle& line) {
  const std::uint8_t first = reader.U8();
  const std::uint8_t second = reader.U8();
  const auto cap = [](unsigned bits) {
    return bits == 1 ? LineCap::None : bits == 2 ? LineCap::Square : LineCap::Round;
  };
  line.startCap = cap(first >> 6 & 0x03u);
  line.endCap = cap(second & 0x03u);
  const unsigned join = first >> 4 & 0x03u;
  line.join = join == 1 ? LineJoin::Bevel : join == 2 ? LineJoin::Miter : LineJoin::Round;
  line.noHScale = (first & 0x04u) != 0;
  line.noVScale = (first & 0x02u) != 0;
  line.noClose = (second & 0x04u) != 0;
  if (join == 2) line.miterLimit = reader.U16() / 256.0;  // 8.8 fixed point
  return (first & 0x08u) != 0;
}

// A line painted with a fill: its colour is the fill's middle colour where a
// plain colour is wanted (hit areas, bounds), the fill where it is drawn.
void SetLineFill(LineStyle& line, FillStyle fill) {
  line.color = SolidColorOf(fill);
  if (!std::holds_alternative<Rgba>(fill)) line.fill = std::make_shared<const FillStyle>(std::move(fill));
}

// A gradient's stops: for a morph fill (`end` set) each stop has a start and
// an end ratio and colour.
bool ReadGradientStops(ByteReader& reader, bool alpha, Gradient& gradient, Gradient* end) {
  const std::uint8_t header = reader.U8();
  const unsigned count = end ? header : header & 0x0Fu;
  if (!end) {
    const unsigned spread = header >> 6;
    gradient.spread = spread == 1   ? GradientSpread::Reflect
                      : spread == 2 ? GradientSpread::Repeat
                                    : GradientSpread::Pad;
    gradient.linearRgb = ((header >> 4) & 0x03u) == 1;
  }
  constexpr unsigned kMaxStops = 15;
  for (unsigned i = 0; i < count && !reader.Failed(); ++i) {
    GradientStop stop;
    stop.ratio = reader.U8();
    stop.color = alpha ? ReadRgba(reader) : ReadRgb(reader);
    if (i < kMaxStops) gradient.stops.push_back(stop);
    if (!end) continue;
    stop.ratio = reader.U8();
    stop.color = ReadRgba(reader);
    if (i < kMaxStops) end->stops.push_back(stop);
  }
  return !reader.Failed() && !gradient.stops.empty();
}

std::shared_ptr<const Bitmap> FindBitmap(const BitmapTable& bitmaps, std::uint16_t id) {
  const auto found = bitmaps.find(id);
  return found == bitmaps.end() ? nullptr : found->second;
}

// One fill style of a shape of this version, or with `end` set, one fill of a
// morph shape (its start in `fill`). False for a fill type we do not know.
bool ReadFillStyle(ByteReader& reader, int version, const BitmapTable& bitmaps, FillStyle& fill, FillStyle* end) {
  const std::uint8_t type = reader.U8();
  const bool alpha = version >= 3 || end;
  if (type == 0x00) {
    fill = alpha ? ReadRgba(reader) : ReadRgb(reader);
    if (end) *end = ReadRgba(reader);
  } else if (type == 0x10 || type == 0x12 || type == 0x13) {
    Gradient gradient, endGradient;
    gradient.kind = type == 0x10   ? GradientKind::Linear
                    : type == 0x12 ? GradientKind::Radial
                                   : GradientKind::FocalRadial;
    gradient.matrix = ReadMatrix(reader);
    if (end) endGradient.matrix = ReadMatrix(reader);
    if (!ReadGradientStops(reader, alpha, gradient, end ? &endGradient : nullptr)) return false;
    if (type == 0x13) {
      gradient.focal = std::clamp(reader.S16() / 256.0, -1.0, 1.0);
      endGradient.focal = end ? std::clamp(reader.S16() / 256.0, -1.0, 1.0) : gradient.focal;
    }
    endGradient.kind = gradient.kind;
    fill = std::move(gradient);
    if (end) *end = std::move(endGradient);
  } else if (type >= 0x40 && type <= 0x43) {
    BitmapFill bitmap;
    bitmap.bitmap = FindBitmap(bitmaps, reader.U16());
    bitmap.repeat = (type & 0x01u) == 0;
    bitmap.smooth = (type & 0x02u) == 0;
    bitmap.matrix = ReadMatrix(reader);
    if (end) {
      BitmapFill endBitmap = bitmap;
      endBitmap.matrix = ReadMatrix(reader);
      *end = std::move(endBitmap);
    }
    fill = std::move(bitmap);
  } else {
    return false;
  }
  return !reader.Failed();
}

// One edge record (after its type flag) starting at `pen`.
Segment ReadEdgeRecord(BitReader& bits, Point pen) {
  Segment segment;
  segment.from = pen;
  const bool straight = bits.Flag();
  const unsigned size = bits.UB(4) + 2;
  if (straight) {
    double dx = 0, dy = 0;
    if (bits.Flag()) {
      dx = bits.SB(size);
      dy = bits.SB(size);
    } else if (bits.Flag()) {
      dy = bits.SB(size);
    } else {
      dx = bits.SB(size);
    }
    segment.to = {pen.x + dx, pen.y + dy};
    segment.control = segment.to;
  } else {
    segment.curved = true;
    segment.control.x = pen.x + bits.SB(size);
    segment.control.y = pen.y + bits.SB(size);
    segment.to.x = segment.control.x + bits.SB(size);
    segment.to.y = segment.control.y + bits.SB(size);
  }
  return segment;
}

// Shape records of DefineShape 1 to 4 (shapeVersion 1..4), or of a font's
// glyph (shapeVersion 0: no styles, fill style 1 implied).
class ShapeReader {
 public:
  ShapeReader(ByteReader& reader, int shapeVersion, const BitmapTable& bitmaps, std::size_t& segmentBudget)
      : reader_(reader), version_(shapeVersion), bitmaps_(bitmaps), segmentBudget_(segmentBudget) {}

  Shape Read() {
    ShapeLayer layer;
    if (version_ == 0) {
      layer.fills.emplace_back(Rgba{});  // a glyph: one implied fill, no styles stored
    } else if (!ReadStyles(layer)) {
      return std::move(shape_);
    }
    BitReader bits(reader_);
    unsigned fillBits = bits.UB(4);
    unsigned lineBits = bits.UB(4);
    while (!bits.Failed()) {
      if (!bits.Flag()) {
        const unsigned flags = bits.UB(5);
        if (flags == 0) break;
        if (flags & 0x01u) {
          const unsigned size = bits.UB(5);
          pen_.x = bits.SB(size);
          pen_.y = bits.SB(size);
        }
        if (flags & 0x02u) fill0_ = bits.UB(fillBits);
        if (flags & 0x04u) fill1_ = bits.UB(fillBits);
        if (flags & 0x08u) line_ = bits.UB(lineBits);
        if ((flags & 0x10u) && version_ == 0) break;  // a glyph cannot bring styles
        if (flags & 0x10u) {
          FinishLayer(layer);
          layer = ShapeLayer{};
          bits.Align();
          if (!ReadStyles(layer)) return std::move(shape_);
          fillBits = bits.UB(4);
          lineBits = bits.UB(4);
        }
        continue;
      }
      const Segment segment = ReadEdge(bits);
      if (bits.Failed()) break;
      pen_ = segment.to;
      AddEdge(layer, segment);
    }
    FinishLayer(layer);
    return std::move(shape_);
  }

 private:
  Segment ReadEdge(BitReader& bits) { return ReadEdgeRecord(bits, pen_); }

  void AddEdge(ShapeLayer& layer, const Segment& segment) {
    bool used = false;
    // Fill style 1 lies to the right of the direction of travel, fill style 0
    // to the left: reversed, a fill-0 edge has its fill on the right too.
    if (fill0_ >= 1 && fill0_ <= layer.fills.size()) {
      const Segment reversed{segment.to, segment.control, segment.from, segment.curved};
      used |= Keep(layer.fillEdges, fill0_ - 1, reversed);
    }
    if (fill1_ >= 1 && fill1_ <= layer.fills.size()) used |= Keep(layer.fillEdges, fill1_ - 1, segment);
    if (line_ >= 1 && line_ <= layer.lines.size()) used |= Keep(layer.lineEdges, line_ - 1, segment);
    if (!used) return;
    GrowBounds(shape_, segment);
  }

  // Stores one edge while the movie's segment budget lasts.
  bool Keep(std::vector<StyledSegment>& edges, std::size_t style, const Segment& segment) {
    if (segmentBudget_ == 0) return false;
    --segmentBudget_;
    edges.push_back({static_cast<std::uint16_t>(style), segment});
    return true;
  }

  struct OutlineEnd {
    std::uint16_t style = 0;
    double x = 0, y = 0;
    friend bool operator<(const OutlineEnd& l, const OutlineEnd& r) {
      if (l.style != r.style) return l.style < r.style;
      if (l.x != r.x) return l.x < r.x;
      return l.y < r.y;
    }
  };

  // Every end of every fill edge, sorted by style, then position.
  static std::vector<OutlineEnd> SortedEnds(const std::vector<StyledSegment>& edges) {
    std::vector<OutlineEnd> ends;
    ends.reserve(2 * edges.size());
    for (const StyledSegment& edge : edges) {
      for (const Point& p : {edge.segment.from, edge.segment.to}) ends.push_back({edge.style, p.x, p.y});
    }
    std::sort(ends.begin(), ends.end());
    return ends;
  }

  // Fills are drawn with the even-odd rule, which needs closed outlines. An
  // outline left open (the format asks for closed ones, not every file obeys)
  // is closed with straight lines between its loose ends: the points an odd
  // number of edges of one style end at, joined in pairs in sorted order.
  void CloseOpenFills(ShapeLayer& layer) {
    const std::vector<OutlineEnd> ends = SortedEnds(layer.fillEdges);
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t loose = kNone;  // index in `ends` of the loose end waiting for its pair
    for (std::size_t begin = 0; begin < ends.size();) {
      std::size_t end = begin + 1;
      while (end < ends.size() && !(ends[begin] < ends[end])) ++end;
      const std::size_t point = begin;
      const bool odd = (end - begin) % 2 != 0;
      begin = end;
      if (!odd) continue;
      if (loose != kNone && ends[loose].style == ends[point].style) {
        const Point from{ends[loose].x, ends[loose].y};
        const Point to{ends[point].x, ends[point].y};
        if (!Keep(layer.fillEdges, ends[point].style, Segment{from, to, to, false})) return;
        loose = kNone;
      } else {
        loose = point;
      }
    }
  }

  void FinishLayer(ShapeLayer& layer) {
    if (layer.fillEdges.empty() && layer.lineEdges.empty()) return;
    CloseOpenFills(layer);
    for (std::vector<StyledSegment>* edges : {&layer.fillEdges, &layer.lineEdges}) SortByStyle(*edges);
    shape_.layers.push_back(std::move(layer));
  }

  static void SortByStyle(std::vector<StyledSegment>& edges) {
    const auto byStyle = [](const StyledSegment& l, const StyledSegment& r) { return l.style < r.style; };
    if (!std::is_sorted(edges.begin(), edges.end(), byStyle)) std::stable_sort(edges.begin(), edges.end(), byStyle);
    edges.shrink_to_fit();  // a layer keeps no room to grow: the budget counts what is stored
  }

  std::size_t ReadCount() {
    std::size_t count = reader_.U8();
    if (count == 0xFF && version_ >= 2) count = reader_.U16();
    return count;
  }

  bool ReadLine(LineStyle& line) {
    line.widthTwips = reader_.U16();
    if (version_ < 4) {
      line.color = version_ >= 3 ? ReadRgba(reader_) : ReadRgb(reader_);
      return !reader_.Failed();
    }
    const bool hasFill = ReadLineFlags(reader_, line);
    if (!hasFill) {
      line.color = ReadRgba(reader_);
      return !reader_.Failed();
    }
    FillStyle fill;
    if (!ReadFillStyle(reader_, version_, bitmaps_, fill, nullptr)) return false;
    SetLineFill(line, std::move(fill));
    return true;
  }

  bool ReadStyles(ShapeLayer& layer) {
    const std::size_t fills = ReadCount();
    for (std::size_t i = 0; i < fills; ++i) {
      FillStyle fill;
      if (!ReadFillStyle(reader_, version_, bitmaps_, fill, nullptr)) return false;
      layer.fills.push_back(std::move(fill));
    }
    const std::size_t lines = ReadCount();
    for (std::size_t i = 0; i < lines; ++i) {
      LineStyle line;
      if (!ReadLine(line)) return false;
      layer.lines.push_back(line);
    }
    return !reader_.Failed();
  }

  ByteReader& reader_;
  int version_;
  const BitmapTable& bitmaps_;
  std::size_t& segmentBudget_;
  Shape shape_;
  Point pen_;
  std::size_t fill0_ = 0, fill1_ = 0, line_ = 0;
};

// The records of one of a morph shape's two outlines: every edge with the
// styles it was drawn with (the end outline's records carry moves only).
std::vector<MorphEdge> ReadMorphOutline(ByteReader& reader, std::size_t& segmentBudget) {
  std::vector<MorphEdge> edges;
  BitReader bits(reader);
  const unsigned fillBits = bits.UB(4);
  const unsigned lineBits = bits.UB(4);
  Point pen;
  MorphEdge style;
  while (!bits.Failed()) {
    if (!bits.Flag()) {
      const unsigned flags = bits.UB(5);
      if (flags == 0 || (flags & 0x10u)) break;  // the end, or new styles a morph cannot have
      if (flags & 0x01u) {
        const unsigned size = bits.UB(5);
        pen.x = bits.SB(size);
        pen.y = bits.SB(size);
      }
      if (flags & 0x02u) style.fill0 = static_cast<std::uint16_t>(bits.UB(fillBits));
      if (flags & 0x04u) style.fill1 = static_cast<std::uint16_t>(bits.UB(fillBits));
      if (flags & 0x08u) style.line = static_cast<std::uint16_t>(bits.UB(lineBits));
      continue;
    }
    MorphEdge edge = style;
    edge.start = ReadEdgeRecord(bits, pen);
    if (bits.Failed() || segmentBudget < 3) break;
    segmentBudget -= 3;  // the mixed shape stores up to three edges for it
    pen = edge.start.to;
    edges.push_back(edge);
  }
  return edges;
}

bool ReadMorphLine(ByteReader& reader, bool second, const BitmapTable& bitmaps, MorphLine& line) {
  line.start.widthTwips = reader.U16();
  line.end.widthTwips = reader.U16();
  bool hasFill = false;
  if (second) {
    hasFill = ReadLineFlags(reader, line.start);
    const std::uint16_t width = line.end.widthTwips;
    line.end = line.start;
    line.end.widthTwips = width;
  }
  if (!hasFill) {
    line.start.color = ReadRgba(reader);
    line.end.color = ReadRgba(reader);
    return !reader.Failed();
  }
  FillStyle start, end;
  if (!ReadFillStyle(reader, 3, bitmaps, start, &end)) return false;
  SetLineFill(line.start, std::move(start));
  SetLineFill(line.end, std::move(end));
  return true;
}

std::size_t ReadStyleCount(ByteReader& reader) {
  std::size_t count = reader.U8();
  if (count == 0xFF) count = reader.U16();
  return count;
}

// DefineMorphShape and DefineMorphShape2 after the bounds: the styles and both
// outlines, paired edge by edge. Nullopt when the data breaks off.
std::optional<MorphShape> ReadMorphShape(ByteReader& reader, bool second, const BitmapTable& bitmaps,
                                         std::size_t& segmentBudget) {
  MorphShape morph;
  const std::uint32_t endOffset = reader.U32();
  const std::size_t endStart = reader.Position() + endOffset;
  const std::size_t fills = ReadStyleCount(reader);
  for (std::size_t i = 0; i < fills && !reader.Failed(); ++i) {
    MorphFill fill;
    if (!ReadFillStyle(reader, 3, bitmaps, fill.start, &fill.end)) return std::nullopt;
    morph.fills.push_back(std::move(fill));
  }
  const std::size_t lines = ReadStyleCount(reader);
  for (std::size_t i = 0; i < lines && !reader.Failed(); ++i) {
    MorphLine line;
    if (!ReadMorphLine(reader, second, bitmaps, line)) return std::nullopt;
    morph.lines.push_back(line);
  }
  if (reader.Failed()) return std::nullopt;
  morph.edges = ReadMorphOutline(reader, segmentBudget);
  const std::span<const std::uint8_t> whole = reader.Whole();
  if (endStart > whole.size()) return std::nullopt;
  ByteReader endReader(whole.subspan(endStart));
  const std::vector<MorphEdge> ends = ReadMorphOutline(endReader, segmentBudget);
  // Edges without a partner in the other outline cannot be mixed.
  morph.edges.resize(std::min(morph.edges.size(), ends.size()));
  for (std::size_t i = 0; i < morph.edges.size(); ++i) morph.edges[i].end = ends[i].start;
  return morph;
}

std::optional<PlaceTag> ReadPlaceObject(ByteReader& reader) {
  PlaceTag place;
  place.character = reader.U16();
  place.depth = reader.U16();
  place.matrix = ReadMatrix(reader);
  if (!reader.AtEnd()) place.colorTransform = ReadColorTransform(reader, false);
  if (reader.Failed()) return std::nullopt;
  return place;
}

void ReadClipActions(ByteReader& reader, int version, std::vector<ClipAction>& actions) {
  const auto eventFlags = [&]() -> std::uint32_t { return version >= 6 ? reader.U32() : reader.U16(); };
  (void)reader.U16();
  (void)eventFlags();
  while (!reader.Failed() && actions.size() < 64) {
    const std::uint32_t events = eventFlags();
    if (events == 0 || reader.Failed()) break;
    std::uint32_t size = reader.U32();
    std::uint8_t keyCode = 0;
    if (events & 0x00020000u) {
      keyCode = reader.U8();  // the key of a keyPress event
      size = size > 0 ? size - 1 : 0;
    }
    const std::span<const std::uint8_t> code = reader.Bytes(std::min<std::size_t>(size, reader.Remaining()));
    if (reader.Failed()) break;
    actions.push_back(
        {events, std::make_shared<const std::vector<std::uint8_t>>(code.begin(), code.end()), keyCode});
  }
}

// A FILTERLIST's colours are RGBA; filters keep ARGB.
std::uint32_t ReadFilterColor(ByteReader& reader) {
  const Rgba c = ReadRgba(reader);
  return std::uint32_t{c.a} << 24 | std::uint32_t{c.r} << 16 | std::uint32_t{c.g} << 8 | c.b;
}

double ReadFixed(ByteReader& reader) { return reader.S32() / 65536.0; }
double ReadFixed8(ByteReader& reader) { return reader.S16() / 256.0; }

// Reads a FILTERLIST: the filters, brought into their working ranges; nullopt
// when it breaks off or names a filter there is no layout for (what follows
// cannot be found then).
std::optional<std::vector<Filter>> ReadFilters(ByteReader& reader) {
  const std::uint8_t count = reader.U8();
  std::vector<Filter> filters;
  for (unsigned i = 0; i < count && !reader.Failed(); ++i) {
    Filter filter;
    const std::uint8_t id = reader.U8();
    if (id > static_cast<std::uint8_t>(FilterKind::GradientBevel)) return std::nullopt;
    filter.kind = static_cast<FilterKind>(id);
    // The flags byte of the shadow-like filters: inner, knockout, composite
    // source (off: only the effect shows), then passes (with "on top" taking
    // the fourth bit from bevels and the gradient ones).
    const auto readFlags = [&](bool fourBitPasses) {
      const std::uint8_t flags = reader.U8();
      filter.inner = (flags & 0x80u) != 0;
      filter.knockout = (flags & 0x40u) != 0;
      filter.hideObject = (flags & 0x20u) == 0;
      if (fourBitPasses) {
        filter.onTop = (flags & 0x10u) != 0;
        filter.passes = flags & 0x0F;
      } else {
        filter.passes = flags & 0x1F;
      }
    };
    switch (filter.kind) {
      case FilterKind::DropShadow:
        filter.color = ReadFilterColor(reader);
        filter.blurX = ReadFixed(reader);
        filter.blurY = ReadFixed(reader);
        filter.angle = ReadFixed(reader);
        filter.distance = ReadFixed(reader);
        filter.strength = ReadFixed8(reader);
        readFlags(false);
        break;
      case FilterKind::Blur:
        filter.blurX = ReadFixed(reader);
        filter.blurY = ReadFixed(reader);
        filter.passes = reader.U8() >> 3;
        break;
      case FilterKind::Glow:
        filter.color = ReadFilterColor(reader);
        filter.blurX = ReadFixed(reader);
        filter.blurY = ReadFixed(reader);
        filter.strength = ReadFixed8(reader);
        readFlags(false);
        break;
      case FilterKind::Bevel:
        filter.color = ReadFilterColor(reader);
        filter.highlight = ReadFilterColor(reader);
        filter.blurX = ReadFixed(reader);
        filter.blurY = ReadFixed(reader);
        filter.angle = ReadFixed(reader);
        filter.distance = ReadFixed(reader);
        filter.strength = ReadFixed8(reader);
        readFlags(true);
        break;
      case FilterKind::GradientGlow:
      case FilterKind::GradientBevel: {
        const std::uint8_t colors = reader.U8();
        for (unsigned c = 0; c < colors && !reader.Failed(); ++c) filter.gradientColors.push_back(ReadFilterColor(reader));
        for (unsigned c = 0; c < colors && !reader.Failed(); ++c) filter.gradientRatios.push_back(reader.U8());
        filter.blurX = ReadFixed(reader);
        filter.blurY = ReadFixed(reader);
        filter.angle = ReadFixed(reader);
        filter.distance = ReadFixed(reader);
        filter.strength = ReadFixed8(reader);
        readFlags(true);
        break;
      }
      case FilterKind::Convolution: {
        filter.matrixX = reader.U8();
        filter.matrixY = reader.U8();
        filter.divisor = reader.F32();
        filter.bias = reader.F32();
        const std::size_t cells = std::size_t{static_cast<unsigned>(filter.matrixX)} * static_cast<unsigned>(filter.matrixY);
        if (cells * 4 > reader.Remaining()) return std::nullopt;
        filter.matrix.reserve(cells);
        for (std::size_t c = 0; c < cells; ++c) filter.matrix.push_back(reader.F32());
        filter.defaultColor = ReadFilterColor(reader);
        const std::uint8_t flags = reader.U8();
        filter.clamp = (flags & 0x02u) != 0;
        filter.preserveAlpha = (flags & 0x01u) != 0;
        // A matrix past the largest side is not drawn (its cells are read past).
        if (filter.matrixX > kMaxConvolutionSide || filter.matrixY > kMaxConvolutionSide) continue;
        break;
      }
      case FilterKind::ColorMatrix:
        for (float& v : filter.colorMatrix) v = reader.F32();
        break;
      case FilterKind::DisplacementMap: break;  // no tag layout: refused above
    }
    if (reader.Failed()) return std::nullopt;
    filters.push_back(SaneFilter(std::move(filter)));
  }
  if (reader.Failed()) return std::nullopt;
  return filters;
}

// PlaceObject2, and PlaceObject3 with its filters, blend mode and
// bitmap caching.
std::optional<PlaceTag> ReadPlaceObject2(ByteReader& reader, bool third, int version) {
  PlaceTag place;
  const std::uint8_t flags = reader.U8();
  const std::uint8_t moreFlags = third ? reader.U8() : 0;
  place.depth = reader.U16();
  const bool hasCharacter = (flags & 0x02u) != 0;
  if (third && ((moreFlags & 0x08u) || ((moreFlags & 0x10u) && hasCharacter))) (void)reader.CString();  // class
  place.move = (flags & 0x01u) != 0;
  if (hasCharacter) place.character = reader.U16();
  if (flags & 0x04u) place.matrix = ReadMatrix(reader);
  if (flags & 0x08u) place.colorTransform = ReadColorTransform(reader, true);
  if (flags & 0x10u) place.ratio = reader.U16();
  if (flags & 0x20u) place.name = SwfTextToUtf8(reader.CString(), version);
  if (flags & 0x40u) place.clipDepth = reader.U16();
  if (reader.Failed()) return std::nullopt;
  if (moreFlags & 0x01u) {
    auto filters = ReadFilters(reader);
    if (!filters) return place;  // what follows cannot be found
    place.filters = std::make_shared<const std::vector<Filter>>(std::move(*filters));
  }
  if (moreFlags & 0x02u) {
    const std::uint8_t mode = reader.U8();
    place.blendMode = mode <= BlendMode::kHardLight ? std::max(mode, BlendMode::kNormal) : BlendMode::kNormal;
  }
  if (moreFlags & 0x04u) place.cacheAsBitmap = reader.U8() != 0;
  if (reader.Failed()) {
    place.blendMode.reset();
    place.cacheAsBitmap.reset();
    return place;
  }
  if (flags & 0x80u) ReadClipActions(reader, version, place.clipActions);
  return place;
}

std::optional<EditTextDefinition> ReadEditText(ByteReader& reader, int version) {
  EditTextDefinition text;
  const std::array<double, 4> bounds = ReadRect(reader);
  text.minX = bounds[0];
  text.maxX = bounds[1];
  text.minY = bounds[2];
  text.maxY = bounds[3];
  const std::uint8_t flags = reader.U8();
  const std::uint8_t moreFlags = reader.U8();
  text.wordWrap = (flags & 0x40u) != 0;
  text.multiline = (flags & 0x20u) != 0;
  text.password = (flags & 0x10u) != 0;
  text.readOnly = (flags & 0x08u) != 0;
  text.autoSize = (moreFlags & 0x40u) != 0;
  text.noSelect = (moreFlags & 0x10u) != 0;
  text.border = (moreFlags & 0x08u) != 0;
  text.html = (moreFlags & 0x02u) != 0;
  text.useOutlines = (moreFlags & 0x01u) != 0;
  const bool hasFont = (flags & 0x01u) != 0;
  const bool hasFontClass = (moreFlags & 0x80u) != 0;
  if (hasFont) text.fontId = reader.U16();
  if (hasFontClass) (void)reader.CString();
  if (hasFont || hasFontClass) text.fontHeightTwips = reader.U16();
  if (flags & 0x04u) text.textColor = ReadRgba(reader);
  if (flags & 0x02u) text.maxLength = reader.U16();
  if (moreFlags & 0x20u) {
    text.align = reader.U8();
    text.leftMargin = reader.U16();
    text.rightMargin = reader.U16();
    text.indent = reader.U16();
    text.leading = reader.S16();
  }
  text.variableName = SwfTextToUtf8(reader.CString(), version);
  if (flags & 0x80u) text.initialText = SwfTextToUtf8(reader.CString(), version);
  if (reader.Failed()) return std::nullopt;
  return text;
}

inline constexpr std::size_t kMaxButtonRecords = 256;
inline constexpr std::size_t kMaxButtonActions = 256;

// Button records up to their terminating zero; false when the data breaks off
// or holds filters we do not read (the actions are then still reachable).
bool ReadButtonRecords(ByteReader& reader, bool second, std::vector<ButtonRecord>& records) {
  while (records.size() < kMaxButtonRecords) {
    const std::uint8_t flags = reader.U8();
    if (reader.Failed()) return false;
    if (flags == 0) return true;
    ButtonRecord record;
    record.states = flags & 0x0Fu;
    record.character = reader.U16();
    record.depth = reader.U16();
    record.matrix = ReadMatrix(reader);
    if (second) record.colorTransform = ReadColorTransform(reader, true);
    if (reader.Failed()) return false;
    records.push_back(record);
    if (second && (flags & 0x10u)) return false;
    if (second && (flags & 0x20u)) (void)reader.U8();
  }
  return false;
}

std::shared_ptr<const std::vector<std::uint8_t>> CodeOf(std::span<const std::uint8_t> bytes) {
  return std::make_shared<const std::vector<std::uint8_t>>(bytes.begin(), bytes.end());
}

std::optional<ButtonDefinition> ReadButton(ByteReader& reader, bool second) {
  ButtonDefinition button;
  if (!second) {
    if (!ReadButtonRecords(reader, false, button.records)) return std::nullopt;
    button.actions.push_back({0x0008u, CodeOf(reader.Rest())});
    return button;
  }
  button.trackAsMenu = (reader.U8() & 0x01u) != 0;
  const std::size_t offsetAt = reader.Position();
  const std::uint16_t actionOffset = reader.U16();
  if (reader.Failed()) return std::nullopt;
  (void)ReadButtonRecords(reader, true, button.records);
  if (actionOffset == 0) return button;
  ByteReader actions(reader.Whole());
  actions.Skip(offsetAt + actionOffset);
  while (!actions.Failed() && button.actions.size() < kMaxButtonActions) {
    const std::uint16_t size = actions.U16();
    const std::uint16_t conditions = actions.U16();
    if (actions.Failed()) break;
    const std::size_t length = size >= 4 ? size - 4u : actions.Remaining();
    const std::span<const std::uint8_t> code = actions.Bytes(std::min(length, actions.Remaining()));
    button.actions.push_back({conditions, CodeOf(code)});
    if (size == 0) break;
  }
  return button;
}

// A glyph's outline: the fill edges of its SHAPE, either side of them filled.
Glyph ReadGlyph(std::span<const std::uint8_t> bytes, std::size_t& segmentBudget) {
  Glyph glyph;
  ByteReader reader(bytes);
  const BitmapTable none;
  const Shape shape = ShapeReader(reader, 0, none, segmentBudget).Read();
  for (const ShapeLayer& layer : shape.layers) {
    for (const StyledSegment& edge : layer.fillEdges) glyph.edges.push_back(edge.segment);
  }
  glyph.minX = shape.minX;
  glyph.minY = shape.minY;
  glyph.maxX = shape.maxX;
  glyph.maxY = shape.maxY;
  return glyph;
}

// The glyph shapes an offset table points at: glyph i lies from offsets[i]
// to offsets[i + 1] (the last one to `end`), counted from `tableAt`. A glyph
// whose offsets lie outside the tag is empty.
std::vector<Glyph> ReadGlyphs(std::span<const std::uint8_t> whole, std::size_t tableAt,
                              const std::vector<std::uint32_t>& offsets, std::size_t glyphs, std::size_t end,
                              std::size_t& segmentBudget) {
  std::vector<Glyph> result(glyphs);
  for (std::size_t i = 0; i < glyphs; ++i) {
    const std::size_t from = tableAt + offsets[i];
    const std::size_t to = i + 1 < offsets.size() ? tableAt + offsets[i + 1] : end;
    if (from >= to || to > whole.size()) continue;
    result[i] = ReadGlyph(whole.subspan(from, to - from), segmentBudget);
  }
  return result;
}

void IndexCodes(FontDefinition& font) {
  font.glyphOfCode.clear();
  for (std::size_t i = 0; i < font.codes.size(); ++i) {
    font.glyphOfCode.emplace(font.codes[i], static_cast<std::uint16_t>(i));
  }
}

// DefineFont: the glyph outlines only; DefineFontInfo may name their codes.
FontDefinition ReadFont1(ByteReader& reader, std::size_t& segmentBudget) {
  FontDefinition font;
  const std::span<const std::uint8_t> whole = reader.Whole();
  const std::size_t tableAt = reader.Position();
  const std::uint16_t first = reader.U16();
  if (reader.Failed() || first < 2) return font;
  const std::size_t glyphs = first / 2u;
  std::vector<std::uint32_t> offsets{first};
  for (std::size_t i = 1; i < glyphs && !reader.Failed(); ++i) offsets.push_back(reader.U16());
  if (reader.Failed()) return font;
  font.glyphs = ReadGlyphs(whole, tableAt, offsets, glyphs, whole.size(), segmentBudget);
  return font;
}

// DefineFont2 or DefineFont3: name, style, glyphs, code table and, when the
// font has a layout, its metrics, advances and kerning pairs.
std::optional<FontDefinition> ReadFont(ByteReader& reader, bool third, int version, std::size_t& segmentBudget) {
  FontDefinition font;
  font.unitsPerEm = third ? 20480 : 1024;
  const std::uint8_t flags = reader.U8();
  (void)reader.U8();  // language
  const std::uint8_t nameLength = reader.U8();
  const std::span<const std::uint8_t> name = reader.Bytes(nameLength);
  if (reader.Failed()) return std::nullopt;
  std::string rawName(name.begin(), name.end());
  if (const auto zero = rawName.find('\0'); zero != std::string::npos) rawName.resize(zero);
  font.name = SwfTextToUtf8(rawName, version);
  font.bold = (flags & 0x01u) != 0;
  font.italic = (flags & 0x02u) != 0;
  const bool wideOffsets = (flags & 0x08u) != 0;
  const bool wideCodes = (flags & 0x04u) != 0;
  const std::uint16_t glyphs = reader.U16();
  const std::size_t tableAt = reader.Position();
  std::vector<std::uint32_t> offsets;
  for (std::uint16_t i = 0; i <= glyphs && !reader.Failed(); ++i) {
    offsets.push_back(wideOffsets ? reader.U32() : reader.U16());
  }
  if (reader.Failed() || glyphs == 0) return font;
  const std::span<const std::uint8_t> whole = reader.Whole();
  const std::size_t codeTableAt = tableAt + offsets.back();
  offsets.pop_back();
  font.glyphs = ReadGlyphs(whole, tableAt, offsets, glyphs, std::min(codeTableAt, whole.size()), segmentBudget);
  ByteReader codes(whole);
  codes.Skip(codeTableAt);
  for (std::uint16_t i = 0; i < glyphs && !codes.Failed(); ++i) {
    const std::uint16_t code = wideCodes ? codes.U16() : codes.U8();
    if (!codes.Failed()) font.codes.push_back(code);
  }
  IndexCodes(font);
  if (codes.Failed() || !(flags & 0x80u)) return font;
  font.ascent = codes.U16();
  font.descent = codes.U16();
  font.leading = codes.S16();
  for (std::uint16_t i = 0; i < glyphs && !codes.Failed(); ++i) {
    const std::int16_t advance = codes.S16();
    if (!codes.Failed() && i < font.codes.size()) font.advances.emplace(font.codes[i], advance);
  }
  for (std::uint16_t i = 0; i < glyphs && !codes.Failed(); ++i) (void)ReadRect(codes);  // glyph bounds
  const std::uint16_t pairs = codes.U16();
  for (std::uint16_t i = 0; i < pairs && !codes.Failed(); ++i) {
    const std::uint16_t left = wideCodes ? codes.U16() : codes.U8();
    const std::uint16_t right = wideCodes ? codes.U16() : codes.U8();
    const std::int16_t adjustment = codes.S16();
    if (!codes.Failed()) font.kerning.insert_or_assign({left, right}, adjustment);
  }
  return font;
}

// DefineFontInfo/DefineFontInfo2: the name, style and code table of a font
// defined before.
void ReadFontInfo(ByteReader& reader, bool second, int version, FontDefinition& font) {
  const std::uint8_t nameLength = reader.U8();
  const std::span<const std::uint8_t> name = reader.Bytes(nameLength);
  const std::uint8_t flags = reader.U8();
  if (second) (void)reader.U8();  // language
  if (reader.Failed()) return;
  std::string rawName(name.begin(), name.end());
  if (const auto zero = rawName.find('\0'); zero != std::string::npos) rawName.resize(zero);
  font.name = SwfTextToUtf8(rawName, version);
  font.bold = (flags & 0x02u) != 0;
  font.italic = (flags & 0x04u) != 0;
  const bool wideCodes = second || (flags & 0x01u) != 0;
  font.codes.clear();
  for (std::size_t i = 0; i < font.glyphs.size(); ++i) {
    const std::uint16_t code = wideCodes ? reader.U16() : reader.U8();
    if (reader.Failed()) break;
    font.codes.push_back(code);
  }
  IndexCodes(font);
}

// DefineText/DefineText2 after the id, bounds and matrix: the text records.
// A record that breaks off ends the text; what came before stays.
StaticText ReadTextRecords(ByteReader& reader, bool second, const Matrix& matrix) {
  StaticText text;
  text.matrix = matrix;
  const unsigned glyphBits = reader.U8();
  const unsigned advanceBits = reader.U8();
  if (reader.Failed() || glyphBits > 32 || advanceBits > 32) return text;
  StaticTextRun style;
  double x = 0;
  std::size_t glyphsRead = 0;
  constexpr std::size_t kMaxGlyphs = 1u << 16;
  while (glyphsRead < kMaxGlyphs) {
    const std::uint8_t flags = reader.U8();
    if (reader.Failed() || flags == 0) break;
    if (flags & 0x08u) style.font = reader.U16();
    if (flags & 0x04u) style.color = second ? ReadRgba(reader) : ReadRgb(reader);
    if (flags & 0x01u) x = reader.S16();
    if (flags & 0x02u) style.y = reader.S16();
    if (flags & 0x08u) style.height = reader.U16();
    const std::uint8_t count = reader.U8();
    if (reader.Failed()) break;
    StaticTextRun run = style;
    BitReader bits(reader);
    for (unsigned i = 0; i < count; ++i) {
      const std::uint32_t glyph = bits.UB(glyphBits);
      const double advance = bits.SB(advanceBits);
      if (bits.Failed()) break;
      run.glyphs.push_back(static_cast<std::uint16_t>(glyph));
      run.xs.push_back(x);
      run.advances.push_back(advance);
      x += advance;
    }
    if (bits.Failed()) break;
    glyphsRead += run.glyphs.size();
    text.runs.push_back(std::move(run));
  }
  return text;
}

// The outlines static text draws: each glyph's edges placed at its run's
// position and height, through the text's matrix, in one layer whose fill
// styles are the runs' colours. Neighbouring glyphs take alternate styles of
// the same colour, so outlines that touch or overlap do not cancel out under
// the even-odd rule.
void DrawStaticText(const StaticText& text, const std::map<std::uint16_t, std::shared_ptr<const FontDefinition>>& fonts,
                    std::size_t& segmentBudget, Shape& shape) {
  ShapeLayer layer;
  std::map<std::pair<std::uint32_t, int>, std::uint16_t> styles;  // (colour, parity) -> style
  int parity = 0;
  for (const StaticTextRun& run : text.runs) {
    const auto font = fonts.find(run.font);
    if (font == fonts.end() || !(font->second->unitsPerEm > 0)) continue;
    const double scale = run.height / font->second->unitsPerEm;
    const std::uint32_t color = (std::uint32_t{run.color.r} << 24) | (std::uint32_t{run.color.g} << 16) |
                                (std::uint32_t{run.color.b} << 8) | run.color.a;
    for (std::size_t i = 0; i < run.glyphs.size(); ++i) {
      if (run.glyphs[i] >= font->second->glyphs.size()) continue;
      const Glyph& glyph = font->second->glyphs[run.glyphs[i]];
      if (glyph.edges.empty() || segmentBudget < glyph.edges.size()) continue;
      segmentBudget -= glyph.edges.size();
      parity ^= 1;
      const auto [at, added] = styles.try_emplace({color, parity}, static_cast<std::uint16_t>(layer.fills.size()));
      if (added) layer.fills.emplace_back(run.color);
      Matrix place;
      place.a = place.d = scale;
      place.tx = run.xs[i];
      place.ty = run.y;
      const Matrix m = text.matrix.Then(place);
      for (const Segment& edge : glyph.edges) {
        const Segment moved{Apply(m, edge.from.x, edge.from.y), Apply(m, edge.control.x, edge.control.y),
                            Apply(m, edge.to.x, edge.to.y), edge.curved};
        layer.fillEdges.push_back({at->second, moved});
        GrowBounds(shape, moved);
      }
    }
  }
  if (layer.fillEdges.empty()) return;
  std::stable_sort(layer.fillEdges.begin(), layer.fillEdges.end(),
                   [](const StyledSegment& l, const StyledSegment& r) { return l.style < r.style; });
  layer.fillEdges.shrink_to_fit();
  shape.layers.push_back(std::move(layer));
}

class MovieParser {
 public:
  explicit MovieParser(Movie& movie) : movie_(movie) {}

  // Reads a timeline's tags; false when they stop without an End tag (the
  // timeline is cut short: the rest of it never arrived).
  bool ReadTimeline(ByteReader& reader, Timeline& timeline, bool root) {
    std::uint32_t frameStart = 0;
    bool full = false;
    bool ended = false;
    while (!full) {
      const std::optional<RawTag> tag = NextTag(reader);
      ended = tag && tag->code == kEnd;
      if (!tag || ended) break;
      ByteReader body(tag->body);
      switch (tag->code) {
        case kShowFrame:
          timeline.frameStarts.push_back(frameStart);
          frameStart = static_cast<std::uint32_t>(timeline.tags.size());
          full = timeline.FrameCount() >= kMaxFramesPerTimeline;
          break;
        case kPlaceObject: AddPlace(timeline, ReadPlaceObject(body)); break;
        case kPlaceObject2: AddPlace(timeline, ReadPlaceObject2(body, false, movie_.version)); break;
        case kPlaceObject3: AddPlace(timeline, ReadPlaceObject2(body, true, movie_.version)); break;
        case kRemoveObject: (void)body.U16(); [[fallthrough]];
        case kRemoveObject2: {
          const std::uint16_t depth = body.U16();
          if (!body.Failed()) AddTag(timeline, RemoveTag{depth});
          break;
        }
        case kDoAction:
          AddTag(
              timeline,
              ActionTag{std::make_shared<const std::vector<std::uint8_t>>(tag->body.begin(), tag->body.end()), false});
          break;
        case kDoInitAction: {
          (void)body.U16();  // the sprite it initialises; every sprite's init runs once anyway
          if (body.Failed()) break;
          const std::span<const std::uint8_t> rest = tag->body.subspan(2);
          AddTag(timeline,
                 ActionTag{std::make_shared<const std::vector<std::uint8_t>>(rest.begin(), rest.end()), true});
          break;
        }
        case kExportAssets: {
          const std::uint16_t count = body.U16();
          for (std::uint16_t i = 0; i < count && !body.Failed(); ++i) {
            const std::uint16_t id = body.U16();
            const std::string name = body.CString();
            if (!body.Failed()) movie_.exports.insert_or_assign(LowerAscii(SwfTextToUtf8(name, movie_.version)), id);
          }
          break;
        }
        case kStartSound: {
          StartSoundTag start;
          start.sound = body.U16();
          start.info = ReadSoundInfo(body);
          if (!body.Failed()) AddTag(timeline, std::move(start));
          break;
        }
        case kStartSound2: {
          // Names the sound by its linkage class instead of its id.
          const std::string name = LowerAscii(SwfTextToUtf8(body.CString(), movie_.version));
          StartSoundTag start;
          start.info = ReadSoundInfo(body);
          const auto exported = movie_.exports.find(name);
          if (!body.Failed() && exported != movie_.exports.end()) {
            start.sound = exported->second;
            AddTag(timeline, std::move(start));
          }
          break;
        }
        case kSoundStreamHead:
        case kSoundStreamHead2:
          if (std::optional<StreamHead> head = ReadStreamHead(body)) timeline.streamHead = *head;
          break;
        case kSoundStreamBlock:
          if (timeline.streamHead) {
            AddTag(timeline, StreamBlockTag{std::make_shared<const std::vector<std::uint8_t>>(tag->body.begin(),
                                                                                              tag->body.end())});
          }
          break;
        case kFrameLabel: {
          const std::string label = body.CString();
          if (!body.Failed())
            timeline.labels.emplace(LowerAscii(SwfTextToUtf8(label, movie_.version)), timeline.FrameCount());
          break;
        }
        default:
          if (root) ReadDefinitionTag(tag->code, body);
          break;
      }
    }
    const int shownFrames = timeline.FrameCount();
    if (timeline.tags.size() > frameStart || timeline.frameStarts.empty()) {
      if (full) {
        timeline.tags.resize(frameStart);
      } else {
        timeline.frameStarts.push_back(frameStart);
      }
    }
    // Tags after the last ShowFrame still run as a last frame, but only frames
    // that were shown count for looping; a timeline whose End never came
    // waits at its last frame for the rest, as one still loading does.
    timeline.loops = (ended || full) && shownFrames > 1;
    return ended || full;
  }

 private:
  void ReadDefinitionTag(unsigned code, ByteReader& body) {
    switch (code) {
      case kDefineShape: ReadShape(body, 1); break;
      case kDefineShape2: ReadShape(body, 2); break;
      case kDefineShape3: ReadShape(body, 3); break;
      case kDefineShape4: ReadShape(body, 4); break;
      case kDefineSprite: ReadSprite(body); break;
      case kDefineText:
      case kDefineText2: ReadText(body, code == kDefineText2); break;
      case kDefineMorphShape:
      case kDefineMorphShape2: ReadMorph(body, code == kDefineMorphShape2); break;
      case kJpegTables: jpegTables_.assign(body.Rest().begin(), body.Rest().end()); break;
      case kDefineBits:
      case kDefineBitsJpeg2:
      case kDefineBitsJpeg3:
      case kDefineBitsJpeg4:
      case kDefineBitsLossless:
      case kDefineBitsLossless2: ReadBitmap(code, body); break;
      case kDefineEditText: {
        const std::uint16_t id = body.U16();
        if (auto text = ReadEditText(body, movie_.version)) {
          movie_.characters.insert_or_assign(id, std::make_shared<const EditTextDefinition>(std::move(*text)));
        }
        break;
      }
      case kCsmTextSettings: {
        // Applies to an edit text defined before it; static text ignores it.
        const std::uint16_t id = body.U16();
        const std::uint8_t flags = body.U8();
        const float thickness = body.F32();
        const float sharpness = body.F32();
        const auto found = movie_.characters.find(id);
        if (body.Failed() || found == movie_.characters.end()) break;
        if (const auto* text = std::get_if<std::shared_ptr<const EditTextDefinition>>(&found->second)) {
          auto settings = std::make_shared<EditTextDefinition>(**text);
          settings->advancedAntiAlias = ((flags >> 6) & 3u) == 1;
          settings->gridFit = static_cast<std::uint8_t>((flags >> 3) & 7u);
          settings->thickness = thickness;
          settings->sharpness = sharpness;
          found->second = std::shared_ptr<const EditTextDefinition>(std::move(settings));
        }
        break;
      }
      case kDefineVideoStream: ReadVideo(body); break;
      case kDefineButton:
      case kDefineButton2: {
        const std::uint16_t id = body.U16();
        if (body.Failed()) break;
        if (auto button = ReadButton(body, code == kDefineButton2)) {
          movie_.characters.insert_or_assign(id, std::make_shared<const ButtonDefinition>(std::move(*button)));
        }
        break;
      }
      case kDefineFont: {
        const std::uint16_t id = body.U16();
        if (body.Failed()) break;
        movie_.fonts.insert_or_assign(id, std::make_shared<const FontDefinition>(ReadFont1(body, segmentBudget_)));
        break;
      }
      case kDefineFontInfo:
      case kDefineFontInfo2: {
        const std::uint16_t id = body.U16();
        const auto font = movie_.fonts.find(id);
        if (body.Failed() || font == movie_.fonts.end()) break;
        FontDefinition named = *font->second;
        ReadFontInfo(body, code == kDefineFontInfo2, movie_.version, named);
        font->second = std::make_shared<const FontDefinition>(std::move(named));
        break;
      }
      case kDefineFont2:
      case kDefineFont3: {
        const std::uint16_t id = body.U16();
        if (body.Failed()) break;
        if (auto font = ReadFont(body, code == kDefineFont3, movie_.version, segmentBudget_)) {
          movie_.fonts.insert_or_assign(id, std::make_shared<const FontDefinition>(std::move(*font)));
        }
        break;
      }
      case kSetBackgroundColor: {
        const Rgba color = ReadRgb(body);
        if (!body.Failed() && !movie_.background) movie_.background = color;
        break;
      }
      case kDefineSound: {
        std::uint16_t id = 0;
        if (std::optional<SoundDef> sound = ReadDefineSound(body, id)) {
          movie_.sounds.insert_or_assign(id, std::make_shared<const SoundDef>(std::move(*sound)));
        }
        break;
      }
      case kDefineButtonSound: ReadButtonSounds(body); break;
      case kFileAttributes: movie_.actionScript3 = (body.U32() & 0x08u) != 0; break;
      case kScriptLimits: {
        const std::uint16_t depth = body.U16();
        const std::uint16_t seconds = body.U16();
        if (!body.Failed()) movie_.scriptLimits = ScriptLimits{depth, seconds};
        break;
      }
      default: break;
    }
  }

  void ReadButtonSounds(ByteReader& body) {
    const std::uint16_t id = body.U16();
    ButtonSounds sounds;
    for (StartSoundTag& transition : sounds.transitions) {
      transition.sound = body.U16();
      if (body.Failed()) return;
      if (transition.sound != 0) transition.info = ReadSoundInfo(body);
      if (body.Failed()) return;
    }
    movie_.buttonSounds.insert_or_assign(id, std::move(sounds));
  }

  void ReadShape(ByteReader& body, int version) {
    const std::uint16_t id = body.U16();
    const std::array<double, 4> bounds = ReadRect(body);
    if (version == 4) {
      (void)ReadRect(body);
      (void)body.U8();
    }
    if (body.Failed()) return;
    Shape shape = ShapeReader(body, version, movie_.bitmaps, segmentBudget_).Read();
    shape.declaredMinX = bounds[0];
    shape.declaredMaxX = bounds[1];
    shape.declaredMinY = bounds[2];
    shape.declaredMaxY = bounds[3];
    movie_.characters.insert_or_assign(id, std::make_shared<const Shape>(std::move(shape)));
  }

  // Static text: its glyph runs, and the shape they draw with the fonts
  // defined so far.
  void ReadText(ByteReader& body, bool second) {
    const std::uint16_t id = body.U16();
    const std::array<double, 4> bounds = ReadRect(body);
    const Matrix matrix = ReadMatrix(body);
    if (body.Failed()) return;
    Shape shape;
    shape.declaredMinX = bounds[0];
    shape.declaredMaxX = bounds[1];
    shape.declaredMinY = bounds[2];
    shape.declaredMaxY = bounds[3];
    shape.text = std::make_shared<StaticText>(ReadTextRecords(body, second, matrix));
    movie_.characters.insert_or_assign(id, std::make_shared<const Shape>(std::move(shape)));
    texts_.push_back(id);
  }

 public:
  // Static text may come before the fonts it uses: once every tag is read,
  // each text learns its characters and draws its glyphs.
  void FinishTexts() {
    for (const std::uint16_t id : texts_) {
      const auto found = movie_.characters.find(id);
      const auto* shared = found == movie_.characters.end() ? nullptr
                                                            : std::get_if<std::shared_ptr<const Shape>>(&found->second);
      if (!shared || !(*shared)->text || !(*shared)->layers.empty()) continue;
      Shape shape = **shared;
      auto text = std::make_shared<StaticText>(*shape.text);
      for (StaticTextRun& run : text->runs) {
        const auto font = movie_.fonts.find(run.font);
        run.codes.clear();
        for (const std::uint16_t glyph : run.glyphs) {
          const bool known = font != movie_.fonts.end() && glyph < font->second->codes.size();
          run.codes.push_back(known ? font->second->codes[glyph] : 0);
        }
      }
      DrawStaticText(*text, movie_.fonts, segmentBudget_, shape);
      shape.text = std::move(text);
      found->second = std::make_shared<const Shape>(std::move(shape));
    }
  }

 private:
  void ReadMorph(ByteReader& body, bool second) {
    const std::uint16_t id = body.U16();
    const std::array<double, 4> startBounds = ReadRect(body);
    (void)ReadRect(body);  // the end bounds
    if (second) {
      (void)ReadRect(body);
      (void)ReadRect(body);
      (void)body.U8();
    }
    if (body.Failed()) return;
    Shape shape;
    // What scripts measure (getBounds, hitTest): the start bounds, whatever
    // ratio the morph is placed at, as the platform measures it.
    shape.declaredMinX = startBounds[0];
    shape.declaredMaxX = startBounds[1];
    shape.declaredMinY = startBounds[2];
    shape.declaredMaxY = startBounds[3];
    if (std::optional<MorphShape> morph = ReadMorphShape(body, second, movie_.bitmaps, segmentBudget_)) {
      shape.morph = std::make_shared<const MorphShape>(std::move(*morph));
    }
    movie_.characters.insert_or_assign(id, std::make_shared<const Shape>(std::move(shape)));
  }

  void ReadBitmap(unsigned code, ByteReader& body) {
    const std::uint16_t id = body.U16();
    if (body.Failed()) return;
    std::shared_ptr<const Bitmap> bitmap;
    const std::size_t room = kMaxMovieBitmapPixels - bitmapPixels_;
    switch (code) {
      case kDefineBitsLossless:
      case kDefineBitsLossless2: bitmap = DecodeLosslessBitmap(body.Rest(), code == kDefineBitsLossless2, room); break;
      case kDefineBits: bitmap = DecodeJpegBitmap(body.Rest(), jpegTables_, {}, room); break;
      case kDefineBitsJpeg2: bitmap = DecodeJpegBitmap(body.Rest(), {}, {}, room); break;
      default: {
        const std::uint32_t jpegSize = body.U32();
        if (code == kDefineBitsJpeg4) (void)body.U16();  // deblocking strength: not applied
        if (body.Failed() || jpegSize > body.Remaining()) return;
        const std::span<const std::uint8_t> jpeg = body.Bytes(jpegSize);
        bitmap = DecodeJpegBitmap(jpeg, {}, body.Rest(), room);
        break;
      }
    }
    if (!bitmap) return;  // a fill naming it draws nothing
    bitmapPixels_ += bitmap->pixels.size();
    movie_.bitmaps.insert_or_assign(id, std::move(bitmap));
  }

  void ReadVideo(ByteReader& body) {
    const std::uint16_t id = body.U16();
    VideoDefinition video;
    video.frames = body.U16();
    video.width = body.U16();
    video.height = body.U16();
    const std::uint8_t flags = body.U8();
    if (body.Failed()) return;
    video.deblocking = static_cast<std::uint8_t>((flags >> 1) & 7u);
    video.smoothing = (flags & 1u) != 0;
    movie_.videos.insert_or_assign(id, video);
  }

  void ReadSprite(ByteReader& body) {
    const std::uint16_t id = body.U16();
    (void)body.U16();  // frame count as declared; the ShowFrame tags decide
    if (body.Failed()) return;
    auto sprite = std::make_shared<Timeline>();
    (void)ReadTimeline(body, *sprite, false);
    movie_.characters.insert_or_assign(id, std::shared_ptr<const Timeline>(std::move(sprite)));
  }

  void AddPlace(Timeline& timeline, std::optional<PlaceTag> place) {
    if (place) AddTag(timeline, std::move(*place));
  }

  void AddTag(Timeline& timeline, ControlTag tag) {
    if (tagBudget_ == 0) return;
    --tagBudget_;
    timeline.tags.push_back(std::move(tag));
  }

  Movie& movie_;
  std::size_t tagBudget_ = kMaxControlTags;
  std::size_t segmentBudget_ = kMaxSegments;
  std::size_t bitmapPixels_ = 0;
  std::vector<std::uint8_t> jpegTables_;
  std::vector<std::uint16_t> texts_;  // static text characters, in the order defined
};

}  // namespace

std::optional<std::vector<std::uint8_t>> Inflate(std::span<const std::uint8_t> compressed, std::size_t limit) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return std::nullopt;
  std::vector<std::uint8_t> output;
  std::array<std::uint8_t, 64 * 1024> chunk{};
  std::size_t consumed = 0;
  int status = Z_OK;
  while (output.size() < limit && status == Z_OK) {
    // Feed at most 1 GiB at a time so the sizes fit zlib's 32-bit counters.
    const std::size_t feed = std::min<std::size_t>(compressed.size() - consumed, 1u << 30);
    stream.next_in = compressed.data() + consumed;
    stream.avail_in = static_cast<uInt>(feed);
    stream.next_out = chunk.data();
    stream.avail_out = static_cast<uInt>(std::min(chunk.size(), limit - output.size()));
    status = inflate(&stream, Z_NO_FLUSH);
    consumed += feed - stream.avail_in;
    const std::size_t produced = static_cast<std::size_t>(stream.next_out - chunk.data());
    output.insert(output.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(produced));
    if (status == Z_BUF_ERROR && produced > 0) status = Z_OK;
  }
  inflateEnd(&stream);
  if (output.empty() && status != Z_STREAM_END) return std::nullopt;
  return output;
}

namespace {

// A ZWS file's body: after the 8-byte header come the compressed length (UI32),
// the 5 bytes of LZMA properties and the raw LZMA data, which may lack an end
// marker. liblzma's reader of the .lzma format takes the properties followed
// by the uncompressed length (UI64), which it stops at, and then the data.
std::optional<std::vector<std::uint8_t>> DecompressLzma(std::span<const std::uint8_t> stored, std::size_t size) {
  constexpr std::size_t kPropertiesAt = 4, kDataAt = 9;
  constexpr std::uint64_t kMemoryLimit = 128u << 20;  // the dictionary; far more than a movie's needs
  if (stored.size() < kDataAt) return std::nullopt;
  std::array<std::uint8_t, 13> header{};
  const std::span<const std::uint8_t> properties = stored.subspan(kPropertiesAt, 5);
  std::copy(properties.begin(), properties.end(), header.begin());
  for (std::size_t i = 0; i < 8; ++i) header[5 + i] = static_cast<std::uint8_t>(std::uint64_t{size} >> (8 * i));
  lzma_stream stream = LZMA_STREAM_INIT;
  if (lzma_alone_decoder(&stream, kMemoryLimit) != LZMA_OK) return std::nullopt;
  std::vector<std::uint8_t> output(size);
  stream.next_out = output.data();
  stream.avail_out = output.size();
  lzma_ret status = LZMA_OK;
  for (const std::span<const std::uint8_t> part : {std::span<const std::uint8_t>(header), stored.subspan(kDataAt)}) {
    stream.next_in = part.data();
    stream.avail_in = part.size();
    while (status == LZMA_OK && stream.avail_in > 0 && stream.avail_out > 0) status = lzma_code(&stream, LZMA_RUN);
  }
  // The data ran out: what is decoded so far is all there is.
  if (status == LZMA_OK && stream.avail_out > 0) status = lzma_code(&stream, LZMA_FINISH);
  const std::size_t produced = output.size() - stream.avail_out;
  lzma_end(&stream);
  output.resize(produced);
  if (output.empty() && size > 0) return std::nullopt;
  return output;
}

}  // namespace

std::optional<SwfBody> ReadSwfBody(std::span<const std::uint8_t> file) {
  if (file.size() < 8 || file[1] != 'W' || file[2] != 'S' || (file[0] != 'F' && file[0] != 'C' && file[0] != 'Z')) {
    return std::nullopt;
  }
  ByteReader header(file.subspan(4, 4));
  const std::size_t declared = header.U32();
  if (declared > kMaxUncompressedBytes) return std::nullopt;
  const std::size_t bodySize = declared > 8 ? declared - 8 : 0;
  SwfBody body;
  body.version = file[3];
  const std::span<const std::uint8_t> stored = file.subspan(8);
  if (file[0] == 'F') {
    body.bytes.assign(stored.begin(), stored.begin() + static_cast<std::ptrdiff_t>(std::min(bodySize, stored.size())));
    return body;
  }
  std::optional<std::vector<std::uint8_t>> inflated =
      file[0] == 'Z' ? DecompressLzma(stored, bodySize) : Inflate(stored, bodySize);
  if (!inflated) return std::nullopt;
  body.bytes = std::move(*inflated);
  return body;
}

std::optional<Movie> ParseMovie(std::span<const std::uint8_t> file) {
  std::optional<SwfBody> body = ReadSwfBody(file);
  if (!body) return std::nullopt;
  ByteReader reader(body->bytes);
  Movie movie;
  movie.version = body->version;
  const std::array<double, 4> frame = ReadRect(reader);
  movie.minXTwips = frame[0];
  movie.maxXTwips = frame[1];
  movie.minYTwips = frame[2];
  movie.maxYTwips = frame[3];
  const std::uint16_t rate = reader.U16();
  movie.frameRate = (rate >> 8) + (rate & 0xFFu) / 256.0;
  movie.headerFrameCount = reader.U16();
  if (reader.Failed()) return std::nullopt;
  MovieParser parser(movie);
  (void)parser.ReadTimeline(reader, movie.root, true);
  movie.root.loops = true;  // the movie itself loops whatever its end looks like
  parser.FinishTexts();
  return movie;
}

}  // namespace swf
