// The flash.filters classes besides BlurFilter and DisplacementMapFilter
// (drop shadow, glow, bevel, their gradient forms, colour matrix and
// convolution), and the bridge between filter objects and the filters the
// renderer draws: MovieClip.filters and BitmapData.applyFilter read objects
// into Filter records, and reading MovieClip.filters makes new objects.
//
// Each class keeps its members as plain properties, set from the
// constructor's arguments in the platform's order (defaults for those left
// out); the numbers are brought into range when a filter is drawn.

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <numbers>
#include <string>
#include <vector>

#include "geom.h"

namespace swf {
namespace {

using Args = std::span<const Value>;

constexpr std::string_view kKind = "\x01" "filterKind";
constexpr std::string_view kBlurMade = "\x01" "blurFilter";

// A member and its default: a number, a flag, a text, or an empty array.
struct Member {
  enum Type : std::uint8_t { Number, Flag, Text, Array };
  const char* name;
  Type type = Number;
  double number = 0;
  const char* text = "";
  [[nodiscard]] Value Initial(Vm& vm) const {
    switch (type) {
      case Flag: return number != 0;
      case Text: return Value{SharedText(text)};
      case Array: return Value{vm.NewArray()};
      case Number: break;
    }
    return number;
  }
};
Member N(const char* name, double number) { return {name, Member::Number, number}; }
Member B(const char* name, bool flag) { return {name, Member::Flag, flag ? 1.0 : 0.0}; }
Member S(const char* name, const char* text) { return {name, Member::Text, 0, text}; }
Member A(const char* name) { return {name, Member::Array}; }

struct FilterClass {
  const char* name;
  FilterKind kind;
  std::vector<Member> members;
};

const std::vector<FilterClass>& Classes() {
  static const std::vector<FilterClass> classes = [] {
    return std::vector<FilterClass>{
        {"DropShadowFilter",
         FilterKind::DropShadow,
         {N("distance", 4.0), N("angle", 45.0), N("color", 0.0), N("alpha", 1.0), N("blurX", 4.0), N("blurY", 4.0),
          N("strength", 1.0), N("quality", 1.0), B("inner", false), B("knockout", false), B("hideObject", false)}},
        {"GlowFilter",
         FilterKind::Glow,
         {N("color", 16711680.0), N("alpha", 1.0), N("blurX", 6.0), N("blurY", 6.0), N("strength", 2.0), N("quality", 1.0),
          B("inner", false), B("knockout", false)}},
        {"BevelFilter",
         FilterKind::Bevel,
         {N("distance", 4.0), N("angle", 45.0), N("highlightColor", 16777215.0), N("highlightAlpha", 1.0),
          N("shadowColor", 0.0), N("shadowAlpha", 1.0), N("blurX", 4.0), N("blurY", 4.0), N("strength", 1.0),
          N("quality", 1.0), S("type", "inner"), B("knockout", false)}},
        {"GradientGlowFilter",
         FilterKind::GradientGlow,
         {N("distance", 4.0), N("angle", 45.0), A("colors"), A("alphas"), A("ratios"),
          N("blurX", 4.0), N("blurY", 4.0), N("strength", 1.0), N("quality", 1.0), S("type", "inner"),
          B("knockout", false)}},
        {"GradientBevelFilter",
         FilterKind::GradientBevel,
         {N("distance", 4.0), N("angle", 45.0), A("colors"), A("alphas"), A("ratios"),
          N("blurX", 4.0), N("blurY", 4.0), N("strength", 1.0), N("quality", 1.0), S("type", "inner"),
          B("knockout", false)}},
        {"ColorMatrixFilter", FilterKind::ColorMatrix, {A("matrix")}},
        {"ConvolutionFilter",
         FilterKind::Convolution,
         {N("matrixX", 0.0), N("matrixY", 0.0), A("matrix"), N("divisor", 1.0), N("bias", 0.0),
          B("preserveAlpha", true), B("clamp", true), N("color", 0.0), N("alpha", 0.0)}},
    };
  }();
  return classes;
}

const FilterClass* ClassOf(FilterKind kind) {
  for (const FilterClass& c : Classes()) {
    if (c.kind == kind) return &c;
  }
  return nullptr;
}

// The numbers of an array object, at most `limit` of them.
std::vector<double> Numbers(Vm& vm, const Value& value, std::size_t limit) {
  std::vector<double> numbers;
  Object* array = AsObjectValue(value);
  if (!array) return numbers;
  const double length = vm.ToNum(vm.GetMember(array, "length"));
  if (!(length > 0)) return numbers;
  const auto count = static_cast<std::size_t>(std::min(length, static_cast<double>(limit)));
  for (std::size_t i = 0; i < count; ++i) numbers.push_back(vm.ToNum(vm.GetMember(array, std::to_string(i))));
  return numbers;
}

Object* NumberArray(Vm& vm, const std::vector<double>& numbers) {
  std::vector<Value> elements(numbers.begin(), numbers.end());
  return vm.NewArray(std::move(elements));
}

std::uint32_t Argb(double rgb, double alpha) {
  const double a = std::isfinite(alpha) ? std::clamp(alpha, 0.0, 1.0) : 0.0;
  const auto colour = static_cast<std::uint32_t>(static_cast<std::int64_t>(std::isfinite(rgb) ? rgb : 0)) & 0xFFFFFFu;
  return static_cast<std::uint32_t>(std::lround(a * 255)) << 24 | colour;
}

double RgbOf(std::uint32_t argb) { return static_cast<double>(argb & 0xFFFFFFu); }
double AlphaOf(std::uint32_t argb) { return static_cast<double>(argb >> 24) / 255; }

constexpr double kDegrees = 180 / std::numbers::pi;

// What the class's members say, as a filter.
Filter ReadMembers(Vm& vm, Object* self, FilterKind kind) {
  const auto number = [&](const char* name) { return vm.ToNum(vm.GetMember(self, name)); };
  const auto flag = [&](const char* name) { return vm.ToBool(vm.GetMember(self, name)); };
  Filter filter;
  filter.kind = kind;
  filter.blurX = number("blurX");
  filter.blurY = number("blurY");
  const double quality = number("quality");
  filter.passes = std::isfinite(quality) ? static_cast<int>(std::clamp(quality, 0.0, 15.0)) : 0;
  filter.strength = number("strength");
  filter.distance = number("distance");
  filter.angle = number("angle") / kDegrees;
  filter.knockout = flag("knockout");
  switch (kind) {
    case FilterKind::DropShadow:
    case FilterKind::Glow:
      filter.color = Argb(number("color"), number("alpha"));
      filter.inner = flag("inner");
      filter.hideObject = kind == FilterKind::DropShadow && flag("hideObject");
      break;
    case FilterKind::Bevel:
    case FilterKind::GradientBevel:
    case FilterKind::GradientGlow: {
      const std::string type = vm.ToStr(vm.GetMember(self, "type"));
      filter.inner = type == "inner";
      filter.onTop = type == "full";
      if (kind == FilterKind::Bevel) {
        filter.color = Argb(number("shadowColor"), number("shadowAlpha"));
        filter.highlight = Argb(number("highlightColor"), number("highlightAlpha"));
        break;
      }
      const std::vector<double> colours = Numbers(vm, vm.GetMember(self, "colors"), 16);
      const std::vector<double> alphas = Numbers(vm, vm.GetMember(self, "alphas"), 16);
      const std::vector<double> ratios = Numbers(vm, vm.GetMember(self, "ratios"), 16);
      const std::size_t stops = std::min({colours.size(), alphas.size(), ratios.size()});
      for (std::size_t i = 0; i < stops; ++i) {
        filter.gradientColors.push_back(Argb(colours[i], alphas[i]));
        const double ratio = std::isfinite(ratios[i]) ? std::clamp(ratios[i], 0.0, 255.0) : 0.0;
        filter.gradientRatios.push_back(static_cast<std::uint8_t>(ratio));
      }
      break;
    }
    case FilterKind::ColorMatrix: {
      const std::vector<double> cells = Numbers(vm, vm.GetMember(self, "matrix"), 20);
      for (std::size_t i = 0; i < cells.size(); ++i) filter.colorMatrix[i] = static_cast<float>(cells[i]);
      break;
    }
    case FilterKind::Convolution: {
      const double columns = number("matrixX"), rows = number("matrixY");
      filter.matrixX = std::isfinite(columns) ? static_cast<int>(std::clamp(columns, 0.0, 15.0)) : 0;
      filter.matrixY = std::isfinite(rows) ? static_cast<int>(std::clamp(rows, 0.0, 15.0)) : 0;
      const std::size_t cells = static_cast<std::size_t>(filter.matrixX) * static_cast<std::size_t>(filter.matrixY);
      for (double v : Numbers(vm, vm.GetMember(self, "matrix"), cells)) filter.matrix.push_back(static_cast<float>(v));
      filter.divisor = static_cast<float>(number("divisor"));
      filter.bias = static_cast<float>(number("bias"));
      filter.preserveAlpha = flag("preserveAlpha");
      filter.clamp = flag("clamp");
      filter.defaultColor = Argb(number("color"), number("alpha"));
      break;
    }
    case FilterKind::Blur:
    case FilterKind::DisplacementMap: break;
  }
  return SaneFilter(std::move(filter));
}

// A filter's members under the class's names.
std::vector<std::pair<const char*, Value>> MembersOf(Vm& vm, const Filter& f) {
  const std::string type = f.onTop ? "full" : f.inner ? "inner" : "outer";
  const double quality = f.passes, angle = f.angle * kDegrees;
  switch (f.kind) {
    case FilterKind::DropShadow:
      return {{"distance", f.distance}, {"angle", angle}, {"color", RgbOf(f.color)}, {"alpha", AlphaOf(f.color)},
              {"blurX", f.blurX}, {"blurY", f.blurY}, {"strength", f.strength}, {"quality", quality},
              {"inner", f.inner}, {"knockout", f.knockout}, {"hideObject", f.hideObject}};
    case FilterKind::Glow:
      return {{"color", RgbOf(f.color)}, {"alpha", AlphaOf(f.color)}, {"blurX", f.blurX}, {"blurY", f.blurY},
              {"strength", f.strength}, {"quality", quality}, {"inner", f.inner}, {"knockout", f.knockout}};
    case FilterKind::Bevel:
      return {{"distance", f.distance}, {"angle", angle}, {"highlightColor", RgbOf(f.highlight)},
              {"highlightAlpha", AlphaOf(f.highlight)}, {"shadowColor", RgbOf(f.color)},
              {"shadowAlpha", AlphaOf(f.color)}, {"blurX", f.blurX}, {"blurY", f.blurY}, {"strength", f.strength},
              {"quality", quality}, {"type", type}, {"knockout", f.knockout}};
    case FilterKind::GradientGlow:
    case FilterKind::GradientBevel: {
      std::vector<double> colours, alphas, ratios;
      for (std::size_t i = 0; i < f.gradientColors.size(); ++i) {
        colours.push_back(RgbOf(f.gradientColors[i]));
        alphas.push_back(AlphaOf(f.gradientColors[i]));
        ratios.push_back(f.gradientRatios[i]);
      }
      return {{"distance", f.distance}, {"angle", angle}, {"colors", Value{NumberArray(vm, colours)}},
              {"alphas", Value{NumberArray(vm, alphas)}}, {"ratios", Value{NumberArray(vm, ratios)}},
              {"blurX", f.blurX}, {"blurY", f.blurY}, {"strength", f.strength}, {"quality", quality},
              {"type", type}, {"knockout", f.knockout}};
    }
    case FilterKind::ColorMatrix:
      return {{"matrix", Value{NumberArray(vm, std::vector<double>(f.colorMatrix.begin(), f.colorMatrix.end()))}}};
    case FilterKind::Convolution:
      return {{"matrixX", double(f.matrixX)}, {"matrixY", double(f.matrixY)},
              {"matrix", Value{NumberArray(vm, std::vector<double>(f.matrix.begin(), f.matrix.end()))}},
              {"divisor", double(f.divisor)}, {"bias", double(f.bias)}, {"preserveAlpha", f.preserveAlpha},
              {"clamp", f.clamp}, {"color", RgbOf(f.defaultColor)}, {"alpha", AlphaOf(f.defaultColor)}};
    case FilterKind::Blur:
    case FilterKind::DisplacementMap: break;
  }
  return {};
}

void InstallClass(Vm& vm, Object* package, const FilterClass& info) {
  Object* constructor = vm.NewNative(
      [&info](Vm& v, Object* self, Args args) -> Value {
        if (!self) return Undefined{};
        v.Define(self, kKind, static_cast<double>(info.kind), kDontEnum);
        for (std::size_t i = 0; i < info.members.size(); ++i) {
          const Member& member = info.members[i];
          const bool given = i < args.size() && !std::holds_alternative<Undefined>(args[i]);
          v.SetMember(self, member.name, given ? args[i] : member.Initial(v));
        }
        return Undefined{};
      },
      true);
  Object* proto = vm.NewPlain();
  vm.Define(constructor, "prototype", Value{proto}, kDontEnum | kDontDelete);
  vm.Define(proto, "constructor", Value{constructor}, kDontEnum);
  vm.Define(package, info.name, Value{constructor});
  vm.DefineMethod(proto, "clone", [&info](Vm& v, Object* self, Args) -> Value {
    const std::optional<Filter> filter = ScriptFilter(v, self);
    if (!filter || filter->kind != info.kind) return Undefined{};
    return NewScriptFilter(v, *filter);
  });
}

}  // namespace

void DefineFiltersProperty(Vm& vm, Property& property, bool (*owns)(Vm& vm, Object* self)) {
  property.getter = vm.NewNative([owns](Vm& v, Object* self, std::span<const Value>) -> Value {
    if (!owns(v, self)) return Undefined{};
    std::vector<Value> elements;
    if (const auto filters = v.Host().GetFilters(self)) {
      for (const Filter& filter : *filters) elements.push_back(NewScriptFilter(v, filter));
    }
    return Value{v.NewArray(std::move(elements))};
  });
  property.setter = vm.NewNative([owns](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!owns(v, self) || args.empty()) return Undefined{};
    std::vector<Filter> filters;
    Object* list = AsObjectValue(args[0]);
    if (list && list->kind == ObjectKind::Array) {
      const std::vector<Value> elements = list->elements;  // kept: reading members may run scripts
      for (const Value& element : elements) {
        if (filters.size() >= kMaxClipFilters) break;
        if (auto filter = ScriptFilter(v, AsObjectValue(element))) filters.push_back(std::move(*filter));
      }
    }
    v.Host().SetFilters(self, std::move(filters));
    return Undefined{};
  });
}

