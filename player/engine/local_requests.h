#pragma once
// Which requests of a movie the stand-in player answers from this machine's
// files. A screen saver plays offline: a relative URL (against the movie's
// folder), a file: URL or a plain local path is read from disk; anything
// with another scheme (http:, https:, rtmp:, ...) or a network share is
// refused at once, so no load ever waits on a network.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace swf {

// The local path `url` names, resolved against `movieFolder` (the folder of
// the playing movie, ending without a separator; empty when unknown) with
// `separator` between the parts ('\\' on Windows, '/' elsewhere). Percent
// escapes of file: URLs are decoded; a query or fragment is dropped.
// Nullopt when the URL is empty, names no local file or names a share.
[[nodiscard]] std::optional<std::string> LocalRequestPath(std::string_view movieFolder, std::string_view url,
                                                          char separator);

// The folder part of a movie's path ("" when it has none).
[[nodiscard]] std::string FolderOf(std::string_view path);

// The largest file a script may load: more is refused, so a movie cannot
// make the player hold an unbounded text.
inline constexpr std::size_t kMaxLoadedBytes = 16u << 20;

}  // namespace swf
