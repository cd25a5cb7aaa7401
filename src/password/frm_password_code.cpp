#include "password/frm_password_code.h"

#include <array>
#include <utility>

#include "common/font_charset_text.h"
#include "package/mode_handover.h"
#include "password/legacy_password_codec.h"
#include "password/legacy_password_store.h"
#include "ui/window_procedure.h"

namespace tpl {
namespace {

// The edit boxes keep this character set whatever the configuration says.
constexpr int kEditCharset = 238;
const ui::FontStyle kControlFont{"Tahoma", 8, 0, false, DEFAULT_CHARSET, ui::kWindowText};
const ui::FontStyle kEditFont{"Tahoma", 8, 0, false, kEditCharset, ui::kWindowText};

const ui::FormDesign kDesign{
    "TfrmPassword", "", 217, 135, ui::BorderStyle::Single, ui::kButtonFace, {}, ui::FormPosition::ScreenCentre};

// Rows in tab order; the hidden current-password controls come first and are never reached.
const std::array kLayout{
    ui::ControlLayout{"lblOldPass", nullptr, 208, 9, 0, 0, "", ui::kHidden},
    ui::ControlLayout{"txtOldPass", nullptr, 208, 25, 185, 21, "", ui::kHidden},
    ui::ControlLayout{"chkEnableProtect", nullptr, 208, 49, 185, 17, "", ui::kHidden},
    ui::ControlLayout{"lblNewPass", nullptr, 16, 9, 0, 0},
    ui::ControlLayout{"txtNewPass", nullptr, 16, 25, 185, 21},
    ui::ControlLayout{"lblConfPass", nullptr, 16, 49, 0, 0},
    ui::ControlLayout{"txtConfPass", nullptr, 16, 65, 185, 21},
    ui::ControlLayout{"btnSave", nullptr, 32, 97, 73, 25, "", ui::kDefaultButton},
    ui::ControlLayout{"btnCancel", nullptr, 112, 97, 73, 25, "", ui::kCancelButton},
};

struct PasswordDialogState {
  UINT quitMessage = 0;
  ui::WindowProcedureReplacement procedure;
  HANDLE mutex = nullptr;
};
PasswordDialogState g_passwordDialog;

// Also reached while the mismatch message is open: its loop dispatches sent
// messages too.
LRESULT CALLBACK PasswordFormWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (g_passwordDialog.quitMessage != 0 && message == g_passwordDialog.quitMessage) {
    ::ReplyMessage(0);
    ::ReleaseMutex(g_passwordDialog.mutex);
    ::ExitProcess(0);
  }
  return g_passwordDialog.procedure.CallPrevious(window, message, wParam, lParam);
}

}  // namespace

// Not one of the configuration file's texts: the file has no line for it.
const std::string kPasswordTooLongMessage =
    "Your new password is longer than 128 characters and cannot be stored. Please choose a shorter one.";

namespace {

// Upper case by the rules of the system's ANSI code page.
std::string UpperCaseAnsi(std::string text) {
  if (!text.empty()) ::CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

}  // namespace

TfrmPassword::TfrmPassword() : ui::Form(kDesign, kLayout) {
  for (ui::Control* control : {static_cast<ui::Control*>(&lblOldPass), static_cast<ui::Control*>(&lblNewPass),
                               static_cast<ui::Control*>(&lblConfPass), static_cast<ui::Control*>(&chkEnableProtect),
                               static_cast<ui::Control*>(&btnSave), static_cast<ui::Control*>(&btnCancel)}) {
    control->SetFont(kControlFont);
  }
  // No length limit: a box capped at 128 characters cut a longer
  // pasted password without a word, and the cut one was stored. A new password
  // longer than the store holds is refused at Save instead.
  for (ui::Edit* edit : {&txtOldPass, &txtNewPass, &txtConfPass}) {
    edit->SetFont(kEditFont);
    edit->SetPasswordChar('*');
  }
  btnSave.OnClick = [this] { btnSaveClick(); };
  btnCancel.OnClick = [this] { btnCancelClick(); };
}

void TfrmPassword::FormCreate() {
  g_passwordDialog.quitMessage = ::RegisterWindowMessageA(kQuitMessageName);
  g_passwordDialog.procedure = ui::WindowProcedureReplacement(Handle(), PasswordFormWindowProc);
}

void TfrmPassword::FormActivate() {
  g_passwordDialog.mutex = InstanceMutex;
  SetCaption(PasswordDialogCaption);
  const std::pair<ui::Control*, const std::string*> captions[] = {
      {&btnSave, &OkCaption},
      {&btnCancel, &CancelCaption},
      {&chkEnableProtect, &EnableProtectionCaption},
      {&lblOldPass, &CurrentPasswordPrompt},
      {&lblNewPass, &NewPasswordPrompt},
      {&lblConfPass, &ConfirmPasswordPrompt},
  };
  for (const auto& [control, caption] : captions) {
    control->SetCaption(*caption);
    control->SetFontCharset(FontCharsetFromText(FontCharset));
  }
  if (ui::Application* application = ui::Application::Current()) application->SetTitle(SaverTitle);
}

void TfrmPassword::btnSaveClick() {
  // Compared before the conversion: entries that differ only in case differ.
  switch (CheckNewPassword(txtNewPass.Text(), txtConfPass.Text())) {
    case NewPasswordCheck::Mismatch: ShowRefusal(PasswordMismatchMessage); return;
    case NewPasswordCheck::TooLong: ShowRefusal(kPasswordTooLongMessage); return;
    case NewPasswordCheck::Store: break;
  }
  txtNewPass.SetText(UpperCaseAnsi(txtNewPass.Text()));
  WriteLegacyPassword(txtNewPass.Text());
  if (ui::Application* application = ui::Application::Current()) application->Terminate();
}

// A message with one OK button under the application title; the dialog stays open.
void TfrmPassword::ShowRefusal(const std::string& message) {
  const ui::Application* application = ui::Application::Current();
  const std::string title = application != nullptr ? application->Title() : SaverTitle;
  ::MessageBoxA(Handle(), message.c_str(), title.c_str(), MB_OK);
}

void TfrmPassword::btnCancelClick() {
  ::ReleaseMutex(g_passwordDialog.mutex);
  if (ui::Application* application = ui::Application::Current()) application->Terminate();
}

void TfrmPassword::FormDestroy() {
  ::ReleaseMutex(g_passwordDialog.mutex);
  g_passwordDialog.procedure.Restore();
}

}  // namespace tpl
