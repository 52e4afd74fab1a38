// Styles 118-122: the fade and the pivots, on 32-bit pixels.
//
//   118 "Fade"                     BlendPercent(Screen, Picture, Progress)
//   119 "Pivot from top left"      RotateImage about (-1, -1)
//   120 "Pivot from bottom left"   RotateImage about (-1, R.Bottom)
//   121 "Pivot from top right"     RotateImage about (R.Right, -1)
//   122 "Pivot from bottom right"  RotateImage about (R.Right, R.Bottom)
#include "effects/pixel_effects.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <utility>

#include "effects/blend_rows.h"

#ifdef QM_X86
#include <immintrin.h>
#endif

namespace qm {

namespace {

// Runs `draw` on the screen and the picture in 32 bits per pixel. The transition control holds
// both in that format for these styles; should either come in another format (a start or
// frame handler may have replaced a bitmap), the drawing goes through 32-bit copies and the
// result is drawn back onto the screen in the screen's own format, rather than reading pixels
// of the wrong size.
template <class TDraw>
void On32BitPixels(TBitmap& Screen, const TBitmap& Picture, TDraw draw) {
  if (Screen.Format() == PixelFormat::pf32bit && Picture.Format() == PixelFormat::pf32bit) {
    draw(Screen, Picture);
    return;
  }
  TBitmap screen = Screen;
  screen.ConvertTo(PixelFormat::pf32bit);
  if (Picture.Format() == PixelFormat::pf32bit) {
    draw(screen, Picture);
  } else {
    TBitmap picture = Picture;
    picture.ConvertTo(PixelFormat::pf32bit);
    draw(screen, picture);
  }
  Draw(Screen, 0, 0, screen);
}

// floor(a / b) for b > 0.
int64_t FloorDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && a < 0) ? q - 1 : q;
}

// Narrows the columns [lo, hi) to those x for which min <= first + x * step < max. The value is
// monotone in x, so the columns that qualify form one run.
void NarrowTo(int64_t first, int64_t step, int64_t min, int64_t max, int64_t& lo, int64_t& hi) {
  int64_t from, to;  // [from, to)
  if (step > 0) {
    from = -FloorDiv(first - min, step);  // ceil((min - first) / step)
    to = -FloorDiv(first - max, step);
  } else if (step < 0) {
    from = FloorDiv(first - max, -step) + 1;
    to = FloorDiv(first - min, -step) + 1;
  } else {
    if (first >= min && first < max) return;
    from = to = lo;
  }
  lo = std::max(lo, from);
  hi = std::max(lo, std::min(hi, to));
}

}  // namespace

void BlendPercent(TBitmap& Dest, const TBitmap& Source, int32_t Percent) {
  const int32_t percent = std::clamp(Percent, 0, 100);
  const int rows = std::min(Source.Height(), Dest.Height());
  const int cols = std::min(Source.Width(), Dest.Width());
  if (rows <= 0 || cols <= 0) return;
  for (int y = 0; y < rows; ++y)
    blend::BlendRow(Dest.ScanLine(y), Dest.ScanLine(y), Source.ScanLine(y),
                    static_cast<std::size_t>(cols), percent);
}

