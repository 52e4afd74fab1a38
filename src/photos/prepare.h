// Preparing one picture for a presentation: read in any format `quenmora pack` takes, turned
// upright by its EXIF orientation, scaled down to fit a screen, and given back in a format the
// player shows. A picture that needs none of this is kept byte for byte.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "photos/decoders.h"

namespace qm::photos {

struct PrepareOptions {
  std::optional<Size> fit = Size{1920, 1080};  // nothing: keep every picture's size
  int quality = 90;                            // of the JPEGs written, 1..100
  TColor background = 0;                       // under transparent pixels
  uint64_t memory_limit = DefaultMemoryLimit();
};

struct Prepared {
  Format format = Format::kUnknown;  // of the file read
  bool kept_as_is = false;           // the file's own bytes are stored
  std::vector<uint8_t> data;         // otherwise the bytes to store,
  const char* extension = "";        // ".jpg" or ".png" for them
  Size size;                         // as shown, upright
  Metadata metadata;                 // as read from the file
  // What was done, for the user: "" (kept), "turned", "scaled", "converted" or combinations.
  std::string change;
};

// Raises PictureError with the reason (the caller names the file).
Prepared PreparePicture(ByteSpan file, const PrepareOptions& options);

// A picture in any format decoded, scaled down to fit options.fit and turned upright: what a
// screen shows of it. Raises PictureError with the reason.
struct UprightPicture {
  TBitmap pixels;  // 24-bit, upright
  Metadata metadata;
  bool scaled = false;
  bool transparent = false;  // laid over options.background
  bool few_colours = false;  // at most 256 colours (never asked of JPEGs)
};
UprightPicture DecodeUpright(ByteSpan file, const PrepareOptions& options);

// The picture kept byte for byte, when the first bytes of its file (`head`) show that it needs
// neither turning nor scaling nor converting; nothing when it does or when they do not tell.
// So a picture kept as it is is never read whole.
std::optional<Prepared> KeptAsIs(ByteSpan head, const PrepareOptions& options);

}  // namespace qm::photos
