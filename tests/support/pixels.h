// 32-bit bitmaps for tests: made of one colour or numbered pixels, and read pixel by pixel.
#pragma once

#include <cstdint>

#include "platform/bitmap.h"

namespace qm::test {

// The raw 32-bit value of a pixel (blue | green << 8 | red << 16 | fourth byte << 24).
uint32_t& Px(TBitmap& b, int x, int y);
uint32_t Px(const TBitmap& b, int x, int y);

// A 32-bit bitmap whose pixel (x, y) holds 100 y + x + 1, so every sample can be traced back.
TBitmap Numbered(int w, int h);
// A 32-bit bitmap of one raw value.
TBitmap Filled(int w, int h, uint32_t value);
// A 32-bit bitmap of one colour 0x00BBGGRR.
TBitmap Solid(int w, int h, TColor color);

// The colour 0x00BBGGRR of a pixel of a 32-bit bitmap.
TColor PixelAt(const TBitmap& b, int x, int y);
bool AllPixels(const TBitmap& b, TColor color);

// Peak signal-to-noise ratio in dB of two 24-bit bitmaps (100 when identical, 0 when their
// sizes differ).
double Psnr(const TBitmap& a, const TBitmap& b);

}  // namespace qm::test
