// The player's message box on X11: a small modal window of its own with the error icon, the
// text, and one "OK" button that Enter, Escape, Space or a click on it presses.
#pragma once

#include <xcb/xcb.h>

#include <string>

#include "player/x11/x_display.h"

namespace qm {

// Shows the box over `owner` (0: none) and returns when it is closed. Events for other windows
// that arrive meanwhile are kept for later, except input, which the box's modality drops.
// Without a usable font the text goes to standard error instead.
void RunMessageBox(XDisplay& x, xcb_window_t owner, const std::string& title,
                   const std::string& text);

}  // namespace qm
