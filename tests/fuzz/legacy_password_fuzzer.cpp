// Decodes arbitrary bytes as a stored legacy password. A value is read only
// when it is at most 257 bytes long and its (size - 1) / 2 leading pairs are all
// hexadecimal digits; a password read back is stored again as exactly those
// pairs in upper case followed by a zero byte, and reads back the same.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "password/legacy_password_codec.h"

namespace {

bool IsHexDigit(std::uint8_t c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

std::uint8_t UpperCase(std::uint8_t c) { return (c >= 'a' && c <= 'z') ? static_cast<std::uint8_t>(c - 'a' + 'A') : c; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> stored(data, size);
  const std::optional<std::string> password = tpl::DecodeLegacyPassword(stored);
  if (size > tpl::kLegacyPasswordMaxStoredSize) {
    FUZZ_CHECK(!password.has_value());
    return 0;
  }
  const std::size_t characters = size < 2 ? 0 : (size - 1) / 2;
  bool pairsAreHex = true;
  for (std::size_t i = 0; i < 2 * characters; ++i) pairsAreHex = pairsAreHex && IsHexDigit(data[i]);
  FUZZ_CHECK(password.has_value() == pairsAreHex);
  if (!password) return 0;
  FUZZ_CHECK(password->size() == characters);

  const std::vector<std::uint8_t> again = tpl::EncodeLegacyPassword(*password);
  FUZZ_CHECK(again.size() == 2 * characters + 1);
  for (std::size_t i = 0; i < 2 * characters; ++i) FUZZ_CHECK(again[i] == UpperCase(data[i]));
  FUZZ_CHECK(again.back() == 0);
  FUZZ_CHECK(tpl::DecodeLegacyPassword(again) == password);
  return 0;
}
