// The memory one decoded picture may take, and what each decoder needs for a picture of a given
// header. A decoder checks its picture against the budget from the header, before it allocates
// anything large, so a small file that declares a huge picture fails with the out-of-memory
// error instead of taking the machine's memory.
#pragma once

#include <cstdint>
#include <span>

namespace qm {

// The most any machine allows one picture: 1 GiB.
inline constexpr uint64_t kDecodeBudgetCeiling = uint64_t{1} << 30;

// The budget on a machine with `physicalBytes` of memory: a quarter of it, at most the ceiling.
uint64_t DecodeBudgetFor(uint64_t physical_bytes);
// This machine's budget.
uint64_t DecodeBudget();
// Tests only: replaces this machine's budget; 0 restores it.
void SetDecodeBudgetForTesting(uint64_t bytes);

// Raises EOutOfMemory ("Zu wenig Arbeitsspeicher") when `bytes` exceed DecodeBudget().
void CheckDecodeBudget(uint64_t bytes);

// Bytes of a bitmap of `bitsPerPixel` (rows padded to 4 bytes).
uint64_t BitmapBytes(uint64_t width, uint64_t height, int bits_per_pixel);

// BMP: the bitmap of the file's depth (16-bit pixels become 24-bit).
uint64_t BmpDecodeBytes(uint64_t width, uint64_t height, int file_bits_per_pixel);

// PNG: the image buffer of `bufferBitsPerPixel` and, for colour types 4 and 6, the alpha plane.
uint64_t PngDecodeBytes(uint64_t width, uint64_t height, int buffer_bits_per_pixel, int color_type);

// JPEG: the bitmap (24 bits, or 8 when quantised); a file of several scans (progressive) keeps
// the coefficients of the whole picture, and colour quantised to 8 bits keeps a whole-picture
// buffer of three bytes per pixel for its second pass. Each component's sampling factors are
// given as {horizontal, vertical}.
struct JpegSampling {
  int h = 1, v = 1;
};
uint64_t JpegDecodeBytes(uint64_t width, uint64_t height, bool quantised, bool multi_scan,
                         std::span<const JpegSampling> components);

}  // namespace qm
