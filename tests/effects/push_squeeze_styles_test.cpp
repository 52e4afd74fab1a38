// Push and squeeze (styles 128-135) against two naive stretch copies, the first reading the old
// contents in full before writing them back moved.
#include <gtest/gtest.h>

#include "tests/effects/effect_model.h"

namespace qm {
namespace {

using test::NoisePicture;
using test::Px;
using test::SameBitmaps;

// The two copies of a style, destination <- source, as the style's row gives them.
struct TCopies {
  TRect old_to, old_from, new_to, new_from;
};
TCopies PushCopies(int style, int W, int H, int PW, int PH) {
  // clang-format off
  switch (style) {
    case 128: return {Rect(PW, 0, W, H), Rect(0, 0, W - PW, H), Rect(0, 0, PW, H), Rect(W - PW, 0, W, H)};
    case 129: return {Rect(0, 0, W - PW, H), Rect(PW, 0, W, H), Rect(W - PW, 0, W, H), Rect(0, 0, PW, H)};
    case 130: return {Rect(PW, 0, W, H), Rect(0, 0, W, H), Rect(0, 0, PW, H), Rect(W - PW, 0, W, H)};
    case 131: return {Rect(0, 0, W - PW, H), Rect(0, 0, W, H), Rect(W - PW, 0, W, H), Rect(0, 0, PW, H)};
    case 132: return {Rect(0, PH, W, H), Rect(0, 0, W, H - PH), Rect(0, 0, W, PH), Rect(0, H - PH, W, H)};
    case 133: return {Rect(0, 0, W, H - PH), Rect(0, PH, W, H), Rect(0, H - PH, W, H), Rect(0, 0, W, PH)};
    case 134: return {Rect(0, PH, W, H), Rect(0, 0, W, H), Rect(0, 0, W, PH), Rect(0, H - PH, W, H)};
    default: return {Rect(0, 0, W, H - PH), Rect(0, 0, W, H), Rect(0, H - PH, W, H), Rect(0, 0, W, PH)};
  }
  // clang-format on
}

TEST(PushAndSqueeze, MatchTwoNaiveStretchCopiesOverTheGrid) {
  for (const auto& g : test::EffectGrid()) {
    if (g.Step != 4) continue;  // these styles do not use Step
    const TBitmap old_contents = NoisePicture(g.W, g.H, 1), picture = NoisePicture(g.W, g.H, 2);
    const TProgressMetrics m = CalcProgressMetrics(Rect(0, 0, g.W, g.H), g.Step, g.Progress);
    for (int style = 128; style <= 135; ++style) {
      const TCopies copies = PushCopies(style, g.W, g.H, m.PW, m.PH);
      TBitmap expected = old_contents;
      test::ModelStretch(expected, copies.old_to, expected, copies.old_from);
      test::ModelStretch(expected, copies.new_to, picture, copies.new_from);
      ASSERT_TRUE(
          SameBitmaps(expected, test::RunStyle(style, old_contents, picture, 7, g.Progress)))
          << "style " << style << " " << g.Describe();
    }
  }
}

TEST(PushAndSqueeze, WorkedExamples) {
  const TBitmap old_contents = NoisePicture(800, 600, 1), picture = NoisePicture(800, 600, 2);
  // "Push right" at 50: old columns 0..399 at 400..799, new columns 400..799 at 0..399.
  const TBitmap push = test::RunStyle(128, old_contents, picture, 4, 50);
  // "Push and squeeze right" at 50: the whole old picture at half width in 400..799, every
  // other column (the centre of each pair of old columns).
  const TBitmap squeeze = test::RunStyle(130, old_contents, picture, 4, 50);
  for (int y = 0; y < 600; y += 37)
    for (int x = 0; x < 400; ++x) {
      ASSERT_EQ(Px(push, x + 400, y), Px(old_contents, x, y)) << x << "," << y;
      ASSERT_EQ(Px(push, x, y), Px(picture, x + 400, y)) << x << "," << y;
      ASSERT_EQ(Px(squeeze, x + 400, y), Px(old_contents, 2 * x + 1, y)) << x;
      ASSERT_EQ(Px(squeeze, x, y), Px(picture, x + 400, y)) << x << "," << y;
    }
}

}  // namespace
}  // namespace qm
