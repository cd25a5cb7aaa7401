#include "notices/notice_motion.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>
#include <vector>

namespace tpl {
namespace {

// The seeds after each draw, worked out apart from the program from seed := seed * 134775813 + 1 (mod 2^32).
TEST(NoticeRandom, SeedFollowsTheUnseededSequence) {
  const std::uint32_t expected[] = {1u, 134775814u, 3698175007u, 870078620u, 1172187917u};
  NoticeRandom random;
  EXPECT_EQ(random.Seed(), 0u);
  for (const std::uint32_t seed : expected) {
    static_cast<void>(random.Next(100));
    EXPECT_EQ(random.Seed(), seed);
  }
}

TEST(NoticeRandom, DrawsScaleTheSeedIntoTheRange) {
  struct Case {
    std::string_view label;
    int range;
    std::vector<int> draws;
  };
  const Case cases[] = {
      // (seed * range) div 2^32 for the seeds above.
      {"hundred", 100, {0, 3, 86, 20, 27}}, {"full_hd_height_less_panel", 983, {0, 30, 846, 199, 268}},
      {"one", 1, {0, 0, 0, 0, 0}},          {"zero", 0, {0, 0, 0, 0, 0}},
      {"negative", -50, {0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    NoticeRandom random;
    std::vector<int> draws;
    for (std::size_t i = 0; i < c.draws.size(); ++i) draws.push_back(random.Next(c.range));
    EXPECT_EQ(draws, c.draws) << c.label;
  }
}

TEST(NoticeRandom, EveryDrawMovesTheSequenceWhateverTheRange) {
  NoticeRandom withEmptyRanges;
  static_cast<void>(withEmptyRanges.Next(0));
  static_cast<void>(withEmptyRanges.Next(-3));
  NoticeRandom plain;
  static_cast<void>(plain.Next(10));
  static_cast<void>(plain.Next(10));
  EXPECT_EQ(withEmptyRanges.Seed(), plain.Seed());
  EXPECT_EQ(withEmptyRanges.Next(1000), plain.Next(1000));
}

TEST(NextPanelPosition, DrawsTheTopFirstThenTheLeft) {
  // A 1920 x 1080 screen and the 313 x 97 panel: the ranges are 983 for the
  // top and 1607 for the left.
  struct Tick {
    int left;
    int top;
  };
  const Tick expected[] = {
      {50, 0},      // seeds 1 (top) and 134775814 (left)
      {325, 846},   // 3698175007, 870078620
      {1079, 268},  // 1172187917, 2884733762
  };
  NoticeRandom random;
  for (const Tick& tick : expected) {
    const PanelPosition position = NextPanelPosition(random, 1920, 1080, 313, 97);
    EXPECT_EQ(position, (PanelPosition{tick.left, tick.top}));
  }
}

TEST(NextPanelPosition, FirstMovePutsThePanelAtTheTopEdge) {
  NoticeRandom random;
  EXPECT_EQ(NextPanelPosition(random, 800, 600, 313, 97).top, 0);
}

TEST(NextPanelPosition, WindowNoLargerThanThePanelKeepsItAtTheEdges) {
  NoticeRandom random;
  for (int tick = 0; tick < 4; ++tick) {
    EXPECT_EQ(NextPanelPosition(random, 313, 97, 313, 97), (PanelPosition{0, 0}));
    EXPECT_EQ(NextPanelPosition(random, 200, 50, 313, 97), (PanelPosition{0, 0}));
  }
}

TEST(NoticeArea, PrimaryScreenAloneOrTheWholeDesktop) {
  struct Case {
    const char* label;
    int monitors;
    ScreenArea covered;
  };
  const ScreenArea desktop{-1280, -200, 3200, 1280};
  const Case cases[] = {
      {"one_monitor", 1, {0, 0, 1920, 1080}},
      {"no_count", 0, {0, 0, 1920, 1080}},
      {"two_monitors", 2, desktop},
      {"three_monitors", 3, desktop},
  };
  for (const Case& c : cases) EXPECT_EQ(NoticeArea(c.monitors, 1920, 1080, desktop), c.covered) << c.label;
}

TEST(MovedBeyondSlack, FivePixelsStayAndSixEnd) {
  struct Case {
    int dx;
    int dy;
    bool ends;
  };
  const Case cases[] = {
      {0, 0, false}, {5, 5, false}, {-5, -5, false}, {5, -5, false}, {6, 0, true},   {0, 6, true},
      {-6, 0, true}, {0, -6, true}, {6, 6, true},    {-6, 5, true},  {1, -1, false}, {100, 0, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MovedBeyondSlack(100, 200, 100 + c.dx, 200 + c.dy), c.ends) << c.dx << "," << c.dy;
  }
}

TEST(MovedBeyondSlack, CountsFromAStartLeftOfOrAboveThePrimaryMonitor) {
  EXPECT_FALSE(MovedBeyondSlack(-1280, -200, -1276, -204));
  EXPECT_TRUE(MovedBeyondSlack(-1280, -200, -1286, -200));
  EXPECT_TRUE(MovedBeyondSlack(-2147483647 - 1, 0, 2147483647, 0));
}

}  // namespace
}  // namespace tpl
