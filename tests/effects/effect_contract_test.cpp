#include <gtest/gtest.h>

#include <vector>

#include "effects/effect_contract.h"
#include "tests/support/pixels.h"

namespace qm {
namespace {

constexpr uint32_t kOld = 0xEEEEEE;

using test::Numbered;
using test::Px;

TBitmap Filled(int w, int h) {
  return test::Filled(w, h, kOld);
}

std::vector<uint32_t> Row(TBitmap& b, int y) {
  std::vector<uint32_t> r;
  for (int x = 0; x < b.Width(); ++x) r.push_back(Px(b, x, y));
  return r;
}

TEST(CalcProgressMetrics, WorkedExamples) {
  EXPECT_EQ(CalcProgressMetrics(TRect{0, 0, 800, 600}, 4, 33),
            (TProgressMetrics{800, 600, 264, 198, 36}));
  EXPECT_EQ(CalcProgressMetrics(TRect{0, 0, 101, 50}, 4, 50),
            (TProgressMetrics{101, 50, 51, 25, 4}));
  // A higher-than-wide picture scales the height first; a square one the width first.
  EXPECT_EQ(CalcProgressMetrics(TRect{0, 0, 600, 800}, 4, 33),
            (TProgressMetrics{600, 800, 198, 264, 36}));
  EXPECT_EQ(CalcProgressMetrics(TRect{0, 0, 3, 3}, 1, 50), (TProgressMetrics{3, 3, 2, 2, 0}));
  // Step 1 on a longer side below 45 pixels: StepSpan 0.
  EXPECT_EQ(CalcProgressMetrics(TRect{0, 0, 44, 10}, 1, 50).StepSpan, 0);
  EXPECT_EQ(CalcProgressMetrics(TRect{0, 0, 45, 10}, 1, 50).StepSpan, 1);
  // Empty picture: PH comes from a division by 0.
  EXPECT_EQ(CalcProgressMetrics(TRect{0, 0, 0, 0}, 4, 50), (TProgressMetrics{0, 0, 0, -1, 0}));
}

TEST(MirrorCopyRect, HorizontalMirrorCoversTwoMoreColumnsOnTheRight) {
  TBitmap pic = Numbered(4, 1);
  TBitmap screen = Filled(8, 1);
  MirrorCopyRect(screen, TRect{1, 0, 5, 1}, pic, TRect{0, 0, 4, 1}, true, false);
  // Columns 1..6: six columns from four source columns, the leftmost source column at 6.
  EXPECT_EQ(Row(screen, 0), (std::vector<uint32_t>{kOld, 4, 4, 3, 2, 2, 1, kOld}));
}

TEST(MirrorCopyRect, VerticalAndBothMirrors) {
  TBitmap pic = Numbered(2, 2);
  TBitmap v = Filled(2, 5);
  MirrorCopyRect(v, TRect{0, 0, 2, 2}, pic, TRect{0, 0, 2, 2}, false, true);
  // Rows 0..3 from two source rows, the top source row at row 3.
  EXPECT_EQ(Row(v, 0), (std::vector<uint32_t>{101, 102}));
  EXPECT_EQ(Row(v, 1), (std::vector<uint32_t>{101, 102}));
  EXPECT_EQ(Row(v, 2), (std::vector<uint32_t>{1, 2}));
  EXPECT_EQ(Row(v, 3), (std::vector<uint32_t>{1, 2}));
  EXPECT_EQ(Row(v, 4), (std::vector<uint32_t>{kOld, kOld}));

  TBitmap both = Filled(4, 4);
  MirrorCopyRect(both, TRect{0, 0, 2, 2}, pic, TRect{0, 0, 2, 2}, true, true);
  EXPECT_EQ(Px(both, 0, 0), 102u);
  EXPECT_EQ(Px(both, 3, 3), 1u);
}

TEST(MirrorCopyRect, ClipsItsSourceToThePicture) {
  TBitmap pic = Numbered(4, 1);
  // Reaching past the right edge: only columns 2, 3 survive and stretch over the whole of D.
  TBitmap screen = Filled(4, 1);
  MirrorCopyRect(screen, TRect{0, 0, 4, 1}, pic, TRect{2, 0, 8, 1}, false, false);
  EXPECT_EQ(Row(screen, 0), (std::vector<uint32_t>{3, 3, 4, 4}));
  // Wholly outside: nothing is drawn.
  TBitmap outside = Filled(4, 1);
  MirrorCopyRect(outside, TRect{0, 0, 4, 1}, pic, TRect{5, 0, 9, 1}, true, false);
  EXPECT_EQ(Row(outside, 0), (std::vector<uint32_t>(4, kOld)));
  // Neither flag: a plain copy of D exactly.
  TBitmap plain = Filled(6, 1);
  MirrorCopyRect(plain, TRect{1, 0, 5, 1}, pic, TRect{0, 0, 4, 1}, false, false);
  EXPECT_EQ(Row(plain, 0), (std::vector<uint32_t>{kOld, 1, 2, 3, 4, kOld}));
}

TEST(ClipAndDraw, DrawsThroughTheRegionAndLeavesNoClip) {
  TBitmap pic = Numbered(4, 2);
  TBitmap screen = Filled(4, 2);
  ClipAndDraw(screen, pic, CreateRectRgn(1, 1, 3, 5));
  EXPECT_EQ(screen.Canvas().ClipRegion(), nullptr);
  EXPECT_EQ(Row(screen, 0), (std::vector<uint32_t>(4, kOld)));
  EXPECT_EQ(Row(screen, 1), (std::vector<uint32_t>{kOld, 102, 103, kOld}));
  // No region: the whole picture. An empty region: nothing.
  TBitmap all = Filled(4, 2);
  ClipAndDraw(all, pic, std::nullopt);
  EXPECT_EQ(Row(all, 1), (std::vector<uint32_t>{101, 102, 103, 104}));
  TBitmap none = Filled(4, 2);
  ClipAndDraw(none, pic, TRegion{});
  EXPECT_EQ(Row(none, 0), (std::vector<uint32_t>(4, kOld)));
  EXPECT_EQ(none.Canvas().ClipRegion(), nullptr);
}

}  // namespace
}  // namespace qm
