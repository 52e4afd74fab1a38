// Styles 136-142 and 145-148: blinds, the rectangular shred and the rectangle bands. All show
// the new picture through a region of evenly spaced rectangles that grow with the progress.
#pragma once

#include "effects/effect_contract.h"
#include "effects/region_compose.h"

namespace qm {

// Which way strips run: vertical strips side by side along the columns, or horizontal strips
// one below the other along the rows.
enum class TStripAxis : int32_t { kColumns = 0, kRows = 1 };
// The pitch of the strips: even (the side divided by StepSpan, so about 90 / Step pixels), or
// uneven (the progress extent PW or PH itself: many thin strips early, few wide ones later).
enum class TStripPitch : int32_t { kEven = 0, kUneven = 1 };
// Where the first strip lies: at the near edge (left or top) with the rest following towards
// the far edge, or at the far edge (right or bottom) with the rest following back.
enum class TStripStart : int32_t { kNear = 0, kFar = 1 };

// Styles 136-141: strips of pitch B, each B * Progress div 100 long, from one edge across the
// picture. A: the axis, B: the pitch, C: the start.
std::optional<TRegion> BlindRegion(const TRect& R, uint32_t Step, int32_t Progress,
                                   const TEffectParams& Params);
inline constexpr TEffectFamily kBlinds = DrawnThroughRegion<&BlindRegion>("blinds");

constexpr TEffectRecipe Blinds(TStripAxis axis, TStripPitch pitch, TStripStart start) {
  return {&kBlinds, TEffectParams{static_cast<int32_t>(axis), static_cast<int32_t>(pitch),
                                  static_cast<int32_t>(start)}};
}

// Style 142: rectangles centred on a grid of about StepSpan / 2 cells each way, growing from
// the grid points with the progress extents until they nearly meet.
std::optional<TRegion> RectangularShredRegion(const TRect& R, uint32_t Step, int32_t Progress,
                                              const TEffectParams& Params);
inline constexpr TEffectFamily kRectangularShred =
    DrawnThroughRegion<&RectangularShredRegion>("rectangular shred");

constexpr TEffectRecipe RectangularShred() {
  return {&kRectangularShred, TEffectParams{}};
}

// Styles 145-148: bands across the picture on a fixed grid, thickening with the progress,
// together with the uneven blinds' strips. A: the axis of the strips (the bands run across
// it), C: where the strips start.
std::optional<TRegion> RectangleBandsRegion(const TRect& R, uint32_t Step, int32_t Progress,
                                            const TEffectParams& Params);
inline constexpr TEffectFamily kRectangleBands =
    DrawnThroughRegion<&RectangleBandsRegion>("rectangle bands");

constexpr TEffectRecipe RectangleBands(TStripAxis strips, TStripStart start) {
  return {&kRectangleBands,
          TEffectParams{static_cast<int32_t>(strips), 0, static_cast<int32_t>(start)}};
}

}  // namespace qm
