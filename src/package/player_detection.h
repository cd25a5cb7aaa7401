#pragma once
// Whether a usable movie player is installed: read from the registry and the
// file system only, once at start-up. The control itself is never created here.

#include <string>
#include <string_view>

namespace tpl {

inline constexpr std::string_view kPlayerClassIds[] = {
    "{1171A62F-05D2-11D1-83FC-00A0C9089C5A}",
    "{D27CDB6E-AE6D-11cf-96B8-444553540000}",
};

// A file, not a folder, exists at the path.
[[nodiscard]] bool FileExists(const std::string& path);

// The major file version (high word of the version's most significant half),
// 0 when the file has no readable version information.
[[nodiscard]] int FileMajorVersion(const std::string& path);

// True when a registered server file of either class id is usable, or one of
// the per-user overrides says a player is there.
[[nodiscard]] bool DetectPlayer();

}  // namespace tpl
