// Curved reveals (styles 58, 59, 69, 70, 80 to 83) and circular reveals (84, 85): each frame
// draws the new picture through one rounded rectangle.
#include "effects/rounded_reveal_effects.h"

#include <utility>

namespace qm {

namespace {

// The rectangle's extent along one axis. Its leading side moves by twice the progress extent,
// so that it has crossed the picture at the end; the far side lies well outside, so that only
// the leading side's curve shows.
std::pair<int32_t, int32_t> CurveSpan(int32_t mode, int32_t extent, int32_t progress_extent) {
  switch (mode) {
    case kGrowsFromNear:
      return {-2 * extent, 2 * progress_extent};
    case kGrowsFromFar:
      return {extent - 2 * progress_extent, 3 * extent};
    default:
      return {-5, extent + 5};
  }
}

}  // namespace

void CurvedRevealEffect(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
                        int32_t Progress, const TEffectParams& Params) {
  const TProgressMetrics m = CalcProgressMetrics(R, Step, Progress);
  const auto [left, right] = CurveSpan(Params.A, m.W, m.PW);
  const auto [top, bottom] = CurveSpan(Params.B, m.H, m.PH);
  auto ellipse = [&](int32_t side) { return side == kTwiceWidth ? 2 * m.W : 2 * m.H; };
  ClipAndDraw(Screen, Picture,
              CreateRoundRectRgn(left, top, right, bottom, ellipse(Params.C), ellipse(Params.D)));
}

void CircularRevealEffect(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
                          int32_t Progress, const TEffectParams& Params) {
  const TProgressMetrics m = CalcProgressMetrics(R, Step, Progress);
  const int32_t cx = m.W / 2, cy = m.H / 2;
  if (Params.A == kOutFromCentre) {
    // A rectangle 2 PW by 2 PH about the centre, rounded with an ellipse nine tenths of its
    // size: nearly an ellipse, with short straight pieces in the middle of each side.
    ClipAndDraw(
        Screen, Picture,
        CreateRoundRectRgn(cx - m.PW, cy - m.PH, cx + m.PW, cy + m.PH, 9 * m.PW / 5, 9 * m.PH / 5));
    return;
  }
  // The picture outside a rounded rectangle that starts at twice the picture's size about the
  // centre and shrinks to it: the new picture comes in from the corners, then the edges.
  TRegion region = CreateRectRgnIndirect(R);
  const TRegion inner =
      CreateRoundRectRgn(m.PW - cx, m.PH - cy, 3 * m.W / 2 - m.PW, 3 * m.H / 2 - m.PH,
                         9 * (m.W - m.PW) / 5, 9 * (m.H - m.PH) / 5);
  CombineRgn(region, region, inner, RGN_XOR);
  ClipAndDraw(Screen, Picture, std::move(region));
}

}  // namespace qm
