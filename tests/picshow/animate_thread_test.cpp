// The animation thread's pacing on its own, driven by a stand-in for the control: frames never
// go to the screen sooner than Delay after the previous one, the pause is only what composing
// the frame left of Delay, and a termination request ends even a long pause at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "picshow/animate_thread.h"
#include "tests/picshow/picshow_test_host.h"

namespace qm {
namespace {

using Clock = TAnimateThread::Clock;
using Ms = std::chrono::duration<double, std::milli>;

// Steps `frames` times, each composing for `work`, then showing the frame when its time has come
// and painting it at once (sets the paint event).
class FakeSteps : public AnimationSteps {
 public:
  FakeSteps(int frames, std::chrono::milliseconds delay, std::chrono::milliseconds work)
      : frames_(frames), delay_(delay), work_(work) {}
  bool AnimationStep() override {
    std::this_thread::sleep_until(Clock::now() + work_);  // the frame's composition
    const auto composed = Clock::now();
    TAnimateThread::Current()->AwaitFrameTime();
    const auto shown = Clock::now();
    std::lock_guard<std::mutex> lock(mutex_);
    shown_.push_back(shown);
    pauses_.push_back(Ms(shown - composed).count());
    cv_.notify_all();
    paint_event.Set();
    return static_cast<int>(shown_.size()) == frames_;
  }
  std::chrono::milliseconds AnimationDelay() const override { return delay_; }
  void AnimationEnded(TAnimateThread&) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
    cv_.notify_all();
  }
  // Waits until the body ends or until `frames` steps were made; false on a time-out.
  bool WaitFor(bool end, std::size_t frames = 0) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, test::PicShowTestHost::ScaledSeconds(10),
                        [&] { return end ? ended_ : shown_.size() >= frames; });
  }
  std::vector<double> GapsMs() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<double> gaps;
    for (std::size_t i = 1; i < shown_.size(); ++i)
      gaps.push_back(Ms(shown_[i] - shown_[i - 1]).count());
    return gaps;
  }

  // How long each frame waited between its composition and its showing.
  std::vector<double> PausesMs() {
    std::lock_guard<std::mutex> lock(mutex_);
    return pauses_;
  }

  ManualResetEvent paint_event{true};

 private:
  const int frames_;
  const std::chrono::milliseconds delay_, work_;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<Clock::time_point> shown_;
  std::vector<double> pauses_;
  bool ended_ = false;
};

TEST(AnimateThreadTest, FramesKeepTheirPaceAndNeverComeSooner) {
  constexpr int kDelay = 100, kWork = 90;
  FakeSteps steps(8, std::chrono::milliseconds(kDelay), std::chrono::milliseconds(kWork));
  TAnimateThread thread(steps, steps.paint_event, 1);
  thread.Start(TThreadPriority::tpNormal);
  ASSERT_TRUE(steps.WaitFor(true));
  thread.Wait();
  std::vector<double> gaps = steps.GapsMs();
  ASSERT_EQ(gaps.size(), 7u);
  for (double gap : gaps) EXPECT_GE(gap, kDelay) << "a frame was shown sooner than Delay";
  // The pause is what composing left of Delay (about kDelay - kWork), never a whole Delay after
  // composing. A late composition on a loaded machine only shortens the pause, so the median
  // pause stays clear of kDelay unless waking up alone takes most of a Delay.
  std::vector<double> pauses = steps.PausesMs();
  std::sort(pauses.begin(), pauses.end());
  EXPECT_LT(pauses[pauses.size() / 2], kDelay * 0.9) << "the pause was a whole Delay";
}

TEST(AnimateThreadTest, TerminationEndsALongPauseAtOnce) {
  FakeSteps steps(1000, std::chrono::milliseconds(60000), std::chrono::milliseconds(0));
  TAnimateThread thread(steps, steps.paint_event, 1);
  thread.Start(TThreadPriority::tpLowest);
  ASSERT_TRUE(steps.WaitFor(false, 1));
  thread.RequestTermination();
  ASSERT_TRUE(steps.WaitFor(true)) << "the pause of a minute went on";
  thread.Wait();
  EXPECT_LE(steps.GapsMs().size(), 1u);  // the frame that waited is shown, and no further one
  EXPECT_TRUE(thread.Started());
}

}  // namespace
}  // namespace qm
