// What a photo says about itself besides its pixels: the EXIF orientation (how the camera was
// held) and a description the photographer gave it, from EXIF or XMP. Read from untrusted bytes:
// every offset and count is checked, and nothing here allocates more than the input's size.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qm::photos {

using ByteSpan = std::span<const uint8_t>;

struct Metadata {
  int orientation = 1;      // 1..8, the EXIF values; 1 (upright) when absent or invalid
  std::string description;  // UTF-8, trimmed; empty when absent or a camera's placeholder
};

// Reads an EXIF block: a TIFF structure ("II*\0" or "MM\0*", then IFD 0), optionally preceded
// by "Exif\0\0". Takes the Orientation and ImageDescription tags of IFD 0 into `into`; leaves
// `into` as it is for what is absent or damaged.
void ReadExif(ByteSpan exif, Metadata& into);

// The dc:description of an XMP packet (the "x-default" language, else the first), entities
// decoded; empty when there is none.
std::string XmpDescription(std::string_view xmp);

// The text of an EXIF ASCII field as UTF-8: taken as UTF-8 when it is valid UTF-8, else as
// ISO 8859-1; NULs and surrounding white space dropped. A camera's placeholder text ("OLYMPUS
// DIGITAL CAMERA", "SONY DSC", ...) gives "".
std::string CleanDescription(std::string_view text);

// The structure of a JPEG file as far as its first scan.
struct JpegLayout {
  bool valid = false;  // starts with SOI and has a frame header before the first scan
  int width = 0, height = 0;
  int components = 0;
  bool progressive = false;  // a progressive or arithmetic-coded frame (all coefficients held)
  uint64_t coefficient_bytes = 0;  // memory the decoder needs to hold every DCT coefficient
  bool adobe = false;              // an Adobe APP14 segment (CMYK stored inverted)
  ByteSpan exif;                   // APP1 "Exif\0\0" payload (TIFF structure), empty when none
  ByteSpan xmp;                    // APP1 XMP packet, empty when none
};

JpegLayout ReadJpegLayout(ByteSpan jpeg);

// The EXIF ("eXIf") chunk of a PNG file, empty when none. Only chunk headers are read.
ByteSpan PngExif(ByteSpan png);

// The metadata of a JPEG: EXIF orientation, and its description (XMP first, then EXIF).
Metadata JpegMetadata(const JpegLayout& layout);

}  // namespace qm::photos
