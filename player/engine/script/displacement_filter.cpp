// flash.filters.DisplacementMapFilter as scripts see it: its members are
// kept and read back as the platform keeps them. Set on a clip (or given to
// BitmapData.applyFilter) it becomes a displacement Filter that holds a copy
// of its map's pixels as they were then.
//
// mapPoint is kept as two whole numbers and read back as a new Point. A
// value set is read member by member: each of x and y is converted even
// when the other is missing; a conversion that throws leaves its number at
// the lowest 32-bit integer (what a failed conversion of the platform
// gives), and the first exception is thrown again once the point is kept.
// An object without both members, or no object at all, gives (0, 0).

#include <algorithm>
#include <array>
#include <memory>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "geom.h"

namespace swf {
namespace {

using Args = std::span<const Value>;

constexpr std::string_view kMapX = "\x01mapX";
constexpr std::string_view kMapY = "\x01mapY";

// A number as a 32-bit integer the way a conversion that cannot fail
// truncates it: NaN and numbers out of range give the lowest integer.
std::int32_t TruncatedInt(double number) {
  if (!std::isfinite(number) || number >= 2147483648.0 || number < -2147483648.0) {
    return std::numeric_limits<std::int32_t>::min();
  }
  return static_cast<std::int32_t>(number);
}

double Hidden(Vm& vm, Object* self, std::string_view name) {
  Property* held = self ? vm.FindOwnAny(self, name) : nullptr;
  const double* number = held ? std::get_if<double>(&held->value) : nullptr;
  return number ? *number : 0;
}

void SetMapPoint(Vm& vm, Object* self, const Value& value) {
  std::int32_t x = 0, y = 0;
  std::optional<Value> thrown;
  if (Object* point = AsObjectValue(value)) {
    const Value memberX = vm.GetMember(point, "x"), memberY = vm.GetMember(point, "y");
    auto convert = [&](const Value& member) -> std::int32_t {
      if (std::holds_alternative<Undefined>(member)) return 0;
      try {
        return TruncatedInt(vm.ToNum(member));
      } catch (const ScriptThrow& error) {
        if (!thrown) thrown = error.value;
        return std::numeric_limits<std::int32_t>::min();
      }
    };
    const std::int32_t convertedX = convert(memberX), convertedY = convert(memberY);
    if (!std::holds_alternative<Undefined>(memberX) && !std::holds_alternative<Undefined>(memberY)) {
      x = convertedX;
      y = convertedY;
    }
  }
  vm.Define(self, kMapX, static_cast<double>(x), kDontEnum);
  vm.Define(self, kMapY, static_cast<double>(y), kDontEnum);
  if (thrown) vm.Throw(*thrown);
}

// A member kept as given (converted as the platform keeps it).
struct Member {
  const char* name;
  Value initial;
  enum Kind { Number, Text, Any } kind;
};

void DefineMember(Vm& vm, Object* proto, const Member& member) {
  const std::string hidden = std::string("\x01") + member.name;
  vm.Define(proto, member.name, Undefined{}, kDontEnum);
  Property* property = vm.FindOwn(proto, member.name);
  if (!property) return;
  const Value initial = member.initial;
  property->getter = vm.NewNative([hidden, initial](Vm& v, Object* self, Args) -> Value {
    Property* held = self ? v.FindOwnAny(self, hidden) : nullptr;
    return held ? held->value : initial;
  });
  const auto kind = member.kind;
  property->setter = vm.NewNative([hidden, kind](Vm& v, Object* self, Args args) -> Value {
    if (!self) return Undefined{};
    const Value given = Arg(args, 0);
    Value kept = given;
    if (kind == Member::Number) kept = v.ToNum(given);
    if (kind == Member::Text) kept = v.ToStr(given);
    v.Define(self, hidden, kept, kDontEnum);
    return Undefined{};
  });
}

constexpr std::array<std::string_view, 4> kModeNames{"wrap", "clamp", "ignore", "color"};

DisplaceMode ModeNamed(std::string_view name) {
  for (std::size_t i = 0; i < kModeNames.size(); ++i) {
    if (kModeNames[i] == name) return static_cast<DisplaceMode>(i);
  }
  return DisplaceMode::Wrap;
}

std::uint32_t Component(Vm& vm, Object* self, std::string_view name) {
  const double number = vm.ToNum(vm.GetMember(self, name));
  return std::isfinite(number) && number >= 0 && number <= 8 ? static_cast<std::uint32_t>(number) : 0;
}

constexpr std::array<const char*, 8> kOrder{"mapBitmap", "componentX", "componentY", "scaleX",
                                            "scaleY",    "mode",       "color",      "alpha"};

}  // namespace

std::optional<Filter> ScriptDisplacementFilter(Vm& vm, Object* object) {
  if (!object || !vm.FindOwnAny(object, kMapX)) return std::nullopt;
  Filter filter;
  filter.kind = FilterKind::DisplacementMap;
  Object* mapObject = AsObjectValue(vm.GetMember(object, "mapBitmap"));
  if (const PixelBitmap* map = ScriptBitmapPixels(mapObject)) {
    filter.displacementMap = ScriptBitmapSnapshot(mapObject);
    filter.mapWidth = map->Width();
    filter.mapHeight = map->Height();
  }
  filter.mapX = static_cast<int>(Hidden(vm, object, kMapX));
  filter.mapY = static_cast<int>(Hidden(vm, object, kMapY));
  filter.componentX = Component(vm, object, "componentX");
  filter.componentY = Component(vm, object, "componentY");
  filter.displaceX = vm.ToNum(vm.GetMember(object, "scaleX"));
  filter.displaceY = vm.ToNum(vm.GetMember(object, "scaleY"));
  filter.displaceMode = ModeNamed(vm.ToStr(vm.GetMember(object, "mode")));
  const double rgb = vm.ToNum(vm.GetMember(object, "color"));
  const double alpha = vm.ToNum(vm.GetMember(object, "alpha"));
  const auto alphaByte = static_cast<std::uint32_t>(std::isfinite(alpha) ? std::clamp(alpha, 0.0, 1.0) * 255 + 0.5 : 0);
  filter.color = alphaByte << 24 | (static_cast<std::uint32_t>(PixelInt(rgb)) & 0xFFFFFFu);
  return SaneFilter(std::move(filter));
}

Value NewScriptDisplacementFilter(Vm& vm, const Filter& filter) {
  Object* package = FiltersPackage(vm);
  if (!package) return Undefined{};
  Value map = Undefined{};
  if (filter.displacementMap && filter.mapWidth > 0 && filter.mapHeight > 0) {
    PixelBitmap pixels(filter.mapWidth, filter.mapHeight, true, 0);
    for (int y = 0; y < filter.mapHeight; ++y) {
      for (int x = 0; x < filter.mapWidth; ++x) {
        pixels.SetPixel32(x, y, (*filter.displacementMap)[static_cast<std::size_t>(y) * static_cast<std::size_t>(filter.mapWidth) +
                                                          static_cast<std::size_t>(x)]);
      }
    }
    map = NewScriptBitmap(vm, pixels);
  }
  Object* point = NewPoint(vm, filter.mapX, filter.mapY);
  const std::vector<Value> args{map,
                                point ? Value{point} : Value{Undefined{}},
                                static_cast<double>(filter.componentX),
                                static_cast<double>(filter.componentY),
                                filter.displaceX,
                                filter.displaceY,
                                std::string(kModeNames[static_cast<std::size_t>(filter.displaceMode)]),
                                static_cast<double>(filter.color & 0xFFFFFFu),
                                static_cast<double>(filter.color >> 24) / 255};
  return vm.Construct(vm.GetMember(package, "DisplacementMapFilter"), args);
}

void InstallDisplacementMapFilter(Vm& vm) {
  Object* filters = FiltersPackage(vm);
  if (!filters) return;
  // new DisplacementMapFilter(mapBitmap, mapPoint, componentX, componentY,
  // scaleX, scaleY, mode, color, alpha)
  Object* constructor = vm.NewNative(
      [](Vm& v, Object* self, Args args) -> Value {
        if (!self) return Undefined{};
        SetMapPoint(v, self, Arg(args, 1));
        const std::array<std::pair<const char*, std::size_t>, 8> positions{
            {{"mapBitmap", 0}, {"componentX", 2}, {"componentY", 3}, {"scaleX", 4}, {"scaleY", 5}, {"mode", 6},
             {"color", 7}, {"alpha", 8}}};
        for (const auto& [name, index] : positions) {
          if (index < args.size()) v.SetMember(self, name, args[index]);
        }
        return Undefined{};
      },
      true);
  Object* proto = vm.NewPlain();
  vm.Define(constructor, "prototype", Value{proto}, kDontEnum | kDontDelete);
  vm.Define(proto, "constructor", Value{constructor}, kDontEnum);
  vm.Define(filters, "DisplacementMapFilter", Value{constructor});

  const std::array<Member, 8> members{{{"mapBitmap", Undefined{}, Member::Any},
                                       {"componentX", 0.0, Member::Number},
                                       {"componentY", 0.0, Member::Number},
                                       {"scaleX", 0.0, Member::Number},
                                       {"scaleY", 0.0, Member::Number},
                                       {"mode", std::string("wrap"), Member::Text},
                                       {"color", 0.0, Member::Number},
                                       {"alpha", 0.0, Member::Number}}};
  static_assert(members.size() == kOrder.size());
  for (const Member& member : members) DefineMember(vm, proto, member);
  vm.Define(proto, "mapPoint", Undefined{}, kDontEnum);
  if (Property* property = vm.FindOwn(proto, "mapPoint")) {
    property->getter = vm.NewNative([](Vm& v, Object* self, Args) -> Value {
      Object* point = NewPoint(v, Hidden(v, self, kMapX), Hidden(v, self, kMapY));
      return point ? Value{point} : Value{Undefined{}};
    });
    property->setter = vm.NewNative([](Vm& v, Object* self, Args args) -> Value {
      if (self) SetMapPoint(v, self, Arg(args, 0));
      return Undefined{};
    });
  }
  vm.DefineMethod(proto, "clone", [constructor](Vm& v, Object* self, Args) -> Value {
    if (!self) return Undefined{};
    std::vector<Value> args{v.GetMember(self, "mapBitmap"), v.GetMember(self, "mapPoint")};
    for (std::size_t i = 1; i < kOrder.size(); ++i) args.push_back(v.GetMember(self, kOrder[i]));
    return v.Construct(Value{constructor}, args);
  });
}

}  // namespace swf