Object* FiltersPackage(Vm& vm) {
  Object* flash = AsObjectValue(vm.GetMember(vm.Global(), "flash"));
  if (!flash) return nullptr;
  Object* filters = AsObjectValue(vm.GetMember(flash, "filters"));
  if (!filters) {
    filters = vm.NewPlain();
    vm.Define(flash, "filters", Value{filters});
  }
  return filters;
}

std::optional<Filter> ScriptFilter(Vm& vm, Object* object) {
  if (!object) return std::nullopt;
  if (auto displacement = ScriptDisplacementFilter(vm, object)) return displacement;
  if (vm.FindOwnAny(object, kBlurMade)) {
    Filter blur;
    blur.kind = FilterKind::Blur;
    blur.blurX = vm.ToNum(vm.GetMember(object, "blurX"));
    blur.blurY = vm.ToNum(vm.GetMember(object, "blurY"));
    const double quality = vm.ToNum(vm.GetMember(object, "quality"));
    blur.passes = std::isfinite(quality) ? static_cast<int>(std::clamp(quality, 0.0, 15.0)) : 0;
    return SaneFilter(std::move(blur));
  }
  Property* kind = vm.FindOwnAny(object, kKind);
  const double* number = kind ? std::get_if<double>(&kind->value) : nullptr;
  if (!number || *number < 0 || *number > static_cast<double>(FilterKind::GradientBevel)) return std::nullopt;
  return ReadMembers(vm, object, static_cast<FilterKind>(static_cast<int>(*number)));
}

Value NewScriptFilter(Vm& vm, const Filter& filter) {
  Object* package = FiltersPackage(vm);
  if (!package) return Undefined{};
  if (filter.kind == FilterKind::DisplacementMap) return NewScriptDisplacementFilter(vm, filter);
  if (filter.kind == FilterKind::Blur) {
    const std::vector<Value> args{filter.blurX, filter.blurY, static_cast<double>(filter.passes)};
    return vm.Construct(vm.GetMember(package, "BlurFilter"), args);
  }
  const FilterClass* info = ClassOf(filter.kind);
  if (!info) return Undefined{};
  const Value made = vm.Construct(vm.GetMember(package, info->name), {});
  if (Object* object = AsObjectValue(made)) {
    for (auto& [name, value] : MembersOf(vm, filter)) vm.SetMember(object, name, value);
  }
  return made;
}

void InstallFilterClasses(Vm& vm) {
  Object* package = FiltersPackage(vm);
  if (!package) return;
  for (const FilterClass& info : Classes()) InstallClass(vm, package, info);
}

}  // namespace swf
