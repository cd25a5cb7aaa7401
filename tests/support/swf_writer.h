#pragma once
// A small writer of .swf files for tests, fuzz seeds and the demo movie.
//
//   swf::testing::MovieBuilder movie(320, 240);          // stage in pixels, 24 fps, version 6
//   movie.SetBackground({0, 0, 64});
//   swf::testing::ShapeBuilder square;
//   square.Rectangle(0, 0, 100, 50, square.AddSolidFill({255, 0, 0}));
//   const std::uint16_t id = movie.DefineShape(square);
//   movie.Place(id, 1, swf::testing::Transform::Translate(10, 20)).ShowFrame();
//   movie.DoAction(swf::testing::Actions().FsCommand("quit", "")).ShowFrame();
//   std::vector<std::uint8_t> file = movie.Build();        // Build(true): CWS, zlib-compressed
//
// The timeline calls chain (they return the TimelineBuilder); call Build on
// the MovieBuilder itself. Coordinates and sizes are in pixels (stored as
// twips, 1/20 pixel, rounded).
// Definitions are written where they are called, so define a character
// before placing it. Each edge must stay within 3276 pixels (longer straight
// lines are split); nothing here checks what a real authoring tool would.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace swf::testing {

using Bytes = std::vector<std::uint8_t>;

struct Color {
  std::uint8_t r = 0, g = 0, b = 0, a = 255;
};

// A placement matrix: x' = scaleX*x + rotateSkew1*y + translateX, y' =
// rotateSkew0*x + scaleY*y + translateY (translation in pixels).
struct Transform {
  double scaleX = 1, scaleY = 1, rotateSkew0 = 0, rotateSkew1 = 0;
  double translateX = 0, translateY = 0;

  static Transform Translate(double x, double y);
  // Scales by `scale`, turns clockwise on screen by `degrees`, then moves by (x, y).
  static Transform ScaleRotateTranslate(double scale, double degrees, double x, double y);
};

// Multiply terms as factors (stored as 8.8), add terms in colour units.
struct ColorTransform {
  double multiplyR = 1, multiplyG = 1, multiplyB = 1, multiplyA = 1;
  int addR = 0, addG = 0, addB = 0, addA = 0;
};

// A gradient fill: the matrix maps the gradient square (-16384..16384 twips)
// onto the shape; Box gives the matrix that stretches it over a box in pixels.
struct GradientSpec {
  enum Kind : std::uint8_t { Linear = 0x10, Radial = 0x12, FocalRadial = 0x13 };
  Kind kind = Linear;
  Transform matrix;
  std::vector<std::pair<std::uint8_t, Color>> stops;  // ratio 0..255, colour
  std::uint8_t spread = 0;                            // 0 pad, 1 reflect, 2 repeat
  bool linearRgb = false;
  double focal = 0;  // FocalRadial: -1..1

  // The square over the box from (x, y), turned by `degrees` about its centre.
  static Transform Box(double x, double y, double width, double height, double degrees = 0);
};

// The outline and styles of one DefineShape. Style indices are 1-based, 0 is
// "no style", as in the file.
class ShapeBuilder {
 public:
  int AddSolidFill(Color color);
  int AddGradientFill(const GradientSpec& gradient);
  // A bitmap fill: the matrix maps the bitmap's pixels onto the shape (scale
  // 20 draws one bitmap pixel per pixel).
  int AddBitmapFill(std::uint16_t bitmap, const Transform& matrix, bool repeat, bool smooth);
  int AddLineStyle(double widthPixels, Color color);
  // A DefineShape4 line style (LINESTYLE2) with its caps, join and flags;
  // with `gradient` set, the line is painted with that gradient, not `color`.
  struct LineOptions {
    enum Cap : std::uint8_t { RoundCap = 0, NoCap = 1, SquareCap = 2 };
    enum Join : std::uint8_t { RoundJoin = 0, BevelJoin = 1, MiterJoin = 2 };
    Cap startCap = RoundCap, endCap = RoundCap;
    Join join = RoundJoin;
    double miterLimit = 3;
    bool noHScale = false, noVScale = false, noClose = false;
    std::optional<GradientSpec> gradient;
  };
  int AddLineStyle(double widthPixels, Color color, const LineOptions& options);

  // A style-change record: fill style 0 (left of travel), fill style 1 (right
  // of travel: inside for outlines drawn clockwise on screen) and line style.
  ShapeBuilder& SetStyles(int fill0, int fill1, int line);
  ShapeBuilder& MoveTo(double x, double y);
  ShapeBuilder& LineTo(double x, double y);
  ShapeBuilder& CurveTo(double controlX, double controlY, double x, double y);

