#pragma once
// The preview thumbnail: TfrmPreview.

#include "app/startup.h"

namespace tpl {

// Creates the window, hands over what start-up gathered and runs its message
// loop; returns the exit code.
int RunPreviewWindow(StartupState& state);

}  // namespace tpl
