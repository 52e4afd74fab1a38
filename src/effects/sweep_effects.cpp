// Styles 143-144: clock sweeps, drawn through a fan-shaped polygon.
//
//   143 "Sweep clockwise"      from twelve o'clock, clockwise
//   144 "Sweep anticlockwise"  from twelve o'clock, anticlockwise
#include "effects/sweep_effects.h"

#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

namespace qm {

TRegion CreateSweepRegion(int32_t CX, int32_t CY, int32_t Radius, long double StartAngle,
                          long double EndAngle, int32_t Count) {
  if (Count < 1) return TRegion{};
  std::vector<TPoint> points(static_cast<std::size_t>(Count) + 1);
  points[0] = Point(CX, CY);
  const long double delta = (EndAngle - StartAngle) / Count;
  long double a = StartAngle;
  for (int32_t k = 1; k <= Count; ++k) {
    points[static_cast<std::size_t>(k)] =
        Point(CX + static_cast<int32_t>(Round(Radius * std::cos(a))),
              CY + static_cast<int32_t>(Round(Radius * std::sin(a))));
    a += delta;
  }
  return CreatePolygonRgn(points.data(), static_cast<int>(points.size()), WINDING);
}

void DrawSweep(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
               int32_t Progress, const TEffectParams& Params) {
  const TProgressMetrics m = CalcProgressMetrics(R, Step, Progress);
  constexpr long double kPi = std::numbers::pi_v<long double>;
  const int32_t cx = m.W / 2, cy = m.H / 2;
  // The radius reaches the corners. The squares are summed in 64 bits: a 32-bit sum would wrap
  // to a negative value (and a root of no number) once both halves near 32768.
  const int64_t squares = int64_t{cx} * cx + int64_t{cy} * cy;
  const auto radius = static_cast<int32_t>(Ceil(std::sqrt(static_cast<long double>(squares))));
  const long double end = Params.A == static_cast<int32_t>(TSweepDirection::kClockwise)
                              ? Progress * kPi / 50 - kPi / 2
                              : Progress * (-kPi) / 50 - kPi / 2;
  ClipAndDraw(Screen, Picture, CreateSweepRegion(cx, cy, radius, -kPi / 2, end, Progress));
}

}  // namespace qm
