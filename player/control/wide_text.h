#pragma once
// Conversions between the wide texts of COM and the UTF-8 texts of the engine
// and the trace.

#include <string>
#include <string_view>

namespace tpl::player {

[[nodiscard]] std::string Utf8FromWide(std::wstring_view text);
[[nodiscard]] std::wstring WideFromUtf8(std::string_view text);

}  // namespace tpl::player
