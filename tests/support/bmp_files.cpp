#include "tests/support/bmp_files.h"

#include <algorithm>

namespace qm::test {

Bytes BmpInfoHeader(uint32_t size, int32_t width, int32_t height, uint16_t bits,
                    uint32_t compression, uint32_t image_size, uint32_t colors_used) {
  Bytes h(std::max<uint32_t>(size, 40), 0);
  PutLittleEndian32(h, 0, size);
  PutLittleEndian32(h, 4, static_cast<uint32_t>(width));
  PutLittleEndian32(h, 8, static_cast<uint32_t>(height));
  h[12] = 1;
  h[14] = static_cast<uint8_t>(bits);
  PutLittleEndian32(h, 16, compression);
  PutLittleEndian32(h, 20, image_size);
  PutLittleEndian32(h, 32, colors_used);
  h.resize(size);
  return h;
}

Bytes AssembleBmp(const Bytes& header, const Bytes& extra, const Bytes& pixels,
                  uint32_t bits_offset) {
  const uint32_t data_start = static_cast<uint32_t>(14 + header.size() + extra.size());
  // Sized once and filled in place: growing the 14-byte file header by inserts makes GCC 12
  // warn about a copy past its end at -O3.
  Bytes out(data_start + pixels.size(), 0);
  out[0] = 'B';
  out[1] = 'M';
  PutLittleEndian32(out, 2, static_cast<uint32_t>(data_start + pixels.size()));
  PutLittleEndian32(out, 10, bits_offset ? bits_offset : data_start);
  auto at = std::copy(header.begin(), header.end(), out.begin() + 14);
  at = std::copy(extra.begin(), extra.end(), at);
  std::copy(pixels.begin(), pixels.end(), at);
  return out;
}

Bytes SolidBmp(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
  const std::size_t row = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
  Bytes pixels(row * static_cast<std::size_t>(height), 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &pixels[static_cast<std::size_t>(y) * row + static_cast<std::size_t>(x) * 3];
      p[0] = b, p[1] = g, p[2] = r;
    }
  return AssembleBmp(BmpInfoHeader(40, width, height, 24), {}, pixels);
}

}  // namespace qm::test
