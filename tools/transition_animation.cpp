#include "tools/transition_animation.h"

#include <optional>

#include "imaging/apng_writer.h"
#include "imaging/slide_loader.h"
#include "picshow/transition_math.h"
#include "platform/exception.h"
#include "tools/tool_files.h"

namespace qm::tool {

TBitmap LoadTransitionPicture(const std::string& path) {
  if (SlideDecoderFor(path) == TSlideDecoder::sdNone) {
    throw EInvalidGraphic("unknown picture type \"" + SlideExtension(path) + "\" of " + path +
                          ": the player decodes .jpg, .jpeg, .png and .bmp files");
  }
  if (const auto why = NotARegularFile(path, "picture")) throw EInvalidGraphic(*why);
  std::optional<TBitmap> picture = LoadSlidePicture(path);
  if (!picture || picture->Empty()) throw EInvalidGraphic(path + ": the picture is empty");
  return std::move(*picture);
}

std::vector<uint8_t> AnimateTransition(const TBitmap& old_picture, const TBitmap& new_picture,
                                       const RenderSettings& settings, uint16_t delay_ms) {
  TBitmap first;
  RenderFrame(old_picture, new_picture, settings, 0, first);
  ApngEncoder apng(first.Width(), first.Height());
  apng.AddFrame(first, delay_ms);
  RenderTransition(old_picture, new_picture, settings, [&](int progress, const TBitmap& frame) {
    apng.AddFrame(frame, ProgressAtEnd(progress, false) ? kLastFrameHoldMs : delay_ms);
  });
  return apng.Finish();
}

}  // namespace qm::tool
