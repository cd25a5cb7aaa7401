// Math: constants and functions of numbers.

#include <cmath>
#include <numbers>
#include <random>

#include "vm.h"

namespace swf {

namespace {

using Unary = double (*)(double);
using Binary = double (*)(double, double);

}  // namespace

void InstallMathClass(Vm& vm) {
  Object* math = vm.NewPlain();
  vm.Define(vm.Global(), "Math", Value{math});
  const std::pair<const char*, double> constants[] = {
      {"PI", std::numbers::pi},       {"E", std::numbers::e},
      {"LN2", std::numbers::ln2},     {"LN10", std::numbers::ln10},
      {"LOG2E", std::numbers::log2e}, {"LOG10E", std::numbers::log10e},
      {"SQRT2", std::numbers::sqrt2}, {"SQRT1_2", std::numbers::sqrt2 / 2}};
  for (const auto& [name, value] : constants) vm.Define(math, name, value, kDontEnum | kDontDelete | kReadOnly);

  const std::pair<const char*, Unary> unary[] = {
      {"abs", [](double x) { return std::fabs(x); }},         {"acos", [](double x) { return std::acos(x); }},
      {"asin", [](double x) { return std::asin(x); }},        {"atan", [](double x) { return std::atan(x); }},
      {"ceil", [](double x) { return std::ceil(x); }},        {"cos", [](double x) { return std::cos(x); }},
      {"exp", [](double x) { return std::exp(x); }},          {"floor", [](double x) { return std::floor(x); }},
      {"log", [](double x) { return std::log(x); }},          {"sin", [](double x) { return std::sin(x); }},
      {"sqrt", [](double x) { return std::sqrt(x); }},        {"tan", [](double x) { return std::tan(x); }},
      {"round", [](double x) { return std::floor(x + 0.5); }}};
  for (const auto& [name, entry] : unary) {
    const Unary function = entry;
    vm.DefineMethod(math, name, [function](Vm& v, Object*, std::span<const Value> args) -> Value {
      // The first two arguments convert, though only the first counts.
      double first = std::nan("");
      for (std::size_t i = 0; i < args.size() && i < 2; ++i) {
        const double number = v.ToNum(args[i]);
        if (i == 0) first = number;
      }
      return function(first);
    });
  }
  // A missing argument of the two-argument functions is NaN (so pow(1) is 1,
  // as the C library has it); the first converts before the second.
  const std::pair<const char*, Binary> binary[] = {{"atan2", [](double y, double x) { return std::atan2(y, x); }},
                                                   {"pow", [](double x, double y) { return std::pow(x, y); }}};
  for (const auto& [name, entry] : binary) {
    const Binary function = entry;
    vm.DefineMethod(math, name, [function](Vm& v, Object*, std::span<const Value> args) -> Value {
      const double first = args.empty() ? std::nan("") : v.ToNum(args[0]);
      return function(first, args.size() < 2 ? std::nan("") : v.ToNum(args[1]));
    });
  }
  vm.DefineMethod(math, "max", [](Vm& v, Object*, std::span<const Value> args) -> Value {
    if (args.size() < 2) return args.empty() ? -INFINITY : std::nan("");
    const double a = v.ToNum(args[0]);
    const double b = v.ToNum(args[1]);
    if (std::isnan(a) || std::isnan(b)) return std::nan("");
    return a > b ? a : b;
  });
  vm.DefineMethod(math, "min", [](Vm& v, Object*, std::span<const Value> args) -> Value {
    if (args.size() < 2) return args.empty() ? INFINITY : std::nan("");
    const double a = v.ToNum(args[0]);
    const double b = v.ToNum(args[1]);
    if (std::isnan(a) || std::isnan(b)) return std::nan("");
    return a < b ? a : b;
  });
  vm.DefineMethod(math, "random", [](Vm& v, Object*, std::span<const Value> args) -> Value {
    // Like every Math function, it converts its first two arguments.
    for (std::size_t i = 0; i < args.size() && i < 2; ++i) (void)v.ToNum(args[i]);
    // Seeded once per process from the system, so each run of a saver moves differently.
    static std::mt19937 engine(std::random_device{}());
    return std::uniform_real_distribution<double>(0.0, 1.0)(engine);
  });
}

}  // namespace swf
