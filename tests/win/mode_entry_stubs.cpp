// Start-up's mode entries belong to the program, not to these tests: they load
// the configuration and never dispatch to a mode, so reaching one is an error.

#include <cstdlib>

#include "app/startup.h"

namespace tpl {
namespace {

[[noreturn]] int NoModeInTests() { std::abort(); }

}  // namespace

int RunPreviewMode(StartupState&) { NoModeInTests(); }
int RunPasswordMode(StartupState&) { NoModeInTests(); }
int RunSettingsMode(StartupState&) { NoModeInTests(); }
int RunSaverMode(StartupState&) { NoModeInTests(); }

}  // namespace tpl
