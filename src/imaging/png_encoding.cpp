#include "imaging/png_encoding.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>

#include "imaging/packed_pixels.h"

namespace qm {

void PutBigEndian32(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 24));
  out.push_back(static_cast<uint8_t>(v >> 16));
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

void RowToRgb(const TBitmap& bitmap, int y, uint8_t* rgb) {
  const uint8_t* src = bitmap.ScanLine(y);
  const int width = bitmap.Width(), bits = bitmap.BitsPerPixel();
  const auto& palette = bitmap.Palette();
  for (int x = 0; x < width; ++x, rgb += 3) {
    if (bits <= 8) {
      const unsigned index = GetPackedSample(src, static_cast<uint32_t>(x), bits);
      const TRGBQuad c = index < palette.size() ? palette[index] : TRGBQuad{};
      rgb[0] = c.rgbRed;
      rgb[1] = c.rgbGreen;
      rgb[2] = c.rgbBlue;
    } else {
      const uint8_t* p = src + static_cast<std::size_t>(x) * (bits / 8);
      rgb[0] = p[2];
      rgb[1] = p[1];
      rgb[2] = p[0];
    }
  }
}

namespace {

uint8_t PaethPredict(int a, int b, int c) {
  const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
  if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
  return static_cast<uint8_t>(pb <= pc ? b : c);
}

}  // namespace

void FilterRow(const uint8_t* row, const uint8_t* prev, std::size_t n, uint8_t* out,
               std::vector<uint8_t>& trial) {
  uint64_t best_sum = UINT64_MAX;
  for (uint8_t type = 0; type <= 4; ++type) {
    trial[0] = type;
    uint64_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const int a = i >= 3 ? row[i - 3] : 0, b = prev[i], c = i >= 3 ? prev[i - 3] : 0;
      int predicted = 0;
      switch (type) {
        case 1:
          predicted = a;
          break;
        case 2:
          predicted = b;
          break;
        case 3:
          predicted = (a + b) >> 1;
          break;
        case 4:
          predicted = PaethPredict(a, b, c);
          break;
      }
      const uint8_t v = static_cast<uint8_t>(row[i] - predicted);
      trial[i + 1] = v;
      sum += v < 128 ? v : 256 - v;
    }
    if (sum < best_sum) {
      best_sum = sum;
      std::memcpy(out, trial.data(), n + 1);
    }
  }
}

uint32_t ChunkCrc(const char* name, const uint8_t* data, std::size_t size) {
  uLong crc = crc32_z(0L, reinterpret_cast<const Bytef*>(name), 4);
  if (size > 0) crc = crc32_z(crc, data, size);
  return static_cast<uint32_t>(crc);
}

}  // namespace qm
