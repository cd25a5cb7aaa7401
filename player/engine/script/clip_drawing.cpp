// The drawing methods of movie clips that take styles rather than points:
// lineStyle with its caps, joins and scaling, beginGradientFill and
// lineGradientStyle. Each turns its arguments into the numbers the host's
// Draw reads (see DrawOp). And blendMode, how a clip mixes with what lies
// below it.

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "geom.h"
#include "swf_movie.h"
#include "vm.h"

namespace swf {

namespace {

constexpr double kGradientSquarePixels = 1638.4;  // the gradient square's side: 32768 twips

bool IsClip(Object* self) { return self && self->kind == ObjectKind::Clip; }

Object* ObjectOf(const Value& value) {
  auto* const* object = std::get_if<Object*>(&value);
  return object ? *object : nullptr;
}

Object* ArrayOf(const Value& value) {
  Object* object = ObjectOf(value);
  return object && object->kind == ObjectKind::Array ? object : nullptr;
}

// Which of `names` (lower case) the text names, letter case aside; -1 none.
int Choice(Vm& vm, const Value& value, std::initializer_list<const char*> names) {
  if (std::holds_alternative<Undefined>(value) || std::holds_alternative<Null>(value)) return -1;
  std::string text = vm.ToStr(value);
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
  int index = 0;
  for (const char* name : names) {
    if (text == name) return index;
    ++index;
  }
  return -1;
}

bool Has(Vm& vm, Object* object, const char* name) {
  return !std::holds_alternative<Undefined>(vm.GetMember(object, name));
}

double Number(Vm& vm, Object* object, const char* name, double fallback) {
  const Value value = vm.GetMember(object, name);
  if (std::holds_alternative<Undefined>(value)) return fallback;
  const double number = vm.ToNum(value);
  return std::isfinite(number) ? number : fallback;
}

// The gradient square's matrix, scale terms as factors of the 1638.4-pixel
// square and the move in pixels, from a script's matrix object: a box
// {matrixType: "box", x, y, w, h, r}, a flash.geom.Matrix-like {a, b, c, d,
// tx, ty}, or the 3 x 3 {a, b, d, e, g, h} (a row-vector matrix whose last row
// is the move). Nullopt for anything else.
std::optional<std::array<double, 6>> GradientMatrix(Vm& vm, const Value& value) {
  Object* object = ObjectOf(value);
  if (!object) return std::nullopt;
  if (Has(vm, object, "matrixType")) {
    if (Choice(vm, vm.GetMember(object, "matrixType"), {"box"}) != 0) return std::nullopt;
    const double x = Number(vm, object, "x", 0), y = Number(vm, object, "y", 0);
    const double w = Number(vm, object, "w", 0), h = Number(vm, object, "h", 0);
    const double r = Number(vm, object, "r", 0);
    const double sx = w / kGradientSquarePixels, sy = h / kGradientSquarePixels;
    return std::array<double, 6>{sx * std::cos(r),  sx * std::sin(r), -sy * std::sin(r),
                                 sy * std::cos(r),  x + w / 2,        y + h / 2};
  }
  if (Has(vm, object, "tx") || Has(vm, object, "ty")) {
    return std::array<double, 6>{Number(vm, object, "a", 1),  Number(vm, object, "b", 0),
                                 Number(vm, object, "c", 0),  Number(vm, object, "d", 1),
                                 Number(vm, object, "tx", 0), Number(vm, object, "ty", 0)};
  }
  if (Has(vm, object, "g") || Has(vm, object, "h") || Has(vm, object, "e")) {
    return std::array<double, 6>{Number(vm, object, "a", 1), Number(vm, object, "b", 0), Number(vm, object, "d", 0),
                                 Number(vm, object, "e", 1), Number(vm, object, "g", 0), Number(vm, object, "h", 0)};
  }
  return std::nullopt;
}

// beginGradientFill / lineGradientStyle arguments as ScriptGradient reads
// them; empty when the type or the lists are not usable.
std::vector<double> GradientNumbers(Vm& vm, std::span<const Value> args) {
  if (args.size() < 4) return {};
  const int kind = Choice(vm, args[0], {"linear", "radial"});
  Object* colors = ArrayOf(args[1]);
  Object* alphas = ArrayOf(args[2]);
  Object* ratios = ArrayOf(args[3]);
  if (kind < 0 || !colors || !alphas || !ratios) return {};
  const std::size_t stops = std::min({colors->elements.size(), alphas->elements.size(), ratios->elements.size()});
  if (stops == 0) return {};
  // Without a matrix the gradient square sits at the clip's origin, unscaled.
  std::array<double, 6> matrix{1, 0, 0, 1, 0, 0};
  if (args.size() > 4 && !std::holds_alternative<Undefined>(args[4])) {
    const auto given = GradientMatrix(vm, args[4]);
    if (!given) return {};
    matrix = *given;
  }
  const int spread = args.size() > 5 ? std::max(0, Choice(vm, args[5], {"pad", "reflect", "repeat"})) : 0;
  const int linearRgb = args.size() > 6 ? std::max(0, Choice(vm, args[6], {"rgb", "linearrgb"})) : 0;
  double focal = args.size() > 7 ? vm.ToNum(args[7]) : 0;
  if (!std::isfinite(focal)) focal = 0;
  std::vector<double> numbers{static_cast<double>(kind), static_cast<double>(spread), static_cast<double>(linearRgb),
                              focal};
  for (const double m : matrix) numbers.push_back(std::isfinite(m) ? m : 0);
  for (std::size_t i = 0; i < stops; ++i) {
    for (const Object* list : {colors, alphas, ratios}) {
      const double number = vm.ToNum(list->elements[i]);
      numbers.push_back(std::isfinite(number) ? number : 0);
    }
  }
  return numbers;
}

// The names of the blend modes, from BlendMode::kNormal on.
constexpr std::initializer_list<const char*> kBlendModeNames = {
    "normal", "layer", "multiply", "screen", "lighten", "darken",  "difference",
    "add",    "subtract", "invert", "alpha",  "erase",  "overlay", "hardlight"};

void InstallBlendMode(Vm& vm, Object* proto) {
  Object* getter = vm.NewNative([](Vm& v, Object* self, std::span<const Value>) -> Value {
    const std::uint8_t mode = IsClip(self) ? v.Host().GetBlendMode(self) : std::uint8_t{0};
    if (mode < BlendMode::kNormal || mode > BlendMode::kHardLight) return Undefined{};
    return std::string(*(kBlendModeNames.begin() + (mode - BlendMode::kNormal)));
  });
  Object* setter = vm.NewNative([](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!IsClip(self) || args.empty()) return Undefined{};
    int mode = -1;
    if (std::holds_alternative<double>(args[0])) {
      const double number = std::get<double>(args[0]);
      if (number >= BlendMode::kNormal && number <= BlendMode::kHardLight) mode = static_cast<int>(number);
    } else {
      const int index = Choice(v, args[0], kBlendModeNames);
      if (index >= 0) mode = index + BlendMode::kNormal;
    }
    // Anything else leaves the mode as it was.
    if (mode >= 0) v.Host().SetBlendMode(self, static_cast<std::uint8_t>(mode));
    return Undefined{};
  });
  vm.Define(proto, "blendMode", Undefined{}, kDontEnum);
  Property* property = vm.FindOwn(proto, "blendMode");
  property->getter = getter;
  property->setter = setter;
}

// MovieClip.filters: reading gives new filter objects each time (changing
// them changes nothing until they are set again); setting keeps the filters
// an array holds, anything else in it left out, and anything but an array
// takes them all away.
void InstallFilters(Vm& vm, Object* proto) {
  vm.Define(proto, "filters", Undefined{}, kDontEnum);
  DefineFiltersProperty(vm, *vm.FindOwn(proto, "filters"), [](Vm&, Object* self) { return IsClip(self); });
}

}  // namespace

