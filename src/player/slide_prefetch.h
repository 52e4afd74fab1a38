// The next slide, decoded on a worker thread while the current one is on screen, so that its
// tick finds the picture ready and the transition starts at once. At most one slide is decoded
// ahead. What the tick gets is exactly what decoding the file at the tick would have given:
// the picture, nothing for a file the show does not decode, or the decoder's error, which is
// raised at the tick and not before.
#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/bitmap.h"

namespace qm {

class SlidePrefetcher {
 public:
  // Turns a slide's path into its picture; by default the slide loader's, widened to 32 bits.
  using Decoder = std::function<std::optional<TBitmap>(const std::string& path)>;

  SlidePrefetcher();
  explicit SlidePrefetcher(Decoder decode);
  // Stops the worker (Stop).
  ~SlidePrefetcher();
  SlidePrefetcher(const SlidePrefetcher&) = delete;
  SlidePrefetcher& operator=(const SlidePrefetcher&) = delete;

  // Starts decoding slide `index` (at `path`) on the worker thread, which is started with the
  // first slide. A slide decoded before and not taken is dropped. Nothing after Stop.
  void Start(int index, const std::string& path);

  // The picture of slide `index` at `path`: the one decoded ahead when Start named this slide
  // (waiting for the rest of its decode if need be), else decoded now on the calling thread.
  // The decoder's exceptions pass to the caller unchanged.
  std::optional<TBitmap> Take(int index, const std::string& path);

  // Abandons a decode under way (the decoders stop within a row), ends the worker thread and
  // drops what was decoded ahead. Returns when the worker has ended.
  void Stop();

 private:
  enum class State { kIdle, kQueued, kDecoding, kDone };
  void Work();
  // Waits for a decode under way to end and drops its result. Call with `lock` held.
  void DropLocked(std::unique_lock<std::mutex>& lock);

  const Decoder decode_;
  std::mutex mutex_;
  std::condition_variable changed_;
  State state_ = State::kIdle;
  bool quit_ = false;
  int index_ = -1;
  std::string path_;
  std::optional<TBitmap> picture_;
  std::exception_ptr error_;
  std::atomic<bool> abandon_{false};  // the decode under way is not wanted any more
  std::thread worker_;
};

}  // namespace qm
