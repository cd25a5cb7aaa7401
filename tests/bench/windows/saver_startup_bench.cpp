// Start-up of the full-screen saver against bare baselines measured in the
// same run, under Wine or on Windows: from CreateProcess to the player's first
// Play for the saver (read from the stand-in player's trace), against the bare
// program's topmost full-screen window becoming visible, and against the bare
// program hosting the player (to its first Play). Each start ends through the
// quit broadcast before the next. Given another build of the program, the
// rounds start it as well (a saver package of its own), so that two builds
// compare under the same load.
// Usage: bench_saver_startup [rounds [other Template.exe]]

#include <ole2.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "make_saver/saver_request.h"
#include "support/player_registration.h"
#include "support/player_trace.h"
#include "support/win_test_support.h"

namespace tpl::bench {
namespace {

double NowMs() {
  static const double frequency = [] {
    LARGE_INTEGER value;
    ::QueryPerformanceFrequency(&value);
    return static_cast<double>(value.QuadPart);
  }();
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1000.0 / frequency;
}

bool WaitUntil(const std::function<bool()>& done, double timeoutMs) {
  const double deadline = NowMs() + timeoutMs;
  while (NowMs() < deadline) {
    if (done()) return true;
    ::Sleep(1);
  }
  return false;
}

bool TraceHasPlay(const std::string& tracePath) {
  const auto lines = testing::ReadPlayerTrace(tracePath);
  return std::find(lines.begin(), lines.end(), "Play") != lines.end();
}

bool HasVisibleWindow(DWORD processId) {
  for (HWND window : testing::TopLevelWindowsOf(processId)) {
    if (::IsWindowVisible(window)) return true;
  }
  return false;
}

void EndByQuitBroadcast(testing::ChildProcess& child) {
  ::PostMessageA(HWND_BROADCAST, ::RegisterWindowMessageA("GlimmerforgeQuit"), 0, 0);
  if (!child.WaitForExit(10000)) child.Kill();
}

// The demo saver's own choices that matter to start-up.
SaverConfiguration DemoConfiguration() {
  SaverConfiguration values;
  values.SaverTitle = "Glimmer Lights";
  values.DefaultScaleMode = "showall";
  values.LoopMovie = "1";
  return values;
}

struct Package {
  testing::ScratchFolder folder;
  std::string saver = folder.File("Demo.scr");
  std::string movie = folder.File("Demo.swf");
  std::string trace = folder.File("trace.txt");

  explicit Package(const std::string& program) {
    testing::CopyFileOrFail(program, saver);
    const std::string examples = testing::WindowsPathOf(TEMPLATE_DEMO_FOLDER);
    testing::WriteFileBytes(folder.File("Demo.c1"), maker::ConfigurationFileText(DemoConfiguration()));
    testing::CopyFileOrFail(examples + "\\Demo.swf", movie);
    // The gate wants a settings picture or a settings movie; the saver reads neither.
    testing::CopyFileOrFail(examples + "\\Demo.swf", folder.File("Demo.c2"));
  }
};

// Milliseconds from CreateProcess until `started` holds, then ends the child.
double TimeStart(const std::string& program, const std::string& arguments, const std::function<bool(DWORD)>& started) {
  const double begin = NowMs();
  testing::ChildProcess child(program, arguments);
  const bool ok = WaitUntil([&] { return started(child.Id()); }, 20000);
  const double elapsed = NowMs() - begin;
  EndByQuitBroadcast(child);
  return ok ? elapsed : -1;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

double Minimum(const std::vector<double>& values) {
  return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

void ReportStartUp(const char* what, const std::vector<double>& times, double baseline) {
  const double median = Median(times);
  std::printf("%-44s median %8.1f ms  min %8.1f ms  %5.2fx the bare window\n", what, median, Minimum(times),
              baseline > 0 ? median / baseline : 0.0);
}

int Run(int rounds, const std::string& otherProgram) {
  if (FAILED(::OleInitialize(nullptr))) return 1;
  Package package(testing::WindowsPathOf(TEMPLATE_EXE_UNIX_PATH));
  const std::unique_ptr<Package> other =
      otherProgram.empty() ? nullptr : std::make_unique<Package>(testing::WindowsPathOf(otherProgram));
  testing::PlayerRegistration registration(testing::WindowsPathOf(TEMPLATE_PLAYER_DLL));
  if (FAILED(registration.Result())) {
    std::fprintf(stderr, "cannot register the stand-in player (0x%08lX)\n", registration.Result());
    return 1;
  }
  const std::string bare = testing::WindowsPathOf(TEMPLATE_BARE_UNIX_PATH);
  const std::string bareWithPlayer = "--player \"" + package.movie + "\"";

  ::SetEnvironmentVariableA(testing::kPlayerTraceVariable, package.trace.c_str());
  std::vector<double> saverTimes, bareTimes, bareHostTimes, otherTimes;
  for (int round = 0; round < rounds; ++round) {
    if (other) {
      ::SetEnvironmentVariableA(testing::kPlayerTraceVariable, other->trace.c_str());
      ::DeleteFileA(other->trace.c_str());
      otherTimes.push_back(TimeStart(other->saver, "/s", [&](DWORD) { return TraceHasPlay(other->trace); }));
      ::SetEnvironmentVariableA(testing::kPlayerTraceVariable, package.trace.c_str());
    }
    ::DeleteFileA(package.trace.c_str());
    saverTimes.push_back(TimeStart(package.saver, "/s", [&](DWORD) { return TraceHasPlay(package.trace); }));
    bareTimes.push_back(TimeStart(bare, "", HasVisibleWindow));
    ::DeleteFileA(package.trace.c_str());
    bareHostTimes.push_back(TimeStart(bare, bareWithPlayer, [&](DWORD) { return TraceHasPlay(package.trace); }));
  }
  ::SetEnvironmentVariableA(testing::kPlayerTraceVariable, nullptr);

  const double baseline = Median(bareTimes);
  std::printf("Start-up over %d rounds (each from CreateProcess):\n", rounds);
  ReportStartUp("bare topmost full-screen window, visible", bareTimes, baseline);
  ReportStartUp("bare window hosting the player, first Play", bareHostTimes, baseline);
  ReportStartUp("saver /s on the demo package, first Play", saverTimes, baseline);
  if (other) ReportStartUp("the other build, the same way", otherTimes, baseline);
  const double host = Median(bareHostTimes);
  if (host > 0) {
    std::printf("saver against the bare host %.2fx", Median(saverTimes) / host);
    if (other) std::printf(", the other build %.2fx", Median(otherTimes) / host);
    std::printf("; the bare host against the bare window %.2fx\n", baseline > 0 ? host / baseline : 0.0);
  }

  ::OleUninitialize();
  return 0;
}

}  // namespace
}  // namespace tpl::bench

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  const std::string other = argc > 2 ? argv[2] : "";
  try {
    return tpl::bench::Run(rounds, other);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
}
