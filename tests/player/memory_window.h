// A presentation window of memory for tests that drive the player's own window: what is
// presented lands in a bitmap; wake-ups from the animation thread wake the wait.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/rect.h"
#include "player/player_window.h"

namespace qm::test {

// A screen of memory: what is presented lands in `screen`; wake-ups wake the wait.
class MemoryWindow : public PlayerWindow {
 public:
  int Width() const override { return screen.Width(); }
  int Height() const override { return screen.Height(); }
  int DotsPerInch() const override { return 96; }
  void Show() override { shown = true; }
  void Present(const TBitmap& pixels, const TRect& area, int x, int y) override {
    TRect target = area;
    OffsetRect(target, x, y);
    IntersectRect(target, target, Rect(0, 0, Width(), Height()));
    for (int row = target.Top; row < target.Bottom; ++row)
      std::copy_n(pixels.ScanLine(row - y) + 4 * (target.Left - x),
                  4 * (target.Right - target.Left), screen.ScanLine(row) + 4 * target.Left);
  }
  WindowEvent WaitEvent(int64_t deadline_ns) override {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto due = std::chrono::steady_clock::time_point(std::chrono::nanoseconds(deadline_ns));
    if (deadline_ns < 0)
      woken_.wait(lock, [&] { return wake_; });
    else
      woken_.wait_until(lock, due, [&] { return wake_; });
    const bool woken = std::exchange(wake_, false);
    return woken ? WindowEvent::kWake : WindowEvent::kTimeout;
  }
  void Wake() override {
    std::lock_guard<std::mutex> lock(mutex_);
    wake_ = true;
    woken_.notify_all();
  }
  void MessageBox(const std::string& title, const std::string& text) override {
    boxes.push_back(title + ": " + text);
  }
  // 0x00RRGGBB of a screen pixel.
  uint32_t Pixel(int x, int y) const {
    const uint8_t* p = screen.ScanLine(y) + 4 * x;
    return uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
  }

  TBitmap screen{640, 480, PixelFormat::pf32bit};
  bool shown = false;
  std::vector<std::string> boxes;

 private:
  std::mutex mutex_;
  std::condition_variable woken_;
  bool wake_ = false;
};

}  // namespace qm::test
