// The transition control: a widget that shows one picture over a background and changes to a
// new picture through an animated transition in one of 150 styles.
//
// What the control paints is its display bitmap; assigning `Picture` changes nothing on screen
// until a transition (Execute) brings the new picture into the display bitmap frame by frame.
// A transition runs on an animation thread of its own (Threaded, the default), in a loop on the
// calling thread that keeps processing events, or under the application's control (Manual,
// stepping through SetProgress).
//
// Threads: the main thread does everything except the steps, the frames and the frame events
// (OnBeforeNewFrame, OnCustomDraw, OnAfterNewFrame, OnProgress), which run on the stepping
// thread: the animation thread when Threaded is on. A caller that waits for a threaded
// transition must keep processing events: each frame is painted synchronously on the main
// thread, and the end of the transition arrives as an event.
//
// Locks, always taken in this order: the frame lock (a progress change and its frame), then the
// drawing locks: new picture before display, off-screen before display. No thread waits for the
// off-screen lock while holding another.
#pragma once

#include <QWidget>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "picshow/manual_reset_event.h"
#include "picshow/picture.h"
#include "platform/bitmap.h"
#include "platform/rect.h"

class QImage;
class QSocketNotifier;

namespace qm {

class TCustomPicShow;

enum class TBackgroundMode : uint8_t { bmNone, bmTiled, bmStretched, bmCentered };

enum class TThreadPriority : uint8_t {
  tpIdle,
  tpLowest,
  tpLower,
  tpNormal,
  tpHigher,
  tpHighest,
  tpTimeCritical
};

// How the control sits in its parent. The parent's layout does the placing; AdjustSize reads it
// to leave alone the dimension an alignment fixes.
enum class TAlign : uint8_t { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };

// The design-time About property's type; it has no run-time effect.
struct TAbout {};

using TNotifyEvent = std::function<void(TCustomPicShow& sender)>;
using TCustomDrawEvent =
    std::function<void(TCustomPicShow& sender, TBitmap& picture, TBitmap& screen)>;

// The animation thread: steps the transition of its owner, paced by the owner's paint event and
// Delay, and posts the completion event to the owner when its body ends for whatever reason.
// A standard library thread, so that every hand-off with the main thread goes through
// synchronisation that race detectors see; its priority maps onto the seven levels of the
// framework's threads.
class TAnimateThread {
 public:
  TAnimateThread(TCustomPicShow& owner, uint64_t serial) : owner_(owner), serial_(serial) {}
  ~TAnimateThread() { Wait(); }
  TAnimateThread(const TAnimateThread&) = delete;
  TAnimateThread& operator=(const TAnimateThread&) = delete;

  // Starts the body, which first takes `priority`.
  void Start(TThreadPriority priority);
  // Waits until the body has ended.
  void Wait() {
    if (thread_.joinable()) thread_.join();
  }
  bool Started() const { return started_.load(); }
  // Tells this thread's completion event from that of an earlier one.
  uint64_t Serial() const { return serial_; }
  // Asks the body to end; wakes it from its pause between frames.
  void RequestTermination();
  bool TerminationRequested() const { return terminate_.load(); }

 private:
  void Run(TThreadPriority priority);

  TCustomPicShow& owner_;
  const uint64_t serial_;
  std::atomic<bool> started_{false};
  std::atomic<bool> terminate_{false};
  std::thread thread_;
};

class TCustomPicShow : public QWidget {
 public:
  explicit TCustomPicShow(QWidget* parent = nullptr);
  ~TCustomPicShow() override;
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

  // The placement rectangle: where the display bitmap sits in the client area unstretched.
  TRect PlacementRect() const { return placement_; }
  // What the control shows as its picture (read it only while no transition runs).
  const TBitmap& DisplayBitmap() const { return display_; }

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
  // Drops the displayed picture so that only the background shows; ignored while busy.
  virtual void Clear();

 protected:
  // Ends a running transition silently (no events) and the animation thread with it. The
  // destructor does it; a descendant that overrides the Do... operations calls it first in its
  // own destructor, so that the animation thread never calls into a half-destroyed object.
  void EndTransitionForDestruction();

  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void enterEvent(QEnterEvent* e) override;
  void leaveEvent(QEvent* e) override;

