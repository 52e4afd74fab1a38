// Styles that bring the new picture in as one box growing from an edge, a corner, the middle
// line or the centre of the display, in five ways:
//   expand (1, 2, 10, 18, 19, 27, 35-38, 52): the whole picture squeezed into the box;
//   slide in (3, 4, 20, 21, 39-42): the whole picture at its own size moving in, the box being
//     the part of it on the display;
//   reveal (5, 6, 11, 22, 23, 28, 43-46, 53): the picture in place, uncovered in the box;
//   expand in, appear and contract (7-9, 24-26, 47-51): the box of the picture blown up over
//     the whole display and more, contracting toward the box's edge, corner or centre until the
//     picture stands at its own size.
#pragma once

#include "effects/rect_copies.h"

namespace qm {

// Where the box stands along one axis (E = W or H, P = PW or PH): the whole extent [0, E), at
// the near edge [0, P), at the far edge [E - P, E), or centred [(E - P) div 2, (E + P) div 2).
enum TBoxPlace : int32_t {
  kWhole = 0,
  kLeft = 1,
  kTop = 1,
  kRight = 2,
  kBottom = 2,
  kMiddle = 3,
};

// How the picture fills the box (parameter A; B and C are the box's column and row places).
enum TBoxKind : int32_t { kExpandBox, kSlideBox, kRevealBox, kContractBox };

TRectCopies GrowingBoxCopies(const TProgressMetrics& m, const TEffectParams& params);

inline constexpr TEffectFamily kGrowingBox =
    DrawnByCopies("growing box", &DrawListedCopies<&GrowingBoxCopies>);

constexpr TEffectRecipe Expand(TBoxPlace columns, TBoxPlace rows) {
  return {&kGrowingBox, {kExpandBox, columns, rows}};
}
constexpr TEffectRecipe SlideIn(TBoxPlace columns, TBoxPlace rows) {
  return {&kGrowingBox, {kSlideBox, columns, rows}};
}
constexpr TEffectRecipe Reveal(TBoxPlace columns, TBoxPlace rows) {
  return {&kGrowingBox, {kRevealBox, columns, rows}};
}
constexpr TEffectRecipe ContractTo(TBoxPlace columns, TBoxPlace rows) {
  return {&kGrowingBox, {kContractBox, columns, rows}};
}

}  // namespace qm
