#include "trace.h"

#include <windows.h>

#include <mutex>
#include <string>

#include "common/win_handles.h"
#include "wide_text.h"

namespace tpl::player {
namespace {

constexpr wchar_t kTraceVariable[] = L"TEMPLATE_PLAYER_TRACE";
constexpr wchar_t kSoftwareKey[] = L"Software";
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

std::wstring ReadRegistryFile(const wchar_t* value) {
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

// The registry's two file names, read again only after something under the
// user's Software key changed: without a trace configured, every line would
// otherwise cost a handful of failing key opens. A test may name a file there
// between two calls, which the change notice catches before the next line.
class RegistryFiles {
 public:
  std::wstring Trace() {
    Refresh();
    return trace_;
  }
  std::wstring Output() {
    Refresh();
    return output_;
  }

 private:
  void Refresh() {
    if (read_ && !Changed()) return;
    // Armed before reading, so that a change during the read is not missed.
    read_ = Watch();
    trace_ = ReadRegistryFile(kTraceValue);
    output_ = ReadRegistryFile(kOutputValue);
  }

  bool Changed() const { return ::WaitForSingleObject(changed_.Get(), 0) != WAIT_TIMEOUT; }

  bool Watch() {
    if (!changed_) changed_.Reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!key_ && ::RegOpenKeyExW(HKEY_CURRENT_USER, kSoftwareKey, 0, KEY_NOTIFY, key_.Receive()) != ERROR_SUCCESS) {
      key_.Reset();
    }
    if (!changed_ || !key_) return false;
    return ::RegNotifyChangeKeyValue(key_.Get(), TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET,
                                     changed_.Get(), TRUE) == ERROR_SUCCESS;
  }

  UniqueHandle changed_;
  UniqueRegistryKey key_;
  bool read_ = false;
  std::wstring trace_;
  std::wstring output_;
};

struct TraceState {
  std::mutex lock;
  RegistryFiles registry;
};

// Made on the first line, not when the DLL loads.
TraceState& State() {
  static TraceState state;
  return state;
}

// The environment is asked for every line (it costs no more than a memory
// read): a test may point the trace elsewhere between calls.
std::wstring TraceFile(TraceState& state) {
  std::wstring path = FileFromEnvironment(kTraceVariable);
  return path.empty() ? state.registry.Trace() : path;
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

void AppendToFile(const std::wstring& path, const std::string& bytes) {
  UniqueFile file(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  DWORD written = 0;
  ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

void Trace(std::wstring_view line) noexcept {
  try {
    TraceState& state = State();
    const std::lock_guard<std::mutex> hold(state.lock);
    const std::wstring path = TraceFile(state);
    if (path.empty()) return;
    AppendToFile(path, EncodedLine(line));
  } catch (...) {
    // Tracing is a diagnostic; it must never change what the control does.
  }
}

std::wstring MovieOutputFile() noexcept {
  try {
    std::wstring path = FileFromEnvironment(kOutputVariable);
    if (!path.empty()) return path;
    TraceState& state = State();
    const std::lock_guard<std::mutex> hold(state.lock);
    return state.registry.Output();
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
