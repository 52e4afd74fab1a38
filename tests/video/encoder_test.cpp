// The video encoder's two threads: screens come out in the order and numbers given though the
// caller draws the next one at once, a failure of the encoding thread reaches the caller, and an
// encoder left unfinished stops without encoding what it was given.
#include "video/video_encoder.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include <gtest/gtest.h>

#include "platform/stretch.h"
#include "tests/support/shell.h"
#include "tests/support/test_files.h"

namespace qm::video {
namespace {

constexpr int kSide = 64;

struct Shown {
  TColor colour;  // 0x00BBGGRR
  int64_t frames;
};

TEST(VideoEncoderThreads, ScreensComeOutInOrderAndNumberWhileTheCallerDrawsOn) {
  const std::string path = test::TempPath("screens.mkv");
  const Shown shown[] = {{0x0000ff, 2}, {0x00ff00, 0}, {0xff0000, 3}, {0xffffff, 1},
                         {0x000000, 7}, {0x00ffff, 1}, {0x808080, 1}, {0xff00ff, 4}};
  int64_t total = 0, reported = 0;
  {
    VideoEncoder encoder(path, VideoContainer::kMkv, {kSide, kSide, 30, VideoCodec::kH264, 0});
    encoder.OnFrame([&reported](int64_t done) { reported = done; });
    // One screen, redrawn for every slide as the player's window is.
    TBitmap screen(kSide, kSide, PixelFormat::pf32bit);
    for (const Shown& s : shown) {
      FillRect(screen, Rect(0, 0, kSide, kSide), s.colour);
      encoder.Encode(screen, s.frames);
      total += s.frames;
    }
    encoder.Finish();
    EXPECT_EQ(encoder.FramesEncoded(), total);
    EXPECT_EQ(reported, total);
  }
  const test::RunResult decoded =
      test::Shell("timeout " + std::to_string(static_cast<int>(60 * test::TimeoutScale())) +
                  " ffmpeg -v error -i " + path + " -f rawvideo -pix_fmt rgb24 -");
  std::remove(path.c_str());
  ASSERT_EQ(decoded.status, 0) << decoded.out;
  const std::size_t frame_bytes = kSide * kSide * 3;
  ASSERT_EQ(decoded.out.size(), static_cast<std::size_t>(total) * frame_bytes);
  std::size_t frame = 0;
  for (const Shown& s : shown)
    for (int64_t k = 0; k < s.frames; ++k, ++frame) {
      const auto* centre = reinterpret_cast<const uint8_t*>(decoded.out.data()) +
                           frame * frame_bytes + (kSide / 2 * kSide + kSide / 2) * 3;
      for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(centre[c], (s.colour >> (8 * c)) & 0xff, 6) << "frame " << frame;
    }
}

TEST(VideoEncoderThreads, AFailedWriteOnTheEncodingThreadReachesTheCaller) {
  // Noise that every frame must carry in full, so that the file soon outgrows the write buffer.
  TBitmap screen(256, 256, PixelFormat::pf32bit);
  uint32_t state = 1;
  const auto draw = [&] {
    for (int y = 0; y < screen.Height(); ++y)
      for (int x = 0; x < screen.Width() * 4; ++x) {
        state = state * 1664525u + 1013904223u;
        screen.ScanLine(y)[x] = static_cast<uint8_t>(state >> 24);
      }
  };
  try {
    VideoEncoder encoder("/dev/full", VideoContainer::kMkv, {256, 256, 30, VideoCodec::kH264, 0});
    for (int k = 0; k < 200; ++k) {
      draw();
      encoder.Encode(screen, 1);
    }
    encoder.Finish();
    ADD_FAILURE() << "a video written to a full device reported as complete";
  } catch (const VideoError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("cannot write the video:", 0), 0u) << e.what();
  }
}

TEST(VideoEncoderThreads, AnEncoderLeftUnfinishedStopsAtOnce) {
  const std::string path = test::TempPath("left.mkv");
  const auto start = std::chrono::steady_clock::now();
  {
    VideoEncoder encoder(path, VideoContainer::kMkv, {kSide, kSide, 30, VideoCodec::kH264, 18});
    TBitmap screen(kSide, kSide, PixelFormat::pf32bit);
    // Hours of video, queued behind the one being encoded, which is left amid its frames.
    for (int k = 0; k < 2; ++k) encoder.Encode(screen, 100'000'000);
    const auto limit = start + std::chrono::seconds(20) * test::TimeoutScale();
    while (encoder.FramesEncoded() < 10 && std::chrono::steady_clock::now() < limit)
      std::this_thread::yield();
    ASSERT_GE(encoder.FramesEncoded(), 10);
  }
  std::remove(path.c_str());
  EXPECT_LT(std::chrono::steady_clock::now() - start,
            std::chrono::seconds(20) * test::TimeoutScale());
}

}  // namespace
}  // namespace qm::video
