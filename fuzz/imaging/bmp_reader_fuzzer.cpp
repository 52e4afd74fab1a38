// Fuzzes the bitmap reader. Every failure must be one of the system's exceptions.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/imaging/fuzz_limits.h"
#include "imaging/bmp_reader.h"
#include "platform/exception.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  qm::fuzz::UseFuzzDecodeBudget();
  try {
    qm::TBitmap bitmap = qm::DecodeBitmap(std::span<const uint8_t>(data, size));
  } catch (const qm::Exception&) {
  }
  return 0;
}
