// Transitions for `quenmora render` and `quenmora gallery`: their pictures, and a whole forward
// transition as an animated PNG.
#pragma once

#include <cstdint>
#include <string>

#include "imaging/png_encoding.h"
#include "picshow/render.h"
#include "platform/bitmap.h"

namespace qm::tool {

// How long viewers hold the last frame before the animation starts again.
inline constexpr uint16_t kLastFrameHoldMs = 1000;
// The player's delay between frames.
inline constexpr uint16_t kDefaultFrameDelayMs = 50;

// A picture for a transition, decoded as the player decodes slides. Raises ToolError for
// anything but a readable regular file of a type the player shows, for an empty picture and for
// one the player's decoder refuses (its message quoted); EOutOfMemory passes through.
TBitmap LoadTransitionPicture(const std::string& path);

// Raises ToolError unless the two pictures are of one size.
void CheckSameSize(const TBitmap& a, const TBitmap& b);

// The number of frames of the animation below at `step`: the old picture, then one per
// progress value.
uint32_t AnimationFrameCount(int step);

// Writes to `out` the animated PNG of the forward transition from `old_picture` to
// `new_picture`, each frame as soon as it is composed: first the old picture alone (progress 0,
// also the file's default image), then one frame per progress value the control shows at
// settings.step, composed by the frame routine with the seed running on from frame to frame.
// Every frame is shown for `delay_ms`, the last for kLastFrameHoldMs; the animation runs
// endlessly. The pictures must be of one size.
void AnimateTransition(const TBitmap& old_picture, const TBitmap& new_picture,
                       const RenderSettings& settings, uint16_t delay_ms, ByteSink& out);

}  // namespace qm::tool
