#include "common/startup_times.h"

#if defined(TEMPLATE_STARTUP_TIMES)

#include <windows.h>

#include <cstdint>
#include <cstdio>

#include "common/win_handles.h"

namespace tpl {
namespace {

std::uint64_t Ticks(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

void MarkStartupStep(const char* step) noexcept {
  char path[MAX_PATH] = {};
  if (::GetEnvironmentVariableA("TEMPLATE_STARTUP_TIMES", path, MAX_PATH) == 0) return;
  FILETIME created{}, ignored{}, now{};
  ::GetProcessTimes(::GetCurrentProcess(), &created, &ignored, &ignored, &ignored);
  ::GetSystemTimePreciseAsFileTime(&now);
  const double ms = static_cast<double>(Ticks(now) - Ticks(created)) / 10000.0;
  // Several processes append to one file: one write per line, opened for appending.
  const UniqueFile file(::CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  char line[160];
  const int length = std::snprintf(line, sizeof line, "%8.2f %lu %s\r\n", ms, ::GetCurrentProcessId(), step);
  DWORD written = 0;
  if (length > 0) ::WriteFile(file.Get(), line, static_cast<DWORD>(length), &written, nullptr);
  // Also among the debugger's messages, beside the loader's own (WINEDEBUG=+debugstr,+loaddll under Wine).
  ::OutputDebugStringA(step);
}

}  // namespace tpl

#else

namespace tpl {

void MarkStartupStep(const char*) noexcept {}

}  // namespace tpl

#endif
