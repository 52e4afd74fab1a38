#include "tests/picshow/picshow_test_host.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace qm::test {

void PicShowTestHost::Show() {
  shown_ = true;
  invalid_ = Rect(0, 0, width_, height_);
}

void PicShowTestHost::Resize(int width, int height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  if (control_) control_->HandleResize();
}

const TBitmap& PicShowTestHost::Grab() {
  Paint(Rect(0, 0, width_, height_));
  return screen_;
}

void PicShowTestHost::Paint(const TRect& area) {
  if (!control_) return;
  in_paint_ = true;
  control_->HandlePaint(area);
  in_paint_ = false;
}

PicShowHost::Clock::duration PicShowTestHost::ScaledSeconds(double seconds) {
  const char* text = std::getenv("QUENMORA_TEST_TIMEOUT_SCALE");
  const double scale = text ? std::atof(text) : 1.0;
  return std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(seconds * (scale > 0 ? scale : 1.0)));
}

void PicShowTestHost::Present(const TBitmap& image, const TRect& area) {
  // The contract: from within a paint, on the main thread, the client area's image, and an
  // area inside it.
  TRect inside;
  if (!in_paint_ || !MainThreadCall() || image.Width() != width_ || image.Height() != height_ ||
      image.Format() != PixelFormat::pf32bit ||
      !IntersectRect(inside, area, Rect(0, 0, width_, height_)) || inside != area) {
    ++violations_;
    return;
  }
  if (screen_.Width() != image.Width() || screen_.Height() != image.Height())
    screen_.SetSize(image.Width(), image.Height(), PixelFormat::pf32bit);
  for (int y = area.Top; y < area.Bottom; ++y)
    std::memcpy(screen_.ScanLine(y) + area.Left * 4, image.ScanLine(y) + area.Left * 4,
                static_cast<std::size_t>(area.Right - area.Left) * 4);
}

void PicShowTestHost::Invalidate(const TRect& area) {
  if (!MainThreadCall()) ++violations_;
  if (!shown_ || IsRectEmpty(area)) return;  // a hidden window is painted whole when shown
  if (!invalid_) {
    invalid_ = area;
    return;
  }
  invalid_ = Rect(std::min(invalid_->Left, area.Left), std::min(invalid_->Top, area.Top),
                  std::max(invalid_->Right, area.Right), std::max(invalid_->Bottom, area.Bottom));
}

void PicShowTestHost::UpdateNow(const TRect& area) {
  if (!MainThreadCall()) ++violations_;
  if (shown_) Paint(area);
}

void PicShowTestHost::WakeMainThread() {
  {
    std::lock_guard<std::mutex> lock(wake_mutex_);
    wake_pending_ = true;
  }
  wake_cv_.notify_all();
}

bool PicShowTestHost::HandlePending() {
  bool woken;
  {
    std::lock_guard<std::mutex> lock(wake_mutex_);
    woken = std::exchange(wake_pending_, false);
  }
  if (woken && control_) control_->HandleWake();
  const std::optional<TRect> invalid = std::exchange(invalid_, std::nullopt);
  if (invalid && shown_) Paint(*invalid);
  return woken || invalid;
}

void PicShowTestHost::ProcessEvents(Clock::time_point deadline) {
  if (!MainThreadCall()) ++violations_;
  if (HandlePending()) return;
  {
    std::unique_lock<std::mutex> lock(wake_mutex_);
    wake_cv_.wait_until(lock, deadline, [this] { return wake_pending_; });
  }
  HandlePending();
}

}  // namespace qm::test
