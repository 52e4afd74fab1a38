// Fuzzes the bitmap reader. Every failure must be one of the system's exceptions.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "fuzz/imaging/fuzz_limits.h"
#include "imaging/bmp_reader.h"
#include "platform/exception.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size >= 26) {
    const bool core = qm::LoadLittleEndian32(data + 14) == 12;
    const int64_t width = core ? qm::LoadLittleEndian16(data + 18)
                               : static_cast<int32_t>(qm::LoadLittleEndian32(data + 18));
    const int64_t height = core ? qm::LoadLittleEndian16(data + 20)
                                : static_cast<int32_t>(qm::LoadLittleEndian32(data + 22));
    if (static_cast<uint64_t>(std::llabs(width)) * static_cast<uint64_t>(std::llabs(height)) >
        qm::fuzz::kMaxPixels)
      return -1;
  }
  try {
    qm::TBitmap bitmap = qm::DecodeBitmap(std::span<const uint8_t>(data, size));
  } catch (const qm::Exception&) {
  }
  return 0;
}
