#include "imaging/picture_size.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "imaging/decode_budget.h"
#include "imaging/png_image.h"
#include "imaging/slide_loader.h"
#include "platform/byte_order.h"

namespace qm {

namespace {

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

bool ReadExactly(FILE* f, uint8_t* out, std::size_t count) {
  return std::fread(out, 1, count, f) == count;
}

std::optional<PictureSize> PngSize(FILE* f) {
  // Signature, then the header chunk's length, name and first 13 data bytes.
  uint8_t h[8 + 8 + 13];
  if (!ReadExactly(f, h, sizeof h) || h[12] != 'I' || h[13] != 'H' || h[14] != 'D' || h[15] != 'R')
    return std::nullopt;
  const uint64_t width = LoadBigEndian32(h + 16), height = LoadBigEndian32(h + 20);
  const int bits = PngBufferBitsPerPixel(h[25], h[24]);
  if (bits == 0 || width == 0 || height == 0 || width > 65535 || height > 65535)
    return std::nullopt;
  return PictureSize{width, height, PngDecodeBytes(width, height, bits, h[25])};
}

std::optional<PictureSize> BmpSize(FILE* f) {
  uint8_t h[14 + 16];
  if (!ReadExactly(f, h, sizeof h) || h[0] != 'B' || h[1] != 'M') return std::nullopt;
  const uint32_t header_size = LoadLittleEndian32(h + 14);
  int64_t width, height;
  int bits;
  if (header_size == 12) {
    width = LoadLittleEndian16(h + 18);
    height = LoadLittleEndian16(h + 20);
    bits = LoadLittleEndian16(h + 24);
  } else {
    width = static_cast<int32_t>(LoadLittleEndian32(h + 18));
    height = static_cast<int32_t>(LoadLittleEndian32(h + 22));
    bits = LoadLittleEndian16(h + 28);
  }
  if (height < 0) height = -height;
  if (width <= 0 || height <= 0) return std::nullopt;
  const auto w = static_cast<uint64_t>(width), hh = static_cast<uint64_t>(height);
  return PictureSize{w, hh, BmpDecodeBytes(w, hh, bits)};
}

// Walks the markers up to the frame header, skipping the segments before it.
std::optional<PictureSize> JpegSize(FILE* f) {
  uint8_t m[4];
  if (!ReadExactly(f, m, 2) || m[0] != 0xFF || m[1] != 0xD8) return std::nullopt;
  for (;;) {
    int c = std::fgetc(f);
    if (c != 0xFF) return std::nullopt;
    do c = std::fgetc(f);
    while (c == 0xFF);  // fill bytes
    if (c == EOF) return std::nullopt;
    const auto marker = static_cast<uint8_t>(c);
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length
    if (!ReadExactly(f, m, 2)) return std::nullopt;
    const unsigned length = (unsigned{m[0]} << 8) | m[1];
    if (length < 2) return std::nullopt;
    const bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (!frame) {
      if (marker == 0xDA || marker == 0xD9 || std::fseek(f, length - 2, SEEK_CUR) != 0)
        return std::nullopt;
      continue;
    }
    std::vector<uint8_t> s(length - 2);
    if (s.size() < 6 || !ReadExactly(f, s.data(), s.size())) return std::nullopt;
    const uint64_t height = (uint64_t{s[1]} << 8) | s[2], width = (uint64_t{s[3]} << 8) | s[4];
    const std::size_t count = s[5];
    if (width == 0 || height == 0 || count == 0 || s.size() < 6 + 3 * count) return std::nullopt;
    std::vector<JpegSampling> sampling;
    for (std::size_t i = 0; i < count; ++i) {
      const uint8_t factors = s[6 + 3 * i + 1];
      sampling.push_back({factors >> 4, factors & 15});
    }
    // Progressive frames (and only those, in practice) keep all coefficients between scans;
    // one component is shown as 236 grey levels.
    const bool progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
    return PictureSize{width, height,
                       JpegDecodeBytes(width, height, count == 1, progressive, sampling)};
  }
}

}  // namespace

std::optional<PictureSize> ReadPictureSize(const std::string& path) {
  const TSlideDecoder decoder = SlideDecoderFor(path);
  if (decoder == TSlideDecoder::sdNone) return std::nullopt;
  const File f(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!f) return std::nullopt;
  switch (decoder) {
    case TSlideDecoder::sdJPEG:
      return JpegSize(f.get());
    case TSlideDecoder::sdPNG:
      return PngSize(f.get());
    case TSlideDecoder::sdBMP:
      return BmpSize(f.get());
    case TSlideDecoder::sdNone:
      break;
  }
  return std::nullopt;
}

}  // namespace qm
