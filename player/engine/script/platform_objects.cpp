// The platform's other global classes and objects as a movie without a
// network or camera sees them: the constructors exist with their prototypes,
// Key, Mouse and Stage broadcast to listeners, Key knows its key codes and
// what the stage says of the keyboard, System holds its sub-objects. A name
// some other installer has already defined is left as it is.

#include <algorithm>
#include <array>
#include <cctype>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "deferred_globals.h"
#include "text/text_field.h"
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

// A property of `holder` read and written through natives.
void DefineAccessor(Vm& vm, Object* holder, std::string_view name, NativeFunction get, NativeFunction set,
                    std::uint16_t flags = kDontEnum) {
  vm.Define(holder, name, Undefined{}, flags);  // takes its place in the listing order
  Property* property = vm.FindOwn(holder, name);
  property->getter = vm.NewNative(std::move(get));
  property->setter = vm.NewNative(std::move(set));
}

// A constructor named `name` on the globals running `construct` on the new
// object, with a fresh prototype.
Object* DefineConstructor(Vm& vm, std::string_view name, NativeFunction construct) {
  Object* constructor = vm.NewNative(std::move(construct), true);
  Object* prototype = vm.NewPlain();
  vm.Define(constructor, "prototype", Value{prototype}, kDontEnum | kDontDelete);
  vm.Define(prototype, "constructor", Value{constructor}, kDontEnum);
  vm.Define(vm.Global(), name, Value{constructor});
  return prototype;
}

Object* AsObject(const Value& value) {
  auto* const* object = std::get_if<Object*>(&value);
  return object ? *object : nullptr;
}

// The player's built-in context menu entries, listed as the platform lists them.
constexpr std::array<std::string_view, 8> kBuiltInMenuItems{"print", "forward_back", "rewind", "loop",
                                                            "play",  "quality",      "zoom",   "save"};

// ContextMenu(onSelect): the built-in entries (all shown), no custom items;
// copy() gives an independent menu, hideBuiltInItems() hides the built-ins.
void InstallContextMenu(Vm& vm) {
  if (Defined(vm, vm.Global(), "ContextMenu")) return;
  const auto build = [](Vm& v, Object* menu, const Value& onSelect, Object* builtIns, Object* customs) {
    v.SetMember(menu, "onSelect", onSelect);
    Object* items = v.NewPlain();
    for (const std::string_view name : kBuiltInMenuItems) {
      v.SetMember(items, name, builtIns ? v.GetMember(builtIns, name) : Value{true});
    }
    v.SetMember(menu, "builtInItems", Value{items});
    std::vector<Value> copies;
    if (customs && customs->kind == ObjectKind::Array) {
      for (const Value& item : customs->elements) {
        const Value copy = v.GetMember(AsObject(item), "copy");
        copies.push_back(AsObject(copy) ? v.Call(copy, item, {}) : item);
      }
    }
    v.SetMember(menu, "customItems", Value{v.NewArray(std::move(copies))});
  };
  Object* prototype = DefineConstructor(vm, "ContextMenu", [build](Vm& v, Object* self, std::span<const Value> args) {
    if (self) build(v, self, Arg(args, 0), nullptr, nullptr);
    return Value{Undefined{}};
  });
  vm.DefineMethod(prototype, "copy", [build](Vm& v, Object* self, std::span<const Value>) -> Value {
    if (!self) return Undefined{};
    Object* copy = v.NewObject(ObjectKind::Plain, self->proto);
    build(v, copy, v.GetMember(self, "onSelect"), AsObject(v.GetMember(self, "builtInItems")),
          AsObject(v.GetMember(self, "customItems")));
    return copy;
  });
  vm.DefineMethod(prototype, "hideBuiltInItems", [](Vm& v, Object* self, std::span<const Value>) -> Value {
    if (Object* items = self ? AsObject(v.GetMember(self, "builtInItems")) : nullptr) {
      for (const std::string_view name : kBuiltInMenuItems) v.SetMember(items, name, false);
    }
    return Undefined{};
  });
}

