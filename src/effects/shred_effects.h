// Uneven shreds: bands laid every 5 rows or columns whose ends jitter at random, so that the
// front of the new picture is ragged and changes from frame to frame. Styles 65 to 68 (along
// rows), 76 to 79 (along columns) and 100 to 109 (both at once).
#pragma once

#include "effects/effect_contract.h"
#include "effects/region_builders.h"

namespace qm {

// Shreds along rows of kind A, reaching the progress extent PW, and along columns of kind B,
// reaching PH.
void UnevenShredEffect(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
                       int32_t Progress, const TEffectParams& Params);
inline constexpr TEffectFamily kUnevenShred = DrawnByCopies("uneven shred", UnevenShredEffect);

constexpr TEffectRecipe UnevenShred(TShredKind RowKind, TShredKind ColumnKind) {
  return {&kUnevenShred, TEffectParams{RowKind, ColumnKind}};
}

}  // namespace qm
