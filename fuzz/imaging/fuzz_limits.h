// Keeps the fuzz targets within the fuzzer's memory limit: pictures whose headers ask for more
// than kMaxPixels are skipped before decoding (a valid file may ask for gigabytes; that path is
// covered by the unit tests).
#pragma once

#include <cstddef>
#include <cstdint>

namespace qm::fuzz {

inline constexpr uint64_t kMaxPixels = uint64_t{1} << 22;

inline uint32_t Big32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
inline uint32_t Little32(const uint8_t* p) {
  return (uint32_t{p[3]} << 24) | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}

}  // namespace qm::fuzz
