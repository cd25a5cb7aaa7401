#pragma once
// The movie player control as the program's windows use it: created by class
// id inside a window of ours, activated in place with a real child window, and
// driven through IDispatch by the few methods, properties and the one event
// the windows need. Every failing call throws WindowsError naming the operation.

#include <objbase.h>
#include <ocidl.h>
#include <oleidl.h>
#include <windows.h>

#include <exception>
#include <functional>
#include <string>

#include "common/win_handles.h"

namespace tpl {

// {D27CDB6E-AE6D-11CF-96B8-444553540000}
extern const CLSID kShockwaveFlashClassId;
// {D27CDB6D-AE6D-11CF-96B8-444553540000}, the control's event interface.
extern const IID kShockwaveFlashEventsId;

inline constexpr DISPID kMenuDispId = 135;
inline constexpr DISPID kScaleDispId = 137;
inline constexpr DISPID kFlashVarsDispId = 170;
inline constexpr DISPID kFSCommandDispId = 150;

class PlayerSite;
class PlayerEventSink;

class TShockwaveFlash {
 public:
  TShockwaveFlash();
  ~TShockwaveFlash();
  TShockwaveFlash(const TShockwaveFlash&) = delete;
  TShockwaveFlash& operator=(const TShockwaveFlash&) = delete;

  // Creates the control as a child of parent at bounds (parent client
  // coordinates), from its default state with window mode "Window", quality
  // "High" and scale "ShowAll". COM must be initialised on this thread.
  void Create(HWND parent, const RECT& bounds);
  // Undoes Create in reverse order; safe to call twice and after the control
  // destroyed its own window.
  void Destroy() noexcept;
  [[nodiscard]] bool IsCreated() const noexcept { return static_cast<bool>(object_); }

  void LoadMovie(int layer, const std::wstring& url);
  void Play();
  void Stop();
  [[nodiscard]] bool IsPlaying();

  [[nodiscard]] std::wstring Scale();
  void SetScale(const std::wstring& scale);
  [[nodiscard]] bool Menu();
  void SetMenu(bool enabled);
  [[nodiscard]] std::wstring FlashVars();
  void SetFlashVars(const std::wstring& vars);

  // Runs on the window thread for every command the movie raises.
  std::function<void(const std::wstring& command, const std::wstring& args)> OnFSCommand;
  // Receives an error that escaped OnFSCommand; the event itself then ends.
  // Without it the error is dropped, since nothing may cross the COM boundary.
  std::function<void(const std::exception& error)> OnEventError;

  // The control's own child window (asked anew each time: the control may
  // have recreated it), or null before Create.
  [[nodiscard]] HWND Handle() const noexcept;
  [[nodiscard]] RECT Bounds() const noexcept { return bounds_; }
  void SetBounds(const RECT& bounds);
  void SetFocus() noexcept;
  void SetVisible(bool visible) noexcept;

  // Draws the current frame, at the control's size, with its top left at
  // (x, y) of any device context: visible, covered or off-screen alike.
  void PaintTo(HDC dc, int x, int y);

 private:
  friend class PlayerSite;
  friend class PlayerEventSink;

  void CreateObject();
  void InitialiseState();
  void LookUpMethods();
  void Advise();
  void Activate(HWND parent);
  void CallMethod(const char* operation, DISPID id, VARIANT* arguments = nullptr, UINT count = 0);
  void PutProperty(const char* operation, DISPID id, VARIANT& value);
  void PutString(const char* operation, DISPID id, const std::wstring& value);
  [[nodiscard]] std::wstring GetString(const char* operation, DISPID id);
  [[nodiscard]] IDispatch& Dispatch(const char* operation) const;
  void UpdateExtent() noexcept;
  void RaiseFSCommand(const std::wstring& command, const std::wstring& args) noexcept;

  ComPtr<IOleObject> object_;
  ComPtr<IDispatch> dispatch_;
  ComPtr<IOleInPlaceObject> inPlace_;
  ComPtr<IViewObject> view_;
  ComPtr<IConnectionPoint> eventPoint_;
  DWORD eventCookie_ = 0;
  PlayerSite* site_ = nullptr;       // counted: one reference held here
  PlayerEventSink* sink_ = nullptr;  // counted: one reference held here
  HWND parent_ = nullptr;
  RECT bounds_{};
  DISPID loadMovieId_ = DISPID_UNKNOWN;
  DISPID playId_ = DISPID_UNKNOWN;
  DISPID stopId_ = DISPID_UNKNOWN;
  DISPID isPlayingId_ = DISPID_UNKNOWN;
};

}  // namespace tpl
