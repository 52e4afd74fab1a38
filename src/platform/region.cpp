#include "platform/region.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <utility>

namespace qm {

namespace {

using int128 = __int128;
using uint128 = unsigned __int128;

// Appends rows of spans to a band list in top-to-bottom order. A row that directly follows the
// last band and has the same spans extends that band, so the list stays canonical: no two
// adjacent bands with equal spans, no empty bands.
class TBandWriter {
 public:
  TBandWriter(std::vector<TBand>& bands, std::vector<TSpan>& spans)
      : bands_(bands), spans_(spans) {}

  void Add(int32_t top, int32_t bottom, const TSpan* s, std::size_t n) {
    if (n == 0 || top >= bottom) return;
    if (!bands_.empty()) {
      TBand& last = bands_.back();
      if (last.Bottom == top && last.SpanCount == n &&
          std::equal(s, s + n, spans_.begin() + last.FirstSpan)) {
        last.Bottom = bottom;
        return;
      }
    }
    bands_.push_back(
        TBand{top, bottom, static_cast<uint32_t>(spans_.size()), static_cast<uint32_t>(n)});
    spans_.insert(spans_.end(), s, s + n);
  }

 private:
  std::vector<TBand>& bands_;
  std::vector<TSpan>& spans_;
};

template <typename T>
T FloorDiv(T a, T b) {  // b > 0
  T q = a / b;
  if ((a % b) != 0 && a < 0) --q;
  return q;
}

struct TCrossing {
  int64_t X;  // first pixel column whose centre lies at or right of the crossing
  int Dir;    // +1 for an edge running down, -1 for one running up
};

// Scan-converts a polygon row by row and hands each row's inside runs to emit(y, spans, n),
// rows in increasing order. T is the integer type wide enough for the exact crossing arithmetic.
// `crossings` and `row` have room for `count` entries.
template <typename T, typename Emit>
void ScanPolygon(const TPoint* pts, int count, int fill_mode, TCrossing* crossings, TSpan* row,
                 Emit&& emit) {
  // An edge from p to q crosses the sample row y + 1/2 when lo <= y < hi (the row never meets
  // an integer vertex). There xc = N / D with D = 2 (q.Y - p.Y) and N = p.X D + (2y + 1 -
  // 2 p.Y)(q.X - p.X); the first pixel whose centre lies at or right of it is
  // ceil(xc - 1/2) = ceil((2N - D) / 2D) = ceil((a0 + step y) / b), b > 0.
  struct TEdge {
    int64_t lo, hi;
    T a0, step, b;
    int dir;
  };
  std::array<TEdge, 16> local;
  std::vector<TEdge> heap;
  TEdge* edges = local.data();
  if (count > static_cast<int>(local.size())) {
    heap.resize(static_cast<std::size_t>(count));
    edges = heap.data();
  }
  int n_edges = 0;
  int64_t ymin = std::numeric_limits<int64_t>::max(), ymax = std::numeric_limits<int64_t>::min();
  for (int i = 0; i < count; ++i) {
    const TPoint& p = pts[i];
    const TPoint& q = pts[i + 1 == count ? 0 : i + 1];
    if (p.Y == q.Y) continue;
    const T d = T{2} * (T{q.Y} - T{p.Y}), dx = T{q.X} - T{p.X};
    T a0 = T{2} * (T{p.X} * d + (T{1} - T{2} * T{p.Y}) * dx) - d, step = T{4} * dx, b = T{2} * d;
    if (b < 0) {
      a0 = -a0;
      step = -step;
      b = -b;
    }
    TEdge& e = edges[n_edges++];
    e = TEdge{std::min(p.Y, q.Y), std::max(p.Y, q.Y), a0, step, b, q.Y > p.Y ? 1 : -1};
    ymin = std::min(ymin, e.lo);
    ymax = std::max(ymax, e.hi);
  }
  for (int64_t y = ymin; y < ymax; ++y) {
    int n = 0;
    for (int i = 0; i < n_edges; ++i) {
      const TEdge& e = edges[i];
      if (y < e.lo || y >= e.hi) continue;
      const T x = -FloorDiv<T>(-(e.a0 + e.step * T{y}), e.b);
      // Insertion keeps the crossings sorted by column.
      int k = n++;
      for (; k > 0 && crossings[k - 1].X > static_cast<int64_t>(x); --k)
        crossings[k] = crossings[k - 1];
      crossings[k] = TCrossing{static_cast<int64_t>(x), e.dir};
    }
    std::size_t spans = 0;
    int winding = 0;
    int64_t start = 0;
    for (int i = 0; i < n; ++i) {
      const TCrossing& c = crossings[i];
      const bool was_in = fill_mode == ALTERNATE ? (winding & 1) != 0 : winding != 0;
      winding += c.Dir;
      const bool is_in = fill_mode == ALTERNATE ? (winding & 1) != 0 : winding != 0;
      if (!was_in && is_in) {
        start = c.X;
      } else if (was_in && !is_in && c.X > start) {
        // Columns stay within the polygon's x range, so they fit 32 bits.
        if (spans > 0 && row[spans - 1].Right >= start)
          row[spans - 1].Right = static_cast<int32_t>(c.X);
        else
          row[spans++] = TSpan{static_cast<int32_t>(start), static_cast<int32_t>(c.X)};
      }
    }
    if (spans > 0) emit(static_cast<int32_t>(y), row, spans);
  }
}

template <typename Emit>
void ScanPolygonExact(const TPoint* pts, int count, int fill_mode, Emit&& emit) {
  if (pts == nullptr || count < 3) return;
  std::array<TCrossing, 16> local_crossings;
  std::array<TSpan, 16> local_row;
  std::vector<TCrossing> heap_crossings;
  std::vector<TSpan> heap_row;
  TCrossing* crossings = local_crossings.data();
  TSpan* row = local_row.data();
  if (count > 16) {
    heap_crossings.resize(static_cast<std::size_t>(count));
    heap_row.resize(static_cast<std::size_t>(count));
    crossings = heap_crossings.data();
    row = heap_row.data();
  }
  // With coordinates below 2^28 in size every product fits 64 bits.
  constexpr int64_t kSmall = int64_t{1} << 28;
  bool small = true;
  for (int i = 0; i < count; ++i)
    small =
        small && pts[i].X < kSmall && pts[i].X > -kSmall && pts[i].Y < kSmall && pts[i].Y > -kSmall;
  if (small)
    ScanPolygon<int64_t>(pts, count, fill_mode, crossings, row, emit);
  else
    ScanPolygon<int128>(pts, count, fill_mode, crossings, row, emit);
}

uint64_t ISqrt(uint64_t v) {
  uint64_t r = static_cast<uint64_t>(std::sqrt(static_cast<long double>(v)));
  while (r > 0 && static_cast<uint128>(r) * r > v) --r;
  while (static_cast<uint128>(r + 1) * (r + 1) <= v) ++r;
  return r;
}

// Combines two sorted, disjoint span lists by a boolean operation on "in a" and "in b".
template <typename Op>
void CombineSpans(std::span<const TSpan> a, std::span<const TSpan> b, Op op,
                  std::vector<TSpan>& out) {
  out.clear();
  std::size_t i = 0, j = 0;
  bool in_a = false, in_b = false;
  int64_t start = 0;
  constexpr int64_t kEnd = std::numeric_limits<int64_t>::max();
  while (i < a.size() || j < b.size()) {
    const int64_t xa = i < a.size() ? (in_a ? a[i].Right : a[i].Left) : kEnd;
    const int64_t xb = j < b.size() ? (in_b ? b[j].Right : b[j].Left) : kEnd;
    const int64_t x = std::min(xa, xb);
    const bool before = op(in_a, in_b);
    if (xa == x) {
      if (in_a) ++i;
      in_a = !in_a;
    }
    if (xb == x) {
      if (in_b) ++j;
      in_b = !in_b;
    }
    const bool after = op(in_a, in_b);
    if (!before && after) start = x;
    if (before && !after)
      out.push_back(TSpan{static_cast<int32_t>(start), static_cast<int32_t>(x)});
  }
}

// The boxes crossing the sweep's current row and the union of their columns on that row. The
// union is kept up to date box by box: a band that differs from the one above it by a few boxes
// starting or ending (shreds and bars of random lengths side by side give one such band per
// length) costs a few searches and moves, not a pass over every box crossing it.
template <typename TBox>
class TSweepRow {
 public:
  bool Empty() const { return by_left_.empty(); }
  // The first row below the current one where an active box ends.
  int64_t NextEnd() {
    if (by_left_.empty()) return std::numeric_limits<int64_t>::max();
    if (!bottoms_stale_) return by_bottom_.back().Bottom;
    stale_end_ = std::numeric_limits<int32_t>::max();
    for (const TBox& b : by_left_) stale_end_ = std::min(stale_end_, b.Bottom);
    return stale_end_;
  }

