#include "picshow/frame_routine.h"

#include <mutex>

#include "platform/stretch.h"

namespace qm {

void ComposeFrame(const TransitionBitmaps& b, int style, int step, int progress,
                  FrameEvents* events, std::span<const TEffect> table) {
  std::scoped_lock picture_lock(b.picture->Canvas());
  std::scoped_lock display_lock(b.display->Canvas());
  {
    std::scoped_lock old_lock(b.old_contents->Canvas());
    Draw(*b.display, 0, 0, *b.old_contents);
  }
  if (events) events->BeforeNewFrame(*b.picture, *b.display);
  const TRect r = Rect(0, 0, b.width, b.height);
  if (progress >= 100) {
    Draw(*b.display, 0, 0, *b.picture);
  } else if (progress > 0) {
    if (style == 0) {
      if (events) events->CustomDraw(*b.picture, *b.display);
    } else if (style >= 1 && static_cast<std::size_t>(style) <= table.size()) {
      table[style - 1].Draw(*b.display, *b.picture, r, static_cast<uint32_t>(step), progress);
    }
  }
  if (events) {
    events->Invalidate(r);
    events->AfterNewFrame(*b.picture, *b.display);
  }
}

}  // namespace qm
