// The frame routine of the transition control, without any window: it composes the frame for
// one progress value from the old-contents bitmap and the new-picture bitmap into the display
// bitmap. The widget runs it for every step of a transition; `quenmora render` runs it headless.
#pragma once

#include <cstdint>
#include <span>

#include "effects/effect_table.h"
#include "platform/bitmap.h"
#include "platform/rect.h"

namespace qm {

// What a frame reports to its control. The widget fires its events from these; every call
// happens on the stepping thread with the drawing locks of the new picture and the display held.
class FrameEvents {
 public:
  virtual ~FrameEvents() = default;
  // Whether BeforeNewFrame does anything. When it does not, a frame may be composed without
  // first laying the whole old contents on the display, and BeforeNewFrame is not called.
  virtual bool WatchesOldContents() const { return true; }
  // The display holds the old contents; the effect has not drawn yet.
  virtual void BeforeNewFrame(TBitmap& picture, TBitmap& screen) { (void)picture, (void)screen; }
  // Style 0, progress 1..99: draws the new picture's share of the frame.
  virtual void CustomDraw(TBitmap& picture, TBitmap& screen) { (void)picture, (void)screen; }
  // `area` (picture coordinates) of the display changed.
  virtual void Invalidate(const TRect& area) { (void)area; }
  // The display holds the finished frame.
  virtual void AfterNewFrame(TBitmap& picture, TBitmap& screen) { (void)picture, (void)screen; }
};

// The three bitmaps of a transition. `display` and `picture` are width x height; `old_contents`
// is drawn onto `display` at (0, 0) at the start of every frame.
struct TransitionBitmaps {
  TBitmap* display = nullptr;
  TBitmap* picture = nullptr;
  TBitmap* old_contents = nullptr;
  int width = 0;
  int height = 0;
};

// Composes the frame for `progress`: the old contents; then at 100 the whole new picture, at
// 1..99 the effect procedure of `style` (row style - 1 of `table`; a row without a family
// draws nothing) or, for style 0, events->CustomDraw; at 0 nothing more. Where no event watches
// the old contents, the frame comes out the same with the old contents copied only where the
// style's drawing leaves them showing (or in one pass, for a family that composes frames).
// Takes the drawing locks of the new picture, then of the display, and nests the old contents'
// lock while reading it. Allocates nothing.
void ComposeFrame(const TransitionBitmaps& bitmaps, int style, int step, int progress,
                  FrameEvents* events, std::span<const TEffect> table = kEffectTable);

}  // namespace qm
