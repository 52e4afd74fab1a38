// Pictures for the picture-preparation tests, made in the test with the formats' own encoders:
// JPEGs with EXIF and XMP segments, TIFF, GIF, WebP, HEIC and AVIF files, and pictures with a
// marked corner to tell which way up they are.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "tests/support/pixels.h"

namespace qm::test {

using Bytes = std::vector<uint8_t>;

// An EXIF block (TIFF structure, without the "Exif\0\0" prefix) with an Orientation tag (when
// 1..8) and an ImageDescription (when not empty), in either byte order.
Bytes ExifBlock(int orientation, const std::string& description = "", bool big_endian = false);

// A JPEG of a 24-bit bitmap at `quality` (4:4:4), with an EXIF segment and an XMP packet
// holding `xmpDescription` when they are given.
Bytes Jpeg(const TBitmap& pixels, int quality = 95, const Bytes& exif = {},
           const std::string& xmp_description = "");

// A smooth colourful picture (a photograph's stand-in) and a drawing of 6 flat colours.
TBitmap Photo(int width, int height);
TBitmap Drawing(int width, int height);

// A grey picture with a red square in corner `red` and a green one in corner `green`
// (0 top left, 1 top right, 2 bottom right, 3 bottom left), each `mark` pixels a side.
TBitmap MarkedCorners(int width, int height, int red, int green, int mark);

// Which corner of an upright picture holds the red mark and which the green one, read from the
// middle of each corner square; -1 when there is no such mark.
int CornerOf(const TBitmap& picture, bool red, int mark);

enum class Encoding { kTiff, kGif, kWebpLossy, kWebpLossless, kHeic, kAvif, kHeicGrid };
// `pixels` in the format; the WebP gets an alpha channel when `alpha` (left half opaque,
// right half see-through).
Bytes Encode(Encoding encoding, const TBitmap& pixels, bool alpha = false);

// Decoded as the player decodes a slide: by the file name's extension.
TBitmap DecodeSlide(const std::string& file_name, const Bytes& data);

}  // namespace qm::test