  // The union of the active boxes' columns: sorted runs, apart and not touching.
  const std::vector<TSpan>& Row() {
    if (row_stale_) RebuildRow();
    return row_;
  }

  // Adds boxes starting on the current row, sorted by their left column.
  void Add(const TBox* first, const TBox* last) {
    const auto count = static_cast<std::size_t>(last - first);
    if (count * kFew <= by_left_.size()) {
      if (bottoms_stale_) {
        by_bottom_ = by_left_;
        SortByBottom(by_bottom_);
        bottoms_stale_ = false;
      }
      undo_valid_ = false;
      for (const TBox* b = first; b != last; ++b) {
        by_left_.insert(std::upper_bound(by_left_.begin(), by_left_.end(), b->Left, LeftBefore),
                        *b);
        by_bottom_.insert(
            std::upper_bound(by_bottom_.begin(), by_bottom_.end(), b->Bottom, BottomAfter), *b);
        if (!row_stale_) AddToRow(*b, count == 1);
      }
      return;
    }
    // Many at once (rows of equal shapes side by side): one merge, and the order by bottom
    // is left until boxes come one by one again.
    bottoms_stale_ = many_added_ = row_stale_ = true;
    undo_valid_ = false;
    if (by_left_.empty()) {
      by_left_.assign(first, last);
      return;
    }
    scratch_.clear();
    std::merge(by_left_.begin(), by_left_.end(), first, last, std::back_inserter(scratch_),
               [](const TBox& l, const TBox& r) { return l.Left < r.Left; });
    by_left_.swap(scratch_);
  }

