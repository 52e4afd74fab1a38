// The style catalogue: names exactly as published, lookup by name, the random style pool.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "picshow/style_catalogue.h"
#include "platform/random.h"

namespace qm {
namespace {

TEST(StyleCatalogue, NamesKeepTheirPublishedSpellingAndNumbers) {
  EXPECT_STREQ(StyleName(0), "Custom");
  EXPECT_STREQ(StyleName(1), "Expand from right");
  EXPECT_STREQ(StyleName(51), "Appear and Contract to middle");
  EXPECT_STREQ(StyleName(76), "Unven shred from bottom");
  EXPECT_STREQ(StyleName(118), "Fade");
  EXPECT_STREQ(StyleName(134), "Push and sqeeze down");
  EXPECT_STREQ(StyleName(135), "Push and sqeeze up");
  EXPECT_STREQ(StyleName(145), "Rectangles apear from left and disapear to right");
  EXPECT_STREQ(StyleName(148), "Rectangles apear from bottom and disapear to up");
  EXPECT_STREQ(StyleName(150), "Rotational star");
  EXPECT_EQ(StyleName(-1), nullptr);
  EXPECT_EQ(StyleName(151), nullptr);
}

TEST(StyleCatalogue, OnlyTheTwoKnownNamesRepeat) {
  std::set<std::string> seen;
  std::set<std::string> repeated;
  for (int s = 1; s <= kMaxStyle; ++s) {
    const std::string name = StyleName(s);
    ASSERT_FALSE(name.empty()) << s;
    EXPECT_NE(name.front(), ' ') << s;
    EXPECT_NE(name.back(), ' ') << s;
    if (!seen.insert(name).second) repeated.insert(name);
  }
  EXPECT_EQ(seen.size(), 148u);
  EXPECT_EQ(repeated, (std::set<std::string>{"Expand from bottom", "Expand in from top"}));
  EXPECT_STREQ(StyleName(18), StyleName(33));
  EXPECT_STREQ(StyleName(25), StyleName(34));
}

TEST(StyleCatalogue, LookupIgnoresCaseMatchesWholeNamesAndTakesTheFirst) {
  EXPECT_EQ(StyleByName("custom"), 0);
  EXPECT_EQ(StyleByName("CUSTOM"), 0);
  EXPECT_EQ(StyleByName("fade"), 118);
  EXPECT_EQ(StyleByName("FADE"), 118);
  EXPECT_EQ(StyleByName("Expand in from top"), 25);
  EXPECT_EQ(StyleByName("Expand from bottom"), 18);
  EXPECT_EQ(StyleByName("unven SHRED from bottom"), 76);
  EXPECT_EQ(StyleByName("Expand from top "), std::nullopt);
  EXPECT_EQ(StyleByName(" Fade"), std::nullopt);
  EXPECT_EQ(StyleByName("Fad"), std::nullopt);
  EXPECT_EQ(StyleByName(""), std::nullopt);
  EXPECT_EQ(StyleByName(std::string_view("Fade\0x", 6)), std::nullopt);
  // Every name leads back to its own style, except the second of each repeated pair.
  for (int s = 0; s <= kMaxStyle; ++s) {
    const int expected = s == 33 ? 18 : s == 34 ? 25 : s;
    EXPECT_EQ(StyleByName(StyleName(s)), expected) << s;
  }
}

TEST(RandomStylePool, HoldsThirtySixDistinctDrawableStyles) {
  std::set<int> pool(kRandomStylePool.begin(), kRandomStylePool.end());
  EXPECT_EQ(pool.size(), 36u);
  for (int s : pool) {
    EXPECT_GE(s, 1);
    EXPECT_LE(s, kMaxStyle);
    EXPECT_FALSE(StyleNeeds32Bit(s)) << s;
    EXPECT_NE(s, 33);
    EXPECT_NE(s, 34);
  }
  EXPECT_EQ(kRandomStylePool[0], 48);
  EXPECT_EQ(kRandomStylePool[17], 127);
  EXPECT_EQ(kRandomStylePool[35], 22);
}

TEST(RandomStylePool, DrawIsTheHighWordOfTheAdvancedSeedTimesThirtySix) {
  for (uint32_t seed : {0u, 1u, 0x12345678u, 0xFFFFFFFFu}) {
    const uint32_t next = seed * 134775813u + 1u;
    const auto index = static_cast<std::size_t>((uint64_t{next} * 36u) >> 32);
    EXPECT_EQ(PickRandomStyleWithSeed(seed), kRandomStylePool[index]) << seed;
    EXPECT_EQ(RandomSeed(), next);
  }
}

TEST(RandomStylePool, ClockSeededDrawsStayInThePool) {
  const std::set<int> pool(kRandomStylePool.begin(), kRandomStylePool.end());
  for (int i = 0; i < 200; ++i) EXPECT_TRUE(pool.count(PickRandomStyle()));
}

}  // namespace
}  // namespace qm
