// The pictures libheif and its codecs allocate while they decode a HEIF or AVIF picture, read
// from the file's boxes before the library is asked to decode. A grid (a phone's photo made of
// many tiles) or an overlay takes its output size from its own data, and a coded picture's codec
// allocates its frames at the size of the picture's own sequence parameters, neither of which need
// match the size the library reports for the picture: a few bytes can ask for gigabytes. The
// decoder checks these sizes against its memory limit first.
#pragma once

#include <cstdint>
#include <vector>

#include "photos/metadata.h"

namespace qm::photos {

struct CanvasSize {
  uint32_t width = 0, height = 0;
  friend bool operator==(const CanvasSize&, const CanvasSize&) = default;
};

struct HeifSizes {
  // The output sizes of the grids and overlays laid out.
  std::vector<CanvasSize> canvases;
  // The frames of the coded pictures (HEVC, AV1), at the size the codec allocates: from their
  // decoder configuration and from the sequence headers within their data.
  std::vector<CanvasSize> frames;
  // The most pixels the frames of one grid's tiles take when `tiles_at_once` are decoded together.
  uint64_t tile_pixels_at_once = 0;
};

// What decoding the primary picture allocates: for the primary item, the auxiliary pictures
// (alpha) that belong to it and every item they are derived from. Raises PictureError when the
// boxes or parameters that describe them are damaged (a length past its box, an item whose data
// lies outside the file, sequence parameters cut short).
HeifSizes ReadHeifSizes(ByteSpan file, unsigned tiles_at_once);

}  // namespace qm::photos
