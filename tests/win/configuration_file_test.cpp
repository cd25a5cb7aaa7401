#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "package/configuration_file.h"
#include "package/saver_configuration.h"
#include "support/win_test_support.h"

namespace tpl {
namespace {

using Field = std::string SaverConfiguration::*;

struct LineField {
  int line;
  Field field;
};

// The fields the configuration file sets, with their line numbers.
const std::vector<LineField> kLineFields = {
    {4, &SaverConfiguration::SettingsCaption},
    {5, &SaverConfiguration::CloseCaption},
    {6, &SaverConfiguration::PasswordDialogCaption},
    {7, &SaverConfiguration::OkCaption},
    {8, &SaverConfiguration::CancelCaption},
    {9, &SaverConfiguration::EnableProtectionCaption},
    {10, &SaverConfiguration::PasswordPrompt},
    {12, &SaverConfiguration::DefaultScaleMode},
    {14, &SaverConfiguration::LoopMovie},
    {15, &SaverConfiguration::CurrentPasswordPrompt},
    {16, &SaverConfiguration::NewPasswordPrompt},
    {17, &SaverConfiguration::ConfirmPasswordPrompt},
    {18, &SaverConfiguration::WrongPasswordMessage},
    {19, &SaverConfiguration::PasswordMismatchMessage},
    {20, &SaverConfiguration::SaverTitle},
    {21, &SaverConfiguration::CreatedWithText},
    {22, &SaverConfiguration::CreditVersion},
    {23, &SaverConfiguration::DownloadPrompt},
    {24, &SaverConfiguration::PlayerVersionLine},
    {25, &SaverConfiguration::MouseQuitDefault},
    {26, &SaverConfiguration::KeybQuitDefault},
    {27, &SaverConfiguration::MovieQuitAllowed},
    {28, &SaverConfiguration::ResChangeDefault},
    {29, &SaverConfiguration::ResChangeHeightDefault},
    {30, &SaverConfiguration::Line30Value},
    {31, &SaverConfiguration::PlayerMissingNotice},
};

// The values that never come from the file.
const std::vector<Field> kFixedFields = {
    &SaverConfiguration::SaverId,
    &SaverConfiguration::MultimonitorsDefault,
    &SaverConfiguration::FontCharset,
    &SaverConfiguration::SettingsAreaHeight,
    &SaverConfiguration::SettingsAreaWidth,
    &SaverConfiguration::MultimonitorCaption,
    &SaverConfiguration::MouseQuitCaption,
    &SaverConfiguration::KeybQuitCaption,
    &SaverConfiguration::ResolutionCaption,
    &SaverConfiguration::ScaleCaption,
    &SaverConfiguration::ShowMouseQuitOption,
    &SaverConfiguration::ShowKeybQuitOption,
    &SaverConfiguration::ShowScaleOption,
    &SaverConfiguration::ShowMultimonitorOption,
    &SaverConfiguration::ShowResolutionOption,
};

std::string LineText(int line) { return "text of line " + std::to_string(line); }

// A configuration with every value changed, as a previous load might leave it.
SaverConfiguration StaleConfiguration() {
  SaverConfiguration configuration;
  for (const LineField& entry : kLineFields) configuration.*entry.field = "stale";
  for (Field field : kFixedFields) configuration.*field = "stale";
  return configuration;
}

class ConfigurationFileTest : public ::testing::Test {
 protected:
  [[nodiscard]] std::string WriteConfiguration(std::string_view contents) const {
    const std::string path = scratch_.File("Saver.c1");
    testing::WriteFileBytes(path, contents);
    return path;
  }

  testing::ScratchFolder scratch_;
};

TEST_F(ConfigurationFileTest, Version3FileSetsEveryLineFieldAndNoFixedValue) {
  std::string contents = "3\r\n";
  for (int line = 2; line <= 40; ++line) contents += LineText(line) + "\r\n";
  const std::string path = WriteConfiguration(contents);

  SaverConfiguration configuration = StaleConfiguration();
  LoadSaverConfiguration(path, configuration);

  const SaverConfiguration defaults;
  for (const LineField& entry : kLineFields) {
    EXPECT_EQ(configuration.*entry.field, LineText(entry.line)) << "line " << entry.line;
  }
  for (Field field : kFixedFields) EXPECT_EQ(configuration.*field, defaults.*field);
}

TEST_F(ConfigurationFileTest, ShortFileLeavesDefaultsInPlaceOfEarlierValues) {
  const std::string path = WriteConfiguration("3\nsecond\nthird\nOwn settings caption");

  SaverConfiguration configuration = StaleConfiguration();
  LoadSaverConfiguration(path, configuration);

  const SaverConfiguration defaults;
  EXPECT_EQ(configuration.SettingsCaption, "Own settings caption");
  for (const LineField& entry : kLineFields) {
    if (entry.line != 4) {
      EXPECT_EQ(configuration.*entry.field, defaults.*entry.field) << "line " << entry.line;
    }
  }
  for (Field field : kFixedFields) EXPECT_EQ(configuration.*field, defaults.*field);
}

// Long lines are read whole, whichever way the file is cut into pieces while
// it is read: the line end may fall anywhere, even between CR and LF.
class ConfigurationLongLineTest : public ConfigurationFileTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(ConfigurationLongLineTest, LineIsReadWhole) {
  const std::size_t length = GetParam();
  std::string caption(length, ' ');
  for (std::size_t i = 0; i < length; ++i) caption[i] = static_cast<char>('a' + i % 26);
  // Lines 1 to 3 take 9 bytes, so the CR of line 4 is the byte at 9 + length.
  const std::string path = WriteConfiguration("3\r\n2\r\n3\r\n" + caption + "\r\nClose it\r\nPassword box\r\n");

