// The window of a transition control, as the control sees it. The control (TCustomPicShow) draws
// into bitmaps of its own and knows no window system: a host puts its pixels on screen, hands it
// the window's events and wakes the main thread for its animation thread. The player's window is
// a host; so is the test double of the control's tests.
//
// What the host tells the control (main thread only), by calling the control:
//   HandlePaint(area)    the window needs `area` (client coordinates) drawn: after an exposure,
//                        after Invalidate, within UpdateNow. The control composes its image and
//                        gives it back through Present.
//   HandleResize()       the client size changed (ClientWidth/ClientHeight answer the new one).
//   HandleMouseEnter()   the mouse entered the client area; HandleMouseLeave() it left it.
//   HandleWake()         the answer to WakeMainThread, from the main thread's event processing.
//
// Threads: the control calls WakeMainThread from its animation thread; every other call, in
// either direction, happens on the main thread (the one that created the control).
//
// Lifetime: the control calls its host neither from its constructor nor from its destructor
// (which ends the animation thread without a wake-up), but the animation thread may call
// WakeMainThread until the destructor has begun. So a window that holds its control as a member
// declares it after the members its host calls use; one that derives from both the host and
// the control ends the transition first thing in its own destructor
// (EndTransitionForDestruction). After the control is gone the host must not call it, also not
// for a pending wake-up.
#pragma once

#include <chrono>

#include "platform/bitmap.h"
#include "platform/rect.h"

namespace qm {

class PicShowHost {
 public:
  using Clock = std::chrono::steady_clock;

  virtual ~PicShowHost() = default;

  // The client area's size in pixels (0 or more). The control reads it whenever it lays out,
  // paints or prepares a transition.
  virtual int ClientWidth() const = 0;
  virtual int ClientHeight() const = 0;
  // The control sizes itself to its picture (AutoSize): the host gives the client area this
  // size, and calls HandleResize when it has (at once, or from its event processing).
  virtual void SetClientSize(int width, int height) = 0;

  // Shows `area` of `image` on screen at the same place. `image` is the control's whole client
  // area (ClientWidth x ClientHeight pixels, 32 bits: blue, green, red, unused; row 0 at the
  // top) and `area` lies inside it; the pixels outside `area` are what the screen already shows.
  // Called only from within HandlePaint, with the image's drawing lock held: the host copies
  // what it needs before it returns.
  virtual void Present(const TBitmap& image, const TRect& area) = 0;
  // Asks for `area` to be drawn later: the host calls HandlePaint for it (or for a larger area)
  // from its event processing. Requests may be merged. A hidden window may drop them.
  virtual void Invalidate(const TRect& area) = 0;
  // Draws `area` now: calls HandlePaint(area) before it returns, or nothing while the window is
  // not shown. The control paints every frame of a transition this way.
  virtual void UpdateNow(const TRect& area) = 0;

  // Any thread: makes the main thread call HandleWake soon from its event processing, also when
  // it is blocked waiting for events. Several wake-ups may be answered by one call. It must not
  // block or call the control (the caller holds a lock of the control's); called once per frame
  // of a threaded transition, so it should not allocate.
  virtual void WakeMainThread() = 0;
  // Main thread: handles the events that are pending (paints, input, wake-ups); when none is,
  // waits for the next one, but not past `deadline` (a deadline already passed only handles
  // what is pending). Returns after that. A transition on the calling thread runs its pause
  // between frames in it, so it may be called from within an event handler.
  virtual void ProcessEvents(Clock::time_point deadline) = 0;
};

}  // namespace qm
