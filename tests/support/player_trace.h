#pragma once
// The stand-in player control's trace, as the tests read it.
//
// When the environment variable TEMPLATE_PLAYER_TRACE names a file (or else
// the REG_SZ value "Trace" of HKEY_CURRENT_USER\Software\TemplatePlayer does),
// every control appends one UTF-8 line per event, ended by CR LF. The file is
// opened for appending only, so several processes can share one trace; a line
// break inside a text is written as the two characters \n (or \r).
//
// Lines, with <text> exactly as the host passed it:
//   Create                      a control object was made
//   Destroy                     its last reference went
//   InitNew | Load | Save       persistence; "Load unknown state" for data not ours
//   SetClientSite | SetClientSite null
//   Advise | Unadvise           an event sink connected or disconnected
//   InPlaceActivate             the control's window now exists
//   InPlaceDeactivate | Close
//   SetObjectRects <x> <y> <w> <h>
//   LoadMovie <layer> <url>     then, for layer 0, "Loaded <frames>" (0: no movie)
//   Play | Stop
//   IsPlaying <0|1>             the answer given
//   <Property>=<value>          a property put: Scale=showall, Menu=false,
//                               FlashVars=a=1, Movie=<url>, Loop=true, WMode=Window
//   get <Property>=<value>      a property get and the answer given
//   FSCommand <command>|<args>  an event raised (once, however many sinks)
//   DllRegisterServer [refused|failed] | DllUnregisterServer [left another server]
// Timer ticks, painting and drawing are not traced.

#include <windows.h>

#include <fstream>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tpl::testing {

inline constexpr char kPlayerTraceVariable[] = "TEMPLATE_PLAYER_TRACE";

// The lines of a trace file without their line ends; none when it is missing.
[[nodiscard]] inline std::vector<std::string> ReadPlayerTrace(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(file, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// Only the lines that start with one of the prefixes, in their order: the
// calls a test cares about, without the lifecycle lines around them.
[[nodiscard]] inline std::vector<std::string> TraceLinesStartingWith(const std::vector<std::string>& lines,
                                                                     std::initializer_list<std::string_view> prefixes) {
  std::vector<std::string> kept;
  for (const std::string& line : lines) {
    for (std::string_view prefix : prefixes) {
      if (std::string_view(line).starts_with(prefix)) {
        kept.push_back(line);
        break;
      }
    }
  }
  return kept;
}

// Points this process's controls (and the children it starts) at a trace
// file for its lifetime, and puts the previous setting back afterwards.
class PlayerTraceFile {
 public:
  explicit PlayerTraceFile(std::string path) : path_(std::move(path)) {
    char previous[MAX_PATH * 2] = {};
    const DWORD length = ::GetEnvironmentVariableA(kPlayerTraceVariable, previous, sizeof previous);
    if (length > 0 && length < sizeof previous) previous_ = std::string(previous, length);
    ::DeleteFileA(path_.c_str());
    ::SetEnvironmentVariableA(kPlayerTraceVariable, path_.c_str());
  }
  ~PlayerTraceFile() { ::SetEnvironmentVariableA(kPlayerTraceVariable, previous_ ? previous_->c_str() : nullptr); }
  PlayerTraceFile(const PlayerTraceFile&) = delete;
  PlayerTraceFile& operator=(const PlayerTraceFile&) = delete;

  [[nodiscard]] const std::string& Path() const { return path_; }
  [[nodiscard]] std::vector<std::string> Lines() const { return ReadPlayerTrace(path_); }

 private:
  std::string path_;
  std::optional<std::string> previous_;
};

}  // namespace tpl::testing
