#include "imaging/png_rows.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>

#ifdef QM_X86
#include <immintrin.h>
#endif

namespace qm {
namespace png {
namespace {

// ---- the portable filters ----
// Each reverses its filter from byte `start` of the row on; the bytes before `start` are already
// unfiltered. The left neighbour of the first pixel, and the one above it, count as 0.

template <std::size_t kD>
void SubFrom(uint8_t* row, const uint8_t*, std::size_t start, std::size_t length) {
  for (std::size_t i = start < kD ? kD : start; i < length; ++i)
    row[i] = static_cast<uint8_t>(row[i] + row[i - kD]);
}

void UpFrom(uint8_t* row, const uint8_t* prev, std::size_t start, std::size_t length) {
  for (std::size_t i = start; i < length; ++i) row[i] = static_cast<uint8_t>(row[i] + prev[i]);
}

template <std::size_t kD>
void AverageFrom(uint8_t* row, const uint8_t* prev, std::size_t start, std::size_t length) {
  std::size_t i = start;
  for (; i < kD && i < length; ++i) row[i] = static_cast<uint8_t>(row[i] + (prev[i] >> 1));
  for (; i < length; ++i) row[i] = static_cast<uint8_t>(row[i] + ((row[i - kD] + prev[i]) >> 1));
}

inline uint8_t Paeth(int a, int b, int c) {
  const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
  if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
  return static_cast<uint8_t>(pb <= pc ? b : c);
}

template <std::size_t kD>
void PaethFrom(uint8_t* row, const uint8_t* prev, std::size_t start, std::size_t length) {
  std::size_t i = start;
  // With no left neighbour the predictor is the byte above.
  for (; i < kD && i < length; ++i) row[i] = static_cast<uint8_t>(row[i] + prev[i]);
  for (; i < length; ++i)
    row[i] = static_cast<uint8_t>(row[i] + Paeth(row[i - kD], prev[i], prev[i - kD]));
}

template <std::size_t kD>
void Sub(uint8_t* row, const uint8_t* prev, std::size_t length) {
  SubFrom<kD>(row, prev, 0, length);
}
void Up(uint8_t* row, const uint8_t* prev, std::size_t length) {
  UpFrom(row, prev, 0, length);
}
template <std::size_t kD>
void Average(uint8_t* row, const uint8_t* prev, std::size_t length) {
  AverageFrom<kD>(row, prev, 0, length);
}
template <std::size_t kD>
void PaethAll(uint8_t* row, const uint8_t* prev, std::size_t length) {
  PaethFrom<kD>(row, prev, 0, length);
}

template <std::size_t kD>
void UnfilterPortable(uint8_t filter, uint8_t* row, const uint8_t* prev, std::size_t length) {
  switch (filter) {
    case 1:
      return Sub<kD>(row, prev, length);
    case 2:
      return Up(row, prev, length);
    case 3:
      return Average<kD>(row, prev, length);
    case 4:
      return PaethAll<kD>(row, prev, length);
    default:
      return;
  }
}

void RgbToBgrPortable(const uint8_t* src, uint8_t* dst, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i, src += 3, dst += 3) {
    dst[0] = src[2];
    dst[1] = src[1];
    dst[2] = src[0];
  }
}

void RgbaToBgrPortable(const uint8_t* src, uint8_t* dst, uint8_t* alpha, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i, src += 4, dst += 3) {
    dst[0] = src[2];
    dst[1] = src[1];
    dst[2] = src[0];
    alpha[i] = src[3];
  }
}

uint32_t Adler32Portable(uint32_t adler, const uint8_t* data, std::size_t length) {
  return static_cast<uint32_t>(adler32_z(adler, data, length));
}

#ifdef QM_X86
// ---- SSE2 filters, one pixel at a time ----
// Sub, Average and Paeth depend on the pixel to the left, so pixels are taken in order, each
// in the low four bytes of a register; only the pixel's own bytes are written back, so the
// fourth byte of a 3-byte pixel may hold anything. Each pixel is read before the one to its left
// is written, so that no read waits on a write it overlaps. The loop stops while 4 bytes remain
// in the row; the portable code ends it.

inline __m128i Load4(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return _mm_cvtsi32_si128(v);
}

template <std::size_t kD>
inline void StorePixel(uint8_t* p, __m128i v) {
  const int32_t x = _mm_cvtsi128_si32(v);
  std::memcpy(p, &x, kD);
}

// Runs `step(raw pixel, offset)` over the row's pixels and writes what it returns; gives the
// offset where the portable code goes on.
template <std::size_t kD, typename Step>
inline std::size_t EachPixel(uint8_t* row, std::size_t length, Step step) {
  if (length < 4) return 0;
  std::size_t i = 0;
  __m128i raw = Load4(row);
  for (; i + kD + 4 <= length; i += kD) {
    const __m128i next = Load4(row + i + kD);
    StorePixel<kD>(row + i, step(raw, i));
    raw = next;
  }
  StorePixel<kD>(row + i, step(raw, i));
  return i + kD;
}

template <std::size_t kD>
void SubSse2(uint8_t* row, const uint8_t* prev, std::size_t length) {
  __m128i a = _mm_setzero_si128();
  const std::size_t end = EachPixel<kD>(row, length, [&](__m128i raw, std::size_t) {
    a = _mm_add_epi8(raw, a);
    return a;
  });
  SubFrom<kD>(row, prev, end, length);
}

template <std::size_t kD>
void AverageSse2(uint8_t* row, const uint8_t* prev, std::size_t length) {
  const __m128i one = _mm_set1_epi8(1);
  __m128i a = _mm_setzero_si128();
  const std::size_t end = EachPixel<kD>(row, length, [&](__m128i raw, std::size_t i) {
    const __m128i b = Load4(prev + i);
    // (a + b) >> 1 without overflow: the rounding-up average less the odd sums' half.
    a = _mm_sub_epi8(_mm_add_epi8(raw, _mm_avg_epu8(a, b)),
                     _mm_and_si128(_mm_xor_si128(a, b), one));
    return a;
  });
  AverageFrom<kD>(row, prev, end, length);
}

inline __m128i Abs16(__m128i v) {
  return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
}

inline __m128i Select(__m128i mask, __m128i yes, __m128i no) {
  return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

template <std::size_t kD>
void PaethSse2(uint8_t* row, const uint8_t* prev, std::size_t length) {
  const __m128i zero = _mm_setzero_si128();
  // Left (a), above (b) and above-left (c) as 16-bit lanes.
  __m128i a = zero, c = zero;
  const std::size_t end = EachPixel<kD>(row, length, [&](__m128i raw, std::size_t i) {
    const __m128i b = _mm_unpacklo_epi8(Load4(prev + i), zero);
    const __m128i bc = _mm_sub_epi16(b, c), ac = _mm_sub_epi16(a, c);
    const __m128i pa = Abs16(bc), pb = Abs16(ac), pc = Abs16(_mm_add_epi16(bc, ac));
    const __m128i least = _mm_min_epi16(_mm_min_epi16(pa, pb), pc);
    // a where pa is least, else b where pb is, else c.
    const __m128i pred =
        Select(_mm_cmpeq_epi16(pa, least), a, Select(_mm_cmpeq_epi16(pb, least), b, c));
    const __m128i x = _mm_add_epi8(raw, _mm_packus_epi16(pred, pred));
    a = _mm_unpacklo_epi8(x, zero);
    c = b;
    return x;
  });
  PaethFrom<kD>(row, prev, end, length);
}

// ---- SSSE3 conversions ----

// Five pixels per 16-byte shuffle; the sixteenth byte written is the next pixel's first, which
// the next step writes again. Stops while 16 bytes remain readable and writable.
__attribute__((target("ssse3"))) void RgbToBgrSsse3(const uint8_t* src, uint8_t* dst,
                                                    std::size_t count) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
  std::size_t i = 0;
  for (; i + 6 <= count; i += 5) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 3 * i), _mm_shuffle_epi8(v, order));
  }
  RgbToBgrPortable(src + 3 * i, dst + 3 * i, count - i);
}

