// What every transition effect receives and may do, and the helpers the effects share.
//
// An effect procedure paints the part of the new picture that is visible at `Progress` onto
// `Screen`, which holds the old contents for this frame. It is called once per frame for the
// progress values 1..99, composes the whole new-picture share on every call, keeps no state of
// its own (it may advance the shared RandomBelow generator), draws only onto `Screen`, and runs
// while the caller holds the drawing locks of `Picture` and `Screen`; it takes no locks itself.
// It draws by stretch copies of rectangles (StretchCopyRect), mirrored copies (MirrorCopyRect),
// clip-and-draw through a region (ClipAndDraw), or on 32-bit rows directly.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/arith.h"
#include "platform/bitmap.h"
#include "platform/rect.h"
#include "platform/region.h"
#include "platform/stretch.h"

namespace qm {

// What a family procedure is told about the member of its family it draws: up to four small
// numbers (an edge, an axis, a corner, a bar kind, ...). Each family's header says what they
// mean and offers constexpr makers that spell them out, so that a table row reads as the style.
struct TEffectParams {
  int32_t A = 0, B = 0, C = 0, D = 0;
};

// The effect procedure of a family of styles. Screen: the display bitmap, W x H, holding the
// old contents; Picture: the new picture, the same size; R: always (0, 0, W, H); Step: the
// control's step 1..100 (percent per frame); Progress: 1..99; then which member of the family
// to draw.
using TFamilyProc = void (*)(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
                             int32_t Progress, const TEffectParams& Params);

// A family's procedure that composes the whole frame from the old contents and the new picture:
// Screen, Old and Picture are W x H, 32 bits per pixel, and Screen holds anything at first. It
// gives Screen exactly the pixels that copying Old onto it and then running the family's
// TFamilyProc gives, without a full copy of Old first.
using TComposeProc = void (*)(TBitmap& Screen, const TBitmap& Old, const TBitmap& Picture,
                              const TRect& R, uint32_t Step, int32_t Progress,
                              const TEffectParams& Params);

// A family of styles: styles that draw alike and differ by an edge, an axis, a corner or a kind.
struct TEffectFamily {
  std::string_view Name;
  TFamilyProc Proc = nullptr;
  // The family works on 32-bit pixel rows directly (fade, pivots): a transition in one of its
  // styles holds the new picture and the display in 32 bits per pixel.
  bool Needs32Bit = false;
  // The family's procedure draws on the screen only by stretch copies, clip-and-draw and fills,
  // and reads the screen's pixels only through stretch copies: the frame routine may put off the
  // old contents (DeferBackground) and copy them only where the drawing leaves them showing.
  bool DrawsByCopiesOnly = false;
  // Composes the frame in one pass over the old contents and the new picture, when set.
  TComposeProc Compose = nullptr;
};

// A family that draws only by copies (see TEffectFamily::DrawsByCopiesOnly).
constexpr TEffectFamily DrawnByCopies(std::string_view name, TFamilyProc proc) {
  return {name, proc, false, true, nullptr};
}

// How a style draws: its family and which member of it. No family: the style draws nothing.
struct TEffectRecipe {
  const TEffectFamily* Family = nullptr;
  TEffectParams Params{};
};

// One row of the effect table: the style's number and name, and how it draws.
struct TEffect {
  int Number = 0;
  std::string_view Name;
  TEffectRecipe Recipe{};

  // True when the style has an effect procedure.
  constexpr bool Drawn() const {
    return Recipe.Family != nullptr && Recipe.Family->Proc != nullptr;
  }
  constexpr bool Needs32Bit() const {
    return Recipe.Family != nullptr && Recipe.Family->Needs32Bit;
  }
  // Runs the style's effect procedure; a style without one draws nothing.
  void Draw(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
            int32_t Progress) const {
    if (Drawn()) Recipe.Family->Proc(Screen, Picture, R, Step, Progress, Recipe.Params);
  }
};

// The extents an effect draws with: W and H of R; PW and PH, the part of the width and height
// that the new picture covers at this progress (the longer side scaled by the percentage, the
// shorter following in the picture's aspect ratio); StepSpan, the longer side scaled by Step
// over 90.
struct TProgressMetrics {
  int32_t W = 0, H = 0, PW = 0, PH = 0, StepSpan = 0;
  friend bool operator==(const TProgressMetrics&, const TProgressMetrics&) = default;
};

TProgressMetrics CalcProgressMetrics(const TRect& R, uint32_t Step, int32_t Progress);

// Stretch-copies SourceRect of Source onto DestRect of Dest, mirrored horizontally and/or
// vertically. SourceRect is first clipped to the source bitmap (an empty intersection draws
// nothing); the part that survives is stretched over the whole of DestRect. A horizontal mirror
// covers the columns DestRect.Left .. DestRect.Right + 1 (two more than DestRect, on its right),
// the leftmost source column landing at DestRect.Right + 1; a vertical mirror likewise in rows.
void MirrorCopyRect(TBitmap& Dest, TRect DestRect, const TBitmap& Source, TRect SourceRect,
                    bool MirrorHorizontal, bool MirrorVertical);

// Clip-and-draw: draws the whole of Picture at (0, 0) onto Screen through Region, then leaves
// Screen with no clip region, also when drawing fails. The region is consumed. No region
// (std::nullopt) draws the whole picture unclipped.
void ClipAndDraw(TBitmap& Screen, const TBitmap& Picture, std::optional<TRegion> Region);

}  // namespace qm
