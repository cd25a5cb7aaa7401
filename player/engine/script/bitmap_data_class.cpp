// flash.display.BitmapData: a bitmap of pixels scripts make and change.
// The pixel work is PixelBitmap's (bitmap_pixels.h); this file reads the
// arguments as the platform reads them and answers as it answers: a bitmap
// disposed, or called with too few arguments, gives -1; some checks of the
// other arguments give their own negative codes. Bitmaps larger than the
// platform allows are refused (`new` gives undefined), and all of a movie's
// bitmaps together hold at most kMaxBitmapPixelsTotal pixels.

#include <cmath>
#include <memory>
#include <string>

#include "geom.h"
#include "native_class.h"
#include "swf_movie.h"

namespace swf {
namespace {

using Args = std::span<const Value>;

// What all of a movie's bitmaps hold, shared by its bitmaps.
struct PixelBudget {
  std::size_t used = 0;
};

struct BitmapState final : NativeState {
  BitmapState(std::shared_ptr<PixelBudget> owner, PixelBitmap made)
      : budget(std::move(owner)), live(std::make_shared<LiveBitmap>()) {
    live->pixels.emplace(std::move(made));
    budget->used += Pixels();
  }
  ~BitmapState() override { Dispose(); }
  BitmapState(const BitmapState&) = delete;
  BitmapState& operator=(const BitmapState&) = delete;
  void AddReferences(std::vector<Object*>&) const override {}
  [[nodiscard]] std::size_t Pixels() const {
    const auto& pixels = live->pixels;
    return pixels ? static_cast<std::size_t>(pixels->Width()) * static_cast<std::size_t>(pixels->Height()) : 0;
  }
  void Dispose() {
    budget->used -= Pixels();
    live->pixels.reset();
    ++live->version;
  }
  std::shared_ptr<PixelBudget> budget;
  // The pixels (none once disposed), shared with the clips that show them.
  std::shared_ptr<LiveBitmap> live;
  // The pixels unmultiplied as of `snapshotVersion`, shared by the filters
  // that use this bitmap as a map, so that many filters hold one copy.
  std::shared_ptr<const std::vector<std::uint32_t>> snapshot;
  std::uint64_t snapshotVersion = 0;
};

BitmapState* StateOf(Object* object) { return object ? dynamic_cast<BitmapState*>(object->state.get()) : nullptr; }

// The live bitmap of a BitmapData object; null when it is none or disposed.
PixelBitmap* BitmapOf(Object* object) {
  BitmapState* state = StateOf(object);
  return state && state->live->pixels ? &*state->live->pixels : nullptr;
}
PixelBitmap* BitmapOf(const Value& value) { return BitmapOf(AsObjectValue(value)); }

std::uint32_t ColorArg(Vm& vm, Args args, std::size_t index) {
  return static_cast<std::uint32_t>(PixelInt(vm.ToNum(Arg(args, index))));
}
int Int(Vm& vm, const Value& value) { return PixelInt(vm.ToNum(value)); }

// A rectangle argument: an object with x, y, width and height.
std::optional<PixelArea> ReadArea(Vm& vm, const Value& value) {
  Object* object = AsObjectValue(value);
  if (!object) return std::nullopt;
  for (const char* name : {"x", "y", "width", "height"}) {
    if (!HasMember(vm, object, name)) return std::nullopt;
  }
  return PixelArea{PixelInt(NumberMember(vm, object, "x")), PixelInt(NumberMember(vm, object, "y")),
                   PixelInt(NumberMember(vm, object, "width")), PixelInt(NumberMember(vm, object, "height"))};
}

// A point argument; members it lacks (or no object at all) count as 0.
std::pair<int, int> ReadPoint(Vm& vm, const Value& value) {
  Object* object = AsObjectValue(value);
  if (!object) return {0, 0};
  return {PixelInt(NumberMember(vm, object, "x")), PixelInt(NumberMember(vm, object, "y"))};
}

constexpr double kFailed = -1;

// The largest bitmap the movie's version allows.
bool SizeAllowed(int version, double width, double height) {
  if (!(width >= 1) || !(height >= 1)) return false;
  if (version >= 10) return width <= 8191 && height <= 8191 && width * height <= 16777215;
  return width <= kMaxBitmapSide && height <= kMaxBitmapSide;
}

Object* MakeBitmapObject(Vm& vm, Object* constructor, const std::shared_ptr<PixelBudget>& budget, PixelBitmap bitmap) {
  const std::size_t pixels = static_cast<std::size_t>(bitmap.Width()) * static_cast<std::size_t>(bitmap.Height());
  if (budget->used + pixels > kMaxBitmapPixelsTotal) return nullptr;
  Object* object = vm.NewPlain();
  if (Object* proto = AsObjectValue(vm.GetMember(constructor, "prototype"))) object->proto = proto;
  vm.Define(object, "__constructor__", Value{constructor}, kDontEnum);
  object->state = std::make_unique<BitmapState>(budget, std::move(bitmap));
  return object;
}

struct Context {
  std::shared_ptr<PixelBudget> budget;
  Object* constructor = nullptr;
};

Value Construct(Vm& vm, Object* self, Args args, const Context& context) {
  if (!vm.constructing || !self) return Undefined{};
  const double width = vm.ToNum(Arg(args, 0)), height = vm.ToNum(Arg(args, 1));
  if (!SizeAllowed(vm.Version(), std::trunc(width), std::trunc(height))) {
    vm.constructRefused = true;
    return Undefined{};
  }
  const bool transparent = args.size() < 3 || vm.ToBool(args[2]);
  const std::uint32_t fill = args.size() < 4 ? 0xFFFFFFFFu : ColorArg(vm, args, 3);
  const auto w = static_cast<int>(width), h = static_cast<int>(height);
  const std::size_t pixels = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
  if (context.budget->used + pixels > kMaxBitmapPixelsTotal) {
    vm.constructRefused = true;
    return Undefined{};
  }
  self->state = std::make_unique<BitmapState>(context.budget, PixelBitmap(w, h, transparent, fill));
  return Undefined{};
}

Value Rectangle(Vm& vm, const PixelArea& area) {
  Object* made = NewRectangle(vm, area.x, area.y, area.width, area.height);
  return made ? Value{made} : Value{Undefined{}};
}

// A point argument that must have x and y of its own (inherited ones do not count).
bool OwnPoint(Vm& vm, const Value& value) {
  Object* object = AsObjectValue(value);
  return object && HasMember(vm, object, "x", true) && HasMember(vm, object, "y", true);
}

Value HitTest(Vm& vm, PixelBitmap& bitmap, Args args) {
  if (args.size() < 3) return kFailed;
  Object* first = AsObjectValue(args[0]);
  if (!OwnPoint(vm, args[0])) return -2.0;
  const int fx = PixelInt(NumberMember(vm, first, "x")), fy = PixelInt(NumberMember(vm, first, "y"));
  const int threshold = Int(vm, Arg(args, 1));
  Object* second = AsObjectValue(Arg(args, 2));
  if (!second) return -3.0;
  if (StateOf(second)) {
    PixelBitmap* other = BitmapOf(second);
    if (!other) return -3.0;
    // Without a corner the other bitmap lies at (0, 0); a corner given
    // must be a whole point.
    if (args.size() > 3 && !OwnPoint(vm, args[3])) return -4.0;
    const auto [ox, oy] = ReadPoint(vm, Arg(args, 3));
    const int otherThreshold = args.size() > 4 ? Int(vm, args[4]) : 1;
    return bitmap.HitBitmap(fx, fy, threshold, *other, ox, oy, otherThreshold);
  }
  if (HasMember(vm, second, "width") && HasMember(vm, second, "height")) {
    const auto area = ReadArea(vm, Value{second});
    if (!area) return -3.0;
    return bitmap.HitArea({area->x - fx, area->y - fy, area->width, area->height}, threshold);
  }
  if (HasMember(vm, second, "x") && HasMember(vm, second, "y")) {
    const auto [px, py] = ReadPoint(vm, Value{second});
    return bitmap.HitPoint(px - fx, py - fy, threshold);
  }
  return -3.0;
}

Value Compare(Vm& vm, Object* self, Args args, const Context& context) {
  PixelBitmap* mine = BitmapOf(self);
  if (!mine || args.empty()) return kFailed;
  PixelBitmap* other = BitmapOf(args[0]);
  if (!other) return -2.0;
  if (mine->Width() != other->Width()) return -3.0;
  if (mine->Height() != other->Height()) return -4.0;
  std::optional<PixelBitmap> differences = mine->Compare(*other);
  if (!differences) return 0.0;
  Object* made = MakeBitmapObject(vm, context.constructor, context.budget, std::move(*differences));
  return made ? Value{made} : Value{Undefined{}};
}

Value CopyChannel(Vm& vm, PixelBitmap& bitmap, Args args) {
  if (args.size() < 5) return kFailed;
  Object* source = AsObjectValue(args[0]);
  if (!StateOf(source)) return -2.0;
  PixelBitmap* from = BitmapOf(source);
  if (!from) return -3.0;
  const auto area = ReadArea(vm, args[1]);
  if (!area) return -4.0;
  const auto [dx, dy] = ReadPoint(vm, args[2]);
  bitmap.CopyChannel(*from, *area, dx, dy, ColorArg(vm, args, 3), ColorArg(vm, args, 4));
  return kFailed;  // the platform answers -1 here whatever it copied
}

Value CopyPixels(Vm& vm, PixelBitmap& bitmap, Args args) {
  if (args.size() < 3) return kFailed;
  PixelBitmap* from = BitmapOf(args[0]);
  if (!from) return -2.0;
  const auto area = ReadArea(vm, args[1]);
  if (!area) return -4.0;
  const auto [dx, dy] = ReadPoint(vm, args[2]);
  PixelBitmap* alpha = BitmapOf(Arg(args, 3));
  const auto [ax, ay] = ReadPoint(vm, Arg(args, 4));
  bitmap.CopyPixels(*from, *area, dx, dy, alpha, ax, ay, vm.ToBool(Arg(args, 5)));
  return Undefined{};
}

Value PixelDissolve(Vm& vm, PixelBitmap& bitmap, Args args) {
  // Without a seed nothing dissolves.
  if (args.size() < 4) return kFailed;
  PixelBitmap* from = BitmapOf(args[0]);
  if (!from) return kFailed;
  const auto area = ReadArea(vm, args[1]);
  if (!area) return -4.0;
  const auto [dx, dy] = ReadPoint(vm, args[2]);
  const int seed = Int(vm, Arg(args, 3));
  const int count = args.size() > 4 ? Int(vm, args[4]) : 1;
  const std::uint32_t fill = args.size() > 5 ? ColorArg(vm, args, 5) : 0;
  return static_cast<double>(bitmap.PixelDissolve(*from, *area, dx, dy, seed, count, fill));
}

Value Threshold(Vm& vm, PixelBitmap& bitmap, Args args) {
  if (args.size() < 5) return kFailed;
  PixelBitmap* from = BitmapOf(args[0]);
  if (!from) return -2.0;
  const auto area = ReadArea(vm, args[1]);
  if (!area) return -4.0;
  const auto [dx, dy] = ReadPoint(vm, args[2]);
  const std::string operation = vm.ToStr(args[3]);
  const std::uint32_t color = args.size() > 5 ? ColorArg(vm, args, 5) : 0;
  const std::uint32_t mask = args.size() > 6 ? ColorArg(vm, args, 6) : 0xFFFFFFFFu;
  const bool copySource = vm.ToBool(Arg(args, 7));
  const auto passed = bitmap.Threshold(*from, *area, dx, dy, operation, ColorArg(vm, args, 4), color, mask, copySource);
  return static_cast<double>(passed.value_or(0));
}

Value Noise(Vm& vm, PixelBitmap& bitmap, Args args) {
  if (args.empty()) return kFailed;
  const int low = args.size() > 1 ? Int(vm, args[1]) : 0;
  const int high = args.size() > 2 ? Int(vm, args[2]) : 255;
  const auto channels = args.size() > 3 ? ColorArg(vm, args, 3) : 7u;
  bitmap.Noise(Int(vm, args[0]), low, high, channels, vm.ToBool(Arg(args, 4)));
  return 0.0;
}

Value PerlinNoise(Vm& vm, PixelBitmap& bitmap, Args args) {
  if (args.size() < 6) return kFailed;
  const auto channels = args.size() > 6 ? ColorArg(vm, args, 6) : 7u;
  std::vector<std::pair<double, double>> offsets;
  if (Object* list = AsObjectValue(Arg(args, 8)); list && list->kind == ObjectKind::Array) {
    for (const Value& element : list->elements) {
      Object* point = AsObjectValue(element);
      const double x = NumberMember(vm, point, "x"), y = NumberMember(vm, point, "y");
      offsets.emplace_back(std::isfinite(x) ? x : 0, std::isfinite(y) ? y : 0);
    }
  }
  bitmap.PerlinNoise(vm.ToNum(args[0]), vm.ToNum(args[1]), Int(vm, args[2]), Int(vm, args[3]), vm.ToBool(args[4]),
                     vm.ToBool(args[5]), channels, vm.ToBool(Arg(args, 7)), offsets);
  return 0.0;
}

// The blend mode argument of draw: a mode's number or name; anything else
// (nothing given too) draws as normal.
std::uint8_t ReadBlendMode(Vm& vm, const Value& value) {
  if (const double* number = std::get_if<double>(&value)) {
    return *number >= BlendMode::kNormal && *number <= BlendMode::kHardLight ? static_cast<std::uint8_t>(*number)
                                                                              : BlendMode::kNormal;
  }
  if (!std::holds_alternative<SharedText>(value)) return BlendMode::kNormal;
  const std::uint8_t named = BlendModeByName(vm.ToStr(value));
  return named != 0 ? named : BlendMode::kNormal;
}

std::optional<InverseMap> InverseOf(const ClipMatrix& m) {
  const double det = m.a * m.d - m.b * m.c;
  if (det == 0 || !std::isfinite(det) || !std::isfinite(m.tx) || !std::isfinite(m.ty)) return std::nullopt;
  InverseMap map{m.d / det, -m.b / det, -m.c / det, m.a / det, 0, 0};
  map.tx = -(map.a * m.tx + map.c * m.ty);
  map.ty = -(map.b * m.tx + map.d * m.ty);
  return map;
}

// What a draw lays over the area: the clip as the frame renderer draws it,
// or the other bitmap through the matrix. Nothing for anything else.
std::optional<PixelBitmap> DrawnPicture(Vm& vm, const Value& source, const ClipMatrix& m,
                                        const std::optional<ColorTerms>& colors, const PixelArea& area, bool smooth) {
  if (Object* clip = AsObjectValue(source); clip && clip->kind == ObjectKind::Clip) {
    PixelBitmap picture(area.width, area.height, true, 0);
    ClipMatrix moved = m;
    moved.tx -= area.x;
    moved.ty -= area.y;
    if (!vm.Host().DrawClip(clip, moved, colors.value_or(ColorTerms{}), picture.Bounds(), smooth, picture)) {
      return std::nullopt;
    }
    return picture;
  }
  PixelBitmap* from = BitmapOf(source);
  const std::optional<InverseMap> map = InverseOf(m);
  if (!from || !map) return std::nullopt;
  if (!colors) return PixelBitmap::Resampled(*from, *map, area, smooth);
  // The colours change before the pixels are laid down, so pixels the
  // source does not cover stay uncovered whatever the offsets add.
  PixelBitmap recoloured = *from;
  recoloured.ApplyColorTransform(recoloured.Bounds(), *colors);
  return PixelBitmap::Resampled(recoloured, *map, area, smooth);
}

// draw(source, matrix, colorTransform, blendMode, clipRect, smoothing): a
// clip (what it shows, its own placement aside) or another bitmap, through
// the matrix and colours, mixed in by the blend mode within the clip
// rectangle (the whole bitmap without one).
Value Draw(Vm& vm, PixelBitmap& bitmap, Args args) {
  ClipMatrix m;
  if (Object* given = AsObjectValue(Arg(args, 1))) m = ReadMatrix(vm, given);
  std::optional<ColorTerms> colors;
  if (Object* given = AsObjectValue(Arg(args, 2))) colors = ReadColorTerms(vm, given);
  const std::uint8_t mode = ReadBlendMode(vm, Arg(args, 3));
  PixelArea clip = bitmap.Bounds();
  if (const auto area = ReadArea(vm, Arg(args, 4))) clip = *area;
  const bool smooth = vm.ToBool(Arg(args, 5));
  const PixelArea area = WithinBitmap(clip, bitmap);
  if (area.Empty()) return Undefined{};
  if (const auto picture = DrawnPicture(vm, Arg(args, 0), m, colors, area, smooth)) {
    bitmap.Blend(*picture, area.x, area.y, mode);
  }
  return Undefined{};
}

// Runs `body` on the live bitmap of `self`; -1 when there is none. A body
// that may change the pixels tells the clips showing them to redraw.
template <typename Body>
NativeFunction OnBitmap(Body body, bool changes = true) {
  return [body, changes](Vm& vm, Object* self, Args args) -> Value {
    PixelBitmap* bitmap = BitmapOf(self);
    if (!bitmap) return kFailed;
    if (changes) ++StateOf(self)->live->version;
    return body(vm, *bitmap, args);
  };
}
template <typename Body>
NativeFunction ReadBitmap(Body body) {
  return OnBitmap(std::move(body), false);
}

// The platform lists these (width, height, ...) in a for..in of a bitmap.
void DefineGetter(Vm& vm, Object* proto, std::string_view name, NativeFunction getter) {
  vm.Define(proto, name, Undefined{}, 0);
  if (Property* property = vm.FindOwn(proto, name)) property->getter = vm.NewNative(std::move(getter));
}

void InstallMethods(Vm& vm, Object* proto, const Context& context) {
  DefineGetter(vm, proto, "width", ReadBitmap([](Vm&, PixelBitmap& b, Args) -> Value { return double(b.Width()); }));
  DefineGetter(vm, proto, "height", ReadBitmap([](Vm&, PixelBitmap& b, Args) -> Value { return double(b.Height()); }));
  DefineGetter(vm, proto, "transparent",
               ReadBitmap([](Vm&, PixelBitmap& b, Args) -> Value { return b.Transparent(); }));
  DefineGetter(vm, proto, "rectangle",
               ReadBitmap([](Vm& v, PixelBitmap& b, Args) -> Value { return Rectangle(v, b.Bounds()); }));

  vm.DefineMethod(proto, "getPixel", ReadBitmap([](Vm& v, PixelBitmap& b, Args args) -> Value {
                    if (args.size() < 2) return kFailed;
                    return double(b.GetPixel32(Int(v, args[0]), Int(v, args[1])) & 0xFFFFFFu);
                  }));
  vm.DefineMethod(proto, "getPixel32", ReadBitmap([](Vm& v, PixelBitmap& b, Args args) -> Value {
                    if (args.size() < 2) return kFailed;
                    return double(static_cast<std::int32_t>(b.GetPixel32(Int(v, args[0]), Int(v, args[1]))));
                  }));
  vm.DefineMethod(proto, "setPixel", OnBitmap([](Vm& v, PixelBitmap& b, Args args) -> Value {
                    if (args.size() < 3) return kFailed;
                    b.SetPixel(Int(v, args[0]), Int(v, args[1]), ColorArg(v, args, 2));
                    return 0.0;
                  }));
  vm.DefineMethod(proto, "setPixel32", OnBitmap([](Vm& v, PixelBitmap& b, Args args) -> Value {
                    if (args.size() < 3) return kFailed;
                    b.SetPixel32(Int(v, args[0]), Int(v, args[1]), ColorArg(v, args, 2));
                    return 0.0;
                  }));
  vm.DefineMethod(proto, "fillRect", OnBitmap([](Vm& v, PixelBitmap& b, Args args) -> Value {
                    if (args.size() < 2) return kFailed;
                    const auto area = ReadArea(v, args[0]);
                    if (!area) return -2.0;
                    b.FillRect(*area, ColorArg(v, args, 1));
                    return 0.0;
                  }));
  vm.DefineMethod(proto, "floodFill", OnBitmap([](Vm& v, PixelBitmap& b, Args args) -> Value {
                    if (args.size() < 3) return kFailed;
                    return b.FloodFill(Int(v, args[0]), Int(v, args[1]), ColorArg(v, args, 2)) ? 1.0 : 0.0;
                  }));
  vm.DefineMethod(proto, "copyChannel", OnBitmap(CopyChannel));
  vm.DefineMethod(proto, "copyPixels", OnBitmap(CopyPixels));
  vm.DefineMethod(proto, "pixelDissolve", OnBitmap(PixelDissolve));
  vm.DefineMethod(proto, "threshold", OnBitmap(Threshold));
  vm.DefineMethod(proto, "noise", OnBitmap(Noise));
  vm.DefineMethod(proto, "perlinNoise", OnBitmap(PerlinNoise));
  vm.DefineMethod(proto, "draw", OnBitmap(Draw));
  vm.DefineMethod(proto, "hitTest", ReadBitmap(HitTest));
  vm.DefineMethod(proto, "colorTransform", OnBitmap([](Vm& v, PixelBitmap& b, Args args) -> Value {
                    if (args.size() < 2) return kFailed;
                    const auto area = ReadArea(v, args[0]);
                    if (!area) return -2.0;
                    b.ApplyColorTransform(*area, ReadColorTerms(v, AsObjectValue(args[1])));
                    return Undefined{};
                  }));
  vm.DefineMethod(proto, "scroll", OnBitmap([](Vm& v, PixelBitmap& b, Args args) -> Value {
                    if (args.size() < 2) return kFailed;
                    b.Scroll(Int(v, args[0]), Int(v, args[1]));
                    return 0.0;  // the platform answers 0 once it scrolled
                  }));
  vm.DefineMethod(proto, "getColorBoundsRect", ReadBitmap([](Vm& v, PixelBitmap& b, Args args) -> Value {
                    if (args.size() < 2) return kFailed;
                    const bool find = args.size() < 3 || v.ToBool(args[2]);
                    return Rectangle(v, b.ColorBounds(ColorArg(v, args, 0), ColorArg(v, args, 1), find));
                  }));
  // attachBitmap(bitmap, depth, pixelSnapping, smoothing) on clips: the clip
  // shows the bitmap's pixels at that depth, redrawn as they change.
  if (vm.clipProto_) {
    vm.DefineMethod(vm.clipProto_, "attachBitmap", [](Vm& v, Object* self, Args args) -> Value {
      BitmapState* state = StateOf(AsObjectValue(Arg(args, 0)));
      if (!self || self->kind != ObjectKind::Clip || !state || !state->live->pixels || args.size() < 2) {
        return Undefined{};
      }
      (void)v.Host().AttachBitmap(self, state->live, Int(v, args[1]), v.ToBool(Arg(args, 3)));
      return Undefined{};
    });
  }
  vm.DefineMethod(proto, "dispose", [](Vm&, Object* self, Args) -> Value {
    if (BitmapState* state = StateOf(self)) state->Dispose();
    return Undefined{};
  });
  vm.DefineMethod(proto, "clone", [context](Vm& v, Object* self, Args) -> Value {
    PixelBitmap* bitmap = BitmapOf(self);
    if (!bitmap) return kFailed;
    Object* made = MakeBitmapObject(v, context.constructor, context.budget, *bitmap);
    return made ? Value{made} : Value{Undefined{}};
  });
  vm.DefineMethod(proto, "compare",
                  [context](Vm& v, Object* self, Args args) -> Value { return Compare(v, self, args, context); });
  // applyFilter(source, sourceRect, destPoint, filter): the source's area
  // through the filter, at the point; 0 once done.
  vm.DefineMethod(proto, "applyFilter", OnBitmap([](Vm& v, PixelBitmap& b, Args args) -> Value {
                    if (args.size() < 4) return kFailed;
                    PixelBitmap* from = BitmapOf(args[0]);
                    if (!from) return -2.0;
                    const auto area = ReadArea(v, args[1]);
                    if (!area) return -3.0;
                    const auto [dx, dy] = ReadPoint(v, args[2]);
                    const std::optional<Filter> filter = ScriptFilter(v, AsObjectValue(args[3]));
                    if (!filter) return -4.0;
                    b.ApplyFilter(*from, *area, dx, dy, *filter);
                    return 0.0;
                  }));
  vm.DefineMethod(proto, "generateFilterRect", ReadBitmap([](Vm& v, PixelBitmap&, Args args) -> Value {
                    const auto area = ReadArea(v, Arg(args, 0));
                    return area ? Rectangle(v, *area) : Value{Undefined{}};
                  }));
  vm.DefineMethod(proto, "paletteMap", OnBitmap([](Vm&, PixelBitmap&, Args) -> Value { return Undefined{}; }));
  vm.DefineMethod(proto, "merge", OnBitmap([](Vm&, PixelBitmap&, Args) -> Value { return Undefined{}; }));
}

}  // namespace

void InstallBitmapDataClass(Vm& vm) {
  Object* flash = AsObjectValue(vm.GetMember(vm.Global(), "flash"));
  if (!flash) return;
  InstallDisplacementMapFilter(vm);
  Object* display = AsObjectValue(vm.GetMember(flash, "display"));
  if (!display) {
    display = vm.NewPlain();
    vm.Define(flash, "display", Value{display});
  }
  auto context = std::make_shared<Context>();
  context->budget = std::make_shared<PixelBudget>();
  const auto [constructor, proto] = DefineNativeClass(
      vm, display, "BitmapData",
      [context](Vm& v, Object* self, Args args) -> Value { return Construct(v, self, args, *context); });
  context->constructor = constructor;
  InstallMethods(vm, proto, *context);
  // loadBitmap(linkage name): a bitmap exported from the movie's library.
  vm.DefineMethod(constructor, "loadBitmap", [context](Vm& v, Object*, Args args) -> Value {
    int width = 0, height = 0;
    std::vector<std::uint32_t> argb;
    if (!v.Host().LoadExportedBitmap(v.ToStr(Arg(args, 0)), width, height, argb)) return Undefined{};
    if (!SizeAllowed(v.Version(), width, height)) return Undefined{};
    PixelBitmap bitmap(width, height, true, 0);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        bitmap.SetPixel32(
            x, y, argb[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)]);
      }
    }
    Object* made = MakeBitmapObject(v, context->constructor, context->budget, std::move(bitmap));
    return made ? Value{made} : Value{Undefined{}};
  });
}

