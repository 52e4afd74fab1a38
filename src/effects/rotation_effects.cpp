// Styles 149-150: rotating shapes, drawn through a turned polygon.
//
//   149 "Rotational rectangle"  the PW x PH rectangle
//   150 "Rotational star"       a four-pointed star around the PW x PH rectangle
#include "effects/rotation_effects.h"

#include <cmath>
#include <numbers>

namespace qm {

void RotatePoints(TPoint* Points, int LastIndex, int32_t CX, int32_t CY, long double Angle) {
  const long double s = std::sin(Angle), c = std::cos(Angle);
  for (int i = 0; i <= LastIndex; ++i) {
    const long double dx = Points[i].X - CX, dy = Points[i].Y - CY;
    Points[i].X = static_cast<int32_t>(Round(dx * c - dy * s)) + CX;
    Points[i].Y = static_cast<int32_t>(Round(dx * s + dy * c)) + CY;
  }
}

void DrawRotatingShape(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
                       int32_t Progress, const TEffectParams& Params) {
  const TProgressMetrics m = CalcProgressMetrics(R, Step, Progress);
  const int32_t cx = m.W / 2, cy = m.H / 2;
  const int32_t hw = m.PW / 2, hh = m.PH / 2;
  TPoint points[8];
  int count;
  if (Params.A == static_cast<int32_t>(TRotatingShape::kRectangle)) {
    points[0] = Point(cx - hw, cy - hh);
    points[1] = Point(cx + hw, cy - hh);
    points[2] = Point(cx + hw, cy + hh);
    points[3] = Point(cx - hw, cy + hh);
    count = 4;
  } else {
    points[0] = Point(cx - 2 * m.PW, cy);
    points[1] = Point(cx - hw, cy - hh);
    points[2] = Point(cx, cy - 2 * m.PH);
    points[3] = Point(cx + hw, cy - hh);
    points[4] = Point(cx + 2 * m.PW, cy);
    points[5] = Point(cx + hw, cy + hh);
    points[6] = Point(cx, cy + 2 * m.PH);
    points[7] = Point(cx - hw, cy + hh);
    count = 8;
  }
  RotatePoints(points, count - 1, cx, cy, Progress * std::numbers::pi_v<long double> / 50);
  ClipAndDraw(Screen, Picture, CreatePolygonRgn(points, count, WINDING));
}

}  // namespace qm
