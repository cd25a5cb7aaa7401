#include "common/registry.h"

#include <cstring>
#include <vector>

#include "common/win_handles.h"

namespace tpl {
namespace {

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

// A value can change size between the query for its size and the read; a few
// rounds settle that without risking an endless loop on a value that keeps growing.
constexpr int kReadAttempts = 4;

}  // namespace

std::string RelativeKeyPath(std::string_view keyPath) {
  while (keyPath.starts_with('\\')) keyPath.remove_prefix(1);
  return std::string(keyPath);
}

std::string ReadRegistryString(HKEY root, std::string_view keyPath, std::string_view valueName) {
  return ReadRegistryText(root, keyPath, valueName).text;
}

std::string ExpandEnvironmentText(const std::string& text) {
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    const DWORD needed = ::ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
    if (needed == 0) return text;
    std::vector<char> buffer(needed + 1, '\0');
    const DWORD written = ::ExpandEnvironmentStringsA(text.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (written == 0) return text;
    if (written <= buffer.size()) return std::string(buffer.data(), ::strnlen(buffer.data(), buffer.size()));
  }
  return text;
}

RegistryText ReadRegistryText(HKEY root, std::string_view keyPath, std::string_view valueName) {
  UniqueRegistryKey key;
  if (::RegOpenKeyExA(root, RelativeKeyPath(keyPath).c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) {
    return {};
  }
  const std::string name(valueName);
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
    if (!IsStringType(type)) return {};
    // One spare byte: a stored string need not carry its terminating NUL.
    std::vector<char> buffer(static_cast<std::size_t>(size) + 1, '\0');
    DWORD received = size;
    const LONG result =
        ::RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &received);
    if (result == ERROR_MORE_DATA) continue;
    if (result != ERROR_SUCCESS || !IsStringType(type)) return {};
    const std::size_t length = received < size ? received : size;
    return {std::string(buffer.data(), ::strnlen(buffer.data(), length)), type == REG_EXPAND_SZ};
  }
  return {};
}

void WriteRegistryString(HKEY root, std::string_view keyPath, std::string_view valueName, std::string_view text) {
  const std::string path = RelativeKeyPath(keyPath);
  UniqueRegistryKey key;
  if (::RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key.Receive(),
                        nullptr) != ERROR_SUCCESS) {
    // Create the key explicitly with full access, then open it once more.
    UniqueRegistryKey created;
    if (::RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                          created.Receive(), nullptr) != ERROR_SUCCESS) {
      return;
    }
    created.Reset();
    if (::RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key.Receive(),
                          nullptr) != ERROR_SUCCESS) {
      return;
    }
  }
  const std::string name(valueName);
  const std::string value(text);
  ::RegSetValueExA(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
}

}  // namespace tpl
