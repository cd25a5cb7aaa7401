#pragma once
// The one place where the program's 8-bit texts (system code page) and the
// player's wide texts meet.

#include <string>
#include <string_view>

namespace tpl {

[[nodiscard]] std::wstring WideFromAnsi(std::string_view text);
[[nodiscard]] std::string AnsiFromWide(std::wstring_view text);

}  // namespace tpl
