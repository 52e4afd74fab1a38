// Fuzzes one photo decoder `quenmora pack` reads through a library, the format chosen when the
// target is built (QM_FUZZ_FORMAT): what our code does around TurboJPEG, giflib, libwebp, libtiff
// or libheif (reading through memory callbacks, laying frames on their canvas, compositing alpha,
// CMYK, the size checks before decoding, the metadata handed back), and for JPEG the lossless
// turning. One target per format keeps the fast decoders' runs apart from libheif's slow ones.
// Every input is handed to the chosen decoder whatever its first bytes, so the library's own
// signature checks are fuzzed too. The input's size picks a screen to fit and an orientation, so
// the scaled paths are fuzzed as well. Every failure must be a PictureError; the pixels must come
// out 24-bit and no larger than the picture.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "photos/decoders.h"

// libheif's AV1 decoding drops the data it handed to dav1d when dav1d refuses it (a damaged
// AVIF), 40 bytes a picture, which nothing of ours can free. dav1d is built without frame
// pointers, so its allocations are matched by the library's name.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdav1d.so\n";
}

namespace {

// Pictures asking for more are refused before decoding, as pack refuses them beyond its limit.
// Inputs are 64 KiB at most, so a larger picture is mostly a large canvas filled with the
// background or a library decoding the same damaged data over many rows: costly runs that reach
// nothing new.
constexpr uint64_t kMemoryLimit = uint64_t{1} << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace qm::photos;
  const ByteSpan bytes(data, size);
  constexpr Format kFormat = Format::QM_FUZZ_FORMAT;
  DecodeRequest request;
  request.memory_limit = kMemoryLimit;
  request.background = 0x00204080;
  if (size % 3 == 1) request.fit = Size{64, 48};
  if (size % 3 == 2) request.fit = Size{7, 300};
  try {
    const Decoded d = Decode(kFormat, bytes, request);
    if (d.pixels.Format() != qm::PixelFormat::pf24bit || d.pixels.Width() > d.full_size.width ||
        d.pixels.Height() > d.full_size.height || d.metadata.orientation < 1 ||
        d.metadata.orientation > 8)
      std::abort();
  } catch (const PictureError&) {
  }
  if constexpr (kFormat == Format::kJpeg) {
    try {
      (void)TurnJpegLosslessly(bytes, 1 + static_cast<int>(size % 8), kMemoryLimit);
    } catch (const PictureError&) {
    }
  }
  return 0;
}
