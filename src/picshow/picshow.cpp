#include "picshow/picshow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QSocketNotifier>
#include <QThread>
#include <algorithm>

#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "picshow/frame_routine.h"
#include "picshow/style_catalogue.h"
#include "picshow/transition_math.h"
#include "platform/exception.h"
#include "platform/stretch.h"

namespace qm {

namespace {

// The platform's scheduling of the framework's seven thread priorities: the idle level runs
// only when nothing else wants the processor; the others spread over the range of the current
// scheduling policy (a single level under the default time-sharing policy).
void ApplyPriorityToCurrentThread(TThreadPriority p) {
  int policy = 0;
  sched_param param{};
  if (pthread_getschedparam(pthread_self(), &policy, &param) != 0) return;
  if (p == TThreadPriority::tpIdle) {
#ifdef SCHED_IDLE
    param.sched_priority = 0;
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &param);
#endif
    return;
  }
  const int lo = sched_get_priority_min(policy), hi = sched_get_priority_max(policy);
  if (lo < 0 || hi < 0) return;
  const int level = static_cast<int>(p) - static_cast<int>(TThreadPriority::tpLowest);  // 0..5
  param.sched_priority = lo + level * (hi - lo) / 5;
  pthread_setschedparam(pthread_self(), policy, &param);
}

TColor ToColor(const QColor& c) {
  return static_cast<TColor>(c.red()) | static_cast<TColor>(c.green()) << 8 |
         static_cast<TColor>(c.blue()) << 16;
}

QRect ToQRect(const TRect& r) {
  return QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
}

uint64_t NextThreadSerial() {
  static std::atomic<uint64_t> serial{0};
  return ++serial;
}

}  // namespace

// Turns what the frame routine reports into the control's events: OnBeforeNewFrame and
// OnAfterNewFrame directly, custom drawing through DoCustomDraw, and the changed area into the
// pending repaint.
class TCustomPicShow::FrameAdapter : public FrameEvents {
 public:
  explicit FrameAdapter(TCustomPicShow& owner) : owner_(owner) {}
  void BeforeNewFrame(TBitmap& picture, TBitmap& screen) override {
    if (owner_.OnBeforeNewFrame) owner_.OnBeforeNewFrame(owner_, picture, screen);
  }
  void CustomDraw(TBitmap& picture, TBitmap& screen) override {
    owner_.DoCustomDraw(picture, screen);
  }
  void Invalidate(const TRect&) override { owner_.frame_dirty_ = true; }
  void AfterNewFrame(TBitmap& picture, TBitmap& screen) override {
    if (owner_.OnAfterNewFrame) owner_.OnAfterNewFrame(owner_, picture, screen);
  }

 private:
  TCustomPicShow& owner_;
};

// --- The animation thread ---

void TAnimateThread::RequestTermination() {
  {
    std::lock_guard<std::mutex> lock(owner_.sync_mutex_);
    terminate_ = true;
  }
  owner_.sync_cv_.notify_all();
}

void TAnimateThread::Start(TThreadPriority priority) {
  thread_ = std::thread([this, priority] { Run(priority); });
}

void TAnimateThread::Run(TThreadPriority priority) {
  ApplyPriorityToCurrentThread(priority);
  started_ = true;
  try {
    while (!terminate_) {
      const uint32_t t0 = TickCount();
      owner_.paint_event_.Wait();
      if (terminate_) continue;
      owner_.paint_event_.Reset();
      if (owner_.DoOneStep()) terminate_ = true;
      if (!terminate_) {
        const int32_t rest = owner_.delay_.load() - static_cast<int32_t>(TickCount() - t0);
        if (rest >= 0) {
          // A pause that a termination request cuts short.
          std::unique_lock<std::mutex> lock(owner_.sync_mutex_);
          owner_.sync_cv_.wait_for(lock, std::chrono::milliseconds(rest),
                                   [this] { return terminate_.load(); });
        }
      }
    }
  } catch (...) {
    // An effect or a frame event failed: the transition ends with the last frame drawn and
    // finishes as a completed one.
  }
  owner_.AnimationThreadEnded(this);
}

