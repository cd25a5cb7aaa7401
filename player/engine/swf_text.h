#pragma once
// Text helpers of the engine: SWF strings to UTF-8, ASCII case folding, and
// the URL decoding of FlashVars.

#include <string>
#include <string_view>

namespace swf {

// Movies before version 6 store texts in Latin-1; later ones in UTF-8.
[[nodiscard]] std::string SwfTextToUtf8(std::string_view text, int version);
[[nodiscard]] std::string Latin1ToUtf8(std::string_view text);

[[nodiscard]] std::string LowerAscii(std::string_view text);
[[nodiscard]] bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);

// "%41" -> "A", "+" -> " "; a '%' without two hexadecimal digits stays as it is.
[[nodiscard]] std::string UrlDecode(std::string_view text);

}  // namespace swf
