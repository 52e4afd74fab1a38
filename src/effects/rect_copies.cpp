#include "effects/rect_copies.h"

namespace qm {

void DrawRectCopies(TBitmap& Screen, const TBitmap& Picture, const TRectCopies& copies) {
  for (const TRectCopy& c : copies.View()) {
    if (c.MirrorHorizontal || c.MirrorVertical)
      MirrorCopyRect(Screen, c.Dest, Picture, c.Source, c.MirrorHorizontal, c.MirrorVertical);
    else
      StretchCopyRect(Screen, c.Dest, Picture, c.Source);
  }
}

}  // namespace qm