// --- Construction and destruction ---

TCustomPicShow::TCustomPicShow(QWidget* parent)
    : QWidget(parent), frame_adapter_(std::make_unique<FrameAdapter>(*this)) {
  // Opaque: every paint covers every pixel, so nothing erases the background first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setFocusPolicy(Qt::NoFocus);
  color_ = ToColor(palette().color(QPalette::Window));
  display_.SetSize(0, 0, PixelFormat::pf32bit);
  offscreen_.SetSize(0, 0, PixelFormat::pf32bit);
  picture_.OnChange = [this] { PictureChanged(); };
  bg_picture_.OnChange = [this] { BgPictureChanged(); };
  resize(100, 100);
  EnsureOffscreenSize();
  wake_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake_fd_ < 0) throw EOutOfMemory("no event descriptor for the transition control");
  wake_notifier_ = new QSocketNotifier(wake_fd_, QSocketNotifier::Read, this);
  QObject::connect(wake_notifier_, &QSocketNotifier::activated, this, [this] { OnWake(); });
}

TCustomPicShow::~TCustomPicShow() {
  EndTransitionForDestruction();
  ReleaseTransitionBitmaps();
  picture_.OnChange = nullptr;
  bg_picture_.OnChange = nullptr;
  delete wake_notifier_;
  ::close(wake_fd_);
}

void TCustomPicShow::EndTransitionForDestruction() {
  destroying_ = true;
  Stop();
  EndAnimationThread();
}

// --- Properties ---

void TCustomPicShow::SetBgMode(TBackgroundMode mode) {
  if (mode == bg_mode_) return;
  bg_mode_ = mode;
  if (bg_picture_.HasGraphic() && !painting_) update();
}

void TCustomPicShow::SetAutoSize(bool on) {
  if (on == auto_size_) return;
  auto_size_ = on;
  if (on) AdjustSize();
}

void TCustomPicShow::SetCenter(bool on) {
  if (on == center_) return;
  center_ = on;
  if (picture_.HasGraphic()) {
    RecomputePlacement();
    InvalidateIfShown();
  }
}

void TCustomPicShow::SetStretch(bool on) {
  if (on == stretch_) return;
  stretch_ = on;
  InvalidateIfShown();
}

void TCustomPicShow::SetStretchFine(bool on) {
  if (on == stretch_fine_) return;
  stretch_fine_ = on;
  InvalidateIfShown();
}

void TCustomPicShow::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  if (!painting_) update();
}

void TCustomPicShow::SetStep(int step) {
  step_ = ClampStep(step);
}

void TCustomPicShow::SetDelay(int ms) {
  delay_ = std::clamp(ms, 0, 65535);
}

void TCustomPicShow::SetStyle(int style) {
  const int current = style_.load();
  if (style == current || style < 0 || style > kMaxStyle) return;
  if (busy_ && StyleNeeds32Bit(style) && !StyleNeeds32Bit(current)) {
    // One bitmap at a time, each under its own drawing lock, so the conversion never falls in
    // the middle of a frame and is complete before the frame routine sees the new style.
    if (new_picture_) {
      std::scoped_lock lock(new_picture_->Canvas());
      new_picture_->ConvertTo(PixelFormat::pf32bit);
    }
    std::scoped_lock lock(display_.Canvas());
    display_.ConvertTo(PixelFormat::pf32bit);
  }
  style_ = style;
}

std::string TCustomPicShow::StyleName() const {
  const char* name = qm::StyleName(style_.load());
  return name ? name : "";
}

void TCustomPicShow::SetStyleName(std::string_view name) {
  if (const auto style = StyleByName(name)) SetStyle(*style);
}

void TCustomPicShow::SetManual(bool on) {
  if (on == manual_) return;
  manual_ = on;
  EndAnimationThread();
  if (!busy_) {
    progress_ = StartProgress(reverse_);
  } else if (!on) {
    StartStepping();
  }
}

