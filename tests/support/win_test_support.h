#pragma once
// Helpers for the Windows tests: scratch folders and files, registry clean-up,
// and starting a program and waiting for it while this thread keeps handling
// its own window messages.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tpl::testing {

// A fresh folder under the temporary directory, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  [[nodiscard]] const std::string& Path() const { return path_; }
  // Path of a file inside the folder.
  [[nodiscard]] std::string File(std::string_view name) const { return path_ + "\\" + std::string(name); }

 private:
  std::string path_;
};

// A build-machine path (as CMake knows it) as the Windows side sees it: Wine
// maps the Unix root to drive Z:. Windows paths are returned unchanged.
[[nodiscard]] std::string WindowsPathOf(std::string_view buildPath);

void WriteFileBytes(const std::string& path, std::string_view bytes);
void CopyFileOrFail(const std::string& from, const std::string& to);
void DeleteTree(const std::string& path);

// Removes a registry key with all its subkeys; no error when it is missing.
void DeleteRegistryTree(HKEY root, std::string_view path, REGSAM view = 0);

// Sets a value of any type with exactly the given bytes, creating the key.
void SetRawRegistryValue(HKEY root, std::string_view path, std::string_view name, DWORD type,
                         const std::vector<std::uint8_t>& bytes, REGSAM view = 0);

struct RawRegistryValue {
  DWORD type = REG_NONE;
  std::vector<std::uint8_t> bytes;
};
[[nodiscard]] std::optional<RawRegistryValue> GetRawRegistryValue(HKEY root, std::string_view path,
                                                                  std::string_view name, REGSAM view = 0);

// Whether the key exists.
[[nodiscard]] bool RegistryKeyExists(HKEY root, std::string_view path, REGSAM view = 0);

// Removes one value; no error when it or its key is missing.
void DeleteRegistryValue(HKEY root, std::string_view path, std::string_view name, REGSAM view = 0);

// Removes the key only when it holds neither subkeys nor values, so a shared
// parent of several tests' keys goes once the last of them is gone.
void DeleteRegistryKeyIfEmpty(HKEY root, std::string_view path, REGSAM view = 0);

// Remembers one registry value and which keys on its path exist, and puts it
// all back when destroyed: the value is restored or removed again, and the
// first key of the path that did not exist goes with everything below it.
class RegistryValueBackup {
 public:
  RegistryValueBackup(HKEY root, std::string_view path, std::string_view name, REGSAM view = 0);
  ~RegistryValueBackup();
  RegistryValueBackup(const RegistryValueBackup&) = delete;
  RegistryValueBackup& operator=(const RegistryValueBackup&) = delete;

 private:
  HKEY root_;
  std::string path_;
  std::string name_;
  REGSAM view_;
  std::string firstMissingKey_;  // empty: the whole path existed
  std::optional<RawRegistryValue> value_;
};

// A started child process.
class ChildProcess {
 public:
  ChildProcess(const std::string& program, const std::string& arguments);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Waits up to the timeout, handling this thread's messages meanwhile.
  // Returns the exit code, or nothing when the process still runs.
  [[nodiscard]] std::optional<DWORD> WaitForExit(DWORD timeoutMs);
  void Kill();
  [[nodiscard]] DWORD Id() const { return info_.dwProcessId; }
  [[nodiscard]] HANDLE Handle() const { return info_.hProcess; }

 private:
  PROCESS_INFORMATION info_{};
};

// Top-level windows that belong to the process.
[[nodiscard]] std::vector<HWND> TopLevelWindowsOf(DWORD processId);

// Handles this thread's messages for the given time.
void PumpMessagesFor(DWORD milliseconds);

// Puts the text on the clipboard (CF_TEXT), as a user copies a password
// before pasting it; false when the clipboard could not be taken.
[[nodiscard]] bool PutTextOnClipboard(const std::string& text);

[[nodiscard]] std::string WindowText(HWND window);
[[nodiscard]] std::string WindowClassName(HWND window);

}  // namespace tpl::testing
