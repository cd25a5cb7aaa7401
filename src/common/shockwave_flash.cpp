#include "common/shockwave_flash.h"

#include <olectl.h>

#include <cwchar>
#include <string_view>
#include <utility>

#include "common/startup_times.h"
#include "common/system_error.h"

namespace tpl {

const CLSID kShockwaveFlashClassId = {0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID kShockwaveFlashEventsId = {0xD27CDB6D, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

namespace {

void Check(HRESULT result, std::string_view operation) {
  if (FAILED(result)) throw WindowsError(operation, static_cast<DWORD>(result));
}

// A VARIANT that is cleared on every path.
class Variant {
 public:
  Variant() noexcept { ::VariantInit(&value_); }
  ~Variant() { ::VariantClear(&value_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  VARIANT* Get() noexcept { return &value_; }
  VARIANT& operator*() noexcept { return value_; }

 private:
  VARIANT value_;
};

// A BSTR owned until it is handed to a VARIANT or freed.
class Bstr {
 public:
  explicit Bstr(const std::wstring& text) : value_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
    if (value_ == nullptr) throw WindowsError("Allocating a movie player text", static_cast<DWORD>(E_OUTOFMEMORY));
  }
  ~Bstr() { ::SysFreeString(value_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  [[nodiscard]] BSTR Get() const noexcept { return value_; }

 private:
  BSTR value_;
};

// The text of a string argument as the control passed it (by value or by reference).
std::wstring TextOfArgument(const VARIANT& argument) {
  Variant text;
  if (FAILED(::VariantChangeType(text.Get(), const_cast<VARIANT*>(&argument), 0, VT_BSTR))) return {};
  const BSTR value = (*text).bstrVal;
  return value != nullptr ? std::wstring(value, ::SysStringLen(value)) : std::wstring();
}

// The error an IDispatch call reports: the exception the control raised, or
// the call's own result.
[[noreturn]] void ThrowInvokeError(const char* operation, HRESULT result, EXCEPINFO& exception) {
  if (result == DISP_E_EXCEPTION) {
    if (exception.pfnDeferredFillIn != nullptr) exception.pfnDeferredFillIn(&exception);
    HRESULT reported = exception.scode != 0 ? exception.scode : static_cast<HRESULT>(exception.wCode);
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrHelpFile);
    if (reported == 0) reported = result;
    throw WindowsError(operation, static_cast<DWORD>(reported));
  }
  throw WindowsError(operation, static_cast<DWORD>(result));
}

void InvokeChecked(IDispatch& dispatch, const char* operation, DISPID id, WORD flags, DISPPARAMS& parameters,
                   VARIANT* result) {
  EXCEPINFO exception{};
  UINT badArgument = 0;
  const HRESULT hr =
      dispatch.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters, result, &exception, &badArgument);
  if (FAILED(hr)) ThrowInvokeError(operation, hr, exception);
}

// Reference counting shared by the container's objects. They live on the
// heap, are counted for the control's sake, and are cut off from the host by
// Detach when the host tears the control down (the control may hold on to
// them a little longer).
template <typename Derived>
class Counted {
 public:
  ULONG AddRefImpl() noexcept { return static_cast<ULONG>(++references_); }
  ULONG ReleaseImpl() noexcept {
    const long remaining = --references_;
    if (remaining == 0) delete static_cast<Derived*>(this);
    return static_cast<ULONG>(remaining);
  }

 protected:
  ~Counted() = default;

 private:
  long references_ = 1;
};

}  // namespace

// COM interfaces have no virtual destructor by design: these objects are only
// ever deleted as their own type, by their last Release.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

// The container side of the control: client site, in-place site and frame,
// control site, and the ambient properties. One object answers for all of
// them, as the control only ever needs one of each.
class PlayerSite final : public IOleClientSite,
                         public IOleInPlaceSite,
                         public IOleInPlaceFrame,
                         public IOleControlSite,
                         public IDispatch,
                         public Counted<PlayerSite> {
 public:
  explicit PlayerSite(TShockwaveFlash* host) noexcept : host_(host) {}
  void Detach() noexcept { host_ = nullptr; }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
      *out = static_cast<IOleClientSite*>(this);
    } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) {
      *out = static_cast<IOleInPlaceSite*>(this);
    } else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) {
      *out = static_cast<IOleInPlaceFrame*>(this);
    } else if (iid == IID_IOleControlSite) {
      *out = static_cast<IOleControlSite*>(this);
    } else if (iid == IID_IDispatch) {
      *out = static_cast<IDispatch*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return AddRefImpl(); }
  STDMETHODIMP_(ULONG) Release() override { return ReleaseImpl(); }

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return S_OK; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    if (moniker != nullptr) *moniker = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetContainer(IOleContainer** container) override {
    if (container != nullptr) *container = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow, for the site and the frame alike: the form that holds the control.
  STDMETHODIMP GetWindow(HWND* window) override {
    if (window == nullptr) return E_POINTER;
    *window = host_ != nullptr ? host_->parent_ : nullptr;
    return *window != nullptr ? S_OK : E_FAIL;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return host_ != nullptr ? S_OK : S_FALSE; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, RECT* position, RECT* clip,
                                OLEINPLACEFRAMEINFO* frameInfo) override {
    if (frame == nullptr || document == nullptr || position == nullptr || clip == nullptr) return E_POINTER;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *document = nullptr;
    *position = host_ != nullptr ? host_->bounds_ : RECT{};
    *clip = *position;
    if (frameInfo != nullptr) {
      frameInfo->fMDIApp = FALSE;
      frameInfo->hwndFrame = host_ != nullptr ? host_->parent_ : nullptr;
      frameInfo->haccel = nullptr;
      frameInfo->cAccelEntries = 0;
    }
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
  STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
  STDMETHODIMP OnPosRectChange(LPCRECT position) override {
    if (host_ == nullptr || position == nullptr || !host_->inPlace_) return S_OK;
    return host_->inPlace_->SetObjectRects(position, position);
  }

  // IOleInPlaceUIWindow and IOleInPlaceFrame: no toolbars, menus or status line to share.
  STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  // IOleControlSite
  STDMETHODIMP OnControlInfoChanged() override { return S_OK; }
  STDMETHODIMP LockInPlaceActive(BOOL) override { return S_OK; }
  STDMETHODIMP GetExtendedControl(IDispatch** control) override {
    if (control != nullptr) *control = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP TransformCoords(POINTL*, POINTF*, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP TranslateAccelerator(MSG*, DWORD) override { return S_FALSE; }
  STDMETHODIMP OnFocus(BOOL) override { return S_OK; }
  STDMETHODIMP ShowPropertyFrame() override { return E_NOTIMPL; }

  // IDispatch: the ambient properties. The control runs in user mode (not
  // in a form designer); everything else keeps the control's own defaults.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override {
    if ((flags & DISPATCH_PROPERTYGET) == 0 || result == nullptr) return DISP_E_MEMBERNOTFOUND;
    if (id != DISPID_AMBIENT_USERMODE) return DISP_E_MEMBERNOTFOUND;
    ::VariantInit(result);
    result->vt = VT_BOOL;
    result->boolVal = VARIANT_TRUE;
    return S_OK;
  }

 private:
  ~PlayerSite() = default;
  friend class Counted<PlayerSite>;

  TShockwaveFlash* host_;
};

// Receives the control's events; only the command event is used.
class PlayerEventSink final : public IDispatch, public Counted<PlayerEventSink> {
 public:
  explicit PlayerEventSink(TShockwaveFlash* host) noexcept : host_(host) {}
  void Detach() noexcept { host_ = nullptr; }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IDispatch && iid != kShockwaveFlashEventsId) return E_NOINTERFACE;
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return AddRefImpl(); }
  STDMETHODIMP_(ULONG) Release() override { return ReleaseImpl(); }

  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }

  // The arguments arrive last first: rgvarg[1] is the command, rgvarg[0] its argument.
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT*, EXCEPINFO*, UINT*) override {
    if (id != kFSCommandDispId || host_ == nullptr) return S_OK;
    if (parameters == nullptr || parameters->cArgs < 2 || parameters->rgvarg == nullptr) return S_OK;
    std::wstring command;
    std::wstring args;
    try {
      command = TextOfArgument(parameters->rgvarg[1]);
      args = TextOfArgument(parameters->rgvarg[0]);
    } catch (...) {
      return S_OK;
    }
    // The handler may tear the host down, and this sink with it.
    AddRef();
    host_->RaiseFSCommand(command, args);
    Release();
    return S_OK;
  }

