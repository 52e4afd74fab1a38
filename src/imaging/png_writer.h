// Writes bitmaps as 24-bit RGB PNG files (the `quenmora decode` output).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/bitmap.h"

namespace qm {

// The PNG file of a non-empty bitmap: colour type 2, bit depth 8, not interlaced. Palette
// bitmaps are written through their palette (indices beyond it as black), 32-bit bitmaps
// without their fourth byte.
std::vector<uint8_t> EncodePng24(const TBitmap& bitmap);

// Writes EncodePng24(bitmap) to `path`; throws EFCreateError when the file cannot be created
// and EWriteError when writing fails.
void WritePng24(const TBitmap& bitmap, const std::string& path);

}  // namespace qm
