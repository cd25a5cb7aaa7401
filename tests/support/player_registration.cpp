#include "support/player_registration.h"

namespace tpl::testing {
namespace {

using RegisterEntry = HRESULT(STDAPICALLTYPE*)();
using InstallEntry = HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR);

template <typename Entry>
Entry EntryPoint(HMODULE module, const char* name) {
  return reinterpret_cast<Entry>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

HRESULT LastErrorResult() { return HRESULT_FROM_WIN32(::GetLastError()); }

}  // namespace

std::string PlayerClassKeyPath() { return std::string("\\Software\\Classes\\CLSID\\") + kPlayerClassIdText; }
std::string PlayerServerKeyPath() { return PlayerClassKeyPath() + "\\InprocServer32"; }

PlayerRegistration::PlayerRegistration(const std::string& dllPath, OtherRegistration other)
    : classNameBackup_(HKEY_LOCAL_MACHINE, PlayerClassKeyPath(), ""),
      serverPathBackup_(HKEY_LOCAL_MACHINE, PlayerServerKeyPath(), ""),
      threadingModelBackup_(HKEY_LOCAL_MACHINE, PlayerServerKeyPath(), "ThreadingModel") {
  module_ = ::LoadLibraryA(dllPath.c_str());
  if (module_ == nullptr) {
    result_ = LastErrorResult();
    return;
  }
  if (other == OtherRegistration::Replace) {
    const auto install = EntryPoint<InstallEntry>(module_, "DllInstall");
    result_ = install != nullptr ? install(TRUE, L"force") : LastErrorResult();
  } else {
    const auto registerServer = EntryPoint<RegisterEntry>(module_, "DllRegisterServer");
    result_ = registerServer != nullptr ? registerServer() : LastErrorResult();
  }
}

PlayerRegistration::~PlayerRegistration() {
  if (module_ == nullptr) return;
  if (const auto unregisterServer = EntryPoint<RegisterEntry>(module_, "DllUnregisterServer")) unregisterServer();
  ::FreeLibrary(module_);
}

}  // namespace tpl::testing