 private:
  ~PlayerEventSink() = default;
  friend class Counted<PlayerEventSink>;

  TShockwaveFlash* host_;
};

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

TShockwaveFlash::TShockwaveFlash() = default;

TShockwaveFlash::~TShockwaveFlash() { Destroy(); }

void TShockwaveFlash::Create(HWND parent, const RECT& bounds) {
  Destroy();
  parent_ = parent;
  bounds_ = bounds;
  try {
    MarkStartupStep("host: creating the player");
    CreateObject();
    MarkStartupStep("host: player object made");
    InitialiseState();
    Advise();
    Activate(parent);
    MarkStartupStep("host: player active");
  } catch (...) {
    Destroy();
    throw;
  }
}

// The control, its client site (before or after InitNew, as it asks), and
// its default state.
void TShockwaveFlash::CreateObject() {
  Check(
      ::CoCreateInstance(kShockwaveFlashClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, object_.ReceiveVoid()),
      "Creating the movie player");
  site_ = new PlayerSite(this);
  DWORD miscStatus = 0;
  if (FAILED(object_->GetMiscStatus(DVASPECT_CONTENT, &miscStatus))) miscStatus = 0;
  const bool siteFirst = (miscStatus & OLEMISC_SETCLIENTSITEFIRST) != 0;
  if (siteFirst) Check(object_->SetClientSite(site_), "Setting the movie player's site");
  const ComPtr<IPersistStreamInit> persist = object_.As<IPersistStreamInit>(IID_IPersistStreamInit);
  if (!persist) throw WindowsError("Initialising the movie player", static_cast<DWORD>(E_NOINTERFACE));
  Check(persist->InitNew(), "Initialising the movie player");
  if (!siteFirst) Check(object_->SetClientSite(site_), "Setting the movie player's site");
  dispatch_ = object_.As<IDispatch>(IID_IDispatch);
  if (!dispatch_) throw WindowsError("Driving the movie player", static_cast<DWORD>(E_NOINTERFACE));
  view_ = object_.As<IViewObject>(IID_IViewObject);
  LookUpMethods();
}

