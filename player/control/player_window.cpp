// The control as a window: in-place activation inside the host's window, the
// frame timer that drives the movie, painting, and drawing into other DCs.
#include <algorithm>
#include <cmath>
#include <new>

#include "com_guard.h"
#include "common/startup_times.h"
#include "engine/sound/sound_mixer.h"
#include "control_ids.h"
#include "module.h"
#include "player_control.h"
#include "trace.h"

namespace tpl::player {
namespace {

constexpr wchar_t kWindowClassName[] = L"TemplatePlayerWindow";

// Timer periods outside this range are clamped: the system refuses shorter
// ones, and a movie at a very low rate still gets a tick now and then.
constexpr double kShortestFrameMs = USER_TIMER_MINIMUM;
constexpr double kLongestFrameMs = 10000;

UINT FrameIntervalMs(double framesPerSecond) {
  const double interval = framesPerSecond > 0 ? 1000.0 / framesPerSecond : 1000.0 / 12;
  return static_cast<UINT>(std::lround(std::clamp(interval, kShortestFrameMs, kLongestFrameMs)));
}

class PaintScope {
 public:
  explicit PaintScope(HWND window) : window_(window) { dc_ = ::BeginPaint(window_, &paint_); }
  ~PaintScope() { ::EndPaint(window_, &paint_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  [[nodiscard]] HDC Dc() const { return dc_; }
  [[nodiscard]] const RECT& Area() const { return paint_.rcPaint; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_ = nullptr;
};

int Width(const RECT& r) { return r.right - r.left; }

// The character a key press types with the keyboard's state now (Key.getAscii), 0 for none or beyond ASCII.
int TypedCharacter(WPARAM virtualKey, LPARAM keyData) {
  BYTE state[256]{};
  if (!::GetKeyboardState(state)) return 0;
  wchar_t typed[4]{};
  const UINT scanCode = (static_cast<UINT>(keyData) >> 16) & 0xFFu;
  const int count = ::ToUnicode(static_cast<UINT>(virtualKey), scanCode, state, typed, 4, 0);
  return count == 1 && typed[0] < 128 ? typed[0] : 0;
}
int Height(const RECT& r) { return r.bottom - r.top; }

}  // namespace

void UnregisterPlayerWindowClass() noexcept { ::UnregisterClassW(kWindowClassName, ModuleInstance()); }

// ---------------------------------------------------------------------------
// Activation

HRESULT PlayerControl::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND parent, LPCRECT position) {
  return Guarded([&]() -> HRESULT {
    if (!clientSite_ && activeSite != nullptr) {
      activeSite->AddRef();
      clientSite_ = ComPtr<IOleClientSite>::Attach(activeSite);
    }
    switch (verb) {
      case OLEIVERB_PRIMARY:
      case OLEIVERB_INPLACEACTIVATE: return ActivateInPlace(parent, position);
      case OLEIVERB_SHOW: {
        const HRESULT result = ActivateInPlace(parent, position);
        if (SUCCEEDED(result)) ::ShowWindow(window_, SW_SHOWNA);
        return result;
      }
      case OLEIVERB_UIACTIVATE: {
        const HRESULT result = ActivateInPlace(parent, position);
        return FAILED(result) ? result : ActivateUserInterface();
      }
      case OLEIVERB_HIDE:
        if (window_ != nullptr) ::ShowWindow(window_, SW_HIDE);
        return S_OK;
      default: return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
    }
  });
}

HRESULT PlayerControl::ActivateInPlace(HWND parentHint, LPCRECT positionHint) {
  if (window_ != nullptr) return S_OK;
  if (!clientSite_) return E_UNEXPECTED;
  ComPtr<IOleInPlaceSite> site = clientSite_.As<IOleInPlaceSite>(IID_IOleInPlaceSite);
  if (!site) return E_NOINTERFACE;
  if (site->CanInPlaceActivate() != S_OK) return E_FAIL;
  HRESULT result = site->OnInPlaceActivate();
  if (FAILED(result)) return result;

  HWND parent = nullptr;
  if (FAILED(site->GetWindow(&parent)) || parent == nullptr) parent = parentHint;
  ComPtr<IOleInPlaceFrame> frame;
  ComPtr<IOleInPlaceUIWindow> document;
  RECT position{};
  RECT clip{};
  OLEINPLACEFRAMEINFO frameInfo{};
  frameInfo.cb = sizeof frameInfo;
  if (FAILED(site->GetWindowContext(frame.Receive(), document.Receive(), &position, &clip, &frameInfo)) &&
      positionHint != nullptr) {
    position = *positionHint;
  }
  MarkStartupStep("player: activating");
  result = parent != nullptr ? CreatePlayerWindow(parent, position) : E_FAIL;
  MarkStartupStep("player: window created");
  if (FAILED(result)) {
    site->OnInPlaceDeactivate();
    return result;
  }
  inPlaceSite_ = site;
  frame_ = frame;
  Trace(L"InPlaceActivate");
  RestartFrameTimer();
  PostEventDelivery();
  return S_OK;
}

HRESULT PlayerControl::ActivateUserInterface() {
  if (uiActive_ || !inPlaceSite_) return S_OK;
  uiActive_ = true;
  inPlaceSite_->OnUIActivate();
  if (frame_) frame_->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), kPlayerDisplayName);
  if (window_ != nullptr) ::SetFocus(window_);
  return S_OK;
}

HRESULT PlayerControl::InPlaceDeactivate() {
  return Guarded([&] {
    if (!inPlaceSite_ && window_ == nullptr) return S_OK;
    UIDeactivate();
    DestroyPlayerWindow();
    frame_.Reset();
    const ComPtr<IOleInPlaceSite> site = std::move(inPlaceSite_);
    inPlaceSite_.Reset();
    if (site) site->OnInPlaceDeactivate();
    Trace(L"InPlaceDeactivate");
    return S_OK;
  });
}

HRESULT PlayerControl::UIDeactivate() {
  if (!uiActive_) return S_OK;
  uiActive_ = false;
  if (frame_) frame_->SetActiveObject(nullptr, nullptr);
  if (inPlaceSite_) inPlaceSite_->OnUIDeactivate(FALSE);
  return S_OK;
}

HRESULT PlayerControl::SetObjectRects(LPCRECT position, LPCRECT) {
  return Guarded([&] {
    if (position == nullptr) return E_POINTER;
    Trace(L"SetObjectRects " + std::to_wstring(position->left) + L" " + std::to_wstring(position->top) + L" " +
          std::to_wstring(Width(*position)) + L" " + std::to_wstring(Height(*position)));
    if (window_ != nullptr) {
      ::SetWindowPos(window_, nullptr, position->left, position->top, Width(*position), Height(*position),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return S_OK;
  });
}

HRESULT PlayerControl::ReactivateAndUndo() { return INPLACE_E_NOTUNDOABLE; }

HRESULT PlayerControl::GetWindow(HWND* window) {
  if (window == nullptr) return E_POINTER;
  *window = window_;
  return window_ != nullptr ? S_OK : E_FAIL;
}

HRESULT PlayerControl::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

// ---------------------------------------------------------------------------
// The window

HRESULT PlayerControl::CreatePlayerWindow(HWND parent, const RECT& position) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &PlayerControl::WindowProc;
  windowClass.cbWndExtra = sizeof(PlayerControl*);
  windowClass.hInstance = ModuleInstance();
  windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kWindowClassName;
  if (::RegisterClassExW(&windowClass) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    return HRESULT_FROM_WIN32(::GetLastError());
  }
  // The host may subclass this window: it keeps `this` in its own extra bytes, not in GWLP_USERDATA.
  const HWND window =
      ::CreateWindowExW(0, kWindowClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, position.left, position.top,
                        Width(position), Height(position), parent, nullptr, ModuleInstance(), this);
  if (window == nullptr) return HRESULT_FROM_WIN32(::GetLastError());
  return S_OK;
}

void PlayerControl::DestroyPlayerWindow() noexcept {
  // WM_NCDESTROY clears window_ (OnWindowGone).
  if (window_ != nullptr) ::DestroyWindow(window_);
  window_ = nullptr;
}

void PlayerControl::OnWindowGone() noexcept {
  audio_.reset();
  soundOutputChosen_ = false;
  movie_->StopSounds();
  window_ = nullptr;
  deliveryPosted_ = false;
  uiActive_ = false;
}

void PlayerControl::RestartFrameTimer() {
  // The timer runs while the movie is stopped as well: hosts do their periodic work on its messages.
  if (window_ != nullptr) ::SetTimer(window_, kFrameTimerId, FrameIntervalMs(movie_->FrameRate()), nullptr);
}

LRESULT CALLBACK PlayerControl::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    if (message == WM_NCCREATE) {
      auto* control = static_cast<PlayerControl*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
      ::SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(control));
      control->window_ = window;
    }
    if (auto* control = reinterpret_cast<PlayerControl*>(::GetWindowLongPtrW(window, 0))) {
      return control->HandleMessage(window, message, wParam, lParam);
    }
  } catch (...) {
    // Nothing may unwind into the system; the message gets its default handling.
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT PlayerControl::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      if (wParam != kFrameTimerId) break;
      OnFrameTimer();
      return 0;
    case kDeliverEventsMessage:
      deliveryPosted_ = false;
      DeliverEvents();
      return 0;
    case WM_PAINT: Paint(); return 0;
    case WM_PRINTCLIENT: PaintInto(reinterpret_cast<HDC>(wParam)); return 0;
    case WM_ERASEBKGND: return 1;  // the frame covers the whole window
    case WM_SIZE: ::InvalidateRect(window, nullptr, FALSE); return 0;
    case WM_CONTEXTMENU: return 0;  // the control has no context menu of its own
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_KEYDOWN:
    case WM_KEYUP:
      if (OnInput(message, wParam, lParam)) return 0;
      break;
    case WM_SETCURSOR:
      if (OnSetCursor(lParam)) return TRUE;
      break;
    case WM_GETDLGCODE:
      // In a dialog the movie, not the dialog, takes Tab, Enter and the arrows:
      // its own focus and buttons follow them.
      if (movie_->HasMovie()) return DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTCHARS;
      break;
    case WM_NCDESTROY:
      ::SetWindowLongPtrW(window, 0, 0);
      OnWindowGone();
      break;
    default: break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

void PlayerControl::OnFrameTimer() {
  // The host may release the control from inside the view-change call or an event.
  const KeepAlive keep(*this);
  // With Loop off the movie stops on its last frame instead of starting again.
  const bool atLastFrame = movie_->FrameCount() > 0 && movie_->CurrentFrame() >= movie_->FrameCount();
  if (!loop_ && movie_->IsPlaying() && atLastFrame) {
    movie_->Stop();
  } else {
    // With a stream sound on the device the timeline follows the sound: it may skip frames or wait.
    const int frames = audio_ && audio_->Opened() ? movie_->FramesDue() : 1;
    for (int i = 0; i < frames; ++i) movie_->Advance();
  }
  AfterMovieChanged();
}

void PlayerControl::AfterMovieChanged() {
  StartSoundOutputWhenNeeded();
  for (swf::FsCommand& command : movie_->TakeFsCommands()) pendingCommands_.push_back(std::move(command));
  (void)UpdatePaintBuffer();
  NotifyViewChange();
  DeliverEvents();
}

bool PlayerControl::OnInput(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!movie_->HasMovie()) return false;
  const KeepAlive keep(*this);
  switch (message) {
    case WM_MOUSEMOVE: {
      RECT client{};
      if (!::GetClientRect(window_, &client)) return false;
      // Client coordinates are signed: a captured pointer may be left of or above the window.
      const auto x = static_cast<short>(LOWORD(lParam));
      const auto y = static_cast<short>(HIWORD(lParam));
      movie_->PointerMove(x, y, Width(client), Height(client), EffectiveScaleMode());
      break;
    }
    case WM_LBUTTONDOWN:
      // The release must come back here even when it happens outside the window.
      ::SetCapture(window_);
      if (::GetFocus() != window_) ::SetFocus(window_);
      movie_->PointerButton(true);
      break;
    case WM_LBUTTONUP:
      if (::GetCapture() == window_) ::ReleaseCapture();
      movie_->PointerButton(false);
      break;
    case WM_KEYDOWN:
    case WM_KEYUP: {
      const auto code = static_cast<int>(wParam);
      movie_->KeyChange(message == WM_KEYDOWN, code, message == WM_KEYDOWN ? TypedCharacter(wParam, lParam) : 0);
      break;
    }
    default: return false;
  }
  AfterMovieChanged();
  return true;
}

