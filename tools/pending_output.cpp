#include "tools/pending_output.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <stdexcept>

namespace qm::tool {

namespace {

// The file to remove on an interruption; lock-free, so the handler may read it.
std::atomic<const char*> g_pendingPath{nullptr};
static_assert(std::atomic<const char*>::is_always_lock_free);

extern "C" void RemovePendingAndEnd(int signal) {
  if (const char* path = g_pendingPath.exchange(nullptr)) {
    ::unlink(path);
    static constexpr char kNote[] = "quenmora pack: interrupted; no presentation was written\n";
    (void)!::write(STDERR_FILENO, kNote, sizeof kNote - 1);
  }
  ::signal(signal, SIG_DFL);
  ::raise(signal);  // delivered when the handler returns
}

// Blocks `mask` for the life of the object.
class BlockedSignals {
 public:
  explicit BlockedSignals(const sigset_t& mask) { ::pthread_sigmask(SIG_BLOCK, &mask, &old_); }
  ~BlockedSignals() { ::pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
  BlockedSignals(const BlockedSignals&) = delete;
  BlockedSignals& operator=(const BlockedSignals&) = delete;

 private:
  sigset_t old_{};
};

}  // namespace

PendingOutput::PendingOutput(const std::string& output) : output_(output) {
  sigemptyset(&mask_);
  for (int s : kSignals) sigaddset(&mask_, s);
  const std::string pattern = output + ".XXXXXX";
  path_.reset(new char[pattern.size() + 1]);
  std::memcpy(path_.get(), pattern.c_str(), pattern.size() + 1);

  const BlockedSignals blocked(mask_);
  struct sigaction handler {};
  handler.sa_handler = RemovePendingAndEnd;
  sigemptyset(&handler.sa_mask);
  for (std::size_t k = 0; k < std::size(kSignals); ++k) {
    ::sigaction(kSignals[k], nullptr, &previous_[k]);
    // A signal the caller ignores (as nohup does for SIGHUP) stays ignored.
    if (previous_[k].sa_handler != SIG_IGN) ::sigaction(kSignals[k], &handler, nullptr);
  }
  const int fd = ::mkstemp(path_.get());
  if (fd < 0) {
    const int cause = errno;
    for (std::size_t k = 0; k < std::size(kSignals); ++k)
      ::sigaction(kSignals[k], &previous_[k], nullptr);
    throw std::runtime_error("cannot create a file beside " + output + ": " + std::strerror(cause));
  }
  stream_ = FileStream::Adopt(path_.get(), NativeFile::Adopt(fd));
  g_pendingPath = path_.get();
}

PendingOutput::~PendingOutput() {
  const BlockedSignals blocked(mask_);
  if (!committed_) {
    g_pendingPath = nullptr;
    stream_.reset();
    ::unlink(path_.get());
  }
  for (std::size_t k = 0; k < std::size(kSignals); ++k)
    ::sigaction(kSignals[k], &previous_[k], nullptr);
}

void PendingOutput::Commit(mode_t mode) {
  stream_->SetMode(mode);
  stream_->Close();
  const BlockedSignals blocked(mask_);
  if (::rename(path_.get(), output_.c_str()) != 0) {
    const int cause = errno;
    throw std::runtime_error("cannot move the presentation into place at " + output_ + ": " +
                             std::strerror(cause));
  }
  g_pendingPath = nullptr;
  committed_ = true;
}

}  // namespace qm::tool
