#include "common/registry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/case_name.h"
#include "support/win_test_support.h"

namespace tpl {
namespace {

using testing::CaseName;

using namespace std::string_view_literals;

constexpr char kTestsKey[] = "\\Software\\TemplateTests";
constexpr char kKey[] = "\\Software\\TemplateTests\\Registry";

std::string KeyBelow(std::string_view relative) { return std::string(kKey) + "\\" + std::string(relative); }

std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

// The text as REG_SZ stores it: with its terminating NUL.
std::vector<std::uint8_t> StringBytes(std::string_view text) {
  std::vector<std::uint8_t> bytes = Bytes(text);
  bytes.push_back(0);
  return bytes;
}

// Text that changes from character to character, so a cut or shifted copy shows.
std::string VariedText(std::size_t length) {
  std::string text(length, ' ');
  for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<char>('!' + i % 90);
  return text;
}

void SetString(std::string_view path, std::string_view name, std::string_view text) {
  testing::SetRawRegistryValue(HKEY_CURRENT_USER, path, name, REG_SZ, StringBytes(text));
}

bool HasSubkeys(std::string_view path) {
  HKEY key = nullptr;
  std::string relative(path.substr(1));
  if (::RegOpenKeyExA(HKEY_CURRENT_USER, relative.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD subkeys = 0;
  ::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr);
  ::RegCloseKey(key);
  return subkeys != 0;
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::DeleteRegistryTree(HKEY_CURRENT_USER, kKey); }
  void TearDown() override {
    testing::DeleteRegistryTree(HKEY_CURRENT_USER, kKey);
    testing::DeleteRegistryKeyIfEmpty(HKEY_CURRENT_USER, kTestsKey);
  }
};

// ---------------------------------------------------------------------------
// Reading: what each kind of stored value reads as.

struct StoredValue {
  const char* name;
  DWORD type;
  std::string_view bytes;
  std::string_view expected;
};

class RegistryReadByType : public RegistryTest, public ::testing::WithParamInterface<StoredValue> {};

TEST_P(RegistryReadByType, ReadsTextOfStringTypesOnly) {
  const StoredValue& stored = GetParam();
  testing::SetRawRegistryValue(HKEY_CURRENT_USER, kKey, "Value", stored.type, Bytes(stored.bytes));
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kKey, "Value"), stored.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Types, RegistryReadByType,
    ::testing::Values(StoredValue{"String", REG_SZ, "text\0"sv, "text"},
                      StoredValue{"StringWithBlanks", REG_SZ, "  two  words \0"sv, "  two  words "},
                      StoredValue{"ExpandableStringStaysUnexpanded", REG_EXPAND_SZ, "%SystemRoot%\\player.ocx\0"sv,
                                  "%SystemRoot%\\player.ocx"},
                      StoredValue{"StringEndsAtFirstNul", REG_SZ, "before\0after\0"sv, "before"},
                      StoredValue{"ExpandableStringEndsAtFirstNul", REG_EXPAND_SZ, "%TEMP%\0%TMP%\0"sv, "%TEMP%"},
                      StoredValue{"StringStartingWithNul", REG_SZ, "\0hidden\0"sv, ""},
                      StoredValue{"StringWithoutTerminator", REG_SZ, "unterminated"sv, "unterminated"},
                      StoredValue{
                          "LongStringWithoutTerminator", REG_SZ,
                          "a string stored without its terminating NUL that is long enough to live on the heap"sv,
                          "a string stored without its terminating NUL that is long enough to live on the heap"},
                      StoredValue{"ExpandableStringWithoutTerminator", REG_EXPAND_SZ, "%TEMP%"sv, "%TEMP%"},
                      StoredValue{"ZeroLengthString", REG_SZ, ""sv, ""},
                      StoredValue{"StringOfOnlyNul", REG_SZ, "\0"sv, ""},
                      // The other types hold bytes that would read as "1" or "text" if the type were not checked.
                      StoredValue{"Number", REG_DWORD, "1\0\0\0"sv, ""},
                      StoredValue{"BigEndianNumber", REG_DWORD_BIG_ENDIAN, "1\0\0\0"sv, ""},
                      StoredValue{"LongNumber", REG_QWORD, "1\0\0\0\0\0\0\0"sv, ""},
                      StoredValue{"Binary", REG_BINARY, "text\0"sv, ""},
                      StoredValue{"MultiString", REG_MULTI_SZ, "text\0more\0\0"sv, ""},
                      StoredValue{"Untyped", REG_NONE, "text\0"sv, ""}),
    CaseName());

// ---------------------------------------------------------------------------
// Reading: keys, names and sizes.

TEST_F(RegistryTest, MissingKeyReadsEmptyAndIsNotCreated) {
  const std::string missing = KeyBelow("Saver\\FlashVars");
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, missing, "Name"), "");
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, missing, ""), "");
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kKey, "Name"), "");
  EXPECT_FALSE(testing::RegistryKeyExists(HKEY_CURRENT_USER, kKey));
}

