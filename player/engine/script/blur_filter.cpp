// flash.filters.BlurFilter as scripts see it: blurX, blurY and quality kept
// in the platform's ranges. Display objects and bitmaps are drawn through it
// (see filter_classes.cpp).
//
// The filter's numbers belong to the object once a constructor made it a
// blur filter; before that (a subclass whose constructor has not called
// super yet) they read as undefined. Constructing an object that already is
// one converts the arguments (their valueOf runs) but keeps its numbers,
// since the platform sets them up only once.

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "geom.h"

namespace swf {
namespace {

using Args = std::span<const Value>;

constexpr std::string_view kMade = "\x01" "blurFilter";

struct Member {
  const char* name;
  double initial;
  double highest;
  bool whole;  // quality is a count of passes
};

constexpr std::array<Member, 3> kMembers{{{"blurX", 4, 255, false}, {"blurY", 4, 255, false}, {"quality", 1, 15, true}}};

std::string HiddenName(const Member& member) { return std::string("\x01") + member.name; }

double Kept(const Member& member, double number) {
  if (std::isnan(number)) number = 0;
  if (member.whole) number = std::isfinite(number) ? std::trunc(number) : 0;
  return std::clamp(number, 0.0, member.highest);
}

bool IsBlurFilter(Vm& vm, Object* self) { return self && vm.FindOwnAny(self, kMade); }

}  // namespace

void InstallBlurFilter(Vm& vm) {
  Object* filters = FiltersPackage(vm);
  if (!filters) return;
  // new BlurFilter(blurX, blurY, quality)
  Object* constructor = vm.NewNative(
      [](Vm& v, Object* self, Args args) -> Value {
        if (!self) return Undefined{};
        std::array<double, kMembers.size()> numbers{};
        for (std::size_t i = 0; i < kMembers.size(); ++i) {
          numbers[i] = i < args.size() && !std::holds_alternative<Undefined>(args[i]) ? Kept(kMembers[i], v.ToNum(args[i]))
                                                                                        : kMembers[i].initial;
        }
        if (IsBlurFilter(v, self)) return Undefined{};
        v.Define(self, kMade, true, kDontEnum);
        for (std::size_t i = 0; i < kMembers.size(); ++i) v.Define(self, HiddenName(kMembers[i]), numbers[i], kDontEnum);
        return Undefined{};
      },
      true);
  Object* proto = vm.NewPlain();
  vm.Define(constructor, "prototype", Value{proto}, kDontEnum | kDontDelete);
  vm.Define(proto, "constructor", Value{constructor}, kDontEnum);
  vm.Define(filters, "BlurFilter", Value{constructor});

  for (const Member& member : kMembers) {
    vm.Define(proto, member.name, Undefined{}, kDontEnum);
    Property* property = vm.FindOwn(proto, member.name);
    if (!property) continue;
    const std::string hidden = HiddenName(member);
    property->getter = vm.NewNative([hidden](Vm& v, Object* self, Args) -> Value {
      Property* held = IsBlurFilter(v, self) ? v.FindOwnAny(self, hidden) : nullptr;
      return held ? held->value : Value{Undefined{}};
    });
    property->setter = vm.NewNative([hidden, member](Vm& v, Object* self, Args args) -> Value {
      const double number = Kept(member, v.ToNum(Arg(args, 0)));
      if (IsBlurFilter(v, self)) v.Define(self, hidden, number, kDontEnum);
      return Undefined{};
    });
  }
  vm.DefineMethod(proto, "clone", [constructor](Vm& v, Object* self, Args) -> Value {
    if (!IsBlurFilter(v, self)) return Undefined{};
    std::vector<Value> args;
    for (const Member& member : kMembers) args.push_back(v.GetMember(self, member.name));
    return v.Construct(Value{constructor}, args);
  });
}

}  // namespace swf
