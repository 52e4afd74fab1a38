#include "effects/blend_rows.h"

#ifdef QM_X86
#include <immintrin.h>
#endif

namespace qm::blend {

namespace {

// The rule itself, one byte at a time: the reference every vector form is tested against.
void BlendPortable(uint8_t* dest, const uint8_t* base, const uint8_t* source, std::size_t count,
                   int32_t percent) {
  const int32_t keep = 100 - percent;
  for (std::size_t i = 0; i < count; ++i) {
    uint8_t* d = dest + 4 * i;
    const uint8_t* b = base + 4 * i;
    const uint8_t* s = source + 4 * i;
    for (int c = 0; c < 3; ++c) d[c] = static_cast<uint8_t>((keep * b[c] + percent * s[c]) / 100);
    d[3] = b[3];
  }
}

#ifdef QM_X86
// The vector forms work on 16-bit lanes: a weighted sum is at most 100 * 255 = 25500, and for
// every x in 0..25500, x div 100 = (x * 41944) >> 22, taken as the high 16 bits of the product
// shifted right by 6. The fourth byte of each pixel is put back from base at the end.
constexpr int16_t kDiv100 = static_cast<int16_t>(41944);
constexpr int32_t kFourthByte = static_cast<int32_t>(0xFF000000u);

// 16-bit lanes of dest and source weighted and summed, then divided by 100.
__attribute__((target("sse2"))) inline __m128i MixSse2(__m128i d, __m128i s, __m128i wd,
                                                       __m128i ws) {
  const __m128i sum = _mm_add_epi16(_mm_mullo_epi16(d, wd), _mm_mullo_epi16(s, ws));
  return _mm_srli_epi16(_mm_mulhi_epu16(sum, _mm_set1_epi16(kDiv100)), 6);
}

__attribute__((target("sse2"))) void BlendSse2(uint8_t* dest, const uint8_t* base,
                                               const uint8_t* source, std::size_t count,
                                               int32_t percent) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i wd = _mm_set1_epi16(static_cast<int16_t>(100 - percent));
  const __m128i ws = _mm_set1_epi16(static_cast<int16_t>(percent));
  const __m128i fourth = _mm_set1_epi32(kFourthByte);
  std::size_t i = 0;
  for (; i + 4 <= count; i += 4) {
    __m128i* dp = reinterpret_cast<__m128i*>(dest + 4 * i);
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + 4 * i));
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 4 * i));
    const __m128i lo = MixSse2(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(s, zero), wd, ws);
    const __m128i hi = MixSse2(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(s, zero), wd, ws);
    const __m128i r = _mm_packus_epi16(lo, hi);
    _mm_storeu_si128(dp, _mm_or_si128(_mm_andnot_si128(fourth, r), _mm_and_si128(fourth, d)));
  }
  BlendPortable(dest + 4 * i, base + 4 * i, source + 4 * i, count - i, percent);
}

// Bytes of dest and source interleaved, each pair multiplied by (100 - percent, percent) and
// summed in one instruction (unsigned bytes by signed weights of at most 100: no saturation).
__attribute__((target("ssse3"))) inline __m128i MixSsse3(__m128i pairs, __m128i weights) {
  return _mm_srli_epi16(_mm_mulhi_epu16(_mm_maddubs_epi16(pairs, weights), _mm_set1_epi16(kDiv100)),
                        6);
}

__attribute__((target("ssse3"))) void BlendSsse3(uint8_t* dest, const uint8_t* base,
                                                 const uint8_t* source, std::size_t count,
                                                 int32_t percent) {
  const __m128i weights = _mm_set1_epi16(static_cast<int16_t>((percent << 8) | (100 - percent)));
  const __m128i fourth = _mm_set1_epi32(kFourthByte);
  std::size_t i = 0;
  for (; i + 4 <= count; i += 4) {
    __m128i* dp = reinterpret_cast<__m128i*>(dest + 4 * i);
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + 4 * i));
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 4 * i));
    const __m128i r = _mm_packus_epi16(MixSsse3(_mm_unpacklo_epi8(d, s), weights),
                                       MixSsse3(_mm_unpackhi_epi8(d, s), weights));
    _mm_storeu_si128(dp, _mm_or_si128(_mm_andnot_si128(fourth, r), _mm_and_si128(fourth, d)));
  }
  BlendPortable(dest + 4 * i, base + 4 * i, source + 4 * i, count - i, percent);
}

// As the SSSE3 form on 8 pixels at a time; unpacking and packing both work within each 128-bit
// half, so the pixels come out in their own order.
__attribute__((target("avx2"))) inline __m256i MixAvx2(__m256i pairs, __m256i weights) {
  return _mm256_srli_epi16(
      _mm256_mulhi_epu16(_mm256_maddubs_epi16(pairs, weights), _mm256_set1_epi16(kDiv100)), 6);
}

__attribute__((target("avx2"))) void BlendAvx2(uint8_t* dest, const uint8_t* base,
                                               const uint8_t* source, std::size_t count,
                                               int32_t percent) {
  const __m256i weights = _mm256_set1_epi16(static_cast<int16_t>((percent << 8) | (100 - percent)));
  const __m256i fourth = _mm256_set1_epi32(kFourthByte);
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    __m256i* dp = reinterpret_cast<__m256i*>(dest + 4 * i);
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + 4 * i));
    const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + 4 * i));
    const __m256i r = _mm256_packus_epi16(MixAvx2(_mm256_unpacklo_epi8(d, s), weights),
                                          MixAvx2(_mm256_unpackhi_epi8(d, s), weights));
    _mm256_storeu_si256(
        dp, _mm256_or_si256(_mm256_andnot_si256(fourth, r), _mm256_and_si256(fourth, d)));
  }
  BlendSsse3(dest + 4 * i, base + 4 * i, source + 4 * i, count - i, percent);
}
#endif

constexpr KernelRow<TBlendFn> kBlendRows[] = {
#ifdef QM_X86
    {CpuFeature::kAvx2, "avx2", BlendAvx2},
    {CpuFeature::kSsse3, "ssse3", BlendSsse3},
    {CpuFeature::kSse2, "sse2", BlendSse2},
#endif
    {CpuFeature::kNone, "portable", BlendPortable},
};

const TBlendFn g_blend = FirstSupported(kBlendRows).function;

}  // namespace

void BlendRow(uint8_t* dest, const uint8_t* base, const uint8_t* source, std::size_t count,
              int32_t percent) {
  g_blend(dest, base, source, count, percent);
}

std::span<const KernelRow<TBlendFn>> BlendRows() {
  return kBlendRows;
}

}  // namespace qm::blend
