// Styles 128-135: push and squeeze. The old contents move aside (sliding, or squeezed into the
// room left) while the new picture enters from the opposite edge, with two stretch copies per
// frame: the first moves the old contents within the screen, the second brings in the new
// picture.
#pragma once

#include "effects/effect_contract.h"

namespace qm {

// A: the axis (columns or rows), B: the direction the old contents move in (towards the far
// edge, right or down, or the near one), C: 1 when the old contents are squeezed whole into the
// room left instead of sliding out.
void DrawPush(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
              int32_t Progress, const TEffectParams& Params);
void ComposePush(TBitmap& Screen, const TBitmap& Old, const TBitmap& Picture, const TRect& R,
                 uint32_t Step, int32_t Progress, const TEffectParams& Params);
inline constexpr TEffectFamily kPush{"push", &DrawPush, false, true, &ComposePush};

enum class TPushAxis : int32_t { kColumns = 0, kRows = 1 };
enum class TPushTowards : int32_t { kFar = 0, kNear = 1 };  // right/down, left/up
enum class TPushOld : int32_t { kSlides = 0, kSqueezes = 1 };

constexpr TEffectRecipe Push(TPushAxis axis, TPushTowards towards, TPushOld old) {
  return {&kPush, TEffectParams{static_cast<int32_t>(axis), static_cast<int32_t>(towards),
                                static_cast<int32_t>(old)}};
}

}  // namespace qm
