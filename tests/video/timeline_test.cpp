// The show's timeline sampled into output frames, against a model that samples the show's clock
// frame by frame.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace qm::video
