// TfrmMain: the presentation window. Borderless, on top, full screen, no taskbar button; a
// caption strip `lblDesc` at the top or bottom edge and the picture area `PicShow1` over the
// rest. Start-up (FormCreate) extracts the gallery and lays the window out from its header; the
// slide sequencer (Timer1Timer) runs the show; the window's event loop (Run) drives both.
//
// The window system stays behind PlayerWindow: this class composes what the window shows (the
// background, the strip with its text, the transition control's frames) and reacts to the
// events the window reports. It is the transition control's host.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "payload/extraction.h"
#include "picshow/picshow.h"
#include "picshow/picshow_host.h"
#include "player/player_window.h"
#include "player/slide_prefetch.h"
#include "player/text_renderer.h"

namespace qm {

enum class TAlignment : uint8_t { taLeftJustify, taCenter, taRightJustify };

// The caption label: its place in the window, its text and font, and the lines its text wraps
// to at its width.
struct TLabel {
  TRect bounds;
  std::string caption;  // Windows-1252
  TAlignment alignment = TAlignment::taCenter;
  TColor color = 0x00FFFFFF;       // the strip
  TColor font_color = 0x00000000;  // the text
  FontRequest font;
  std::unique_ptr<TextFont> face;  // none when the system has no font at all
  std::vector<std::u32string> lines;
  // The height of one line of the font.
  int LineHeight() const;
};

// The slide timer: a period, and while enabled the moment of its next tick.
struct TTimer {
  uint32_t interval = 2000;  // milliseconds
  bool enabled = false;
  int64_t due = 0;  // monotonic nanoseconds
};

class TfrmMain : public GallerySettingsSink, public PicShowHost {
 public:
  // Builds the window from its description on `window`, not yet shown.
  explicit TfrmMain(PlayerWindow& window);
  ~TfrmMain() override;
  TfrmMain(const TfrmMain&) = delete;
  TfrmMain& operator=(const TfrmMain&) = delete;

  // Start-up: extraction and layout. On failure shows the start-up error box and requests
  // the end of the program. Returns whether start-up succeeded.
  bool FormCreate(const std::string& executable);
  // Start-up from slides that are already files: `header`'s settings laid out as extraction
  // lays them out, the slide list taken as it is.
  void FormCreate(const GalleryHeader& header, std::vector<recImgItems> slides);
  bool StartupFailed() const { return startup_failed_; }
  const PlayerState& State() const { return state_; }

  // Shows the window and draws it.
  void Show();
  // The message loop: handles events until the end of the program is requested.
  void Run();
  bool QuitRequested() const { return quit_requested_; }
  // Whether the connection to the display was lost.
  bool DisplayLost() const { return display_lost_; }

  // The slide sequencer's tick: shows the slide at the slide position and waits for its
  // transition to end. Decoding errors pass to the caller.
  void Timer1Timer();
  // A tick's work for one slide, without the wait: `picture` becomes the control's (none: it
  // keeps the one it has), `style` its style when given, then the bare picture area is drawn,
  // the transition started and `caption` shown. With the control in Manual mode the caller
  // steps the transition itself (a recording of the show).
  void BeginSlide(std::optional<TBitmap> picture, std::optional<int> style,
                  const std::string& caption);
  // The timer's tick as the framework runs it: an error shows the default error box, and the
  // show halts on the previous slide.
  void Timer1TimerFromTimer();
  // FormCloseQuery, then the end of the program: stops the show; never refused.
  void Close();

  // Moving through the show by hand (the presentation itself never does): the next tick shows
  // the slide at `position` and comes at once, a running transition stopped first. A position
  // past the last slide ends or wraps the show as the tick after the last slide does.
  void GoToSlide(int32_t position);
  // While paused the timer does not run: the slide stays until the show is resumed, which
  // starts a fresh interval, or moved by GoToSlide.
  void SetPaused(bool paused);
  bool Paused() const { return paused_; }
  // The slide the last tick took up (on screen, or the one that failed); -1 before the first.
  int32_t CurrentSlide() const { return current_slide_; }

