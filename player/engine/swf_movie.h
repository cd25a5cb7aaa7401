#pragma once
// A parsed movie: header values, the dictionary of characters (shapes and
// sprites) and the root timeline as a list of control tags per frame.

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "filters.h"
#include "sound/sound_data.h"

namespace swf {

struct Rgba {
  std::uint8_t r = 0, g = 0, b = 0, a = 255;
  friend bool operator==(const Rgba&, const Rgba&) = default;
};

// x' = a*x + c*y + tx, y' = b*x + d*y + ty (the format's scale/rotate terms:
// a = scaleX, b = rotateSkew0, c = rotateSkew1, d = scaleY).
struct Matrix {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
  // This matrix applied after `inner`.
  [[nodiscard]] Matrix Then(const Matrix& inner) const;
  friend bool operator==(const Matrix&, const Matrix&) = default;
};

// Colour transform with multiply terms as factors (1 = unchanged) and add
// terms in colour units.
struct ColorTransform {
  double mr = 1, mg = 1, mb = 1, ma = 1;
  double ar = 0, ag = 0, ab = 0, aa = 0;
  [[nodiscard]] ColorTransform Then(const ColorTransform& inner) const;
  [[nodiscard]] Rgba Apply(Rgba color) const;
  friend bool operator==(const ColorTransform&, const ColorTransform&) = default;
};

struct Point {
  double x = 0, y = 0;
};

// The matrix that undoes `m` (a singular one keeps only the undone move).
[[nodiscard]] Matrix Inverse(const Matrix& m);
[[nodiscard]] Point Apply(const Matrix& m, double x, double y);

// A straight (control unused) or quadratic edge, in twips.
struct Segment {
  Point from, control, to;
  bool curved = false;
};

struct StyledSegment {
  std::uint16_t style = 0;  // 0-based index into the layer's styles
  Segment segment;
};


struct GradientStop {
  std::uint8_t ratio = 0;  // 0..255 along the gradient
  Rgba color;
  friend bool operator==(const GradientStop&, const GradientStop&) = default;
};

enum class GradientKind : std::uint8_t { Linear, Radial, FocalRadial };
enum class GradientSpread : std::uint8_t { Pad, Reflect, Repeat };

// A gradient fill. Its matrix maps the gradient square (-16384..16384 twips
// each way: a linear gradient runs along x, a radial one has radius 16384)
// onto the shape's coordinates.
struct Gradient {
  GradientKind kind = GradientKind::Linear;
  GradientSpread spread = GradientSpread::Pad;
  bool linearRgb = false;  // stops are mixed in linear light instead of as stored
  double focal = 0;        // FocalRadial: the focal point's x, -1..1 of the radius
  Matrix matrix;
  std::vector<GradientStop> stops;  // 1 to 15, ratios rising
  friend bool operator==(const Gradient&, const Gradient&) = default;
};

// A decoded bitmap: premultiplied 0xAARRGGBB pixels, row after row.
struct Bitmap {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
  bool opaque = true;
};

// A bitmap fill. Its matrix maps the bitmap's pixel grid onto the shape's
// twips (20 per pixel at scale 1). A missing bitmap fills nothing.
struct BitmapFill {
  std::shared_ptr<const Bitmap> bitmap;
  Matrix matrix;
  bool repeat = true;   // else the edge pixels stretch out past the bitmap
  bool smooth = false;  // bilinear sampling, else the nearest pixel
  friend bool operator==(const BitmapFill&, const BitmapFill&) = default;
};

using FillStyle = std::variant<Rgba, Gradient, BitmapFill>;

enum class LineCap : std::uint8_t { Round, None, Square };
enum class LineJoin : std::uint8_t { Round, Bevel, Miter };

// A line style: its width (0 draws a one-pixel hairline at any scale) and
// colour, or a fill (a gradient or bitmap) painted along the stroke. The ends
// of an open outline get caps, the corners where two edges meet joins.
struct LineStyle {
  std::uint16_t widthTwips = 0;
  Rgba color;
  LineCap startCap = LineCap::Round, endCap = LineCap::Round;
  LineJoin join = LineJoin::Round;
  double miterLimit = 3;  // how far a miter tip may reach, in half widths from the corner
  // The width does not follow the object's horizontal or vertical scale.
  bool noHScale = false, noVScale = false;
  bool noClose = false;  // an outline that ends where it starts keeps caps there
  std::shared_ptr<const FillStyle> fill;
};

// The styles of one style-array scope of a shape (a shape starts a new layer
// each time its records bring new styles) and the edges drawn with them,
// sorted by style.
struct ShapeLayer {
  std::vector<FillStyle> fills;
  std::vector<LineStyle> lines;
  std::vector<StyledSegment> fillEdges;
  std::vector<StyledSegment> lineEdges;
};

struct MorphShape;
struct StaticText;

struct Shape {
  std::vector<ShapeLayer> layers;
  // Set for a morph shape: what it draws depends on the ratio it is placed at.
  // The character's own layers stay empty; MorphShapeAt gives those of a ratio.
  std::shared_ptr<const MorphShape> morph;
  // Set for static text: its glyph runs (the layers hold the glyphs' outlines).
  std::shared_ptr<const StaticText> text;
  // Bounds of all edges in twips (empty shapes have min > max).
  double minX = 0, minY = 0, maxX = -1, maxY = -1;
  // The bounds the definition declares, lines included (what scripts measure).
  double declaredMinX = 0, declaredMinY = 0, declaredMaxX = 0, declaredMaxY = 0;
};

// Widens the shape's edge bounds to hold `p` (an empty shape's become that point).
inline void GrowBounds(Shape& shape, const Point& p) {
  if (shape.minX > shape.maxX) {
    shape.minX = shape.maxX = p.x;
    shape.minY = shape.maxY = p.y;
    return;
  }
  shape.minX = p.x < shape.minX ? p.x : shape.minX;
  shape.maxX = p.x > shape.maxX ? p.x : shape.maxX;
  shape.minY = p.y < shape.minY ? p.y : shape.minY;
  shape.maxY = p.y > shape.maxY ? p.y : shape.maxY;
}

// The same for every point of a segment (a curve stays within its control point).
inline void GrowBounds(Shape& shape, const Segment& segment) {
  GrowBounds(shape, segment.from);
  GrowBounds(shape, segment.control);
  GrowBounds(shape, segment.to);
}

// A morph shape: each edge and style has a start and an end, drawn mixed at
// the ratio of its placement (0 the start, 65535 the end).
struct MorphFill {
  FillStyle start, end;
};
struct MorphLine {
  LineStyle start, end;
};
struct MorphEdge {
  std::uint16_t fill0 = 0, fill1 = 0, line = 0;  // 1-based style indices, 0 none
  Segment start, end;
};
struct MorphShape {
  std::vector<MorphFill> fills;
  std::vector<MorphLine> lines;
  std::vector<MorphEdge> edges;
};

// The shape a morph draws at `ratio` (0..65535); its declared bounds are those
// of `character`.
[[nodiscard]] std::shared_ptr<const Shape> MorphShapeAt(const Shape& character, std::uint16_t ratio);

// How a display object mixes with what lies below it, as PlaceObject3 and
// MovieClip.blendMode number them (0 and 1 both normal).
namespace BlendMode {
inline constexpr std::uint8_t kNormal = 1, kLayer = 2, kMultiply = 3, kScreen = 4, kLighten = 5, kDarken = 6,
                              kDifference = 7, kAdd = 8, kSubtract = 9, kInvert = 10, kAlpha = 11, kErase = 12,
                              kOverlay = 13, kHardLight = 14;
}  // namespace BlendMode

// onClipEvent handlers of a placement: the events as flag bits (load 0x01,
// enterFrame 0x02, unload 0x04, mouse and key events above, construct
// 0x40000) and the actions they run.
struct ClipAction {
  std::uint32_t events = 0;
  std::shared_ptr<const std::vector<std::uint8_t>> code;
  std::uint8_t keyCode = 0;  // of a keyPress event: the button key code (1-19 special keys, else the character)
};

struct PlaceTag {
  std::uint16_t depth = 0;
  bool move = false;
  std::optional<std::uint16_t> character;
  std::optional<Matrix> matrix;
  std::optional<ColorTransform> colorTransform;
  std::optional<std::uint16_t> ratio;
  std::optional<std::uint16_t> clipDepth;
  std::optional<std::string> name;
  std::vector<ClipAction> clipActions;
  // PlaceObject3: how the object mixes with what lies below (BlendMode), and
  // whether it is cached as a bitmap (drawn as if it were not).
  std::optional<std::uint8_t> blendMode;
  std::optional<bool> cacheAsBitmap;
  // PlaceObject3's filter list (null when the tag has none; an empty list
  // takes the filters away).
  std::shared_ptr<const std::vector<Filter>> filters;
};

struct RemoveTag {
  std::uint16_t depth = 0;
};

struct ActionTag {
  std::shared_ptr<const std::vector<std::uint8_t>> code;
  bool init = false;  // DoInitAction: runs once, before the frame's other actions
};

// StartSound: an event sound of the dictionary starts (or stops) with the frame.
struct StartSoundTag {
  std::uint16_t sound = 0;
  SoundInfo info;
};

// SoundStreamBlock: the timeline's stream sound for this frame.
struct StreamBlockTag {
  std::shared_ptr<const std::vector<std::uint8_t>> data;
};

using ControlTag = std::variant<PlaceTag, RemoveTag, ActionTag, StartSoundTag, StreamBlockTag>;

struct Timeline {
  std::vector<ControlTag> tags;
  // frameStarts[f] is the index in `tags` of frame f's first tag; frame f ends
  // where frame f + 1 starts (or at the end of `tags`).
  std::vector<std::uint32_t> frameStarts;
  std::map<std::string, int> labels;     // lower-cased ASCII label -> 0-based frame
  std::optional<StreamHead> streamHead;  // the format of its StreamBlockTags
  bool loops = true;  // its end goes back to its first frame (a sprite's may not)

