// The frame routine without a window, and headless rendering built on it.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "picshow/frame_routine.h"
#include "picshow/render.h"
#include "platform/exception.h"
#include "platform/random.h"
#include "platform/stretch.h"
#include "tests/picshow/allocation_count.h"
#include "tests/support/pixels.h"

namespace qm {
namespace {

using test::AllPixels;
using test::PixelAt;
using test::Solid;

constexpr TColor kOld = 0x00112233, kNew = 0x00AABBCC, kMark = 0x00010203;

// An effect that records its arguments and what the screen held when it was called, and marks
// the screen's top left pixel.
struct Call {
  TRect r;
  uint32_t step;
  int32_t progress;
  TColor screen_on_entry;
};
std::vector<Call>* g_calls = nullptr;

void RecordingEffect(TBitmap& screen, const TBitmap& picture, const TRect& r, uint32_t step,
                     int32_t progress, const TEffectParams&) {
  g_calls->push_back({r, step, progress, PixelAt(screen, 0, 0)});
  EXPECT_EQ(picture.Width(), screen.Width());
  FillRect(screen, Rect(0, 0, 1, 1), kMark);
}

class FrameRoutine : public ::testing::Test {
 protected:
  void SetUp() override { g_calls = &calls_; }
  void TearDown() override { g_calls = nullptr; }
  TransitionBitmaps Bitmaps() { return {&display_, &picture_, &old_contents_, 8, 6}; }