// ContextMenuItem(caption, onSelect, separatorBefore, enabled, visible).
void InstallContextMenuItem(Vm& vm) {
  if (Defined(vm, vm.Global(), "ContextMenuItem")) return;
  static constexpr std::array<std::string_view, 5> kMembers{"caption", "onSelect", "separatorBefore", "enabled",
                                                            "visible"};
  const auto build = [](Vm& v, Object* item, std::span<const Value> args) {
    for (std::size_t i = 0; i < kMembers.size(); ++i) {
      Value value = Arg(args, i);
      if (i >= 2 && std::holds_alternative<Undefined>(value)) value = i > 2;
      v.SetMember(item, kMembers[i], value);
    }
  };
  Object* prototype =
      DefineConstructor(vm, "ContextMenuItem", [build](Vm& v, Object* self, std::span<const Value> args) {
        if (self) build(v, self, args);
        return Value{Undefined{}};
      });
  vm.DefineMethod(prototype, "copy", [build](Vm& v, Object* self, std::span<const Value>) -> Value {
    if (!self) return Undefined{};
    std::vector<Value> members;
    for (const std::string_view name : kMembers) members.push_back(v.GetMember(self, name));
    Object* copy = v.NewObject(ObjectKind::Plain, self->proto);
    build(v, copy, members);
    return copy;
  });
}

// PrintJob: a headless player has no printer, so start() fails and the page
// sizes read 0; the sizes cannot be written.
void InstallPrintJob(Vm& vm) {
  if (Defined(vm, vm.Global(), "PrintJob")) return;
  Object* prototype =
      DefineConstructor(vm, "PrintJob", [](Vm&, Object*, std::span<const Value>) { return Value{Undefined{}}; });
  vm.DefineMethod(prototype, "start", [](Vm&, Object*, std::span<const Value>) -> Value { return false; });
  vm.DefineMethod(prototype, "addPage", [](Vm&, Object*, std::span<const Value>) -> Value { return false; });
  vm.DefineMethod(prototype, "send", [](Vm&, Object*, std::span<const Value>) -> Value { return Undefined{}; });
  for (const char* name : {"paperHeight", "paperWidth", "pageHeight", "pageWidth", "orientation"}) {
    DefineAccessor(
        vm, prototype, name, [](Vm&, Object*, std::span<const Value>) -> Value { return 0.0; },
        [](Vm&, Object*, std::span<const Value>) -> Value { return Undefined{}; }, 0);
  }
}

// Stage.displayState: "normal" or "fullScreen" (any letter case); a change
// tells the listeners through onFullScreen.
void InstallStageMembers(Vm& vm, Object* stage) {
  vm.Define(stage, "__displayState", std::string("normal"), kDontEnum);
  DefineAccessor(
      vm, stage, "displayState",
      [](Vm& v, Object* self, std::span<const Value>) -> Value { return v.GetMember(self, "__displayState"); },
      [](Vm& v, Object* self, std::span<const Value> args) -> Value {
        std::string wanted = v.ToStr(Arg(args, 0));
        for (char& ch : wanted) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        if (wanted != "normal" && wanted != "fullscreen") return Undefined{};
        const std::string state = wanted == "normal" ? "normal" : "fullScreen";
        if (v.ToStr(v.GetMember(self, "__displayState")) == state) return Undefined{};
        v.Define(self, "__displayState", state, kDontEnum);
        const Value message[2] = {std::string("onFullScreen"), state == "fullScreen"};
        (void)v.Call(v.GetMember(self, "broadcastMessage"), Value{self}, message);
        return Undefined{};
      });
  DefineAccessor(
      vm, stage, "scaleMode",
      [](Vm& v, Object*, std::span<const Value>) -> Value { return v.Host().StageScaleMode(); },
      [](Vm& v, Object*, std::span<const Value> args) -> Value {
        v.Host().SetStageScaleMode(v.ToStr(Arg(args, 0)));
        return Undefined{};
      });
  DefineAccessor(
      vm, stage, "align", [](Vm& v, Object*, std::span<const Value>) -> Value { return v.Host().StageAlign(); },
      [](Vm& v, Object*, std::span<const Value> args) -> Value {
        v.Host().SetStageAlign(v.ToStr(Arg(args, 0)));
        return Undefined{};
      });
  for (const bool wide : {true, false}) {
    DefineAccessor(
        vm, stage, wide ? "width" : "height",
        [wide](Vm& v, Object*, std::span<const Value>) -> Value {
          double width = 0, height = 0;
          v.Host().StageSize(width, height);
          return wide ? width : height;
        },
        [](Vm&, Object*, std::span<const Value>) -> Value { return Undefined{}; });
  }
  vm.Define(stage, "showMenu", true, kDontEnum);
}

