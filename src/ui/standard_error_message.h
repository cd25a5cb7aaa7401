#pragma once
// The application's standard error message: the error's text in a message box
// with the application title as caption, an error icon and one OK button.

#include <string_view>

namespace tpl {

void ShowStandardErrorMessage(std::string_view applicationTitle, std::string_view errorText) noexcept;

}  // namespace tpl