void TCustomPicShow::SetProgress(int progress) {
  progress = std::clamp(progress, 0, 100);
  if (!busy_ || progress == progress_) return;
  {
    std::lock_guard<std::recursive_mutex> lock(frame_lock_);
    progress_ = progress;
    RunFrame(progress);
  }
  RepaintFrame();
  DoProgress();
}

// --- Picture changes, placement, size ---

void TCustomPicShow::PictureChanged() {
  if (destroying_) return;
  if (auto_size_ && picture_.HasGraphic()) AdjustSize();
  DoChange();
}

void TCustomPicShow::BgPictureChanged() {
  if (bg_mode_ != TBackgroundMode::bmNone && !painting_) update();
}

void TCustomPicShow::AdjustSize() {
  if (!picture_.HasGraphic() || align_ == TAlign::alClient) return;
  int w = width(), h = height();
  if (align_ != TAlign::alTop && align_ != TAlign::alBottom) w = picture_.Width();
  if (align_ != TAlign::alLeft && align_ != TAlign::alRight) h = picture_.Height();
  resize(w, h);
  // A hidden widget hears of its new size only when shown; the off-screen bitmap follows now.
  EnsureOffscreenSize();
}

void TCustomPicShow::RecomputePlacement() {
  placement_ = qm::PlacementRect(placement_, display_.Width(), display_.Height(), center_, width(),
                                 height());
}

void TCustomPicShow::InvalidateIfShown() {
  if (!display_.Empty() && !painting_) update();
}

void TCustomPicShow::EnsureOffscreenSize() {
  const int w = width(), h = height();
  if (offscreen_image_ && offscreen_.Width() == w && offscreen_.Height() == h) return;
  std::scoped_lock lock(offscreen_.Canvas());
  if (w <= 0 || h <= 0) {
    offscreen_.SetSize(0, 0, PixelFormat::pf32bit);
    offscreen_image_ = std::make_unique<QImage>();
    return;
  }
  // Keeps the last screen image where old and new size share it: a transition with OverDraw
  // starts from what was on screen.
  if (offscreen_.Empty()) {
    offscreen_.SetSize(w, h, PixelFormat::pf32bit);
  } else {
    offscreen_.Resize(w, h, color_);
  }
  offscreen_image_ = std::make_unique<QImage>(
      offscreen_.Bits(), w, h, static_cast<qsizetype>(offscreen_.RowBytes()), QImage::Format_RGB32);
}

void TCustomPicShow::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  EnsureOffscreenSize();
  if (picture_.HasGraphic()) RecomputePlacement();
  InvalidateIfShown();
}

void TCustomPicShow::enterEvent(QEnterEvent* e) {
  QWidget::enterEvent(e);
  if (OnMouseEnter) OnMouseEnter(*this);
}

void TCustomPicShow::leaveEvent(QEvent* e) {
  QWidget::leaveEvent(e);
  if (OnMouseLeave) OnMouseLeave(*this);
}

// --- Painting ---

void TCustomPicShow::paintEvent(QPaintEvent*) {
  if (painting_) return;  // a paint inside a paint is dropped
  painting_ = true;
  struct Done {
    TCustomPicShow& self;
    ~Done() {
      self.paint_event_.Set();
      self.painting_ = false;
    }
  } done{*this};
  Paint();
}