  // Drops the boxes that end at row y (none ends above it), NextEnd having been asked first.
  void EndAt(int64_t y) {
    if (by_left_.empty()) return;
    if (bottoms_stale_) {
      if (y < stale_end_) return;
      // Right after many boxes came at once, more are likely to come and go at once: one
      // pass drops them. Otherwise the order by bottom is worth restoring.
      if (many_added_) {
        many_added_ = false;
        std::erase_if(by_left_, [y](const TBox& b) { return b.Bottom <= y; });
        row_stale_ = true;
        return;
      }
      by_bottom_ = by_left_;
      SortByBottom(by_bottom_);
      bottoms_stale_ = false;
    }
    std::size_t ending = 0;
    while (ending < by_bottom_.size() && by_bottom_[by_bottom_.size() - 1 - ending].Bottom <= y)
      ++ending;
    if (ending == 0) return;
    const bool undo = undo_valid_ && ending == 1 && SameBox(by_bottom_.back(), undo_box_);
    undo_valid_ = false;
    if (ending == by_left_.size()) {
      by_left_.clear();
      by_bottom_.clear();
      row_.clear();
      row_stale_ = false;
      return;
    }
    if (ending * kFew > by_left_.size()) {
      std::erase_if(by_left_, [y](const TBox& b) { return b.Bottom <= y; });
      by_bottom_.resize(by_bottom_.size() - ending);
      row_stale_ = true;
      return;
    }
    for (; ending > 0; --ending) {
      const TBox b = by_bottom_.back();
      by_bottom_.pop_back();
      auto at = std::lower_bound(by_left_.begin(), by_left_.end(), b.Left,
                                 [](const TBox& l, int32_t v) { return l.Left < v; });
      while (!SameBox(*at, b)) ++at;
      at = by_left_.erase(at);
      if (undo) {
        row_.swap(undo_row_);
        row_stale_ = false;
        break;
      }
      // When no other active box starts within the box, its columns leave the row unless a
      // box left of it reaches into them.
      row_stale_ = row_stale_ || !(at == by_left_.begin() || std::prev(at)->Left < b.Left) ||
                   !(at == by_left_.end() || at->Left >= b.Right) || !CutFromRow(b, at);
    }
  }

 private:
  // Boxes added or ended at one row are handled one by one while they are at most this
  // fraction of the active boxes; beyond it a merge or rebuild over all of them is cheaper.
  static constexpr std::size_t kFew = 16;
  // A lone box merging this many runs or more keeps the row from before it.
  static constexpr std::ptrdiff_t kUndoRuns = 8;

