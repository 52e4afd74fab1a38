// The region styles of 123-150 (speckles, random squares, blinds, rectangular shred, sweeps,
// rectangle bands, rotating shapes) against plain models: each style's shapes listed as the
// style describes them, every pixel inside a shape taken from the new picture, compared pixel
// for pixel over the grid and several generator seeds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "platform/random.h"
#include "tests/effects/effect_model.h"

namespace qm {
namespace {

using test::NoisePicture;
using test::Px;
using test::SameBitmaps;

constexpr long double kPi = std::numbers::pi_v<long double>;

// The pixels covered by a set of shapes. A rectangle covers Left <= x < Right, Top <= y <
// Bottom (corners put in order). A polygon covers the pixels whose centre has a non-zero
// winding number, counting the edges that cross the centre's row at or left of the centre: so
// a centre exactly on an edge is inside where that edge starts a run and outside where it ends
// one.
class TShapes {
 public:
  TShapes(int w, int h) : w_(w), h_(h), in_(static_cast<std::size_t>(w) * h) {}

  void Rect(int64_t l, int64_t t, int64_t r, int64_t b) {
    if (l > r) std::swap(l, r);
    if (t > b) std::swap(t, b);
    for (int64_t y = std::max<int64_t>(t, 0); y < std::min<int64_t>(b, h_); ++y)
      for (int64_t x = std::max<int64_t>(l, 0); x < std::min<int64_t>(r, w_); ++x) Set(x, y);
  }

  void Polygon(const std::vector<TPoint>& p) {
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) {
        int winding = 0;
        for (std::size_t i = 0; i < p.size(); ++i) {
          const TPoint a = p[i], b = p[(i + 1) % p.size()];
          const int64_t dy = int64_t{b.Y} - a.Y, row2 = 2 * int64_t{y} + 1;
          if (dy == 0 || row2 <= 2 * int64_t{std::min(a.Y, b.Y)} ||
              row2 >= 2 * int64_t{std::max(a.Y, b.Y)})
            continue;
          // 2 dy times the crossing's x, against 2 dy times the centre's x.
          const int64_t cross = 2 * int64_t{a.X} * dy + (row2 - 2 * int64_t{a.Y}) * (b.X - a.X);
          const int64_t centre = (2 * int64_t{x} + 1) * dy;
          if (dy > 0 ? cross <= centre : cross >= centre) winding += dy > 0 ? 1 : -1;
        }
        if (winding != 0) Set(x, y);
      }
  }

  void DrawOnto(TBitmap& screen, const TBitmap& picture) const {
    test::ModelDrawWhere(screen, picture, [&](int32_t x, int32_t y) {
      return in_[static_cast<std::size_t>(y) * w_ + x];
    });
  }

