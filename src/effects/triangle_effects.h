// Triangle reveals: one triangle growing from a corner (styles 110 to 113), two triangles
// turning about opposite corners (114, 115), four turning about the centre (116), and a grid of
// small triangles growing together (117).
#pragma once

#include "effects/effect_contract.h"

namespace qm {

// The corner a diagonal reveal grows from.
enum TCorner : int32_t { kTopLeft = 0, kTopRight = 1, kBottomLeft = 2, kBottomRight = 3 };

void DiagonalRevealEffect(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
                          int32_t Progress, const TEffectParams& Params);
inline constexpr TEffectFamily kDiagonalReveal =
    DrawnByCopies("diagonal reveal", DiagonalRevealEffect);

constexpr TEffectRecipe DiagonalReveal(TCorner From) {
  return {&kDiagonalReveal, TEffectParams{From}};
}

// Which way the two lines of a diagonal sweep turn, as seen on the screen.
enum TTurn : int32_t { kAnticlockwise = 0, kClockwise = 1 };

void DiagonalSweepEffect(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
                         int32_t Progress, const TEffectParams& Params);
inline constexpr TEffectFamily kDiagonalSweep =
    DrawnByCopies("diagonal sweep", DiagonalSweepEffect);

constexpr TEffectRecipe DiagonalSweep(TTurn Turn) {
  return {&kDiagonalSweep, TEffectParams{Turn}};
}

void StarburstEffect(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
                     int32_t Progress, const TEffectParams& Params);
inline constexpr TEffectFamily kStarburst = DrawnByCopies("starburst", StarburstEffect);

constexpr TEffectRecipe Starburst() {
  return {&kStarburst, TEffectParams{}};
}

void TriangularShredEffect(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
                           int32_t Progress, const TEffectParams& Params);
inline constexpr TEffectFamily kTriangularShred =
    DrawnByCopies("triangular shred", TriangularShredEffect);

constexpr TEffectRecipe TriangularShred() {
  return {&kTriangularShred, TEffectParams{}};
}

}  // namespace qm
