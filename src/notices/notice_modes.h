#pragma once
// The notices shown when no player is installed: TfrmMainBlack and TfrmSettingsBlack.

#include "package/mode_handover.h"

namespace tpl {

// Creates the window, hands over what start-up gathered and runs its message
// loop; returns the exit code.
int RunSaverNotice(StartupState& state);
int RunSettingsNotice(StartupState& state);

}  // namespace tpl
