// Styles 118-122: the fade and the four pivots. They work on the 32-bit pixels of the display
// and the new picture directly (blue, green, red, fourth byte), which is why a transition in one
// of them holds both bitmaps in 32 bits per pixel.
#pragma once

#include <cstddef>
#include <span>

#include "effects/effect_contract.h"
#include "platform/cpu_dispatch.h"

namespace qm {

// Mixes Source into Dest: each of blue, green and red of Dest becomes
// ((100 - Percent) * Dest + Percent * Source) div 100; the fourth byte of Dest stays. Percent is
// held to 0..100. Pixels outside either bitmap are left alone. 32-bit bitmaps.
void BlendPercent(TBitmap& Dest, const TBitmap& Source, int32_t Percent);

// Draws Source onto Dest turned counter-clockwise (on the screen) by Angle radians about
// (PivotX, PivotY): with s = Trunc(sin(Angle) * 65536) and c = Trunc(cos(Angle) * 65536), the
// Dest pixel (x, y) takes all four bytes of the Source pixel
//   (PivotX + ((dx * c - dy * s) >> 16), PivotY + ((dx * s + dy * c) >> 16)),
// dx = x - PivotX, dy = y - PivotY, >> 16 rounding toward minus infinity, when that pixel lies
// in Source; otherwise Dest keeps its pixel. The products are taken in 64 bits, so pictures and
// pivots more than 32767 pixels apart are mapped as exactly as small ones. 32-bit bitmaps; Dest
// may be Source itself (pixels are drawn from the bottom row up, each row right to left).
void RotateImage(TBitmap& Dest, const TBitmap& Source, int32_t PivotX, int32_t PivotY,
                 long double Angle);

// A run of a turned row, left to right: out[i] takes the pixel at row v >> 16 and column u >> 16
// of a 32-bit picture `stride` pixels wide, u and v growing by c and s from one pixel to the
// next; they are counted from the picture's top left corner and stay inside it over the run.
// u + ahead_u and v + ahead_v (anywhere, inside the picture or not) are the sums of a row drawn
// later at the same column: a kernel may prefetch its pixels, the result does not depend on it.
// The implementations, fastest first and the portable one last: RotateImage runs the first this
// processor supports (when the sums and indices fit 31 bits), and tests hold every supported one
// against the portable one.
using TTurnRunFn = void (*)(const uint32_t* picture, std::size_t stride, int64_t u, int64_t v,
                            int64_t c, int64_t s, uint32_t* out, int64_t count, int64_t ahead_u,
                            int64_t ahead_v);
std::span<const KernelRow<TTurnRunFn>> TurnRows();

// Style 118: the old contents mixed with the new picture in the ratio (100 - Progress) :
// Progress.
void DrawFade(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
              int32_t Progress, const TEffectParams& Params);
// The same frame from the old contents and the new picture in one pass.
void ComposeFade(TBitmap& Screen, const TBitmap& Old, const TBitmap& Picture, const TRect& R,
                 uint32_t Step, int32_t Progress, const TEffectParams& Params);
inline constexpr TEffectFamily kFade{"fade", &DrawFade, true, false, &ComposeFade};

constexpr TEffectRecipe Fade() {
  return {&kFade, TEffectParams{}};
}

// Styles 119-122: the new picture swings clockwise into place about a pivot one pixel outside
// one of its corners, starting almost a quarter turn away (89.1 degrees at Progress 1) and
// closing by 0.9 degrees per percent: RotateImage by (100 - Progress) * pi / 200. A: the pivot
// lies past the right edge (x = R.Right) instead of the left (x = -1); B: past the bottom edge
// (y = R.Bottom) instead of the top (y = -1).
void DrawPivot(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
               int32_t Progress, const TEffectParams& Params);
// The same frame from the old contents and the new picture in one pass: each row's turned part
// first, the old contents on either side of it.
void ComposePivot(TBitmap& Screen, const TBitmap& Old, const TBitmap& Picture, const TRect& R,
                  uint32_t Step, int32_t Progress, const TEffectParams& Params);
inline constexpr TEffectFamily kPivot{"pivot", &DrawPivot, true, false, &ComposePivot};

enum class TPivotSide : int32_t { kLeft = 0, kRight = 1 };
enum class TPivotEnd : int32_t { kTop = 0, kBottom = 1 };

constexpr TEffectRecipe Pivot(TPivotEnd vertical, TPivotSide horizontal) {
  return {&kPivot, TEffectParams{static_cast<int32_t>(horizontal), static_cast<int32_t>(vertical)}};
}

}  // namespace qm
