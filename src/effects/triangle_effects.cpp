// Diagonal reveals (styles 110 to 113), diagonal sweeps (114, 115), the starburst (116) and the
// triangular shred (117): each frame draws the new picture through a union of triangles.
#include "effects/triangle_effects.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "effects/region_builders.h"

namespace qm {

namespace {

int64_t FloorDiv(int64_t a, int64_t b) {  // b > 0
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// The union of the triangles of the grid points (j * pitch_x, i * pitch_y), 0 <= i, j <= n,
// each with the corners (gx - half_w, gy - half_h), (gx + half_w, gy - half_h) and
// (gx - half_w, gy + half_h), within the picture's w x h pixels.
//
// The triangles are whole-pixel translates of the one at (0, 0), and a pixel belongs to a
// translate exactly when the pixel moved back belongs to that one. So the rows of that one
// triangle are scanned once and stamped along the grid, row by row of the picture: each row of
// the result is built directly as sorted spans, and a run of equal rows is appended as one band
// below the ones before. The work and the memory follow the spans of the result, not the number of
// triangles (4.5 million on a 3840 x 2160 picture at Step 100).
TRegion TriangleGridRegion(int32_t w, int32_t h, int32_t n, int32_t half_w, int32_t half_h,
                           int32_t pitch_x, int32_t pitch_y) {
  TRegion result;
  const TRegion base = CreateTriangleRegion(-half_w, -half_h, half_w, -half_h, -half_w, half_h);
  if (base.Empty() || w <= 0 || h <= 0) return result;
  // The base triangle's row spans; a triangle meets each row in at most one run of pixels.
  const TRect box = base.Bounds();
  std::vector<TSpan> base_rows(static_cast<std::size_t>(int64_t{box.Bottom} - box.Top));
  for (const TBand& band : base.Bands())
    for (int32_t y = band.Top; y < band.Bottom; ++y)
      base_rows[static_cast<std::size_t>(int64_t{y} - box.Top)] = base.Spans(band).front();

  std::vector<TSpan> parts, row, run;  // one row's base spans, its result, the current run's
  auto by_left = [](const TSpan& a, const TSpan& b) { return a.Left < b.Left; };
  // Appends [left, right) to the row, clipped to the picture, merged with a span it meets.
  auto add = [&](int64_t left, int64_t right) {
    left = std::max<int64_t>(left, 0);
    right = std::min<int64_t>(right, w);
    if (left >= right) return;
    if (!row.empty() && left <= row.back().Right)
      row.back().Right = std::max(row.back().Right, static_cast<int32_t>(right));
    else
      row.push_back(TSpan{static_cast<int32_t>(left), static_cast<int32_t>(right)});
  };
  int32_t run_top = 0;
  auto flush = [&](int32_t bottom) { result.AppendRows(run_top, bottom, run); };
  const int64_t last_row = pitch_y == 0 ? int64_t{box.Bottom} : int64_t{n} * pitch_y + box.Bottom;
  const auto rows_end = static_cast<int32_t>(std::min<int64_t>(h, last_row));
  for (int32_t y = 0; y < rows_end; ++y) {
    // The grid rows whose triangles reach row y, and the union of their spans there.
    int64_t i_first = 0, i_last = 0;
    if (pitch_y > 0) {
      i_first = std::max<int64_t>(0, -FloorDiv(int64_t{box.Bottom} - 1 - y, pitch_y));
      i_last = std::min<int64_t>(n, FloorDiv(int64_t{y} - box.Top, pitch_y));
    }
    row.clear();
    for (int64_t i = i_first; i <= i_last; ++i) {
      const int64_t dy = y - i * pitch_y;
      if (dy < box.Top || dy >= box.Bottom) continue;
      const TSpan s = base_rows[static_cast<std::size_t>(dy - box.Top)];
      if (s.Left < s.Right) row.push_back(s);
    }
    std::sort(row.begin(), row.end(), by_left);
    parts.clear();
    for (const TSpan& s : row)
      if (!parts.empty() && s.Left <= parts.back().Right)
        parts.back().Right = std::max(parts.back().Right, s.Right);
      else
        parts.push_back(s);

    // Stamped along the grid columns: the copies that can reach into the picture.
    row.clear();
    if (parts.empty()) {
    } else if (pitch_x == 0) {
      for (const TSpan& s : parts) add(s.Left, s.Right);
    } else if (parts.size() == 1 && parts[0].Right - parts[0].Left >= pitch_x) {
      // Each copy meets the next: one run from the first copy to the last.
      add(parts[0].Left, parts[0].Right + int64_t{n} * pitch_x);
    } else {
      const int64_t j_first = std::max<int64_t>(0, FloorDiv(-parts.back().Right, pitch_x) + 1);
      const int64_t j_last = std::min<int64_t>(n, FloorDiv(w - 1 - parts[0].Left, pitch_x));
      for (int64_t j = j_first; j <= j_last; ++j)
        for (const TSpan& s : parts) add(s.Left + j * pitch_x, s.Right + j * pitch_x);
      if (parts.size() > 1) {
        // Copies of several parts may interleave: put them in order and merge them again.
        std::sort(row.begin(), row.end(), by_left);
        parts.swap(row);
        row.clear();
        for (const TSpan& s : parts) add(s.Left, s.Right);
      }
    }
    if (row != run) {
      flush(y);
      run = row;
      run_top = y;
    }
  }
  flush(rows_end);
  return result;
}

}  // namespace

void DiagonalRevealEffect(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
                          int32_t Progress, const TEffectParams& Params) {
  const TProgressMetrics m = CalcProgressMetrics(R, Step, Progress);
  // A right triangle in the corner whose legs, 2 PW and 2 PH long, run along the picture's
  // edges: its long side stays parallel to the other diagonal and reaches the far corner at the
  // end.
  const bool right = Params.A == kTopRight || Params.A == kBottomRight;
  const bool bottom = Params.A == kBottomLeft || Params.A == kBottomRight;
  const int32_t x = right ? m.W : 0, y = bottom ? m.H : 0;
  const int32_t dx = right ? -2 * m.PW : 2 * m.PW, dy = bottom ? -2 * m.PH : 2 * m.PH;
  ClipAndDraw(Screen, Picture, CreateTriangleRegion(x, y, x + dx, y, x, y + dy));
}

void DiagonalSweepEffect(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
                         int32_t Progress, const TEffectParams& Params) {
  const auto [W, H, PW, PH, StepSpan] = CalcProgressMetrics(R, Step, Progress);
  // Two lines from the top left and the bottom right corner turn toward the diagonal between
  // them; each sweeps a triangle along one edge, the second the first turned half way round.
  TRegion region;
  if (Params.A == kAnticlockwise) {
    region = CreateTriangleRegion(0, H, 0, 0, PW, H);
    UniteTriangle(region, Point(W, H), Point(W, 0), Point(W - PW, 0));
  } else {
    region = CreateTriangleRegion(W, 0, 0, 0, W, PH);
    UniteTriangle(region, Point(W, H), Point(0, H), Point(0, H - PH));
  }
  ClipAndDraw(Screen, Picture, std::move(region));
}

void StarburstEffect(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
                     int32_t Progress, const TEffectParams&) {
  const auto [W, H, PW, PH, StepSpan] = CalcProgressMetrics(R, Step, Progress);
  // Four triangles about the centre, each along one edge from a corner, turning clockwise: at
  // the end they are the four quarters between the picture's diagonals.
  const TPoint c = Point(W / 2, H / 2);
  TRegion region = CreateTriangleRegion(c.X, c.Y, 0, H, 0, H - PH);
  UniteTriangle(region, Point(0, 0), Point(PW, 0), c);
  UniteTriangle(region, Point(W - PW, H), c, Point(W, H));
  UniteTriangle(region, c, Point(W, 0), Point(W, PH));
  ClipAndDraw(Screen, Picture, std::move(region));
}

void TriangularShredEffect(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
                           int32_t Progress, const TEffectParams&) {
  const TProgressMetrics m = CalcProgressMetrics(R, Step, Progress);
  // The grid has about half StepSpan + 1 points across and down, so a larger Step gives more,
  // smaller triangles. A StepSpan of 0 (a tiny picture at a small Step) counts as one.
  int32_t n = m.StepSpan;
  if (n > 1) n /= 2;
  if (n == 0) n = 1;
  ClipAndDraw(Screen, Picture,
              TriangleGridRegion(m.W, m.H, n, m.PW / n, m.PH / n, m.W / n, m.H / n));
}

}  // namespace qm