// The hand pointer over buttons, as the platform shows it.
bool PlayerControl::OnSetCursor(LPARAM lParam) {
  if (LOWORD(lParam) != HTCLIENT || !movie_->PointerOnButton()) return false;
  ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // IDC_HAND
  return true;
}

// The wave device opens with the first sound, so that a silent movie never
// costs its start-up or a thread. A thumbnail (a display settings dialog's
// preview) stays silent.
void PlayerControl::StartSoundOutputWhenNeeded() {
  swf::SoundMixer& sound = movie_->Sound();
  if (sound.VoiceCount() == 0 && sound.StreamFramesQueued() == 0) return;
  if (!soundOutputChosen_) {
    soundOutputChosen_ = true;
    if (IsThumbnailWindow(window_)) {
      Trace(L"Sound silent");
    } else {
      audio_ = std::make_unique<AudioOutput>(sound);
      Trace(audio_->Opened() ? L"Sound output" : L"Sound no device");
    }
  }
  if (!audio_ || !audio_->Opened()) movie_->StopSounds();
}

// Brings the window's frame to the movie's current frame at the client size
// and shows the areas that changed. False when there is no frame
// at that size (an empty window, or no memory for the bitmap).
bool PlayerControl::UpdatePaintBuffer() {
  RECT client{};
  if (window_ == nullptr || !::GetClientRect(window_, &client)) return false;
  return UpdatePaintBuffer(Width(client), Height(client));
}

