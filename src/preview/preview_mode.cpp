#include "preview/preview_mode.h"

#include <optional>

#include "common/wide_text.h"
#include "common/win_handles.h"
#include "preview/frm_preview_code.h"
#include "preview/preview_frames.h"
#include "ui/application.h"
#include "ui/graphics.h"

namespace tpl {
namespace {

// A run that could not even begin to draw: no handle, or one that is no window.
constexpr int kNoPreviewWindowExitCode = 1;

bool IsWindows40() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!::GetVersionExA(&info)) return false;
  return IsVersion40(info.dwMajorVersion, info.dwMinorVersion);
}

HWND PreviewWindowOf(std::int32_t handle) { return reinterpret_cast<HWND>(static_cast<INT_PTR>(handle)); }

// The Windows side of the preview's loops. The frame bitmap and the window's
// device context are made once, before the first frame.
class PreviewWindowSteps final : public PreviewSteps {
 public:
  PreviewWindowSteps(HWND preview, ui::Application& application, TShockwaveFlash& player)
      : preview_(preview), application_(application), player_(player) {}

  bool WindowExists() override { return ::IsWindow(preview_) != FALSE; }
  bool WindowVisible() override { return ::IsWindowVisible(preview_) != FALSE; }
  void HandlePendingMessages() override { application_.ProcessMessages(); }
  void Pause() override { ::Sleep(kPreviewPauseMs); }

  // The preview rectangle, the window's device context and a black frame
  // bitmap one pixel larger than the rectangle each way.
  void PrepareCanvas() {
    RECT window{};
    ::GetWindowRect(preview_, &window);
    width_ = window.right > window.left ? window.right - window.left : 0;
    height_ = window.bottom > window.top ? window.bottom - window.top : 0;
    canvas_ = UniqueWindowDc(preview_);
    frame_.emplace(width_ + 1, height_ + 1);
    const RECT previewRectangle{0, 0, width_, height_};
    ::FillRect(frame_->Dc(), &previewRectangle, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
  }

  void PaintPlayer() override { player_.PaintTo(frame_->Dc(), 0, 0); }
  void CopyFrameToWindow() override { ::BitBlt(canvas_.Get(), 0, 0, width_, height_, frame_->Dc(), 0, 0, SRCCOPY); }
  bool PlayerIsPlaying() override { return player_.IsPlaying(); }
  void PlayAgain() override { player_.Play(); }

  // The device context goes back first, then the frame bitmap.
  void ReleaseCanvas() noexcept {
    canvas_.Reset();
    frame_.reset();
  }

 private:
  HWND preview_;
  ui::Application& application_;
  TShockwaveFlash& player_;
  int width_ = 0;
  int height_ = 0;
  UniqueWindowDc canvas_;
  std::optional<ui::Surface> frame_;
};

void StopPlayer(TShockwaveFlash& player) noexcept {
  try {
    player.Stop();
  } catch (...) {
    // The run ends regardless; a player that cannot stop is let go with the form.
  }
}

}  // namespace

int RunPreviewWindow(StartupState& state) {
  const std::optional<std::int32_t> handle = ParsePreviewHandle(state.previewHandleText);
  if (!handle) return kNoPreviewWindowExitCode;
  if (IsWindows40()) return 0;
  if (!state.playerFound) return 0;
  const HWND preview = PreviewWindowOf(*handle);

  ui::Application application;
  auto& form = application.CreateForm<TfrmPreview>();
  form.SetIcon(application.Icon());
  form.CreatePlayer();
  TShockwaveFlash& player = form.Player();
  PreviewWindowSteps steps(preview, application, player);
  if (WaitForPreviewWindow(steps) == PreviewWait::NotAWindow) return kNoPreviewWindowExitCode;

  steps.PrepareCanvas();
  player.SetScale(WideFromAnsi(PreviewScaleMode(state.configuration.DefaultScaleMode)));
  player.LoadMovie(0, WideFromAnsi(state.package.saverMovie));
  player.Play();
  ::SetForegroundWindow(::GetParent(preview));

  static_cast<void>(RunPreviewFrames(steps, IsOn(state.configuration.LoopMovie)));

  StopPlayer(player);
  steps.ReleaseCanvas();
  ::ReleaseMutex(state.instanceMutex);
  // The transparent form's activation ends the loop at once; should it never
  // be activated (another program keeps the foreground), the close waiting in
  // its queue ends the loop instead.
  ::PostMessageA(form.Handle(), WM_CLOSE, 0, 0);
  return application.Run();
}

}  // namespace tpl
