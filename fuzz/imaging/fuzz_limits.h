// Keeps the fuzz targets within the fuzzer's memory limit: pictures whose headers ask for more
// than kMaxPixels are skipped before decoding (a valid file may ask for gigabytes; that path is
// covered by the unit tests).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/byte_order.h"

namespace qm::fuzz {

inline constexpr uint64_t kMaxPixels = uint64_t{1} << 22;

}  // namespace qm::fuzz
