#include "ui/window_procedure.h"

#include <utility>

namespace tpl::ui {
namespace {

WNDPROC CurrentProcedure(HWND window) noexcept {
  return reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(window, GWLP_WNDPROC));
}

}  // namespace

WindowProcedureReplacement::WindowProcedureReplacement(HWND window, WNDPROC replacement) noexcept {
  if (window == nullptr || replacement == nullptr) return;
  ::SetLastError(0);
  const LONG_PTR previous = ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(replacement));
  if (previous == 0 && ::GetLastError() != 0) return;
  window_ = window;
  replacement_ = replacement;
  previous_ = reinterpret_cast<WNDPROC>(previous);
}

WindowProcedureReplacement::WindowProcedureReplacement(WindowProcedureReplacement&& other) noexcept
    : window_(std::exchange(other.window_, nullptr)),
      replacement_(std::exchange(other.replacement_, nullptr)),
      previous_(std::exchange(other.previous_, nullptr)) {}

WindowProcedureReplacement& WindowProcedureReplacement::operator=(WindowProcedureReplacement&& other) noexcept {
  if (this != &other) {
    Restore();
    window_ = std::exchange(other.window_, nullptr);
    replacement_ = std::exchange(other.replacement_, nullptr);
    previous_ = std::exchange(other.previous_, nullptr);
  }
  return *this;
}

LRESULT WindowProcedureReplacement::CallPrevious(HWND window, UINT message, WPARAM wParam,
                                                 LPARAM lParam) const noexcept {
  if (previous_ == nullptr) return ::DefWindowProcA(window, message, wParam, lParam);
  return ::CallWindowProcA(previous_, window, message, wParam, lParam);
}

void WindowProcedureReplacement::Restore() noexcept {
  if (previous_ == nullptr) return;
  if (::IsWindow(window_)) {
    // Replaced again by someone else: stay in the chain and keep passing messages on.
    if (CurrentProcedure(window_) != replacement_) return;
    ::SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
  }
  window_ = nullptr;
  replacement_ = nullptr;
  previous_ = nullptr;
}

}  // namespace tpl::ui
