#include "password/legacy_password_codec.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tpl {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::string_view kUpperDigits = "0123456789ABCDEF";
constexpr std::string_view kLowerDigits = "0123456789abcdef";

std::optional<std::string> Decode(const Bytes& stored) { return DecodeLegacyPassword(std::span(stored)); }

// The byte that pair i of a stored value stands for.
int PairValue(const Bytes& stored, std::size_t i) {
  const std::size_t high = kUpperDigits.find(static_cast<char>(stored[2 * i]));
  const std::size_t low = kUpperDigits.find(static_cast<char>(stored[2 * i + 1]));
  return static_cast<int>(high * 16 + low);
}

std::string MaxLengthPassword(int seed) {
  std::string password;
  for (std::size_t i = 0; i < kLegacyPasswordMaxLength; ++i) {
    password.push_back(static_cast<char>((i * 37 + static_cast<std::size_t>(seed)) % 256));
  }
  return password;
}

TEST(LegacyPasswordEncode, StoresTwoUpperCaseDigitsPerCharacterAndAZero) {
  const std::size_t lengths[] = {0, 1, 2, 7, 64, 127, 128, 129, 200, 1000};
  for (std::size_t length : lengths) {
    SCOPED_TRACE(length);
    std::string password;
    for (std::size_t i = 0; i < length; ++i) password.push_back(static_cast<char>(i * 11 % 256));
    const Bytes stored = EncodeLegacyPassword(password);
    const std::size_t kept = length < 128 ? length : 128;
    ASSERT_EQ(stored.size(), 2 * kept + 1);
    EXPECT_EQ(stored.back(), 0);
    for (std::size_t i = 0; i + 1 < stored.size(); ++i) {
      EXPECT_NE(kUpperDigits.find(static_cast<char>(stored[i])), std::string_view::npos) << "byte " << i;
    }
  }
}

TEST(LegacyPasswordEncode, EachCharacterIsItsCodeXorTheKeyOfItsPosition) {
  // The zero password's digits are the key bytes themselves.
  const Bytes key = EncodeLegacyPassword(std::string(kLegacyPasswordMaxLength, '\0'));
  for (int code = 0; code < 256; ++code) {
    SCOPED_TRACE(code);
    const Bytes stored = EncodeLegacyPassword(std::string(kLegacyPasswordMaxLength, static_cast<char>(code)));
    ASSERT_EQ(stored.size(), key.size());
    for (std::size_t i = 0; i < kLegacyPasswordMaxLength; ++i) {
      ASSERT_EQ(PairValue(stored, i) ^ PairValue(key, i), code) << "position " << i;
    }
  }
  // Characters are not all stored alike: the key changes along the password.
  std::set<int> keyBytes;
  for (std::size_t i = 0; i < kLegacyPasswordMaxLength; ++i) keyBytes.insert(PairValue(key, i));
  EXPECT_GT(keyBytes.size(), 1u);
}

TEST(LegacyPasswordEncode, KeepsOnlyTheFirst128Characters) {
  const std::string password = MaxLengthPassword(5);
  const Bytes expected = EncodeLegacyPassword(password);
  ASSERT_EQ(expected.size(), kLegacyPasswordMaxStoredSize);
  for (std::string_view tail : {"X", "more than one character"}) {
    SCOPED_TRACE(tail);
    EXPECT_EQ(EncodeLegacyPassword(password + std::string(tail)), expected);
  }
}

TEST(LegacyPasswordRoundTrip, EveryByteAtEveryPositionComesBack) {
  for (int seed = 0; seed < 256; ++seed) {
    SCOPED_TRACE(seed);
    const std::string password = MaxLengthPassword(seed);
    const Bytes stored = EncodeLegacyPassword(password);
    EXPECT_EQ(stored.size(), 257u);
    EXPECT_EQ(Decode(stored), password);
    Bytes lower = stored;
    for (std::uint8_t& b : lower) {
      const std::size_t digit = kUpperDigits.find(static_cast<char>(b));
      if (digit != std::string_view::npos) b = static_cast<std::uint8_t>(kLowerDigits[digit]);
    }
    EXPECT_EQ(Decode(lower), password) << "lower-case digits";
  }
  for (std::string_view password : {"", "A", "SECRET", "PASS WORD 123"}) {
    SCOPED_TRACE(password);
    EXPECT_EQ(Decode(EncodeLegacyPassword(password)), std::string(password));
  }
}

