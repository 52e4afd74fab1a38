// Row kernels of the PNG decoder: reversing a row's filter, turning 8-bit RGB and RGBA rows into
// the image's blue-green-red pixels (and the alpha plane), and the Adler-32 sum of the
// inflated data. Each has a portable version and,
// where the processor offers them, vectorised versions that give the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qm {

// Reverses a row's filter in place. `previous` is the unfiltered row above (zeros for the first
// row of an image or pass), `distance` the bytes per complete pixel (at least 1). Filter type 0
// and types above 4 leave the row as it is.
void UnfilterRow(uint8_t filter, uint8_t* row, const uint8_t* previous, std::size_t length,
                 std::size_t distance);

namespace png {

// Reverses one filter type over a row of `length` bytes (any length, whole pixels or not).
using TUnfilter = void (*)(uint8_t* row, const uint8_t* previous, std::size_t length);

struct TRowKernels {
  const char* Name;
  // Indexed by filter type 1 (Sub) to 4 (Paeth), for 3 and 4 bytes per pixel; entry 0 unused.
  TUnfilter Unfilter3[5];
  TUnfilter Unfilter4[5];
  // `count` pixels of red, green, blue bytes to blue, green, red.
  void (*RgbToBgr)(const uint8_t* src, uint8_t* dst, std::size_t count);
  // `count` pixels of red, green, blue, alpha bytes to blue, green, red, and the alpha bytes.
  void (*RgbaToBgr)(const uint8_t* src, uint8_t* dst, uint8_t* alpha, std::size_t count);
  // The Adler-32 sum `adler` (1 for no data) continued over `length` bytes.
  uint32_t (*Adler32)(uint32_t adler, const uint8_t* data, std::size_t length);
};

// The fastest kernels this processor can run.
const TRowKernels& RowKernels();

// Each set of kernels this processor can run, the portable one first, so that tests can check
// every one against it.
std::vector<TRowKernels> AvailableRowKernels();

}  // namespace png
}  // namespace qm
