// Date: milliseconds since 1970 in a wrapper, with fields in local time
// (the stand-in keeps local time equal to UTC) and in UTC.

#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>

#include "vm.h"

namespace swf {

namespace {

constexpr double kMsPerDay = 86400000.0;

struct Fields {
  double year, month, day, hours, minutes, seconds, ms, weekday;
};

double DaysFromCivil(double y, double m, double d) {
  y -= m <= 2 ? 1 : 0;
  const double era = std::floor(y / 400);
  const double yoe = y - era * 400;
  const double mp = std::fmod(m + 9, 12);
  const double doy = std::floor((153 * mp + 2) / 5) + d - 1;
  const double doe = yoe * 365 + std::floor(yoe / 4) - std::floor(yoe / 100) + doy;
  return era * 146097 + doe - 719468;
}

Fields Split(double time) {
  const double days = std::floor(time / kMsPerDay);
  double rest = time - days * kMsPerDay;
  Fields f{};
  f.hours = std::floor(rest / 3600000);
  rest -= f.hours * 3600000;
  f.minutes = std::floor(rest / 60000);
  rest -= f.minutes * 60000;
  f.seconds = std::floor(rest / 1000);
  f.ms = rest - f.seconds * 1000;
  f.weekday = std::fmod(std::fmod(days + 4, 7) + 7, 7);
  const double z = days + 719468;
  const double era = std::floor(z / 146097);
  const double doe = z - era * 146097;
  const double yoe =
      std::floor((doe - std::floor(doe / 1460) + std::floor(doe / 36524) - std::floor(doe / 146096)) / 365);
  const double doy = doe - (365 * yoe + std::floor(yoe / 4) - std::floor(yoe / 100));
  const double mp = std::floor((5 * doy + 2) / 153);
  f.day = doy - std::floor((153 * mp + 2) / 5) + 1;
  f.month = mp < 10 ? mp + 3 : mp - 9;  // 1-based
  f.year = yoe + era * 400 + (f.month <= 2 ? 1 : 0);
  f.month -= 1;
  return f;
}

double Compose(double year, double month, double day, double h, double mi, double s, double ms) {
  const double extraYears = std::floor(month / 12);
  const double m = month - extraYears * 12;
  const double days = DaysFromCivil(year + extraYears, m + 1, 1) + day - 1;
  return days * kMsPerDay + h * 3600000 + mi * 60000 + s * 1000 + ms;
}

double& TimeOf(Object* self) {
  static double none = std::numeric_limits<double>::quiet_NaN();
  if (!self || self->kind != ObjectKind::Date) return none;
  return std::get<double>(self->primitive);
}

double NowMillis() {
  using namespace std::chrono;
  return static_cast<double>(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

std::string DateText(double time) {
  if (std::isnan(time)) return "Invalid Date";
  const Fields f = Split(time);
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char text[96];
  std::snprintf(text, sizeof text, "%s %s %d %02d:%02d:%02d GMT+0000 %d", kDays[static_cast<int>(f.weekday)],
                kMonths[static_cast<int>(f.month)], static_cast<int>(f.day), static_cast<int>(f.hours),
                static_cast<int>(f.minutes), static_cast<int>(f.seconds), static_cast<int>(f.year));
  return text;
}

}  // namespace

void InstallDateClass(Vm& vm) {
  Object* proto = vm.NewPlain();
  vm.dateProto_ = proto;
  Object* date = vm.NewNative(
      [](Vm& v, Object* self, std::span<const Value> args) -> Value {
        double time = NowMillis();
        if (args.size() == 1) {
          time = v.ToNum(args[0]);
        } else if (args.size() >= 2) {
          double parts[7] = {0, 0, 1, 0, 0, 0, 0};
          for (std::size_t i = 0; i < args.size() && i < 7; ++i) parts[i] = v.ToNum(args[i]);
          if (parts[0] >= 0 && parts[0] < 100) parts[0] += 1900;
          time = Compose(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], parts[6]);
        }
        if (!v.constructing || !self) return DateText(NowMillis());
        self->kind = ObjectKind::Date;
        self->primitive = time;
        return self;
      },
      true);
  vm.Define(date, "prototype", Value{proto}, kDontEnum | kDontDelete);
  vm.Define(proto, "constructor", Value{date}, kDontEnum);
  vm.Define(vm.Global(), "Date", Value{date});
  vm.DefineMethod(date, "UTC", [](Vm& v, Object*, std::span<const Value> args) -> Value {
    double parts[7] = {0, 0, 1, 0, 0, 0, 0};
    for (std::size_t i = 0; i < args.size() && i < 7; ++i) parts[i] = v.ToNum(args[i]);
    if (parts[0] >= 0 && parts[0] < 100) parts[0] += 1900;
    return Compose(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], parts[6]);
  });

  using Getter = double (*)(const Fields&);
  const std::pair<const char*, Getter> getters[] = {
      {"FullYear", [](const Fields& f) { return f.year; }},   {"Month", [](const Fields& f) { return f.month; }},
      {"Date", [](const Fields& f) { return f.day; }},        {"Day", [](const Fields& f) { return f.weekday; }},
      {"Hours", [](const Fields& f) { return f.hours; }},     {"Minutes", [](const Fields& f) { return f.minutes; }},
      {"Seconds", [](const Fields& f) { return f.seconds; }}, {"Milliseconds", [](const Fields& f) { return f.ms; }},
      {"Year", [](const Fields& f) { return f.year - 1900; }}};
  for (const auto& [name, field] : getters) {
    const Getter getter = field;
    const auto method = [getter](Vm&, Object* self, std::span<const Value>) -> Value {
      const double time = TimeOf(self);
      if (std::isnan(time)) return time;
      return getter(Split(time));
    };
    vm.DefineMethod(proto, std::string("get") + name, method);
    vm.DefineMethod(proto, std::string("getUTC") + name, method);
  }
  vm.DefineMethod(proto, "getTime", [](Vm&, Object* self, std::span<const Value>) -> Value { return TimeOf(self); });
  vm.DefineMethod(proto, "valueOf", [](Vm&, Object* self, std::span<const Value>) -> Value { return TimeOf(self); });
  vm.DefineMethod(proto, "getTimezoneOffset", [](Vm&, Object*, std::span<const Value>) -> Value { return 0.0; });
  vm.DefineMethod(proto, "toString",
                  [](Vm&, Object* self, std::span<const Value>) -> Value { return DateText(TimeOf(self)); });
  vm.DefineMethod(proto, "setTime", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    TimeOf(self) = v.ToNum(Arg(args, 0));
    return TimeOf(self);
  });
  // setX(value...) replaces fields from X on, as many as given.
  const char* const fieldNames[] = {"FullYear", "Month", "Date", "Hours", "Minutes", "Seconds", "Milliseconds"};
  for (std::size_t first = 0; first < 7; ++first) {
    const auto method = [first](Vm& v, Object* self, std::span<const Value> args) -> Value {
      double& time = TimeOf(self);
      if (!self || self->kind != ObjectKind::Date) return Undefined{};
      const Fields f = Split(std::isnan(time) ? 0 : time);
      double parts[7] = {f.year, f.month, f.day, f.hours, f.minutes, f.seconds, f.ms};
      for (std::size_t i = 0; i < args.size() && first + i < 7; ++i) parts[first + i] = v.ToNum(args[i]);
      time = Compose(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], parts[6]);
      return time;
    };
    vm.DefineMethod(proto, std::string("set") + fieldNames[first], method);
    vm.DefineMethod(proto, std::string("setUTC") + fieldNames[first], method);
  }
}

}  // namespace swf
