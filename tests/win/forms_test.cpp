// The forms of the preview, the password dialog and the notices as their
// windows come out: each control where its layout puts it, the roles, limits
// and fonts they carry, the fonts start-up gives them on newer systems, and an
// activation that stops at a character set that is no number.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "notices/frm_main_black_code.h"
#include "notices/frm_settings_black_code.h"
#include "password/frm_password_code.h"
#include "preview/frm_preview_code.h"
#include "ui/application.h"
#include "win/ui_test_support.h"

namespace tpl {
namespace {

using testing::MessageBoxWatcher;
using testing::PumpUntil;

struct Bounds {
  const char* name;
  int left;
  int top;
  int width;
  int height;
};

void ExpectBounds(const ui::Control& control, const Bounds& expected) {
  EXPECT_EQ(control.Left(), expected.left) << expected.name;
  EXPECT_EQ(control.Top(), expected.top) << expected.name;
  EXPECT_EQ(control.Width(), expected.width) << expected.name;
  EXPECT_EQ(control.Height(), expected.height) << expected.name;
}

// The client size of a form whose window exists.
void ExpectClientSize(const ui::Form& form, int width, int height) {
  EXPECT_EQ(form.ClientWidth(), width) << form.ClassName();
  EXPECT_EQ(form.ClientHeight(), height) << form.ClassName();
}

TEST(SaverNoticeForm, LaidOutAsDesigned) {
  ui::Application application;
  auto& form = application.CreateForm<TfrmMainBlack>();
  ASSERT_EQ(form.PixelsPerInch(), 96) << "the layout values below are at 96 pixels per inch";
  ExpectClientSize(form, 533, 320);
  EXPECT_EQ(form.Border(), ui::BorderStyle::None);
  EXPECT_EQ(form.BackgroundColour(), ui::kBlack);
  ExpectBounds(form.fraHlaska, {"fraHlaska", 116, 111, 313, 97});
  ExpectBounds(form.lblHlaska, {"lblHlaska", 8, 5, 297, 52});
  ExpectBounds(form.lblURL, {"lblURL", 8, 64, 297, 25});
  EXPECT_EQ(form.fraHlaska.BackgroundColour(), ui::kBlack);
  EXPECT_EQ(form.lblURL.Caption(), kPlayerPageAddress);
  for (const ui::Label* label : {&form.lblHlaska, &form.lblURL}) {
    EXPECT_EQ(label->Font().face, "Tahoma");
    EXPECT_TRUE(label->Font().bold);
    EXPECT_EQ(label->Font().colour, ui::kWhite);
  }
  EXPECT_EQ(form.lblHlaska.Font().charset, 238);
  EXPECT_EQ(form.tmrAnimace.Interval(), 3000u);
  EXPECT_FALSE(form.tmrAnimace.Enabled()) << "the panel keeps its place until activation";
}

TEST(SaverNoticeForm, NewerWindowsFontsKeepTheBoldStyle) {
  ui::Application application;
  auto& form = application.CreateForm<TfrmMainBlack>();
  form.UseNewerWindowsFonts();
  EXPECT_EQ(form.Font().face, "Segoe UI");
  for (const ui::Label* label : {&form.lblHlaska, &form.lblURL}) {
    EXPECT_EQ(label->Font().face, "Segoe UI");
    EXPECT_TRUE(label->Font().bold);
  }
  EXPECT_EQ(form.lblHlaska.Font().charset, 238);
}

TEST(SettingsNoticeForm, LaidOutAsDesignedAndUnscaled) {
  ui::Application application;
  auto& form = application.CreateForm<TfrmSettingsBlack>();
  EXPECT_EQ(form.PixelsPerInch(), 96);
  ExpectClientSize(form, 331, 171);
  EXPECT_EQ(form.Border(), ui::BorderStyle::Single);
  EXPECT_EQ(form.BackgroundColour(), ui::kWhite);
  EXPECT_EQ(form.Font().face, "Tahoma");
  ExpectBounds(form.cmdClose, {"cmdClose", 232, 128, 81, 25});
  ExpectBounds(form.fraHlaska, {"fraHlaska", 8, 8, 313, 97});
  ExpectBounds(form.lblHlaska, {"lblHlaska", 8, 5, 297, 52});
  ExpectBounds(form.lblURL, {"lblURL", 8, 64, 297, 25});
  EXPECT_FALSE(form.cmdClose.IsDefault());
  EXPECT_FALSE(form.cmdClose.IsCancel());
  EXPECT_EQ(form.lblURL.Caption(), kPlayerPageAddress);
  EXPECT_TRUE(form.lblHlaska.Font().bold);
  EXPECT_TRUE(form.lblURL.Font().bold);
}

TEST(SettingsNoticeForm, NewerWindowsFontsArePlain) {
  ui::Application application;
  auto& form = application.CreateForm<TfrmSettingsBlack>();
  form.UseNewerWindowsFonts();
  EXPECT_EQ(form.Font().face, "Segoe UI");
  EXPECT_EQ(form.cmdClose.Font().face, "Segoe UI");
  for (const ui::Label* label : {&form.lblHlaska, &form.lblURL}) {
    EXPECT_EQ(label->Font().face, "Segoe UI");
    EXPECT_FALSE(label->Font().bold);
  }
  EXPECT_EQ(form.lblHlaska.Font().charset, 238);
}

// Activation applies the texts in order; a character set that is no number
// stops it with the standard error message, so the caption never arrives.
TEST(SettingsNoticeForm, CharsetThatIsNoNumberStopsTheActivation) {
  ui::Application application;
  auto& form = application.CreateForm<TfrmSettingsBlack>();
  form.CloseCaption = "Shut";
  form.PlayerMissingNotice = "No player";
  form.SaverTitle = "Night Sky";
  form.FontCharset = "abc";
  const MessageBoxWatcher watcher;
  form.Show();
  ASSERT_TRUE(PumpUntil(application, [&] { return watcher.Seen() > 0; }));
  EXPECT_EQ(watcher.Text(), "'abc' is not a valid integer value");
  EXPECT_EQ(form.cmdClose.Caption(), "Shut");
  EXPECT_NE(form.lblHlaska.Caption(), "No player");
  EXPECT_NE(form.Caption(), "Night Sky");
}

TEST(SettingsNoticeForm, ActivationAppliesTheHandedOverTexts) {
  ui::Application application;
  auto& form = application.CreateForm<TfrmSettingsBlack>();
  form.CloseCaption = "Shut";
  form.PlayerMissingNotice = "No player";
  form.SaverTitle = "Night Sky";
  form.FontCharset = "204";
  form.Show();
  ASSERT_TRUE(PumpUntil(application, [&] { return form.Caption() == "Night Sky"; }));
  EXPECT_EQ(form.cmdClose.Caption(), "Shut");
  EXPECT_EQ(form.cmdClose.Font().charset, 204);
  EXPECT_EQ(form.lblHlaska.Caption(), "No player");
  EXPECT_EQ(form.lblHlaska.Font().charset, 204);
  EXPECT_EQ(form.lblURL.Font().charset, DEFAULT_CHARSET) << "the address keeps its design character set";
  EXPECT_EQ(application.Title(), "Night Sky");
}

TEST(PasswordForm, LaidOutAsDesigned) {
  ui::Application application;
  auto& form = application.CreateForm<TfrmPassword>();
  ExpectClientSize(form, 217, 135);
  EXPECT_EQ(form.Border(), ui::BorderStyle::Single);
  EXPECT_EQ(form.Font().face, "MS Sans Serif");
  ExpectBounds(form.txtNewPass, {"txtNewPass", 16, 25, 185, 21});
  ExpectBounds(form.txtConfPass, {"txtConfPass", 16, 65, 185, 21});
  ExpectBounds(form.btnSave, {"btnSave", 32, 97, 73, 25});
  ExpectBounds(form.btnCancel, {"btnCancel", 112, 97, 73, 25});
  EXPECT_EQ(form.lblNewPass.Left(), 16);
  EXPECT_EQ(form.lblNewPass.Top(), 9);
  EXPECT_EQ(form.lblConfPass.Left(), 16);
  EXPECT_EQ(form.lblConfPass.Top(), 49);
  EXPECT_TRUE(form.btnSave.IsDefault());
  EXPECT_TRUE(form.btnCancel.IsCancel());
  for (const ui::Control* hidden :
       {static_cast<const ui::Control*>(&form.lblOldPass), static_cast<const ui::Control*>(&form.txtOldPass),
        static_cast<const ui::Control*>(&form.chkEnableProtect)}) {
    EXPECT_FALSE(hidden->Visible()) << hidden->Name();
    EXPECT_GE(hidden->Left(), 208) << hidden->Name();
  }
}

// No cap on the entries: a capped box cut a longer
// pasted password without a word. Over-long ones are refused at Save instead.
TEST(PasswordForm, EditBoxesHideTheirTextAndLimitNoLength) {
  ui::Application application;
  auto& form = application.CreateForm<TfrmPassword>();
  for (const ui::Edit* edit : {&form.txtNewPass, &form.txtConfPass}) {
    EXPECT_EQ(::SendMessageA(edit->Handle(), EM_GETPASSWORDCHAR, 0, 0), '*') << edit->Name();
    EXPECT_GT(::SendMessageA(edit->Handle(), EM_GETLIMITTEXT, 0, 0), 128) << edit->Name();
    EXPECT_EQ(edit->Font().face, "Tahoma");
    EXPECT_EQ(edit->Font().charset, 238);
  }
  for (const ui::Control* control :
       {static_cast<const ui::Control*>(&form.lblNewPass), static_cast<const ui::Control*>(&form.btnSave)}) {
    EXPECT_EQ(control->Font().face, "Tahoma") << control->Name();
  }
}

TEST(PasswordForm, ActivationCaptionsAndCharsetLeaveTheEditBoxesAlone) {
  ui::Application application;
  auto& form = application.CreateForm<TfrmPassword>();
  form.PasswordDialogCaption = "Password protection";
  form.OkCaption = "Fine";
  form.CancelCaption = "Back";
  form.EnableProtectionCaption = "Protect";
  form.CurrentPasswordPrompt = "Old:";
  form.NewPasswordPrompt = "New:";
  form.ConfirmPasswordPrompt = "Again:";
  form.SaverTitle = "Night Sky";
  form.FontCharset = "161";
  form.Show();
  ASSERT_TRUE(PumpUntil(application, [&] { return application.Title() == "Night Sky"; }));
  EXPECT_EQ(form.Caption(), "Password protection");
  const std::vector<std::pair<const ui::Control*, std::string>> captions = {
      {&form.btnSave, "Fine"},    {&form.btnCancel, "Back"},  {&form.chkEnableProtect, "Protect"},
      {&form.lblOldPass, "Old:"}, {&form.lblNewPass, "New:"}, {&form.lblConfPass, "Again:"},
  };
  for (const auto& [control, caption] : captions) {
    EXPECT_EQ(control->Caption(), caption) << control->Name();
    EXPECT_EQ(control->Font().charset, 161) << control->Name();
  }
  EXPECT_EQ(form.txtNewPass.Font().charset, 238);
  EXPECT_EQ(form.txtConfPass.Font().charset, 238);
  EXPECT_TRUE(form.txtNewPass.Focused()) << "the focus starts in the new password";
}

TEST(PreviewForm, HiddenTransparentAndPlayerSized) {
  ui::Application application;
  auto& form = application.CreateForm<TfrmPreview>();
  ExpectClientSize(form, 359, 292);
  EXPECT_EQ(form.Border(), ui::BorderStyle::None);
  EXPECT_EQ(form.Caption(), "Screensaver");
  EXPECT_FALSE(form.Visible());
  ExpectBounds(form.swfPreview, {"swfPreview", 8, 8, 154, 113});
  const LONG_PTR extended = ::GetWindowLongPtrA(form.Handle(), GWL_EXSTYLE);
  ASSERT_NE(extended & WS_EX_LAYERED, 0);
  BYTE alpha = 255;
  DWORD flags = 0;
  ASSERT_TRUE(::GetLayeredWindowAttributes(form.Handle(), nullptr, &alpha, &flags));
  EXPECT_EQ(alpha, 0);
  EXPECT_NE(flags & LWA_ALPHA, 0u);
}

// A safety net for the test below: ends the loop when activation did not.
ui::Application* g_loopToEnd = nullptr;
bool g_fallbackEndedTheLoop = false;

void CALLBACK EndTheLoopAfterAll(HWND, UINT, UINT_PTR, DWORD) {
  g_fallbackEndedTheLoop = true;
  if (g_loopToEnd != nullptr) g_loopToEnd->Terminate();
}

// Its activation ends the application's loop at once.
TEST(PreviewForm, ActivationEndsTheLoop) {
  ui::Application application;
  static_cast<void>(application.CreateForm<TfrmPreview>());
  g_loopToEnd = &application;
  g_fallbackEndedTheLoop = false;
  const UINT_PTR fallback = ::SetTimer(nullptr, 0, 5000, EndTheLoopAfterAll);
  EXPECT_EQ(application.Run(), 0);
  ::KillTimer(nullptr, fallback);
  g_loopToEnd = nullptr;
  EXPECT_FALSE(g_fallbackEndedTheLoop) << "the loop ran on until the fallback timer ended it";
}

}  // namespace
}  // namespace tpl