void TCustomPicShow::Paint() {
  const TRect client = ClientRect();
  EnsureOffscreenSize();
  std::scoped_lock offscreen_lock(offscreen_.Canvas());
  // Where the display bitmap lands. When it covers the whole client area (a picture of the
  // screen's size, or stretched), every background pixel would be overdrawn: skip drawing it.
  TRect target;
  if (!display_.Empty()) {
    target = !stretch_ ? Rect(placement_.Left, placement_.Top, placement_.Left + display_.Width(),
                              placement_.Top + display_.Height())
             : stretch_fine_ ? AspectFit(placement_, client)
                             : client;
  }
  const bool covered = target.Left <= client.Left && target.Top <= client.Top &&
                       target.Right >= client.Right && target.Bottom >= client.Bottom;
  if (!covered || display_.Empty()) PaintBackground(offscreen_, client);
  {
    std::scoped_lock display_lock(display_.Canvas());
    if (!display_.Empty()) {
      if (!stretch_) {
        Draw(offscreen_, target.Left, target.Top, display_);
      } else {
        StretchCopyRect(offscreen_, target, display_,
                        Rect(0, 0, display_.Width(), display_.Height()));
      }
    }
  }
  if (offscreen_image_ && !offscreen_image_->isNull()) {
    QPainter painter(this);
    painter.drawImage(0, 0, *offscreen_image_);
  }
  nothing_painted_yet_ = false;
}

void TCustomPicShow::PaintBackground(TBitmap& canvas, const TRect& rect) {
  FillRect(canvas, rect, color_);
  const TBitmap* g = bg_picture_.Graphic();
  if (!g) return;
  const int gw = g->Width(), gh = g->Height();
  const int rw = rect.Right - rect.Left, rh = rect.Bottom - rect.Top;
  switch (bg_mode_) {
    case TBackgroundMode::bmNone:
      break;
    case TBackgroundMode::bmTiled: {
      if (g->Empty()) break;
      const int rows = rh / gh + 1, columns = rw / gw + 1;
      for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < columns; ++j) Draw(canvas, rect.Left + j * gw, rect.Top + i * gh, *g);
      }
      break;
    }
    case TBackgroundMode::bmStretched:
      if (!g->Empty()) StretchBlt(canvas, rect.Left, rect.Top, rw, rh, *g, 0, 0, gw, gh);
      break;
    case TBackgroundMode::bmCentered:
      if (!g->Empty()) Draw(canvas, (rw - gw) / 2, (rh - gh) / 2, *g);
      break;
  }
}

void TCustomPicShow::Clear() {
  if (busy_ || display_.Empty()) return;
  {
    std::scoped_lock lock(display_.Canvas());
    display_.SetSize(0, 0, PixelFormat::pf32bit);
  }
  update();
}

// --- Events through their operations ---

void TCustomPicShow::DoChange() {
  if (OnChange) OnChange(*this);
}
void TCustomPicShow::DoProgress() {
  if (OnProgress) OnProgress(*this);
}
void TCustomPicShow::DoCustomDraw(TBitmap& picture, TBitmap& screen) {
  if (OnCustomDraw) OnCustomDraw(*this, picture, screen);
}
void TCustomPicShow::DoBeforeNewFrame(TBitmap& picture, TBitmap& screen) {
  if (OnBeforeNewFrame) OnBeforeNewFrame(*this, picture, screen);
}
void TCustomPicShow::DoAfterNewFrame(TBitmap& picture, TBitmap& screen) {
  if (OnAfterNewFrame) OnAfterNewFrame(*this, picture, screen);
}
void TCustomPicShow::DoComplete() {
  if (OnComplete) OnComplete(*this);
}
void TCustomPicShow::DoStart(TBitmap& picture, TBitmap& screen) {
  if (OnStart) OnStart(*this, picture, screen);
}
void TCustomPicShow::DoStop() {
  if (OnStop) OnStop(*this);
}

// --- Transition runs ---

void TCustomPicShow::Execute() {
  if (!picture_.HasGraphic() || busy_) return;
  busy_ = true;
  const uint64_t run = ++run_serial_;
  try {
    Prepare();
    // A handler of OnStart may have stopped the transition already: then nothing is stepped.
    if (!manual_ && !stop_requested_ && SameRun(run)) StartStepping();
  } catch (...) {
    if (SameRun(run)) {
      ReleaseTransitionBitmaps();
      busy_ = false;
    }
    throw;
  }
}

