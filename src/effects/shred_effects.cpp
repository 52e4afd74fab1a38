// Uneven shreds (styles 65 to 68, 76 to 79, 100 to 109): each frame draws the new picture
// through one CreateShredRegion, with fresh random ends.
#include "effects/shred_effects.h"

namespace qm {

void UnevenShredEffect(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
                       int32_t Progress, const TEffectParams& Params) {
  const TProgressMetrics m = CalcProgressMetrics(R, Step, Progress);
  const int32_t hlen = Params.A == kNoShreds ? 0 : m.PW;
  const int32_t vlen = Params.B == kNoShreds ? 0 : m.PH;
  ClipAndDraw(Screen, Picture, CreateShredRegion(hlen, vlen, m.W, m.H, Params.A, Params.B));
}

}  // namespace qm