void InstallClipDrawingStyles(Vm& vm, Object* proto) {
  InstallBlendMode(vm, proto);
  InstallFilters(vm, proto);
  vm.DefineMethod(proto, "lineStyle", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!IsClip(self)) return Undefined{};
    // lineStyle() without a width ends the line style.
    if (args.empty() || std::holds_alternative<Undefined>(args[0])) {
      v.Host().Draw(self, DrawOp::NoLine, {});
      return Undefined{};
    }
    const auto number = [&](std::size_t i, double fallback) {
      if (i >= args.size() || std::holds_alternative<Undefined>(args[i])) return fallback;
      const double n = v.ToNum(args[i]);
      return std::isfinite(n) ? n : fallback;
    };
    const auto choice = [&](std::size_t i, std::initializer_list<const char*> names) {
      return i < args.size() ? std::max(0, Choice(v, args[i], names)) : 0;
    };
    const double width = v.ToNum(args[0]);
    if (!std::isfinite(width)) return Undefined{};
    const double numbers[] = {width,
                              number(1, 0),
                              number(2, 100),
                              args.size() > 3 && v.ToBool(args[3]) ? 1.0 : 0.0,
                              static_cast<double>(choice(4, {"normal", "none", "vertical", "horizontal"})),
                              static_cast<double>(choice(5, {"round", "none", "square"})),
                              static_cast<double>(choice(6, {"round", "bevel", "miter"})),
                              number(7, 3)};
    v.Host().Draw(self, DrawOp::LineStyle, numbers);
    return Undefined{};
  });
  vm.DefineMethod(proto, "beginGradientFill", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!IsClip(self)) return Undefined{};
    const std::vector<double> numbers = GradientNumbers(v, args);
    if (!numbers.empty()) v.Host().Draw(self, DrawOp::GradientFill, numbers);
    return Undefined{};
  });
  // beginBitmapFill(bitmap, matrix, repeat, smoothing): the bitmap's pixels
  // one to a clip pixel unless the matrix says otherwise, repeated by default.
  vm.DefineMethod(proto, "beginBitmapFill", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!IsClip(self) || args.empty()) return Undefined{};
    std::shared_ptr<const LiveBitmap> bitmap = ScriptLiveBitmap(ObjectOf(args[0]));
    if (!bitmap) return Undefined{};
    ClipMatrix m;
    if (Object* given = args.size() > 1 ? ObjectOf(args[1]) : nullptr) m = ReadMatrix(v, given);
    const bool repeat = args.size() < 3 || std::holds_alternative<Undefined>(args[2]) || v.ToBool(args[2]);
    const bool smooth = args.size() > 3 && v.ToBool(args[3]);
    v.Host().BeginBitmapFill(self, std::move(bitmap), m, repeat, smooth);
    return Undefined{};
  });
  vm.DefineMethod(proto, "lineGradientStyle", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!IsClip(self)) return Undefined{};
    const std::vector<double> numbers = GradientNumbers(v, args);
    if (!numbers.empty()) v.Host().Draw(self, DrawOp::LineGradient, numbers);
    return Undefined{};
  });
}

}  // namespace swf
