// The player's screen without a window: the background, the caption strip and the picture area
// laid out as the presentation window lays them out, with the transition control's display
// bitmap drawn centred in the picture area, unscaled and cut where it is larger.
#pragma once

#include <cstdint>
#include <string>

#include "platform/bitmap.h"
#include "platform/rect.h"

namespace qm::video {

struct ScreenLayout {
  int width = 0, height = 0;
  // The transition control's place; with a top strip it reaches one line below the screen.
  TRect picture_area;
  // The part of the caption strip that stays visible (one line), empty without a strip.
  TRect strip;
};

// The window's layout for caption position `p` on a width x height screen, with a caption font
// whose line is `line_height` pixels: a top strip (0, 2, 4) moves the picture area down by a
// line, a bottom strip (1, 3, 5) shortens it by a line, any other code leaves it the screen.
ScreenLayout LayOutScreen(int width, int height, int32_t p, int line_height);

// Draws the caption strip: the font's line height lays out the screen, and every slide's caption
// is painted into the strip's visible line.
class CaptionPainter {
 public:
  virtual ~CaptionPainter() = default;
  virtual int LineHeight() const = 0;
  // Paints the strip (its colour and `caption`, Windows-1252) into `screen` within `strip`.
  virtual void Paint(TBitmap& screen, const TRect& strip, const std::string& caption) = 0;
};

// The screen image of a show, 32 bits per pixel.
class ShowScreen {
 public:
  ShowScreen(const ScreenLayout& layout, TColor background, CaptionPainter* captions);

  // A new slide begins: the window repainted with the bare picture area and the slide's
  // caption.
  void BeginSlide(const std::string& caption);
  // The transition control shows `display`: drawn centred in the picture area, cut by it.
  void ShowDisplay(const TBitmap& display);

  const TBitmap& Image() const { return image_; }
  const ScreenLayout& Layout() const { return layout_; }

 private:
  ScreenLayout layout_;
  TColor background_;
  CaptionPainter* captions_;
  TBitmap image_;
};

}  // namespace qm::video
