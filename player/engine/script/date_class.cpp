// Date: milliseconds since 1970 (UTC) in a wrapper, with fields in the
// system's local time and in UTC.

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
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
  // Fields are whole numbers: a time of 5.5 ms reads as 5 milliseconds.
  f.ms = std::floor(rest - f.seconds * 1000);
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
  // Every field counts as a whole number (2.5 months is March).
  year = std::trunc(year);
  month = std::trunc(month);
  day = std::trunc(day);
  h = std::trunc(h);
  mi = std::trunc(mi);
  s = std::trunc(s);
  ms = std::trunc(ms);
  const double extraYears = std::floor(month / 12);
  const double m = month - extraYears * 12;
  const double days = DaysFromCivil(year + extraYears, m + 1, 1) + day - 1;
  return days * kMsPerDay + h * 3600000 + mi * 60000 + s * 1000 + ms;
}

// A year given as fewer than three digits counts from 1900, negative ones too.
double FullYear(double year) { return std::trunc(year) < 100 ? std::trunc(year) + 1900 : year; }

// Times set by a method stay within 100 million days of 1970; past that
// they are no time at all.
double Clipped(double time) {
  if (!std::isfinite(time) || std::abs(time) > 8.64e15) return std::numeric_limits<double>::quiet_NaN();
  return std::trunc(time) + 0.0;
}

double& TimeOf(Object* self) {
  static double none = std::numeric_limits<double>::quiet_NaN();
  if (!self || self->kind != ObjectKind::Date) return none;
  return std::get<double>(self->primitive);
}

// How far the system's local time is ahead of UTC at that moment, daylight
// saving included, in milliseconds; 0 where the system cannot tell.
double LocalOffsetMillis(double utcMillis) {
  if (!std::isfinite(utcMillis)) return 0;
  const double seconds = std::floor(utcMillis / 1000);
  if (seconds < -2e11 || seconds > 2e11) return 0;
  const auto moment = static_cast<std::time_t>(seconds);
  std::tm local{};
  std::tm universal{};
#if defined(_WIN32)
  if (localtime_s(&local, &moment) != 0 || gmtime_s(&universal, &moment) != 0) return 0;
#else
  if (localtime_r(&moment, &local) == nullptr || gmtime_r(&moment, &universal) == nullptr) return 0;
#endif
  // The same moment's calendar fields in both zones, compared as if both were UTC.
  const double localDays = DaysFromCivil(local.tm_year + 1900.0, local.tm_mon + 1.0, local.tm_mday);
  const double universalDays = DaysFromCivil(universal.tm_year + 1900.0, universal.tm_mon + 1.0, universal.tm_mday);
  const double localSeconds = localDays * 86400 + local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec;
  const double universalSeconds =
      universalDays * 86400 + universal.tm_hour * 3600.0 + universal.tm_min * 60.0 + universal.tm_sec;
  return (localSeconds - universalSeconds) * 1000;
}

// The fields of an endless time (a date made from Infinity): the platform
// takes it as the lowest 32-bit integer and carries each field's negative
// remainder up by its range, so every field sits just above that integer.
Fields EndlessFields() {
  constexpr double kLowest = -2147483648.0;
  Fields f{};
  f.year = kLowest + 1970;
  f.month = 0;
  f.day = kLowest + 1;
  f.weekday = kLowest + 7;
  f.hours = kLowest + 24;
  f.minutes = kLowest + 60;
  f.seconds = kLowest + 60;
  f.ms = kLowest + 1000;
  return f;
}

Fields LocalFields(double utcMillis) {
  if (std::isinf(utcMillis)) return EndlessFields();
  return Split(utcMillis + LocalOffsetMillis(utcMillis));
}

Fields UtcFields(double utcMillis) { return std::isinf(utcMillis) ? EndlessFields() : Split(utcMillis); }

// Local calendar fields back to UTC: the offset is the one in force at the
// result, found from a first guess.
double LocalToUtc(double localMillis) {
  const double guess = localMillis - LocalOffsetMillis(localMillis);
  return localMillis - LocalOffsetMillis(guess);
}

