#include "player/slide_prefetch.h"

#include "imaging/decode_stop.h"
#include "imaging/slide_loader.h"
#include "payload/run_files.h"

namespace qm {

// The picture in the screen's format, which the transition draws from: the worker widens it,
// so that the tick does not (this changes no pixel's colour).
SlidePrefetcher::SlidePrefetcher()
    : SlidePrefetcher([](const std::string& path) {
        std::optional<TBitmap> picture = LoadSlidePicture(path);
        if (picture) picture->ConvertTo(PixelFormat::pf32bit);
        return picture;
      }) {}

SlidePrefetcher::SlidePrefetcher(Decoder decode) : decode_(std::move(decode)) {}

SlidePrefetcher::~SlidePrefetcher() {
  Stop();
}

void SlidePrefetcher::Start(int index, const std::string& path) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (quit_) return;
  DropLocked(lock);
  index_ = index;
  path_ = path;
  state_ = State::kQueued;
  if (!worker_.joinable()) worker_ = std::thread([this] { Work(); });
  changed_.notify_all();
}

std::optional<TBitmap> SlidePrefetcher::Take(int index, const std::string& path) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (state_ != State::kIdle && index_ == index && path_ == path) {
      changed_.wait(lock, [this] { return state_ == State::kDone; });
      state_ = State::kIdle;
      std::optional<TBitmap> picture = std::move(picture_);
      picture_.reset();
      if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
      return picture;
    }
    // Another slide was decoded ahead (the show went elsewhere): not this one.
    DropLocked(lock);
  }
  return decode_(path);
}

void SlidePrefetcher::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
    abandon_ = true;
    changed_.notify_all();
  }
  if (worker_.joinable()) worker_.join();
  state_ = State::kIdle;
  picture_.reset();
  error_ = nullptr;
}

void SlidePrefetcher::DropLocked(std::unique_lock<std::mutex>& lock) {
  if (state_ == State::kDecoding) {
    abandon_ = true;
    changed_.wait(lock, [this] { return state_ != State::kDecoding; });
    abandon_ = false;
  }
  state_ = State::kIdle;
  picture_.reset();
  error_ = nullptr;
}

void SlidePrefetcher::Work() {
  // The end-of-show signals go to the main thread, never to this one.
  const ShowEndSignalsHeld held;
  const DecodeStopScope stoppable(abandon_);
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return quit_ || state_ == State::kQueued; });
    if (quit_) return;
    state_ = State::kDecoding;
    const std::string path = path_;
    lock.unlock();
    std::optional<TBitmap> picture;
    std::exception_ptr error;
    try {
      picture = decode_(path);
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    if (abandon_) {
      state_ = State::kIdle;
    } else {
      picture_ = std::move(picture);
      error_ = error;
      state_ = State::kDone;
    }
    changed_.notify_all();
  }
}

}  // namespace qm
