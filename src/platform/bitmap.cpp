#include "platform/bitmap.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "platform/exception.h"
#include "platform/messages.h"
#include "platform/pixel_rows.h"
#include "platform/stretch.h"

namespace qm {

std::size_t TBitmap::RowBytesFor(int width, PixelFormat format) {
  if (width <= 0) return 0;
  const uint64_t bits = static_cast<uint64_t>(width) * static_cast<uint64_t>(format);
  return static_cast<std::size_t>(((bits + 31) / 32) * 4);
}

void TBitmap::SetSize(int width, int height, PixelFormat format) {
  Allocate(width, height, format, true);
}

void TBitmap::SetSizeToOverwrite(int width, int height, PixelFormat format) {
  Allocate(width, height, format, false);
  const std::size_t used =
      (static_cast<std::size_t>(width_) * static_cast<std::size_t>(format_) + 7) / 8;
  if (used < row_bytes_)
    for (int y = 0; y < height_; ++y) std::memset(ScanLine(y) + used, 0, row_bytes_ - used);
}

void TBitmap::Allocate(int width, int height, PixelFormat format, bool cleared) {
  if (width <= 0 || height <= 0 || format == PixelFormat::pfNone) {
    width_ = height_ = 0;
    row_bytes_ = 0;
    format_ = format;
    pixels_ = PixelStore();
    return;
  }
  const std::size_t row = RowBytesFor(width, format);
  // 2 GiB per bitmap at most: far beyond any screen, and safe for signed 32-bit row arithmetic.
  constexpr uint64_t kMaxBytes = uint64_t{1} << 31;
  if (static_cast<uint64_t>(row) * static_cast<uint64_t>(height) > kMaxBytes)
    throw EOutOfMemory(msg::kOutOfMemory);
  try {
    const std::size_t bytes = row * static_cast<std::size_t>(height);
    pixels_ = cleared ? PixelStore(bytes) : PixelStore(bytes, PixelStore::Uncleared{});
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory(msg::kOutOfMemory);
  }
  width_ = width;
  height_ = height;
  format_ = format;
  row_bytes_ = row;
}

}  // namespace qm

namespace qm {

void TBitmap::Resize(int width, int height, TColor fill) {
  TBitmap resized(width, height, format_);
  resized.palette_ = palette_;
  resized.Transparent = Transparent;
  resized.TransparentColor = TransparentColor;
  if (!resized.Empty()) {
    if (BitsPerPixel() <= 8) {
      for (int y = 0; y < resized.height_; ++y)
        for (int x = 0; x < resized.width_; ++x)
          pixel::WriteIndex(resized.ScanLine(y), format_, x, static_cast<uint8_t>(fill));
    } else {
      FillRect(resized, TRect{0, 0, width, height}, fill);
    }
    // The shared part: whole bytes of each row, then the pixels of a partly shared last byte.
    const int w = std::min(width, width_), h = std::min(height, height_);
    const std::size_t bits = static_cast<std::size_t>(w) * static_cast<std::size_t>(format_);
    for (int y = 0; y < h; ++y) {
      std::memcpy(resized.ScanLine(y), ScanLine(y), bits / 8);
      if (bits % 8 != 0) {
        const uint8_t keep = static_cast<uint8_t>(0xFF00 >> (bits % 8));
        uint8_t& d = resized.ScanLine(y)[bits / 8];
        d = static_cast<uint8_t>((ScanLine(y)[bits / 8] & keep) | (d & ~keep));
      }
    }
  }
  width_ = resized.width_;
  height_ = resized.height_;
  format_ = resized.format_;
  row_bytes_ = resized.row_bytes_;
  pixels_ = std::move(resized.pixels_);
}

void TBitmap::ConvertTo(PixelFormat format) {
  if (format == format_) return;
  if (format == PixelFormat::pf32bit && !Empty()) {
    WidenTo32BitInPlace();
    return;
  }
  TBitmap converted = ConvertedTo(format);
  width_ = converted.width_;
  height_ = converted.height_;
  format_ = format;
  row_bytes_ = converted.row_bytes_;
  pixels_ = std::move(converted.pixels_);
  palette_.clear();
}

// A 32-bit row is at least as long as the row of any other format, so once the memory has
// grown, rows widened from the last one up never overwrite a row not yet read: row y of the
// old layout ends where row y + 1 of the new one would begin at the latest. Each row is read
// whole before it is written back.
void TBitmap::WidenTo32BitInPlace() {
  const std::size_t row32 = RowBytesFor(width_, PixelFormat::pf32bit);
  const std::size_t old_row = row_bytes_;
  const pixel::TLut lut = BitsPerPixel() <= 8 ? pixel::MakeLut(*this) : pixel::TLut{};
  std::vector<uint32_t> row(static_cast<std::size_t>(width_));
  try {
    pixels_.Grow(row32 * static_cast<std::size_t>(height_));
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory(msg::kOutOfMemory);
  }
  const PixelFormat from = format_;
  for (int y = height_ - 1; y >= 0; --y) {
    uint8_t* bits = pixels_.data();
    pixel::ReadRun(bits + static_cast<std::size_t>(y) * old_row, from, lut, 0, width_, row.data());
    std::memcpy(bits + static_cast<std::size_t>(y) * row32, row.data(), row32);
  }
  format_ = PixelFormat::pf32bit;
  row_bytes_ = row32;
  palette_.clear();
}

TBitmap TBitmap::ConvertedTo(PixelFormat format) const {
  if (format == format_) return *this;
  if (format != PixelFormat::pf32bit && format != PixelFormat::pf24bit)
    throw EInvalidGraphic(msg::kInvalidBitmap);
  TBitmap converted(width_, height_, format);
  converted.Transparent = Transparent;
  converted.TransparentColor = TransparentColor;
  if (!Empty()) {
    const pixel::TLut lut = BitsPerPixel() <= 8 ? pixel::MakeLut(*this) : pixel::TLut{};
    std::vector<uint32_t> row(format == PixelFormat::pf24bit ? static_cast<std::size_t>(width_)
                                                             : 0);
    for (int y = 0; y < height_; ++y) {
      uint32_t* out = format == PixelFormat::pf32bit
                          ? reinterpret_cast<uint32_t*>(converted.ScanLine(y))
                          : row.data();
      pixel::ReadRun(ScanLine(y), format_, lut, 0, width_, out);
      if (format_ == PixelFormat::pf32bit)  // 32 to 24 drops the fourth byte
        for (int x = 0; x < width_; ++x) out[x] &= 0x00FFFFFF;
      if (format == PixelFormat::pf24bit) pixel::Write24(converted.ScanLine(y), 0, out, width_);
    }
  }
  return converted;
}

}  // namespace qm
