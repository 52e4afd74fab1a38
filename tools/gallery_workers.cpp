#include "tools/gallery_workers.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <new>
#include <vector>

#include "imaging/png_writer.h"
#include "picshow/style_catalogue.h"
#include "platform/stretch.h"
#include "tools/gallery_folder.h"
#include "tools/tool_messages.h"
#include "tools/transition_animation.h"

namespace qm::tool {

namespace {

// A worker's loop: takes styles until none are left; writes each preview, frame by frame as it
// is composed, and its sheet tile.
void RenderStyles(const Work& w) {
  const std::size_t tile_bytes = w.layout.TileBytes();
  TBitmap frame, tile(w.layout.tile_w, w.layout.tile_h, PixelFormat::pf32bit);
  for (;;) {
    const int style = w.shared->next_style.fetch_add(1) + 1;
    if (style > kMaxStyle) return;
    RenderSettings settings = w.settings;
    settings.style = style;
    FileSink preview(w.styles_dir + "/" + StyleFileName(style));
    AnimateTransition(*w.old_picture, *w.new_picture, settings, w.delay_ms, preview);
    preview.Close();
    RenderFrame(*w.old_picture, *w.new_picture, settings, kSheetProgress, frame);
    StretchCopyRect(tile, Rect(0, 0, w.layout.tile_w, w.layout.tile_h), frame,
                    Rect(0, 0, frame.Width(), frame.Height()));
    std::memcpy(w.shared->Tiles() + (style - 1) * tile_bytes, tile.Bits(), tile_bytes);
    const uint8_t done = static_cast<uint8_t>(style);
    if (write(w.report_fd, &done, 1) != 1) return;
  }
}

int ProcessorCount() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
  return std::max(1L, sysconf(_SC_NPROCESSORS_ONLN));
}

// The memory a worker needs for previews of w x h: the bitmaps of the transition being composed
// and the frames the animation writer compares, about ten 32-bit frames, and its program.
uint64_t WorkerBytes(int w, int h) {
  return 10 * static_cast<uint64_t>(w) * h * 4 + (32u << 20);
}

// The memory the workers may take together: what the system reports available, or half of
// the physical memory where it does not say.
uint64_t MemoryForWorkers() {
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  uint64_t kilobytes = 0;
  while (meminfo >> key >> kilobytes) {
    if (key == "MemAvailable:") return kilobytes * 1024 * 3 / 4;
    meminfo.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
  }
  return static_cast<uint64_t>(sysconf(_SC_PHYS_PAGES)) * sysconf(_SC_PAGESIZE) / 2;
}

// Runs `jobs` workers and shows their progress on a terminal; an interruption stops them.

}  // namespace

SharedWorkMemory::SharedWorkMemory(const SheetLayout& layout)
    : size_(sizeof(SharedWork) + kMaxStyle * layout.TileBytes()) {
  void* memory = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) throw std::bad_alloc();
  work_ = new (memory) SharedWork{};
}

SharedWorkMemory::~SharedWorkMemory() {
  work_->~SharedWork();
  munmap(work_, size_);
}

int WorkerCount(int requested, int w, int h) {
  const int wanted = std::min(requested > 0 ? requested : ProcessorCount(), kMaxStyle);
  const int jobs = static_cast<int>(std::clamp<uint64_t>(MemoryForWorkers() / WorkerBytes(w, h), 1,
                                                         static_cast<uint64_t>(wanted)));
  if (jobs < wanted)
    std::fprintf(stderr, "quenmora gallery: rendering %d styles at once, as the memory holds\n",
                 jobs);
  return jobs;
}

void RenderInWorkers(Work work, int jobs, const InterruptWatch& watch) {
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0)
    throw ToolError(std::string("cannot start the workers: ") + std::strerror(errno));
  std::fflush(stdout);
  std::fflush(stderr);
  std::vector<pid_t> workers;
  for (int i = 0; i < jobs; ++i) {
    const pid_t pid = fork();
    if (pid == 0) {
      for (int sig : {SIGINT, SIGTERM, SIGHUP}) signal(sig, SIG_DFL);
      close(report[0]);
      work.report_fd = report[1];
      int status = 0;
      try {
        RenderStyles(work);
      } catch (const std::exception& e) {
        Fail(Describe(e));
        status = 1;
      }
      _exit(status);
    }
    if (pid < 0) break;
    workers.push_back(pid);
  }
  const int fork_error = errno;
  close(report[1]);

  // Waits for the workers' reports and for an interruption, whichever comes first.
  const bool terminal = isatty(STDERR_FILENO);
  int done = 0;
  bool interrupted = false;
  while (!workers.empty()) {
    pollfd waits[2] = {{report[0], POLLIN, 0}, {watch.Fd(), POLLIN, 0}};
    if (poll(waits, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (waits[1].revents) {
      interrupted = true;
      break;
    }
    uint8_t buffer[256];
    const ssize_t n = read(report[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<int>(n);
    if (terminal) std::fprintf(stderr, "\rquenmora gallery: %d of %d styles", done, kMaxStyle);
  }
  close(report[0]);
  if (terminal && done > 0) std::fputc('\n', stderr);
  if (interrupted)
    for (pid_t pid : workers) kill(pid, SIGKILL);
  bool failed = false;
  for (pid_t pid : workers) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    failed |= !WIFEXITED(status) || WEXITSTATUS(status) != 0;
  }
  watch.Check();
  if (workers.empty())
    throw ToolError(std::string("cannot start the workers: ") + std::strerror(fork_error));
  if (failed || done != kMaxStyle)
    throw ToolError("rendering the styles failed (" + std::to_string(done) + " of " +
                    std::to_string(kMaxStyle) + " done)");
}

}  // namespace qm::tool