// ExternalInterface without a hosting page: not available, calls fail; its
// helpers that write values as the XML of external calls work.
std::string UnescapeXmlText(std::string_view text) {
  static constexpr std::array<std::pair<std::string_view, char>, 5> kEntities{
      {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}}};
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    bool replaced = false;
    for (const auto& [entity, ch] : kEntities) {
      if (text.substr(i).starts_with(entity)) {
        out += ch;
        i += entity.size() - 1;
        replaced = true;
        break;
      }
    }
    if (!replaced) out += text[i];
  }
  return out;
}

// The escape helpers answer null for no text at all, as the platform's do.
Value EscapedOrNull(Vm& vm, std::span<const Value> args, bool escape) {
  if (args.empty()) return Null{};
  const std::string text = vm.ToStr(args[0]);
  if (text.empty()) return Null{};
  return escape ? EscapeHtml(text) : UnescapeXmlText(text);
}

constexpr int kMaxExternalDepth = 32;

std::string ValueToXml(Vm& vm, const Value& value, int depth);

std::string ElementsToXml(Vm& vm, const Value& list, std::size_t from, bool asProperties, int depth) {
  std::string out;
  const Value lengthValue = vm.Get(list, "length");
  const double length = std::holds_alternative<Undefined>(lengthValue) ? 0 : vm.ToNum(lengthValue);
  if (!(length > 0)) return out;
  const auto count = static_cast<std::size_t>(std::min(length, static_cast<double>(kMaxArrayLength)));
  for (std::size_t i = from; i < count && out.size() < kMaxStringBytes; ++i) {
    const std::string item = ValueToXml(vm, vm.Get(list, std::to_string(i)), depth + 1);
    out += asProperties ? "<property id=\"" + std::to_string(i) + "\">" + item + "</property>" : item;
  }
  return out;
}

std::string ObjectToXml(Vm& vm, const Value& value, int depth) {
  std::string out = "<object>";
  if (Object* object = AsObject(value); object && depth < kMaxExternalDepth) {
    for (const std::string& name : vm.EnumerableNames(object)) {
      out += "<property id=\"" + name + "\">" + ValueToXml(vm, vm.GetMember(object, name), depth + 1) + "</property>";
      if (out.size() > kMaxStringBytes) break;
    }
  }
  return out + "</object>";
}

std::string ValueToXml(Vm& vm, const Value& value, int depth) {
  if (std::holds_alternative<Undefined>(value)) return "<undefined/>";
  if (std::holds_alternative<Null>(value)) return "<null/>";
  if (const bool* flag = std::get_if<bool>(&value)) return *flag ? "<true/>" : "<false/>";
  if (const double* number = std::get_if<double>(&value)) return "<number>" + NumberToString(*number) + "</number>";
  if (const SharedText* text = std::get_if<SharedText>(&value)) {
    return "<string>" + (text->empty() ? std::string("null") : EscapeHtml(*text)) + "</string>";
  }
  Object* object = AsObject(value);
  if (!object || object->kind == ObjectKind::Function) return "<null/>";
  if (depth >= kMaxExternalDepth) return "<null/>";
  if (object->kind == ObjectKind::Array) {
    return "<array>" + ElementsToXml(vm, value, 0, true, depth) + "</array>";
  }
  return ObjectToXml(vm, value, depth);
}

// The way back: the XML nodes of a call from the page as script values.
// Nodes are read by their members (nodeName, firstChild, childNodes,
// attributes), so any object shaped like a node converts.
Value XmlToValue(Vm& vm, const Value& node, int depth);

