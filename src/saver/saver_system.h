#pragma once
// The system-wide changes the saver makes while it runs, and their undoing:
// the display mode, the flags that tell Windows a screen saver runs, and a
// last-chance restore should the process crash before it could end in order.

#include "saver/saver_rules.h"

#include <windows.h>

#include <optional>

namespace tpl::saver {

// How a display-mode change is made. The saver lowers the resolution with a
// temporary full-screen change (CDS_FULLSCREEN): with flags 0 Windows fits
// other programs' windows and the desktop icons to the lowered size and leaves
// them there after the restore. The restore is a dynamic
// change with flags 0, which also ends the temporary one.
enum class DisplayChange { Lower, Restore };

// The flags ChangeDisplaySettingsA gets for each kind of change.
[[nodiscard]] DWORD DisplayChangeFlags(DisplayChange change) noexcept;

// Switches the primary display (mode 0 of the display as the base record,
// then width, height and frequency); the result is not examined.
void SetDisplayMode(std::int32_t width, std::int32_t height, std::int32_t frequency, DisplayChange change) noexcept;

// The refresh frequency of the primary display's current mode.
[[nodiscard]] std::int32_t GetDisplayFrequency() noexcept;

// The current mode of the primary display as the saver records it.
[[nodiscard]] DisplayMode CurrentDisplayMode() noexcept;

// The primary screen's size, the virtual desktop and, with two or more
// monitors, every monitor in the system's order.
[[nodiscard]] MonitorLayout SystemMonitorLayout();

// Whether the window is topmost and no visible window lies above it: then
// putting it on top again would change nothing on the screen.
[[nodiscard]] bool TopmostAndUncovered(HWND window) noexcept;

// SPI_SETFASTTASKSWITCH, then SPI_SETSCREENSAVERRUNNING, with 1 or 0.
void SetScreenSaverRunningFlags(bool running) noexcept;

// What a crash must put back: kept up to date by the saver as it changes the
// system, read by the unhandled-exception filter.
struct SystemChanges {
  std::optional<DisplayMode> savedMode;  // restore this when set
  bool runningFlagsSet = false;
};

// Installs the filter once; later calls only keep the record current.
void GuardSystemChanges(const SystemChanges& changes) noexcept;

// Puts back what the record says was changed and forgets it; what the
// filter runs, and what the orderly exit runs too.
void RestoreSystemChanges() noexcept;

}  // namespace tpl::saver
