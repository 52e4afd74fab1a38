// Styles 143-144: the clock sweeps. A fan from the picture's centre, starting at twelve o'clock,
// opens by 3.6 degrees per percent, clockwise or anticlockwise, and the new picture shows
// through it.
#pragma once

#include "effects/effect_contract.h"

namespace qm {

// The polygon region of a fan: the centre (CX, CY) and Count points on the circle of the given
// radius, the first at StartAngle and each next one (EndAngle - StartAngle) / Count further on
// (so the last stops one step short of EndAngle), each rounded to the nearest pixel (halves to
// even). Angles in radians, on the screen (y down), so a growing angle turns clockwise.
TRegion CreateSweepRegion(int32_t CX, int32_t CY, int32_t Radius, long double StartAngle,
                          long double EndAngle, int32_t Count);

// A: the sweep's direction.
void DrawSweep(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
               int32_t Progress, const TEffectParams& Params);
inline constexpr TEffectFamily kSweep = DrawnByCopies("sweep", &DrawSweep);

enum class TSweepDirection : int32_t { kClockwise = 0, kAnticlockwise = 1 };

constexpr TEffectRecipe Sweep(TSweepDirection direction) {
  return {&kSweep, TEffectParams{static_cast<int32_t>(direction)}};
}

}  // namespace qm
