// The Sound class: a Sound controls the sounds of one clip (or, made without
// a clip, of the whole movie): their volume, pan and channel routing, and the
// library sound it attached, which it starts, stops and reports on, calling
// onSoundComplete when that sound has played out.

#include <cmath>
#include <memory>

#include "vm.h"

namespace swf {
namespace {

struct SoundState final : NativeState {
  void AddReferences(std::vector<Object*>& out) const override {
    if (clip) out.push_back(clip);
  }
  Object* clip = nullptr;  // the clip whose sounds it controls
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

// The levels the Sound's clip has now; false when it has no clip on the stage.
bool LevelsOf(Vm& vm, Object* self, SoundTransform& levels) {
  const SoundState* state = StateOf(self);
  if (!state) return false;
  if (state->global) return vm.Host().GetSoundLevels(nullptr, levels);
  return state->clip && vm.Host().GetSoundLevels(state->clip, levels);
}

Object* ClipOf(Object* self) {
  const SoundState* state = StateOf(self);
  return state && !state->global ? state->clip : nullptr;
}

// Runs `change` on the clip's levels and stores them; nothing without a clip.
template <typename Change>
Value ChangeLevels(Vm& vm, Object* self, Change&& change) {
  SoundTransform levels;
  if (!LevelsOf(vm, self, levels)) return Undefined{};
  change(levels);
  vm.Host().SetSoundLevels(ClipOf(self), levels);
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
  const std::optional<double> played = vm.Host().ScriptSoundMillis(ClipOf(self), state->sound);
  return played ? std::round(*played) : 0.0;
}

// Checks, about once a frame, whether the Sound's started sound still plays;
// when it has ended the check stops and onSoundComplete is called.
Value CheckCompletion(Vm& vm, std::span<const Value> args) {
  const Value given = Arg(args, 0);
  auto* const* self = std::get_if<Object*>(&given);
  SoundState* state = self ? StateOf(*self) : nullptr;
  if (!state) return Undefined{};
  if (state->attached && vm.Host().ScriptSoundMillis(ClipOf(*self), state->sound)) return Undefined{};
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
  vm.Host().StartScriptSound(ClipOf(self), state->sound, offset, static_cast<int>(std::min(loops, 65535.0)));
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
  vm.Host().StopScriptSound(ClipOf(self), id);
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
    if (object && *object && (*object)->kind == ObjectKind::Clip) {
      state->clip = *object;
    } else {
      (void)vm.ToStr(target);  // a path given as text is read, as the platform does
    }
  }
  self->state = std::move(state);
  return Undefined{};
}

void DefineGetter(Vm& vm, Object* proto, std::string_view name, NativeFunction getter) {
  vm.Define(proto, name, Undefined{});
  if (Property* property = vm.FindOwn(proto, name)) property->getter = vm.NewNative(std::move(getter));
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
  for (const char* name : {"loadSound", "getBytesLoaded", "getBytesTotal"}) {
    vm.DefineMethod(proto, name, [](Vm&, Object*, std::span<const Value>) -> Value { return Undefined{}; });
  }
  DefineGetter(vm, proto, "duration", [](Vm&, Object* self, std::span<const Value>) -> Value { return Duration(self); });
  DefineGetter(vm, proto, "position",
               [](Vm& v, Object* self, std::span<const Value>) -> Value { return Position(v, self); });
}

}  // namespace swf
