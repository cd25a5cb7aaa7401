#pragma once
// The AVM1 action interpreter: the stack machine of DoAction blocks, its
// values and their conversions, run against a host that owns timelines,
// variables and URLs.

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

using Value = std::variant<Undefined, Null, bool, double, std::string>;

// Numbers as the player prints them: "1", "0.5", "-3", "1e+21", "NaN", "Infinity".
[[nodiscard]] std::string NumberToString(double number);
// `version` is the movie's: undefined prints as "" before version 7 and as
// "undefined" from it, and converts to 0 before version 7 and NaN from it.
[[nodiscard]] std::string ToString(const Value& value, int version);
[[nodiscard]] double ToNumber(const Value& value, int version);
[[nodiscard]] bool ToBoolean(const Value& value, int version);
// The "==" of version 5 and later (Equals2).
[[nodiscard]] bool LooselyEqual(const Value& left, const Value& right, int version);

// What actions do to the world outside the stack, for the timeline that owns
// the running action block.
class ActionHost {
 public:
  virtual ~ActionHost() = default;
  virtual void Play() = 0;
  virtual void Stop() = 0;
  virtual void NextFrame() = 0;
  virtual void PrevFrame() = 0;
  virtual void GotoFrame(int frame) = 0;  // 0-based; out of range is the host's business
  virtual void GotoLabel(std::string_view label) = 0;
  [[nodiscard]] virtual Value GetVariable(std::string_view name) = 0;
  virtual void SetVariable(std::string_view name, Value value) = 0;
  virtual void GetUrl(std::string_view url, std::string_view target) = 0;
  // tellTarget: the actions that follow act on the timeline at `path`
  // ("" goes back to the block's own timeline).
  virtual void SetTarget(std::string_view path) = 0;
};

inline constexpr std::size_t kMaxStackValues = 1u << 16;
inline constexpr std::size_t kMaxStringBytes = 1u << 20;
inline constexpr std::size_t kMaxStackTextBytes = 16u << 20;

enum class ActionResult { Finished, Malformed, OutOfBudget, OverLimit };

// Runs one action block (the body of a DoAction tag) of a movie of the given
// version. Each action executed takes one unit of `budget`; the block stops
// when the budget is spent, at a malformed action, or when the stack or a
// string outgrows its limit. Texts reach the host in UTF-8.
ActionResult RunActions(std::span<const std::uint8_t> code, int version, ActionHost& host, std::size_t& budget);

}  // namespace swf
