#pragma once
// The stored form of the legacy screen-saver password: for each character two
// upper-case hexadecimal digits of (code XOR key byte), then one zero byte.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tpl {

inline constexpr std::size_t kLegacyPasswordMaxLength = 128;
inline constexpr std::size_t kLegacyPasswordMaxStoredSize = 2 * kLegacyPasswordMaxLength + 1;

// 2n+1 bytes for a password of n characters. Characters past the 128th have no
// key byte and are left out, so the result never exceeds what a reader accepts.
[[nodiscard]] std::vector<std::uint8_t> EncodeLegacyPassword(std::string_view password);

// What the password dialog does with its two entries when Save is pressed.
enum class NewPasswordCheck {
  Store,     // the entries agree and fit the store
  Mismatch,  // the entries differ (byte for byte, case-sensitive)
  TooLong,   // they agree but hold more than 128 characters: refused, nothing stored
};

// Entries that differ are a mismatch whatever their length; agreeing entries
// longer than the store holds are refused rather than stored cut, since a cut
// password could never be typed back whole.
[[nodiscard]] NewPasswordCheck CheckNewPassword(std::string_view entry, std::string_view confirmation) noexcept;

// The password of a stored value: (size - 1) / 2 characters, the byte after the
// last pair ignored. Empty for a value of 0 or 1 bytes; no result when a pair
// is not hexadecimal or the value is longer than 257 bytes.
[[nodiscard]] std::optional<std::string> DecodeLegacyPassword(std::span<const std::uint8_t> stored);

}  // namespace tpl