namespace {

void TurnRunPortable(const uint32_t* picture, std::size_t stride, int64_t u, int64_t v, int64_t c,
                     int64_t s, uint32_t* out, int64_t count, int64_t, int64_t) {
  for (int64_t i = 0; i < count; ++i, u += c, v += s)
    out[i] =
        picture[static_cast<std::size_t>(v >> 16) * stride + static_cast<std::size_t>(u >> 16)];
}

#ifdef QM_X86
// Eight pixels at a time: the sums in 32-bit lanes give each pixel's index in the picture, and
// one gather reads the eight. The caller makes sure that the sums and the indices fit 31 bits.
//
// A turned row crosses the picture's rows, so the processor's prefetchers, which follow
// addresses along a row, do not see which lines come next, and every line read for the first
// time waited for memory. With each gather the kernel asks for the eight pixels that a row a
// little further in drawing order takes at the same columns (the sums shifted by ahead_u and
// ahead_v) to be brought into the second-level cache: by the time that row is drawn its new
// lines are there. The sums of that row may lie outside the picture; a prefetch never faults,
// and the address is formed in integers.
__attribute__((target("avx2"))) void TurnRunAvx2(const uint32_t* picture, std::size_t stride,
                                                 int64_t u, int64_t v, int64_t c, int64_t s,
                                                 uint32_t* out, int64_t count, int64_t ahead_u,
                                                 int64_t ahead_v) {
  const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  const auto c32 = static_cast<int32_t>(c), s32 = static_cast<int32_t>(s);
  __m256i uu = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int32_t>(u)),
                                _mm256_mullo_epi32(lane, _mm256_set1_epi32(c32)));
  __m256i vv = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int32_t>(v)),
                                _mm256_mullo_epi32(lane, _mm256_set1_epi32(s32)));
  const __m256i du = _mm256_set1_epi32(8 * c32), dv = _mm256_set1_epi32(8 * s32);
  const __m256i rows = _mm256_set1_epi32(static_cast<int32_t>(stride));
  const __m256i shift_u = _mm256_set1_epi32(static_cast<int32_t>(ahead_u));
  const __m256i shift_v = _mm256_set1_epi32(static_cast<int32_t>(ahead_v));
  const auto base = reinterpret_cast<uintptr_t>(picture);
  alignas(32) int32_t ahead[8];
  int64_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i index = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_srli_epi32(vv, 16), rows),
                                           _mm256_srli_epi32(uu, 16));
    _mm256_store_si256(
        reinterpret_cast<__m256i*>(ahead),
        _mm256_add_epi32(
            _mm256_mullo_epi32(_mm256_srai_epi32(_mm256_add_epi32(vv, shift_v), 16), rows),
            _mm256_srai_epi32(_mm256_add_epi32(uu, shift_u), 16)));
    for (const int32_t at : ahead)
      _mm_prefetch(reinterpret_cast<const char*>(base + 4 * static_cast<intptr_t>(at)),
                   _MM_HINT_T1);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                        _mm256_i32gather_epi32(reinterpret_cast<const int*>(picture), index, 4));
    uu = _mm256_add_epi32(uu, du);
    vv = _mm256_add_epi32(vv, dv);
  }
  TurnRunPortable(picture, stride, u + i * c, v + i * s, c, s, out + i, count - i, 0, 0);
}
#endif

constexpr KernelRow<TTurnRunFn> kTurnRows[] = {
#ifdef QM_X86
    {CpuFeature::kAvx2, "avx2", TurnRunAvx2},
#endif
    {CpuFeature::kNone, "portable", TurnRunPortable},
};

const TTurnRunFn g_turn_run = FirstSupported(kTurnRows).function;

// How many rows ahead of the one drawn the turned-row kernel prefetches: one row brings its
// lines in long before they are read, two gave a little more on a busy machine.
constexpr int64_t kAheadRows = 2;

// A turn of RotateImage, worked out once: the fixed-point sine and cosine, the pivot and the
// source picture.
struct TTurn {
  int64_t s, c, px, py, w, h;
  const uint8_t* bits;
  std::size_t pitch;
  bool sums_fit_32_bits;

  TTurn(const TBitmap& Source, int32_t PivotX, int32_t PivotY, long double Angle)
      : s(Trunc(std::sin(Angle) * 65536.0L)),
        c(Trunc(std::cos(Angle) * 65536.0L)),
        px(PivotX),
        py(PivotY),
        w(Source.Width()),
        h(Source.Height()),
        bits(Source.Bits()),
        pitch(Source.RowBytes()),
        sums_fit_32_bits(w < 32768 && h < 32768 &&
                         static_cast<uint64_t>(pitch / 4) * static_cast<uint64_t>(h) < (1u << 31)) {
  }

  // Draws row y of the turned picture into `out`, columns [0, cols), where the source pixel
  // lies in the picture; returns the columns [lo, hi) drawn. `next` is the row drawn after it
  // minus y (1 or -1): the kernel prefetches what the row kAheadRows further on reads. Along a
  // row dx changes by 1, so
  // the two sums change by c and by s: each pixel adds instead of multiplying, and the source
  // position stays exact. The source column is px + (ax >> 16) and lies in the picture when
  // -px * 65536 <= ax < (w - px) * 65536; the row likewise. Drawn onto the picture itself
  // (`apart` false), the pixels go right to left; otherwise in the fastest order.
  std::pair<int64_t, int64_t> Row(int64_t y, int64_t cols, uint32_t* out, bool apart,
                                  int64_t next) const {
    const int64_t dy = y - py;
    const int64_t ax0 = -px * c - dy * s;  // the sums at x = 0
    const int64_t ay0 = -px * s + dy * c;
    int64_t lo = 0, hi = cols;
    NarrowTo(ax0, c, -px * 65536, (w - px) * 65536, lo, hi);
    NarrowTo(ay0, s, -py * 65536, (h - py) * 65536, lo, hi);
    if (lo >= hi) return {0, 0};
    if (apart && sums_fit_32_bits) {
      // The sums counted from the picture's corner: px + (ax >> 16) = (ax + px * 65536) >> 16.
      g_turn_run(reinterpret_cast<const uint32_t*>(bits), pitch / 4, ax0 + lo * c + px * 65536,
                 ay0 + lo * s + py * 65536, c, s, out + lo, hi - lo, -kAheadRows * next * s,
                 kAheadRows * next * c);
      return {lo, hi};
    }
    int64_t ax = ax0 + (hi - 1) * c, ay = ay0 + (hi - 1) * s;
    for (int64_t x = hi - 1; x >= lo; --x, ax -= c, ay -= s) {
      const uint8_t* from = bits + static_cast<std::size_t>(py + (ay >> 16)) * pitch +
                            4 * static_cast<std::size_t>(px + (ax >> 16));
      std::memcpy(out + x, from, 4);
    }
    return {lo, hi};
  }
};

}  // namespace

