#pragma once
// What MakeSaver checks in the files it puts into a package, from their bytes
// alone: the movies' headers, the settings picture and the program copy; and
// which builds of the platform's player refuse to play.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tpl::maker {

// The most bytes of a movie or a picture the header checks look at.
inline constexpr std::size_t kHeaderBytes = 256;

// Why the bytes that start a file of `fileSize` bytes are no complete SWF
// movie header, or empty. An uncompressed movie's length field must match the file.
[[nodiscard]] std::string MovieHeaderProblem(std::string_view start, std::uint64_t fileSize);

// Why the bytes that start a file of `fileSize` bytes are no bitmap the
// settings dialog can show (a BMP file whose headers and pixels are all there), or empty.
[[nodiscard]] std::string BitmapProblem(std::string_view start, std::uint64_t fileSize);

// Why the whole file is not the saver program (a Windows program, not a
// library, that carries the saver's own resources), or empty.
[[nodiscard]] std::string ProgramProblem(std::string_view file);

// A file version: major, minor, build, revision.
using FileVersion = std::array<std::uint16_t, 4>;

[[nodiscard]] std::string FileVersionText(const FileVersion& version);

// The official player builds 32.0.0.387 to 32.0.0.465 refuse to play any movie after
// 12 January 2021 and show a "blocked" picture instead; earlier builds and later
// patched ones still play.
[[nodiscard]] bool PlayerBuildRefusesContent(const FileVersion& version);

// The fixed file version of a Windows file's version resource, from the whole file.
[[nodiscard]] std::optional<FileVersion> ProgramFileVersion(std::string_view file);

// The length of UTF-8 text in UTF-16 units, as Windows counts a path's characters.
[[nodiscard]] std::size_t WindowsLength(std::string_view utf8);

}  // namespace tpl::maker
