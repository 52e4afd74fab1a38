#include "video/show_video.h"

#include "imaging/slide_loader.h"
#include "picshow/frame_routine.h"
#include "picshow/style_catalogue.h"
#include "platform/random.h"
#include "platform/stretch.h"
#include "player/extraction.h"

namespace qm::video {

namespace {

// The bitmaps of one transition as the control prepares them with OverDraw off: the old
// contents are the bare background, the new picture is `picture`, already in the screen's
// format (held once, not copied: a photograph may be large).
struct Transition {
  TBitmap old_contents, display;
  TransitionBitmaps bitmaps;

  Transition(TBitmap& picture, TColor background) {
    const int w = picture.Width(), h = picture.Height();
    old_contents.SetSize(w, h, PixelFormat::pf32bit);
    FillRect(old_contents, Rect(0, 0, w, h), background);
    display.SetSize(w, h, PixelFormat::pf32bit);
    bitmaps = {&display, &picture, &old_contents, w, h};
  }
};

// The style the header gives every slide: its low-order byte, where the control takes it (a
// value above 150 leaves the window's design value, 0).
int FixedStyle(int32_t style_field) {
  const int style = StyleLowByte(style_field);
  return style <= kMaxStyle ? style : kCustomStyle;
}

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
              CaptionPainter* captions, FrameSink& sink) {
  const GalleryHeader& header = show.header;
  const ShowTimeline timeline = TimelineOf(show);
  const std::vector<int> progresses = TransitionProgresses(kPlayerStep);
  const int line_height = captions ? captions->LineHeight() : 0;
  ShowScreen screen(
      LayOutScreen(settings.width, settings.height, header.captionPosition, line_height),
      header.backgroundColor, captions);
  const int fps = settings.fps;

  SetRandomSeed(settings.seed);
  std::optional<TBitmap> picture;  // the control's Picture: kept when a slide has none
  int style = FixedStyle(header.style);
  for (int k = 0; k < timeline.SlideCount(); ++k) {
    const ShowSlide& slide = show.slides[k];
    try {
      if (std::optional<TBitmap> decoded = pictures.Next()) {
        // The screen's format changes no pixel's colour.
        decoded->ConvertTo(PixelFormat::pf32bit);
        picture = std::move(decoded);
      }
    } catch (const std::exception& e) {
      throw SlideError(k, slide.name, e.what());
    }
    if (IsRandomStyle(header.style)) {
      const uint64_t clock_ns = static_cast<uint64_t>(timeline.SlideStartMs(k)) * 1000000u;
      style = PickRandomStyleWithSeed(settings.seed + static_cast<uint32_t>(clock_ns));
    }
    screen.BeginSlide(slide.caption);
    if (!picture) {
      sink.Frames(screen.Image(),
                  FramesBetween(timeline.SlideStartMs(k), timeline.SlideStartMs(k + 1), fps));
      continue;
    }
    Transition t(*picture, header.backgroundColor);
    for (int j = 0; j < static_cast<int>(progresses.size()); ++j) {
      ComposeFrame(t.bitmaps, style, kPlayerStep, progresses[j], nullptr);
      screen.ShowDisplay(t.display);
      sink.Frames(screen.Image(),
                  FramesBetween(timeline.FrameStartMs(k, j), timeline.FrameEndMs(k, j), fps));
    }
  }
}

}  // namespace qm::video
