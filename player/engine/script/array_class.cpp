// Array: elements, the list methods and sort/sortOn with their options.

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

#include "vm.h"

namespace swf {

namespace {

constexpr int kCaseInsensitive = 1;
constexpr int kDescending = 2;
constexpr int kUniqueSort = 4;
constexpr int kReturnIndexedArray = 8;
constexpr int kNumeric = 16;

Object* AsObject(const Value& value) {
  auto* const* object = std::get_if<Object*>(&value);
  return object ? *object : nullptr;
}

std::string ElementText(Vm& vm, const Value& value) {
  if (std::holds_alternative<Undefined>(value)) return "undefined";
  return vm.ToStr(value);
}

std::string Join(Vm& vm, Object* self, const std::string& separator) {
  if (!self || self->kind != ObjectKind::Array) return "";
  if (vm.callDepth > 64) return "";
  std::string text;
  for (std::size_t i = 0; i < self->elements.size(); ++i) {
    if (i) text += separator;
    text += ElementText(vm, self->elements[i]);
    if (text.size() > kMaxStringBytes) break;
  }
  return text;
}

// A relative position as slice and splice take it.
std::size_t Position(Vm& vm, const Value& value, std::size_t length, std::size_t fallback) {
  if (std::holds_alternative<Undefined>(value)) return fallback;
  double at = vm.ToNum(value);
  if (std::isnan(at)) at = 0;
  at = std::trunc(at);
  if (at < 0) at = std::max(0.0, static_cast<double>(length) + at);
  return static_cast<std::size_t>(std::min(at, static_cast<double>(length)));
}

int Compare(Vm& vm, const Value& a, const Value& b, int options) {
  if (options & kNumeric) {
    const double x = vm.ToNum(a);
    const double y = vm.ToNum(b);
    if (x < y) return -1;
    if (x > y) return 1;
    return 0;
  }
  std::string x = ElementText(vm, a);
  std::string y = ElementText(vm, b);
  if (options & kCaseInsensitive) {
    for (char& ch : x) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    for (char& ch : y) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  }
  return x.compare(y) < 0 ? -1 : (x == y ? 0 : 1);
}

// The platform's quicksort, kept step for step because a comparator with side
// effects (or an inconsistent one) shows the order of its calls: the first
// element of a range is the pivot and the first argument of every comparison;
// the left scan stops at the first element not below the pivot (short of the
// right scan's position), the right scan at the first element below it; the
// two swap and both scans start again where they stopped. Equal elements end
// up wherever the partitions leave them. The left range is sorted before the
// right one; an explicit stack keeps a sorted input from nesting deeply.
void PlatformQuicksort(std::vector<std::size_t>& order, const std::function<int(std::size_t, std::size_t)>& compare) {
  std::vector<std::pair<std::size_t, std::size_t>> ranges;
  if (order.size() > 1) ranges.emplace_back(0, order.size() - 1);
  while (!ranges.empty()) {
    const auto [lo, hi] = ranges.back();
    ranges.pop_back();
    if (lo >= hi) continue;
    const std::size_t pivot = order[lo];
    std::size_t left = lo + 1;
    std::size_t right = hi;
    for (;;) {
      while (left < right && compare(pivot, order[left]) > 0) ++left;
      while (right > lo && compare(pivot, order[right]) <= 0) --right;
      if (left >= right) break;
      std::swap(order[left], order[right]);
    }
    std::swap(order[lo], order[right]);
    ranges.emplace_back(right + 1, hi);
    if (right > lo) ranges.emplace_back(lo, right - 1);
  }
}

// Sorts `self` by `less`-style three-way comparison; the options decide the
// result (the array sorted in place, a new array of indices, or 0 when
// UNIQUESORT finds equal elements).
Value SortWith(Vm& vm, Object* self, int options, const std::function<int(const Value&, const Value&)>& compare) {
  std::vector<std::size_t> order(self->elements.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  bool equalFound = false;
  PlatformQuicksort(order, [&](std::size_t a, std::size_t b) {
    int c = compare(self->elements[a], self->elements[b]);
    if (c == 0 && a != b) equalFound = true;
    if (options & kDescending) c = -c;
    return c;
  });
  if ((options & kUniqueSort) && equalFound) return 0.0;
  if (options & kReturnIndexedArray) {
    std::vector<Value> indices;
    for (const std::size_t i : order) indices.emplace_back(static_cast<double>(i));
    return vm.NewArray(std::move(indices));
  }
  std::vector<Value> sorted;
  for (const std::size_t i : order) sorted.push_back(self->elements[i]);
  Vm::FillHoles(self);
  self->elements = std::move(sorted);
  return self;
}

Value Sort(Vm& vm, Object* self, std::span<const Value> args) {
  if (!self || self->kind != ObjectKind::Array) return Undefined{};
  Object* function = AsObject(Arg(args, 0));
  if (function && function->kind == ObjectKind::Function) {
    const int options = ToInt32(vm.ToNum(Arg(args, 1)));
    return SortWith(vm, self, options, [&](const Value& a, const Value& b) {
      const Value pair[2] = {a, b};
      const double c = vm.ToNum(vm.Call(Value{function}, Undefined{}, pair));
      return c < 0 ? -1 : (c > 0 ? 1 : 0);
    });
  }
  const int options = args.empty() ? 0 : ToInt32(vm.ToNum(Arg(args, 0)));
  return SortWith(vm, self, options, [&](const Value& a, const Value& b) { return Compare(vm, a, b, options); });
}

Value SortOn(Vm& vm, Object* self, std::span<const Value> args) {
  if (!self || self->kind != ObjectKind::Array) return Undefined{};
  std::vector<std::string> fields;
  std::vector<int> fieldOptions;
  if (Object* list = AsObject(Arg(args, 0)); list && list->kind == ObjectKind::Array) {
    for (const Value& name : list->elements) fields.push_back(vm.ToStr(name));
  } else {
    fields.push_back(vm.ToStr(Arg(args, 0)));
  }
  int options = 0;
  if (Object* list = AsObject(Arg(args, 1)); list && list->kind == ObjectKind::Array) {
    for (const Value& option : list->elements) fieldOptions.push_back(ToInt32(vm.ToNum(option)));
  } else {
    options = ToInt32(vm.ToNum(Arg(args, 1)));
  }
  if (fieldOptions.size() != fields.size()) fieldOptions.assign(fields.size(), options);
  const int sortOptions = fieldOptions.empty() ? options : (fieldOptions[0] & (kUniqueSort | kReturnIndexedArray));
  return SortWith(vm, self, sortOptions, [&](const Value& a, const Value& b) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
      const Value x = vm.Get(a, fields[i]);
      const Value y = vm.Get(b, fields[i]);
      int c = Compare(vm, x, y, fieldOptions[i]);
      if ((fieldOptions[i] & kDescending) && !(sortOptions & kDescending)) c = -c;
      if (c != 0) return c;
    }
    return 0;
  });
}

}  // namespace

