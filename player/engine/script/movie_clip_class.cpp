// MovieClip: the methods scripts call on timelines.

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vm.h"

namespace swf {

namespace {

bool IsClip(Object* self) { return self && self->kind == ObjectKind::Clip; }

std::string LowerText(std::string_view text) {
  std::string lower(text);
  for (char& ch : lower) {
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  }
  return lower;
}

void Goto(Vm& vm, Object* self, Value frame, bool play) {
  if (!IsClip(self)) return;
  // An object names the frame its text (or number) names.
  if (std::holds_alternative<Object*>(frame)) {
    Value primitive = vm.ToPrimitive(frame);
    frame = std::holds_alternative<Object*>(primitive) ? Value{vm.ToStr(frame)} : std::move(primitive);
  }
  // "path:frame" names the frame of another clip.
  if (const auto* text = std::get_if<SharedText>(&frame)) {
    if (const std::size_t colon = text->str().rfind(':'); colon != std::string::npos) {
      self = ClipAtPath(vm, self, std::string_view(*text).substr(0, colon));
      if (!IsClip(self)) return;
      frame = text->str().substr(colon + 1);
    }
  }
  DisplayHost& host = vm.Host();
  if (const auto* label = std::get_if<SharedText>(&frame); label && std::isnan(StringToNumber(*label))) {
    if (!host.GotoLabel(self, *label)) return;
  } else {
    const double number = vm.ToNum(frame);
    if (std::isnan(number)) return;
    // Frame numbers are 32-bit integers, 1-based: the step to 0-based wraps,
    // and a frame before the first is no frame at all.
    const auto zeroBased = static_cast<std::int32_t>(static_cast<std::uint32_t>(ToInt32(number)) - 1u);
    if (zeroBased >= 0) host.GotoFrame(self, zeroBased);
  }
  host.Play(self, play);
}

int DepthArg(Vm& vm, const Value& value) {
  const double depth = vm.ToNum(value);
  if (!std::isfinite(depth)) return 0;
  // Depths wrap to 32 bits as integers do; the top of the range is kept clear
  // of the offset the display list adds.
  return std::max(-16384, std::min(ToInt32(depth), 2130690045));
}

// The depth a new clip may take: a 32-bit integer from the lowest timeline
// depth up to the last one scripts may use; nothing beyond.
std::optional<int> NewClipDepth(Vm& vm, const Value& value) {
  const double number = vm.ToNum(value);
  const std::int32_t depth = std::isfinite(number) ? ToInt32(number) : 0;
  if (depth < -16384 || depth > 2130690044) return std::nullopt;
  return depth;
}

Object* InitObject(std::span<const Value> args, std::size_t index) {
  if (index >= args.size()) return nullptr;
  auto* const* init = std::get_if<Object*>(&args[index]);
  return init ? *init : nullptr;
}

Value ClipOrUndefined(Object* clip) { return clip ? Value{clip} : Value{Undefined{}}; }

}  // namespace

Object* ClipAtPath(Vm& vm, Object* from, std::string_view path) {
  DisplayHost& host = vm.Host();
  Object* at = from;
  if (!path.empty() && path[0] == '/') {
    at = host.RootClip();
    path.remove_prefix(1);
  }
  while (!path.empty() && at) {
    const std::size_t end = std::min(path.find_first_of("./"), path.size());
    const std::string part(path.substr(0, end));
    path.remove_prefix(std::min(end + 1, path.size()));
    if (part.empty()) continue;
    const std::string lower = LowerText(part);
    if (lower == "..") {
      at = host.ParentClip(at);
    } else if (lower == "_root" || lower == "_level0") {
      at = host.RootClip();
    } else if (lower == "_parent") {
      at = host.ParentClip(at);
    } else {
      at = host.ChildClip(at, part);
    }
  }
  return at;
}

// A property of the clip prototype computed by native functions.
void DefineClipAccessor(Vm& vm, Object* proto, std::string_view name, NativeFunction getter, NativeFunction setter) {
  vm.Define(proto, name, Undefined{}, kDontEnum);
  if (Property* property = vm.FindOwn(proto, name)) {
    property->getter = vm.NewNative(std::move(getter));
    property->setter = vm.NewNative(std::move(setter));
  }
}

// cacheAsBitmap, kept with the clip's placement. (filters is installed with the
// drawing styles, since the renderer draws them.)
void InstallClipAccessors(Vm& vm, Object* proto) {
  DefineClipAccessor(
      vm, proto, "cacheAsBitmap",
      [](Vm& v, Object* self, std::span<const Value>) -> Value {
        Value out;
        if (!IsClip(self) || !v.Host().GetClipProperty(self, "cacheAsBitmap", out)) return Undefined{};
        return out;
      },
      [](Vm& v, Object* self, std::span<const Value> args) -> Value {
        if (IsClip(self) && !args.empty()) (void)v.Host().SetClipProperty(self, "cacheAsBitmap", args[0]);
        return Undefined{};
      });
}

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
    const std::optional<int> depth = NewClipDepth(v, Arg(args, 1));
    if (!IsClip(self) || !depth) return Undefined{};
    return ClipOrUndefined(v.Host().CreateClip(self, "", v.ToStr(Arg(args, 0)), *depth, nullptr));
  });
  vm.DefineMethod(proto, "attachMovie", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    const std::optional<int> depth = NewClipDepth(v, Arg(args, 2));
    if (!IsClip(self) || args.size() < 3 || !depth) return Undefined{};
    return ClipOrUndefined(v.Host().CreateClip(self, v.ToStr(args[0]), v.ToStr(args[1]), *depth, InitObject(args, 3)));
  });
  vm.DefineMethod(proto, "duplicateMovieClip", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    const std::optional<int> depth = NewClipDepth(v, Arg(args, 1));
    if (!IsClip(self) || args.size() < 2 || !depth) return Undefined{};
    return ClipOrUndefined(v.Host().DuplicateClip(self, v.ToStr(args[0]), *depth, InitObject(args, 2)));
  });
  vm.DefineMethod(proto, "removeMovieClip", [](Vm& v, Object* self, std::span<const Value>) -> Value {
    if (IsClip(self)) v.Host().RemoveClip(self);
    return Undefined{};
  });
  // startDrag([lockCenter, left, top, right, bottom]): the limits count only when all four are given.
  vm.DefineMethod(proto, "startDrag", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!IsClip(self)) return Undefined{};
    double limits[4] = {};
    const bool constrain = args.size() >= 5;
    for (std::size_t i = 0; constrain && i < 4; ++i) limits[i] = v.ToNum(args[i + 1]);
    v.Host().StartDrag(self, v.ToBool(Arg(args, 0)), constrain ? limits : nullptr);
    return Undefined{};
  });
  vm.DefineMethod(proto, "stopDrag", [](Vm& v, Object*, std::span<const Value>) -> Value {
    v.Host().StopDrag();
    return Undefined{};
  });
  // A clip made empty by a script (no frame: _currentframe 0) loaded nothing.
  const auto bytes = [](Vm& v, Object* self, std::span<const Value>) -> Value {
    Value frame;
    if (IsClip(self) && v.Host().GetClipProperty(self, "_currentframe", frame) && v.ToNum(frame) == 0) return 0.0;
    return 1.0;
  };
  vm.DefineMethod(proto, "getBytesLoaded", bytes);
  vm.DefineMethod(proto, "getBytesTotal", bytes);
  InstallClipAccessors(vm, proto);
}

}  // namespace swf
