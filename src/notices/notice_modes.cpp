#include "notices/notice_modes.h"

namespace tpl {

// Not yet built: the run ends as an orderly end of the window would.
int RunSaverNotice(StartupState&) { return 0; }
int RunSettingsNotice(StartupState&) { return 0; }

}  // namespace tpl
