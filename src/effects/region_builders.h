// Region builders shared by the region effects: bars 5 pixels thick that grow from the
// picture's edges (the bar and criss-cross styles), ragged shreds laid every 5 rows or columns
// (the uneven shred styles), and triangles (the diagonal, sweep, starburst and triangular shred
// styles).
//
// Each builder returns the union of its shapes. The shapes are united into one region as they
// are produced, so building costs about the region's spans, however many shapes overlap.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/region.h"

namespace qm {

// How the bars of one direction grow. The near edge is the left edge for bars along rows and the
// top edge for bars along columns; the far edge is the right or the bottom edge. The even bars
// lie at 0, 10, 20, ... and the odd bars at 5, 15, 25, ... across the bars. While the length is
// at most the picture's extent the bars grow (the growing phase); beyond it the even bars stand
// at full length and the odd bars grow by the excess (the second phase).
enum TBarKind : int32_t {
  kNoBars = 0,           // nothing
  kBarsFromFar = 1,      // even, then odd bars grow from the far edge
  kBarsFromNear = 2,     // even, then odd bars grow from the near edge
  kBarsFromBoth = 3,     // at once: even bars from the far edge, odd bars from the near edge
  kBarsNearThenFar = 4,  // even bars from the near edge, then odd bars from the far edge
  kBarsFarThenNear = 5,  // even bars from the far edge, then odd bars from the near edge
};

// Bars along rows of length HLen with kind HKind, united with bars along columns of length VLen
// with kind VKind, on a W x H picture. A growing bar that comes within Snap pixels of full
// length is taken at full length. No region when no bar was taken at all.
std::optional<TRegion> CreateBarRegion(int32_t HLen, int32_t VLen, int32_t W, int32_t H,
                                       int32_t Snap, int32_t HKind, int32_t VKind);

// Where the shreds of one direction grow from.
enum TShredKind : int32_t {
  kNoShreds = 0,
  kShredsFromFar = 1,        // from the right, or the bottom
  kShredsFromNear = 2,       // from the left, or the top
  kShredsOutFromCentre = 3,  // from the centre line toward both edges
  kShredsInToCentre = 4,     // from both edges toward the centre line
};

// Shreds along rows of length HLen with kind HKind, united with shreds along columns of length
// VLen with kind VKind, on a W x H picture. A shred starts every 5 rows (columns) and is
// 5 + H mod 5 rows (5 + W mod 5 columns) thick; its ends jitter by random amounts drawn from
// RandomBelow, two draws per shred for kinds 1 and 2 and four for kinds 3 and 4, in shred order,
// the rows first. No region when no shred was taken (a picture without rows or columns).
std::optional<TRegion> CreateShredRegion(int32_t HLen, int32_t VLen, int32_t W, int32_t H,
                                         int32_t HKind, int32_t VKind);

// The filled triangle with the three corners (non-zero winding).
TRegion CreateTriangleRegion(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3,
                             int32_t y3);
// Unites that triangle into `region`.
void UniteTriangle(TRegion& region, TPoint a, TPoint b, TPoint c);

}  // namespace qm
