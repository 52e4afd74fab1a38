// Encoding a show's screens into a video file with FFmpeg's libraries: each screen is converted
// once to the encoder's YUV 4:2:0 and encoded for as many frames as it stays on screen. The
// conversion runs on the calling thread, the encoding on a thread of its own fed through a short
// queue, so that the next screen is composed while the encoder works on the last one. The
// encoders run with a fixed number of threads and the muxers in their bit-exact mode, so the
// same screens always give the same file.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/bitmap.h"

namespace qm::video {

enum class VideoCodec { kH264, kVP9, kAV1 };
enum class VideoContainer { kMp4, kWebm, kMkv };

// "h264", "vp9", "av1"; nothing for another name.
std::optional<VideoCodec> CodecByName(const std::string& name);
const char* CodecName(VideoCodec codec);
// The container an output file name's extension (.mp4, .webm, .mkv; any letter case) asks for.
std::optional<VideoContainer> ContainerForPath(const std::string& path);
// H.264 for MP4 and Matroska, VP9 for WebM.
VideoCodec DefaultCodec(VideoContainer container);
// Whether the container carries the codec as browsers and players expect (WebM: VP9, AV1).
bool ContainerCarries(VideoContainer container, VideoCodec codec);
// The quality the encoder gets unless told otherwise, and the range it accepts.
int DefaultCrf(VideoCodec codec);
int MaxCrf(VideoCodec codec);

struct VideoSettings {
  int width = 1920, height = 1080;  // even: 4:2:0 halves both for colour
  int fps = 30;
  VideoCodec codec = VideoCodec::kH264;
  int crf = 18;
};

// A failure of FFmpeg's libraries, with their reason.
class VideoError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class VideoEncoder {
 public:
  // Opens the encoder and the file at `path` (created or truncated), writes the container's
  // header and starts the encoding thread. Raises VideoError.
  VideoEncoder(const std::string& path, VideoContainer container, const VideoSettings& settings);
  ~VideoEncoder();
  VideoEncoder(const VideoEncoder&) = delete;
  VideoEncoder& operator=(const VideoEncoder&) = delete;

  // Called on the encoding thread after each frame with the number encoded so far. Set it before
  // the first Encode.
  void OnFrame(std::function<void(int64_t)> each_frame);
  // Converts `screen` (32 bits per pixel, the video's size) and queues it as the next `frames`
  // frames; `screen` may change as soon as this returns. Waits while the queue is full. Raises
  // VideoError, also for a failure of the encoding thread with an earlier screen.
  void Encode(const TBitmap& screen, int64_t frames);
  // Encodes everything queued and what the encoder still holds, and completes the file. Raises
  // VideoError.
  void Finish();
  int64_t FramesEncoded() const;

  // The same conversion alone, into planes Y, U, V of `yuv` (width * height * 3 / 2 bytes), for
  // comparisons with other encoders fed the same frames.
  static void ConvertToYuv420(const TBitmap& screen, uint8_t* yuv);

 private:
  struct State;
  std::unique_ptr<State> s_;
};

}  // namespace qm::video
