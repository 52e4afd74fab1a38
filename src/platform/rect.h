// Points and rectangles in pixel coordinates: x grows to the right, y downwards; a rectangle's
// Right and Bottom are exclusive, so (0, 0, W, H) is exactly the pixels of a W x H bitmap.
#pragma once

#include <cstdint>

namespace qm {

struct TPoint {
  int32_t X = 0, Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  friend bool operator==(const TRect&, const TRect&) = default;
};

constexpr TPoint Point(int32_t x, int32_t y) {
  return TPoint{x, y};
}
constexpr TRect Rect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return TRect{left, top, right, bottom};
}

// A rectangle covers no pixel when Right <= Left or Bottom <= Top.
constexpr bool IsRectEmpty(const TRect& r) {
  return r.Right <= r.Left || r.Bottom <= r.Top;
}

// The pixels common to a and b. When they share none (or either is empty) the result is
// (0, 0, 0, 0) and the return value false.
constexpr bool IntersectRect(TRect& dest, const TRect& a, const TRect& b) {
  TRect r{a.Left > b.Left ? a.Left : b.Left, a.Top > b.Top ? a.Top : b.Top,
          a.Right < b.Right ? a.Right : b.Right, a.Bottom < b.Bottom ? a.Bottom : b.Bottom};
  if (IsRectEmpty(a) || IsRectEmpty(b) || IsRectEmpty(r)) r = TRect{};
  dest = r;
  return !IsRectEmpty(r);
}

// Shifts the rectangle by (dx, dy): dx is added to Left and Right, dy to Top and Bottom, with
// 32-bit wrap-around like every other coordinate sum of the effects.
constexpr void OffsetRect(TRect& r, int32_t dx, int32_t dy) {
  auto add = [](int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
  };
  r.Left = add(r.Left, dx);
  r.Right = add(r.Right, dx);
  r.Top = add(r.Top, dy);
  r.Bottom = add(r.Bottom, dy);
}

// The same rectangle with Left <= Right and Top <= Bottom.
constexpr TRect NormalizedRect(const TRect& r) {
  return TRect{r.Left < r.Right ? r.Left : r.Right, r.Top < r.Bottom ? r.Top : r.Bottom,
               r.Left < r.Right ? r.Right : r.Left, r.Top < r.Bottom ? r.Bottom : r.Top};
}

}  // namespace qm
