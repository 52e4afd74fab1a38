#include "imaging/decode_budget.h"

#include <algorithm>
#include <atomic>

#include "platform/exception.h"
#include "platform/messages.h"
#include "platform/native_files.h"

namespace qm {

namespace {

std::atomic<uint64_t> g_budget_for_testing{0};

uint64_t DivideRoundingUp(uint64_t a, uint64_t b) {
  return (a + b - 1) / b;
}

}  // namespace

uint64_t DecodeBudgetFor(uint64_t physical_bytes) {
  // When the system does not say, the ceiling.
  if (physical_bytes == 0) return kDecodeBudgetCeiling;
  return std::min(physical_bytes / 4, kDecodeBudgetCeiling);
}

uint64_t DecodeBudget() {
  if (const uint64_t for_testing = g_budget_for_testing.load()) return for_testing;
  static const uint64_t budget = DecodeBudgetFor(PhysicalMemoryBytes());
  return budget;
}

void SetDecodeBudgetForTesting(uint64_t bytes) {
  g_budget_for_testing = bytes;
}

void CheckDecodeBudget(uint64_t bytes) {
  if (bytes > DecodeBudget()) throw EOutOfMemory(msg::kOutOfMemory);
}

// Widths and heights come from 32-bit header fields, so none of these products overflows.
uint64_t BitmapBytes(uint64_t width, uint64_t height, int bits_per_pixel) {
  return DivideRoundingUp(width * static_cast<uint64_t>(bits_per_pixel), 32) * 4 * height;
}

uint64_t BmpDecodeBytes(uint64_t width, uint64_t height, int file_bits_per_pixel) {
  return BitmapBytes(width, height, file_bits_per_pixel == 16 ? 24 : file_bits_per_pixel);
}

uint64_t PngDecodeBytes(uint64_t width, uint64_t height, int buffer_bits_per_pixel,
                        int color_type) {
  const uint64_t alpha = color_type == 4 || color_type == 6 ? width * height : 0;
  return BitmapBytes(width, height, buffer_bits_per_pixel) + alpha;
}

uint64_t JpegDecodeBytes(uint64_t width, uint64_t height, bool quantised, bool multi_scan,
                         std::span<const JpegSampling> components) {
  uint64_t bytes = BitmapBytes(width, height, quantised ? 8 : 24);
  if (quantised && components.size() >= 3) bytes += width * height * 3;
  if (multi_scan) {
    int max_h = 1, max_v = 1;
    for (const JpegSampling& c : components) {
      max_h = std::max(max_h, c.h);
      max_v = std::max(max_v, c.v);
    }
    // Each component's 8 x 8 blocks of 64 two-byte coefficients, in whole sampling units.
    for (const JpegSampling& c : components) {
      const uint64_t h = static_cast<uint64_t>(std::max(c.h, 1));
      const uint64_t v = static_cast<uint64_t>(std::max(c.v, 1));
      const uint64_t across = DivideRoundingUp(width * h, 8 * static_cast<uint64_t>(max_h));
      const uint64_t down = DivideRoundingUp(height * v, 8 * static_cast<uint64_t>(max_v));
      bytes += DivideRoundingUp(across, h) * h * DivideRoundingUp(down, v) * v * 128;
    }
  }
  return bytes;
}

}  // namespace qm
