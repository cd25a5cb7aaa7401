#pragma once
// The argument of a movie's "setvalue" command: a name, a colon, a value. The
// saver movie and the settings movie share the rule and the values they keep.

#include <functional>
#include <string>
#include <string_view>

namespace tpl {

struct MovieValue {
  std::string name;  // empty: the key's unnamed value
  std::string value;
};

// Converts a piece of the movie's wide text to the program's 8-bit text
// (AnsiFromWide in the program; tests pass a code page of their own).
using AnsiConversion = std::function<std::string(std::wstring_view)>;

// Splits the argument as the movie sent it (`wide`) at its first colon and
// converts the name and the value separately: the name is the wide text before
// the colon, the value the wide text after it (further colons belong to the
// value); without a colon the whole argument is the value. Converting the two
// pieces apart keeps a double-byte code page's characters whole (cutting the
// converted text by wide-character counts split them); with a single-byte code
// page the result is the same as cutting by counts.
[[nodiscard]] MovieValue SplitMovieValueArgument(std::wstring_view wide, const AnsiConversion& toAnsi);

// The reply a movie reads back: the name as asked, "=", the stored text.
[[nodiscard]] std::wstring MovieValueReply(std::wstring_view name, std::wstring_view storedText);

}  // namespace tpl
