#include "local_requests.h"

#include <cctype>

namespace swf {
namespace {

bool IsSlash(char c) { return c == '/' || c == '\\'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string DecodePercents(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const int high = HexDigit(text[i + 1]), low = HexDigit(text[i + 2]);
      if (high >= 0 && low >= 0) {
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
        continue;
      }
    }
    out.push_back(text[i]);
  }
  return out;
}

// The scheme of a URL ("http" of "http://a"), empty when it has none. A
// single letter before the colon is a drive ("C:\x"), not a scheme.
std::string_view SchemeOf(std::string_view url) {
  const std::size_t colon = url.find(':');
  if (colon == std::string_view::npos || colon < 2) return {};
  for (std::size_t i = 0; i < colon; ++i) {
    const auto c = static_cast<unsigned char>(url[i]);
    if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return {};
  }
  if (!std::isalpha(static_cast<unsigned char>(url[0]))) return {};
  return url.substr(0, colon);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

bool HasDrive(std::string_view path) {
  return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

std::string WithSeparators(std::string_view path, char separator) {
  std::string out(path);
  for (char& c : out) {
    if (IsSlash(c)) c = separator;
  }
  return out;
}

}  // namespace

std::string FolderOf(std::string_view path) {
  const std::size_t last = path.find_last_of("/\\");
  return last == std::string_view::npos ? std::string() : std::string(path.substr(0, last));
}

std::optional<std::string> LocalRequestPath(std::string_view movieFolder, std::string_view url, char separator) {
  // What follows a '?' or '#' is for a server; a file has none.
  url = url.substr(0, url.find_first_of("?#"));
  if (url.empty()) return std::nullopt;
  const std::string_view scheme = SchemeOf(url);
  std::string path;
  if (scheme.empty()) {
    path = std::string(url);
  } else if (EqualsIgnoringCase(scheme, "file")) {
    std::string_view rest = url.substr(scheme.size() + 1);
    if (rest.starts_with("///")) {
      rest.remove_prefix(3);
      // file:///C:/x on Windows, file:///home/x elsewhere.
      if (!HasDrive(rest)) path.push_back('/');
      path.append(rest);
    } else if (rest.starts_with("//")) {
      // file://host/...: only the local host is ours.
      rest.remove_prefix(2);
      if (!rest.starts_with("localhost/")) return std::nullopt;
      rest.remove_prefix(9);
      path = HasDrive(rest.substr(1)) ? std::string(rest.substr(1)) : std::string(rest);
    } else {
      path = std::string(rest);
    }
    path = DecodePercents(path);
  } else {
    return std::nullopt;  // the network: never waited on
  }
  if (path.empty()) return std::nullopt;
  // A share (\\server\x or //server/x) is the network too.
  if (path.size() >= 2 && IsSlash(path[0]) && IsSlash(path[1])) return std::nullopt;
  if (IsSlash(path[0]) || HasDrive(path)) return WithSeparators(path, separator);
  if (movieFolder.empty()) return WithSeparators(path, separator);
  return WithSeparators(std::string(movieFolder) + separator + path, separator);
}

}  // namespace swf
