#include "picshow/animate_thread.h"

#include <cerrno>
#include <ctime>

#include <pthread.h>
#include <sched.h>

namespace qm {

namespace {

// The platform's scheduling of the framework's seven thread priorities: the idle level runs
// only when nothing else wants the processor; the others spread over the range of the current
// scheduling policy (a single level under the default time-sharing policy).
void ApplyPriorityToCurrentThread(TThreadPriority p) {
  int policy = 0;
  sched_param param{};
  if (pthread_getschedparam(pthread_self(), &policy, &param) != 0) return;
  if (p == TThreadPriority::tpIdle) {
#ifdef SCHED_IDLE
    param.sched_priority = 0;
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &param);
#endif
    return;
  }
  const int lo = sched_get_priority_min(policy), hi = sched_get_priority_max(policy);
  if (lo < 0 || hi < 0) return;
  const int level = static_cast<int>(p) - static_cast<int>(TThreadPriority::tpLowest);  // 0..5
  param.sched_priority = lo + level * (hi - lo) / 5;
  pthread_setschedparam(pthread_self(), policy, &param);
}

// The end of a pause is slept in one absolute sleep of at most this long: short enough that a
// termination request during it is still answered at once.
constexpr auto kFinalStretch = std::chrono::milliseconds(1);

thread_local TAnimateThread* current_thread = nullptr;

}  // namespace

// --- The animation thread ---

void TAnimateThread::Start(TThreadPriority priority) {
  thread_ = std::thread([this, priority] { Run(priority); });
}

void TAnimateThread::RequestTermination() {
  {
    std::lock_guard<std::mutex> lock(pause_mutex_);
    terminate_ = true;
  }
  pause_cv_.notify_all();
}

TAnimateThread* TAnimateThread::Current() {
  return current_thread;
}

void TAnimateThread::Run(TThreadPriority priority) {
  ApplyPriorityToCurrentThread(priority);
  current_thread = this;
  started_ = true;
  try {
    while (!terminate_) {
      paint_event_.Wait();
      if (terminate_) continue;
      paint_event_.Reset();
      if (owner_.AnimationStep()) terminate_ = true;
    }
  } catch (...) {
    // An effect or a frame event failed: the transition ends with the last frame drawn and
    // finishes as a completed one.
  }
  current_thread = nullptr;
  owner_.AnimationEnded(*this);
}

void TAnimateThread::AwaitFrameTime() {
  // Pacing the frames' times on screen rather than the starts of their composition keeps the
  // gaps even when one frame takes longer to compose than the next.
  if (shown_any_) PauseUntil(last_shown_ + owner_.AnimationDelay());
  last_shown_ = Clock::now();
  shown_any_ = true;
}

bool TAnimateThread::PauseUntil(Clock::time_point deadline) {
  {
    // The bulk of the pause as a wait that a termination request ends at once.
    std::unique_lock<std::mutex> lock(pause_mutex_);
    if (pause_cv_.wait_until(lock, deadline - kFinalStretch, [this] { return terminate_.load(); }))
      return false;
  }
  // The rest as one absolute sleep on the monotonic clock (the steady clock's own), which ends on
  // the deadline itself rather than after a rounded-up relative time.
  const auto since = deadline.time_since_epoch();
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
  timespec until{};
  until.tv_sec = static_cast<time_t>(seconds.count());
  until.tv_nsec = static_cast<long>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(since - seconds).count());
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
  }
  return !terminate_;
}

// --- The hand-off with the main thread ---

// The wake-up is made under the mutex: once the main thread waits for the thread's end (and
// may go on to destroy the control and its host), no wake-up is in flight any more.
void MainThreadLink::RequestRepaint() {
  std::unique_lock<std::mutex> lock(mutex_);
  repaint_requested_ = true;
  cv_.notify_all();  // a main thread waiting for the thread's end paints the frame
  if (!main_waiting_) host_.WakeMainThread();
  cv_.wait(lock, [this] { return !repaint_requested_; });
}

void MainThreadLink::ThreadEnded(uint64_t serial) {
  std::lock_guard<std::mutex> lock(mutex_);
  ended_ = true;
  ended_serial_ = serial;
  cv_.notify_all();
  if (!main_waiting_) host_.WakeMainThread();
}

MainThreadLink::Pending MainThreadLink::Peek() {
  std::lock_guard<std::mutex> lock(mutex_);
  return {repaint_requested_, ended_, ended_serial_};
}

void MainThreadLink::RepaintServed() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    repaint_requested_ = false;
  }
  cv_.notify_all();
}

bool MainThreadLink::WaitForRepaintOrEnd() {
  std::unique_lock<std::mutex> lock(mutex_);
  main_waiting_ = true;
  cv_.wait(lock, [this] { return repaint_requested_ || ended_; });
  return ended_;
}

void MainThreadLink::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  repaint_requested_ = false;
  ended_ = false;
  main_waiting_ = false;
}

}  // namespace qm
