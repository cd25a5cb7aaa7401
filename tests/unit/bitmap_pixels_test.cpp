// The pixel operations behind BitmapData, checked against what the platform's
// documentation says each one does: premultiplied storage, the noise
// generator's sequence, fills, channel copies, threshold tests, comparisons,
// hit tests, scrolling, colour bounds and the dissolve order.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "bitmap_pixels.h"

namespace swf {
namespace {

struct RoundTripCase {
  std::uint32_t written;
  std::uint32_t read;
};

// A colour written into a transparent bitmap reads back through its
// premultiplied form: alpha 0 loses the colour, low alphas round it.
TEST(BitmapPixels, TransparentPixelsReadBackPremultiplied) {
  const RoundTripCase cases[] = {
      {0xAABBCCDD, 0xAABBCCDC}, {0x12345678, 0x12395571}, {0x0000000A, 0x00000000},
      {0xFFFFFFFE, 0xFFFFFFFE}, {0x907F7F7F, 0x907F7F7F}, {0x80FF0000, 0x80FF0000},
  };
  for (const auto& c : cases) {
    PixelBitmap bitmap(1, 1, true, 0);
    bitmap.SetPixel32(0, 0, c.written);
    EXPECT_EQ(bitmap.GetPixel32(0, 0), c.read) << std::hex << c.written;
  }
}

TEST(BitmapPixels, OpaqueBitmapsKeepColoursAndForceAlpha) {
  PixelBitmap bitmap(2, 1, false, 0x12345678);
  EXPECT_EQ(bitmap.GetPixel32(0, 0), 0xFF345678u);
  bitmap.SetPixel(1, 0, 0xAB010203);  // setPixel takes the colour only
  EXPECT_EQ(bitmap.GetPixel32(1, 0), 0xFF010203u);
  EXPECT_EQ(bitmap.GetPixel32(2, 0), 0u);  // outside
}

// The minimal standard generator: 16807^n mod 2^31 - 1 from seed 1.
TEST(BitmapPixels, NoiseGeneratorFollowsTheMinimalStandardSequence) {
  NoiseRandom one(1);
  EXPECT_EQ(one.Next(), 16807u);
  EXPECT_EQ(one.Next(), 282475249u);
  EXPECT_EQ(one.Next(), 1622650073u);
  // Seeds of 0 or less count as 1 - seed.
  for (const auto& [seed, same] : std::vector<std::pair<int, int>>{{0, 1}, {-1, 2}, {-2, 3}}) {
    NoiseRandom a(seed), b(same);
    EXPECT_EQ(a.Next(), b.Next()) << seed;
  }
}

TEST(BitmapPixels, NoiseTakesEachChannelFromTheSequenceInTurn) {
  PixelBitmap bitmap(2, 1, false, 0);
  bitmap.Noise(128, 0, 255, kChannelRed | kChannelGreen | kChannelBlue, false);
  NoiseRandom random(128);
  std::uint32_t expected[2] = {};
  for (auto& pixel : expected) {
    const std::uint32_t r = random.Next() % 256, g = random.Next() % 256, b = random.Next() % 256;
    pixel = 0xFF000000u | (r << 16) | (g << 8) | b;
  }
  EXPECT_EQ(bitmap.GetPixel32(0, 0), expected[0]);
  EXPECT_EQ(bitmap.GetPixel32(1, 0), expected[1]);
  EXPECT_EQ(bitmap.GetPixel32(0, 0), 0xFF8090E0u);
  // A range from 10 to 2 gives 10 everywhere; gray puts one value in all three.
  bitmap.Noise(5, 10, 2, kChannelBlue, false);
  EXPECT_EQ(bitmap.GetPixel32(1, 0), 0xFF00000Au);
  bitmap.Noise(5, 0, 255, kChannelRed, true);
  const std::uint32_t gray = bitmap.GetPixel32(0, 0) & 0xFFu;
  EXPECT_EQ(bitmap.GetPixel32(0, 0), 0xFF000000u | gray * 0x010101u);
}

// Noise with alpha keeps each colour premultiplied with a division by 256,
// rounded; reading it back divides by alpha again. A gray of 214 at alpha
// 247 so reads 213, where setPixel32's division by 255 would give 214 back.
TEST(BitmapPixels, NoiseWithAlphaReadsBackThroughItsOwnPremultiply) {
  struct Case {
    std::int32_t seed;
    int width;
  };
  const Case cases[] = {{128, 9}, {1, 16}, {77, 16}};
  int differFromSetPixel = 0;
  for (const Case& c : cases) {
    PixelBitmap noisy(c.width, 1, true, 0);
    noisy.Noise(c.seed, 0, 255, kChannelRed | kChannelAlpha, true);
    NoiseRandom random(c.seed);
    for (int x = 0; x < c.width; ++x) {
      const std::uint32_t gray = random.Next() % 256, alpha = random.Next() % 256;
      std::uint32_t channel = 0;
      if (alpha == 255) {
        channel = gray;
      } else if (alpha != 0) {
        const std::uint32_t kept = (gray * alpha + 128) / 256;
        channel = std::min<std::uint32_t>((kept * 255 + (alpha - 1) / 2) / alpha, 255);
      }
      const std::uint32_t expected = alpha == 0 ? 0 : alpha << 24 | channel * 0x010101u;
      EXPECT_EQ(noisy.GetPixel32(x, 0), expected) << c.seed << " at " << x;
      PixelBitmap written(1, 1, true, 0);
      written.SetPixel32(0, 0, alpha << 24 | gray * 0x010101u);
      if (written.GetPixel32(0, 0) != noisy.GetPixel32(x, 0)) ++differFromSetPixel;
    }
  }
  // The two roundings part somewhere in these rows (seed 128's fifth pixel).
  EXPECT_GT(differFromSetPixel, 0);
}

struct FloodCase {
  std::string name;
  int x, y;
  std::uint32_t color;
  bool changed;
  int filled;  // pixels of the new colour afterwards
};

// A 4x4 bitmap split by a vertical wall at x = 2: filling one side stops at it.
TEST(BitmapPixels, FloodFillFillsTheConnectedRegionOnly) {
  const FloodCase cases[] = {
      {"left_side", 0, 0, 0xFF112233, true, 8},
      {"wall", 2, 3, 0xFF112233, true, 4},
      {"same_colour", 3, 3, 0xFFFFFFFF, false, 12},
      {"outside", 4, 0, 0xFF112233, false, 0},
  };
  for (const auto& c : cases) {
    PixelBitmap bitmap(4, 4, false, 0xFFFFFFFF);
    bitmap.FillRect({2, 0, 1, 4}, 0xFF000000);
    EXPECT_EQ(bitmap.FloodFill(c.x, c.y, c.color), c.changed) << c.name;
    int count = 0;
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 4; ++x) count += bitmap.GetPixel32(x, y) == (c.color | 0xFF000000u) ? 1 : 0;
    }
    EXPECT_EQ(count, c.filled) << c.name;
  }
}

