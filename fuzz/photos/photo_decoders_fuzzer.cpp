// Fuzzes the decoders `quenmora pack` reads photos with: what our code does around TurboJPEG,
// giflib, libwebp, libtiff and libheif (reading through memory callbacks, laying frames on their
// canvas, compositing alpha, CMYK, the size checks before decoding, the metadata handed back) and
// the lossless turning of JPEGs. The input's size picks a screen to fit and an orientation, so
// the scaled paths are fuzzed as well. Every failure must be a PictureError; the pixels must
// come out 24-bit and no larger than the picture.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "photos/decoders.h"

namespace {

// Pictures asking for more are refused before decoding, as pack refuses them beyond its limit.
constexpr uint64_t kMemoryLimit = uint64_t{64} << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace qm::photos;
  const ByteSpan bytes(data, size);
  const Format format = SniffFormat(bytes);
  DecodeRequest request;
  request.memoryLimit = kMemoryLimit;
  request.background = 0x00204080;
  if (size % 3 == 1) request.fit = Size{64, 48};
  if (size % 3 == 2) request.fit = Size{7, 300};
  try {
    const Decoded d = Decode(format, bytes, request);
    if (d.pixels.Format() != qm::PixelFormat::pf24bit || d.pixels.Width() > d.fullSize.width ||
        d.pixels.Height() > d.fullSize.height || d.metadata.orientation < 1 ||
        d.metadata.orientation > 8)
      std::abort();
  } catch (const PictureError&) {
  }
  if (format == Format::kJpeg) {
    try {
      (void)TurnJpegLosslessly(bytes, 1 + static_cast<int>(size % 8), kMemoryLimit);
    } catch (const PictureError&) {
    }
  }
  return 0;
}