 private:
  void Set(int64_t x, int64_t y) { in_[static_cast<std::size_t>(y * w_ + x)] = true; }
  int w_, h_;
  std::vector<bool> in_;
};

// The progress extents, and the longer side scaled by Step over 90.
struct TSizes {
  int32_t W, H, PW, PH, Span, P;
};

// Side divided by the span, by 1 when the span is 0.
int32_t Per(int32_t side, int32_t span) {
  return side / (span == 0 ? 1 : span);
}

// One speckle pass: the strip of extent p along the side (columns, or rows when `vertical`),
// at its far end or its near end, with squares beyond its edge band by band.
void Speckles(TShapes& shapes, const TSizes& s, bool vertical, bool far) {
  const int32_t side = vertical ? s.H : s.W, across = vertical ? s.W : s.H;
  const int32_t p = vertical ? s.PH : s.PW;
  auto rect = [&](int32_t a0, int32_t a1, int32_t b0, int32_t b1) {
    vertical ? shapes.Rect(b0, a0, b1, a1) : shapes.Rect(a0, b0, a1, b1);
  };
  const int32_t e = p < side ? side / 10 : 0, z = std::max(e / 20, 2), n = e / z, t = 3 * e / z / 4;
  for (int32_t b = 0; b < across; b += z / 2) {
    far ? rect(side - p, side, b, b + z) : rect(0, p, b, b + z);
    for (int32_t i = n; i >= 1; --i) {
      const int32_t k = RandomBelow(i);
      if (!(i <= t ? k <= 1 : k == 0)) continue;
      far ? rect(side - p - i * z, side - p - i * z + z, b, b + z)
          : rect(p + i * z - z, p + i * z, b, b + z);
    }
  }
}

// Strips [a, b) shifted by `by` while `more` holds; a shift of 0 or less: the first only.
template <class TMore, class TAdd>
void Strips(int32_t a, int32_t b, int32_t by, TMore more, TAdd add) {
  for (; more(a, b); a += by, b += by) {
    add(a, b);
    if (by == 0) break;
  }
}

void BlindStrips(TShapes& shapes, const TSizes& s, int style) {
  const int32_t B = style == 136   ? Per(s.W, s.Span)
                    : style == 137 ? Per(s.H, s.Span)
                    : style <= 139 ? s.PW
                                   : s.PH;
  const int32_t L = B * s.P / 100;
  auto columns = [&](int32_t l, int32_t r) { shapes.Rect(l, 0, r, s.H); };
  auto rows = [&](int32_t t, int32_t b) { shapes.Rect(0, t, s.W, b); };
  const int32_t step = B <= 0 ? 0 : B;  // a pitch of 0 or less: the first strip only
  switch (style) {
    case 136:
    case 138:
      Strips(
          0, L, step, [&](int32_t l, int32_t) { return l < s.W; }, columns);
      break;
    case 139:
      Strips(
          s.W - L, s.W, -step, [&](int32_t, int32_t r) { return r >= 0; }, columns);
      break;
    case 137:
    case 140:
      Strips(
          0, L, step, [&](int32_t t, int32_t) { return t < s.H; }, rows);
      break;
    default:  // 141
      Strips(
          s.H - L, s.H, -step, [&](int32_t, int32_t b) { return b >= 0; }, rows);
  }
}

std::vector<TPoint> Turned(std::vector<TPoint> points, int32_t cx, int32_t cy, long double a) {
  for (TPoint& p : points) {
    const long double dx = p.X - cx, dy = p.Y - cy;
    p = Point(static_cast<int32_t>(std::nearbyint(dx * std::cos(a) - dy * std::sin(a))) + cx,
              static_cast<int32_t>(std::nearbyint(dx * std::sin(a) + dy * std::cos(a))) + cy);
  }
  return points;
}

// The shapes of style `style` at one frame (random styles draw from the generator).
void ModelShapes(TShapes& shapes, int style, const TSizes& s) {
  switch (style) {
    case 123:
      return Speckles(shapes, s, false, true);
    case 124:
      return Speckles(shapes, s, false, false);
    case 125:
      return Speckles(shapes, s, true, true);
    case 126:
      return Speckles(shapes, s, true, false);
    case 127: {
      SetRandomSeed(static_cast<uint32_t>(s.W * s.H));
      const int32_t z = s.Span == 0 ? 1 : s.Span > 1 ? s.Span / 2 : s.Span;
      for (int32_t x = 0; x < s.W; x += z)
        for (int32_t y = 0; y < s.H; y += z)
          if (s.P > RandomBelow(100)) shapes.Rect(x - z, y - z, x + z, y + z);
      return;
    }
    case 142: {
      int32_t k = s.Span == 0 ? 1 : s.Span;
      const int32_t hw = s.PW / k, hh = s.PH / k;
      if (k > 1) k /= 2;
      const int32_t cw = s.W / k, ch = s.H / k;
      if (hw > 0 && hh > 0)  // otherwise every rectangle is empty
        for (int32_t j = k; j >= 0; --j)
          for (int32_t i = k; i >= 0; --i)
            shapes.Rect(i * cw - hw, j * ch - hh, i * cw + hw, j * ch + hh);
      return;
    }
    case 143:
    case 144: {
      const int32_t cx = s.W / 2, cy = s.H / 2;
      const auto radius = static_cast<int32_t>(std::ceil(std::sqrt(static_cast<long double>(
          static_cast<int64_t>(cx) * cx + static_cast<int64_t>(cy) * cy))));
      const long double end = style == 143 ? s.P * kPi / 50 - kPi / 2 : s.P * (-kPi) / 50 - kPi / 2;
      const long double delta = (end + kPi / 2) / s.P;
      std::vector<TPoint> fan{Point(cx, cy)};
      long double a = -kPi / 2;
      for (int32_t k = 1; k <= s.P; ++k, a += delta)
        fan.push_back(Point(cx + static_cast<int32_t>(std::nearbyint(radius * std::cos(a))),
                            cy + static_cast<int32_t>(std::nearbyint(radius * std::sin(a)))));
      return shapes.Polygon(fan);
    }
    case 145:
    case 146:
    case 147:
    case 148: {
      const bool across_rows = style <= 146;  // horizontal bands
      const int32_t B = across_rows ? Per(s.H, s.Span) : Per(s.W, s.Span);
      const int32_t t = B * s.P / 200;
      const int32_t side = across_rows ? s.H : s.W;
      for (int32_t a = B / 2 - t, b = B / 2 + t; a < side; a += B, b += B) {
        if (across_rows)
          shapes.Rect(0, a, s.W, b);
        else
          shapes.Rect(a, 0, b, s.H);
        if (B <= 0) break;
      }
      return BlindStrips(shapes, s, style - 7);  // family B: as styles 138-141
    }
    case 149:
    case 150: {
      const int32_t cx = s.W / 2, cy = s.H / 2, hw = s.PW / 2, hh = s.PH / 2;
      const std::vector<TPoint> shape =
          style == 149 ? std::vector<TPoint>{Point(cx - hw, cy - hh), Point(cx + hw, cy - hh),
                                             Point(cx + hw, cy + hh), Point(cx - hw, cy + hh)}
                       : std::vector<TPoint>{Point(cx - 2 * s.PW, cy), Point(cx - hw, cy - hh),
                                             Point(cx, cy - 2 * s.PH), Point(cx + hw, cy - hh),
                                             Point(cx + 2 * s.PW, cy), Point(cx + hw, cy + hh),
                                             Point(cx, cy + 2 * s.PH), Point(cx - hw, cy + hh)};
      return shapes.Polygon(Turned(shape, cx, cy, s.P * kPi / 50));
    }
    default:
      return BlindStrips(shapes, s, style);  // 136-141
  }
}

TSizes SizesAt(int w, int h, uint32_t step, int32_t progress) {
  const TProgressMetrics m = CalcProgressMetrics(Rect(0, 0, w, h), step, progress);
  return {m.W, m.H, m.PW, m.PH, m.StepSpan, progress};
}

// Runs the style and the model from the same seed: same pixels, same number of draws.
::testing::AssertionResult StyleMatchesModel(int style, int w, int h, uint32_t step,
                                             int32_t progress, uint32_t seed) {
  const TBitmap old_contents = NoisePicture(w, h, 1), picture = NoisePicture(w, h, 2);
  SetRandomSeed(seed);
  const TBitmap actual = test::RunStyle(style, old_contents, picture, step, progress);
  const uint32_t seed_after = RandomSeed();
  SetRandomSeed(seed);
  TShapes shapes(w, h);
  ModelShapes(shapes, style, SizesAt(w, h, step, progress));
  TBitmap expected = old_contents;
  shapes.DrawOnto(expected, picture);
  if (RandomSeed() != seed_after) return ::testing::AssertionFailure() << "draws differ";
  return SameBitmaps(expected, actual);
}

bool UsesStep(int style) {
  return style == 127 || style == 136 || style == 137 || style == 142 ||
         (style >= 145 && style <= 148);
}
bool UsesGenerator(int style) {
  return style >= 123 && style <= 127;
}

TEST(RegionStyles, MatchThePlainModelsOverTheGridAndSeeds) {
  for (int style = 123; style <= 150; ++style) {
    if (style >= 128 && style <= 135) continue;  // push and squeeze: copies, not regions
    for (const auto& g : test::EffectGrid()) {
      if (!UsesStep(style) && g.Step != 4) continue;
      for (uint32_t seed : {0u, 1u, 0xDEADBEEFu}) {
        ASSERT_TRUE(StyleMatchesModel(style, g.W, g.H, g.Step, g.Progress, seed))
            << "style " << style << " " << g.Describe() << " seed " << seed;
        if (!UsesGenerator(style)) break;
      }
    }
  }
}

TEST(Styles118To150, EveryStyleShowsSomeOfTheNewPictureMidway) {
  const TBitmap old_contents = NoisePicture(64, 48, 1), picture = NoisePicture(64, 48, 2);
  for (int style = 118; style <= 150; ++style)
    EXPECT_FALSE(SameBitmaps(old_contents, test::RunStyle(style, old_contents, picture, 4, 50)))
        << style;
}

// Seed after `n` draws from `seed`.
uint32_t Advanced(uint32_t seed, int n) {
  while (n-- > 0) seed = seed * 134775813u + 1u;
  return seed;
}

TEST(RegionStyles, WorkedExamplesAt800By600) {
  const TBitmap old_contents = NoisePicture(800, 600, 1), picture = NoisePicture(800, 600, 2);
  auto is_new = [&](const TBitmap& out, int x, int y) {
    return Px(out, x, y) == Px(picture, x, y);
  };
  // Speckles at 50: E 80, S 4, N 20, bands at y = 0, 2, ..., 598: 300 bands of 20 draws.
  for (int style = 123; style <= 124; ++style) {
    EXPECT_TRUE(StyleMatchesModel(style, 800, 600, 4, 50, 77)) << style;
    SetRandomSeed(77);
    test::RunStyle(style, old_contents, picture, 4, 50);
    EXPECT_EQ(RandomSeed(), Advanced(77, 300 * 20)) << style;
  }
  // Random squares, Step 4: Z 18, 45 x 34 grid points, seed 480000 before the first draw.
  SetRandomSeed(5);
  test::RunStyle(127, old_contents, picture, 4, 50);
  EXPECT_EQ(RandomSeed(), Advanced(480000, 45 * 34));
  EXPECT_TRUE(StyleMatchesModel(127, 800, 600, 4, 50, 5));
  // Blind vertically, Step 4: pitch 22, strips 22 * Progress div 100 wide; none below 5.
  const TBitmap thin = test::RunStyle(136, old_contents, picture, 4, 4);
  const TBitmap half = test::RunStyle(136, old_contents, picture, 4, 50);
  for (int x = 0; x < 800; ++x) {
    ASSERT_FALSE(is_new(thin, x, 300)) << x;
    ASSERT_EQ(is_new(half, x, 300), x % 22 < 11) << x;
  }
  // Rectangular shred, Step 4, at 99: cells 44 x 33, rectangles 44 x 32 about the grid points:
  // they meet side to side and leave one row between them.
  const TBitmap shred = test::RunStyle(142, old_contents, picture, 4, 99);
  EXPECT_TRUE(is_new(shred, 241, 100));
  EXPECT_TRUE(is_new(shred, 242, 100));
  EXPECT_TRUE(is_new(shred, 220, 114));
  EXPECT_FALSE(is_new(shred, 220, 115));
  EXPECT_TRUE(is_new(shred, 220, 116));
  // Sweep clockwise: nothing at 1; at 2 a thin wedge right of twelve o'clock.
  EXPECT_TRUE(SameBitmaps(old_contents, test::RunStyle(143, old_contents, picture, 4, 1)));
  const TBitmap wedge = test::RunStyle(143, old_contents, picture, 4, 2);
  long shown = 0;
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x)
      if (is_new(wedge, x, y)) {
        ++shown;
        ASSERT_TRUE(x >= 400 && y < 300 && (x - 400) * 10 < (300 - y)) << x << "," << y;
      }
  EXPECT_GT(shown, 1000);
  // Rotational rectangle at 25: the 200 x 150 rectangle turned a quarter, 150 x 200.
  const TBitmap turned = test::RunStyle(149, old_contents, picture, 4, 25);
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x)
      ASSERT_EQ(is_new(turned, x, y), x >= 325 && x < 475 && y >= 200 && y < 400) << x << "," << y;
}

}  // namespace
}  // namespace qm
