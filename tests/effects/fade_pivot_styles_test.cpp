// The fade and the pivots (styles 118-122): the blend kernels against the rule over every byte
// pair and percentage, RotateImage against the per-pixel formula (64-bit, also where a 32-bit
// one wraps), and the styles against plain models over the grid.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "effects/blend_rows.h"
#include "effects/pixel_effects.h"
#include "tests/effects/effect_model.h"

namespace qm {
namespace {

using test::NoisePicture;
using test::Px;
using test::SameBitmaps;

// Each colour byte mixed by the rule; the fourth byte of the old pixel kept.
uint32_t ModelBlend(uint32_t old_pixel, uint32_t new_pixel, int32_t percent) {
  uint32_t out = old_pixel & 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8) {
    const int32_t d = (old_pixel >> shift) & 0xFF, s = (new_pixel >> shift) & 0xFF;
    out |= static_cast<uint32_t>(((100 - percent) * d + percent * s) / 100) << shift;
  }
  return out;
}

TEST(BlendKernels, EveryPathFollowsTheRuleForEveryBytePairAndPercentage) {
  // Pixel i holds the pair (i >> 8, i & 255) in blue, the pair swapped in green, both inverted
  // in red, and different fourth bytes; 7 more pixels and an odd start reach the loops' tails
  // and unaligned rows.
  constexpr std::size_t kCount = 65536 + 7;
  std::vector<uint32_t> old_row(kCount + 1), new_row(kCount + 1);
  for (std::size_t i = 0; i < kCount; ++i) {
    const uint32_t a = (i >> 8) & 0xFF, b = i & 0xFF;
    old_row[i + 1] = a | b << 8 | (255 - a) << 16 | static_cast<uint32_t>(i * 37 & 0xFF) << 24;
    new_row[i + 1] = b | a << 8 | (255 - b) << 16 | static_cast<uint32_t>(i * 91 & 0xFF) << 24;
  }
  const auto kernels = SupportedRows(blend::BlendRows());
  ASSERT_STREQ(kernels.back().name, "portable");
  for (const auto& kernel : kernels) {
    for (int32_t percent = 0; percent <= 100; ++percent) {
      // Mixed in place (the fade drawn over the screen) and into a row apart (composed from
      // the old contents).
      std::vector<uint32_t> row = old_row, apart(old_row.size(), 0x5A5A5A5A);
      kernel.function(reinterpret_cast<uint8_t*>(row.data() + 1),
                      reinterpret_cast<const uint8_t*>(row.data() + 1),
                      reinterpret_cast<const uint8_t*>(new_row.data() + 1), kCount, percent);
      kernel.function(reinterpret_cast<uint8_t*>(apart.data() + 1),
                      reinterpret_cast<const uint8_t*>(old_row.data() + 1),
                      reinterpret_cast<const uint8_t*>(new_row.data() + 1), kCount, percent);
      EXPECT_TRUE(std::equal(row.begin() + 1, row.begin() + 1 + kCount, apart.begin() + 1))
          << kernel.name << " percent " << percent;
      long wrong = 0;
      for (std::size_t i = 1; i <= kCount; ++i)
        wrong += row[i] != ModelBlend(old_row[i], new_row[i], percent);
      EXPECT_EQ(row[0], old_row[0]) << kernel.name;
      ASSERT_EQ(wrong, 0) << kernel.name << " percent " << percent;
    }
  }
}

struct TBlendExample {
  uint32_t old_pixel, new_pixel;
  int32_t progress;
  uint32_t expected;
};

// Runs of every length up to a few vectors, in every direction, read the same pixels through
// every supported kernel, whether the row they are told comes later lies in the picture or far
// outside it.
TEST(TurnKernels, EveryPathReadsThePortablePixels) {
  const TBitmap picture = test::NoisePicture(37, 23, 5);
  const auto* bits = reinterpret_cast<const uint32_t*>(picture.Bits());
  const auto kernels = SupportedRows(TurnRows());
  ASSERT_STREQ(kernels.back().name, "portable");
  for (int angle = 0; angle < 360; angle += 7) {
    const auto c = static_cast<int64_t>(std::cos(angle * std::numbers::pi / 180) * 65536);
    const auto s = static_cast<int64_t>(std::sin(angle * std::numbers::pi / 180) * 65536);
    // From the centre, 17 pixels stay inside the picture in any direction.
    const int64_t u = 18 * 65536 + angle * 97, v = 11 * 65536 + angle * 53;
    for (int64_t count = 0; count <= 17; ++count) {
      std::vector<uint32_t> want(18, 7);
      kernels.back().function(bits, 37, u, v, c / 2, s / 2, want.data(), count, 0, 0);
      for (const auto& kernel : kernels) {
        for (const int64_t ahead : {int64_t{2}, int64_t{1} << 29}) {
          std::vector<uint32_t> got(18, 7);
          kernel.function(bits, 37, u, v, c / 2, s / 2, got.data(), count, -ahead * s, ahead * c);
          ASSERT_EQ(got, want) << kernel.name << " angle " << angle << " count " << count;
        }
      }
    }
  }
}

TEST(Fade, WorkedExamples) {
  static constexpr TBlendExample kRows[] = {
      {0x00000000, 0x00FFFFFF, 1, 0x00020202},    // 255 over 0 at 1 percent: 2
      {0x00102030, 0x00305070, 50, 0x00203850},   // at 50: (old + new) div 2
      {0x00FF00FF, 0x0000FF01, 50, 0x007F7F80},   // halves cut down
      {0xAB000000, 0x12FFFFFF, 99, 0xABFCFCFC},   // the fourth byte stays the old one
      {0x00FFFFFF, 0x00FFFFFF, 37, 0x00FFFFFF}};  // never above 255
  for (const auto& row : kRows) {
    TBitmap screen(3, 1, PixelFormat::pf32bit), picture(3, 1, PixelFormat::pf32bit);
    for (int x = 0; x < 3; ++x) {
      std::memcpy(screen.ScanLine(0) + 4 * x, &row.old_pixel, 4);
      std::memcpy(picture.ScanLine(0) + 4 * x, &row.new_pixel, 4);
    }
    const TBitmap out = test::RunStyle(118, screen, picture, 4, row.progress);
    for (int x = 0; x < 3; ++x) EXPECT_EQ(Px(out, x, 0), row.expected) << row.progress;
  }
}

// The pivot's fixed-point sine and cosine of (100 - progress) * pi / 200.
struct TSinCos {
  int64_t s, c;
};
TSinCos PivotSinCos(int32_t progress) {
  const long double angle = (100 - progress) * std::numbers::pi_v<long double> / 200;
  return {static_cast<int64_t>(std::trunc(std::sin(angle) * 65536)),
          static_cast<int64_t>(std::trunc(std::cos(angle) * 65536))};
}

// RotateImage pixel by pixel as written, the sums either exact (64 bits) or wrapping in 32.
void ModelRotate(TBitmap& dest, const TBitmap& source, int64_t px, int64_t py, TSinCos sc,
                 bool wrap32) {
  const int64_t w = source.Width(), h = source.Height();
  auto shifted = [&](int64_t v) {
    if (wrap32) v = static_cast<int32_t>(static_cast<uint32_t>(v));
    return v >= 0 ? v / 65536 : -((-v + 65535) / 65536);  // toward minus infinity
  };
  for (int64_t y = h - 1; y >= 0; --y)
    for (int64_t x = w - 1; x >= 0; --x) {
      const int64_t dx = x - px, dy = y - py;
      const int64_t sx = px + shifted(dx * sc.c - dy * sc.s);
      const int64_t sy = py + shifted(dx * sc.s + dy * sc.c);
      if (sx >= 0 && sx < w && sy >= 0 && sy < h)
        std::memcpy(dest.ScanLine(static_cast<int>(y)) + 4 * x,
                    source.ScanLine(static_cast<int>(sy)) + 4 * sx, 4);
    }
}

TEST(RotateImage, PivotSineAndCosineSamples) {
  static constexpr struct {
    int32_t progress;
    int64_t s, c;
  } kRows[] = {{1, 65527, 1029},
               {25, 60547, 25079},
               {50, 46340, 46340},
               {75, 25079, 60547},
               {99, 1029, 65527}};
  for (const auto& row : kRows) {
    const TSinCos sc = PivotSinCos(row.progress);
    EXPECT_EQ(sc.s, row.s) << row.progress;
    EXPECT_EQ(sc.c, row.c) << row.progress;
  }
}

TEST(RotateImage, MatchesTheFormulaForAnyPivotAndAngle) {
  static constexpr int kSizes[][2] = {{1, 1}, {7, 5}, {5, 7}, {33, 20}, {64, 1}, {1, 64}};
  static constexpr long double kAngles[] = {
      0.0L, 0.3L, 1.0L, 1.5707963267948966L, 2.5L, 3.2L, 4.0L, 5.5L, -0.7L, -2.0L, 100.0L};
  for (const auto& size : kSizes) {
    const int w = size[0], h = size[1];
    const TBitmap picture = NoisePicture(w, h, 2), old_contents = NoisePicture(w, h, 1);
    const int32_t pivots[][2] = {{-1, -1}, {w, h},         {w / 2, h / 2}, {-40, 3},
                                 {3, 90},  {-1000, -1000}, {w + 17, -5}};
    for (const auto& pivot : pivots)
      for (long double angle : kAngles) {
        TBitmap expected = old_contents, actual = old_contents;
        const TSinCos sc{static_cast<int64_t>(std::trunc(std::sin(angle) * 65536)),
                         static_cast<int64_t>(std::trunc(std::cos(angle) * 65536))};
        ModelRotate(expected, picture, pivot[0], pivot[1], sc, false);
        RotateImage(actual, picture, pivot[0], pivot[1], angle);
        ASSERT_TRUE(SameBitmaps(expected, actual))
            << w << "x" << h << " pivot " << pivot[0] << "," << pivot[1] << " angle "
            << static_cast<double>(angle);
        // Turned onto itself: each pixel read before or after it is overwritten, as in the rule.
        TBitmap self_expected = picture, self_actual = picture;
        ModelRotate(self_expected, self_expected, pivot[0], pivot[1], sc, false);
        RotateImage(self_actual, self_actual, pivot[0], pivot[1], angle);
        ASSERT_TRUE(SameBitmaps(self_expected, self_actual)) << "onto itself";
      }
  }
}

TEST(RotateImage, PicturesWiderThan32767AreMappedExactly) {
  // Offsets from the pivot beyond 32767 times a cosine near 65536 pass 2^31: there a 32-bit
  // rule wraps and maps pixels wrongly. Turns of 0, a hair and a half turn keep the long rows in
  // the picture, so the wrapped rule shows; the pivot angles check exactness on such sizes.
  constexpr long double kHair = 1e-6L, kHalf = std::numbers::pi_v<long double>;
  struct TCase {
    int w, h;
    int32_t px, py;
    long double angle;
    bool wraps;  // a 32-bit rule would give another picture
  };
  const TCase kCases[] = {{40000, 1, 0, 0, 0.0L, true},
                          {40000, 1, -1, 0, kHair, true},
                          {40000, 1, 39999, 0, kHalf, true},
                          {1, 40000, 0, -1, kHair, true},
                          {40000, 1, -30000, 0, 0.0L, true},
                          {2, 40000, 1, 40000, kHalf, true},
                          {40000, 2, -1, -1, 99 * kHalf / 200, false},
                          {40000, 2, 40000, 2, kHalf / 200, false},
                          {3, 40000, 3, -1, kHalf / 4, false}};
  for (const auto& k : kCases) {
    const TBitmap picture = NoisePicture(k.w, k.h, 2), old_contents = NoisePicture(k.w, k.h, 1);
    TBitmap exact = old_contents, wrapped = old_contents, actual = old_contents;
    const TSinCos sc{static_cast<int64_t>(std::trunc(std::sin(k.angle) * 65536)),
                     static_cast<int64_t>(std::trunc(std::cos(k.angle) * 65536))};
    ModelRotate(exact, picture, k.px, k.py, sc, false);
    ModelRotate(wrapped, picture, k.px, k.py, sc, true);
    RotateImage(actual, picture, k.px, k.py, k.angle);
    const std::string what = std::to_string(k.w) + "x" + std::to_string(k.h) + " pivot " +
                             std::to_string(k.px) + "," + std::to_string(k.py);
    EXPECT_TRUE(SameBitmaps(exact, actual)) << what;
    EXPECT_EQ(!SameBitmaps(exact, wrapped), k.wraps) << what;
  }
}

TEST(Pivot, WorkedExamples) {
  const TBitmap old_contents = NoisePicture(800, 600, 1), picture = NoisePicture(800, 600, 2);
  auto is_old = [&](const TBitmap& out, int x, int y) {
    return Px(out, x, y) == Px(old_contents, x, y);
  };
  // At 99 percent a wedge of old contents stays along the bottom edge: at the right edge the
  // last 12 rows, on the bottom row from x = 68 (69 pixels from the pivot) on.
  const TBitmap late = test::RunStyle(119, old_contents, picture, 4, 99);
  EXPECT_FALSE(is_old(late, 799, 587));
  EXPECT_TRUE(is_old(late, 799, 588));
  EXPECT_FALSE(is_old(late, 67, 599));
  EXPECT_TRUE(is_old(late, 68, 599));
  // Column 0 keeps the old contents in every frame; at 1 percent nearly all of it stays.
  for (int32_t progress = 1; progress <= 99; progress += 7) {
    const TBitmap out = test::RunStyle(119, old_contents, picture, 4, progress);
    for (int y = 0; y < 600; ++y) ASSERT_TRUE(is_old(out, 0, y)) << progress << " row " << y;
  }
  const TBitmap early = test::RunStyle(119, old_contents, picture, 4, 1);
  long kept = 0;
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x) kept += is_old(early, x, y);
  EXPECT_GT(kept, 800 * 600 * 98 / 100);
}

