#include "player/frm_main.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "imaging/slide_loader.h"
#include "payload/cp1252.h"
#include "picshow/style_catalogue.h"
#include "platform/messages.h"
#include "platform/stretch.h"
#include "player/error_boxes.h"

namespace qm {

namespace {

// The design font, "MS Sans Serif" at 8 points; no such face exists here, so it is the
// default sans-serif face.
constexpr char kDesignFontName[] = "MS Sans Serif";
constexpr int kDesignFontPoints = 8;

int PointsToPixels(int64_t points, int dpi) {
  return static_cast<int>(std::clamp<int64_t>((points * dpi + 36) / 72, 1, 2000));
}

void FillRows(PlayerWindow& window, int top, int bottom, TColor color) {
  if (bottom <= top) return;
  TBitmap band(window.Width(), bottom - top, PixelFormat::pf32bit);
  FillRect(band, Rect(0, 0, band.Width(), band.Height()), color);
  window.Present(band, Rect(0, 0, band.Width(), band.Height()), 0, top);
}

}  // namespace

int TLabel::LineHeight() const {
  return face ? face->LineHeight() : std::max(1, font.pixel_size * 6 / 5);
}

TfrmMain::TfrmMain(PlayerWindow& window) : window_(window) {
  lblDesc.bounds = Rect(0, 0, 3, 13);
  lblDesc.font = {kDesignFontName, PointsToPixels(kDesignFontPoints, window.DotsPerInch())};
  lblDesc.face = TextFont::Open(lblDesc.font);
  PicShow1.SetAutoSize(false);
  PicShow1.SetCenter(true);
  PicShow1.SetDelay(50);
  PicShow1.SetOverDraw(false);
  PicShow1.SetStyle(0);
  stats_.on = std::getenv("QUENMORA_PLAYER_STATS") != nullptr;
}

TfrmMain::~TfrmMain() = default;

bool TfrmMain::FormCreate(const std::string& executable) {
  std::string reason;
  if (RunStartupExtraction(executable, state_, *this, &reason)) return true;
  startup_failed_ = true;
  window_.MessageBox(msg::kStartupErrorCaption, msg::kStartupErrorText);
  quit_requested_ = true;  // taken up when the message loop runs
  return false;
}

void TfrmMain::FormCreate(const GalleryHeader& header, std::vector<recImgItems> slides) {
  state_.slides = std::move(slides);
  state_.slide_count = static_cast<int32_t>(state_.slides.size());
  state_.slide_position = 0;
  state_.loop_flag = header.loop;
  state_.style_value = header.style;
  ApplyGalleryHeader(header, *this);
}

void TfrmMain::Show() {
  window_.Show();
  shown_ = true;
  DrawAll();
}

void TfrmMain::SetTimerPeriod(uint32_t milliseconds) {
  Timer1.interval = milliseconds;
}

void TfrmMain::SetBackgroundColor(TColor color) {
  Color = color;
  PicShow1.SetColor(color);
}

void TfrmMain::LayoutCaptionStrip(int32_t p) {
  const int panel_w = panControl.Right - panControl.Left,
            panel_h = panControl.Bottom - panControl.Top;
  auto move_panel = [&](int left, int top) {
    panControl = Rect(left, top, left + panel_w, top + panel_h);
  };
  if (p == 0 || p == 2 || p == 4) {
    strip_edge_ = StripEdge::kTop;
    move_panel(panControl.Left, 0);
  } else if (p == 1 || p == 3 || p == 5) {
    strip_edge_ = StripEdge::kBottom;
    move_panel(panControl.Left, ScreenHeight() - panel_h);
  }
  if (p == 0 || p == 1) {
    lblDesc.alignment = TAlignment::taLeftJustify;
    move_panel(ScreenWidth() - panel_w, panControl.Top);
  } else if (p == 2 || p == 3) {
    lblDesc.alignment = TAlignment::taCenter;
    move_panel(ScreenWidth() - panel_w, panControl.Top);
  } else if (p == 4 || p == 5) {
    lblDesc.alignment = TAlignment::taRightJustify;
    move_panel(0, panControl.Top);
  }
  AdjustLabelHeight();
}

void TfrmMain::LayoutPictureAreaFullScreen() {
  pic_show_bounds = Rect(0, 0, ScreenWidth(), ScreenHeight());
  PicShow1.HandleResize();
}

void TfrmMain::SetCaptionFont(const std::string& name, TColor color, int32_t size, uint8_t style) {
  if (!name.empty()) lblDesc.font.family = Cp1252ToUtf8(name.substr(0, 31));
  lblDesc.font_color = color;
  if (color == 0x00FFFFFF) lblDesc.color = 0;
  // Points at the screen's resolution; a negative size is a height in pixels, 0 the default.
  if (size != 0)
    lblDesc.font.pixel_size = size < 0
                                  ? static_cast<int>(std::clamp<int64_t>(-int64_t{size}, 1, 2000))
                                  : PointsToPixels(size, window_.DotsPerInch());
  lblDesc.font.bold = style & kFontBold;
  lblDesc.font.italic = style & kFontItalic;
  lblDesc.font.underline = style & kFontUnderline;
  lblDesc.font.strike_out = style & kFontStrikeOut;
  lblDesc.face = TextFont::Open(lblDesc.font);
  AdjustLabelHeight();
}

void TfrmMain::LayoutPictureAreaAgainstStrip(int32_t p) {
  const int h = lblDesc.bounds.Bottom - lblDesc.bounds.Top;
  if (p == 0 || p == 2 || p == 4) {
    OffsetRect(pic_show_bounds, 0, h - pic_show_bounds.Top);
  } else if (p == 1 || p == 3 || p == 5) {
    pic_show_bounds.Bottom = pic_show_bounds.Top + ScreenHeight() - h;
    PicShow1.HandleResize();
  }
}

void TfrmMain::SetTransitionStyle(uint8_t style) {
  PicShow1.SetStyle(style);
}

void TfrmMain::AdjustLabelHeight() {
  TLabel& l = lblDesc;
  const int width =
      strip_edge_ == StripEdge::kNone ? l.bounds.Right - l.bounds.Left : ScreenWidth();
  l.lines = WrapText(Cp1252ToUtf32(l.caption), width,
                     [&](char32_t c) { return l.face ? l.face->Advance(c) : 0; });
  const int lines = std::max<int>(1, static_cast<int>(l.lines.size()));
  const int h = strip_edge_ == StripEdge::kNone ? l.LineHeight() : lines * l.LineHeight();
  l.bounds.Bottom = l.bounds.Top + h;
  PlaceLabel();
}

void TfrmMain::PlaceLabel() {
  const int h = lblDesc.bounds.Bottom - lblDesc.bounds.Top;
  if (strip_edge_ == StripEdge::kTop) lblDesc.bounds = Rect(0, 0, ScreenWidth(), h);
  if (strip_edge_ == StripEdge::kBottom)
    lblDesc.bounds = Rect(0, ScreenHeight() - h, ScreenWidth(), ScreenHeight());
}

void TfrmMain::SetCaption(const std::string& caption) {
  lblDesc.caption = caption;
  AdjustLabelHeight();
  if (shown_) {
    DrawBackground();
    DrawStrip();
  }
}

// --- Drawing: the window's colour where no child is, the strip where the picture area leaves
// it visible, the picture area over both. ---

void TfrmMain::DrawAll() {
  if (!shown_) return;
  DrawBackground();
  DrawStrip();
  PicShow1.HandlePaint(Rect(0, 0, ClientWidth(), ClientHeight()));
  paint_pending_ = false;
}

void TfrmMain::DrawBackground() {
  // The picture area and the strip span the window's width whenever they cover anything of
  // it; the rows that neither covers show the window's colour.
  const TRect screen = Rect(0, 0, ScreenWidth(), ScreenHeight());
  std::vector<std::pair<int, int>> covered;
  for (const TRect& r : {pic_show_bounds, lblDesc.bounds})
    if (r.Left <= 0 && r.Right >= screen.Right && !IsRectEmpty(r))
      covered.emplace_back(r.Top, r.Bottom);
  std::sort(covered.begin(), covered.end());
  int row = 0;
  for (const auto& [top, bottom] : covered) {
    FillRows(window_, row, std::min(top, screen.Bottom), Color);
    row = std::max(row, bottom);
  }
  FillRows(window_, row, screen.Bottom, Color);
  if (covered.empty()) return;
}

void TfrmMain::DrawStrip() {
  const TLabel& l = lblDesc;
  // The rows of the label that the picture area leaves visible: above it and below it.
  const std::pair<int, int> spans[2] = {
      {l.bounds.Top, std::min(l.bounds.Bottom, pic_show_bounds.Top)},
      {std::max(l.bounds.Top, pic_show_bounds.Bottom), l.bounds.Bottom}};
  const bool area_spans_width =
      pic_show_bounds.Left <= l.bounds.Left && pic_show_bounds.Right >= l.bounds.Right;
  for (auto [top, bottom] : spans) {
    if (!area_spans_width) top = l.bounds.Top, bottom = l.bounds.Bottom;
    top = std::max(top, 0);
    bottom = std::min(bottom, ScreenHeight());
    if (bottom <= top || l.bounds.Right <= l.bounds.Left) continue;
    TBitmap strip(l.bounds.Right - l.bounds.Left, bottom - top, PixelFormat::pf32bit);
    const TRect all = Rect(0, 0, strip.Width(), strip.Height());
    FillRect(strip, all, l.color);
    if (l.face) {
      for (std::size_t i = 0; i < l.lines.size(); ++i) {
        const int line_top = l.bounds.Top + static_cast<int>(i) * l.LineHeight() - top;
        if (line_top >= strip.Height() || line_top + l.LineHeight() <= 0) continue;
        const int w = l.face->TextWidth(l.lines[i]);
        const int x = l.alignment == TAlignment::taLeftJustify ? 0
                      : l.alignment == TAlignment::taCenter    ? (strip.Width() - w) / 2
                                                               : strip.Width() - w;
        l.face->Draw(strip, x, line_top + l.face->Ascent(), l.lines[i], l.font_color, all);
      }
    }
    window_.Present(strip, all, l.bounds.Left, top);
    if (!area_spans_width) break;
  }
}

// --- The transition control's host ---

void TfrmMain::SetClientSize(int width, int height) {
  pic_show_bounds.Right = pic_show_bounds.Left + width;
  pic_show_bounds.Bottom = pic_show_bounds.Top + height;
  PicShow1.HandleResize();
}

void TfrmMain::Present(const TBitmap& image, const TRect& area) {
  if (!shown_) return;
  window_.Present(image, area, pic_show_bounds.Left, pic_show_bounds.Top);
  if (stats_.on && PicShow1.Busy()) {
    // A frame is late when it comes more than a whole pause after the one before it.
    const int64_t now = MonotonicNanoseconds();
    if (stats_.last_frame < 0)
      stats_.first_frame = now - stats_.tick;
    else if (now - stats_.last_frame > 2 * int64_t{PicShow1.Delay()} * 1'000'000)
      ++stats_.late;
    ++stats_.frames;
    stats_.last_frame = now;
  }
}

void TfrmMain::ReportTransition(int slide) {
  if (!stats_.on || stats_.frames == 0) return;
  std::fprintf(stderr, "quenmora-stats: slide %d style %d first-frame-us %lld frames %d late %d\n",
               slide, PicShow1.Style(), static_cast<long long>(stats_.first_frame / 1000),
               stats_.frames, stats_.late);
}

void TfrmMain::Invalidate(const TRect&) {
  paint_pending_ = true;
}

void TfrmMain::UpdateNow(const TRect& area) {
  if (shown_) PicShow1.HandlePaint(area);
}

void TfrmMain::ProcessEvents(Clock::time_point deadline) {
  Pump(std::chrono::duration_cast<std::chrono::nanoseconds>(deadline.time_since_epoch()).count());
}

// --- The message loop ---

void TfrmMain::Run() {
  while (!quit_requested_) Pump(-1);
}

void TfrmMain::Pump(int64_t deadline_ns) {
  if (paint_pending_ && shown_) {
    paint_pending_ = false;
    PicShow1.HandlePaint(Rect(0, 0, ClientWidth(), ClientHeight()));
  }
  int64_t until = deadline_ns;
  if (Timer1.enabled && (until < 0 || Timer1.due < until)) until = Timer1.due;
  Handle(window_.WaitEvent(until));
  // Then what else is pending, a bounded number, so a stream of wake-ups cannot starve the
  // caller.
  for (int i = 0; i < 64 && !display_lost_; ++i) {
    const WindowEvent event = window_.WaitEvent(0);
    if (event == WindowEvent::kTimeout) break;
    Handle(event);
  }
}

void TfrmMain::Handle(WindowEvent event) {
  switch (event) {
    case WindowEvent::kWake:
      PicShow1.HandleWake();
      break;
    case WindowEvent::kExpose:
      DrawAll();
      break;
    case WindowEvent::kEscape:
    case WindowEvent::kClose:
      Close();
      break;
    case WindowEvent::kLost:
      display_lost_ = true;
      shown_ = false;
      Close();
      break;
    case WindowEvent::kSpace:
    case WindowEvent::kNext:
    case WindowEvent::kPrevious:
    case WindowEvent::kHome:
      FormKeyDown(event);
      break;
    case WindowEvent::kTimeout:
      break;
  }
  if (Timer1.enabled && MonotonicNanoseconds() >= Timer1.due) Timer1TimerFromTimer();
  if (paint_pending_ && shown_) {
    paint_pending_ = false;
    PicShow1.HandlePaint(Rect(0, 0, ClientWidth(), ClientHeight()));
  }
}

// --- The slide sequencer ---

void TfrmMain::EnableTimer() {
  if (closed_) return;
  if (go_now_) {
    Timer1.enabled = true;
    Timer1.due = MonotonicNanoseconds();
    return;
  }
  // A period of 0 never fires.
  if (Timer1.interval == 0 || paused_) return;
  Timer1.enabled = true;
  Timer1.due = MonotonicNanoseconds() + int64_t{Timer1.interval} * 1'000'000;
}

void TfrmMain::Timer1Timer() {
  Timer1.enabled = false;
  go_now_ = false;
  stats_.tick = MonotonicNanoseconds();
  stats_.last_frame = -1;
  stats_.frames = stats_.late = 0;
  const auto count = static_cast<int32_t>(state_.slides.size());
  if (state_.slide_position > count - 1) {
    // An empty list ends the show even when it loops: there is nothing to start again with.
    if (state_.loop_flag == 0 || count == 0) {
      Close();
      return;
    }
    state_.slide_position = 0;
  }
  const recImgItems& slide = state_.slides[static_cast<std::size_t>(state_.slide_position)];
  current_slide_ = state_.slide_position;
  std::optional<TBitmap> picture = LoadSlide(slide);
  BeginSlide(
      std::move(picture),
      IsRandomStyle(state_.style_value) ? std::optional<int>(PickRandomStyle()) : std::nullopt,
      slide.caption);
  ++state_.slide_position;
  // Wait for the end of the transition, handling paints, keys and the completion as they
  // come; between them the main thread sleeps instead of spinning.
  in_tick_wait_ = true;
  while (PicShow1.Busy()) Pump(-1);
  in_tick_wait_ = false;
  ReportTransition(state_.slide_position - 1);
  PrefetchNextSlide();
  EnableTimer();
}

void TfrmMain::BeginSlide(std::optional<TBitmap> picture, std::optional<int> style,
                          const std::string& caption) {
  // The decoded bitmap is handed over, not copied: the control's picture is the only one left.
  if (picture) PicShow1.Picture().Assign(std::move(*picture));
  if (style) PicShow1.SetStyle(*style);
  PicShow1.Clear();
  // A transition on the animation thread brings the whole bare picture area to the screen with
  // its first frame, moments after this, and the caption below redraws the strip: drawing them
  // here as well would put a whole window's copy between the tick and that frame.
  const bool first_frame_draws =
      PicShow1.Threaded() && !PicShow1.Manual() && PicShow1.Picture().HasGraphic();
  if (!first_frame_draws) DrawAll();
  try {
    PicShow1.Execute();
  } catch (...) {
    DrawAll();
    throw;
  }
  if (first_frame_draws && PicShow1.Busy()) paint_pending_ = false;
  SetCaption(caption);
}

std::optional<TBitmap> TfrmMain::LoadSlide(const recImgItems& slide) {
  // Unrecognised extensions load nothing: the control keeps its previous picture. The picture
  // was usually decoded while the previous slide was on screen; a damaged file raises its error
  // here all the same, at its own tick.
  decodes_ahead_ = true;
  return prefetch_.Take(current_slide_, slide.path);
}

void TfrmMain::SlideFailed(const std::exception& e) {
  window_.MessageBox(msg::kApplicationTitle, ErrorBoxText(e.what()));
}

void TfrmMain::GoToSlide(int32_t position) {
  if (closed_) return;
  state_.slide_position = std::max(position, 0);
  go_now_ = true;
  // A running transition ends here; the tick waiting for it then takes up the request.
  if (PicShow1.Busy()) PicShow1.Stop();
  if (!in_tick_wait_) EnableTimer();
}

void TfrmMain::SetPaused(bool paused) {
  const bool resumed = paused_ && !paused;
  paused_ = paused;
  // A slide asked for by GoToSlide still comes; a tick under way enables the timer itself.
  if (paused && !go_now_) Timer1.enabled = false;
  if (resumed && !in_tick_wait_ && !Timer1.enabled) EnableTimer();
}

void TfrmMain::PrefetchNextSlide() {
  // Decoded after the transition, so the decode does not take processor time from its frames.
  // Only slides this class's LoadSlide decodes are decoded ahead.
  if (!decodes_ahead_ || closed_ || Timer1.interval == 0) return;
  const auto count = static_cast<int32_t>(state_.slides.size());
  int32_t next = state_.slide_position;
  if (next > count - 1) {
    if (state_.loop_flag == 0 || count == 0) return;
    next = 0;
  }
  prefetch_.Start(next, state_.slides[static_cast<std::size_t>(next)].path);
}

void TfrmMain::Timer1TimerFromTimer() {
  try {
    Timer1Timer();
  } catch (const std::exception& e) {
    SlideFailed(e);
  }
}

void TfrmMain::Close() {
  if (closed_) return;
  Timer1.enabled = false;
  closed_ = true;
  PicShow1.Stop();
  PicShow1.Clear();
  prefetch_.Stop();
  lblDesc.caption.clear();
  quit_requested_ = true;
  if (stats_.on) {
    // On the wall clock, so that a script can set it against the moment it sent a key.
    const auto wall = std::chrono::system_clock::now().time_since_epoch();
    std::fprintf(
        stderr, "quenmora-stats: closed wall-ns %lld\n",
        static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(wall).count()));
  }
}

}  // namespace qm
