#pragma once
// Finding and driving the windows of a program under test from outside, as a
// user or a newly started instance would: waiting for a window of a form's
// class, its child controls, real mouse and keyboard input, the quit broadcast.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/win_test_support.h"

namespace tpl::e2e {

// The first visible top-level window of the process with that class; null
// when the process ends or the timeout passes first. This thread's messages
// are handled meanwhile.
[[nodiscard]] HWND WaitForVisibleWindow(testing::ChildProcess& process, const std::string& className,
                                        DWORD timeoutMs = 15000);

// Brings the window to the foreground and waits until it is there, with this
// thread's messages handled meanwhile; false when the timeout passes first.
[[nodiscard]] bool WaitForForeground(HWND window, DWORD timeoutMs = 15000);

// The classes of the process's visible top-level windows.
[[nodiscard]] std::vector<std::string> VisibleWindowClassesOf(DWORD processId);

// The direct children of a window with the given class, in creation order.
[[nodiscard]] std::vector<HWND> ChildrenOfClass(HWND parent, const std::string& className);

// A window's bounds in screen coordinates.
[[nodiscard]] RECT ScreenBoundsOf(HWND window);

// What the screen shows where the window is, row by row (0x00RRGGBB): read from
// the screen, since another process's window and fonts cannot be read directly.
[[nodiscard]] std::vector<std::uint32_t> ScreenPixelsOf(HWND window);

// "GlimmerforgeQuit" to every top-level window, without waiting, as a newly
// started instance sends it.
void BroadcastQuit();

// Whether the process is still running after the given time (it must not end).
[[nodiscard]] bool StillRunningAfter(testing::ChildProcess& process, DWORD milliseconds);

// Real input through SendInput.
void MoveCursorTo(int x, int y);
void ClickLeftAt(int x, int y);
void SendMouseButton(DWORD downFlag, DWORD upFlag);
void SendWheel(int delta);
void SendKey(WORD virtualKey, bool down);
void TypeKey(WORD virtualKey);

}  // namespace tpl::e2e
