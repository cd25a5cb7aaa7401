// Password mode as a user meets it: the new password typed twice into the
// dialog, stored in upper case as the legacy screen-saver password when both
// entries agree, refused with the configured message when they differ, and
// nothing stored when the dialog is left any other way. The protection switch
// "ScreenSaveUsePassword" is never written.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "e2e/configuration_lines.h"
#include "e2e/program_run.h"
#include "e2e/program_windows.h"
#include "e2e/saver_package.h"
#include "password/legacy_password_codec.h"

namespace tpl::e2e {
namespace {

constexpr char kPasswordDialog[] = "TfrmPassword";
constexpr char kDesktopKey[] = "\\Control Panel\\Desktop";
constexpr char kDataValue[] = "ScreenSave_Data";
constexpr char kSwitchValue[] = "ScreenSaveUsePassword";
constexpr char kMismatchMessage[] = "Those two do not agree.";
constexpr char kSaverTitle[] = "Night Sky";
constexpr char kTooLongMessage[] =
    "Your new password is longer than 128 characters and cannot be stored. Please choose a shorter one.";
constexpr DWORD kSettleMs = 400;

// What the store held before each test: an encoded "A" and protection on, so
// that writing the dialog's hidden, unticked protection box would show.
const std::vector<std::uint8_t> kStoredBefore = {'4', '1', 0};
const std::vector<std::uint8_t> kSwitchBefore = {1, 0, 0, 0};

class PasswordDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::SetRawRegistryValue(HKEY_CURRENT_USER, kDesktopKey, kDataValue, REG_BINARY, kStoredBefore);
    testing::SetRawRegistryValue(HKEY_CURRENT_USER, kDesktopKey, kSwitchValue, REG_DWORD, kSwitchBefore);
    run_.emplace(package_.ProgramPath(), "/a");
    dialog_ = WaitForVisibleWindow(run_->Process(), kPasswordDialog);
    ASSERT_NE(dialog_, nullptr) << "no password dialog";
    edits_ = VisibleChildren("Edit");
    ASSERT_EQ(edits_.size(), 2u) << "the current-password box must stay hidden";
    buttons_ = VisibleChildren("Button");
    ASSERT_EQ(buttons_.size(), 2u) << "the protection check box must stay hidden";
    // Input reaches the dialog once it is the active window.
    ASSERT_TRUE(WaitForForeground(dialog_));
  }

  // Visible children of a class, left to right and top to bottom.
  [[nodiscard]] std::vector<HWND> VisibleChildren(const char* className) const {
    std::vector<HWND> children = ChildrenOfClass(dialog_, className);
    std::erase_if(children, [](HWND child) { return !::IsWindowVisible(child); });
    std::sort(children.begin(), children.end(), [](HWND a, HWND b) {
      const RECT ra = ScreenBoundsOf(a);
      const RECT rb = ScreenBoundsOf(b);
      return ra.top != rb.top ? ra.top < rb.top : ra.left < rb.left;
    });
    return children;
  }

  // Typed into the boxes as characters, one message each, as the keyboard would.
  void Type(const std::string& newPassword, const std::string& confirmation) const {
    for (char c : newPassword) ::PostMessageA(edits_[0], WM_CHAR, static_cast<unsigned char>(c), 1);
    for (char c : confirmation) ::PostMessageA(edits_[1], WM_CHAR, static_cast<unsigned char>(c), 1);
  }

  // Enter on the new-password box: the dialog's default button.
  void PressEnter() const {
    ::PostMessageA(edits_[0], WM_KEYDOWN, VK_RETURN, 1);
    ::PostMessageA(edits_[0], WM_KEYUP, VK_RETURN, 0xC0000001);
  }

  [[nodiscard]] std::optional<DWORD> Ends() { return run_->Finish(MessageBoxes::Leave); }

  [[nodiscard]] static std::optional<testing::RawRegistryValue> Stored() {
    return testing::GetRawRegistryValue(HKEY_CURRENT_USER, kDesktopKey, kDataValue);
  }

  static void ExpectNothingStored() {
    const auto data = Stored();
    ASSERT_TRUE(data.has_value());
    EXPECT_EQ(data->bytes, kStoredBefore);
    ExpectSwitchUntouched();
  }

