// Turning and scaling pictures: the eight EXIF orientations, the size a picture gets when it is
// fitted into a screen, and a Lanczos-3 downscaler.
#pragma once

#include <cstddef>
#include <span>

#include "platform/bitmap.h"
#include "platform/cpu_dispatch.h"

namespace qm::photos {

struct Size {
  int width = 0, height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

// Orientations 5 to 8 store the picture turned by a quarter: width and height trade places.
inline bool SwapsAxes(int orientation) {
  return orientation >= 5 && orientation <= 8;
}
inline Size Oriented(Size stored, int orientation) {
  return SwapsAxes(orientation) ? Size{stored.height, stored.width} : stored;
}

// The size of a `picture` scaled down to fit inside `box`, aspect kept (rounded to the nearest
// pixel, at least 1); the picture's own size when it fits already. Never larger.
Size FitInside(Size picture, Size box);

// A 24-bit picture stored with EXIF `orientation` (1..8), turned upright.
TBitmap Orient(const TBitmap& stored, int orientation);

// A 24-bit picture scaled down to `target` (at most its size on each side) with a Lanczos-3
// filter in linear light: the sRGB values are linearised before they are mixed and encoded
// again afterwards, so fine light detail (leaves against the sky, text) keeps its brightness
// instead of darkening as it does when gamma-encoded values are averaged. Works row by row
// with a window of filtered rows, so its memory beyond the two pictures is a few rows.
TBitmap Downscale(const TBitmap& source, Size target);

// The downscaler's inner loops for one kind of processor: the filter across one row (from its
// blue, green and red planes, `lanes` taps at a time) and the filter down a set of rows.
struct DownscaleKernels {
  int lanes;
  void (*across)(const int* first, const float* weights, int stride, const float* planes,
                 std::size_t plane, int width, float* out);
  void (*down)(const float* const* rows, const float* weights, int taps, std::size_t count,
               float* sum);
};
// Fastest first, the portable ones last: Downscale runs the first this processor supports.
std::span<const KernelRow<DownscaleKernels>> DownscaleKernelRows();
TBitmap Downscale(const TBitmap& source, Size target, const DownscaleKernels& kernels);

}  // namespace qm::photos
