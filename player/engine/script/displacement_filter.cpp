// flash.filters.DisplacementMapFilter as scripts see it: its members are
// kept and read back as the platform keeps them. The stand-in draws no
// displacement maps, so nothing is displaced on the stage.
//
// mapPoint is kept as two whole numbers and read back as a new Point. A
// value set is read member by member: each of x and y is converted even
// when the other is missing; a conversion that throws leaves its number at
// the lowest 32-bit integer (what a failed conversion of the platform
// gives), and the first exception is thrown again once the point is kept.
// An object without both members, or no object at all, gives (0, 0).

#include <array>
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

constexpr std::array<const char*, 8> kOrder{"mapBitmap", "componentX", "componentY", "scaleX",
                                            "scaleY",    "mode",       "color",      "alpha"};

}  // namespace

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
