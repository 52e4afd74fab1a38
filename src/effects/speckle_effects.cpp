// Styles 123-127: speckles and random squares, drawn through regions.
//
//   123 "Speckle appear from right"   strip at the right, speckles to its left
//   124 "Speckle appear from left"    strip at the left, speckles to its right
//   125 "Speckle appear from bottom"  strip at the bottom, speckles above it
//   126 "Speckle appear from top"     strip at the top, speckles below it
//   127 "Random squares appear"       squares on a grid, each shown from a random progress on
#include "effects/speckle_effects.h"

#include <algorithm>

#include "platform/random.h"

namespace qm {

namespace {

// One pass of the speckle region along one direction. `along` is the side the bands run across
// (H for the horizontal pass: the bands are rows), `side` the side the strip grows along (W),
// `extent` the strip's size (PW). place(band_from, band_to, from, to) unites the rectangle
// covering [from, to) along `side` and [band_from, band_to) along `along`.
template <class TPlace>
void SpecklePass(int32_t extent, int32_t side, int32_t along, TSpeckleStrip strip,
                 std::optional<TRegion>& result, TPlace place) {
  const int32_t e = extent < side ? side / 10 : 0;
  const int32_t s = std::max(e / 20, 2);
  const int32_t n = e / s;
  const int32_t t = (3 * e / s) / 4;
  const bool far = strip == TSpeckleStrip::kFar;
  // The strip's inner edge, and the direction its speckles grow in.
  const int32_t edge = far ? side - extent : extent;
  for (int32_t b = 0; b < along; b += s / 2) {
    if (!result) result.emplace();
    TRegion& region = *result;
    if (far)
      place(region, b, b + s, side - extent, side);
    else
      place(region, b, b + s, 0, extent);
    for (int32_t i = n; i >= 1; --i) {
      const int32_t k = RandomBelow(i);
      if (i <= t ? k > 1 : k != 0) continue;
      if (far)
        place(region, b, b + s, edge - i * s, edge - i * s + s);
      else
        place(region, b, b + s, edge + i * s - s, edge + i * s);
    }
  }
}

}  // namespace

std::optional<TRegion> CreateSpeckleRegion(int32_t PW, int32_t PH, int32_t W, int32_t H,
                                           TSpeckleStrip HorizontalMode,
                                           TSpeckleStrip VerticalMode) {
  std::optional<TRegion> result;
  if (HorizontalMode != TSpeckleStrip::kNone)
    SpecklePass(PW, W, H, HorizontalMode, result,
                [](TRegion& r, int32_t y0, int32_t y1, int32_t x0, int32_t x1) {
                  r.UniteRect(x0, y0, x1, y1);
                });
  if (VerticalMode != TSpeckleStrip::kNone)
    SpecklePass(PH, H, W, VerticalMode, result,
                [](TRegion& r, int32_t x0, int32_t x1, int32_t y0, int32_t y1) {
                  r.UniteRect(x0, y0, x1, y1);
                });
  return result;
}

void DrawSpeckle(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
                 int32_t Progress, const TEffectParams& Params) {
  const TProgressMetrics m = CalcProgressMetrics(R, Step, Progress);
  std::optional<TRegion> region =
      CreateSpeckleRegion(m.PW, m.PH, m.W, m.H, static_cast<TSpeckleStrip>(Params.A),
                          static_cast<TSpeckleStrip>(Params.B));
  // Without a band the picture is empty; draw nothing rather than unclipped.
  if (region) ClipAndDraw(Screen, Picture, std::move(region));
}

void DrawRandomSquares(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
                       int32_t Progress, const TEffectParams&) {
  const TProgressMetrics m = CalcProgressMetrics(R, Step, Progress);
  SetRandomSeed(static_cast<uint32_t>(m.W) * static_cast<uint32_t>(m.H));
  int32_t z = m.StepSpan;
  if (z > 1) z /= 2;
  // A span of 0 (the longer side times Step below 45) would not advance the grid: pitch 1.
  if (z < 1) z = 1;
  // No square chosen: an empty region, so nothing of the new picture is drawn.
  TRegion region;
  for (int32_t x = 0; x < m.W; x += z)
    for (int32_t y = 0; y < m.H; y += z)
      if (Progress > RandomBelow(100)) region.UniteRect(x - z, y - z, x + z, y + z);
  ClipAndDraw(Screen, Picture, std::move(region));
}

}  // namespace qm
