// The two things of the drawing layer that threads share: the generator's seed and a bitmap
// guarded by its canvas lock (the animation thread composing frames, the main thread painting).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/random.h"
#include "platform/shared_rows.h"
#include "platform/stretch.h"

namespace qm {
namespace {

TEST(RandomBelowThreads, ConcurrentDrawsNeitherLoseNorRepeatSteps) {
  // Every draw is one atomic step of the sequence: two threads drawing 50,000 times each end
  // on the seed that 100,000 steps from 0 give.
  SetRandomSeed(0);
  uint32_t expected = 0;
  for (int i = 0; i < 100000; ++i) expected = expected * 134775813u + 1u;
  std::thread a([] {
    for (int i = 0; i < 50000; ++i) RandomBelow(10);
  });
  std::thread b([] {
    for (int i = 0; i < 50000; ++i) RandomBelow(10);
  });
  a.join();
  b.join();
  EXPECT_EQ(RandomSeed(), expected);
}

TEST(CanvasLockThreads, APaintNeverCopiesHalfAFrame) {
  // The composer fills whole frames until the painter has copied 50 different ones, so the
  // copies really interleave with the composing; each copy must hold one frame only.
  TBitmap display(64, 64, PixelFormat::pf32bit), offscreen(64, 64, PixelFormat::pf32bit);
  std::atomic<bool> enough{false};
  std::thread composer([&] {
    for (uint32_t frame = 1; !enough; ++frame) {
      std::lock_guard lock(display.Canvas());
      FillRect(display, TRect{0, 0, 64, 64}, frame);
    }
  });
  int torn = 0, frames_seen = 0;
  uint32_t last = 0;
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (frames_seen < 50 && std::chrono::steady_clock::now() < limit) {
    {
      std::scoped_lock lock(offscreen.Canvas(), display.Canvas());
      Draw(offscreen, 0, 0, display);
    }
    const uint8_t* first = offscreen.ScanLine(0);
    for (int y = 0; y < 64; ++y)
      if (std::memcmp(offscreen.ScanLine(y), first, offscreen.RowBytes()) != 0) ++torn;
    uint32_t frame;
    std::memcpy(&frame, first, sizeof frame);
    if (frame != last) ++frames_seen, last = frame;
  }
  enough = true;
  composer.join();
  EXPECT_EQ(torn, 0);
  EXPECT_EQ(frames_seen, 50) << "the copies did not interleave with the composing";
}

// Passes shared with the helper thread run every row once in chunks of at most the size asked:
// two threads' passes at once (one of them then runs alone) and passes nested inside a chunk.
TEST(SharedRowsThreads, EveryRowOnceFromConcurrentAndNestedPasses) {
  constexpr int kRows = 300, kPasses = 100;
  struct Counts {
    std::vector<std::atomic<int>> rows = std::vector<std::atomic<int>>(kRows);
    std::atomic<int> oversized{0};
  };
  auto run = [](Counts& counts, Counts* nested) {
    for (int pass = 0; pass < kPasses; ++pass) {
      const int chunk = 1 + pass % 7;
      auto work = [&](int first, int last) {
        if (first >= last || last - first > chunk) ++counts.oversized;
        for (int y = first; y < last; ++y) ++counts.rows[static_cast<std::size_t>(y)];
        if (nested && first == 0) {
          auto inner = [&](int f, int l) {
            for (int y = f; y < l; ++y) ++nested->rows[static_cast<std::size_t>(y)];
          };
          ShareRows(kRows, 5, inner);
        }
      };
      ShareRows(kRows, chunk, work);
    }
  };
  Counts a, b, inner;
  std::thread other([&] { run(b, nullptr); });
  run(a, &inner);
  other.join();
  for (Counts* c : {&a, &b, &inner}) {
    EXPECT_EQ(c->oversized, 0);
    for (int y = 0; y < kRows; ++y) ASSERT_EQ(c->rows[static_cast<std::size_t>(y)], kPasses) << y;
  }
}

}  // namespace
}  // namespace qm