std::span<const KernelRow<TTurnRunFn>> TurnRows() {
  return kTurnRows;
}

void RotateImage(TBitmap& Dest, const TBitmap& Source, int32_t PivotX, int32_t PivotY,
                 long double Angle) {
  const int rows = std::min(Source.Height(), Dest.Height());
  const int64_t cols = std::min(Source.Width(), Dest.Width());
  if (rows <= 0 || cols <= 0) return;
  const TTurn turn(Source, PivotX, PivotY, Angle);
  // Rows run bottom to top and pixels right to left, so that turning a bitmap onto itself reads
  // each source pixel before or after it is overwritten exactly as the pixel-by-pixel rule does.
  for (int y = rows - 1; y >= 0; --y)
    turn.Row(y, cols, reinterpret_cast<uint32_t*>(Dest.ScanLine(y)), &Dest != &Source, -1);
}

void DrawFade(TBitmap& Screen, const TBitmap& Picture, const TRect&, uint32_t, int32_t Progress,
              const TEffectParams&) {
  On32BitPixels(Screen, Picture, [&](TBitmap& screen, const TBitmap& picture) {
    BlendPercent(screen, picture, Progress);
  });
}

void ComposeFade(TBitmap& Screen, const TBitmap& Old, const TBitmap& Picture, const TRect&,
                 uint32_t, int32_t Progress, const TEffectParams&) {
  // Each row mixed from the old contents and the new picture straight onto the screen.
  for (int y = 0; y < Screen.Height(); ++y)
    blend::BlendRow(Screen.ScanLine(y), Old.ScanLine(y), Picture.ScanLine(y),
                    static_cast<std::size_t>(Screen.Width()), std::clamp(Progress, 0, 100));
}

namespace {

// Where a pivot style's frame turns the picture about, and how far.
struct TPivotFrame {
  int32_t x, y;
  long double angle;
};
TPivotFrame PivotFrame(const TRect& R, int32_t Progress, const TEffectParams& Params) {
  return {Params.A == static_cast<int32_t>(TPivotSide::kRight) ? R.Right : -1,
          Params.B == static_cast<int32_t>(TPivotEnd::kBottom) ? R.Bottom : -1,
          static_cast<long double>(100 - Progress) * std::numbers::pi_v<long double> / 200};
}

}  // namespace

void DrawPivot(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t, int32_t Progress,
               const TEffectParams& Params) {
  const TPivotFrame f = PivotFrame(R, Progress, Params);
  On32BitPixels(Screen, Picture, [&](TBitmap& screen, const TBitmap& picture) {
    RotateImage(screen, picture, f.x, f.y, f.angle);
  });
}

void ComposePivot(TBitmap& Screen, const TBitmap& Old, const TBitmap& Picture, const TRect& R,
                  uint32_t, int32_t Progress, const TEffectParams& Params) {
  // Each row: the turned picture where it reaches, the old contents on either side of it.
  const TPivotFrame f = PivotFrame(R, Progress, Params);
  const TTurn turn(Picture, f.x, f.y, f.angle);
  const int64_t w = Screen.Width();
  for (int y = 0; y < Screen.Height(); ++y) {
    auto* out = reinterpret_cast<uint32_t*>(Screen.ScanLine(y));
    const auto* old = reinterpret_cast<const uint32_t*>(Old.ScanLine(y));
    const auto [lo, hi] = turn.Row(y, w, out, true, 1);
    std::memcpy(out, old, 4 * static_cast<std::size_t>(lo));
    std::memcpy(out + hi, old + hi, 4 * static_cast<std::size_t>(w - hi));
  }
}

}  // namespace qm
