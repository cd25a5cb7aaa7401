#include "common/movie_values.h"

#include <gtest/gtest.h>

#include <string>

namespace tpl {
namespace {

struct SplitCase {
  const char* label;
  std::wstring wide;
  std::string ansi;
  std::string name;
  std::string value;
};

class MovieValueSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(MovieValueSplit, CutsAtTheFirstColonByTheWideCounts) {
  const SplitCase& tested = GetParam();
  const MovieValue split = SplitMovieValueArgument(tested.wide, tested.ansi);
  EXPECT_EQ(split.name, tested.name);
  EXPECT_EQ(split.value, tested.value);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, MovieValueSplit,
    ::testing::Values(SplitCase{"name_and_value", L"score:42", "score:42", "score", "42"},
                      SplitCase{"second_colon_stays_in_the_value", L"url:http://x", "url:http://x", "url", "http://x"},
                      SplitCase{"no_colon_is_the_unnamed_value", L"plain", "plain", "", "plain"},
                      SplitCase{"leading_colon_is_the_unnamed_value", L":v", ":v", "", "v"},
                      SplitCase{"trailing_colon_is_an_empty_value", L"name:", "name:", "name", ""},
                      SplitCase{"empty_argument", L"", "", "", ""},
                      SplitCase{"unrepresentable_character_keeps_the_counts", L"n\u4e00:v", "n?:v", "n?", "v"},
                      // A double-byte conversion is longer than the wide text: the counts still
                      // come from the wide text, so the name loses its last byte.
                      SplitCase{"longer_conversion_is_cut_by_the_wide_counts", L"\u4e00:v", "\x88\xea:v", "\x88", "v"},
                      SplitCase{"shorter_conversion_never_reads_past_its_ends", L"abc:def", "ab", "ab", "ab"}),
    [](const auto& tested) { return std::string(tested.param.label); });

TEST(MovieValueReplyText, IsTheNameAnEqualsSignAndTheStoredText) {
  EXPECT_EQ(MovieValueReply(L"score", L"42"), L"score=42");
  EXPECT_EQ(MovieValueReply(L"never", L""), L"never=");
  EXPECT_EQ(MovieValueReply(L"", L"a=b&c"), L"=a=b&c");
}

}  // namespace
}  // namespace tpl
