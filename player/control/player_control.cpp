// The control's COM face: identity, dispatch members, embedding, persistence
// and events. Activation, the window and drawing are in player_window.cpp.
#include "player_control.h"

#include <chrono>
#include <new>
#include <string_view>

#include "com_guard.h"
#include "common/startup_times.h"
#include "control_ids.h"
#include "local_requests.h"
#include "dispatch_call.h"
#include "module.h"
#include "movie_url.h"
#include "trace.h"
#include "wide_text.h"

namespace tpl::player {
namespace {

// How long one script may run before it is stopped (a movie may ask for less).
constexpr double kScriptSecondsLimit = 5;

// Movie files larger than this are not movies we play.
constexpr LONGLONG kMaxMovieFileSize = 256LL << 20;

std::vector<std::uint8_t> ReadMovieFile(const std::wstring& path, LONGLONG maxSize = kMaxMovieFileSize) {
  UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 || size.QuadPart > maxSize) {
    return {};
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
  std::size_t filled = 0;
  while (filled < bytes.size()) {
    DWORD read = 0;
    if (!::ReadFile(file.Get(), bytes.data() + filled, static_cast<DWORD>(bytes.size() - filled), &read, nullptr) ||
        read == 0) {
      break;
    }
    filled += read;
  }
  bytes.resize(filled);
  return bytes;
}

std::wstring BoolText(bool value) { return value ? L"true" : L"false"; }

std::wstring Name(MemberId member) { return WideFromUtf8(MemberName(member)); }

HRESULT CopyInterface(IUnknown* from, REFIID iid, void** out) {
  return from != nullptr ? from->QueryInterface(iid, out) : E_NOINTERFACE;
}

// Reads up to size bytes; fewer only when the stream ends or fails.
std::vector<std::uint8_t> ReadStream(IStream& stream, std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  std::size_t filled = 0;
  while (filled < size) {
    ULONG read = 0;
    const HRESULT result = stream.Read(bytes.data() + filled, static_cast<ULONG>(size - filled), &read);
    if (FAILED(result) || read == 0) break;
    filled += read;
  }
  bytes.resize(filled);
  return bytes;
}

}  // namespace

// ---------------------------------------------------------------------------
// Life and identity

PlayerControl::PlayerControl() : movie_(std::make_unique<swf::MoviePlayer>()) {
  MarkStartupStep("player: engine made");
  // Scripts read the real time (getTimer, intervals), whatever the frame rate achieved.
  movie_->SetClock([] {
    using namespace std::chrono;
    return static_cast<double>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  });
  movie_->SetMp3Decoder(DecodeMp3ThroughAcm);
  movie_->SetDeviceFonts(&deviceFonts_);
  // The saver's input is handled on this thread: a runaway script may hold it
  // up for a few seconds at most, not the platform's fifteen.
  movie_->SetScriptTimeLimit(kScriptSecondsLimit);
  AddModuleReference();
  Trace(L"Create");
  MarkStartupStep("player: constructed");
}

PlayerControl::~PlayerControl() {
  DestroyPlayerWindow();
  Trace(L"Destroy");
  ReleaseModuleReference();
}

HRESULT PlayerControl::Create(REFIID iid, void** out) noexcept {
  return Guarded([&] {
    auto* control = new PlayerControl();
    const HRESULT result = control->QueryInterface(iid, out);
    control->Release();
    return result;
  });
}

HRESULT PlayerControl::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  void* found = nullptr;
  // The primary interface's id is refused: the platform's is a dual interface,
  // and a caller that got our plain IDispatch for it would call past its end.
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
    found = static_cast<IDispatch*>(this);
  } else if (IsEqualIID(iid, IID_IOleObject)) {
    found = static_cast<IOleObject*>(this);
  } else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceObject)) {
    found = static_cast<IOleInPlaceObject*>(this);
  } else if (IsEqualIID(iid, IID_IOleInPlaceActiveObject)) {
    found = static_cast<IOleInPlaceActiveObject*>(this);
  } else if (IsEqualIID(iid, IID_IOleControl)) {
    found = static_cast<IOleControl*>(this);
  } else if (IsEqualIID(iid, IID_IViewObject) || IsEqualIID(iid, IID_IViewObject2)) {
    found = static_cast<IViewObject2*>(this);
  } else if (IsEqualIID(iid, IID_IPersist) || IsEqualIID(iid, IID_IPersistStreamInit)) {
    found = static_cast<IPersistStreamInit*>(this);
  } else if (IsEqualIID(iid, IID_IConnectionPointContainer)) {
    found = static_cast<IConnectionPointContainer*>(this);
  }
  *out = found;
  if (found == nullptr) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