  // Boxes starting together mostly end together too (a strip of equal shapes): no sort then.
  static void SortByBottom(std::vector<TBox>& boxes) {
    const auto later = [](const TBox& l, const TBox& r) { return l.Bottom > r.Bottom; };
    if (!std::is_sorted(boxes.begin(), boxes.end(), later))
      std::sort(boxes.begin(), boxes.end(), later);
  }

  static bool SameBox(const TBox& a, const TBox& b) {
    return a.Top == b.Top && a.Bottom == b.Bottom && a.Left == b.Left && a.Right == b.Right;
  }
  static bool LeftBefore(int32_t left, const TBox& b) { return left < b.Left; }
  static bool BottomAfter(int32_t bottom, const TBox& b) { return bottom > b.Bottom; }

  void RebuildRow() {
    row_stale_ = false;
    row_.clear();
    for (const TBox& b : by_left_) {
      if (!row_.empty() && b.Left <= row_.back().Right)
        row_.back().Right = std::max(row_.back().Right, b.Right);
      else
        row_.push_back(TSpan{b.Left, b.Right});
    }
  }

  // Unites the box's columns into the row; runs that overlap or touch them are merged.
  void AddToRow(const TBox& box, bool lone) {
    const int32_t left = box.Left, right = box.Right;
    auto first = std::lower_bound(row_.begin(), row_.end(), left,
                                  [](const TSpan& s, int32_t v) { return s.Right < v; });
    auto last = std::upper_bound(first, row_.end(), right,
                                 [](int32_t v, const TSpan& s) { return v < s.Left; });
    if (first == last) {
      row_.insert(first, TSpan{left, right});
      return;
    }
    // A lone box across many runs (a bar across strips) is often gone again before anything
    // else changes: the row without it is kept, so that its end restores the row instead of
    // rebuilding it.
    if (lone && last - first >= kUndoRuns) {
      undo_row_ = row_;
      undo_box_ = box;
      undo_valid_ = true;
    }
    first->Left = std::min(first->Left, left);
    first->Right = std::max(std::prev(last)->Right, right);
    row_.erase(std::next(first), last);
  }

  // Takes the columns of the ended box b out of the row; `after` is the first active box
  // right of it, and none starts within it. False when a box left of it reaches into it.
  bool CutFromRow(const TBox& b, typename std::vector<TBox>::const_iterator after) {
    auto run = std::upper_bound(row_.begin(), row_.end(), b.Left,
                                [](int32_t v, const TSpan& s) { return v < s.Right; });
    // Boxes starting left of the run end before it: only those within it can reach b.
    for (auto it = after; it != by_left_.begin() && std::prev(it)->Left >= run->Left; --it)
      if (std::prev(it)->Right > b.Left) return false;
    // What is left of the run on either side of b is covered: boxes touching b's ends.
    const TSpan whole = *run;
    if (whole.Left < b.Left) {
      run->Right = b.Left;
      if (whole.Right > b.Right) row_.insert(std::next(run), TSpan{b.Right, whole.Right});
    } else if (whole.Right > b.Right) {
      run->Left = b.Right;
    } else {
      row_.erase(run);
    }
    return true;
  }

