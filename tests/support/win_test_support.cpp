#include "support/win_test_support.h"

#include <cstring>
#include <stdexcept>

namespace tpl::testing {
namespace {

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error(what + " (error " + std::to_string(::GetLastError()) + ")");
}

std::string RelativePath(std::string_view path) {
  while (path.starts_with('\\')) path.remove_prefix(1);
  return std::string(path);
}

}  // namespace

ScratchFolder::ScratchFolder() {
  char base[MAX_PATH + 1] = {};
  if (::GetTempPathA(MAX_PATH, base) == 0) Fail("GetTempPath");
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string candidate = std::string(base) + "tpltest-" + std::to_string(::GetCurrentProcessId()) + "-" +
                                  std::to_string(::GetTickCount()) + "-" + std::to_string(++counter);
    if (::CreateDirectoryA(candidate.c_str(), nullptr)) {
      path_ = candidate;
      return;
    }
  }
  Fail("CreateDirectory");
}

ScratchFolder::~ScratchFolder() { DeleteTree(path_); }

std::string WindowsPathOf(std::string_view buildPath) {
  std::string path(buildPath);
  if (!path.starts_with('/')) return path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return "Z:" + path;
}

void WriteFileBytes(const std::string& path, std::string_view bytes) {
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) Fail("CreateFile " + path);
  std::size_t written = 0;
  while (written < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(bytes.size() - written > (1u << 30) ? (1u << 30) : bytes.size() - written);
    DWORD done = 0;
    if (!::WriteFile(file, bytes.data() + written, chunk, &done, nullptr)) {
      ::CloseHandle(file);
      Fail("WriteFile " + path);
    }
    written += done;
  }
  ::CloseHandle(file);
}

void CopyFileOrFail(const std::string& from, const std::string& to) {
  if (!::CopyFileA(from.c_str(), to.c_str(), FALSE)) Fail("CopyFile " + from + " -> " + to);
}

void DeleteTree(const std::string& path) {
  if (path.empty()) return;
  WIN32_FIND_DATAA found;
  HANDLE search = ::FindFirstFileA((path + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string child = path + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteTree(child);
      } else {
        ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(child.c_str());
      }
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
  }
  ::RemoveDirectoryA(path.c_str());
}

