#include "platform/shared_rows.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace qm {

namespace {

struct Pass {
  int rows, chunk, chunks;
  void (*work)(void*, int, int);
  void* context;
  std::atomic<int> next{0};

  // Takes chunks until none is left.
  void Run() {
    for (int i = next.fetch_add(1, std::memory_order_relaxed); i < chunks;
         i = next.fetch_add(1, std::memory_order_relaxed)) {
      const int first = i * chunk;
      work(context, first, std::min(rows, first + chunk));
    }
  }
};

// The helper thread, started with the first shared pass and ended when the program ends.
class Helper {
 public:
  Helper() : thread_([this] { Loop(); }) {}
  ~Helper() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    offered_cv_.notify_one();
    thread_.join();
  }
  Helper(const Helper&) = delete;
  Helper& operator=(const Helper&) = delete;

  // One pass at a time has the helper; another runs alone.
  bool TryAcquire() { return !in_use_.exchange(true, std::memory_order_acquire); }

  void Run(Pass& pass) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      offered_ = &pass;
    }
    offered_cv_.notify_one();
    pass.Run();
    std::unique_lock<std::mutex> lock(mutex_);
    if (offered_ == &pass) {
      offered_ = nullptr;  // never taken up: the helper does not touch the pass
    } else {
      done_cv_.wait(lock, [this] { return !working_; });
    }
    lock.unlock();
    in_use_.store(false, std::memory_order_release);
  }

 private:
  void Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      offered_cv_.wait(lock, [this] { return stop_ || offered_ != nullptr; });
      if (stop_) return;
      Pass* pass = std::exchange(offered_, nullptr);
      working_ = true;
      lock.unlock();
      pass->Run();
      lock.lock();
      working_ = false;
      done_cv_.notify_one();
    }
  }

  std::mutex mutex_;
  std::condition_variable offered_cv_, done_cv_;
  Pass* offered_ = nullptr;
  bool working_ = false;
  bool stop_ = false;
  std::atomic<bool> in_use_{false};
  std::thread thread_;  // last: it starts once the members it uses are there
};

}  // namespace

void ShareRowsRaw(int rows, int chunk, void (*work)(void*, int, int), void* context) {
  if (rows <= 0) return;
  chunk = std::max(chunk, 1);
  const int chunks = rows / chunk + (rows % chunk != 0 ? 1 : 0);
  Pass pass{rows, chunk, chunks, work, context};
  static const bool two_processors = std::thread::hardware_concurrency() > 1;
  if (chunks < 2 || !two_processors) {
    pass.Run();
    return;
  }
  // A helper thread that cannot be started (the system's limit of threads reached) leaves every
  // pass to its caller.
  static Helper* const helper = []() -> Helper* {
    try {
      static Helper started;
      return &started;
    } catch (const std::system_error&) {
      return nullptr;
    }
  }();
  if (helper != nullptr && helper->TryAcquire())
    helper->Run(pass);
  else
    pass.Run();
}

}  // namespace qm
