// ASnative(category, index): the platform reaches its built-in functions by
// number as well as by name, and so do old movies and their helper scripts.
// ASSetNative and ASSetNativeAccessor copy a run of such functions onto an
// object under a list of names.

#include <array>
#include <limits>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vm.h"

namespace swf {

namespace {

// Each category's functions in index order, named by their path from the
// global object ("" leaves an index unused).
struct Category {
  int number;
  std::vector<std::string_view> paths;
};

const std::array<Category, 7>& Categories() {
  static const std::array<Category, 7> categories{{
      {100, {"escape", "unescape", "parseInt", "parseFloat", "trace", "updateAfterEvent", "isNaN", "isFinite"}},
      {101,
       {"Object.prototype.watch", "Object.prototype.unwatch", "Object.prototype.addProperty",
        "Object.prototype.valueOf", "Object.prototype.toString", "Object.prototype.hasOwnProperty",
        "Object.prototype.isPrototypeOf", "Object.prototype.isPropertyEnumerable", "Object.registerClass",
        "Object"}},
      {106, {"Number.prototype.valueOf", "Number.prototype.toString", "Number"}},
      {107, {"Boolean.prototype.valueOf", "Boolean.prototype.toString", "Boolean"}},
      {200,
       {"Math.abs", "Math.min", "Math.max", "Math.sin", "Math.cos", "Math.atan2", "Math.tan", "Math.exp", "Math.log",
        "Math.sqrt", "Math.round", "Math.random", "Math.floor", "Math.ceil", "Math.atan", "Math.asin", "Math.acos",
        "Math.pow"}},
      {251,
       {"String.prototype.valueOf", "String.prototype.toString", "String.prototype.toUpperCase",
        "String.prototype.toLowerCase", "String.prototype.charAt", "String.prototype.charCodeAt",
        "String.prototype.concat", "String.prototype.indexOf", "String.prototype.lastIndexOf",
        "String.prototype.slice", "String.prototype.substring", "String.prototype.split", "String.prototype.substr",
        "String.fromCharCode"}},
      {252,
       {"Array", "Array.prototype.push", "Array.prototype.pop", "Array.prototype.concat", "Array.prototype.shift",
        "Array.prototype.unshift", "Array.prototype.slice", "Array.prototype.join", "Array.prototype.splice",
        "Array.prototype.toString", "Array.prototype.sort", "Array.prototype.reverse", "Array.prototype.sortOn"}},
  }};
  return categories;
}

Object* AsFunction(const Value& value) {
  auto* const* object = std::get_if<Object*>(&value);
  return object && *object && (*object)->kind == ObjectKind::Function ? *object : nullptr;
}

// The function a dotted path leads to from the global object, or null.
Object* Resolve(Vm& vm, std::string_view path) {
  Value at{vm.Global()};
  while (!path.empty()) {
    const std::size_t dot = path.find('.');
    auto* const* object = std::get_if<Object*>(&at);
    if (!object) return nullptr;
    at = vm.GetMember(*object, path.substr(0, dot));
    path = dot == std::string_view::npos ? std::string_view() : path.substr(dot + 1);
  }
  return AsFunction(at);
}

constexpr std::int32_t kMathCategory = 200;

using Table = std::map<std::pair<std::int32_t, std::int32_t>, Object*>;

// A name of an ASSetNative list: leading blanks stay part of it; a version
// prefix ("6" to "9", "10") hides it from older movies, and a lone leading "1"
// is dropped. Other digits stay part of the name.
struct ListedName {
  std::string name;
  std::uint16_t flags = 0;
};

ListedName ParseListedName(std::string_view item) {
  ListedName listed;
  if (item.size() > 1 && item[0] == '1') {
    if (item[1] == '0') {
      listed.flags = kVersion10;
      item.remove_prefix(2);
    } else {
      item.remove_prefix(1);
    }
  } else if (item.size() > 1 && item[0] >= '6' && item[0] <= '9') {
    static constexpr std::array<std::uint16_t, 4> kFlags{kVersion6, kVersion7, kVersion8b, kVersion9};
    listed.flags = kFlags[static_cast<std::size_t>(item[0] - '6')];
    item.remove_prefix(1);
  }
  listed.name = std::string(item);
  return listed;
}

std::vector<ListedName> ParseList(std::string_view list) {
  std::vector<ListedName> names;
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t comma = list.find(',', start);
    const std::string_view item = list.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    if (!item.empty()) names.push_back(ParseListedName(item));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return names;
}

Object* Lookup(const Table& table, std::int32_t category, std::int32_t index) {
  const auto found = table.find({category, index});
  if (found != table.end()) return found->second;
  // Math's numbers all lead to one function: an index it does not know still
  // converts two arguments and gives NaN.
  const auto unknown = table.find({kMathCategory, -1});
  return category == kMathCategory && unknown != table.end() ? unknown->second : nullptr;
}

// Stores `value` under `name` with `flags`; a property already there keeps its
// place in the listing order.
void Store(Vm& vm, Object* object, const std::string& name, Value value, std::uint16_t flags, Object* getter,
           Object* setter) {
  Property* existing = vm.FindOwnAny(object, name);
  const std::uint64_t order = existing ? existing->order : 0;
  vm.Define(object, name, std::move(value), flags);
  Property* stored = vm.FindOwnAny(object, name);
  if (order != 0) stored->order = order;
  stored->getter = getter;
  stored->setter = setter;
}

}  // namespace

void InstallNativeTable(Vm& vm) {
  auto table = std::make_shared<Table>();
  for (const Category& category : Categories()) {
    for (std::size_t i = 0; i < category.paths.size(); ++i) {
      Object* function = nullptr;
      if (category.paths[i] == "trace") {
        function = vm.NewNative([](Vm& v, Object*, std::span<const Value> args) -> Value {
          v.Trace(Arg(args, 0));
          return Undefined{};
        });
      } else if (!category.paths[i].empty()) {
        function = Resolve(vm, category.paths[i]);
      }
      if (function) (*table)[{category.number, static_cast<std::int32_t>(i)}] = function;
    }
  }
  (*table)[{kMathCategory, -1}] = vm.NewNative([](Vm& v, Object*, std::span<const Value> args) -> Value {
    for (std::size_t i = 0; i < args.size() && i < 2; ++i) (void)v.ToNum(args[i]);
    return std::numeric_limits<double>::quiet_NaN();
  });

  vm.DefineMethod(vm.Global(), "ASnative", [table](Vm& v, Object*, std::span<const Value> args) -> Value {
    if (args.size() != 2) return Undefined{};
    const std::int32_t category = ToInt32(v.ToNum(args[0]));
    const std::int32_t index = ToInt32(v.ToNum(args[1]));
    Object* function = Lookup(*table, category, index);
    return function ? Value{function} : Value{Undefined{}};
  });

  // ASSetNative(object, category, "name,name,...", first index): each name
  // takes the next function of the category. A name the object already has
  // takes the function but keeps its flags.
  vm.DefineMethod(vm.Global(), "ASSetNative", [table](Vm& v, Object*, std::span<const Value> args) -> Value {
    const Value target = Arg(args, 0);
    auto* const* object = std::get_if<Object*>(&target);
    if (args.size() < 3 || !object || !*object) return Undefined{};
    const std::int32_t category = ToInt32(v.ToNum(args[1]));
    std::int32_t index = args.size() > 3 ? ToInt32(v.ToNum(args[3])) : 0;
    for (const ListedName& listed : ParseList(v.ToStr(args[2]))) {
      Object* function = Lookup(*table, category, index++);
      Value value = Undefined{};
      if (function) value = function;
      if (Property* existing = v.FindOwnAny(*object, listed.name); existing && !existing->getter) {
        existing->value = value;
      } else {
        Store(v, *object, listed.name, value, listed.flags, nullptr, nullptr);
      }
    }
    return Undefined{};
  });

  // ASSetNativeAccessor(object, category, "name,...", first index): each name
  // becomes a property read by the next function of the category and written
  // by the one after it.
  vm.DefineMethod(vm.Global(), "ASSetNativeAccessor", [table](Vm& v, Object*, std::span<const Value> args) -> Value {
    const Value target = Arg(args, 0);
    auto* const* object = std::get_if<Object*>(&target);
    if (args.size() < 3 || !object || !*object) return Undefined{};
    const std::int32_t category = ToInt32(v.ToNum(args[1]));
    std::int32_t index = args.size() > 3 ? ToInt32(v.ToNum(args[3])) : 0;
    for (const ListedName& listed : ParseList(v.ToStr(args[2]))) {
      Object* getter = Lookup(*table, category, index);
      Object* setter = Lookup(*table, category, index + 1);
      index += 2;
      Store(v, *object, listed.name, Undefined{}, listed.flags, getter, setter);
    }
    return Undefined{};
  });
}

}  // namespace swf
