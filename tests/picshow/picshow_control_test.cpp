// The transition control in a test window: properties, placement and painting, transition runs
// threaded, non-threaded and manual, stopping, destruction, and a stress run.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "picshow/picshow.h"
#include "platform/pixel_store.h"
#include "platform/stretch.h"
#include "tests/picshow/picshow_test_host.h"
#include "tests/support/pixels.h"

namespace qm {
namespace {

using test::AllPixels;
using test::PixelAt;
using test::Solid;

using Size = std::pair<int, int>;

constexpr TColor kBg = 0x00203040, kNew = 0x00C0B0A0, kOther = 0x00405060;

class PicShowTest : public ::testing::Test {
 protected:
  PicShowTest() {
    show_ = std::make_unique<TPicShow>(host_);
    host_.Attach(show_.get());
    show_->SetColor(kBg);
    show_->SetDelay(0);
    const TBitmap picture = Solid(40, 30, kNew);
    show_->SetPicture(&picture);
    show_->OnStart = [this](TCustomPicShow&, TBitmap&, TBitmap& screen) {
      Log("start");
      start_screen_ = PixelAt(screen, 0, 0);
    };
    show_->OnBeforeNewFrame = [this](TCustomPicShow& s, TBitmap&, TBitmap&) {
      Log("before " + std::to_string(s.Progress()));
    };
    show_->OnAfterNewFrame = [this](TCustomPicShow& s, TBitmap&, TBitmap& screen) {
      Log("after " + std::to_string(s.Progress()));
      std::lock_guard<std::mutex> lock(mutex_);
      after_screen_.push_back(PixelAt(screen, 5, 5));
    };
    show_->OnProgress = [this](TCustomPicShow& s) {
      Log("progress " + std::to_string(s.Progress()));
      if (std::this_thread::get_id() != main_thread_) progress_off_main_ = true;
    };
    show_->OnComplete = [this](TCustomPicShow&) { Log("complete"); };
    show_->OnStop = [this](TCustomPicShow&) { Log("stop"); };
  }

  void Log(const std::string& entry) {
    std::lock_guard<std::mutex> lock(mutex_);
    log_.push_back(entry);
  }
  std::vector<std::string> Logged() {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
  }
  int Count(const std::string& entry) {
    int n = 0;
    for (const auto& e : Logged()) n += e == entry;
    return n;
  }
  int CountPrefix(const std::string& prefix) {
    int n = 0;
    for (const auto& e : Logged()) n += e.rfind(prefix, 0) == 0;
    return n;
  }
  void CustomDrawWholePicture() {
    show_->OnCustomDraw = [this](TCustomPicShow& s, TBitmap& picture, TBitmap& screen) {
      Log("custom " + std::to_string(s.Progress()));
      Draw(screen, 0, 0, picture);
    };
  }
  // A complete non-threaded run with one frame, so the display holds the picture.
  void RunToPicture() {
    show_->SetThreaded(false);
    const int step = show_->Step();
    show_->SetStep(100);
    show_->Execute();
    show_->SetStep(step);
    ASSERT_FALSE(show_->Busy());
  }

  ~PicShowTest() override {
    host_.Close();  // destruction calls nothing of the host's
    show_.reset();
    EXPECT_EQ(host_.Violations(), 0);
  }
  // Handles the host's events until `done` holds; false when that takes too long (a hang).
  template <typename Done>
  bool WaitUntil(Done done) {
    return host_.WaitUntil(done);
  }

