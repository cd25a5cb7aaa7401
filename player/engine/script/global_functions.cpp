// The global functions (parseInt, escape, setInterval, ...) and Error.

#include <algorithm>
#include <cmath>
#include <limits>

#include "vm.h"

namespace swf {

std::string CodePointText(std::uint32_t codePoint);

namespace {

bool IsParseBlank(char ch) { return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r'; }

bool StartsWithHexPrefix(std::string_view text, std::size_t at) {
  return text.size() > at + 1 && text[at] == '0' && (text[at + 1] == 'x' || text[at + 1] == 'X');
}

// The digits of `radix` from `at` on; NaN when there is none.
double DigitsInRadix(std::string_view text, std::size_t at, int radix) {
  double value = 0;
  bool any = false;
  for (; at < text.size(); ++at) {
    const char ch = static_cast<char>(std::tolower(static_cast<unsigned char>(text[at])));
    int digit = -1;
    if (ch >= '0' && ch <= '9') digit = ch - '0';
    if (ch >= 'a' && ch <= 'z') digit = ch - 'a' + 10;
    if (digit < 0 || digit >= radix) break;
    value = value * radix + digit;
    any = true;
  }
  return any ? value : std::numeric_limits<double>::quiet_NaN();
}

// A leading zero means octal only when the whole text (a sign aside) is octal digits.
bool AllOctal(std::string_view text, std::size_t at) {
  if (text.size() < at + 2 || text[at] != '0') return false;
  return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(at), text.end(),
                     [](char ch) { return ch >= '0' && ch <= '7'; });
}

// parseInt as the player reads it: a "0x" prefix counts only at the very
// start (then a sign may follow it), a sign right before "0x" is dropped and
// makes the number need an explicit radix, and a radix outside 2..36 gives NaN.
Value ParseInt(Vm& vm, std::span<const Value> args) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  if (args.empty()) return Undefined{};
  const std::string text = vm.ToStr(args[0]);
  int radix = 0;
  if (args.size() > 1) {
    const double given = vm.ToNum(args[1]);
    if (!(given >= 2 && given < 37)) return kNaN;
    radix = static_cast<int>(given);
  }
  if (!text.empty() && (text[0] == '-' || text[0] == '+') && StartsWithHexPrefix(text, 1)) {
    if (radix == 0 || radix <= 33) return kNaN;  // the 'x' must be a digit of the radix
    return DigitsInRadix(text, 1, radix);
  }
  std::size_t i = 0;
  if (StartsWithHexPrefix(text, 0)) {
    i = 2;
    if (radix == 0) radix = 16;
  }
  const bool prefixed = i == 2;
  while (i < text.size() && IsParseBlank(text[i])) ++i;
  bool negative = false;
  const std::size_t signAt = i;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (radix == 0) radix = !prefixed && signAt == 0 && AllOctal(text, i) ? 8 : 10;
  const double value = DigitsInRadix(text, i, radix);
  return negative ? -value : value;
}

double ParseFloat(Vm& vm, std::span<const Value> args) {
  const std::string text = vm.ToStr(Arg(args, 0));
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r')) ++i;
  std::size_t end = i;
  if (end < text.size() && (text[end] == '-' || text[end] == '+')) ++end;
  bool digits = false;
  while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) digits = ++end;
  if (end < text.size() && text[end] == '.') {
    ++end;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) digits = ++end;
  }
  if (!digits) return std::numeric_limits<double>::quiet_NaN();
  if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
    std::size_t exponent = end + 1;
    if (exponent < text.size() && (text[exponent] == '-' || text[exponent] == '+')) ++exponent;
    if (exponent < text.size() && std::isdigit(static_cast<unsigned char>(text[exponent]))) {
      end = exponent;
      while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
    }
  }
  return StringToNumber(text.substr(i, end - i));
}

std::string Escape(const std::string& text) {
  std::string out;
  for (const char raw : text) {
    const auto ch = static_cast<unsigned char>(raw);
    if (std::isalnum(ch)) {
      out += raw;
    } else {
      constexpr char kHex[] = "0123456789ABCDEF";
      out += '%';
      out += kHex[ch >> 4u];
      out += kHex[ch & 15u];
    }
  }
  return out;
}

// "%XY" gives the byte XY and "+" a space; a broken escape ("%", "%z",
// "%4z") is dropped with the characters it took.
std::string Unescape(const std::string& text) {
  std::string out;
  const auto hex = [](char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return -1;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      out += ' ';
    } else if (text[i] != '%') {
      out += text[i];
    } else if (i + 1 >= text.size() || hex(text[i + 1]) < 0) {
      ++i;
    } else if (i + 2 >= text.size() || hex(text[i + 2]) < 0) {
      i += 2;
    } else {
      out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
      i += 2;
    }
  }
  return out;
}

