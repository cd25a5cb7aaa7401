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