TEST(FadeAndPivots, MatchThePlainModelsOverTheGrid) {
  for (const auto& g : test::EffectGrid()) {
    const TBitmap old_contents = NoisePicture(g.W, g.H, 1), picture = NoisePicture(g.W, g.H, 2);
    TBitmap fade = old_contents;
    for (int y = 0; y < g.H; ++y)
      for (int x = 0; x < g.W; ++x) {
        const uint32_t v = ModelBlend(Px(old_contents, x, y), Px(picture, x, y), g.Progress);
        std::memcpy(fade.ScanLine(y) + 4 * x, &v, 4);
      }
    ASSERT_TRUE(SameBitmaps(fade, test::RunStyle(118, old_contents, picture, g.Step, g.Progress)))
        << "fade " << g.Describe();
    for (int style = 119; style <= 122; ++style) {
      const bool right = style >= 121, bottom = style == 120 || style == 122;
      TBitmap expected = old_contents;
      ModelRotate(expected, picture, right ? g.W : -1, bottom ? g.H : -1, PivotSinCos(g.Progress),
                  false);
      ASSERT_TRUE(
          SameBitmaps(expected, test::RunStyle(style, old_contents, picture, g.Step, g.Progress)))
          << "style " << style << " " << g.Describe();
    }
  }
}

