#include "notices/notice_motion.h"

#include <cstdlib>

namespace tpl {

int NoticeRandom::Next(int range) noexcept {
  seed_ = seed_ * 134775813u + 1u;
  if (range <= 0) return 0;
  const std::uint64_t scaled = std::uint64_t{seed_} * static_cast<std::uint64_t>(range);
  return static_cast<int>(scaled >> 32);
}

PanelPosition NextPanelPosition(NoticeRandom& random, int windowWidth, int windowHeight, int panelWidth,
                                int panelHeight) noexcept {
  PanelPosition position;
  position.top = random.Next(windowHeight - panelHeight);
  position.left = random.Next(windowWidth - panelWidth);
  return position;
}

ScreenArea NoticeArea(int monitorCount, int primaryWidth, int primaryHeight,
                      const ScreenArea& virtualDesktop) noexcept {
  if (monitorCount < 2) return ScreenArea{0, 0, primaryWidth, primaryHeight};
  return virtualDesktop;
}

bool MovedBeyondSlack(int startX, int startY, int x, int y) noexcept {
  // In 64 bits: screen coordinates of a far-apart pair must not overflow.
  const long long dx = static_cast<long long>(x) - startX;
  const long long dy = static_cast<long long>(y) - startY;
  return std::llabs(dx) > kMouseSlackPixels || std::llabs(dy) > kMouseSlackPixels;
}

}  // namespace tpl
