#pragma once
// The values a saver's movies keep between runs, in the saver's movie values
// key under the current user. Shared by the saver and the settings movie.

#include <string>
#include <string_view>

namespace tpl {

// "setvalue": stores the argument's value under its name (see
// SplitMovieValueArgument); the key is created when missing. Fails silently.
void StoreMovieValue(std::string_view saverId, std::wstring_view argument);

// "getvalue": the name, "=" and the stored text (empty when missing).
[[nodiscard]] std::wstring ReadMovieValueReply(std::string_view saverId, std::wstring_view name);

}  // namespace tpl
