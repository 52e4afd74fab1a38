// The pixel format of an X screen's TrueColor visual and the conversion of the player's 32-bit
// pixels (blue, green, red, unused) into it: 32 or 24 bits per pixel for depths 24 and 32, 16
// bits for depth 16 (5-6-5 or 5-5-5), in the server's byte order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qm {

struct ScreenFormat {
  int depth = 0;
  int bits_per_pixel = 0;  // 16, 24 or 32
  int scanline_pad = 32;   // bits each row is padded to
  uint32_t red_mask = 0, green_mask = 0, blue_mask = 0;
  bool msb_first = false;  // the server's image byte order

  // Bytes of one row of `width` pixels, padded as the server expects.
  std::size_t RowBytes(int width) const;
  // True when the player's pixels are already the server's (32 bits, blue in the low byte,
  // least significant byte first): frames are copied unchanged.
  bool Native() const;
};

// Whether the player draws on a visual of this class, depth, pixel size and masks; when not,
// `why` gets the reason for the user.
bool Drawable(bool true_color, const ScreenFormat& format, std::string* why);

// Converts `count` pixels of 32 bits (blue, green, red, unused) at `from` into the server's
// format at `to`. Each channel keeps its top bits.
void ConvertRow(const uint8_t* from, int count, uint8_t* to, const ScreenFormat& format);

// ConvertRow into memory that the X server reads next and the player does not (the shared
// image): pixels already in the server's format are stored past the processor's caches, which a
// frame of tens of megabytes would only flush, and without reading the target first. Before the
// server is told to read, the thread that converted calls FinishUncachedRows.
void ConvertRowUncached(const uint8_t* from, int count, uint8_t* to, const ScreenFormat& format);
// Makes the rows this thread converted with ConvertRowUncached visible to other processors.
void FinishUncachedRows();

}  // namespace qm
