// MovieRunner <movie.swf> <frames>: loads the movie with the stand-in engine,
// plays that many frames without drawing and appends every trace line (UTF-8)
// to the file TEMPLATE_PLAYER_OUTPUT names, or writes them to standard output.

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "movie_player.h"

namespace {

int Usage() {
  std::cerr << "usage: MovieRunner <movie.swf> <frames>\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Usage();
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
  player.SetTraceSink([&out](std::string_view line) {
    out << line << '\n';
    out.flush();
  });
  if (!player.Load(bytes)) {
    std::cerr << "not a movie the engine plays: " << argv[1] << "\n";
    return 1;
  }
  for (int frame = 1; frame < frames + 1; ++frame) player.Advance();
  return 0;
}
