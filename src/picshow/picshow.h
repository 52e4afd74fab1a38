// The transition control: shows one picture over a background and changes to a new picture
// through an animated transition in one of 150 styles.
//
// What the control paints is its display bitmap; assigning `Picture` changes nothing on screen
// until a transition (Execute) brings the new picture into the display bitmap frame by frame.
// A transition runs on an animation thread of its own (Threaded, the default), in a loop on the
// calling thread that keeps processing events, or under the application's control (Manual,
// stepping through SetProgress).
//
// The control has no window of its own: it composes every paint in its off-screen bitmap and a
// host (picshow_host.h) shows it, tells it of paints, size changes and the mouse, and wakes the
// main thread for the animation thread.
//
// Threads: the main thread does everything except the steps, the frames and the frame events
// (OnBeforeNewFrame, OnCustomDraw, OnAfterNewFrame, OnProgress), which run on the stepping
// thread: the animation thread when Threaded is on. A caller that waits for a threaded
// transition must keep processing events: each frame is painted synchronously on the main
// thread, and the end of the transition arrives as a wake-up.
//
// Locks, always taken in this order: the frame lock (a progress change and its frame), then the
// drawing locks: new picture before display, off-screen before display. No thread waits for the
// off-screen lock while holding another.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "picshow/animate_thread.h"
#include "picshow/manual_reset_event.h"
#include "picshow/picshow_host.h"
#include "picshow/picture.h"
#include "platform/bitmap.h"
#include "platform/rect.h"

namespace qm {

class TCustomPicShow;

enum class TBackgroundMode : uint8_t { bmNone, bmTiled, bmStretched, bmCentered };

// How the control sits in its parent. The parent's layout does the placing; AdjustSize reads it
// to leave alone the dimension an alignment fixes.
enum class TAlign : uint8_t { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };

// The default colour of a control: the desktop's standard window colour, white.
inline constexpr TColor kWindowColor = 0x00FFFFFF;

// The design-time About property's type; it has no run-time effect.
struct TAbout {};

using TNotifyEvent = std::function<void(TCustomPicShow& sender)>;
using TCustomDrawEvent =
    std::function<void(TCustomPicShow& sender, TBitmap& picture, TBitmap& screen)>;

class TCustomPicShow {
 public:
  // A control shown by `host`, which must outlive it (see PicShowHost).
  explicit TCustomPicShow(PicShowHost& host);
  virtual ~TCustomPicShow();
  TCustomPicShow(const TCustomPicShow&) = delete;
  TCustomPicShow& operator=(const TCustomPicShow&) = delete;

  // Properties. Writes take effect as the comments say; "plain" ones are read where the
  // transition uses them.
  TAbout About() const { return {}; }
  TPicture& Picture() { return picture_; }
  const TPicture& Picture() const { return picture_; }
  void SetPicture(const TBitmap* picture) { picture_.Assign(picture); }
  TPicture& BgPicture() { return bg_picture_; }
  const TPicture& BgPicture() const { return bg_picture_; }
  void SetBgPicture(const TBitmap* picture) { bg_picture_.Assign(picture); }
  TBackgroundMode BgMode() const { return bg_mode_; }
  void SetBgMode(TBackgroundMode mode);
  bool AutoSize() const { return auto_size_; }
  void SetAutoSize(bool on);
  TAlign Align() const { return align_; }
  void SetAlign(TAlign align) { align_ = align; }
  bool Center() const { return center_; }
  void SetCenter(bool on);
  bool Stretch() const { return stretch_; }
  void SetStretch(bool on);
  bool StretchFine() const { return stretch_fine_; }
  void SetStretchFine(bool on);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  bool OverDraw() const { return overdraw_; }
  void SetOverDraw(bool on) { overdraw_ = on; }  // plain
  bool Threaded() const { return threaded_; }
  void SetThreaded(bool on) { threaded_ = on; }  // plain
  TThreadPriority ThreadPriority() const { return thread_priority_; }
  void SetThreadPriority(TThreadPriority p) { thread_priority_ = p; }  // plain
  bool Manual() const { return manual_.load(); }
  void SetManual(bool on);
  int Style() const { return style_.load(); }
  void SetStyle(int style);
  std::string StyleName() const;
  void SetStyleName(std::string_view name);
  int Step() const { return step_.load(); }
  void SetStep(int step);
  int Delay() const { return delay_.load(); }
  void SetDelay(int ms);  // plain; 0..65535
  int Progress() const { return progress_.load(); }
  void SetProgress(int progress);
  bool Reverse() const { return reverse_.load(); }
  void SetReverse(bool on) { reverse_ = on; }  // plain
  bool Busy() const { return busy_.load(); }

