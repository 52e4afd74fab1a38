// Fuzzes the PNG decoder: load, then conversion to a bitmap. Every failure must be one of the
// system's exceptions; anything else (a crash, a sanitizer report, std::bad_alloc) is a finding.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/imaging/fuzz_limits.h"
#include "imaging/png_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  qm::fuzz::UseFuzzDecodeBudget();
  try {
    qm::TPNGObject png;
    png.LoadFromBytes(std::span<const uint8_t>(data, size));
    qm::TBitmap bitmap;
    png.AssignTo(bitmap);
  } catch (const qm::Exception&) {
  }
  return 0;
}
