#pragma once
// Conversion of configuration text to integers, with the rules the saver's
// configuration files have always been read by.

#include <cstdint>
#include <optional>
#include <string_view>

namespace tpl {

// Leading blanks, an optional sign, then decimal digits or hexadecimal digits
// after "$" or "0x". Nothing else may follow, not even a blank. Decimal values
// must fit in 32 signed bits; hexadecimal ones in 32 bits, taken as the two's
// complement value (so "$FFFFFFFF" is -1).
[[nodiscard]] std::optional<std::int32_t> ParseIntegerText(std::string_view text);

}  // namespace tpl