ULONG PlayerControl::AddRef() { return ++references_; }

ULONG PlayerControl::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

// ---------------------------------------------------------------------------
// IDispatch

HRESULT PlayerControl::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT PlayerControl::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info != nullptr) *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT PlayerControl::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (names == nullptr || ids == nullptr) return E_POINTER;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  if (count == 0) return S_OK;
  const auto member = names[0] != nullptr ? FindMember(names[0]) : std::nullopt;
  if (member) ids[0] = static_cast<DISPID>(*member);
  // Named arguments are not supported, so no parameter name is known.
  return member && count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
}

HRESULT PlayerControl::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                              UINT* argumentError) {
  return Guarded([&]() -> HRESULT {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    const DISPPARAMS none{};
    DispatchCall call(flags, params != nullptr ? *params : none, result, argumentError);
    const auto member = MemberFromId(id);
    if (!member) return DISP_E_MEMBERNOTFOUND;
    switch (*member) {
      case MemberId::Play:
      case MemberId::Stop:
      case MemberId::IsPlaying:
      case MemberId::LoadMovie: return InvokeMethod(*member, call);
      case MemberId::Movie:
      case MemberId::Loop:
      case MemberId::WMode:
      case MemberId::Menu:
      case MemberId::Scale:
      case MemberId::FlashVars:
        if (call.IsPut()) return InvokePut(*member, call);
        if (call.IsGet()) return InvokeGet(*member, call);
        return DISP_E_MEMBERNOTFOUND;
    }
    return DISP_E_MEMBERNOTFOUND;
  });
}

HRESULT PlayerControl::InvokeMethod(MemberId member, DispatchCall& call) {
  const bool asProperty = member == MemberId::IsPlaying && call.IsGet();
  if (!call.IsMethodCall() && !asProperty) return DISP_E_MEMBERNOTFOUND;
  HRESULT result = call.ExpectArguments(member == MemberId::LoadMovie ? 2 : 0);
  if (FAILED(result)) return result;
  switch (member) {
    case MemberId::Play:
      MarkStartupStep("player: play called");
      Trace(L"Play");
      movie_->Play();
      MarkStartupStep("player: play traced");
      return S_OK;
    case MemberId::Stop:
      Trace(L"Stop");
      movie_->Stop();
      movie_->StopSounds();
      return S_OK;
    case MemberId::IsPlaying: {
      const bool playing = movie_->IsPlaying();
      Trace(playing ? L"IsPlaying 1" : L"IsPlaying 0");
      call.ReturnBool(playing);
      return S_OK;
    }
    case MemberId::LoadMovie: {
      long layer = 0;
      std::wstring url;
      if (FAILED(result = call.IntegerArgument(0, layer)) || FAILED(result = call.TextArgument(1, url))) return result;
      Trace(L"LoadMovie " + std::to_wstring(layer) + L" " + url);
      // Only the base layer is played; movies for other layers are left out.
      if (layer == 0) LoadMovieFrom(url);
      return S_OK;
    }
    default: return DISP_E_MEMBERNOTFOUND;
  }
}

HRESULT PlayerControl::InvokeGet(MemberId member, DispatchCall& call) {
  const HRESULT result = call.ExpectArguments(0);
  if (FAILED(result)) return result;
  const auto returnText = [&](const std::wstring& text) {
    Trace(L"get " + Name(member) + L"=" + text);
    return call.ReturnText(text);
  };
  const auto returnBool = [&](bool value) {
    Trace(L"get " + Name(member) + L"=" + BoolText(value));
    call.ReturnBool(value);
    return S_OK;
  };
  switch (member) {
    case MemberId::Movie: return returnText(movieUrl_);
    case MemberId::WMode: return returnText(windowMode_);
    case MemberId::Scale: return returnText(scale_);
    case MemberId::FlashVars: return returnText(flashVars_);
    case MemberId::Loop: return returnBool(loop_);
    case MemberId::Menu: return returnBool(menu_);
    default: return DISP_E_MEMBERNOTFOUND;
  }
}

