// Loads arbitrary bytes as a movie, plays a few frames and draws them, whole
// and through the changed areas (masks, bitmaps and morphs included), the
// pointer and the Tab key moving between frames. Any
// input either is refused (and leaves the player empty) or plays with the
// frame counter in range and draws opaque pixels only.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "fuzz_check.h"
#include "movie_player.h"

namespace {

void DrawAndCheck(const swf::MoviePlayer& player, int width, int height, swf::ScaleMode scale) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width * height), 0);
  player.Render(swf::Surface{pixels.data(), width, height, width}, scale);
  for (const std::uint32_t pixel : pixels) FUZZ_CHECK((pixel >> 24) == 0xFF);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  swf::MoviePlayer player;
  // A script that loops stops at this limit instead of the player's 15
  // seconds, so a looping input is explored instead of reported as a hang.
  player.SetScriptTimeLimit(0.1);
  if (!player.Load(std::span<const std::uint8_t>(data, size))) {
    FUZZ_CHECK(!player.HasMovie());
    FUZZ_CHECK(player.CurrentFrame() == 0);
    return 0;
  }
  const auto scale = static_cast<swf::ScaleMode>(size > 0 ? data[size - 1] % 4 : 0);
  FUZZ_CHECK(player.FrameRate() > 0);
  std::vector<std::uint32_t> kept(static_cast<std::size_t>(24 * 16), 0);
  for (int i = 0; i < 4; ++i) {
    FUZZ_CHECK(player.CurrentFrame() >= 1 && player.CurrentFrame() <= player.FrameCount());
    DrawAndCheck(player, 24, 16, scale);
    (void)player.RenderChanges(swf::Surface{kept.data(), 24, 16, 24}, scale);
    for (const std::uint32_t pixel : kept) FUZZ_CHECK((pixel >> 24) == 0xFF);
    player.Advance();
    (void)player.TakeFsCommands();
    // The pointer across the stage and the Tab key: hit tests and the focus rectangle.
    player.PointerMove(7.0 * i, 5.0 * i, 24, 16, scale);
    player.KeyChange(true, 9, 9);
    player.KeyChange(false, 9, 9);
  }
  DrawAndCheck(player, 1, 1, scale);
  return 0;
}
