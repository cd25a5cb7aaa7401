// Number and Boolean: the wrapper classes and their conversions.

#include <cmath>
#include <limits>

#include "vm.h"

namespace swf {

namespace {

std::string IntegerInRadix(double number, int radix) {
  const bool negative = number < 0;
  auto magnitude = static_cast<std::uint64_t>(std::fabs(std::trunc(number)));
  std::string digits;
  do {
    digits.insert(digits.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[magnitude % static_cast<unsigned>(radix)]);
    magnitude /= static_cast<unsigned>(radix);
  } while (magnitude > 0);
  return negative ? "-" + digits : digits;
}

double SelfNumber(Vm& vm, Object* self) {
  if (self && self->kind == ObjectKind::Number) return ToNumber(self->primitive, vm.Version());
  return std::numeric_limits<double>::quiet_NaN();
}

}  // namespace

void InstallNumberAndBoolean(Vm& vm) {
  Object* numberProto = vm.NewPlain();
  vm.numberProto_ = numberProto;
  Object* number = vm.NewNative(
      [](Vm& v, Object* self, std::span<const Value> args) -> Value {
        const double value = args.empty() ? 0.0 : v.ToNum(args[0]);
        if (v.constructing && self) {
          self->kind = ObjectKind::Number;
          self->primitive = value;
          return self;
        }
        return value;
      },
      true);
  vm.Define(number, "prototype", Value{numberProto}, kDontEnum | kDontDelete);
  vm.Define(numberProto, "constructor", Value{number}, kDontEnum);
  vm.Define(vm.Global(), "Number", Value{number});
  vm.Define(number, "MAX_VALUE", std::numeric_limits<double>::max(), kDontEnum | kDontDelete | kReadOnly);
  vm.Define(number, "MIN_VALUE", std::numeric_limits<double>::denorm_min(), kDontEnum | kDontDelete | kReadOnly);
  vm.Define(number, "NaN", std::numeric_limits<double>::quiet_NaN(), kDontEnum | kDontDelete | kReadOnly);
  vm.Define(number, "POSITIVE_INFINITY", std::numeric_limits<double>::infinity(), kDontEnum | kDontDelete | kReadOnly);
  vm.Define(number, "NEGATIVE_INFINITY", -std::numeric_limits<double>::infinity(), kDontEnum | kDontDelete | kReadOnly);
  vm.DefineMethod(numberProto, "toString", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    const double value = SelfNumber(v, self);
    const double radix = args.empty() ? 10 : v.ToNum(args[0]);
    if (radix == 10 || std::isnan(radix) || radix < 2 || radix > 36 || !std::isfinite(value)) {
      return NumberToString(value);
    }
    return IntegerInRadix(value, static_cast<int>(radix));
  });
  vm.DefineMethod(numberProto, "valueOf",
                  [](Vm& v, Object* self, std::span<const Value>) -> Value { return SelfNumber(v, self); });

  Object* booleanProto = vm.NewPlain();
  vm.booleanProto_ = booleanProto;
  Object* boolean = vm.NewNative(
      [](Vm& v, Object* self, std::span<const Value> args) -> Value {
        const bool value = !args.empty() && v.ToBool(args[0]);
        if (v.constructing && self) {
          self->kind = ObjectKind::Boolean;
          self->primitive = value;
          return self;
        }
        // Called as a function with nothing to convert, it gives nothing.
        if (args.empty()) return Undefined{};
        return value;
      },
      true);
  vm.Define(boolean, "prototype", Value{booleanProto}, kDontEnum | kDontDelete);
  vm.Define(booleanProto, "constructor", Value{boolean}, kDontEnum);
  vm.Define(vm.Global(), "Boolean", Value{boolean});
  const auto selfBool = [](Object* self) {
    return self && self->kind == ObjectKind::Boolean && std::get_if<bool>(&self->primitive) &&
           std::get<bool>(self->primitive);
  };
  vm.DefineMethod(booleanProto, "toString", [selfBool](Vm&, Object* self, std::span<const Value>) -> Value {
    return std::string(selfBool(self) ? "true" : "false");
  });
  vm.DefineMethod(booleanProto, "valueOf",
                  [selfBool](Vm&, Object* self, std::span<const Value>) -> Value { return selfBool(self); });
}

}  // namespace swf