HRESULT PlayerControl::InvokePut(MemberId member, DispatchCall& call) {
  HRESULT result = call.ExpectPutValue();
  if (FAILED(result)) return result;
  std::wstring text;
  bool flag = false;
  const bool isFlag = member == MemberId::Loop || member == MemberId::Menu;
  result = isFlag ? call.PutBool(flag) : call.PutText(text);
  if (FAILED(result)) return result;
  Trace(Name(member) + L"=" + (isFlag ? BoolText(flag) : text));
  dirty_ = true;
  switch (member) {
    case MemberId::Movie: LoadMovieFrom(text); break;
    case MemberId::WMode: windowMode_ = text; break;
    case MemberId::Scale:
      // Kept as given; a text that names no mode shows the whole movie.
      scale_ = text;
      if (window_ != nullptr) ::InvalidateRect(window_, nullptr, FALSE);
      break;
    case MemberId::FlashVars:
      flashVars_ = text;
      movie_->SetFlashVars(Utf8FromWide(text));
      break;
    case MemberId::Loop: loop_ = flag; break;
    case MemberId::Menu: menu_ = flag; break;
    default: return DISP_E_MEMBERNOTFOUND;
  }
  return S_OK;
}

void PlayerControl::LoadMovieFrom(const std::wstring& url) {
  swf::MoviePlayer& engine = *movie_;
  movieUrl_ = url;
  const std::wstring path = WideFromUtf8(MoviePathFromUrl(Utf8FromWide(url)));
  MarkStartupStep("player: load begins");
  const std::vector<std::uint8_t> bytes = ReadMovieFile(path);
  MarkStartupStep("player: file read");
  // The movie's trace() output goes to a file only when one is configured;
  // otherwise the engine has no sink and trace costs nothing.
  const std::wstring output = MovieOutputFile();
  if (output.empty()) {
    engine.SetTraceSink(nullptr);
  } else {
    engine.SetTraceSink([output](std::string_view line) { AppendMovieOutput(output, line); });
  }
  // Scripts' loads read files beside the movie (or named by file: URLs) on
  // this thread; a local read is quick, and anything on a network (another
  // scheme, a share) is refused before any wait, as a saver plays offline.
  engine.SetUrlReader([folder = swf::FolderOf(Utf8FromWide(path))](std::string_view request)
                           -> std::optional<std::string> {
    try {
      const std::optional<std::string> local = swf::LocalRequestPath(folder, request, '\\');
      if (!local) return std::nullopt;
      const std::vector<std::uint8_t> loaded =
          ReadMovieFile(WideFromUtf8(*local), static_cast<LONGLONG>(swf::kMaxLoadedBytes));
      if (loaded.empty()) return std::nullopt;
      return std::string(loaded.begin(), loaded.end());
    } catch (...) {
      return std::nullopt;  // nothing read: the load fails as offline ones do
    }
  });
  // A file that is missing or no movie leaves the player empty: background only.
  MarkStartupStep("player: output looked up");
  if (bytes.empty() || !engine.Load(bytes)) engine.Unload();
  MarkStartupStep("player: movie started");
  Trace(L"Loaded " + std::to_wstring(engine.FrameCount()));
  QueueMovieCommands();
  RestartFrameTimer();
  if (window_ != nullptr) ::InvalidateRect(window_, nullptr, FALSE);
  MarkStartupStep("player: load ends");
}

swf::ScaleMode PlayerControl::EffectiveScaleMode() const {
  return swf::ParseScaleMode(Utf8FromWide(scale_)).value_or(swf::ScaleMode::ShowAll);
}

// ---------------------------------------------------------------------------
// IOleObject

