// Styles 136-142 and 145-148: blinds, rectangular shred and rectangle bands.
//
//   136 "Blind vertically"           vertical strips, pitch W div StepSpan
//   137 "Blind horizontally"         horizontal strips, pitch H div StepSpan
//   138 "Uneven blind from left"     vertical strips, pitch PW, from the left
//   139 "Uneven blind from right"    vertical strips, pitch PW, from the right
//   140 "Uneven blind from top"      horizontal strips, pitch PH, from the top
//   141 "Uneven blind from bottom"   horizontal strips, pitch PH, from the bottom
//   142 "Rectangular shred"          growing rectangles on a grid
//   145 "Rectangles apear from left and disapear to right"  horizontal bands + strips as 138
//   146 "Rectangles apear from right and disapear to left"  horizontal bands + strips as 139
//   147 "Rectangles apear from up and disapear to bottom"   vertical bands + strips as 140
//   148 "Rectangles apear from bottom and disapear to up"   vertical bands + strips as 141
#include "effects/blind_effects.h"

namespace qm {

namespace {

// The picture's side along the axis and across it, and the progress extent along it.
struct TAxisSides {
  int32_t along, across, extent;
};
TAxisSides SidesOf(TStripAxis axis, const TProgressMetrics& m) {
  return axis == TStripAxis::kColumns ? TAxisSides{m.W, m.H, m.PW} : TAxisSides{m.H, m.W, m.PH};
}

// A side divided by StepSpan, which is 0 when the longer side times Step is below 45: then the
// side divided by 1.
int32_t EvenPitch(int32_t side, int32_t step_span) {
  return side / (step_span == 0 ? 1 : step_span);
}

// Unites strips into `region`: the first covers [from, to) along the axis and the whole picture
// across it; each next one is shifted by `pitch` away from `start`'s edge. A strip is added
// while it still begins inside the picture (from the near edge: its start below `along`; from
// the far edge: its end at 0 or beyond, so the last may cover nothing). A pitch of 0 or less
// would not advance: the first strip only.
void UniteStrips(TRegion& region, TStripAxis axis, TStripStart start, int32_t from, int32_t to,
                 int32_t pitch, const TAxisSides& sides) {
  const bool near = start == TStripStart::kNear;
  while (near ? from < sides.along : to >= 0) {
    if (axis == TStripAxis::kColumns)
      region.UniteRect(from, 0, to, sides.across);
    else
      region.UniteRect(0, from, sides.across, to);
    if (pitch <= 0) break;
    from = near ? from + pitch : from - pitch;
    to = near ? to + pitch : to - pitch;
  }
}

// The uneven blinds' strips: pitch PW (or PH), each pitch * Progress div 100 long.
void UniteUnevenStrips(TRegion& region, TStripAxis axis, TStripStart start, int32_t progress,
                       const TAxisSides& sides) {
  const int32_t pitch = sides.extent;
  const int32_t length = pitch * progress / 100;
  if (start == TStripStart::kNear)
    UniteStrips(region, axis, start, 0, length, pitch, sides);
  else
    UniteStrips(region, axis, start, sides.along - length, sides.along, pitch, sides);
}

}  // namespace

std::optional<TRegion> BlindRegion(const TRect& R, uint32_t Step, int32_t Progress,
                                   const TEffectParams& Params) {
  const TProgressMetrics m = CalcProgressMetrics(R, Step, Progress);
  const auto axis = static_cast<TStripAxis>(Params.A);
  const auto start = static_cast<TStripStart>(Params.C);
  const TAxisSides sides = SidesOf(axis, m);
  TRegion region;
  if (Params.B == static_cast<int32_t>(TStripPitch::kUneven)) {
    UniteUnevenStrips(region, axis, start, Progress, sides);
  } else {
    const int32_t pitch = EvenPitch(sides.along, m.StepSpan);
    UniteStrips(region, axis, start, 0, pitch * Progress / 100, pitch, sides);
  }
  return region;
}

std::optional<TRegion> RectangularShredRegion(const TRect& R, uint32_t Step, int32_t Progress,
                                              const TEffectParams&) {
  const TProgressMetrics m = CalcProgressMetrics(R, Step, Progress);
  // A span of 0 would divide by 0 in both uses: 1 instead.
  int32_t k = m.StepSpan == 0 ? 1 : m.StepSpan;
  const int32_t half_w = m.PW / k, half_h = m.PH / k;
  if (k > 1) k /= 2;
  const int32_t cell_w = m.W / k, cell_h = m.H / k;
  TRegion region;
  // Rectangles of no width or height cover nothing, however many there are.
  if (half_w > 0 && half_h > 0)
    for (int32_t j = k; j >= 0; --j)
      for (int32_t i = k; i >= 0; --i)
        region.UniteRect(i * cell_w - half_w, j * cell_h - half_h, i * cell_w + half_w,
                         j * cell_h + half_h);
  return region;
}

std::optional<TRegion> RectangleBandsRegion(const TRect& R, uint32_t Step, int32_t Progress,
                                            const TEffectParams& Params) {
  const TProgressMetrics m = CalcProgressMetrics(R, Step, Progress);
  const auto strips = static_cast<TStripAxis>(Params.A);
  const auto start = static_cast<TStripStart>(Params.C);
  // The bands run across the strips: horizontal bands with vertical strips and the reverse,
  // centred on a grid of pitch side div StepSpan from the near edge.
  const TStripAxis bands =
      strips == TStripAxis::kColumns ? TStripAxis::kRows : TStripAxis::kColumns;
  const TAxisSides band_sides = SidesOf(bands, m);
  const int32_t pitch = EvenPitch(band_sides.along, m.StepSpan);
  const int32_t half = pitch * Progress / 200;
  TRegion region;
  UniteStrips(region, bands, TStripStart::kNear, pitch / 2 - half, pitch / 2 + half, pitch,
              band_sides);
  UniteUnevenStrips(region, strips, start, Progress, SidesOf(strips, m));
  return region;
}

}  // namespace qm
