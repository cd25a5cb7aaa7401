#include "common/movie_values.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace tpl {
namespace {

// Stand-ins for the system code page: a single-byte one (Latin-1: a character
// below 256 is its own byte, any other is "?") and a double-byte one (Shift-JIS
// for the two characters the cases use: U+4E00 is 88 EA, U+3042 is 82 A0).
enum class CodePage { SingleByte, DoubleByte };

std::string Convert(CodePage codePage, std::wstring_view wide) {
  std::string ansi;
  for (const wchar_t character : wide) {
    if (character < 0x80) {
      ansi += static_cast<char>(character);
    } else if (codePage == CodePage::SingleByte) {
      ansi += character < 0x100 ? static_cast<char>(character) : '?';
    } else if (character == L'\u4e00') {
      ansi += "\x88\xea";
    } else if (character == L'\u3042') {
      ansi += "\x82\xa0";
    } else {
      ansi += '?';
    }
  }
  return ansi;
}

struct SplitCase {
  const char* label;
  CodePage codePage;
  std::wstring wide;
  std::string name;
  std::string value;
};

class MovieValueSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(MovieValueSplit, CutsTheWideTextAtTheFirstColonAndConvertsEachPart) {
  const SplitCase& tested = GetParam();
  const MovieValue split =
      SplitMovieValueArgument(tested.wide, [&](std::wstring_view piece) { return Convert(tested.codePage, piece); });
  EXPECT_EQ(split.name, tested.name);
  EXPECT_EQ(split.value, tested.value);
}

constexpr CodePage kSingle = CodePage::SingleByte;
constexpr CodePage kDouble = CodePage::DoubleByte;

INSTANTIATE_TEST_SUITE_P(
    Arguments, MovieValueSplit,
    ::testing::Values(SplitCase{"name_and_value", kSingle, L"score:42", "score", "42"},
                      SplitCase{"second_colon_stays_in_the_value", kSingle, L"url:http://x", "url", "http://x"},
                      SplitCase{"no_colon_is_the_unnamed_value", kSingle, L"plain", "", "plain"},
                      SplitCase{"leading_colon_is_the_unnamed_value", kSingle, L":v", "", "v"},
                      SplitCase{"trailing_colon_is_an_empty_value", kSingle, L"name:", "name", ""},
                      SplitCase{"empty_argument", kSingle, L"", "", ""},
                      SplitCase{"single_byte_accent", kSingle, L"caf\u00e9:cr\u00e8me", "caf\xe9", "cr\xe8me"},
                      SplitCase{"unrepresentable_character_keeps_the_counts", kSingle, L"n\u4e00:v", "n?", "v"},
                      // A double-byte conversion is longer than the wide
                      // text; cutting it by the wide counts split a character in two.
                      SplitCase{"double_byte_name_stays_whole", kDouble, L"\u4e00:v", "\x88\xea", "v"},
                      SplitCase{"double_byte_value_stays_whole", kDouble, L"n:\u3042\u4e00", "n", "\x82\xa0\x88\xea"},
                      SplitCase{"double_byte_name_and_value", kDouble, L"\u3042:\u4e00:x", "\x82\xa0", "\x88\xea:x"},
                      SplitCase{"double_byte_without_colon", kDouble, L"\u4e00\u3042", "", "\x88\xea\x82\xa0"},
                      SplitCase{"double_byte_ascii_only", kDouble, L"score:42", "score", "42"}),
    [](const auto& tested) { return std::string(tested.param.label); });

TEST(MovieValueReplyText, IsTheNameAnEqualsSignAndTheStoredText) {
  EXPECT_EQ(MovieValueReply(L"score", L"42"), L"score=42");
  EXPECT_EQ(MovieValueReply(L"never", L""), L"never=");
  EXPECT_EQ(MovieValueReply(L"", L"a=b&c"), L"=a=b&c");
}

}  // namespace
}  // namespace tpl
