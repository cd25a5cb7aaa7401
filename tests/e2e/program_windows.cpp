#include "e2e/program_windows.h"

namespace tpl::e2e {
namespace {

constexpr DWORD kPollMs = 20;

struct ChildSearch {
  HWND parent;
  std::string className;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectChild(HWND child, LPARAM parameter) {
  auto* search = reinterpret_cast<ChildSearch*>(parameter);
  if (::GetParent(child) == search->parent && testing::WindowClassName(child) == search->className) {
    search->found.push_back(child);
  }
  return TRUE;
}

void Send(INPUT input) { ::SendInput(1, &input, sizeof(INPUT)); }

}  // namespace

HWND WaitForVisibleWindow(testing::ChildProcess& process, const std::string& className, DWORD timeoutMs) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  for (;;) {
    for (HWND window : testing::TopLevelWindowsOf(process.Id())) {
      if (::IsWindowVisible(window) && testing::WindowClassName(window) == className) return window;
    }
    if (process.WaitForExit(kPollMs).has_value()) return nullptr;
    if (::GetTickCount64() >= deadline) return nullptr;
  }
}

bool WaitForForeground(HWND window, DWORD timeoutMs) {
  ::SetForegroundWindow(window);
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  while (::GetForegroundWindow() != window) {
    if (::GetTickCount64() >= deadline) return false;
    testing::PumpMessagesFor(kPollMs);
  }
  return true;
}

std::vector<std::string> VisibleWindowClassesOf(DWORD processId) {
  std::vector<std::string> classes;
  for (HWND window : testing::TopLevelWindowsOf(processId)) {
    if (::IsWindowVisible(window)) classes.push_back(testing::WindowClassName(window));
  }
  return classes;
}

std::vector<HWND> ChildrenOfClass(HWND parent, const std::string& className) {
  ChildSearch search{parent, className, {}};
  ::EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

RECT ScreenBoundsOf(HWND window) {
  RECT bounds{};
  ::GetWindowRect(window, &bounds);
  return bounds;
}

std::vector<std::uint32_t> ScreenPixelsOf(HWND window) {
  const RECT bounds = ScreenBoundsOf(window);
  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;
  if (width <= 0 || height <= 0) return {};
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  const HDC screen = ::GetDC(nullptr);
  const HDC memory = ::CreateCompatibleDC(screen);
  const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
  const HGDIOBJ previous = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, width, height, screen, bounds.left, bounds.top, SRCCOPY);
  ::SelectObject(memory, previous);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  ::GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  return pixels;
}

void BroadcastQuit() {
  const UINT quit = ::RegisterWindowMessageA("GlimmerforgeQuit");
  ::SendMessageCallbackA(HWND_BROADCAST, quit, 0, 0, nullptr, 0);
}

bool StillRunningAfter(testing::ChildProcess& process, DWORD milliseconds) {
  return !process.WaitForExit(milliseconds).has_value();
}

void MoveCursorTo(int x, int y) { ::SetCursorPos(x, y); }

void SendMouseButton(DWORD downFlag, DWORD upFlag) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = downFlag;
  Send(input);
  input.mi.dwFlags = upFlag;
  Send(input);
}

// The move travels in the same input stream as the button, so the button
// cannot arrive where the cursor was before.
void ClickLeftAt(int x, int y) {
  MoveCursorTo(x, y);
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = ::MulDiv(x, 65535, ::GetSystemMetrics(SM_CXSCREEN) - 1);
  input.mi.dy = ::MulDiv(y, 65535, ::GetSystemMetrics(SM_CYSCREEN) - 1);
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  Send(input);
  SendMouseButton(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
}

void SendWheel(int delta) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = MOUSEEVENTF_WHEEL;
  input.mi.mouseData = static_cast<DWORD>(delta);
  Send(input);
}

void SendKey(WORD virtualKey, bool down) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.wScan = static_cast<WORD>(::MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
  Send(input);
}

void TypeKey(WORD virtualKey) {
  SendKey(virtualKey, true);
  SendKey(virtualKey, false);
}

}  // namespace tpl::e2e
