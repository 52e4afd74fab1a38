// Regions: sets of pixels, used as the clip region of a canvas. A region is a value: it is built
// with the Create... calls, combined with CombineRgn and dropped when it goes out of scope
// (DeleteObject empties it at once). Pixel (x, y) stands for the unit square whose centre is
// (x + 1/2, y + 1/2).
//
// Inside, a region is a list of horizontal bands, sorted top to bottom and not overlapping; each
// band is a run of rows that share the same sorted, disjoint x-spans. Uniting shapes is lazy:
// their spans are only collected, and the band list is rebuilt once, in one sweep over all of
// them, when the region is next read. So a region united from many shapes costs about the sum of
// their spans, not a merge per shape. Reading a region (even through const) may do that rebuild,
// so one region must not be read from two threads at once before it has been read once.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/rect.h"

namespace qm {

// CombineRgn modes.
constexpr int RGN_AND = 1;   // intersection
constexpr int RGN_OR = 2;    // union
constexpr int RGN_XOR = 3;   // pixels in exactly one of the two
constexpr int RGN_DIFF = 4;  // pixels of the first that are not in the second
constexpr int RGN_COPY = 5;  // the first

// Polygon fill modes.
constexpr int ALTERNATE = 1;  // even-odd rule
constexpr int WINDING = 2;    // non-zero winding rule

// Region kinds returned by CombineRgn and SelectClipRgn.
constexpr int RGN_ERROR = 0;
constexpr int NULLREGION = 1;     // no pixel
constexpr int SIMPLEREGION = 2;   // one rectangle
constexpr int COMPLEXREGION = 3;  // anything else

// Half-open run of columns Left <= x < Right.
struct TSpan {
  int32_t Left = 0, Right = 0;
  friend bool operator==(const TSpan&, const TSpan&) = default;
};

// Rows Top <= y < Bottom, all with the spans [FirstSpan, FirstSpan + SpanCount) of the region.
struct TBand {
  int32_t Top = 0, Bottom = 0;
  uint32_t FirstSpan = 0, SpanCount = 0;
};

class TRegion {
 public:
  TRegion() = default;

  bool Empty() const;
  // NULLREGION, SIMPLEREGION or COMPLEXREGION.
  int Kind() const;
  // The smallest rectangle holding every pixel; (0, 0, 0, 0) when empty.
  TRect Bounds() const;
  bool Contains(int32_t x, int32_t y) const;
  // Number of pixels (for tests and diagnostics).
  uint64_t PixelCount() const;

  std::span<const TBand> Bands() const;
  std::span<const TSpan> Spans(const TBand& band) const {
    return {spans_.data() + band.FirstSpan, band.SpanCount};
  }
  // The band holding row y, or nullptr.
  const TBand* BandAt(int32_t y) const;

  // Unites shapes into this region without building a region of their own first. Each is the
  // same set of pixels as the matching Create... call (coordinates put in order).
  void UniteRect(int32_t left, int32_t top, int32_t right, int32_t bottom);
  void UnitePolygon(const TPoint* points, int count, int fill_mode);
  void Unite(const TRegion& other);
  // Unites the rows top..bottom-1, each with the given spans. When the region holds nothing
  // below `top` and nothing waits to be united, and the spans are sorted, non-empty and apart
  // (each starts after the previous one's end), they become a band at once, without a sweep:
  // a region built row by row from the top costs only its own spans. Otherwise the spans are
  // united like rectangles.
  void AppendRows(int32_t top, int32_t bottom, std::span<const TSpan> spans);

  void Clear();

  // Same set of pixels.
  friend bool operator==(const TRegion& a, const TRegion& b);

 private:
  friend TRegion CreateRoundRectRgn(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t);
  friend int CombineRgn(TRegion&, const TRegion&, const TRegion&, int);

