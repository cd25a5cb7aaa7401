// The pixel cost of the saver's mirroring at 1920 x 1080 to four secondary
// 1920 x 1080 monitors, under Wine (or Windows) with the stand-in player
// registered for the run and playing the demo movie:
//   capture     the player's current frame painted into the off-screen picture
//   copy out    the picture stretched onto the four mirror images, done on one
//               timer message in four
//   copy tick   capture + copy out: the picture is captured only on the
//               message that copies it out
//   other tick  the three messages in four that copy nothing: the cadence's
//               count and nothing else
//   before      the baseline of the same run: capture on every message, so
//               capture + copy out / 4 on average.
// Google Benchmark is not built for the Windows toolchain here, so this
// program times the steps itself: median and mean of many runs after a warm-up.
//   bench_mirror_tick_win [movie.swf] [runs]

#include <windows.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "common/shockwave_flash.h"
#include "saver/mirror_copy.h"
#include "saver/saver_rules.h"
#include "support/player_registration.h"
#include "support/win_test_support.h"
#include "ui/graphics.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kMirrors = 4;

struct Timing {
  double medianUs = 0;
  double meanUs = 0;
};

Timing Measure(int runs, const std::function<void()>& step) {
  for (int warmUp = 0; warmUp < 5; ++warmUp) step();
  std::vector<double> samples;
  samples.reserve(static_cast<std::size_t>(runs));
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    step();
    samples.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(samples.begin(), samples.end());
  return Timing{samples[samples.size() / 2], std::accumulate(samples.begin(), samples.end(), 0.0) / runs};
}

void Report(const char* name, const Timing& timing) {
  std::printf("%-42s median %10.1f us   mean %10.1f us\n", name, timing.medianUs, timing.meanUs);
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return ::DefWindowProcA(window, message, wParam, lParam);
}

int Run(const std::string& moviePath, int runs) {
  tpl::testing::PlayerRegistration registration(tpl::testing::WindowsPathOf(TEMPLATE_PLAYER_DLL));
  if (registration.Result() != S_OK) {
    std::printf("the stand-in player did not register (0x%08lx)\n", static_cast<unsigned long>(registration.Result()));
    return 1;
  }
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = HostProc;
  windowClass.hInstance = ::GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "MirrorTickBenchHost";
  ::RegisterClassA(&windowClass);
  const HWND host = ::CreateWindowExA(0, windowClass.lpszClassName, "bench", WS_POPUP | WS_CLIPCHILDREN, 0, 0, kWidth,
                                      kHeight, nullptr, nullptr, windowClass.hInstance, nullptr);
  tpl::TShockwaveFlash player;
  player.Create(host, RECT{0, 0, kWidth, kHeight});
  player.SetScale(L"exactfit");
  player.LoadMovie(0, std::wstring(moviePath.begin(), moviePath.end()));
  player.Play();
  tpl::testing::PumpMessagesFor(300);  // a few frames in

  tpl::ui::Surface picture(kWidth, kHeight);
  std::vector<std::unique_ptr<tpl::ui::Surface>> mirrors;
  for (int index = 0; index < kMirrors; ++index) mirrors.push_back(std::make_unique<tpl::ui::Surface>(kWidth, kHeight));

  const Timing capture = Measure(runs, [&] { player.PaintTo(picture.Dc(), 0, 0); });
  const Timing copyOut = Measure(runs, [&] {
    for (const auto& mirror : mirrors) tpl::saver::StretchPictureOnto(picture, *mirror);
    ::GdiFlush();
  });
  const Timing oneCopy = Measure(runs, [&] {
    tpl::saver::StretchPictureOnto(picture, *mirrors.front());
    ::GdiFlush();
  });
  const Timing copyTick = Measure(runs, [&] {
    if (!tpl::saver::CapturePlayerPicture(player, picture)) return;
    for (const auto& mirror : mirrors) tpl::saver::StretchPictureOnto(picture, *mirror);
    ::GdiFlush();
  });
  // The messages that copy nothing: the cadence counts them and returns.
  tpl::saver::MirrorCadence cadence;
  volatile int copies = 0;
  const Timing otherTick = Measure(runs, [&] {
    if (cadence.Tick()) copies = copies + 1;
  });
  std::printf("mirroring at %d x %d to %d monitors, %d runs each\n", kWidth, kHeight, kMirrors, runs);
  Report("capture", capture);
  Report("copy out to four (one in four)", copyOut);
  Report("one stretched copy", oneCopy);
  Report("before: tick averaged (capture on every)",
         Timing{capture.medianUs + copyOut.medianUs / 4, capture.meanUs + copyOut.meanUs / 4});
  Report("now: copy tick (capture + copy out)", copyTick);
  Report("now: other tick", otherTick);
  Report("now: tick averaged over the cadence",
         Timing{copyTick.medianUs / 4 + otherTick.medianUs * 3 / 4, copyTick.meanUs / 4 + otherTick.meanUs * 3 / 4});
  player.Destroy();
  ::DestroyWindow(host);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string movie = argc > 1 ? argv[1] : tpl::testing::WindowsPathOf(TEMPLATE_DEMO_MOVIE);
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 60;
  if (FAILED(::OleInitialize(nullptr))) return 1;
  int result = 1;
  try {
    result = Run(movie, runs);
  } catch (const std::exception& error) {
    std::printf("failed: %s\n", error.what());
  }
  ::OleUninitialize();
  return result;
}
