#pragma once
// A window's character set as the configuration gives it: decimal (or "$"/"0x"
// hexadecimal) text that must convert to an integer. A text that does not
// convert raises the error the form's standard error message shows.

#include <stdexcept>
#include <string>
#include <string_view>

#include "common/integer_text.h"

namespace tpl {

[[nodiscard]] inline int FontCharsetFromText(std::string_view text) {
  const auto value = ParseIntegerText(text);
  if (!value) throw std::invalid_argument("'" + std::string(text) + "' is not a valid integer value");
  return *value;
}

}  // namespace tpl