  // Closed outlines drawn clockwise with `fill` as fill style 1.
  ShapeBuilder& Rectangle(double x, double y, double width, double height, int fill, int line = 0);
  ShapeBuilder& Ellipse(double centreX, double centreY, double radiusX, double radiusY, int fill, int line = 0);

  // The DefineShape body after id and bounds: SHAPEWITHSTYLE for the version.
  [[nodiscard]] Bytes EncodeShapeWithStyle(int shapeVersion) const;
  // Bounds of every point, widened by half the widest line, in twips:
  // xmin, xmax, ymin, ymax.
  [[nodiscard]] std::vector<std::int32_t> BoundsTwips() const;
  // A morph shape's styles, this shape's as the start and `end`'s as the end
  // (same count and kinds): MORPHFILLSTYLES and MORPHLINESTYLES of
  // DefineMorphShape `version` (1 or 2).
  [[nodiscard]] Bytes EncodeMorphStyles(const ShapeBuilder& end, int version) const;
  // The edge records alone (SHAPE), with the style bit counts of this shape.
  [[nodiscard]] Bytes EncodeRecords() const;
  [[nodiscard]] Bytes EncodeRecords(unsigned fillBits, unsigned lineBits) const;

 private:
  struct Fill {
    std::uint8_t type = 0x00;
    Color color;
    GradientSpec gradient;
    std::uint16_t bitmap = 0;
    Transform matrix;
  };
  struct Record {
    enum Kind { Style, Move, Line, Curve } kind;
    int fill0 = 0, fill1 = 0, line = 0;
    std::int32_t x = 0, y = 0, controlX = 0, controlY = 0;  // absolute twips
  };
  struct LineStyle {
    std::uint16_t width;
    Color color;
    LineOptions options;
  };
  static void AppendLineFlags(Bytes& out, const LineOptions& options);
  std::vector<Fill> fills_;
  std::vector<LineStyle> lines_;
  std::vector<Record> records_;
};

// One DoAction block. Branches go to labels made by NewLabel and placed by Bind.
class Actions {
 public:
  Actions& Stop();
  Actions& Play();
  Actions& NextFrame();
  Actions& PrevFrame();
  Actions& GotoFrame(std::uint16_t zeroBasedFrame);
  Actions& GotoLabel(std::string_view label);
  Actions& GetUrl(std::string_view url, std::string_view target);
  Actions& GetUrl2();  // pops target, then url
  // fscommand("command", "args") as compilers write it with literal texts.
  Actions& FsCommand(std::string_view command, std::string_view args);
  // fscommand(<cmdVariable>, <argsVariable>) as compilers write it for computed
  // texts: "FSCommand:" + command via StringAdd, the argument, GetUrl2.
  Actions& FsCommandFromVariables(std::string_view commandVariable, std::string_view argsVariable);

  Actions& PushString(std::string_view text);
  Actions& PushFloat(float value);    // type 1
  Actions& PushDouble(double value);  // type 6
  Actions& PushInt(std::int32_t value);
  Actions& PushBool(bool value);
  Actions& PushNull();
  Actions& PushUndefined();
  Actions& PushRegister(std::uint8_t index);
  Actions& PushConstant(std::uint16_t index);  // type 8 below 256, else type 9
  Actions& ConstantPool(const std::vector<std::string>& constants);
  Actions& StoreRegister(std::uint8_t index);

  Actions& Pop();
  Actions& GetVariable();
  Actions& SetVariable();
  // Push name, push value, SetVariable.
  Actions& SetVariable(std::string_view name, std::string_view value);
  Actions& StringAdd();
  Actions& Add2();
  Actions& Equals2();
  Actions& Not();

  [[nodiscard]] int NewLabel();
  Actions& Bind(int label);
  Actions& If(int label);
  Actions& Jump(int label);

  Actions& Trace();
  // DefineFunction: `body`'s actions (without their End) follow as the
  // function's code. An empty name pushes the function instead of naming it.
  Actions& DefineFunction(std::string_view name, const std::vector<std::string>& params, const Actions& body);
  // DefineFunction2: params as (register, name); register 0 keeps the name.
  Actions& DefineFunction2(std::string_view name, std::uint8_t registerCount, std::uint16_t flags,
                           const std::vector<std::pair<std::uint8_t, std::string>>& params, const Actions& body);
  // try { tryBody } catch (name) { catchBody } finally { finallyBody }: an
  // empty catch name leaves out the catch block, `hasFinally` false the finally.
  Actions& Try(const Actions& tryBody, std::string_view catchName, const Actions& catchBody, bool hasFinally,
               const Actions& finallyBody);

  // with (object on the stack) { body }
  Actions& With(const Actions& body);

  // Any action: codes from 0x80 carry `payload` with its length.
  Actions& Raw(std::uint8_t code, const Bytes& payload = {});

