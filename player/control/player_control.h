#pragma once
// The control object: the engine wrapped in the COM interfaces an ActiveX
// container uses (dispatch, OLE embedding and in-place activation, drawing
// into any DC, persistence, events), and the child window it plays in.
//
// Everything runs on the thread that created the object (apartment
// threading). Movie commands are never raised from inside a call of the host:
// they are queued and delivered from this control's own window, on its timer
// or through a message it posts to itself.

#include <windows.h>

#include <objbase.h>
#include <ocidl.h>
#include <olectl.h>

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "audio_output.h"
#include "common/win_handles.h"
#include "control_members.h"
#include "control_state.h"
#include "engine/movie_player.h"
#include "frame_buffer.h"
#include "gdi_fonts.h"

namespace tpl::player {

// Called when the DLL is unloaded.
void UnregisterPlayerWindowClass() noexcept;

class DispatchCall;

// COM objects are deleted only by their own Release, never through an
// interface pointer, so the interfaces' non-virtual destructors are harmless.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

class PlayerControl final : public IDispatch,
                            public IOleObject,
                            public IOleInPlaceObject,
                            public IOleInPlaceActiveObject,
                            public IOleControl,
                            public IViewObject2,
                            public IPersistStreamInit,
                            public IConnectionPointContainer {
 public:
  // A new control, answering the interface asked for.
  static HRESULT Create(REFIID iid, void** out) noexcept;

  PlayerControl(const PlayerControl&) = delete;
  PlayerControl& operator=(const PlayerControl&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT* argumentError) override;

  // IOleObject
  HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
  HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override;
  HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR application, LPCOLESTR object) override;
  HRESULT STDMETHODCALLTYPE Close(DWORD saveOption) override;
  HRESULT STDMETHODCALLTYPE SetMoniker(DWORD which, IMoniker* moniker) override;
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
  HRESULT STDMETHODCALLTYPE InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
  HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD reserved, IDataObject** data) override;
  HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG message, IOleClientSite* activeSite, LONG index, HWND parent,
                                   LPCRECT position) override;
  HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** verbs) override;
  HRESULT STDMETHODCALLTYPE Update() override;
  HRESULT STDMETHODCALLTYPE IsUpToDate() override;
  HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* classId) override;
  HRESULT STDMETHODCALLTYPE GetUserType(DWORD form, LPOLESTR* userType) override;
  HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override;
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override;
  HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* connection) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD connection) override;
  HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** advise) override;
  HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override;
  HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE* palette) override;

  // IOleWindow, through IOleInPlaceObject and IOleInPlaceActiveObject
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enterMode) override;

  // IOleInPlaceObject
  HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
  HRESULT STDMETHODCALLTYPE UIDeactivate() override;
  HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT clip) override;
  HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override;

  // IOleInPlaceActiveObject
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message) override;
  HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL activate) override;
  HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL activate) override;
  HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow) override;
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;

  // IOleControl
  HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override;
  HRESULT STDMETHODCALLTYPE OnMnemonic(MSG* message) override;
  HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID id) override;
  HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL freeze) override;

  // IViewObject2
  HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device, HDC deviceInfo,
                                 HDC target, LPCRECTL bounds, LPCRECTL metafileBounds,
                                 BOOL(STDMETHODCALLTYPE* keepDrawing)(ULONG_PTR),
                                 ULONG_PTR keepDrawingArgument) override;
  HRESULT STDMETHODCALLTYPE GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                                        HDC deviceInfo, LOGPALETTE** colors) override;
  HRESULT STDMETHODCALLTYPE Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override;
  HRESULT STDMETHODCALLTYPE Unfreeze(DWORD freeze) override;
  HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
  HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, LPSIZEL size) override;

  // IPersistStreamInit
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* classId) override;
  HRESULT STDMETHODCALLTYPE IsDirty() override;
  HRESULT STDMETHODCALLTYPE Load(LPSTREAM stream) override;
  HRESULT STDMETHODCALLTYPE Save(LPSTREAM stream, BOOL clearDirty) override;
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;
  HRESULT STDMETHODCALLTYPE InitNew() override;

  // IConnectionPointContainer
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

 private:
  // The one connection point, for the event interface. It shares the
  // control's reference count.
  class EventConnectionPoint final : public IConnectionPoint {
   public:
    explicit EventConnectionPoint(PlayerControl& owner) : owner_(owner) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return owner_.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return owner_.Release(); }
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override;

   private:
    PlayerControl& owner_;
  };

  // Holds a reference while the control calls out to its host, who may
  // release it meanwhile.
  class KeepAlive {
   public:
    explicit KeepAlive(PlayerControl& control) : control_(control) { control_.AddRef(); }
    ~KeepAlive() { control_.Release(); }
    KeepAlive(const KeepAlive&) = delete;
    KeepAlive& operator=(const KeepAlive&) = delete;

   private:
    PlayerControl& control_;
  };

  // Posted to the control's own window when movie commands wait for delivery.
  static constexpr UINT kDeliverEventsMessage = WM_APP + 0x50;
  static constexpr UINT_PTR kFrameTimerId = 1;

  PlayerControl();
  ~PlayerControl();

  // Dispatch members.
  HRESULT InvokeMethod(MemberId member, DispatchCall& call);
  HRESULT InvokeGet(MemberId member, DispatchCall& call);
  HRESULT InvokePut(MemberId member, DispatchCall& call);
  void LoadMovieFrom(const std::wstring& url);
  [[nodiscard]] swf::ScaleMode EffectiveScaleMode() const;

  // State.
  [[nodiscard]] ControlState CurrentState() const;
  void ApplyState(const ControlState& state);

  // Activation and the window.
  HRESULT ActivateInPlace(HWND parentHint, LPCRECT positionHint);
  HRESULT ActivateUserInterface();
  HRESULT CreatePlayerWindow(HWND parent, const RECT& position);
  void DestroyPlayerWindow() noexcept;
  void RestartFrameTimer();
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void OnFrameTimer();
  // The pointer and keys over the window reach the movie's buttons and scripts.
  bool OnInput(UINT message, WPARAM wParam, LPARAM lParam);
  bool OnSetCursor(LPARAM lParam);
  // What follows any change of the movie: its sounds, commands and picture.
  void AfterMovieChanged();
  bool UpdatePaintBuffer();
  bool UpdatePaintBuffer(int width, int height);
  void ShowChangedAreas();
  void Paint();
  void PaintInto(HDC target);
  void OnWindowGone() noexcept;
  void StartSoundOutputWhenNeeded();

  // Events.
  HRESULT AdviseSink(IUnknown* sink, DWORD* cookie);
  HRESULT UnadviseSink(DWORD cookie);
  void QueueMovieCommands();
  void PostEventDelivery();
  void DeliverEvents();
  void RaiseFsCommand(const swf::FsCommand& command);
  void NotifyViewChange();

  ULONG references_ = 1;
  GdiDeviceFonts deviceFonts_;  // before movie_, which draws with it
  std::unique_ptr<swf::MoviePlayer> movie_;
  // Opened when the movie first plays a sound (never, in a foreign window's
  // thumbnail); after movie_, so it stops before the mixer it reads goes.
  std::unique_ptr<AudioOutput> audio_;
  bool soundOutputChosen_ = false;

  std::wstring movieUrl_;
  std::wstring scale_ = L"ShowAll";
  std::wstring flashVars_;
  std::wstring windowMode_ = L"Window";
  std::wstring quality_ = L"High";
  bool loop_ = true;
  bool menu_ = true;
  SIZEL extent_{5292, 5292};
  bool dirty_ = false;

  ComPtr<IOleClientSite> clientSite_;
  ComPtr<IOleInPlaceSite> inPlaceSite_;
  ComPtr<IOleInPlaceFrame> frame_;
  ComPtr<IOleAdviseHolder> oleAdviseHolder_;
  ComPtr<IAdviseSink> viewSink_;
  DWORD viewAspects_ = 0;
  DWORD viewFlags_ = 0;
  HWND window_ = nullptr;
  bool uiActive_ = false;

  EventConnectionPoint connectionPoint_{*this};
  std::map<DWORD, ComPtr<IDispatch>> sinks_;
  DWORD nextCookie_ = 1;
  std::deque<swf::FsCommand> pendingCommands_;
  bool deliveryPosted_ = false;
  bool delivering_ = false;  // DeliverEvents is running further up the stack
  int eventFreezes_ = 0;

  FrameBuffer paintBuffer_;  // what the window shows, kept up to date area by area
  FrameBuffer drawBuffer_;   // IViewObject::Draw at other sizes
  std::vector<RECT> changedAreas_;
  UniqueGdiObject updateRegion_;  // the window's update region, read on each paint
};

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

}  // namespace tpl::player
