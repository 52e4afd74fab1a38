#include "video/show_video.h"

#include <utility>

#include "imaging/slide_loader.h"
#include "payload/extraction.h"
#include "picshow/style_catalogue.h"
#include "platform/random.h"
#include "platform/stretch.h"
#include "player/frm_main.h"
#include "player/player_window.h"

namespace qm::video {

namespace {

// The presentation window as a screen of memory: what the player's window shows, pixel for
// pixel, without a display.
class ScreenWindow final : public PlayerWindow {
 public:
  ScreenWindow(int width, int height) : screen_(width, height, PixelFormat::pf32bit) {}
  const TBitmap& Screen() const { return screen_; }

  int Width() const override { return screen_.Width(); }
  int Height() const override { return screen_.Height(); }
  // Caption sizes in points are taken at the resolution the window's design assumes.
  int DotsPerInch() const override { return 96; }
  void Show() override {}
  void Present(const TBitmap& pixels, const TRect& area, int x, int y) override {
    const int w = area.Right - area.Left, h = area.Bottom - area.Top;
    StretchBlt(screen_, x + area.Left, y + area.Top, w, h, pixels, area.Left, area.Top, w, h);
  }
  WindowEvent WaitEvent(int64_t) override { return WindowEvent::kTimeout; }
  void Wake() override {}
  void MessageBox(const std::string&, const std::string& text) override {
    throw std::runtime_error(text);
  }

 private:
  TBitmap screen_;
};

}  // namespace

SlideError::SlideError(int slide, const std::string& name, const std::string& reason)
    : std::runtime_error("slide " + std::to_string(slide + 1) + " (" + name + "): " + reason),
      slide_(slide) {}

ShowTimeline TimelineOf(const Show& show) {
  const int frames = static_cast<int>(TransitionProgresses(kPlayerStep).size());
  std::vector<int> transition_frames;
  bool has_picture = false;
  for (const ShowSlide& slide : show.slides) {
    has_picture = has_picture || SlideDecoderFor(slide.name) != TSlideDecoder::sdNone;
    transition_frames.push_back(has_picture ? frames : 0);
  }
  return ShowTimeline(std::move(transition_frames), TimerPeriodForInterval(show.header.interval),
                      kPlayerDelayMs);
}

void PlayShow(const Show& show, SlidePictures& pictures, const ShowVideoSettings& settings,
              FrameSink& sink) {
  const ShowTimeline timeline = TimelineOf(show);
  const std::vector<int> progresses = TransitionProgresses(kPlayerStep);
  const int fps = settings.fps;
  // The player's own window, laid out from the gallery header as start-up lays it out, with its
  // transition control stepped here, frame by frame, instead of by the clock.
  ScreenWindow window(settings.width, settings.height);
  TfrmMain form(window);
  ApplyGalleryHeader(show.header, form);
  form.PicShow1.SetManual(true);
  form.Show();

  SetRandomSeed(settings.seed);
  for (int k = 0; k < timeline.SlideCount(); ++k) {
    const ShowSlide& slide = show.slides[k];
    std::optional<TBitmap> picture;
    try {
      picture = pictures.Next();
    } catch (const std::exception& e) {
      throw SlideError(k, slide.name, e.what());
    }
    std::optional<int> style;
    if (IsRandomStyle(show.header.style)) {
      const uint64_t clock_ns = static_cast<uint64_t>(timeline.SlideStartMs(k)) * 1000000u;
      style = PickRandomStyleWithSeed(settings.seed + static_cast<uint32_t>(clock_ns));
    }
    form.BeginSlide(std::move(picture), style, slide.caption);
    if (!form.PicShow1.Busy()) {  // no picture yet: the caption over the bare picture area
      sink.Frames(window.Screen(),
                  FramesBetween(timeline.SlideStartMs(k), timeline.SlideStartMs(k + 1), fps));
      continue;
    }
    for (int j = 0; j < static_cast<int>(progresses.size()); ++j) {
      form.PicShow1.SetProgress(progresses[j]);
      sink.Frames(window.Screen(),
                  FramesBetween(timeline.FrameStartMs(k, j), timeline.FrameEndMs(k, j), fps));
    }
    form.PicShow1.Stop();  // a manual transition ends only when told to
  }
}

}  // namespace qm::video
