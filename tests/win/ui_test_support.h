#pragma once
// Helpers of the window framework tests: a small test form, waiting on the
// application's own loop, and a watcher that reads and dismisses the message
// boxes the program shows.

#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "ui/application.h"
#include "ui/form.h"

namespace tpl::testing {

inline constexpr DWORD kGenerousTimeoutMs = 10000;

// Handles the application's messages until `done` holds or the time is up.
inline bool PumpUntil(ui::Application& application, const std::function<bool()>& done,
                      DWORD timeoutMs = kGenerousTimeoutMs) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  for (;;) {
    application.ProcessMessages();
    if (done()) return true;
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

// Watches the main thread for a message box, records its caption, text and
// buttons, and presses its first button.
class MessageBoxWatcher {
 public:
  MessageBoxWatcher() : thread_(::GetCurrentThreadId()), watcher_([this] { Watch(); }) {}
  ~MessageBoxWatcher() {
    stop_ = true;
    watcher_.join();
  }
  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

  [[nodiscard]] int Seen() const { return seen_; }
  [[nodiscard]] bool BoxOpen() const { return boxOpen_; }
  // Read only after Seen() > 0 (the watcher writes them before counting).
  [[nodiscard]] const std::string& Caption() const { return caption_; }
  [[nodiscard]] const std::string& Text() const { return text_; }
  [[nodiscard]] const std::string& Buttons() const { return buttons_; }  // captions joined by '|'

 private:
  struct Found {
    HWND box = nullptr;
  };
  static BOOL CALLBACK FindBox(HWND window, LPARAM found) {
    char name[64] = {};
    ::GetClassNameA(window, name, sizeof(name));
    if (std::string(name) == "#32770" && ::IsWindowVisible(window)) {
      reinterpret_cast<Found*>(found)->box = window;
      return FALSE;
    }
    return TRUE;
  }
  static BOOL CALLBACK ReadChild(HWND child, LPARAM self) {
    auto* watcher = reinterpret_cast<MessageBoxWatcher*>(self);
    char name[64] = {};
    char text[1024] = {};
    ::GetClassNameA(child, name, sizeof(name));
    ::GetWindowTextA(child, text, sizeof(text));
    const std::string className(name);
    if (_stricmp(name, "Static") == 0 && text[0] != '\0') watcher->text_ = text;
    if (_stricmp(name, "Button") == 0 && ::IsWindowVisible(child)) {
      if (!watcher->buttons_.empty()) watcher->buttons_ += "|";
      watcher->buttons_ += text;
      if (watcher->firstButton_ == nullptr) watcher->firstButton_ = child;
    }
    return TRUE;
  }
  void Watch() {
    while (!stop_) {
      Found found;
      ::EnumThreadWindows(thread_, FindBox, reinterpret_cast<LPARAM>(&found));
      if (found.box != nullptr) {
        char caption[1024] = {};
        ::GetWindowTextA(found.box, caption, sizeof(caption));
        caption_ = caption;
        text_.clear();
        buttons_.clear();
        firstButton_ = nullptr;
        ::EnumChildWindows(found.box, ReadChild, reinterpret_cast<LPARAM>(this));
        boxOpen_ = true;
        ++seen_;
        ::PostMessageA(found.box, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(firstButton_), BN_CLICKED),
                       reinterpret_cast<LPARAM>(firstButton_));
        while (!stop_ && ::IsWindow(found.box)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        boxOpen_ = false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  DWORD thread_;
  std::atomic<bool> stop_{false};
  std::atomic<int> seen_{0};
  std::atomic<bool> boxOpen_{false};
  std::string caption_;
  std::string text_;
  std::string buttons_;
  HWND firstButton_ = nullptr;
  std::thread watcher_;
};

// A click of the left mouse button at a point of the screen, as a user makes it.
inline void ClickAt(POINT screenPoint) {
  ::SetCursorPos(screenPoint.x, screenPoint.y);
  INPUT inputs[2] = {};
  inputs[0].type = INPUT_MOUSE;
  inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  inputs[1].type = INPUT_MOUSE;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  ::SendInput(2, inputs, sizeof(INPUT));
}

inline void PressKey(WORD key) {
  INPUT inputs[2] = {};
  inputs[0].type = INPUT_KEYBOARD;
  inputs[0].ki.wVk = key;
  inputs[1].type = INPUT_KEYBOARD;
  inputs[1].ki.wVk = key;
  inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
  ::SendInput(2, inputs, sizeof(INPUT));
}

}  // namespace tpl::testing