  std::vector<TBox> by_left_;    // the active boxes by left column
  std::vector<TBox> by_bottom_;  // the same boxes, the one ending first last, unless stale
  std::vector<TBox> scratch_;
  std::vector<TSpan> row_;  // their union, unless stale: then it is rebuilt when next read
  // The row before the lone box undo_box_ was added, while nothing else has changed since.
  std::vector<TSpan> undo_row_;
  TBox undo_box_{};
  bool undo_valid_ = false;
  int32_t stale_end_ = 0;  // the first end row of the active boxes while their order is stale
  bool bottoms_stale_ = false, many_added_ = false, row_stale_ = false;
};

}  // namespace

// ---- Reading ----

std::span<const TBand> TRegion::Bands() const {
  Normalize();
  return bands_;
}

bool TRegion::Empty() const {
  if (!pending_.empty()) return false;  // only non-empty boxes are collected
  return bands_.empty();
}

int TRegion::Kind() const {
  Normalize();
  if (bands_.empty()) return NULLREGION;
  return bands_.size() == 1 && bands_[0].SpanCount == 1 ? SIMPLEREGION : COMPLEXREGION;
}

TRect TRegion::Bounds() const {
  Normalize();
  if (bands_.empty()) return TRect{};
  TRect r{std::numeric_limits<int32_t>::max(), bands_.front().Top,
          std::numeric_limits<int32_t>::min(), bands_.back().Bottom};
  for (const TBand& b : bands_) {
    r.Left = std::min(r.Left, spans_[b.FirstSpan].Left);
    r.Right = std::max(r.Right, spans_[b.FirstSpan + b.SpanCount - 1].Right);
  }
  return r;
}

const TBand* TRegion::BandAt(int32_t y) const {
  Normalize();
  auto it = std::upper_bound(bands_.begin(), bands_.end(), y,
                             [](int32_t v, const TBand& b) { return v < b.Bottom; });
  if (it == bands_.end() || it->Top > y) return nullptr;
  return &*it;
}

bool TRegion::Contains(int32_t x, int32_t y) const {
  const TBand* band = BandAt(y);
  if (band == nullptr) return false;
  auto spans = Spans(*band);
  auto it = std::upper_bound(spans.begin(), spans.end(), x,
                             [](int32_t v, const TSpan& s) { return v < s.Right; });
  return it != spans.end() && it->Left <= x;
}

uint64_t TRegion::PixelCount() const {
  Normalize();
  uint64_t total = 0;
  for (const TBand& b : bands_) {
    uint64_t width = 0;
    for (const TSpan& s : Spans(b)) width += static_cast<uint64_t>(int64_t{s.Right} - s.Left);
    total += width * static_cast<uint64_t>(int64_t{b.Bottom} - b.Top);
  }
  return total;
}

bool operator==(const TRegion& a, const TRegion& b) {
  a.Normalize();
  b.Normalize();
  if (a.bands_.size() != b.bands_.size() || a.spans_.size() != b.spans_.size()) return false;
  for (std::size_t i = 0; i < a.bands_.size(); ++i) {
    const TBand &x = a.bands_[i], &y = b.bands_[i];
    if (x.Top != y.Top || x.Bottom != y.Bottom || x.SpanCount != y.SpanCount) return false;
  }
  return a.spans_ == b.spans_;
}

// ---- Building ----

void TRegion::Clear() {
  bands_.clear();
  spans_.clear();
  pending_.clear();
}

void TRegion::UniteRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  AddBox(top, bottom, left, right);
}

void TRegion::UnitePolygon(const TPoint* points, int count, int fill_mode) {
  ScanPolygonExact(points, count, fill_mode, [this](int32_t y, const TSpan* s, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) AddBox(y, y + 1, s[i].Left, s[i].Right);
  });
}

void TRegion::Unite(const TRegion& other) {
  if (&other == this) return;
  if (bands_.empty() && pending_.empty()) {
    bands_ = other.bands_;
    spans_ = other.spans_;
    pending_ = other.pending_;
    return;
  }
  for (const TBand& b : other.bands_)
    for (const TSpan& s : other.Spans(b))
      pending_.push_back(TBox{b.Top, b.Bottom, s.Left, s.Right});
  pending_.append(other.pending_.begin(), other.pending_.end());
}

void TRegion::AppendRows(int32_t top, int32_t bottom, std::span<const TSpan> spans) {
  bool in_order = pending_.empty() && (bands_.empty() || bands_.back().Bottom <= top);
  for (std::size_t i = 0; in_order && i < spans.size(); ++i)
    in_order = spans[i].Left < spans[i].Right && (i == 0 || spans[i - 1].Right < spans[i].Left);
  if (!in_order) {
    for (const TSpan& s : spans) UniteRect(s.Left, top, s.Right, bottom);
    return;
  }
  TBandWriter(bands_, spans_).Add(top, bottom, spans.data(), spans.size());
}

