#include "common/font_charset_text.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <string_view>

namespace tpl {
namespace {

TEST(FontCharsetFromText, ConvertsIntegerText) {
  struct Case {
    std::string_view text;
    int charset;
  };
  const Case cases[] = {{"0", 0}, {"238", 238}, {"$EE", 238}, {" 204", 204}, {"-1", -1}};
  for (const Case& c : cases) EXPECT_EQ(FontCharsetFromText(c.text), c.charset) << c.text;
}

TEST(FontCharsetFromText, RefusesOtherTextNamingIt) {
  for (std::string_view text : {"", "abc", "238 ", "1.5", "99999999999"}) {
    try {
      static_cast<void>(FontCharsetFromText(text));
      ADD_FAILURE() << "accepted " << text;
    } catch (const std::invalid_argument& error) {
      EXPECT_EQ(std::string(error.what()), "'" + std::string(text) + "' is not a valid integer value") << text;
    }
  }
}

}  // namespace
}  // namespace tpl
