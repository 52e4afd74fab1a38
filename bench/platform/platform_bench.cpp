// Drawing layer benchmarks at 1920x1080 and 3840x2160. Each case has a baseline in the same
// run: memcpy of the same bytes, or pixman doing the same scaling or conversion.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "effects/effect_contract.h"

namespace qm {
namespace {

TBitmap Picture(int w, int h, PixelFormat format) {
  TBitmap b(w, h, format);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = b.ScanLine(y);
    for (std::size_t i = 0; i < b.RowBytes(); ++i) row[i] = static_cast<uint8_t>(i * 31 + y * 7);
  }
  return b;
}

// A pixman image over a bitmap's pixels (no copy).
pixman_image_t* Wrap(TBitmap& b) {
  const pixman_format_code_t fmt =
      b.Format() == PixelFormat::pf24bit ? PIXMAN_r8g8b8 : PIXMAN_x8r8g8b8;
  return pixman_image_create_bits(fmt, b.Width(), b.Height(), reinterpret_cast<uint32_t*>(b.Bits()),
                                  static_cast<int>(b.RowBytes()));
}

#define SIZES ->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMicrosecond)

// ---- Whole-frame 32-bit copy ----

void BM_Copy32_Draw(benchmark::State& st) {
  const int w = static_cast<int>(st.range(0)), h = static_cast<int>(st.range(1));
  TBitmap pic = Picture(w, h, PixelFormat::pf32bit), screen(w, h, PixelFormat::pf32bit);
  for (auto _ : st) {
    Draw(screen, 0, 0, pic);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Copy32_Draw) SIZES;

void BM_Copy32_Memcpy(benchmark::State& st) {
  const int w = static_cast<int>(st.range(0)), h = static_cast<int>(st.range(1));
  TBitmap pic = Picture(w, h, PixelFormat::pf32bit), screen(w, h, PixelFormat::pf32bit);
  for (auto _ : st) {
    std::memcpy(screen.Bits(), pic.Bits(), pic.RowBytes() * static_cast<std::size_t>(h));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Copy32_Memcpy) SIZES;

// ---- Clip-and-draw through 5-pixel bars every 10 rows ----

void BM_BarsClipAndDraw(benchmark::State& st) {
  const int w = static_cast<int>(st.range(0)), h = static_cast<int>(st.range(1));
  TBitmap pic = Picture(w, h, PixelFormat::pf32bit), screen(w, h, PixelFormat::pf32bit);
  for (auto _ : st) {
    // As the bar effects build it: one rectangle region per bar, united one by one.
    std::optional<TRegion> rgn;
    for (int y = 0; y < h + 5; y += 10) {
      TRegion bar = CreateRectRgn(0, y, w, y + 5);
      if (rgn)
        CombineRgn(*rgn, *rgn, bar, RGN_OR);
      else
        rgn = std::move(bar);
    }
    ClipAndDraw(screen, pic, std::move(rgn));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_BarsClipAndDraw) SIZES;

void BM_BarsMemcpy(benchmark::State& st) {
  const int w = static_cast<int>(st.range(0)), h = static_cast<int>(st.range(1));
  TBitmap pic = Picture(w, h, PixelFormat::pf32bit), screen(w, h, PixelFormat::pf32bit);
  for (auto _ : st) {
    for (int y = 0; y < h; y += 10) {
      const int rows = std::min(5, h - y);
      std::memcpy(screen.ScanLine(y), pic.ScanLine(y),
                  pic.RowBytes() * static_cast<std::size_t>(rows));
    }
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_BarsMemcpy) SIZES;

// ---- 2x upscaling and mirrored copies against pixman's nearest-neighbour scaling ----

void BM_Upscale2x_StretchBlt(benchmark::State& st) {
  const int w = static_cast<int>(st.range(0)), h = static_cast<int>(st.range(1));
  TBitmap pic = Picture(w, h, PixelFormat::pf32bit), screen(w, h, PixelFormat::pf32bit);
  for (auto _ : st) {
    StretchBlt(screen, 0, 0, w, h, pic, w / 4, h / 4, w / 2, h / 2);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Upscale2x_StretchBlt) SIZES;

// pixman composites a whole picture-sized frame with the source-copy operator, the source
// sampled nearest-neighbour through `transform` (destination to source), when given.
void PixmanFrame(benchmark::State& st, PixelFormat source_format,
                 const pixman_transform_t* transform) {
  const int w = static_cast<int>(st.range(0)), h = static_cast<int>(st.range(1));
  TBitmap pic = Picture(w, h, source_format), screen(w, h, PixelFormat::pf32bit);
  pixman_image_t* src = Wrap(pic);
  pixman_image_t* dst = Wrap(screen);
  if (transform != nullptr) {
    pixman_image_set_transform(src, transform);
    pixman_image_set_filter(src, PIXMAN_FILTER_NEAREST, nullptr, 0);
  }
  for (auto _ : st) {
    pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, w, h);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(src);
  pixman_image_unref(dst);
}

void BM_Upscale2x_Pixman(benchmark::State& st) {
  // Destination (x, y) samples source (w/4 + x/2, h/4 + y/2).
  pixman_transform_t t;
  pixman_transform_init_scale(&t, pixman_double_to_fixed(0.5), pixman_double_to_fixed(0.5));
  pixman_transform_translate(&t, nullptr, pixman_int_to_fixed(st.range(0) / 4),
                             pixman_int_to_fixed(st.range(1) / 4));
  PixmanFrame(st, PixelFormat::pf32bit, &t);
}
BENCHMARK(BM_Upscale2x_Pixman) SIZES;

void BM_Mirror_StretchBlt(benchmark::State& st) {
  const int w = static_cast<int>(st.range(0)), h = static_cast<int>(st.range(1));
  TBitmap pic = Picture(w, h, PixelFormat::pf32bit), screen(w, h, PixelFormat::pf32bit);
  for (auto _ : st) {
    MirrorCopyRect(screen, TRect{0, 0, w - 2, h}, pic, TRect{0, 0, w, h}, true, false);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Mirror_StretchBlt) SIZES;

void BM_Mirror_Pixman(benchmark::State& st) {
  // Destination x samples source w - 1 - x: x -> -x + w at pixel centres.
  pixman_transform_t t;
  pixman_transform_init_scale(&t, pixman_int_to_fixed(-1), pixman_int_to_fixed(1));
  pixman_transform_translate(&t, nullptr, pixman_int_to_fixed(st.range(0)), 0);
  PixmanFrame(st, PixelFormat::pf32bit, &t);
}
BENCHMARK(BM_Mirror_Pixman) SIZES;

// ---- 24-bit picture onto a 32-bit screen ----

void BM_Convert24_Draw(benchmark::State& st) {
  const int w = static_cast<int>(st.range(0)), h = static_cast<int>(st.range(1));
  TBitmap pic = Picture(w, h, PixelFormat::pf24bit), screen(w, h, PixelFormat::pf32bit);
  for (auto _ : st) {
    Draw(screen, 0, 0, pic);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Convert24_Draw) SIZES;

void BM_Convert24_Pixman(benchmark::State& st) {
  PixmanFrame(st, PixelFormat::pf24bit, nullptr);
}
BENCHMARK(BM_Convert24_Pixman) SIZES;

// ---- The triangular shred at Step 100, Progress 99: 324,900 triangles on 1024x768 ----

template <bool kDirect>
void BM_Triangles(benchmark::State& st) {
  const TRect r{0, 0, static_cast<int32_t>(st.range(0)), static_cast<int32_t>(st.range(1))};
  const TProgressMetrics m = CalcProgressMetrics(r, 100, 99);
  int32_t n = m.StepSpan;
  if (n > 1) n /= 2;
  const int32_t pw = m.PW / n, ph = m.PH / n, cw = m.W / n, ch = m.H / n;
  uint64_t pixels = 0;
  for (auto _ : st) {
    TRegion rgn;
    for (int32_t i = n; i >= 0; --i)
      for (int32_t j = n; j >= 0; --j) {
        const TPoint t[3] = {
            {j * cw - pw, i * ch - ph}, {j * cw + pw, i * ch - ph}, {j * cw - pw, i * ch + ph}};
        if (kDirect) {
          rgn.UnitePolygon(t, 3, WINDING);
        } else {
          TRegion tri = CreatePolygonRgn(t, 3, WINDING);
          CombineRgn(rgn, rgn, tri, RGN_OR);
        }
      }
    pixels = rgn.PixelCount();  // reading it builds the bands
    benchmark::DoNotOptimize(pixels);
  }
  st.counters["triangles"] = static_cast<double>((n + 1) * (n + 1));
  st.counters["pixels"] = static_cast<double>(pixels);
}
BENCHMARK(BM_Triangles<false>)
    ->Name("BM_Triangles_CombineRgn")
    ->Args({1024, 768})
    ->Args({3840, 2160})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Triangles<true>)
    ->Name("BM_Triangles_UnitePolygon")
    ->Args({1024, 768})
    ->Args({3840, 2160})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qm

BENCHMARK_MAIN();
