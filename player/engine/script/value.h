#pragma once
// Script values and their conversions between primitive kinds. Objects are
// owned by the Vm (vm.h); a value only points at one.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace swf {

struct Undefined {
  friend bool operator==(Undefined, Undefined) = default;
};
struct Null {
  friend bool operator==(Null, Null) = default;
};

class Object;

using Value = std::variant<Undefined, Null, bool, double, std::string, Object*>;

// Numbers as the player prints them: "1", "0.5", "-3", "1e+21", "NaN", "Infinity".
[[nodiscard]] std::string NumberToString(double number);
// `hex`: "0x..." reads as a hexadecimal number (version 6 and later).
[[nodiscard]] double StringToNumber(std::string_view text, bool hex = true);
// `version` is the movie's: undefined prints as "" before version 7 and as
// "undefined" from it, and converts to 0 before version 7 and NaN from it.
[[nodiscard]] std::string ToString(const Value& value, int version);
[[nodiscard]] double ToNumber(const Value& value, int version);
[[nodiscard]] bool ToBoolean(const Value& value, int version);
// The "==" of version 5 and later (Equals2).
// Objects count as "[object Object]", NaN and true here; the Vm converts
// them through their own methods.
[[nodiscard]] bool LooselyEqual(const Value& left, const Value& right, int version);

// Whether `left` sorts before `right` character by character (by code point).
[[nodiscard]] bool TextLess(std::string_view left, std::string_view right);

inline constexpr std::size_t kMaxStackValues = 1u << 16;
inline constexpr std::size_t kMaxStringBytes = 1u << 20;
inline constexpr std::size_t kMaxStackTextBytes = 16u << 20;

enum class ActionResult { Finished, Malformed, OutOfBudget, OverLimit };

}  // namespace swf
