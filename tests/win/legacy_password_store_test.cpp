#include "password/legacy_password_store.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "password/legacy_password_codec.h"
#include "support/case_name.h"
#include "support/import_patch.h"
#include "support/win_test_support.h"

namespace tpl {
namespace {

using testing::CaseName;

using Bytes = std::vector<std::uint8_t>;

constexpr char kDesktopKey[] = "\\Control Panel\\Desktop";
constexpr char kDataValue[] = "ScreenSave_Data";
constexpr char kFlagValue[] = "ScreenSaveUsePassword";

constexpr char kPassword[] = "SECRET";

// 128 different-looking characters: every position of the stored form is used.
std::string LongestPassword() {
  std::string password;
  for (std::size_t i = 0; i < kLegacyPasswordMaxLength; ++i) {
    password.push_back("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 !#$%&*+-.,;:"[i % 49]);
  }
  return password;
}

Bytes Encoded(std::string_view password) { return EncodeLegacyPassword(password); }

Bytes DwordBytes(DWORD value) {
  return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
          static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

std::optional<testing::RawRegistryValue> Stored(const char* name) {
  return testing::GetRawRegistryValue(HKEY_CURRENT_USER, kDesktopKey, name);
}

void Store(const char* name, DWORD type, const Bytes& bytes) {
  testing::SetRawRegistryValue(HKEY_CURRENT_USER, kDesktopKey, name, type, bytes);
}

int HexDigitValue(std::uint8_t digit) {
  if (digit >= '0' && digit <= '9') return digit - '0';
  if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
  return -1;
}

// The user's own protection settings are kept aside and put back; every case
// starts with neither value present.
class LegacyPasswordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {kDataValue, kFlagValue}) {
      backups_.push_back(std::make_unique<testing::RegistryValueBackup>(HKEY_CURRENT_USER, kDesktopKey, name));
      testing::DeleteRegistryValue(HKEY_CURRENT_USER, kDesktopKey, name);
    }
  }
  void TearDown() override { backups_.clear(); }

 private:
  std::vector<std::unique_ptr<testing::RegistryValueBackup>> backups_;
};

// ---------------------------------------------------------------------------
// Reading the stored values.

// The protection flag: a number stored as the type says.
struct StoredFlag {
  DWORD type;  // REG_NONE: absent
  DWORD number;
};

constexpr StoredFlag kFlagAbsent{REG_NONE, 0};
constexpr StoredFlag kFlagOff{REG_DWORD, 0};
constexpr StoredFlag kFlagOn{REG_DWORD, 1};

