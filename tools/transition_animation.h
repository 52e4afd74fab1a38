// Transitions for `quenmora render` and `quenmora gallery`: their pictures, and a whole forward
// transition as an animated PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "picshow/render.h"
#include "platform/bitmap.h"

namespace qm::tool {

// How long viewers hold the last frame before the animation starts again.
inline constexpr uint16_t kLastFrameHoldMs = 1000;
// The player's delay between frames.
inline constexpr uint16_t kDefaultFrameDelayMs = 50;

// A picture for a transition, decoded as the player decodes slides. Throws EInvalidGraphic for
// anything but a regular file of a type the player shows, or an empty picture; the decoders'
// errors pass through.
TBitmap LoadTransitionPicture(const std::string& path);

// The animated PNG of the forward transition from `old_picture` to `new_picture`: first the old
// picture alone (progress 0, also the file's default image), then one frame per progress value
// the control shows at settings.step, composed by the frame routine with the seed running on
// from frame to frame. Every frame is shown for `delay_ms`, the last for kLastFrameHoldMs; the
// animation runs endlessly. Throws EInvalidGraphic when the pictures differ in size.
std::vector<uint8_t> AnimateTransition(const TBitmap& old_picture, const TBitmap& new_picture,
                                       const RenderSettings& settings, uint16_t delay_ms);

}  // namespace qm::tool
