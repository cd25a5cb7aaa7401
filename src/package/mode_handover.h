#pragma once
// What start-up (src/app) hands to the mode it dispatches to: the names every
// instance shares and what start-up has gathered. The modes include this, never
// src/app, so the include arrows run one way: app -> modes -> package.

#include <windows.h>

#include <string>

#include "package/package_files.h"
#include "package/saver_configuration.h"

namespace tpl {

inline constexpr char kInstanceMutexName[] = "GlimmerforgeScreensaver";
inline constexpr char kQuitMessageName[] = "GlimmerforgeQuit";

// What start-up has gathered by the time it hands over to a mode.
struct StartupState {
  HANDLE instanceMutex = nullptr;  // never closed: the mutex lives as long as the process
  bool newerWindows = false;
  std::string previewHandleText;  // argument 2 as written (preview mode reads it)
  std::string programPath;
  std::string baseName;
  PackagePaths package;
  SaverConfiguration configuration;
  bool playerFound = false;
  std::string saverMoviePath;  // set in saver mode only
};

}  // namespace tpl