  std::vector<Call> calls_;
  TBitmap display_ = Solid(8, 6, 0), picture_ = Solid(8, 6, kNew),
          old_contents_ = Solid(8, 6, kOld);
  static constexpr TEffectFamily kRecording{"recording", RecordingEffect};
  std::array<TEffect, 3> table_{{{1, "one", {&kRecording}}, {2, "two", {}}, {3, "three", {}}}};
};

struct RecordingEvents : FrameEvents {
  std::vector<std::string> log;
  TColor screen_before = 0, screen_after = 0;
  void BeforeNewFrame(TBitmap&, TBitmap& screen) override {
    log.push_back("before");
    screen_before = PixelAt(screen, 0, 0);
  }
  void CustomDraw(TBitmap& picture, TBitmap& screen) override {
    log.push_back("custom");
    Draw(screen, 0, 0, picture);
  }
  void Invalidate(const TRect& area) override {
    log.push_back("invalidate " + std::to_string(area.Right) + "x" + std::to_string(area.Bottom));
  }
  void AfterNewFrame(TBitmap&, TBitmap& screen) override {
    log.push_back("after");
    screen_after = PixelAt(screen, 0, 0);
  }
};

TEST_F(FrameRoutine, EffectGetsTheWholeRectangleStepAndProgressOverTheOldContents) {
  display_ = Solid(8, 6, kNew);  // whatever the last frame left
  ComposeFrame(Bitmaps(), 1, 7, 42, nullptr, table_);
  ASSERT_EQ(calls_.size(), 1u);
  EXPECT_EQ(calls_[0].r, Rect(0, 0, 8, 6));
  EXPECT_EQ(calls_[0].step, 7u);
  EXPECT_EQ(calls_[0].progress, 42);
  EXPECT_EQ(calls_[0].screen_on_entry, kOld);
  EXPECT_EQ(PixelAt(display_, 0, 0), kMark);
  EXPECT_EQ(PixelAt(display_, 7, 5), kOld);
}

TEST_F(FrameRoutine, EndsDrawThemselvesAndNeverCallTheEffect) {
  ComposeFrame(Bitmaps(), 1, 4, 100, nullptr, table_);
  EXPECT_TRUE(AllPixels(display_, kNew));
  ComposeFrame(Bitmaps(), 1, 4, 0, nullptr, table_);
  EXPECT_TRUE(AllPixels(display_, kOld));
  EXPECT_TRUE(calls_.empty());
}

TEST_F(FrameRoutine, NullProcedureAndUnknownStyleShowTheOldContents) {
  for (int style : {2, 3, 4, 151, -1}) {
    display_ = Solid(8, 6, kNew);
    ComposeFrame(Bitmaps(), style, 4, 50, nullptr, table_);
    EXPECT_TRUE(AllPixels(display_, kOld)) << style;
  }
}

// Every style of the real table animates: some frame before the last shows something of the
// new picture.
TEST(EffectTable, EveryStyleShowsTheNewPictureBeforeTheLastFrame) {
  constexpr int kW = 40, kH = 30;
  TBitmap display = Solid(kW, kH, 0), picture = Solid(kW, kH, kNew),
          old_contents = Solid(kW, kH, kOld);
  const TransitionBitmaps bitmaps{&display, &picture, &old_contents, kW, kH};
  for (int style = 1; style <= kEffectCount; ++style) {
    EXPECT_TRUE(kEffectTable[style - 1].Drawn()) << style;
    bool shown = false;
    for (int progress = 4; progress < 100 && !shown; progress += 4) {
      ComposeFrame(bitmaps, style, 4, progress, nullptr);
      shown = !AllPixels(display, kOld);
    }
    EXPECT_TRUE(shown) << "style " << style << " shows only the old contents until the end";
  }
}

TEST_F(FrameRoutine, EventOrderAndCustomStyle) {
  RecordingEvents events;
  ComposeFrame(Bitmaps(), 0, 4, 50, &events, table_);
  EXPECT_EQ(events.log, (std::vector<std::string>{"before", "custom", "invalidate 8x6", "after"}));
  EXPECT_EQ(events.screen_before, kOld);
  EXPECT_EQ(events.screen_after, kNew);
  events.log.clear();
  ComposeFrame(Bitmaps(), 0, 4, 100, &events, table_);
  EXPECT_EQ(events.log, (std::vector<std::string>{"before", "invalidate 8x6", "after"}));
  // Style 0 without anyone to draw: the old contents.
  ComposeFrame(Bitmaps(), 0, 4, 50, nullptr, table_);
  EXPECT_TRUE(AllPixels(display_, kOld));
  EXPECT_TRUE(calls_.empty());
}

TEST_F(FrameRoutine, ComposingFramesAllocatesNothing) {
  const long start = test::AllocationCount();
  RecordingEvents events;
  events.log.reserve(1000);
  ASSERT_GT(test::AllocationCount(), start);    // the counter sees allocations at all
  ComposeFrame(Bitmaps(), 51, 4, 50, nullptr);  // the drawing layer sets up its tables once
  ComposeFrame(Bitmaps(), 51, 4, 100, nullptr);
  const long before = test::AllocationCount();
  for (int progress = 0; progress <= 100; ++progress) {
    ComposeFrame(Bitmaps(), 51, 4, progress, nullptr);
    ComposeFrame(Bitmaps(), 0, 4, progress, nullptr);
  }
  EXPECT_EQ(test::AllocationCount() - before, 0);
}

TEST(Render, FramesAtTheEndsAndTheSeed) {
  TBitmap old_picture = Solid(5, 4, kOld);
  old_picture.ConvertTo(PixelFormat::pf24bit);
  TBitmap new_picture(5, 4, PixelFormat::pf8bit);  // every pixel palette index 0
  new_picture.Palette() = {TRGBQuad{0xAA, 0xBB, 0xCC, 0}};
  TBitmap out;
  RenderFrame(old_picture, new_picture, {51, 4, 1234}, 0, out);
  EXPECT_EQ(out.Format(), PixelFormat::pf32bit);
  EXPECT_TRUE(AllPixels(out, kOld));
  RenderFrame(old_picture, new_picture, {51, 4, 77}, 100, out);
  EXPECT_TRUE(AllPixels(out, kNew));
  EXPECT_EQ(RandomSeed(), 77u);  // set before the frame; style 51 draws no random numbers
}

TEST(Render, WholeTransitionStepsLikeTheControl) {
  const TBitmap a = Solid(3, 3, kOld), b = Solid(3, 3, kNew);
  std::vector<int> seen;
  TColor last = 0;
  RenderTransition(a, b, {0, 3, 0}, [&](int progress, const TBitmap& frame) {
    seen.push_back(progress);
    last = PixelAt(frame, 1, 1);
  });
  ASSERT_EQ(seen.size(), 34u);
  EXPECT_EQ(seen.front(), 3);
  EXPECT_EQ(seen.back(), 100);
  EXPECT_EQ(last, kNew);
  seen.clear();
  RenderTransition(a, b, {0, 0, 0}, [&](int p, const TBitmap&) { seen.push_back(p); });
  EXPECT_EQ(seen.size(), 100u);  // step 0 counts as 1, as the control stores it
}

TEST(Render, PicturesOfDifferentSizesAreRefused) {
  TBitmap out;
  EXPECT_THROW(RenderFrame(Solid(4, 4, 0), Solid(4, 5, 0), {}, 50, out), EInvalidGraphic);
  EXPECT_THROW(RenderTransition(Solid(4, 4, 0), Solid(5, 4, 0), {}, [](int, const TBitmap&) {}),
               EInvalidGraphic);
}

}  // namespace
}  // namespace qm
