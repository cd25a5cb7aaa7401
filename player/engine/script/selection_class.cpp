// Selection: which display object has the keyboard focus and what part of
// the focused text field is selected. The stage keeps both and runs the focus
// handlers; this is the script face of it, a broadcaster whose listeners hear
// onSetFocus(old, new).

#include <algorithm>
#include <limits>
#include <string>
#include <string_view>

#include "vm.h"

namespace swf {
namespace {

bool IsDisplayObject(const Value& value) {
  auto* const* object = std::get_if<Object*>(&value);
  return object && *object && (*object)->kind == ObjectKind::Clip;
}

// A target path as setFocus takes it: "_level0.a.b", "a.b" or "/a/b", from the root.
Object* ObjectAtPath(Vm& vm, std::string_view path) {
  DisplayHost& host = vm.Host();
  Object* at = host.RootClip();
  bool first = true;
  while (!path.empty() && at) {
    const std::size_t end = std::min(path.find_first_of("./"), path.size());
    const std::string_view part = path.substr(0, end);
    path.remove_prefix(std::min(end + 1, path.size()));
    const bool level = first && (part == "_level0" || part == "_root");
    first = false;
    if (part.empty() || level) continue;
    at = host.ChildClip(at, part);
  }
  return at;
}

Value Index(Vm& vm, int which) {
  int indices[3] = {-1, -1, -1};
  if (!vm.Host().FocusedSelection(indices[0], indices[1], indices[2])) return -1.0;
  return static_cast<double>(indices[which]);
}

}  // namespace

void InstallSelection(Vm& vm) {
  Object* selection = vm.NewPlain();
  vm.Define(vm.Global(), "Selection", Value{selection});
  const Value broadcaster = vm.GetMember(vm.Global(), "AsBroadcaster");
  if (auto* const* object = std::get_if<Object*>(&broadcaster)) {
    const Value initialize = vm.GetMember(*object, "initialize");
    const Value target{selection};
    if (std::holds_alternative<Object*>(initialize)) (void)vm.Call(initialize, broadcaster, std::span(&target, 1));
  }
  vm.DefineMethod(selection, "getFocus", [](Vm& v, Object*, std::span<const Value>) -> Value {
    Object* focused = v.Host().FocusedObject();
    return focused ? Value{v.Host().TargetPath(focused)} : Value{Null{}};
  });
  // setFocus(target): an object or its path; null or undefined takes the
  // focus away. False for anything that cannot hold the focus.
  vm.DefineMethod(selection, "setFocus", [](Vm& v, Object*, std::span<const Value> args) -> Value {
    if (args.empty()) return false;
    const Value& target = args[0];
    if (std::holds_alternative<Null>(target) || std::holds_alternative<Undefined>(target)) {
      return v.Host().SetFocusedObject(nullptr);
    }
    if (const auto* path = std::get_if<SharedText>(&target)) {
      Object* found = ObjectAtPath(v, *path);
      return found && v.Host().SetFocusedObject(found);
    }
    if (!IsDisplayObject(target)) return false;
    return v.Host().SetFocusedObject(std::get<Object*>(target));
  });
  vm.DefineMethod(selection, "getBeginIndex",
                  [](Vm& v, Object*, std::span<const Value>) -> Value { return Index(v, 0); });
  vm.DefineMethod(selection, "getEndIndex", [](Vm& v, Object*, std::span<const Value>) -> Value { return Index(v, 1); });
  vm.DefineMethod(selection, "getCaretIndex",
                  [](Vm& v, Object*, std::span<const Value>) -> Value { return Index(v, 2); });
  // setSelection(anchor[, caret]): without a caret the selection runs to the end of the text.
  vm.DefineMethod(selection, "setSelection", [](Vm& v, Object*, std::span<const Value> args) -> Value {
    if (args.empty()) return Undefined{};
    v.Host().SetFocusedSelection(v.ToNum(args[0]), args.size() > 1 ? v.ToNum(args[1]) : std::numeric_limits<double>::quiet_NaN());
    return Undefined{};
  });
}

}  // namespace swf
