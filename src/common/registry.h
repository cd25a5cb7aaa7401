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

// Stores the text as REG_SZ, creating the key and its missing parents first.
void WriteRegistryString(HKEY root, std::string_view keyPath, std::string_view valueName, std::string_view text);

// The key path as the registry functions take it: without the leading backslash.
[[nodiscard]] std::string RelativeKeyPath(std::string_view keyPath);

}  // namespace tpl
