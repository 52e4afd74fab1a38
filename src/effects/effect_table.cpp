// The effect table: one row per transition style 1..150, in style order (row i is style i + 1).
// Each row holds the style's number, its name as the user sees it, and how it draws: the family
// procedure and the member of that family (an edge, an axis, a corner, a kind). The families
// live in one source file per family group; each row names its family's maker, so a style's
// number or name leads from here straight to its code. A row without a family draws nothing:
// the frame routine then shows the old contents until the last frame, which draws the whole new
// picture itself.
//
// The names are kept exactly as the control has always published them, including the spelling
// of "Unven", "sqeeze", "apear" and "disapear" and the two names used twice (styles 18/33 and
// 25/34): presentations and scripts select styles by these texts.
#include "effects/effect_table.h"

// Styles 1-57.
#include "effects/growing_box_effects.h"
#include "effects/sides_and_quarters_effects.h"
#include "effects/unroll_build_up_effects.h"

// Styles 58-117.
#include "effects/bar_effects.h"
#include "effects/rounded_reveal_effects.h"
#include "effects/shred_effects.h"
#include "effects/triangle_effects.h"

// Styles 118-150.
#include "effects/blind_effects.h"
#include "effects/pixel_effects.h"
#include "effects/push_effects.h"
#include "effects/rotation_effects.h"
#include "effects/speckle_effects.h"
#include "effects/sweep_effects.h"

