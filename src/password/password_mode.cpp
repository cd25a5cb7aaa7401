#include "password/password_mode.h"

#include "password/frm_password_code.h"
#include "ui/application.h"

namespace tpl {

// Password mode keeps the dialog's design fonts on every system.
int RunPasswordWindow(StartupState& state) {
  ui::Application application;
  auto& form = application.CreateForm<TfrmPassword>();
  form.SetIcon(application.Icon());
  const SaverConfiguration& configuration = state.configuration;
  form.InstanceMutex = state.instanceMutex;
  form.PasswordDialogCaption = configuration.PasswordDialogCaption;
  form.OkCaption = configuration.OkCaption;
  form.CancelCaption = configuration.CancelCaption;
  form.EnableProtectionCaption = configuration.EnableProtectionCaption;
  form.CurrentPasswordPrompt = configuration.CurrentPasswordPrompt;
  form.NewPasswordPrompt = configuration.NewPasswordPrompt;
  form.ConfirmPasswordPrompt = configuration.ConfirmPasswordPrompt;
  form.PasswordMismatchMessage = configuration.PasswordMismatchMessage;
  form.SaverTitle = configuration.SaverTitle;
  form.FontCharset = configuration.FontCharset;
  return application.Run();
}

}  // namespace tpl
