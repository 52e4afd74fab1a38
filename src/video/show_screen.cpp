#include "video/show_screen.h"

#include "picshow/transition_math.h"
#include "platform/stretch.h"

namespace qm::video {

ScreenLayout LayOutScreen(int width, int height, int32_t p, int line_height) {
  ScreenLayout l;
  l.width = width;
  l.height = height;
  l.picture_area = Rect(0, 0, width, height);
  if (p == 0 || p == 2 || p == 4) {
    OffsetRect(l.picture_area, 0, line_height);
    l.strip = Rect(0, 0, width, line_height);
  } else if (p == 1 || p == 3 || p == 5) {
    l.picture_area.Bottom = height - line_height;
    l.strip = Rect(0, height - line_height, width, height);
  }
  return l;
}

ShowScreen::ShowScreen(const ScreenLayout& layout, TColor background, CaptionPainter* captions)
    : layout_(layout),
      background_(background),
      captions_(captions),
      image_(layout.width, layout.height, PixelFormat::pf32bit) {}

void ShowScreen::BeginSlide(const std::string& caption) {
  FillRect(image_, Rect(0, 0, layout_.width, layout_.height), background_);
  if (captions_ && !IsRectEmpty(layout_.strip)) captions_->Paint(image_, layout_.strip, caption);
}

void ShowScreen::ShowDisplay(const TBitmap& display) {
  const TRect& area = layout_.picture_area;
  TRect placed = PlacementRect(TRect{}, display.Width(), display.Height(), true,
                               area.Right - area.Left, area.Bottom - area.Top);
  OffsetRect(placed, area.Left, area.Top);
  TRect visible;
  if (!IntersectRect(visible, placed, area)) return;
  const int w = visible.Right - visible.Left, h = visible.Bottom - visible.Top;
  StretchBlt(image_, visible.Left, visible.Top, w, h, display, visible.Left - placed.Left,
             visible.Top - placed.Top, w, h);
}

}  // namespace qm::video