struct ChannelCase {
  std::uint32_t from, to;
  std::uint32_t expected;
};

TEST(BitmapPixels, CopyChannelMovesOneChannelIntoAnother) {
  const ChannelCase cases[] = {
      {kChannelRed, kChannelBlue, 0xFF102011},   // red 0x11 into blue
      {kChannelGreen, kChannelRed, 0xFF222030},  // green 0x22 into red
      {3, kChannelGreen, 0xFF100030},            // no single channel: 0
      {kChannelRed, 5, 0xFF102030},              // no destination: unchanged
      {kChannelRed, kChannelAlpha, 0xFF102030},  // an opaque bitmap keeps its alpha
  };
  const PixelBitmap source(2, 2, false, 0xFF112233);
  for (const auto& c : cases) {
    PixelBitmap bitmap(2, 2, false, 0xFF102030);
    bitmap.CopyChannel(source, {0, 0, 1, 1}, 1, 1, c.from, c.to);
    EXPECT_EQ(bitmap.GetPixel32(1, 1), c.expected) << c.from << "->" << c.to;
    EXPECT_EQ(bitmap.GetPixel32(0, 0), 0xFF102030u);
  }
}

struct ThresholdCase {
  std::string operation;
  std::optional<int> passed;
};

// Source pixels 0xFF000010, 0xFF000020, 0xFF000030 against 0x20 under mask 0xFF.
TEST(BitmapPixels, ThresholdCountsAndPaintsThePixelsThatPass) {
  const ThresholdCase cases[] = {{"<", 1}, {"<=", 2}, {">", 1}, {">=", 2}, {"==", 1}, {"!=", 2}, {"=", std::nullopt}};
  for (const auto& c : cases) {
    PixelBitmap source(3, 1, false, 0);
    for (int x = 0; x < 3; ++x) source.SetPixel32(x, 0, 0xFF000010u * static_cast<std::uint32_t>(x + 1));
    PixelBitmap target(3, 1, false, 0xFFFFFFFF);
    EXPECT_EQ(target.Threshold(source, source.Bounds(), 0, 0, c.operation, 0x20, 0xFFFF0000, 0xFF, false), c.passed)
        << c.operation;
    int red = 0;
    for (int x = 0; x < 3; ++x) red += target.GetPixel32(x, 0) == 0xFFFF0000u ? 1 : 0;
    EXPECT_EQ(red, c.passed.value_or(0)) << c.operation;
  }
  // copySource writes the failing pixels from the source.
  PixelBitmap source(1, 1, false, 0xFF000001);
  PixelBitmap target(1, 1, false, 0xFFFFFFFF);
  EXPECT_EQ(target.Threshold(source, source.Bounds(), 0, 0, ">", 0xFF, 0xFFFF0000, 0xFF, true), 0);
  EXPECT_EQ(target.GetPixel32(0, 0), 0xFF000001u);
}

