#include "settings/settings_mode.h"

#include <exception>

#include "package/player_detection.h"
#include "settings/frm_settings_code.h"
#include "ui/application.h"

namespace tpl {
namespace {

// Exactly one of the two reaches the dialog: the picture when its file
// exists, otherwise the settings movie's path.
void HandOverPictureOrMovie(TfrmSettings& form, const PackagePaths& package) {
  if (FileExists(package.settingsPicture)) {
    form.SetSettingsPicture(ui::Bitmap::FromBitmapFile(package.settingsPicture));
  } else {
    form.SettingsMoviePath = package.settingsMovie;
  }
}

}  // namespace

int RunSettingsWindow(StartupState& state) {
  ui::Application application;
  TfrmSettings& form = application.CreateForm<TfrmSettings>();
  try {
    HandOverPictureOrMovie(form, state.package);
  } catch (const std::exception& error) {
    // A picture that is there but no bitmap ends start-up like an unreadable
    // configuration does: the error's text, then exit code 1.
    application.ShowErrorMessage(error.what());
    return 1;
  }
  if (state.newerWindows) form.UseNewerWindowsFont();
  form.SetIcon(application.Icon());
  HandOverSettingsConfiguration(form, state.configuration, state.instanceMutex);
  return application.Run();
}

}  // namespace tpl
