// Row kernels of the PNG decoder: reversing a row's filter, turning 8-bit RGB and RGBA rows into
// the image's blue-green-red pixels (and the alpha plane), and the Adler-32 sum of the
// inflated data. Each has a portable version and,
// where the processor offers them, vectorised versions that give the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/cpu_dispatch.h"

namespace qm {

// Reverses a row's filter in place. `previous` is the unfiltered row above (zeros for the first
// row of an image or pass), `distance` the bytes per complete pixel (at least 1). Filter type 0
// and types above 4 leave the row as it is.
void UnfilterRow(uint8_t filter, uint8_t* row, const uint8_t* previous, std::size_t length,
                 std::size_t distance);

namespace png {

// Reverses one filter type over a row of `length` bytes (any length, whole pixels or not).
using TUnfilter = void (*)(uint8_t* row, const uint8_t* previous, std::size_t length);

// Each filter type's reversal, indexed by filter type 1 (Sub) to 4 (Paeth), for 3 and 4 bytes
// per pixel; entry 0 unused.
struct TUnfilters {
  TUnfilter Unfilter3[5];
  TUnfilter Unfilter4[5];
};
// `count` pixels of red, green, blue bytes to blue, green, red.
using TRgbToBgrFn = void (*)(const uint8_t* src, uint8_t* dst, std::size_t count);
// `count` pixels of red, green, blue, alpha bytes to blue, green, red, and the alpha bytes.
using TRgbaToBgrFn = void (*)(const uint8_t* src, uint8_t* dst, uint8_t* alpha, std::size_t count);
// The Adler-32 sum `adler` (1 for no data) continued over `length` bytes.
using TAdler32Fn = uint32_t (*)(uint32_t adler, const uint8_t* data, std::size_t length);

struct TRowKernels : TUnfilters {
  TRgbToBgrFn RgbToBgr;
  TRgbaToBgrFn RgbaToBgr;
  TAdler32Fn Adler32;
};

// The kernels the decoder runs: of each family the first this processor supports.
const TRowKernels& RowKernels();

// Each family's implementations, fastest first and the portable one last, so that tests can
// check every supported one against it.
std::span<const KernelRow<TUnfilters>> UnfilterRows();
std::span<const KernelRow<TRgbToBgrFn>> RgbToBgrRows();
std::span<const KernelRow<TRgbaToBgrFn>> RgbaToBgrRows();
std::span<const KernelRow<TAdler32Fn>> Adler32Rows();

}  // namespace png
}  // namespace qm
