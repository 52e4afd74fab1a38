#include "platform/canvas.h"

namespace qm {

int SelectClipRgn(TCanvas& canvas, const TRegion* region) {
  if (region == nullptr) {
    canvas.clip_.reset();
    return SIMPLEREGION;
  }
  canvas.clip_ = *region;
  return canvas.clip_->Kind();  // also builds its bands before any drawing reads them
}

int SelectClipRgn(TCanvas& canvas, TRegion&& region) {
  canvas.clip_ = std::move(region);
  return canvas.clip_->Kind();
}

}  // namespace qm
