#pragma once
// The control's trace: one UTF-8 line per call, property change and event,
// appended to the file that the environment variable TEMPLATE_PLAYER_TRACE
// names, or else the value "Trace" of HKEY_CURRENT_USER\Software\TemplatePlayer.
// The line format is described in tests/support/player_trace.h, which the
// tests read it with. Without either setting nothing is written. The file is
// opened for each line, so that whoever reads it may delete or move it at any
// time (Wine keeps a deleted file that is still open and its new lines).

#include <string>
#include <string_view>

namespace tpl::player {

// Appends the line; line breaks inside it are written as "\n" and "\r".
// Never fails: a trace that cannot be written is skipped.
void Trace(std::wstring_view line) noexcept;

// Where the movie's own trace() lines go: the file that TEMPLATE_PLAYER_OUTPUT
// names, or else the value "Output" of HKEY_CURRENT_USER\Software\TemplatePlayer;
// empty when neither is set.
[[nodiscard]] std::wstring MovieOutputFile() noexcept;
// Appends one line of the movie's output, UTF-8, ended by LF.
void AppendMovieOutput(const std::wstring& path, std::string_view utf8Line) noexcept;

}  // namespace tpl::player
