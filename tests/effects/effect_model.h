// The plain models the effect tests compare the real procedures with: a naive per-pixel stretch
// copy, drawing through a pixel-membership predicate, test pictures in which every pixel differs
// from its neighbours, and the grid of odd sizes, Steps and Progress values every family is
// checked over.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "effects/effect_table.h"
#include "platform/bitmap.h"
#include "platform/rect.h"
#include "tests/support/pixels.h"

namespace qm::test {

// A 32-bit picture (or 24-bit, or 8-bit with a 256-colour palette) whose pixels all differ from
// their neighbours and from those of pictures with another seed, so a misplaced sample shows.
TBitmap NoisePicture(int w, int h, uint32_t seed, PixelFormat format = PixelFormat::pf32bit);

// One stretch copy, pixel by pixel as the text states it: with n = |destination extent| and
// m = |source extent|, destination pixel k (counted from the origin in the direction of the
// extent's sign) takes source pixel floor((2k + 1) * m / (2n)) (counted likewise). Pixels outside
// `dest`, or whose sample lies outside `source`, are left alone. The whole source rectangle is
// read before anything is written, so `source` may be `dest` itself. Extents of 0 draw nothing.
// 32-bit bitmaps only.
void ModelStretch(TBitmap& dest, const TRect& dest_rect, const TBitmap& source,
                  const TRect& source_rect);

// Every pixel of `dest` for which inside(x, y) holds takes the pixel of `picture` at (x, y).
void ModelDrawWhere(TBitmap& dest, const TBitmap& picture,
                    const std::function<bool(int32_t x, int32_t y)>& inside);

// Equal sizes and equal 32-bit pixels; on failure says where the first difference is.
::testing::AssertionResult SameBitmaps(const TBitmap& expected, const TBitmap& actual);

// Runs the effect table's row for `style` on a copy of `old_contents` with `picture`, as the
// frame routine does for one frame (the screen holds the old contents first).
TBitmap RunStyle(int style, const TBitmap& old_contents, const TBitmap& picture, uint32_t step,
                 int32_t progress);

// The grid every family is checked over: odd sizes (1x1, 1xN, Nx1, 2x2, primes, very wide and
// very tall), Steps 1, 4, 33, 100 and Progress values 1, 50, 99 and a few between.
struct TGridPoint {
  int W, H;
  uint32_t Step;
  int32_t Progress;
  std::string Describe() const;
};
std::span<const TGridPoint> EffectGrid();

}  // namespace qm::test
