// The fade's row kernel: mixing a row of 32-bit pixels with another by a percentage, with the
// implementation chosen once for the processor it runs on (AVX2, SSSE3, SSE2, or portable C++).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/cpu_dispatch.h"

namespace qm::blend {

// Mixes `count` 32-bit pixels (4 bytes each: blue, green, red, fourth byte) of `base` with those
// of `source` into `dest`: each of blue, green and red becomes
// ((100 - percent) * base + percent * source) div 100, which never exceeds 255; the fourth byte
// is base's. `percent` is 0..100. `dest` may be `base` itself (mixing in place), or a row apart
// from both, so that a frame is mixed from the old contents without copying them first.
void BlendRow(uint8_t* dest, const uint8_t* base, const uint8_t* source, std::size_t count,
              int32_t percent);

// The implementations, fastest first, the portable one (the rule written out byte by byte)
// last: BlendRow runs the first this processor supports, and tests hold every supported one
// against the rule.
using TBlendFn = void (*)(uint8_t* dest, const uint8_t* base, const uint8_t* source,
                          std::size_t count, int32_t percent);
std::span<const KernelRow<TBlendFn>> BlendRows();

}  // namespace qm::blend
