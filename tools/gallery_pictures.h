// The pictures a gallery's previews go between: two the tool paints when the user gives none,
// or the user's two, cut and scaled to the preview size.
#pragma once

#include "platform/bitmap.h"

namespace qm::tool {

// Evening: a warm sky, a low sun and dark water with a glitter path.
TBitmap PaintEvening(int w, int h);
// Day: a blue sky with a white cloud over green hills and a red-roofed house.
TBitmap PaintDay(int w, int h);

// `picture` scaled to w x h, its middle cut to the aspect ratio of w x h first.
TBitmap Fit(const TBitmap& picture, int w, int h);

}  // namespace qm::tool
