#pragma once
// The entry of every run: single-instance signal, arguments, package gate,
// configuration, player detection, then exactly one mode.

#include <windows.h>

#include <string>

#include "app/command_line.h"
#include "app/package_files.h"
#include "app/saver_configuration.h"

namespace tpl {

inline constexpr char kInstanceMutexName[] = "GlimmerforgeScreensaver";
inline constexpr char kQuitMessageName[] = "GlimmerforgeQuit";

// What start-up has gathered by the time it hands over to a mode.
struct StartupState {
  HANDLE instanceMutex = nullptr;  // never closed: the mutex lives as long as the process
  bool newerWindows = false;
  StartupArguments arguments;
  std::string programPath;
  std::string baseName;
  PackagePaths package;
  SaverConfiguration configuration;
  bool playerFound = false;
  std::string saverMoviePath;  // set in saver mode only
};

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