// <number>: the text after any leading white space must be a plain decimal
// number, nothing after it ("Infinity" and "5x" are no numbers).
double ExternalNumber(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
  std::size_t end = at;
  if (end < text.size() && (text[end] == '-' || text[end] == '+')) ++end;
  std::size_t digits = 0;
  while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end, ++digits;
  if (end < text.size() && text[end] == '.') {
    ++end;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end, ++digits;
  }
  if (digits > 0 && end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
    std::size_t exponent = end + 1;
    if (exponent < text.size() && (text[exponent] == '-' || text[exponent] == '+')) ++exponent;
    std::size_t exponentDigits = 0;
    while (exponent < text.size() && std::isdigit(static_cast<unsigned char>(text[exponent]))) {
      ++exponent;
      ++exponentDigits;
    }
    if (exponentDigits > 0) end = exponent;
  }
  if (digits == 0 || end != text.size()) return std::numeric_limits<double>::quiet_NaN();
  return StringToNumber(text.substr(at), false);
}

// Calls `each` with the child nodes of a node, in order.
void ForEachChild(Vm& vm, const Value& node, const std::function<void(const Value&)>& each) {
  const Value children = vm.Get(node, "childNodes");
  if (!AsObject(children)) return;
  const Value lengthValue = vm.Get(children, "length");
  const double length = std::holds_alternative<Undefined>(lengthValue) ? 0 : vm.ToNum(lengthValue);
  if (!(length > 0)) return;
  const auto count = static_cast<std::size_t>(std::min(length, static_cast<double>(kMaxArrayLength)));
  for (std::size_t i = 0; i < count; ++i) each(vm.Get(children, std::to_string(i)));
}

// <array> and <object>: <property id="..."> children holding the values.
Value PropertiesToValue(Vm& vm, const Value& node, bool array, int depth) {
  Object* out = array ? vm.NewArray() : vm.NewPlain();
  if (depth >= kMaxExternalDepth) return out;
  ForEachChild(vm, node, [&](const Value& child) {
    const Value id = vm.Get(vm.Get(child, "attributes"), "id");
    if (std::holds_alternative<Undefined>(id)) return;
    vm.SetMember(out, vm.ToStr(id), XmlToValue(vm, vm.Get(child, "firstChild"), depth + 1));
  });
  return out;
}

// <arguments>: the values one after another.
Value ArgumentsToValue(Vm& vm, const Value& node, int depth) {
  Object* out = vm.NewArray();
  if (depth >= kMaxExternalDepth) return out;
  ForEachChild(vm, node, [&](const Value& child) {
    (void)vm.SetElement(out, out->elements.size(), XmlToValue(vm, child, depth + 1));
  });
  return out;
}

Value XmlToValue(Vm& vm, const Value& node, int depth) {
  if (!AsObject(node) || depth >= kMaxExternalDepth) return Undefined{};
  // The name is read as text only when it is one (a String object's too):
  // no toString of an object runs for it.
  const Value nameValue = vm.Get(node, "nodeName");
  Object* nameObject = AsObject(nameValue);
  const Value& nameText = nameObject && nameObject->kind == ObjectKind::String ? nameObject->primitive : nameValue;
  const auto* text = std::get_if<SharedText>(&nameText);
  const std::string name = text ? text->str() : std::string();
  if (name == "null") return Null{};
  if (name == "true") return true;
  if (name == "false") return false;
  if (name == "string") return vm.ToStr(vm.Get(node, "firstChild"));
  if (name == "number") return ExternalNumber(vm.ToStr(vm.Get(node, "firstChild")));
  if (name == "array") return PropertiesToValue(vm, node, true, depth);
  if (name == "object") return PropertiesToValue(vm, node, false, depth);
  return Undefined{};
}

