// The presentation window as the player needs it from a window system: one borderless window
// on top of everything, covering the primary monitor, without a taskbar button or a mouse
// cursor; frames copied into it; the events the show reacts to; a modal message box. Each
// window system implements it in a folder of its own (X11 on xcb).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/bitmap.h"
#include "platform/rect.h"

namespace qm {

// What the window reports to the player's event loop.
enum class WindowEvent : uint8_t {
  kTimeout,  // the wait's deadline passed
  kWake,     // another thread called Wake
  kExpose,   // parts of the window lost their contents: the player draws all of it again
  kEscape,   // the Escape key, whatever the modifiers
  kClose,    // the window manager asks the window to close
  kLost,     // the connection to the display is gone
  // Keys that move through a show by hand (`quenmora show`); the presentation ignores them.
  kSpace,     // Space: pause or resume
  kNext,      // Right, Page Down
  kPrevious,  // Left, Page Up
  kHome,      // Home
};

class PlayerWindow {
 public:
  virtual ~PlayerWindow() = default;

  // The monitor the window covers: its size in pixels and its resolution in dots per inch.
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual int DotsPerInch() const = 0;

  // Shows the window, gives it the keyboard focus and hides the mouse cursor over it.
  virtual void Show() = 0;

  // Copies `area` of `pixels` (32 bits: blue, green, red, unused) into the window, pixel (0, 0)
  // of the bitmap landing at window position (x, y). Parts outside the window are dropped.
  virtual void Present(const TBitmap& pixels, const TRect& area, int x, int y) = 0;

  // Waits for the next event until `deadline_ns` on the monotonic clock (negative: no limit).
  virtual WindowEvent WaitEvent(int64_t deadline_ns) = 0;

  // From any thread: makes a waiting (or the next) WaitEvent return kWake.
  virtual void Wake() = 0;

  // A modal message box over the window with the error icon, `title`, `text` (UTF-8, lines
  // split at '\n') and one "OK" button; returns when the user has closed it.
  virtual void MessageBox(const std::string& title, const std::string& text) = 0;
};

// Opens the presentation window on the platform's display, not yet shown. On failure returns
// nothing and sets `error` to a message for the user; `no_display` tells whether any display
// could be reached at all (else a message box can still show the error).
std::unique_ptr<PlayerWindow> OpenPlayerWindow(std::string* error, bool* no_display);

// A message box without a presentation window (start-up failures); without a display the text
// goes to standard error. Returns false when no box could be shown.
bool ShowStandaloneMessageBox(const std::string& title, const std::string& text);

// The monotonic clock in nanoseconds, the time base of WaitEvent's deadline.
int64_t MonotonicNanoseconds();

}  // namespace qm
