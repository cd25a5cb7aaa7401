#include "common/integer_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tpl {
namespace {

using namespace std::string_view_literals;

constexpr std::int32_t kMin = -2147483647 - 1;
constexpr std::int32_t kMax = 2147483647;

TEST(ParseIntegerText, AcceptsDecimalAndHexadecimalIntegers) {
  struct Case {
    std::string_view text;
    std::int32_t value;
  };
  const Case cases[] = {
      {"0", 0},
      {"7", 7},
      {"-0", 0},
      {"+0", 0},
      {"42", 42},
      {"+42", 42},
      {"-42", -42},
      {"   42", 42},  // leading blanks
      {" -42", -42},
      {"007", 7},  // leading zeros stay decimal
      {"00000000000000000000000012", 12},
      {"2147483647", kMax},
      {"-2147483647", -kMax},
      {"-2147483648", kMin},
      {"+2147483647", kMax},
      {"$0", 0},
      {"$1F", 31},
      {"$1f", 31},
      {"$aBcD", 0xABCD},
      {"0x10", 16},
      {"0X10", 16},
      {"0xff", 255},
      {"  $10", 16},
      {"-$10", -16},
      {"+0x10", 16},
      {"-0x1", -1},
      {"$000000000000FF", 255},  // leading zeros do not count against the width
      {"$7FFFFFFF", kMax},
      {"$80000000", kMin},  // hexadecimal is taken as 32 bits, two's complement
      {"$FFFFFFFF", -1},
      {"0xFFFFFFFE", -2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
    EXPECT_EQ(ParseIntegerText(c.text), std::optional<std::int32_t>(c.value));
  }
}

TEST(ParseIntegerText, RefusesEverythingElse) {
  const std::string_view cases[] = {
      ""sv,
      " "sv,
      "   "sv,
      "+"sv,
      "-"sv,
      " -"sv,
      "+-1"sv,
      "--1"sv,
      "- 1"sv,  // no blank after the sign
      "1 "sv,   // trailing blank
      "1\t"sv,
      "\t1"sv,  // a tab is not a blank
      "\n1"sv,
      "1\r"sv,
      "1\0"sv,
      "\0"
      "1"sv,
      "1a"sv,
      "a1"sv,
      "1.0"sv,
      "1e3"sv,
      "1,000"sv,
      "1 000"sv,
      "2147483648"sv,   // one past the largest
      "-2147483649"sv,  // one past the smallest
      "+2147483648"sv,
      "4294967296"sv,  // would wrap to 0 in 32 bits
      "4294967298"sv,  // would wrap to 2
      "99999999999999999999999999"sv,
      "$"sv,
      "0x"sv,
      "0X"sv,
      "-$"sv,
      "$ 1"sv,
      "$-1"sv,
      "$+1"sv,
      "$1 "sv,
      "$G"sv,
      "0xG"sv,
      "$100000000"sv,   // too big for 32 bits
      "0x100000002"sv,  // would wrap to 2
      "$0x10"sv,
      "0x$10"sv,
      "x10"sv,
      "#10"sv,
      "&H10"sv,
      "10h"sv,
      "\xA0"
      "1"sv,         // an 8-bit space is no blank either
      "\xD9\xA1"sv,  // nor are other scripts' digits
  };
  for (std::string_view text : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(text)));
    EXPECT_EQ(ParseIntegerText(text), std::nullopt);
  }
}

}  // namespace
}  // namespace tpl
