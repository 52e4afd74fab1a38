// Expand, slide in, reveal, expand in and appear and contract: styles 1-11, 18-28 and 35-53.
// Each frame is one copy. Along each axis the box is in one of four places (the whole extent,
// the near edge, the far edge or the middle), so a style is its kind and two places.
#include "effects/growing_box_effects.h"

namespace qm {

namespace {

// The box along one axis, P wide. The middle one has each end rounded toward zero on its own, so
// with E - P odd it leans one pixel toward the near edge.
constexpr TRange Box(int32_t place, TAxisExtents a) {
  switch (place) {
    case kLeft:
      return {0, a.P};
    case kRight:
      return {a.E - a.P, a.E};
    case kMiddle:
      return {(a.E - a.P) / 2, (a.E + a.P) / 2};
    default:
      return {0, a.E};
  }
}

// The whole picture at its own size, shifted so that the part of it on the display is the box:
// it enters over the box's edge, and its far side leaves the display E - P pixels beyond the
// opposite one. No style slides from the middle; there the picture keeps its place.
constexpr TRange Slid(int32_t place, TAxisExtents a) {
  switch (place) {
    case kLeft:
      return {a.P - a.E, a.P};
    case kRight:
      return {a.E - a.P, 2 * a.E - a.P};
    default:
      return {0, a.E};
  }
}

// Where the box of the picture is stretched to: from the edge it keeps, over 2E - P, so it runs
// E - P beyond the display on the open side (on both sides from the middle). The zoom
// (2E - P) / P shrinks toward 1 as P reaches E, and the display is covered whenever P > 0.
constexpr TRange BlownUp(int32_t place, TAxisExtents a) {
  switch (place) {
    case kLeft:
      return {0, 2 * a.E - a.P};
    case kRight:
      return {a.P - a.E, a.E};
    case kMiddle:
      return {a.P - a.E, 2 * a.E - a.P};
    default:
      return {0, a.E};
  }
}

}  // namespace

TRectCopies GrowingBoxCopies(const TProgressMetrics& m, const TEffectParams& params) {
  const int32_t columns = params.B, rows = params.C;
  const TAxisExtents x = AlongAxis(m, kAcross), y = AlongAxis(m, kDown);
  const TRect box = BoxOf(Box(columns, x), Box(rows, y));
  const TRect full = BoxOf({0, m.W}, {0, m.H});
  TRectCopies copies;
  switch (params.A) {
    case kExpandBox:
      copies.Add({box, full});
      break;
    case kSlideBox:
      copies.Add({BoxOf(Slid(columns, x), Slid(rows, y)), full});
      break;
    case kRevealBox:
      copies.AddInPlace(box);
      break;
    case kContractBox:
      copies.Add({BoxOf(BlownUp(columns, x), BlownUp(rows, y)), box});
      break;
    default:
      break;
  }
  return copies;
}

}  // namespace qm
