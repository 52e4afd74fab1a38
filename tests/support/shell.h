// Command lines run from tests, as a user runs them in a shell.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <optional>
#include <string>

namespace qm::test {

// Whether this build runs under AddressSanitizer or ThreadSanitizer: such programs start and run
// slower and reserve far more address space, so limits on time and memory allow for it.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer) || __has_feature(thread_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

struct RunResult {
  int status;       // exit code, -1 when the command did not end normally
  std::string out;  // standard output and error together
};

// Runs a shell command line, capturing standard output and error together.
RunResult Shell(const std::string& command);

// QUENMORA_TEST_TIMEOUT_SCALE (1 when unset): how much longer than usual a loaded or
// instrumented run may take.
double TimeoutScale();

// Waits at most `seconds`, times TimeoutScale(), for the child `pid` to end and
// returns its wait status; nothing when it did not end in time (it is then killed and reaped).
// `usage`, when given, receives what the child used (its peak memory in ru_maxrss).
std::optional<int> WaitForExit(pid_t pid, double seconds, rusage* usage = nullptr);

}  // namespace qm::test
