#include "tools/gallery_pictures.h"

#include <cmath>
#include <cstdint>

#include "platform/stretch.h"

namespace qm::tool {

namespace {

uint8_t Channel(double v) {
  return static_cast<uint8_t>(std::lround(std::fmin(255.0, std::fmax(0.0, v))));
}

void SetPixel(TBitmap& b, int x, int y, double r, double g, double bl) {
  uint8_t* p = b.ScanLine(y) + 4 * static_cast<std::size_t>(x);
  p[0] = Channel(bl);
  p[1] = Channel(g);
  p[2] = Channel(r);
  p[3] = 0;
}

}  // namespace

TBitmap PaintEvening(int w, int h) {
  TBitmap b(w, h, PixelFormat::pf32bit);
  for (int y = 0; y < h; ++y) {
    const double fy = (y + 0.5) / h;
    for (int x = 0; x < w; ++x) {
      const double fx = (x + 0.5) / w;
      if (fy < 0.62) {
        const double sun = std::hypot((fx - 0.68) * w / h, fy - 0.45);
        const double glow = std::exp(-sun * 6.0);
        double r = 70 + 180 * fy / 0.62 + 60 * glow, g = 40 + 110 * fy / 0.62 + 90 * glow,
               bl = 110 - 60 * fy / 0.62 + 40 * glow;
        if (sun < 0.11) r = 255, g = 236, bl = 170;
        SetPixel(b, x, y, r, g, bl);
      } else {
        const double glitter =
            std::exp(-std::pow((fx - 0.68) * 9.0, 2)) * (std::sin(fy * h * 0.9) > 0.3 ? 1.0 : 0.2);
        SetPixel(b, x, y, 30 + 200 * glitter, 40 + 150 * glitter, 80 + 60 * glitter);
      }
    }
  }
  return b;
}

TBitmap PaintDay(int w, int h) {
  TBitmap b(w, h, PixelFormat::pf32bit);
  for (int y = 0; y < h; ++y) {
    const double fy = (y + 0.5) / h;
    for (int x = 0; x < w; ++x) {
      const double fx = (x + 0.5) / w;
      const double hill = 0.6 + 0.1 * std::sin(fx * 5.0 + 1.0), near_hill = 0.78 - 0.12 * fx;
      const double cloud = std::hypot((fx - 0.25) * w / h * 0.6, (fy - 0.25) * 1.6);
      const bool house = fx > 0.58 && fx < 0.72 && fy > hill - 0.13 && fy < hill + 0.02;
      const bool roof = fx > 0.56 && fx < 0.74 && fy <= hill - 0.13 &&
                        fy > hill - 0.13 - (0.09 - std::fabs(fx - 0.65)) * 1.6;
      if (roof) {
        SetPixel(b, x, y, 200, 50, 40);
      } else if (house) {
        SetPixel(b, x, y, 245, 240, 225);
      } else if (fy > near_hill) {
        SetPixel(b, x, y, 50 + 30 * fx, 120 + 40 * (1 - fy), 40);
      } else if (fy > hill) {
        SetPixel(b, x, y, 90, 170 - 50 * (fy - hill), 70);
      } else if (cloud < 0.12) {
        SetPixel(b, x, y, 250, 250, 252);
      } else {
        SetPixel(b, x, y, 80 + 90 * fy, 150 + 70 * fy, 235);
      }
    }
  }
  return b;
}

TBitmap Fit(const TBitmap& picture, int w, int h) {
  const int pw = picture.Width(), ph = picture.Height();
  TRect source = Rect(0, 0, pw, ph);
  if (static_cast<int64_t>(pw) * h > static_cast<int64_t>(ph) * w) {
    const int cut = static_cast<int>(static_cast<int64_t>(ph) * w / h);
    source.Left = (pw - cut) / 2, source.Right = source.Left + cut;
  } else {
    const int cut = static_cast<int>(static_cast<int64_t>(pw) * h / w);
    source.Top = (ph - cut) / 2, source.Bottom = source.Top + cut;
  }
  TBitmap out(w, h, PixelFormat::pf32bit);
  StretchCopyRect(out, Rect(0, 0, w, h), picture, source);
  return out;
}

}  // namespace qm::tool
