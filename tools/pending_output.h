// The files the tool writes. Every command checks its output before any work: never a device, a
// pipe, a socket or a folder, never one of its inputs. It then writes a new file beside the
// output, which takes the output's place only when complete, so that neither a failure nor an
// interruption leaves half a file behind or harms the file that was there.
//
// Interruptions: SIGINT, SIGTERM and SIGHUP (unless ignored, as nohup does) remove the unfinished
// files and end the process by the same signal, so that its exit status says the run was
// interrupted (128 + the signal's number, as a shell shows it). A command with work of its own to
// undo watches for them instead (InterruptWatch).
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "imaging/png_encoding.h"
#include "payload/file_stream.h"

namespace qm::tool {

// A file the command reads, and how a refusal names it ("the player ./p").
struct Input {
  std::string path;
  std::string name;
};

// Why `output` may not be written, or nothing: it exists (links followed) and is not a regular
// file, or it is one of `inputs` by device and inode, whichever name or link leads to it.
std::optional<std::string> CheckOutput(const std::string& output, const std::vector<Input>& inputs);

// Inputs named as "an input (PATH)", for commands whose inputs are pictures.
std::vector<Input> PictureInputs(const std::vector<std::string>& paths);

// Holds SIGINT, SIGTERM and SIGHUP back on the calling thread while it lives, so that the
// handler never sees its state half changed. Threads started meanwhile hold them back for good:
// an interruption is then taken by the calling thread alone, never by a library's thread while
// the calling thread goes on to create by name the file that the handler has just removed.
class InterruptsHeldBack {
 public:
  InterruptsHeldBack();
  ~InterruptsHeldBack();
  InterruptsHeldBack(const InterruptsHeldBack&) = delete;
  InterruptsHeldBack& operator=(const InterruptsHeldBack&) = delete;

 private:
  sigset_t old_{};
};

class PendingOutput {
 public:
  // Checks `output` (CheckOutput) and creates "OUTPUT.XXXXXX" beside it, exclusively and
  // owner-only, which shows that its folder takes new files. Raises ToolError with the reason.
  explicit PendingOutput(const std::string& output, const std::vector<Input>& inputs = {});
  // Removes the file unless it was committed.
  ~PendingOutput();
  PendingOutput(const PendingOutput&) = delete;
  PendingOutput& operator=(const PendingOutput&) = delete;

  FileStream& Stream() { return *stream_; }
  // The file as the destination of an encoder.
  ByteSink& Sink() { return *sink_; }
  // Gives the file `mode`, closes it and moves it into the output's place. Raises on failure.
  void Commit(mode_t mode);
  // The same with the mode a new document gets (0666 less the umask).
  void Commit();
  // The message for an exception raised while the file was written: the system's reason when
  // writing failed ("cannot write OUT: No space left on device"), else the exception's.
  std::string WriteError(const std::exception& error) const;

 private:
  std::string output_;
  std::unique_ptr<char[]> path_;  // read by the signal handler
  std::unique_ptr<char[]> note_;  // likewise: what it says when it removes the file
  std::unique_ptr<FileStream> stream_;
  std::unique_ptr<ByteSink> sink_;
  int slot_ = -1;
  bool committed_ = false;
};

// Raised by InterruptWatch::Check once an interrupting signal has come.
struct Interrupted {
  int signal;
};

// While one lives, an interrupting signal does not end the process at once: it is noted and
// makes Fd() readable, so that a loop waiting for other work wakes up, and Check() raises
// Interrupted, so that the command undoes its work as it does on an error. When the watch
// ends, a signal that came ends the process as above.
class InterruptWatch {
 public:
  InterruptWatch();
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

  int Fd() const { return pipe_[0]; }
  void Check() const;

 private:
  int pipe_[2] = {-1, -1};
};

}  // namespace qm::tool
