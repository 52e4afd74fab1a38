#include "effects/region_builders.h"

#include "platform/random.h"

namespace qm {

namespace {

// Collects the rectangles of one direction into the result. A rectangle is given by its extent
// along the bars (columns for bars along rows) and across them (rows); bars along columns swap
// the two. Every rectangle counts as taken, also an empty one: the caller then gets a region
// (through which nothing may show), not "no region" (through which everything shows).
class TBandSink {
 public:
  TBandSink(TRegion& region, bool& taken, bool along_rows)
      : region_(region), taken_(taken), along_rows_(along_rows) {}

  void Take(int32_t along0, int32_t across0, int32_t along1, int32_t across1) {
    taken_ = true;
    if (along_rows_)
      region_.UniteRect(along0, across0, along1, across1);
    else
      region_.UniteRect(across0, along0, across1, along1);
  }

 private:
  TRegion& region_;
  bool& taken_;
  bool along_rows_;
};

// One direction of bars: `extent` is the picture's size along the bars, `breadth` across them.
void AddBars(TBandSink& sink, int32_t len, int32_t extent, int32_t breadth, int32_t snap,
             int32_t kind) {
  int32_t at = len > extent ? 5 : 0;
  while (at < breadth + 5) {
    if (len > extent) {
      // Second phase: the even bar above (left of) `at` stands full; the odd bar at `at` grows
      // by the excess of the length over the extent.
      sink.Take(0, at - 5, extent, at);
      if (kind == kBarsFromFar || kind == kBarsNearThenFar)
        sink.Take(2 * extent - len, at, extent, at + 5);
      else if (kind == kBarsFromNear || kind == kBarsFarThenNear)
        sink.Take(0, at, len - extent, at + 5);
    } else {
      // Growing phase: a bar less than `snap` short of full length is taken whole.
      if (len + snap > extent) len = extent;
      switch (kind) {
        case kBarsFromFar:
        case kBarsFarThenNear:
          sink.Take(extent - len, at, extent, at + 5);
          break;
        case kBarsFromNear:
        case kBarsNearThenFar:
          sink.Take(0, at, len, at + 5);
          break;
        case kBarsFromBoth:
          sink.Take(0, at + 5, len, at + 10);
          sink.Take(extent - len, at, extent, at + 5);
          break;
        default:
          break;
      }
    }
    at += 10;
  }
}

// One direction of shreds, `extent` and `breadth` as for the bars.
void AddShreds(TBandSink& sink, int32_t len, int32_t extent, int32_t breadth, int32_t kind) {
  if (kind == kNoShreds) return;
  const int32_t jitter = len < extent ? extent / 7 : 0;
  const int32_t thickness = 5 + breadth % 5;
  for (int32_t at = 0; at < breadth; at += 5) {
    const int32_t end = at + thickness;
    // The draws are separate statements: their order is part of the transition's sequence.
    const int32_t r1 = RandomBelow(jitter);
    const int32_t r2 = RandomBelow(jitter);
    switch (kind) {
      case kShredsFromFar:
        sink.Take(extent - len + r1 - r2, at, extent, end);
        break;
      case kShredsFromNear:
        sink.Take(0, at, len + r1 - r2, end);
        break;
      case kShredsOutFromCentre: {
        const int32_t r3 = RandomBelow(jitter);
        const int32_t r4 = RandomBelow(jitter);
        sink.Take((extent - len + r1 - r2) / 2, at, extent / 2, end);
        sink.Take(extent / 2, at, (extent + len + r3 - r4) / 2, end);
        break;
      }
      default: {
        const int32_t r3 = RandomBelow(jitter);
        const int32_t r4 = RandomBelow(jitter);
        sink.Take(extent - (len + r1 - r2) / 2, at, extent, end);
        sink.Take(0, at, (len + r3 - r4) / 2, end);
        break;
      }
    }
  }
}

}  // namespace

std::optional<TRegion> CreateBarRegion(int32_t HLen, int32_t VLen, int32_t W, int32_t H,
                                       int32_t Snap, int32_t HKind, int32_t VKind) {
  TRegion region;
  bool taken = false;
  TBandSink rows(region, taken, true), columns(region, taken, false);
  AddBars(rows, HLen, W, H, Snap, HKind);
  AddBars(columns, VLen, H, W, Snap, VKind);
  if (!taken) return std::nullopt;
  return region;
}

std::optional<TRegion> CreateShredRegion(int32_t HLen, int32_t VLen, int32_t W, int32_t H,
                                         int32_t HKind, int32_t VKind) {
  TRegion region;
  bool taken = false;
  TBandSink rows(region, taken, true), columns(region, taken, false);
  AddShreds(rows, HLen, W, H, HKind);
  AddShreds(columns, VLen, H, W, VKind);
  if (!taken) return std::nullopt;
  return region;
}

TRegion CreateTriangleRegion(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3,
                             int32_t y3) {
  TRegion region;
  UniteTriangle(region, Point(x1, y1), Point(x2, y2), Point(x3, y3));
  return region;
}

void UniteTriangle(TRegion& region, TPoint a, TPoint b, TPoint c) {
  const TPoint corners[3] = {a, b, c};
  region.UnitePolygon(corners, 3, WINDING);
}

}  // namespace qm
