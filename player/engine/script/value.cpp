#include "value.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <ostream>
#include <utility>
#include <vector>

#include "swf_reader.h"
#include "swf_text.h"

namespace swf {

std::ostream& operator<<(std::ostream& out, const SharedText& text) { return out << text.str(); }

std::string NumberToString(double number) {
  if (std::isnan(number)) return "NaN";
  if (std::isinf(number)) return number > 0 ? "Infinity" : "-Infinity";
  if (number == 0) return "0";  // also -0
  std::array<char, 64> buffer{};
  const auto result =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), number, std::chars_format::general, 15);
  std::string text(buffer.data(), result.ptr);
  // "1e+07" is written "1e+7", "1e-07" "1e-7".
  const std::size_t e = text.find('e');
  if (e != std::string::npos) {
    std::size_t digits = e + 2;
    while (digits + 1 < text.size() && text[digits] == '0') text.erase(digits, 1);
  }
  return text;
}

namespace {

bool IsBlank(char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n'; }

// Version 4 reads the decimal number a text starts with, and 0 when there is none.
double LeadingNumber(std::string_view text) {
  std::size_t start = 0;
  while (start < text.size() && IsBlank(text[start])) ++start;
  std::size_t end = start;
  if (end < text.size() && (text[end] == '-' || text[end] == '+')) ++end;
  bool digits = false;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') digits = ++end;
  if (end < text.size() && text[end] == '.') {
    ++end;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') digits = ++end;
  }
  if (!digits) return 0;
  if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
    std::size_t exponent = end + 1;
    if (exponent < text.size() && (text[exponent] == '-' || text[exponent] == '+')) ++exponent;
    if (exponent < text.size() && text[exponent] >= '0' && text[exponent] <= '9') {
      end = exponent;
      while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    }
  }
  std::string_view number = text.substr(start, end - start);
  const bool negative = !number.empty() && number[0] == '-';
  if (!number.empty() && (number[0] == '-' || number[0] == '+')) number.remove_prefix(1);
  double value = 0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (result.ec == std::errc::result_out_of_range) value = std::numeric_limits<double>::infinity();
  return negative ? -value : value;
}

}  // namespace

double StringToNumber(std::string_view text, bool hex) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  if (text.empty()) return kNaN;
  if (hex && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    std::uint64_t value = 0;
    const auto result = std::from_chars(text.data() + 2, text.data() + text.size(), value, 16);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return kNaN;
    return static_cast<double>(value);
  }
  bool negative = false;
  if (text[0] == '+' || text[0] == '-') {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  // from_chars would also take "inf" and "nan": numbers start with a digit or a point.
  if (text.empty() || !((text[0] >= '0' && text[0] <= '9') || text[0] == '.')) return kNaN;
  double value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    value = std::numeric_limits<double>::infinity();
  } else if (result.ec != std::errc() || result.ptr != text.data() + text.size()) {
    return kNaN;
  }
  return negative ? -value : value;
}

std::string ToString(const Value& value, int version) {
  struct Visitor {
    int version;
    std::string operator()(Undefined) const { return version >= 7 ? "undefined" : ""; }
    std::string operator()(Null) const { return "null"; }
    std::string operator()(bool b) const { return b ? "true" : "false"; }
    std::string operator()(double d) const { return NumberToString(d); }
    std::string operator()(const SharedText& s) const { return s.str(); }
    std::string operator()(Object*) const { return "[object Object]"; }
  };
  return std::visit(Visitor{version}, value);
}

double ToNumber(const Value& value, int version) {
  struct Visitor {
    int version;
    double operator()(Undefined) const { return version >= 7 ? std::numeric_limits<double>::quiet_NaN() : 0.0; }
    double operator()(Null) const { return version >= 7 ? std::numeric_limits<double>::quiet_NaN() : 0.0; }
    double operator()(bool b) const { return b ? 1.0 : 0.0; }
    double operator()(double d) const { return d; }
    double operator()(const SharedText& s) const {
      return version < 5 ? LeadingNumber(s) : StringToNumber(s, version >= 6);
    }
    double operator()(Object*) const { return std::numeric_limits<double>::quiet_NaN(); }
  };
  return std::visit(Visitor{version}, value);
}

bool ToBoolean(const Value& value, int version) {
  if (const auto* text = std::get_if<SharedText>(&value)) {
    if (version >= 7) return !text->empty();
  }
  if (const auto* b = std::get_if<bool>(&value)) return *b;
  if (std::holds_alternative<Undefined>(value) || std::holds_alternative<Null>(value)) return false;
  if (std::holds_alternative<Object*>(value)) return true;
  const double number = ToNumber(value, version);
  return number != 0 && !std::isnan(number);
}

namespace {

std::uint32_t DecodeUtf8(std::string_view text, std::size_t& at) {
  const auto byte = [&](std::size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) & 0x3Fu : 0u; };
  const unsigned first = static_cast<unsigned char>(text[at]);
  std::uint32_t point = first;
  std::size_t length = 1;
  if (first >= 0xF0u) {
    point = ((first & 0x07u) << 18u) | (byte(at + 1) << 12u) | (byte(at + 2) << 6u) | byte(at + 3);
    length = 4;
  } else if (first >= 0xE0u) {
    point = ((first & 0x0Fu) << 12u) | (byte(at + 1) << 6u) | byte(at + 2);
    length = 3;
  } else if (first >= 0xC0u) {
    point = ((first & 0x1Fu) << 6u) | byte(at + 1);
    length = 2;
  }
  at = std::min(text.size(), at + length);
  return point;
}

// The next character; a surrogate pair written as two 3-byte sequences
// (as texts of escaped UTF-16 hold them) reads as the one character it encodes.
std::uint32_t NextCodePoint(std::string_view text, std::size_t& at) {
  const std::uint32_t point = DecodeUtf8(text, at);
  if (point < 0xD800u || point > 0xDBFFu || at >= text.size()) return point;
  std::size_t next = at;
  const std::uint32_t low = DecodeUtf8(text, next);
  if (low < 0xDC00u || low > 0xDFFFu) return point;
  at = next;
  return 0x10000u + ((point - 0xD800u) << 10u) + (low - 0xDC00u);
}

}  // namespace

bool TextLess(std::string_view left, std::string_view right) {
  std::size_t l = 0;
  std::size_t r = 0;
  while (l < left.size() && r < right.size()) {
    const std::uint32_t a = NextCodePoint(left, l);
    const std::uint32_t b = NextCodePoint(right, r);
    if (a != b) return a < b;
  }
  return l >= left.size() && r < right.size();
}

bool LooselyEqual(const Value& left, const Value& right, int version) {
  const auto isNothing = [](const Value& v) {
    return std::holds_alternative<Undefined>(v) || std::holds_alternative<Null>(v);
  };
  if (isNothing(left) || isNothing(right)) return isNothing(left) && isNothing(right);
  if (left.index() == right.index()) return left == right;  // doubles: NaN != NaN
  // Mixed kinds (bool, number, string) compare as numbers.
  return ToNumber(left, version) == ToNumber(right, version);
}

}  // namespace swf