Value AddTimer(Vm& vm, std::span<const Value> args, bool repeat) {
  Vm::Timer timer;
  std::size_t next = 0;
  auto* const* first = std::get_if<Object*>(&args[0]);
  if (first && (*first)->kind == ObjectKind::Function) {
    timer.function = args[0];
    next = 1;
  } else if (first && args.size() >= 2) {
    timer.self = args[0];
    timer.method = vm.ToStr(args[1]);
    next = 2;
  } else {
    return Undefined{};
  }
  if (args.size() <= next) return Undefined{};
  timer.interval = std::max(1.0, vm.ToNum(args[next]));
  if (std::isnan(timer.interval)) timer.interval = 1;
  timer.args.assign(args.begin() + static_cast<std::ptrdiff_t>(next + 1), args.end());
  timer.due = vm.nowMillis + timer.interval;
  timer.repeat = repeat;
  timer.id = vm.nextTimerId++;
  if (vm.timers.size() >= 10000) return Undefined{};
  vm.timers.push_back(std::move(timer));
  return static_cast<double>(vm.timers.back().id);
}

Value ClearTimer(Vm& vm, std::span<const Value> args) {
  const double id = vm.ToNum(Arg(args, 0));
  std::erase_if(vm.timers, [id](const Vm::Timer& timer) { return timer.id == id; });
  return Undefined{};
}

}  // namespace

void Vm::RunTimers(std::size_t& budgetLeft) {
  const RunScope running(*this);
  std::size_t* const savedBudget = budget;
  budget = &budgetLeft;
  std::vector<int> due;
  for (const Timer& timer : timers) {
    if (timer.due <= nowMillis) due.push_back(timer.id);
  }
  for (const int id : due) {
    const auto found = std::find_if(timers.begin(), timers.end(), [id](const Timer& t) { return t.id == id; });
    if (found == timers.end()) continue;
    const Timer timer = *found;
    if (timer.repeat) {
      found->due = std::max(found->due + found->interval, nowMillis);
    } else {
      timers.erase(found);
    }
    try {
      if (!timer.method.empty()) {
        const Value method = Get(timer.self, timer.method);
        (void)Call(method, timer.self, timer.args);
      } else {
        (void)Call(timer.function, Undefined{}, timer.args);
      }
    } catch (const ScriptThrow& thrown) {
      ReportUncaught(thrown.value);
    } catch (const ScriptAbort&) {
      break;
    }
  }
  budget = savedBudget;
}

namespace {

// Takes the first element that is == `value` out of `list`.
bool RemoveFirstEqual(Vm& vm, Object& list, const Value& value) {
  for (auto it = list.elements.begin(); it != list.elements.end(); ++it) {
    if (vm.Equals(*it, value)) {
      list.elements.erase(it);
      return true;
    }
  }
  return false;
}

}  // namespace

// AsBroadcaster: initialize(object) gives it a _listeners array and the
// methods that keep it and send every listener a message.
void InstallAsBroadcaster(Vm& vm) {
  Object* broadcaster = vm.NewNative([](Vm&, Object*, std::span<const Value>) -> Value { return Undefined{}; }, true);
  const auto listeners = [](Vm& v, Object* self) -> Object* {
    const Value list = self ? v.GetMember(self, "_listeners") : Value{Undefined{}};
    auto* const* array = std::get_if<Object*>(&list);
    return array && (*array)->kind == ObjectKind::Array ? *array : nullptr;
  };
  vm.DefineMethod(broadcaster, "addListener", [listeners](Vm& v, Object* self, std::span<const Value> args) -> Value {
    Object* list = listeners(v, self);
    if (!list) return true;
    // A listener equal to the new one (by ==) gives way to it at the end.
    const Value listener = Arg(args, 0);
    if (!RemoveFirstEqual(v, *list, listener) && !v.Charge(sizeof(Value))) return true;
    if (list->elements.size() < kMaxArrayLength) list->elements.push_back(listener);
    return true;
  });
  vm.DefineMethod(broadcaster, "removeListener",
                  [listeners](Vm& v, Object* self, std::span<const Value> args) -> Value {
                    Object* list = listeners(v, self);
                    if (!list) return false;
                    return RemoveFirstEqual(v, *list, Arg(args, 0));
                  });
  vm.DefineMethod(broadcaster, "broadcastMessage",
                  [listeners](Vm& v, Object* self, std::span<const Value> args) -> Value {
                    Object* list = listeners(v, self);
                    if (!list || args.empty()) return Undefined{};
                    const std::string message = v.ToStr(args[0]);
                    const std::vector<Value> copy = list->elements;  // listeners may change the list
                    for (const Value& listener : copy) {
                      // An empty name calls the listener itself, as a method call
                      // with no name does.
                      const Value method = message.empty() ? listener : v.Get(listener, message);
                      (void)v.Call(method, listener, args.subspan(1));
                    }
                    return copy.empty() ? Value{Undefined{}} : Value{true};
                  });
  vm.DefineMethod(broadcaster, "initialize", [broadcaster](Vm& v, Object*, std::span<const Value> args) -> Value {
    const Value target = Arg(args, 0);
    auto* const* object = std::get_if<Object*>(&target);
    if (!object) return Undefined{};
    for (const char* name : {"broadcastMessage", "addListener", "removeListener"}) {
      v.Define(*object, name, v.GetMember(broadcaster, name), kDontEnum);
    }
    v.Define(*object, "_listeners", Value{v.NewArray()}, kDontEnum);
    return Undefined{};
  });
  // A function like any class: it has a prototype object, though nothing is built from it.
  Object* prototype = vm.NewPlain();
  vm.Define(prototype, "constructor", Value{broadcaster});
  vm.Define(broadcaster, "prototype", Value{prototype});
  vm.Define(vm.Global(), "AsBroadcaster", Value{broadcaster});
}

