// A window for the transition control without a window system: its screen is a bitmap that
// Present copies into, and ProcessEvents handles the control's paint requests and wake-ups on
// the calling (main) thread. For the control's tests and benchmarks.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "picshow/picshow.h"

namespace qm::test {

class PicShowTestHost : public PicShowHost {
 public:
  PicShowTestHost() = default;
  // The control the host shows, or nullptr before it exists and after it is gone.
  void Attach(TCustomPicShow* control) { control_ = control; }

  // The window appears (a paint of the whole client area is due) or disappears.
  void Show();
  void Hide() { shown_ = false; }
  // The window manager gives the window a new size; the control hears of it at once.
  void Resize(int width, int height);
  std::pair<int, int> Size() const { return {width_, height_}; }
  // Paints the whole client area now, shown or not, and returns what the screen holds.
  const TBitmap& Grab();
  const TBitmap& Screen() const { return screen_; }
  // Handles events until `done` holds; false when that takes longer than `seconds` (scaled by
  // QUENMORA_TEST_TIMEOUT_SCALE).
  template <typename Done>
  bool WaitUntil(Done done, double seconds = 60) {
    const auto limit = Clock::now() + ScaledSeconds(seconds);
    while (!done()) {
      if (Clock::now() > limit) return false;
      ProcessEvents(Clock::now() + std::chrono::milliseconds(1));
    }
    return true;
  }
  static Clock::duration ScaledSeconds(double seconds);
  // The window is going away: the control may call it no more, but for wake-ups its animation
  // thread made before its destruction began ending it.
  void Close() { closed_ = true; }
  // Calls that broke the host contract: off the main thread or after Close, a Present outside a
  // paint or of another size than the client area's, an area outside it.
  int Violations() const { return violations_.load(); }

  // PicShowHost.
  int ClientWidth() const override { return width_; }
  int ClientHeight() const override { return height_; }
  void SetClientSize(int width, int height) override {
    if (!MainThreadCall()) ++violations_;
    Resize(width, height);
  }
  void Present(const TBitmap& image, const TRect& area) override;
  void Invalidate(const TRect& area) override;
  void UpdateNow(const TRect& area) override;
  void WakeMainThread() override;
  void ProcessEvents(Clock::time_point deadline) override;

 private:
  // Handles what is pending; false when nothing was.
  bool HandlePending();
  void Paint(const TRect& area);
  // A call that only the main thread may make, and not once the window is closed.
  bool MainThreadCall() const { return std::this_thread::get_id() == main_thread_ && !closed_; }

  TCustomPicShow* control_ = nullptr;
  int width_ = 100, height_ = 100;  // a new control's size
  bool shown_ = false;
  TBitmap screen_;
  std::optional<TRect> invalid_;
  std::mutex wake_mutex_;
  std::condition_variable wake_cv_;
  bool wake_pending_ = false;
  bool in_paint_ = false;
  bool closed_ = false;
  std::atomic<int> violations_{0};
  const std::thread::id main_thread_ = std::this_thread::get_id();
};

}  // namespace qm::test
