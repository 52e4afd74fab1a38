// A virtual X server for end-to-end tests, and the player run in it: start, screenshots, keys,
// windows by title, bounded waits.
#pragma once

#include <sys/types.h>

#include <QImage>
#include <chrono>
#include <functional>
#include <optional>
#include <string>

struct xcb_connection_t;

namespace qm::test {

class XSession {
 public:
  // Starts Xvfb on a display the server picks itself, kept from resetting, and holds one
  // connection to it for the session's life: the server never sees its last client leave.
  XSession(int width, int height);
  ~XSession();
  XSession(const XSession&) = delete;
  XSession& operator=(const XSession&) = delete;

  const std::string& Display() const { return display_; }
  bool Ok() const { return pid_ > 0 && connection_ != nullptr; }
  QImage Screenshot() const;
  // Waits (bounded) for a visible window titled exactly `title`, gives it the keyboard focus
  // and sends the key (xdotool name, e.g. "Escape", "Return"). False when no such window came.
  bool KeyTo(const std::string& title, const std::string& key) const;
  bool WindowExists(const std::string& title) const;
  // Asks the window titled exactly `title` to close, as a window manager's close button does
  // (WM_DELETE_WINDOW). False when no such window came.
  bool CloseWindow(const std::string& title) const;

 private:
  std::string display_;
  pid_t pid_ = -1;
  xcb_connection_t* connection_ = nullptr;
};

// A program run in the session, with its own private temporary directory and, unless
// `runtimeFolder` is false, its own runtime folder (XDG_RUNTIME_DIR) beside it.
class Process {
 public:
  Process(const XSession& x, const std::string& program, const std::string& tmpdir,
          bool runtimeFolder = true);
  ~Process();
  // Waits up to `timeout` (scaled like every wait) for the program to end; its exit code.
  std::optional<int> WaitExit(std::chrono::milliseconds timeout);
  bool Running();
  void Signal(int sig) const;

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// The factor every timeout of the end-to-end tests is multiplied by: the environment variable
// QUENMORA_TEST_TIMEOUT_SCALE (a positive number, 1 when unset), for slow or loaded machines.
double TimeoutScale();

// Polls `condition` every 50 ms until it holds or `timeout` (times TimeoutScale()) passes.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

}  // namespace qm::test
