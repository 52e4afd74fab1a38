// Writes the frames that `quenmora video` encodes for a presentation as raw YUV 4:2:0 (planes Y,
// U, V per frame, BT.709, limited range): the same composition and conversion, no encoder.
//   video_frames_dump SHOW OUT.yuv [WIDTHxHEIGHT [FPS]]
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "video/show_video.h"
#include "video/video_encoder.h"

namespace {

class RawFrames final : public qm::video::FrameSink {
 public:
  RawFrames(FILE* out, int width, int height)
      : out_(out), yuv_(static_cast<std::size_t>(width) * height * 3 / 2) {}
  void Frames(const qm::TBitmap& screen, int64_t frames) override {
    if (frames <= 0) return;
    qm::video::VideoEncoder::ConvertToYuv420(screen, yuv_.data());
    for (int64_t k = 0; k < frames; ++k)
      if (std::fwrite(yuv_.data(), 1, yuv_.size(), out_) != yuv_.size())
        throw std::runtime_error("cannot write the frames");
  }

 private:
  FILE* out_;
  std::vector<uint8_t> yuv_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: video_frames_dump SHOW OUT.yuv [WIDTHxHEIGHT [FPS]]\n");
    return 2;
  }
  qm::video::ShowVideoSettings settings;
  if (argc > 3 && std::sscanf(argv[3], "%dx%d", &settings.width, &settings.height) != 2) return 2;
  if (argc > 4) settings.fps = std::atoi(argv[4]);
  try {
    const qm::video::Show show = qm::video::ReadShow(argv[1]);
    const auto pictures = qm::video::PicturesOfShow(argv[1]);
    std::unique_ptr<FILE, int (*)(FILE*)> out(std::fopen(argv[2], "wb"), std::fclose);
    if (!out) throw std::runtime_error(std::string("cannot create ") + argv[2]);
    RawFrames sink(out.get(), settings.width, settings.height);
    qm::video::PlayShow(show, *pictures, settings, sink);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "video_frames_dump: %s\n", e.what());
    return 1;
  }
  return 0;
}