 private:
  friend class TAnimateThread;
  class FrameAdapter;

  void PictureChanged();
  void BgPictureChanged();
  void AdjustSize();
  void RecomputePlacement();
  void EnsureOffscreenSize();
  void InvalidateIfShown();
  TRect ClientRect() const { return Rect(0, 0, width(), height()); }

  void Prepare();
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
  // Called by the animation thread as the last act of its body.
  void AnimationThreadEnded(TAnimateThread* thread);
  // The animation thread's wake-up call to the main thread, and the main thread's answer: it
  // paints a requested frame, or finishes after the thread's end (the completion message).
  void WakeMainThread();
  void OnWake();

  TPicture picture_, bg_picture_;
  TBackgroundMode bg_mode_ = TBackgroundMode::bmTiled;
  bool auto_size_ = true;
  TAlign align_ = TAlign::alNone;
  bool center_ = false, stretch_ = false, stretch_fine_ = false;
  TColor color_ = 0;
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
  TRect placement_;
  std::unique_ptr<TAnimateThread> thread_;
  bool painting_ = false;
  TBitmap offscreen_;
  std::unique_ptr<QImage> offscreen_image_;  // the off-screen pixels as the screen copies them
  std::atomic<bool> stop_requested_{false};
  bool nothing_painted_yet_ = true;
  bool destroying_ = false;
  std::unique_ptr<TBitmap> old_contents_, new_picture_;
  int picture_width_ = 0, picture_height_ = 0;
  std::recursive_mutex frame_lock_;
  ManualResetEvent paint_event_{true};
  std::unique_ptr<FrameAdapter> frame_adapter_;
  uint64_t run_serial_ = 0;  // counts Execute calls, so a stepping loop knows its own run
  const std::thread::id main_thread_ = std::this_thread::get_id();

  // Hand-off between the animation thread and the main thread: a pending frame repaint, and
  // the end of the thread's body. Guarded by sync_mutex_. The thread wakes the main thread's
  // event loop through an event counter descriptor watched there; the data itself always
  // travels under the mutex, and nothing is allocated per frame.
  int wake_fd_ = -1;
  QSocketNotifier* wake_notifier_ = nullptr;
  std::mutex sync_mutex_;
  std::condition_variable sync_cv_;
  bool repaint_requested_ = false;
  bool thread_body_ended_ = false;
  uint64_t ended_thread_serial_ = 0;  // the thread whose body ended last
  std::atomic<bool> frame_dirty_{false};
};

// The control as placed on forms: every property published (Qt's property system).
class TPicShow : public TCustomPicShow {
  Q_OBJECT
  Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
  Q_PROPERTY(bool Center READ Center WRITE SetCenter)
  Q_PROPERTY(int Delay READ Delay WRITE SetDelay)
  Q_PROPERTY(bool Manual READ Manual WRITE SetManual)
  Q_PROPERTY(bool OverDraw READ OverDraw WRITE SetOverDraw)
  Q_PROPERTY(bool Reverse READ Reverse WRITE SetReverse)
  Q_PROPERTY(bool Stretch READ Stretch WRITE SetStretch)
  Q_PROPERTY(bool StretchFine READ StretchFine WRITE SetStretchFine)
  Q_PROPERTY(int Step READ Step WRITE SetStep)
  Q_PROPERTY(int Style READ Style WRITE SetStyle)
  Q_PROPERTY(QString StyleName READ StyleNameText WRITE SetStyleNameText STORED false)
  Q_PROPERTY(bool Threaded READ Threaded WRITE SetThreaded)

 public:
  explicit TPicShow(QWidget* parent = nullptr) : TCustomPicShow(parent) {}
  ~TPicShow() override { EndTransitionForDestruction(); }

 private:
  QString StyleNameText() const { return QString::fromStdString(StyleName()); }
  void SetStyleNameText(const QString& name) { SetStyleName(name.toStdString()); }
};

}  // namespace qm
