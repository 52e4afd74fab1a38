// Styles that uncover the new picture in place from one edge with something drawn just ahead of
// the uncovered part:
//   unroll (14, 15, 31, 32): a strip of the picture that comes next, mirrored, as if the picture
//     were a sheet being rolled out with its underside showing on the roll;
//   build up (16, 17, 33, 34): the next few columns (rows) of the picture stretched over the
//     whole rest of the display.
#pragma once

#include "effects/rect_copies.h"

namespace qm {

// An edge of the display.
enum TEdge : int32_t { kLeftEdge, kTopEdge, kRightEdge, kBottomEdge };
constexpr TAxis AxisOf(TEdge edge) {
  return edge == kLeftEdge || edge == kRightEdge ? kAcross : kDown;
}

// Parameter A is the kind, B the axis, C 1 when the picture is uncovered from the far (right or
// bottom) edge and 0 from the near (left or top) one.
enum TLeadKind : int32_t { kUnroll, kBuildUp };

TRectCopies UnrollBuildUpCopies(const TProgressMetrics& m, const TEffectParams& params);

inline constexpr TEffectFamily kUnrollBuildUp =
    DrawnByCopies("unroll and build up", &DrawListedCopies<&UnrollBuildUpCopies>);

// Unrolled from `edge`.
constexpr TEffectRecipe Unroll(TEdge edge) {
  return {&kUnrollBuildUp, {kUnroll, AxisOf(edge), edge == kRightEdge || edge == kBottomEdge}};
}
// Built up toward `edge`: the stretched columns (rows) stand at `edge`, and the picture is
// uncovered from the opposite one.
constexpr TEffectRecipe BuildUp(TEdge edge) {
  return {&kUnrollBuildUp, {kBuildUp, AxisOf(edge), edge == kLeftEdge || edge == kTopEdge}};
}

}  // namespace qm
