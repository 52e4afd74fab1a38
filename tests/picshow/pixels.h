// Pictures and pixel checks shared by the transition control's tests: 32-bit bitmaps only.
#pragma once

#include "platform/bitmap.h"
#include "platform/stretch.h"

namespace qm::test {

inline TBitmap Solid(int w, int h, TColor color) {
  TBitmap b(w, h, PixelFormat::pf32bit);
  FillRect(b, Rect(0, 0, w, h), color);
  return b;
}

// The colour 0x00BBGGRR of a pixel of a 32-bit bitmap.
inline TColor PixelAt(const TBitmap& b, int x, int y) {
  const uint8_t* p = b.ScanLine(y) + 4 * x;
  return TColor{p[2]} | TColor{p[1]} << 8 | TColor{p[0]} << 16;
}

inline bool AllPixels(const TBitmap& b, TColor color) {
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      if (PixelAt(b, x, y) != color) return false;
  return true;
}

}  // namespace qm::test
