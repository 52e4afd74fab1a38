// The show's timeline sampled into output frames, and the screen's layout, against models that
// work pixel by pixel and frame by frame.
#include <gtest/gtest.h>

#include "platform/stretch.h"
#include "video/show_screen.h"
#include "video/show_timeline.h"

namespace qm::video {
namespace {

TEST(ShowTimeline, EveryOutputFrameShowsTheScreenCurrentAtItsTime) {
  const std::vector<std::vector<int>> shows = {{25, 25, 25}, {0, 25}, {0, 0, 34, 1}, {100}};
  for (int fps : {1, 7, 24, 25, 30, 60, 120}) {
    for (int64_t interval : {1000, 2500, 7}) {
      for (const std::vector<int>& frames : shows) {
        // The screens in order: each transition frame for 50 ms, the last one and a slide
        // without a transition for the interval as well.
        std::vector<std::pair<int64_t, int64_t>> screens;
        int64_t at = 0;
        for (int k : frames) {
          for (int j = 0; j < std::max(k, 1); ++j) {
            const int64_t end = at + (j + 1 >= k ? interval : 0) + (k ? 50 : 0);
            screens.push_back({at, end});
            at = end;
          }
        }
        std::vector<int64_t> sampled(screens.size());
        const int64_t total = (at * fps + 999) / 1000;
        for (int64_t n = 0, s = 0; n < total; ++n) {
          while (screens[s].second * fps <= n * 1000) ++s;  // the screen current at n / fps
          ++sampled[s];
        }
        const ShowTimeline t(frames, interval, 50);
        const std::string where = "fps " + std::to_string(fps) + ", interval " +
                                  std::to_string(interval) + ", show " +
                                  std::to_string(frames.size());
        ASSERT_EQ(t.DurationMs(), at) << where;
        ASSERT_EQ(FirstFrameAt(t.DurationMs(), fps), total) << where;
        std::size_t s = 0;
        for (int k = 0; k < t.SlideCount(); ++k) {
          if (t.TransitionFrames(k) == 0) {
            EXPECT_EQ(FramesBetween(t.SlideStartMs(k), t.SlideStartMs(k + 1), fps), sampled[s++])
                << where;
          }
          for (int j = 0; j < t.TransitionFrames(k); ++j, ++s) {
            EXPECT_EQ(screens[s], std::make_pair(t.FrameStartMs(k, j), t.FrameEndMs(k, j)));
            EXPECT_EQ(FramesBetween(t.FrameStartMs(k, j), t.FrameEndMs(k, j), fps), sampled[s])
                << where << ", slide " << k << ", frame " << j;
          }
        }
      }
    }
  }
}

TEST(ShowTimeline, TransitionFramesFollowTheControlsStep) {
  EXPECT_EQ(TransitionProgresses(4).size(), 25u);
  EXPECT_EQ(TransitionProgresses(3).size(), 34u);
  EXPECT_EQ(TransitionProgresses(3).end()[-2], 99);
  EXPECT_EQ(TransitionProgresses(100), std::vector<int>{100});
  EXPECT_EQ(TransitionProgresses(0).size(), 100u);  // stored as 1
}

TEST(ShowScreen, LayoutFollowsTheCaptionPosition) {
  struct Row {
    int32_t p;
    TRect area, strip;
  } rows[] = {{0, {0, 20, 640, 500}, {0, 0, 640, 20}},
              {2, {0, 20, 640, 500}, {0, 0, 640, 20}},
              {4, {0, 20, 640, 500}, {0, 0, 640, 20}},
              {1, {0, 0, 640, 460}, {0, 460, 640, 480}},
              {3, {0, 0, 640, 460}, {0, 460, 640, 480}},
              {5, {0, 0, 640, 460}, {0, 460, 640, 480}},
              {6, {0, 0, 640, 480}, {}},
              {-1, {0, 0, 640, 480}, {}}};
  for (const Row& r : rows) {
    const ScreenLayout l = LayOutScreen(640, 480, r.p, 20);
    EXPECT_EQ(l.picture_area, r.area) << r.p;
    EXPECT_EQ(l.strip, r.strip) << r.p;
  }
}

// Paints the strip in one colour, so the test sees where it went.
class FlatStrip : public CaptionPainter {
 public:
  int LineHeight() const override { return 2; }
  void Paint(TBitmap& screen, const TRect& strip, const std::string&) override {
    FillRect(screen, strip, 0x0000FF);
  }
};

// The pixel as a colour 0x00BBGGRR.
TColor Pixel(const TBitmap& b, int x, int y) {
  const uint8_t* p = b.ScanLine(y) + 4 * x;
  return uint32_t{p[2]} | uint32_t{p[1]} << 8 | uint32_t{p[0]} << 16;
}

TEST(ShowScreen, DisplayIsCentredInThePictureAreaAndCutByIt) {
  // Displays larger and smaller than the area, under each kind of strip: every pixel is the
  // strip, the display pixel that the centred placement puts there, or the background.
  FlatStrip strip;
  constexpr TColor kBackground = 0x203040;
  for (int32_t p : {0, 1, 7}) {
    for (auto [w, h] : {std::pair{11, 10}, std::pair{3, 2}, std::pair{8, 6}}) {
      const ScreenLayout layout = LayOutScreen(8, 6, p, strip.LineHeight());
      ShowScreen screen(layout, kBackground, &strip);
      TBitmap display(w, h, PixelFormat::pf32bit);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          FillRect(display, Rect(x, y, x + 1, y + 1), 0x10000 + y * 256 + x);
      screen.BeginSlide("caption");
      screen.ShowDisplay(display);
      const TRect& a = layout.picture_area;
      const int left = a.Left + (a.Right - a.Left - w) / 2,
                top = a.Top + (a.Bottom - a.Top - h) / 2;
      for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) {
          const bool in_area = y >= a.Top && y < a.Bottom;
          const bool on_display = x >= left && x < left + w && y >= top && y < top + h;
          const TColor want = !in_area     ? 0x0000FF
                              : on_display ? 0x10000 + (y - top) * 256 + (x - left)
                                           : kBackground;
          EXPECT_EQ(Pixel(screen.Image(), x, y), want)
              << "p " << p << ", display " << w << "x" << h << ", at " << x << "," << y;
        }
      }
    }
  }
}

}  // namespace
}  // namespace qm::video
