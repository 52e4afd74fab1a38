// Fuzzes the JPEG path: load (header), then decoding into a bitmap. The input's size picks the
// settings, so that the quantised 8-bit, greyscale and fast paths are fuzzed as well without
// changing the bytes the library sees. Every failure must be one of the system's exceptions.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/imaging/fuzz_limits.h"
#include "imaging/jpeg_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  qm::fuzz::UseFuzzDecodeBudget();
  try {
    qm::TJPEGImage jpeg;
    jpeg.LoadFromBytes(std::vector<uint8_t>(data, data + size));
    switch (size % 4) {
      case 1:
        jpeg.Settings.PixelFormat = qm::TJPEGPixelFormat::jf8Bit;
        break;
      case 2:
        jpeg.Settings.Grayscale = true;
        jpeg.Settings.Performance = qm::TJPEGPerformance::jpBestSpeed;
        break;
      case 3:
        jpeg.Settings.Scale = qm::TJPEGScale::jsQuarter;
        jpeg.Settings.Smoothing = false;
        break;
    }
    jpeg.Bitmap();
  } catch (const qm::Exception&) {
  }
  return 0;
}
