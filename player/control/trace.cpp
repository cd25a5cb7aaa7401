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
constexpr wchar_t kOutputVariable[] = L"TEMPLATE_PLAYER_OUTPUT";
constexpr wchar_t kOutputValue[] = L"Output";

std::wstring FileFromEnvironment(const wchar_t* variable) {
  const DWORD size = ::GetEnvironmentVariableW(variable, nullptr, 0);
  if (size == 0) return {};
  std::wstring path(size, L'\0');
  const DWORD length = ::GetEnvironmentVariableW(variable, path.data(), size);
  path.resize(length < size ? length : 0);
  return path;
}

std::wstring FileFromRegistry(const wchar_t* value) {
  DWORD bytes = 0;
  if (::RegGetValueW(HKEY_CURRENT_USER, kTraceKey, value, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS ||
      bytes < sizeof(wchar_t)) {
    return {};
  }
  std::wstring path(bytes / sizeof(wchar_t), L'\0');
  if (::RegGetValueW(HKEY_CURRENT_USER, kTraceKey, value, RRF_RT_REG_SZ, nullptr, path.data(), &bytes) !=
      ERROR_SUCCESS) {
    return {};
  }
  path.resize(::wcsnlen(path.c_str(), path.size()));
  return path;
}

// Looked up for every line: a test may point the trace elsewhere between calls.
std::wstring TraceFile() {
  std::wstring path = FileFromEnvironment(kTraceVariable);
  return path.empty() ? FileFromRegistry(kTraceValue) : path;
}

// Opened per line for appending only, so that several processes can share one file.
void AppendToFile(const std::wstring& path, const std::string& bytes) {
  UniqueFile file(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  DWORD written = 0;
  ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
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
    AppendToFile(path, EncodedLine(line));
  } catch (...) {
    // Tracing is a diagnostic; it must never change what the control does.
  }
}

std::wstring MovieOutputFile() noexcept {
  try {
    std::wstring path = FileFromEnvironment(kOutputVariable);
    return path.empty() ? FileFromRegistry(kOutputValue) : path;
  } catch (...) {
    return {};
  }
}

void AppendMovieOutput(const std::wstring& path, std::string_view utf8Line) noexcept {
  try {
    std::string bytes(utf8Line);
    bytes += '\n';
    AppendToFile(path, bytes);
  } catch (...) {
    // The movie's output is a diagnostic too.
  }
}

}  // namespace tpl::player
