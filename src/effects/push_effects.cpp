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

#include <algorithm>

namespace qm {

namespace {

// A rectangle spanning [from, to) along the axis and the whole picture across it.
TRect Span(TPushAxis axis, int32_t from, int32_t to, int32_t across) {
  return axis == TPushAxis::kColumns ? Rect(from, 0, to, across) : Rect(0, from, across, to);
}

// Rows per piece when the old contents move sideways: a piece's rows fit in the processor's
// cache together with their copy.
constexpr int32_t kRowsPerPiece = 16;

// Copy 1: the old contents moved within the screen, from `from` onto `to`, as if the whole of
// `from` were read before anything is written. One stretch copy would do that by first copying
// all of `from` aside. Here the move goes in pieces, each read before any piece writes over it,
// so that what is copied aside at a time stays in the cache: the same pixels, one pass less
// over memory.
void MoveOldContents(TBitmap& Screen, TPushAxis axis, bool towards_far, const TRect& to,
                     const TRect& from) {
  if (to == from) return;  // nothing moves (no progress extent yet)
  if (axis == TPushAxis::kColumns) {
    // Every row takes its pixels from itself alone: bands of rows move independently.
    for (int32_t y0 = to.Top; y0 < to.Bottom; y0 += kRowsPerPiece) {
      const int32_t y1 = std::min(y0 + kRowsPerPiece, to.Bottom);
      StretchCopyRect(Screen, Rect(to.Left, y0, to.Right, y1), Screen,
                      Rect(from.Left, y0, from.Right, y1));
    }
    return;
  }
  // Row k of `to` shows row from.Top + (2k + 1) * m / (2n) of `from` (the stretch copy's
  // sampling, n rows onto m). Moving down, each row takes one at or above itself, so going up
  // from the bottom row reads every row before it is overwritten; moving up, each takes one at
  // or below itself, so the rows go from the top down.
  const int64_t n = to.Bottom - to.Top, m = from.Bottom - from.Top;
  if (n <= 0 || m <= 0) return;
  for (int64_t i = 0; i < n; ++i) {
    const int64_t k = towards_far ? n - 1 - i : i;
    const auto row = static_cast<int32_t>(to.Top + k);
    const auto source = static_cast<int32_t>(from.Top + (2 * k + 1) * m / (2 * n));
    if (row != source)
      StretchCopyRect(Screen, Rect(to.Left, row, to.Right, row + 1), Screen,
                      Rect(from.Left, source, from.Right, source + 1));
  }
}

}  // namespace

namespace {

// Where one frame's pieces go: the old contents from `old_from` onto `old_to`, and the new
// picture from `new_from` onto `new_to`. The two destinations split the screen between them.
struct TPushFrame {
  TPushAxis axis;
  bool towards_far;
  TRect old_to, old_from, new_to, new_from;
};

TPushFrame PushFrame(const TRect& R, uint32_t Step, int32_t Progress, const TEffectParams& Params) {
  const TProgressMetrics m = CalcProgressMetrics(R, Step, Progress);
  const auto axis = static_cast<TPushAxis>(Params.A);
  const bool towards_far = Params.B == static_cast<int32_t>(TPushTowards::kFar);
  const bool squeezes = Params.C == static_cast<int32_t>(TPushOld::kSqueezes);
  const int32_t size = axis == TPushAxis::kColumns ? m.W : m.H;
  const int32_t across = axis == TPushAxis::kColumns ? m.H : m.W;
  const int32_t p = axis == TPushAxis::kColumns ? m.PW : m.PH;
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
  return {axis, towards_far, old_to, old_from, new_to, new_from};
}

}  // namespace

void DrawPush(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
              int32_t Progress, const TEffectParams& Params) {
  const TPushFrame f = PushFrame(R, Step, Progress, Params);
  MoveOldContents(Screen, f.axis, f.towards_far, f.old_to, f.old_from);
  StretchCopyRect(Screen, f.new_to, Picture, f.new_from);
}

void ComposePush(TBitmap& Screen, const TBitmap& Old, const TBitmap& Picture, const TRect& R,
                 uint32_t Step, int32_t Progress, const TEffectParams& Params) {
  // The old contents are read from their own bitmap, so nothing needs to be read before it is
  // overwritten: each part of the screen is written once, straight from where it comes from.
  const TPushFrame f = PushFrame(R, Step, Progress, Params);
  StretchCopyRect(Screen, f.old_to, Old, f.old_from);
  StretchCopyRect(Screen, f.new_to, Picture, f.new_from);
}

}  // namespace qm
