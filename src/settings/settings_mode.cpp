#include "settings/settings_mode.h"

namespace tpl {

// Not yet built: the run ends as an orderly end of the window would.
int RunSettingsWindow(StartupState&) { return 0; }

}  // namespace tpl
