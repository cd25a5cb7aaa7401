#pragma once
// The settings dialog with a player: TfrmSettings.

#include "package/mode_handover.h"

namespace tpl {

// Creates the window, hands over what start-up gathered and runs its message
// loop; returns the exit code.
int RunSettingsWindow(StartupState& state);

}  // namespace tpl
