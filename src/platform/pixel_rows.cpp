#include "platform/pixel_rows.h"

#include <cstring>

#ifdef QM_X86
#include <immintrin.h>
#endif

namespace qm::pixel {

TLut MakeLut(const TBitmap& bitmap) {
  TLut lut{};
  const auto& pal = bitmap.Palette();
  for (std::size_t i = 0; i < pal.size() && i < lut.size(); ++i)
    lut[i] = pal[i].rgbBlue | (uint32_t{pal[i].rgbGreen} << 8) | (uint32_t{pal[i].rgbRed} << 16);
  return lut;
}

namespace {

inline uint32_t Load24(const uint8_t* p) {
  return p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
}

void Convert24To32Scalar(const uint8_t* src, uint32_t* dst, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) dst[i] = Load24(src + 3 * i);
}

#ifdef QM_X86
// Four pixels per shuffle: bytes b g r of each pixel into the low three bytes of a lane, the
// fourth byte zeroed (index -1).
__attribute__((target("ssse3"))) void Convert24To32Ssse3(const uint8_t* src, uint32_t* dst,
                                                         std::size_t count) {
  const __m128i shuffle = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  std::size_t i = 0;
  // 16 pixels from three 16-byte loads (48 bytes, exactly their size).
  for (; i + 16 <= count; i += 16) {
    const uint8_t* s = src + 3 * i;
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 32));
    const __m128i p0 = _mm_shuffle_epi8(a, shuffle);
    const __m128i p1 = _mm_shuffle_epi8(_mm_alignr_epi8(b, a, 12), shuffle);
    const __m128i p2 = _mm_shuffle_epi8(_mm_alignr_epi8(c, b, 8), shuffle);
    const __m128i p3 = _mm_shuffle_epi8(_mm_srli_si128(c, 4), shuffle);
    __m128i* d = reinterpret_cast<__m128i*>(dst + i);
    _mm_storeu_si128(d, p0);
    _mm_storeu_si128(d + 1, p1);
    _mm_storeu_si128(d + 2, p2);
    _mm_storeu_si128(d + 3, p3);
  }
  Convert24To32Scalar(src + 3 * i, dst + i, count - i);
}

__attribute__((target("avx2"))) void Convert24To32Avx2(const uint8_t* src, uint32_t* dst,
                                                       std::size_t count) {
  // Lane 0 takes bytes 0..11 and lane 1 bytes 12..23 of each 24-byte group of 8 pixels.
  const __m256i spread = _mm256_setr_epi32(0, 1, 2, 3, 3, 4, 5, 6);
  const __m256i shuffle = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0,
                                           1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  std::size_t i = 0;
  // Each load reads 32 bytes for 8 pixels (24 bytes): stop while 32 bytes remain readable.
  for (; i + 11 <= count; i += 8) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 3 * i));
    const __m256i p = _mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(v, spread), shuffle);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), p);
  }
  Convert24To32Scalar(src + 3 * i, dst + i, count - i);
}
#endif

void Gather32Scalar(const uint32_t* src, int32_t, const int32_t* cols, int32_t count,
                    uint32_t* out) {
  for (int32_t i = 0; i < count; ++i) out[i] = src[cols[i]];
}

