#include "ui/standard_error_message.h"

#include <windows.h>

#include <string>

namespace tpl {

void ShowStandardErrorMessage(std::string_view applicationTitle, std::string_view errorText) noexcept {
  try {
    const std::string title(applicationTitle);
    const std::string text(errorText);
    ::MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONERROR | MB_TASKMODAL);
  } catch (...) {
    // Out of memory for two short strings: nothing sensible is left to show.
  }
}

}  // namespace tpl