  // The client area's size, as the host has it.
  int ClientWidth() const { return host_.ClientWidth(); }
  int ClientHeight() const { return host_.ClientHeight(); }
  PicShowHost& Host() const { return host_; }

  // The placement rectangle: where the display bitmap sits in the client area unstretched.
  TRect PlacementRect() const { return placement_; }
  // What the control shows as its picture (read it only while no transition runs).
  const TBitmap& DisplayBitmap() const;

  // Events. Set them while no transition runs; the frame events run on the stepping thread.
  TNotifyEvent OnChange, OnProgress, OnComplete, OnMouseEnter, OnMouseLeave, OnStop;
  TCustomDrawEvent OnCustomDraw, OnBeforeNewFrame, OnAfterNewFrame, OnStart;

  // The operations a descendant may override, in slot order.
  virtual void Paint();
  virtual void PaintBackground(TBitmap& canvas, const TRect& rect);
  virtual void DoChange();
  virtual void DoProgress();
  virtual void DoCustomDraw(TBitmap& picture, TBitmap& screen);
  virtual void DoBeforeNewFrame(TBitmap& picture, TBitmap& screen);
  virtual void DoAfterNewFrame(TBitmap& picture, TBitmap& screen);
  virtual void DoComplete();
  virtual void DoStart(TBitmap& picture, TBitmap& screen);
  virtual void DoStop();
  // Starts a transition to Picture; ignored while busy or without a graphic. Threaded: returns
  // once the animation thread runs; not threaded: when the transition has ended; Manual: after
  // the preparation.
  virtual void Execute();
  // Ends a running transition without completing it (OnStop, no OnComplete).
  virtual void Stop();
  // Drops the displayed picture so that only the background shows; ignored while busy. The
  // first frame of the next transition then presents the whole client area (the background
  // around the picture included), so a host that starts a transition right after Clear may
  // leave the paint Clear asks for to that frame.
  virtual void Clear();

  // What the host tells the control, on the main thread (see PicShowHost).
  // The window needs `area` (client coordinates) drawn: Paint, then Present of that area. A
  // paint that arrives while another is being handled is dropped.
  void HandlePaint(const TRect& area);
  // The client size changed.
  void HandleResize();
  void HandleMouseEnter();
  void HandleMouseLeave();
  // The answer to the host's wake-up: paints the frame the animation thread asks for, and
  // finishes the transition after the thread's end.
  void HandleWake();

 protected:
  // Ends a running transition silently (no events) and the animation thread with it. The
  // destructor does it; a descendant that overrides the Do... operations calls it first in its
  // own destructor, so that the animation thread never calls into a half-destroyed object.
  void EndTransitionForDestruction();

 private:
  class Adapter;

  void PictureChanged();
  void KeepForOldContents(std::shared_ptr<TBitmap> previous);
  static bool TakeSpareOrNew(TBitmap& target, TBitmap& spare, int w, int h);
  void BgPictureChanged();
  void AdjustSize();
  void RecomputePlacement();
  void EnsureOffscreenSize();
  void RefreshOffscreen();
  // The bitmap holding the display's image: the old contents before a fresh display's first
  // frame, the shared Picture graphic after a transition that ended on it, else the display.
  const TBitmap& ShownDisplay() const;
  // Readies the display's memory for the next transition's old contents (see shown_picture_).
  void FillDisplayAhead();
  // Puts the display's image back into the display's own memory.
  void TakeBackShownPicture();
  // Asks the host for a paint of the whole client area.
  void Invalidate();
  void InvalidateIfShown();
  TRect ClientRect() const { return Rect(0, 0, ClientWidth(), ClientHeight()); }

