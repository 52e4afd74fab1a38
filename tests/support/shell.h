// Command lines run from tests, as a user runs them in a shell.
#pragma once

#include <string>

namespace qm::test {

struct RunResult {
  int status;       // exit code, -1 when the command did not end normally
  std::string out;  // standard output and error together
};

// Runs a shell command line, capturing standard output and error together.
RunResult Shell(const std::string& command);

}  // namespace qm::test
