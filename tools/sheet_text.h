// Text on the contact sheet: a small built-in monospaced face, so that the tool draws labels
// without a font library.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/bitmap.h"

namespace qm::tool {

inline constexpr int kGlyphWidth = 7, kGlyphHeight = 14;

// Draws `text` (ASCII; other bytes as "?") with the top left corner of its first character cell
// at (x, y), in `color` (0x00BBGGRR) blended by each pixel's ink coverage. 24- and 32-bit
// targets; pixels outside the target are left out.
void DrawText(TBitmap& target, int x, int y, std::string_view text, TColor color);

// Splits `text` at spaces into lines of at most `columns` characters (a longer word is cut).
std::vector<std::string> WrapText(std::string_view text, int columns);

}  // namespace qm::tool
