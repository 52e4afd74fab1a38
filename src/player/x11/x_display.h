// One connection to an X server for the player's windows: the screen and its pixel format, the
// atoms the window manager protocols use, the keyboard mapping (reloaded when the server says
// it changed), and a wait for the next event that another thread can interrupt.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "player/x11/screen_format.h"

namespace qm {

// The keys the player's windows react to, as key symbols of the core protocol.
inline constexpr uint32_t kKeyEscape = 0xFF1B, kKeyReturn = 0xFF0D, kKeyEnter = 0xFF8D,
                          kKeySpace = 0x0020, kKeyHome = 0xFF50, kKeyLeft = 0xFF51,
                          kKeyRight = 0xFF53, kKeyPageUp = 0xFF55, kKeyPageDown = 0xFF56,
                          kKeyPadHome = 0xFF95, kKeyPadLeft = 0xFF96, kKeyPadRight = 0xFF98,
                          kKeyPadPageUp = 0xFF9A, kKeyPadPageDown = 0xFF9B;

struct FreeDeleter {
  void operator()(void* p) const;
};
template <typename T>
using XReply = std::unique_ptr<T, FreeDeleter>;

class XDisplay {
 public:
  // Connects to $DISPLAY. Ok() tells whether that worked.
  XDisplay();
  ~XDisplay();
  XDisplay(const XDisplay&) = delete;
  XDisplay& operator=(const XDisplay&) = delete;

  bool Ok() const { return connection_ != nullptr; }
  bool Lost() const { return connection_ == nullptr || xcb_connection_has_error(connection_) != 0; }
  xcb_connection_t* Connection() const { return connection_; }
  const xcb_screen_t& Screen() const { return *screen_; }
  xcb_visualid_t Visual() const { return screen_->root_visual; }
  const ScreenFormat& Format() const { return format_; }
  bool TrueColor() const { return true_color_; }
  // The primary monitor (RandR), else the whole screen.
  const xcb_rectangle_t& Monitor() const { return monitor_; }
  int DotsPerInch() const { return dpi_; }

  xcb_atom_t Atom(const char* name);

  // Sets the title (WM_NAME and _NET_WM_NAME), the close protocol, the input hint and the
  // window manager states (names of _NET_WM_STATE_... atoms) of a window not yet mapped.
  void PrepareTopLevel(xcb_window_t window, const std::string& title,
                       std::initializer_list<const char*> states);
  // Asks for the keyboard focus the way window managers honour: _NET_ACTIVE_WINDOW to the root
  // and SetInputFocus. Called when the window is mapped.
  void Activate(xcb_window_t window);
  // Whether a client message is the window manager's close request.
  bool IsDeleteRequest(const xcb_client_message_event_t& message);

  // The key symbol of a key press (its unshifted symbol, from the core keyboard mapping).
  uint32_t KeySymbol(xcb_keycode_t keycode);

  // The next event, waiting until `deadline_ns` (monotonic; negative: no limit); nullptr when
  // the deadline passed, the wake-up was called or the connection is lost (see the flags).
  // Keyboard mapping changes are handled here and not returned.
  XReply<xcb_generic_event_t> NextEvent(int64_t deadline_ns, bool* woken);
  // Puts an event back, to be returned first by the next NextEvent.
  void PushBack(XReply<xcb_generic_event_t> event);
  void Wake();

 private:
  void LoadKeyboardMapping();
  void FindMonitor();

  xcb_connection_t* connection_ = nullptr;
  xcb_screen_t* screen_ = nullptr;
  ScreenFormat format_;
  bool true_color_ = false;
  xcb_rectangle_t monitor_{};
  int dpi_ = 96;
  int wake_fd_ = -1;
  xcb_atom_t protocols_ = XCB_ATOM_NONE, delete_window_ = XCB_ATOM_NONE;
  xcb_keycode_t min_keycode_ = 0;
  int symbols_per_keycode_ = 0;
  std::vector<uint32_t> keysyms_;
  std::deque<XReply<xcb_generic_event_t>> pending_;
};

}  // namespace qm
