// String: the wrapper class and its methods, which count characters (code
// points), not bytes.

#include <algorithm>
#include <cmath>

#include "vm.h"

namespace swf {

std::string CodePointText(std::uint32_t codePoint);

namespace {

std::vector<std::uint32_t> Decode(std::string_view text) {
  std::vector<std::uint32_t> out;
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = [&](std::size_t k) { return k < text.size() ? static_cast<unsigned char>(text[k]) : 0u; };
    const unsigned first = byte(i);
    std::uint32_t cp = first;
    std::size_t length = 1;
    if ((first & 0xE0u) == 0xC0u) {
      cp = ((first & 0x1Fu) << 6u) | (byte(i + 1) & 0x3Fu);
      length = 2;
    } else if ((first & 0xF0u) == 0xE0u) {
      cp = ((first & 0x0Fu) << 12u) | ((byte(i + 1) & 0x3Fu) << 6u) | (byte(i + 2) & 0x3Fu);
      length = 3;
    } else if ((first & 0xF8u) == 0xF0u) {
      cp = ((first & 0x07u) << 18u) | ((byte(i + 1) & 0x3Fu) << 12u) | ((byte(i + 2) & 0x3Fu) << 6u) |
           (byte(i + 3) & 0x3Fu);
      length = 4;
    }
    out.push_back(cp);
    i += length;
  }
  return out;
}

std::string Encode(const std::vector<std::uint32_t>& codes, std::size_t from, std::size_t to) {
  std::string out;
  for (std::size_t i = from; i < to && i < codes.size(); ++i) out += CodePointText(codes[i]);
  return out;
}

std::string SelfText(Vm& vm, Object* self) {
  if (!self) return "";
  if (self->kind == ObjectKind::String) return ToString(self->primitive, vm.Version());
  return vm.ToStr(Value{self});
}

double Integer(Vm& vm, const Value& value) {
  const double number = vm.ToNum(value);
  return std::isnan(number) ? 0 : std::trunc(number);
}

std::size_t Clamp(double at, std::size_t length) {
  if (at < 0) return 0;
  return static_cast<std::size_t>(std::min(at, static_cast<double>(length)));
}

std::string CaseMapped(const std::string& text, bool upper) {
  std::string out = text;
  for (char& ch : out) {
    ch = static_cast<char>(upper ? std::toupper(static_cast<unsigned char>(ch))
                                 : std::tolower(static_cast<unsigned char>(ch)));
  }
  return out;
}

Value Split(Vm& vm, Object* self, std::span<const Value> args) {
  const std::string text = SelfText(vm, self);
  Object* result = vm.NewArray();
  if (std::holds_alternative<Undefined>(Arg(args, 0))) {
    result->elements.emplace_back(text);
    return result;
  }
  const std::string separator = vm.ToStr(Arg(args, 0));
  std::size_t limit = kMaxArrayLength;
  if (!std::holds_alternative<Undefined>(Arg(args, 1))) {
    const double wanted = vm.ToNum(Arg(args, 1));
    limit = wanted > 0 ? static_cast<std::size_t>(std::min(wanted, static_cast<double>(kMaxArrayLength))) : 0;
  }
  if (separator.empty()) {
    const std::vector<std::uint32_t> codes = Decode(text);
    for (std::size_t i = 0; i < codes.size() && result->elements.size() < limit; ++i) {
      result->elements.emplace_back(CodePointText(codes[i]));
    }
    return result;
  }
  std::size_t start = 0;
  while (result->elements.size() < limit) {
    const std::size_t found = text.find(separator, start);
    result->elements.emplace_back(text.substr(start, found == std::string::npos ? std::string::npos : found - start));
    if (found == std::string::npos) break;
    start = found + separator.size();
  }
  return result;
}

}  // namespace

