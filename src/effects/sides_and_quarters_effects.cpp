// Reveal and expand in from sides, reveal in to centre, and the quarters: styles 12, 13, 29, 30
// and 54-57. Two copies for the two-sided styles, four for the others. The pieces that meet in
// the middle overlap there by a pixel or two rather than leave a gap: a near piece is P div 2 + 1
// wide, so at P = 0 every corner or side piece is already one pixel wide.
#include "effects/sides_and_quarters_effects.h"

namespace qm {

namespace {

// A copy along one axis: the range Source of the picture onto the range Dest of the display.
struct TRangeCopy {
  TRange Dest, Source;
};
constexpr TRangeCopy InPlace(TRange r) {
  return {r, r};
}
constexpr TRectCopy Corner(TRangeCopy x, TRangeCopy y) {
  return {BoxOf(x.Dest, y.Dest), BoxOf(x.Source, y.Source)};
}

// The near and far pieces, P div 2 + 1 wide, reaching one pixel past the half of P.
constexpr TRange NearPiece(TAxisExtents a) {
  return {0, a.P / 2 + 1};
}
constexpr TRange FarPiece(TAxisExtents a) {
  return {a.E - a.P / 2 - 1, a.E};
}

// The four corners of the quarters that stay in place or squeeze in, in the order top left,
// bottom left, bottom right, top right.
void AddCorners(TRectCopies& copies, TRangeCopy near_x, TRangeCopy far_x, TRangeCopy near_y,
                TRangeCopy far_y) {
  copies.Add(Corner(near_x, near_y));
  copies.Add(Corner(near_x, far_y));
  copies.Add(Corner(far_x, far_y));
  copies.Add(Corner(far_x, near_y));
}

// Squeezed quarters: the picture split at E div 2 + 1 into two exact halves; the far box starts
// at E - P div 2, one pixel narrower than the near one.
constexpr TRangeCopy NearHalfSqueezed(TAxisExtents a) {
  return {NearPiece(a), {0, a.E / 2 + 1}};
}
constexpr TRangeCopy FarHalfSqueezed(TAxisExtents a) {
  return {{a.E - a.P / 2, a.E}, {a.E / 2 + 1, a.E}};
}

// Sliding quarters: a quarter keeps its place along one axis and slides along the other. The
// halves it slides as are about E div 2 wide, and those held at the far side start two pixels
// before the middle, so neighbouring quarters overlap by a pixel or two.
constexpr TRangeCopy HeldNear(TAxisExtents a) {
  return InPlace({0, a.E / 2 + 1});
}
constexpr TRangeCopy HeldFar(TAxisExtents a) {
  return InPlace({a.E / 2 - 1, a.E});
}
constexpr TRangeCopy SlidFromNear(TAxisExtents a) {
  return {{(a.P - a.E) / 2, a.P / 2 + 1}, {0, a.E / 2 + 1}};
}
constexpr TRangeCopy SlidFromFar(TAxisExtents a) {
  return {{a.E - a.P / 2, (a.E - a.P) / 2 + a.E}, {a.E / 2 + 1, a.E}};
}

}  // namespace

TRectCopies SidesAndQuartersCopies(const TProgressMetrics& m, const TEffectParams& params) {
  const TAxisExtents x = AlongAxis(m, kAcross), y = AlongAxis(m, kDown);
  TRectCopies copies;
  switch (params.A) {
    case kSidesReveal: {
      const TAxisExtents a = AlongAxis(m, params.B);
      copies.AddInPlace(BandOf(m, params.B, NearPiece(a)));
      copies.AddInPlace(BandOf(m, params.B, FarPiece(a)));
      break;
    }
    case kSidesExpand: {
      // The two source halves share the middle column (row) E div 2.
      const TAxisExtents a = AlongAxis(m, params.B);
      copies.Add({BandOf(m, params.B, NearPiece(a)), BandOf(m, params.B, {0, a.E / 2 + 1})});
      copies.Add({BandOf(m, params.B, FarPiece(a)), BandOf(m, params.B, {a.E / 2, a.E})});
      break;
    }
    case kEdgeBandsReveal:
      // Bands P div 2 deep with nothing added: at P = 0 nothing shows.
      copies.AddInPlace(BandOf(m, kDown, {0, y.P / 2}));
      copies.AddInPlace(BandOf(m, kDown, {y.E - y.P / 2, y.E}));
      copies.AddInPlace(BandOf(m, kAcross, {0, x.P / 2}));
      copies.AddInPlace(BandOf(m, kAcross, {x.E - x.P / 2, x.E}));
      break;
    case kQuartersReveal:
      AddCorners(copies, InPlace(NearPiece(x)), InPlace(FarPiece(x)), InPlace(NearPiece(y)),
                 InPlace(FarPiece(y)));
      break;
    case kQuartersExpand:
      AddCorners(copies, NearHalfSqueezed(x), FarHalfSqueezed(x), NearHalfSqueezed(y),
                 FarHalfSqueezed(y));
      break;
    case kQuartersSlide:
      // Clockwise: top left from the left, top right from the top, bottom right from the right,
      // bottom left from the bottom. On a picture one pixel wide (high) the held far half starts
      // at column (row) -1; it is copied in place, so that column falls beside the display.
      copies.Add(Corner(SlidFromNear(x), HeldNear(y)));
      copies.Add(Corner(HeldFar(x), SlidFromNear(y)));
      copies.Add(Corner(SlidFromFar(x), HeldFar(y)));
      copies.Add(Corner(HeldNear(x), SlidFromFar(y)));
      break;
    default:
      break;
  }
  return copies;
}

}  // namespace qm