void InstallGlobalFunctions(Vm& vm) {
  InstallAsBroadcaster(vm);
  Object* global = vm.Global();
  // The platform leaves a global `o` holding null for the movies of version 8 on.
  vm.Define(global, "o", Null{}, kDontEnum | kVersion8);
  vm.DefineMethod(global, "parseInt",
                  [](Vm& v, Object*, std::span<const Value> args) -> Value { return ParseInt(v, args); });
  vm.DefineMethod(global, "parseFloat",
                  [](Vm& v, Object*, std::span<const Value> args) -> Value { return ParseFloat(v, args); });
  vm.DefineMethod(global, "isNaN", [](Vm& v, Object*, std::span<const Value> args) -> Value {
    // No argument at all is no number, even where undefined reads as 0.
    return args.empty() || std::isnan(v.ToNum(args[0]));
  });
  vm.DefineMethod(global, "isFinite", [](Vm& v, Object*, std::span<const Value> args) -> Value {
    // No argument at all is no number (an undefined one reads as 0 before version 7).
    return !args.empty() && std::isfinite(v.ToNum(args[0]));
  });
  vm.DefineMethod(global, "escape",
                  [](Vm& v, Object*, std::span<const Value> args) -> Value { return Escape(v.ToStr(Arg(args, 0))); });
  vm.DefineMethod(global, "unescape", [](Vm& v, Object*, std::span<const Value> args) -> Value {
    if (args.empty()) return Undefined{};
    return Unescape(v.ToStr(args[0]));
  });
  vm.DefineMethod(global, "getTimer",
                  [](Vm& v, Object*, std::span<const Value>) -> Value { return std::floor(v.nowMillis); });
  vm.DefineMethod(global, "setInterval", [](Vm& v, Object*, std::span<const Value> args) -> Value {
    return args.empty() ? Value{Undefined{}} : AddTimer(v, args, true);
  });
  vm.DefineMethod(global, "setTimeout", [](Vm& v, Object*, std::span<const Value> args) -> Value {
    return args.empty() ? Value{Undefined{}} : AddTimer(v, args, false);
  });
  vm.DefineMethod(global, "clearInterval",
                  [](Vm& v, Object*, std::span<const Value> args) -> Value { return ClearTimer(v, args); });
  vm.DefineMethod(global, "clearTimeout",
                  [](Vm& v, Object*, std::span<const Value> args) -> Value { return ClearTimer(v, args); });
  vm.Define(global, "NaN", std::numeric_limits<double>::quiet_NaN());
  vm.Define(global, "Infinity", std::numeric_limits<double>::infinity());

  Object* errorProto = vm.NewPlain();
  vm.errorProto_ = errorProto;
  Object* error = vm.NewNative(
      [](Vm& v, Object* self, std::span<const Value> args) -> Value {
        if (self && !args.empty() && !std::holds_alternative<Undefined>(args[0])) {
          v.SetMember(self, "message", args[0]);
        }
        return Undefined{};
      },
      true);
  vm.Define(error, "prototype", Value{errorProto}, kDontEnum | kDontDelete);
  vm.Define(errorProto, "constructor", Value{error}, kDontEnum);
  vm.Define(errorProto, "message", std::string("Error"), kDontEnum);
  vm.Define(errorProto, "name", std::string("Error"), kDontEnum);
  vm.DefineMethod(errorProto, "toString", [](Vm& v, Object* self, std::span<const Value>) -> Value {
    return v.ToStr(v.GetMember(self, "message"));
  });
  vm.Define(global, "Error", Value{error});
}

}  // namespace swf
