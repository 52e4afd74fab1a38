// The arithmetic of the transition control that needs no window: the progress stepping, where
// the displayed picture sits in the client area, and which screen area a frame changes.
#pragma once

#include <cstdint>

#include "platform/rect.h"

namespace qm {

inline constexpr int kMinStep = 1;
inline constexpr int kMaxStep = 100;

// The stored value of Step := n: 0 becomes 1, anything above 100 becomes 100.
constexpr int ClampStep(int n) {
  return n < kMinStep ? kMinStep : (n > kMaxStep ? kMaxStep : n);
}

// The progress after one step: forward it moves up by `step` and stops at 100, in reverse it
// moves down and stops at 0. Step 4 gives 4, 8, ..., 96, 100; step 3 gives 3, ..., 99, 100.
constexpr int NextProgress(int progress, int step, bool reverse) {
  if (!reverse) return (100 - step > progress) ? progress + step : 100;
  return (progress > step) ? progress - step : 0;
}
constexpr bool ProgressAtEnd(int progress, bool reverse) {
  return reverse ? progress == 0 : progress == 100;
}
constexpr int StartProgress(bool reverse) {
  return reverse ? 100 : 0;
}

// Where a display bitmap of bitmap_w x bitmap_h sits in the client area when it is not
// stretched: at the top left corner, or centred (a larger picture gets negative offsets and is
// cut off equally on both sides). An empty display bitmap leaves `current` as it was.
TRect PlacementRect(const TRect& current, int bitmap_w, int bitmap_h, bool center, int client_w,
                    int client_h);

// The largest rectangle with p's aspect ratio that fits r, centred in r; it scales up as well as
// down. A p without area gives the empty rectangle at r's top left corner.
TRect AspectFit(const TRect& p, const TRect& r);

// What the control needs to know to map picture coordinates to the client area.
struct ScreenGeometry {
  TRect placement;  // the placement rectangle
  TRect client;     // (0, 0, client width, client height)
  bool center = false;
  bool stretch = false;
  bool stretch_fine = false;
};

// The rectangle of the client area that shows rectangle `a` of the picture: scaled into the
// stretched target when stretching, else shifted by the placement (when centred) and clamped to
// the placement rectangle.
TRect ScreenArea(TRect a, const ScreenGeometry& g);

// Where the whole display bitmap is drawn in the client area: the aspect fit of the placement
// rectangle when stretching finely, the client area when stretching, the placement otherwise.
TRect DisplayTarget(const ScreenGeometry& g);

}  // namespace qm
