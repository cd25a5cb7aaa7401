// Object and Function: the roots of every prototype chain.

#include "vm.h"

#include "swf_text.h"

namespace swf {

namespace {

Object* AsObject(const Value& value) {
  auto* const* object = std::get_if<Object*>(&value);
  return object ? *object : nullptr;
}

// ASSetPropFlags(object, names, set, clear): names is an array, a
// comma-separated text or null for every property.
Value SetPropFlags(Vm& vm, std::span<const Value> args) {
  Object* object = AsObject(Arg(args, 0));
  if (!object) return Undefined{};
  const Value names = Arg(args, 1);
  const auto set = static_cast<std::uint16_t>(ToInt32(vm.ToNum(Arg(args, 2))) & 0xFFFF);
  const auto clear = static_cast<std::uint16_t>(args.size() > 3 ? ToInt32(vm.ToNum(Arg(args, 3))) & 0xFFFF : 0);
  std::vector<std::string> list;
  if (Object* array = AsObject(names); array && array->kind == ObjectKind::Array) {
    for (const Value& name : array->elements) list.push_back(vm.ToStr(name));
  } else if (std::holds_alternative<SharedText>(names)) {
    const std::string text = std::get<SharedText>(names);
    std::size_t start = 0;
    while (start <= text.size()) {
      const std::size_t comma = text.find(',', start);
      list.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  }
  const bool all = std::holds_alternative<Null>(names) || std::holds_alternative<Undefined>(names);
  for (auto& [key, property] : object->properties) {
    bool chosen = all;
    for (const std::string& name : list) chosen |= vm.Key(name) == key;
    if (chosen) property.flags = static_cast<std::uint16_t>((property.flags & ~clear) | set);
  }
  vm.SetElementFlags(object, list, all, set, clear);
  return Undefined{};
}

}  // namespace

void InstallObjectClass(Vm& vm) {
  Object* proto = vm.objectProto_;
  Object* object = vm.NewNative(
      [](Vm& v, Object*, std::span<const Value> args) -> Value {
        if (Object* given = v.ToObject(Arg(args, 0))) return given;
        // Called without new, Object() makes an object with no prototype.
        return v.constructing ? v.NewPlain() : v.NewObject(ObjectKind::Plain, nullptr);
      },
      true);
  vm.Define(object, "prototype", Value{proto}, kDontEnum | kDontDelete);
  vm.Define(proto, "constructor", Value{object}, kDontEnum);
  vm.Define(vm.Global(), "Object", Value{object});

  vm.DefineMethod(proto, "toString", [](Vm&, Object* self, std::span<const Value>) -> Value {
    if (self && self->kind == ObjectKind::Function) return std::string("[type Function]");
    return std::string("[object Object]");
  });
  vm.DefineMethod(proto, "toLocaleString",
                  [](Vm&, Object*, std::span<const Value>) -> Value { return std::string("[object Object]"); });
  vm.DefineMethod(proto, "valueOf", [](Vm&, Object* self, std::span<const Value>) -> Value {
    return self ? Value{self} : Value{Undefined{}};
  });
  vm.DefineMethod(proto, "hasOwnProperty", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!self || args.empty()) return false;
    const std::string name = v.ToStr(args[0]);
    if (name.empty()) return false;
    // __proto__ is every object's own slot once it has a prototype.
    if (v.Key(name) == "__proto__") return self->proto != nullptr;
    // A property hidden from this version is still the object's own.
    return v.FindOwnAny(self, name) != nullptr || v.HasElement(self, name);
  });
  vm.DefineMethod(proto, "isPropertyEnumerable", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!self) return false;
    const Property* property = v.FindOwn(self, v.ToStr(Arg(args, 0)));
    return property && !(property->flags & kDontEnum);
  });
  vm.DefineMethod(proto, "isPrototypeOf", [](Vm&, Object* self, std::span<const Value> args) -> Value {
    Object* other = AsObject(Arg(args, 0));
    for (Object* at = other ? other->proto : nullptr; at; at = at->proto) {
      if (at == self) return true;
    }
    return false;
  });
  vm.DefineMethod(proto, "addProperty", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    const std::string name = v.ToStr(Arg(args, 0));
    Object* getter = AsObject(Arg(args, 1));
    Object* setter = AsObject(Arg(args, 2));
    if (!self || name.empty() || !getter || getter->kind != ObjectKind::Function) return false;
    if (setter && setter->kind != ObjectKind::Function) setter = nullptr;
    v.Define(self, name, Undefined{}, 0);
    Property* property = v.FindOwn(self, name);
    property->getter = getter;
    property->setter = setter;
    return true;
  });
  vm.DefineMethod(proto, "watch", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    Object* callback = AsObject(Arg(args, 1));
    if (!self || args.empty() || !callback || callback->kind != ObjectKind::Function) return false;
    std::string key = v.Key(v.ToStr(args[0]));
    // A new watch is stored like a property, within the store's limit.
    if (!self->watches.contains(key) && !v.Charge(key.size() + sizeof(Object::Watch))) return false;
    self->watches[std::move(key)] = Object::Watch{callback, Arg(args, 2)};
    return true;
  });
  vm.DefineMethod(proto, "unwatch", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!self || args.empty()) return false;
    return self->watches.erase(v.Key(v.ToStr(args[0]))) > 0;
  });
  vm.DefineMethod(object, "registerClass", [](Vm& v, Object*, std::span<const Value> args) -> Value {
    // The class must be a function, or null to take a registration back.
    if (args.size() < 2) return false;
    const Object* given = AsObject(args[1]);
    if (!std::holds_alternative<Null>(args[1]) && (!given || given->kind != ObjectKind::Function)) return false;
    Object* registry = AsObject(v.GetMember(v.Global(), "__registeredClasses"));
    if (!registry) {
      registry = v.NewPlain();
      v.Define(v.Global(), "__registeredClasses", Value{registry}, kDontEnum);
    }
    // Linkage names match in any letter case, as attachMovie finds them.
    v.SetMember(registry, LowerAscii(v.ToStr(Arg(args, 0))), Arg(args, 1));
    return true;
  });
  vm.DefineMethod(vm.Global(), "ASSetPropFlags",
                  [](Vm& v, Object*, std::span<const Value> args) -> Value { return SetPropFlags(v, args); });
}