void InstallExternalInterface(Vm& vm, Object* external) {
  vm.Define(external, "available", false, kDontEnum);
  vm.DefineMethod(external, "addCallback", [](Vm&, Object*, std::span<const Value>) -> Value { return false; });
  vm.DefineMethod(external, "call", [](Vm&, Object*, std::span<const Value>) -> Value { return Null{}; });
  vm.DefineMethod(external, "_escapeXML",
                  [](Vm& v, Object*, std::span<const Value> args) -> Value { return EscapedOrNull(v, args, true); });
  vm.DefineMethod(external, "_unescapeXML",
                  [](Vm& v, Object*, std::span<const Value> args) -> Value { return EscapedOrNull(v, args, false); });
  vm.DefineMethod(external, "_toXML",
                  [](Vm& v, Object*, std::span<const Value> args) -> Value { return ValueToXml(v, Arg(args, 0), 0); });
  vm.DefineMethod(external, "_objectToXML",
                  [](Vm& v, Object*, std::span<const Value> args) -> Value { return ObjectToXml(v, Arg(args, 0), 0); });
  vm.DefineMethod(external, "_arrayToXML", [](Vm& v, Object*, std::span<const Value> args) -> Value {
    return "<array>" + ElementsToXml(v, Arg(args, 0), 0, true, 0) + "</array>";
  });
  vm.DefineMethod(external, "_toAS",
                  [](Vm& v, Object*, std::span<const Value> args) -> Value { return XmlToValue(v, Arg(args, 0), 0); });
  vm.DefineMethod(external, "_arrayToAS", [](Vm& v, Object*, std::span<const Value> args) -> Value {
    return PropertiesToValue(v, Arg(args, 0), true, 0);
  });
  vm.DefineMethod(external, "_objectToAS", [](Vm& v, Object*, std::span<const Value> args) -> Value {
    return PropertiesToValue(v, Arg(args, 0), false, 0);
  });
  vm.DefineMethod(external, "_argumentsToAS",
                  [](Vm& v, Object*, std::span<const Value> args) -> Value { return ArgumentsToValue(v, Arg(args, 0), 0); });
  // The first argument of an external call is the function's name.
  vm.DefineMethod(external, "_argumentsToXML", [](Vm& v, Object*, std::span<const Value> args) -> Value {
    return "<arguments>" + ElementsToXml(v, Arg(args, 0), 1, false, 0) + "</arguments>";
  });
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
  vm.DefineMethod(key, "isDown", [](Vm& machine, Object*, std::span<const Value> args) -> Value {
    return !args.empty() && machine.Host().KeyIsDown(static_cast<int>(machine.ToNum(args[0])));
  });
  vm.DefineMethod(key, "isToggled", [](Vm&, Object*, std::span<const Value>) -> Value { return false; });
  vm.DefineMethod(key, "getCode", [](Vm& machine, Object*, std::span<const Value>) -> Value {
    return static_cast<double>(machine.Host().LastKeyCode());
  });
  vm.DefineMethod(key, "getAscii", [](Vm& machine, Object*, std::span<const Value>) -> Value {
    return static_cast<double>(machine.Host().LastKeyAscii());
  });
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
  // A movie played from a file on disk.
  if (Object* security = AsObject(vm.GetMember(system, "security"))) {
    vm.Define(security, "sandboxType", std::string("localWithFile"), kDontEnum);
  }
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
  InstallContextMenu(vm);
  InstallContextMenuItem(vm);
  InstallPrintJob(vm);
  // LoadVars, LocalConnection, NetConnection, XMLSocket and flash.net's file
  // classes are net_classes.cpp's.
  // Only the missing names are read: reading one that is still waiting to be
  // made (Color, Sound, XML) would make its whole group with every stage.
  for (const char* name : {"Camera", "Color", "ContextMenu", "ContextMenuItem", "Microphone", "MovieClipLoader",
                           "NetStream", "PrintJob", "SharedObject", "Sound", "TextSnapshot", "Video", "XML",
                           "XMLNode"}) {
    if (!Defined(vm, global, name)) (void)DefineClass(vm, global, name);
  }
  for (const char* name : {"Accessibility", "CustomActions", "XMLUI"}) {
    if (!Defined(vm, global, name)) (void)DefineSingleton(vm, global, name);
  }
  InstallKey(vm);
  InstallMouse(vm);
  if (!Defined(vm, global, "Stage")) {
    Object* stage = DefineSingleton(vm, global, "Stage");
    MakeBroadcaster(vm, stage);
    InstallStageMembers(vm, stage);
  }
  InstallSystem(vm);
}

void InstallPlatformPackages(Vm& vm) {
  for (const char* path : {"flash.external.ExternalInterface", "flash.text.TextRenderer"}) {
    InstallPackaged(vm, path);
  }
  if (Object* flash = AsObject(vm.GetMember(vm.Global(), "flash"))) {
    if (Object* external = AsObject(vm.GetMember(AsObject(vm.GetMember(flash, "external")), "ExternalInterface"))) {
      InstallExternalInterface(vm, external);
    }
  }
}

}  // namespace swf
