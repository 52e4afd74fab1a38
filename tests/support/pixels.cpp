#include "tests/support/pixels.h"

#include <cmath>

#include "platform/stretch.h"

namespace qm::test {

uint32_t& Px(TBitmap& b, int x, int y) {
  return reinterpret_cast<uint32_t*>(b.ScanLine(y))[x];
}
uint32_t Px(const TBitmap& b, int x, int y) {
  return reinterpret_cast<const uint32_t*>(b.ScanLine(y))[x];
}

TBitmap Numbered(int w, int h) {
  TBitmap b(w, h, PixelFormat::pf32bit);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) Px(b, x, y) = static_cast<uint32_t>(100 * y + x + 1);
  return b;
}

TBitmap Filled(int w, int h, uint32_t value) {
  TBitmap b(w, h, PixelFormat::pf32bit);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) Px(b, x, y) = value;
  return b;
}

TBitmap Solid(int w, int h, TColor color) {
  TBitmap b(w, h, PixelFormat::pf32bit);
  FillRect(b, Rect(0, 0, w, h), color);
  return b;
}

TColor PixelAt(const TBitmap& b, int x, int y) {
  const uint8_t* p = b.ScanLine(y) + 4 * x;
  return TColor{p[2]} | TColor{p[1]} << 8 | TColor{p[0]} << 16;
}

bool AllPixels(const TBitmap& b, TColor color) {
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      if (PixelAt(b, x, y) != color) return false;
  return true;
}

double Psnr(const TBitmap& a, const TBitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return 0;
  double sum = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int i = 0; i < a.Width() * 3; ++i) {
      const double d = a.ScanLine(y)[i] - b.ScanLine(y)[i];
      sum += d * d;
    }
  const double mse = sum / (3.0 * a.Width() * a.Height());
  return mse == 0 ? 100 : 10 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace qm::test
