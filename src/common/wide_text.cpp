#include "common/wide_text.h"

#include <windows.h>

#include <climits>

namespace tpl {

namespace {

// The conversion calls take int lengths; longer texts are cut rather than
// wrapped around into a negative length.
int ClampedLength(std::size_t length) { return length > INT_MAX ? INT_MAX : static_cast<int>(length); }

}  // namespace

std::wstring WideFromAnsi(std::string_view text) {
  if (text.empty()) return {};
  const int length = ClampedLength(text.size());
  const int needed = ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), needed);
  return wide;
}

std::string AnsiFromWide(std::wstring_view text) {
  if (text.empty()) return {};
  const int length = ClampedLength(text.size());
  const int needed = ::WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string narrow(static_cast<std::size_t>(needed), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, text.data(), length, narrow.data(), needed, nullptr, nullptr);
  return narrow;
}

}  // namespace tpl
