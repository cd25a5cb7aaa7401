// MovieClip: the methods scripts call on timelines.

#include <cmath>

#include "vm.h"

namespace swf {

namespace {

bool IsClip(Object* self) { return self && self->kind == ObjectKind::Clip; }

void Goto(Vm& vm, Object* self, const Value& frame, bool play) {
  if (!IsClip(self)) return;
  DisplayHost& host = vm.Host();
  if (const auto* label = std::get_if<std::string>(&frame); label && std::isnan(StringToNumber(*label))) {
    if (!host.GotoLabel(self, *label)) return;
  } else {
    const double number = vm.ToNum(frame);
    if (std::isnan(number)) return;
    host.GotoFrame(self, static_cast<int>(std::max(-1.0, std::min(std::trunc(number), 1e9))) - 1);
  }
  host.Play(self, play);
}

int DepthArg(Vm& vm, const Value& value) {
  const double depth = vm.ToNum(value);
  if (std::isnan(depth)) return 0;
  return static_cast<int>(std::max(-16384.0, std::min(std::trunc(depth), 2130690045.0)));
}

Value ClipOrUndefined(Object* clip) { return clip ? Value{clip} : Value{Undefined{}}; }

}  // namespace

void InstallMovieClipClass(Vm& vm) {
  Object* proto = vm.NewPlain();
  vm.clipProto_ = proto;
  Object* clip = vm.NewNative([](Vm&, Object*, std::span<const Value>) -> Value { return Undefined{}; });
  vm.Define(clip, "prototype", Value{proto}, kDontEnum | kDontDelete);
  vm.Define(proto, "constructor", Value{clip}, kDontEnum);
  vm.Define(vm.Global(), "MovieClip", Value{clip});

  vm.DefineMethod(proto, "play", [](Vm& v, Object* self, std::span<const Value>) -> Value {
    if (IsClip(self)) v.Host().Play(self, true);
    return Undefined{};
  });
  vm.DefineMethod(proto, "stop", [](Vm& v, Object* self, std::span<const Value>) -> Value {
    if (IsClip(self)) v.Host().Play(self, false);
    return Undefined{};
  });
  vm.DefineMethod(proto, "gotoAndPlay", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    Goto(v, self, Arg(args, 0), true);
    return Undefined{};
  });
  vm.DefineMethod(proto, "gotoAndStop", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    Goto(v, self, Arg(args, 0), false);
    return Undefined{};
  });
  vm.DefineMethod(proto, "nextFrame", [](Vm& v, Object* self, std::span<const Value>) -> Value {
    if (!IsClip(self)) return Undefined{};
    v.Host().GotoFrame(self, v.Host().CurrentFrame(self) + 1);
    v.Host().Play(self, false);
    return Undefined{};
  });
  vm.DefineMethod(proto, "prevFrame", [](Vm& v, Object* self, std::span<const Value>) -> Value {
    if (!IsClip(self)) return Undefined{};
    v.Host().GotoFrame(self, std::max(0, v.Host().CurrentFrame(self) - 1));
    v.Host().Play(self, false);
    return Undefined{};
  });
  vm.DefineMethod(proto, "getDepth", [](Vm& v, Object* self, std::span<const Value>) -> Value {
    return IsClip(self) ? Value{static_cast<double>(v.Host().Depth(self))} : Value{Undefined{}};
  });
  vm.DefineMethod(proto, "getNextHighestDepth", [](Vm& v, Object* self, std::span<const Value>) -> Value {
    return IsClip(self) ? Value{static_cast<double>(v.Host().NextHighestDepth(self))} : Value{Undefined{}};
  });
  vm.DefineMethod(proto, "swapDepths", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!IsClip(self)) return Undefined{};
    const Value target = Arg(args, 0);
    if (auto* const* other = std::get_if<Object*>(&target); other && IsClip(*other)) {
      v.Host().SwapDepths(self, v.Host().Depth(*other));
    } else {
      v.Host().SwapDepths(self, DepthArg(v, target));
    }
    return Undefined{};
  });
  vm.DefineMethod(proto, "createEmptyMovieClip", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!IsClip(self)) return Undefined{};
    return ClipOrUndefined(v.Host().CreateClip(self, "", v.ToStr(Arg(args, 0)), DepthArg(v, Arg(args, 1))));
  });
  vm.DefineMethod(proto, "attachMovie", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!IsClip(self) || args.size() < 3) return Undefined{};
    Object* made = v.Host().CreateClip(self, v.ToStr(args[0]), v.ToStr(args[1]), DepthArg(v, args[2]));
    if (made && args.size() > 3) {
      if (auto* const* init = std::get_if<Object*>(&args[3])) {
        for (const std::string& name : v.EnumerableNames(*init)) v.SetMember(made, name, v.GetMember(*init, name));
      }
    }
    return ClipOrUndefined(made);
  });
  vm.DefineMethod(proto, "duplicateMovieClip", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!IsClip(self) || args.size() < 2) return Undefined{};
    Object* made = v.Host().DuplicateClip(self, v.ToStr(args[0]), DepthArg(v, args[1]));
    if (made && args.size() > 2) {
      if (auto* const* init = std::get_if<Object*>(&args[2])) {
        for (const std::string& name : v.EnumerableNames(*init)) v.SetMember(made, name, v.GetMember(*init, name));
      }
    }
    return ClipOrUndefined(made);
  });
  vm.DefineMethod(proto, "removeMovieClip", [](Vm& v, Object* self, std::span<const Value>) -> Value {
    if (IsClip(self)) v.Host().RemoveClip(self);
    return Undefined{};
  });
  vm.DefineMethod(proto, "getBytesLoaded", [](Vm&, Object*, std::span<const Value>) -> Value { return 1.0; });
  vm.DefineMethod(proto, "getBytesTotal", [](Vm&, Object*, std::span<const Value>) -> Value { return 1.0; });
}

}  // namespace swf