void TCustomPicShow::Prepare() {
  const TBitmap& graphic = *picture_.Graphic();
  const int w = graphic.Width(), h = graphic.Height();
  picture_width_ = w;
  picture_height_ = h;
  {
    std::scoped_lock lock(display_.Canvas());
    if (display_.Empty() || w <= 0 || h <= 0) {
      display_.SetSize(w, h, PixelFormat::pf32bit);
    } else {
      display_.ConvertTo(PixelFormat::pf32bit);
      display_.Resize(w, h, color_);
    }
  }
  RecomputePlacement();
  const TRect client = ClientRect();
  const TRect source = DisplayTarget({placement_, client, center_, stretch_, stretch_fine_});

  old_contents_ = std::make_unique<TBitmap>(w, h, PixelFormat::pf32bit);
  FillRect(*old_contents_, Rect(0, 0, w, h), color_);
  EnsureOffscreenSize();
  {
    std::scoped_lock lock(offscreen_.Canvas());
    if (nothing_painted_yet_ || !overdraw_) PaintBackground(offscreen_, client);
    // The screen area the new picture will cover, at the picture's own resolution.
    StretchBlt(*old_contents_, 0, 0, w, h, offscreen_, source.Left, source.Top,
               source.Right - source.Left, source.Bottom - source.Top);
  }

  // The new picture in the screen's format: the effects then read 32-bit pixels whatever the
  // decoder produced, which changes no pixel's colour.
  try {
    new_picture_ = std::make_unique<TBitmap>(graphic);
    new_picture_->ConvertTo(PixelFormat::pf32bit);
  } catch (const Exception&) {
    new_picture_ = std::make_unique<TBitmap>(w, h, PixelFormat::pf32bit);
    Draw(*new_picture_, 0, 0, graphic);
  }
  progress_ = StartProgress(reverse_);
  frame_dirty_ = false;
  DoStart(*new_picture_, *old_contents_);
}

void TCustomPicShow::StartStepping() {
  if (!threaded_) {
    RunSteppingLoop();
    return;
  }
  {
    std::lock_guard<std::mutex> lock(sync_mutex_);
    repaint_requested_ = false;
    thread_body_ended_ = false;
  }
  thread_ = std::make_unique<TAnimateThread>(*this, NextThreadSerial());
  thread_->Start(thread_priority_);
}

void TCustomPicShow::RunSteppingLoop() {
  const uint64_t run = run_serial_;
  bool done = false;
  do {
    const uint32_t t0 = TickCount();
    const bool end = DoOneStep();
    // Stopped from inside a frame event: the run is over, without further frames or events.
    if (!SameRun(run)) return;
    if (end) {
      done = !manual_;
    } else {
      for (;;) {
        QCoreApplication::processEvents();
        if (!SameRun(run)) return;  // stopped from inside the event processing
        const uint32_t elapsed = TickCount() - t0;
        if (elapsed > static_cast<uint32_t>(delay_.load()) || manual_ || stop_requested_) break;
        // Poll about once a millisecond instead of keeping a processor busy.
        if (elapsed + 1 < static_cast<uint32_t>(delay_.load())) QThread::msleep(1);
      }
    }
  } while (!done && !manual_ && !stop_requested_);
  if (stop_requested_ || !manual_) Finish();
}

bool TCustomPicShow::DoOneStep() {
  if (!busy_) return true;
  const bool reverse = reverse_;
  SetProgress(NextProgress(progress_, step_, reverse));
  return ProgressAtEnd(progress_, reverse);
}

void TCustomPicShow::RunFrame(int progress) {
  if (!new_picture_ || !old_contents_) return;
  ComposeFrame(
      {&display_, new_picture_.get(), old_contents_.get(), picture_width_, picture_height_}, style_,
      step_, progress, frame_adapter_.get());
}

