// Rectangle copies: how the edge, corner, centre and quarter styles draw. Every frame of such a
// style is a short list of copies of rectangles of the new picture onto the display, worked out
// from the progress metrics alone. A family lists the copies of its member for a frame (a pure
// function, so the lists can be read and checked on their own); one routine draws them.
#pragma once

#include <array>
#include <span>

#include "effects/effect_contract.h"

namespace qm {

// One copy: Source of the new picture stretched onto Dest of the display. With a mirror flag it
// is MirrorCopyRect's copy (the source clipped to the picture, the destination turned over and
// two columns or rows wider); without, a plain stretch copy of the rectangles as they are.
struct TRectCopy {
  TRect Dest, Source;
  bool MirrorHorizontal = false, MirrorVertical = false;
  friend bool operator==(const TRectCopy&, const TRectCopy&) = default;
};

// The copies of one frame, drawn in order: at most four.
struct TRectCopies {
  std::array<TRectCopy, 4> Items{};
  int Count = 0;

  constexpr void Add(const TRectCopy& copy) { Items[static_cast<std::size_t>(Count++)] = copy; }
  // Source copied in place: the piece of the picture shown where it stands.
  constexpr void AddInPlace(const TRect& rect) { Add({rect, rect}); }
  std::span<const TRectCopy> View() const {
    return {Items.data(), static_cast<std::size_t>(Count)};
  }
};

// Which way a band grows: across the display (a range of columns, x) or down it (rows, y).
enum TAxis : int32_t { kAcross = 0, kDown = 1 };

// A half-open range [Lo, Hi) of columns or rows.
struct TRange {
  int32_t Lo = 0, Hi = 0;
};

// Along one axis: the display's extent E (W or H) and the part P of it the progress covers (PW
// or PH).
struct TAxisExtents {
  int32_t E = 0, P = 0;
};
constexpr TAxisExtents AlongAxis(const TProgressMetrics& m, int32_t axis) {
  return axis == kDown ? TAxisExtents{m.H, m.PH} : TAxisExtents{m.W, m.PW};
}

// The rectangle of columns x and rows y.
constexpr TRect BoxOf(TRange x, TRange y) {
  return TRect{x.Lo, y.Lo, x.Hi, y.Hi};
}
// A band spanning the display's whole other extent: columns `along` of every row (kAcross), or
// rows `along` of every column (kDown).
constexpr TRect BandOf(const TProgressMetrics& m, int32_t axis, TRange along) {
  return axis == kDown ? BoxOf({0, m.W}, along) : BoxOf(along, {0, m.H});
}

// Draws the copies in order onto Screen from Picture.
void DrawRectCopies(TBitmap& Screen, const TBitmap& Picture, const TRectCopies& copies);

// A family's list of copies for one frame of its member.
using TCopyLister = TRectCopies (*)(const TProgressMetrics& m, const TEffectParams& params);

// The family procedure of a family that draws the list `List` makes.
template <TCopyLister kList>
void DrawListedCopies(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
                      int32_t Progress, const TEffectParams& Params) {
  DrawRectCopies(Screen, Picture, kList(CalcProgressMetrics(R, Step, Progress), Params));
}

}  // namespace qm