// Window mode, quality and scale as every window of the program expects them.
// Window mode and quality are looked up by name; a control that knows
// neither already plays in a window at its best quality.
void TShockwaveFlash::InitialiseState() {
  for (const auto& [name, value] : {std::pair{L"WMode", L"Window"}, std::pair{L"Quality2", L"High"}}) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) continue;
    PutString("Setting the movie player's initial state", id, value);
  }
  SetScale(L"ShowAll");
}

void TShockwaveFlash::LookUpMethods() {
  const auto lookUp = [this](const wchar_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    Check(dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id),
          "Looking up the movie player's methods");
    return id;
  };
  loadMovieId_ = lookUp(L"LoadMovie");
  playId_ = lookUp(L"Play");
  stopId_ = lookUp(L"Stop");
  isPlayingId_ = lookUp(L"IsPlaying");
}

void TShockwaveFlash::Advise() {
  const ComPtr<IConnectionPointContainer> points = object_.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
  if (!points) throw WindowsError("Connecting to the movie player's events", static_cast<DWORD>(E_NOINTERFACE));
  Check(points->FindConnectionPoint(kShockwaveFlashEventsId, eventPoint_.Receive()),
        "Connecting to the movie player's events");
  sink_ = new PlayerEventSink(this);
  Check(eventPoint_->Advise(static_cast<IDispatch*>(sink_), &eventCookie_), "Connecting to the movie player's events");
}

