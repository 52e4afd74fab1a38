// Command lines run from tests, as a user runs them in a shell.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace qm::test {

struct RunResult {
  int status;       // exit code, -1 when the command did not end normally
  std::string out;  // standard output and error together
};

// Runs a shell command line, capturing standard output and error together.
RunResult Shell(const std::string& command);

// Waits at most `seconds`, times QUENMORA_TEST_TIMEOUT_SCALE, for the child `pid` to end and
// returns its wait status; nothing when it did not end in time (it is then killed and reaped).
std::optional<int> WaitForExit(pid_t pid, double seconds);

}  // namespace qm::test