  [[nodiscard]] int FrameCount() const { return static_cast<int>(frameStarts.size()); }
  [[nodiscard]] std::span<const ControlTag> FrameTags(int frame) const;
};

// DefineEditText: a text field as the movie defines it. Bounds in twips,
// relative to the field's origin.
struct EditTextDefinition {
  double minX = 0, minY = 0, maxX = 0, maxY = 0;
  bool wordWrap = false, multiline = false, password = false, readOnly = false;
  bool autoSize = false, noSelect = false, border = false, html = false, useOutlines = false;
  std::optional<std::uint16_t> fontId;
  std::uint16_t fontHeightTwips = 240;
  std::optional<Rgba> textColor;
  std::optional<std::uint16_t> maxLength;
  // Layout: 0 left, 1 right, 2 centre, 3 justify; margins, indent and leading in twips.
  std::uint8_t align = 0;
  std::uint16_t leftMargin = 0, rightMargin = 0, indent = 0;
  std::int16_t leading = 0;
  std::string variableName;  // UTF-8
  std::string initialText;   // UTF-8, HTML when `html`
  // From a CSMTextSettings tag: how the field renders its embedded font.
  bool advancedAntiAlias = false;
  std::uint8_t gridFit = 1;  // 0 none, 1 pixel, 2 subpixel
  double thickness = 0, sharpness = 0;
};

// DefineButton/DefineButton2: the characters each state shows and the
// actions its transitions run. State bits: 1 up, 2 over, 4 down, 8 hit area.
struct ButtonRecord {
  std::uint8_t states = 0;
  std::uint16_t character = 0;
  std::uint16_t depth = 0;
  Matrix matrix;
  ColorTransform colorTransform;
};
// Condition bits as DefineButton2 stores them (0x0008 release inside = a
// DefineButton action); `key` is the key code of a keyPress condition.
struct ButtonAction {
  std::uint16_t conditions = 0;
  std::shared_ptr<const std::vector<std::uint8_t>> code;
};
struct ButtonDefinition {
  bool trackAsMenu = false;
  std::vector<ButtonRecord> records;
  std::vector<ButtonAction> actions;
};
// DefineButtonSound: the sounds a button plays as the pointer moves over it,
// in the tag's order: roll out, roll over, press, release. Sound 0 plays nothing.
struct ButtonSounds {
  std::array<StartSoundTag, 4> transitions;
};

// A glyph's outline in the font's units (y down, the baseline at 0), filled
// with the even-odd rule.
struct Glyph {
  std::vector<Segment> edges;
  double minX = 0, minY = 0, maxX = -1, maxY = -1;  // empty: min > max
};

// A font of the movie (DefineFont, DefineFont2, DefineFont3, with the code
// table and names the DefineFontInfo tags give), or one the host makes for a
// device font. Glyph coordinates and metrics are in the font's units:
// unitsPerEm of them make the text height (1024 for DefineFont and
// DefineFont2, 20480 for DefineFont3).
struct FontDefinition {
  std::string name;
  bool bold = false, italic = false;
  double unitsPerEm = 1024;
  double ascent = 0, descent = 0, leading = 0;
  std::map<std::uint16_t, double> advances;  // code unit -> advance in font units
  std::vector<Glyph> glyphs;                 // by glyph index
  std::vector<std::uint16_t> codes;          // glyph index -> code unit
  std::map<std::uint16_t, std::uint16_t> glyphOfCode;
  std::map<std::pair<std::uint16_t, std::uint16_t>, double> kerning;  // code pair -> adjustment

