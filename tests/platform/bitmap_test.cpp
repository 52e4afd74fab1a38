#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <type_traits>
#include <utility>

#include "platform/bitmap.h"
#include "platform/exception.h"
#include "platform/region.h"
#include "tests/support/pixels.h"

namespace qm {
namespace {

using test::Px;

TEST(BitmapConvert, PaletteFormatsGoThroughTheirPalette) {
  // 1-bit: most significant bit first; 4-bit: high nibble first.
  TBitmap one(10, 1, PixelFormat::pf1bit);
  one.Palette() = {{1, 2, 3, 9}, {10, 20, 30, 9}};
  one.ScanLine(0)[0] = 0b10100000;
  one.ScanLine(0)[1] = 0b01000000;  // column 9
  one.ConvertTo(PixelFormat::pf32bit);
  ASSERT_EQ(one.Format(), PixelFormat::pf32bit);
  EXPECT_TRUE(one.Palette().empty());
  EXPECT_EQ(Px(one, 0, 0), 0x1E140Au);  // red 30, green 20, blue 10; fourth byte 0
  EXPECT_EQ(Px(one, 1, 0), 0x030201u);
  EXPECT_EQ(Px(one, 2, 0), 0x1E140Au);
  EXPECT_EQ(Px(one, 8, 0), 0x030201u);
  EXPECT_EQ(Px(one, 9, 0), 0x1E140Au);

  TBitmap four(3, 2, PixelFormat::pf4bit);
  four.Palette().resize(16);
  for (int i = 0; i < 16; ++i) four.Palette()[i] = {static_cast<uint8_t>(i), 0, 0, 0};
  four.ScanLine(1)[0] = 0x5A;
  four.ScanLine(1)[1] = 0xF0;
  four.ConvertTo(PixelFormat::pf32bit);
  EXPECT_EQ(Px(four, 0, 1), 5u);
  EXPECT_EQ(Px(four, 1, 1), 10u);
  EXPECT_EQ(Px(four, 2, 1), 15u);
  EXPECT_EQ(Px(four, 0, 0), 0u);

  // An index beyond a short palette reads as black.
  TBitmap eight(2, 1, PixelFormat::pf8bit);
  eight.Palette() = {{7, 7, 7, 0}};
  eight.ScanLine(0)[0] = 0;
  eight.ScanLine(0)[1] = 200;
  eight.ConvertTo(PixelFormat::pf32bit);
  EXPECT_EQ(Px(eight, 0, 0), 0x070707u);
  EXPECT_EQ(Px(eight, 1, 0), 0u);
}

TEST(BitmapConvert, BetweenTrueColourFormatsEveryWidth) {
  // Widths around the vector kernels' block sizes, so that every tail length is met.
  for (int w = 1; w <= 40; ++w) {
    TBitmap b(w, 2, PixelFormat::pf24bit);
    for (int y = 0; y < 2; ++y)
      for (int i = 0; i < 3 * w; ++i) b.ScanLine(y)[i] = static_cast<uint8_t>(i * 7 + y + 1);
    TBitmap c = b;
    c.ConvertTo(PixelFormat::pf32bit);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < w; ++x) {
        const uint8_t* s = b.ScanLine(y) + 3 * x;
        ASSERT_EQ(Px(c, x, y), s[0] | (s[1] << 8) | (s[2] << 16)) << "w=" << w << " x=" << x;
      }
    c.ConvertTo(PixelFormat::pf24bit);
    for (int y = 0; y < 2; ++y)
      for (int i = 0; i < 3 * w; ++i) ASSERT_EQ(c.ScanLine(y)[i], b.ScanLine(y)[i]);
  }
  TBitmap p(1, 1, PixelFormat::pf8bit);
  EXPECT_THROW(p.ConvertTo(PixelFormat::pf4bit), EInvalidGraphic);
}

// Widening to 32 bits in place, from the last row up, gives what the copying conversion gives,
// for every format, and the memory grows by the difference only.
TEST(BitmapConvert, WideningInPlaceMatchesTheCopyAndHoldsThePixelsOnce) {
  uint32_t seed = 1;
  for (const PixelFormat format :
       {PixelFormat::pf1bit, PixelFormat::pf4bit, PixelFormat::pf8bit, PixelFormat::pf24bit}) {
    for (const int w : {1, 3, 5, 8, 33}) {
      TBitmap b(w, 7, format);
      b.Palette().resize(format == PixelFormat::pf24bit ? 0 : 200);  // past 200: black
      for (auto& q : b.Palette()) q = {uint8_t(seed *= 7), uint8_t(seed >> 3), uint8_t(w), 0};
      for (std::size_t i = 0; i < b.RowBytes() * 7; ++i)
        b.Bits()[i] = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
      const TBitmap copy = b.ConvertedTo(PixelFormat::pf32bit);
      PixelStore::ResetPeak();
      b.ConvertTo(PixelFormat::pf32bit);
      EXPECT_EQ(PixelStore::PeakBytes(), PixelStore::LiveBytes()) << "held twice";
      EXPECT_EQ(std::memcmp(b.Bits(), copy.Bits(), copy.RowBytes() * 7), 0)
          << "format " << int(format) << " width " << w;
    }
  }
}

TEST(BitmapResize, KeepsTheSharedPartAndFillsTheRest) {
  TBitmap b(3, 2, PixelFormat::pf32bit);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) reinterpret_cast<uint32_t*>(b.ScanLine(y))[x] = 10 * y + x + 1;
  b.Resize(4, 3, 0x00332211);  // colour 0x00BBGGRR: red 0x11, green 0x22, blue 0x33
  ASSERT_EQ(b.Width(), 4);
  ASSERT_EQ(b.Height(), 3);
  EXPECT_EQ(Px(b, 2, 1), 13u);
  EXPECT_EQ(Px(b, 3, 0), 0x112233u);
  EXPECT_EQ(Px(b, 0, 2), 0x112233u);
  b.Resize(2, 1);
  EXPECT_EQ(Px(b, 1, 0), 2u);

