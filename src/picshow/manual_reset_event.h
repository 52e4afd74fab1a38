// A manual-reset event: once set it stays set, releasing every waiter, until it is reset.
// The transition control's paint event is one: painting sets it, the animation thread waits for
// it and resets it before each step, so it composes a frame only after the last one was shown.
#pragma once

#include <condition_variable>
#include <mutex>

namespace qm {

class ManualResetEvent {
 public:
  explicit ManualResetEvent(bool initially_set) : set_(initially_set) {}

  void Set() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      set_ = true;
    }
    cv_.notify_all();
  }
  void Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = false;
  }
  // Blocks until the event is set; does not reset it.
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [this] { return set_; });
  }
  bool IsSet() {
    std::lock_guard<std::mutex> lock(mutex_);
    return set_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool set_;
};

}  // namespace qm