void TShockwaveFlash::Activate(HWND parent) {
  UpdateExtent();
  Check(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_, 0, parent, &bounds_), "Activating the movie player");
  inPlace_ = object_.As<IOleInPlaceObject>(IID_IOleInPlaceObject);
  if (!inPlace_) throw WindowsError("Activating the movie player", static_cast<DWORD>(E_NOINTERFACE));
  Check(inPlace_->SetObjectRects(&bounds_, &bounds_), "Placing the movie player");
}

// Reverse order of Create. Every step tolerates a control whose window is
// already gone or that never got as far as that step.
void TShockwaveFlash::Destroy() noexcept {
  if (inPlace_) inPlace_->InPlaceDeactivate();
  if (eventPoint_ && eventCookie_ != 0) eventPoint_->Unadvise(eventCookie_);
  eventCookie_ = 0;
  eventPoint_.Reset();
  if (object_) {
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
  }
  inPlace_.Reset();
  view_.Reset();
  dispatch_.Reset();
  object_.Reset();
  if (sink_ != nullptr) {
    sink_->Detach();
    std::exchange(sink_, nullptr)->Release();
  }
  if (site_ != nullptr) {
    site_->Detach();
    std::exchange(site_, nullptr)->Release();
  }
  loadMovieId_ = playId_ = stopId_ = isPlayingId_ = DISPID_UNKNOWN;
}

IDispatch& TShockwaveFlash::Dispatch(const char* operation) const {
  if (!dispatch_) throw WindowsError(operation, static_cast<DWORD>(E_UNEXPECTED));
  return *dispatch_.Get();
}

void TShockwaveFlash::CallMethod(const char* operation, DISPID id, VARIANT* arguments, UINT count) {
  DISPPARAMS parameters{arguments, nullptr, count, 0};
  Variant ignored;
  InvokeChecked(Dispatch(operation), operation, id, DISPATCH_METHOD, parameters, ignored.Get());
}

void TShockwaveFlash::PutProperty(const char* operation, DISPID id, VARIANT& value) {
  DISPID namedArgument = DISPID_PROPERTYPUT;
  DISPPARAMS parameters{&value, &namedArgument, 1, 1};
  InvokeChecked(Dispatch(operation), operation, id, DISPATCH_PROPERTYPUT, parameters, nullptr);
}

void TShockwaveFlash::PutString(const char* operation, DISPID id, const std::wstring& value) {
  const Bstr text(value);
  VARIANT argument;
  ::VariantInit(&argument);
  argument.vt = VT_BSTR;
  argument.bstrVal = text.Get();
  PutProperty(operation, id, argument);
}

std::wstring TShockwaveFlash::GetString(const char* operation, DISPID id) {
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  Variant result;
  InvokeChecked(Dispatch(operation), operation, id, DISPATCH_PROPERTYGET, none, result.Get());
  return TextOfArgument(*result);
}

void TShockwaveFlash::LoadMovie(int layer, const std::wstring& url) {
  const Bstr path(url);
  // Last argument first.
  VARIANT arguments[2];
  ::VariantInit(&arguments[0]);
  ::VariantInit(&arguments[1]);
  arguments[0].vt = VT_BSTR;
  arguments[0].bstrVal = path.Get();
  arguments[1].vt = VT_I4;
  arguments[1].lVal = layer;
  CallMethod("Loading the movie", loadMovieId_, arguments, 2);
}

void TShockwaveFlash::Play() { CallMethod("Playing the movie", playId_); }

void TShockwaveFlash::Stop() { CallMethod("Stopping the movie", stopId_); }

bool TShockwaveFlash::IsPlaying() {
  const char* operation = "Asking whether the movie plays";
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  Variant result;
  InvokeChecked(Dispatch(operation), operation, isPlayingId_, DISPATCH_METHOD | DISPATCH_PROPERTYGET, none,
                result.Get());
  Variant flag;
  if (FAILED(::VariantChangeType(flag.Get(), result.Get(), 0, VT_BOOL))) return false;
  return (*flag).boolVal != VARIANT_FALSE;
}

