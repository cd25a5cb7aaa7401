#pragma once
// Text helpers of the engine: SWF strings to UTF-8, ASCII case folding, and
// the URL decoding of FlashVars.

#include <cstdint>
#include <string>
#include <string_view>

namespace swf {

// Movies before version 6 store texts in Latin-1; later ones in UTF-8.
[[nodiscard]] std::string SwfTextToUtf8(std::string_view text, int version);
[[nodiscard]] std::string Latin1ToUtf8(std::string_view text);

[[nodiscard]] std::string LowerAscii(std::string_view text);
// A UTF-8 name in the one letter case that names compare in before version 7:
// ASCII, Latin-1, Latin Extended-A and -B pairs, Greek, Cyrillic, Armenian and
// the fullwidth letters lower-cased; the title-case digraphs (U+01C4..U+01CC,
// U+01F1..U+01F3) fold together. Letters added to the platform's case table
// later (U+023A, U+03F7) stay as they are.
[[nodiscard]] std::string FoldNameCase(std::string_view text);
// One code point of such a name.
[[nodiscard]] std::uint32_t FoldCodePoint(std::uint32_t point);
[[nodiscard]] bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);

// "%41" -> "A", "+" -> " "; a '%' without two hexadecimal digits stays as it is.
[[nodiscard]] std::string UrlDecode(std::string_view text);

}  // namespace swf