TEST_F(RegistryTest, MissingValueReadsEmptyAndCreatesNothing) {
  SetString(kKey, "", "the default");
  SetString(kKey, "Other", "other text");
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kKey, "Absent"), "");
  EXPECT_FALSE(testing::GetRawRegistryValue(HKEY_CURRENT_USER, kKey, "Absent").has_value());
  EXPECT_FALSE(HasSubkeys(kKey));
}

TEST_F(RegistryTest, EmptyNameReadsTheDefaultValue) {
  SetString(kKey, "", "the default");
  SetString(kKey, "Name", "named");
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kKey, ""), "the default");
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kKey, "Name"), "named");
}

TEST_F(RegistryTest, KeyWithoutDefaultValueReadsEmptyForEmptyName) {
  SetString(kKey, "Name", "named");
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kKey, ""), "");
}

TEST_F(RegistryTest, ValueNamesIgnoreCase) {
  SetString(kKey, "MouseQuit", "0");
  for (const char* name : {"MouseQuit", "mousequit", "MOUSEQUIT", "mOUSEqUIT"}) {
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kKey, name), "0") << name;
  }
}

TEST_F(RegistryTest, LargeStringReadsWhole) {
  const std::string text = VariedText(100 * 1024);
  SetString(kKey, "Large", text);
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kKey, "Large"), text);
}

// ---------------------------------------------------------------------------
// Writing.

TEST_F(RegistryTest, WriteCreatesMissingParentsInOneStep) {
  const std::string path = KeyBelow("65536\\FlashVars");
  WriteRegistryString(HKEY_CURRENT_USER, path, "Name", "value");
  const auto stored = testing::GetRawRegistryValue(HKEY_CURRENT_USER, path, "Name");
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(stored->type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(stored->bytes, StringBytes("value"));
}

TEST_F(RegistryTest, WriteStoresTextPlusNulAsString) {
  for (const std::string& text : {std::string("value"), std::string(""), std::string("  blanks kept  "),
                                  std::string("MixedCase Text"), VariedText(100 * 1024)}) {
    WriteRegistryString(HKEY_CURRENT_USER, kKey, "Name", text);
    const auto stored = testing::GetRawRegistryValue(HKEY_CURRENT_USER, kKey, "Name");
    ASSERT_TRUE(stored.has_value()) << text.size() << " characters";
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_SZ)) << text.size() << " characters";
    EXPECT_EQ(stored->bytes, StringBytes(text)) << text.size() << " characters";
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kKey, "Name"), text);
  }
}

TEST_F(RegistryTest, WriteWithEmptyNameSetsTheDefaultValue) {
  WriteRegistryString(HKEY_CURRENT_USER, kKey, "", "unnamed");
  const auto stored = testing::GetRawRegistryValue(HKEY_CURRENT_USER, kKey, "");
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(stored->type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(stored->bytes, StringBytes("unnamed"));
}

TEST_F(RegistryTest, WriteReplacesLongerTextAndOtherTypes) {
  WriteRegistryString(HKEY_CURRENT_USER, kKey, "Name", "a rather longer text");
  WriteRegistryString(HKEY_CURRENT_USER, kKey, "Name", "ab");
  auto stored = testing::GetRawRegistryValue(HKEY_CURRENT_USER, kKey, "Name");
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(stored->bytes, StringBytes("ab"));

  testing::SetRawRegistryValue(HKEY_CURRENT_USER, kKey, "Number", REG_DWORD, {1, 0, 0, 0});
  WriteRegistryString(HKEY_CURRENT_USER, kKey, "Number", "1");
  stored = testing::GetRawRegistryValue(HKEY_CURRENT_USER, kKey, "Number");
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(stored->type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(stored->bytes, StringBytes("1"));
}

TEST_F(RegistryTest, WriteLeavesOtherValuesAndSubkeysAlone) {
  SetString(kKey, "Other", "kept");
  SetString(KeyBelow("FlashVars"), "Inner", "kept too");
  WriteRegistryString(HKEY_CURRENT_USER, kKey, "Name", "new");
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kKey, "Other"), "kept");
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, KeyBelow("FlashVars"), "Inner"), "kept too");
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kKey, "Name"), "new");
}

