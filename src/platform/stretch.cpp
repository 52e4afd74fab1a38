#include "platform/stretch.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <span>
#include <utility>
#include <vector>

#include "platform/pixel_rows.h"
#include "platform/shared_rows.h"

namespace qm {

namespace {

// The sampling of one direction: destination positions first..last-1 (inside the target, with
// their sample inside the source) and the source position of each, map[p - first]. When the
// copy neither scales nor mirrors in this direction, source = destination + offset.
struct TAxis {
  int32_t first = 0, last = 0;
  bool identity = false;
  bool reversed = false;  // unscaled mirror: source = offset - destination (map filled too)
  int32_t offset = 0;
  std::vector<int32_t>* map = nullptr;
  int32_t At(int32_t p) const { return identity ? p + offset : (*map)[p - first]; }
};

bool BuildAxis(int32_t d0, int32_t dext, int32_t s0, int32_t sext, int32_t dest_size,
               int32_t source_size, std::vector<int32_t>& map, TAxis& axis) {
  const int64_t n = std::abs(int64_t{dext}), m = std::abs(int64_t{sext});
  // Destination positions inside the target, as k = 0..n-1 maps to d0 + k or d0 - k.
  int64_t pmin, pmax;  // [pmin, pmax)
  if (dext > 0) {
    pmin = std::max<int64_t>(d0, 0);
    pmax = std::min<int64_t>(int64_t{d0} + n, dest_size);
  } else {
    pmin = std::max<int64_t>(int64_t{d0} - n + 1, 0);
    pmax = std::min<int64_t>(int64_t{d0} + 1, dest_size);
  }
  if (pmin >= pmax) return false;
  axis.map = &map;
  if (n == m && (dext > 0) == (sext > 0)) {
    // Unscaled, unmirrored: k' = floor((2k + 1) / 2) = k.
    const int64_t offset = int64_t{s0} - d0;
    pmin = std::max<int64_t>(pmin, -offset);
    pmax = std::min<int64_t>(pmax, int64_t{source_size} - offset);
    if (pmin >= pmax) return false;
    axis.first = static_cast<int32_t>(pmin);
    axis.last = static_cast<int32_t>(pmax);
    axis.identity = true;
    axis.offset = static_cast<int32_t>(offset);
    return true;
  }
  axis.identity = false;
  axis.reversed = n == m;
  axis.offset = static_cast<int32_t>(int64_t{s0} + d0);
  map.resize(static_cast<std::size_t>(pmax - pmin));
  int64_t first_valid = -1, last_valid = -1;
  for (int64_t p = pmin; p < pmax; ++p) {
    const uint64_t k = static_cast<uint64_t>(dext > 0 ? p - d0 : int64_t{d0} - p);
    const auto kk = static_cast<int64_t>((2 * k + 1) * static_cast<uint64_t>(m) /
                                         (2 * static_cast<uint64_t>(n)));
    const int64_t s = sext > 0 ? s0 + kk : s0 - kk;
    if (s >= 0 && s < source_size) {
      if (first_valid < 0) first_valid = p;
      last_valid = p;
      map[static_cast<std::size_t>(p - pmin)] = static_cast<int32_t>(s);
    }
  }
  if (first_valid < 0) return false;
  // Sample positions are monotonic in p, so the valid ones are one run.
  if (first_valid > pmin)
    map.erase(map.begin(), map.begin() + static_cast<std::ptrdiff_t>(first_valid - pmin));
  map.resize(static_cast<std::size_t>(last_valid - first_valid + 1));
  axis.first = static_cast<int32_t>(first_valid);
  axis.last = static_cast<int32_t>(last_valid + 1);
  return true;
}

// Where the source rows are read from: the source bitmap itself, or a snapshot of its rows
// first_row.. when source and target are the same bitmap.
struct TSource {
  const uint8_t* bits = nullptr;
  std::size_t stride = 0;
  int32_t first_row = 0;
  PixelFormat format = PixelFormat::pf32bit;
  const uint8_t* Row(int32_t y) const {
    return bits + static_cast<std::size_t>(y - first_row) * stride;
  }
};

// Calls fn(left, right) for the runs of row y within [x0, x1) that the clip lets through.
// `band` caches the band position between calls with increasing y.
template <typename Fn>
void ForClipRuns(const TRegion* clip, std::size_t& band, int32_t y, int32_t x0, int32_t x1,
                 Fn&& fn) {
  if (clip == nullptr) {
    fn(x0, x1);
    return;
  }
  const auto bands = clip->Bands();
  while (band < bands.size() && bands[band].Bottom <= y) ++band;
  if (band == bands.size() || bands[band].Top > y) return;
  const auto spans = clip->Spans(bands[band]);
  auto it = std::upper_bound(spans.begin(), spans.end(), x0,
                             [](int32_t v, const TSpan& s) { return v < s.Right; });
  for (; it != spans.end() && it->Left < x1; ++it)
    fn(std::max(it->Left, x0), std::min(it->Right, x1));
}

using TPending = TCanvas::TPendingBackground;

// A stretch copy worked out: its sampling in both directions and the rows it reads.
struct TPlan {
  TAxis xa, ya;
  TSource src;
  int32_t source_width = 0;
  const pixel::TLut* lut = nullptr;
  TRect Covers() const { return TRect{xa.first, ya.first, xa.last, ya.last}; }
};

const pixel::TLut kNoLut{};

// Reads the source pixels of destination columns [l, r) of row y of the copy into out.
void ReadSpan(const TPlan& c, int32_t y, int32_t l, int32_t r, uint32_t* out) {
  const uint8_t* srow = c.src.Row(c.ya.At(y));
  if (c.xa.identity)
    pixel::ReadRun(srow, c.src.format, *c.lut, l + c.xa.offset, r - l, out);
  else if (c.xa.reversed && c.src.format == PixelFormat::pf32bit)
    pixel::ReverseCopy32(reinterpret_cast<const uint32_t*>(srow) + (c.xa.offset - l), out, r - l);
  else
    pixel::ReadMapped(srow, c.source_width, c.src.format, *c.lut,
                      c.xa.map->data() + (l - c.xa.first), r - l, out);
}

// How much of the start of a run of the next row is fetched ahead while this row is copied.
// Where a row is made of runs of different bitmaps, each run starts a new stream of reads that
// the processor's own prefetching picks up only after some cache lines have missed; fetched a
// row ahead, they are at hand when the run is copied.
constexpr std::size_t kRunPrefetchBytes = 512;

// Fetches the first bytes of `count` 32-bit pixels read from p upwards (descending: downwards).
inline void PrefetchRun(const uint32_t* p, std::size_t count, bool descending = false) {
  const std::size_t bytes = std::min(4 * count, kRunPrefetchBytes);
  const char* c = reinterpret_cast<const char*>(p);
  for (std::size_t i = 0; i < bytes; i += 64) __builtin_prefetch(descending ? c - i : c + i, 0, 3);
}

// Fetches the start of the source pixels that ReadSpan reads for columns [l, r) of row y.
void PrefetchSpan(const TPlan& c, int32_t y, int32_t l, int32_t r) {
  if (y < c.ya.first || y >= c.ya.last || l >= r || c.src.format != PixelFormat::pf32bit) return;
  const auto* srow = reinterpret_cast<const uint32_t*>(c.src.Row(c.ya.At(y)));
  const auto count = static_cast<std::size_t>(r - l);
  if (c.xa.identity)
    PrefetchRun(srow + (l + c.xa.offset), count);
  else if (c.xa.reversed)
    PrefetchRun(srow + (c.xa.offset - l), count, true);
  else {
    const int32_t s0 = (*c.xa.map)[static_cast<std::size_t>(l - c.xa.first)];
    const int32_t s1 = (*c.xa.map)[static_cast<std::size_t>(r - 1 - c.xa.first)];
    PrefetchRun(srow + s0, static_cast<std::size_t>(std::abs(s1 - s0)) + 1, s1 < s0);
  }
}

bool Overlap(const TRect& a, const TRect& b) {
  return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

// The index of the first of a clip's bands that reaches down past row y: where a walk over the
// bands starts for a share of rows beginning at y.
std::size_t FirstBandReaching(std::span<const TBand> bands, int32_t y) {
  return static_cast<std::size_t>(
      std::partition_point(bands.begin(), bands.end(),
                           [y](const TBand& b) { return b.Bottom <= y; }) -
      bands.begin());
}

// Copies the pending background of `dest` onto every pixel that no drawing call covers: outside
// the noted rectangles, the put-off copies and `last`, the drawing just made (through `clip` when
// there is one: then only the clip's runs within `last` count). The put-off copies, and `now`
// when given (the copy onto `last` being made, not drawn yet), are drawn in the same pass, row
// by row, so each row of the display is written once while it is at hand. Ends the deferral.
void Settle(TBitmap& dest, const TRect* last, const TRegion* clip, const TPlan* now = nullptr) {
  TPending& p = dest.Canvas().Pending();
  const TBitmap* background = std::exchange(p.Background, nullptr);
  int noted = std::exchange(p.DrawnCount, 0);
  const int copies = std::exchange(p.CopyCount, 0);
  if (background == nullptr) return;
  constexpr std::size_t kMost = 2 * TPending::kCapacity + 1;
  // The covered rectangles, each with who draws it in this pass: a put-off copy's index, kNow
  // for `now`, or kDrawn for what is on the display already.
  constexpr int kDrawn = -1, kNow = TPending::kCapacity;
  std::array<TRect, kMost> drawn;
  std::array<int, kMost> drawer;
  std::copy_n(p.Drawn.begin(), noted, drawn.begin());
  std::fill_n(drawer.begin(), noted, kDrawn);
  thread_local std::array<std::vector<int32_t>, TPending::kCapacity> xmaps, ymaps;
  std::array<TPlan, TPending::kCapacity> plans;
  for (std::size_t i = 0; i < static_cast<std::size_t>(copies); ++i) {
    const TPending::TCopy& c = p.Copies[i];
    // The copy was worked out once when it was put off, so it works out the same again.
    BuildAxis(c.DestX, c.DestWidth, c.SourceX, c.SourceWidth, dest.Width(), c.Source->Width(),
              xmaps[i], plans[i].xa);
    BuildAxis(c.DestY, c.DestHeight, c.SourceY, c.SourceHeight, dest.Height(), c.Source->Height(),
              ymaps[i], plans[i].ya);
    plans[i].src = TSource{c.Source->Bits(), c.Source->RowBytes(), 0, c.Source->Format()};
    plans[i].source_width = c.Source->Width();
    plans[i].lut = &kNoLut;
    drawer[static_cast<std::size_t>(noted)] = static_cast<int>(i);
    drawn[static_cast<std::size_t>(noted++)] = c.Covers;
  }
  if (last != nullptr && clip == nullptr) {
    drawer[static_cast<std::size_t>(noted)] = now != nullptr ? kNow : kDrawn;
    drawn[static_cast<std::size_t>(noted++)] = *last;
  }
  const TRect* clipped = clip != nullptr ? last : nullptr;
  const int32_t w = dest.Width();
  struct TCover {
    int32_t Left, Right;
    int Drawer;
  };
  const auto clip_bands = clip ? clip->Bands() : std::span<const TBand>{};
  // Rows are settled independently of each other, so a large display is settled by two threads.
  auto settle_rows = [&](int32_t first, int32_t last_row) {
    std::array<TCover, kMost> rects;
    // The clip's band of the first row; the rows below walk on from it.
    std::size_t band = FirstBandReaching(clip_bands, first);
    for (int32_t y = first; y < last_row; ++y) {
      // The drawn rectangles' columns on this row, by left edge.
      int n = 0;
      for (int i = 0; i < noted; ++i) {
        const TRect& r = drawn[static_cast<std::size_t>(i)];
        if (y < r.Top || y >= r.Bottom) continue;
        int k = n++;
        for (; k > 0 && rects[static_cast<std::size_t>(k - 1)].Left > r.Left; --k)
          rects[static_cast<std::size_t>(k)] = rects[static_cast<std::size_t>(k - 1)];
        rects[static_cast<std::size_t>(k)] =
            TCover{r.Left, r.Right, drawer[static_cast<std::size_t>(i)]};
      }
      // The clip's runs on this row, when the clipped copy covered it.
      std::span<const TSpan> runs;
      if (clipped && y >= clipped->Top && y < clipped->Bottom) {
        while (band < clip_bands.size() && clip_bands[band].Bottom <= y) ++band;
        if (band < clip_bands.size() && clip_bands[band].Top <= y)
          runs = clip->Spans(clip_bands[band]);
      }
      // Where the copies drawn in this pass do not overlap on this row, the order they were made
      // in does not matter: the row is written from left to right, which the processor streams
      // best. Otherwise they are drawn after the background, in their order.
      bool in_order = true;
      int32_t reach = 0;
      for (int k = 0; k < n; ++k) {
        const TCover& c = rects[static_cast<std::size_t>(k)];
        if (c.Drawer == kDrawn) continue;
        if ((k > 0 && c.Left < reach) ||
            (now != nullptr && !runs.empty() && c.Left < clipped->Right && clipped->Left < c.Right))
          in_order = false;
        reach = std::max(reach, c.Right);
      }
      // Both lists in order of their left edges; the background fills what lies between.
      const uint32_t* from = reinterpret_cast<const uint32_t*>(background->ScanLine(y));
      uint32_t* to = reinterpret_cast<uint32_t*>(dest.ScanLine(y));
      int32_t x = 0;
      // The next row's background, whose runs start where this row's do.
      const uint32_t* from_next =
          y + 1 < dest.Height() ? reinterpret_cast<const uint32_t*>(background->ScanLine(y + 1))
                                : nullptr;
      auto background_run = [&](int32_t l, int32_t r) {
        if (from_next) PrefetchRun(from_next + l, static_cast<std::size_t>(r - l));
        pixel::Copy32(from + l, to + l, static_cast<std::size_t>(r - l));
      };
      auto covered = [&](int32_t l, int32_t r, int drawer) {
        if (l >= r) return;
        if (l > x) background_run(x, l);
        x = std::max(x, r);
        if (in_order && drawer != kDrawn) {
          const TPlan& plan = drawer == kNow ? *now : plans[static_cast<std::size_t>(drawer)];
          PrefetchSpan(plan, y + 1, l, r);
          ReadSpan(plan, y, l, r, to + l);
        }
      };
      std::size_t i = 0, j = 0;
      while (i < static_cast<std::size_t>(n) || j < runs.size()) {
        const int32_t run_left = j < runs.size() ? std::max(runs[j].Left, clipped->Left) : 0;
        if (j == runs.size() || (i < static_cast<std::size_t>(n) && rects[i].Left <= run_left)) {
          covered(rects[i].Left, rects[i].Right, rects[i].Drawer);
          ++i;
        } else {
          covered(run_left, std::min(runs[j].Right, clipped->Right),
                  now != nullptr ? kNow : kDrawn);
          ++j;
        }
      }
      if (x < w) background_run(x, w);
      if (in_order) continue;
      // The copies' share of the row, in the order they were made.
      for (std::size_t c = 0; c < static_cast<std::size_t>(copies); ++c) {
        const TPlan& plan = plans[c];
        if (y >= plan.ya.first && y < plan.ya.last)
          ReadSpan(plan, y, plan.xa.first, plan.xa.last, to + plan.xa.first);
      }
      if (now == nullptr || y < now->ya.first || y >= now->ya.last) continue;
      if (clip == nullptr) {
        ReadSpan(*now, y, now->xa.first, now->xa.last, to + now->xa.first);
        continue;
      }
      for (const TSpan& run : runs) {
        const int32_t l = std::max(run.Left, now->xa.first), r = std::min(run.Right, now->xa.last);
        if (l < r) ReadSpan(*now, y, l, r, to + l);
      }
    }
  };
  RunRowPass(w, dest.Height(), settle_rows);
}

// Notes that a drawing call covered `drawn` (inside `dest`) through `clip` while a background is
// pending. A clipped drawing settles the background at once, as the clip does not outlive the
// call; a rectangle that continues a noted one above or below it, in the same columns, joins it.
void NoteDrawn(TBitmap& dest, const TRect& drawn, const TRegion* clip) {
  TPending& p = dest.Canvas().Pending();
  if (clip != nullptr) {
    Settle(dest, &drawn, clip);
    return;
  }
  for (int i = 0; i < p.DrawnCount; ++i) {
    TRect& r = p.Drawn[static_cast<std::size_t>(i)];
    if (r.Left == drawn.Left && r.Right == drawn.Right && r.Top <= drawn.Bottom &&
        drawn.Top <= r.Bottom) {
      r.Top = std::min(r.Top, drawn.Top);
      r.Bottom = std::max(r.Bottom, drawn.Bottom);
      return;
    }
  }
  if (p.DrawnCount == TPending::kCapacity) {
    Settle(dest, &drawn, nullptr);
    return;
  }
  p.Drawn[static_cast<std::size_t>(p.DrawnCount++)] = drawn;
}

// Whether a copy reading `area` of `dest` may read the pending background instead: it reads
// nothing drawn since the background was put off.
bool ReadsOnlyBackground(TBitmap& dest, const TRect& area) {
  const TPending& p = dest.Canvas().Pending();
  for (int i = 0; i < p.DrawnCount; ++i)
    if (Overlap(p.Drawn[static_cast<std::size_t>(i)], area)) return false;
  for (int i = 0; i < p.CopyCount; ++i)
    if (Overlap(p.Copies[static_cast<std::size_t>(i)].Covers, area)) return false;
  return true;
}

}  // namespace

bool DeferBackground(TBitmap& dest, const TBitmap& background) {
  if (&dest == &background || dest.Format() != PixelFormat::pf32bit ||
      background.Format() != PixelFormat::pf32bit || dest.Width() != background.Width() ||
      dest.Height() != background.Height() || dest.Canvas().ClipRegion() != nullptr)
    return false;
  Settle(dest, nullptr, nullptr);
  TPending& p = dest.Canvas().Pending();
  p.Background = &background;
  p.DrawnCount = 0;
  return true;
}

void SettleBackground(TBitmap& dest) {
  Settle(dest, nullptr, nullptr);
}

bool StretchBlt(TBitmap& dest, int32_t dest_x, int32_t dest_y, int32_t dest_width,
                int32_t dest_height, const TBitmap& source, int32_t source_x, int32_t source_y,
                int32_t source_width, int32_t source_height) {
  if (dest_width == 0 || dest_height == 0 || source_width == 0 || source_height == 0) return false;
  if (dest.Empty() || source.Empty()) return false;
  thread_local std::vector<int32_t> xmap, ymap;
  thread_local std::vector<uint8_t> snapshot;
  thread_local std::vector<uint32_t> pixels;
  TAxis xa, ya;
  if (!BuildAxis(dest_x, dest_width, source_x, source_width, dest.Width(), source.Width(), xmap,
                 xa) ||
      !BuildAxis(dest_y, dest_height, source_y, source_height, dest.Height(), source.Height(), ymap,
                 ya))
    return true;

  // With a background pending, a copy within the bitmap reads the background where nothing has
  // been drawn yet (those pixels stand for it), and settles it first otherwise.
  const TBitmap* from = &source;
  TPending& pending = dest.Canvas().Pending();
  if (&source == &dest && pending.Background != nullptr) {
    const int32_t c0 = xa.At(xa.first), c1 = xa.At(xa.last - 1);
    const int32_t r0 = ya.At(ya.first), r1 = ya.At(ya.last - 1);
    if (ReadsOnlyBackground(dest, TRect{std::min(c0, c1), std::min(r0, r1), std::max(c0, c1) + 1,
                                        std::max(r0, r1) + 1}))
      from = pending.Background;
    else
      Settle(dest, nullptr, nullptr);
  }
  const pixel::TLut lut = from->BitsPerPixel() <= 8 ? pixel::MakeLut(*from) : pixel::TLut{};
  const TRegion* clip = dest.Canvas().ClipRegion();
  if (pending.Background != nullptr) {
    // A copy from another bitmap is drawn together with the background: unclipped from a 32-bit
    // bitmap, it waits for the settling with the others (while there is room to note it);
    // otherwise the background is settled now, with this copy drawn in the same pass.
    const TPlan now{xa, ya, TSource{from->Bits(), from->RowBytes(), 0, from->Format()},
                    from->Width(), &lut};
    if (clip == nullptr && from->Format() == PixelFormat::pf32bit &&
        pending.CopyCount < TPending::kCapacity) {
      pending.Copies[static_cast<std::size_t>(pending.CopyCount++)] = {
          from,     dest_x,   dest_y,       dest_width,    dest_height,
          source_x, source_y, source_width, source_height, now.Covers()};
      return true;
    }
    const TRect covers = now.Covers();
    Settle(dest, &covers, clip, &now);
    return true;
  }
  TSource src{from->Bits(), from->RowBytes(), 0, from->Format()};
  if (from == &dest) {
    // Read the whole source area first: copy the rows the samples use.
    const int32_t r0 = std::min(ya.At(ya.first), ya.At(ya.last - 1));
    const int32_t r1 = std::max(ya.At(ya.first), ya.At(ya.last - 1));
    const std::size_t bytes = static_cast<std::size_t>(r1 - r0 + 1) * source.RowBytes();
    if (snapshot.size() < bytes) snapshot.resize(bytes);
    std::memcpy(snapshot.data(), source.ScanLine(r0), bytes);
    src = TSource{snapshot.data(), source.RowBytes(), r0, source.Format()};
  }
  const TPlan plan{xa, ya, src, from->Width(), &lut};

  const PixelFormat dfmt = dest.Format();
  const bool direct32 = dfmt == PixelFormat::pf32bit;
  if (!direct32 && pixels.size() < static_cast<std::size_t>(xa.last - xa.first))
    pixels.resize(static_cast<std::size_t>(xa.last - xa.first));
  std::optional<pixel::TPaletteMatcher> matcher;
  if (dest.BitsPerPixel() <= 8) matcher.emplace(dest);

  const auto clip_bands = clip ? clip->Bands() : std::span<const TBand>{};
  auto copy_rows = [&](int32_t first, int32_t last) {
    std::size_t band = FirstBandReaching(clip_bands, ya.first + first);
    int32_t prev_src_row = -1;
    const TBand* prev_band = nullptr;
    for (int32_t y = ya.first + first; y < ya.first + last; ++y) {
      const int32_t sy = ya.At(y);
      uint8_t* drow = dest.ScanLine(y);
      // A row that repeats the previous destination row's source row under the same clip runs
      // is a copy of that row.
      const TBand* cur_band = nullptr;
      if (clip != nullptr) {
        while (band < clip_bands.size() && clip_bands[band].Bottom <= y) ++band;
        cur_band =
            band < clip_bands.size() && clip_bands[band].Top <= y ? &clip_bands[band] : nullptr;
        if (cur_band == nullptr) {
          prev_src_row = -1;
          continue;
        }
      }
      const bool repeat = direct32 && sy == prev_src_row && cur_band == prev_band;
      ForClipRuns(clip, band, y, xa.first, xa.last, [&](int32_t l, int32_t r) {
        if (l >= r) return;
        if (repeat) {
          const auto* above = reinterpret_cast<const uint32_t*>(drow - dest.RowBytes());
          pixel::Copy32(above + l, reinterpret_cast<uint32_t*>(drow) + l,
                        static_cast<std::size_t>(r - l));
          return;
        }
        uint32_t* out = direct32 ? reinterpret_cast<uint32_t*>(drow) + l : pixels.data();
        ReadSpan(plan, y, l, r, out);
        if (direct32) return;
        if (dfmt == PixelFormat::pf24bit) {
          pixel::Write24(drow, l, out, r - l);
        } else {
          for (int32_t x = l; x < r; ++x)
            pixel::WriteIndex(drow, dfmt, x, matcher->Index(out[x - l]));
        }
      });
      prev_src_row = sy;
      prev_band = cur_band;
    }
  };
  // Into 32 bits the rows are independent of each other (a repeated row is read from the row
  // above within its own share); other targets share a palette matcher and a row buffer.
  if (direct32)
    RunRowPass(xa.last - xa.first, ya.last - ya.first, copy_rows);
  else
    copy_rows(0, ya.last - ya.first);
  return true;
}

void StretchCopyRect(TBitmap& dest, const TRect& dest_rect, const TBitmap& source,
                     const TRect& source_rect) {
  auto extent = [](int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(b) - static_cast<uint32_t>(a));
  };
  StretchBlt(dest, dest_rect.Left, dest_rect.Top, extent(dest_rect.Left, dest_rect.Right),
             extent(dest_rect.Top, dest_rect.Bottom), source, source_rect.Left, source_rect.Top,
             extent(source_rect.Left, source_rect.Right),
             extent(source_rect.Top, source_rect.Bottom));
}

void Draw(TBitmap& dest, int32_t x, int32_t y, const TBitmap& source) {
  StretchBlt(dest, x, y, source.Width(), source.Height(), source, 0, 0, source.Width(),
             source.Height());
}

void FillRect(TBitmap& dest, const TRect& rect, TColor color) {
  TRect r;
  if (!IntersectRect(r, rect, TRect{0, 0, dest.Width(), dest.Height()})) return;
  // Copies put off with a background are drawn before anything is filled over them.
  if (dest.Canvas().Pending().CopyCount > 0) Settle(dest, nullptr, nullptr);
  const uint32_t px = pixel::FromColor(color);
  const PixelFormat fmt = dest.Format();
  uint8_t index = 0;
  if (dest.BitsPerPixel() <= 8) index = pixel::TPaletteMatcher(dest).Index(px);
  const TRegion* clip = dest.Canvas().ClipRegion();
  std::size_t band = 0;
  for (int32_t y = r.Top; y < r.Bottom; ++y) {
    uint8_t* row = dest.ScanLine(y);
    ForClipRuns(clip, band, y, r.Left, r.Right, [&](int32_t l, int32_t rt) {
      if (fmt == PixelFormat::pf32bit) {
        std::fill(reinterpret_cast<uint32_t*>(row) + l, reinterpret_cast<uint32_t*>(row) + rt, px);
      } else if (fmt == PixelFormat::pf24bit) {
        for (int32_t x = l; x < rt; ++x) pixel::Write24(row, x, &px, 1);
      } else {
        for (int32_t x = l; x < rt; ++x) pixel::WriteIndex(row, fmt, x, index);
      }
    });
  }
  if (dest.Canvas().Pending().Background != nullptr) NoteDrawn(dest, r, clip);
}

}  // namespace qm