double NowMillis() {
  using namespace std::chrono;
  return static_cast<double>(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

std::string DateText(double time) {
  // Beyond 100 million days either side of 1970 there is no calendar date (and
  // the fields would index past the day and month names).
  // (A time given to the constructor is not clipped, so one within the day
  // past the limit still shows its date.)
  if (!std::isfinite(time) || std::abs(time) >= 8.64e15 + kMsPerDay) return "Invalid Date";
  const Fields f = LocalFields(time);
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const int offsetMinutes = static_cast<int>(LocalOffsetMillis(time) / 60000);
  const int offset = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
  char text[128];
  std::snprintf(text, sizeof text, "%s %s %d %02d:%02d:%02d GMT%c%02d%02d %.0f", kDays[static_cast<int>(f.weekday)],
                kMonths[static_cast<int>(f.month)], static_cast<int>(f.day), static_cast<int>(f.hours),
                static_cast<int>(f.minutes), static_cast<int>(f.seconds), offsetMinutes < 0 ? '-' : '+', offset / 60,
                offset % 60, f.year);
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
          // Another date gives its time; anything else is a number of milliseconds.
          Object* const* other = std::get_if<Object*>(&args[0]);
          time = other && *other && (*other)->kind == ObjectKind::Date ? TimeOf(*other) : v.ToNum(args[0]);
        } else if (args.size() >= 2) {
          double parts[7] = {0, 0, 1, 0, 0, 0, 0};
          for (std::size_t i = 0; i < args.size() && i < 7; ++i) parts[i] = v.ToNum(args[i]);
          parts[0] = FullYear(parts[0]);
          time = LocalToUtc(Compose(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], parts[6]));
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
    parts[0] = FullYear(parts[0]);
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
    vm.DefineMethod(proto, std::string("get") + name, [getter](Vm&, Object* self, std::span<const Value>) -> Value {
      const double time = TimeOf(self);
      return std::isnan(time) ? time : getter(LocalFields(time));
    });
    vm.DefineMethod(proto, std::string("getUTC") + name, [getter](Vm&, Object* self, std::span<const Value>) -> Value {
      const double time = TimeOf(self);
      return std::isnan(time) ? time : getter(UtcFields(time));
    });
  }
  vm.DefineMethod(proto, "getTime", [](Vm&, Object* self, std::span<const Value>) -> Value { return TimeOf(self); });
  vm.DefineMethod(proto, "valueOf", [](Vm&, Object* self, std::span<const Value>) -> Value { return TimeOf(self); });
  // Minutes that UTC is ahead of local time (negative east of Greenwich).
  vm.DefineMethod(proto, "getTimezoneOffset", [](Vm&, Object* self, std::span<const Value>) -> Value {
    const double time = TimeOf(self);
    return std::isfinite(time) ? -LocalOffsetMillis(time) / 60000 : std::numeric_limits<double>::quiet_NaN();
  });
  vm.DefineMethod(proto, "toString",
                  [](Vm&, Object* self, std::span<const Value>) -> Value { return DateText(TimeOf(self)); });
  vm.DefineMethod(proto, "setTime", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    TimeOf(self) = Clipped(v.ToNum(Arg(args, 0)));
    return TimeOf(self);
  });
  // setX(value...) replaces fields from X on, as many as given.
  const char* const fieldNames[] = {"FullYear", "Month", "Date", "Hours", "Minutes", "Seconds", "Milliseconds"};
  for (std::size_t first = 0; first < 7; ++first) {
    for (const bool utc : {false, true}) {
      const auto method = [first, utc](Vm& v, Object* self, std::span<const Value> args) -> Value {
        double& time = TimeOf(self);
        if (!self || self->kind != ObjectKind::Date) return Undefined{};
        // Only a new year gives a date that is none a time again (from
        // 1970's first moment); the other fields of no time stay no time.
        if (!std::isfinite(time) && first != 0) {
          for (const Value& arg : args) (void)v.ToNum(arg);
          time = std::numeric_limits<double>::quiet_NaN();
          return time;
        }
        const double now = std::isfinite(time) ? time : 0;
        const Fields f = utc ? Split(now) : LocalFields(now);
        double parts[7] = {f.year, f.month, f.day, f.hours, f.minutes, f.seconds, f.ms};
        for (std::size_t i = 0; i < args.size() && first + i < 7; ++i) parts[first + i] = v.ToNum(args[i]);
        const double composed = Compose(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], parts[6]);
        time = Clipped(utc ? composed : LocalToUtc(composed));
        return time;
      };
      vm.DefineMethod(proto, std::string(utc ? "setUTC" : "set") + fieldNames[first], method);
    }
  }
}

}  // namespace swf