// The pixels of a BitmapData object for drawing (attachBitmap, bitmap fills).
const PixelBitmap* ScriptBitmapPixels(Object* object) { return BitmapOf(object); }

std::shared_ptr<const std::vector<std::uint32_t>> ScriptBitmapSnapshot(Object* object) {
  BitmapState* state = StateOf(object);
  if (!state || !state->live->pixels) return nullptr;
  if (state->snapshot && state->snapshotVersion == state->live->version) return state->snapshot;
  const PixelBitmap& pixels = *state->live->pixels;
  auto copy = std::make_shared<std::vector<std::uint32_t>>();
  copy->reserve(static_cast<std::size_t>(pixels.Width()) * static_cast<std::size_t>(pixels.Height()));
  for (const std::uint32_t stored : pixels.Premultiplied()) copy->push_back(Unpremultiply(stored));
  state->snapshot = std::move(copy);
  state->snapshotVersion = state->live->version;
  return state->snapshot;
}

Value NewScriptBitmap(Vm& vm, const PixelBitmap& pixels) {
  Object* flash = AsObjectValue(vm.GetMember(vm.Global(), "flash"));
  Object* display = flash ? AsObjectValue(vm.GetMember(flash, "display")) : nullptr;
  if (!display) return Undefined{};
  const std::vector<Value> size{static_cast<double>(pixels.Width()), static_cast<double>(pixels.Height()),
                                pixels.Transparent(), 0.0};
  const Value made = vm.Construct(vm.GetMember(display, "BitmapData"), size);
  PixelBitmap* held = BitmapOf(made);
  if (!held || held->Width() != pixels.Width() || held->Height() != pixels.Height()) return Undefined{};
  *held = pixels;
  return made;
}

std::shared_ptr<const LiveBitmap> ScriptLiveBitmap(Object* object) {
  BitmapState* state = StateOf(object);
  return state && state->live->pixels ? state->live : nullptr;
}

}  // namespace swf
