#pragma once
// Replacing a window's procedure: the replacement sees every message first and
// passes on what it does not handle to the procedure it replaced; the previous
// procedure is put back when the replacement ends. Works for the framework's
// own windows and for foreign ones (a hosted control's child window).
//
// The replacement procedure reaches its object through state of its own (the
// forms keep theirs process-wide, next to the procedure). That state must
// outlive the window whenever Restore could not unhook, since the procedure
// stays in the chain then and goes on calling CallPrevious.

#include <windows.h>

namespace tpl::ui {

class WindowProcedureReplacement {
 public:
  WindowProcedureReplacement() noexcept = default;
  // Installs `replacement` on `window`; when that fails the object stays inactive
  // and CallPrevious falls back to the default procedure.
  WindowProcedureReplacement(HWND window, WNDPROC replacement) noexcept;
  ~WindowProcedureReplacement() { Restore(); }

  WindowProcedureReplacement(WindowProcedureReplacement&& other) noexcept;
  WindowProcedureReplacement& operator=(WindowProcedureReplacement&& other) noexcept;
  WindowProcedureReplacement(const WindowProcedureReplacement&) = delete;
  WindowProcedureReplacement& operator=(const WindowProcedureReplacement&) = delete;

  [[nodiscard]] bool Active() const noexcept { return previous_ != nullptr; }
  [[nodiscard]] HWND Window() const noexcept { return window_; }
  [[nodiscard]] WNDPROC Previous() const noexcept { return previous_; }

  // Hands a message to the replaced procedure and returns its result.
  LRESULT CallPrevious(HWND window, UINT message, WPARAM wParam, LPARAM lParam) const noexcept;

  // Puts the previous procedure back while the window still exists. When some
  // other code has replaced the procedure again since, the chain is left as it
  // is (unhooking from the middle would cut that code off) and this object keeps
  // passing messages on.
  void Restore() noexcept;

 private:
  HWND window_ = nullptr;
  WNDPROC replacement_ = nullptr;
  WNDPROC previous_ = nullptr;
};

}  // namespace tpl::ui
