// The pieces of PNG encoding that the PNG writer and the animated PNG writer share: where the
// bytes go, chunks, rows as red, green, blue bytes, the choice of row filter, and image data
// deflated as its rows come, so that neither writer holds more than a few rows of it.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/bitmap.h"

namespace qm {

// Where an encoder's bytes go. Write raises when they cannot be taken.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Write(const uint8_t* data, std::size_t size) = 0;
};

// The eight bytes that begin every PNG file.
void WritePngSignature(ByteSink& out);

// One chunk: length, four-character name, data, checksum.
void WriteChunk(ByteSink& out, const char* name, const uint8_t* data, std::size_t size);

// The IHDR chunk of a picture of 8-bit red, green, blue samples, not interlaced.
void WriteRgbHeader(ByteSink& out, int width, int height);

// The checksum that ends a chunk: CRC-32 over its four-character name and its data.
uint32_t ChunkCrc(const char* name, const uint8_t* data, std::size_t size);

// Row y of the bitmap as red, green, blue bytes. Palette bitmaps go through their palette
// (indices beyond it as black), 32-bit bitmaps without their fourth byte.
void RowToRgb(const TBitmap& bitmap, int y, uint8_t* rgb);

// Filters the `n` bytes of an RGB row against the row above it (`prev`, zeros for the first
// row) with each of the five filters and writes the filter type and the filtered bytes of the
// one whose bytes, taken as signed, have the smallest sum of magnitudes to `out` (n + 1 bytes).
// `trial` is scratch space of n + 1 bytes.
void FilterRow(const uint8_t* row, const uint8_t* prev, std::size_t n, uint8_t* out,
               std::vector<uint8_t>& trial);

// The image data of one picture, or of one animation frame, written as its rows come: each row
// is filtered against the row before it, deflated in one stream, and the stream goes out in
// chunks of at most 64 KiB: IDAT chunks, or, given `sequence`, fdAT chunks that each begin with
// the next sequence number (which is advanced).
class DeflatedImageData {
 public:
  DeflatedImageData(ByteSink& out, std::size_t row_bytes, uint32_t* sequence = nullptr);
  ~DeflatedImageData();
  DeflatedImageData(const DeflatedImageData&) = delete;
  DeflatedImageData& operator=(const DeflatedImageData&) = delete;

  // The next row: `row_bytes` bytes of red, green, blue.
  void AddRow(const uint8_t* rgb);
  // Ends the stream and writes what is left of it.
  void Finish();

 private:
  void Deflate(const uint8_t* data, std::size_t size, int flush);
  void WriteOut();

  ByteSink& out_;
  uint32_t* sequence_;
  std::size_t prefix_;  // bytes before the deflated data in a chunk: 4 for fdAT
  z_stream z_{};
  std::vector<uint8_t> previous_, filtered_, trial_, chunk_;
  std::size_t used_ = 0;  // deflated bytes in chunk_ after the prefix
};

}  // namespace qm
