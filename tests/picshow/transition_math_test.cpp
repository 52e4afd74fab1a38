// Stepping, placement, aspect fit and the screen area of a frame.
#include <gtest/gtest.h>

#include <vector>

#include "picshow/transition_math.h"

namespace qm {
namespace {

std::vector<int> Progression(int step, bool reverse) {
  std::vector<int> values;
  int p = StartProgress(reverse);
  do {
    p = NextProgress(p, step, reverse);
    values.push_back(p);
  } while (!ProgressAtEnd(p, reverse) && values.size() < 1000);
  return values;
}

TEST(Stepping, ForwardFrameCounts) {
  const auto four = Progression(4, false);
  ASSERT_EQ(four.size(), 25u);
  EXPECT_EQ(four.front(), 4);
  EXPECT_EQ(four[23], 96);
  EXPECT_EQ(four.back(), 100);

  const auto three = Progression(3, false);
  ASSERT_EQ(three.size(), 34u);
  EXPECT_EQ(three[32], 99);
  EXPECT_EQ(three.back(), 100);

  EXPECT_EQ(Progression(100, false), std::vector<int>{100});
  EXPECT_EQ(Progression(1, false).size(), 100u);
  EXPECT_EQ(Progression(99, false), (std::vector<int>{99, 100}));
}

TEST(Stepping, ReverseEndsWithAFrameAtZero) {
  const auto four = Progression(4, true);
  ASSERT_EQ(four.size(), 25u);
  EXPECT_EQ(four.front(), 96);
  EXPECT_EQ(four[23], 4);
  EXPECT_EQ(four.back(), 0);
  EXPECT_EQ(Progression(3, true).back(), 0);
  EXPECT_EQ(Progression(3, true)[32], 1);
  EXPECT_EQ(Progression(100, true), std::vector<int>{0});
}

TEST(Stepping, StepIsClampedToOneThroughHundred) {
  EXPECT_EQ(ClampStep(0), 1);
  EXPECT_EQ(ClampStep(-5), 1);
  EXPECT_EQ(ClampStep(250), 100);
  EXPECT_EQ(ClampStep(65535), 100);
  EXPECT_EQ(ClampStep(37), 37);
}

TEST(Placement, TopLeftCentredAndEmpty) {
  EXPECT_EQ(PlacementRect({}, 1000, 800, true, 800, 600), Rect(-100, -100, 900, 700));
  EXPECT_EQ(PlacementRect({}, 1000, 800, false, 800, 600), Rect(0, 0, 1000, 800));
  EXPECT_EQ(PlacementRect({}, 300, 200, true, 801, 601), Rect(250, 200, 550, 400));
  // Odd differences truncate toward zero on both sides of zero.
  EXPECT_EQ(PlacementRect({}, 11, 11, true, 10, 10), Rect(0, 0, 11, 11));
  EXPECT_EQ(PlacementRect({}, 13, 13, true, 10, 10), Rect(-1, -1, 12, 12));
  const TRect kept = Rect(5, 6, 7, 8);
  EXPECT_EQ(PlacementRect(kept, 0, 0, true, 800, 600), kept);
}

TEST(AspectFit, ScalesUpOrDownAndCentres) {
  EXPECT_EQ(AspectFit(Rect(0, 0, 400, 300), Rect(0, 0, 1000, 1000)), Rect(0, 125, 1000, 875));
  EXPECT_EQ(AspectFit(Rect(0, 0, 300, 400), Rect(0, 0, 1000, 1000)), Rect(125, 0, 875, 1000));
  EXPECT_EQ(AspectFit(Rect(0, 0, 1600, 900), Rect(0, 0, 800, 600)), Rect(0, 75, 800, 525));
  // Equal quotients take the height-first branch; R's offset carries over.
  EXPECT_EQ(AspectFit(Rect(0, 0, 200, 100), Rect(10, 20, 410, 220)), Rect(10, 20, 410, 220));
  EXPECT_EQ(AspectFit(Rect(0, 0, 0, 100), Rect(10, 20, 410, 220)), Rect(10, 20, 10, 20));
}

TEST(ScreenArea, FollowsPlacementCentreAndStretch) {
  ScreenGeometry g;
  g.client = Rect(0, 0, 800, 600);
  g.placement = Rect(-100, -100, 900, 700);
  g.center = true;
  // Centred and larger than the client: shifted, then clamped to the placement.
  EXPECT_EQ(ScreenArea(Rect(0, 0, 1000, 800), g), Rect(-100, -100, 900, 700));
  g.placement = Rect(200, 150, 600, 450);
  EXPECT_EQ(ScreenArea(Rect(0, 0, 400, 300), g), Rect(200, 150, 600, 450));
  g.center = false;
  g.placement = Rect(0, 0, 400, 300);
  EXPECT_EQ(ScreenArea(Rect(0, 0, 400, 300), g), Rect(0, 0, 400, 300));
  g.stretch = true;
  EXPECT_EQ(ScreenArea(Rect(0, 0, 400, 300), g), Rect(0, 0, 800, 600));
  EXPECT_EQ(ScreenArea(Rect(100, 0, 200, 150), g), Rect(200, 0, 400, 300));
  g.client = Rect(0, 0, 1000, 1000);
  g.stretch_fine = true;
  EXPECT_EQ(ScreenArea(Rect(0, 0, 400, 300), g), Rect(0, 125, 1000, 875));
  EXPECT_EQ(DisplayTarget(g), Rect(0, 125, 1000, 875));
}

}  // namespace
}  // namespace qm