bool PlayerControl::UpdatePaintBuffer(int width, int height) {
  if (!paintBuffer_.Update(*movie_, EffectiveScaleMode(), width, height, changedAreas_)) {
    if (window_ != nullptr) ::InvalidateRect(window_, nullptr, FALSE);
    return false;
  }
  if (window_ != nullptr && !changedAreas_.empty()) ShowChangedAreas();
  return true;
}

// The areas a frame changed go to the screen at once through the window's
// DC, one copy each: marking them for a later WM_PAINT cost a trip to the
// window server for each area, then for the update region and the paint's
// begin and end (under Wine each a request to its server, every frame). A
// hidden or covered window gets only its visible pixels; what shows later is
// painted from the frame buffer, which is kept up to date.
void PlayerControl::ShowChangedAreas() {
  if (const HDC dc = ::GetDC(window_)) {
    for (const RECT& area : changedAreas_) paintBuffer_.CopyAreaTo(dc, area);
    ::ReleaseDC(window_, dc);
    return;
  }
  for (const RECT& area : changedAreas_) ::InvalidateRect(window_, &area, FALSE);
}

// Copies only what needs painting (the window uncovered or shown again): the
// frame was drawn when the movie moved on. The update region is read before
// BeginPaint empties it: its areas may lie apart, and the paint rectangle,
// their bounding box, would cover most of the window.
void PlayerControl::Paint() {
  if (!updateRegion_) updateRegion_.Reset(::CreateRectRgn(0, 0, 0, 0));
  const auto region = static_cast<HRGN>(updateRegion_.Get());
  const bool regionRead = region != nullptr && ::GetUpdateRgn(window_, region, FALSE) == COMPLEXREGION;
  const PaintScope paint(window_);
  if (paint.Dc() == nullptr || !UpdatePaintBuffer()) return;
  if (!regionRead || !paintBuffer_.CopyRegionTo(paint.Dc(), region)) paintBuffer_.CopyAreaTo(paint.Dc(), paint.Area());
}