  // The block with its terminating zero.
  [[nodiscard]] Bytes Encode() const;

 private:
  Actions& Branch(std::uint8_t code, int label);
  Bytes code_;
  std::vector<std::size_t> labels_;                    // position of each label (npos: not bound)
  std::vector<std::pair<std::size_t, int>> branches_;  // offset field position, label
};

// The control tags of a timeline: the root's (MovieBuilder) or a sprite's.
class TimelineBuilder {
 public:
  // PlaceObject2: a new character at `depth`; name "" places none.
  TimelineBuilder& Place(std::uint16_t character, std::uint16_t depth, const Transform& transform = {},
                         const std::optional<ColorTransform>& colors = std::nullopt, std::string_view name = "");
  // PlaceObject2 with the move flag: changes what sits at `depth`.
  TimelineBuilder& Move(std::uint16_t depth, const Transform& transform,
                        const std::optional<ColorTransform>& colors = std::nullopt);
  // PlaceObject2 with move and character: another character at `depth`.
  TimelineBuilder& Replace(std::uint16_t depth, std::uint16_t character);
  // PlaceObject2 of a mask: `character` masks the depths above `depth` up to `clipDepth`.
  TimelineBuilder& PlaceMask(std::uint16_t character, std::uint16_t depth, std::uint16_t clipDepth,
                             const Transform& transform = {}, std::string_view name = "");
  // PlaceObject2 of a morph shape at `ratio` (0..65535); with `move`, changes
  // the ratio of what sits at `depth`.
  TimelineBuilder& PlaceRatio(std::uint16_t character, std::uint16_t depth, std::uint16_t ratio, bool move = false,
                              const Transform& transform = {});
  TimelineBuilder& PlaceObject1(std::uint16_t character, std::uint16_t depth, const Transform& transform = {});
  // PlaceObject3 with a blend mode (1 normal ... 14 hard light), bitmap
  // caching, and with `filters` a blur and a gradient glow before them.
  TimelineBuilder& PlaceBlended(std::uint16_t character, std::uint16_t depth, std::uint8_t blendMode,
                                const Transform& transform = {}, std::string_view name = "", bool filters = false);
  // PlaceObject3 with a filter list (EncodeFilterList's bytes) and nothing else new.
  TimelineBuilder& PlaceFiltered(std::uint16_t character, std::uint16_t depth, const Bytes& filterList,
                                 const Transform& transform = {}, std::string_view name = "");
  TimelineBuilder& Remove(std::uint16_t depth);  // RemoveObject2
  TimelineBuilder& RemoveObject1(std::uint16_t character, std::uint16_t depth);
  TimelineBuilder& DoAction(const Actions& actions);
  TimelineBuilder& DoActionBytes(const Bytes& body);
  TimelineBuilder& FrameLabel(std::string_view label);
  TimelineBuilder& ShowFrame(int count = 1);
  // Any tag, long header form when the body needs it.
  TimelineBuilder& Tag(std::uint16_t code, const Bytes& body);

  [[nodiscard]] int FrameCount() const { return frames_; }
  [[nodiscard]] const Bytes& TagBytes() const { return tags_; }

 protected:
  Bytes tags_;
  int frames_ = 0;
};

class SpriteBuilder : public TimelineBuilder {};

// What a DefineEditText declares (bounds in pixels, font height in pixels).
struct EditTextFields {
  double x = 0, y = 0, width = 100, height = 20;
  bool wordWrap = false, multiline = false, password = false, readOnly = false;
  bool autoSize = false, border = false, html = false;
  std::optional<double> fontHeight;  // written with font id 0 (a device font) when set
  std::optional<Color> color;
  std::optional<std::uint16_t> maxLength;
  std::string variable;
  std::optional<std::string> text;
};

// One record of a DefineButton2: the character a state set shows at a depth.
struct ButtonRecordSpec {
  std::uint8_t states = 0x0F;  // up 1, over 2, down 4, hit 8
  std::uint16_t character = 0;
  std::uint16_t depth = 1;
  Transform transform;
};

class MovieBuilder : public TimelineBuilder {
 public:
  explicit MovieBuilder(double widthPixels, double heightPixels, double framesPerSecond = 24, int version = 6);

  MovieBuilder& SetBackground(Color color);
  MovieBuilder& FileAttributes(std::uint32_t flags);
  // DefineShape (1), DefineShape2, 3 or 4; returns the new character id.
  std::uint16_t DefineShape(const ShapeBuilder& shape, int shapeVersion = 3);
  std::uint16_t DefineSprite(const SpriteBuilder& sprite);
  std::uint16_t DefineEditText(const EditTextFields& text);
  // DefineButton2 with its records and (condition bits, actions) pairs.
  std::uint16_t DefineButton2(const std::vector<ButtonRecordSpec>& records,
                              const std::vector<std::pair<std::uint16_t, Actions>>& actions = {});

