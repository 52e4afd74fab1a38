// The animation thread of the transition control and its hand-off with the main thread.
//
// The thread steps a transition one frame at a time. A frame is composed only after the previous
// one has been painted (the paint event), and it goes to the screen no sooner than Delay after
// the previous one did: each frame's time is an absolute deadline on the monotonic clock, slept
// to precisely, so the frames keep their pace on screen whatever each one took to compose. A
// termination request cuts any pause short.
//
// Each frame is painted on the main thread: the thread asks for the repaint through the
// MainThreadLink, which wakes the main thread through the control's host, and waits until the
// repaint is done. When its body ends, for whatever reason, the thread reports that the same way.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "picshow/manual_reset_event.h"
#include "picshow/picshow_host.h"

namespace qm {

class TAnimateThread;

// The framework's seven thread priorities.
enum class TThreadPriority : uint8_t {
  tpIdle,
  tpLowest,
  tpLower,
  tpNormal,
  tpHigher,
  tpHighest,
  tpTimeCritical
};

// What the animation thread drives: its owner, the transition control.
class AnimationSteps {
 public:
  virtual ~AnimationSteps() = default;
  // One step of the transition; true when the end is reached. Between composing the frame and
  // painting it, the step calls AwaitFrameTime of the thread.
  virtual bool AnimationStep() = 0;
  // The minimum time per frame, read for every frame.
  virtual std::chrono::milliseconds AnimationDelay() const = 0;
  // The last act of the thread's body, on the thread, however the body ended.
  virtual void AnimationEnded(TAnimateThread& thread) = 0;
};

class TAnimateThread {
 public:
  using Clock = std::chrono::steady_clock;

  // `paint_event` is set by every paint of the owner; the thread waits for it before each step.
  // `serial` tells this thread's end from that of an earlier one.
  TAnimateThread(AnimationSteps& owner, ManualResetEvent& paint_event, uint64_t serial)
      : owner_(owner), paint_event_(paint_event), serial_(serial) {}
  ~TAnimateThread() { Wait(); }
  TAnimateThread(const TAnimateThread&) = delete;
  TAnimateThread& operator=(const TAnimateThread&) = delete;

  // Starts the body, which first takes `priority`.
  void Start(TThreadPriority priority);
  // Waits until the body has ended.
  void Wait() {
    if (thread_.joinable()) thread_.join();
  }
  // Whether the body has begun (it then reports its end through AnimationEnded).
  bool Started() const { return started_.load(); }
  uint64_t Serial() const { return serial_; }
  // Asks the body to end; wakes it from its pause between frames. The owner also sets the paint
  // event, so that a body waiting for a paint wakes up.
  void RequestTermination();
  bool TerminationRequested() const { return terminate_.load(); }

  // On this thread, between composing a frame and painting it: waits until Delay after the
  // previous frame went to the screen (the first frame goes at once), or until termination is
  // requested; the frame's time is then now.
  void AwaitFrameTime();
  // The animation thread running on the calling thread, or nullptr.
  static TAnimateThread* Current();
  const AnimationSteps& Owner() const { return owner_; }

 private:
  void Run(TThreadPriority priority);
  // Sleeps until `deadline` on the monotonic clock; false when termination was requested.
  bool PauseUntil(Clock::time_point deadline);

  AnimationSteps& owner_;
  ManualResetEvent& paint_event_;
  const uint64_t serial_;
  std::atomic<bool> started_{false};
  std::atomic<bool> terminate_{false};
  std::mutex pause_mutex_;
  std::condition_variable pause_cv_;
  bool shown_any_ = false;        // a frame went to the screen (this thread only)
  Clock::time_point last_shown_;  // when
  std::thread thread_;
};

// The hand-off between the animation thread and the main thread: a pending frame repaint and the
// end of the thread's body. The data travels under the mutex; the host's wake-up only tells the
// main thread to look (HandleWake), so nothing is allocated per frame.
class MainThreadLink {
 public:
  explicit MainThreadLink(PicShowHost& host) : host_(host) {}

  // Animation thread: asks for the repaint of the frame just composed and blocks until the main
  // thread has served it.
  void RequestRepaint();
  // Animation thread, last act of its body.
  void ThreadEnded(uint64_t serial);

  // Main thread: what is waiting to be handled.
  struct Pending {
    bool repaint = false;
    bool ended = false;
    uint64_t serial = 0;  // the thread whose body ended last
  };
  Pending Peek();
  // Main thread: the requested repaint is done (or there was nothing to paint).
  void RepaintServed();
  // Main thread: blocks until a repaint is requested or a thread's body has ended, without the
  // host's event processing; true when the body has ended. From the first call on, the thread no
  // longer wakes the main thread through the host: it is waiting already.
  bool WaitForRepaintOrEnd();
  // Main thread, before a new animation thread starts.
  void Reset();

 private:
  PicShowHost& host_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool repaint_requested_ = false;
  bool ended_ = false;
  uint64_t ended_serial_ = 0;
  bool main_waiting_ = false;  // the main thread waits for the thread's end
};

}  // namespace qm
