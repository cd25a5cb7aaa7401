// The Color class: a Color made for a clip reads and writes that clip's
// colour transform. setRGB paints the clip in one colour (multipliers 0,
// offsets the colour) and keeps its alpha; setTransform and getTransform take
// the transform as percentages (ra, ga, ba, aa) and offsets (rb, gb, bb, ab).

#include <cmath>

#include "geom.h"

namespace swf {
namespace {

using Args = std::span<const Value>;

// The clip a Color acts on; null when it has none (or it left the stage).
Object* TargetOf(Vm& vm, Object* self) {
  if (!self) return nullptr;
  Object* target = AsObjectValue(vm.GetMember(self, "__target"));
  return target && target->kind == ObjectKind::Clip ? target : nullptr;
}

constexpr struct {
  const char* name;
  double ColorTerms::*term;
  double scale;  // percent for multipliers
} kTransformMembers[] = {
    {"ra", &ColorTerms::mr, 100}, {"rb", &ColorTerms::ar, 1}, {"ga", &ColorTerms::mg, 100},
    {"gb", &ColorTerms::ag, 1},   {"ba", &ColorTerms::mb, 100}, {"bb", &ColorTerms::ab, 1},
    {"aa", &ColorTerms::ma, 100}, {"ab", &ColorTerms::aa, 1},
};

}  // namespace

void InstallColorClass(Vm& vm) {
  Object* constructor = vm.NewNative(
      [](Vm& v, Object* self, Args args) -> Value {
        if (!v.constructing || !self) return Undefined{};
        Object* target = AsObjectValue(Arg(args, 0));
        if (target && target->kind == ObjectKind::Clip) v.Define(self, "__target", Value{target}, kDontEnum);
        return Undefined{};
      },
      true);
  Object* proto = vm.NewPlain();
  vm.Define(constructor, "prototype", Value{proto}, kDontEnum | kDontDelete);
  vm.Define(proto, "constructor", Value{constructor}, kDontEnum);
  vm.Define(vm.Global(), "Color", Value{constructor});

  vm.DefineMethod(proto, "setRGB", [](Vm& v, Object* self, Args args) -> Value {
    Object* clip = TargetOf(v, self);
    ColorTerms terms;
    if (!clip || args.empty() || !v.Host().GetClipColors(clip, false, terms)) return Undefined{};
    const auto rgb = static_cast<std::uint32_t>(PixelInt(v.ToNum(args[0])));
    terms.mr = terms.mg = terms.mb = 0;
    terms.ar = (rgb >> 16) & 0xFF;
    terms.ag = (rgb >> 8) & 0xFF;
    terms.ab = rgb & 0xFF;
    v.Host().SetClipColors(clip, terms);
    return Undefined{};
  });
  vm.DefineMethod(proto, "getRGB", [](Vm& v, Object* self, Args) -> Value {
    Object* clip = TargetOf(v, self);
    ColorTerms terms;
    if (!clip || !v.Host().GetClipColors(clip, false, terms)) return Undefined{};
    const auto part = [](double offset) { return static_cast<std::uint32_t>(PixelInt(offset)) & 0xFFu; };
    return static_cast<double>((part(terms.ar) << 16) | (part(terms.ag) << 8) | part(terms.ab));
  });
  vm.DefineMethod(proto, "getTransform", [](Vm& v, Object* self, Args) -> Value {
    Object* clip = TargetOf(v, self);
    ColorTerms terms;
    if (!clip || !v.Host().GetClipColors(clip, false, terms)) return Undefined{};
    Object* result = v.NewPlain();
    for (const auto& member : kTransformMembers) {
      // Multipliers are kept in 1/256 steps, as a placement stores them.
      const double value = terms.*member.term * member.scale;
      v.SetMember(result, member.name, member.scale == 1 ? value : std::round(value * 256 / 100) * 100 / 256);
    }
    return result;
  });
  vm.DefineMethod(proto, "setTransform", [](Vm& v, Object* self, Args args) -> Value {
    Object* clip = TargetOf(v, self);
    Object* given = AsObjectValue(Arg(args, 0));
    ColorTerms terms;
    if (!clip || !given || !v.Host().GetClipColors(clip, false, terms)) return Undefined{};
    for (const auto& member : kTransformMembers) {
      if (!HasMember(v, given, member.name)) continue;
      const double value = v.ToNum(v.GetMember(given, member.name));
      if (std::isfinite(value)) terms.*member.term = value / member.scale;
    }
    v.Host().SetClipColors(clip, terms);
    return Undefined{};
  });
}

}  // namespace swf
