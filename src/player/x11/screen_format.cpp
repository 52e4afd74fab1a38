#include "player/x11/screen_format.h"

#include <bit>
#include <cstring>

namespace qm {

namespace {

// Places an 8-bit channel into a mask of any width and position: its top bits survive.
uint32_t Place(uint32_t channel, uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::popcount(mask);
  const uint32_t value = bits >= 8 ? channel << (bits - 8) : channel >> (8 - bits);
  return (value << shift) & mask;
}

bool Contiguous(uint32_t mask) {
  return mask != 0 && std::has_single_bit((mask >> std::countr_zero(mask)) + 1);
}

}  // namespace

std::size_t ScreenFormat::RowBytes(int width) const {
  const std::size_t pad = scanlinePad >= 8 ? static_cast<std::size_t>(scanlinePad) : 8;
  const std::size_t bits = static_cast<std::size_t>(width) * static_cast<std::size_t>(bitsPerPixel);
  return (bits + pad - 1) / pad * pad / 8;
}

bool ScreenFormat::Native() const {
  return bitsPerPixel == 32 && !msbFirst && redMask == 0xFF0000 && greenMask == 0xFF00 &&
         blueMask == 0xFF;
}

bool Drawable(bool trueColor, const ScreenFormat& format, std::string* why) {
  const bool sizeOk = (format.depth == 16 && format.bitsPerPixel == 16) ||
                      ((format.depth == 24 || format.depth == 32) &&
                       (format.bitsPerPixel == 24 || format.bitsPerPixel == 32));
  const bool masksOk = Contiguous(format.redMask) && Contiguous(format.greenMask) &&
                       Contiguous(format.blueMask) && (format.redMask & format.greenMask) == 0 &&
                       (format.redMask & format.blueMask) == 0 &&
                       (format.greenMask & format.blueMask) == 0;
  if (trueColor && sizeOk && masksOk) return true;
  if (why != nullptr) {
    *why = "Die Farbtiefe des Bildschirms (" + std::to_string(format.depth) + " Bit" +
           (trueColor ? "" : ", keine Echtfarben") +
           ") wird nicht unterstützt. Die Präsentation braucht einen Bildschirm mit 16, 24 "
           "oder 32 Bit Farbtiefe.";
  }
  return false;
}

void ConvertRow(const uint8_t* from, int count, uint8_t* to, const ScreenFormat& format) {
  if (format.Native()) {
    std::memcpy(to, from, static_cast<std::size_t>(count) * 4);
    return;
  }
  const int bytes = format.bitsPerPixel / 8;
  for (int i = 0; i < count; ++i, from += 4, to += bytes) {
    const uint32_t pixel = Place(from[2], format.redMask) | Place(from[1], format.greenMask) |
                           Place(from[0], format.blueMask);
    for (int b = 0; b < bytes; ++b) {
      const int shift = 8 * (format.msbFirst ? bytes - 1 - b : b);
      to[b] = static_cast<uint8_t>(pixel >> shift);
    }
  }
}

}  // namespace qm
