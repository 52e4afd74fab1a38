#include "effects/region_compose.h"

#include <algorithm>
#include <array>
#include <vector>

#include "platform/pixel_rows.h"

#ifdef QM_X86
#include <immintrin.h>
#endif

namespace qm {

namespace select {

namespace {

void SelectPortable(uint32_t* dest, const uint32_t* old, const uint32_t* picture,
                    const uint32_t* mask, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) dest[i] = (old[i] & ~mask[i]) | (picture[i] & mask[i]);
}

#ifdef QM_X86
// Eight pixels at a time: the mask's lanes are all ones or 0, so a byte blend picks whole pixels.
__attribute__((target("avx2"))) void SelectAvx2(uint32_t* dest, const uint32_t* old,
                                                const uint32_t* picture, const uint32_t* mask,
                                                std::size_t count) {
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i o = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(old + i));
    const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(picture + i));
    const __m256i m = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(mask + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dest + i), _mm256_blendv_epi8(o, p, m));
  }
  SelectPortable(dest + i, old + i, picture + i, mask + i, count - i);
}
#endif

constexpr KernelRow<TSelectFn> kSelectRows[] = {
#ifdef QM_X86
    {CpuFeature::kAvx2, "avx2", SelectAvx2},
#endif
    {CpuFeature::kNone, "portable", SelectPortable},
};

}  // namespace

std::span<const KernelRow<TSelectFn>> SelectRows() {
  return kSelectRows;
}

}  // namespace select

namespace {

const select::TSelectFn g_select = FirstSupported(select::kSelectRows).function;

// A row with runs this many pixels apart or closer, on average, is picked by a mask: one pass
// over the row instead of two short copies per run.
constexpr std::size_t kMaskedPitch = 96;

const uint32_t* Row(const TBitmap& b, int32_t y) {
  return reinterpret_cast<const uint32_t*>(b.ScanLine(y));
}

}  // namespace

void ComposeThroughRegion(TBitmap& Screen, const TBitmap& Old, const TBitmap& Picture,
                          const std::optional<TRegion>& Region) {
  const int32_t w = Screen.Width(), h = Screen.Height();
  const auto width = static_cast<std::size_t>(w);
  auto out = [&](int32_t y) { return reinterpret_cast<uint32_t*>(Screen.ScanLine(y)); };
  int32_t y = 0;
  const auto old_rows_to = [&](int32_t bottom) {
    for (; y < bottom; ++y) pixel::Copy32(Row(Old, y), out(y), width);
  };
  if (!Region) {
    for (; y < h; ++y) pixel::Copy32(Row(Picture, y), out(y), width);
    return;
  }
  // Kept between frames, so that a frame allocates nothing once the first has run.
  thread_local std::vector<TSpan> runs;
  // The masks of the last two run patterns. Criss-cross bands alternate between two patterns
  // (the column bars with and without a row bar across them), and a mask of hundreds of short
  // runs costs more to lay than the rows it picks; a band whose runs were seen last time or the
  // time before takes that mask as it is.
  struct TMask {
    std::vector<TSpan> runs;
    std::vector<uint32_t> bits;
  };
  thread_local std::array<TMask, 2> masks;
  thread_local std::size_t newest = 0;
  const auto mask_for = [&]() -> const uint32_t* {
    for (std::size_t k : {newest, 1 - newest})
      if (masks[k].bits.size() == width && masks[k].runs == runs) return masks[k].bits.data();
    newest = 1 - newest;
    TMask& m = masks[newest];
    m.runs = runs;
    m.bits.assign(width, 0);
    for (const TSpan& s : runs) std::fill(m.bits.begin() + s.Left, m.bits.begin() + s.Right, ~0u);
    return m.bits.data();
  };
  for (const TBand& band : Region->Bands()) {
    const int32_t top = std::clamp(band.Top, y, h), bottom = std::clamp(band.Bottom, y, h);
    if (top >= bottom) continue;
    old_rows_to(top);
    // The band's runs within the display, left to right.
    runs.clear();
    for (const TSpan& s : Region->Spans(band)) {
      const int32_t l = std::max(s.Left, 0), r = std::min(s.Right, w);
      if (l < r) runs.push_back({l, r});
    }
    if (runs.size() * kMaskedPitch > width) {
      const uint32_t* mask = mask_for();
      for (; y < bottom; ++y) g_select(out(y), Row(Old, y), Row(Picture, y), mask, width);
      continue;
    }
    for (; y < bottom; ++y) {
      int32_t x = 0;
      for (const TSpan& s : runs) {
        if (s.Left > x)
          pixel::Copy32(Row(Old, y) + x, out(y) + x, static_cast<std::size_t>(s.Left - x));
        pixel::Copy32(Row(Picture, y) + s.Left, out(y) + s.Left,
                      static_cast<std::size_t>(s.Right - s.Left));
        x = s.Right;
      }
      if (x < w) pixel::Copy32(Row(Old, y) + x, out(y) + x, static_cast<std::size_t>(w - x));
    }
  }
  old_rows_to(h);
}

}  // namespace qm