TEST(BitmapPixels, CompareGivesColourOrAlphaDifferences) {
  PixelBitmap a(3, 1, true, 0xFFAABBCC), b(3, 1, true, 0xFFAABBCC);
  EXPECT_FALSE(a.Compare(b).has_value());
  a.SetPixel32(0, 0, 0xFFDDEEFF);
  b.SetPixel32(1, 0, 0xFEAABBCC);
  const auto difference = a.Compare(b);
  ASSERT_TRUE(difference.has_value());
  EXPECT_EQ(difference->GetPixel32(0, 0), 0xFF333333u);  // colour: this minus other, per channel
  EXPECT_EQ(difference->GetPixel32(1, 0), 0x01FFFFFFu);  // alpha only: white with the alpha difference
  EXPECT_EQ(difference->GetPixel32(2, 0), 0u);
}

struct HitCase {
  std::string name;
  bool hit;
};

// A 5x5 transparent bitmap with a 3x3 block of alpha 160 and an opaque centre.
TEST(BitmapPixels, HitTestsCompareAlphaWithTheThreshold) {
  PixelBitmap bitmap(5, 5, true, 0);
  bitmap.FillRect({1, 1, 3, 3}, 0xA0FFFFFF);
  bitmap.SetPixel32(2, 2, 0xFFFFFFFF);
  const HitCase cases[] = {
      {"point_opaque", bitmap.HitPoint(2, 2, 255)},
      {"point_at_threshold", bitmap.HitPoint(1, 1, 160)},
      {"!point_below_threshold", bitmap.HitPoint(1, 1, 161)},
      {"!point_transparent_threshold_0", bitmap.HitPoint(0, 0, 0)},
      {"!point_outside", bitmap.HitPoint(-1, 2, 0)},
      {"area_reaching_the_centre", bitmap.HitArea({2, 2, 5, 5}, 255)},
      {"area_threshold_0", bitmap.HitArea({0, 0, 1, 1}, 0)},
      {"!area_missing_the_centre", bitmap.HitArea({3, 3, 2, 2}, 255)},
      {"bitmaps_overlapping_blocks", bitmap.HitBitmap(2, 1, 160, bitmap, 1, 3, 160)},
      {"!bitmaps_centre_on_transparent", bitmap.HitBitmap(1, 1, 255, bitmap, 3, 3, 160)},
  };
  for (const auto& c : cases) {
    const bool expected = c.name[0] != '!';
    EXPECT_EQ(c.hit, expected) << c.name;
  }
}

