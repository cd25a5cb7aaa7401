// The Sound class: a Sound controls the sounds of one clip (or, made without
// a clip, of the whole movie): their volume, pan and channel routing, and the
// library sound it attached, which it starts, stops and reports on, calling
// onSoundComplete when that sound has played out.

#include <cmath>
#include <memory>
#include <optional>
#include <string>

#include "vm.h"

namespace swf {
namespace {

struct SoundState final : NativeState {
  void AddReferences(std::vector<Object*>& out) const override {
    if (clip) out.push_back(clip);
  }
  // The clip whose sounds it controls is found again at each use: by the clip
  // it was given while that clip lives, otherwise by the clip's full path, so
  // a Sound outlives its clip's removal and finds a clip later made at the
  // same place. A path given as text is followed from the timeline whose
  // actions use the Sound.
  Object* clip = nullptr;  // the clip it was made with, if given one
  std::string path;
  bool global = true;      // made without a clip: the whole movie's sound
  bool attached = false;
  std::uint16_t sound = 0;
  double millis = 0;       // the attached sound's length
  int completionTimer = 0;  // the timer that watches for the end, 0 when none
};

// How often a started sound is checked for its end: about a frame.
constexpr double kCompletionCheckMillis = 1000.0 / 30;

SoundState* StateOf(Object* self) {
  return self ? dynamic_cast<SoundState*>(self->state.get()) : nullptr;
}

bool IsLiveClip(const Object* object) {
  return object && object->kind == ObjectKind::Clip && !object->clip.expired();
}

// The owner of the Sound's sounds now: null for the whole movie's, nothing
// when its clip is not on the stage.
std::optional<Object*> OwnerOf(Vm& vm, Object* self) {
  const SoundState* state = StateOf(self);
  if (!state) return std::nullopt;
  if (state->global) return nullptr;
  // A removed clip's object may outlive it: the stage says whether it is still shown.
  SoundTransform probe;
  if (IsLiveClip(state->clip) && vm.Host().GetSoundLevels(state->clip, probe)) return state->clip;
  Object* from = state->clip ? nullptr : vm.CurrentTarget();
  Object* found = ClipAtPath(vm, from ? from : vm.Host().RootClip(), state->path);
  if (!IsLiveClip(found)) return std::nullopt;
  return found;
}

// The levels the Sound's owner has now; false when its clip is not on the stage.
bool LevelsOf(Vm& vm, Object* self, SoundTransform& levels) {
  const std::optional<Object*> owner = OwnerOf(vm, self);
  return owner && vm.Host().GetSoundLevels(*owner, levels);
}

// Runs `change` on the owner's levels and stores them; nothing without a clip.
template <typename Change>
Value ChangeLevels(Vm& vm, Object* self, Change&& change) {
  const std::optional<Object*> owner = OwnerOf(vm, self);
  SoundTransform levels;
  if (!owner || !vm.Host().GetSoundLevels(*owner, levels)) return Undefined{};
  change(levels);
  vm.Host().SetSoundLevels(*owner, levels);
  return Undefined{};
}

int WholePercent(Vm& vm, const Value& value, int fallback) {
  const double number = vm.ToNum(value);
  if (!std::isfinite(number)) return fallback;
  return static_cast<int>(std::clamp(std::trunc(number), -1e6, 1e6));
}

Value GetTransform(Vm& vm, Object* self) {
  SoundTransform levels;
  if (!LevelsOf(vm, self, levels)) return Undefined{};
  Object* transform = vm.NewPlain();
  vm.SetMember(transform, "ll", static_cast<double>(levels.ll));
  vm.SetMember(transform, "lr", static_cast<double>(levels.lr));
  vm.SetMember(transform, "rr", static_cast<double>(levels.rr));
  vm.SetMember(transform, "rl", static_cast<double>(levels.rl));
  return transform;
}

Value SetTransform(Vm& vm, Object* self, const Value& given) {
  auto* const* source = std::get_if<Object*>(&given);
  if (!source || !*source) return Undefined{};
  return ChangeLevels(vm, self, [&](SoundTransform& levels) {
    for (auto [name, term] : {std::pair{"ll", &levels.ll}, std::pair{"lr", &levels.lr}, std::pair{"rr", &levels.rr},
                              std::pair{"rl", &levels.rl}}) {
      const Value value = vm.GetMember(*source, name);
      if (!std::holds_alternative<Undefined>(value)) *term = WholePercent(vm, value, *term);
    }
  });
}

Value Duration(Object* self) {
  const SoundState* state = StateOf(self);
  if (!state || !state->attached) return Undefined{};
  return std::round(state->millis);
}

Value Position(Vm& vm, Object* self) {
  const SoundState* state = StateOf(self);
  if (!state || !state->attached) return Undefined{};
  const std::optional<Object*> owner = OwnerOf(vm, self);
  if (!owner) return Undefined{};
  const std::optional<double> played = vm.Host().ScriptSoundMillis(*owner, state->sound);
  return played ? std::round(*played) : 0.0;
}

// Checks, about once a frame, whether the Sound's started sound still plays;
// when it has ended the check stops and onSoundComplete is called.
Value CheckCompletion(Vm& vm, std::span<const Value> args) {
  const Value given = Arg(args, 0);
  auto* const* self = std::get_if<Object*>(&given);
  SoundState* state = self ? StateOf(*self) : nullptr;
  if (!state) return Undefined{};
  const std::optional<Object*> owner = OwnerOf(vm, *self);
  if (state->attached && owner && vm.Host().ScriptSoundMillis(*owner, state->sound)) return Undefined{};
  const int timer = state->completionTimer;
  state->completionTimer = 0;
  std::erase_if(vm.timers, [timer](const Vm::Timer& t) { return t.id == timer; });
  const Value handler = vm.GetMember(*self, "onSoundComplete");
  if (auto* const* function = std::get_if<Object*>(&handler); function && (*function)->kind == ObjectKind::Function) {
    (void)vm.Call(handler, Value{*self}, {});
  }
  return Undefined{};
}

void WatchForCompletion(Vm& vm, Object* self, SoundState& state, Object* checker) {
  if (state.completionTimer != 0) return;
  Vm::Timer timer;
  timer.id = vm.nextTimerId++;
  timer.function = checker;
  timer.args = {Value{self}};
  timer.interval = kCompletionCheckMillis;
  timer.due = vm.nowMillis + kCompletionCheckMillis;
  state.completionTimer = timer.id;
  vm.timers.push_back(std::move(timer));
}

Value Start(Vm& vm, Object* self, std::span<const Value> args, Object* checker) {
  SoundState* state = StateOf(self);
  if (!state || !state->attached) return Undefined{};
  double offset = vm.ToNum(Arg(args, 0));
  if (!std::isfinite(offset) || offset < 0) offset = 0;
  double loops = vm.ToNum(Arg(args, 1));
  if (!std::isfinite(loops) || loops < 1) loops = 1;
  const std::optional<Object*> owner = OwnerOf(vm, self);
  if (!owner) return Undefined{};
  vm.Host().StartScriptSound(*owner, state->sound, offset, static_cast<int>(std::min(loops, 65535.0)));
  WatchForCompletion(vm, self, *state, checker);
  return Undefined{};
}

Value Stop(Vm& vm, Object* self, std::span<const Value> args) {
  if (!StateOf(self)) return Undefined{};
  std::uint16_t id = 0;
  if (!args.empty() && !std::holds_alternative<Undefined>(args[0])) {
    double millis = 0;
    if (!vm.Host().FindExportedSound(vm.ToStr(args[0]), id, millis)) return Undefined{};
  }
  const std::optional<Object*> owner = OwnerOf(vm, self);
  if (owner) vm.Host().StopScriptSound(*owner, id);
  return Undefined{};
}

Value AttachSound(Vm& vm, Object* self, const Value& name) {
  SoundState* state = StateOf(self);
  if (!state) return Undefined{};
  std::uint16_t id = 0;
  double millis = 0;
  if (vm.Host().FindExportedSound(vm.ToStr(name), id, millis)) {
    state->attached = true;
    state->sound = id;
    state->millis = millis;
  }
  return Undefined{};
}

// new Sound(clip): the clip's sounds; without one, the movie's.
Value Construct(Vm& vm, Object* self, std::span<const Value> args) {
  if (!vm.constructing || !self) return Undefined{};
  auto state = std::make_unique<SoundState>();
  const Value target = Arg(args, 0);
  if (!std::holds_alternative<Undefined>(target) && !std::holds_alternative<Null>(target)) {
    state->global = false;
    auto* const* object = std::get_if<Object*>(&target);
    if (object && IsLiveClip(*object)) {
      state->clip = *object;
      state->path = vm.Host().TargetPath(*object);
    } else {
      // Anything else names a clip by its path from the timeline making the Sound.
      state->path = vm.ToStr(target);
    }
  }
  self->state = std::move(state);
  return Undefined{};
}

// A read-only report of the Sound: a value stored under its name is kept on
// the Sound itself, shadowing the report until deleted.
void DefineReport(Vm& vm, Object* proto, std::string_view name, NativeFunction getter) {
  vm.Define(proto, name, Undefined{});
  Property* property = vm.FindOwn(proto, name);
  if (!property) return;
  property->getter = vm.NewNative(std::move(getter));
  property->setter = vm.NewNative([key = std::string(name)](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (self) v.Define(self, key, Arg(args, 0), 0);
    return Undefined{};
  });
}

}  // namespace

void InstallSoundClass(Vm& vm) {
  Object* constructor = vm.NewNative(Construct, true);
  Object* proto = vm.NewPlain();
  vm.Define(constructor, "prototype", Value{proto}, kDontEnum | kDontDelete);
  vm.Define(proto, "constructor", Value{constructor}, kDontEnum);
  vm.Define(vm.Global(), "Sound", Value{constructor});
  Object* checker = vm.NewNative([](Vm& v, Object*, std::span<const Value> args) { return CheckCompletion(v, args); });

  vm.DefineMethod(proto, "getVolume", [](Vm& v, Object* self, std::span<const Value>) -> Value {
    SoundTransform levels;
    return LevelsOf(v, self, levels) ? Value{static_cast<double>(levels.volume)} : Value{Undefined{}};
  });
  vm.DefineMethod(proto, "setVolume", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    return ChangeLevels(v, self, [&](SoundTransform& l) { l.volume = WholePercent(v, Arg(args, 0), l.volume); });
  });
  vm.DefineMethod(proto, "getPan", [](Vm& v, Object* self, std::span<const Value>) -> Value {
    SoundTransform levels;
    return LevelsOf(v, self, levels) ? Value{static_cast<double>(levels.Pan())} : Value{Undefined{}};
  });
  vm.DefineMethod(proto, "setPan", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    return ChangeLevels(v, self, [&](SoundTransform& l) { l.SetPan(WholePercent(v, Arg(args, 0), l.Pan())); });
  });
  vm.DefineMethod(proto, "getTransform",
                  [](Vm& v, Object* self, std::span<const Value>) -> Value { return GetTransform(v, self); });
  vm.DefineMethod(proto, "setTransform", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    return SetTransform(v, self, Arg(args, 0));
  });
  vm.DefineMethod(proto, "attachSound", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    return AttachSound(v, self, Arg(args, 0));
  });
  vm.DefineMethod(proto, "start", [checker](Vm& v, Object* self, std::span<const Value> args) -> Value {
    return Start(v, self, args, checker);
  });
  vm.DefineMethod(proto, "stop",
                  [](Vm& v, Object* self, std::span<const Value> args) -> Value { return Stop(v, self, args); });
  vm.DefineMethod(proto, "getDuration",
                  [](Vm&, Object* self, std::span<const Value>) -> Value { return Duration(self); });
  vm.DefineMethod(proto, "getPosition",
                  [](Vm& v, Object* self, std::span<const Value>) -> Value { return Position(v, self); });
  // Sounds come from the movie's own library: nothing loads from elsewhere.
  for (const char* name : {"loadSound", "getBytesLoaded", "getBytesTotal", "setDuration", "setPosition"}) {
    vm.DefineMethod(proto, name, [](Vm&, Object*, std::span<const Value>) -> Value { return Undefined{}; });
  }
  DefineReport(vm, proto, "duration", [](Vm&, Object* self, std::span<const Value>) -> Value { return Duration(self); });
  DefineReport(vm, proto, "position",
               [](Vm& v, Object* self, std::span<const Value>) -> Value { return Position(v, self); });
}

}  // namespace swf
