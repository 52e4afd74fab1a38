#include "platform/bitmap.h"

#include <limits>
#include <new>

#include "platform/exception.h"

namespace qm {

std::size_t TBitmap::RowBytesFor(int width, PixelFormat format) {
  if (width <= 0) return 0;
  const uint64_t bits = static_cast<uint64_t>(width) * static_cast<uint64_t>(format);
  return static_cast<std::size_t>(((bits + 31) / 32) * 4);
}

void TBitmap::SetSize(int width, int height, PixelFormat format) {
  if (width <= 0 || height <= 0 || format == PixelFormat::pfNone) {
    width_ = height_ = 0;
    row_bytes_ = 0;
    format_ = format;
    pixels_.clear();
    return;
  }
  const std::size_t row = RowBytesFor(width, format);
  // 2 GiB per bitmap at most: far beyond any screen, and safe for signed 32-bit row arithmetic.
  constexpr uint64_t kMaxBytes = uint64_t{1} << 31;
  if (static_cast<uint64_t>(row) * static_cast<uint64_t>(height) > kMaxBytes)
    throw EOutOfMemory("Bitmap too large");
  try {
    pixels_.assign(row * static_cast<std::size_t>(height), 0);
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory("Not enough memory for the bitmap");
  }
  width_ = width;
  height_ = height;
  format_ = format;
  row_bytes_ = row;
}

}  // namespace qm
