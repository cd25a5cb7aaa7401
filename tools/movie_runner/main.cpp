// MovieRunner <movie.swf> <frames> [input]: loads the movie with the stand-in
// engine, plays that many frames without drawing and appends every trace line
// (UTF-8) to the file TEMPLATE_PLAYER_OUTPUT names, or writes them to standard
// output. The input file, when given, holds a person's pointer and keys, one
// event a line: "<frames played> <event>", the event one of "move X Y" (stage
// pixels), "down", "up", "key CODE [CHAR]" (pressed and released),
// "keydown CODE [CHAR]" or "keyup CODE"; CODE is the key's virtual-key code and
// CHAR the character code it types. Lines starting with # are skipped.

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>
#include <optional>
#include <vector>

#include "local_requests.h"
#include "movie_player.h"

namespace {

int Usage() {
  std::cerr << "usage: MovieRunner <movie.swf> <frames> [input]\n";
  return 2;
}

struct InputEvent {
  int frame = 0;
  std::string kind;
  double x = 0, y = 0;
  int code = 0, character = 0;
};

bool ReadInput(const char* path, std::vector<InputEvent>& events) {
  std::ifstream in(path);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    InputEvent event;
    if (!(fields >> event.frame >> event.kind)) return false;
    if (event.kind == "move") {
      if (!(fields >> event.x >> event.y)) return false;
    } else if (event.kind == "key" || event.kind == "keydown" || event.kind == "keyup") {
      if (!(fields >> event.code)) return false;
      fields >> event.character;
    } else if (event.kind != "down" && event.kind != "up") {
      return false;
    }
    events.push_back(event);
  }
  return true;
}

void Send(swf::MoviePlayer& player, const InputEvent& event) {
  if (event.kind == "move") {
    // A surface of the stage's own size shows it at its own scale.
    player.PointerMove(event.x, event.y, player.StageWidth(), player.StageHeight(), swf::ScaleMode::ExactFit);
  } else if (event.kind == "down" || event.kind == "up") {
    player.PointerButton(event.kind == "down");
  } else {
    if (event.kind != "keyup") player.KeyChange(true, event.code, event.character);
    if (event.kind != "keydown") player.KeyChange(false, event.code, 0);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) return Usage();
  std::vector<InputEvent> input;
  if (argc == 4 && !ReadInput(argv[3], input)) {
    std::cerr << "cannot read the input events of " << argv[3] << "\n";
    return 1;
  }
  int frames = 0;
  const std::string_view count(argv[2]);
  if (std::from_chars(count.data(), count.data() + count.size(), frames).ec != std::errc() || frames < 1) {
    return Usage();
  }
  std::ifstream file(argv[1], std::ios::binary);
  if (!file) {
    std::cerr << "cannot read " << argv[1] << "\n";
    return 1;
  }
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());

  std::ofstream log;
  if (const char* output = std::getenv("TEMPLATE_PLAYER_OUTPUT"); output && *output) {
    log.open(output, std::ios::binary | std::ios::app);
    if (!log) {
      std::cerr << "cannot write " << output << "\n";
      return 1;
    }
  }
  std::ostream& out = log.is_open() ? static_cast<std::ostream&>(log) : std::cout;

  swf::MoviePlayer player;
  // A runner with a time limit of its own stops scripts sooner than the platform would.
  if (const char* seconds = std::getenv("TEMPLATE_PLAYER_SCRIPT_SECONDS"); seconds && *seconds) {
    double limit = 0;
    const std::string_view text(seconds);
    if (std::from_chars(text.data(), text.data() + text.size(), limit).ec == std::errc() && limit > 0) {
      player.SetScriptTimeLimit(limit);
    }
  }
  player.SetTraceSink([&out](std::string_view line) {
    out << line << '\n';
    out.flush();
  });
  // Loads of local files (beside the movie, or file: URLs) are read as the
  // control reads them; nothing else is reachable.
  const std::string folder = swf::FolderOf(argv[1]);
  player.SetUrlReader([folder](std::string_view url) -> std::optional<std::string> {
    const std::optional<std::string> path = swf::LocalRequestPath(folder, url, '/');
    if (!path) return std::nullopt;
    std::ifstream source(*path, std::ios::binary);
    if (!source) return std::nullopt;
    std::string text;
    char chunk[4096];
    while (source.read(chunk, sizeof chunk) || source.gcount() > 0) {
      text.append(chunk, static_cast<std::size_t>(source.gcount()));
      if (text.size() > swf::kMaxLoadedBytes) return std::nullopt;
    }
    return text;
  });
  if (!player.Load(bytes)) {
    std::cerr << "not a movie the engine plays: " << argv[1] << "\n";
    return 1;
  }
  std::size_t next = 0;
  for (int frame = 0; frame <= frames; ++frame) {
    for (; next < input.size() && input[next].frame <= frame; ++next) Send(player, input[next]);
    if (frame < frames) player.Advance();
  }
  return 0;
}
