// Headless transitions: the frames the transition control composes, from two pictures of equal
// size, without a window. Used by `quenmora render` and by tests that compare frames.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/bitmap.h"

namespace qm {

struct RenderSettings {
  int style = 51;
  int step = 4;       // stored as the control stores Step: 0 counts as 1, above 100 as 100
  uint32_t seed = 0;  // the generator's seed before the first frame
};

// Composes into `out` (32 bits per pixel, the pictures' size) the frame at `progress` (0..100)
// of a transition from `old_picture` to `new_picture`. Throws EInvalidGraphic when the two
// pictures differ in size.
void RenderFrame(const TBitmap& old_picture, const TBitmap& new_picture,
                 const RenderSettings& settings, int progress, TBitmap& out);

// Runs a whole forward transition with the control's stepping and calls `frame` with each
// progress value and the finished frame; the generator's seed runs on from frame to frame.
// Throws EInvalidGraphic when the two pictures differ in size.
void RenderTransition(const TBitmap& old_picture, const TBitmap& new_picture,
                      const RenderSettings& settings,
                      const std::function<void(int progress, const TBitmap& frame)>& frame);

}  // namespace qm