  static void ExpectSwitchUntouched() {
    const auto protection = testing::GetRawRegistryValue(HKEY_CURRENT_USER, kDesktopKey, kSwitchValue);
    ASSERT_TRUE(protection.has_value());
    EXPECT_EQ(protection->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(protection->bytes, kSwitchBefore);
  }

  const testing::RegistryValueBackup dataBackup_{HKEY_CURRENT_USER, kDesktopKey, kDataValue};
  const testing::RegistryValueBackup switchBackup_{HKEY_CURRENT_USER, kDesktopKey, kSwitchValue};
  const SaverPackage package_{"MySaver", kCompletePackage,
                              ConfigurationLines({{19, kMismatchMessage}, {20, kSaverTitle}})};
  std::optional<ProgramRun> run_;
  HWND dialog_ = nullptr;
  std::vector<HWND> edits_;
  std::vector<HWND> buttons_;  // Save, Cancel
};

struct StoreCase {
  const char* label;
  std::string typed;
  std::string stored;  // what the saver will ask for
};

const StoreCase kStoreCases[] = {
    {"lower_case", "secret", "SECRET"},
    {"mixed_with_digits", "aB3x9", "AB3X9"},
    {"upper_case", "NIGHT", "NIGHT"},
    {"empty", "", ""},
    {"as_long_as_the_store_holds", std::string(128, 'q'), std::string(128, 'Q')},
};

void PrintTo(const StoreCase& tested, std::ostream* out) { *out << tested.label; }

class PasswordStore : public PasswordDialog, public ::testing::WithParamInterface<StoreCase> {};

TEST_P(PasswordStore, MatchingEntriesAreStoredInUpperCase) {
  Type(GetParam().typed, GetParam().typed);
  PressEnter();
  EXPECT_EQ(Ends(), std::optional<DWORD>(0));
  const auto data = Stored();
  ASSERT_TRUE(data.has_value());
  EXPECT_EQ(data->type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(data->bytes, EncodeLegacyPassword(GetParam().stored));
  EXPECT_EQ(data->bytes.size(), 2 * GetParam().stored.size() + 1);
  EXPECT_EQ(data->bytes.back(), 0);
  ExpectSwitchUntouched();
}

INSTANTIATE_TEST_SUITE_P(Entries, PasswordStore, ::testing::ValuesIn(kStoreCases),
                         [](const auto& tested) { return std::string(tested.param.label); });

TEST_F(PasswordDialog, EmptyPasswordIsASingleZeroByte) {
  ::PostMessageA(buttons_[0], BM_CLICK, 0, 0);
  EXPECT_EQ(Ends(), std::optional<DWORD>(0));
  const auto data = Stored();
  ASSERT_TRUE(data.has_value());
  EXPECT_EQ(data->bytes, std::vector<std::uint8_t>{0});
}

struct MismatchCase {
  const char* label;
  const char* first;
  const char* second;
};

const MismatchCase kMismatches[] = {
    {"different", "abc", "abd"},
    {"case_only", "abc", "ABC"},
    {"one_longer", "abc", "abcd"},
    {"second_empty", "abc", ""},
};

void PrintTo(const MismatchCase& tested, std::ostream* out) { *out << tested.label; }

class PasswordMismatch : public PasswordDialog, public ::testing::WithParamInterface<MismatchCase> {};

TEST_P(PasswordMismatch, ShowsTheMessageStoresNothingAndStaysOpen) {
  Type(GetParam().first, GetParam().second);
  PressEnter();
  const HWND box = run_->WaitForMessageBox();
  ASSERT_NE(box, nullptr) << "no mismatch message";
  const std::vector<SeenWindow> boxes = run_->MessageBoxesSeen();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, kSaverTitle);
  EXPECT_EQ(boxes[0].text, kMismatchMessage);
  AnswerMessageBox(box);
  EXPECT_TRUE(StillRunningAfter(run_->Process(), kSettleMs)) << "the dialog ended after the message";
  EXPECT_TRUE(::IsWindowVisible(dialog_));
  ExpectNothingStored();
  ::PostMessageA(buttons_[1], BM_CLICK, 0, 0);
  EXPECT_EQ(Ends(), std::optional<DWORD>(0));
  ExpectNothingStored();
}

INSTANTIATE_TEST_SUITE_P(Entries, PasswordMismatch, ::testing::ValuesIn(kMismatches),
                         [](const auto& tested) { return std::string(tested.param.label); });

// A new password longer than the store holds (128
// characters) was cut without a word by the boxes' cap and stored cut, so it
// could never be typed back. It is refused with a message, nothing stored.
enum class Entering { Typed, Pasted };

struct TooLongCase {
  const char* label;
  std::size_t length;
  Entering how;
};

const TooLongCase kTooLongCases[] = {
    {"typed_129", 129, Entering::Typed},
    {"pasted_200", 200, Entering::Pasted},
};

void PrintTo(const TooLongCase& tested, std::ostream* out) { *out << tested.label; }

class PasswordTooLong : public PasswordDialog, public ::testing::WithParamInterface<TooLongCase> {};

TEST_P(PasswordTooLong, IsRefusedWithAMessageAndNothingStored) {
  const std::string password(GetParam().length, 'q');
  if (GetParam().how == Entering::Typed) {
    Type(password, password);
  } else {
    ASSERT_TRUE(testing::PutTextOnClipboard(password));
    ::PostMessageA(edits_[0], WM_PASTE, 0, 0);
    ::PostMessageA(edits_[1], WM_PASTE, 0, 0);
  }
  PressEnter();
  const HWND box = run_->WaitForMessageBox();
  ASSERT_NE(box, nullptr) << "no message for the over-long password";
  const std::vector<SeenWindow> boxes = run_->MessageBoxesSeen();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, kSaverTitle);
  EXPECT_EQ(boxes[0].text, kTooLongMessage);
  AnswerMessageBox(box);
  EXPECT_TRUE(StillRunningAfter(run_->Process(), kSettleMs)) << "the dialog ended after the message";
  ExpectNothingStored();
  ::PostMessageA(buttons_[1], BM_CLICK, 0, 0);
  EXPECT_EQ(Ends(), std::optional<DWORD>(0));
  ExpectNothingStored();
}

