// The baseline of the saver's start-up and CPU benchmarks: the least a
// full-screen saver must do. It opens a topmost window over the primary screen
// and, with "--player <movie>", hosts the player control in it and plays the
// movie. Like a saver instance it holds the single-instance mutex, so a second
// start's quit broadcast reaches it, and it ends on that broadcast or WM_CLOSE.

#include <windows.h>

#include <exception>
#include <memory>
#include <string>

#include "common/shockwave_flash.h"
#include "common/startup_times.h"
#include "common/wide_text.h"

namespace {

UINT g_quitMessage = 0;

LRESULT CALLBACK BareWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == g_quitMessage || message == WM_CLOSE) {
    ::DestroyWindow(window);
    return 0;
  }
  if (message == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateTopmostFullScreenWindow(HINSTANCE instance) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = BareWindowProc;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = "BareFullScreen";
  ::RegisterClassA(&windowClass);
  return ::CreateWindowExA(WS_EX_TOPMOST, "BareFullScreen", "Bare", WS_POPUP | WS_VISIBLE, 0, 0,
                           ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, instance,
                           nullptr);
}

// The movie path after "--player", or empty.
std::string MovieArgument(const char* commandLine) {
  const std::string line(commandLine);
  const std::string option = "--player ";
  const std::size_t at = line.find(option);
  if (at == std::string::npos) return {};
  std::string movie = line.substr(at + option.size());
  if (movie.size() >= 2 && movie.front() == '"' && movie.back() == '"') movie = movie.substr(1, movie.size() - 2);
  return movie;
}

int RunMessageLoop() {
  MSG message;
  while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  try {
    tpl::MarkStartupStep("bare: start");
    g_quitMessage = ::RegisterWindowMessageA("GlimmerforgeQuit");
    ::CreateMutexA(nullptr, FALSE, "GlimmerforgeScreensaver");  // lives as long as the process
    const std::string movie = MovieArgument(commandLine);
    if (!movie.empty() && FAILED(::OleInitialize(nullptr))) return 1;
    tpl::MarkStartupStep("bare: ole");
    HWND window = CreateTopmostFullScreenWindow(instance);
    tpl::MarkStartupStep("bare: window");
    if (window == nullptr) return 1;
    auto player = std::make_unique<tpl::TShockwaveFlash>();
    if (!movie.empty()) {
      RECT bounds{};
      ::GetClientRect(window, &bounds);
      player->Create(window, bounds);
      player->SetScale(L"ShowAll");  // the demo package's scale mode, so both draw the same pixels
      player->LoadMovie(0, tpl::WideFromAnsi(movie));
      player->SetMenu(false);
      player->Play();
      tpl::MarkStartupStep("bare: play");
    }
    const int code = RunMessageLoop();
    player.reset();
    if (!movie.empty()) ::OleUninitialize();
    return code;
  } catch (const std::exception&) {
    return 1;
  }
}
