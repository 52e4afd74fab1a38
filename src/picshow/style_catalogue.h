// The style catalogue: style numbers and names, lookup by name, and the random style choice
// the player makes for each slide when a gallery asks for random transitions.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "effects/effect_table.h"

namespace qm {

// Style 0 hands every frame to the control's custom-draw event; 1..150 are effect table rows.
inline constexpr int kCustomStyle = 0;
inline constexpr int kMaxStyle = kEffectCount;
inline constexpr int kDefaultStyle = 51;
inline constexpr const char* kCustomStyleName = "Custom";

// Whether the style's family works on 32-bit pixels (the fade and the pivots): a transition in
// such a style holds its new-picture and display bitmaps in 32 bits per pixel. Read from the
// effect table, so the rule and the families cannot drift apart.
inline bool StyleNeeds32Bit(int style) {
  return style >= 1 && style <= kEffectCount && kEffectTable[style - 1].Needs32Bit();
}

// "Custom" for 0, the effect table's name for 1..150, nullptr for any other number.
const char* StyleName(int style);

// The first style whose name equals `name` ignoring letter case ("Custom" first, then 1..150);
// whole strings only, so surrounding spaces count. The duplicated names "Expand from bottom" and
// "Expand in from top" select 18 and 25. No match: nullopt.
std::optional<int> StyleByName(std::string_view name);

// The 36 styles the random choice draws from.
extern const std::array<uint8_t, 36> kRandomStylePool;

// Reseeds the program's generator from the performance counter (the low 32 bits of the
// monotonic clock in nanoseconds), then returns kRandomStylePool[RandomBelow(36)].
int PickRandomStyle();
// The same draw from a given seed, for callers that control the seed themselves.
int PickRandomStyleWithSeed(uint32_t seed);

}  // namespace qm