void DeleteRegistryTree(HKEY root, std::string_view path, REGSAM view) {
  HKEY key = nullptr;
  const std::string relative = RelativePath(path);
  if (::RegOpenKeyExA(root, relative.c_str(), 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) return;
  for (;;) {
    char name[256];
    DWORD length = sizeof(name);
    if (::RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    DeleteRegistryTree(root, relative + "\\" + name, view);
  }
  ::RegCloseKey(key);
  ::RegDeleteKeyExA(root, relative.c_str(), view, 0);
}

void SetRawRegistryValue(HKEY root, std::string_view path, std::string_view name, DWORD type,
                         const std::vector<std::uint8_t>& bytes, REGSAM view) {
  HKEY key = nullptr;
  if (::RegCreateKeyExA(root, RelativePath(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
    Fail("RegCreateKeyEx " + std::string(path));
  }
  const std::string valueName(name);
  const LONG result = ::RegSetValueExA(key, valueName.c_str(), 0, type, bytes.empty() ? nullptr : bytes.data(),
                                       static_cast<DWORD>(bytes.size()));
  ::RegCloseKey(key);
  if (result != ERROR_SUCCESS) Fail("RegSetValueEx " + valueName);
}

std::optional<RawRegistryValue> GetRawRegistryValue(HKEY root, std::string_view path, std::string_view name,
                                                    REGSAM view) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(root, RelativePath(path).c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  const std::string valueName(name);
  RawRegistryValue value;
  DWORD size = 0;
  LONG result = ::RegQueryValueExA(key, valueName.c_str(), nullptr, &value.type, nullptr, &size);
  if (result == ERROR_SUCCESS) {
    value.bytes.resize(size);
    result = ::RegQueryValueExA(key, valueName.c_str(), nullptr, &value.type, value.bytes.data(), &size);
    value.bytes.resize(size);
  }
  ::RegCloseKey(key);
  if (result != ERROR_SUCCESS) return std::nullopt;
  return value;
}

bool RegistryKeyExists(HKEY root, std::string_view path, REGSAM view) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(root, RelativePath(path).c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

void DeleteRegistryValue(HKEY root, std::string_view path, std::string_view name, REGSAM view) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(root, RelativePath(path).c_str(), 0, KEY_SET_VALUE | view, &key) != ERROR_SUCCESS) return;
  ::RegDeleteValueA(key, std::string(name).c_str());
  ::RegCloseKey(key);
}

void DeleteRegistryKeyIfEmpty(HKEY root, std::string_view path, REGSAM view) {
  HKEY key = nullptr;
  const std::string relative = RelativePath(path);
  if (::RegOpenKeyExA(root, relative.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return;
  DWORD subkeys = 0;
  DWORD values = 0;
  const LONG result = ::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                         nullptr, nullptr, nullptr);
  ::RegCloseKey(key);
  if (result == ERROR_SUCCESS && subkeys == 0 && values == 0) ::RegDeleteKeyExA(root, relative.c_str(), view, 0);
}

RegistryValueBackup::RegistryValueBackup(HKEY root, std::string_view path, std::string_view name, REGSAM view)
    : root_(root), path_(RelativePath(path)), name_(name), view_(view) {
  std::size_t end = 0;
  while (end != std::string::npos) {
    end = path_.find('\\', end + 1);
    const std::string prefix = path_.substr(0, end);
    if (!RegistryKeyExists(root_, prefix, view_)) {
      firstMissingKey_ = prefix;
      return;
    }
  }
  value_ = GetRawRegistryValue(root_, path_, name_, view_);
}

RegistryValueBackup::~RegistryValueBackup() {
  try {
    if (!firstMissingKey_.empty()) {
      DeleteRegistryTree(root_, firstMissingKey_, view_);
    } else if (value_) {
      SetRawRegistryValue(root_, path_, name_, value_->type, value_->bytes, view_);
    } else {
      DeleteRegistryValue(root_, path_, name_, view_);
    }
  } catch (const std::exception&) {
    // Nothing better to do while a test ends; the next run starts from whatever is left.
  }
}

ChildProcess::ChildProcess(const std::string& program, const std::string& arguments) {
  std::string commandLine = "\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments);
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  if (!::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info_)) {
    Fail("CreateProcess " + program);
  }
}

ChildProcess::~ChildProcess() {
  if (info_.hProcess != nullptr) {
    if (::WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
      ::TerminateProcess(info_.hProcess, 99);
      ::WaitForSingleObject(info_.hProcess, 5000);
    }
    ::CloseHandle(info_.hProcess);
  }
  if (info_.hThread != nullptr) ::CloseHandle(info_.hThread);
}

std::optional<DWORD> ChildProcess::WaitForExit(DWORD timeoutMs) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  for (;;) {
    const ULONGLONG now = ::GetTickCount64();
    const DWORD remaining = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    const DWORD result = ::MsgWaitForMultipleObjects(1, &info_.hProcess, FALSE, remaining, QS_ALLINPUT);
    if (result == WAIT_OBJECT_0) {
      DWORD code = 0;
      ::GetExitCodeProcess(info_.hProcess, &code);
      return code;
    }
    if (result == WAIT_OBJECT_0 + 1) {
      MSG message;
      while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
      }
      continue;
    }
    return std::nullopt;
  }
}

void ChildProcess::Kill() {
  ::TerminateProcess(info_.hProcess, 99);
  ::WaitForSingleObject(info_.hProcess, 5000);
}

namespace {

struct WindowSearch {
  DWORD processId;
  std::vector<HWND> windows;
};

BOOL CALLBACK CollectWindowOfProcess(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<WindowSearch*>(parameter);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId) search->windows.push_back(window);
  return TRUE;
}

}  // namespace

std::vector<HWND> TopLevelWindowsOf(DWORD processId) {
  WindowSearch search{processId, {}};
  ::EnumWindows(CollectWindowOfProcess, reinterpret_cast<LPARAM>(&search));
  return search.windows;
}

void PumpMessagesFor(DWORD milliseconds) {
  const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
  for (;;) {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageA(&message);
    }
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) return;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
  }
}

std::string WindowText(HWND window) {
  char text[1024] = {};
  ::GetWindowTextA(window, text, sizeof(text));
  return text;
}

std::string WindowClassName(HWND window) {
  char name[256] = {};
  ::GetClassNameA(window, name, sizeof(name));
  return name;
}

bool PutTextOnClipboard(const std::string& text) {
  bool opened = false;
  for (int attempt = 0; attempt < 50 && !opened; ++attempt) {
    opened = ::OpenClipboard(nullptr) != FALSE;
    if (!opened) ::Sleep(20);
  }
  if (!opened) return false;
  bool placed = false;
  if (::EmptyClipboard()) {
    if (HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
      char* bytes = static_cast<char*>(::GlobalLock(memory));
      std::memcpy(bytes, text.c_str(), text.size() + 1);
      ::GlobalUnlock(memory);
      placed = ::SetClipboardData(CF_TEXT, memory) != nullptr;
      if (!placed) ::GlobalFree(memory);
    }
  }
  ::CloseClipboard();
  return placed;
}

}  // namespace tpl::testing
