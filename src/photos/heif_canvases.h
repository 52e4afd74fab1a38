// The canvases libheif lays out while it decodes a HEIF or AVIF picture, read from the file's
// boxes before the library is asked to decode. A grid (a phone's photo made of many tiles) or an
// overlay takes its output size from its own data, not from the size the library reports for the
// picture, so a few bytes can ask for a canvas of gigabytes; the decoder checks these sizes
// against its memory limit first.
#pragma once

#include <cstdint>
#include <vector>

#include "photos/metadata.h"

namespace qm::photos {

struct CanvasSize {
  uint32_t width = 0, height = 0;
  friend bool operator==(const CanvasSize&, const CanvasSize&) = default;
};

// The output sizes of the grids and overlays decoding the primary picture makes: the primary
// item, the auxiliary pictures (alpha) that belong to it and every item they are derived from.
// Nothing for a picture that is coded directly. Raises PictureError when the boxes that describe
// them are damaged (a length past its box, an item whose data lies outside the file).
std::vector<CanvasSize> HeifCanvases(ByteSpan file);

}  // namespace qm::photos
