#pragma once
// Errors of Windows calls as C++ exceptions whose text a person can read.

#include <windows.h>

#include <stdexcept>
#include <string>
#include <string_view>

namespace tpl {

// The system's message for an error code, without its trailing line end.
[[nodiscard]] std::string SystemMessageText(DWORD errorCode);

class WindowsError : public std::runtime_error {
 public:
  WindowsError(std::string_view operation, DWORD errorCode);
  [[nodiscard]] DWORD Code() const noexcept { return code_; }

 private:
  DWORD code_;
};

}  // namespace tpl
