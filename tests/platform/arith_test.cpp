#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/arith.h"

namespace qm {
namespace {

TEST(MulDiv, RoundsHalvesAwayFromZero) {
  EXPECT_EQ(MulDiv(1, 1, 2), 1);
  EXPECT_EQ(MulDiv(45, 1, 90), 1);
  EXPECT_EQ(MulDiv(44, 1, 90), 0);
  EXPECT_EQ(MulDiv(101, 50, 100), 51);
  EXPECT_EQ(MulDiv(51, 50, 101), 25);
  EXPECT_EQ(MulDiv(800, 4, 90), 36);
  // Negative operands: the magnitude rounds as for positive ones, halves away from zero.
  EXPECT_EQ(MulDiv(-1, 1, 2), -1);
  EXPECT_EQ(MulDiv(1, -1, 2), -1);
  EXPECT_EQ(MulDiv(-1, -1, 2), 1);
  EXPECT_EQ(MulDiv(-1, 1, -2), 1);
  EXPECT_EQ(MulDiv(-44, 1, 90), 0);
  EXPECT_EQ(MulDiv(-7, 1, 4), -2);  // -1.75
  EXPECT_EQ(MulDiv(-5, 1, 4), -1);  // -1.25
}

TEST(MulDiv, UsesTheExactProductAndFlagsFailuresWithMinusOne) {
  // 2^31 - 1 squared overflows 32 bits but not the 64-bit product.
  EXPECT_EQ(MulDiv(2147483647, 2147483647, 2147483647), 2147483647);
  EXPECT_EQ(MulDiv(65536, 65536, 65536 * 2), 32768);
  EXPECT_EQ(MulDiv(5, 7, 0), -1);
  EXPECT_EQ(MulDiv(0, 0, 0), -1);
  EXPECT_EQ(MulDiv(2147483647, 2, 1), -1);
  EXPECT_EQ(MulDiv(-2147483647 - 1, 1, 1), -2147483647 - 1);  // fits exactly
  EXPECT_EQ(MulDiv(-2147483647 - 1, -1, 1), -1);              // 2^31 does not
  EXPECT_EQ(MulDiv(-2147483647 - 1, -2147483647 - 1, -2147483647 - 1), -2147483647 - 1);
  EXPECT_EQ(MulDiv(0, 5, -3), 0);
}

TEST(RandomBelow, FollowsTheSeedSequence) {
  SetRandomSeed(0);
  const int32_t from_zero[] = {0, 3, 86, 20, 27, 67};
  for (int32_t v : from_zero) EXPECT_EQ(RandomBelow(100), v);
  EXPECT_EQ(RandomSeed(), 2884733762u);

  // The seed that the speckle style sets on an 800 x 600 picture.
  SetRandomSeed(480000);
  const int32_t from_480000[] = {37, 92, 46, 54, 18, 36};
  for (int32_t v : from_480000) EXPECT_EQ(RandomBelow(100), v);
}

TEST(RandomBelow, AdvancesForEveryRangeIncludingZeroAndOne) {
  SetRandomSeed(480000);
  EXPECT_EQ(RandomBelow(7), 2);
  EXPECT_EQ(RandomBelow(1000), 924);
  EXPECT_EQ(RandomBelow(2), 0);
  EXPECT_EQ(RandomBelow(0), 0);
  EXPECT_EQ(RandomSeed(), 2351823772u);
  EXPECT_EQ(RandomBelow(1), 0);
  EXPECT_EQ(RandomBelow(65536), 23650);
}

TEST(Rounding, RoundHalvesToEvenTruncAndCeil) {
  EXPECT_EQ(Round(0.5L), 0);
  EXPECT_EQ(Round(1.5L), 2);
  EXPECT_EQ(Round(2.5L), 2);
  EXPECT_EQ(Round(-0.5L), 0);
  EXPECT_EQ(Round(-1.5L), -2);
  EXPECT_EQ(Round(-2.5L), -2);
  EXPECT_EQ(Round(2.4999999L), 2);
  EXPECT_EQ(Round(-2.5000001L), -3);
  EXPECT_EQ(Round(1e18L + 0.5L), 1000000000000000000);  // representable in long double
  EXPECT_EQ(Trunc(-2.9L), -2);
  EXPECT_EQ(Trunc(2.9L), 2);
  EXPECT_EQ(Ceil(-2.9L), -2);
  EXPECT_EQ(Ceil(2.1L), 3);
  EXPECT_EQ(Ceil(500.0L), 500);
  // No undefined conversions: NaN and out-of-range values.
  EXPECT_EQ(Round(std::numeric_limits<long double>::quiet_NaN()), 0);
  EXPECT_EQ(Round(1e30L), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(Trunc(-1e30L), std::numeric_limits<int64_t>::min());
}

}  // namespace
}  // namespace qm