  // Palette rows that end inside a byte keep only the shared pixels' bits.
  TBitmap bits(3, 1, PixelFormat::pf1bit);
  bits.ScanLine(0)[0] = 0b10100000;
  bits.Resize(5, 1, 1);
  EXPECT_EQ(bits.ScanLine(0)[0], 0b10111000);
  bits.Resize(2, 1);
  bits.Resize(6, 1, 0);  // the dropped third pixel does not come back
  EXPECT_EQ(bits.ScanLine(0)[0], 0b10000000);
}

TEST(BitmapCanvas, CopiesGetAFreshCanvasAndTheLockGuardsDrawing) {
  TBitmap a(2, 2, PixelFormat::pf32bit);
  TRegion clip = CreateRectRgn(0, 0, 1, 1);
  SelectClipRgn(a, &clip);
  TBitmap b = a;
  EXPECT_NE(a.Canvas().ClipRegion(), nullptr);
  EXPECT_EQ(b.Canvas().ClipRegion(), nullptr);
  {
    std::scoped_lock both(a.Canvas(), b.Canvas());
    EXPECT_FALSE(a.Canvas().TryLock());
  }
  EXPECT_TRUE(a.Canvas().TryLock());
  a.Canvas().Unlock();
  // Bitmaps move without copying their pixels (containers of bitmaps rely on it).
  static_assert(std::is_nothrow_move_constructible_v<TBitmap>);
  const uint8_t* bits = b.Bits();
  TBitmap moved = std::move(b);
  EXPECT_EQ(moved.Bits(), bits);
  // The canvas keeps its own copy of the region.
  clip = CreateRectRgn(0, 0, 2, 2);
  EXPECT_EQ(a.Canvas().ClipRegion()->PixelCount(), 1u);
}

// A bitmap sized to be overwritten keeps its memory's old contents except the bytes that pad
// each row, which encoders may write out as they are: those are 0 even in reused memory.
TEST(BitmapSetSizeToOverwrite, PaddingIsZeroInReusedMemory) {
  for (int width : {1, 2, 3, 5}) {
    {
      TBitmap dirty(width, 7, PixelFormat::pf24bit);
      std::memset(dirty.Bits(), 0xAB, dirty.RowBytes() * 7);
    }
    TBitmap b;
    b.SetSizeToOverwrite(width, 7, PixelFormat::pf24bit);
    for (int y = 0; y < 7; ++y)
      for (std::size_t i = width * 3u; i < b.RowBytes(); ++i)
        EXPECT_EQ(b.ScanLine(y)[i], 0) << width << " " << y << " " << i;
  }
}

}  // namespace
}  // namespace qm
