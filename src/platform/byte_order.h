// Loads and stores of 16- and 32-bit unsigned values in a fixed byte order, for file formats:
// PNG keeps its numbers big-endian, BMP and the gallery payload little-endian. The pointers need
// no alignment and the host's own byte order does not matter.
#pragma once

#include <cstdint>
#include <vector>

namespace qm {

inline uint16_t LoadBigEndian16(const uint8_t* p) {
  return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
inline uint32_t LoadBigEndian32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
inline uint16_t LoadLittleEndian16(const uint8_t* p) {
  return static_cast<uint16_t>((p[1] << 8) | p[0]);
}
inline uint32_t LoadLittleEndian32(const uint8_t* p) {
  return (uint32_t{p[3]} << 24) | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}

inline void StoreBigEndian32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}
inline void StoreLittleEndian32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Appends the four bytes of v, most significant first.
inline void AppendBigEndian32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

}  // namespace qm
