#include "tools/pending_output.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <iterator>

#include "tools/tool_files.h"
#include "tools/tool_messages.h"

namespace qm::tool {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The unfinished files an interruption removes, each with what it then says. A note is set
// before its path is published; the paths are lock-free, so the handler may read them.
constexpr int kSlots = 8;
std::atomic<const char*> g_paths[kSlots];
const char* g_notes[kSlots];
static_assert(std::atomic<const char*>::is_always_lock_free);

// The write end of the watching command's pipe, and the first signal that came while it watched.
std::atomic<int> g_watch_fd{-1};
volatile sig_atomic_t g_caught = 0;

int g_users = 0;  // objects that need the handler; it is installed while there are any
struct sigaction g_previous[std::size(kSignals)];

extern "C" void OnInterrupt(int signal) {
  const int saved = errno;
  if (const int fd = g_watch_fd.load(); fd >= 0) {
    if (!g_caught) g_caught = signal;
    const char byte = 1;
    (void)!::write(fd, &byte, 1);
    errno = saved;
    return;
  }
  for (int k = 0; k < kSlots; ++k) {
    if (const char* path = g_paths[k].exchange(nullptr)) {
      ::unlink(path);
      (void)!::write(STDERR_FILENO, g_notes[k], std::strlen(g_notes[k]));
    }
  }
  ::signal(signal, SIG_DFL);
  ::raise(signal);  // delivered when the handler returns
}

void InstallHandler() {
  if (g_users++ > 0) return;
  struct sigaction handler {};
  handler.sa_handler = OnInterrupt;
  handler.sa_flags = SA_RESTART;
  sigemptyset(&handler.sa_mask);
  for (std::size_t k = 0; k < std::size(kSignals); ++k) {
    ::sigaction(kSignals[k], nullptr, &g_previous[k]);
    if (g_previous[k].sa_handler != SIG_IGN) ::sigaction(kSignals[k], &handler, nullptr);
  }
}

void RemoveHandler() {
  if (--g_users > 0) return;
  for (std::size_t k = 0; k < std::size(kSignals); ++k)
    ::sigaction(kSignals[k], &g_previous[k], nullptr);
}

std::unique_ptr<char[]> Copy(const std::string& text) {
  std::unique_ptr<char[]> copy(new char[text.size() + 1]);
  std::memcpy(copy.get(), text.c_str(), text.size() + 1);
  return copy;
}

class StreamSink final : public ByteSink {
 public:
  explicit StreamSink(FileStream& stream) : stream_(stream) {}
  void Write(const uint8_t* data, std::size_t size) override { stream_.WriteBuffer(data, size); }

 private:
  FileStream& stream_;
};

}  // namespace

InterruptsHeldBack::InterruptsHeldBack() {
  sigset_t mask;
  sigemptyset(&mask);
  for (int s : kSignals) sigaddset(&mask, s);
  ::pthread_sigmask(SIG_BLOCK, &mask, &old_);
}

InterruptsHeldBack::~InterruptsHeldBack() {
  ::pthread_sigmask(SIG_SETMASK, &old_, nullptr);
}

std::optional<std::string> CheckOutput(const std::string& output,
                                       const std::vector<Input>& inputs) {
  if (auto why = NotARegularFile(output, "output")) return why;
  struct stat out {};
  if (::stat(output.c_str(), &out) != 0) return std::nullopt;
  for (const Input& input : inputs) {
    struct stat in {};
    if (::stat(input.path.c_str(), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino)
      return "the output " + output + " is " + input.name;
  }
  return std::nullopt;
}

std::vector<Input> PictureInputs(const std::vector<std::string>& paths) {
  std::vector<Input> inputs;
  for (const std::string& path : paths) inputs.push_back({path, "also an input (" + path + ")"});
  return inputs;
}

PendingOutput::PendingOutput(const std::string& output, const std::vector<Input>& inputs)
    : output_(output) {
  if (auto why = CheckOutput(output, inputs)) throw ToolError(*why);
  path_ = Copy(output + ".XXXXXX");
  note_ = Copy(std::string("quenmora ") + CommandName() + ": interrupted; " + output +
               " was not written\n");
  const InterruptsHeldBack blocked;
  const int fd = ::mkstemp(path_.get());
  if (fd < 0)
    throw ToolError("cannot create a file beside " + output + ": " + std::strerror(errno));
  stream_ = FileStream::Adopt(path_.get(), NativeFile::Adopt(fd));
  sink_ = std::make_unique<StreamSink>(*stream_);
  for (int k = 0; k < kSlots && slot_ < 0; ++k) {
    if (!g_paths[k].load()) {
      g_notes[k] = note_.get();
      g_paths[k] = path_.get();
      slot_ = k;
    }
  }
  InstallHandler();
}

PendingOutput::~PendingOutput() {
  const InterruptsHeldBack blocked;
  if (slot_ >= 0) g_paths[slot_] = nullptr;
  if (!committed_) {
    stream_.reset();
    ::unlink(path_.get());
  }
  RemoveHandler();
}

void PendingOutput::Commit(mode_t mode) {
  stream_->SetMode(mode);
  stream_->Close();
  const InterruptsHeldBack blocked;
  if (::rename(path_.get(), output_.c_str()) != 0)
    throw ToolError("cannot move the finished file into place at " + output_ + ": " +
                    std::strerror(errno));
  if (slot_ >= 0) g_paths[slot_] = nullptr;
  committed_ = true;
}

void PendingOutput::Commit() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  Commit(0666 & ~mask);
}

std::string PendingOutput::WriteError(const std::exception& error) const {
  const int cause = stream_ ? stream_->SystemError() : 0;
  return cause ? "cannot write " + output_ + ": " + std::strerror(cause) : Describe(error);
}

InterruptWatch::InterruptWatch() {
  if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0)
    throw ToolError(std::string("cannot watch for interruptions: ") + std::strerror(errno));
  const InterruptsHeldBack blocked;
  g_caught = 0;
  g_watch_fd = pipe_[1];
  InstallHandler();
}

InterruptWatch::~InterruptWatch() {
  const InterruptsHeldBack blocked;
  g_watch_fd = -1;
  RemoveHandler();
  ::close(pipe_[0]);
  ::close(pipe_[1]);
  // Delivered as the signals are unblocked: the process ends by the signal that came.
  if (const int signal = g_caught) {
    ::signal(signal, SIG_DFL);
    ::raise(signal);
  }
}

void InterruptWatch::Check() const {
  if (g_caught) throw Interrupted{g_caught};
}

}  // namespace qm::tool
