#pragma once
// The password change dialog: TfrmPassword.

#include "package/mode_handover.h"

namespace tpl {

// Creates the window, hands over what start-up gathered and runs its message
// loop; returns the exit code.
int RunPasswordWindow(StartupState& state);

}  // namespace tpl
