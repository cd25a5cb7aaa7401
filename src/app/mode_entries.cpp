// The mode entries start-up dispatches to. Each mode's window lives in its own
// module; until a mode has one, its run ends here like an orderly end of that window.

#include "app/startup.h"

namespace tpl {

int RunPreviewMode(StartupState&) { return 0; }
int RunPasswordMode(StartupState&) { return 0; }
int RunSettingsMode(StartupState&) { return 0; }
int RunSaverMode(StartupState&) { return 0; }

}  // namespace tpl
