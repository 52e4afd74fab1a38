// Styles that bring the new picture in as two halves from opposite sides, as bands from all four
// edges, or as four quarters from the corners, meeting in the middle:
//   reveal in from sides (12, 29): the picture in place, uncovered by two bands growing from
//     opposite edges;
//   expand in from sides (13, 30): each half of the picture squeezed into its band;
//   reveal in to centre (54): four bands growing from the four edges;
//   quarters (55, 56, 57): four corner boxes uncover, squeeze in or slide in the quarters.
#pragma once

#include "effects/rect_copies.h"

namespace qm {

// What the pieces show (parameter A; B is the axis of the two-sided kinds).
enum TSidesKind : int32_t {
  kSidesReveal,
  kSidesExpand,
  kEdgeBandsReveal,
  kQuartersReveal,
  kQuartersExpand,
  kQuartersSlide,
};

TRectCopies SidesAndQuartersCopies(const TProgressMetrics& m, const TEffectParams& params);

inline constexpr TEffectFamily kSidesAndQuarters =
    DrawnByCopies("sides and quarters", &DrawListedCopies<&SidesAndQuartersCopies>);

// Two bands from opposite edges: the left and right edges (kAcross) or top and bottom (kDown).
constexpr TEffectRecipe RevealInFromSides(TAxis axis) {
  return {&kSidesAndQuarters, {kSidesReveal, axis}};
}
constexpr TEffectRecipe ExpandInFromSides(TAxis axis) {
  return {&kSidesAndQuarters, {kSidesExpand, axis}};
}
constexpr TEffectRecipe RevealInFromEdges() {
  return {&kSidesAndQuarters, {kEdgeBandsReveal}};
}
constexpr TEffectRecipe Quarters(TSidesKind kind) {
  return {&kSidesAndQuarters, {kind}};
}

}  // namespace qm