  test::PicShowTestHost host_;
  std::unique_ptr<TPicShow> show_;
  std::mutex mutex_;
  std::vector<std::string> log_;
  std::vector<TColor> after_screen_;
  TColor start_screen_ = 0;
  std::atomic<bool> progress_off_main_{false};
  const std::thread::id main_thread_ = std::this_thread::get_id();
};

// --- Properties ---

TEST_F(PicShowTest, DefaultsOfANewControl) {
  test::PicShowTestHost fresh_host;
  TPicShow fresh(fresh_host);
  EXPECT_EQ(fresh.Step(), 4);
  EXPECT_EQ(fresh.Delay(), 40);
  EXPECT_EQ(fresh.Style(), 51);
  EXPECT_EQ(fresh.StyleName(), "Appear and Contract to middle");
  EXPECT_FALSE(fresh.Reverse() || fresh.Center() || fresh.Stretch() || fresh.StretchFine());
  EXPECT_TRUE(fresh.AutoSize() && fresh.Threaded() && fresh.OverDraw());
  EXPECT_FALSE(fresh.Manual() || fresh.Busy());
  EXPECT_EQ(fresh.ThreadPriority(), TThreadPriority::tpNormal);
  EXPECT_EQ(fresh.BgMode(), TBackgroundMode::bmTiled);
  EXPECT_EQ(fresh.Progress(), 0);
  EXPECT_EQ(fresh.ClientWidth(), 100);
  EXPECT_EQ(fresh.ClientHeight(), 100);
  EXPECT_EQ(fresh.Color(), kWindowColor);
  EXPECT_TRUE(fresh.DisplayBitmap().Empty());
  EXPECT_FALSE(fresh.Picture().HasGraphic() || fresh.BgPicture().HasGraphic());
  fresh.SetStyleName("fade");
  EXPECT_EQ(fresh.Style(), 118);
}

TEST_F(PicShowTest, StepAndStyleSetters) {
  show_->SetStep(0);
  EXPECT_EQ(show_->Step(), 1);
  show_->SetStep(250);
  EXPECT_EQ(show_->Step(), 100);
  show_->SetStyle(151);
  show_->SetStyle(255);
  show_->SetStyle(-1);
  EXPECT_EQ(show_->Style(), 51);
  show_->SetStyleName("custom");
  EXPECT_EQ(show_->Style(), 0);
  EXPECT_EQ(show_->StyleName(), "Custom");
  show_->SetStyleName("Expand in from top");
  EXPECT_EQ(show_->Style(), 25);
  show_->SetStyleName("Expand from top ");
  EXPECT_EQ(show_->Style(), 25);
  show_->SetStyle(33);
  show_->SetStyleName(show_->StyleName());
  EXPECT_EQ(show_->Style(), 18);
}

TEST_F(PicShowTest, AssigningAPictureChangesNothingOnScreen) {
  int changes = 0;
  show_->OnChange = [&](TCustomPicShow&) { ++changes; };
  const TBitmap picture = Solid(64, 48, kOther);
  show_->SetPicture(&picture);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(show_->DisplayBitmap().Empty());
  EXPECT_EQ(host_.Size(), Size(64, 48));  // AutoSize
  show_->SetPicture(nullptr);
  EXPECT_EQ(changes, 2);
  EXPECT_FALSE(show_->Picture().HasGraphic());
  EXPECT_EQ(host_.Size(), Size(64, 48));
}

TEST_F(PicShowTest, AutoSizeRespectsAlign) {
  const TBitmap picture = Solid(70, 50, kOther);
  host_.Resize(200, 200);
  show_->SetAlign(TAlign::alTop);
  show_->SetPicture(&picture);
  EXPECT_EQ(host_.Size(), Size(200, 50));
  show_->SetAlign(TAlign::alLeft);
  show_->SetPicture(&picture);
  EXPECT_EQ(host_.Size(), Size(70, 50));
  host_.Resize(200, 200);
  show_->SetAlign(TAlign::alClient);
  show_->SetPicture(&picture);
  EXPECT_EQ(host_.Size(), Size(200, 200));
  show_->SetAlign(TAlign::alNone);
  show_->SetAutoSize(false);
  show_->SetPicture(&picture);
  EXPECT_EQ(host_.Size(), Size(200, 200));
  show_->SetAutoSize(true);
  EXPECT_EQ(host_.Size(), Size(70, 50));
}

TEST_F(PicShowTest, CentredPlacementOfALargerPicture) {
  show_->SetAutoSize(false);
  host_.Resize(800, 600);
  const TBitmap picture = Solid(1000, 800, kOther);
  show_->SetPicture(&picture);
  show_->SetCenter(true);
  show_->SetManual(true);
  show_->Execute();
  EXPECT_EQ(show_->PlacementRect(), Rect(-100, -100, 900, 700));
  show_->SetCenter(false);
  EXPECT_EQ(show_->PlacementRect(), Rect(0, 0, 1000, 800));
  show_->Stop();
}

TEST_F(PicShowTest, StretchFineDrawsTheAspectFitAndStretchFillsTheClient) {
  const TBitmap picture = Solid(400, 300, kOther);
  show_->SetPicture(&picture);
  RunToPicture();
  show_->SetAutoSize(false);
  host_.Resize(1000, 1000);
  show_->SetStretch(true);
  show_->SetStretchFine(true);
  const TBitmap& image = host_.Grab();
  EXPECT_EQ(PixelAt(image, 500, 124), kBg);
  EXPECT_EQ(PixelAt(image, 500, 125), kOther);
  EXPECT_EQ(PixelAt(image, 0, 874), kOther);
  EXPECT_EQ(PixelAt(image, 999, 875), kBg);
  show_->SetStretchFine(false);
  (void)host_.Grab();
  EXPECT_EQ(PixelAt(image, 0, 0), kOther);
  EXPECT_EQ(PixelAt(image, 999, 999), kOther);
  show_->SetStretch(false);
  (void)host_.Grab();
  EXPECT_EQ(PixelAt(image, 399, 299), kOther);
  EXPECT_EQ(PixelAt(image, 400, 300), kBg);
}

// --- Backgrounds ---

// A background picture whose every pixel is distinct: colour = x + 1000 * y.
TBitmap Gradient(int w, int h) {
  TBitmap b(w, h, PixelFormat::pf32bit);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) FillRect(b, Rect(x, y, x + 1, y + 1), TColor(x + 1000 * y));
  return b;
}

TEST_F(PicShowTest, TiledBackgroundStartsAtTheCorner) {
  const TBitmap tile = Gradient(100, 100);
  show_->SetBgPicture(&tile);
  TBitmap canvas(250, 250, PixelFormat::pf32bit);
  show_->PaintBackground(canvas, Rect(0, 0, 250, 250));
  for (int y = 0; y < 250; y += 7)
    for (int x = 0; x < 250; x += 7)
      ASSERT_EQ(PixelAt(canvas, x, y), TColor(x % 100 + 1000 * (y % 100))) << x << "," << y;
  EXPECT_EQ(PixelAt(canvas, 249, 249), TColor(49 + 1000 * 49));
}

TEST_F(PicShowTest, CentredStretchedAndNoBackground) {
  const TBitmap big = Gradient(300, 200);
  show_->SetBgPicture(&big);
  TBitmap canvas(100, 100, PixelFormat::pf32bit);
  show_->SetBgMode(TBackgroundMode::bmCentered);
  show_->PaintBackground(canvas, Rect(0, 0, 100, 100));
  EXPECT_EQ(PixelAt(canvas, 0, 0), TColor(100 + 1000 * 50));
  EXPECT_EQ(PixelAt(canvas, 99, 99), TColor(199 + 1000 * 149));

  const TBitmap small = Gradient(2, 2);
  show_->SetBgPicture(&small);
  show_->SetBgMode(TBackgroundMode::bmStretched);
  show_->PaintBackground(canvas, Rect(0, 0, 100, 100));
  EXPECT_EQ(PixelAt(canvas, 49, 49), TColor(0));
  EXPECT_EQ(PixelAt(canvas, 50, 49), TColor(1));
  EXPECT_EQ(PixelAt(canvas, 99, 99), TColor(1001));

  show_->SetBgMode(TBackgroundMode::bmNone);
  show_->PaintBackground(canvas, Rect(0, 0, 100, 100));
  EXPECT_TRUE(AllPixels(canvas, kBg));

  // An empty background picture draws nothing, in any mode.
  const TBitmap empty;
  show_->SetBgPicture(&empty);
  for (auto mode :
       {TBackgroundMode::bmTiled, TBackgroundMode::bmStretched, TBackgroundMode::bmCentered}) {
    show_->SetBgMode(mode);
    show_->PaintBackground(canvas, Rect(0, 0, 100, 100));
    EXPECT_TRUE(AllPixels(canvas, kBg));
  }
}

// --- Transition runs on the calling thread ---

TEST_F(PicShowTest, NonThreadedRunFiresEventsInOrder) {
  show_->SetThreaded(false);
  show_->SetStyle(0);
  show_->SetStep(25);
  CustomDrawWholePicture();
  show_->Execute();
  EXPECT_FALSE(show_->Busy());
  const std::vector<std::string> expected = {
      "start",       "before 25",  "custom 25",   "after 25",     "progress 25", "before 50",
      "custom 50",   "after 50",   "progress 50", "before 75",    "custom 75",   "after 75",
      "progress 75", "before 100", "after 100",   "progress 100", "complete",    "stop"};
  EXPECT_EQ(Logged(), expected);
  EXPECT_EQ(start_screen_, kBg);  // nothing painted yet: the bare background
  EXPECT_TRUE(AllPixels(show_->DisplayBitmap(), kNew));
  EXPECT_EQ(show_->DisplayBitmap().Width(), 40);
}

TEST_F(PicShowTest, FrameCountsForSteps) {
  show_->SetThreaded(false);
  show_->SetStyle(0);
  CustomDrawWholePicture();
  struct Case {
    int step, frames, custom_draws;
  };
  for (const Case c : {Case{4, 25, 24}, Case{3, 34, 33}, Case{100, 1, 0}}) {
    log_.clear();
    show_->SetStep(c.step);
    show_->Execute();
    EXPECT_EQ(CountPrefix("after "), c.frames) << c.step;
    EXPECT_EQ(CountPrefix("custom "), c.custom_draws) << c.step;
    EXPECT_EQ(Count("complete"), 1);
  }
}

TEST_F(PicShowTest, ReverseRunEndsOnTheOldContents) {
  show_->SetThreaded(false);
  show_->SetStyle(0);
  show_->SetReverse(true);
  CustomDrawWholePicture();
  show_->Execute();
  const auto entries = Logged();
  EXPECT_EQ(CountPrefix("custom "), 24);
  EXPECT_EQ(entries[1], "before 96");
  EXPECT_EQ(entries[entries.size() - 4], "after 0");
  EXPECT_EQ(entries[entries.size() - 2], "complete");
  EXPECT_EQ(entries.back(), "stop");
  EXPECT_TRUE(AllPixels(show_->DisplayBitmap(), kBg));
  EXPECT_EQ(after_screen_.front(), kNew);
}

TEST_F(PicShowTest, CustomStyleWithoutHandlerShowsOldContentsUntilTheEnd) {
  show_->SetThreaded(false);
  show_->SetStyle(0);
  show_->Execute();
  ASSERT_EQ(after_screen_.size(), 25u);
  for (std::size_t i = 0; i + 1 < after_screen_.size(); ++i) EXPECT_EQ(after_screen_[i], kBg) << i;
  EXPECT_EQ(after_screen_.back(), kNew);
}

TEST_F(PicShowTest, OverDrawStartsFromTheScreenOrTheBareBackground) {
  RunToPicture();
  (void)host_.Grab();  // a paint: the screen now shows the picture
  const TBitmap other = Solid(40, 30, kOther);
  show_->SetPicture(&other);
  show_->SetOverDraw(true);
  show_->Execute();
  EXPECT_EQ(start_screen_, kNew);
  EXPECT_TRUE(AllPixels(show_->DisplayBitmap(), kOther));
  (void)host_.Grab();
  show_->SetOverDraw(false);
  show_->SetPicture(&other);
  show_->Execute();
  EXPECT_EQ(start_screen_, kBg);
}

// A picture that fills the client area goes to the screen from the display itself; a run that
// starts from the screen after Clear, with no paint between, still finds the picture shown.
TEST_F(PicShowTest, OverDrawAfterClearStartsFromWhatTheScreenStillShows) {
  RunToPicture();
  ASSERT_EQ(host_.Size(), Size(40, 30));
  (void)host_.Grab();
  show_->SetOverDraw(true);
  show_->Clear();
  show_->Execute();
  EXPECT_EQ(start_screen_, kNew);
}

TEST_F(PicShowTest, FadeAndPivotStylesRunInThirtyTwoBits) {
  TBitmap palette_picture(40, 30, PixelFormat::pf8bit);
  palette_picture.Palette() = {TRGBQuad{0xC0, 0xB0, 0xA0, 0}};
  show_->SetPicture(&palette_picture);
  show_->SetThreaded(false);
  std::vector<PixelFormat> formats;
  show_->OnBeforeNewFrame = [&](TCustomPicShow&, TBitmap& picture, TBitmap& screen) {
    formats.push_back(picture.Format());
    formats.push_back(screen.Format());
  };
  show_->OnProgress = [](TCustomPicShow& s) {
    if (s.Progress() == 48) s.SetStyle(118);  // switching in while running
    if (s.Progress() == 72) s.SetStyle(121);
  };
  show_->Execute();
  ASSERT_EQ(formats.size(), 50u);
  for (PixelFormat f : formats) EXPECT_EQ(f, PixelFormat::pf32bit);
  EXPECT_EQ(show_->Style(), 121);
  EXPECT_TRUE(AllPixels(show_->DisplayBitmap(), kNew));
}

TEST_F(PicShowTest, ExecuteDuringARunAndProgressWhileIdleAreIgnored) {
  show_->SetThreaded(false);
  show_->OnProgress = [](TCustomPicShow& s) { s.Execute(); };
  show_->Execute();
  EXPECT_EQ(Count("start"), 1);
  EXPECT_EQ(CountPrefix("after "), 25);
  show_->SetProgress(50);
  EXPECT_EQ(show_->Progress(), 100);
  EXPECT_EQ(CountPrefix("after "), 25);
  show_->SetPicture(nullptr);
  show_->Execute();  // no picture: nothing
  EXPECT_EQ(Count("start"), 1);
}

TEST_F(PicShowTest, AnEmptyPictureRunsToItsEndWithoutDrawing) {
  const TBitmap empty;
  show_->SetPicture(&empty);
  show_->SetThreaded(false);
  show_->OnStart = nullptr;  // the fixture's handlers read pixels
  show_->OnAfterNewFrame = nullptr;
  show_->Execute();
  EXPECT_FALSE(show_->Busy());
  EXPECT_EQ(Count("complete"), 1);
  EXPECT_TRUE(show_->DisplayBitmap().Empty());
  (void)host_.Grab();  // AutoSize made the client empty: painting it draws nothing
}

TEST_F(PicShowTest, ManualBeforeExecuteDrawsOneFramePerWrite) {
  show_->SetManual(true);
  show_->Execute();
  EXPECT_TRUE(show_->Busy());
  EXPECT_EQ(Logged(), std::vector<std::string>{"start"});
  show_->SetProgress(50);
  show_->SetProgress(50);   // unchanged: no frame
  show_->SetProgress(300);  // taken as 100
  EXPECT_EQ(Logged(), (std::vector<std::string>{"start", "before 50", "after 50", "progress 50",
                                                "before 100", "after 100", "progress 100"}));
  EXPECT_TRUE(show_->Busy());  // reaching 100 does not finish
  show_->Stop();
  EXPECT_FALSE(show_->Busy());
  EXPECT_EQ(Count("stop"), 1);
  EXPECT_EQ(Count("complete"), 0);
  show_->SetManual(false);
  show_->SetReverse(true);
  show_->SetManual(true);
  EXPECT_EQ(show_->Progress(), 100);  // idle: set to the start value directly
}

TEST_F(PicShowTest, ManualSwitchedOnAndOffInTheMiddleOfALoopRun) {
  show_->SetThreaded(false);
  show_->OnProgress = [](TCustomPicShow& s) {
    if (s.Progress() == 40) s.SetManual(true);
  };
  show_->Execute();
  EXPECT_TRUE(show_->Busy());
  EXPECT_EQ(show_->Progress(), 40);
  EXPECT_EQ(Count("complete"), 0);
  show_->OnProgress = nullptr;
  show_->SetManual(false);  // resumes from 40 on the calling thread
  EXPECT_FALSE(show_->Busy());
  EXPECT_EQ(CountPrefix("after "), 25);
  EXPECT_EQ(Count("complete"), 1);
  EXPECT_EQ(Count("stop"), 1);
}

TEST_F(PicShowTest, StopFromInsideALoopRunEndsItAtOnce) {
  show_->SetThreaded(false);
  show_->OnProgress = [](TCustomPicShow& s) {
    if (s.Progress() == 20) s.Stop();
  };
  show_->Execute();
  EXPECT_FALSE(show_->Busy());
  EXPECT_EQ(CountPrefix("after "), 5);
  EXPECT_EQ(Logged().back(), "stop");
  EXPECT_EQ(Count("stop"), 1);
  EXPECT_EQ(Count("complete"), 0);
  // A stop from OnStart: nothing is stepped at all.
  log_.clear();
  show_->OnStart = [](TCustomPicShow& s, TBitmap&, TBitmap&) { s.Stop(); };
  show_->Execute();
  EXPECT_FALSE(show_->Busy());
  EXPECT_EQ(Logged(), std::vector<std::string>{"stop"});
}

TEST_F(PicShowTest, FailingPreparationReachesTheCaller) {
  show_->SetThreaded(false);
  show_->OnStart = [](TCustomPicShow&, TBitmap&, TBitmap&) { throw std::runtime_error("no"); };
  EXPECT_THROW(show_->Execute(), std::runtime_error);
  EXPECT_FALSE(show_->Busy());
  EXPECT_EQ(Count("stop"), 0);
  show_->OnStart = nullptr;
  show_->Execute();
  EXPECT_EQ(Count("complete"), 1);
}

TEST_F(PicShowTest, ClearDropsThePictureOnlyWhenIdle) {
  RunToPicture();
  ASSERT_FALSE(show_->DisplayBitmap().Empty());
  show_->SetManual(true);
  show_->Execute();
  show_->Clear();
  EXPECT_FALSE(show_->DisplayBitmap().Empty());
  show_->Stop();
  show_->Clear();
  EXPECT_TRUE(show_->DisplayBitmap().Empty());
  EXPECT_TRUE(show_->Picture().HasGraphic());
  EXPECT_TRUE(PixelAt(host_.Grab(), 0, 0) == kBg);
}

// The display Clear dropped and the picture the new one replaced serve the next transition of
// their size as its display and old contents: the run takes no fresh memory.
TEST_F(PicShowTest, ATransitionAfterClearTakesNoFreshMemory) {
  show_->OnStart = nullptr;
  show_->OnBeforeNewFrame = nullptr;
  show_->OnAfterNewFrame = nullptr;
  RunToPicture();
  const TBitmap other = Solid(40, 30, kOther);
  show_->SetPicture(&other);
  show_->Clear();
  const std::size_t before = PixelStore::LiveBytes();
  PixelStore::ResetPeak();
  RunToPicture();
  EXPECT_EQ(PixelStore::PeakBytes(), before);
  EXPECT_TRUE(AllPixels(show_->DisplayBitmap(), kOther));
}

// Between runs the display's memory is made ready as the next run's old contents while the
// Picture's graphic stands for it: every paint still shows what the display holds, whatever
// comes next (a share of the graphic kept elsewhere, another colour, a run without Clear), and
// the next run starts from the colour of its own moment.
TEST_F(PicShowTest, OldContentsReadiedAheadChangeNothingShown) {
  struct Row {
    const char* name;
    bool share, recolour, clear;
  };
  constexpr TColor kLater = 0x00112233;
  for (const Row& row :
       {Row{"plain", false, false, true}, Row{"shared graphic", true, false, true},
        Row{"colour changed", false, true, true}, Row{"without Clear", false, false, false}}) {
    SCOPED_TRACE(row.name);
    show_ = std::make_unique<TPicShow>(host_);
    host_.Attach(show_.get());
    show_->SetColor(kBg);
    show_->SetOverDraw(false);
    show_->SetStyle(0);
    const TBitmap picture = Solid(40, 30, kNew), other = Solid(40, 30, kOther);
    show_->SetPicture(&picture);
    RunToPicture();
    EXPECT_TRUE(AllPixels(host_.Grab(), kNew));
    EXPECT_TRUE(AllPixels(show_->DisplayBitmap(), kNew));
    const auto kept = row.share ? show_->Picture().ShareGraphic(PixelFormat::pf32bit) : nullptr;
    show_->SetPicture(&other);
    EXPECT_TRUE(AllPixels(host_.Grab(), kNew));
    EXPECT_TRUE(AllPixels(show_->DisplayBitmap(), kNew));
    const TColor colour = row.recolour ? kLater : kBg;
    show_->SetColor(colour);
    if (row.clear) show_->Clear();
    show_->SetManual(true);
    show_->Execute();
    // Before the first frame the screen is as it was: bare after Clear, else the last picture.
    EXPECT_TRUE(AllPixels(host_.Grab(), row.clear ? colour : kNew));
    show_->SetProgress(50);
    EXPECT_TRUE(AllPixels(host_.Grab(), colour));
    show_->SetProgress(100);
    EXPECT_TRUE(AllPixels(host_.Grab(), kOther));
    show_->Stop();
    EXPECT_TRUE(AllPixels(show_->DisplayBitmap(), kOther));
  }
}

// A run stopped before its first frame leaves the display as the old contents it started from.
TEST_F(PicShowTest, AStopBeforeTheFirstFrameLeavesTheOldContents) {
  show_->OnStart = nullptr;
  show_->OnBeforeNewFrame = nullptr;
  show_->OnAfterNewFrame = nullptr;
  show_->SetOverDraw(false);
  show_->SetManual(true);
  show_->Execute();
  show_->Stop();
  EXPECT_TRUE(AllPixels(show_->DisplayBitmap(), kBg));
  EXPECT_TRUE(AllPixels(host_.Grab(), kBg));
}

// --- Threaded runs ---

TEST_F(PicShowTest, ThreadedRunCompletesThroughTheCompletionEvent) {
  host_.Show();
  show_->Execute();
  EXPECT_TRUE(show_->Busy());
  ASSERT_TRUE(WaitUntil([&] { return !show_->Busy(); }));
  const auto entries = Logged();
  EXPECT_EQ(entries.front(), "start");
  EXPECT_EQ(CountPrefix("after "), 25);
  EXPECT_EQ(entries[entries.size() - 2], "complete");
  EXPECT_EQ(entries.back(), "stop");
  EXPECT_TRUE(progress_off_main_);
  EXPECT_TRUE(AllPixels(show_->DisplayBitmap(), kNew));
  EXPECT_EQ(PixelAt(host_.Grab(), 39, 29), kNew);
}

// Without handlers the transition reads Picture's own graphic: a picture assigned while it runs
// waits for the next run. A handler may draw on the new picture: that never reaches Picture.
TEST_F(PicShowTest, TheRunKeepsItsPictureAndHandlersDrawOnACopy) {
  show_->OnStart = nullptr;
  show_->OnBeforeNewFrame = nullptr;
  show_->OnAfterNewFrame = nullptr;
  const TBitmap picture = Solid(40, 30, kNew).ConvertedTo(PixelFormat::pf24bit);
  const TBitmap other = Solid(40, 30, kOther);
  show_->SetPicture(&picture);
  show_->SetDelay(5);
  host_.Show();
  show_->Execute();
  show_->SetPicture(&other);
  ASSERT_TRUE(WaitUntil([&] { return !show_->Busy(); }));
  EXPECT_TRUE(AllPixels(show_->DisplayBitmap(), kNew));

  show_->OnStart = [](TCustomPicShow&, TBitmap& new_picture, TBitmap&) {
    FillRect(new_picture, Rect(0, 0, 40, 30), kBg);
  };
  show_->SetThreaded(false);
  show_->Execute();
  EXPECT_TRUE(AllPixels(show_->DisplayBitmap(), kBg));
  EXPECT_TRUE(AllPixels(*show_->Picture().Graphic(), kOther));
}

TEST_F(PicShowTest, StopDuringAThreadedRunKeepsTheLastFrame) {
  std::atomic<int> frames{0};
  TBitmap last_frame;
  show_->SetStyle(0);
  show_->OnCustomDraw = [](TCustomPicShow& s, TBitmap&, TBitmap& screen) {
    FillRect(screen, Rect(0, 0, s.Progress() / 4, 1), kOther);
  };
  show_->OnAfterNewFrame = [&](TCustomPicShow&, TBitmap&, TBitmap& screen) {
    last_frame = screen;
    ++frames;
  };
  show_->SetDelay(5);
  show_->Execute();
  ASSERT_TRUE(WaitUntil([&] { return frames >= 3; }));
  show_->Stop();
  EXPECT_FALSE(show_->Busy());
  EXPECT_EQ(Count("stop"), 1);
  EXPECT_EQ(Count("complete"), 0);
  EXPECT_LT(frames.load(), 25);
  const TBitmap& display = show_->DisplayBitmap();
  ASSERT_EQ(display.Width(), last_frame.Width());
  for (int x = 0; x < 40; ++x) EXPECT_EQ(PixelAt(display, x, 0), PixelAt(last_frame, x, 0));
  // Nothing arrives late.
  host_.ProcessEvents(test::PicShowTestHost::Clock::now());
  EXPECT_EQ(Count("stop"), 1);
  EXPECT_EQ(Count("complete"), 0);
}

TEST_F(PicShowTest, ManualFreezesAThreadedRunAndResumesIt) {
  std::atomic<bool> reached{false};
  show_->OnProgress = [&](TCustomPicShow& s) {
    if (s.Progress() >= 40) reached = true;
  };
  show_->SetDelay(2);
  show_->Execute();
  ASSERT_TRUE(WaitUntil([&] { return reached.load(); }));
  show_->SetManual(true);
  EXPECT_TRUE(show_->Busy());
  const int frozen = show_->Progress();
  EXPECT_LT(frozen, 100);
  host_.ProcessEvents(test::PicShowTestHost::Clock::now());
  EXPECT_EQ(show_->Progress(), frozen);
  EXPECT_EQ(Count("complete"), 0);
  show_->SetProgress(frozen + 1);
  EXPECT_EQ(show_->Progress(), frozen + 1);
  show_->SetManual(false);
  ASSERT_TRUE(WaitUntil([&] { return !show_->Busy(); }));
  EXPECT_EQ(show_->Progress(), 100);
  EXPECT_EQ(Count("complete"), 1);
  EXPECT_EQ(Count("stop"), 1);
}

TEST_F(PicShowTest, FailureOnTheAnimationThreadFinishesAsCompleted) {
  show_->OnAfterNewFrame = [](TCustomPicShow& s, TBitmap&, TBitmap&) {
    if (s.Progress() == 40) throw std::runtime_error("frame handler failed");
  };
  show_->Execute();
  ASSERT_TRUE(WaitUntil([&] { return !show_->Busy(); }));
  EXPECT_EQ(show_->Progress(), 40);
  EXPECT_EQ(Count("complete"), 1);
  EXPECT_EQ(Count("stop"), 1);
}

// A descendant whose overridden operation the animation thread calls on every frame.
class CountingPicShow : public TPicShow {
 public:
  using TPicShow::TPicShow;
  std::atomic<int> progress_calls{0};
  void DoProgress() override {
    ++progress_calls;
    TPicShow::DoProgress();
  }
  ~CountingPicShow() override { EndTransitionForDestruction(); }
};

TEST_F(PicShowTest, DestroyingARunningControlStopsSilently) {
  host_.Show();
  show_->SetDelay(20);
  show_->Execute();
  ASSERT_TRUE(show_->Busy());
  host_.Close();
  show_.reset();
  EXPECT_EQ(Count("stop"), 0);
  EXPECT_EQ(Count("complete"), 0);
  // Destroyed while the thread is busy with frames that call into the descendant.
  for (int i = 0; i < 20; ++i) {
    test::PicShowTestHost counting_host;
    auto counting = std::make_unique<CountingPicShow>(counting_host);
    counting_host.Attach(counting.get());
    const TBitmap picture = Solid(64, 64, kNew);
    counting->SetPicture(&picture);
    counting->SetDelay(0);
    counting->SetStep(1);
    counting->OnStop = [this](TCustomPicShow&) { Log("stop"); };
    if (i % 2) counting_host.Show();
    counting->Execute();
    ASSERT_TRUE(counting_host.WaitUntil([&] { return counting->progress_calls >= i; }));
    counting_host.Close();
    counting.reset();
    EXPECT_EQ(counting_host.Violations(), 0);
  }
  EXPECT_EQ(Count("stop"), 0);
}

TEST_F(PicShowTest, StressStopAtRandomMoments) {
  // Stops land before the first frame, between frames, after the last frame while its
  // completion is still on its way to the main thread, and after the end. Whatever the moment,
  // a run stopped while busy ends with OnStop alone, and one that reached its end first has
  // completed: OnComplete then OnStop, at progress 100.
  std::mt19937 random(12345);
  show_->SetStep(10);
  std::string ends;  // 'c' for OnComplete, 's' for OnStop, in the order they fire
  show_->OnStop = [&](TCustomPicShow&) { ends += 's'; };
  show_->OnComplete = [&](TCustomPicShow&) { ends += 'c'; };
  show_->OnAfterNewFrame = nullptr;
  show_->OnBeforeNewFrame = nullptr;
  show_->OnProgress = nullptr;
  constexpr int kRuns = 300;
  for (int run = 0; run < kRuns; ++run) {
    if (run == kRuns / 2) host_.Show();  // the second half paints every frame
    show_->SetDelay(static_cast<int>(random() % 3));
    ends.clear();
    show_->Execute();
    ASSERT_TRUE(show_->Busy());
    // Up to 40 rounds of events: enough for some runs to reach their end before the stop.
    const int rounds = static_cast<int>(random() % 40);
    for (int i = 0; i < rounds && show_->Busy(); ++i) {
      // Sometimes only what is pending, sometimes waiting a little for more.
      const auto wait = std::chrono::microseconds(random() % 2 ? random() % 500 : 0);
      host_.ProcessEvents(test::PicShowTestHost::Clock::now() + wait);
    }
    const bool stopped = show_->Busy();
    show_->Stop();
    ASSERT_TRUE(WaitUntil([&] { return !show_->Busy(); })) << run;
    ASSERT_EQ(ends, stopped ? "s" : "cs") << run;
    if (!stopped) {
      ASSERT_EQ(show_->Progress(), 100) << run;
    }
  }
}

}  // namespace
}  // namespace qm
