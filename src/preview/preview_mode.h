#pragma once
// The preview thumbnail: TfrmPreview.

#include "package/mode_handover.h"

namespace tpl {

// Creates the window, hands over what start-up gathered and runs its message
// loop; returns the exit code.
int RunPreviewWindow(StartupState& state);

}  // namespace tpl