#ifdef QM_X86
// Eight destination pixels a step. Growing samples each source column once or more, so eight
// neighbouring destination pixels come from at most eight neighbouring source pixels: one load
// and one permutation. Shrinking by up to 2 takes them from a window of 16 (two permutations,
// blended), by up to 4 from a window of 32 (four, blended twice over); wider spreads and windows
// that would reach past the row's end gather the pixels one by one in hardware.
__attribute__((target("avx2"))) void Gather32Avx2(const uint32_t* src, int32_t width,
                                                  const int32_t* cols, int32_t count,
                                                  uint32_t* out) {
  const __m256i seven = _mm256_set1_epi32(7), fifteen = _mm256_set1_epi32(15);
  const __m256i twenty_three = _mm256_set1_epi32(23);
  // The columns run one way along the whole map: the group's first column is the lowest of
  // the group where they rise, its last where they fall (mirrored copies).
  const int32_t low = count > 0 && cols[count - 1] < cols[0] ? 7 : 0, high = 7 - low;
  int32_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const int32_t base = cols[i + low], spread = cols[i + high] - base;
    const __m256i at = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cols + i));
    const __m256i idx = _mm256_sub_epi32(at, _mm256_set1_epi32(base));
    const auto* window = reinterpret_cast<const __m256i*>(src + base);
    __m256i v;
    if (spread <= 7 && base + 8 <= width) {
      v = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(window), idx);
    } else if (spread <= 15 && base + 16 <= width) {
      const __m256i low = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(window), idx);
      const __m256i high = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(window + 1), idx);
      v = _mm256_blendv_epi8(low, high, _mm256_cmpgt_epi32(idx, seven));
    } else if (spread <= 31 && base + 32 <= width) {
      const __m256i q0 = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(window), idx);
      const __m256i q1 = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(window + 1), idx);
      const __m256i q2 = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(window + 2), idx);
      const __m256i q3 = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(window + 3), idx);
      const __m256i low = _mm256_blendv_epi8(q0, q1, _mm256_cmpgt_epi32(idx, seven));
      const __m256i high = _mm256_blendv_epi8(q2, q3, _mm256_cmpgt_epi32(idx, twenty_three));
      v = _mm256_blendv_epi8(low, high, _mm256_cmpgt_epi32(idx, fifteen));
    } else {
      v = _mm256_i32gather_epi32(reinterpret_cast<const int*>(src), at, 4);
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), v);
  }
  for (; i < count; ++i) out[i] = src[cols[i]];
}

// Sixteen destination pixels a step. Shrinking by up to 2 takes them from a window of 32
// neighbouring source pixels (two loads, one two-register permutation), shrinking by up to 4
// from a window of 64 (two permutations, blended); wider spreads and windows that would reach
// past the row's end gather the pixels one by one in hardware.
__attribute__((target("avx512f"))) void Gather32Avx512(const uint32_t* src, int32_t width,
                                                       const int32_t* cols, int32_t count,
                                                       uint32_t* out) {
  int32_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const int32_t a = cols[i], b = cols[i + 15];
    const int32_t base = a < b ? a : b, spread = a < b ? b - a : a - b;
    const __m512i at = _mm512_loadu_si512(cols + i);
    const __m512i idx = _mm512_sub_epi32(at, _mm512_set1_epi32(base));
    const uint32_t* window = src + base;
    __m512i v;
    if (spread < 32 && base + 32 <= width) {
      v = _mm512_permutex2var_epi32(_mm512_loadu_si512(window), idx,
                                    _mm512_loadu_si512(window + 16));
    } else if (spread < 64 && base + 64 <= width) {
      const __m512i low = _mm512_permutex2var_epi32(_mm512_loadu_si512(window), idx,
                                                    _mm512_loadu_si512(window + 16));
      const __m512i high = _mm512_permutex2var_epi32(_mm512_loadu_si512(window + 32), idx,
                                                     _mm512_loadu_si512(window + 48));
      v = _mm512_mask_blend_epi32(_mm512_cmpgt_epi32_mask(idx, _mm512_set1_epi32(31)), low, high);
    } else {
      v = _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), 0xFFFF, at, src, 4);
    }
    _mm512_storeu_si512(out + i, v);
  }
  Gather32Avx2(src, width, cols + i, count - i, out + i);
}
#endif

void Copy32Library(const uint32_t* src, uint32_t* dst, std::size_t count) {
  std::memcpy(dst, src, 4 * count);
}

