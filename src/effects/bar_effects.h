// Bars and criss-cross reveals: bands 5 pixels thick that grow from the picture's edges, along
// rows, along columns, or both at once. Styles 60 to 64 and 71 to 75 (bars), 86 to 98
// (criss-cross) and 99 (where two criss-cross patterns meet).
#pragma once

#include "effects/effect_contract.h"
#include "effects/region_builders.h"
#include "effects/region_compose.h"

namespace qm {

// The bars' length: the progress extent, or twice it (the even bars fill over the first half of
// the transition and the odd bars over the second).
enum TBarLength : int32_t { kProgressExtent = 1, kTwiceExtent = 2 };
// Whether a growing bar within StepSpan of full length is completed at once.
enum TBarSnap : int32_t { kNoSnap = 0, kSnapByStep = 1 };
enum TBarAxis : int32_t { kRows = 0, kColumns = 1 };

// Bars along rows of kind A and along columns of kind B, of length C and snap D.
std::optional<TRegion> BarRegion(const TRect& R, uint32_t Step, int32_t Progress,
                                 const TEffectParams& Params);
inline constexpr TEffectFamily kBars = DrawnThroughRegion<&BarRegion>("bars");
inline constexpr TEffectFamily kCrissCross = DrawnThroughRegion<&BarRegion>("criss-cross");

// Bars of one axis only.
constexpr TEffectRecipe Bars(TBarAxis Axis, TBarKind Kind, TBarLength Length, TBarSnap Snap) {
  return {&kBars, TEffectParams{Axis == kRows ? Kind : kNoBars, Axis == kColumns ? Kind : kNoBars,
                                Length, Snap}};
}
// Bars along rows and columns at once.
constexpr TEffectRecipe CrissCross(TBarKind RowKind, TBarKind ColumnKind, TBarLength Length,
                                   TBarSnap Snap) {
  return {&kCrissCross, TEffectParams{RowKind, ColumnKind, Length, Snap}};
}

// Where a criss-cross pattern of kinds A (rows) and B (columns) meets one of kinds C and D, both
// of twice the progress extent with the snap.
std::optional<TRegion> CrissCrossMeetRegion(const TRect& R, uint32_t Step, int32_t Progress,
                                            const TEffectParams& Params);
inline constexpr TEffectFamily kCrissCrossMeet =
    DrawnThroughRegion<&CrissCrossMeetRegion>("criss-cross meet");

constexpr TEffectRecipe CrissCrossMeet(TBarKind RowKind1, TBarKind ColumnKind1, TBarKind RowKind2,
                                       TBarKind ColumnKind2) {
  return {&kCrissCrossMeet, TEffectParams{RowKind1, ColumnKind1, RowKind2, ColumnKind2}};
}

}  // namespace qm
