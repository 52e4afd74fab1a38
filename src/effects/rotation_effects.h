// Styles 149-150: a rectangle and a four-pointed star that grow with the progress and turn
// clockwise about the picture's centre, a full turn over the transition, with the new picture
// showing through them.
#pragma once

#include "effects/effect_contract.h"

namespace qm {

// Turns the points 0..LastIndex about (CX, CY) by Angle radians, clockwise on the screen (y
// down): each offset (dx, dy) becomes (Round(dx cos - dy sin), Round(dx sin + dy cos)), rounding
// halves to even.
void RotatePoints(TPoint* Points, int LastIndex, int32_t CX, int32_t CY, long double Angle);

// A: the shape.
void DrawRotatingShape(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
                       int32_t Progress, const TEffectParams& Params);
inline constexpr TEffectFamily kRotatingShape = DrawnByCopies("rotating shape", &DrawRotatingShape);

// The rectangle PW x PH; the star with tips 2 PW left and right and 2 PH above and below the
// centre, its inner corners at those of the rectangle.
enum class TRotatingShape : int32_t { kRectangle = 0, kStar = 1 };

constexpr TEffectRecipe RotatingShape(TRotatingShape shape) {
  return {&kRotatingShape, TEffectParams{static_cast<int32_t>(shape)}};
}

}  // namespace qm
