#include "trace.h"

#include <windows.h>

#include <string>

#include "common/win_handles.h"
#include "wide_text.h"

namespace tpl::player {
namespace {

constexpr wchar_t kTraceVariable[] = L"TEMPLATE_PLAYER_TRACE";
constexpr wchar_t kTraceKey[] = L"Software\\TemplatePlayer";
constexpr wchar_t kTraceValue[] = L"Trace";

std::wstring TraceFileFromEnvironment() {
  const DWORD size = ::GetEnvironmentVariableW(kTraceVariable, nullptr, 0);
  if (size == 0) return {};
  std::wstring path(size, L'\0');
  const DWORD length = ::GetEnvironmentVariableW(kTraceVariable, path.data(), size);
  path.resize(length < size ? length : 0);
  return path;
}

std::wstring TraceFileFromRegistry() {
  DWORD bytes = 0;
  if (::RegGetValueW(HKEY_CURRENT_USER, kTraceKey, kTraceValue, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) !=
          ERROR_SUCCESS ||
      bytes < sizeof(wchar_t)) {
    return {};
  }
  std::wstring path(bytes / sizeof(wchar_t), L'\0');
  if (::RegGetValueW(HKEY_CURRENT_USER, kTraceKey, kTraceValue, RRF_RT_REG_SZ, nullptr, path.data(), &bytes) !=
      ERROR_SUCCESS) {
    return {};
  }
  path.resize(::wcsnlen(path.c_str(), path.size()));
  return path;
}

// Looked up for every line: a test may point the trace elsewhere between calls.
std::wstring TraceFile() {
  std::wstring path = TraceFileFromEnvironment();
  return path.empty() ? TraceFileFromRegistry() : path;
}

std::string EncodedLine(std::wstring_view line) {
  std::string out;
  for (const char c : Utf8FromWide(line)) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out.push_back(c);
    }
  }
  out += "\r\n";
  return out;
}

}  // namespace

void Trace(std::wstring_view line) noexcept {
  try {
    const std::wstring path = TraceFile();
    if (path.empty()) return;
    // Opened per line for appending only, so that several processes can share one file.
    UniqueFile file(::CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    const std::string bytes = EncodedLine(line);
    DWORD written = 0;
    ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  } catch (...) {
    // Tracing is a diagnostic; it must never change what the control does.
  }
}

}  // namespace tpl::player
