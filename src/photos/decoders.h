// Reading the picture formats that `quenmora pack` takes: JPEG through TurboJPEG (scaled while
// decoding where that is enough), PNG and BMP through the player's own decoders, and GIF, WebP,
// TIFF, HEIF and AVIF through their libraries. Every decoder returns 24-bit pixels as the file
// stores them (not yet turned upright) with transparency laid over a background colour, and
// refuses, before decoding, a picture that would take more memory than a set limit.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "photos/geometry.h"
#include "photos/metadata.h"
#include "platform/bitmap.h"

namespace qm::photos {

// Why a picture cannot be prepared, in words for the user (without the file's name).
class PictureError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class Format { kUnknown, kJpeg, kPng, kBmp, kGif, kWebp, kTiff, kHeif };

// The format by the file's first bytes; kUnknown when none matches.
Format SniffFormat(ByteSpan bytes);
const char* FormatName(Format format);

// A name that ends in an extension of a format above (.jpg, .jpeg, .png, .bmp, .gif, .webp,
// .tif, .tiff, .heic, .heif, .avif), in any case.
bool HasPictureExtension(const std::string& name);

// The memory one picture may take while it is decoded: a quarter of the physical memory or
// 1 GiB, whichever is smaller.
uint64_t DefaultMemoryLimit();

// Raises PictureError naming the limit when `size` at `bytes_per_pixel` exceeds `limit`.
void RequireWithinLimit(Size size, uint64_t bytes_per_pixel, uint64_t limit);
void RequireWithinLimit(uint32_t width, uint32_t height, uint64_t bytes_per_pixel, uint64_t limit);

struct DecodeRequest {
  // The screen the picture will be fitted into, upright; nothing when it keeps its size. The
  // JPEG and WebP decoders then scale down while decoding as far as that leaves twice the
  // fitted picture's size, for the exact downscale to finish.
  std::optional<Size> fit;
  TColor background = 0;  // what transparent pixels show, 0x00BBGGRR
  uint64_t memory_limit = DefaultMemoryLimit();
};

struct Decoded {
  TBitmap pixels;            // 24-bit, as stored
  Size full_size;            // the picture's own size as stored, before any scaling while decoding
  Metadata metadata;         // orientation still to be applied (1 when the decoder applied it)
  bool transparent = false;  // had see-through pixels, laid over the background
};

// The scale a JPEG of `full` size is decoded at (its DCT blocks read at 1/8, 1/4, 3/8 or 1/2
// of their size, or whole) when the picture needs only `at_least` pixels: the smallest that
// leaves twice that on each side within `maxPixels`, else the smallest that leaves that much.
// Scaling the blocks mixes the pixels of each block on its own and in gamma-encoded values,
// which loses fine detail where the decoded picture comes close to the asked size; with twice
// the pixels left, the exact filter does the visible part of the work.
struct Fraction {
  int num = 1, denom = 1;
  friend bool operator==(const Fraction&, const Fraction&) = default;
};
Fraction JpegDecodeFraction(Size full, Size at_least, uint64_t max_pixels);

// The stored size without decoding the pixels; PictureError for a damaged header.
Size JpegSize(const JpegLayout& layout);
Size PngOrBmpSize(Format format, ByteSpan bytes);

Decoded Decode(Format format, ByteSpan bytes, const DecodeRequest& request);

// A JPEG turned by EXIF `orientation` without decoding it, every block moved as it is: no loss,
// no trimming. Nothing when the picture's size is not a whole number of blocks in the
// direction that would need trimming. Markers (EXIF included) are dropped, so the result is
// upright with no orientation to apply again.
std::optional<std::vector<uint8_t>> TurnJpegLosslessly(ByteSpan jpeg, int orientation,
                                                       uint64_t memory_limit);

std::vector<uint8_t> EncodeJpeg(const TBitmap& pixels, int quality);
// A 24-bit RGB PNG, not interlaced, which the player's decoder reads.
std::vector<uint8_t> EncodePng(const TBitmap& pixels);

// Whether the picture has at most 256 distinct colours (drawings, screenshots, diagrams).
bool HasFewColours(const TBitmap& pixels);

}  // namespace qm::photos
