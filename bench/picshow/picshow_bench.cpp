// Frames per second of a threaded transition at Delay 0 in a test window (its screen a bitmap),
// against the cost of the frame routine alone on pictures of the same size. The ratio of the two
// rates is the overhead of the control: pacing by the paint event, the frame lock, the
// synchronous repaint on the main thread and the copy of the off-screen bitmap to the screen.
//
// A paced run at Delay 50 checks that the styles keep the player's pace at 4K.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

#include "picshow/frame_routine.h"
#include "picshow/picshow.h"
#include "platform/stretch.h"
#include "tests/picshow/picshow_test_host.h"

namespace qm {
namespace {

constexpr int kStyle = 51;  // a rectangle effect; without its procedure a frame is the old contents

TBitmap Solid(int w, int h, TColor color) {
  TBitmap b(w, h, PixelFormat::pf32bit);
  FillRect(b, Rect(0, 0, w, h), color);
  return b;
}

// Handles the window's events until the transition has ended, as the player's sequencer does.
void WaitForTheEnd(test::PicShowTestHost& host, const TPicShow& show) {
  do {
    host.ProcessEvents(test::PicShowTestHost::Clock::now() + std::chrono::seconds(1));
  } while (show.Busy());
}

void BM_FrameRoutine(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  TBitmap display = Solid(w, h, 0), picture = Solid(w, h, 0x00C0B0A0);
  TBitmap old_contents = Solid(w, h, 0x00203040);
  const TransitionBitmaps bitmaps{&display, &picture, &old_contents, w, h};
  int progress = 0;
  for (auto _ : state) {
    progress = progress % 100 + 1;  // 1..100, as a run with Step 1 composes them
    ComposeFrame(bitmaps, kStyle, 1, progress, nullptr);
    benchmark::DoNotOptimize(display.Bits());
  }
  state.counters["frames/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_ThreadedRun(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  test::PicShowTestHost host;
  TPicShow show(host);
  host.Attach(&show);
  show.SetDelay(0);
  show.SetStep(1);  // 100 frames per run
  show.SetStyle(kStyle);
  const TBitmap picture = Solid(w, h, 0x00C0B0A0);
  show.SetPicture(&picture);
  host.Show();
  WaitForTheEnd(host, show);
  int64_t frames = 0;
  for (auto _ : state) {
    show.Execute();
    WaitForTheEnd(host, show);
    frames += 100;
  }
  state.counters["frames/s"] =
      benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}

// A threaded transition paced by Delay 50 at Step 4, as the player runs it (the display cleared
// and repainted first, so that each transition starts from a display bitmap of its own): the
// time between consecutive frames on screen should be the delay. A frame is on screen when
// OnProgress fires, since its repaint is synchronous. Reports frames per second, the
// median and longest gap between frames, the share of gaps within 2 ms of the delay, how many
// gaps exceeded the delay by more than 1 ms and by more than 5 ms, and the longest time the
// frame routine itself took for a frame (old contents plus the effect), which must stay well
// inside the delay.
void BM_PacedRun(benchmark::State& state) {
  const int style = static_cast<int>(state.range(0));
  const int w = static_cast<int>(state.range(1)), h = static_cast<int>(state.range(2));
  constexpr int kDelay = 50;
  test::PicShowTestHost host;
  TPicShow show(host);
  host.Attach(&show);
  show.SetDelay(kDelay);
  show.SetStep(4);
  show.SetStyle(style);
  const TBitmap picture = Solid(w, h, 0x00C0B0A0);
  show.SetPicture(&picture);
  host.Show();
  WaitForTheEnd(host, show);
  using Clock = std::chrono::steady_clock;
  using Ms = std::chrono::duration<double, std::milli>;
  std::vector<Clock::time_point> frames;
  frames.reserve(64);
  Clock::time_point frame_start;
  double longest_work_ms = 0;  // the frame routine's own time: old contents plus the effect
  show.OnBeforeNewFrame = [&](TCustomPicShow&, TBitmap&, TBitmap&) { frame_start = Clock::now(); };
  show.OnAfterNewFrame = [&](TCustomPicShow&, TBitmap&, TBitmap&) {
    longest_work_ms = std::max(longest_work_ms, Ms(Clock::now() - frame_start).count());
  };
  show.OnProgress = [&](TCustomPicShow&) { frames.push_back(Clock::now()); };
  std::vector<double> gaps;
  int64_t frame_count = 0;
  for (auto _ : state) {
    frames.clear();
    show.Clear();  // as the player's sequencer does before every transition, and repaints
    host.ProcessEvents(test::PicShowTestHost::Clock::now());
    show.Execute();
    WaitForTheEnd(host, show);
    for (std::size_t i = 1; i < frames.size(); ++i)
      gaps.push_back(Ms(frames[i] - frames[i - 1]).count());
    frame_count += static_cast<int64_t>(frames.size());
  }
  std::sort(gaps.begin(), gaps.end());
  const auto late_by = [&](double ms) {
    return static_cast<double>(gaps.end() -
                               std::upper_bound(gaps.begin(), gaps.end(), kDelay + ms));
  };
  state.counters["frames/s"] =
      benchmark::Counter(static_cast<double>(frame_count), benchmark::Counter::kIsRate);
  state.counters["gaps"] = static_cast<double>(gaps.size());
  state.counters["median_gap_ms"] = gaps.empty() ? 0 : gaps[gaps.size() / 2];
  state.counters["longest_gap_ms"] = gaps.empty() ? 0 : gaps.back();
  const auto within_2ms = std::count_if(gaps.begin(), gaps.end(),
                                        [&](double g) { return std::abs(g - kDelay) <= 2.0; });
  state.counters["within_2ms_pct"] =
      gaps.empty() ? 0 : 100.0 * static_cast<double>(within_2ms) / static_cast<double>(gaps.size());
  state.counters["late_1ms"] = late_by(1);
  state.counters["late_5ms"] = late_by(5);
  state.counters["longest_work_ms"] = longest_work_ms;
}

BENCHMARK(BM_FrameRoutine)
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ThreadedRun)
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

BENCHMARK(BM_PacedRun)
    ->ArgNames({"style", "w", "h"})
    ->Args({1, 3840, 2160})
    ->Args({13, 3840, 2160})
    ->Args({30, 3840, 2160})
    ->Args({57, 3840, 2160})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace
}  // namespace qm

BENCHMARK_MAIN();
