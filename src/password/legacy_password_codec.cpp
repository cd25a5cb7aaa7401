#include "password/legacy_password_codec.h"

#include <array>

namespace tpl {
namespace {

// Fixed for all time: passwords already stored were encoded with these bytes.
constexpr std::array<std::uint8_t, kLegacyPasswordMaxLength> kKeyTable = {
    0x62, 0x17, 0xB6, 0x10, 0x80, 0x69, 0x87, 0x73, 0x61, 0xD4, 0x3E, 0xC2, 0x93, 0x4B, 0x27, 0xC3, 0xC5, 0x35, 0x78,
    0x65, 0x15, 0xC8, 0x86, 0x7A, 0x17, 0x20, 0xAA, 0x32, 0xA5, 0x21, 0xF1, 0x5B, 0x69, 0x12, 0x87, 0x5B, 0x2B, 0xF6,
    0xE1, 0xE9, 0xDB, 0xAA, 0xAC, 0x8E, 0x5E, 0xC0, 0x78, 0xDF, 0x19, 0x1D, 0x24, 0x77, 0x3E, 0x54, 0x08, 0xB7, 0xD9,
    0xC1, 0xE5, 0x3D, 0x99, 0x66, 0x8D, 0x25, 0x5F, 0x85, 0x52, 0x02, 0x88, 0x01, 0x30, 0x9A, 0xFB, 0x75, 0xBA, 0x65,
    0xF1, 0x11, 0xC5, 0xC4, 0x87, 0x39, 0xD6, 0x02, 0x05, 0xDC, 0x4C, 0x0B, 0xEC, 0x94, 0x4D, 0xEE, 0xC1, 0x82, 0x71,
    0x14, 0x9C, 0xE7, 0x31, 0x3E, 0x6F, 0x83, 0x0E, 0x40, 0x17, 0xAE, 0x81, 0x7F, 0x25, 0x37, 0xA5, 0x2B, 0x69, 0x00,
    0xA6, 0x3D, 0x42, 0x56, 0xE9, 0x30, 0xA8, 0x11, 0xF9, 0x7F, 0xF6, 0x6F, 0x35, 0xE1,
};

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(std::uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::vector<std::uint8_t> EncodeLegacyPassword(std::string_view password) {
  const std::size_t n = password.size() < kLegacyPasswordMaxLength ? password.size() : kLegacyPasswordMaxLength;
  std::vector<std::uint8_t> stored;
  stored.reserve(2 * n + 1);
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<std::uint8_t>(static_cast<std::uint8_t>(password[i]) ^ kKeyTable[i]);
    stored.push_back(static_cast<std::uint8_t>(kHexDigits[x >> 4]));
    stored.push_back(static_cast<std::uint8_t>(kHexDigits[x & 0x0F]));
  }
  stored.push_back(0);
  return stored;
}

std::optional<std::string> DecodeLegacyPassword(std::span<const std::uint8_t> stored) {
  if (stored.size() > kLegacyPasswordMaxStoredSize) return std::nullopt;
  const std::size_t n = stored.size() < 2 ? 0 : (stored.size() - 1) / 2;
  std::string password;
  password.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    const int high = HexValue(stored[2 * i]);
    const int low = HexValue(stored[2 * i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    const auto code = static_cast<std::uint8_t>((high << 4 | low) ^ kKeyTable[i]);
    password.push_back(static_cast<char>(code));
  }
  return password;
}

NewPasswordCheck CheckNewPassword(std::string_view entry, std::string_view confirmation) noexcept {
  if (entry != confirmation) return NewPasswordCheck::Mismatch;
  if (entry.size() > kLegacyPasswordMaxLength) return NewPasswordCheck::TooLong;
  return NewPasswordCheck::Store;
}

}  // namespace tpl
