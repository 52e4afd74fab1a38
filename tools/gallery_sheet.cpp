#include "tools/gallery_sheet.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "picshow/style_catalogue.h"
#include "platform/stretch.h"
#include "tools/sheet_text.h"

namespace qm::tool {

namespace {

constexpr int kSheetColumns = 10;
constexpr int kSheetTileWidth = 160;
constexpr int kSheetGap = 10;
constexpr int kSheetLabelLines = 3;
constexpr int kSheetTitleHeight = 30;

std::string Label(int style) {
  return std::to_string(style) + " " + StyleName(style);
}

}  // namespace

SheetLayout LayoutSheet(int w, int h) {
  SheetLayout l{};
  l.tile_w = std::min(w, kSheetTileWidth);
  l.tile_h = std::max(1, static_cast<int>(static_cast<int64_t>(h) * l.tile_w / w));
  l.label_h = kSheetLabelLines * kGlyphHeight + 4;
  l.pitch_x = l.tile_w + kSheetGap;
  l.pitch_y = l.tile_h + l.label_h + kSheetGap;
  const int rows = (kMaxStyle + kSheetColumns - 1) / kSheetColumns;
  l.width = kSheetGap + kSheetColumns * l.pitch_x;
  l.height = kSheetTitleHeight + kSheetGap + rows * l.pitch_y;
  return l;
}

TBitmap AssembleSheet(const SheetLayout& l, const uint8_t* tiles, int step) {
  TBitmap sheet(l.width, l.height, PixelFormat::pf24bit);
  FillRect(sheet, Rect(0, 0, l.width, l.height), 0x00FFFFFF);
  DrawText(sheet, kSheetGap, (kSheetTitleHeight - kGlyphHeight) / 2 + 4,
           "Quenmora transition styles at progress " + std::to_string(kSheetProgress) + " (step " +
               std::to_string(step) + ")",
           0x00000000);
  TBitmap tile(l.tile_w, l.tile_h, PixelFormat::pf32bit);
  const std::size_t tile_bytes = l.TileBytes();
  const int columns = l.tile_w / kGlyphWidth;
  for (int style = 1; style <= kMaxStyle; ++style) {
    std::memcpy(tile.Bits(), tiles + (style - 1) * tile_bytes, tile_bytes);
    const int x = kSheetGap + (style - 1) % kSheetColumns * l.pitch_x;
    const int y = kSheetTitleHeight + kSheetGap + (style - 1) / kSheetColumns * l.pitch_y;
    Draw(sheet, x, y, tile);
    const std::vector<std::string> lines = WrapText(Label(style), columns);
    for (std::size_t i = 0; i < lines.size() && i < kSheetLabelLines; ++i)
      DrawText(sheet, x, y + l.tile_h + 3 + static_cast<int>(i) * kGlyphHeight, lines[i],
               0x00303030);
  }
  return sheet;
}

}  // namespace qm::tool
