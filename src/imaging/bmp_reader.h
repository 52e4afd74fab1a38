// The bitmap file reader: BMP files with core and info headers of every version, 1-, 4- and
// 8-bit palettes, 16, 24 and 32 bits with or without bit fields, top-down rows, and RLE8 and RLE4
// run-length data.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/bitmap.h"

namespace qm {

// Reads a BMP file. Throws EFOpenError when the file cannot be opened, EInvalidGraphic
// ("Bitmap ist ungültig") for what is not a bitmap this reader takes, and EReadError
// ("Stream-Lesefehler") when the headers or colour table are cut short. Image data cut short
// leaves the rows it does not reach zero. An empty file gives an empty bitmap.
TBitmap LoadBitmapFile(const std::string& path);
TBitmap DecodeBitmap(std::span<const uint8_t> bytes);

}  // namespace qm
