// BMP files built byte by byte, so that tests can give any header field any value.
#pragma once

#include <cstdint>

#include "tests/support/test_files.h"

namespace qm::test {

// A BMP file: the 14-byte file header (pixel data offset `bits_offset`, or where the data
// starts when 0), then `header`, `extra` (bit-field masks or a colour table) and `pixels`.
Bytes AssembleBmp(const Bytes& header, const Bytes& extra, const Bytes& pixels,
                  uint32_t bits_offset = 0);
// An info header of `size` bytes (cut short below 40), zeros beyond the fields given.
Bytes BmpInfoHeader(uint32_t size, int32_t width, int32_t height, uint16_t bits,
                    uint32_t compression = 0, uint32_t image_size = 0, uint32_t colors_used = 0);
// A 24-bit BMP file of one colour (r, g, b), bottom-up.
Bytes SolidBmp(int width, int height, uint8_t r = 0x80, uint8_t g = 0x80, uint8_t b = 0x80);

}  // namespace qm::test