// Rebuilds the band list from the current bands and every collected box in one sweep from top
// to bottom: the boxes are sorted by their top row, and at each row where a box starts or ends
// the union of the boxes then active becomes a new band.
void TRegion::Normalize() const {
  if (pending_.empty()) return;
  // Every box: the collected ones and the current bands' spans.
  auto for_each_box = [this](auto&& fn) {
    for (const TBox& b : pending_) fn(b);
    for (const TBand& b : bands_)
      for (const TSpan& s : Spans(b)) fn(TBox{b.Top, b.Bottom, s.Left, s.Right});
  };
  std::size_t total = 0;
  int32_t top_min = pending_.begin()->Top, top_max = top_min;
  for_each_box([&](const TBox& b) {
    ++total;
    top_min = std::min(top_min, b.Top);
    top_max = std::max(top_max, b.Top);
  });

  // Sort by top row: a counting sort when the rows are few against the boxes, as when many
  // small shapes are united on one picture; a comparison sort otherwise.
  std::vector<TBox> boxes;
  const uint64_t range = static_cast<uint64_t>(int64_t{top_max} - top_min) + 1;
  if (bands_.empty() &&
      std::is_sorted(pending_.begin(), pending_.end(),
                     [](const TBox& l, const TBox& r) { return l.Top < r.Top; })) {
    // Shapes united top to bottom are in order already.
    boxes.assign(pending_.begin(), pending_.end());
  } else if (range <= 4 * total + 4096) {
    std::vector<uint32_t> start(range + 1, 0);
    for_each_box(
        [&](const TBox& b) { ++start[static_cast<uint64_t>(int64_t{b.Top} - top_min) + 1]; });
    for (uint64_t i = 1; i <= range; ++i) start[i] += start[i - 1];
    boxes.resize(total);
    for_each_box([&](const TBox& b) {
      boxes[start[static_cast<uint64_t>(int64_t{b.Top} - top_min)]++] = b;
    });
  } else {
    boxes.reserve(total);
    for_each_box([&](const TBox& b) { boxes.push_back(b); });
    std::sort(boxes.begin(), boxes.end(),
              [](const TBox& l, const TBox& r) { return l.Top < r.Top; });
  }
  pending_.clear();
  bands_.clear();
  spans_.clear();

  TBandWriter writer(bands_, spans_);
  auto by_left = [](const TBox& l, const TBox& r) { return l.Left < r.Left; };
  TSweepRow<TBox> active;
  const std::size_t n = boxes.size();
  std::size_t i = 0;
  int64_t y = boxes[0].Top;
  while (i < n || !active.Empty()) {
    if (active.Empty()) y = boxes[i].Top;
    std::size_t j = i;
    while (j < n && boxes[j].Top == y) ++j;
    if (j > i) {
      auto first = boxes.begin() + static_cast<std::ptrdiff_t>(i);
      auto last = boxes.begin() + static_cast<std::ptrdiff_t>(j);
      if (!std::is_sorted(first, last, by_left)) {
        // Shapes are often united right to left: a reversed run sorts by reversing it.
        if (std::is_sorted(std::make_reverse_iterator(last), std::make_reverse_iterator(first),
                           by_left))
          std::reverse(first, last);
        else
          std::sort(first, last, by_left);
      }
      active.Add(boxes.data() + i, boxes.data() + j);
      i = j;
    }
    int64_t next = active.NextEnd();
    if (i < n) next = std::min<int64_t>(next, boxes[i].Top);
    const std::vector<TSpan>& row = active.Row();
    writer.Add(static_cast<int32_t>(y), static_cast<int32_t>(next), row.data(), row.size());
    active.EndAt(next);
    y = next;
  }
}

// ---- Shapes ----

TRegion CreateRectRgn(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  TRegion r;
  r.UniteRect(left, top, right, bottom);
  return r;
}

TRegion CreateRectRgnIndirect(const TRect& rect) {
  return CreateRectRgn(rect.Left, rect.Top, rect.Right, rect.Bottom);
}

