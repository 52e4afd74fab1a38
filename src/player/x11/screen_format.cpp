#include "player/x11/screen_format.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
  const std::size_t pad = scanline_pad >= 8 ? static_cast<std::size_t>(scanline_pad) : 8;
  const std::size_t bits =
      static_cast<std::size_t>(width) * static_cast<std::size_t>(bits_per_pixel);
  return (bits + pad - 1) / pad * pad / 8;
}

bool ScreenFormat::Native() const {
  return bits_per_pixel == 32 && !msb_first && red_mask == 0xFF0000 && green_mask == 0xFF00 &&
         blue_mask == 0xFF;
}

bool Drawable(bool true_color, const ScreenFormat& format, std::string* why) {
  const bool size_ok = (format.depth == 16 && format.bits_per_pixel == 16) ||
                       ((format.depth == 24 || format.depth == 32) &&
                        (format.bits_per_pixel == 24 || format.bits_per_pixel == 32));
  const bool masks_ok =
      Contiguous(format.red_mask) && Contiguous(format.green_mask) &&
      Contiguous(format.blue_mask) && (format.red_mask & format.green_mask) == 0 &&
      (format.red_mask & format.blue_mask) == 0 && (format.green_mask & format.blue_mask) == 0;
  if (true_color && size_ok && masks_ok) return true;
  if (why != nullptr) {
    *why = "Die Farbtiefe des Bildschirms (" + std::to_string(format.depth) + " Bit" +
           (true_color ? "" : ", keine Echtfarben") +
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
  const int bytes = format.bits_per_pixel / 8;
  for (int i = 0; i < count; ++i, from += 4, to += bytes) {
    const uint32_t pixel = Place(from[2], format.red_mask) | Place(from[1], format.green_mask) |
                           Place(from[0], format.blue_mask);
    for (int b = 0; b < bytes; ++b) {
      const int shift = 8 * (format.msb_first ? bytes - 1 - b : b);
      to[b] = static_cast<uint8_t>(pixel >> shift);
    }
  }
}

void ConvertRowUncached(const uint8_t* from, int count, uint8_t* to, const ScreenFormat& format) {
#if defined(__SSE2__)
  if (format.Native() && count > 0) {
    std::size_t n = static_cast<std::size_t>(count) * 4;
    // Streaming stores write 16 aligned bytes; the bytes before the first such block and after
    // the last are copied plainly.
    const std::size_t head =
        std::min(n, (16 - (reinterpret_cast<std::uintptr_t>(to) & 15)) & std::size_t{15});
    std::memcpy(to, from, head);
    from += head, to += head, n -= head;
    for (; n >= 64; n -= 64, from += 64, to += 64) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 16));
      const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 32));
      const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 48));
      _mm_stream_si128(reinterpret_cast<__m128i*>(to), a);
      _mm_stream_si128(reinterpret_cast<__m128i*>(to + 16), b);
      _mm_stream_si128(reinterpret_cast<__m128i*>(to + 32), c);
      _mm_stream_si128(reinterpret_cast<__m128i*>(to + 48), d);
    }
    for (; n >= 16; n -= 16, from += 16, to += 16)
      _mm_stream_si128(reinterpret_cast<__m128i*>(to),
                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(from)));
    std::memcpy(to, from, n);
    return;
  }
#endif
  ConvertRow(from, count, to, format);
}

void FinishUncachedRows() {
#if defined(__SSE2__)
  _mm_sfence();
#endif
}

}  // namespace qm
