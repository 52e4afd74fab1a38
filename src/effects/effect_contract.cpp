#include "effects/effect_contract.h"

#include <utility>

namespace qm {

TProgressMetrics CalcProgressMetrics(const TRect& R, uint32_t Step, int32_t Progress) {
  TProgressMetrics m;
  m.W = R.Right - R.Left;
  m.H = R.Bottom - R.Top;
  const auto step = static_cast<int32_t>(Step);
  if (m.W >= m.H) {
    m.PW = MulDiv(m.W, Progress, 100);
    m.PH = MulDiv(m.PW, m.H, m.W);
    m.StepSpan = MulDiv(m.W, step, 90);
  } else {
    m.PH = MulDiv(m.H, Progress, 100);
    m.PW = MulDiv(m.PH, m.W, m.H);
    m.StepSpan = MulDiv(m.H, step, 90);
  }
  return m;
}

void MirrorCopyRect(TBitmap& Dest, TRect DestRect, const TBitmap& Source, TRect SourceRect,
                    bool MirrorHorizontal, bool MirrorVertical) {
  IntersectRect(SourceRect, SourceRect, TRect{0, 0, Source.Width(), Source.Height()});
  // Coordinates wrap like all 32-bit effect arithmetic.
  auto add = [](int32_t v, int32_t d) {
    return static_cast<int32_t>(static_cast<uint32_t>(v) + static_cast<uint32_t>(d));
  };
  if (MirrorHorizontal) {
    const int32_t left = DestRect.Left;
    DestRect.Left = add(DestRect.Right, 1);
    DestRect.Right = add(left, -1);
  }
  if (MirrorVertical) {
    const int32_t top = DestRect.Top;
    DestRect.Top = add(DestRect.Bottom, 1);
    DestRect.Bottom = add(top, -1);
  }
  StretchCopyRect(Dest, DestRect, Source, SourceRect);
}

void ClipAndDraw(TBitmap& Screen, const TBitmap& Picture, std::optional<TRegion> Region) {
  struct TClipReset {
    TBitmap& bitmap;
    ~TClipReset() { SelectClipRgn(bitmap, nullptr); }
  } reset{Screen};
  if (Region)
    SelectClipRgn(Screen, std::move(*Region));
  else
    SelectClipRgn(Screen, nullptr);
  Draw(Screen, 0, 0, Picture);
}

}  // namespace qm
