#include "picshow/picshow.h"

#include <algorithm>
#include <chrono>
#include <typeinfo>

#include "picshow/frame_routine.h"
#include "picshow/style_catalogue.h"
#include "picshow/transition_math.h"
#include "platform/exception.h"
#include "platform/stretch.h"

namespace qm {

namespace {

uint64_t NextThreadSerial() {
  static std::atomic<uint64_t> serial{0};
  return ++serial;
}

}  // namespace

// Turns what the frame routine reports into the control's events (OnBeforeNewFrame and
// OnAfterNewFrame directly, custom drawing through DoCustomDraw, the changed area into the
// pending repaint), and lets the animation thread step the control.
class TCustomPicShow::Adapter : public FrameEvents, public AnimationSteps {
 public:
  explicit Adapter(TCustomPicShow& owner) : owner_(owner) {}
  bool WatchesOldContents() const override { return static_cast<bool>(owner_.OnBeforeNewFrame); }
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

  bool AnimationStep() override { return owner_.DoOneStep(); }
  std::chrono::milliseconds AnimationDelay() const override {
    return std::chrono::milliseconds(owner_.delay_.load());
  }
  void AnimationEnded(TAnimateThread& thread) override {
    owner_.link_.ThreadEnded(thread.Serial());
  }

 private:
  TCustomPicShow& owner_;
};

// --- Construction and destruction ---

TCustomPicShow::TCustomPicShow(PicShowHost& host)
    : host_(host), adapter_(std::make_unique<Adapter>(*this)) {
  display_.SetSize(0, 0, PixelFormat::pf32bit);
  offscreen_.SetSize(0, 0, PixelFormat::pf32bit);
  picture_.OnChange = [this] { PictureChanged(); };
  picture_.OnRelease = [this](std::shared_ptr<TBitmap> previous) {
    KeepForOldContents(std::move(previous));
  };
  bg_picture_.OnChange = [this] { BgPictureChanged(); };
}

TCustomPicShow::~TCustomPicShow() {
  EndTransitionForDestruction();
  ReleaseTransitionBitmaps();
  picture_.OnChange = nullptr;
  picture_.OnRelease = nullptr;
  bg_picture_.OnChange = nullptr;
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
  if (bg_picture_.HasGraphic() && !painting_) Invalidate();
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
  if (!painting_) Invalidate();
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

// A picture replaced while no transition reads it leaves its memory for the next transition's
// old contents: a show of pictures of one size then takes no fresh memory at its ticks, and
// gives none back in the middle of them.
void TCustomPicShow::KeepForOldContents(std::shared_ptr<TBitmap> previous) {
  if (destroying_ || busy_) return;
  if (previous == shown_picture_ && previous.use_count() == 2) {
    // The graphic let go is the display's image: it becomes the display's memory again, and
    // the display's own memory, filled with the colour already, the next old contents. Not a
    // pixel is copied or filled.
    shown_picture_.reset();
    TBitmap& image_home = display_.Empty() ? spare_display_ : display_;
    std::scoped_lock lock(display_.Canvas());
    spare_old_contents_ = std::move(image_home);
    image_home = std::move(*previous);
    spare_old_fill_ = shown_fill_;
    return;
  }
  if (previous.use_count() != 1 || previous->Format() != PixelFormat::pf32bit) return;
  spare_old_contents_ = std::move(*previous);
  spare_old_contents_.Transparent = false;
  spare_old_fill_.reset();
}

// At the end of a transition whose last frame is the new picture as it is, the display and the
// Picture's graphic hold the same image. When the next transition starts from the plain colour,
// its old contents are that colour throughout: the display's memory is filled with it now, while
// the slide is on show, and the Picture's graphic stands for the display until then. The tick
// that starts the next transition then fills nothing.
void TCustomPicShow::FillDisplayAhead() {
  const TBitmap* graphic = picture_.Graphic();
  if (destroying_ || overdraw_ || !new_picture_ || new_picture_.get() != graphic ||
      last_progress_drawn_ != 100 || MayDrawOnTheNewPicture() || !BackgroundIsPlainColor() ||
      graphic->Transparent || graphic->Format() != PixelFormat::pf32bit || display_.Empty() ||
      display_.Width() != graphic->Width() || display_.Height() != graphic->Height() ||
      display_.Format() != PixelFormat::pf32bit || display_.Canvas().ClipRegion() != nullptr)
    return;
  std::scoped_lock lock(display_.Canvas());
  FillRect(display_, Rect(0, 0, display_.Width(), display_.Height()), color_);
  shown_fill_ = color_;
  shown_picture_ = new_picture_;
}

void TCustomPicShow::TakeBackShownPicture() {
  if (!shown_picture_) return;
  if (!display_.Empty()) {
    std::scoped_lock lock(display_.Canvas());
    Draw(display_, 0, 0, *shown_picture_);
  }
  shown_picture_.reset();
}

const TBitmap& TCustomPicShow::ShownDisplay() const {
  if (display_pending_ && old_contents_) return *old_contents_;
  if (shown_picture_ && !display_.Empty()) return *shown_picture_;
  return display_;
}

const TBitmap& TCustomPicShow::DisplayBitmap() const {
  return ShownDisplay();
}

// A bitmap of `w` x `h` pixels, 32 bits, its pixels undefined: `spare` when it has that size,
// else fresh memory (the spare given back first). True when it is the spare.
bool TCustomPicShow::TakeSpareOrNew(TBitmap& target, TBitmap& spare, int w, int h) {
  const bool fits = spare.Width() == w && spare.Height() == h &&
                    spare.Format() == PixelFormat::pf32bit && w > 0 && h > 0;
  if (fits) {
    target = std::move(spare);
  } else {
    spare.SetSize(0, 0, PixelFormat::pf32bit);
    target.SetSize(w, h, PixelFormat::pf32bit);
  }
  spare.SetSize(0, 0, PixelFormat::pf32bit);
  return fits;
}

void TCustomPicShow::BgPictureChanged() {
  if (bg_mode_ != TBackgroundMode::bmNone && !painting_) Invalidate();
}

void TCustomPicShow::AdjustSize() {
  if (!picture_.HasGraphic() || align_ == TAlign::alClient) return;
  int w = ClientWidth(), h = ClientHeight();
  if (align_ != TAlign::alTop && align_ != TAlign::alBottom) w = picture_.Width();
  if (align_ != TAlign::alLeft && align_ != TAlign::alRight) h = picture_.Height();
  host_.SetClientSize(w, h);
  // A host may report the new size later; the off-screen bitmap follows what it has now.
  EnsureOffscreenSize();
}

void TCustomPicShow::RecomputePlacement() {
  placement_ = qm::PlacementRect(placement_, display_.Width(), display_.Height(), center_,
                                 ClientWidth(), ClientHeight());
}

void TCustomPicShow::InvalidateIfShown() {
  if (!display_.Empty() && !painting_) Invalidate();
}

void TCustomPicShow::Invalidate() {
  host_.Invalidate(ClientRect());
}

void TCustomPicShow::EnsureOffscreenSize() {
  const int w = std::max(ClientWidth(), 0), h = std::max(ClientHeight(), 0);
  if (offscreen_.Width() == w && offscreen_.Height() == h) return;
  std::scoped_lock lock(offscreen_.Canvas());
  if (w == 0 || h == 0) {
    offscreen_.SetSize(0, 0, PixelFormat::pf32bit);
    return;
  }
  // Keeps the last screen image where old and new size share it: a transition with OverDraw
  // starts from what was on screen.
  if (offscreen_.Empty()) {
    offscreen_.SetSize(w, h, PixelFormat::pf32bit);
  } else {
    offscreen_.Resize(w, h, color_);
  }
}

void TCustomPicShow::HandleResize() {
  EnsureOffscreenSize();
  if (picture_.HasGraphic()) RecomputePlacement();
  InvalidateIfShown();
}

void TCustomPicShow::HandleMouseEnter() {
  if (OnMouseEnter) OnMouseEnter(*this);
}

void TCustomPicShow::HandleMouseLeave() {
  if (OnMouseLeave) OnMouseLeave(*this);
}

// --- Painting ---

void TCustomPicShow::HandlePaint(const TRect& area) {
  if (painting_) return;  // a paint inside a paint is dropped
  painting_ = true;
  struct Done {
    TCustomPicShow& self;
    ~Done() {
      self.paint_event_.Set();
      self.painting_ = false;
    }
  } done{*this};
  paint_area_ = area;
  Paint();
  if (area.Left <= 0 && area.Top <= 0 && area.Right >= ClientWidth() &&
      area.Bottom >= ClientHeight())
    present_whole_ = false;
}

void TCustomPicShow::Paint() {
  const TRect client = ClientRect();
  EnsureOffscreenSize();
  const TBitmap& display = ShownDisplay();
  TRect shown;
  if (!stretch_ && placement_.Left == 0 && placement_.Top == 0 && display.Width() == client.Right &&
      display.Height() == client.Bottom && display.Format() == PixelFormat::pf32bit) {
    // The display is the client area's image as it is: the screen takes it without the copy
    // into the off-screen bitmap, which is brought up to date only when a transition starts
    // from what is on screen (RefreshOffscreen).
    std::scoped_lock display_lock(display.Canvas());
    if (IntersectRect(shown, paint_area_, client)) host_.Present(display, shown);
    offscreen_behind_ = true;
    nothing_painted_yet_ = false;
    return;
  }
  std::scoped_lock offscreen_lock(offscreen_.Canvas());
  offscreen_behind_ = false;
  // Where the display bitmap lands. When it covers the whole client area (a picture of the
  // screen's size, or stretched), every background pixel would be overdrawn: skip drawing it.
  TRect target;
  if (!display.Empty()) {
    target = !stretch_ ? Rect(placement_.Left, placement_.Top, placement_.Left + display.Width(),
                              placement_.Top + display.Height())
             : stretch_fine_ ? AspectFit(placement_, client)
                             : client;
  }
  const bool covered = target.Left <= client.Left && target.Top <= client.Top &&
                       target.Right >= client.Right && target.Bottom >= client.Bottom;
  if (!covered || display.Empty()) PaintBackground(offscreen_, client);
  {
    std::scoped_lock display_lock(display.Canvas());
    if (!display.Empty()) {
      if (!stretch_) {
        Draw(offscreen_, target.Left, target.Top, display);
      } else {
        StretchCopyRect(offscreen_, target, display, Rect(0, 0, display.Width(), display.Height()));
      }
    }
  }
  // The whole image goes to the host; the screen takes the part the paint is for.
  if (IntersectRect(shown, paint_area_, client)) host_.Present(offscreen_, shown);
  nothing_painted_yet_ = false;
}

// After a paint that presented the display itself, the display still holds what the screen
// shows, or, when Clear has dropped it since, the memory it left does.
void TCustomPicShow::RefreshOffscreen() {
  if (!offscreen_behind_) return;
  offscreen_behind_ = false;
  const TBitmap& shown = shown_picture_     ? *shown_picture_
                         : display_.Empty() ? spare_display_
                                            : display_;
  if (shown.Width() != offscreen_.Width() || shown.Height() != offscreen_.Height()) return;
  std::scoped_lock lock(offscreen_.Canvas(), shown.Canvas());
  Draw(offscreen_, 0, 0, shown);
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
    // The memory is kept for the next transition's display, which mostly has the same size:
    // taking it over costs nothing, while fresh memory costs its first touch within the tick.
    spare_display_ = std::move(display_);
    display_.SetSize(0, 0, PixelFormat::pf32bit);
  }
  present_whole_ = true;
  Invalidate();
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
  // The new picture first, before the display and the old contents are had: converting a picture
  // grows its memory, and at this moment little else is held.
  new_picture_ = NewPictureBitmap();
  const bool from_background = nothing_painted_yet_ || !overdraw_;
  if (!from_background) RefreshOffscreen();  // before the display changes
  TakeBackShownPicture();
  const int w = picture_.Width(), h = picture_.Height();
  picture_width_ = w;
  picture_height_ = h;
  const bool fresh_display = display_.Empty();
  {
    std::scoped_lock lock(display_.Canvas());
    if (fresh_display || w <= 0 || h <= 0) {
      TakeSpareOrNew(display_, spare_display_, w, h);
    } else {
      display_.ConvertTo(PixelFormat::pf32bit);
      // Resizing copies the display, so a display that has the size already is left as it is.
      if (display_.Width() != w || display_.Height() != h) display_.Resize(w, h, color_);
    }
  }
  RecomputePlacement();
  const TRect client = ClientRect();
  const TRect source = DisplayTarget({placement_, client, center_, stretch_, stretch_fine_});

  // Starting from the background alone, and that background is the plain colour: the old
  // contents are complete once filled with it, without painting the background and copying it
  // back; memory filled with it while the last slide was on show is complete already.
  const bool plain = from_background && BackgroundIsPlainColor();
  const bool filled_ahead = spare_old_fill_ == color_;
  spare_old_fill_.reset();
  old_contents_ = std::make_unique<TBitmap>();
  const bool reused = TakeSpareOrNew(*old_contents_, spare_old_contents_, w, h);
  if (!(plain && reused && filled_ahead)) FillRect(*old_contents_, Rect(0, 0, w, h), color_);
  EnsureOffscreenSize();
  if (!plain) {
    std::scoped_lock lock(offscreen_.Canvas());
    if (from_background) PaintBackground(offscreen_, client);
    // The screen area the new picture will cover, at the picture's own resolution.
    StretchBlt(*old_contents_, 0, 0, w, h, offscreen_, source.Left, source.Top,
               source.Right - source.Left, source.Bottom - source.Top);
  }
  last_progress_drawn_ = -1;
  if (fresh_display && !MayDrawOnTheNewPicture()) {
    // The first frame writes every pixel of a new display bitmap: until it has, the old contents
    // stand for the display, and a paint before it shows the screen as it was.
    display_pending_ = true;
  } else if (fresh_display) {
    // A handler may draw on the display or the old contents: the display starts as a copy.
    std::scoped_lock lock(display_.Canvas());
    Draw(display_, 0, 0, *old_contents_);
  }
  progress_ = StartProgress(reverse_);
  frame_dirty_ = false;
  DoStart(*new_picture_, *old_contents_);
}

// The new picture in the screen's format: the effects then read 32-bit pixels whatever the
// decoder produced, which changes no pixel's colour. The effects only read it, so unless a
// handler or a descendant's operation may draw on it, it is the Picture's own graphic converted
// in place, and a slide is held twice during its transition (here and in the display), not
// three times. A handler's drawing goes to a copy and never reaches Picture.
std::shared_ptr<TBitmap> TCustomPicShow::NewPictureBitmap() {
  const TBitmap& graphic = *picture_.Graphic();
  try {
    if (!MayDrawOnTheNewPicture()) return picture_.ShareGraphic(PixelFormat::pf32bit);
    return std::make_shared<TBitmap>(graphic.ConvertedTo(PixelFormat::pf32bit));
  } catch (const Exception&) {
    auto bitmap =
        std::make_shared<TBitmap>(graphic.Width(), graphic.Height(), PixelFormat::pf32bit);
    Draw(*bitmap, 0, 0, graphic);
    return bitmap;
  }
}

// Whether the background is the control's colour and nothing else: no background picture is
// drawn over it, and no descendant paints it its own way.
bool TCustomPicShow::BackgroundIsPlainColor() const {
  const TBitmap* g = bg_picture_.Graphic();
  const bool picture_drawn = g != nullptr && !g->Empty() && bg_mode_ != TBackgroundMode::bmNone;
  return !picture_drawn && IsTheControlItself();
}

bool TCustomPicShow::IsTheControlItself() const {
  return typeid(*this) == typeid(TPicShow) || typeid(*this) == typeid(TCustomPicShow);
}

// Handlers receive the new picture as a bitmap they may draw on; so may a descendant's
// DoStart or DoCustomDraw, which cannot be told apart from the control's own.
bool TCustomPicShow::MayDrawOnTheNewPicture() const {
  if (OnStart || OnBeforeNewFrame || OnCustomDraw || OnAfterNewFrame) return true;
  return !IsTheControlItself();
}

void TCustomPicShow::StartStepping() {
  if (!threaded_) {
    RunSteppingLoop();
    return;
  }
  link_.Reset();
  thread_ = std::make_unique<TAnimateThread>(*adapter_, paint_event_, NextThreadSerial());
  thread_->Start(thread_priority_);
}

void TCustomPicShow::RunSteppingLoop() {
  const uint64_t run = run_serial_;
  bool done = false;
  do {
    const auto frame_start = PicShowHost::Clock::now();
    const bool end = DoOneStep();
    // Stopped from inside a frame event: the run is over, without further frames or events.
    if (!SameRun(run)) return;
    if (end) {
      done = !manual_;
    } else {
      // Events are handled at least once, and until the frame's Delay has passed.
      for (;;) {
        const auto due = frame_start + std::chrono::milliseconds(delay_.load());
        host_.ProcessEvents(due);
        if (!SameRun(run)) return;  // stopped from inside the event processing
        if (PicShowHost::Clock::now() >= due || manual_ || stop_requested_) break;
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
      step_, progress, adapter_.get());
  last_progress_drawn_ = progress;
  display_pending_ = false;
}

void TCustomPicShow::RepaintFrame() {
  if (std::this_thread::get_id() == main_thread_) {
    ServeRepaintRequest();
    return;
  }
  // Another thread: the main thread paints the frame; wait until it has. This control's animation
  // thread first waits for the frame's time.
  if (TAnimateThread* thread = TAnimateThread::Current();
      thread && &thread->Owner() == adapter_.get())
    thread->AwaitFrameTime();
  link_.RequestRepaint();
}

void TCustomPicShow::ServeRepaintRequest() {
  if (frame_dirty_.exchange(false) && !destroying_) {
    // After Clear the whole client area is owed to the screen; this frame brings all of it.
    const TRect area =
        present_whole_ ? ClientRect()
                       : ScreenArea(Rect(0, 0, picture_width_, picture_height_),
                                    {placement_, ClientRect(), center_, stretch_, stretch_fine_});
    if (!IsRectEmpty(area)) host_.UpdateNow(area);
  }
  // Nothing to paint, or painted: either way the animation thread may compose the next frame.
  paint_event_.Set();
  link_.RepaintServed();
}

void TCustomPicShow::HandleWake() {
  const MainThreadLink::Pending pending = link_.Peek();
  if (pending.repaint) ServeRepaintRequest();
  if (pending.ended) HandleCompletion(pending.serial);
}

bool TCustomPicShow::EndAnimationThread() {
  if (!thread_) return false;
  thread_->RequestTermination();
  paint_event_.Set();  // a thread waiting for a paint wakes up
  // Wait for the end of the body, painting the frames it asks for meanwhile.
  while (!link_.WaitForRepaintOrEnd()) ServeRepaintRequest();
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
  FillDisplayAhead();
  ReleaseTransitionBitmaps();
  if (destroying_) return;
  if (!stop_requested_) DoComplete();
  DoStop();
}

void TCustomPicShow::ReleaseTransitionBitmaps() {
  std::lock_guard<std::recursive_mutex> lock(frame_lock_);
  if (display_pending_ && old_contents_) {
    // Ended before its first frame: the display keeps the image it stood for.
    std::scoped_lock display_lock(display_.Canvas());
    Draw(display_, 0, 0, *old_contents_);
  }
  display_pending_ = false;
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