TEST_F(RegistryTest, WrittenNameIsFoundWhateverItsCase) {
  WriteRegistryString(HKEY_CURRENT_USER, kKey, "ScaleMode", "showall");
  WriteRegistryString(HKEY_CURRENT_USER, kKey, "SCALEMODE", "noscale");
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kKey, "scalemode"), "noscale");
}

// ---------------------------------------------------------------------------
// Key paths with and without the leading backslash name the same key.

struct PathForms {
  const char* name;
  bool writeWithBackslash;
  bool readWithBackslash;
};

class RegistryPathForms : public RegistryTest, public ::testing::WithParamInterface<PathForms> {};

TEST_P(RegistryPathForms, NameTheSameKey) {
  const std::string withBackslash = KeyBelow("Forms");
  const std::string withoutBackslash = withBackslash.substr(1);
  const PathForms& forms = GetParam();
  WriteRegistryString(HKEY_CURRENT_USER, forms.writeWithBackslash ? withBackslash : withoutBackslash, "Name", "text");
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, forms.readWithBackslash ? withBackslash : withoutBackslash, "Name"),
            "text");
  const auto stored = testing::GetRawRegistryValue(HKEY_CURRENT_USER, withBackslash, "Name");
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(stored->bytes, StringBytes("text"));
}

INSTANTIATE_TEST_SUITE_P(Forms, RegistryPathForms,
                         ::testing::Values(PathForms{"BackslashBoth", true, true},
                                           PathForms{"BackslashWriteOnly", true, false},
                                           PathForms{"BackslashReadOnly", false, true},
                                           PathForms{"BackslashNeither", false, false}),
                         CaseName());

// ---------------------------------------------------------------------------
// A write that cannot be done leaves the registry as it was.

struct FailingWrite {
  const char* name;
  const char* existingKey;     // below the test key: created first, must stay empty
  bool existingKeyIsVolatile;  // a volatile key cannot hold non-volatile subkeys
  const char* writtenKey;      // below the existing key
};

class RegistryFailingWrite : public RegistryTest, public ::testing::WithParamInterface<FailingWrite> {};

TEST_P(RegistryFailingWrite, LeavesNothingBehind) {
  const FailingWrite& write = GetParam();
  const std::string existing = KeyBelow(write.existingKey);
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, existing.substr(1).c_str(), 0, nullptr,
                              write.existingKeyIsVolatile ? REG_OPTION_VOLATILE : REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ::RegCloseKey(key);

  const std::string written = existing + "\\" + write.writtenKey;
  WriteRegistryString(HKEY_CURRENT_USER, written, "Name", "text");

  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, written, "Name"), "");
  EXPECT_FALSE(HasSubkeys(existing)) << "a parent of the failed write was left behind";
  EXPECT_FALSE(testing::GetRawRegistryValue(HKEY_CURRENT_USER, existing, "Name").has_value());
}

const std::string kTooLongKeyName(300, 'k');
const std::string kTooLongBelowNewParents = "New\\Parents\\" + kTooLongKeyName + "\\Leaf";
const std::string kTooLongDirectly = kTooLongKeyName;

INSTANTIATE_TEST_SUITE_P(Failures, RegistryFailingWrite,
                         ::testing::Values(FailingWrite{"KeyNameTooLong", "Plain", false, kTooLongDirectly.c_str()},
                                           FailingWrite{"KeyNameTooLongBelowNewParents", "Plain", false,
                                                        kTooLongBelowNewParents.c_str()},
                                           FailingWrite{"NonVolatileBelowVolatile", "Volatile", true, "New\\Leaf"}),
                         CaseName());

}  // namespace
}  // namespace tpl
