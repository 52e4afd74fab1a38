// A virtual X server for end-to-end tests, and the player run in it: start, screenshots, keys,
// windows by title, bounded waits.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "tests/support/shell.h"

struct xcb_connection_t;

namespace qm::test {

// A screenshot: pixels as 0xFFRRGGBB, like the screen shows them.
class Shot {
 public:
  Shot() = default;
  explicit Shot(TBitmap bitmap) : bitmap_(std::move(bitmap)) {}
  bool IsNull() const { return bitmap_.Empty(); }
  int Width() const { return bitmap_.Width(); }
  int Height() const { return bitmap_.Height(); }
  uint32_t Pixel(int x, int y) const;

 private:
  TBitmap bitmap_;
};

struct XSessionOptions {
  int depth = 24;
  // Runs Debian's EWMH window manager, openbox, on the display.
  bool window_manager = false;
  // Further arguments for the server, e.g. {"-extension", "MIT-SHM"}.
  std::vector<std::string> server_args;
};

class XSession {
 public:
  // Starts Xvfb on a display the server picks itself, kept from resetting, and holds one
  // connection to it for the session's life: the server never sees its last client leave.
  XSession(int width, int height, const XSessionOptions& options = {});
  ~XSession();
  XSession(const XSession&) = delete;
  XSession& operator=(const XSession&) = delete;

  const std::string& Display() const { return display_; }
  bool Ok() const { return pid_ > 0 && connection_ != nullptr; }
  Shot Screenshot() const;
  // Saves the screen as a PNG file at `path`; false when that failed.
  bool SaveScreenshot(const std::string& path) const;
  // Waits (bounded) for a visible window titled exactly `title`, gives it the keyboard focus
  // and sends the key (xdotool name, e.g. "Escape", "Return"). False when no such window came.
  bool KeyTo(const std::string& title, const std::string& key) const;
  bool WindowExists(const std::string& title) const;
  // Waits (bounded) until a visible window titled exactly `title` is there.
  bool WaitForWindow(const std::string& title) const;
  // Sends a key to whichever window has the keyboard focus.
  bool Key(const std::string& key) const;
  // Clicks the first mouse button at screen position (x, y).
  bool ClickAt(int x, int y) const;
  // Asks the window titled exactly `title` to close, as a window manager's close button does
  // (WM_DELETE_WINDOW). False when no such window came.
  bool CloseWindow(const std::string& title) const;
  // Ends the server at once: its clients lose their connection.
  void KillServer();

 private:
  std::string display_;
  pid_t pid_ = -1;
  pid_t window_manager_ = -1;
  xcb_connection_t* connection_ = nullptr;
};

struct ProcessOptions {
  bool runtime_folder = true;
  std::vector<std::string> env;  // further "NAME=value" entries
  std::string stderr_path;       // where standard error goes, when not empty
};

// A program run in the session, with its own private temporary directory and, unless
// `runtimeFolder` is false, its own runtime folder (XDG_RUNTIME_DIR) beside it.
class Process {
 public:
  Process(const XSession& x, const std::vector<std::string>& argv, const std::string& tmpdir,
          const ProcessOptions& options = {});
  ~Process();
  // Waits up to `timeout` (scaled like every wait) for the program to end; its exit code.
  std::optional<int> WaitExit(std::chrono::milliseconds timeout);
  bool Running();
  void Signal(int sig) const;

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// Polls `condition` every 50 ms until it holds or `timeout` (times TimeoutScale()) passes.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

}  // namespace qm::test
