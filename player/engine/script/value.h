#pragma once
// Script values and their conversions between primitive kinds. Objects are
// owned by the Vm (vm.h); a value only points at one.

#include <cstddef>
#include <cstdint>
#include <iosfwd>
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

// A script text: immutable, its characters shared by every value that holds
// it, so pushing, popping and storing a text copies a pointer instead of the
// characters. The count is not atomic: a Vm and its values stay on one thread.
class SharedText {
 public:
  SharedText() noexcept = default;
  SharedText(std::string_view text) : node_(text.empty() ? nullptr : new Node{1, std::string(text)}) {}  // NOLINT
  SharedText(const std::string& text) : SharedText(std::string_view(text)) {}                         // NOLINT
  SharedText(std::string&& text) : node_(text.empty() ? nullptr : new Node{1, std::move(text)}) {}     // NOLINT
  SharedText(const char* text) : SharedText(std::string_view(text)) {}                                // NOLINT
  SharedText(const SharedText& other) noexcept : node_(other.node_) {
    if (node_) ++node_->refs;
  }
  SharedText(SharedText&& other) noexcept : node_(other.node_) { other.node_ = nullptr; }
  SharedText& operator=(const SharedText& other) noexcept {
    if (other.node_) ++other.node_->refs;
    Release();
    node_ = other.node_;
    return *this;
  }
  SharedText& operator=(SharedText&& other) noexcept {
    if (this != &other) {
      Release();
      node_ = other.node_;
      other.node_ = nullptr;
    }
    return *this;
  }
  ~SharedText() { Release(); }

  [[nodiscard]] const std::string& str() const noexcept { return node_ ? node_->text : kEmpty; }
  operator const std::string&() const noexcept { return str(); }  // NOLINT: reads as the text it holds
  operator std::string_view() const noexcept { return str(); }    // NOLINT
  [[nodiscard]] std::size_t size() const noexcept { return node_ ? node_->text.size() : 0; }
  [[nodiscard]] bool empty() const noexcept { return node_ == nullptr; }
  [[nodiscard]] const char* data() const noexcept { return str().data(); }
  // The characters as a string of its own: moved out when no other value shares them.
  [[nodiscard]] std::string Take() && {
    if (!node_) return {};
    std::string text = node_->refs == 1 ? std::move(node_->text) : node_->text;
    Release();
    node_ = nullptr;
    return text;
  }

  friend bool operator==(const SharedText& a, const SharedText& b) noexcept {
    return a.node_ == b.node_ || a.str() == b.str();
  }
  friend bool operator==(const SharedText& a, std::string_view b) noexcept { return std::string_view(a.str()) == b; }
  friend bool operator==(const SharedText& a, const char* b) noexcept { return std::string_view(a.str()) == b; }
  friend bool operator==(const SharedText& a, const std::string& b) noexcept { return a.str() == b; }

 private:
  struct Node {
    std::uint32_t refs;
    std::string text;
  };
  void Release() noexcept {
    if (node_ && --node_->refs == 0) delete node_;
  }
  static inline const std::string kEmpty;
  Node* node_ = nullptr;
};

std::ostream& operator<<(std::ostream& out, const SharedText& text);

using Value = std::variant<Undefined, Null, bool, double, SharedText, Object*>;

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
