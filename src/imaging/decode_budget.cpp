#include "imaging/decode_budget.h"

#include <algorithm>
#include <atomic>

#include "platform/exception.h"
#include "platform/messages.h"
#include "platform/native_files.h"

namespace qm {

namespace {

std::atomic<uint64_t> g_budgetForTesting{0};

uint64_t DivideRoundingUp(uint64_t a, uint64_t b) {
  return (a + b - 1) / b;
}

}  // namespace

uint64_t DecodeBudgetFor(uint64_t physicalBytes) {
  // When the system does not say, the ceiling.
  if (physicalBytes == 0) return kDecodeBudgetCeiling;
  return std::min(physicalBytes / 4, kDecodeBudgetCeiling);
}

uint64_t DecodeBudget() {
  if (const uint64_t forTesting = g_budgetForTesting.load()) return forTesting;
  static const uint64_t budget = DecodeBudgetFor(PhysicalMemoryBytes());
  return budget;
}

void SetDecodeBudgetForTesting(uint64_t bytes) {
  g_budgetForTesting = bytes;
}

void CheckDecodeBudget(uint64_t bytes) {
  if (bytes > DecodeBudget()) throw EOutOfMemory(msg::kOutOfMemory);
}

// Widths and heights come from 32-bit header fields, so none of these products overflows.
uint64_t BitmapBytes(uint64_t width, uint64_t height, int bitsPerPixel) {
  return DivideRoundingUp(width * static_cast<uint64_t>(bitsPerPixel), 32) * 4 * height;
}

uint64_t BmpDecodeBytes(uint64_t width, uint64_t height, int fileBitsPerPixel) {
  return BitmapBytes(width, height, fileBitsPerPixel == 16 ? 24 : fileBitsPerPixel);
}

uint64_t PngDecodeBytes(uint64_t width, uint64_t height, int bufferBitsPerPixel, int colorType) {
  const uint64_t alpha = colorType == 4 || colorType == 6 ? width * height : 0;
  return BitmapBytes(width, height, bufferBitsPerPixel) + alpha;
}

uint64_t JpegDecodeBytes(uint64_t width, uint64_t height, bool quantised, bool multiScan,
                         std::span<const JpegSampling> components) {
  uint64_t bytes = BitmapBytes(width, height, quantised ? 8 : 24);
  if (quantised && components.size() >= 3) bytes += width * height * 3;
  if (multiScan) {
    int maxH = 1, maxV = 1;
    for (const JpegSampling& c : components) {
      maxH = std::max(maxH, c.h);
      maxV = std::max(maxV, c.v);
    }
    // Each component's 8 x 8 blocks of 64 two-byte coefficients, in whole sampling units.
    for (const JpegSampling& c : components) {
      const uint64_t h = static_cast<uint64_t>(std::max(c.h, 1));
      const uint64_t v = static_cast<uint64_t>(std::max(c.v, 1));
      const uint64_t across = DivideRoundingUp(width * h, 8 * static_cast<uint64_t>(maxH));
      const uint64_t down = DivideRoundingUp(height * v, 8 * static_cast<uint64_t>(maxV));
      bytes += DivideRoundingUp(across, h) * h * DivideRoundingUp(down, v) * v * 128;
    }
  }
  return bytes;
}

}  // namespace qm