  void Prepare();
  std::shared_ptr<TBitmap> NewPictureBitmap();
  bool MayDrawOnTheNewPicture() const;
  bool BackgroundIsPlainColor() const;
  // Not a descendant, whose operations could draw anywhere.
  bool IsTheControlItself() const;
  void StartStepping();
  void RunSteppingLoop();
  // One step of the progress; true when the end is reached.
  bool DoOneStep();
  void RunFrame(int progress);
  void RepaintFrame();
  void ServeRepaintRequest();
  bool EndAnimationThread();
  void HandleCompletion(uint64_t thread_serial);
  void Finish();
  void ReleaseTransitionBitmaps();
  bool SameRun(uint64_t run) const { return busy_.load() && run_serial_ == run; }

  PicShowHost& host_;
  TPicture picture_, bg_picture_;
  TBackgroundMode bg_mode_ = TBackgroundMode::bmTiled;
  bool auto_size_ = true;
  TAlign align_ = TAlign::alNone;
  bool center_ = false, stretch_ = false, stretch_fine_ = false;
  TColor color_ = kWindowColor;
  bool overdraw_ = true;
  bool threaded_ = true;
  TThreadPriority thread_priority_ = TThreadPriority::tpNormal;
  std::atomic<bool> manual_{false};
  std::atomic<int> style_{51};
  std::atomic<int> step_{4};
  std::atomic<int> delay_{40};
  std::atomic<int> progress_{0};
  std::atomic<bool> reverse_{false};
  std::atomic<bool> busy_{false};

  TBitmap display_;
  TBitmap spare_display_;       // the memory of the display Clear dropped, for the next one
  bool present_whole_ = false;  // a Clear is not on screen yet: the next frame presents all
  TRect placement_;
  std::unique_ptr<TAnimateThread> thread_;
  bool painting_ = false;
  TBitmap offscreen_;
  bool offscreen_behind_ = false;  // the last paint presented the display, not the off-screen
  TRect paint_area_;               // what the paint being handled presents
  std::atomic<bool> stop_requested_{false};
  bool nothing_painted_yet_ = true;
  bool destroying_ = false;
  std::unique_ptr<TBitmap> old_contents_;
  TBitmap spare_old_contents_;  // the memory of the picture Picture last let go, for the next one
  // The colour every pixel of spare_old_contents_ has, when it was filled ahead of its use.
  std::optional<TColor> spare_old_fill_;
  // After a transition that ended on the new picture as it is, the display's image is the
  // Picture's graphic itself: this shares it, and the display's own memory (or, after Clear,
  // spare_display_) holds the colour shown_fill_ throughout, ready to be the next transition's
  // old contents. Empty while a transition runs.
  std::shared_ptr<TBitmap> shown_picture_;
  TColor shown_fill_ = 0;
  // A fresh display not composed yet: the first frame writes all of it, and until then the old
  // contents stand for it on screen.
  std::atomic<bool> display_pending_{false};
  int last_progress_drawn_ = -1;  // the progress of the last frame composed in this run
  // The Picture's own graphic when nothing may draw on it, else a copy (see NewPictureBitmap).
  std::shared_ptr<TBitmap> new_picture_;
  int picture_width_ = 0, picture_height_ = 0;
  std::recursive_mutex frame_lock_;
  ManualResetEvent paint_event_{true};
  std::unique_ptr<Adapter> adapter_;
  uint64_t run_serial_ = 0;  // counts Execute calls, so a stepping loop knows its own run
  const std::thread::id main_thread_ = std::this_thread::get_id();

  // The animation thread's requests for the main thread (frame repaints, its end).
  MainThreadLink link_{host_};
  std::atomic<bool> frame_dirty_{false};  // the last frame changed the display, unpainted
};

// The control as placed on forms. Its properties are the public members of TCustomPicShow.
class TPicShow : public TCustomPicShow {
 public:
  explicit TPicShow(PicShowHost& host) : TCustomPicShow(host) {}
  ~TPicShow() override { EndTransitionForDestruction(); }
};

}  // namespace qm
