#pragma once
// TfrmPassword: sets a new legacy screen-saver password. The user types it
// twice; when both entries agree the upper-case form is stored and the program
// ends. Cancel, Escape, the close box and the quit message of a newly started
// instance end it without storing anything.

#include <windows.h>

#include <string>

#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace tpl {

// Shown when the two entries agree but are longer than the store holds
// (128 characters); nothing is stored and the dialog stays open.
extern const std::string kPasswordTooLongMessage;

class TfrmPassword : public ui::Form {
 public:
  TfrmPassword();

  // Never shown or read: they sit outside the client area, hidden.
  ui::Label lblOldPass{*this, "lblOldPass"};
  ui::Edit txtOldPass{*this, "txtOldPass"};
  ui::CheckBox chkEnableProtect{*this, "chkEnableProtect"};
  ui::Label lblNewPass{*this, "lblNewPass"};
  ui::Edit txtNewPass{*this, "txtNewPass"};
  ui::Label lblConfPass{*this, "lblConfPass"};
  ui::Edit txtConfPass{*this, "txtConfPass"};
  ui::Button btnSave{*this, "btnSave"};
  ui::Button btnCancel{*this, "btnCancel"};

  // Handed over by start-up after creation, read at activation.
  HANDLE InstanceMutex = nullptr;
  std::string PasswordDialogCaption;
  std::string OkCaption;
  std::string CancelCaption;
  std::string EnableProtectionCaption;
  std::string CurrentPasswordPrompt;
  std::string NewPasswordPrompt;
  std::string ConfirmPasswordPrompt;
  std::string PasswordMismatchMessage;
  std::string SaverTitle;
  std::string FontCharset;

 protected:
  void FormCreate() override;
  void FormActivate() override;
  void FormDestroy() override;

 private:
  void btnSaveClick();
  void btnCancelClick();
  void ShowRefusal(const std::string& message);
};

}  // namespace tpl
