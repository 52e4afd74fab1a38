// Styles 128-135: push and squeeze, by two stretch copies.
//
//   128 "Push right"              old slides right by PW, new enters at the left
//   129 "Push left"               old slides left by PW, new enters at the right
//   130 "Push and squeeze right"  whole old squeezed into the right W - PW columns
//   131 "Push and squeeze left"   whole old squeezed into the left W - PW columns
//   132 "Push down"               as 128, in rows
//   133 "Push up"                 as 129, in rows
//   134 "Push and sqeeze down"    as 130, in rows
//   135 "Push and sqeeze up"      as 131, in rows
#include "effects/push_effects.h"

namespace qm {

namespace {

// A rectangle spanning [from, to) along the axis and the whole picture across it.
TRect Span(TPushAxis axis, int32_t from, int32_t to, int32_t across) {
  return axis == TPushAxis::Columns ? Rect(from, 0, to, across) : Rect(0, from, across, to);
}

}  // namespace

void DrawPush(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
              int32_t Progress, const TEffectParams& Params) {
  const TProgressMetrics m = CalcProgressMetrics(R, Step, Progress);
  const auto axis = static_cast<TPushAxis>(Params.A);
  const bool towards_far = Params.B == static_cast<int32_t>(TPushTowards::Far);
  const bool squeezes = Params.C == static_cast<int32_t>(TPushOld::Squeezes);
  const int32_t size = axis == TPushAxis::Columns ? m.W : m.H;
  const int32_t across = axis == TPushAxis::Columns ? m.H : m.W;
  const int32_t p = axis == TPushAxis::Columns ? m.PW : m.PH;
  // The old contents land in the part the new picture leaves; they come from the part that
  // stays in view when sliding, or from the whole screen when squeezed.
  const TRect old_to = towards_far ? Span(axis, p, size, across) : Span(axis, 0, size - p, across);
  const TRect old_from = squeezes      ? Span(axis, 0, size, across)
                         : towards_far ? Span(axis, 0, size - p, across)
                                       : Span(axis, p, size, across);
  // The new picture enters at the edge the old contents leave, showing its part nearest them.
  const TRect new_to = towards_far ? Span(axis, 0, p, across) : Span(axis, size - p, size, across);
  const TRect new_from =
      towards_far ? Span(axis, size - p, size, across) : Span(axis, 0, p, across);
  StretchCopyRect(Screen, old_to, Screen, old_from);
  StretchCopyRect(Screen, new_to, Picture, new_from);
}

}  // namespace qm
