#include "ui/form.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "common/startup_times.h"
#include "common/system_error.h"
#include "ui/application.h"
#include "ui/layout_scaling.h"

namespace tpl::ui {
namespace {

FontStyle FontFromDesign(const FontDesign& design) {
  FontStyle font;
  font.face = design.face;
  font.points = design.points;
  font.bold = design.bold;
  font.charset = design.charset;
  return font;
}

template <typename T>
void EraseFrom(std::vector<T*>& items, T* item) {
  items.erase(std::remove(items.begin(), items.end(), item), items.end());
}

}  // namespace

Form::Form(const FormDesign& design, std::span<const ControlLayout> layout)
    : design_(design),
      layout_(layout),
      caption_(design.caption != nullptr ? design.caption : ""),
      border_(design.border),
      colour_(design.colour),
      font_(FontFromDesign(design.font)) {}

Form::~Form() {
  // Only a form the application did not destroy gets here with a window, and
  // then without its events: the derived form is already gone.
  if (window_) {
    ::SetWindowLongPtrA(window_.Get(), GWLP_USERDATA, 0);
    DetachChildWindows();
    for (Control* control : controls_) control->DetachWindow();
    window_.Reset();
  }
  if (application_ != nullptr) application_->FormGone(*this);
}

DWORD Form::Style() const noexcept {
  switch (border_) {
    case BorderStyle::None: return WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    case BorderStyle::Single:
    case BorderStyle::Dialog: return WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    case BorderStyle::Sizeable: return WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  }
  return WS_POPUP;
}

DWORD Form::ExtendedStyle() const noexcept {
  DWORD style = WS_EX_CONTROLPARENT;
  if (border_ == BorderStyle::Dialog) style |= WS_EX_DLGMODALFRAME;
  if (topmost_) style |= WS_EX_TOPMOST;
  return style;
}

int Form::Scale(int designPixels) const noexcept {
  return pixelsPerInch_ == kDesignPixelsPerInch ? designPixels : ScaleToDpi(designPixels, pixelsPerInch_);
}

void Form::CreateWindowAndControls(Application& application) {
  application_ = &application;
  pixelsPerInch_ = design_.scaled ? ScreenPixelsPerInch() : kDesignPixelsPerInch;
  RegisterWindowClass(design_.className, WindowProcedure, application.Icon());
  RECT outer{0, 0, Scale(design_.clientWidth), Scale(design_.clientHeight)};
  ::AdjustWindowRectEx(&outer, Style(), FALSE, ExtendedStyle());
  const bool designed = design_.position == FormPosition::Designed;
  HWND window =
      ::CreateWindowExA(ExtendedStyle(), design_.className, caption_.c_str(), Style(),
                        designed ? Scale(design_.left) : 0, designed ? Scale(design_.top) : 0, outer.right - outer.left,
                        outer.bottom - outer.top, application.Handle(), nullptr, ::GetModuleHandleA(nullptr), this);
  if (window == nullptr) throw WindowsError(std::string("Creating the form ") + design_.className, ::GetLastError());
  MarkStartupStep("form: window");
  CreateControls();
  MarkStartupStep("form: controls");
  for (Timer* timer : timers_) timer->Start();
  RunEvent(&Form::FormCreate);
}

void Form::CreateControls() {
  for (const ControlLayout& row : layout_) {
    Control* control = FindControl(row.name);
    if (control == nullptr) throw std::logic_error(std::string("The layout names no control ") + row.name + ".");
    if (control->parent_ != nullptr) throw std::logic_error(std::string("The layout lists twice ") + row.name + ".");
    Container* parent = this;
    if (row.parent != nullptr) {
      auto* panel = dynamic_cast<Panel*>(FindControl(row.parent));
      if (panel == nullptr || panel->Handle() == nullptr) {
        throw std::logic_error(std::string(row.name) + ": its panel " + row.parent + " is not made before it.");
      }
      parent = panel;
    }
    control->parent_ = parent;
    parent->children_.push_back(control);
    control->left_ = Scale(row.left);
    control->top_ = Scale(row.top);
    control->width_ = Scale(row.width);
    control->height_ = Scale(row.height);
    if (row.caption != nullptr && row.caption[0] != '\0') control->caption_ = row.caption;
    if ((row.flags & kHidden) != 0) control->visible_ = false;
    if ((row.flags & kDisabled) != 0) control->enabled_ = false;
    control->ApplyLayoutFlags(row.flags);
    auto* panel = dynamic_cast<Panel*>(parent);
    if (panel != nullptr && panel->createOnShow_ && !panel->Visible()) {
      panel->pending_.push_back(control);
    } else {
      control->CreateWindowIn(*parent);
    }
  }
  for (const Control* control : controls_) {
    if (control->parent_ == nullptr) {
      throw std::logic_error("The control " + control->Name() + " has no row in the layout.");
    }
  }
}

void Form::DestroyWindowNow() noexcept {
  if (window_) ::DestroyWindow(window_.Get());
}

void Form::Unregister(Control& control) noexcept { EraseFrom(controls_, &control); }
void Form::Unregister(Timer& timer) noexcept { EraseFrom(timers_, &timer); }

Control* Form::FindControl(const char* name) const noexcept {
  for (Control* control : controls_) {
    if (control->Name() == name) return control;
  }
  return nullptr;
}

Control* Form::FindControl(HWND window) const noexcept {
  if (window == nullptr) return nullptr;
  for (Control* control : controls_) {
    if (control->Handle() == window) return control;
  }
  return nullptr;
}

Control* Form::FindControlById(int id) const noexcept {
  for (Control* control : controls_) {
    if (control->Id() == id) return control;
  }
  return nullptr;
}

namespace {
template <typename Wanted>
Button* FirstButton(const std::vector<Control*>& controls, Wanted wanted) {
  for (Control* control : controls) {
    auto* button = dynamic_cast<Button*>(control);
    if (button != nullptr && wanted(*button) && button->Visible() && button->Enabled()) return button;
  }
  return nullptr;
}
}  // namespace

Button* Form::DefaultButton() const noexcept {
  return FirstButton(controls_, [](const Button& b) { return b.IsDefault(); });
}

Button* Form::CancelButton() const noexcept {
  return FirstButton(controls_, [](const Button& b) { return b.IsCancel(); });
}

void Form::DispatchCommand(WPARAM wParam, LPARAM lParam) {
  const int id = LOWORD(wParam);
  const WORD code = HIWORD(wParam);
  Control* control = FindControl(reinterpret_cast<HWND>(lParam));
  if (control == nullptr) {
    // The dialog keys: Escape sends IDCANCEL, Enter the default button's id (or IDOK).
    if (id == IDCANCEL) {
      control = CancelButton();
    } else if (id == IDOK) {
      control = DefaultButton();
    } else {
      control = FindControlById(id);
    }
  }
  if (control != nullptr && control->Visible() && control->Enabled()) control->Notified(code);
}

void Form::SetCaption(std::string caption) {
  caption_ = std::move(caption);
  if (window_) ::SetWindowTextA(window_.Get(), caption_.c_str());
}

RECT Form::Bounds() const noexcept {
  RECT bounds{};
  if (window_) ::GetWindowRect(window_.Get(), &bounds);
  return bounds;
}

void Form::SetBounds(int left, int top, int width, int height) {
  if (window_) ::MoveWindow(window_.Get(), left, top, width, height, TRUE);
}

void Form::SetLeft(int left) {
  const RECT b = Bounds();
  SetBounds(left, b.top, b.right - b.left, b.bottom - b.top);
}

void Form::SetTop(int top) {
  const RECT b = Bounds();
  SetBounds(b.left, top, b.right - b.left, b.bottom - b.top);
}

void Form::SetWidth(int width) {
  const RECT b = Bounds();
  SetBounds(b.left, b.top, width, b.bottom - b.top);
}

void Form::SetHeight(int height) {
  const RECT b = Bounds();
  SetBounds(b.left, b.top, b.right - b.left, height);
}

int Form::ClientWidth() const noexcept {
  RECT client{};
  if (window_) ::GetClientRect(window_.Get(), &client);
  return client.right;
}

int Form::ClientHeight() const noexcept {
  RECT client{};
  if (window_) ::GetClientRect(window_.Get(), &client);
  return client.bottom;
}

void Form::SetClientSize(int width, int height) {
  if (!window_) return;
  RECT outer{0, 0, width, height};
  ::AdjustWindowRectEx(&outer, static_cast<DWORD>(::GetWindowLongPtrA(window_.Get(), GWL_STYLE)), FALSE,
                       static_cast<DWORD>(::GetWindowLongPtrA(window_.Get(), GWL_EXSTYLE)));
  ::SetWindowPos(window_.Get(), nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::ApplyStyle() {
  if (!window_) return;
  const LONG_PTR visible = ::GetWindowLongPtrA(window_.Get(), GWL_STYLE) & WS_VISIBLE;
  ::SetWindowLongPtrA(window_.Get(), GWL_STYLE, static_cast<LONG_PTR>(Style()) | visible);
  const LONG_PTR extended = static_cast<LONG_PTR>(ExtendedStyle() & ~DWORD{WS_EX_TOPMOST});
  ::SetWindowLongPtrA(window_.Get(), GWL_EXSTYLE, extended);
  ::SetWindowPos(window_.Get(), nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::SetBorderStyle(BorderStyle border) {
  border_ = border;
  ApplyStyle();
}

void Form::SetTopmost(bool topmost) {
  topmost_ = topmost;
  if (window_) {
    ::SetWindowPos(window_.Get(), topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void Form::SetIcon(HICON icon) {
  if (!window_) return;
  ::SendMessageA(window_.Get(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  ::SendMessageA(window_.Get(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

void Form::SetColour(Colour colour) {
  colour_ = colour;
  if (window_) ::RedrawWindow(window_.Get(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Form::SetFont(FontStyle font) {
  font_ = std::move(font);
  FontChangedForChildren();
}

void Form::SetFontFace(std::string face) {
  FontStyle font = font_;
  font.face = std::move(face);
  SetFont(std::move(font));
}

void Form::SetFontCharset(int charset) {
  FontStyle font = font_;
  font.charset = charset;
  SetFont(std::move(font));
}

bool Form::Visible() const noexcept { return window_ && ::IsWindowVisible(window_.Get()); }

void Form::CentreOnScreen() {
  if (!window_) return;
  const RECT b = Bounds();
  const int width = b.right - b.left;
  const int height = b.bottom - b.top;
  ::SetWindowPos(window_.Get(), nullptr, CentredStart(::GetSystemMetrics(SM_CXSCREEN), width),
                 CentredStart(::GetSystemMetrics(SM_CYSCREEN), height), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::Show() {
  if (!window_) return;
  if (!shownOnce_) {
    shownOnce_ = true;
    if (design_.position == FormPosition::ScreenCentre) {
      CentreOnScreen();
    } else if (design_.position == FormPosition::DesktopCentre) {
      const RECT b = Bounds();
      ::SetWindowPos(window_.Get(), nullptr,
                     ::GetSystemMetrics(SM_XVIRTUALSCREEN) +
                         CentredStart(::GetSystemMetrics(SM_CXVIRTUALSCREEN), b.right - b.left),
                     ::GetSystemMetrics(SM_YVIRTUALSCREEN) +
                         CentredStart(::GetSystemMetrics(SM_CYVIRTUALSCREEN), b.bottom - b.top),
                     0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (application_ != nullptr && application_->MainForm() == this) application_->ShowOwnerWindow();
    MarkStartupStep("form: owner shown");
  }
  ::ShowWindow(window_.Get(), SW_SHOWNORMAL);
  if (window_ && ::GetActiveWindow() != window_.Get()) ::SetForegroundWindow(window_.Get());
  if (window_) ::UpdateWindow(window_.Get());
}

void Form::Hide() {
  if (window_) ::ShowWindow(window_.Get(), SW_HIDE);
}

void Form::Close() {
  if (window_) ::SendMessageA(window_.Get(), WM_CLOSE, 0, 0);
}

void Form::RunEvent(void (Form::*event)()) {
  if (application_ != nullptr) {
    application_->RunGuarded([this, event] { (this->*event)(); });
    return;
  }
  try {
    (this->*event)();
  } catch (...) {
    // No application to report to: the event ends here.
  }
}

void Form::Activated() {
  // The focus returns where it was, or goes to the first control in tab order
  // that can take it, or to the form itself.
  HWND window = window_.Get();
  HWND focus = nullptr;
  if (lastFocus_ != nullptr && ::IsWindow(lastFocus_) && ::IsChild(window, lastFocus_)) {
    focus = lastFocus_;
  } else {
    for (const ControlLayout& row : layout_) {
      const Control* control = FindControl(row.name);
      HWND candidate = control != nullptr ? control->Handle() : nullptr;
      if (candidate != nullptr && (::GetWindowLongPtrA(candidate, GWL_STYLE) & WS_TABSTOP) != 0 &&
          ::IsWindowVisible(candidate) && ::IsWindowEnabled(candidate)) {
        focus = candidate;
        break;
      }
    }
  }
  ::SetFocus(focus != nullptr ? focus : window);
  if (application_ != nullptr) application_->FormActivated(*this);
}

void Form::Deactivated() {
  HWND focus = ::GetFocus();
  if (focus != nullptr && ::IsChild(window_.Get(), focus)) lastFocus_ = focus;
}

LRESULT Form::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND window = window_.Get();
  switch (message) {
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        Deactivated();
      } else if (HIWORD(wParam) == 0) {  // not while minimised
        Activated();
      }
      return 0;
    case WM_TIMER:
      for (Timer* timer : timers_) {
        if (timer->id_ == wParam && timer->enabled_ && timer->OnTimer && application_ != nullptr) {
          const std::function<void()> handler = timer->OnTimer;  // the handler may replace itself
          application_->RunGuarded(handler);
          break;
        }
      }
      return 0;
    case DM_GETDEFID: {
      const Button* button = DefaultButton();
      return button != nullptr ? MAKELRESULT(button->Id(), DC_HASDEFID) : 0;
    }
    case WM_DESTROY:
      for (Timer* timer : timers_) timer->Stop();
      RunEvent(&Form::FormDestroy);
      if (application_ != nullptr) application_->FormDestroyed(*this);
      DetachChildWindows();
      for (Control* control : controls_) control->DetachWindow();
      return 0;
    case WM_NCDESTROY:
      ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      static_cast<void>(window_.Release());
      return ::DefWindowProcA(window, message, wParam, lParam);
    default: break;
  }
  LRESULT result = 0;
  if (HandleContainerMessage(window, message, wParam, lParam, result)) return result;
  return ::DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK Form::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  Form* form = nullptr;
  if (message == WM_NCCREATE) {
    form = static_cast<Form*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    form->window_ = UniqueWindow(window);
  } else {
    form = reinterpret_cast<Form*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
  }
  if (form == nullptr) return ::DefWindowProcA(window, message, wParam, lParam);
  try {
    return form->HandleMessage(message, wParam, lParam);
  } catch (...) {
    if (form->application_ != nullptr) form->application_->ReportError(std::current_exception());
    return 0;
  }
}

}  // namespace tpl::ui
