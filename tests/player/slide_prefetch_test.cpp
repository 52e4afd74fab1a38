// The next slide decoded ahead on the worker thread: the tick gets exactly what decoding then
// would give (the picture, nothing, the decoder's error) and only for the slide it asks for;
// Stop abandons a decode under way at once.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <mutex>
#include <thread>

#include "imaging/decode_stop.h"
#include "platform/exception.h"
#include "player/slide_prefetch.h"

namespace qm {
namespace {

TEST(SlidePrefetch, TheTickGetsWhatDecodingThenWouldGiveForItsOwnSlideOnly) {
  std::mutex mutex;
  std::vector<std::pair<std::string, bool>> decoded;  // path, on the calling thread
  const auto caller = std::this_thread::get_id();
  SlidePrefetcher ahead([&](const std::string& path) -> std::optional<TBitmap> {
    {
      const std::lock_guard<std::mutex> lock(mutex);
      decoded.emplace_back(path, std::this_thread::get_id() == caller);
    }
    if (path == "bad.png") throw EInvalidGraphic("Bitmap ist ungültig");
    if (path == "notes.gif") return std::nullopt;
    return TBitmap(static_cast<int>(path.size()), 1, PixelFormat::pf24bit);
  });
  ahead.Start(1, "two.jpg");
  EXPECT_EQ(ahead.Take(1, "two.jpg")->Width(), 7);
  ahead.Start(2, "bad.png");  // the error waits for the slide's tick
  try {
    ahead.Take(2, "bad.png");
    ADD_FAILURE() << "no error at the tick";
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), "Bitmap ist ungültig");
  }
  ahead.Start(3, "notes.gif");
  EXPECT_FALSE(ahead.Take(3, "notes.gif").has_value());
  ahead.Start(0, "zero.bmp");
  EXPECT_EQ(ahead.Take(4, "four.bmp")->Width(), 8) << "not the slide decoded ahead";
  EXPECT_EQ(ahead.Take(0, "zero.bmp")->Width(), 8) << "dropped by the other slide's tick";
  const std::lock_guard<std::mutex> lock(mutex);
  const std::vector<std::pair<std::string, bool>> expected = {
      {"two.jpg", false}, {"bad.png", false}, {"notes.gif", false}};
  ASSERT_GE(decoded.size(), 5u);
  EXPECT_EQ(std::vector(decoded.begin(), decoded.begin() + 3), expected);
  EXPECT_EQ(decoded[decoded.size() - 2], std::make_pair(std::string("four.bmp"), true));
  EXPECT_EQ(decoded.back(), std::make_pair(std::string("zero.bmp"), true));
}

TEST(SlidePrefetch, StopAbandonsADecodeUnderWayAtOnce) {
  std::promise<void> began;
  std::atomic<bool> abandoned{false};
  SlidePrefetcher ahead([&](const std::string&) -> std::optional<TBitmap> {
    began.set_value();
    try {
      for (;;) {  // a decode that only its stop flag ends
        ThrowIfDecodeStopped();
        std::this_thread::yield();
      }
    } catch (const EDecodeStopped&) {
      abandoned = true;
      throw;
    }
  });
  ahead.Start(1, "huge.png");
  const char* scale = std::getenv("QUENMORA_TEST_TIMEOUT_SCALE");
  const auto limit = std::chrono::seconds(30) * (scale ? std::max(1, std::atoi(scale)) : 1);
  ASSERT_EQ(began.get_future().wait_for(limit), std::future_status::ready);
  const auto start = std::chrono::steady_clock::now();
  ahead.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_TRUE(abandoned);
  ahead.Start(2, "later.png");  // nothing starts after the stop
}

}  // namespace
}  // namespace qm
