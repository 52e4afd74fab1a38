// The window manager hint that keeps the show's window off the taskbar and pager.
#pragma once

class QWidget;

namespace qm {

// Adds _NET_WM_STATE_SKIP_TASKBAR and _NET_WM_STATE_SKIP_PAGER to a top-level window that is
// not yet shown. Does nothing on platforms other than X11.
void SetSkipTaskbarHint(QWidget* window);

}  // namespace qm
