#include "saver/saver_system.h"

#include <windows.h>

#include <cstdlib>
#include <exception>
#include <vector>

namespace tpl::saver {
namespace {

// Read by the exception filter, which may run on a damaged heap: plain values only.
struct {
  bool filterInstalled = false;
  LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;
  bool restoreMode = false;
  DisplayMode savedMode;
  bool runningFlagsSet = false;
} g_changes;

// An exception that reaches a noexcept function ends the process through
// std::terminate, which the exception filter never sees.
std::terminate_handler g_previousTerminate = nullptr;

[[noreturn]] void RestoreBeforeTerminating() noexcept {
  RestoreSystemChanges();
  if (g_previousTerminate != nullptr) g_previousTerminate();
  std::abort();
}

LONG WINAPI RestoreBeforeTheProcessDies(EXCEPTION_POINTERS* exception) noexcept {
  RestoreSystemChanges();
  // The filter that was there before (the runtime's) still decides what happens next.
  return g_changes.previousFilter != nullptr ? g_changes.previousFilter(exception) : EXCEPTION_CONTINUE_SEARCH;
}

BOOL CALLBACK CollectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (::GetMonitorInfoA(monitor, &info)) {
    auto& monitors = *reinterpret_cast<std::vector<Monitor>*>(data);
    const RECT& r = info.rcMonitor;
    monitors.push_back(
        Monitor{{r.left, r.top, r.right - r.left, r.bottom - r.top}, (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
  }
  return TRUE;
}

}  // namespace

MonitorLayout SystemMonitorLayout() {
  MonitorLayout layout;
  layout.primaryScreen = Size{::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  layout.virtualDesktop = Rect{::GetSystemMetrics(SM_XVIRTUALSCREEN), ::GetSystemMetrics(SM_YVIRTUALSCREEN),
                               ::GetSystemMetrics(SM_CXVIRTUALSCREEN), ::GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  // One monitor is the common case: no enumeration for it.
  if (::GetSystemMetrics(SM_CMONITORS) >= 2) {
    ::EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&layout.monitors));
  }
  return layout;
}

DWORD DisplayChangeFlags(DisplayChange change) noexcept { return change == DisplayChange::Lower ? CDS_FULLSCREEN : 0; }

void SetDisplayMode(std::int32_t width, std::int32_t height, std::int32_t frequency, DisplayChange change) noexcept {
  DEVMODEA mode{};
  mode.dmSize = sizeof(mode);
  ::EnumDisplaySettingsA(nullptr, 0, &mode);
  mode.dmSize = sizeof(mode);
  mode.dmDriverExtra = 0;
  mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
  mode.dmPelsWidth = static_cast<DWORD>(width);
  mode.dmPelsHeight = static_cast<DWORD>(height);
  mode.dmDisplayFrequency = static_cast<DWORD>(frequency);
  ::ChangeDisplaySettingsA(&mode, DisplayChangeFlags(change));
}

std::int32_t GetDisplayFrequency() noexcept {
  DEVMODEA mode{};
  mode.dmSize = sizeof(mode);
  if (!::EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode)) return 0;
  return static_cast<std::int32_t>(mode.dmDisplayFrequency);
}

DisplayMode CurrentDisplayMode() noexcept {
  return DisplayMode{::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), GetDisplayFrequency()};
}

bool TopmostAndUncovered(HWND window) noexcept {
  if ((::GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) == 0) return false;
  for (HWND above = ::GetWindow(window, GW_HWNDPREV); above != nullptr; above = ::GetWindow(above, GW_HWNDPREV)) {
    if (::IsWindowVisible(above)) return false;
  }
  return true;
}

void SetScreenSaverRunningFlags(bool running) noexcept {
  // The buffer receives the previous state; nothing reads it.
  static UINT previous = 0;
  const UINT value = running ? 1 : 0;
  ::SystemParametersInfoA(SPI_SETFASTTASKSWITCH, value, &previous, 0);
  ::SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, value, &previous, 0);
}

void GuardSystemChanges(const SystemChanges& changes) noexcept {
  g_changes.restoreMode = changes.savedMode.has_value();
  if (changes.savedMode) g_changes.savedMode = *changes.savedMode;
  g_changes.runningFlagsSet = changes.runningFlagsSet;
  if (!g_changes.filterInstalled) {
    g_changes.filterInstalled = true;
    g_changes.previousFilter = ::SetUnhandledExceptionFilter(RestoreBeforeTheProcessDies);
    g_previousTerminate = std::set_terminate(RestoreBeforeTerminating);
  }
}

void RestoreSystemChanges() noexcept {
  if (g_changes.restoreMode) {
    g_changes.restoreMode = false;
    SetDisplayMode(g_changes.savedMode.width, g_changes.savedMode.height, g_changes.savedMode.frequency,
                   DisplayChange::Restore);
  }
  if (g_changes.runningFlagsSet) {
    g_changes.runningFlagsSet = false;
    SetScreenSaverRunningFlags(false);
  }
}

}  // namespace tpl::saver
