#include "tests/support/shell.h"

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace qm::test {

RunResult Shell(const std::string& command) {
  RunResult r{-1, ""};
  FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p) return r;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) r.out.append(buffer, n);
  const int status = pclose(p);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

double TimeoutScale() {
  const char* scale = std::getenv("QUENMORA_TEST_TIMEOUT_SCALE");
  return scale && std::atof(scale) > 0 ? std::atof(scale) : 1.0;
}

std::optional<int> WaitForExit(pid_t pid, double seconds, rusage* usage) {
  const double factor = TimeoutScale();
  // The process's descriptor becomes readable when it ends.
  const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  pollfd p{fd, POLLIN, 0};
  const bool ended = fd >= 0 && poll(&p, 1, static_cast<int>(seconds * factor * 1000)) == 1;
  if (fd >= 0) close(fd);
  if (!ended) kill(pid, SIGKILL);
  int status = 0;
  while (wait4(pid, &status, 0, usage) < 0 && errno == EINTR) {
  }
  if (!ended) return std::nullopt;
  return status;
}

}  // namespace qm::test
