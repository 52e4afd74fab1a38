#include "x_session.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace qm::test {

namespace {

int RunCommand(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
  const pid_t pid = fork();
  if (pid == 0) {
    for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  return pid;
}

}  // namespace

XSession::XSession(int width, int height) {
  // Try displays until one is ours: Xvfb writes its pid into the display's lock file, and a
  // display whose lock names another process belongs to a server started beside ours.
  const std::string size = std::to_string(width) + "x" + std::to_string(height) + "x24";
  for (int n = 100 + getpid() % 200; n < 1000; n += 3) {
    const std::string display = ":" + std::to_string(n);
    const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
    if (access(lock.c_str(), F_OK) == 0) continue;
    pid_ = Spawn({"Xvfb", display, "-screen", "0", size, "-nolisten", "tcp"}, {});
    display_ = display;
    const bool ready = WaitFor(
        [&] {
          if (waitpid(pid_, nullptr, WNOHANG) == pid_) return true;  // it gave up: try the next
          FILE* f = std::fopen(lock.c_str(), "r");
          if (!f) return false;
          long owner = 0;
          const bool read = std::fscanf(f, "%ld", &owner) == 1;
          std::fclose(f);
          return read && owner == pid_ &&
                 RunCommand("DISPLAY=" + display + " xdpyinfo >/dev/null 2>&1") == 0;
        },
        std::chrono::seconds(10));
    if (ready && waitpid(pid_, nullptr, WNOHANG) == 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
}

XSession::~XSession() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

QImage XSession::Screenshot() const {
  char path[] = "/tmp/qm-e2e-shot-XXXXXX.png";
  const int fd = mkstemps(path, 4);
  if (fd < 0) return {};
  close(fd);
  QImage image;
  if (RunCommand("QT_QPA_PLATFORM=xcb DISPLAY=" + display_ + " " + QM_BIN_DIR +
                 "/quenmora-screenshot " + path + " 2>/dev/null") == 0)
    image.load(path);
  unlink(path);
  return image.convertToFormat(QImage::Format_RGB32);
}

void XSession::Key(const std::string& key) const {
  RunCommand("DISPLAY=" + display_ + " xdotool key " + key + " >/dev/null 2>&1");
}

bool XSession::WindowExists(const std::string& title) const {
  return RunCommand("DISPLAY=" + display_ + " xdotool search --onlyvisible --name '^" + title +
                    "$' >/dev/null 2>&1") == 0;
}

Process::Process(const XSession& x, const std::string& program, const std::string& tmpdir) {
  pid_ = Spawn({program}, {"DISPLAY=" + x.Display(), "TMPDIR=" + tmpdir,
                           "XDG_RUNTIME_DIR=" + tmpdir + "-runtime", "QT_QPA_PLATFORM=xcb",
                           "ASAN_OPTIONS=detect_leaks=0"});
}

Process::~Process() {
  if (Running()) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

bool Process::Running() {
  if (status_ || pid_ <= 0) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
  }
  return true;
}

std::optional<int> Process::WaitExit(std::chrono::milliseconds timeout) {
  WaitFor([&] { return !Running(); }, timeout);
  return status_;
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace qm::test