namespace qm {

// clang-format off
constexpr TEffect kEffectTable[kEffectCount] = {
    // Edges and corners: expand, slide, reveal, expand in, unroll, build up.
    {  1, "Expand from right", Expand(kRight, kWhole)},
    {  2, "Expand from left", Expand(kLeft, kWhole)},
    {  3, "Slide in from right", SlideIn(kRight, kWhole)},
    {  4, "Slide in from left", SlideIn(kLeft, kWhole)},
    {  5, "Reveal from left", Reveal(kLeft, kWhole)},
    {  6, "Reveal from right", Reveal(kRight, kWhole)},
    {  7, "Expand in from right", ContractTo(kLeft, kWhole)},
    {  8, "Expand in from left", ContractTo(kRight, kWhole)},
    {  9, "Expand in to middle", ContractTo(kMiddle, kWhole)},
    { 10, "Expand out from middle", Expand(kMiddle, kWhole)},
    { 11, "Reveal out from middle", Reveal(kMiddle, kWhole)},
    { 12, "Reveal in from sides", RevealInFromSides(kAcross)},
    { 13, "Expand in from sides", ExpandInFromSides(kAcross)},
    { 14, "Unroll from left", Unroll(kLeftEdge)},
    { 15, "Unroll from right", Unroll(kRightEdge)},
    { 16, "Build up from right", BuildUp(kRightEdge)},
    { 17, "Build up from left", BuildUp(kLeftEdge)},
    { 18, "Expand from bottom", Expand(kWhole, kBottom)},
    { 19, "Expand from top", Expand(kWhole, kTop)},
    { 20, "Slide in from bottom", SlideIn(kWhole, kBottom)},
    { 21, "Slide in from top", SlideIn(kWhole, kTop)},
    { 22, "Reveal from top", Reveal(kWhole, kTop)},
    { 23, "Reveal from bottom", Reveal(kWhole, kBottom)},
    { 24, "Expand in from bottom", ContractTo(kWhole, kTop)},
    { 25, "Expand in from top", ContractTo(kWhole, kBottom)},
    { 26, "Expand in to middle (horiz)", ContractTo(kWhole, kMiddle)},
    { 27, "Expand out from middle (horiz)", Expand(kWhole, kMiddle)},
    { 28, "Reveal from middle (horiz)", Reveal(kWhole, kMiddle)},
    { 29, "Slide in from top / bottom", RevealInFromSides(kDown)},
    { 30, "Expand in from top / bottom", ExpandInFromSides(kDown)},
    { 31, "Unroll from top", Unroll(kTopEdge)},
    { 32, "Unroll from bottom", Unroll(kBottomEdge)},
    { 33, "Expand from bottom", BuildUp(kBottomEdge)},
    { 34, "Expand in from top", BuildUp(kTopEdge)},
    { 35, "Expand from bottom right", Expand(kRight, kBottom)},
    { 36, "Expand from top right", Expand(kRight, kTop)},
    { 37, "Expand from top left", Expand(kLeft, kTop)},
    { 38, "Expand from bottom left", Expand(kLeft, kBottom)},
    { 39, "Slide in from bottom right", SlideIn(kRight, kBottom)},
    { 40, "Slide in from top right", SlideIn(kRight, kTop)},
    { 41, "Slide in from top left", SlideIn(kLeft, kTop)},
    { 42, "Slide in from bottom left", SlideIn(kLeft, kBottom)},
    { 43, "Reveal from top left", Reveal(kLeft, kTop)},
    { 44, "Reveal from bottom left", Reveal(kLeft, kBottom)},
    { 45, "Reveal from bottom right", Reveal(kRight, kBottom)},
    { 46, "Reveal from top right", Reveal(kRight, kTop)},
    // Corner-contract, centre and quarters.
    { 47, "Appear and Contract to top left", ContractTo(kLeft, kTop)},
    { 48, "Appear and Contract to bottom left", ContractTo(kLeft, kBottom)},
    { 49, "Appear and Contract to bottom right", ContractTo(kRight, kBottom)},
    { 50, "Appear and Contract to top right", ContractTo(kRight, kTop)},
    { 51, "Appear and Contract to middle", ContractTo(kMiddle, kMiddle)},
    { 52, "Expand out from centre", Expand(kMiddle, kMiddle)},
    { 53, "Reveal out from centre", Reveal(kMiddle, kMiddle)},
    { 54, "Reveal in to centre", RevealInFromEdges()},
    { 55, "Quarters Reveal in to middle", Quarters(kQuartersReveal)},
    { 56, "Quarters Expand to middle", Quarters(kQuartersExpand)},
    { 57, "Quarters Slide in to middle", Quarters(kQuartersSlide)},
    // Curved reveals, bars and uneven shreds.
    { 58, "Curved Reveal from left", CurvedReveal(kGrowsFromNear, kSpansWhole, kTwiceWidth, kTwiceWidth)},
    { 59, "Curved Reveal from right", CurvedReveal(kGrowsFromFar, kSpansWhole, kTwiceWidth, kTwiceWidth)},
    { 60, "Bars in from right", Bars(kRows, kBarsFromFar, kTwiceExtent, kSnapByStep)},
    { 61, "Bars in from left", Bars(kRows, kBarsFromNear, kTwiceExtent, kSnapByStep)},
    { 62, "Bars left then right", Bars(kRows, kBarsNearThenFar, kTwiceExtent, kSnapByStep)},
    { 63, "Bars right then left", Bars(kRows, kBarsFarThenNear, kTwiceExtent, kSnapByStep)},
    { 64, "Bars from both sides", Bars(kRows, kBarsFromBoth, kProgressExtent, kNoSnap)},
    { 65, "Uneven shred from right", UnevenShred(kShredsFromFar, kNoShreds)},
    { 66, "Uneven shred from left", UnevenShred(kShredsFromNear, kNoShreds)},
    { 67, "Uneven shred out from middle (horiz)", UnevenShred(kShredsOutFromCentre, kNoShreds)},
    { 68, "Uneven shred in to middle (horiz)", UnevenShred(kShredsInToCentre, kNoShreds)},
    { 69, "Curved Reveal from top", CurvedReveal(kSpansWhole, kGrowsFromNear, kTwiceHeight, kTwiceHeight)},
    { 70, "Curved Reveal from bottom", CurvedReveal(kSpansWhole, kGrowsFromFar, kTwiceHeight, kTwiceHeight)},
    { 71, "Bars from bottom", Bars(kColumns, kBarsFromFar, kTwiceExtent, kSnapByStep)},
    { 72, "Bars from top", Bars(kColumns, kBarsFromNear, kTwiceExtent, kSnapByStep)},
    { 73, "Bars top then bottom", Bars(kColumns, kBarsNearThenFar, kTwiceExtent, kSnapByStep)},
    { 74, "Bars bottom then top", Bars(kColumns, kBarsFarThenNear, kTwiceExtent, kSnapByStep)},
    { 75, "Bars from top and bottom", Bars(kColumns, kBarsFromBoth, kProgressExtent, kNoSnap)},
    { 76, "Unven shred from bottom", UnevenShred(kNoShreds, kShredsFromFar)},
    { 77, "Uneven shred from top", UnevenShred(kNoShreds, kShredsFromNear)},
    { 78, "Uneven shred from horizon", UnevenShred(kNoShreds, kShredsOutFromCentre)},
    { 79, "Uneven shred in to horizon", UnevenShred(kNoShreds, kShredsInToCentre)},
    { 80, "Curved reveal from top left", CurvedReveal(kGrowsFromNear, kGrowsFromNear, kTwiceWidth, kTwiceHeight)},
    { 81, "Curved reveal from top right", CurvedReveal(kGrowsFromFar, kGrowsFromNear, kTwiceWidth, kTwiceHeight)},
    { 82, "Curved reveal from bottom left", CurvedReveal(kGrowsFromNear, kGrowsFromFar, kTwiceWidth, kTwiceHeight)},
    { 83, "Curved reveal from bottom right", CurvedReveal(kGrowsFromFar, kGrowsFromFar, kTwiceHeight, kTwiceHeight)},
    // Circle and criss-cross.
    { 84, "Circular reveal from centre", CircularReveal(kOutFromCentre)},
    { 85, "Circular reveal to centre", CircularReveal(kInToCentre)},
    { 86, "Criss Cross reveal from bottom right", CrissCross(kBarsFromFar, kBarsFromFar, kTwiceExtent, kSnapByStep)},
    { 87, "Criss Cross reveal from top right", CrissCross(kBarsFromFar, kBarsFromNear, kTwiceExtent, kSnapByStep)},
    { 88, "Criss Cross reveal from bottom left", CrissCross(kBarsFromNear, kBarsFromFar, kTwiceExtent, kSnapByStep)},
    { 89, "Criss Cross reveal from top left", CrissCross(kBarsFromNear, kBarsFromNear, kTwiceExtent, kSnapByStep)},
    { 90, "Criss Cross reveal bounce from top left", CrissCross(kBarsNearThenFar, kBarsNearThenFar, kTwiceExtent, kSnapByStep)},
    { 91, "Criss Cross reveal bounce from bottom left", CrissCross(kBarsNearThenFar, kBarsFarThenNear, kTwiceExtent, kSnapByStep)},
    { 92, "Criss Cross reveal bounce from top right", CrissCross(kBarsFarThenNear, kBarsNearThenFar, kTwiceExtent, kSnapByStep)},
    { 93, "Criss Cross reveal bounce from bottom right", CrissCross(kBarsFarThenNear, kBarsFarThenNear, kTwiceExtent, kSnapByStep)},
    { 94, "Criss Cross reveal from right top and bottom", CrissCross(kBarsFromFar, kBarsFromBoth, kProgressExtent, kSnapByStep)},
    { 95, "Criss Cross reveal from left top and bottom", CrissCross(kBarsFromNear, kBarsFromBoth, kProgressExtent, kSnapByStep)},
    { 96, "Criss Cross reveal from left right and bottom", CrissCross(kBarsFromBoth, kBarsFromFar, kProgressExtent, kSnapByStep)},
    { 97, "Criss Cross reveal from left right and top", CrissCross(kBarsFromBoth, kBarsFromNear, kProgressExtent, kSnapByStep)},
    { 98, "Criss Cross reveal from top left right and bottom", CrissCross(kBarsFromBoth, kBarsFromBoth, kProgressExtent, kNoSnap)},
    { 99, "Criss Cross reveal from bottom left top right", CrissCrossMeet(kBarsFromFar, kBarsFromFar, kBarsFromNear, kBarsFromNear)},
    // Uneven shreds from two sides.
    {100, "Uneven shred from bottom and right", UnevenShred(kShredsFromFar, kShredsFromFar)},
    {101, "Uneven shred from top and right", UnevenShred(kShredsFromFar, kShredsFromNear)},
    {102, "Uneven shred from bottom and left", UnevenShred(kShredsFromNear, kShredsFromFar)},
    {103, "Uneven shred from top and left", UnevenShred(kShredsFromNear, kShredsFromNear)},
    {104, "Uneven shred from horiz and right", UnevenShred(kShredsFromFar, kShredsOutFromCentre)},
    {105, "Uneven shred from horiz and left", UnevenShred(kShredsFromNear, kShredsOutFromCentre)},
    {106, "Uneven shred from bottom and vert middle", UnevenShred(kShredsOutFromCentre, kShredsFromFar)},
    {107, "Uneven shred from top and vert middle", UnevenShred(kShredsOutFromCentre, kShredsFromNear)},
    {108, "Uneven shred from centre", UnevenShred(kShredsOutFromCentre, kShredsOutFromCentre)},
    {109, "Uneven shred to centre", UnevenShred(kShredsInToCentre, kShredsInToCentre)},
    // Diagonals, diagonal sweeps, starburst and triangular shred.
    {110, "Reveal diagonal from top left", DiagonalReveal(kTopLeft)},
    {111, "Reveal diagonal from top right", DiagonalReveal(kTopRight)},
    {112, "Reveal diagonal from bottom left", DiagonalReveal(kBottomLeft)},
    {113, "Reveal diagonal from bottom right", DiagonalReveal(kBottomRight)},
    {114, "Diagonal sweep from top left bottom right anticlockwise", DiagonalSweep(kAnticlockwise)},
    {115, "Diagonal sweep from top left bottom right clockwise", DiagonalSweep(kClockwise)},
    {116, "Starburst clockwise from center", Starburst()},
    {117, "Triangular shred to top left", TriangularShred()},
    // Fade, pivots, speckles and random squares.
    {118, "Fade", Fade()},
    {119, "Pivot from top left", Pivot(TPivotEnd::kTop, TPivotSide::kLeft)},
    {120, "Pivot from bottom left", Pivot(TPivotEnd::kBottom, TPivotSide::kLeft)},
    {121, "Pivot from top right", Pivot(TPivotEnd::kTop, TPivotSide::kRight)},
    {122, "Pivot from bottom right", Pivot(TPivotEnd::kBottom, TPivotSide::kRight)},
    {123, "Speckle appear from right", SpeckleColumns(TSpeckleStrip::kFar)},
    {124, "Speckle appear from left", SpeckleColumns(TSpeckleStrip::kNear)},
    {125, "Speckle appear from bottom", SpeckleRows(TSpeckleStrip::kFar)},
    {126, "Speckle appear from top", SpeckleRows(TSpeckleStrip::kNear)},
    {127, "Random squares appear", RandomSquares()},
    // Push and squeeze, blinds, rectangular shred, sweeps, rectangles and rotations.
    {128, "Push right", Push(TPushAxis::kColumns, TPushTowards::kFar, TPushOld::kSlides)},
    {129, "Push left", Push(TPushAxis::kColumns, TPushTowards::kNear, TPushOld::kSlides)},
    {130, "Push and squeeze right", Push(TPushAxis::kColumns, TPushTowards::kFar, TPushOld::kSqueezes)},
    {131, "Push and squeeze left", Push(TPushAxis::kColumns, TPushTowards::kNear, TPushOld::kSqueezes)},
    {132, "Push down", Push(TPushAxis::kRows, TPushTowards::kFar, TPushOld::kSlides)},
    {133, "Push up", Push(TPushAxis::kRows, TPushTowards::kNear, TPushOld::kSlides)},
    {134, "Push and sqeeze down", Push(TPushAxis::kRows, TPushTowards::kFar, TPushOld::kSqueezes)},
    {135, "Push and sqeeze up", Push(TPushAxis::kRows, TPushTowards::kNear, TPushOld::kSqueezes)},
    {136, "Blind vertically", Blinds(TStripAxis::kColumns, TStripPitch::kEven, TStripStart::kNear)},
    {137, "Blind horizontally", Blinds(TStripAxis::kRows, TStripPitch::kEven, TStripStart::kNear)},
    {138, "Uneven blind from left", Blinds(TStripAxis::kColumns, TStripPitch::kUneven, TStripStart::kNear)},
    {139, "Uneven blind from right", Blinds(TStripAxis::kColumns, TStripPitch::kUneven, TStripStart::kFar)},
    {140, "Uneven blind from top", Blinds(TStripAxis::kRows, TStripPitch::kUneven, TStripStart::kNear)},
    {141, "Uneven blind from bottom", Blinds(TStripAxis::kRows, TStripPitch::kUneven, TStripStart::kFar)},
    {142, "Rectangular shred", RectangularShred()},
    {143, "Sweep clockwise", Sweep(TSweepDirection::kClockwise)},
    {144, "Sweep anticlockwise", Sweep(TSweepDirection::kAnticlockwise)},
    {145, "Rectangles apear from left and disapear to right", RectangleBands(TStripAxis::kColumns, TStripStart::kNear)},
    {146, "Rectangles apear from right and disapear to left", RectangleBands(TStripAxis::kColumns, TStripStart::kFar)},
    {147, "Rectangles apear from up and disapear to bottom", RectangleBands(TStripAxis::kRows, TStripStart::kNear)},
    {148, "Rectangles apear from bottom and disapear to up", RectangleBands(TStripAxis::kRows, TStripStart::kFar)},
    {149, "Rotational rectangle", RotatingShape(TRotatingShape::kRectangle)},
    {150, "Rotational star", RotatingShape(TRotatingShape::kStar)},
};
// clang-format on

// The rows run 1..150 in order, so row i is style i + 1.
constexpr bool RowsRunInOrder() {
  for (int i = 0; i < kEffectCount; ++i)
    if (kEffectTable[i].Number != i + 1 || kEffectTable[i].Name.empty()) return false;
  return true;
}
static_assert(RowsRunInOrder(), "the effect table's rows must be styles 1..150 in order");

}  // namespace qm
