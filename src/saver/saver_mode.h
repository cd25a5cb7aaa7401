#pragma once
// The full-screen saver with a player: TfrmMain.

#include "package/mode_handover.h"

namespace tpl {

// Creates the window, hands over what start-up gathered and runs its message
// loop; returns the exit code.
int RunSaverWindow(StartupState& state);

}  // namespace tpl