TRegion CreateRoundRectRgn(int32_t left, int32_t top, int32_t right, int32_t bottom,
                           int32_t ellipse_width, int32_t ellipse_height) {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  const int64_t w = int64_t{right} - left, h = int64_t{bottom} - top;
  TRegion r;
  if (w == 0 || h == 0) return r;
  const int64_t ew = std::min<int64_t>(std::abs(int64_t{ellipse_width}), w);
  const int64_t eh = std::min<int64_t>(std::abs(int64_t{ellipse_height}), h);
  if (ew == 0 || eh == 0) return CreateRectRgn(left, top, right, bottom);

  // Rows whose centre lies within eh/2 of the top (or bottom) edge are corner rows: floor(eh/2)
  // of them at each edge. In corner row with doubled distance v = 2r + 1 from the edge a pixel
  // at doubled distance u from the left (or right) edge, u < ew, is inside when
  // (ew - u)^2 eh^2 <= ew^2 (eh^2 - (eh - v)^2) = Q, that is ew - u <= tmax = isqrt(Q div eh^2).
  // That puts the row's run at [left + off, right - off) with off = ceil((ew - tmax - 1) / 2).
  TBandWriter writer(r.bands_, r.spans_);
  const int64_t corner_rows = eh / 2;
  const uint128 ew2 = static_cast<uint128>(ew) * static_cast<uint128>(ew);
  const uint128 eh2 = static_cast<uint128>(eh) * static_cast<uint128>(eh);
  auto corner_offset = [&](int64_t row) {
    const uint64_t dv = static_cast<uint64_t>(eh - (2 * row + 1));
    const uint128 q = ew2 * (eh2 - static_cast<uint128>(dv) * dv);
    const auto tmax = static_cast<int64_t>(ISqrt(static_cast<uint64_t>(q / eh2)));
    return (ew - tmax) / 2;  // = ceil((ew - tmax - 1) / 2), as ew - tmax - 1 >= 0
  };
  auto add_row = [&](int64_t y0, int64_t y1, int64_t off) {
    const TSpan s{static_cast<int32_t>(left + off), static_cast<int32_t>(right - off)};
    if (s.Left < s.Right) writer.Add(static_cast<int32_t>(y0), static_cast<int32_t>(y1), &s, 1);
  };
  for (int64_t row = 0; row < corner_rows; ++row)
    add_row(top + row, top + row + 1, corner_offset(row));
  add_row(top + corner_rows, bottom - corner_rows, 0);
  for (int64_t row = corner_rows - 1; row >= 0; --row)
    add_row(bottom - row - 1, bottom - row, corner_offset(row));
  return r;
}

TRegion CreatePolygonRgn(const TPoint* points, int count, int fill_mode) {
  TRegion r;
  r.UnitePolygon(points, count, fill_mode);
  return r;
}

// ---- Combining ----

int CombineRgn(TRegion& dest, const TRegion& src1, const TRegion& src2, int mode) {
  switch (mode) {
    case RGN_COPY:
      if (&dest != &src1) dest = src1;
      return dest.Kind();
    case RGN_OR:
      if (&dest == &src1) {
        dest.Unite(src2);
      } else if (&dest == &src2) {
        dest.Unite(src1);
      } else {
        TRegion r = src1;
        r.Unite(src2);
        dest = std::move(r);
      }
      // Building the bands now would cost a sweep per union: report what is known without it.
      if (dest.pending_.empty()) return dest.Kind();
      if (dest.bands_.empty() && dest.pending_.size() == 1) return SIMPLEREGION;
      return COMPLEXREGION;
    case RGN_AND:
    case RGN_XOR:
    case RGN_DIFF:
      break;
    default:
      return RGN_ERROR;
  }
  src1.Normalize();
  src2.Normalize();
  auto op = [mode](bool a, bool b) {
    return mode == RGN_AND ? (a && b) : mode == RGN_XOR ? (a != b) : (a && !b);
  };
  TRegion out;
  TBandWriter writer(out.bands_, out.spans_);
  const auto& A = src1.bands_;
  const auto& B = src2.bands_;
  std::vector<TSpan> row;
  constexpr int64_t kEnd = std::numeric_limits<int64_t>::max();
  std::size_t ia = 0, ib = 0;
  int64_t y = std::min(A.empty() ? kEnd : A[0].Top, B.empty() ? kEnd : B[0].Top);
  while (true) {
    while (ia < A.size() && A[ia].Bottom <= y) ++ia;
    while (ib < B.size() && B[ib].Bottom <= y) ++ib;
    if (ia == A.size() && ib == B.size()) break;
    const bool in_a = ia < A.size() && A[ia].Top <= y;
    const bool in_b = ib < B.size() && B[ib].Top <= y;
    int64_t next = kEnd;
    if (ia < A.size()) next = std::min<int64_t>(next, in_a ? A[ia].Bottom : A[ia].Top);
    if (ib < B.size()) next = std::min<int64_t>(next, in_b ? B[ib].Bottom : B[ib].Top);
    if (in_a || in_b) {
      CombineSpans(in_a ? src1.Spans(A[ia]) : std::span<const TSpan>{},
                   in_b ? src2.Spans(B[ib]) : std::span<const TSpan>{}, op, row);
      writer.Add(static_cast<int32_t>(y), static_cast<int32_t>(next), row.data(), row.size());
    }
    y = next;
  }
  dest = std::move(out);
  return dest.Kind();
}

}  // namespace qm
