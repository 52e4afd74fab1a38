// Styles 58 to 117 against a plain model: each style's shapes as a list (rectangles, rounded
// rectangles, triangles), painted pixel by pixel into a mask by the pixel-centre rules, union
// being "in any shape"; the random draws replayed from the seed with a copy of the generator's
// formula. Compared pixel for pixel over the effect grid, and with the worked examples.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <vector>

#include "effects/effect_table.h"
#include "effects/region_builders.h"
#include "effects/region_compose.h"
#include "platform/random.h"
#include "platform/region.h"
#include "platform/stretch.h"
#include "tests/effects/effect_model.h"

namespace qm::test {
namespace {

using i64 = int64_t;

struct TModelRandom {
  uint32_t seed;
  int32_t Below(int32_t n) {
    seed = seed * 134775813u + 1u;
    return static_cast<int32_t>((uint64_t{seed} * static_cast<uint32_t>(n)) >> 32);
  }
};

i64 ModelMulDiv(i64 a, i64 b, i64 c) {  // halves away from zero, -1 for c = 0
  if (c == 0) return -1;
  const i64 p = a * b, ap = p < 0 ? -p : p, ac = c < 0 ? -c : c, q = (2 * ap + ac) / (2 * ac);
  return (p < 0) != (c < 0) ? -q : q;
}

// The pixels of a W x H picture that a region covers; `present` false is "no region".
struct TMask {
  i64 W, H;
  bool present = false;
  std::vector<char> in = std::vector<char>(static_cast<std::size_t>(W * H), 0);

