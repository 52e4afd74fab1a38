#include "picshow/frame_routine.h"

#include <mutex>

#include "platform/stretch.h"

namespace qm {

namespace {

// Settles a background left pending on the display, also when drawing throws.
struct TSettleOnExit {
  TBitmap& display;
  ~TSettleOnExit() { SettleBackground(display); }
};

// Composes the frame without first copying the whole old contents onto the display: a family
// with a composing procedure runs it; a family that draws only by copies draws first and the old
// contents fill what it leaves; the last frame is the new picture where it covers the display.
// Returns false, having drawn nothing, where this does not apply (the caller then copies the old
// contents and draws over them).
bool ComposeInOnePass(const TransitionBitmaps& b, const TEffect* effect, int step, int progress) {
  TBitmap& display = *b.display;
  const TBitmap& old = *b.old_contents;
  const TRect r = Rect(0, 0, b.width, b.height);
  if (progress <= 0) return false;  // only the old contents
  auto same_size = [&](const TBitmap& x) {
    return x.Width() == b.width && x.Height() == b.height && x.Format() == PixelFormat::pf32bit;
  };
  if (progress < 100) {
    if (effect == nullptr || !effect->Drawn()) return false;
    const TEffectFamily& family = *effect->Recipe.Family;
    if (family.Compose != nullptr && same_size(display) && same_size(old) &&
        same_size(*b.picture) && display.Canvas().ClipRegion() == nullptr) {
      family.Compose(display, old, *b.picture, r, static_cast<uint32_t>(step), progress,
                     effect->Recipe.Params);
      return true;
    }
    if (!family.DrawsByCopiesOnly) return false;
  }
  if (!DeferBackground(display, old)) return false;
  TSettleOnExit settle{display};
  if (progress >= 100)
    Draw(display, 0, 0, *b.picture);
  else
    effect->Draw(display, *b.picture, r, static_cast<uint32_t>(step), progress);
  return true;
}

}  // namespace

void ComposeFrame(const TransitionBitmaps& b, int style, int step, int progress,
                  FrameEvents* events, std::span<const TEffect> table) {
  std::scoped_lock picture_lock(b.picture->Canvas());
  std::scoped_lock display_lock(b.display->Canvas());
  const TEffect* effect = style >= 1 && static_cast<std::size_t>(style) <= table.size()
                              ? &table[static_cast<std::size_t>(style - 1)]
                              : nullptr;
  const TRect r = Rect(0, 0, b.width, b.height);
  bool composed = false;
  if (events == nullptr || !events->WatchesOldContents()) {
    std::scoped_lock old_lock(b.old_contents->Canvas());
    composed = ComposeInOnePass(b, effect, step, progress);
  }
  if (!composed) {
    {
      std::scoped_lock old_lock(b.old_contents->Canvas());
      Draw(*b.display, 0, 0, *b.old_contents);
    }
    if (events) events->BeforeNewFrame(*b.picture, *b.display);
    if (progress >= 100) {
      Draw(*b.display, 0, 0, *b.picture);
    } else if (progress > 0) {
      if (style == 0) {
        if (events) events->CustomDraw(*b.picture, *b.display);
      } else if (effect != nullptr) {
        effect->Draw(*b.display, *b.picture, r, static_cast<uint32_t>(step), progress);
      }
    }
  }
  if (events) {
    events->Invalidate(r);
    events->AfterNewFrame(*b.picture, *b.display);
  }
}

}  // namespace qm
