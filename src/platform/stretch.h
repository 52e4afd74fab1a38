// Copies between bitmaps: the stretch copy that every drawing of a picture goes through, and
// filling with a colour. Every call draws only inside the target and its canvas's clip region
// and takes no lock (the caller holds the drawing locks it needs).
//
// Stretch copy sampling, per direction (rows likewise): with destination origin dx and signed
// extent dw, source origin sx and signed extent sw, n = |dw| and m = |sw|, destination column k
// (0 <= k < n) is dx + k when dw > 0 and dx - k when dw < 0; it takes source column k' =
// floor((2k + 1) * m / (2n)) (centre sampling, exact), counted from sx the same way by the sign
// of sw. So opposite signs mirror, equal signs do not; shrinking drops rows and columns, growing
// repeats them, nothing is blended. A destination pixel whose sample lies outside the source
// keeps its value. Source and target may be the same bitmap, overlapping: the result is that of
// reading the whole source rectangle first.
#pragma once

#include <cstdint>

#include "platform/bitmap.h"
#include "platform/rect.h"

namespace qm {

// Stretch copy with the plain source-copy operation. Any source format; the target is 32-bit
// (the fast path), 24-bit, or a palette bitmap (same-format sources copy their indices, others
// take the nearest palette colour). An extent of 0 draws nothing. Returns false when nothing
// could be drawn because an extent is 0 or a bitmap is empty.
bool StretchBlt(TBitmap& dest, int32_t dest_x, int32_t dest_y, int32_t dest_width,
                int32_t dest_height, const TBitmap& source, int32_t source_x, int32_t source_y,
                int32_t source_width, int32_t source_height);

// Copies source_rect of `source` onto dest_rect of `dest`, scaling in x and y independently:
// StretchBlt with the rectangles' top left corners as origins and Right - Left, Bottom - Top as
// extents (so reversed rectangles mirror).
void StretchCopyRect(TBitmap& dest, const TRect& dest_rect, const TBitmap& source,
                     const TRect& source_rect);

// Draws the whole of `source` unscaled with its top left corner at (x, y).
void Draw(TBitmap& dest, int32_t x, int32_t y, const TBitmap& source);

// Puts off copying `background` onto `dest` (the same size, both 32-bit, `dest` without a clip
// region): until SettleBackground, the pixels of `dest` stand for those of `background` wherever
// no drawing call has drawn since. A stretch copy from another bitmap is put off too and drawn
// when the background is settled, in the same pass over each row as the background's share of
// it; a clipped copy, one from a palette or 24-bit bitmap, or one more than the copies noted at
// once settles the background at once, drawing itself in that pass. A fill notes what it
// covers; a copy from `dest` onto itself reads the background where it reads nothing drawn
// since, and settles it first otherwise. So drawing and then settling gives the pixels that
// copying the background first and then drawing gives, while each row is written in one pass.
// Returns false, putting nothing off, when the bitmaps do not qualify: the caller then copies the
// background itself. `background` and the sources of the copies must not change until it is
// settled, and `dest`'s pixels are read through drawing calls only until then.
bool DeferBackground(TBitmap& dest, const TBitmap& background);
// Copies the pending background onto the pixels of `dest` that no drawing call has drawn since
// DeferBackground, draws the copies put off, and ends the deferral. Nothing happens when nothing is
// pending.
void SettleBackground(TBitmap& dest);

// Fills the rectangle with a colour 0x00BBGGRR (the fourth byte of 32-bit pixels becomes 0; a
// palette target takes the nearest palette colour).
void FillRect(TBitmap& dest, const TRect& rect, TColor color);

}  // namespace qm
