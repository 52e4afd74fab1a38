// Access to 1-, 2-, 4- and 8-bit samples packed into a row, the leftmost in the high bits.
#pragma once

#include <cstdint>

namespace qm {

inline void PutPackedSample(uint8_t* row, uint32_t x, int bits, unsigned value) {
  if (bits == 8) {
    row[x] = static_cast<uint8_t>(value);
    return;
  }
  const uint32_t per_byte = 8 / bits;
  const unsigned shift = (per_byte - 1 - x % per_byte) * bits;
  const unsigned mask = ((1u << bits) - 1) << shift;
  uint8_t& b = row[x / per_byte];
  b = static_cast<uint8_t>((b & ~mask) | ((value << shift) & mask));
}

inline unsigned GetPackedSample(const uint8_t* row, uint32_t x, int bits) {
  if (bits == 8) return row[x];
  const uint32_t per_byte = 8 / bits;
  const unsigned shift = (per_byte - 1 - x % per_byte) * bits;
  return (row[x / per_byte] >> shift) & ((1u << bits) - 1);
}

}  // namespace qm
