// The gallery's contact sheet: every style half-way through, as a tile with its number and name
// below it, ten to a row on a white sheet under a title.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/bitmap.h"

namespace qm::tool {

// The progress at which the sheet shows each style.
inline constexpr int kSheetProgress = 50;

// Where things go on a sheet for previews of a given size.
struct SheetLayout {
  int tile_w, tile_h, label_h, pitch_x, pitch_y, width, height;

  // The bytes of one tile as 32-bit pixels.
  std::size_t TileBytes() const { return static_cast<std::size_t>(tile_w) * tile_h * 4; }
};

// The layout for previews of w x h: tiles at most 160 pixels wide, of the previews' shape.
SheetLayout LayoutSheet(int w, int h);

// The tiles (32-bit pixels, one after another in style order) on a white sheet, each with its
// number and name below it, under a title that names the step.
TBitmap AssembleSheet(const SheetLayout& l, const uint8_t* tiles, int step);

}  // namespace qm::tool
