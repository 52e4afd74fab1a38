#include "tests/effects/effect_model.h"

#include <cstdlib>
#include <vector>

#include "platform/stretch.h"

namespace qm::test {

TBitmap NoisePicture(int w, int h, uint32_t seed, PixelFormat format) {
  TBitmap b(w, h, PixelFormat::pf32bit);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = b.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      uint32_t v = (static_cast<uint32_t>(x) * 0x9E3779B1u) ^
                   (static_cast<uint32_t>(y) * 0x85EBCA77u) ^ (seed * 0xC2B2AE3Du);
      v ^= v >> 15;
      v *= 0x2C1B3C6Du;
      v ^= v >> 12;
      row[4 * x] = static_cast<uint8_t>(v);
      row[4 * x + 1] = static_cast<uint8_t>(v >> 8);
      row[4 * x + 2] = static_cast<uint8_t>(v >> 16);
      row[4 * x + 3] = 0;
    }
  }
  if (format == PixelFormat::pf8bit) {
    TBitmap p(w, h, PixelFormat::pf8bit);
    p.Palette().resize(256);
    for (int i = 0; i < 256; ++i)
      p.Palette()[static_cast<std::size_t>(i)] = TRGBQuad{
          static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 7), 0};
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) p.ScanLine(y)[x] = b.ScanLine(y)[4 * x];
    return p;
  }
  if (format != PixelFormat::pf32bit) b.ConvertTo(format);
  return b;
}

namespace {

// Destination offsets and the source offset each samples, along one direction.
struct TAxisMap {
  std::vector<int64_t> dest, source;
};

TAxisMap MapAxis(int32_t d0, int32_t dext, int32_t s0, int32_t sext) {
  TAxisMap m;
  const int64_t n = std::llabs(dext), mm = std::llabs(sext);
  for (int64_t k = 0; k < n; ++k) {
    const int64_t ks = (2 * k + 1) * mm / (2 * n);
    m.dest.push_back(dext > 0 ? int64_t{d0} + k : int64_t{d0} - k);
    m.source.push_back(sext > 0 ? int64_t{s0} + ks : int64_t{s0} - ks);
  }
  return m;
}

}  // namespace

void ModelStretch(TBitmap& dest, const TRect& d, const TBitmap& source, const TRect& s) {
  const int32_t dw = d.Right - d.Left, dh = d.Bottom - d.Top;
  const int32_t sw = s.Right - s.Left, sh = s.Bottom - s.Top;
  if (dw == 0 || dh == 0 || sw == 0 || sh == 0) return;
  const TBitmap snapshot = source;  // read the whole source before writing
  const TAxisMap xs = MapAxis(d.Left, dw, s.Left, sw);
  const TAxisMap ys = MapAxis(d.Top, dh, s.Top, sh);
  for (std::size_t j = 0; j < ys.dest.size(); ++j) {
    const int64_t dy = ys.dest[j], sy = ys.source[j];
    if (dy < 0 || dy >= dest.Height() || sy < 0 || sy >= snapshot.Height()) continue;
    for (std::size_t i = 0; i < xs.dest.size(); ++i) {
      const int64_t dx = xs.dest[i], sx = xs.source[i];
      if (dx < 0 || dx >= dest.Width() || sx < 0 || sx >= snapshot.Width()) continue;
      const uint8_t* from = snapshot.ScanLine(static_cast<int>(sy)) + 4 * sx;
      uint8_t* to = dest.ScanLine(static_cast<int>(dy)) + 4 * dx;
      for (int c = 0; c < 4; ++c) to[c] = from[c];
    }
  }
}

void ModelDrawWhere(TBitmap& dest, const TBitmap& picture,
                    const std::function<bool(int32_t x, int32_t y)>& inside) {
  for (int y = 0; y < dest.Height(); ++y)
    for (int x = 0; x < dest.Width(); ++x)
      if (inside(x, y))
        for (int c = 0; c < 4; ++c) dest.ScanLine(y)[4 * x + c] = picture.ScanLine(y)[4 * x + c];
}

::testing::AssertionResult SameBitmaps(const TBitmap& expected, const TBitmap& actual) {
  if (expected.Width() != actual.Width() || expected.Height() != actual.Height())
    return ::testing::AssertionFailure() << "sizes differ";
  long differing = 0;
  int fx = -1, fy = -1;
  for (int y = 0; y < expected.Height(); ++y)
    for (int x = 0; x < expected.Width(); ++x)
      if (Px(expected, x, y) != Px(actual, x, y)) {
        if (differing++ == 0) fx = x, fy = y;
      }
  if (differing == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << differing << " pixels differ, the first at (" << fx << ", " << fy << "): expected "
         << std::hex << Px(expected, fx, fy) << ", got " << Px(actual, fx, fy);
}

TBitmap RunStyle(int style, const TBitmap& old_contents, const TBitmap& picture, uint32_t step,
                 int32_t progress) {
  TBitmap screen = old_contents;
  kEffectTable[style - 1].Draw(screen, picture, Rect(0, 0, picture.Width(), picture.Height()), step,
                               progress);
  return screen;
}

std::string TGridPoint::Describe() const {
  return std::to_string(W) + "x" + std::to_string(H) + " step " + std::to_string(Step) +
         " progress " + std::to_string(Progress);
}

std::span<const TGridPoint> EffectGrid() {
  static const std::vector<TGridPoint> grid = [] {
    static constexpr int kSizes[][2] = {{1, 1},   {1, 9},   {9, 1},  {2, 2},   {3, 5},    {5, 3},
                                        {13, 11}, {11, 13}, {31, 7}, {7, 31},  {101, 50}, {50, 101},
                                        {64, 64}, {97, 3},  {3, 97}, {150, 2}, {44, 44}};
    static constexpr uint32_t kSteps[] = {1, 4, 33, 100};
    static constexpr int32_t kProgress[] = {1, 2, 10, 25, 33, 49, 50, 51, 67, 80, 98, 99};
    std::vector<TGridPoint> g;
    for (const auto& s : kSizes)
      for (uint32_t step : kSteps)
        for (int32_t p : kProgress) g.push_back({s[0], s[1], step, p});
    return g;
  }();
  return grid;
}

}  // namespace qm::test
