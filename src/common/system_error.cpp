#include "common/system_error.h"

#include <cstdio>

namespace tpl {

namespace {

// Failure HRESULTs read as the hexadecimal numbers the documentation lists.
std::string CodeText(DWORD errorCode) {
  if ((errorCode & 0x80000000u) == 0) return std::to_string(errorCode);
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(errorCode));
  return hex;
}

}  // namespace

std::string SystemMessageText(DWORD errorCode) {
  char* buffer = nullptr;
  const DWORD length =
      ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, errorCode, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text;
  if (length != 0 && buffer != nullptr) text.assign(buffer, length);
  if (buffer != nullptr) ::LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  if (text.empty()) text = "System error " + CodeText(errorCode) + ".";
  return text;
}

WindowsError::WindowsError(std::string_view operation, DWORD errorCode)
    : std::runtime_error(std::string(operation) + ": " + SystemMessageText(errorCode)), code_(errorCode) {}

}  // namespace tpl
