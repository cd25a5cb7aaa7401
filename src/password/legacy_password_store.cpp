#include "password/legacy_password_store.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <span>

#include "common/win_handles.h"
#include "password/legacy_password_codec.h"

namespace tpl {
namespace {

constexpr char kDesktopKeyPath[] = "Control Panel\\Desktop";
constexpr char kPasswordDataValue[] = "ScreenSave_Data";
constexpr char kUsePasswordValue[] = "ScreenSaveUsePassword";

// Reading asks for query access only: where full access to the key is denied,
// a read through a key opened with it failed and the saver ran without its
// password. Writing keeps full access.
UniqueRegistryKey OpenDesktopKey(REGSAM access) {
  UniqueRegistryKey key;
  if (::RegOpenKeyExA(HKEY_CURRENT_USER, kDesktopKeyPath, 0, access, key.Receive()) != ERROR_SUCCESS) {
    key.Reset();
  }
  return key;
}

bool IsTextOrNumberType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_DWORD; }

}  // namespace

std::string ReadLegacyPassword() {
  const UniqueRegistryKey key = OpenDesktopKey(KEY_QUERY_VALUE);
  if (!key) return {};

  std::array<std::uint8_t, kLegacyPasswordMaxStoredSize> data{};
  DWORD type = 0;
  DWORD size = static_cast<DWORD>(data.size());
  const LONG dataResult = ::RegQueryValueExA(key.Get(), kPasswordDataValue, nullptr, &type, data.data(), &size);
  if (dataResult == ERROR_FILE_NOT_FOUND) {
    size = 0;  // no password stored is not an error
  } else if (dataResult != ERROR_SUCCESS || IsTextOrNumberType(type) || size > data.size()) {
    return {};  // oversized values report ERROR_MORE_DATA
  }

  DWORD usePassword = 0;
  DWORD flagType = 0;
  DWORD flagSize = sizeof(usePassword);
  if (::RegQueryValueExA(key.Get(), kUsePasswordValue, nullptr, &flagType, reinterpret_cast<BYTE*>(&usePassword),
                         &flagSize) != ERROR_SUCCESS ||
      flagType != REG_DWORD || flagSize != sizeof(usePassword) || usePassword == 0) {
    return {};
  }
  return DecodeLegacyPassword(std::span<const std::uint8_t>(data.data(), size)).value_or(std::string());
}

void WriteLegacyPassword(std::string_view password) {
  const UniqueRegistryKey key = OpenDesktopKey(KEY_ALL_ACCESS);
  if (!key) return;
  const std::vector<std::uint8_t> stored = EncodeLegacyPassword(password);
  ::RegSetValueExA(key.Get(), kPasswordDataValue, 0, REG_BINARY, stored.data(), static_cast<DWORD>(stored.size()));
}

}  // namespace tpl
