#include "tools/transition_animation.h"

#include <optional>

#include "imaging/apng_writer.h"
#include "imaging/slide_loader.h"
#include "picshow/transition_math.h"
#include "platform/exception.h"
#include "tools/tool_files.h"
#include "tools/tool_messages.h"

namespace qm::tool {

TBitmap LoadTransitionPicture(const std::string& path) {
  if (SlideDecoderFor(path) == TSlideDecoder::sdNone) {
    throw ToolError("unknown picture type \"" + SlideExtension(path) + "\" of " + path +
                    ": the player decodes .jpg, .jpeg, .png and .bmp files");
  }
  if (const auto why = CannotRead(path, "picture")) throw ToolError(*why);
  std::optional<TBitmap> picture;
  try {
    picture = LoadSlidePicture(path);
  } catch (const EOutOfMemory&) {
    throw;
  } catch (const Exception& e) {
    throw ToolError("cannot decode the picture " + path + "; the player says: " + e.Message());
  }
  if (!picture || picture->Empty()) throw ToolError(path + ": the picture is empty");
  return std::move(*picture);
}

void CheckSameSize(const TBitmap& a, const TBitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height())
    throw ToolError("the pictures differ in size: " + std::to_string(a.Width()) + "x" +
                    std::to_string(a.Height()) + " and " + std::to_string(b.Width()) + "x" +
                    std::to_string(b.Height()));
}

uint32_t AnimationFrameCount(int step) {
  uint32_t frames = 1;
  int progress = StartProgress(false);
  do {
    progress = NextProgress(progress, ClampStep(step), false);
    ++frames;
  } while (!ProgressAtEnd(progress, false));
  return frames;
}

void AnimateTransition(const TBitmap& old_picture, const TBitmap& new_picture,
                       const RenderSettings& settings, uint16_t delay_ms, ByteSink& out) {
  CheckSameSize(old_picture, new_picture);
  ApngEncoder apng(out, old_picture.Width(), old_picture.Height(),
                   AnimationFrameCount(settings.step));
  {
    TBitmap first;
    RenderFrame(old_picture, new_picture, settings, 0, first);
    apng.AddFrame(first, delay_ms);
  }
  RenderTransition(old_picture, new_picture, settings, [&](int progress, const TBitmap& frame) {
    apng.AddFrame(frame, ProgressAtEnd(progress, false) ? kLastFrameHoldMs : delay_ms);
  });
  apng.Finish();
}

}  // namespace qm::tool