// Four pixels per shuffle: their colours into the low 12 bytes, their alpha bytes into the top
// four. The colour store writes 16 bytes, the last four rewritten by the next step.
__attribute__((target("ssse3"))) void RgbaToBgrSsse3(const uint8_t* src, uint8_t* dst,
                                                     uint8_t* alpha, std::size_t count) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, 3, 7, 11, 15);
  std::size_t i = 0;
  for (; i + 6 <= count; i += 4) {
    const __m128i v =
        _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * i)), order);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 3 * i), v);
    StorePixel<4>(alpha + i, _mm_srli_si128(v, 12));
  }
  RgbaToBgrPortable(src + 4 * i, dst + 3 * i, alpha + i, count - i);
}
// ---- SSSE3 Adler-32 ----

// 16 bytes a step: s1 gains their sum, s2 gains 16 times s1 before the step plus the bytes
// weighted 16 down to 1. Sums are reduced modulo 65521 every 5552 bytes, the longest run whose
// sums cannot overflow 32 bits.
__attribute__((target("ssse3"))) uint32_t Adler32Ssse3(uint32_t adler, const uint8_t* data,
                                                       std::size_t length) {
  constexpr uint32_t kBase = 65521;
  constexpr std::size_t kRun = 5552;
  uint64_t s1 = adler & 0xFFFF, s2 = adler >> 16;
  const __m128i weights = _mm_setr_epi8(16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1);
  const __m128i ones = _mm_set1_epi16(1), zero = _mm_setzero_si128();
  auto total = [](__m128i v) {
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
    return static_cast<uint64_t>(static_cast<uint32_t>(_mm_cvtsi128_si32(v)));
  };
  while (length >= 16) {
    const std::size_t run = (length < kRun ? length : kRun) & ~std::size_t{15};
    length -= run;
    __m128i sum = zero, before = zero, weighted = zero;
    for (std::size_t i = 0; i < run; i += 16, data += 16) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
      before = _mm_add_epi32(before, sum);
      sum = _mm_add_epi32(sum, _mm_sad_epu8(bytes, zero));
      weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_maddubs_epi16(bytes, weights), ones));
    }
    s2 = (s2 + s1 * run + 16 * total(before) + total(weighted)) % kBase;
    s1 = (s1 + total(sum)) % kBase;
  }
  for (; length > 0; --length, ++data) {
    s1 += *data;
    s2 += s1;
  }
  return static_cast<uint32_t>(((s2 % kBase) << 16) | (s1 % kBase));
}
#endif