void TCustomPicShow::RepaintFrame() {
  if (std::this_thread::get_id() == main_thread_) {
    ServeRepaintRequest();
    return;
  }
  // The animation thread: the main thread paints the frame; wait until it has.
  {
    std::lock_guard<std::mutex> lock(sync_mutex_);
    repaint_requested_ = true;
  }
  sync_cv_.notify_all();  // a main thread waiting for this thread's end paints the frame
  WakeMainThread();
  std::unique_lock<std::mutex> lock(sync_mutex_);
  sync_cv_.wait(lock, [this] { return !repaint_requested_; });
}

void TCustomPicShow::ServeRepaintRequest() {
  if (frame_dirty_.exchange(false) && !destroying_ && isVisible() && updatesEnabled()) {
    const TRect area = ScreenArea(Rect(0, 0, picture_width_, picture_height_),
                                  {placement_, ClientRect(), center_, stretch_, stretch_fine_});
    if (!IsRectEmpty(area)) repaint(ToQRect(area));
  }
  // Nothing to paint, or painted: either way the animation thread may compose the next frame.
  paint_event_.Set();
  {
    std::lock_guard<std::mutex> lock(sync_mutex_);
    repaint_requested_ = false;
  }
  sync_cv_.notify_all();
}

void TCustomPicShow::AnimationThreadEnded(TAnimateThread* thread) {
  // The event only wakes the main thread; which thread ended travels under the mutex.
  {
    std::lock_guard<std::mutex> lock(sync_mutex_);
    thread_body_ended_ = true;
    ended_thread_serial_ = thread->Serial();
  }
  sync_cv_.notify_all();
  WakeMainThread();
}

void TCustomPicShow::WakeMainThread() {
  const uint64_t one = 1;
  // Cannot fail short of the counter's overflow, which a wake-up per frame never reaches.
  [[maybe_unused]] const ssize_t n = ::write(wake_fd_, &one, sizeof one);
}

void TCustomPicShow::OnWake() {
  uint64_t count;
  [[maybe_unused]] const ssize_t n = ::read(wake_fd_, &count, sizeof count);
  bool repaint, ended;
  uint64_t serial;
  {
    std::lock_guard<std::mutex> lock(sync_mutex_);
    repaint = repaint_requested_;
    ended = thread_body_ended_;
    serial = ended_thread_serial_;
  }
  if (repaint) ServeRepaintRequest();
  if (ended) HandleCompletion(serial);
}

bool TCustomPicShow::EndAnimationThread() {
  if (!thread_) return false;
  thread_->RequestTermination();
  paint_event_.Set();  // a thread waiting for a paint wakes up
  // Wait for the end of the body, painting the frames it asks for meanwhile.
  for (;;) {
    std::unique_lock<std::mutex> lock(sync_mutex_);
    sync_cv_.wait(lock, [this] { return repaint_requested_ || thread_body_ended_; });
    if (thread_body_ended_) break;
    lock.unlock();
    ServeRepaintRequest();
  }
  thread_->Wait();
  // The body has ended (or never started): its completion is handled here and now, so that
  // the caller sees the transition finished when this returns.
  if (thread_) HandleCompletion(thread_->Serial());
  return true;
}

void TCustomPicShow::HandleCompletion(uint64_t thread_serial) {
  if (!thread_ || thread_serial != thread_->Serial()) return;  // a late event of an earlier thread
  thread_->Wait();
  thread_.reset();
  if (stop_requested_ || !manual_) Finish();
}

void TCustomPicShow::Finish() {
  busy_ = false;
  ReleaseTransitionBitmaps();
  if (destroying_) return;
  if (!stop_requested_) DoComplete();
  DoStop();
}

void TCustomPicShow::ReleaseTransitionBitmaps() {
  std::lock_guard<std::recursive_mutex> lock(frame_lock_);
  new_picture_.reset();
  old_contents_.reset();
}

void TCustomPicShow::Stop() {
  if (!busy_ || stop_requested_) return;
  stop_requested_ = true;
  struct ClearFlag {
    std::atomic<bool>& flag;
    ~ClearFlag() { flag = false; }
  } clear{stop_requested_};
  if (manual_ || !EndAnimationThread()) Finish();
}

}  // namespace qm