#ifdef QM_X86
// The C library copies runs from about 2 KiB on with the processor's string move, which on some
// processors (AMD Zen 4 among them) runs about ten times slower when target and source are not
// aligned alike: whenever a picture is drawn shifted by a number of pixels that is not a multiple
// of 16. Runs aligned alike keep the library's copy; the others take 32-byte loads and stores,
// the stores aligned to the target, which do not mind. Runs of fewer than eight pixels, many on
// the rows of the styles drawn in strips, are moved without a call.
__attribute__((target("avx2"))) void Copy32Avx2(const uint32_t* src, uint32_t* dst,
                                                std::size_t count) {
  if (count >= 8 &&
      ((reinterpret_cast<uintptr_t>(src) ^ reinterpret_cast<uintptr_t>(dst)) & 63) == 0) {
    std::memcpy(dst, src, 4 * count);
    return;
  }
  if (count < 8) {
    // Two overlapping moves of the run's first and last pixels.
    if (count >= 4) {
      const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
      const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + count - 4));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), head);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + count - 4), tail);
    } else if (count >= 2) {
      uint64_t head, tail;
      std::memcpy(&head, src, 8);
      std::memcpy(&tail, src + count - 2, 8);
      std::memcpy(dst, &head, 8);
      std::memcpy(dst + count - 2, &tail, 8);
    } else if (count == 1) {
      dst[0] = src[0];
    }
    return;
  }
  // The first and last eight pixels unaligned; in between, stores aligned to the target.
  const __m256i head = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src));
  const __m256i tail = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + count - 8));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), head);
  std::size_t i = ((32 - (reinterpret_cast<uintptr_t>(dst) & 31)) & 31) / 4;
  for (; i + 32 <= count; i += 32) {
    const auto* s = reinterpret_cast<const __m256i*>(src + i);
    auto* d = reinterpret_cast<__m256i*>(dst + i);
    const __m256i a = _mm256_loadu_si256(s), b = _mm256_loadu_si256(s + 1);
    const __m256i c = _mm256_loadu_si256(s + 2), e = _mm256_loadu_si256(s + 3);
    _mm256_storeu_si256(d, a);
    _mm256_storeu_si256(d + 1, b);
    _mm256_storeu_si256(d + 2, c);
    _mm256_storeu_si256(d + 3, e);
  }
  for (; i + 8 <= count; i += 8)
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i),
                        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i)));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + count - 8), tail);
}
#endif

constexpr KernelRow<TCopy32Fn> kCopy32Rows[] = {
#ifdef QM_X86
    {CpuFeature::kAvx2, "avx2", Copy32Avx2},
#endif
    {CpuFeature::kNone, "portable", Copy32Library},
};

constexpr KernelRow<TGather32Fn> kGather32Rows[] = {
#ifdef QM_X86
    {CpuFeature::kAvx512f, "avx512f", Gather32Avx512},
    {CpuFeature::kAvx2, "avx2", Gather32Avx2},
#endif
    {CpuFeature::kNone, "portable", Gather32Scalar},
};

constexpr KernelRow<TConvert24Fn> kConvert24Rows[] = {
#ifdef QM_X86
    {CpuFeature::kAvx2, "avx2", Convert24To32Avx2},
    {CpuFeature::kSsse3, "ssse3", Convert24To32Ssse3},
#endif
    {CpuFeature::kNone, "portable", Convert24To32Scalar},
};

const TCopy32Fn g_copy32 = FirstSupported(kCopy32Rows).function;
const TGather32Fn g_gather32 = FirstSupported(kGather32Rows).function;
const TConvert24Fn g_convert24 = FirstSupported(kConvert24Rows).function;

}  // namespace

std::span<const KernelRow<TConvert24Fn>> Convert24To32Rows() {
  return kConvert24Rows;
}

std::span<const KernelRow<TGather32Fn>> Gather32Rows() {
  return kGather32Rows;
}

std::span<const KernelRow<TCopy32Fn>> Copy32Rows() {
  return kCopy32Rows;
}

void Copy32(const uint32_t* src, uint32_t* dst, std::size_t count) {
  g_copy32(src, dst, count);
}

void Convert24To32(const uint8_t* src, uint32_t* dst, std::size_t count) {
  g_convert24(src, dst, count);
}

void ReverseCopy32(const uint32_t* src_last, uint32_t* dst, int32_t count) {
  int32_t i = 0;
#ifdef QM_X86
  // SSE2 is part of every x86-64: four pixels per step, reversed within the register.
  for (; i + 4 <= count; i += 4) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src_last - i - 3));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_shuffle_epi32(v, 0x1B));
  }
#endif
  for (; i < count; ++i) dst[i] = src_last[-i];
}

void ReadRun(const uint8_t* row, PixelFormat format, const TLut& lut, int32_t x0, int32_t count,
             uint32_t* out) {
  if (count <= 0) return;
  switch (format) {
    case PixelFormat::pf32bit:
      g_copy32(reinterpret_cast<const uint32_t*>(row) + x0, out, static_cast<std::size_t>(count));
      return;
    case PixelFormat::pf24bit:
      Convert24To32(row + 3 * static_cast<std::size_t>(x0), out, static_cast<std::size_t>(count));
      return;
    case PixelFormat::pf8bit:
      for (int32_t i = 0; i < count; ++i) out[i] = lut[row[x0 + i]];
      return;
    case PixelFormat::pf4bit:
      for (int32_t i = 0; i < count; ++i) {
        const int32_t x = x0 + i;
        out[i] = lut[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F];
      }
      return;
    case PixelFormat::pf1bit:
      for (int32_t i = 0; i < count; ++i) {
        const int32_t x = x0 + i;
        out[i] = lut[(row[x >> 3] >> (7 - (x & 7))) & 1];
      }
      return;
    case PixelFormat::pfNone:
      return;
  }
}

