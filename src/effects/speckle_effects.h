// Styles 123-127: the speckles and the random squares. Both draw the new picture through a
// region built from random numbers of the program's shared generator, in a fixed order, so a
// transition from a given seed always shows the same frames.
#pragma once

#include <optional>

#include "effects/effect_contract.h"

namespace qm {

// Where the solid strip of a speckle region lies along one direction: none (this pass is
// skipped), at the far side (right or bottom, speckles before it), or at the near side (left or
// top, speckles after it).
enum class TSpeckleStrip : int32_t { kNone = 0, kFar = 1, kNear = 2 };

// The solid strip PW columns wide (horizontal pass) or PH rows high (vertical pass) along one
// side of a W x H picture, with a ragged edge: in every band of S pixels (bands overlapping by
// half), up to N squares of side S beyond the strip's edge, square i taken when RandomBelow(i)
// is at most 1 (for i up to 3/4 of N) or 0 (beyond), drawn for i = N down to 1 in each band.
// E = a tenth of the side while the strip does not yet cover it, S = E div 20 but at least 2,
// N = E div S. No band at all (W or H of 0 or less) gives no region.
std::optional<TRegion> CreateSpeckleRegion(int32_t PW, int32_t PH, int32_t W, int32_t H,
                                           TSpeckleStrip HorizontalMode,
                                           TSpeckleStrip VerticalMode);

// Styles 123-126: the new picture through CreateSpeckleRegion with the progress extents, its
// speckles drawn afresh in every frame so they flicker along the advancing edge. A: the
// horizontal strip, B: the vertical strip (one of them None).
void DrawSpeckle(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
                 int32_t Progress, const TEffectParams& Params);
inline constexpr TEffectFamily kSpeckle = DrawnByCopies("speckle", &DrawSpeckle);

constexpr TEffectRecipe SpeckleColumns(TSpeckleStrip strip) {
  return {&kSpeckle, TEffectParams{static_cast<int32_t>(strip), 0}};
}
constexpr TEffectRecipe SpeckleRows(TSpeckleStrip strip) {
  return {&kSpeckle, TEffectParams{0, static_cast<int32_t>(strip)}};
}

// Style 127: squares 2Z wide centred on a grid of pitch Z (Z = StepSpan div 2), a square shown
// when Progress exceeds its grid point's RandomBelow(100). The generator is seeded with W * H at
// the start of every frame, so each grid point keeps its number and a square once shown stays.
void DrawRandomSquares(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
                       int32_t Progress, const TEffectParams& Params);
inline constexpr TEffectFamily kRandomSquares = DrawnByCopies("random squares", &DrawRandomSquares);

constexpr TEffectRecipe RandomSquares() {
  return {&kRandomSquares, TEffectParams{}};
}

}  // namespace qm
