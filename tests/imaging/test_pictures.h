// Builders for the decoder tests: PNG files of any colour type, bit depth, filter, interlacing,
// chunk order and damage; JPEG files through the JPEG library's compressor.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "tests/support/bmp_files.h"
#include "tests/support/test_files.h"

namespace qm::test {

// ---- PNG ----

struct PngChunk {
  std::string name;
  Bytes data;
  bool bad_crc = false;  // write a wrong checksum
};

// The samples of an image: width * height pixels of `channels` samples each, row by row.
struct PngImage {
  uint32_t width = 0, height = 0;
  int color_type = 2, bit_depth = 8, interlace = 0;
  std::vector<uint16_t> samples;
  // Filter type of every row; kCycleFilters takes 0, 1, 2, 3, 4 in turn, kAdaptiveFilter the
  // one with the smallest sum of magnitudes (as common encoders do). Types above 4 are written
  // as given with the row unfiltered.
  static constexpr int kCycleFilters = -1, kAdaptiveFilter = -2;
  int filter = kCycleFilters;

  int Channels() const;
  uint16_t& At(uint32_t x, uint32_t y, int channel) {
    return samples[(static_cast<std::size_t>(y) * width + x) * Channels() + channel];
  }
  // The filtered rows, with their filter-type bytes, pass by pass when interlaced.
  Bytes FilteredData() const;
  Bytes Compressed() const;
};

// Fills an image with pseudo-random samples (a fixed sequence per seed).
PngImage RandomPngImage(uint32_t width, uint32_t height, int color_type, int bit_depth,
                        uint32_t seed);

PngChunk IhdrChunk(uint32_t width, uint32_t height, int bit_depth, int color_type,
                   int interlace = 0, int compression = 0, int filter = 0);
PngChunk IhdrChunk(const PngImage& image);
// The compressed data cut into `parts` IDAT chunks of about equal size.
std::vector<PngChunk> IdatChunks(const Bytes& compressed, int parts = 1);
// Signature (unless `signature` is false) and the chunks.
Bytes AssemblePng(const std::vector<PngChunk>& chunks, bool signature = true);
// IHDR, PLTE when given, the image data in one IDAT chunk, IEND.
Bytes MakePng(const PngImage& image, const Bytes& palette = {});

Bytes BigEndian32(uint32_t v);

// ---- JPEG ----

enum class JpegKind { kBaseline, kProgressive, kGrey, kCmykAdobe, kCmykPlain, kYcck };
// Compresses width x height pixels (red, green, blue per pixel; for CMYK kinds four samples
// per pixel, stored as given) at quality 90.
Bytes EncodeJpeg(const Bytes& samples, int width, int height, JpegKind kind);
// Decodes with the JPEG library straight to red, green, blue (or grey) samples: the reference.
Bytes ReferenceJpegDecode(const Bytes& jpeg, int* width, int* height, bool grey);

// ---- bitmaps ----

// Red, green, blue of every pixel, row 0 first; palette bitmaps through their palette.
Bytes BitmapRgb(const TBitmap& bitmap);
// Colourful smooth test content with some noise, width * height * 3 bytes.
Bytes PhotoLikeRgb(int width, int height, uint32_t seed);

}  // namespace qm::test
