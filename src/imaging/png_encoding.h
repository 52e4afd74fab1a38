// The pieces of PNG encoding that the PNG writer and the animated PNG writer share: big-endian
// fields, chunk checksums, rows as red, green, blue bytes, and the choice of row filter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/bitmap.h"

namespace qm {

void PutBigEndian32(std::vector<uint8_t>& out, uint32_t v);

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

}  // namespace qm
