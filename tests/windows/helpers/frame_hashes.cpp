// Writes one line per transition style to the file named by its argument: the style number and
// a CRC-32 over every frame of a whole forward transition between two test pictures. Built for
// Linux and for Windows; the test runs both and compares, so any difference in the arithmetic
// of the two builds (the size of long, the extended precision of the angles) shows.
#include <zlib.h>

#include <cstdint>
#include <cstdio>

#include "effects/effect_table.h"
#include "picshow/render.h"
#include "platform/bitmap.h"

namespace {

// A picture with structure everywhere: gradients in two directions and a checker of squares,
// so that every effect's edges move pixels that differ.
qm::TBitmap Pattern(int width, int height, int seed) {
  qm::TBitmap picture(width, height, qm::PixelFormat::pf32bit);
  for (int y = 0; y < height; ++y) {
    uint8_t* p = picture.ScanLine(y);
    for (int x = 0; x < width; ++x, p += 4) {
      const bool square = ((x / 7) + (y / 5) + seed) % 2 == 0;
      p[0] = static_cast<uint8_t>(x * 255 / width ^ (square ? 0x55 : 0));
      p[1] = static_cast<uint8_t>(y * 255 / height + seed * 40);
      p[2] = static_cast<uint8_t>((x + y) * 3 + seed * 90);
      p[3] = 0;
    }
  }
  return picture;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: frame_hashes OUTPUT\n");
    return 2;
  }
  // Binary mode: the lines end in "\n" on Windows too.
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) return 1;
  const qm::TBitmap from = Pattern(113, 71, 0), to = Pattern(113, 71, 1);
  for (int style = 1; style <= qm::kEffectCount; ++style) {
    qm::RenderSettings settings;
    settings.style = style;
    settings.step = 4;
    uLong crc = crc32(0, nullptr, 0);
    qm::RenderTransition(from, to, settings, [&](int progress, const qm::TBitmap& frame) {
      const auto p = static_cast<uint8_t>(progress);
      crc = crc32(crc, &p, 1);
      for (int y = 0; y < frame.Height(); ++y)
        crc = crc32(crc, frame.ScanLine(y), static_cast<uInt>(frame.Width()) * 4);
    });
    std::fprintf(out, "%d %08lx\n", style, static_cast<unsigned long>(crc));
  }
  return std::fclose(out) == 0 ? 0 : 1;
}
