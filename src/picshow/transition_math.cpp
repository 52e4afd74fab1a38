#include "picshow/transition_math.h"

#include "platform/arith.h"

namespace qm {

TRect PlacementRect(const TRect& current, int bitmap_w, int bitmap_h, bool center, int client_w,
                    int client_h) {
  if (bitmap_w <= 0 || bitmap_h <= 0) return current;
  TRect r = Rect(0, 0, bitmap_w, bitmap_h);
  if (center) OffsetRect(r, (client_w - bitmap_w) / 2, (client_h - bitmap_h) / 2);
  return r;
}

TRect AspectFit(const TRect& p, const TRect& r) {
  const int pw = p.Right - p.Left, ph = p.Bottom - p.Top;
  const int rw = r.Right - r.Left, rh = r.Bottom - r.Top;
  if (pw <= 0 || ph <= 0) return Rect(r.Left, r.Top, r.Left, r.Top);
  int width, height;
  if (static_cast<double>(rh) / ph > static_cast<double>(rw) / pw) {
    width = rw;
    height = MulDiv(ph, rw, pw);
  } else {
    width = MulDiv(pw, rh, ph);
    height = rh;
  }
  TRect fit = Rect(0, 0, width, height);
  OffsetRect(fit, r.Left + (rw - width) / 2, r.Top + (rh - height) / 2);
  return fit;
}

TRect DisplayTarget(const ScreenGeometry& g) {
  if (!g.stretch) return g.placement;
  return g.stretch_fine ? AspectFit(g.placement, g.client) : g.client;
}

TRect ScreenArea(TRect a, const ScreenGeometry& g) {
  if (g.stretch) {
    const TRect t = DisplayTarget(g);
    const int tw = t.Right - t.Left, th = t.Bottom - t.Top;
    const int pw = g.placement.Right - g.placement.Left;
    const int ph = g.placement.Bottom - g.placement.Top;
    return Rect(t.Left + MulDiv(a.Left, tw, pw), t.Top + MulDiv(a.Top, th, ph),
                t.Left + MulDiv(a.Right, tw, pw), t.Top + MulDiv(a.Bottom, th, ph));
  }
  if (g.center) OffsetRect(a, g.placement.Left, g.placement.Top);
  TRect clamped;
  IntersectRect(clamped, a, g.placement);
  return clamped;
}

}  // namespace qm
