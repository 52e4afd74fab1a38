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

// Styles 118-150.

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
    { 58, "Curved Reveal from left", {}},
    { 59, "Curved Reveal from right", {}},
    { 60, "Bars in from right", {}},
    { 61, "Bars in from left", {}},
    { 62, "Bars left then right", {}},
    { 63, "Bars right then left", {}},
    { 64, "Bars from both sides", {}},
    { 65, "Uneven shred from right", {}},
    { 66, "Uneven shred from left", {}},
    { 67, "Uneven shred out from middle (horiz)", {}},
    { 68, "Uneven shred in to middle (horiz)", {}},
    { 69, "Curved Reveal from top", {}},
    { 70, "Curved Reveal from bottom", {}},
    { 71, "Bars from bottom", {}},
    { 72, "Bars from top", {}},
    { 73, "Bars top then bottom", {}},
    { 74, "Bars bottom then top", {}},
    { 75, "Bars from top and bottom", {}},
    { 76, "Unven shred from bottom", {}},
    { 77, "Uneven shred from top", {}},
    { 78, "Uneven shred from horizon", {}},
    { 79, "Uneven shred in to horizon", {}},
    { 80, "Curved reveal from top left", {}},
    { 81, "Curved reveal from top right", {}},
    { 82, "Curved reveal from bottom left", {}},
    { 83, "Curved reveal from bottom right", {}},
    // Circle and criss-cross.
    { 84, "Circular reveal from centre", {}},
    { 85, "Circular reveal to centre", {}},
    { 86, "Criss Cross reveal from bottom right", {}},
    { 87, "Criss Cross reveal from top right", {}},
    { 88, "Criss Cross reveal from bottom left", {}},
    { 89, "Criss Cross reveal from top left", {}},
    { 90, "Criss Cross reveal bounce from top left", {}},
    { 91, "Criss Cross reveal bounce from bottom left", {}},
    { 92, "Criss Cross reveal bounce from top right", {}},
    { 93, "Criss Cross reveal bounce from bottom right", {}},
    { 94, "Criss Cross reveal from right top and bottom", {}},
    { 95, "Criss Cross reveal from left top and bottom", {}},
    { 96, "Criss Cross reveal from left right and bottom", {}},
    { 97, "Criss Cross reveal from left right and top", {}},
    { 98, "Criss Cross reveal from top left right and bottom", {}},
    { 99, "Criss Cross reveal from bottom left top right", {}},
    // Uneven shreds from two sides.
    {100, "Uneven shred from bottom and right", {}},
    {101, "Uneven shred from top and right", {}},
    {102, "Uneven shred from bottom and left", {}},
    {103, "Uneven shred from top and left", {}},
    {104, "Uneven shred from horiz and right", {}},
    {105, "Uneven shred from horiz and left", {}},
    {106, "Uneven shred from bottom and vert middle", {}},
    {107, "Uneven shred from top and vert middle", {}},
    {108, "Uneven shred from centre", {}},
    {109, "Uneven shred to centre", {}},
    // Diagonals, diagonal sweeps, starburst and triangular shred.
    {110, "Reveal diagonal from top left", {}},
    {111, "Reveal diagonal from top right", {}},
    {112, "Reveal diagonal from bottom left", {}},
    {113, "Reveal diagonal from bottom right", {}},
    {114, "Diagonal sweep from top left bottom right anticlockwise", {}},
    {115, "Diagonal sweep from top left bottom right clockwise", {}},
    {116, "Starburst clockwise from center", {}},
    {117, "Triangular shred to top left", {}},
    // Fade, pivots, speckles and random squares.
    {118, "Fade", {}},
    {119, "Pivot from top left", {}},
    {120, "Pivot from bottom left", {}},
    {121, "Pivot from top right", {}},
    {122, "Pivot from bottom right", {}},
    {123, "Speckle appear from right", {}},
    {124, "Speckle appear from left", {}},
    {125, "Speckle appear from bottom", {}},
    {126, "Speckle appear from top", {}},
    {127, "Random squares appear", {}},
    // Push and squeeze, blinds, rectangular shred, sweeps, rectangles and rotations.
    {128, "Push right", {}},
    {129, "Push left", {}},
    {130, "Push and squeeze right", {}},
    {131, "Push and squeeze left", {}},
    {132, "Push down", {}},
    {133, "Push up", {}},
    {134, "Push and sqeeze down", {}},
    {135, "Push and sqeeze up", {}},
    {136, "Blind vertically", {}},
    {137, "Blind horizontally", {}},
    {138, "Uneven blind from left", {}},
    {139, "Uneven blind from right", {}},
    {140, "Uneven blind from top", {}},
    {141, "Uneven blind from bottom", {}},
    {142, "Rectangular shred", {}},
    {143, "Sweep clockwise", {}},
    {144, "Sweep anticlockwise", {}},
    {145, "Rectangles apear from left and disapear to right", {}},
    {146, "Rectangles apear from right and disapear to left", {}},
    {147, "Rectangles apear from up and disapear to bottom", {}},
    {148, "Rectangles apear from bottom and disapear to up", {}},
    {149, "Rotational rectangle", {}},
    {150, "Rotational star", {}},
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
