#pragma once
// Registers the stand-in player control (the built TemplatePlayer.dll) for the
// time a test needs it, the way an installer would: LoadLibrary and the DLL's
// own registration entry. Afterwards the DLL unregisters itself and whatever
// registration of the class id was there before is put back.
//
// The registration lands in this process's registry view, so an x64 test
// registers the x64 control for x64 programs and an x86 test the x86 one.

#include <windows.h>

#include <memory>
#include <string>

#include "support/win_test_support.h"

namespace tpl::testing {

inline constexpr char kPlayerClassIdText[] = "{D27CDB6E-AE6D-11CF-96B8-444553540000}";

// "\Software\Classes\CLSID\{...}" under HKEY_LOCAL_MACHINE, and its server key.
[[nodiscard]] std::string PlayerClassKeyPath();
[[nodiscard]] std::string PlayerServerKeyPath();

enum class OtherRegistration {
  Keep,     // DllRegisterServer: refuses when another server file holds the class id
  Replace,  // DllInstall(TRUE, L"force")
};

class PlayerRegistration {
 public:
  // dllPath is a Windows path, e.g. WindowsPathOf(TEMPLATE_PLAYER_DLL).
  explicit PlayerRegistration(const std::string& dllPath, OtherRegistration other = OtherRegistration::Replace);
  ~PlayerRegistration();
  PlayerRegistration(const PlayerRegistration&) = delete;
  PlayerRegistration& operator=(const PlayerRegistration&) = delete;

  // What the DLL's registration entry returned (S_OK when registered), or the
  // error of loading the DLL.
  [[nodiscard]] HRESULT Result() const { return result_; }

 private:
  // Declared first, destroyed last: the previous values return after the DLL unregistered.
  RegistryValueBackup classNameBackup_;
  RegistryValueBackup serverPathBackup_;
  RegistryValueBackup threadingModelBackup_;
  HMODULE module_ = nullptr;
  HRESULT result_ = E_FAIL;
};

}  // namespace tpl::testing
