// The platform's other global classes and objects as a movie without a
// network, camera or keyboard focus sees them: the constructors exist with
// their prototypes, Key, Mouse and Stage broadcast to listeners, Key knows its
// key codes, System holds its sub-objects. A name some other installer has
// already defined is left as it is.

#include <array>
#include <string_view>
#include <utility>

#include "vm.h"

namespace swf {
namespace {

bool Defined(Vm& vm, Object* holder, std::string_view name) { return vm.FindOwn(holder, name) != nullptr; }

// A constructor that makes a plain object with its prototype.
Object* DefineClass(Vm& vm, Object* holder, std::string_view name) {
  if (Defined(vm, holder, name)) {
    const Value existing = vm.GetMember(holder, name);
    auto* const* object = std::get_if<Object*>(&existing);
    return object ? *object : nullptr;
  }
  Object* constructor = vm.NewNative([](Vm&, Object*, std::span<const Value>) -> Value { return Undefined{}; }, true);
  Object* prototype = vm.NewPlain();
  vm.Define(constructor, "prototype", Value{prototype}, kDontEnum | kDontDelete);
  vm.Define(prototype, "constructor", Value{constructor}, kDontEnum);
  vm.Define(holder, name, Value{constructor});
  return constructor;
}

Object* DefineSingleton(Vm& vm, Object* holder, std::string_view name) {
  if (Defined(vm, holder, name)) {
    const Value existing = vm.GetMember(holder, name);
    auto* const* object = std::get_if<Object*>(&existing);
    return object ? *object : nullptr;
  }
  Object* object = vm.NewPlain();
  vm.Define(holder, name, Value{object});
  return object;
}

// Gives `object` _listeners, addListener, removeListener and broadcastMessage.
void MakeBroadcaster(Vm& vm, Object* object) {
  const Value broadcaster = vm.GetMember(vm.Global(), "AsBroadcaster");
  auto* const* holder = std::get_if<Object*>(&broadcaster);
  if (!holder) return;
  const Value initialize = vm.GetMember(*holder, "initialize");
  const Value target{object};
  (void)vm.Call(initialize, broadcaster, std::span<const Value>(&target, 1));
}

// Gives a class's prototype the broadcaster methods; each instance then keeps
// its own _listeners.
void GiveBroadcasterMethods(Vm& vm, Object* proto) {
  const Value broadcaster = vm.GetMember(vm.Global(), "AsBroadcaster");
  auto* const* holder = std::get_if<Object*>(&broadcaster);
  if (!holder || !proto) return;
  for (const char* name : {"broadcastMessage", "addListener", "removeListener"}) {
    vm.Define(proto, name, vm.GetMember(*holder, name), kDontEnum);
  }
}

// MovieClipLoader: a broadcaster whose first listener is itself, so its own
// handlers hear what it reports.
void InstallMovieClipLoader(Vm& vm) {
  if (Defined(vm, vm.Global(), "MovieClipLoader")) return;
  Object* constructor = vm.NewNative(
      [](Vm& v, Object* self, std::span<const Value>) -> Value {
        if (self) v.Define(self, "_listeners", Value{v.NewArray({Value{self}})}, kDontEnum);
        return Undefined{};
      },
      true);
  Object* prototype = vm.NewPlain();
  vm.Define(constructor, "prototype", Value{prototype}, kDontEnum | kDontDelete);
  vm.Define(prototype, "constructor", Value{constructor}, kDontEnum);
  vm.Define(vm.Global(), "MovieClipLoader", Value{constructor});
  GiveBroadcasterMethods(vm, prototype);
}

void InstallKey(Vm& vm) {
  if (Defined(vm, vm.Global(), "Key")) return;
  Object* key = DefineSingleton(vm, vm.Global(), "Key");
  MakeBroadcaster(vm, key);
  constexpr std::array<std::pair<std::string_view, int>, 19> kCodes{{
      {"ALT", 18},   {"BACKSPACE", 8}, {"CAPSLOCK", 20}, {"CONTROL", 17}, {"DELETEKEY", 46}, {"DOWN", 40}, {"END", 35},
      {"ENTER", 13}, {"ESCAPE", 27},   {"HOME", 36},     {"INSERT", 45},  {"LEFT", 37},      {"PGDN", 34}, {"PGUP", 33},
      {"RIGHT", 39}, {"SHIFT", 16},    {"SPACE", 32},    {"TAB", 9},      {"UP", 38},
  }};
  for (const auto& [name, code] : kCodes)
    vm.Define(key, name, static_cast<double>(code), kDontEnum | kDontDelete | kReadOnly);
  // No key is down while a saver plays: any key ends it.
  vm.DefineMethod(key, "isDown", [](Vm&, Object*, std::span<const Value>) -> Value { return false; });
  vm.DefineMethod(key, "isToggled", [](Vm&, Object*, std::span<const Value>) -> Value { return false; });
  vm.DefineMethod(key, "getCode", [](Vm&, Object*, std::span<const Value>) -> Value { return 0.0; });
  vm.DefineMethod(key, "getAscii", [](Vm&, Object*, std::span<const Value>) -> Value { return 0.0; });
}

void InstallMouse(Vm& vm) {
  if (Defined(vm, vm.Global(), "Mouse")) return;
  Object* mouse = DefineSingleton(vm, vm.Global(), "Mouse");
  MakeBroadcaster(vm, mouse);
  // show and hide answer whether the pointer was shown before: it always is.
  vm.DefineMethod(mouse, "show", [](Vm&, Object*, std::span<const Value>) -> Value { return 1.0; });
  vm.DefineMethod(mouse, "hide", [](Vm&, Object*, std::span<const Value>) -> Value { return 1.0; });
}

void InstallSystem(Vm& vm) {
  Object* system = DefineSingleton(vm, vm.Global(), "System");
  if (!system) return;
  for (const char* name : {"capabilities", "IME", "security"}) (void)DefineSingleton(vm, system, name);
}

// Names under the flash.* packages: each package is a plain object.
void InstallPackaged(Vm& vm, std::string_view path) {
  Object* holder = vm.Global();
  std::size_t start = 0;
  while (holder) {
    const std::size_t dot = path.find('.', start);
    const std::string_view part =
        path.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
    if (dot == std::string_view::npos) {
      (void)DefineClass(vm, holder, part);
      return;
    }
    holder = DefineSingleton(vm, holder, part);
    start = dot + 1;
  }
}

}  // namespace

void InstallPlatformObjects(Vm& vm) {
  Object* global = vm.Global();
  InstallMovieClipLoader(vm);
  for (const char* name : {"Camera", "Color", "ContextMenu", "ContextMenuItem", "LoadVars", "LocalConnection",
                           "Microphone", "MovieClipLoader", "NetConnection", "NetStream", "PrintJob", "SharedObject",
                           "Sound", "TextSnapshot", "Video", "XML", "XMLNode", "XMLSocket"}) {
    (void)DefineClass(vm, global, name);
  }
  for (const char* name : {"Accessibility", "CustomActions", "XMLUI"}) (void)DefineSingleton(vm, global, name);
  InstallKey(vm);
  InstallMouse(vm);
  if (!Defined(vm, global, "Stage")) MakeBroadcaster(vm, DefineSingleton(vm, global, "Stage"));
  InstallSystem(vm);
  for (const char* path : {"flash.external.ExternalInterface", "flash.net.FileReference", "flash.net.FileReferenceList",
                           "flash.text.TextRenderer"}) {
    InstallPackaged(vm, path);
  }
}

}  // namespace swf