INSTANTIATE_TEST_SUITE_P(Entries, PasswordTooLong, ::testing::ValuesIn(kTooLongCases),
                         [](const auto& tested) { return std::string(tested.param.label); });

TEST_F(PasswordDialog, QuitBroadcastEndsItWhileTheMismatchMessageIsOpen) {
  Type("abc", "xyz");
  PressEnter();
  ASSERT_NE(run_->WaitForMessageBox(), nullptr) << "no mismatch message";
  BroadcastQuit();
  EXPECT_EQ(Ends(), std::optional<DWORD>(0));
  ExpectNothingStored();
}

enum class Leaving { CancelButton, EscapeKey, CloseBox, QuitBroadcast };

struct LeaveCase {
  const char* label;
  Leaving how;
};

const LeaveCase kLeaveCases[] = {
    {"cancel_button", Leaving::CancelButton},
    {"escape_key", Leaving::EscapeKey},
    {"close_box", Leaving::CloseBox},
    {"quit_broadcast", Leaving::QuitBroadcast},
};

void PrintTo(const LeaveCase& tested, std::ostream* out) { *out << tested.label; }

class PasswordLeave : public PasswordDialog, public ::testing::WithParamInterface<LeaveCase> {};

TEST_P(PasswordLeave, EndsWithoutStoringMatchingEntries) {
  Type("secret", "secret");
  switch (GetParam().how) {
    case Leaving::CancelButton: {
      const RECT cancel = ScreenBoundsOf(buttons_[1]);
      ClickLeftAt((cancel.left + cancel.right) / 2, (cancel.top + cancel.bottom) / 2);
      break;
    }
    case Leaving::EscapeKey:
      ::PostMessageA(edits_[1], WM_KEYDOWN, VK_ESCAPE, 1);
      ::PostMessageA(edits_[1], WM_KEYUP, VK_ESCAPE, 0xC0000001);
      break;
    case Leaving::CloseBox: ::PostMessageA(dialog_, WM_SYSCOMMAND, SC_CLOSE, 0); break;
    case Leaving::QuitBroadcast: BroadcastQuit(); break;
  }
  EXPECT_EQ(Ends(), std::optional<DWORD>(0));
  ExpectNothingStored();
}

INSTANTIATE_TEST_SUITE_P(Ways, PasswordLeave, ::testing::ValuesIn(kLeaveCases),
                         [](const auto& tested) { return std::string(tested.param.label); });

}  // namespace
}  // namespace tpl::e2e