  // The window's children, named as in its description.
  TLabel lblDesc;
  TRect pic_show_bounds = Rect(0, 0, 200, 200);
  TRect panControl = Rect(298, 118, 326, 146);  // never shown
  TTimer Timer1;
  TColor Color = 0x00F0F0F0;  // the window's own colour

  PlayerWindow& Window() { return window_; }

  // GallerySettingsSink: the gallery header applied to the window.
  void SetTimerPeriod(uint32_t milliseconds) override;
  void SetBackgroundColor(TColor color) override;
  void LayoutCaptionStrip(int32_t p) override;
  void LayoutPictureAreaFullScreen() override;
  void SetCaptionFont(const std::string& name, TColor color, int32_t size, uint8_t style) override;
  void LayoutPictureAreaAgainstStrip(int32_t p) override;
  void SetTransitionStyle(uint8_t style) override;

  // PicShowHost: the picture area.
  int ClientWidth() const override { return pic_show_bounds.Right - pic_show_bounds.Left; }
  int ClientHeight() const override { return pic_show_bounds.Bottom - pic_show_bounds.Top; }
  void SetClientSize(int width, int height) override;
  void Present(const TBitmap& image, const TRect& area) override;
  void Invalidate(const TRect& area) override;
  void UpdateNow(const TRect& area) override;
  void WakeMainThread() override { window_.Wake(); }
  void ProcessEvents(Clock::time_point deadline) override;

 protected:
  // The picture of a slide; nothing keeps the control's previous picture. The presentation
  // decodes the file by its extension, the next slide on a worker thread ahead of its tick.
  virtual std::optional<TBitmap> LoadSlide(const recImgItems& slide);
  // A key other than Escape; the presentation takes no other keys.
  virtual void FormKeyDown(WindowEvent /*key*/) {}
  // A tick that raised (a picture that cannot be decoded): the default error box, and the
  // show halts on the previous slide.
  virtual void SlideFailed(const std::exception& e);

 private:
  // Handles the events that are pending, or waits for the next one until `deadline_ns`.
  void Pump(int64_t deadline_ns);
  void Handle(WindowEvent event);
  void DrawAll();
  void DrawBackground();
  void DrawStrip();
  void SetCaption(const std::string& caption);
  // Keeps the label's automatic height: as many lines as its text needs at its width.
  void AdjustLabelHeight();
  void PlaceLabel();
  void EnableTimer();
  // Starts decoding the slide the next tick will show, if a tick will come.
  void PrefetchNextSlide();
  int ScreenWidth() const { return window_.Width(); }
  int ScreenHeight() const { return window_.Height(); }

  // Figures of the show for measuring it, on standard error when the environment variable
  // QUENMORA_PLAYER_STATS is set (off otherwise): one line per transition (its style, the time
  // from the tick to its first frame, its frames and the late ones among them) and one when the
  // show closes.
  struct ShowStats {
    bool on = false;
    int64_t tick = 0;         // the tick's start
    int64_t last_frame = -1;  // the last frame of the running transition; -1 before its first
    int64_t first_frame = 0;  // from the tick to the first frame
    int frames = 0, late = 0;
  };
  void ReportTransition(int slide);

  enum class StripEdge { kNone, kTop, kBottom };
  PlayerWindow& window_;
  ShowStats stats_;
  StripEdge strip_edge_ = StripEdge::kNone;
  PlayerState state_;
  SlidePrefetcher prefetch_;
  bool startup_failed_ = false;
  bool closed_ = false;
  bool shown_ = false;
  bool quit_requested_ = false;
  bool display_lost_ = false;
  bool paint_pending_ = false;
  bool paused_ = false;
  bool in_tick_wait_ = false;  // a tick waits for its transition: no tick may start
  bool go_now_ = false;        // GoToSlide asked for the next tick at once
  int32_t current_slide_ = -1;
  bool decodes_ahead_ = false;  // slides come from this class's LoadSlide

 public:
  // The picture area, declared last: its animation thread may wake the window until the
  // control's destructor begins, and the members that wake-up uses are still there then.
  TPicShow PicShow1{*this};
};

}  // namespace qm
