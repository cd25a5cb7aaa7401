#pragma once
// The decisions of the saver notice that need no window: where its message
// panel drifts to, and how far the mouse may move before the notice ends.

#include <cstdint>

namespace tpl {

// The address lblURL shows in both notices: the project's page that tells how
// to get a player this program can host (the stand-in player). It is kept
// short enough for the label's single line of 297 pixels.
inline constexpr char kPlayerPageAddress[] = "docs/stand-in-player.md";

// The font start-up gives the notices on systems of version 6 and above.
inline constexpr char kNewerWindowsFont[] = "Segoe UI";

// The notice's pseudo-random sequence. It is never seeded, so every run draws
// the same numbers: the seed starts at 0, each draw sets
// seed := seed * 134775813 + 1 (mod 2^32) and yields (seed * range) div 2^32.
class NoticeRandom {
 public:
  // A value in 0 .. range - 1; 0 when range is 0 or negative (a window smaller
  // than the panel keeps the panel at its top or left edge). Every draw moves
  // the sequence on, whatever the range.
  [[nodiscard]] int Next(int range) noexcept;
  [[nodiscard]] std::uint32_t Seed() const noexcept { return seed_; }

 private:
  std::uint32_t seed_ = 0;
};

struct PanelPosition {
  int left = 0;
  int top = 0;
  friend bool operator==(const PanelPosition&, const PanelPosition&) = default;
};

// The panel's next place inside the window: the top is drawn first, then the left.
[[nodiscard]] PanelPosition NextPanelPosition(NoticeRandom& random, int windowWidth, int windowHeight, int panelWidth,
                                              int panelHeight) noexcept;

struct ScreenArea {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const ScreenArea&, const ScreenArea&) = default;
};

// What the notice covers: the primary screen from (0, 0) with one monitor; the
// whole virtual desktop, whose origin may lie left of or above the primary
// monitor, with two or more.
[[nodiscard]] ScreenArea NoticeArea(int monitorCount, int primaryWidth, int primaryHeight,
                                    const ScreenArea& virtualDesktop) noexcept;

// The mouse may wander 5 pixels each way from where it was when the notice
// appeared; one pixel more in either direction ends the notice.
inline constexpr int kMouseSlackPixels = 5;
[[nodiscard]] bool MovedBeyondSlack(int startX, int startY, int x, int y) noexcept;

}  // namespace tpl
