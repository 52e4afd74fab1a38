#include "picshow/render.h"

#include <string>

#include "picshow/frame_routine.h"
#include "picshow/transition_math.h"
#include "platform/exception.h"
#include "platform/random.h"

namespace qm {

namespace {

// The bitmaps a prepared transition holds: the old contents and the new picture in the screen
// format, and the display the frames are composed in.
struct HeadlessTransition {
  TBitmap old_contents, picture, display;
  TransitionBitmaps bitmaps;

  HeadlessTransition(const TBitmap& old_picture, const TBitmap& new_picture)
      : old_contents(old_picture), picture(new_picture) {
    if (old_picture.Width() != new_picture.Width() ||
        old_picture.Height() != new_picture.Height()) {
      throw EInvalidGraphic("the pictures differ in size: " + std::to_string(old_picture.Width()) +
                            "x" + std::to_string(old_picture.Height()) + " and " +
                            std::to_string(new_picture.Width()) + "x" +
                            std::to_string(new_picture.Height()));
    }
    old_contents.ConvertTo(PixelFormat::pf32bit);
    picture.ConvertTo(PixelFormat::pf32bit);
    display.SetSize(picture.Width(), picture.Height(), PixelFormat::pf32bit);
    bitmaps = {&display, &picture, &old_contents, picture.Width(), picture.Height()};
  }
};

}  // namespace

void RenderFrame(const TBitmap& old_picture, const TBitmap& new_picture,
                 const RenderSettings& settings, int progress, TBitmap& out) {
  HeadlessTransition t(old_picture, new_picture);
  SetRandomSeed(settings.seed);
  ComposeFrame(t.bitmaps, settings.style, ClampStep(settings.step), progress, nullptr);
  out = std::move(t.display);
}

void RenderTransition(const TBitmap& old_picture, const TBitmap& new_picture,
                      const RenderSettings& settings,
                      const std::function<void(int progress, const TBitmap& frame)>& frame) {
  HeadlessTransition t(old_picture, new_picture);
  const int step = ClampStep(settings.step);
  SetRandomSeed(settings.seed);
  int progress = StartProgress(false);
  do {
    progress = NextProgress(progress, step, false);
    ComposeFrame(t.bitmaps, settings.style, step, progress, nullptr);
    frame(progress, t.display);
  } while (!ProgressAtEnd(progress, false));
}

}  // namespace qm
