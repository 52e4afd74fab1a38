// The presentation `pack` is writing: a new file beside the output that takes the output's place
// only when it is complete, so that neither a failure nor an interruption leaves half a
// presentation behind.
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <memory>
#include <string>

#include "player/file_stream.h"

namespace qm::tool {

// Only one lives at a time. While it does, SIGINT, SIGTERM and SIGHUP (unless ignored) remove
// the file and then end the process by the same signal, so that its exit status says the run
// was interrupted.
class PendingOutput {
 public:
  // Creates "OUTPUT.XXXXXX" exclusively and owner-only. Raises std::runtime_error with the
  // system's reason when it cannot.
  explicit PendingOutput(const std::string& output);
  // Removes the file unless it was committed, and restores the signals' previous handling.
  ~PendingOutput();
  PendingOutput(const PendingOutput&) = delete;
  PendingOutput& operator=(const PendingOutput&) = delete;

  FileStream& Stream() { return *stream_; }
  // Gives the file `mode`, closes it and moves it into the output's place. Raises on failure
  // (std::runtime_error with the system's reason for the move).
  void Commit(mode_t mode);

 private:
  static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

  std::string output_;
  std::unique_ptr<char[]> path_;  // read by the signal handler
  std::unique_ptr<FileStream> stream_;
  struct sigaction previous_[3] = {};
  sigset_t mask_{};  // the signals above, blocked while the handler's view changes
  bool committed_ = false;
};

}  // namespace qm::tool