void ReadMapped(const uint8_t* row, int32_t width, PixelFormat format, const TLut& lut,
                const int32_t* cols, int32_t count, uint32_t* out) {
  switch (format) {
    case PixelFormat::pf32bit:
      g_gather32(reinterpret_cast<const uint32_t*>(row), width, cols, count, out);
      return;
    case PixelFormat::pf24bit:
      for (int32_t i = 0; i < count; ++i)
        out[i] = Load24(row + 3 * static_cast<std::size_t>(cols[i]));
      return;
    case PixelFormat::pf8bit:
      for (int32_t i = 0; i < count; ++i) out[i] = lut[row[cols[i]]];
      return;
    case PixelFormat::pf4bit:
      for (int32_t i = 0; i < count; ++i) {
        const int32_t x = cols[i];
        out[i] = lut[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F];
      }
      return;
    case PixelFormat::pf1bit:
      for (int32_t i = 0; i < count; ++i) {
        const int32_t x = cols[i];
        out[i] = lut[(row[x >> 3] >> (7 - (x & 7))) & 1];
      }
      return;
    case PixelFormat::pfNone:
      return;
  }
}

void Write24(uint8_t* row, int32_t x0, const uint32_t* px, int32_t count) {
  uint8_t* d = row + 3 * static_cast<std::size_t>(x0);
  for (int32_t i = 0; i < count; ++i, d += 3) {
    d[0] = static_cast<uint8_t>(px[i]);
    d[1] = static_cast<uint8_t>(px[i] >> 8);
    d[2] = static_cast<uint8_t>(px[i] >> 16);
  }
}

TPaletteMatcher::TPaletteMatcher(const TBitmap& bitmap) : lut_(MakeLut(bitmap)) {
  count_ = static_cast<int>(std::min<std::size_t>(bitmap.Palette().size(), 256));
  const int slots = 1 << std::min(bitmap.BitsPerPixel(), 8);
  if (count_ > slots) count_ = slots;
}

uint8_t TPaletteMatcher::Index(uint32_t pixel) {
  if (has_last_ && (pixel & 0xFFFFFF) == last_pixel_) return last_index_;
  const int b = pixel & 0xFF, g = (pixel >> 8) & 0xFF, r = (pixel >> 16) & 0xFF;
  int best = 0;
  int best_dist = 1 << 30;
  for (int i = 0; i < count_; ++i) {
    const int db = static_cast<int>(lut_[i] & 0xFF) - b;
    const int dg = static_cast<int>((lut_[i] >> 8) & 0xFF) - g;
    const int dr = static_cast<int>((lut_[i] >> 16) & 0xFF) - r;
    const int dist = db * db + dg * dg + dr * dr;
    if (dist < best_dist) {
      best_dist = dist;
      best = i;
    }
  }
  has_last_ = true;
  last_pixel_ = pixel & 0xFFFFFF;
  last_index_ = static_cast<uint8_t>(best);
  return last_index_;
}

void WriteIndex(uint8_t* row, PixelFormat format, int32_t x, uint8_t index) {
  switch (format) {
    case PixelFormat::pf8bit:
      row[x] = index;
      return;
    case PixelFormat::pf4bit: {
      uint8_t& b = row[x >> 1];
      b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | (index & 0x0F))
                  : static_cast<uint8_t>((b & 0x0F) | ((index & 0x0F) << 4));
      return;
    }
    case PixelFormat::pf1bit: {
      uint8_t& b = row[x >> 3];
      const uint8_t mask = static_cast<uint8_t>(0x80 >> (x & 7));
      b = (index & 1) ? static_cast<uint8_t>(b | mask) : static_cast<uint8_t>(b & ~mask);
      return;
    }
    default:
      return;
  }
}

}  // namespace qm::pixel
