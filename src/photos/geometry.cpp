#include "photos/geometry.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

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
  TBitmap result(out.width, out.height, PixelFormat::pf24bit);
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
  const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(stored.RowBytes());
  const std::ptrdiff_t stepX = m.xx * 3 + m.yx * rowBytes;
  for (int y = 0; y < out.height; ++y) {
    const uint8_t* src = stored.ScanLine(m.y0 + y * m.yy) + (m.x0 + y * m.xy) * 3;
    uint8_t* dst = result.ScanLine(y);
    for (int x = 0; x < out.width; ++x, src += stepX, dst += 3) {
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

// Four floats the compiler keeps in one vector register.
using Floats4 = float __attribute__((vector_size(16)));

Floats4 Load4(const float* p) {
  Floats4 v;
  std::memcpy(&v, p, sizeof v);  // any alignment
  return v;
}

// The filter taps of every output position along one axis: output i mixes source samples
// first[i] .. first[i] + taps - 1 with weights[i * stride ..], which add up to 1. The stride
// is `taps` rounded up to a multiple of 4, its extra weights 0, so that the taps can be taken
// four at a time.
struct Taps {
  int taps = 0, stride = 0;
  std::vector<int> first;
  std::vector<float> weights;
};

Taps MakeTaps(int sourceSize, int targetSize) {
  const double scale = static_cast<double>(sourceSize) / targetSize;
  const double support = 3 * std::max(1.0, scale);
  Taps t;
  // Samples within `support` of a centre: at most ceil(2 * support) of them, plus one for the
  // rounding of the first.
  t.taps = std::min(sourceSize, static_cast<int>(std::ceil(2 * support)) + 1);
  t.stride = (t.taps + 3) / 4 * 4;
  t.first.resize(static_cast<std::size_t>(targetSize));
  t.weights.assign(static_cast<std::size_t>(targetSize) * t.stride, 0.f);
  std::vector<double> w(static_cast<std::size_t>(t.taps));
  for (int i = 0; i < targetSize; ++i) {
    const double centre = (i + 0.5) * scale;
    int lo = static_cast<int>(std::floor(centre - support + 0.5));
    lo = std::clamp(lo, 0, sourceSize - t.taps);
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
  std::array<float, 256> toLinear;
  std::vector<uint8_t> fromLinear;
  static constexpr int kSteps = 65535;
  SrgbTables() : fromLinear(kSteps + 1) {
    for (int v = 0; v < 256; ++v) {
      const double c = v / 255.0;
      toLinear[v] =
          static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    }
    for (int i = 0; i <= kSteps; ++i) {
      const double l = static_cast<double>(i) / kSteps;
      const double c = l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
      fromLinear[i] = static_cast<uint8_t>(std::lround(std::clamp(c, 0.0, 1.0) * 255));
    }
  }
  uint8_t Encode(float linear) const {
    const float i = std::clamp(linear, 0.f, 1.f) * kSteps + 0.5f;
    return fromLinear[static_cast<std::size_t>(i)];
  }
};

const SrgbTables& Srgb() {
  static const SrgbTables tables;
  return tables;
}

}  // namespace

TBitmap Downscale(const TBitmap& source, Size target) {
  const int sw = source.Width(), sh = source.Height();
  const int tw = std::clamp(target.width, 1, sw), th = std::clamp(target.height, 1, sh);
  if (tw == sw && th == sh) return source;
  const SrgbTables& srgb = Srgb();
  const Taps across = MakeTaps(sw, tw), down = MakeTaps(sh, th);
  // Rows are held as three planes (blue, green, red) of linear light: each output sample of
  // the filter across is then a product of runs of consecutive weights and samples, taken
  // four at a time.
  const std::size_t rowFloats = static_cast<std::size_t>(tw) * 3;

  // Source rows filtered across, in a ring of `down.taps` rows: output rows need source rows in
  // increasing order, so each source row is filtered once.
  std::vector<float> ring(rowFloats * down.taps);
  std::vector<int> ringRow(static_cast<std::size_t>(down.taps), -1);
  // A source row's planes, each followed by zeros that the last taps' zero weights may reach.
  const std::size_t plane = static_cast<std::size_t>(sw) + 4;
  std::vector<float> linear(plane * 3, 0.f);
  const auto filteredRow = [&](int y) -> const float* {
    float* out = ring.data() + static_cast<std::size_t>(y % down.taps) * rowFloats;
    if (ringRow[y % down.taps] == y) return out;
    ringRow[y % down.taps] = y;
    const uint8_t* in = source.ScanLine(y);
    for (int x = 0; x < sw; ++x, in += 3)
      for (int c = 0; c < 3; ++c) linear[c * plane + x] = srgb.toLinear[in[c]];
    for (int x = 0; x < tw; ++x) {
      const float* w = &across.weights[static_cast<std::size_t>(x) * across.stride];
      const float* s = &linear[static_cast<std::size_t>(across.first[x])];
      Floats4 b{}, g{}, r{};
      for (int k = 0; k < across.stride; k += 4) {
        const Floats4 wk = Load4(w + k);
        b += wk * Load4(s + k);
        g += wk * Load4(s + plane + k);
        r += wk * Load4(s + 2 * plane + k);
      }
      out[x] = b[0] + b[1] + b[2] + b[3];
      out[tw + x] = g[0] + g[1] + g[2] + g[3];
      out[2 * tw + x] = r[0] + r[1] + r[2] + r[3];
    }
    return out;
  };

  TBitmap result(tw, th, PixelFormat::pf24bit);
  std::vector<float> sum(rowFloats);
  std::vector<const float*> rows(static_cast<std::size_t>(down.taps));
  for (int y = 0; y < th; ++y) {
    const float* w = &down.weights[static_cast<std::size_t>(y) * down.stride];
    for (int k = 0; k < down.taps; ++k) rows[k] = filteredRow(down.first[y] + k);
    // Sixteen samples at a time through all the taps, their sums kept in registers.
    std::size_t i = 0;
    for (; i + 16 <= rowFloats; i += 16) {
      Floats4 a{}, b{}, c{}, d{};
      for (int k = 0; k < down.taps; ++k) {
        const float* row = rows[k] + i;
        const float wk = w[k];
        a += wk * Load4(row), b += wk * Load4(row + 4);
        c += wk * Load4(row + 8), d += wk * Load4(row + 12);
      }
      std::memcpy(&sum[i], &a, sizeof a), std::memcpy(&sum[i + 4], &b, sizeof b);
      std::memcpy(&sum[i + 8], &c, sizeof c), std::memcpy(&sum[i + 12], &d, sizeof d);
    }
    for (; i < rowFloats; ++i) {
      float s = 0;
      for (int k = 0; k < down.taps; ++k) s += w[k] * rows[k][i];
      sum[i] = s;
    }
    uint8_t* out = result.ScanLine(y);
    for (int x = 0; x < tw; ++x, out += 3)
      for (int c = 0; c < 3; ++c) out[c] = srgb.Encode(sum[static_cast<std::size_t>(c) * tw + x]);
  }
  return result;
}

}  // namespace qm::photos