constexpr KernelRow<TUnfilters> kUnfilterRows[] = {
#ifdef QM_X86
    {CpuFeature::kSse2,
     "sse2",
     {{nullptr, SubSse2<3>, Up, AverageSse2<3>, PaethSse2<3>},
      {nullptr, SubSse2<4>, Up, AverageSse2<4>, PaethSse2<4>}}},
#endif
    {CpuFeature::kNone,
     "portable",
     {{nullptr, Sub<3>, Up, Average<3>, PaethAll<3>},
      {nullptr, Sub<4>, Up, Average<4>, PaethAll<4>}}},
};

constexpr KernelRow<TRgbToBgrFn> kRgbToBgrRows[] = {
#ifdef QM_X86
    {CpuFeature::kSsse3, "ssse3", RgbToBgrSsse3},
#endif
    {CpuFeature::kNone, "portable", RgbToBgrPortable},
};

constexpr KernelRow<TRgbaToBgrFn> kRgbaToBgrRows[] = {
#ifdef QM_X86
    {CpuFeature::kSsse3, "ssse3", RgbaToBgrSsse3},
#endif
    {CpuFeature::kNone, "portable", RgbaToBgrPortable},
};

constexpr KernelRow<TAdler32Fn> kAdler32Rows[] = {
#ifdef QM_X86
    {CpuFeature::kSsse3, "ssse3", Adler32Ssse3},
#endif
    {CpuFeature::kNone, "portable", Adler32Portable},
};

}  // namespace

const TRowKernels& RowKernels() {
  static const TRowKernels chosen{
      FirstSupported(kUnfilterRows).function, FirstSupported(kRgbToBgrRows).function,
      FirstSupported(kRgbaToBgrRows).function, FirstSupported(kAdler32Rows).function};
  return chosen;
}

std::span<const KernelRow<TUnfilters>> UnfilterRows() {
  return kUnfilterRows;
}

std::span<const KernelRow<TRgbToBgrFn>> RgbToBgrRows() {
  return kRgbToBgrRows;
}

std::span<const KernelRow<TRgbaToBgrFn>> RgbaToBgrRows() {
  return kRgbaToBgrRows;
}

std::span<const KernelRow<TAdler32Fn>> Adler32Rows() {
  return kAdler32Rows;
}

}  // namespace png

void UnfilterRow(uint8_t filter, uint8_t* row, const uint8_t* previous, std::size_t length,
                 std::size_t distance) {
  if (filter < 1 || filter > 4) return;
  switch (distance) {
    case 1:
      return png::UnfilterPortable<1>(filter, row, previous, length);
    case 2:
      return png::UnfilterPortable<2>(filter, row, previous, length);
    case 3:
      return png::RowKernels().Unfilter3[filter](row, previous, length);
    case 4:
      return png::RowKernels().Unfilter4[filter](row, previous, length);
    case 6:
      return png::UnfilterPortable<6>(filter, row, previous, length);
    case 8:
      return png::UnfilterPortable<8>(filter, row, previous, length);
    default:
      return;
  }
}

}  // namespace qm