  // DefineBitsLossless (`alpha` false) or DefineBitsLossless2 of raw pixel
  // data as the format stores it before zlib (format 3: colour table then
  // indices; 4: 15-bit; 5: 32-bit), zlib-packed here.
  std::uint16_t DefineBitsLossless(std::uint8_t format, int width, int height, const Bytes& data, bool alpha,
                                   int colorTableSize = 0);
  // 32-bit pixels from straight colours, premultiplied for DefineBitsLossless2.
  std::uint16_t DefineBitsLossless(int width, int height, const std::vector<Color>& pixels, bool alpha);
  // DefineBitsJPEG2 (tag 21) of a JPEG stream, or DefineBitsJPEG3 (35) with
  // an alpha plane, zlib-packed here.
  std::uint16_t DefineBitsJpeg(const Bytes& jpeg, const std::optional<Bytes>& alpha = std::nullopt);
  // JPEGTables, then DefineBits with the stream's own tables taken out.
  std::uint16_t DefineBitsWithTables(const Bytes& tables, const Bytes& image);
  // DefineMorphShape (version 1) or DefineMorphShape2 from two shapes with the
  // same styles and edge count.
  std::uint16_t DefineMorphShape(const ShapeBuilder& start, const ShapeBuilder& end, int version = 1);
  // Any definition tag whose body starts with a new id.
  std::uint16_t DefineRaw(std::uint16_t code, const Bytes& bodyAfterId);

  // The whole file: header, tags so far, End. The frame count in the header
  // is the number of ShowFrame calls.
  [[nodiscard]] Bytes Build(bool compress = false) const;
  // A ZWS file: the body compressed with LZMA (liblzma), with an end marker.
  [[nodiscard]] Bytes BuildLzma() const;

 private:
  [[nodiscard]] Bytes Body() const;  // what follows the 8-byte header, uncompressed
  double width_, height_, framesPerSecond_;
  int version_;
  std::uint16_t nextId_ = 1;
};

// Bit-packed fields as the file stores them, most significant bit first.
class BitWriter {
 public:
  void UB(std::uint32_t value, unsigned bits);
  void SB(std::int32_t value, unsigned bits);
  void Align();
  [[nodiscard]] Bytes Take();

  // Bits an SB field needs for `value` (at least 1).
  static unsigned SignedBits(std::int64_t value);

 private:
  Bytes bytes_;
  unsigned used_ = 0;  // bits used in the last byte (0: none)
};

// A baseline JPEG of straight RGB pixels (row after row) through libjpeg.
[[nodiscard]] Bytes EncodeJpeg(int width, int height, const std::vector<Color>& pixels, int quality = 95);
// A JPEG stream cut in two: its tables (start, DQT and DHT segments, end) and
// the image without them (start, frame, scan, data, end).
[[nodiscard]] std::pair<Bytes, Bytes> SplitJpegTables(const Bytes& jpeg);
[[nodiscard]] Bytes Deflate(const Bytes& data);

// RECT in twips: xmin, xmax, ymin, ymax.
[[nodiscard]] Bytes EncodeRect(std::int32_t xMin, std::int32_t xMax, std::int32_t yMin, std::int32_t yMax);
[[nodiscard]] Bytes EncodeMatrix(const Transform& transform);
[[nodiscard]] Bytes EncodeColorTransform(const ColorTransform& colors, bool withAlpha);

// One filter of a PlaceObject3 filter list, with the members its kind uses
// (kind: 0 drop shadow, 1 blur, 2 glow, 3 bevel, 4 gradient glow,
// 5 convolution, 6 colour matrix, 7 gradient bevel). Angles in radians.
struct FilterSpec {
  std::uint8_t kind = 1;
  Color color{0, 0, 0};
  Color highlight{255, 255, 255};
  double blurX = 4, blurY = 4, angle = 0.7853981633974483, distance = 4, strength = 1;
  unsigned passes = 1;
  bool inner = false, knockout = false, hideObject = false, onTop = false;
  std::vector<std::pair<std::uint8_t, Color>> gradient;
  std::uint8_t matrixX = 0, matrixY = 0;
  std::vector<float> matrix;  // the convolution's cells, or the colour matrix's 20
  float divisor = 1, bias = 0;
  Color defaultColor{0, 0, 0, 0};
  bool clamp = true, preserveAlpha = false;
};
// The FILTERLIST: the count, then each filter.
[[nodiscard]] Bytes EncodeFilterList(const std::vector<FilterSpec>& filters);

}  // namespace swf::testing