void InstallArrayClass(Vm& vm) {
  Object* proto = vm.NewPlain();
  vm.arrayProto_ = proto;
  Object* array = vm.NewNative(
      [](Vm& v, Object*, std::span<const Value> args) -> Value {
        if (args.size() == 1 && std::holds_alternative<double>(args[0])) {
          const double length = std::get<double>(args[0]);
          if (length >= 0 && length <= static_cast<double>(kMaxArrayLength)) {
            // An array of that length with no elements: every index a hole.
            Object* made = v.NewArray();
            if (v.Charge(static_cast<std::size_t>(length) * sizeof(Value))) {
              v.SetArrayLength(made, static_cast<std::size_t>(length));
            }
            return made;
          }
          return v.NewArray();
        }
        return v.NewArray(std::vector<Value>(args.begin(), args.end()));
      },
      true);
  vm.Define(array, "prototype", Value{proto}, kDontEnum | kDontDelete);
  vm.Define(proto, "constructor", Value{array}, kDontEnum);
  vm.Define(vm.Global(), "Array", Value{array});
  vm.Define(array, "CASEINSENSITIVE", 1.0, kDontEnum);
  vm.Define(array, "DESCENDING", 2.0, kDontEnum);
  vm.Define(array, "UNIQUESORT", 4.0, kDontEnum);
  vm.Define(array, "RETURNINDEXEDARRAY", 8.0, kDontEnum);
  vm.Define(array, "NUMERIC", 16.0, kDontEnum);

  const auto isArray = [](Object* self) { return self && self->kind == ObjectKind::Array; };
  vm.DefineMethod(proto, "push", [isArray](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!isArray(self)) return Undefined{};
    for (const Value& value : args) (void)v.SetElement(self, self->elements.size(), value);
    return static_cast<double>(self->elements.size());
  });
  vm.DefineMethod(proto, "pop", [isArray](Vm& v, Object* self, std::span<const Value>) -> Value {
    if (!isArray(self) || self->elements.empty()) return Undefined{};
    Value last = self->elements.back();
    v.SetArrayLength(self, self->elements.size() - 1);
    return last;
  });
  vm.DefineMethod(proto, "shift", [isArray](Vm&, Object* self, std::span<const Value>) -> Value {
    if (!isArray(self) || self->elements.empty()) return Undefined{};
    Value first = self->elements.front();
    Vm::FillHoles(self);
    self->elements.erase(self->elements.begin());
    return first;
  });
  vm.DefineMethod(proto, "unshift", [isArray](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!isArray(self)) return Undefined{};
    if (self->elements.size() + args.size() <= kMaxArrayLength && v.Charge(args.size() * sizeof(Value))) {
      Vm::FillHoles(self);
      self->elements.insert(self->elements.begin(), args.begin(), args.end());
    }
    return static_cast<double>(self->elements.size());
  });
  vm.DefineMethod(proto, "join", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    const std::string separator = std::holds_alternative<Undefined>(Arg(args, 0)) ? "," : v.ToStr(Arg(args, 0));
    return Join(v, self, separator);
  });
  vm.DefineMethod(proto, "toString",
                  [](Vm& v, Object* self, std::span<const Value>) -> Value { return Join(v, self, ","); });
  vm.DefineMethod(proto, "reverse", [isArray](Vm& v, Object* self, std::span<const Value>) -> Value {
    if (!isArray(self)) return Undefined{};
    // Each pair of elements from the two ends is read, deleted and stored
    // again swapped, so the two are listed as new elements (a hole among them
    // becomes undefined) unless their flags keep them; the middle one stays.
    const std::size_t length = self->elements.size();
    for (std::size_t low = 0, high = length; low + 1 < high; ++low) {
      --high;
      Value first = self->elements[low];
      Value last = self->elements[high];
      (void)v.DeleteMember(self, std::to_string(low));
      (void)v.DeleteMember(self, std::to_string(high));
      (void)v.SetElement(self, low, std::move(last));
      (void)v.SetElement(self, high, std::move(first));
    }
    return self;
  });
  vm.DefineMethod(proto, "concat", [isArray](Vm& v, Object* self, std::span<const Value> args) -> Value {
    std::vector<Value> elements;
    if (isArray(self)) elements = self->elements;
    for (const Value& value : args) {
      Object* other = AsObject(value);
      if (isArray(other)) {
        elements.insert(elements.end(), other->elements.begin(), other->elements.end());
      } else {
        elements.push_back(value);
      }
      if (elements.size() > kMaxArrayLength) break;
    }
    return v.NewArray(std::move(elements));
  });
  vm.DefineMethod(proto, "slice", [isArray](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!isArray(self)) return Undefined{};
    const std::size_t length = self->elements.size();
    const std::size_t start = Position(v, Arg(args, 0), length, 0);
    const std::size_t end = Position(v, Arg(args, 1), length, length);
    if (end <= start) return v.NewArray();
    return v.NewArray(std::vector<Value>(self->elements.begin() + static_cast<std::ptrdiff_t>(start),
                                         self->elements.begin() + static_cast<std::ptrdiff_t>(end)));
  });
  vm.DefineMethod(proto, "splice", [isArray](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!isArray(self) || args.empty()) return Undefined{};
    const std::size_t length = self->elements.size();
    const std::size_t start = Position(v, Arg(args, 0), length, 0);
    std::size_t count = length - start;
    if (args.size() > 1) {
      const double wanted = v.ToNum(args[1]);
      count = wanted > 0 ? std::min(count, static_cast<std::size_t>(std::min(wanted, 1e9))) : 0;
    }
    const auto first = self->elements.begin() + static_cast<std::ptrdiff_t>(start);
    std::vector<Value> removed(first, first + static_cast<std::ptrdiff_t>(count));
    Vm::FillHoles(self);
    self->elements.erase(first, first + static_cast<std::ptrdiff_t>(count));
    if (args.size() > 2 && self->elements.size() + args.size() <= kMaxArrayLength) {
      self->elements.insert(self->elements.begin() + static_cast<std::ptrdiff_t>(start), args.begin() + 2, args.end());
    }
    return v.NewArray(std::move(removed));
  });
  vm.DefineMethod(proto, "sort", [](Vm& v, Object* self, std::span<const Value> args) { return Sort(v, self, args); });
  vm.DefineMethod(proto, "sortOn",
                  [](Vm& v, Object* self, std::span<const Value> args) { return SortOn(v, self, args); });
}

}  // namespace swf