  SaverConfiguration configuration;
  LoadSaverConfiguration(path, configuration);
  EXPECT_EQ(configuration.SettingsCaption.size(), length);
  EXPECT_TRUE(configuration.SettingsCaption == caption);
  EXPECT_EQ(configuration.CloseCaption, "Close it");
  EXPECT_EQ(configuration.PasswordDialogCaption, "Password box");
}

INSTANTIATE_TEST_SUITE_P(Lengths, ConfigurationLongLineTest,
                         ::testing::Values(std::size_t{0}, std::size_t{4096 - 10}, std::size_t{4096 - 9},
                                           std::size_t{4096 - 8}, std::size_t{65536 - 10}, std::size_t{65536 - 9},
                                           std::size_t{65536 - 8}, std::size_t{65536 + 1000},
                                           std::size_t{3 * 65536 - 9}, std::size_t{1024 * 1024}));

TEST_F(ConfigurationFileTest, HundredMegabyteLineLoads) {
  constexpr std::size_t kLength = 100u * 1024 * 1024;
  const std::string path = scratch_.File("Saver.c1");
  {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::string head = "3\r\n\r\n\r\n";
    const std::string piece(1024 * 1024, 'x');
    const std::string tail = "\r\nClose it\r\n";
    DWORD written = 0;
    bool ok = ::WriteFile(file, head.data(), static_cast<DWORD>(head.size()), &written, nullptr) != FALSE;
    for (std::size_t done = 0; ok && done < kLength; done += piece.size()) {
      ok = ::WriteFile(file, piece.data(), static_cast<DWORD>(piece.size()), &written, nullptr) != FALSE;
    }
    ok = ok && ::WriteFile(file, tail.data(), static_cast<DWORD>(tail.size()), &written, nullptr) != FALSE;
    ::CloseHandle(file);
    ASSERT_TRUE(ok) << "writing the file failed";
  }

  SaverConfiguration configuration;
  LoadSaverConfiguration(path, configuration);
  EXPECT_EQ(configuration.SettingsCaption.size(), kLength);
  EXPECT_EQ(configuration.SettingsCaption.find_first_not_of('x'), std::string::npos);
  EXPECT_EQ(configuration.CloseCaption, "Close it");
}

// ---------------------------------------------------------------------------
// A file that cannot be opened or read ends the load with an error naming it.

void ExpectLoadFailsNaming(const std::string& path) {
  SaverConfiguration configuration;
  try {
    LoadSaverConfiguration(path, configuration);
    ADD_FAILURE() << "the load of " << path << " did not fail";
  } catch (const std::exception& error) {
    EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
  }
}

TEST_F(ConfigurationFileTest, FileOpenedExclusivelyElsewhereFails) {
  const std::string path = WriteConfiguration("3\r\n\r\n\r\nCaption\r\n");
  HANDLE holder = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  ExpectLoadFailsNaming(path);
  ::CloseHandle(holder);
}

TEST_F(ConfigurationFileTest, FileOpenedForWritingWithoutSharingFails) {
  const std::string path = WriteConfiguration("3\r\n\r\n\r\nCaption\r\n");
  HANDLE holder = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  ExpectLoadFailsNaming(path);
  ::CloseHandle(holder);
}

TEST_F(ConfigurationFileTest, FolderInPlaceOfFileFails) {
  const std::string path = scratch_.File("Saver.c1");
  ASSERT_TRUE(::CreateDirectoryA(path.c_str(), nullptr));
  ExpectLoadFailsNaming(path);
}

TEST_F(ConfigurationFileTest, MissingFileFails) { ExpectLoadFailsNaming(scratch_.File("Absent.c1")); }

// Another handle holds an exclusive lock on the whole file: reading it fails.
TEST_F(ConfigurationFileTest, LockedRangeFailsTheRead) {
  const std::string path = WriteConfiguration("3\r\n\r\n\r\nCaption\r\nClose\r\n");
  HANDLE holder = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  OVERLAPPED whole{};
  ASSERT_TRUE(::LockFileEx(holder, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole))
      << ::GetLastError();

  // Whether the system refuses the read of a locked range to a second handle.
  HANDLE probe = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(probe, INVALID_HANDLE_VALUE);
  char byte = 0;
  DWORD received = 0;
  const bool probeRead = ::ReadFile(probe, &byte, 1, &received, nullptr) != FALSE;
  const DWORD probeError = ::GetLastError();
  ::CloseHandle(probe);

  if (probeRead) {
    ::UnlockFileEx(holder, 0, MAXDWORD, MAXDWORD, &whole);
    ::CloseHandle(holder);
    GTEST_SKIP() << "this system lets a second handle read a locked range";
  }
  EXPECT_EQ(probeError, static_cast<DWORD>(ERROR_LOCK_VIOLATION));
  ExpectLoadFailsNaming(path);
  ::UnlockFileEx(holder, 0, MAXDWORD, MAXDWORD, &whole);
  ::CloseHandle(holder);
}

}  // namespace
}  // namespace tpl
