// Writes the demo saver movie to the path given as the only argument
// (examples/demo/Demo.swf in the repository).

#include <cstdio>
#include <fstream>
#include <vector>

#include "demo_movie.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_demo_movie <output.swf>\n");
    return 2;
  }
  const std::vector<std::uint8_t> movie = demo::MakeDemoMovie();
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(movie.data()), static_cast<std::streamsize>(movie.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "make_demo_movie: cannot write %s\n", argv[1]);
    return 1;
  }
  std::printf("wrote %s (%zu bytes)\n", argv[1], movie.size());
  return 0;
}
