// A virtual X server for end-to-end tests, and the player run in it: start, screenshots, keys,
// windows by title, bounded waits.
#pragma once

#include <sys/types.h>

#include <QImage>
#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace qm::test {

class XSession {
 public:
  XSession(int width, int height);  // starts Xvfb on a free display
  ~XSession();
  const std::string& Display() const { return display_; }
  bool Ok() const { return pid_ > 0; }
  QImage Screenshot() const;
  // Sends a key (xdotool name, e.g. "Escape", "Return") to the focused window.
  void Key(const std::string& key) const;
  bool WindowExists(const std::string& title) const;

 private:
  std::string display_;
  pid_t pid_ = -1;
};

// A program run in the session, with its own private temporary directory.
class Process {
 public:
  Process(const XSession& x, const std::string& program, const std::string& tmpdir);
  ~Process();
  // Waits up to `timeout` for the program to end; returns its exit code.
  std::optional<int> WaitExit(std::chrono::milliseconds timeout);
  bool Running();

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// Polls `condition` every 50 ms until it holds or `timeout` passes.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

}  // namespace qm::test