TEST(LegacyPasswordDecode, ReadsSizeMinusOneHalvedCharacters) {
  const std::string password = MaxLengthPassword(99);
  const Bytes full = EncodeLegacyPassword(password);
  // Every size up to the largest: an even size leaves its last pair unread and an
  // odd one its last byte, here a digit instead of the zero.
  for (std::size_t size = 0; size <= full.size(); ++size) {
    SCOPED_TRACE(size);
    const Bytes stored(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(size));
    const std::size_t characters = size < 2 ? 0 : (size - 1) / 2;
    EXPECT_EQ(Decode(stored), password.substr(0, characters));
  }
}

TEST(LegacyPasswordDecode, IgnoresWhatFollowsTheLastPair) {
  const Bytes stored = EncodeLegacyPassword("PASSWORD");
  for (int last = 0; last < 256; ++last) {
    SCOPED_TRACE(last);
    Bytes odd = stored;  // 2n+1 bytes: the last byte is not part of a pair
    odd.back() = static_cast<std::uint8_t>(last);
    EXPECT_EQ(Decode(odd), "PASSWORD");
    Bytes even(stored.begin(), stored.end() - 3);  // 2(n-1) bytes of pairs
    even.push_back(static_cast<std::uint8_t>(last));
    even.push_back('Z');  // the unread last pair of an even size
    EXPECT_EQ(Decode(even), "PASSWOR");
  }
  EXPECT_EQ(Decode(Bytes{'Z'}), "");
  EXPECT_EQ(Decode(Bytes{0}), "");
  EXPECT_EQ(Decode(Bytes{}), "");
}

TEST(LegacyPasswordDecode, RefusesAValueLongerThan257Bytes) {
  const Bytes full = EncodeLegacyPassword(MaxLengthPassword(3));
  ASSERT_TRUE(Decode(full).has_value());
  const std::size_t extras[] = {1, 2, 3, 100, 10000};
  for (std::size_t extra : extras) {
    SCOPED_TRACE(extra);
    Bytes stored = full;
    stored.back() = '0';
    stored.resize(full.size() + extra, '0');
    EXPECT_EQ(Decode(stored), std::nullopt);
  }
}

TEST(LegacyPasswordDecode, AcceptsOnlyHexadecimalDigitsInThePairs) {
  const std::string password(kLegacyPasswordMaxLength, 'A');
  const Bytes stored = EncodeLegacyPassword(password);
  const std::size_t positions[] = {0, 1, 63, 127};
  for (std::size_t position : positions) {
    for (std::size_t digit = 0; digit < 2; ++digit) {
      for (int value = 0; value < 256; ++value) {
        SCOPED_TRACE(testing::Message() << "character " << position << ", digit " << digit << ", byte " << value);
        Bytes changed = stored;
        changed[2 * position + digit] = static_cast<std::uint8_t>(value);
        const char c = static_cast<char>(value);
        const bool isHex =
            kUpperDigits.find(c) != std::string_view::npos || kLowerDigits.find(c) != std::string_view::npos;
        const std::optional<std::string> decoded = Decode(changed);
        ASSERT_EQ(decoded.has_value(), isHex);
        if (!isHex) continue;
        // The other characters are untouched.
        std::string others = *decoded;
        others[position] = 'A';
        EXPECT_EQ(others, password);
      }
    }
  }
}

}  // namespace
}  // namespace tpl

namespace tpl {
namespace {

struct NewPasswordCase {
  const char* label;
  std::string entry;
  std::string confirmation;
  NewPasswordCheck expected;
};

class NewPasswordEntries : public ::testing::TestWithParam<NewPasswordCase> {};

// Agreeing entries longer than the store holds are refused,
// never stored cut; a mismatch is reported first, whatever the length.
TEST_P(NewPasswordEntries, AreStoredRefusedAsTooLongOrAMismatch) {
  EXPECT_EQ(CheckNewPassword(GetParam().entry, GetParam().confirmation), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, NewPasswordEntries,
    ::testing::Values(
        NewPasswordCase{"empty", "", "", NewPasswordCheck::Store},
        NewPasswordCase{"short", "secret", "secret", NewPasswordCheck::Store},
        NewPasswordCase{"exactly_128", std::string(128, 'q'), std::string(128, 'q'), NewPasswordCheck::Store},
        NewPasswordCase{"129", std::string(129, 'q'), std::string(129, 'q'), NewPasswordCheck::TooLong},
        NewPasswordCase{"300", std::string(300, 'q'), std::string(300, 'q'), NewPasswordCheck::TooLong},
        NewPasswordCase{"case_only", "abc", "ABC", NewPasswordCheck::Mismatch},
        NewPasswordCase{"long_mismatch", std::string(200, 'q'), std::string(199, 'q'), NewPasswordCheck::Mismatch}),
    [](const auto& tested) { return std::string(tested.param.label); });

}  // namespace
}  // namespace tpl