std::wstring TShockwaveFlash::Scale() { return GetString("Reading the movie's scale mode", kScaleDispId); }

void TShockwaveFlash::SetScale(const std::wstring& scale) {
  PutString("Setting the movie's scale mode", kScaleDispId, scale);
}

bool TShockwaveFlash::Menu() {
  const char* operation = "Reading the movie player's menu setting";
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  Variant result;
  InvokeChecked(Dispatch(operation), operation, kMenuDispId, DISPATCH_PROPERTYGET, none, result.Get());
  Variant flag;
  if (FAILED(::VariantChangeType(flag.Get(), result.Get(), 0, VT_BOOL))) return false;
  return (*flag).boolVal != VARIANT_FALSE;
}

void TShockwaveFlash::SetMenu(bool enabled) {
  VARIANT value;
  ::VariantInit(&value);
  value.vt = VT_BOOL;
  value.boolVal = enabled ? VARIANT_TRUE : VARIANT_FALSE;
  PutProperty("Setting the movie player's menu", kMenuDispId, value);
}

std::wstring TShockwaveFlash::FlashVars() { return GetString("Reading the movie's variables", kFlashVarsDispId); }

void TShockwaveFlash::SetFlashVars(const std::wstring& vars) {
  PutString("Handing a value to the movie", kFlashVarsDispId, vars);
}

HWND TShockwaveFlash::Handle() const noexcept {
  if (!inPlace_) return nullptr;
  HWND window = nullptr;
  if (FAILED(inPlace_->GetWindow(&window))) return nullptr;
  return window;
}

void TShockwaveFlash::SetBounds(const RECT& bounds) {
  bounds_ = bounds;
  if (!inPlace_) return;
  UpdateExtent();
  Check(inPlace_->SetObjectRects(&bounds_, &bounds_), "Placing the movie player");
}

// The control's natural size in HIMETRIC, for controls that size their
// drawing from it rather than from the in-place rectangle.
void TShockwaveFlash::UpdateExtent() noexcept {
  if (!object_) return;
  HDC screen = ::GetDC(nullptr);
  const int dpiX = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSX) : 96;
  const int dpiY = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen != nullptr) ::ReleaseDC(nullptr, screen);
  SIZEL extent{::MulDiv(bounds_.right - bounds_.left, 2540, dpiX), ::MulDiv(bounds_.bottom - bounds_.top, 2540, dpiY)};
  object_->SetExtent(DVASPECT_CONTENT, &extent);
}

void TShockwaveFlash::SetFocus() noexcept {
  if (HWND window = Handle()) ::SetFocus(window);
}

void TShockwaveFlash::SetVisible(bool visible) noexcept {
  if (HWND window = Handle()) ::ShowWindow(window, visible ? SW_SHOWNA : SW_HIDE);
}

void TShockwaveFlash::PaintTo(HDC dc, int x, int y) {
  if (!view_) throw WindowsError("Painting the movie", static_cast<DWORD>(E_UNEXPECTED));
  const RECTL bounds{x, y, x + (bounds_.right - bounds_.left), y + (bounds_.bottom - bounds_.top)};
  Check(view_->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0),
        "Painting the movie");
}

// The handlers run from copies: a handler may replace them, or end the
// window and this object with it (a command that quits), so nothing here
// touches a member once the first handler has started.
void TShockwaveFlash::RaiseFSCommand(const std::wstring& command, const std::wstring& args) noexcept {
  std::function<void(const std::wstring&, const std::wstring&)> handler;
  std::function<void(const std::exception&)> errorHandler;
  try {
    handler = OnFSCommand;
    errorHandler = OnEventError;
  } catch (...) {
    return;
  }
  if (!handler) return;
  try {
    handler(command, args);
  } catch (const std::exception& error) {
    if (!errorHandler) return;
    try {
      errorHandler(error);
    } catch (...) {
    }
  } catch (...) {
  }
}

}  // namespace tpl
