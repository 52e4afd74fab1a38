// Bars (styles 60 to 64, 71 to 75), criss-cross reveals (86 to 98) and the meeting of two
// criss-cross patterns (99). Each frame shows the new picture through the bars of one
// CreateBarRegion, or through the pixels two of them share.
#include "effects/bar_effects.h"

namespace qm {

std::optional<TRegion> BarRegion(const TRect& R, uint32_t Step, int32_t Progress,
                                 const TEffectParams& Params) {
  const TProgressMetrics m = CalcProgressMetrics(R, Step, Progress);
  // A direction without bars gets a length of 0, so that it never reaches its second phase.
  const int32_t hlen = Params.A == kNoBars ? 0 : Params.C * m.PW;
  const int32_t vlen = Params.B == kNoBars ? 0 : Params.C * m.PH;
  const int32_t snap = Params.D == kSnapByStep ? m.StepSpan : 0;
  return CreateBarRegion(hlen, vlen, m.W, m.H, snap, Params.A, Params.B);
}

std::optional<TRegion> CrissCrossMeetRegion(const TRect& R, uint32_t Step, int32_t Progress,
                                            const TEffectParams& Params) {
  const TProgressMetrics m = CalcProgressMetrics(R, Step, Progress);
  std::optional<TRegion> first =
      CreateBarRegion(2 * m.PW, 2 * m.PH, m.W, m.H, m.StepSpan, Params.A, Params.B);
  const std::optional<TRegion> second =
      CreateBarRegion(2 * m.PW, 2 * m.PH, m.W, m.H, m.StepSpan, Params.C, Params.D);
  // Both patterns take bars whenever either of their kinds is set, as here.
  if (first && second) CombineRgn(*first, *first, *second, RGN_AND);
  return first;
}

}  // namespace qm
