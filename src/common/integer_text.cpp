#include "common/integer_text.h"

namespace tpl {
namespace {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::uint32_t> ParseHexDigits(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : digits) {
    const int d = HexDigitValue(c);
    if (d < 0) return std::nullopt;
    value = value * 16 + static_cast<std::uint64_t>(d);
    if (value > 0xFFFFFFFFu) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

std::optional<std::int32_t> ParseDecimalDigits(std::string_view digits, bool negative) {
  if (digits.empty()) return std::nullopt;
  const std::uint64_t limit = negative ? 2147483648u : 2147483647u;
  std::uint64_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > limit) return std::nullopt;
  }
  const std::int64_t signedValue = negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
  return static_cast<std::int32_t>(signedValue);
}

}  // namespace

std::optional<std::int32_t> ParseIntegerText(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::string_view rest = text.substr(i);
  std::optional<std::uint32_t> hex;
  if (rest.starts_with('$')) {
    hex = ParseHexDigits(rest.substr(1));
  } else if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
    hex = ParseHexDigits(rest.substr(2));
  } else {
    return ParseDecimalDigits(rest, negative);
  }
  if (!hex) return std::nullopt;
  // Two's complement arithmetic in unsigned form avoids signed overflow on 0x80000000.
  const std::uint32_t bits = negative ? 0u - *hex : *hex;
  return static_cast<std::int32_t>(bits);
}

}  // namespace tpl
