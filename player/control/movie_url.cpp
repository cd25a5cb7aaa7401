#include "movie_url.h"

#include <optional>

namespace tpl::player {
namespace {

constexpr char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (AsciiLower(text[i]) != prefix[i]) return false;
  }
  return true;
}

std::optional<int> HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = AsciiLower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return std::nullopt;
}

// Percent escapes decoded, forward slashes turned into backslashes.
std::string DecodePathPart(std::string_view part) {
  std::string path;
  for (std::size_t i = 0; i < part.size(); ++i) {
    const char c = part[i];
    if (c == '%' && i + 2 < part.size()) {
      const auto high = HexDigit(part[i + 1]);
      const auto low = HexDigit(part[i + 2]);
      if (high && low) {
        path.push_back(static_cast<char>(*high * 16 + *low));
        i += 2;
        continue;
      }
    }
    path.push_back(c == '/' ? '\\' : c);
  }
  return path;
}

}  // namespace

std::string MoviePathFromUrl(std::string_view url) {
  constexpr std::string_view kLocal = "file:///";
  constexpr std::string_view kAnyHost = "file://";
  if (StartsWithIgnoringCase(url, kLocal)) return DecodePathPart(url.substr(kLocal.size()));
  if (StartsWithIgnoringCase(url, kAnyHost)) {
    const std::string_view rest = url.substr(kAnyHost.size());
    // "file://C:/x.swf" names a drive, not a host.
    if (rest.size() >= 2 && rest[1] == ':') return DecodePathPart(rest);
    return "\\\\" + DecodePathPart(rest);
  }
  return std::string(url);
}

}  // namespace tpl::player