HRESULT PlayerControl::SetClientSite(IOleClientSite* site) {
  return Guarded([&] {
    if (site == nullptr) {
      InPlaceDeactivate();
      Trace(L"SetClientSite null");
    } else {
      Trace(L"SetClientSite");
    }
    if (site != nullptr) site->AddRef();
    clientSite_ = ComPtr<IOleClientSite>::Attach(site);
    return S_OK;
  });
}

HRESULT PlayerControl::GetClientSite(IOleClientSite** site) {
  if (site == nullptr) return E_POINTER;
  *site = clientSite_.Get();
  if (*site != nullptr) (*site)->AddRef();
  return S_OK;
}

HRESULT PlayerControl::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

HRESULT PlayerControl::Close(DWORD) {
  return Guarded([&] {
    Trace(L"Close");
    InPlaceDeactivate();
    if (oleAdviseHolder_) oleAdviseHolder_->SendOnClose();
    return S_OK;
  });
}

HRESULT PlayerControl::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

HRESULT PlayerControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker != nullptr) *moniker = nullptr;
  return E_NOTIMPL;
}

HRESULT PlayerControl::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

HRESULT PlayerControl::GetClipboardData(DWORD, IDataObject** data) {
  if (data != nullptr) *data = nullptr;
  return E_NOTIMPL;
}

HRESULT PlayerControl::EnumVerbs(IEnumOLEVERB** verbs) {
  if (verbs != nullptr) *verbs = nullptr;
  return E_NOTIMPL;
}

HRESULT PlayerControl::Update() { return S_OK; }
HRESULT PlayerControl::IsUpToDate() { return S_OK; }

HRESULT PlayerControl::GetUserClassID(CLSID* classId) {
  if (classId == nullptr) return E_POINTER;
  *classId = kPlayerClassId;
  return S_OK;
}

HRESULT PlayerControl::GetUserType(DWORD, LPOLESTR* userType) {
  if (userType == nullptr) return E_POINTER;
  const std::size_t bytes = sizeof kPlayerDisplayName;
  *userType = static_cast<LPOLESTR>(::CoTaskMemAlloc(bytes));
  if (*userType == nullptr) return E_OUTOFMEMORY;
  ::memcpy(*userType, kPlayerDisplayName, bytes);
  return S_OK;
}

HRESULT PlayerControl::SetExtent(DWORD aspect, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  extent_ = *size;
  dirty_ = true;
  return S_OK;
}

HRESULT PlayerControl::GetExtent(DWORD aspect, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *size = extent_;
  return S_OK;
}

HRESULT PlayerControl::Advise(IAdviseSink* sink, DWORD* connection) {
  return Guarded([&] {
    if (!oleAdviseHolder_) {
      const HRESULT result = ::CreateOleAdviseHolder(oleAdviseHolder_.Receive());
      if (FAILED(result)) return result;
    }
    return oleAdviseHolder_->Advise(sink, connection);
  });
}

HRESULT PlayerControl::Unadvise(DWORD connection) {
  return oleAdviseHolder_ ? oleAdviseHolder_->Unadvise(connection) : OLE_E_NOCONNECTION;
}

HRESULT PlayerControl::EnumAdvise(IEnumSTATDATA** advise) {
  if (advise == nullptr) return E_POINTER;
  *advise = nullptr;
  return oleAdviseHolder_ ? oleAdviseHolder_->EnumAdvise(advise) : E_FAIL;
}

HRESULT PlayerControl::GetMiscStatus(DWORD, DWORD* status) {
  if (status == nullptr) return E_POINTER;
  *status = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_RECOMPOSEONRESIZE |
            OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT;
  return S_OK;
}

HRESULT PlayerControl::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// ---------------------------------------------------------------------------
// IOleInPlaceActiveObject and IOleControl: keyboard handling is the window's.

HRESULT PlayerControl::TranslateAccelerator(LPMSG) { return S_FALSE; }
HRESULT PlayerControl::OnFrameWindowActivate(BOOL) { return S_OK; }
HRESULT PlayerControl::OnDocWindowActivate(BOOL) { return S_OK; }
HRESULT PlayerControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
HRESULT PlayerControl::EnableModeless(BOOL) { return S_OK; }