void InstallFunctionClass(Vm& vm) {
  Object* proto = vm.functionProto_;
  Object* function = vm.NewNative([](Vm&, Object*, std::span<const Value>) -> Value { return Undefined{}; });
  vm.Define(function, "prototype", Value{proto}, kDontEnum | kDontDelete);
  vm.Define(proto, "constructor", Value{function}, kDontEnum);
  vm.Define(vm.Global(), "Function", Value{function});
  vm.DefineMethod(proto, "call", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    Value receiver = Arg(args, 0);
    // No receiver (undefined or null) means the global object.
    if (!std::holds_alternative<Object*>(receiver) && !std::holds_alternative<double>(receiver) &&
        !std::holds_alternative<SharedText>(receiver) && !std::holds_alternative<bool>(receiver)) {
      receiver = v.Global();
    }
    const std::span<const Value> rest = args.empty() ? args : args.subspan(1);
    return v.Call(Value{self}, receiver, rest);
  });
  vm.DefineMethod(proto, "apply", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    std::vector<Value> list;
    if (Object* array = AsObject(Arg(args, 1))) {
      if (array->kind == ObjectKind::Array) {
        list = array->elements;
      } else {
        const double length = v.ToNum(v.GetMember(array, "length"));
        for (int i = 0; i < length && i < 65536; ++i) list.push_back(v.GetMember(array, std::to_string(i)));
      }
    }
    Value receiver = Arg(args, 0);
    if (std::holds_alternative<Undefined>(receiver) || std::holds_alternative<Null>(receiver)) receiver = v.Global();
    return v.Call(Value{self}, receiver, list);
  });
}

}  // namespace swf
