#include "app/startup.h"

#include <exception>
#include <vector>

#include "common/startup_times.h"
#include "package/configuration_file.h"
#include "package/player_detection.h"
#include "ui/standard_error_message.h"

namespace tpl {
namespace {

constexpr std::size_t kLongestPath = 32768;

// Before any window sets its title, the application is known by the program
// file's name without its extension.
std::string DefaultApplicationTitle(const std::string& programPath) {
  const std::size_t slash = programPath.find_last_of("\\/");
  std::string name = slash == std::string::npos ? programPath : programPath.substr(slash + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

// Each missing file ends the run before anything of the package is read.
bool PackageIsComplete(const PackagePaths& package) {
  return FileExists(package.configuration) && FileExists(package.saverMovie) &&
         (FileExists(package.settingsPicture) || FileExists(package.settingsMovie));
}

// Only the windowed dialogs report a start-up failure; the saver and the
// preview must not put a message box on a screen nobody may be watching.
bool ModeReportsStartupErrors(StartupMode mode) {
  return mode == StartupMode::Settings || mode == StartupMode::Password;
}

int Dispatch(StartupMode mode, StartupState& state) {
  switch (mode) {
    case StartupMode::Preview: return RunPreviewMode(state);
    case StartupMode::Password: return RunPasswordMode(state);
    case StartupMode::Settings: return RunSettingsMode(state);
    case StartupMode::Saver: state.saverMoviePath = state.package.saverMovie; return RunSaverMode(state);
    case StartupMode::None: break;
  }
  return 0;
}

}  // namespace

bool IsNewerWindows() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof(info);
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)  // the real version is what decides the font, so the old call is wanted
#endif
  if (!::GetVersionExA(&info)) info.dwMajorVersion = 0;
  return info.dwMajorVersion >= 6;
}

void BroadcastQuitMessage() {
  const UINT quitMessage = ::RegisterWindowMessageA(kQuitMessageName);
  ::SendMessageCallbackA(HWND_BROADCAST, quitMessage, 0, 0, nullptr, 0);
}

std::string ProgramFilePath() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::string(buffer.data(), length);
    if (buffer.size() >= kLongestPath) return {};
    buffer.resize(buffer.size() * 2);  // the path was cut short
  }
}

int RunStartup(const char* commandLine) {
  MarkStartupStep("start-up");
  StartupState state;
  // Created unowned and never closed: its mere existence tells later instances
  // that this one runs, for as long as the process lives.
  state.instanceMutex = ::CreateMutexA(nullptr, FALSE, kInstanceMutexName);
  const bool anotherInstanceRuns = state.instanceMutex != nullptr && ::GetLastError() == ERROR_ALREADY_EXISTS;
  state.newerWindows = IsNewerWindows();
  if (anotherInstanceRuns) BroadcastQuitMessage();
  MarkStartupStep("mutex");

  const StartupArguments arguments = ReadStartupArguments(commandLine != nullptr ? commandLine : "");
  if (IsCompileRequest(arguments.modeArgument)) return 0;
  state.previewHandleText = arguments.previewHandleText;

  state.programPath = ProgramFilePath();
  state.baseName = ExeBaseName(state.programPath);
  state.package = PackagePathsFor(state.baseName);
  if (!PackageIsComplete(state.package)) return 0;
  MarkStartupStep("package gate");

  // Classifying needs nothing but the argument; it is done here once so that a
  // failing configuration can already be reported the way the mode wants.
  const StartupMode mode = ClassifyMode(arguments.modeArgument);
  try {
    LoadSaverConfiguration(state.package.configuration, state.configuration);
  } catch (const std::exception& error) {
    if (ModeReportsStartupErrors(mode)) {
      ShowStandardErrorMessage(DefaultApplicationTitle(state.programPath), error.what());
    }
    return 1;
  }
  MarkStartupStep("configuration");
  state.playerFound = DetectPlayer();
  MarkStartupStep("player detection");
  return Dispatch(mode, state);
}

}  // namespace tpl