TEST(BitmapPixels, ScrollMovesPixelsAndKeepsWhatIsUncovered) {
  PixelBitmap bitmap(3, 1, false, 0);
  for (int x = 0; x < 3; ++x) bitmap.SetPixel32(x, 0, static_cast<std::uint32_t>(x + 1));
  bitmap.Scroll(1, 0);
  EXPECT_EQ(bitmap.GetPixel32(0, 0), 0xFF000001u);
  EXPECT_EQ(bitmap.GetPixel32(1, 0), 0xFF000001u);
  EXPECT_EQ(bitmap.GetPixel32(2, 0), 0xFF000002u);
}

TEST(BitmapPixels, ColorBoundsEncloseTheMatchingPixels) {
  PixelBitmap bitmap(6, 6, false, 0xFFFFFFFF);
  bitmap.SetPixel32(1, 2, 0xFFFF0000);
  bitmap.SetPixel32(4, 3, 0xFFFF0000);
  const PixelArea found = bitmap.ColorBounds(0xFFFFFFFF, 0xFFFF0000, true);
  EXPECT_EQ(found.x, 1);
  EXPECT_EQ(found.y, 2);
  EXPECT_EQ(found.width, 4);
  EXPECT_EQ(found.height, 2);
  EXPECT_TRUE(bitmap.ColorBounds(0xFFFFFFFF, 0xFF00FF00, true).Empty());
  const PixelArea notWhite = bitmap.ColorBounds(0xFFFFFFFF, 0xFFFFFFFF, false);
  EXPECT_EQ(notWhite.width, 4);
}

// Each call writes the seed's pixel and one more per step; every pixel is
// reached once before any is reached again.
TEST(BitmapPixels, DissolveReachesEveryPixelOnceInTurn) {
  for (const auto& [width, height] : std::vector<std::pair<int, int>>{{10, 10}, {7, 9}, {150, 2}}) {
    PixelBitmap bitmap(width, height, false, 0xFFCCCCCC);
    const int total = width * height;
    int seed = 0;
    for (int round = 1; round <= total; ++round) {
      seed = bitmap.PixelDissolve(bitmap, bitmap.Bounds(), 0, 0, seed, 1, 0xFFFF0000);
      int red = 0;
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) red += bitmap.GetPixel32(x, y) == 0xFFFF0000u ? 1 : 0;
      }
      ASSERT_EQ(red, std::min(round + 1, total)) << width << "x" << height << " round " << round;
    }
  }
}

TEST(BitmapPixels, CopyPixelsWithAlphaBitmapAndMerge) {
  const PixelBitmap source(2, 1, true, 0xFF0000FF);
  PixelBitmap alpha(2, 1, true, 0x00000000);
  alpha.SetPixel32(1, 0, 0x80000000);
  PixelBitmap target(2, 1, true, 0xFFFF0000);
  target.CopyPixels(source, source.Bounds(), 0, 0, &alpha, 0, 0, true);
  EXPECT_EQ(target.GetPixel32(0, 0), 0xFFFF0000u);  // alpha 0 there: the target shows through
  const std::uint32_t mixed = target.GetPixel32(1, 0);
  EXPECT_EQ(mixed >> 24, 0xFFu);
  EXPECT_NEAR(static_cast<int>((mixed >> 16) & 0xFF), 127, 1);
  EXPECT_NEAR(static_cast<int>(mixed & 0xFF), 128, 1);
  // Without merging, the source replaces what is there.
  PixelBitmap plain(2, 1, true, 0xFFFF0000);
  plain.CopyPixels(source, {1, 0, 1, 1}, 0, 0, nullptr, 0, 0, false);
  EXPECT_EQ(plain.GetPixel32(0, 0), 0xFF0000FFu);
}

TEST(BitmapPixels, ColorTransformScalesAndOffsetsChannels) {
  PixelBitmap bitmap(1, 1, false, 0xFF804020);
  bitmap.ApplyColorTransform(bitmap.Bounds(), {0.5, 2, 1, 1, 10, 0, -0x30, 0});
  EXPECT_EQ(bitmap.GetPixel32(0, 0), 0xFF4A8000u);
}

}  // namespace
}  // namespace swf
