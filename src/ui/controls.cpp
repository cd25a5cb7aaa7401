#include "ui/controls.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "common/system_error.h"
#include "ui/application.h"
#include "ui/form.h"

namespace tpl::ui {
namespace {

RECT RectOf(const Control& control) {
  return RECT{control.Left(), control.Top(), control.Left() + control.Width(), control.Top() + control.Height()};
}

LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  return window != nullptr ? ::SendMessageA(window, message, wParam, lParam) : 0;
}

// A brush of a colour, made again only when the colour changed.
HBRUSH CachedBrush(UniqueGdiObject& brush, Colour& brushColour, Colour colour) {
  if (!brush || brushColour != colour) {
    brush.Reset(::CreateSolidBrush(ToColorRef(colour)));
    brushColour = colour;
  }
  return static_cast<HBRUSH>(brush.Get());
}

// BeginPaint and EndPaint as a pair, also when painting throws: an unended
// paint would leave the area invalid and bring WM_PAINT back at once.
class PaintScope {
 public:
  explicit PaintScope(HWND window) noexcept : window_(window), dc_(::BeginPaint(window, &paint_)) {}
  ~PaintScope() { ::EndPaint(window_, &paint_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  [[nodiscard]] HDC Dc() const noexcept { return dc_; }
  [[nodiscard]] const RECT& Area() const noexcept { return paint_.rcPaint; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// The device context's state, put back on every path.
class SavedDcState {
 public:
  explicit SavedDcState(HDC dc) noexcept : dc_(dc), saved_(::SaveDC(dc)) {}
  ~SavedDcState() { ::RestoreDC(dc_, saved_); }
  SavedDcState(const SavedDcState&) = delete;
  SavedDcState& operator=(const SavedDcState&) = delete;

 private:
  HDC dc_;
  int saved_;
};

}  // namespace

// --- Container --------------------------------------------------------------

Container::~Container() {
  for (Control* child : children_) child->parent_ = nullptr;
}

HBRUSH Container::BackgroundBrush() { return CachedBrush(brush_, brushColour_, BackgroundColour()); }

void Container::PaintChildren(HDC dc, const RECT* area) {
  for (Control* child : children_) {
    if (!child->Windowless() || !child->Visible()) continue;
    const RECT bounds = RectOf(*child);
    RECT overlap;
    if (area != nullptr && !::IntersectRect(&overlap, &bounds, area)) continue;
    const SavedDcState saved(dc);
    ::IntersectClipRect(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
    child->Paint(dc);
  }
}

void Container::FontChangedForChildren() {
  for (Control* child : children_) {
    if (!child->font_) child->FontChanged();
  }
}

void Container::DetachChildWindows() noexcept {
  for (Control* child : children_) child->DetachWindow();
}

Control* Container::GraphicControlAt(POINT point) const {
  for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
    Control* child = *it;
    const RECT bounds = RectOf(*child);
    if (child->Windowless() && child->Visible() && ::PtInRect(&bounds, point)) return child;
  }
  return nullptr;
}

bool Container::HandleContainerMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_ERASEBKGND: {
      RECT client;
      ::GetClientRect(window, &client);
      ::FillRect(reinterpret_cast<HDC>(wParam), &client, BackgroundBrush());
      result = 1;
      return true;
    }
    case WM_PAINT: {
      const PaintScope paint(window);
      PaintChildren(paint.Dc(), &paint.Area());
      result = 0;
      return true;
    }
    case WM_PRINTCLIENT: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      RECT client;
      ::GetClientRect(window, &client);
      ::FillRect(dc, &client, BackgroundBrush());
      PaintChildren(dc, nullptr);
      result = 0;
      return true;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX: {
      Control* control = OwnerForm().FindControl(reinterpret_cast<HWND>(lParam));
      if (control == nullptr) return false;
      result = reinterpret_cast<LRESULT>(control->ColourMessage(reinterpret_cast<HDC>(wParam)));
      return true;
    }
    case WM_COMMAND:
      OwnerForm().DispatchCommand(wParam, lParam);
      result = 0;
      return true;
    case WM_LBUTTONDOWN:
      pressed_ = GraphicControlAt(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
      return false;
    case WM_LBUTTONUP: {
      Control* released =
          GraphicControlAt(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
      Control* pressed = std::exchange(pressed_, nullptr);
      if (released != nullptr && released == pressed) released->Clicked();
      return false;
    }
    default: return false;
  }
}

// --- Control ----------------------------------------------------------------

Control::Control(Form& form, std::string name) : form_(form), name_(std::move(name)), id_(form.NextControlId()) {
  form.Register(*this);
}

Control::~Control() {
  form_.Unregister(*this);
  if (parent_ != nullptr) {
    auto& siblings = parent_->children_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    if (parent_->pressed_ == this) parent_->pressed_ = nullptr;
  }
}

void Control::SetBounds(int left, int top, int width, int height) {
  if (Windowless()) Invalidate();
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (window_) {
    ::MoveWindow(window_.Get(), left, top, width, WindowHeight(), TRUE);
  } else {
    Invalidate();
  }
  LayoutChanged();
}

void Control::SetVisible(bool visible) {
  if (visible_ == visible) return;
  if (visible) BeforeShown();
  visible_ = visible;
  if (window_) {
    ::ShowWindow(window_.Get(), visible ? SW_SHOWNA : SW_HIDE);
  } else {
    Invalidate();
  }
  LayoutChanged();
}

void Control::SetEnabled(bool enabled) {
  enabled_ = enabled;
  if (window_) ::EnableWindow(window_.Get(), enabled ? TRUE : FALSE);
}

void Control::SetCaption(std::string caption) {
  caption_ = std::move(caption);
  CaptionChanged();
}

void Control::CaptionChanged() {
  if (window_) {
    settingFromCode_ = true;
    ::SetWindowTextA(window_.Get(), caption_.c_str());
    settingFromCode_ = false;
  } else {
    Invalidate();
  }
}

const FontStyle& Control::Font() const noexcept {
  if (font_) return *font_;
  if (parent_ != nullptr) return parent_->Font();
  return form_.Font();
}

void Control::SetFont(FontStyle font) {
  font_ = std::move(font);
  FontChanged();
}

void Control::SetFontFace(std::string face) {
  FontStyle font = Font();
  font.face = std::move(face);
  SetFont(std::move(font));
}

void Control::SetFontPoints(int points) {
  FontStyle font = Font();
  font.points = points;
  font.height = 0;
  SetFont(std::move(font));
}

void Control::SetFontHeight(int pixels) {
  FontStyle font = Font();
  font.height = pixels;
  SetFont(std::move(font));
}

void Control::SetFontBold(bool bold) {
  FontStyle font = Font();
  font.bold = bold;
  SetFont(std::move(font));
}

void Control::SetFontCharset(int charset) {
  FontStyle font = Font();
  font.charset = charset;
  SetFont(std::move(font));
}

void Control::SetFontColour(Colour colour) {
  FontStyle font = Font();
  font.colour = colour;
  SetFont(std::move(font));
}

// The new font is made before the old one goes: the window keeps drawing with
// the old one until WM_SETFONT, and keeps it when the new one cannot be made.
void Control::FontChanged() {
  UniqueGdiObject previous = std::move(fontHandle_);
  try {
    if (window_) Send(window_.Get(), WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), TRUE);
  } catch (...) {
    fontHandle_ = std::move(previous);
    throw;
  }
  Invalidate();
}

HFONT Control::FontHandle() {
  if (!fontHandle_) {
    FontStyle font = Font();
    if (font.height != 0) font.height = form_.Scale(font.height);
    fontHandle_ = CreateFontFor(font, ScreenPixelsPerInch());
  }
  return static_cast<HFONT>(fontHandle_.Get());
}

Colour Control::BackgroundColour() const noexcept {
  if (colour_) return *colour_;
  if (!InheritsColour()) return kWindowColour;
  if (parent_ != nullptr) return parent_->BackgroundColour();
  return form_.BackgroundColour();
}

void Control::SetColour(Colour colour) {
  colour_ = colour;
  if (window_) {
    ::RedrawWindow(window_.Get(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  } else {
    Invalidate();
  }
}

HBRUSH Control::OwnBrush() { return CachedBrush(brush_, brushColour_, BackgroundColour()); }

HBRUSH Control::ColourMessage(HDC dc) {
  ::SetTextColor(dc, ToColorRef(Font().colour));
  ::SetBkColor(dc, ToColorRef(BackgroundColour()));
  return OwnBrush();
}

void Control::SetFocus() {
  if (window_) ::SetFocus(window_.Get());
}

bool Control::Focused() const noexcept { return window_ && ::GetFocus() == window_.Get(); }

void Control::CreateChildWindow(Container& parent, const char* windowClass, DWORD style, DWORD extendedStyle) {
  // The system's controls come from the common controls library the manifest
  // selects; loaded when the first one is made, so a form without them never loads it.
  if (std::strcmp(windowClass, Panel::kWindowClass) != 0) LoadCommonControls();
  style |= WS_CHILD | WS_CLIPSIBLINGS;
  if (visible_) style |= WS_VISIBLE;
  if (!enabled_) style |= WS_DISABLED;
  HWND window =
      ::CreateWindowExA(extendedStyle, windowClass, caption_.c_str(), style, left_, top_, width_, WindowHeight(),
                        parent.ContainerWindow(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)),
                        ::GetModuleHandleA(nullptr), nullptr);
  if (window == nullptr) throw WindowsError("Creating the control " + name_, ::GetLastError());
  window_.Reset(window);
  Send(window, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), FALSE);
}

void Control::Invalidate() {
  if (window_) {
    ::InvalidateRect(window_.Get(), nullptr, TRUE);
  } else if (parent_ != nullptr && parent_->ContainerWindow() != nullptr) {
    const RECT bounds = RectOf(*this);
    ::InvalidateRect(parent_->ContainerWindow(), &bounds, TRUE);
  }
}

void Control::Fire(const std::function<void()>& handler) {
  if (!handler) return;
  const std::function<void()> call = handler;  // the handler may replace itself
  if (Application* application = Application::Current()) {
    application->RunGuarded(call);
  } else {
    try {
      call();
    } catch (...) {
      // No application to report to: the event ends here.
    }
  }
}

// --- Label ------------------------------------------------------------------

void Label::SetWordWrap(bool wordWrap) {
  wordWrap_ = wordWrap;
  Invalidate();
}

void Label::SetCentred(bool centred) {
  centred_ = centred;
  Invalidate();
}

void Label::ApplyLayoutFlags(unsigned flags) {
  wordWrap_ = (flags & kWordWrap) != 0;
  centred_ = (flags & kCentred) != 0;
}

void Label::CreateWindowIn(Container&) {
  autoSize_ = Width() == 0 && Height() == 0;
  if (autoSize_) AdjustSize();
  Invalidate();
}

void Label::CaptionChanged() {
  if (autoSize_) AdjustSize();
  Invalidate();
}

void Label::FontChanged() {
  Control::FontChanged();
  if (autoSize_) AdjustSize();
}

void Label::AdjustSize() {
  HDC dc = ::GetDC(nullptr);
  if (dc == nullptr) return;
  HGDIOBJ previous = ::SelectObject(dc, FontHandle());
  RECT extent{0, 0, 0, 0};
  ::DrawTextA(dc, caption_.c_str(), -1, &extent, DT_CALCRECT | DT_SINGLELINE);
  ::SelectObject(dc, previous);
  ::ReleaseDC(nullptr, dc);
  SetBounds(Left(), Top(), extent.right - extent.left, extent.bottom - extent.top);
}

void Label::Paint(HDC dc) {
  RECT bounds = RectOf(*this);
  ::FillRect(dc, &bounds, OwnBrush());
  HGDIOBJ previous = ::SelectObject(dc, FontHandle());
  ::SetTextColor(dc, ToColorRef(Font().colour));
  ::SetBkMode(dc, TRANSPARENT);
  const UINT format = (centred_ ? DT_CENTER : DT_LEFT) | (wordWrap_ ? DT_WORDBREAK : DT_SINGLELINE);
  ::DrawTextA(dc, caption_.c_str(), -1, &bounds, format);
  ::SelectObject(dc, previous);
}

// --- Edit -------------------------------------------------------------------

void Edit::CreateWindowIn(Container& parent) {
  const DWORD style = WS_TABSTOP | ES_AUTOHSCROLL | (passwordChar_ != '\0' ? ES_PASSWORD : 0);
  CreateChildWindow(parent, "EDIT", style, WS_EX_CLIENTEDGE);
  if (passwordChar_ != '\0') Send(Handle(), EM_SETPASSWORDCHAR, static_cast<unsigned char>(passwordChar_));
  Send(Handle(), EM_LIMITTEXT, static_cast<WPARAM>(maxLength_));
}

std::string Edit::Caption() const {
  if (!window_) return caption_;
  const int length = ::GetWindowTextLengthA(window_.Get());
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const int copied = ::GetWindowTextA(window_.Get(), text.data(), length + 1);
  text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return text;
}

void Edit::SetPasswordChar(char passwordChar) {
  passwordChar_ = passwordChar;
  if (window_) {
    Send(Handle(), EM_SETPASSWORDCHAR, static_cast<unsigned char>(passwordChar));
    Invalidate();
  }
}

void Edit::SetMaxLength(int maxLength) {
  maxLength_ = maxLength < 0 ? 0 : maxLength;
  if (window_) Send(Handle(), EM_LIMITTEXT, static_cast<WPARAM>(maxLength_));
}

void Edit::Notified(WORD code) {
  if (code == EN_CHANGE && !settingFromCode_) Fire(OnChange);
}

// --- Button -----------------------------------------------------------------

void Button::ApplyLayoutFlags(unsigned flags) {
  isDefault_ = (flags & kDefaultButton) != 0;
  isCancel_ = (flags & kCancelButton) != 0;
}

void Button::CreateWindowIn(Container& parent) {
  CreateChildWindow(parent, "BUTTON", WS_TABSTOP | static_cast<DWORD>(isDefault_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON));
}

void Button::SetDefault(bool isDefault) {
  isDefault_ = isDefault;
  if (window_) Send(Handle(), BM_SETSTYLE, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void Button::SetCancel(bool isCancel) { isCancel_ = isCancel; }
bool Button::IsDefault() const noexcept { return isDefault_; }
bool Button::IsCancel() const noexcept { return isCancel_; }

void Button::Notified(WORD code) {
  if (code == BN_CLICKED) Fire(OnClick);
}

// --- CheckBox ---------------------------------------------------------------

void CheckBox::CreateWindowIn(Container& parent) {
  CreateChildWindow(parent, "BUTTON", WS_TABSTOP | BS_AUTOCHECKBOX);
  Send(Handle(), BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED);
}

bool CheckBox::Checked() const noexcept { return window_ ? Send(window_.Get(), BM_GETCHECK) == BST_CHECKED : checked_; }

void CheckBox::SetChecked(bool checked) {
  checked_ = checked;
  Send(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED);
}

void CheckBox::Notified(WORD code) {
  if (code != BN_CLICKED) return;
  checked_ = Checked();
  Fire(OnClick);
}

// --- RadioButton ------------------------------------------------------------

// No WS_TABSTOP of its own: BM_SETCHECK makes a checked radio button its
// group's tab stop and takes the stop from an unchecked one (the standard
// dialog behaviour). An unchecked radio button that gets the focus by Tab is
// clicked, so a stop on every button would select each mode in turn.
void RadioButton::CreateWindowIn(Container& parent) {
  CreateChildWindow(parent, "BUTTON", BS_RADIOBUTTON);
  ApplyCheck();
}

void RadioButton::ApplyCheck() { Send(Handle(), BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED); }

void RadioButton::SetChecked(bool checked) {
  checked_ = checked;
  ApplyCheck();
  if (!checked || parent_ == nullptr) return;
  for (Control* sibling : parent_->Children()) {
    auto* other = dynamic_cast<RadioButton*>(sibling);
    if (other != nullptr && other != this && other->checked_) {
      other->checked_ = false;
      other->ApplyCheck();
    }
  }
}

void RadioButton::Notified(WORD code) {
  if (code != BN_CLICKED) return;
  SetChecked(true);
  Fire(OnClick);
}

// --- ComboBox ---------------------------------------------------------------

void ComboBox::CreateWindowIn(Container& parent) {
  CreateChildWindow(parent, "COMBOBOX", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST);
  FillList();
}

void ComboBox::FillList() {
  if (!window_) return;
  Send(Handle(), CB_RESETCONTENT);
  for (const std::string& item : items_) Send(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
  Send(Handle(), CB_SETCURSEL, static_cast<WPARAM>(index_));
}

void ComboBox::SetItems(std::vector<std::string> items) {
  items_ = std::move(items);
  if (index_ >= static_cast<int>(items_.size())) index_ = -1;
  FillList();
}

int ComboBox::ItemIndex() const noexcept {
  return window_ ? static_cast<int>(Send(window_.Get(), CB_GETCURSEL)) : index_;
}

void ComboBox::SetItemIndex(int index) {
  index_ = index >= 0 && index < static_cast<int>(items_.size()) ? index : -1;
  Send(Handle(), CB_SETCURSEL, static_cast<WPARAM>(index_));
}

void ComboBox::Notified(WORD code) {
  if (code != CBN_SELCHANGE) return;
  index_ = ItemIndex();
  Fire(OnChange);
}

// --- Panel ------------------------------------------------------------------

Panel::Panel(Form& form, std::string name) : Control(form, std::move(name)) {}

Panel::~Panel() {
  // The window procedure must not reach this object while it is taken apart.
  if (window_) {
    ::SetWindowLongPtrA(window_.Get(), GWLP_USERDATA, 0);
    DetachChildWindows();
    window_.Reset();
  }
}

void Panel::ApplyLayoutFlags(unsigned flags) {
  bevel_ = (flags & kLoweredBevel) != 0 ? Bevel::Lowered : Bevel::None;
  createOnShow_ = (flags & kCreateOnShow) != 0;
}

void Container::CreateChildWindowOf(Control& child) { child.CreateWindowIn(*this); }

void Panel::BeforeShown() { CreatePendingControls(); }

void Panel::CreatePendingControls() {
  if (!window_) return;
  std::vector<Control*> pending;
  pending.swap(pending_);
  for (Control* control : pending) CreateChildWindowOf(*control);
}

void Panel::CreateWindowIn(Container& parent) {
  CreateChildWindow(parent, kWindowClass, WS_CLIPCHILDREN,
                    WS_EX_CONTROLPARENT | (bevel_ == Bevel::Lowered ? WS_EX_STATICEDGE : 0));
  ::SetWindowLongPtrA(Handle(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void Panel::SetBevel(Bevel bevel) {
  bevel_ = bevel;
  if (!window_) return;
  LONG_PTR extended = ::GetWindowLongPtrA(Handle(), GWL_EXSTYLE);
  extended = bevel == Bevel::Lowered ? (extended | WS_EX_STATICEDGE) : (extended & ~LONG_PTR{WS_EX_STATICEDGE});
  ::SetWindowLongPtrA(Handle(), GWL_EXSTYLE, extended);
  ::SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Panel::FontChanged() {
  Control::FontChanged();
  FontChangedForChildren();
}

LRESULT CALLBACK Panel::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  auto* panel = reinterpret_cast<Panel*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
  if (panel == nullptr) return ::DefWindowProcA(window, message, wParam, lParam);
  try {
    if (message == WM_DESTROY) {
      // The system destroys the children's windows next.
      panel->DetachChildWindows();
    } else if (message == WM_NCDESTROY) {
      ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      panel->DetachWindow();
    }
    LRESULT result = 0;
    if (panel->HandleContainerMessage(window, message, wParam, lParam, result)) return result;
  } catch (...) {
    if (Application* application = Application::Current()) application->ReportError(std::current_exception());
    return 0;
  }
  return ::DefWindowProcA(window, message, wParam, lParam);
}

// --- Image ------------------------------------------------------------------

void Image::ApplyLayoutFlags(unsigned flags) { stretch_ = (flags & kStretch) != 0; }

void Image::CreateWindowIn(Container&) { Invalidate(); }

void Image::SetPicture(Bitmap picture) {
  picture_ = std::move(picture);
  Invalidate();
}

void Image::SetStretch(bool stretch) {
  stretch_ = stretch;
  Invalidate();
}

Surface& Image::CreateSurface(int width, int height) {
  surface_ = std::make_unique<Surface>(width, height);
  Invalidate();
  return *surface_;
}

void Image::Paint(HDC dc) {
  HDC source = nullptr;
  HDC pictureDc = nullptr;
  HGDIOBJ previous = nullptr;
  int sourceWidth = 0;
  int sourceHeight = 0;
  if (surface_) {
    source = surface_->Dc();
    sourceWidth = surface_->Width();
    sourceHeight = surface_->Height();
  } else if (!picture_.Empty()) {
    pictureDc = ::CreateCompatibleDC(dc);
    if (pictureDc == nullptr) return;
    previous = ::SelectObject(pictureDc, picture_.Handle());
    source = pictureDc;
    sourceWidth = picture_.Width();
    sourceHeight = picture_.Height();
  } else {
    return;
  }
  if (stretch_) {
    ::SetStretchBltMode(dc, COLORONCOLOR);
    ::StretchBlt(dc, Left(), Top(), Width(), Height(), source, 0, 0, sourceWidth, sourceHeight, SRCCOPY);
  } else {
    ::BitBlt(dc, Left(), Top(), std::min(Width(), sourceWidth), std::min(Height(), sourceHeight), source, 0, 0,
             SRCCOPY);
  }
  if (pictureDc != nullptr) {
    ::SelectObject(pictureDc, previous);
    ::DeleteDC(pictureDc);
  }
}

// --- Timer ------------------------------------------------------------------

Timer::Timer(Form& form, unsigned intervalMs, bool enabled)
    : form_(form), id_(form.NextTimerId()), interval_(intervalMs), enabled_(enabled) {
  form.Register(*this);
}

Timer::~Timer() {
  Stop();
  form_.Unregister(*this);
}

void Timer::Start() noexcept {
  if (enabled_ && interval_ > 0 && form_.Handle() != nullptr) ::SetTimer(form_.Handle(), id_, interval_, nullptr);
}

void Timer::Stop() noexcept {
  if (form_.Handle() != nullptr) ::KillTimer(form_.Handle(), id_);
}

void Timer::SetInterval(unsigned intervalMs) {
  interval_ = intervalMs;
  Stop();
  Start();
}

void Timer::SetEnabled(bool enabled) {
  enabled_ = enabled;
  if (enabled) {
    Start();
  } else {
    Stop();
  }
}

}  // namespace tpl::ui
