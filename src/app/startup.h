#pragma once
// The entry of every run: single-instance signal, arguments, package gate,
// configuration, player detection, then exactly one mode.

#include <windows.h>

#include <string>

#include "app/command_line.h"
#include "package/mode_handover.h"

namespace tpl {

// Major version 6 or above.
[[nodiscard]] bool IsNewerWindows();

// Tells a running instance to quit without waiting for it.
void BroadcastQuitMessage();

// The running program file's full path.
[[nodiscard]] std::string ProgramFilePath();

// Runs start-up and the chosen mode; returns the process exit code.
[[nodiscard]] int RunStartup(const char* commandLine);

// One entry per mode; each returns the exit code once its window has ended.
int RunPreviewMode(StartupState& state);
int RunPasswordMode(StartupState& state);
int RunSettingsMode(StartupState& state);
int RunSaverMode(StartupState& state);

}  // namespace tpl
