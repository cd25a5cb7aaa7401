#pragma once
// The two registry string operations every part of the program uses. Reads
// yield the empty string on any failure; writes fail silently. Key paths may
// start with a backslash and are always taken from the root key.

#include <windows.h>

#include <string>
#include <string_view>

namespace tpl {

// The text of a REG_SZ or REG_EXPAND_SZ value (unexpanded) up to its first NUL;
// empty when the key or value is missing, of another type, or unreadable. An
// empty value name reads the key's default value. Never creates anything.
[[nodiscard]] std::string ReadRegistryString(HKEY root, std::string_view keyPath, std::string_view valueName);

// The same read, telling whether the value is REG_EXPAND_SZ.
struct RegistryText {
  std::string text;
  bool expandable = false;
};
[[nodiscard]] RegistryText ReadRegistryText(HKEY root, std::string_view keyPath, std::string_view valueName);

// The text with its %VARIABLE% references expanded from the environment
// (ExpandEnvironmentStringsA); unknown references stay as written, and the
// text is returned unchanged if the expansion fails.
[[nodiscard]] std::string ExpandEnvironmentText(const std::string& text);

// Stores the text as REG_SZ, creating the key and its missing parents first.
void WriteRegistryString(HKEY root, std::string_view keyPath, std::string_view valueName, std::string_view text);

// The key path as the registry functions take it: without the leading backslash.
[[nodiscard]] std::string RelativeKeyPath(std::string_view keyPath);

}  // namespace tpl