Bytes FlagBytes(const StoredFlag& flag) {
  if (flag.type != REG_SZ) return DwordBytes(flag.number);
  const std::string text = std::to_string(flag.number);
  Bytes bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

void StoreFlag(const StoredFlag& flag) {
  if (flag.type != REG_NONE) Store(kFlagValue, flag.type, FlagBytes(flag));
}

struct ReadCase {
  const char* name;
  StoredFlag flag;
  std::optional<DWORD> dataType;  // none: no data value
  std::function<Bytes()> data;
  std::string expected;
};

class LegacyPasswordReadTest : public LegacyPasswordTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(LegacyPasswordReadTest, ReadsStoredPassword) {
  const ReadCase& c = GetParam();
  StoreFlag(c.flag);
  if (c.dataType) Store(kDataValue, *c.dataType, c.data());
  EXPECT_EQ(ReadLegacyPassword(), c.expected);
}

Bytes EncodedPassword() { return Encoded(kPassword); }

Bytes WithoutLastByte(Bytes bytes) {
  bytes.pop_back();
  return bytes;
}

Bytes WithByte(Bytes bytes, std::size_t index, std::uint8_t value) {
  bytes.at(index) = value;
  return bytes;
}

Bytes WithAppended(Bytes bytes, std::size_t count) {
  bytes.insert(bytes.end(), count, 0);
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Values, LegacyPasswordReadTest,
    ::testing::Values(
        // Protection off: the stored password does not matter.
        ReadCase{"FlagAbsent", kFlagAbsent, REG_BINARY, EncodedPassword, ""},
        ReadCase{"FlagZero", kFlagOff, REG_BINARY, EncodedPassword, ""},
        ReadCase{"FlagAsString", {REG_SZ, 1}, REG_BINARY, EncodedPassword, ""},
        ReadCase{"FlagAsBinary", {REG_BINARY, 1}, REG_BINARY, EncodedPassword, ""},
        // Protection on.
        ReadCase{"FlagOne", kFlagOn, REG_BINARY, EncodedPassword, kPassword},
        ReadCase{"FlagAnyNonZero", {REG_DWORD, 0x80000000}, REG_BINARY, EncodedPassword, kPassword},
        ReadCase{"DataAbsent", kFlagOn, std::nullopt, nullptr, ""},
        ReadCase{"DataEmpty", kFlagOn, REG_BINARY, [] { return Bytes{}; }, ""},
        ReadCase{"DataSingleZeroByte", kFlagOn, REG_BINARY, [] { return Bytes{0}; }, ""},
        ReadCase{"DataSingleDigit", kFlagOn, REG_BINARY, [] { return Bytes{'A'}; }, ""},
        ReadCase{"DataOnePairOnly", kFlagOn, REG_BINARY, [] { return WithoutLastByte(Encoded("S")); }, ""},
        // 2n+1 bytes give n characters; 2n bytes give n-1, the last pair unread.
        ReadCase{"EvenLengthDropsLastPair", kFlagOn, REG_BINARY, [] { return WithoutLastByte(EncodedPassword()); },
                 "SECRE"},
        ReadCase{"BadDigitInUnreadLastPair", kFlagOn, REG_BINARY,
                 [] { return WithByte(WithoutLastByte(EncodedPassword()), 11, 'Z'); }, "SECRE"},
        ReadCase{"ByteAfterLastPairIgnored", kFlagOn, REG_BINARY, [] { return WithByte(EncodedPassword(), 12, 'Z'); },
                 kPassword},
        ReadCase{"ByteAfterLastPairHighBit", kFlagOn, REG_BINARY, [] { return WithByte(EncodedPassword(), 12, 0xFF); },
                 kPassword},
        // A pair that is not hexadecimal spoils the whole password.
        ReadCase{"BadHighDigit", kFlagOn, REG_BINARY, [] { return WithByte(EncodedPassword(), 4, 'G'); }, ""},
        ReadCase{"BadLowDigit", kFlagOn, REG_BINARY, [] { return WithByte(EncodedPassword(), 5, ' '); }, ""},
        ReadCase{"BadFirstDigit", kFlagOn, REG_BINARY, [] { return WithByte(EncodedPassword(), 0, 0); }, ""},
        ReadCase{"BadLastReadDigit", kFlagOn, REG_BINARY, [] { return WithByte(EncodedPassword(), 11, 'x'); }, ""},
        // Sizes at and beyond the longest password.
        ReadCase{"LongestPassword", kFlagOn, REG_BINARY, [] { return Encoded(LongestPassword()); }, LongestPassword()},
        ReadCase{"OneByteTooLong", kFlagOn, REG_BINARY, [] { return WithAppended(Encoded(LongestPassword()), 1); }, ""},
        ReadCase{"FarTooLong", kFlagOn, REG_BINARY, [] { return WithAppended(Encoded(LongestPassword()), 1000); }, ""},
        ReadCase{"ShortPasswordPaddedTooLong", kFlagOn, REG_BINARY, [] { return WithAppended(EncodedPassword(), 300); },
                 ""},
        // Text and number types are refused; other types are taken as bytes.
        ReadCase{"DataAsString", kFlagOn, REG_SZ, EncodedPassword, ""},
        ReadCase{"DataAsExpandableString", kFlagOn, REG_EXPAND_SZ, EncodedPassword, ""},
        ReadCase{"DataAsNumber", kFlagOn, REG_DWORD, [] { return WithAppended(Encoded("S"), 1); }, ""},
        ReadCase{"DataUntyped", kFlagOn, REG_NONE, EncodedPassword, kPassword},
        ReadCase{"DataAsMultiString", kFlagOn, REG_MULTI_SZ, EncodedPassword, kPassword}),
    CaseName());

// A key whose permissions grant this user reading only: RegOpenKeyExA of the
// desktop key fails with ERROR_ACCESS_DENIED for any access beyond KEY_READ.
const testing::ImportPatch* g_readOnlyPatch = nullptr;

LONG WINAPI OpenGrantingReadOnly(HKEY root, LPCSTR path, DWORD options, REGSAM access, PHKEY key) {
  const REGSAM asked = access & ~static_cast<REGSAM>(KEY_WOW64_32KEY | KEY_WOW64_64KEY);
  const bool desktop = path != nullptr && ::lstrcmpiA(path, kDesktopKey + 1) == 0;
  if (desktop && (asked & ~static_cast<REGSAM>(KEY_READ)) != 0) return ERROR_ACCESS_DENIED;
  return g_readOnlyPatch->Original<decltype(&::RegOpenKeyExA)>()(root, path, options, access, key);
}

// The password is read through a key opened for querying,
// so a desktop key that grants reading only still yields it.
TEST_F(LegacyPasswordTest, ReadsThroughAKeyThatGrantsReadingOnly) {
  StoreFlag(kFlagOn);
  Store(kDataValue, REG_BINARY, EncodedPassword());
  const testing::ImportPatch readOnly("advapi32.dll", "RegOpenKeyExA",
                                      reinterpret_cast<const void*>(&OpenGrantingReadOnly));
  ASSERT_TRUE(readOnly.Installed()) << "RegOpenKeyExA not found in the import table";
  g_readOnlyPatch = &readOnly;
  const std::string read = ReadLegacyPassword();
  g_readOnlyPatch = nullptr;
  EXPECT_EQ(read, kPassword);
}

TEST_F(LegacyPasswordTest, LowerCaseDigitsReadLikeUpperCase) {
  const std::string password = LongestPassword();
  Bytes stored = Encoded(password);
  bool lowered = false;
  for (std::uint8_t& digit : stored) {
    if (digit >= 'A' && digit <= 'F') {
      digit = static_cast<std::uint8_t>(digit - 'A' + 'a');
      lowered = true;
    }
  }
  ASSERT_TRUE(lowered) << "the stored form has no letter digits to lower";
  StoreFlag(kFlagOn);
  Store(kDataValue, REG_BINARY, stored);
  EXPECT_EQ(ReadLegacyPassword(), password);
}

// ---------------------------------------------------------------------------
// Writing.

TEST_F(LegacyPasswordTest, EmptyPasswordIsStoredAsOneZeroByte) {
  WriteLegacyPassword("");
  const auto data = Stored(kDataValue);
  ASSERT_TRUE(data.has_value());
  EXPECT_EQ(data->type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(data->bytes, Bytes{0});

  StoreFlag(kFlagOn);
  EXPECT_EQ(ReadLegacyPassword(), "");
}

// Each character is stored as two upper-case hexadecimal digits of its code
// XOR a key byte of its position, so two passwords of the same length differ
// in their stored forms exactly as their characters differ.
TEST_F(LegacyPasswordTest, StoredFormIsHexOfCodeXorPositionKey) {
  const std::string first = LongestPassword();
  std::string second = first;
  for (std::size_t i = 0; i < second.size(); ++i) second[i] = static_cast<char>(first[i] ^ static_cast<char>(i + 1));

  std::vector<std::vector<int>> xored;
  for (const std::string& password : {first, second}) {
    WriteLegacyPassword(password);
    const auto data = Stored(kDataValue);
    ASSERT_TRUE(data.has_value());
    EXPECT_EQ(data->type, static_cast<DWORD>(REG_BINARY));
    ASSERT_EQ(data->bytes.size(), 2 * password.size() + 1);
    EXPECT_EQ(data->bytes.back(), 0);
    std::vector<int> codes;
    for (std::size_t i = 0; i < password.size(); ++i) {
      const int high = HexDigitValue(data->bytes[2 * i]);
      const int low = HexDigitValue(data->bytes[2 * i + 1]);
      ASSERT_GE(high, 0) << "position " << i;
      ASSERT_GE(low, 0) << "position " << i;
      codes.push_back(high << 4 | low);
    }
    xored.push_back(codes);
  }
  for (std::size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(xored[0][i] ^ xored[1][i], (static_cast<unsigned char>(first[i]) ^ static_cast<unsigned char>(second[i])))
        << "position " << i;
  }
}

class LegacyPasswordRoundTripTest : public LegacyPasswordTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(LegacyPasswordRoundTripTest, WrittenPasswordReadsBack) {
  const std::string& password = GetParam();
  StoreFlag(kFlagOn);
  WriteLegacyPassword(password);
  const auto data = Stored(kDataValue);
  ASSERT_TRUE(data.has_value());
  EXPECT_EQ(data->type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(data->bytes.size(), 2 * password.size() + 1);
  EXPECT_EQ(ReadLegacyPassword(), password);
}

INSTANTIATE_TEST_SUITE_P(Passwords, LegacyPasswordRoundTripTest,
                         ::testing::Values(std::string("A"), std::string(kPassword), std::string("TWO WORDS 42"),
                                           std::string("!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~"),
                                           std::string("\xC4\xD6\xDC\xC9"), std::string(127, 'Z'), LongestPassword()));

TEST_F(LegacyPasswordTest, WriteReplacesLongerPasswordAndOtherTypes) {
  Store(kDataValue, REG_SZ, {'4', '1', 0});
  WriteLegacyPassword(LongestPassword());
  WriteLegacyPassword("AB");
  const auto data = Stored(kDataValue);
  ASSERT_TRUE(data.has_value());
  EXPECT_EQ(data->type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(data->bytes.size(), 5u);
  StoreFlag(kFlagOn);
  EXPECT_EQ(ReadLegacyPassword(), "AB");
}

struct FlagState {
  const char* name;
  StoredFlag flag;
};

class LegacyPasswordFlagTest : public LegacyPasswordTest, public ::testing::WithParamInterface<FlagState> {};

TEST_P(LegacyPasswordFlagTest, WriteNeverChangesProtectionFlag) {
  const StoredFlag& flag = GetParam().flag;
  StoreFlag(flag);
  WriteLegacyPassword(kPassword);
  WriteLegacyPassword("");
  const auto after = Stored(kFlagValue);
  if (flag.type == REG_NONE) {
    EXPECT_FALSE(after.has_value());
  } else {
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(after->type, flag.type);
    EXPECT_EQ(after->bytes, FlagBytes(flag));
  }
}

INSTANTIATE_TEST_SUITE_P(Flags, LegacyPasswordFlagTest,
                         ::testing::Values(FlagState{"Absent", kFlagAbsent}, FlagState{"Off", kFlagOff},
                                           FlagState{"On", kFlagOn}, FlagState{"String", {REG_SZ, 0}}),
                         CaseName());

}  // namespace
}  // namespace tpl