  template <typename Inside>
  void Paint(i64 l, i64 t, i64 r, i64 b, Inside inside) {
    present = true;
    for (i64 y = std::max<i64>(t, 0); y < std::min(b, H); ++y)
      for (i64 x = std::max<i64>(l, 0); x < std::min(r, W); ++x)
        if (inside(x, y)) in[static_cast<std::size_t>(y * W + x)] = 1;
  }
  void Rect(i64 l, i64 t, i64 r, i64 b) {
    Paint(std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b),
          [](i64, i64) { return true; });
  }
  // Centre inside the rectangle and, within a corner box of half the ellipse's size, inside
  // that corner's quarter ellipse.
  void RoundRect(i64 l, i64 t, i64 r, i64 b, i64 ew, i64 eh) {
    if (l > r) std::swap(l, r);
    if (t > b) std::swap(t, b);
    ew = std::min(ew < 0 ? -ew : ew, r - l);
    eh = std::min(eh < 0 ? -eh : eh, b - t);
    Paint(l, t, r, b, [&](i64 x, i64 y) {
      if (ew == 0 || eh == 0) return true;
      const i64 cx = 2 * x + 1, cy = 2 * y + 1;
      const i64 dx = cx < 2 * l + ew ? cx - 2 * l - ew : cx > 2 * r - ew ? cx - 2 * r + ew : 0;
      const i64 dy = cy < 2 * t + eh ? cy - 2 * t - eh : cy > 2 * b - eh ? cy - 2 * b + eh : 0;
      if (dx == 0 || dy == 0) return true;
      return dx * dx * eh * eh + dy * dy * ew * ew <= ew * ew * eh * eh;
    });
  }
  // Non-zero winding of the centre, an edge's crossing counting when it lies at or left of it.
  void Triangle(i64 x1, i64 y1, i64 x2, i64 y2, i64 x3, i64 y3) {
    const i64 px[3] = {x1, x2, x3}, py[3] = {y1, y2, y3};
    Paint(std::min({x1, x2, x3}), std::min({y1, y2, y3}), std::max({x1, x2, x3}) + 1,
          std::max({y1, y2, y3}), [&](i64 x, i64 y) {
            int winding = 0;
            for (int e = 0; e < 3; ++e) {
              const i64 ax = px[e], ay = py[e], bx = px[(e + 1) % 3], by = py[(e + 1) % 3];
              if (ay == by || y < std::min(ay, by) || y >= std::max(ay, by)) continue;
              const i64 lhs = 2 * ax * (by - ay) + (2 * y + 1 - 2 * ay) * (bx - ax);
              const i64 rhs = (2 * x + 1) * (by - ay);
              if (by > ay ? lhs <= rhs : lhs >= rhs) winding += by > ay ? 1 : -1;
            }
            return winding != 0;
          });
  }
  bool Shows(i64 x, i64 y) const { return !present || in[static_cast<std::size_t>(y * W + x)]; }
};

// The bar and shred passes, rectangle by rectangle as written.
void ModelBars(TMask& m, i64 hlen, i64 vlen, i64 W, i64 H, i64 snap, int hk, int vk) {
  for (i64 y = hlen > W ? 5 : 0; y < H + 5; y += 10) {
    if (hlen > W) {
      m.Rect(0, y - 5, W, y);
      if (hk == 1 || hk == 4) m.Rect(2 * W - hlen, y, W, y + 5);
      if (hk == 2 || hk == 5) m.Rect(0, y, hlen - W, y + 5);
      continue;
    }
    if (hlen + snap > W) hlen = W;
    if (hk == 1 || hk == 5) m.Rect(W - hlen, y, W, y + 5);
    if (hk == 2 || hk == 4) m.Rect(0, y, hlen, y + 5);
    if (hk == 3) m.Rect(0, y + 5, hlen, y + 10), m.Rect(W - hlen, y, W, y + 5);
  }
  for (i64 x = vlen > H ? 5 : 0; x < W + 5; x += 10) {
    if (vlen > H) {
      m.Rect(x - 5, 0, x, H);
      if (vk == 1 || vk == 4) m.Rect(x, 2 * H - vlen, x + 5, H);
      if (vk == 2 || vk == 5) m.Rect(x, 0, x + 5, vlen - H);
      continue;
    }
    if (vlen + snap > H) vlen = H;
    if (vk == 1 || vk == 5) m.Rect(x, H - vlen, x + 5, H);
    if (vk == 2 || vk == 4) m.Rect(x, 0, x + 5, vlen);
    if (vk == 3) m.Rect(x + 5, 0, x + 10, vlen), m.Rect(x, H - vlen, x + 5, H);
  }
}

void ModelShreds(TMask& m, TModelRandom& rnd, i64 hlen, i64 vlen, i64 W, i64 H, int hk, int vk) {
  if (hk != 0) {
    const auto jitter = static_cast<int32_t>(hlen < W ? W / 7 : 0);
    for (i64 y = 0; y < H; y += 5) {
      const i64 B = y + 5 + H % 5, r1 = rnd.Below(jitter), r2 = rnd.Below(jitter);
      if (hk == 1) m.Rect(W - hlen + r1 - r2, y, W, B);
      if (hk == 2) m.Rect(0, y, hlen + r1 - r2, B);
      if (hk < 3) continue;
      const i64 r3 = rnd.Below(jitter), r4 = rnd.Below(jitter);
      if (hk == 3) m.Rect((W - hlen + r1 - r2) / 2, y, W / 2, B);
      if (hk == 3) m.Rect(W / 2, y, (W + hlen + r3 - r4) / 2, B);
      if (hk == 4) m.Rect(W - (hlen + r1 - r2) / 2, y, W, B), m.Rect(0, y, (hlen + r3 - r4) / 2, B);
    }
  }
  if (vk != 0) {
    const auto jitter = static_cast<int32_t>(vlen < H ? H / 7 : 0);
    for (i64 x = 0; x < W; x += 5) {
      const i64 Rt = x + 5 + W % 5, r1 = rnd.Below(jitter), r2 = rnd.Below(jitter);
      if (vk == 1) m.Rect(x, H - vlen + r1 - r2, Rt, H);
      if (vk == 2) m.Rect(x, 0, Rt, vlen + r1 - r2);
      if (vk < 3) continue;
      const i64 r3 = rnd.Below(jitter), r4 = rnd.Below(jitter);
      if (vk == 3) m.Rect(x, (H - vlen + r1 - r2) / 2, Rt, H / 2);
      if (vk == 3) m.Rect(x, H / 2, Rt, (H + vlen + r3 - r4) / 2);
      if (vk == 4)
        m.Rect(x, H - (vlen + r1 - r2) / 2, Rt, H), m.Rect(x, 0, Rt, (vlen + r3 - r4) / 2);
    }
  }
}

// The styles' tables: bars and criss-cross {style, length factor, snap, row kind, column kind}
// (a kind of 0 has length 0); shreds {style, row kind, column kind}.
constexpr int kBarRows[][5] = {
    {60, 2, 1, 1, 0}, {61, 2, 1, 2, 0}, {62, 2, 1, 4, 0}, {63, 2, 1, 5, 0}, {64, 1, 0, 3, 0},
    {71, 2, 1, 0, 1}, {72, 2, 1, 0, 2}, {73, 2, 1, 0, 4}, {74, 2, 1, 0, 5}, {75, 1, 0, 0, 3},
    {86, 2, 1, 1, 1}, {87, 2, 1, 1, 2}, {88, 2, 1, 2, 1}, {89, 2, 1, 2, 2}, {90, 2, 1, 4, 4},
    {91, 2, 1, 4, 5}, {92, 2, 1, 5, 4}, {93, 2, 1, 5, 5}, {94, 1, 1, 1, 3}, {95, 1, 1, 2, 3},
    {96, 1, 1, 3, 1}, {97, 1, 1, 3, 2}, {98, 1, 0, 3, 3}};
constexpr int kShredRows[][3] = {{65, 1, 0},  {66, 2, 0},  {67, 3, 0},  {68, 4, 0},  {76, 0, 1},
                                 {77, 0, 2},  {78, 0, 3},  {79, 0, 4},  {100, 1, 1}, {101, 1, 2},
                                 {102, 2, 1}, {103, 2, 2}, {104, 1, 3}, {105, 2, 3}, {106, 3, 1},
                                 {107, 3, 2}, {108, 3, 3}, {109, 4, 4}};

TMask ModelStyle(int style, i64 W, i64 H, i64 step, i64 progress, TModelRandom& rnd) {
  i64 PW, PH, S;
  if (W >= H) {
    PW = ModelMulDiv(W, progress, 100), PH = ModelMulDiv(PW, H, W), S = ModelMulDiv(W, step, 90);
  } else {
    PH = ModelMulDiv(H, progress, 100), PW = ModelMulDiv(PH, W, H), S = ModelMulDiv(H, step, 90);
  }
  TMask m{W, H};
  for (const auto& r : kBarRows)
    if (r[0] == style)
      ModelBars(m, r[3] ? r[1] * PW : 0, r[4] ? r[1] * PH : 0, W, H, r[2] ? S : 0, r[3], r[4]);
  for (const auto& r : kShredRows)
    if (r[0] == style) ModelShreds(m, rnd, r[1] ? PW : 0, r[2] ? PH : 0, W, H, r[1], r[2]);
  const i64 cx = W / 2, cy = H / 2;
  switch (style) {
    case 58:
      m.RoundRect(-2 * W, -5, 2 * PW, H + 5, 2 * W, 2 * W);
      break;
    case 59:
      m.RoundRect(W - 2 * PW, -5, 3 * W, H + 5, 2 * W, 2 * W);
      break;
    case 69:
      m.RoundRect(-5, -2 * H, W + 5, 2 * PH, 2 * H, 2 * H);
      break;
    case 70:
      m.RoundRect(-5, H - 2 * PH, W + 5, 3 * H, 2 * H, 2 * H);
      break;
    case 80:
      m.RoundRect(-2 * W, -2 * H, 2 * PW, 2 * PH, 2 * W, 2 * H);
      break;
    case 81:
      m.RoundRect(W - 2 * PW, -2 * H, 3 * W, 2 * PH, 2 * W, 2 * H);
      break;
    case 82:
      m.RoundRect(-2 * W, H - 2 * PH, 2 * PW, 3 * H, 2 * W, 2 * H);
      break;
    case 83:
      m.RoundRect(W - 2 * PW, H - 2 * PH, 3 * W, 3 * H, 2 * H, 2 * H);
      break;
    case 84:
      m.RoundRect(cx - PW, cy - PH, cx + PW, cy + PH, 9 * PW / 5, 9 * PH / 5);
      break;
    case 85: {
      TMask round{W, H};
      round.RoundRect(PW - cx, PH - cy, 3 * W / 2 - PW, 3 * H / 2 - PH, 9 * (W - PW) / 5,
                      9 * (H - PH) / 5);
      m.Rect(0, 0, W, H);
      for (std::size_t i = 0; i < m.in.size(); ++i) m.in[i] ^= round.in[i];
      break;
    }
    case 99: {
      TMask other{W, H};
      ModelBars(m, 2 * PW, 2 * PH, W, H, S, 1, 1);
      ModelBars(other, 2 * PW, 2 * PH, W, H, S, 2, 2);
      for (std::size_t i = 0; i < m.in.size(); ++i) m.in[i] &= other.in[i];
      break;
    }
    case 110:
      m.Triangle(0, 0, 2 * PW, 0, 0, 2 * PH);
      break;
    case 111:
      m.Triangle(W, 0, W - 2 * PW, 0, W, 2 * PH);
      break;
    case 112:
      m.Triangle(0, H, 2 * PW, H, 0, H - 2 * PH);
      break;
    case 113:
      m.Triangle(W, H, W - 2 * PW, H, W, H - 2 * PH);
      break;
    case 114:
      m.Triangle(0, H, 0, 0, PW, H), m.Triangle(W, H, W, 0, W - PW, 0);
      break;
    case 115:
      m.Triangle(W, 0, 0, 0, W, PH), m.Triangle(W, H, 0, H, 0, H - PH);
      break;
    case 116:
      m.Triangle(cx, cy, 0, H, 0, H - PH), m.Triangle(0, 0, PW, 0, cx, cy);
      m.Triangle(W - PW, H, cx, cy, W, H), m.Triangle(cx, cy, W, 0, W, PH);
      break;
    case 117: {
      i64 N = S > 1 ? S / 2 : S == 0 ? 1 : S;
      const i64 pw = PW / N, ph = PH / N, w = W / N, h = H / N;
      for (i64 i = N; i >= 0; --i)
        for (i64 j = N; j >= 0; --j)
          m.Triangle(j * w - pw, i * h - ph, j * w + pw, i * h - ph, j * w - pw, i * h + ph);
      break;
    }
  }
  return m;
}

// The model's frame: the old contents, with the new picture wherever the region shows it.
TBitmap ModelFrame(const TBitmap& old_contents, const TBitmap& picture, const TMask& mask) {
  TBitmap frame = old_contents;
  ModelDrawWhere(frame, picture, [&](int32_t x, int32_t y) { return mask.Shows(x, y); });
  return frame;
}

// The shared grid and a few sizes whose sides leave every remainder by 5 and reach 100 pixels.
const std::vector<TGridPoint>& Grid() {
  static const std::vector<TGridPoint> grid = [] {
    std::vector<TGridPoint> g(EffectGrid().begin(), EffectGrid().end());
    for (const auto& [w, h] : {std::pair{83, 59}, {59, 83}, {100, 100}, {99, 4}, {4, 98}})
      for (uint32_t step : {1u, 4u, 33u, 100u})
        for (int32_t progress : {1, 26, 50, 74, 99}) g.push_back({w, h, step, progress});
    return g;
  }();
  return grid;
}

class RegionStyle : public ::testing::TestWithParam<int> {};

TEST_P(RegionStyle, MatchesTheModelOverTheGrid) {
  const int style = GetParam();
  const bool random = (style >= 65 && style <= 68) || (style >= 76 && style <= 79) ||
                      (style >= 100 && style <= 109);
  int last_w = -1, last_h = -1;
  TBitmap old_contents, picture;
  for (const TGridPoint& g : Grid()) {
    if (g.W != last_w || g.H != last_h) {
      old_contents = NoisePicture(g.W, g.H, 1), picture = NoisePicture(g.W, g.H, 2);
      last_w = g.W, last_h = g.H;
    }
    for (uint32_t seed :
         random ? std::vector<uint32_t>{0, 0x9E3779B9u} : std::vector<uint32_t>{7}) {
      SetRandomSeed(seed);
      TModelRandom rnd{seed};
      const TMask mask = ModelStyle(style, g.W, g.H, g.Step, g.Progress, rnd);
      const TBitmap actual = RunStyle(style, old_contents, picture, g.Step, g.Progress);
      ASSERT_TRUE(SameBitmaps(ModelFrame(old_contents, picture, mask), actual))
          << "style " << style << ", " << g.Describe() << ", seed " << seed;
      ASSERT_EQ(RandomSeed(), rnd.seed) << "draws of style " << style << ", " << g.Describe();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Styles58To117, RegionStyle, ::testing::Range(58, 118));

// The worked examples, each as the shapes or the pixels the example names (800 x 600 and Step
// 4, StepSpan 36, unless the row says otherwise).
struct TExample {
  int Style, W, H;
  uint32_t Step;
  int32_t Progress;
  std::function<void(TMask&)> Region;
};

bool EvenBar(i64 v) {
  return v % 10 < 5;
}

// Pixels by a rule, as the bar examples state them.
std::function<void(TMask&)> Where(std::function<bool(i64 x, i64 y)> shows) {
  return [shows](TMask& m) { m.Paint(0, 0, m.W, m.H, shows); };
}

// The triangle grid of 117 with the example's pitch and triangle size.
std::function<void(TMask&)> Grid(i64 n, i64 w, i64 h, i64 pw, i64 ph) {
  return [=](TMask& m) {
    for (i64 i = 0; i <= n; ++i)
      for (i64 j = 0; j <= n; ++j)
        m.Triangle(j * w - pw, i * h - ph, j * w + pw, i * h - ph, j * w - pw, i * h + ph);
  };
}

const std::vector<TExample>& Examples() {
  static const std::vector<TExample> examples = {
      {60, 800, 600, 4, 30, Where([](i64 x, i64 y) { return EvenBar(y) && x >= 320; })},
      {60, 800, 600, 4, 48, Where([](i64, i64 y) { return EvenBar(y); })},
      {60, 800, 600, 4, 70, Where([](i64 x, i64 y) { return EvenBar(y) || x >= 480; })},
      {64, 800, 600, 4, 30, Where([](i64 x, i64 y) { return EvenBar(y) ? x >= 560 : x < 240; })},
      {75, 800, 600, 4, 50, Where([](i64 x, i64 y) { return EvenBar(x) ? y >= 300 : y < 300; })},
      {99, 800, 600, 4, 10, Where([](i64 x, i64 y) {
         return EvenBar(x) && EvenBar(y) && ((x >= 640 && y < 120) || (x < 160 && y >= 480));
       })},
      {84, 800, 600, 4, 50, [](TMask& m) { m.RoundRect(0, 0, 800, 600, 720, 540); }},
      {85, 800, 600, 4, 50,
       [](TMask& m) {
         TMask round{800, 600};
         round.RoundRect(0, 0, 800, 600, 720, 540);
         m.Paint(0, 0, 800, 600, [&](i64 x, i64 y) { return !round.Shows(x, y); });
       }},
      {84, 800, 600, 4, 1, [](TMask& m) { m.RoundRect(392, 294, 408, 306, 14, 10); }},
      {80, 800, 600, 4, 50, [](TMask& m) { m.RoundRect(-1600, -1200, 800, 600, 1600, 1200); }},
      {83, 800, 600, 4, 50, [](TMask& m) { m.RoundRect(0, 0, 2400, 1800, 1200, 1200); }},
      {110, 800, 600, 4, 50, [](TMask& m) { m.Triangle(0, 0, 800, 0, 0, 600); }},
      {114, 800, 600, 4, 50,
       [](TMask& m) { m.Triangle(0, 600, 0, 0, 400, 600), m.Triangle(800, 600, 800, 0, 400, 0); }},
      {116, 800, 600, 4, 25,
       [](TMask& m) {
         m.Triangle(400, 300, 0, 600, 0, 450), m.Triangle(0, 0, 200, 0, 400, 300);
         m.Triangle(600, 600, 400, 300, 800, 600), m.Triangle(400, 300, 800, 0, 800, 150);
       }},
      {117, 800, 600, 4, 50, Grid(18, 44, 33, 22, 16)},
      {117, 60, 40, 1, 50, Grid(1, 60, 40, 30, 20)},  // StepSpan 1: four corner triangles
      {117, 800, 600, 100, 73, [](TMask& m) { m.present = true; }},  // all degenerate
      {117, 800, 600, 100, 74, Grid(444, 1, 1, 1, 1)},
  };
  return examples;
}

// Style 117 stamps one triangle's rows along its grid; the triangles united one by one, as the
// style describes them, give the same frames on larger pictures too.
TEST(TriangularShred, StampedGridMatchesTrianglesUnitedOneByOne) {
  struct TCase {
    int W, H;
    uint32_t Step;
    int32_t Progress;
  };
  std::vector<TCase> cases = {{640, 480, 100, 99}};
  for (const auto& [w, h] : {std::pair{320, 240}, {241, 397}, {1000, 20}})
    for (uint32_t step : {4u, 33u, 100u})
      for (int32_t progress : {5, 37, 74, 99}) cases.push_back({w, h, step, progress});
  for (const TCase& c : cases) {
    const TBitmap old_contents = NoisePicture(c.W, c.H, 9), picture = NoisePicture(c.W, c.H, 10);
    const TProgressMetrics m = CalcProgressMetrics(Rect(0, 0, c.W, c.H), c.Step, c.Progress);
    const int32_t n = std::max(m.StepSpan > 1 ? m.StepSpan / 2 : m.StepSpan, 1);
    const int32_t pw = m.PW / n, ph = m.PH / n, w = m.W / n, h = m.H / n;
    TRegion all;
    for (int32_t i = n; i >= 0; --i)
      for (int32_t j = n; j >= 0; --j) {
        TRegion one = CreateTriangleRegion(j * w - pw, i * h - ph, j * w + pw, i * h - ph,
                                           j * w - pw, i * h + ph);
        CombineRgn(all, all, one, RGN_OR);
        DeleteObject(one);
      }
    TBitmap expected = old_contents;
    ClipAndDraw(expected, picture, std::move(all));
    EXPECT_TRUE(SameBitmaps(expected, RunStyle(117, old_contents, picture, c.Step, c.Progress)))
        << c.W << "x" << c.H << " step " << c.Step << " progress " << c.Progress;
  }
}

TEST(RegionStyleExamples, ShowWhatTheExamplesSay) {
  for (const TExample& e : Examples()) {
    const TBitmap old_contents = NoisePicture(e.W, e.H, 3), picture = NoisePicture(e.W, e.H, 4);
    TMask mask{e.W, e.H};
    e.Region(mask);
    EXPECT_TRUE(SameBitmaps(ModelFrame(old_contents, picture, mask),
                            RunStyle(e.Style, old_contents, picture, e.Step, e.Progress)))
        << "style " << e.Style << " at " << e.Progress;
  }
}

// The shred examples: the ragged ends lie where the example says, and each frame takes exactly
// its draws, also where they can only be 0.
TEST(RegionStyleExamples, ShredEndsAndDraws) {
  const TBitmap old_contents = NoisePicture(800, 603, 5), picture = NoisePicture(800, 603, 6);
  SetRandomSeed(12345);
  const TBitmap frame = RunStyle(65, old_contents, picture, 4, 30);
  for (int y = 0; y < 603; ++y) {
    int left = 800;  // rows 8 thick, each shown from its ragged end to the right edge
    while (left > 0 && Px(frame, left - 1, y) == Px(picture, left - 1, y)) --left;
    EXPECT_TRUE(left >= 447 && left <= 673) << "row " << y << " starts at " << left;
    for (int x = 0; x < left; ++x) ASSERT_EQ(Px(frame, x, y), Px(old_contents, x, y));
  }
  TModelRandom rnd{12345};
  for (int i = 0; i < 2 * 121; ++i) rnd.Below(114);
  EXPECT_EQ(RandomSeed(), rnd.seed);

  // 67 at 1 (PW 8): the first shred's halves reach from column 400 to (792 + r1 - r2) div 2 and
  // to (808 + r3 - r4) div 2, on either side of it.
  rnd = TModelRandom{99};
  const i64 r1 = rnd.Below(114), r2 = rnd.Below(114), r3 = rnd.Below(114), r4 = rnd.Below(114);
  const i64 a = (792 + r1 - r2) / 2, b = (808 + r3 - r4) / 2;
  SetRandomSeed(99);
  const TBitmap middle = RunStyle(67, old_contents, picture, 4, 1);
  for (i64 x = 0; x < 800; ++x) {
    const bool shows = (x >= std::min<i64>(a, 400) && x < std::max<i64>(a, 400)) ||
                       (x >= std::min<i64>(400, b) && x < std::max<i64>(400, b));
    EXPECT_EQ(Px(middle, x, 2) == Px(picture, x, 2), shows) << "column " << x;
  }

  // On 50 x 50 at 99 there is no jitter: the whole picture, and 10 + 10 shreds of two draws.
  const TBitmap small_old = NoisePicture(50, 50, 7), small_new = NoisePicture(50, 50, 8);
  SetRandomSeed(1);
  EXPECT_TRUE(SameBitmaps(small_new, RunStyle(100, small_old, small_new, 4, 99)));
  rnd = TModelRandom{1};
  for (int i = 0; i < 40; ++i) rnd.Below(0);
  EXPECT_EQ(RandomSeed(), rnd.seed);
}

}  // namespace
}  // namespace qm::test

namespace qm::test {
namespace {

// Rows of every length up to a few vectors, with masks that change at every pixel and at none,
// pick the same pixels through every supported kernel as through the portable one.
TEST(SelectKernels, EveryPathPicksThePortablePixels) {
  const auto kernels = SupportedRows(select::SelectRows());
  ASSERT_STREQ(kernels.back().name, "portable");
  std::vector<uint32_t> old_row(41), picture(41), mask(41);
  TModelRandom rnd{7};
  for (std::size_t i = 0; i < old_row.size(); ++i) {
    old_row[i] = static_cast<uint32_t>(rnd.Below(1 << 30)) * 3u;
    picture[i] = static_cast<uint32_t>(rnd.Below(1 << 30)) * 5u;
  }
  for (int pattern = 0; pattern < 4; ++pattern) {
    for (std::size_t i = 0; i < mask.size(); ++i)
      mask[i] = pattern == 0 ? 0u : pattern == 1 ? ~0u : (i * pattern) % 3 == 0 ? ~0u : 0u;
    for (std::size_t count = 0; count <= 40; ++count) {
      std::vector<uint32_t> want(41, 9);
      kernels.back().function(want.data() + 1, old_row.data(), picture.data(), mask.data(), count);
      for (const auto& kernel : kernels) {
        std::vector<uint32_t> got(41, 9);
        kernel.function(got.data() + 1, old_row.data(), picture.data(), mask.data(), count);
        ASSERT_EQ(got, want) << kernel.name << " pattern " << pattern << " count " << count;
      }
    }
  }
}

}  // namespace
}  // namespace qm::test
