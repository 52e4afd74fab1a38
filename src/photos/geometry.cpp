#include "photos/geometry.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "platform/cpu_dispatch.h"
#ifdef QM_X86
#include <immintrin.h>
#endif

namespace qm::photos {

Size FitInside(Size picture, Size box) {
  if (picture.width <= box.width && picture.height <= box.height) return picture;
  const int64_t w = picture.width, h = picture.height;
  // Width-limited when w / h > box.width / box.height.
  if (w * box.height > h * box.width)
    return {box.width, static_cast<int>(std::max<int64_t>(1, (2 * h * box.width + w) / (2 * w)))};
  return {static_cast<int>(std::max<int64_t>(1, (2 * w * box.height + h) / (2 * h))), box.height};
}

TBitmap Orient(const TBitmap& stored, int orientation) {
  const int w = stored.Width(), h = stored.Height();
  if (orientation < 2 || orientation > 8) return stored;
  const Size out = Oriented({w, h}, orientation);
  TBitmap result;
  result.SetSizeToOverwrite(out.width, out.height, PixelFormat::pf24bit);
  // Output pixel (x, y) comes from stored pixel (x0 + x * xx + y * xy, y0 + x * yx + y * yy).
  struct Map {
    int x0, xx, xy, y0, yx, yy;
  };
  const int r = w - 1, b = h - 1;
  const std::array<Map, 9> maps = {{{},
                                    {0, 1, 0, 0, 0, 1},     // 1 upright
                                    {r, -1, 0, 0, 0, 1},    // 2 mirrored left to right
                                    {r, -1, 0, b, 0, -1},   // 3 turned half way
                                    {0, 1, 0, b, 0, -1},    // 4 mirrored top to bottom
                                    {0, 0, 1, 0, 1, 0},     // 5 mirrored on the diagonal
                                    {0, 0, 1, b, -1, 0},    // 6 needs a quarter turn clockwise
                                    {r, 0, -1, b, -1, 0},   // 7 mirrored on the other diagonal
                                    {r, 0, -1, 0, 1, 0}}};  // 8 needs a quarter turn back
  const Map& m = maps[static_cast<std::size_t>(orientation)];
  const std::ptrdiff_t row_bytes = static_cast<std::ptrdiff_t>(stored.RowBytes());
  const std::ptrdiff_t step_x = m.xx * 3 + m.yx * row_bytes;
  for (int y = 0; y < out.height; ++y) {
    const uint8_t* src = stored.ScanLine(m.y0 + y * m.yy) + (m.x0 + y * m.xy) * 3;
    uint8_t* dst = result.ScanLine(y);
    for (int x = 0; x < out.width; ++x, src += step_x, dst += 3) {
      dst[0] = src[0];
      dst[1] = src[1];
      dst[2] = src[2];
    }
  }
  return result;
}

namespace {

double Lanczos3(double x) {
  x = std::abs(x);
  if (x < 1e-9) return 1;
  if (x >= 3) return 0;
  const double px = std::numbers::pi * x;
  return 3 * std::sin(px) * std::sin(px / 3) / (px * px);
}

// Four or eight floats the compiler keeps in one vector register.
using Floats4 = float __attribute__((vector_size(16)));
using Floats8 = float __attribute__((vector_size(32)));

// `V` vectors of floats from any alignment (passed by reference: by value, eight floats would
// travel differently with and without AVX).
template <typename V>
void Load(const float* p, V& v) {
  std::memcpy(&v, p, sizeof v);
}
template <typename V>
void Load(const float* p, V& v0, V& v1, V& v2, std::size_t apart) {
  Load(p, v0), Load(p + apart, v1), Load(p + 2 * apart, v2);
}

// The sum of a vector's lanes, added in pairs so that no addition waits on a long chain.
inline float Sum(const Floats4& v) {
  return (v[0] + v[2]) + (v[1] + v[3]);
}
inline float Sum(const Floats8& v) {
  Floats4 low, high;
  std::memcpy(&low, &v, sizeof low);
  std::memcpy(&high, reinterpret_cast<const char*>(&v) + sizeof low, sizeof high);
  return Sum(low + high);
}

// One output row of the filter across from a source row's three planes (`plane` floats apart):
// for each output x, the sum over its taps of weight times sample, V's lanes at a time.
template <typename V>
void FilterAcross(const int* first, const float* weights, int stride, const float* planes,
                  std::size_t plane, int width, float* out) {
  constexpr int kLanes = sizeof(V) / sizeof(float);
  for (int x = 0; x < width; ++x, weights += stride) {
    const float* s = planes + first[x];
    V b{}, g{}, r{};
    for (int k = 0; k < stride; k += kLanes) {
      V wk, sb, sg, sr;
      Load(weights + k, wk);
      Load(s + k, sb, sg, sr, plane);
      b += wk * sb, g += wk * sg, r += wk * sr;
    }
    out[x] = Sum(b), out[width + x] = Sum(g), out[2 * width + x] = Sum(r);
  }
}

// One output row of the filter down: sum[i] = the sum over k of w[k] * rows[k][i], four
// vectors of samples at a time through all the taps, their sums kept in registers.
template <typename V>
void FilterDown(const float* const* rows, const float* w, int taps, std::size_t count, float* sum) {
  constexpr std::size_t kLanes = sizeof(V) / sizeof(float);
  std::size_t i = 0;
  for (; i + 4 * kLanes <= count; i += 4 * kLanes) {
    V a{}, b{}, c{}, d{};
    for (int k = 0; k < taps; ++k) {
      const float* row = rows[k] + i;
      const float wk = w[k];
      V ra, rb, rc, rd;
      Load(row, ra, rb, rc, kLanes);
      Load(row + 3 * kLanes, rd);
      a += wk * ra, b += wk * rb, c += wk * rc, d += wk * rd;
    }
    std::memcpy(sum + i, &a, sizeof a), std::memcpy(sum + i + kLanes, &b, sizeof b);
    std::memcpy(sum + i + 2 * kLanes, &c, sizeof c);
    std::memcpy(sum + i + 3 * kLanes, &d, sizeof d);
  }
  for (; i < count; ++i) {
    float s = 0;
    for (int k = 0; k < taps; ++k) s += w[k] * rows[k][i];
    sum[i] = s;
  }
}

#ifdef QM_X86
__attribute__((target("avx2"), flatten)) void FilterAcrossAvx2(const int* first,
                                                               const float* weights, int stride,
                                                               const float* planes,
                                                               std::size_t plane, int width,
                                                               float* out) {
  FilterAcross<Floats8>(first, weights, stride, planes, plane, width, out);
}
__attribute__((target("avx2"), flatten)) void FilterDownAvx2(const float* const* rows,
                                                             const float* w, int taps,
                                                             std::size_t count, float* sum) {
  FilterDown<Floats8>(rows, w, taps, count, sum);
}

// The same filters with fused multiply-adds: one instruction and one rounding per tap instead
// of two, the lanes summed in the same order.
__attribute__((target("avx2,fma"))) void FilterAcrossFma(const int* first, const float* weights,
                                                         int stride, const float* planes,
                                                         std::size_t plane, int width, float* out) {
  for (int x = 0; x < width; ++x, weights += stride) {
    const float* s = planes + first[x];
    __m256 b = _mm256_setzero_ps(), g = b, r = b;
    for (int k = 0; k < stride; k += 8) {
      const __m256 wk = _mm256_loadu_ps(weights + k);
      b = _mm256_fmadd_ps(wk, _mm256_loadu_ps(s + k), b);
      g = _mm256_fmadd_ps(wk, _mm256_loadu_ps(s + plane + k), g);
      r = _mm256_fmadd_ps(wk, _mm256_loadu_ps(s + 2 * plane + k), r);
    }
    out[x] = Sum(Floats8(b)), out[width + x] = Sum(Floats8(g)),
    out[2 * width + x] = Sum(Floats8(r));
  }
}
__attribute__((target("avx2,fma"))) void FilterDownFma(const float* const* rows, const float* w,
                                                       int taps, std::size_t count, float* sum) {
  std::size_t i = 0;
  for (; i + 32 <= count; i += 32) {
    __m256 a = _mm256_setzero_ps(), b = a, c = a, d = a;
    for (int k = 0; k < taps; ++k) {
      const float* row = rows[k] + i;
      const __m256 wk = _mm256_set1_ps(w[k]);
      a = _mm256_fmadd_ps(wk, _mm256_loadu_ps(row), a);
      b = _mm256_fmadd_ps(wk, _mm256_loadu_ps(row + 8), b);
      c = _mm256_fmadd_ps(wk, _mm256_loadu_ps(row + 16), c);
      d = _mm256_fmadd_ps(wk, _mm256_loadu_ps(row + 24), d);
    }
    _mm256_storeu_ps(sum + i, a), _mm256_storeu_ps(sum + i + 8, b);
    _mm256_storeu_ps(sum + i + 16, c), _mm256_storeu_ps(sum + i + 24, d);
  }
  for (; i < count; ++i) {
    float s = 0;
    for (int k = 0; k < taps; ++k) s = std::fma(w[k], rows[k][i], s);
    sum[i] = s;
  }
}
#endif

constexpr KernelRow<DownscaleKernels> kDownscaleRows[] = {
#ifdef QM_X86
    {CpuFeature::kAvx2Fma, "avx2+fma", {8, FilterAcrossFma, FilterDownFma}},
    {CpuFeature::kAvx2, "avx2", {8, FilterAcrossAvx2, FilterDownAvx2}},
#endif
    {CpuFeature::kNone, "portable", {4, FilterAcross<Floats4>, FilterDown<Floats4>}},
};

// The filter taps of every output position along one axis: output i mixes source samples
// first[i] .. first[i] + taps - 1 with weights[i * stride ..], which add up to 1. The stride
// is `taps` rounded up to a multiple of `lanes`, its extra weights 0, so that the taps can be
// taken that many at a time.
struct Taps {
  int taps = 0, stride = 0;
  std::vector<int> first;
  std::vector<float> weights;
};

Taps MakeTaps(int source_size, int target_size, int lanes) {
  const double scale = static_cast<double>(source_size) / target_size;
  const double support = 3 * std::max(1.0, scale);
  Taps t;
  // Samples within `support` of a centre: at most ceil(2 * support) of them, plus one for the
  // rounding of the first.
  t.taps = std::min(source_size, static_cast<int>(std::ceil(2 * support)) + 1);
  t.stride = (t.taps + lanes - 1) / lanes * lanes;
  t.first.resize(static_cast<std::size_t>(target_size));
  t.weights.assign(static_cast<std::size_t>(target_size) * t.stride, 0.f);
  std::vector<double> w(static_cast<std::size_t>(t.taps));
  for (int i = 0; i < target_size; ++i) {
    const double centre = (i + 0.5) * scale;
    int lo = static_cast<int>(std::floor(centre - support + 0.5));
    lo = std::clamp(lo, 0, source_size - t.taps);
    double sum = 0;
    for (int k = 0; k < t.taps; ++k) {
      w[k] = Lanczos3((lo + k + 0.5 - centre) / std::max(1.0, scale));
      sum += w[k];
    }
    t.first[i] = lo;
    for (int k = 0; k < t.taps; ++k)
      t.weights[static_cast<std::size_t>(i) * t.stride + k] = static_cast<float>(w[k] / sum);
  }
  return t;
}

// sRGB encoding: 8-bit values to linear light, and linear light (in 1/65535 steps) back.
struct SrgbTables {
  std::array<float, 256> to_linear;
  std::vector<uint8_t> from_linear;
  static constexpr int kSteps = 65535;
  SrgbTables() : from_linear(kSteps + 1) {
    for (int v = 0; v < 256; ++v) {
      const double c = v / 255.0;
      to_linear[v] =
          static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    }
    for (int i = 0; i <= kSteps; ++i) {
      const double l = static_cast<double>(i) / kSteps;
      const double c = l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
      from_linear[i] = static_cast<uint8_t>(std::lround(std::clamp(c, 0.0, 1.0) * 255));
    }
  }
  uint8_t Encode(float linear) const {
    // min and max rather than a clamp: compilers make them two branch-free instructions.
    const float i = std::max(0.f, std::min(linear, 1.f)) * kSteps + 0.5f;
    return from_linear[static_cast<std::size_t>(i)];
  }
};

const SrgbTables& Srgb() {
  static const SrgbTables tables;
  return tables;
}

}  // namespace

std::span<const KernelRow<DownscaleKernels>> DownscaleKernelRows() {
  return kDownscaleRows;
}

TBitmap Downscale(const TBitmap& source, Size target) {
  static const DownscaleKernels& kernels = FirstSupported(kDownscaleRows).function;
  return Downscale(source, target, kernels);
}

TBitmap Downscale(const TBitmap& source, Size target, const DownscaleKernels& kernels) {
  const int sw = source.Width(), sh = source.Height();
  const int tw = std::clamp(target.width, 1, sw), th = std::clamp(target.height, 1, sh);
  if (tw == sw && th == sh) return source;
  const SrgbTables& srgb = Srgb();
  const Taps across = MakeTaps(sw, tw, kernels.lanes), down = MakeTaps(sh, th, 1);
  // Rows are held as three planes (blue, green, red) of linear light: each output sample of
  // the filter across is then a product of runs of consecutive weights and samples, taken
  // a vector at a time.
  const std::size_t row_floats = static_cast<std::size_t>(tw) * 3;

  // Source rows filtered across, in a ring of `down.taps` rows: output rows need source rows in
  // increasing order, so each source row is filtered once.
  std::vector<float> ring(row_floats * down.taps);
  std::vector<int> ring_row(static_cast<std::size_t>(down.taps), -1);
  // A source row's planes, each followed by zeros that the last taps' zero weights may reach.
  const std::size_t plane = static_cast<std::size_t>(sw) + kernels.lanes;
  std::vector<float> linear(plane * 3, 0.f);
  const auto filtered_row = [&](int y) -> const float* {
    float* out = ring.data() + static_cast<std::size_t>(y % down.taps) * row_floats;
    if (ring_row[y % down.taps] == y) return out;
    ring_row[y % down.taps] = y;
    const uint8_t* in = source.ScanLine(y);
    for (int x = 0; x < sw; ++x, in += 3)
      for (int c = 0; c < 3; ++c) linear[c * plane + x] = srgb.to_linear[in[c]];
    kernels.across(across.first.data(), across.weights.data(), across.stride, linear.data(), plane,
                   tw, out);
    return out;
  };

  TBitmap result;
  result.SetSizeToOverwrite(tw, th, PixelFormat::pf24bit);
  std::vector<float> sum(row_floats);
  std::vector<const float*> rows(static_cast<std::size_t>(down.taps));
  for (int y = 0; y < th; ++y) {
    for (int k = 0; k < down.taps; ++k) rows[k] = filtered_row(down.first[y] + k);
    kernels.down(rows.data(), &down.weights[static_cast<std::size_t>(y) * down.stride], down.taps,
                 row_floats, sum.data());
    uint8_t* out = result.ScanLine(y);
    for (int x = 0; x < tw; ++x, out += 3)
      for (int c = 0; c < 3; ++c) out[c] = srgb.Encode(sum[static_cast<std::size_t>(c) * tw + x]);
  }
  return result;
}

}  // namespace qm::photos
