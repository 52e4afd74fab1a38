// Curved and circular reveals: the new picture shows through one rounded rectangle.
// Styles 58, 59, 69, 70 and 80 to 83 (curved reveals from a side or a corner) and 84, 85
// (circular reveals from and to the centre).
#pragma once

#include "effects/effect_contract.h"

namespace qm {

// Where the rounded rectangle of a curved reveal lies along one axis (E the picture's extent,
// P the progress extent along it).
enum TCurveSpan : int32_t {
  kGrowsFromNear = 0,  // from -2E to its leading side at 2P
  kGrowsFromFar = 1,   // from its leading side at E - 2P to 3E
  kSpansWhole = 2,     // from -5 to E + 5: this axis does not move
};
// One size of the rounding ellipse: twice the picture's width or twice its height.
enum TCurveEllipse : int32_t { kTwiceWidth = 0, kTwiceHeight = 1 };

void CurvedRevealEffect(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
                        int32_t Progress, const TEffectParams& Params);
inline constexpr TEffectFamily kCurvedReveal = DrawnByCopies("curved reveal", CurvedRevealEffect);

// The rounded rectangle spans `Across` horizontally and `Down` vertically; its corners are
// rounded with an ellipse `EllipseWidth` wide and `EllipseHeight` high.
constexpr TEffectRecipe CurvedReveal(TCurveSpan Across, TCurveSpan Down, TCurveEllipse EllipseWidth,
                                     TCurveEllipse EllipseHeight) {
  return {&kCurvedReveal, TEffectParams{Across, Down, EllipseWidth, EllipseHeight}};
}

// A circular reveal grows out from the centre, or shrinks into it and leaves the picture
// outside.
enum TCircleDirection : int32_t { kOutFromCentre = 0, kInToCentre = 1 };

void CircularRevealEffect(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
                          int32_t Progress, const TEffectParams& Params);
inline constexpr TEffectFamily kCircularReveal =
    DrawnByCopies("circular reveal", CircularRevealEffect);

constexpr TEffectRecipe CircularReveal(TCircleDirection Direction) {
  return {&kCircularReveal, TEffectParams{Direction}};
}

}  // namespace qm
