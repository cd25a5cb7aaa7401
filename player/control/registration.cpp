// Self-registration: the class key under HKEY_LOCAL_MACHINE\Software\Classes
// (the machine-wide classes are the ones every COM, Wine's included, reads).
// The control never takes over a class id another existing server file holds,
// unless asked to with DllInstall(TRUE, L"force"), and removes only its own
// registration.
#include <windows.h>

#include <objbase.h>
#include <olectl.h>

#include <string>

#include "common/win_handles.h"
#include "control_ids.h"
#include "module.h"
#include "trace.h"

namespace tpl::player {
namespace {

std::wstring ClassKeyPath() { return std::wstring(L"Software\\Classes\\CLSID\\") + kPlayerClassIdText; }
std::wstring ServerKeyPath() { return ClassKeyPath() + L"\\InprocServer32"; }

// The default value of the server key, expanded; empty when there is none.
std::wstring RegisteredServerPath() {
  const std::wstring key = ServerKeyPath();
  DWORD bytes = 0;
  // REG_EXPAND_SZ values are expanded and then count as REG_SZ.
  const DWORD types = RRF_RT_REG_SZ;
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), nullptr, types, nullptr, nullptr, &bytes) != ERROR_SUCCESS) {
    return {};
  }
  std::wstring path(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(path.size() * sizeof(wchar_t));
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), nullptr, types, nullptr, path.data(), &bytes) != ERROR_SUCCESS) {
    return {};
  }
  path.resize(::wcsnlen(path.c_str(), path.size()));
  return path;
}

bool FileExists(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The path spelled the one way the file system would: absolute, long names.
std::wstring CanonicalPath(const std::wstring& path) {
  std::wstring full(MAX_PATH, L'\0');
  DWORD length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length >= full.size()) {
    full.resize(length + 1);
    length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  }
  if (length == 0 || length >= full.size()) return path;
  full.resize(length);
  std::wstring longName(full.size() + MAX_PATH, L'\0');
  length = ::GetLongPathNameW(full.c_str(), longName.data(), static_cast<DWORD>(longName.size()));
  if (length == 0 || length >= longName.size()) return full;
  longName.resize(length);
  return longName;
}

bool IsThisModule(const std::wstring& path) {
  return ::lstrcmpiW(CanonicalPath(path).c_str(), CanonicalPath(ModulePath()).c_str()) == 0;
}

// A registration of another server file that is still there.
bool IsForeignRegistration(const std::wstring& registered) {
  return !registered.empty() && !IsThisModule(registered) && FileExists(registered);
}

LSTATUS WriteString(HKEY key, const wchar_t* name, const std::wstring& text) {
  return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

LSTATUS CreateKey(const std::wstring& path, UniqueRegistryKey& key) {
  return ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                           key.Receive(), nullptr);
}

HRESULT WriteRegistration() {
  const std::wstring modulePath = ModulePath();
  if (modulePath.empty()) return HRESULT_FROM_WIN32(::GetLastError());
  UniqueRegistryKey classKey;
  LSTATUS status = CreateKey(ClassKeyPath(), classKey);
  if (status == ERROR_SUCCESS) status = WriteString(classKey.Get(), nullptr, kPlayerDisplayName);
  UniqueRegistryKey serverKey;
  if (status == ERROR_SUCCESS) status = CreateKey(ServerKeyPath(), serverKey);
  if (status == ERROR_SUCCESS) status = WriteString(serverKey.Get(), nullptr, modulePath);
  if (status == ERROR_SUCCESS) status = WriteString(serverKey.Get(), L"ThreadingModel", L"Apartment");
  return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(status));
}

HRESULT RegisterServer(bool replaceForeign) {
  if (!replaceForeign && IsForeignRegistration(RegisteredServerPath())) {
    Trace(L"DllRegisterServer refused");
    return SELFREG_E_CLASS;
  }
  const HRESULT result = WriteRegistration();
  Trace(SUCCEEDED(result) ? L"DllRegisterServer" : L"DllRegisterServer failed");
  return result;
}

HRESULT UnregisterServer() {
  const std::wstring registered = RegisteredServerPath();
  if (!registered.empty() && !IsThisModule(registered)) {
    Trace(L"DllUnregisterServer left another server");
    return S_FALSE;
  }
  const LSTATUS status = ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, ClassKeyPath().c_str());
  Trace(L"DllUnregisterServer");
  if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) return S_OK;
  return HRESULT_FROM_WIN32(static_cast<DWORD>(status));
}

}  // namespace
}  // namespace tpl::player

STDAPI DllRegisterServer() {
  try {
    return tpl::player::RegisterServer(false);
  } catch (...) {
    return E_UNEXPECTED;
  }
}

STDAPI DllUnregisterServer() {
  try {
    return tpl::player::UnregisterServer();
  } catch (...) {
    return E_UNEXPECTED;
  }
}

// regsvr32 /i:force (or /n /i:force) replaces a registration of another server.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
  try {
    if (!install) return tpl::player::UnregisterServer();
    const bool force = commandLine != nullptr && ::lstrcmpiW(commandLine, L"force") == 0;
    return tpl::player::RegisterServer(force);
  } catch (...) {
    return E_UNEXPECTED;
  }
}
