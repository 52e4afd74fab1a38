// Fuzzes the readers of what photos say about themselves: the JPEG segment walk with its EXIF
// and XMP parts, the EXIF block itself, the XMP description and the PNG chunk walk. None may
// read outside the input; the orientation must come out 1..8 whatever the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "photos/metadata.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace qm::photos;
  const ByteSpan bytes(data, size);
  const JpegLayout layout = ReadJpegLayout(bytes);
  const Metadata from_jpeg = JpegMetadata(layout);
  Metadata from_exif;
  ReadExif(bytes, from_exif);
  ReadExif(PngExif(bytes), from_exif);
  XmpDescription(std::string_view(reinterpret_cast<const char*>(data), size));
  for (const Metadata& m : {from_jpeg, from_exif})
    if (m.orientation < 1 || m.orientation > 8) std::abort();
  return 0;
}
