// A bitmap: width, height, pixel format, optional palette and rows addressed by row index
// (row 0 at the top). Rows are padded to a multiple of 4 bytes, like device-independent bitmaps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/canvas.h"
#include "platform/pixel_store.h"

namespace qm {

enum class PixelFormat : uint8_t {
  pfNone = 0,
  pf1bit = 1,
  pf4bit = 4,
  pf8bit = 8,
  pf24bit = 24,
  pf32bit = 32
};

// One palette entry or one 32-bit pixel, in memory order blue, green, red, unused.
struct TRGBQuad {
  uint8_t rgbBlue = 0, rgbGreen = 0, rgbRed = 0, rgbReserved = 0;
  friend bool operator==(const TRGBQuad&, const TRGBQuad&) = default;
};

// Colour 0x00BBGGRR (red in the low byte).
using TColor = uint32_t;

class TBitmap {
 public:
  TBitmap() = default;
  TBitmap(int width, int height, PixelFormat format) { SetSize(width, height, format); }

  int Width() const { return width_; }
  int Height() const { return height_; }
  PixelFormat Format() const { return format_; }
  int BitsPerPixel() const { return static_cast<int>(format_); }
  bool Empty() const { return width_ <= 0 || height_ <= 0; }
  std::size_t RowBytes() const { return row_bytes_; }

  // Sets size and format; the pixels become 0 (palette index 0, or black). Throws EOutOfMemory
  // when the size overflows or cannot be allocated; a width or height of 0 gives an empty bitmap.
  void SetSize(int width, int height, PixelFormat format);
  // Like SetSize, but the pixels keep whatever the memory held, for a caller that writes every
  // pixel of every row (a decoder, a scaler); only the bytes that pad each row are set to 0.
  void SetSizeToOverwrite(int width, int height, PixelFormat format);
  // Bytes per row for a width and format, rounded up to 4; 0 on overflow.
  static std::size_t RowBytesFor(int width, PixelFormat format);

 private:
  void Allocate(int width, int height, PixelFormat format, bool cleared);

 public:
  uint8_t* ScanLine(int row) { return pixels_.data() + static_cast<std::size_t>(row) * row_bytes_; }
  const uint8_t* ScanLine(int row) const {
    return pixels_.data() + static_cast<std::size_t>(row) * row_bytes_;
  }
  uint8_t* Bits() { return pixels_.data(); }
  const uint8_t* Bits() const { return pixels_.data(); }

  // Changes the size and keeps the pixels that old and new size share (anchored at the top left
  // corner); the new pixels get `fill` (a colour 0x00BBGGRR for 24 and 32 bits, a palette index
  // for palette bitmaps). Throws like SetSize.
  void Resize(int width, int height, TColor fill = 0);

  // Converts the pixels to another format: any format to 24 or 32 bits (palette bitmaps through
  // their palette; the fourth byte of 32-bit pixels becomes 0), and a format to itself (nothing
  // changes). Other targets throw EInvalidGraphic. The palette is dropped for 24 and 32 bits.
  // To 32 bits the pixels are widened in place, never held twice; on failure (EOutOfMemory)
  // the bitmap is left as it was.
  void ConvertTo(PixelFormat format);
  // A copy in another format, converted as ConvertTo does, made straight from these pixels
  // (no intermediate copy in this bitmap's format).
  TBitmap ConvertedTo(PixelFormat format) const;

  // The drawing surface: clip region and drawing lock.
  TCanvas& Canvas() { return canvas_; }
  const TCanvas& Canvas() const { return canvas_; }

  // Palette of 1-, 4- and 8-bit bitmaps (at most 256 entries).
  std::vector<TRGBQuad>& Palette() { return palette_; }
  const std::vector<TRGBQuad>& Palette() const { return palette_; }

  bool Transparent = false;
  TColor TransparentColor = 0;

 private:
  // ConvertTo's way to 32 bits: the pixels are widened within their own memory.
  void WidenTo32BitInPlace();

  int width_ = 0, height_ = 0;
  PixelFormat format_ = PixelFormat::pfNone;
  std::size_t row_bytes_ = 0;
  PixelStore pixels_;
  std::vector<TRGBQuad> palette_;
  TCanvas canvas_;
};

// The clip region of a bitmap's canvas (see TCanvas).
inline int SelectClipRgn(TBitmap& bitmap, const TRegion* region) {
  return SelectClipRgn(bitmap.Canvas(), region);
}
inline int SelectClipRgn(TBitmap& bitmap, TRegion&& region) {
  return SelectClipRgn(bitmap.Canvas(), std::move(region));
}

}  // namespace qm