HRESULT PlayerControl::GetControlInfo(CONTROLINFO* info) {
  if (info == nullptr) return E_POINTER;
  info->hAccel = nullptr;
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}

HRESULT PlayerControl::OnMnemonic(MSG*) { return E_NOTIMPL; }
HRESULT PlayerControl::OnAmbientPropertyChange(DISPID) { return S_OK; }

HRESULT PlayerControl::FreezeEvents(BOOL freeze) {
  return Guarded([&] {
    if (freeze) {
      ++eventFreezes_;
    } else if (eventFreezes_ > 0 && --eventFreezes_ == 0) {
      PostEventDelivery();
    }
    return S_OK;
  });
}

// ---------------------------------------------------------------------------
// IPersistStreamInit

ControlState PlayerControl::CurrentState() const {
  ControlState state;
  state.windowMode = Utf8FromWide(windowMode_);
  state.quality = Utf8FromWide(quality_);
  state.scale = Utf8FromWide(scale_);
  state.flashVars = Utf8FromWide(flashVars_);
  state.movie = Utf8FromWide(movieUrl_);
  state.loop = loop_;
  state.menu = menu_;
  state.extentWidth = extent_.cx;
  state.extentHeight = extent_.cy;
  return state;
}

void PlayerControl::ApplyState(const ControlState& state) {
  windowMode_ = WideFromUtf8(state.windowMode);
  quality_ = WideFromUtf8(state.quality);
  scale_ = WideFromUtf8(state.scale);
  flashVars_ = WideFromUtf8(state.flashVars);
  loop_ = state.loop;
  menu_ = state.menu;
  extent_ = SIZEL{state.extentWidth, state.extentHeight};
  dirty_ = false;
  // The engine hands these to every movie it loads from now on, before the
  // movie's first frame runs.
  movie_->SetFlashVars(Utf8FromWide(flashVars_));
  if (!state.movie.empty()) LoadMovieFrom(WideFromUtf8(state.movie));
}

HRESULT PlayerControl::GetClassID(CLSID* classId) { return GetUserClassID(classId); }

HRESULT PlayerControl::IsDirty() { return dirty_ ? S_OK : S_FALSE; }

HRESULT PlayerControl::Load(LPSTREAM stream) {
  return Guarded([&] {
    if (stream == nullptr) return E_POINTER;
    std::optional<ControlState> state;
    const std::vector<std::uint8_t> header = ReadStream(*stream, kStateHeaderSize);
    if (const auto bodySize = StateBodySize(header)) state = DecodeStateBody(ReadStream(*stream, *bodySize));
    // A state of another format, or a damaged one, starts the control afresh.
    Trace(state ? L"Load" : L"Load unknown state");
    ApplyState(state.value_or(ControlState{}));
    return S_OK;
  });
}

HRESULT PlayerControl::Save(LPSTREAM stream, BOOL clearDirty) {
  return Guarded([&] {
    if (stream == nullptr) return E_POINTER;
    const std::vector<std::uint8_t> bytes = EncodeState(CurrentState());
    ULONG written = 0;
    const HRESULT result = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    if (FAILED(result)) return result;
    if (written != bytes.size()) return STG_E_MEDIUMFULL;
    if (clearDirty) dirty_ = false;
    Trace(L"Save");
    return S_OK;
  });
}

HRESULT PlayerControl::GetSizeMax(ULARGE_INTEGER* size) {
  return Guarded([&] {
    if (size == nullptr) return E_POINTER;
    size->QuadPart = EncodeState(CurrentState()).size();
    return S_OK;
  });
}

HRESULT PlayerControl::InitNew() {
  return Guarded([&] {
    Trace(L"InitNew");
    ApplyState(ControlState{});
    return S_OK;
  });
}

// ---------------------------------------------------------------------------
// Events

HRESULT PlayerControl::EnumConnectionPoints(IEnumConnectionPoints** points) {
  if (points != nullptr) *points = nullptr;
  return E_NOTIMPL;
}

HRESULT PlayerControl::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
  if (point == nullptr) return E_POINTER;
  *point = nullptr;
  if (!IsEqualIID(iid, kPlayerEventsId)) return CONNECT_E_NOCONNECTION;
  *point = &connectionPoint_;
  connectionPoint_.AddRef();
  return S_OK;
}