void InstallStringClass(Vm& vm) {
  Object* proto = vm.NewPlain();
  vm.stringProto_ = proto;
  Object* string = vm.NewNative(
      [](Vm& v, Object* self, std::span<const Value> args) -> Value {
        const std::string text = args.empty() ? std::string() : v.ToStr(args[0]);
        if (v.constructing && self) {
          self->kind = ObjectKind::String;
          self->primitive = text;
          return self;
        }
        return text;
      },
      true);
  vm.Define(string, "prototype", Value{proto}, kDontEnum | kDontDelete);
  vm.Define(proto, "constructor", Value{string}, kDontEnum);
  vm.Define(vm.Global(), "String", Value{string});
  vm.DefineMethod(string, "fromCharCode", [](Vm& v, Object*, std::span<const Value> args) -> Value {
    std::string out;
    for (const Value& code : args) out += CodePointText(static_cast<std::uint32_t>(ToInt32(v.ToNum(code))) & 0xFFFFu);
    return out;
  });
  vm.DefineMethod(proto, "toString",
                  [](Vm& v, Object* self, std::span<const Value>) -> Value { return SelfText(v, self); });
  vm.DefineMethod(proto, "valueOf",
                  [](Vm& v, Object* self, std::span<const Value>) -> Value { return SelfText(v, self); });
  vm.DefineMethod(proto, "toUpperCase", [](Vm& v, Object* self, std::span<const Value>) -> Value {
    return CaseMapped(SelfText(v, self), true);
  });
  vm.DefineMethod(proto, "toLowerCase", [](Vm& v, Object* self, std::span<const Value>) -> Value {
    return CaseMapped(SelfText(v, self), false);
  });
  vm.DefineMethod(proto, "charAt", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    const std::vector<std::uint32_t> codes = Decode(SelfText(v, self));
    const double at = Integer(v, Arg(args, 0));
    if (at < 0 || at >= static_cast<double>(codes.size())) return std::string();
    return CodePointText(codes[static_cast<std::size_t>(at)]);
  });
  vm.DefineMethod(proto, "charCodeAt", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    const std::vector<std::uint32_t> codes = Decode(SelfText(v, self));
    const double at = Integer(v, Arg(args, 0));
    if (at < 0 || at >= static_cast<double>(codes.size())) return std::nan("");
    return static_cast<double>(codes[static_cast<std::size_t>(at)]);
  });
  vm.DefineMethod(proto, "concat", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    std::string text = SelfText(v, self);
    for (const Value& value : args) {
      text += v.ToStr(value);
      if (text.size() > kMaxStringBytes) break;
    }
    return text;
  });
  vm.DefineMethod(proto, "indexOf", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    const std::vector<std::uint32_t> codes = Decode(SelfText(v, self));
    const std::vector<std::uint32_t> wanted = Decode(v.ToStr(Arg(args, 0)));
    const std::size_t from = Clamp(Integer(v, Arg(args, 1)), codes.size());
    const auto found =
        std::search(codes.begin() + static_cast<std::ptrdiff_t>(from), codes.end(), wanted.begin(), wanted.end());
    if (found == codes.end() && !(wanted.empty() && from <= codes.size())) return -1.0;
    return static_cast<double>(found - codes.begin());
  });
  vm.DefineMethod(proto, "lastIndexOf", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    const std::vector<std::uint32_t> codes = Decode(SelfText(v, self));
    const std::vector<std::uint32_t> wanted = Decode(v.ToStr(Arg(args, 0)));
    double from = static_cast<double>(codes.size());
    if (args.size() > 1) from = Integer(v, args[1]);
    if (from < 0) return -1.0;
    for (std::size_t i = std::min(static_cast<std::size_t>(std::min(from, 1e9)), codes.size()) + 1; i-- > 0;) {
      if (i + wanted.size() <= codes.size() &&
          std::equal(wanted.begin(), wanted.end(), codes.begin() + static_cast<std::ptrdiff_t>(i))) {
        return static_cast<double>(i);
      }
    }
    return -1.0;
  });
  vm.DefineMethod(proto, "substr", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    const std::vector<std::uint32_t> codes = Decode(SelfText(v, self));
    const double length = static_cast<double>(codes.size());
    double start = Integer(v, Arg(args, 0));
    if (start < 0) start = std::max(0.0, length + start);
    double count = length;
    if (args.size() > 1 && !std::holds_alternative<Undefined>(args[1])) count = Integer(v, args[1]);
    // A negative count leaves that many characters off the whole text's end,
    // counted from the start; a start that far in gives nothing.
    if (count < 0) count = start >= -count ? 0.0 : std::max(0.0, length + count);
    const std::size_t from = Clamp(start, codes.size());
    const std::size_t to = Clamp(start + count, codes.size());
    return Encode(codes, from, to);
  });
  vm.DefineMethod(proto, "substring", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    const std::vector<std::uint32_t> codes = Decode(SelfText(v, self));
    std::size_t from = Clamp(Integer(v, Arg(args, 0)), codes.size());
    std::size_t to = codes.size();
    if (args.size() > 1 && !std::holds_alternative<Undefined>(args[1])) to = Clamp(Integer(v, args[1]), codes.size());
    if (from > to) std::swap(from, to);
    return Encode(codes, from, to);
  });
  vm.DefineMethod(proto, "slice", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    const std::vector<std::uint32_t> codes = Decode(SelfText(v, self));
    const double length = static_cast<double>(codes.size());
    double start = Integer(v, Arg(args, 0));
    double end = length;
    if (args.size() > 1 && !std::holds_alternative<Undefined>(args[1])) end = Integer(v, args[1]);
    if (start < 0) start = std::max(0.0, length + start);
    if (end < 0) end = std::max(0.0, length + end);
    if (end <= start) return std::string();
    return Encode(codes, Clamp(start, codes.size()), Clamp(end, codes.size()));
  });
  vm.DefineMethod(proto, "split",
                  [](Vm& v, Object* self, std::span<const Value> args) { return Split(v, self, args); });
}

}  // namespace swf
