#pragma once
// The argument of a movie's "setvalue" command: a name, a colon, a value. The
// saver movie and the settings movie share the rule and the values they keep.

#include <string>
#include <string_view>

namespace tpl {

struct MovieValue {
  std::string name;  // empty: the key's unnamed value
  std::string value;
};

// Splits at the first colon of the argument as the movie sent it (`wide`),
// taking the name and the value from its 8-bit conversion (`ansi`) by the
// character counts of the wide text: the name is the first p - 1 characters and
// the value the last n - p, where p is the colon's 1-based position (0 when there
// is none) and n the wide length. Further colons belong to the value; without a
// colon the whole argument is the value. A conversion of another length (a
// double-byte code page) is cut by the same counts, never beyond its ends.
[[nodiscard]] MovieValue SplitMovieValueArgument(std::wstring_view wide, std::string_view ansi);

// The reply a movie reads back: the name as asked, "=", the stored text.
[[nodiscard]] std::wstring MovieValueReply(std::wstring_view name, std::wstring_view storedText);

}  // namespace tpl