// The frame at the window's client size, through the window's own DIB section.
void PlayerControl::PaintInto(HDC target) {
  if (target != nullptr && UpdatePaintBuffer()) paintBuffer_.CopyTo(target, 0, 0);
}

void PlayerControl::NotifyViewChange() {
  if (!viewSink_ || (viewAspects_ & DVASPECT_CONTENT) == 0) return;
  const ComPtr<IAdviseSink> sink = viewSink_;
  sink->OnViewChange(DVASPECT_CONTENT, -1);
  if ((viewFlags_ & ADVF_ONLYONCE) != 0) viewSink_.Reset();
}

// ---------------------------------------------------------------------------
// IViewObject2: the current frame into any DC, whatever the window shows.

HRESULT PlayerControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC target, LPCRECTL bounds, LPCRECTL,
                            BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
  return Guarded([&] {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (target == nullptr || bounds == nullptr) return E_INVALIDARG;
    const int width = bounds->right - bounds->left;
    const int height = bounds->bottom - bounds->top;
    if (width <= 0 || height <= 0) return S_OK;
    // At the window's size (or with no window at all), the window's frame is
    // the picture: brought up to date, it costs only what changed since it
    // was last drawn. Other sizes are drawn afresh.
    if (paintBuffer_.Holds(width, height) || window_ == nullptr) {
      if (!UpdatePaintBuffer(width, height)) return E_OUTOFMEMORY;
      paintBuffer_.CopyTo(target, bounds->left, bounds->top);
      return S_OK;
    }
    if (!drawBuffer_.Render(*movie_, EffectiveScaleMode(), width, height)) return E_OUTOFMEMORY;
    drawBuffer_.CopyTo(target, bounds->left, bounds->top);
    return S_OK;
  });
}

HRESULT PlayerControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) {
  if (colors != nullptr) *colors = nullptr;
  return S_FALSE;
}

HRESULT PlayerControl::Freeze(DWORD, LONG, void*, DWORD*) { return E_NOTIMPL; }
HRESULT PlayerControl::Unfreeze(DWORD) { return E_NOTIMPL; }

HRESULT PlayerControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
  if (sink != nullptr) sink->AddRef();
  viewSink_ = ComPtr<IAdviseSink>::Attach(sink);
  viewAspects_ = aspects;
  viewFlags_ = flags;
  return S_OK;
}

HRESULT PlayerControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects != nullptr) *aspects = viewAspects_;
  if (flags != nullptr) *flags = viewFlags_;
  if (sink != nullptr) {
    *sink = viewSink_.Get();
    if (*sink != nullptr) (*sink)->AddRef();
  }
  return S_OK;
}

HRESULT PlayerControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) { return GetExtent(aspect, size); }

}  // namespace tpl::player
