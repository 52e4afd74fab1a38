// Styles 1-57 (edges, corners, centre and quarters) against a plain model: for each style the
// copies of a frame written out from the style descriptions, drawn with the naive per-pixel
// stretch copy, compared pixel for pixel with the table's rows over the effect grid; and the
// worked frames of the descriptions as data rows.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <ostream>
#include <utility>
#include <vector>

#include "effects/growing_box_effects.h"
#include "effects/sides_and_quarters_effects.h"
#include "effects/unroll_build_up_effects.h"
#include "tests/effects/effect_model.h"

namespace qm {

void PrintTo(const TRectCopy& c, std::ostream* os) {
  auto rect = [os](const TRect& r) {
    *os << "(" << r.Left << ", " << r.Top << ", " << r.Right << ", " << r.Bottom << ")";
  };
  rect(c.Dest);
  *os << " <- ";
  rect(c.Source);
  if (c.MirrorHorizontal) *os << " mirrored across";
  if (c.MirrorVertical) *os << " mirrored down";
}

namespace test {
namespace {

using TCopies = std::vector<TRectCopy>;

// The metrics as the text defines them: the longer side scaled by the percentage (rounded
// half away from zero), the shorter one following in the picture's ratio.
TProgressMetrics ModelMetrics(int32_t w, int32_t h, uint32_t step, int32_t progress) {
  auto muldiv = [](int64_t a, int64_t b, int64_t c) -> int32_t {
    if (c == 0) return -1;
    const int64_t p = a * b;
    const int64_t q = (std::llabs(p) * 2 + std::llabs(c)) / (2 * std::llabs(c));
    return static_cast<int32_t>((p < 0) != (c < 0) ? -q : q);
  };
  TProgressMetrics m{w, h, 0, 0, 0};
  if (w >= h) {
    m.PW = muldiv(w, progress, 100);
    m.PH = muldiv(m.PW, h, w);
    m.StepSpan = muldiv(w, step, 90);
  } else {
    m.PH = muldiv(h, progress, 100);
    m.PW = muldiv(m.PH, w, h);
    m.StepSpan = muldiv(h, step, 90);
  }
  return m;
}

// The roll length of the unroll styles from a progress extent p of an extent e.
int32_t Roll(int32_t p, int32_t e) {
  if (p < e / 5) return p / 2;
  if (e < p + e / 5) return (e - p) / 2;
  return e / 10;
}

// The copies of one frame of `style`, straight from the styles' tables (C++'s / truncates
// toward zero, as div does).
TCopies ModelCopies(int style, const TProgressMetrics& m) {
  const int32_t W = m.W, H = m.H, PW = m.PW, PH = m.PH, S = m.StepSpan;
  const TRect full{0, 0, W, H};
  const TRect mid{(W - PW) / 2, (H - PH) / 2, (W + PW) / 2, (H + PH) / 2};
  auto copy = [](TRect d, TRect s) { return TRectCopy{d, s}; };
  auto same = [](TRect d) { return TRectCopy{d, d}; };
  auto strip = [S](int32_t e) { return S == 0 ? 0 : e / S; };
  switch (style) {
    case 1:
      return {copy({W - PW, 0, W, H}, full)};
    case 2:
      return {copy({0, 0, PW, H}, full)};
    case 3:
      return {copy({W - PW, 0, 2 * W - PW, H}, full)};
    case 4:
      return {copy({PW - W, 0, PW, H}, full)};
    case 5:
      return {same({0, 0, PW, H})};
    case 6:
      return {same({W - PW, 0, W, H})};
    case 7:
      return {copy({0, 0, 2 * W - PW, H}, {0, 0, PW, H})};
    case 8:
      return {copy({PW - W, 0, W, H}, {W - PW, 0, W, H})};
    case 9:
      return {copy({PW - W, 0, 2 * W - PW, H}, {(W - PW) / 2, 0, (W + PW) / 2, H})};
    case 10:
      return {copy({(W - PW) / 2, 0, (W + PW) / 2, H}, full)};
    case 11:
      return {same({(W - PW) / 2, 0, (W + PW) / 2, H})};
    case 12:
      return {same({0, 0, PW / 2 + 1, H}), same({W - PW / 2 - 1, 0, W, H})};
    case 13:
      return {copy({0, 0, PW / 2 + 1, H}, {0, 0, W / 2 + 1, H}),
              copy({W - PW / 2 - 1, 0, W, H}, {W / 2, 0, W, H})};
    case 14: {
      const int32_t L = Roll(PW, W), E = PW + L;
      return {{{PW, 0, E, H}, {E, 0, E + L, H}, true, false}, same({0, 0, PW, H})};
    }
    case 15: {
      const int32_t L = Roll(PW, W), D = W - PW;
      return {{{D - L, 0, D, H}, {D - 2 * L, 0, D - L, H}, true, false}, same({D, 0, W, H})};
    }
    case 16:
      return {same({0, 0, PW, H}), copy({PW, 0, W, H}, {PW, 0, std::min(PW + strip(W), W), H})};
    case 17:
      return {same({W - PW, 0, W, H}),
              copy({0, 0, W - PW, H}, {std::max(W - PW - strip(W), 0), 0, W - PW, H})};
    case 18:
      return {copy({0, H - PH, W, H}, full)};
    case 19:
      return {copy({0, 0, W, PH}, full)};
    case 20:
      return {copy({0, H - PH, W, 2 * H - PH}, full)};
    case 21:
      return {copy({0, PH - H, W, PH}, full)};
    case 22:
      return {same({0, 0, W, PH})};
    case 23:
      return {same({0, H - PH, W, H})};
    case 24:
      return {copy({0, 0, W, 2 * H - PH}, {0, 0, W, PH})};
    case 25:
      return {copy({0, PH - H, W, H}, {0, H - PH, W, H})};
    case 26:
      return {copy({0, PH - H, W, 2 * H - PH}, {0, (H - PH) / 2, W, (H + PH) / 2})};
    case 27:
      return {copy({0, (H - PH) / 2, W, (H + PH) / 2}, full)};
    case 28:
      return {same({0, (H - PH) / 2, W, (H + PH) / 2})};
    case 29:
      return {same({0, 0, W, PH / 2 + 1}), same({0, H - PH / 2 - 1, W, H})};
    case 30:
      return {copy({0, 0, W, PH / 2 + 1}, {0, 0, W, H / 2 + 1}),
              copy({0, H - PH / 2 - 1, W, H}, {0, H / 2, W, H})};
    case 31: {
      const int32_t L = Roll(PH, H), E = PH + L;
      return {{{0, PH, W, E}, {0, E, W, E + L}, false, true}, same({0, 0, W, PH})};
    }
    case 32: {
      const int32_t L = Roll(PH, H), D = H - PH;
      return {{{0, D - L, W, D}, {0, D - 2 * L, W, D - L}, false, true}, same({0, D, W, H})};
    }
    case 33:
      return {same({0, 0, W, PH}), copy({0, PH, W, H}, {0, PH, W, std::min(PH + strip(H), H)})};
    case 34:
      return {same({0, H - PH, W, H}),
              copy({0, 0, W, H - PH}, {0, std::max(H - PH - strip(H), 0), W, H - PH})};
    case 35:
      return {copy({W - PW, H - PH, W, H}, full)};
    case 36:
      return {copy({W - PW, 0, W, PH}, full)};
    case 37:
      return {copy({0, 0, PW, PH}, full)};
    case 38:
      return {copy({0, H - PH, PW, H}, full)};
    case 39:
      return {copy({W - PW, H - PH, 2 * W - PW, 2 * H - PH}, full)};
    case 40:
      return {copy({W - PW, PH - H, 2 * W - PW, PH}, full)};
    case 41:
      return {copy({PW - W, PH - H, PW, PH}, full)};
    case 42:
      return {copy({PW - W, H - PH, PW, 2 * H - PH}, full)};
    case 43:
      return {same({0, 0, PW, PH})};
    case 44:
      return {same({0, H - PH, PW, H})};
    case 45:
      return {same({W - PW, H - PH, W, H})};
    case 46:
      return {same({W - PW, 0, W, PH})};
    case 47:
      return {copy({0, 0, 2 * W - PW, 2 * H - PH}, {0, 0, PW, PH})};
    case 48:
      return {copy({0, PH - H, 2 * W - PW, H}, {0, H - PH, PW, H})};
    case 49:
      return {copy({PW - W, PH - H, W, H}, {W - PW, H - PH, W, H})};
    case 50:
      return {copy({PW - W, 0, W, 2 * H - PH}, {W - PW, 0, W, PH})};
    case 51:
      return {copy({PW - W, PH - H, 2 * W - PW, 2 * H - PH}, mid)};
    case 52:
      return {copy(mid, full)};
    case 53:
      return {same(mid)};
    case 54:
      return {same({0, 0, W, PH / 2}), same({0, H - PH / 2, W, H}), same({0, 0, PW / 2, H}),
              same({W - PW / 2, 0, W, H})};
    case 55:
      return {same({0, 0, PW / 2 + 1, PH / 2 + 1}), same({0, H - PH / 2 - 1, PW / 2 + 1, H}),
              same({W - PW / 2 - 1, H - PH / 2 - 1, W, H}),
              same({W - PW / 2 - 1, 0, W, PH / 2 + 1})};
    case 56:
      return {copy({0, 0, PW / 2 + 1, PH / 2 + 1}, {0, 0, W / 2 + 1, H / 2 + 1}),
              copy({0, H - PH / 2, PW / 2 + 1, H}, {0, H / 2 + 1, W / 2 + 1, H}),
              copy({W - PW / 2, H - PH / 2, W, H}, {W / 2 + 1, H / 2 + 1, W, H}),
              copy({W - PW / 2, 0, W, PH / 2 + 1}, {W / 2 + 1, 0, W, H / 2 + 1})};
    case 57:
      return {copy({(PW - W) / 2, 0, PW / 2 + 1, H / 2 + 1}, {0, 0, W / 2 + 1, H / 2 + 1}),
              copy({W / 2 - 1, (PH - H) / 2, W, PH / 2 + 1}, {W / 2 - 1, 0, W, H / 2 + 1}),
              copy({W - PW / 2, H / 2 - 1, (W - PW) / 2 + W, H}, {W / 2 + 1, H / 2 - 1, W, H}),
              copy({0, H - PH / 2, W / 2 + 1, (H - PH) / 2 + H}, {0, H / 2 + 1, W / 2 + 1, H})};
    default:
      return {};
  }
}

// Draws the model's copies: a mirrored copy clips its source to the picture, then turns its
// destination over (Left := Right + 1, Right := Left - 1; rows likewise).
void ModelDraw(TBitmap& screen, const TBitmap& picture, const TCopies& copies) {
  for (const TRectCopy& c : copies) {
    TRect d = c.Dest, s = c.Source;
    if (c.MirrorHorizontal || c.MirrorVertical) {
      s = {std::max(s.Left, 0), std::max(s.Top, 0), std::min(s.Right, picture.Width()),
           std::min(s.Bottom, picture.Height())};
      if (s.Right <= s.Left || s.Bottom <= s.Top) continue;
      if (c.MirrorHorizontal) d = {d.Right + 1, d.Top, d.Left - 1, d.Bottom};
      if (c.MirrorVertical) d = {d.Left, d.Bottom + 1, d.Right, d.Top - 1};
    }
    ModelStretch(screen, d, picture, s);
  }
}

TCopyLister ListerOf(int style) {
  const TEffectFamily* family = kEffectTable[style - 1].Recipe.Family;
  if (family == &kGrowingBox) return &GrowingBoxCopies;
  if (family == &kSidesAndQuarters) return &SidesAndQuartersCopies;
  if (family == &kUnrollBuildUp) return &UnrollBuildUpCopies;
  return nullptr;
}

TCopies ListedCopies(int style, const TProgressMetrics& m) {
  const TCopyLister list = ListerOf(style);
  if (list == nullptr) return {};
  const TRectCopies copies = list(m, kEffectTable[style - 1].Recipe.Params);
  return {copies.View().begin(), copies.View().end()};
}

// The worked frames and edge cases the style descriptions give.
struct TWorkedRow {
  int style;
  TProgressMetrics m;
  TCopies copies;
};

TCopies Same(std::initializer_list<TRect> rects) {
  TCopies c;
  for (const TRect& r : rects) c.push_back({r, r});
  return c;
}

const std::vector<TWorkedRow>& WorkedRows() {
  const TProgressMetrics m800 = ModelMetrics(800, 600, 4, 33);  // PW 264, PH 198, StepSpan 36
  static const std::vector<TWorkedRow> rows = {
      {1, m800, {{{536, 0, 800, 600}, {0, 0, 800, 600}}}},
      {9, m800, {{{-536, 0, 1336, 600}, {268, 0, 532, 600}}}},
      {13, m800, {{{0, 0, 133, 600}, {0, 0, 401, 600}}, {{667, 0, 800, 600}, {400, 0, 800, 600}}}},
      {14,
       m800,
       {{{264, 0, 344, 600}, {344, 0, 424, 600}, true, false},
        {{0, 0, 264, 600}, {0, 0, 264, 600}}}},
      {16, m800, {{{0, 0, 264, 600}, {0, 0, 264, 600}}, {{264, 0, 800, 600}, {264, 0, 286, 600}}}},
      {17,
       m800,
       {{{536, 0, 800, 600}, {536, 0, 800, 600}}, {{0, 0, 536, 600}, {514, 0, 536, 600}}}},
      {32,
       m800,
       {{{0, 342, 800, 402}, {0, 282, 800, 342}, false, true},
        {{0, 402, 800, 600}, {0, 402, 800, 600}}}},
      {33, m800, {{{0, 0, 800, 198}, {0, 0, 800, 198}}, {{0, 198, 800, 600}, {0, 198, 800, 214}}}},
      {47, m800, {{{0, 0, 1336, 1002}, {0, 0, 264, 198}}}},
      {51, m800, {{{-536, -402, 1336, 1002}, {268, 201, 532, 399}}}},
      {54, m800, Same({{0, 0, 800, 99}, {0, 501, 800, 600}, {0, 0, 132, 600}, {668, 0, 800, 600}})},
      {56,
       m800,
       {{{0, 0, 133, 100}, {0, 0, 401, 301}},
        {{0, 501, 133, 600}, {0, 301, 401, 600}},
        {{668, 501, 800, 600}, {401, 301, 800, 600}},
        {{668, 0, 800, 100}, {401, 0, 800, 301}}}},
      {57,
       m800,
       {{{-268, 0, 133, 301}, {0, 0, 401, 301}},
        {{399, -201, 800, 100}, {399, 0, 800, 301}},
        {{668, 299, 1068, 600}, {401, 299, 800, 600}},
        {{0, 501, 401, 801}, {0, 301, 401, 600}}}},
      // Roll lengths at the boundaries of the three cases (W = 500): 49, 50, 50, 49.
      {14,
       {500, 100, 99, 20, 22},
       {{{99, 0, 148, 100}, {148, 0, 197, 100}, true, false}, {{0, 0, 99, 100}, {0, 0, 99, 100}}}},
      {14,
       {500, 100, 100, 20, 22},
       {{{100, 0, 150, 100}, {150, 0, 200, 100}, true, false},
        {{0, 0, 100, 100}, {0, 0, 100, 100}}}},
      {14,
       {500, 100, 400, 80, 22},
       {{{400, 0, 450, 100}, {450, 0, 500, 100}, true, false},
        {{0, 0, 400, 100}, {0, 0, 400, 100}}}},
      {14,
       {500, 100, 401, 80, 22},
       {{{401, 0, 450, 100}, {450, 0, 499, 100}, true, false},
        {{0, 0, 401, 100}, {0, 0, 401, 100}}}},
      // Progress 1 on a 50-pixel-wide picture: each side band one column wide.
      {12, ModelMetrics(50, 20, 4, 1), Same({{0, 0, 1, 20}, {49, 0, 50, 20}})},
      // Step 100, longer side 10: the strip 10 div 11 is 0 and the second copy has no source.
      {16,
       ModelMetrics(10, 5, 100, 50),
       {{{0, 0, 5, 5}, {0, 0, 5, 5}}, {{5, 0, 10, 5}, {5, 0, 5, 5}}}},
      // StepSpan 0 (Step 1, longer side 20): the strip counts as 0.
      {17,
       ModelMetrics(20, 10, 1, 50),
       {{{10, 0, 20, 10}, {10, 0, 20, 10}}, {{0, 0, 10, 10}, {10, 0, 10, 10}}}},
      // PW = PH = 0: four 1 x 1 corner boxes for 55; empty bands for 54.
      {55, ModelMetrics(20, 10, 4, 1),
       Same({{0, 0, 1, 1}, {0, 9, 1, 10}, {19, 9, 20, 10}, {19, 0, 20, 1}})},
      {54, ModelMetrics(20, 10, 4, 1),
       Same({{0, 0, 20, 0}, {0, 10, 20, 10}, {0, 0, 0, 10}, {20, 0, 20, 10}})},
      // Odd sizes: PW = 401 (400.5 rounded up), PH = 301; the centred box spans columns 200..600.
      {53, ModelMetrics(801, 601, 4, 50), Same({{200, 150, 601, 451}})},
  };
  return rows;
}

TEST(EdgeCornerQuarterStyles, ModelMetricsOfTheWorkedFrames) {
  EXPECT_EQ(ModelMetrics(800, 600, 4, 33), (TProgressMetrics{800, 600, 264, 198, 36}));
  EXPECT_EQ(ModelMetrics(801, 601, 4, 50).PW, 401);
}

TEST(EdgeCornerQuarterStyles, WorkedFramesListTheirCopies) {
  for (const TWorkedRow& row : WorkedRows()) {
    SCOPED_TRACE("style " + std::to_string(row.style));
    EXPECT_EQ(ListedCopies(row.style, row.m), row.copies);
    EXPECT_EQ(ModelCopies(row.style, row.m), row.copies);
  }
}

// A picture pair per size, made once.
const std::pair<TBitmap, TBitmap>& Pictures(int w, int h) {
  static std::map<std::pair<int, int>, std::pair<TBitmap, TBitmap>> cache;
  auto it = cache.find({w, h});
  if (it == cache.end())
    it = cache.emplace(std::pair{w, h}, std::pair{NoisePicture(w, h, 1), NoisePicture(w, h, 2)})
             .first;
  return it->second;
}

class EveryStyle : public ::testing::TestWithParam<int> {};

TEST_P(EveryStyle, MatchesTheModelOverTheGrid) {
  const int style = GetParam();
  ASSERT_TRUE(kEffectTable[style - 1].Drawn());
  int changed = 0;
  for (const TGridPoint& g : EffectGrid()) {
    const auto& [old_contents, picture] = Pictures(g.W, g.H);
    TBitmap expected = old_contents;
    ModelDraw(expected, picture, ModelCopies(style, ModelMetrics(g.W, g.H, g.Step, g.Progress)));
    const TBitmap actual = RunStyle(style, old_contents, picture, g.Step, g.Progress);
    ASSERT_TRUE(SameBitmaps(expected, actual)) << g.Describe();
    changed += !SameBitmaps(old_contents, actual);
  }
  // Most frames show some of the new picture.
  EXPECT_GT(changed, static_cast<int>(EffectGrid().size()) / 2);
}

// 24-bit and 8-bit palette pictures, drawn on a 32-bit display and on one of their own format,
// show the same pixels as the 32-bit picture.
TEST_P(EveryStyle, DrawsPicturesOfEveryFormat) {
  const int style = GetParam();
  static constexpr TGridPoint kPoints[] = {
      {13, 11, 4, 33}, {31, 7, 33, 50}, {7, 31, 4, 67}, {1, 9, 1, 99}, {44, 44, 100, 10}};
  for (const TGridPoint& g : kPoints) {
    for (const PixelFormat format : {PixelFormat::pf24bit, PixelFormat::pf8bit}) {
      const TBitmap picture = NoisePicture(g.W, g.H, 2, format);
      TBitmap picture32 = picture;
      picture32.ConvertTo(PixelFormat::pf32bit);
      for (const bool own_format_display : {false, true}) {
        TBitmap old_contents =
            NoisePicture(g.W, g.H, 1, own_format_display ? format : PixelFormat::pf32bit);
        TBitmap old32 = old_contents;
        old32.ConvertTo(PixelFormat::pf32bit);
        TBitmap expected = old32;
        ModelDraw(expected, picture32,
                  ModelCopies(style, ModelMetrics(g.W, g.H, g.Step, g.Progress)));
        TBitmap actual = RunStyle(style, old_contents, picture, g.Step, g.Progress);
        actual.ConvertTo(PixelFormat::pf32bit);
        EXPECT_TRUE(SameBitmaps(expected, actual))
            << g.Describe() << " format " << static_cast<int>(format) << " display "
            << (own_format_display ? "own format" : "32-bit");
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Styles1To57, EveryStyle, ::testing::Range(1, 58),
                         [](const auto& info) { return "Style" + std::to_string(info.param); });

}  // namespace
}  // namespace test
}  // namespace qm