  // Shape pixels waiting to be united: rows Top..Bottom-1, columns Left..Right-1.
  struct TBox {
    int32_t Top, Bottom, Left, Right;
  };
  // The boxes of a region, the first few kept inline: a small shape (a rectangle, a triangle of
  // a few rows) is created, united and dropped without touching the heap.
  class TBoxList {
   public:
    static constexpr uint32_t kInline = 4;
    std::size_t size() const { return large_.empty() ? small_size_ : large_.size(); }
    bool empty() const { return size() == 0; }
    const TBox* begin() const { return large_.empty() ? small_.data() : large_.data(); }
    const TBox* end() const { return begin() + size(); }
    void clear() {
      small_size_ = 0;
      large_.clear();
    }
    void push_back(const TBox& b) {
      if (large_.empty() && small_size_ < kInline) {
        small_[small_size_++] = b;
        return;
      }
      Spill();
      large_.push_back(b);
    }
    void append(const TBox* first, const TBox* last) {
      const auto n = static_cast<std::size_t>(last - first);
      if (large_.empty() && small_size_ + n <= kInline) {
        std::copy(first, last, small_.begin() + small_size_);
        small_size_ += static_cast<uint32_t>(n);
        return;
      }
      Spill();
      large_.insert(large_.end(), first, last);
    }

   private:
    void Spill() {
      if (!large_.empty()) return;
      large_.reserve(16);
      large_.assign(small_.begin(), small_.begin() + small_size_);
      small_size_ = 0;
    }
    std::array<TBox, kInline> small_{};
    uint32_t small_size_ = 0;
    std::vector<TBox> large_;
  };

  void Normalize() const;
  void AddBox(int32_t top, int32_t bottom, int32_t left, int32_t right) {
    if (left < right && top < bottom) pending_.push_back(TBox{top, bottom, left, right});
  }

  mutable std::vector<TBand> bands_;
  mutable std::vector<TSpan> spans_;
  mutable TBoxList pending_;
};

// Left <= x < Right and Top <= y < Bottom, the coordinates put in order first.
TRegion CreateRectRgn(int32_t left, int32_t top, int32_t right, int32_t bottom);
TRegion CreateRectRgnIndirect(const TRect& r);
// The rectangle with each corner rounded by a quarter of an ellipse ellipse_width wide and
// ellipse_height high. Corners are put in order; the ellipse is reduced to the rectangle's size
// (negative sizes count by their magnitude); a size of 0 gives the plain rectangle. A pixel is
// inside when its centre lies in the rectangle and, in a corner box of half the ellipse's size,
// within that corner's quarter ellipse (boundary included).
TRegion CreateRoundRectRgn(int32_t left, int32_t top, int32_t right, int32_t bottom,
                           int32_t ellipse_width, int32_t ellipse_height);
// The filled polygon of `count` points (closed from the last point back to the first). A pixel
// is inside when its centre is, by the fill mode (WINDING: non-zero winding number; ALTERNATE:
// odd crossing count). On each row a centre exactly on an edge belongs to the inside run that
// the edge starts, not the one it ends. Fewer than 3 points give an empty region. Building
// walks every row the polygon spans (as does a rounded rectangle's curve), so shapes are meant
// to be about the size of a picture, not billions of rows high.
TRegion CreatePolygonRgn(const TPoint* points, int count, int fill_mode);

// dest := src1 <mode> src2. dest may be src1 or src2. Returns the kind of the result, or
// RGN_ERROR for an unknown mode (dest is then unchanged). A union only collects the spans of
// its sources, so uniting shapes one by one stays cheap; its bands are built when the region is
// next read, and until then a non-empty union reports COMPLEXREGION unless it is plainly one
// rectangle.
int CombineRgn(TRegion& dest, const TRegion& src1, const TRegion& src2, int mode);

// Releases the region's pixels at once; the region is empty afterwards.
inline bool DeleteObject(TRegion& region) {
  region.Clear();
  return true;
}
inline bool DeleteObject(std::optional<TRegion>& region) {
  region.reset();
  return true;
}

inline bool PtInRegion(const TRegion& region, int32_t x, int32_t y) {
  return region.Contains(x, y);
}
// The region's bounding rectangle and its kind.
inline int GetRgnBox(const TRegion& region, TRect& box) {
  box = region.Bounds();
  return region.Kind();
}

}  // namespace qm
