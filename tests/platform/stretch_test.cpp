// Stretch copies on tiny bitmaps, pixel by pixel. Source pixels are numbered so that every
// destination pixel shows which source pixel it took; destination pixels start as a marker.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "platform/pixel_rows.h"
#include "platform/shared_rows.h"
#include "platform/stretch.h"
#include "tests/support/pixels.h"

namespace qm {
namespace {

constexpr uint32_t kOld = 0xEEEEEE;

using test::Numbered;
using test::Px;

TBitmap Filled(int w, int h, uint32_t v = kOld) {
  return test::Filled(w, h, v);
}

std::vector<std::vector<uint32_t>> Rows(const TBitmap& b) {
  std::vector<std::vector<uint32_t>> rows(b.Height());
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) rows[y].push_back(Px(b, x, y));
  return rows;
}

// Two 32-bit bitmaps of one size hold the same pixels.
bool SamePixels(const TBitmap& a, const TBitmap& b) {
  for (int y = 0; y < a.Height(); ++y)
    if (std::memcmp(a.ScanLine(y), b.ScanLine(y), static_cast<std::size_t>(a.Width()) * 4) != 0)
      return false;
  return true;
}

// The sampling rule written out per destination pixel, for comparison on random copies (its
// columns worked out once per copy, so that it also serves pictures of millions of pixels).
// `inside(x, y)` tells whether the clip lets pixel (x, y) through.
template <typename Inside>
void ReferenceStretchIn(TBitmap& d, int dx, int dy, int dw, int dh, const TBitmap& s, int sx,
                        int sy, int sw, int sh, Inside inside) {
  const TBitmap src = s;  // read the whole source first
  const int n = std::abs(dw), m = std::abs(sw), nh = std::abs(dh), mh = std::abs(sh);
  std::vector<int> us(n);
  for (int kx = 0; kx < n; ++kx) {
    const int kxs = static_cast<int>((2LL * kx + 1) * m / (2LL * n));
    us[kx] = sw > 0 ? sx + kxs : sx - kxs;
  }
  for (int ky = 0; ky < nh; ++ky) {
    const int kys = static_cast<int>((2LL * ky + 1) * mh / (2LL * nh));
    const int y = dh > 0 ? dy + ky : dy - ky, v = sh > 0 ? sy + kys : sy - kys;
    if (y < 0 || y >= d.Height() || v < 0 || v >= src.Height()) continue;
    for (int kx = 0; kx < n; ++kx) {
      const int x = dw > 0 ? dx + kx : dx - kx, u = us[kx];
      if (x < 0 || x >= d.Width() || u < 0 || u >= src.Width()) continue;
      if (!inside(x, y)) continue;
      Px(d, x, y) = Px(src, u, v);
    }
  }
}

void ReferenceStretch(TBitmap& d, int dx, int dy, int dw, int dh, const TBitmap& s, int sx, int sy,
                      int sw, int sh, const TRegion* clip) {
  ReferenceStretchIn(d, dx, dy, dw, dh, s, sx, sy, sw, sh,
                     [clip](int x, int y) { return clip == nullptr || clip->Contains(x, y); });
}

TEST(StretchBlt, ShrinkDropsAndGrowRepeatsByCentreSampling) {
  TBitmap src = Numbered(4, 2);
  TBitmap d = Filled(2, 1);
  StretchBlt(d, 0, 0, 2, 1, src, 0, 0, 4, 2);
  // Columns k' = floor((2k + 1) 4 / 4) = 1, 3; row floor(1 * 2 / 2) = 1.
  EXPECT_EQ(Rows(d), (std::vector<std::vector<uint32_t>>{{102, 104}}));

  TBitmap g = Filled(5, 3);
  StretchBlt(g, 0, 0, 5, 3, src, 1, 0, 2, 2);
  // Columns floor((2k + 1) 2 / 10) = 0, 0, 1, 1, 1 from 1; rows floor((2k + 1) 2 / 6) = 0, 1, 1.
  EXPECT_EQ(Rows(g), (std::vector<std::vector<uint32_t>>{
                         {2, 2, 3, 3, 3}, {102, 102, 103, 103, 103}, {102, 102, 103, 103, 103}}));
}

TEST(StretchBlt, OppositeSignsMirrorEqualSignsDoNot) {
  TBitmap src = Numbered(3, 2);
  TBitmap d = Filled(5, 2);
  // Negative destination width from x = 3: columns 3, 2, 1 take source 0, 1, 2.
  StretchBlt(d, 3, 0, -3, 2, src, 0, 0, 3, 2);
  EXPECT_EQ(Rows(d), (std::vector<std::vector<uint32_t>>{{kOld, 3, 2, 1, kOld},
                                                         {kOld, 103, 102, 101, kOld}}));
  // Both negative: no mirror; column 3 - k takes source 2 - k.
  TBitmap e = Filled(4, 1);
  StretchBlt(e, 3, 0, -3, 1, src, 2, 0, -3, 1);
  EXPECT_EQ(Rows(e), (std::vector<std::vector<uint32_t>>{{kOld, 1, 2, 3}}));
  // Vertical mirror by a negative source height.
  TBitmap v = Filled(1, 2);
  StretchBlt(v, 0, 0, 1, 2, src, 0, 1, 1, -2);
  EXPECT_EQ(Rows(v), (std::vector<std::vector<uint32_t>>{{101}, {1}}));
}

TEST(StretchBlt, ClipsToTargetAndKeepsPixelsWhoseSampleIsOutsideTheSource) {
  TBitmap src = Numbered(3, 3);
  TBitmap d = Filled(4, 4);
  // Negative origin: only the part inside the target is drawn, the mapping unchanged.
  StretchBlt(d, -1, -1, 3, 3, src, 0, 0, 3, 3);
  EXPECT_EQ(Px(d, 0, 0), 102u);
  EXPECT_EQ(Px(d, 1, 1), 203u);
  EXPECT_EQ(Px(d, 2, 0), kOld);
  // A source rectangle reaching past the source: those samples leave the target alone.
  TBitmap e = Filled(4, 1);
  StretchBlt(e, 0, 0, 4, 1, src, 1, 0, 4, 1);
  EXPECT_EQ(Rows(e), (std::vector<std::vector<uint32_t>>{{2, 3, kOld, kOld}}));
  TBitmap f = Filled(2, 1);
  StretchBlt(f, 0, 0, 2, 1, src, -1, 0, 2, 1);
  EXPECT_EQ(Rows(f), (std::vector<std::vector<uint32_t>>{{kOld, 1}}));
  // Extents of 0 draw nothing.
  TBitmap z = Filled(2, 2);
  EXPECT_FALSE(StretchBlt(z, 0, 0, 0, 2, src, 0, 0, 2, 2));
  EXPECT_FALSE(StretchBlt(z, 0, 0, 2, 2, src, 0, 0, 2, 0));
  EXPECT_EQ(Rows(z), Rows(Filled(2, 2)));
}

TEST(StretchBlt, ExtremeExtentsAndOriginsStayExact) {
  TBitmap src = Numbered(3, 3);
  // A mirrored extent of -2^31 from column 0: only k = 0 lands inside, sampling source column
  // floor(1 * 3 / 2^32) = 0. Rows: extent 2^31 - 1 from row 1 over source rows 0..2.
  TBitmap d = Filled(3, 3);
  const int32_t kMin = -2147483647 - 1, kMax = 2147483647;
  StretchBlt(d, 0, 1, kMin, kMax, src, 0, 0, 3, 3);
  EXPECT_EQ(Rows(d), (std::vector<std::vector<uint32_t>>{
                         {kOld, kOld, kOld}, {1, kOld, kOld}, {1, kOld, kOld}}));
  // A source extent of -2^31 shrunk onto 2 columns samples columns -2^29 and -3 * 2^29: outside.
  TBitmap e = Filled(2, 1);
  StretchBlt(e, 0, 0, 2, 1, src, 0, 0, kMin, 1);
  EXPECT_EQ(Rows(e), Rows(Filled(2, 1)));
  // Origins at the ends of the 32-bit range draw nothing and do not wrap around.
  StretchBlt(e, kMax, 0, 2, 1, src, 0, 0, 2, 1);
  StretchBlt(e, 0, 0, 2, 1, src, kMin, 0, 2, 1);
  EXPECT_EQ(Rows(e), Rows(Filled(2, 1)));
}

TEST(StretchBlt, OverlapWithinOneBitmapReadsTheSourceFirst) {
  // Push right: the old contents move right by 2 within the same bitmap.
  TBitmap b = Numbered(6, 2);
  StretchCopyRect(b, TRect{2, 0, 6, 2}, b, TRect{0, 0, 4, 2});
  EXPECT_EQ(Rows(b), (std::vector<std::vector<uint32_t>>{{1, 2, 1, 2, 3, 4},
                                                         {101, 102, 101, 102, 103, 104}}));
  // Push up, and a squeeze: the whole bitmap shrunk into its lower part.
  TBitmap c = Numbered(1, 4);
  StretchCopyRect(c, TRect{0, 0, 1, 3}, c, TRect{0, 1, 1, 4});
  EXPECT_EQ(Rows(c), (std::vector<std::vector<uint32_t>>{{101}, {201}, {301}, {301}}));
  TBitmap q = Numbered(1, 4);
  StretchCopyRect(q, TRect{0, 2, 1, 4}, q, TRect{0, 0, 1, 4});
  EXPECT_EQ(Rows(q), (std::vector<std::vector<uint32_t>>{{1}, {101}, {101}, {301}}));
}

TEST(StretchBlt, DrawsOnlyThroughTheClipRegion) {
  TBitmap src = Numbered(4, 4);
  TBitmap d = Filled(4, 4);
  TRegion clip = CreateRectRgn(1, 0, 3, 1);
  clip.UniteRect(0, 2, 1, 4);
  SelectClipRgn(d, &clip);
  // Grow by 2 so that rows repeat: each repeated row still follows the clip.
  StretchBlt(d, 0, 0, 4, 4, src, 0, 0, 2, 2);
  EXPECT_EQ(Rows(d), (std::vector<std::vector<uint32_t>>{{kOld, 1, 2, kOld},
                                                         {kOld, kOld, kOld, kOld},
                                                         {101, kOld, kOld, kOld},
                                                         {101, kOld, kOld, kOld}}));
  SelectClipRgn(d, nullptr);
  FillRect(d, TRect{-5, 3, 2, 9}, 0x00030201);
  EXPECT_EQ(Px(d, 1, 3), 0x010203u);
  EXPECT_EQ(Px(d, 2, 3), kOld);
}

TEST(StretchBlt, RandomCopiesMatchTheSamplingRule) {
  std::mt19937 rng(2024);
  auto r = [&](int lo, int hi) { return lo + static_cast<int>(rng() % (hi - lo + 1)); };
  const PixelFormat formats[] = {PixelFormat::pf32bit, PixelFormat::pf24bit, PixelFormat::pf8bit,
                                 PixelFormat::pf4bit, PixelFormat::pf1bit};
  for (int iter = 0; iter < 6000; ++iter) {
    TBitmap src = Numbered(r(1, 19), r(1, 9));
    const bool same = iter % 4 == 0;
    // Other source formats are compared with the copy from their 32-bit conversion.
    TBitmap src_formatted = src;
    const PixelFormat format = same ? PixelFormat::pf32bit : formats[iter % 5];
    if (format != PixelFormat::pf32bit) {
      src_formatted = TBitmap(src.Width(), src.Height(), format);
      for (int i = 0; i < 256; ++i)
        src_formatted.Palette().push_back(
            TRGBQuad{static_cast<uint8_t>(i), static_cast<uint8_t>(i * 7), 3, 0});
      for (int y = 0; y < src.Height(); ++y)
        for (std::size_t i = 0; i < src_formatted.RowBytes(); ++i)
          src_formatted.ScanLine(y)[i] = static_cast<uint8_t>(rng());
      if (format != PixelFormat::pf24bit)
        src_formatted.Palette().resize(1u << src_formatted.BitsPerPixel());
      src = src_formatted;
      src.ConvertTo(PixelFormat::pf32bit);
    }
    TBitmap dst = same ? src : Filled(r(1, 20), r(1, 9));
    TBitmap want = dst;
    auto ext = [&] {
      int e = r(-24, 24);
      return e == 0 ? 1 : e;
    };
    const int dx = r(-5, 10), dy = r(-5, 10), dw = ext(), dh = ext();
    const int sx = r(-5, 10), sy = r(-5, 10), sw = ext(), sh = ext();
    TRegion clip;
    const bool clipped = iter % 3 == 0;
    if (clipped) {
      for (int i = 0; i < 3; ++i) clip.UniteRect(r(-2, 9), r(-2, 9), r(-2, 9), r(-2, 9));
      SelectClipRgn(dst, &clip);
    }
    if (same) {
      StretchBlt(dst, dx, dy, dw, dh, dst, sx, sy, sw, sh);
      ReferenceStretch(want, dx, dy, dw, dh, want, sx, sy, sw, sh, clipped ? &clip : nullptr);
    } else {
      StretchBlt(dst, dx, dy, dw, dh, src_formatted, sx, sy, sw, sh);
      ReferenceStretch(want, dx, dy, dw, dh, src, sx, sy, sw, sh, clipped ? &clip : nullptr);
    }
    ASSERT_EQ(Rows(dst), Rows(want))
        << "iteration " << iter << " format " << src_formatted.BitsPerPixel() << ": " << dx << ","
        << dy << " " << dw << "x" << dh << " <- " << sx << "," << sy << " " << sw << "x" << sh;
  }
}

// Large passes are shared between two threads in chunks of rows. At that
// size copies through a clip of many bands (scaled, mirrored, within the target itself) and a
// settled background with copies put off give exactly what the sampling rule gives.
TEST(StretchBlt, LargePassesSharedBetweenThreadsStayExact) {
  const int w = 2400, h = 1800;
  ASSERT_GE(static_cast<long long>(w) * h, kSharedPassPixels);
  TBitmap source = Numbered(w + 7, h + 5);
  // Bands that begin and end inside the chunks of rows; the reference tests them by their rule.
  TRegion stripes;
  for (int y = 0; y < h; y += 37) stripes.UniteRect(y % 50, y, w - y % 70, y + 20);
  const auto in_stripes = [=](int x, int y) {
    const int top = y / 37 * 37;
    return y - top < 20 && x >= top % 50 && x < w - top % 70;
  };
  const auto anywhere = [](int, int) { return true; };
  const struct {
    int dx, dy, dw, dh, sx, sy, sw, sh;
    bool clipped, within;
  } copies[] = {{0, 0, w, h, 0, 0, w + 7, h + 5, true, false},
                {w - 1, 3, -w, h, 2, 0, w, h, false, false},
                {0, h - 1, w, -h, 5, 1, w - 3, h - 2, true, true}};
  for (const auto& c : copies) {
    SCOPED_TRACE(c.dw);
    TBitmap got = Numbered(w, h), want = got;
    if (c.clipped) SelectClipRgn(got, &stripes);
    const TBitmap& from = c.within ? got : source;
    StretchBlt(got, c.dx, c.dy, c.dw, c.dh, from, c.sx, c.sy, c.sw, c.sh);
    const TBitmap& want_from = c.within ? want : source;
    if (c.clipped)
      ReferenceStretchIn(want, c.dx, c.dy, c.dw, c.dh, want_from, c.sx, c.sy, c.sw, c.sh,
                         in_stripes);
    else
      ReferenceStretchIn(want, c.dx, c.dy, c.dw, c.dh, want_from, c.sx, c.sy, c.sw, c.sh, anywhere);
    ASSERT_TRUE(SamePixels(got, want));
  }
  // Two copies put off, one through the clip (which settles all three in one pass), settled.
  const TBitmap background = Numbered(w, h);
  TBitmap got = Filled(w, h), want = background;
  ASSERT_TRUE(DeferBackground(got, background));
  StretchBlt(got, 30, 40, w / 2, h / 3, source, 0, 0, w, h);
  StretchBlt(got, w, 100, -w / 3, h - 200, source, 9, 9, w / 3, h / 2);
  SelectClipRgn(got, &stripes);
  StretchBlt(got, 0, 0, w, h, source, 4, 4, w, h);
  SelectClipRgn(got, nullptr);
  SettleBackground(got);
  ReferenceStretchIn(want, 30, 40, w / 2, h / 3, source, 0, 0, w, h, anywhere);
  ReferenceStretchIn(want, w, 100, -w / 3, h - 200, source, 9, 9, w / 3, h / 2, anywhere);
  ReferenceStretchIn(want, 0, 0, w, h, source, 4, 4, w, h, in_stripes);
  EXPECT_TRUE(SamePixels(got, want));
}

TEST(StretchBlt, AnySourceFormatOntoTrueColourTargets) {
  // The same picture in 24-bit, 8-, 4- and 1-bit form gives the same 32-bit copy, mirrored.
  TBitmap p1(9, 2, PixelFormat::pf1bit), p4(9, 2, PixelFormat::pf4bit),
      p8(9, 2, PixelFormat::pf8bit), p24(9, 2, PixelFormat::pf24bit);
  const std::vector<TRGBQuad> pal = {{10, 20, 30, 0}, {40, 50, 60, 0}};
  p1.Palette() = p4.Palette() = p8.Palette() = pal;
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 9; ++x) {
      const int i = (x + y) % 3 == 0 ? 1 : 0;
      if (i) p1.ScanLine(y)[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      p4.ScanLine(y)[x / 2] |= static_cast<uint8_t>(i << (x % 2 ? 0 : 4));
      p8.ScanLine(y)[x] = static_cast<uint8_t>(i);
      uint8_t* q = p24.ScanLine(y) + 3 * x;
      q[0] = pal[i].rgbBlue, q[1] = pal[i].rgbGreen, q[2] = pal[i].rgbRed;
    }
  TBitmap want = Filled(9, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 9; ++x) {
      const int i = (8 - x + y) % 3 == 0 ? 1 : 0;  // mirrored horizontally
      Px(want, x, y) = pal[i].rgbBlue | (pal[i].rgbGreen << 8) | (pal[i].rgbRed << 16);
    }
  for (const TBitmap* s : {&p1, &p4, &p8, &p24}) {
    TBitmap d = Filled(9, 2);
    StretchBlt(d, 8, 0, -9, 2, *s, 0, 0, 9, 2);
    EXPECT_EQ(Rows(d), Rows(want)) << s->BitsPerPixel();
    // Unscaled runs take the direct path.
    TBitmap u = Filled(9, 2);
    Draw(u, 0, 0, *s);
    TBitmap back = u;
    StretchBlt(back, 8, 0, -9, 2, u, 0, 0, 9, 2);
    EXPECT_EQ(Rows(back), Rows(want)) << s->BitsPerPixel();
  }
  // 24-bit target.
  TBitmap t24(9, 2, PixelFormat::pf24bit);
  StretchBlt(t24, 8, 0, -9, 2, p8, 0, 0, 9, 2);
  TBitmap t32 = t24;
  t32.ConvertTo(PixelFormat::pf32bit);
  EXPECT_EQ(Rows(t32), Rows(want));
  // Palette target: same palette, so every pixel keeps its index.
  TBitmap t8(9, 2, PixelFormat::pf8bit);
  t8.Palette() = pal;
  Draw(t8, 0, 0, p4);
  for (int x = 0; x < 9; ++x) EXPECT_EQ(t8.ScanLine(1)[x], p8.ScanLine(1)[x]);
}

TEST(PixelKernels, EveryInstructionSetAgreesWithThePortableCode) {
  std::mt19937 rng(5);
  std::vector<uint8_t> bgr(3 * 70);
  for (auto& b : bgr) b = static_cast<uint8_t>(rng());
  std::vector<uint32_t> row(300);
  for (auto& p : row) p = rng();
  const auto converts = SupportedRows(pixel::Convert24To32Rows());
  for (const auto& k : converts)
    for (std::size_t n = 0; n <= 70; ++n) {
      std::vector<uint32_t> want(n + 1, 7), got(n + 1, 7);
      converts.back().function(bgr.data(), want.data(), n);
      k.function(bgr.data(), got.data(), n);
      ASSERT_EQ(got, want) << k.name << " converting " << n;  // the element past n stays 7
    }
  // Runs of every length from every alignment of the source and of the target; the pixels on
  // either side of the run stay as they were.
  for (const auto& k : SupportedRows(pixel::Copy32Rows()))
    for (std::size_t shift = 0; shift < 16; ++shift)
      for (std::size_t at = 1; at <= 8; ++at)
        for (std::size_t n = 0; n <= 140; n += n < 40 ? 1 : 25) {
          std::vector<uint32_t> got(n + 16, 7);
          k.function(row.data() + shift, got.data() + at, n);
          const auto run = got.begin() + static_cast<std::ptrdiff_t>(at);
          ASSERT_TRUE(std::equal(run, run + static_cast<std::ptrdiff_t>(n),
                                 row.begin() + static_cast<std::ptrdiff_t>(shift)) &&
                      got[at - 1] == 7 && got[at + n] == 7)
              << k.name << " copying " << n << " from " << shift << " to " << at;
        }
  // Column maps as stretching makes them: growing, mirrored growing, shrinking (by up to 2, up
  // to 4 and more), up to the row's end.
  const auto gathers = SupportedRows(pixel::Gather32Rows());
  for (const auto& k : gathers)
    for (int32_t width : {1, 7, 8, 9, 33, 70, 300})
      for (int32_t n : {1, 5, 8, 17, 40, 60, 100, 140, 160, 300}) {
        for (int sign : {1, -1}) {
          std::vector<int32_t> cols(n);
          for (int32_t i = 0; i < n; ++i) {
            const int32_t c = static_cast<int32_t>((2LL * i + 1) * width / (2LL * n));
            cols[i] = sign > 0 ? c : width - 1 - c;
          }
          std::vector<uint32_t> want(n), got(n);
          gathers.back().function(row.data(), width, cols.data(), n, want.data());
          k.function(row.data(), width, cols.data(), n, got.data());
          ASSERT_EQ(got, want) << k.name << " width " << width << " count " << n;
        }
      }
}

// A put-off background gives the pixels of the background copied first: random runs of copies
// (plain, mirrored, scaled, clipped, within the target itself, from a 24-bit bitmap, more than
// the rectangles and copies noted at once) and fills, drawn onto a target that holds other pixels
// meanwhile.
TEST(DeferBackground, DrawingThenSettlingEqualsTheBackgroundFirst) {
  std::mt19937 rng(77);
  auto r = [&](int lo, int hi) { return lo + static_cast<int>(rng() % (hi - lo + 1)); };
  for (int iter = 0; iter < 3000; ++iter) {
    const int w = r(1, 17), h = r(1, 13);
    const TBitmap background = Numbered(w, h);
    TBitmap source = Numbered(w + 3, h + 2);
    for (int y = 0; y < source.Height(); ++y)
      for (int x = 0; x < source.Width(); ++x) Px(source, x, y) += 50000;
    TBitmap source24(source.Width(), source.Height(), PixelFormat::pf24bit);
    Draw(source24, 0, 0, source);
    TBitmap want = background, got = Filled(w, h, kOld);
    ASSERT_TRUE(DeferBackground(got, background));
    const int calls = r(0, 20);
    for (int i = 0; i < calls; ++i) {
      const int kind = r(0, 15);
      TRegion clip;
      if (kind == 0) {
        for (int k = 0; k < 3; ++k) clip.UniteRect(r(-2, w), r(-2, h), r(-2, w), r(-2, h));
        SelectClipRgn(got, &clip);
        SelectClipRgn(want, &clip);
      }
      // Rows of one band, as the push styles move the old contents, or any rectangle.
      const int x = r(-3, w), y = kind == 1 ? i : r(-3, h), cw = r(-w, w + 2), ch = r(-3, 6);
      const int sx = r(-3, w), sy = r(-3, h), sw = r(-w, w + 2), sh = kind == 1 ? ch : r(-4, 6);
      if (kind == 2) {
        FillRect(got, Rect(x, y, x + cw, y + ch), 0x00ABCDEF);
        FillRect(want, Rect(x, y, x + cw, y + ch), 0x00ABCDEF);
      } else if (kind <= 5) {
        StretchBlt(got, x, y, cw, ch, got, sx, sy, sw, sh);
        StretchBlt(want, x, y, cw, ch, want, sx, sy, sw, sh);
      } else {
        const TBitmap& from = kind == 6 ? source24 : source;
        StretchBlt(got, x, y, cw, ch, from, sx, sy, sw, sh);
        StretchBlt(want, x, y, cw, ch, from, sx, sy, sw, sh);
      }
      SelectClipRgn(got, nullptr);
      SelectClipRgn(want, nullptr);
    }
    SettleBackground(got);
    ASSERT_EQ(Rows(got), Rows(want)) << "iteration " << iter;
  }
}

TEST(DeferBackground, OnlyOntoAnUnclippedTargetOfTheSameSizeInTrueColour) {
  const TBitmap background = Numbered(4, 3);
  TBitmap other_size = Filled(4, 4, kOld), palette(4, 3, PixelFormat::pf8bit),
          clipped = Filled(4, 3, kOld), target = Filled(4, 3, kOld);
  const TRegion clip = CreateRectRgn(0, 0, 1, 1);
  SelectClipRgn(clipped, &clip);
  EXPECT_FALSE(DeferBackground(other_size, background));
  EXPECT_FALSE(DeferBackground(palette, background));
  EXPECT_FALSE(DeferBackground(clipped, background));
  EXPECT_FALSE(DeferBackground(target, target));
  // Nothing drawn: settling lays the whole background.
  ASSERT_TRUE(DeferBackground(target, background));
  SettleBackground(target);
  EXPECT_EQ(Rows(target), Rows(background));
}
}  // namespace
}  // namespace qm