HRESULT PlayerControl::EventConnectionPoint::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint)) {
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT PlayerControl::EventConnectionPoint::GetConnectionInterface(IID* iid) {
  if (iid == nullptr) return E_POINTER;
  *iid = kPlayerEventsId;
  return S_OK;
}

HRESULT PlayerControl::EventConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
  if (container == nullptr) return E_POINTER;
  *container = &owner_;
  owner_.AddRef();
  return S_OK;
}

HRESULT PlayerControl::EventConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  return Guarded([&] { return owner_.AdviseSink(sink, cookie); });
}

HRESULT PlayerControl::EventConnectionPoint::Unadvise(DWORD cookie) {
  return Guarded([&] { return owner_.UnadviseSink(cookie); });
}

HRESULT PlayerControl::EventConnectionPoint::EnumConnections(IEnumConnections** connections) {
  if (connections != nullptr) *connections = nullptr;
  return E_NOTIMPL;
}

HRESULT PlayerControl::AdviseSink(IUnknown* sink, DWORD* cookie) {
  if (sink == nullptr || cookie == nullptr) return E_POINTER;
  *cookie = 0;
  ComPtr<IDispatch> events;
  if (FAILED(CopyInterface(sink, kPlayerEventsId, events.ReceiveVoid())) &&
      FAILED(CopyInterface(sink, IID_IDispatch, events.ReceiveVoid()))) {
    return CONNECT_E_CANNOTCONNECT;
  }
  *cookie = nextCookie_++;
  sinks_.emplace(*cookie, std::move(events));
  Trace(L"Advise");
  return S_OK;
}

HRESULT PlayerControl::UnadviseSink(DWORD cookie) {
  if (sinks_.erase(cookie) == 0) return CONNECT_E_NOCONNECTION;
  Trace(L"Unadvise");
  return S_OK;
}

void PlayerControl::QueueMovieCommands() {
  for (swf::FsCommand& command : movie_->TakeFsCommands()) pendingCommands_.push_back(std::move(command));
  PostEventDelivery();
}

void PlayerControl::PostEventDelivery() {
  if (pendingCommands_.empty() || window_ == nullptr || deliveryPosted_ || eventFreezes_ > 0) return;
  deliveryPosted_ = ::PostMessageW(window_, kDeliverEventsMessage, 0, 0) != FALSE;
}

// A handler that runs a message loop of its own (a message box) lets timer
// ticks in; their commands wait in the queue for this loop, in order.
void PlayerControl::DeliverEvents() {
  if (delivering_) return;
  const KeepAlive keep(*this);
  delivering_ = true;
  while (!pendingCommands_.empty() && eventFreezes_ == 0) {
    const swf::FsCommand command = std::move(pendingCommands_.front());
    pendingCommands_.pop_front();
    RaiseFsCommand(command);
  }
  delivering_ = false;
}

void PlayerControl::RaiseFsCommand(const swf::FsCommand& command) {
  const std::wstring name = WideFromUtf8(command.command);
  const std::wstring args = WideFromUtf8(command.args);
  Trace(L"FSCommand " + name + L"|" + args);
  // A handler may advise or unadvise sinks: call the ones there were at the start.
  std::vector<ComPtr<IDispatch>> sinks;
  for (const auto& entry : sinks_) sinks.push_back(entry.second);
  for (const ComPtr<IDispatch>& sink : sinks) {
    // Arguments last to first: rgvarg[1] is the command, rgvarg[0] its argument.
    Variant arguments[2];
    arguments[1].Get().vt = VT_BSTR;
    arguments[1].Get().bstrVal = ::SysAllocStringLen(name.data(), static_cast<UINT>(name.size()));
    arguments[0].Get().vt = VT_BSTR;
    arguments[0].Get().bstrVal = ::SysAllocStringLen(args.data(), static_cast<UINT>(args.size()));
    VARIANT raw[2] = {arguments[0].Get(), arguments[1].Get()};
    DISPPARAMS params{raw, nullptr, 2, 0};
    sink->Invoke(kFsCommandEventId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
  }
}

}  // namespace tpl::player
