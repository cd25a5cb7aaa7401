#pragma once
// Where LoadMovie finds a movie: a file path as given, or a file URL turned
// into one. Portable: no Windows header.

#include <string>
#include <string_view>

namespace tpl::player {

// "file:///C:/a%20b.swf" -> "C:\a b.swf", "file://server/share/a.swf" ->
// "\\server\share\a.swf"; anything that is not a file URL is returned as
// given. Texts are UTF-8; percent escapes are decoded byte by byte.
[[nodiscard]] std::string MoviePathFromUrl(std::string_view url);

}  // namespace tpl::player
