// Region pixels are checked against direct evaluations of the pixel rules: for polygons the
// winding number at each pixel centre (crossings at or left of the centre count), for rounded
// rectangles the quarter-ellipse inequality of each corner box.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/region.h"

namespace qm {
namespace {

using PixelSet = std::set<std::pair<int, int>>;  // (y, x)

PixelSet Pixels(const TRegion& r) {
  PixelSet s;
  for (const TBand& b : r.Bands())
    for (int y = b.Top; y < b.Bottom; ++y)
      for (const TSpan& sp : r.Spans(b))
        for (int x = sp.Left; x < sp.Right; ++x) s.insert({y, x});
  return s;
}

// Winding number (or crossing parity) at the centre of pixel (x, y), from the polygon's edges.
bool PolygonHas(const std::vector<TPoint>& pts, int mode, int64_t x, int64_t y) {
  int winding = 0, crossings = 0;
  for (std::size_t i = 0; i < pts.size(); ++i) {
    const TPoint p = pts[i], q = pts[(i + 1) % pts.size()];
    if (p.Y == q.Y) continue;
    // Does the edge cross the row y + 1/2? (2y + 1 strictly between 2 p.Y and 2 q.Y)
    using I = __int128;
    const I lo = 2 * I{std::min(p.Y, q.Y)}, hi = 2 * I{std::max(p.Y, q.Y)};
    const I row = 2 * I{y} + 1;
    if (!(lo < row && row < hi)) continue;
    // Crossing xc = p.X + (y + 1/2 - p.Y)(q.X - p.X)/(q.Y - p.Y); counts when xc <= x + 1/2.
    I num = I{p.X} * 2 * (I{q.Y} - p.Y) + (row - 2 * I{p.Y}) * (I{q.X} - p.X);
    I den = 2 * (I{q.Y} - p.Y);
    if (den < 0) num = -num, den = -den;
    if (2 * num <= (2 * I{x} + 1) * den) {
      winding += q.Y > p.Y ? 1 : -1;
      ++crossings;
    }
  }
  return mode == WINDING ? winding != 0 : (crossings & 1) != 0;
}

PixelSet PolygonPixels(const std::vector<TPoint>& pts, int mode) {
  PixelSet s;
  if (pts.size() < 3) return s;
  int x0 = pts[0].X, x1 = pts[0].X, y0 = pts[0].Y, y1 = pts[0].Y;
  for (const TPoint& p : pts) {
    x0 = std::min(x0, p.X), x1 = std::max(x1, p.X);
    y0 = std::min(y0, p.Y), y1 = std::max(y1, p.Y);
  }
  for (int y = y0 - 1; y <= y1; ++y)
    for (int x = x0 - 1; x <= x1; ++x)
      if (PolygonHas(pts, mode, x, y)) s.insert({y, x});
  return s;
}

// The rounded-rectangle rule, written out for each corner.
bool RoundRectHas(int l, int t, int r, int b, int ew, int eh, int x, int y) {
  if (l > r) std::swap(l, r);
  if (t > b) std::swap(t, b);
  ew = std::min(std::abs(ew), r - l);
  eh = std::min(std::abs(eh), b - t);
  if (x < l || x >= r || y < t || y >= b) return false;
  if (ew == 0 || eh == 0) return true;
  const int64_t ew2 = int64_t{ew} * ew, eh2 = int64_t{eh} * eh;
  const bool left = 2 * x + 1 < 2 * l + ew, right = 2 * x + 1 > 2 * r - ew;
  const bool top = 2 * y + 1 < 2 * t + eh, bottom = 2 * y + 1 > 2 * b - eh;
  if (!(left || right) || !(top || bottom)) return true;
  const int64_t dx = left ? 2 * x + 1 - 2 * l - ew : 2 * r - 2 * x - 1 - ew;
  const int64_t dy = top ? 2 * y + 1 - 2 * t - eh : 2 * b - 2 * y - 1 - eh;
  return dx * dx * eh2 + dy * dy * ew2 <= ew2 * eh2;
}

PixelSet RoundRectPixels(int l, int t, int r, int b, int ew, int eh) {
  PixelSet s;
  for (int y = std::min(t, b) - 1; y <= std::max(t, b); ++y)
    for (int x = std::min(l, r) - 1; x <= std::max(l, r); ++x)
      if (RoundRectHas(l, t, r, b, ew, eh, x, y)) s.insert({y, x});
  return s;
}

std::vector<std::string> Picture(const TRegion& r, int w, int h) {
  std::vector<std::string> rows(h, std::string(w, '.'));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (r.Contains(x, y)) rows[y][x] = '#';
  return rows;
}

TEST(Rect, IntersectAndOffset) {
  TRect r;
  EXPECT_TRUE(IntersectRect(r, TRect{0, 0, 10, 10}, TRect{5, -5, 20, 7}));
  EXPECT_EQ(r, (TRect{5, 0, 10, 7}));
  // Touching edges share no pixel (right and bottom are exclusive); an empty input gives an
  // empty result; every empty result is (0, 0, 0, 0).
  EXPECT_FALSE(IntersectRect(r, TRect{0, 0, 10, 10}, TRect{10, 0, 20, 10}));
  EXPECT_EQ(r, TRect{});
  r = TRect{1, 2, 3, 4};
  EXPECT_FALSE(IntersectRect(r, TRect{5, 5, 2, 8}, TRect{0, 0, 10, 10}));
  EXPECT_EQ(r, TRect{});
  // The destination may be one of the sources.
  TRect a{0, 0, 4, 4};
  IntersectRect(a, a, TRect{2, 2, 9, 9});
  EXPECT_EQ(a, (TRect{2, 2, 4, 4}));
  OffsetRect(a, -3, 5);
  EXPECT_EQ(a, (TRect{-1, 7, 1, 9}));
}

TEST(RectRegion, PutsCoordinatesInOrderAndExcludesRightAndBottom) {
  TRegion r = CreateRectRgn(5, 4, 2, 1);
  EXPECT_EQ(r.Bounds(), (TRect{2, 1, 5, 4}));
  EXPECT_EQ(r.Kind(), SIMPLEREGION);
  EXPECT_TRUE(r.Contains(2, 1));
  EXPECT_FALSE(r.Contains(5, 1));
  EXPECT_FALSE(r.Contains(2, 4));
  EXPECT_EQ(r.PixelCount(), 9u);
  EXPECT_EQ(CreateRectRgn(3, 1, 3, 9).Kind(), NULLREGION);
  EXPECT_EQ(CreateRectRgnIndirect(TRect{5, 4, 2, 1}), r);
  // Shapes far apart in height (sorted by comparison rather than by row buckets).
  TRegion far = CreateRectRgn(0, -2000000000, 3, -1999999998);
  CombineRgn(far, far, CreateRectRgn(1, 2000000000, 2, 2000000001), RGN_OR);
  CombineRgn(far, far, CreateRectRgn(2, 0, 4, 1), RGN_OR);
  EXPECT_EQ(far.PixelCount(), 6u + 1u + 2u);
  EXPECT_TRUE(far.Contains(1, 2000000000));
  EXPECT_FALSE(far.Contains(0, 2000000000));
  EXPECT_EQ(far.Bounds(), (TRect{0, -2000000000, 4, 2000000001}));
}

TEST(PolygonRegion, TriangleByHand) {
  // Right triangle with legs 4 along the top and left edges: the diagonal passes exactly
  // through pixel centres, which belong to the run the edge ends and so stay outside.
  const TPoint tri[] = {{0, 0}, {4, 0}, {0, 4}};
  TRegion r = CreatePolygonRgn(tri, 3, WINDING);
  const std::vector<std::string> expected = {"###...", "##....", "#.....", "......", "......"};
  EXPECT_EQ(Picture(r, 6, 5), expected);
  // The same triangle mirrored: centres on its diagonal start a run and are inside.
  const TPoint mirrored[] = {{4, 0}, {0, 0}, {4, 4}};
  const std::vector<std::string> expected_mirrored = {"####..", ".###..", "..##..", "...#..",
                                                      "......"};
  EXPECT_EQ(Picture(CreatePolygonRgn(mirrored, 3, WINDING), 6, 5), expected_mirrored);
  // Two equal corners or fewer than three points: no pixels.
  const TPoint flat[] = {{0, 0}, {5, 5}, {0, 0}};
  EXPECT_EQ(CreatePolygonRgn(flat, 3, WINDING).Kind(), NULLREGION);
  EXPECT_EQ(CreatePolygonRgn(tri, 2, WINDING).Kind(), NULLREGION);
}

TEST(PolygonRegion, WindingFillsWhereAlternateLeavesHoles) {
  // A pentagram: its centre has winding number 2.
  const TPoint star[] = {{10, 0}, {16, 19}, {0, 7}, {20, 7}, {4, 19}};
  TRegion winding = CreatePolygonRgn(star, 5, WINDING);
  TRegion alternate = CreatePolygonRgn(star, 5, ALTERNATE);
  EXPECT_TRUE(winding.Contains(10, 10));
  EXPECT_FALSE(alternate.Contains(10, 10));
  const std::vector<TPoint> pts(std::begin(star), std::end(star));
  EXPECT_EQ(Pixels(winding), PolygonPixels(pts, WINDING));
  EXPECT_EQ(Pixels(alternate), PolygonPixels(pts, ALTERNATE));
}

TEST(PolygonRegion, RandomPolygonsMatchThePixelRule) {
  std::mt19937 rng(12345);
  for (int iter = 0; iter < 3000; ++iter) {
    // Small coordinates put many edges exactly through pixel centres and corners.
    const int n = 3 + static_cast<int>(rng() % 6);
    const int span = iter % 3 == 0 ? 6 : 20;
    std::vector<TPoint> pts;
    for (int i = 0; i < n; ++i)
      pts.push_back(
          {static_cast<int32_t>(rng() % span) - 3, static_cast<int32_t>(rng() % span) - 3});
    const int mode = iter % 2 ? WINDING : ALTERNATE;
    ASSERT_EQ(Pixels(CreatePolygonRgn(pts.data(), n, mode)), PolygonPixels(pts, mode))
        << "iteration " << iter;
  }
}

TEST(PolygonRegion, LargeCoordinatesUseExactArithmetic) {
  // Far from the origin the crossing products need more than 64 bits.
  const int32_t big = 2000000000;
  const std::vector<TPoint> tri = {{-big, -40}, {big, 3}, {-big + 7, 3}};
  TRegion r = CreatePolygonRgn(tri.data(), 3, WINDING);
  for (int y = -40; y < 3; ++y) {
    const TBand* band = r.BandAt(y);
    ASSERT_NE(band, nullptr) << y;
    ASSERT_EQ(band->SpanCount, 1u);
    const TSpan s = r.Spans(*band)[0];
    EXPECT_TRUE(PolygonHas(tri, WINDING, s.Left, y)) << y;
    EXPECT_FALSE(PolygonHas(tri, WINDING, int64_t{s.Left} - 1, y)) << y;
    EXPECT_TRUE(PolygonHas(tri, WINDING, s.Right - 1, y)) << y;
    EXPECT_FALSE(PolygonHas(tri, WINDING, s.Right, y)) << y;
  }
  EXPECT_EQ(r.BandAt(3), nullptr);
}

TEST(RoundRectRegion, CornersByHand) {
  // 8 x 6 with a 4 x 4 ellipse: each corner cuts one pixel.
  const std::vector<std::string> small = {".######.", "########", "########",
                                          "########", "########", ".######."};
  EXPECT_EQ(Picture(CreateRoundRectRgn(0, 0, 8, 6, 4, 4), 8, 6), small);
  // The worked circle reveal at progress 1: (392, 294, 408, 306) rounded by 14 x 10.
  TRegion c = CreateRoundRectRgn(392, 294, 408, 306, 14, 10);
  EXPECT_EQ(c.Bounds(), (TRect{392, 294, 408, 306}));
  const TBand* top = c.BandAt(294);
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(c.Spans(*top)[0].Left, 396);
  EXPECT_EQ(c.Spans(*top)[0].Right, 404);
  EXPECT_EQ(Pixels(c), RoundRectPixels(392, 294, 408, 306, 14, 10));
  // An ellipse of size 0 in either direction is the plain rectangle.
  EXPECT_EQ(CreateRoundRectRgn(0, 0, 8, 6, 0, 4), CreateRectRgn(0, 0, 8, 6));
}

TEST(RoundRectRegion, OversizedEllipseIsReducedToTheRectangle) {
  // 2W by 2W on a rectangle higher than wide: reduced to the rectangle's width and height, a
  // full ellipse touching all four sides.
  TRegion r = CreateRoundRectRgn(0, 0, 10, 20, 100, -100);
  EXPECT_EQ(r, CreateRoundRectRgn(0, 0, 10, 20, 10, 20));
  EXPECT_EQ(Pixels(r), RoundRectPixels(0, 0, 10, 20, 10, 20));
  EXPECT_TRUE(r.Contains(3, 0));
  EXPECT_TRUE(r.Contains(6, 0));
  EXPECT_FALSE(r.Contains(2, 0));
  EXPECT_FALSE(r.Contains(7, 0));
  EXPECT_TRUE(r.Contains(0, 9));
  EXPECT_TRUE(r.Contains(9, 10));
  EXPECT_FALSE(r.Contains(0, 1));
  // Corners given in reverse order are put in order first.
  EXPECT_EQ(CreateRoundRectRgn(10, 20, 0, 0, 10, 20), r);
}

TEST(RoundRectRegion, RandomShapesMatchTheCornerRule) {
  std::mt19937 rng(777);
  for (int iter = 0; iter < 3000; ++iter) {
    auto c = [&](int range) { return static_cast<int>(rng() % range) - range / 4; };
    const int l = c(24), t = c(24), r = c(24), b = c(24);
    const int ew = static_cast<int>(rng() % 40) - 8, eh = static_cast<int>(rng() % 40) - 8;
    ASSERT_EQ(Pixels(CreateRoundRectRgn(l, t, r, b, ew, eh)), RoundRectPixels(l, t, r, b, ew, eh))
        << l << "," << t << "," << r << "," << b << " ellipse " << ew << "x" << eh;
  }
}

TEST(RoundRectRegion, HugeSizesKeepExactCorners) {
  // Sizes near the 32-bit limit: the corner products need 128 bits.
  const int32_t L = -2000000000, R = 2000000000, T = -5, B = 5;
  TRegion r = CreateRoundRectRgn(L, T, R, B, 2000000000, 2000000000);
  // The ellipse keeps its width (below the rectangle's 4e9) and is reduced to the height 10.
  const __int128 ew = 2000000000, eh = 10;
  auto inside_top_left = [&](int64_t x, int64_t y) {
    const __int128 dx = 2 * __int128{x} + 1 - 2 * __int128{L} - ew;
    const __int128 dy = 2 * __int128{y} + 1 - 2 * T - eh;
    return dx * dx * eh * eh + dy * dy * ew * ew <= ew * ew * eh * eh;
  };
  for (int y = T; y < 0; ++y) {
    const TBand* band = r.BandAt(y);
    ASSERT_NE(band, nullptr);
    const TSpan s = r.Spans(*band)[0];
    EXPECT_TRUE(inside_top_left(s.Left, y)) << y;
    EXPECT_FALSE(inside_top_left(int64_t{s.Left} - 1, y)) << y;
    EXPECT_EQ(int64_t{R} - s.Right, int64_t{s.Left} - L) << y;  // symmetric
  }
  EXPECT_EQ(r.Bounds().Top, T);
  EXPECT_EQ(r.Bounds().Bottom, B);
}

TEST(CombineRegion, RectangleXorLargerRoundedRectangle) {
  // The circle-to-centre pattern: the picture's rectangle exclusive-or a rounded rectangle that
  // reaches past it. Inside the picture: the picture minus the rounded rectangle; outside: the
  // rounded rectangle's own pixels.
  TRegion rect = CreateRectRgn(0, 0, 20, 16);
  TRegion round = CreateRoundRectRgn(-2, -2, 22, 18, 24, 18);
  TRegion x = rect;
  EXPECT_EQ(CombineRgn(x, x, round, RGN_XOR), COMPLEXREGION);
  const PixelSet rr = RoundRectPixels(-2, -2, 22, 18, 24, 18);
  for (int y = -6; y < 24; ++y)
    for (int xx = -8; xx < 30; ++xx) {
      const bool in_rect = xx >= 0 && xx < 20 && y >= 0 && y < 16;
      const bool in_round = rr.count({y, xx}) != 0;
      ASSERT_EQ(x.Contains(xx, y), in_rect != in_round) << xx << "," << y;
    }
  // The four corners of the picture show, its centre does not.
  EXPECT_TRUE(x.Contains(0, 0));
  EXPECT_TRUE(x.Contains(19, 15));
  EXPECT_FALSE(x.Contains(10, 8));
}

TEST(CombineRegion, RandomShapesAgainstPixelSets) {
  std::mt19937 rng(99);
  auto random_region = [&](PixelSet& pixels) {
    TRegion r;
    const int shapes = 1 + static_cast<int>(rng() % 4);
    for (int i = 0; i < shapes; ++i) {
      const int kind = static_cast<int>(rng() % 3);
      auto c = [&] { return static_cast<int32_t>(rng() % 16) - 2; };
      TRegion s;
      PixelSet sp;
      if (kind == 0) {
        const int l = c(), t = c(), rr = c(), b = c();
        s = CreateRectRgn(l, t, rr, b);
        sp = RoundRectPixels(l, t, rr, b, 0, 0);
      } else if (kind == 1) {
        const int l = c(), t = c(), rr = c(), b = c(), ew = c(), eh = c();
        s = CreateRoundRectRgn(l, t, rr, b, ew, eh);
        sp = RoundRectPixels(l, t, rr, b, ew, eh);
      } else {
        std::vector<TPoint> tri = {{c(), c()}, {c(), c()}, {c(), c()}};
        s = CreatePolygonRgn(tri.data(), 3, WINDING);
        sp = PolygonPixels(tri, WINDING);
      }
      CombineRgn(r, r, s, RGN_OR);
      pixels.insert(sp.begin(), sp.end());
    }
    return r;
  };
  for (int iter = 0; iter < 500; ++iter) {
    PixelSet pa, pb;
    const TRegion a = random_region(pa), b = random_region(pb);
    PixelSet want_and, want_xor, want_diff, want_or;
    for (const auto& p : pa) (pb.count(p) ? want_and : want_diff).insert(p);
    for (const auto& p : pa) want_or.insert(p);
    for (const auto& p : pb) want_or.insert(p);
    for (const auto& p : pa)
      if (!pb.count(p)) want_xor.insert(p);
    for (const auto& p : pb)
      if (!pa.count(p)) want_xor.insert(p);
    TRegion r;
    CombineRgn(r, a, b, RGN_AND);
    ASSERT_EQ(Pixels(r), want_and) << iter;
    CombineRgn(r, a, b, RGN_XOR);
    ASSERT_EQ(Pixels(r), want_xor) << iter;
    CombineRgn(r, a, b, RGN_DIFF);
    ASSERT_EQ(Pixels(r), want_diff) << iter;
    CombineRgn(r, a, b, RGN_OR);
    ASSERT_EQ(Pixels(r), want_or) << iter;
    // The destination may be the second source too.
    TRegion second = b;
    CombineRgn(second, a, second, RGN_OR);
    ASSERT_EQ(second, r) << iter;
    // Equal pixel sets compare equal whatever order built them.
    TRegion other = b;
    CombineRgn(other, other, a, RGN_OR);
    ASSERT_EQ(other, r) << iter;
  }
  TRegion r = CreateRectRgn(0, 0, 2, 2);
  EXPECT_EQ(CombineRgn(r, r, r, 42), RGN_ERROR);
  EXPECT_EQ(r.PixelCount(), 4u);
}

TEST(CombineRegion, ManyShapesUnitedMatchTheirPixels) {
  // A grid of small triangles like the triangular shred, united one by one, and the same
  // shapes collected straight into one region.
  TRegion united, direct;
  PixelSet want;
  for (int i = 12; i >= 0; --i)
    for (int j = 12; j >= 0; --j) {
      std::vector<TPoint> t = {
          {j * 5 - 2, i * 4 - 3}, {j * 5 + 2, i * 4 - 3}, {j * 5 - 2, i * 4 + 3}};
      TRegion s = CreatePolygonRgn(t.data(), 3, WINDING);
      CombineRgn(united, united, s, RGN_OR);
      DeleteObject(s);
      direct.UnitePolygon(t.data(), 3, WINDING);
      const PixelSet p = PolygonPixels(t, WINDING);
      want.insert(p.begin(), p.end());
    }
  EXPECT_EQ(Pixels(united), want);
  EXPECT_EQ(direct, united);
  // Bars every 10 rows plus full-height strips: bands stay canonical after the rebuild.
  TRegion bars;
  for (int y = 0; y < 100; y += 10) bars.UniteRect(0, y, 50, y + 5);
  bars.UniteRect(20, -10, 25, 120);
  EXPECT_EQ(bars.PixelCount(), 10u * 5 * 50 + 130u * 5 - 10 * 5 * 5);
  EXPECT_EQ(bars.Bands().size(), 21u);
}

TEST(CombineRegion, ManyRectanglesGiveTheirPixelsInCanonicalBands) {
  // Many rectangles starting and ending on different rows: strips side by side with ragged ends
  // (as shreds and bars), bars across them, nested, repeated, touching and overlapping boxes, in
  // sorted or shuffled order, sometimes with the region read halfway. The bands must be those of
  // the pixel rows with equal neighbouring rows joined.
  std::mt19937 rng(7);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  for (int iter = 0; iter < 400; ++iter) {
    struct TBox {
      int l, t, r, b;
    };
    std::vector<TBox> boxes;
    const int count = 20 + pick(150);
    const int pitch = 1 + pick(4), width = 1 + pick(5), style = pick(4);
    for (int k = 0; k < count; ++k) {
      const int x = (k * pitch) % 60, y0 = pick(50), y1 = pick(50);
      if (style == 0)  // ragged tops, common bottom
        boxes.push_back({x, y0, x + width, 50});
      else if (style == 1)  // common top, ragged bottoms
        boxes.push_back({x, 0, x + width, y0 + 1});
      else if (style == 2)  // ragged both ends
        boxes.push_back({x, std::min(y0, y1), x + width, std::max(y0, y1) + 1});
      else  // anywhere, any size
        boxes.push_back({pick(60), y0, pick(60) + 1, y1});
      if (pick(8) == 0) boxes.push_back(boxes.back());
      if (pick(8) == 0) boxes.push_back({x + 1, y0, x + 2, y0 + 3});
      if (pick(10) == 0) boxes.push_back({pick(20), y1, 40 + pick(20), y1 + 1 + pick(6)});
    }
    if (pick(2) == 0) std::shuffle(boxes.begin(), boxes.end(), rng);
    TRegion region;
    PixelSet want;
    for (std::size_t k = 0; k < boxes.size(); ++k) {
      const TBox& b = boxes[k];
      region.UniteRect(b.l, b.t, b.r, b.b);
      const PixelSet p = RoundRectPixels(b.l, b.t, b.r, b.b, 0, 0);
      want.insert(p.begin(), p.end());
      if (k == boxes.size() / 2 && iter % 3 == 0) (void)region.Bands();
    }
    TRegion rows;
    for (int y = -1; y <= 60; ++y) {
      std::vector<TSpan> spans;
      for (int x = -1; x <= 70; ++x)
        if (want.count({y, x})) {
          if (!spans.empty() && spans.back().Right == x)
            ++spans.back().Right;
          else
            spans.push_back({x, x + 1});
        }
      rows.AppendRows(y, y + 1, spans);
    }
    ASSERT_EQ(Pixels(region), want) << iter;
    ASSERT_EQ(region, rows) << iter;
  }
}

TEST(CombineRegion, RowsAppendedInOrderOrNot) {
  // Rows appended top to bottom become bands directly; rows out of order, overlapping or
  // touching spans, and rows after pending shapes are united. Either way: the same pixels and
  // the same canonical bands as the rectangles united one by one.
  struct TRow {
    int top, bottom;
    std::vector<TSpan> spans;
  };
  const std::vector<std::vector<TRow>> cases = {
      {{0, 2, {{0, 3}, {5, 9}}}, {2, 3, {{0, 3}, {5, 9}}}, {4, 6, {{-4, -1}}}, {6, 7, {}}},
      {{5, 8, {{0, 3}}}, {0, 6, {{2, 7}}}},                  // out of order
      {{0, 1, {{0, 4}, {4, 6}}}, {1, 2, {{3, 5}, {0, 2}}}},  // touching, unsorted
      {{0, 1, {{1, 1}, {2, 3}}}},                            // an empty span
  };
  for (const auto& rows : cases) {
    TRegion appended, united;
    for (const TRow& row : rows) {
      appended.AppendRows(row.top, row.bottom, row.spans);
      for (const TSpan& sp : row.spans) united.UniteRect(sp.Left, row.top, sp.Right, row.bottom);
    }
    EXPECT_EQ(Pixels(appended), Pixels(united));
    EXPECT_EQ(appended, united);
  }
  TRegion after_pending;
  after_pending.UniteRect(0, 0, 4, 4);
  const std::vector<TSpan> spans = {{2, 6}};
  after_pending.AppendRows(4, 5, spans);
  EXPECT_EQ(after_pending.PixelCount(), 20u);
}

}  // namespace
}  // namespace qm
