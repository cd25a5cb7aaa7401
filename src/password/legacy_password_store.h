#pragma once
// The legacy per-user screen-saver password under "Control Panel\Desktop".

#include <string>
#include <string_view>

namespace tpl {

// The stored password, or empty when protection is off or anything about the
// stored values is wrong.
[[nodiscard]] std::string ReadLegacyPassword();

// Stores the password (upper case, at most 128 characters are kept). The
// protection switch is never touched; failures are ignored.
void WriteLegacyPassword(std::string_view password);

}  // namespace tpl
