// The mode entries start-up dispatches to: each picks the window of its mode,
// which lives in that window's own folder.

#include "app/startup.h"
#include "notices/notice_modes.h"
#include "password/password_mode.h"
#include "preview/preview_mode.h"
#include "saver/saver_mode.h"
#include "settings/settings_mode.h"

namespace tpl {

int RunPreviewMode(StartupState& state) { return RunPreviewWindow(state); }

int RunPasswordMode(StartupState& state) { return RunPasswordWindow(state); }

int RunSettingsMode(StartupState& state) {
  return state.playerFound ? RunSettingsWindow(state) : RunSettingsNotice(state);
}

int RunSaverMode(StartupState& state) { return state.playerFound ? RunSaverWindow(state) : RunSaverNotice(state); }

}  // namespace tpl