TEST(FadeAndPivots, OtherPixelFormatsAreDrawnThroughThirtyTwoBits) {
  // Should a handler hand the effect a screen or picture in another format, the frame is what
  // the 32-bit bitmaps would show, in the screen's own format.
  const TBitmap old24 = NoisePicture(23, 17, 1, PixelFormat::pf24bit);
  const TBitmap picture8 = NoisePicture(23, 17, 2, PixelFormat::pf8bit);
  TBitmap old32 = old24, picture32 = picture8;
  old32.ConvertTo(PixelFormat::pf32bit);
  picture32.ConvertTo(PixelFormat::pf32bit);
  for (int style = 118; style <= 122; ++style) {
    TBitmap out = test::RunStyle(style, old24, picture8, 4, 40);
    EXPECT_EQ(out.Format(), PixelFormat::pf24bit);
    out.ConvertTo(PixelFormat::pf32bit);
    EXPECT_TRUE(SameBitmaps(test::RunStyle(style, old32, picture32, 4, 40), out)) << style;
  }
}

TEST(FadeAndPivots, AreTheStylesThatNeedThirtyTwoBits) {
  for (const TEffect& e : kEffectTable)
    EXPECT_EQ(e.Needs32Bit(), e.Number >= 118 && e.Number <= 122) << e.Number;
}

}  // namespace
}  // namespace qm
