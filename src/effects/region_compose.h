// Frames of the styles that show the new picture through a region (bars, criss-cross, blinds):
// each row of the display is written once, the new picture in the region's runs on that row and
// the old contents between them, instead of laying the old contents first and drawing the
// clipped picture over them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "effects/effect_contract.h"
#include "platform/cpu_dispatch.h"

namespace qm {

// The frame ClipAndDraw(Screen, Picture, Region) draws over the old contents: the picture where
// the region reaches, the old contents elsewhere; with no region, the picture everywhere. All
// three bitmaps are 32-bit and of one size.
void ComposeThroughRegion(TBitmap& Screen, const TBitmap& Old, const TBitmap& Picture,
                          const std::optional<TRegion>& Region);

// A family's region for one frame of its member, made from the frame's arguments alone.
using TRegionMaker = std::optional<TRegion> (*)(const TRect& R, uint32_t Step, int32_t Progress,
                                                const TEffectParams& Params);

// The family procedure and the composing procedure of a family that shows the picture through
// the region `kMake` makes.
template <TRegionMaker kMake>
void DrawThroughRegion(TBitmap& Screen, const TBitmap& Picture, const TRect& R, uint32_t Step,
                       int32_t Progress, const TEffectParams& Params) {
  ClipAndDraw(Screen, Picture, kMake(R, Step, Progress, Params));
}
template <TRegionMaker kMake>
void ComposeThroughRegion(TBitmap& Screen, const TBitmap& Old, const TBitmap& Picture,
                          const TRect& R, uint32_t Step, int32_t Progress,
                          const TEffectParams& Params) {
  ComposeThroughRegion(Screen, Old, Picture, kMake(R, Step, Progress, Params));
}
template <TRegionMaker kMake>
constexpr TEffectFamily DrawnThroughRegion(std::string_view name) {
  return {name, &DrawThroughRegion<kMake>, false, true, &ComposeThroughRegion<kMake>};
}

namespace select {

// One row of a frame by a mask: dest[i] = picture[i] where mask[i] is all ones, old[i] where it
// is 0. The kernels are listed fastest first with a portable one last; tests hold every
// supported one to the portable one.
using TSelectFn = void (*)(uint32_t* dest, const uint32_t* old, const uint32_t* picture,
                           const uint32_t* mask, std::size_t count);
std::span<const KernelRow<TSelectFn>> SelectRows();

}  // namespace select

}  // namespace qm
