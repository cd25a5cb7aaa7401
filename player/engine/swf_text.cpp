#include "swf_text.h"

namespace swf {

std::string Latin1ToUtf8(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (const char ch : text) {
    const auto code = static_cast<unsigned char>(ch);
    if (code < 0x80) {
      result += ch;
    } else {
      result += static_cast<char>(0xC0 | (code >> 6));
      result += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return result;
}

std::string SwfTextToUtf8(std::string_view text, int version) {
  return version >= 6 ? std::string(text) : Latin1ToUtf8(text);
}

namespace {

char LowerAsciiChar(char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch; }

int HexValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

}  // namespace

std::string LowerAscii(std::string_view text) {
  std::string result(text);
  for (char& ch : result) ch = LowerAsciiChar(ch);
  return result;
}

std::uint32_t FoldCodePoint(std::uint32_t p) {
  const auto evenPair = [p](std::uint32_t first, std::uint32_t last) { return p >= first && p <= last && p % 2 == 0; };
  const auto oddPair = [p](std::uint32_t first, std::uint32_t last) { return p >= first && p <= last && p % 2 == 1; };
  if (p < 0x80) return p >= 'A' && p <= 'Z' ? p + 32 : p;
  if (p >= 0xC0 && p <= 0xDE && p != 0xD7) return p + 32;
  if (p == 0x130) return 'i';
  if (evenPair(0x100, 0x137) || oddPair(0x139, 0x148) || evenPair(0x14A, 0x177) || oddPair(0x179, 0x17E)) return p + 1;
  if (p == 0x178) return 0xFF;
  if (p >= 0x1C4 && p <= 0x1C6) return 0x1C6;
  if (p >= 0x1C7 && p <= 0x1C9) return 0x1C9;
  if (p >= 0x1CA && p <= 0x1CC) return 0x1CC;
  if (p >= 0x1F1 && p <= 0x1F3) return 0x1F3;
  if (oddPair(0x1CD, 0x1DC) || evenPair(0x1DE, 0x1EF) || evenPair(0x1F4, 0x1F5) || evenPair(0x1F8, 0x21F) ||
      evenPair(0x222, 0x233)) {
    return p + 1;
  }
  if (p == 0x386) return 0x3AC;
  if (p >= 0x388 && p <= 0x38A) return p + 37;
  if (p == 0x38C) return 0x3CC;
  if (p == 0x38E || p == 0x38F) return p + 63;
  if ((p >= 0x391 && p <= 0x3A1) || (p >= 0x3A3 && p <= 0x3AB)) return p + 32;
  if (evenPair(0x3DA, 0x3EF)) return p + 1;
  if (p >= 0x400 && p <= 0x40F) return p + 80;
  if (p >= 0x410 && p <= 0x42F) return p + 32;
  if (evenPair(0x460, 0x481) || evenPair(0x48C, 0x4BF) || oddPair(0x4C1, 0x4CC) || evenPair(0x4D0, 0x4F5) ||
      evenPair(0x4F8, 0x4F9)) {
    return p + 1;
  }
  if (p >= 0x531 && p <= 0x556) return p + 48;
  if (evenPair(0x1E00, 0x1E95) || evenPair(0x1EA0, 0x1EF9)) return p + 1;
  if (p >= 0xFF21 && p <= 0xFF3A) return p + 32;
  return p;
}

std::string FoldNameCase(std::string_view text) {
  std::string result(text);
  bool ascii = true;
  for (char& ch : result) {
    ascii = ascii && static_cast<unsigned char>(ch) < 0x80;
    ch = LowerAsciiChar(ch);
  }
  if (ascii) return result;
  // Re-encode character by character; bytes that are no sequence stay as they are.
  std::string folded;
  folded.reserve(result.size());
  for (std::size_t at = 0; at < result.size();) {
    const auto lead = static_cast<unsigned char>(result[at]);
    const std::size_t length = lead >= 0xF0u ? 4u : lead >= 0xE0u ? 3u : lead >= 0xC0u ? 2u : 1u;
    bool valid = length > 1 && at + length <= result.size();
    for (std::size_t k = 1; valid && k < length; ++k) valid = (static_cast<unsigned char>(result[at + k]) & 0xC0u) == 0x80u;
    if (!valid || (length != 2 && length != 3)) {
      folded += result[at];
      ++at;
      continue;
    }
    std::uint32_t point = length == 2 ? lead & 0x1Fu : lead & 0x0Fu;
    for (std::size_t k = 1; k < length; ++k) point = (point << 6u) | (static_cast<unsigned char>(result[at + k]) & 0x3Fu);
    point = FoldCodePoint(point);
    if (point < 0x80) {
      folded += static_cast<char>(point);
    } else if (point < 0x800) {
      folded += static_cast<char>(0xC0u | (point >> 6u));
      folded += static_cast<char>(0x80u | (point & 0x3Fu));
    } else {
      folded += static_cast<char>(0xE0u | (point >> 12u));
      folded += static_cast<char>(0x80u | ((point >> 6u) & 0x3Fu));
      folded += static_cast<char>(0x80u | (point & 0x3Fu));
    }
    at += length;
  }
  return folded;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (LowerAsciiChar(text[i]) != LowerAsciiChar(prefix[i])) return false;
  }
  return true;
}

std::string UrlDecode(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    if (ch == '+') {
      result += ' ';
    } else if (ch == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      result += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      result += ch;
    }
  }
  return result;
}

}  // namespace swf
