// Writes bitmaps as 24-bit RGB PNG files (the `quenmora decode` output).
#pragma once

#include <string>

#include "platform/bitmap.h"

namespace qm {

// Writes a non-empty bitmap to `path` as a PNG file: colour type 2, bit depth 8, not
// interlaced. Palette bitmaps are written through their palette (indices beyond it as black),
// 32-bit bitmaps without their fourth byte. The file is encoded row by row as it is written, so
// little memory is needed beyond the bitmap's own. Throws EFCreateError when the file cannot be
// created and EWriteError, naming the system's reason, when writing fails.
void WritePng24(const TBitmap& bitmap, const std::string& path);

}  // namespace qm
