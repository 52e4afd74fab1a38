// Unroll and build up: styles 14-17 and 31-34. Two copies a frame: the lead strip, then the
// uncovered part in place (unroll), or the uncovered part, then the stretched strip (build up).
#include "effects/unroll_build_up_effects.h"

#include <algorithm>

namespace qm {

namespace {

// The roll is a tenth of the display's extent, except near the start and the end, where it is
// half of what is uncovered and half of what is still covered, so that it grows out of the
// edge and rolls off the far one; the picture part it mirrors, just beyond it, never reaches
// past the picture.
constexpr int32_t RollLength(TAxisExtents a) {
  if (a.P < a.E / 5) return a.P / 2;
  if (a.E < a.P + a.E / 5) return (a.E - a.P) / 2;
  return a.E / 10;
}

void AddUnroll(TRectCopies& copies, const TProgressMetrics& m, int32_t axis, bool from_far) {
  const TAxisExtents a = AlongAxis(m, axis);
  const int32_t roll = RollLength(a);
  // The roll stands just ahead of the uncovered part and shows the picture part beyond it
  // turned over. The mirrored copy covers two more columns (rows) than its rectangle, on the
  // far side of it.
  TRange on_roll, beyond, uncovered;
  if (from_far) {
    const int32_t edge = a.E - a.P;
    on_roll = {edge - roll, edge};
    beyond = {edge - 2 * roll, edge - roll};
    uncovered = {edge, a.E};
  } else {
    const int32_t outer = a.P + roll;
    on_roll = {a.P, outer};
    beyond = {outer, outer + roll};
    uncovered = {0, a.P};
  }
  copies.Add({BandOf(m, axis, on_roll), BandOf(m, axis, beyond), axis == kAcross, axis == kDown});
  copies.AddInPlace(BandOf(m, axis, uncovered));
}

void AddBuildUp(TRectCopies& copies, const TProgressMetrics& m, int32_t axis, bool from_far) {
  const TAxisExtents a = AlongAxis(m, axis);
  // E div StepSpan columns (rows) fill the rest; a larger Step makes the strip narrower. With a
  // StepSpan of 0 (a tiny picture at a small Step) the strip has no width and draws nothing.
  const int32_t strip = m.StepSpan > 0 ? a.E / m.StepSpan : 0;
  if (from_far) {
    const int32_t edge = a.E - a.P;
    copies.AddInPlace(BandOf(m, axis, {edge, a.E}));
    copies.Add({BandOf(m, axis, {0, edge}), BandOf(m, axis, {std::max(edge - strip, 0), edge})});
  } else {
    copies.AddInPlace(BandOf(m, axis, {0, a.P}));
    copies.Add({BandOf(m, axis, {a.P, a.E}), BandOf(m, axis, {a.P, std::min(a.P + strip, a.E)})});
  }
}

}  // namespace

TRectCopies UnrollBuildUpCopies(const TProgressMetrics& m, const TEffectParams& params) {
  TRectCopies copies;
  if (params.A == kUnroll)
    AddUnroll(copies, m, params.B, params.C != 0);
  else
    AddBuildUp(copies, m, params.B, params.C != 0);
  return copies;
}

}  // namespace qm