  // The glyph of a code unit; null when the font has none.
  [[nodiscard]] const Glyph* GlyphFor(std::uint32_t code) const {
    if (code > 0xFFFF) return nullptr;
    const auto found = glyphOfCode.find(static_cast<std::uint16_t>(code));
    return found == glyphOfCode.end() || found->second >= glyphs.size() ? nullptr : &glyphs[found->second];
  }
};

// DefineText/DefineText2: runs of glyphs, each in one font, colour and height.
// Positions are in twips of the text's own space (before its matrix); y is
// the baseline. `codes` are the characters the glyphs stand for (0 when the
// font's code table has no entry), read by TextSnapshot.
struct StaticTextRun {
  std::uint16_t font = 0;
  Rgba color;
  double height = 0;
  double y = 0;
  std::vector<std::uint16_t> glyphs;
  std::vector<std::uint16_t> codes;
  std::vector<double> xs;        // each glyph's origin
  std::vector<double> advances;  // each glyph's advance
};
struct StaticText {
  Matrix matrix;
  std::vector<StaticTextRun> runs;
};

// A DefineVideoStream: what a Video object placed from it reports. The
// stand-in decodes no video frames; the object stands on the display list
// with its properties and draws nothing.
struct VideoDefinition {
  std::uint16_t frames = 0;
  std::uint16_t width = 0, height = 0;
  std::uint8_t deblocking = 0;
  bool smoothing = false;
};

using Character = std::variant<std::shared_ptr<const Shape>, std::shared_ptr<const Timeline>,
                               std::shared_ptr<const EditTextDefinition>, std::shared_ptr<const ButtonDefinition>>;

// The ScriptLimits tag: how deep calls may nest and how many seconds a script
// may run before the player stops it.
struct ScriptLimits {
  std::uint16_t maxRecursionDepth = 256;
  std::uint16_t timeoutSeconds = 15;
};

struct Movie {
  int version = 0;
  double minXTwips = 0, minYTwips = 0, maxXTwips = 0, maxYTwips = 0;
  double frameRate = 0;
  int headerFrameCount = 0;
  std::optional<Rgba> background;
  bool actionScript3 = false;
  std::optional<ScriptLimits> scriptLimits;
  std::map<std::uint16_t, Character> characters;
  std::map<std::string, std::uint16_t> exports;  // lower-cased linkage name -> character
  std::map<std::uint16_t, std::shared_ptr<const SoundDef>> sounds;
  std::map<std::uint16_t, std::shared_ptr<const FontDefinition>> fonts;
  std::map<std::uint16_t, ButtonSounds> buttonSounds;  // by button character
  std::map<std::uint16_t, std::shared_ptr<const Bitmap>> bitmaps;
  std::map<std::uint16_t, VideoDefinition> videos;
  Timeline root;
};

// Limits that keep hostile files from costing absurd memory.
inline constexpr std::size_t kMaxUncompressedBytes = 64u * 1024u * 1024u;
inline constexpr int kMaxFramesPerTimeline = 16000;
inline constexpr std::size_t kMaxControlTags = 1u << 20;
// Edges stored across all the shapes of a movie: every fill and line edge of
// every layer (one edge record can add three) and the edges that close open
// outlines. 512 Ki of them take 32 MiB; growing, sorting and closing the
// outlines of the largest shape there can be briefly takes about 70 MiB.
inline constexpr std::size_t kMaxSegments = 512u << 10;
// Pixels of one bitmap (16 Mi: 64 MiB, 4096 x 4096) and of all of a movie's
// bitmaps (64 Mi: 256 MiB).
inline constexpr std::size_t kMaxBitmapPixels = 16u << 20;
inline constexpr std::size_t kMaxMovieBitmapPixels = 64u << 20;

// The whole file after the 8-byte header, inflated for CWS and decompressed
// for ZWS (LZMA), cut to the declared length. Empty optional for anything
// that is not FWS, CWS or ZWS data,
// declares more than kMaxUncompressedBytes, or whose compressed stream does not even
// start; a stream that breaks off later yields what was inflated.
struct SwfBody {
  int version = 0;
  std::vector<std::uint8_t> bytes;
};
[[nodiscard]] std::optional<SwfBody> ReadSwfBody(std::span<const std::uint8_t> file);

// Parses a whole .swf file. Tags that break off or are malformed are dropped;
// the movie is refused only when its header cannot be read.
[[nodiscard]] std::optional<Movie> ParseMovie(std::span<const std::uint8_t> file);

}  // namespace swf
