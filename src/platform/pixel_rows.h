// Row kernels shared by the stretch copy and the format conversion: reading pixels of any
// format as 32-bit values (blue | green << 8 | red << 16, fourth byte 0 unless the source is
// 32-bit) and writing 32-bit values into 24-bit and palette rows. Internal to the platform.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/bitmap.h"
#include "platform/cpu_dispatch.h"

namespace qm::pixel {

// A palette as 32-bit pixel values; indices beyond the bitmap's palette read as black.
using TLut = std::array<uint32_t, 256>;
TLut MakeLut(const TBitmap& bitmap);

// 32-bit pixel value of a colour 0x00BBGGRR, and back.
constexpr uint32_t FromColor(TColor c) {
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// Reads `count` pixels starting at column x0 of a row of the given format into out.
void ReadRun(const uint8_t* row, PixelFormat format, const TLut& lut, int32_t x0, int32_t count,
             uint32_t* out);
// Reads the pixels at the columns cols[0..count) of a row `width` pixels wide into out. The
// columns rise or fall along the whole map (a stretch copy's sampling), or stay the same.
void ReadMapped(const uint8_t* row, int32_t width, PixelFormat format, const TLut& lut,
                const int32_t* cols, int32_t count, uint32_t* out);

// dst[i] = src_last[-i] for i = 0..count-1: a row of 32-bit pixels in reverse order.
void ReverseCopy32(const uint32_t* src_last, uint32_t* dst, int32_t count);

// dst[i] = src[i] for i = 0..count-1: a run of 32-bit pixels, at the same speed however the
// two are aligned. They must not overlap.
void Copy32(const uint32_t* src, uint32_t* dst, std::size_t count);

// 24-bit blue-green-red to 32-bit pixels, the fourth byte 0.
void Convert24To32(const uint8_t* src, uint32_t* dst, std::size_t count);

// The implementations of the vectorised kernels above, each family fastest first and its
// portable one last: the kernels run the first this processor supports, and tests check every
// supported one against the portable one.
using TConvert24Fn = void (*)(const uint8_t* src, uint32_t* dst, std::size_t count);
using TGather32Fn = void (*)(const uint32_t* src, int32_t width, const int32_t* cols, int32_t count,
                             uint32_t* out);
using TCopy32Fn = void (*)(const uint32_t* src, uint32_t* dst, std::size_t count);
std::span<const KernelRow<TConvert24Fn>> Convert24To32Rows();
std::span<const KernelRow<TGather32Fn>> Gather32Rows();  // as ReadMapped reads 32-bit rows
std::span<const KernelRow<TCopy32Fn>> Copy32Rows();

// Writes `count` 32-bit pixels to a 24-bit row from column x0 on.
void Write24(uint8_t* row, int32_t x0, const uint32_t* px, int32_t count);

// Nearest palette entry (squared distance in red, green, blue; first of equals) for pixels.
class TPaletteMatcher {
 public:
  explicit TPaletteMatcher(const TBitmap& bitmap);
  uint8_t Index(uint32_t pixel);

 private:
  TLut lut_{};
  int count_ = 0;
  uint32_t last_pixel_ = 0;
  uint8_t last_index_ = 0;
  bool has_last_ = false;
};

// Writes a palette index into column x of a 1-, 4- or 8-bit row.
void WriteIndex(uint8_t* row, PixelFormat format, int32_t x, uint8_t index);

}  // namespace qm::pixel
