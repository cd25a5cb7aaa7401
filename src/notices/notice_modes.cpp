#include "notices/notice_modes.h"

#include "notices/frm_main_black_code.h"
#include "notices/frm_settings_black_code.h"
#include "ui/application.h"

namespace tpl {

int RunSaverNotice(StartupState& state) {
  ui::Application application;
  auto& form = application.CreateForm<TfrmMainBlack>();
  if (state.newerWindows) form.UseNewerWindowsFonts();
  form.SetIcon(application.Icon());
  const SaverConfiguration& configuration = state.configuration;
  form.PlayerMissingNotice = configuration.PlayerMissingNotice;
  form.SaverTitle = configuration.SaverTitle;
  form.InstanceMutex = state.instanceMutex;
  form.FontCharset = configuration.FontCharset;
  return application.Run();
}

int RunSettingsNotice(StartupState& state) {
  ui::Application application;
  auto& form = application.CreateForm<TfrmSettingsBlack>();
  if (state.newerWindows) form.UseNewerWindowsFonts();
  form.SetIcon(application.Icon());
  const SaverConfiguration& configuration = state.configuration;
  form.CloseCaption = configuration.CloseCaption;
  form.PlayerMissingNotice = configuration.PlayerMissingNotice;
  form.SaverTitle = configuration.SaverTitle;
  form.InstanceMutex = state.instanceMutex;
  form.FontCharset = configuration.FontCharset;
  return application.Run();
}

}  // namespace tpl
