#include "video/video_encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <atomic>
#include <cctype>
#include <condition_variable>
#include <cstdarg>
#include <cstdlib>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

namespace qm::video {

namespace {

// Encoder threads, fixed rather than taken from the machine: an encoder's output depends on its
// thread count, and the same show must give the same file everywhere.
constexpr int kEncoderThreads = 4;

// The libraries' own messages stay off the terminal; the last error among them is kept, since it
// often says more than the error code (an encoder refusing a size, say).
std::mutex g_log_mutex;
std::string g_last_log_error;

void KeepErrors(void* avcl, int level, const char* format, va_list args) {
  if (level > AV_LOG_ERROR) return;
  char line[512];
  int print_prefix = 0;
  av_log_format_line2(avcl, level, format, args, line, sizeof line, &print_prefix);
  std::string text = line;
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  const std::scoped_lock lock(g_log_mutex);
  g_last_log_error = text;
}

std::string AvText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  std::string reason = text;
  const std::scoped_lock lock(g_log_mutex);
  if (!g_last_log_error.empty()) reason += " (" + g_last_log_error + ")";
  g_last_log_error.clear();
  return reason;
}

void Check(int code, const std::string& what) {
  if (code < 0) throw VideoError(what + ": " + AvText(code));
}

// The encoder behind a codec name, with its options for quality `crf`.
const AVCodec* FindEncoder(VideoCodec codec) {
  const char* const names[3][2] = {
      {"libx264", nullptr}, {"libvpx-vp9", nullptr}, {"libsvtav1", "libaom-av1"}};
  for (const char* name : names[static_cast<int>(codec)]) {
    if (!name) break;
    if (const AVCodec* c = avcodec_find_encoder_by_name(name)) return c;
  }
  throw VideoError(std::string("this system's FFmpeg has no ") + CodecName(codec) + " encoder");
}

void SetOption(AVCodecContext* ctx, const char* name, const std::string& value) {
  Check(av_opt_set(ctx->priv_data, name, value.c_str(), 0),
        std::string("encoder option ") + name + "=" + value);
}

void ConfigureEncoder(AVCodecContext* ctx, const AVCodec* codec, int crf) {
  const std::string name = codec->name;
  const std::string q = std::to_string(crf);
  if (name == "libx264") {
    SetOption(ctx, "preset", "medium");
    SetOption(ctx, "crf", q);
  } else if (name == "libvpx-vp9") {
    ctx->bit_rate = 0;  // constant quality
    SetOption(ctx, "crf", q);
    SetOption(ctx, "deadline", "good");
    SetOption(ctx, "cpu-used", "4");
    SetOption(ctx, "row-mt", "1");
  } else if (name == "libsvtav1") {
    // SVT-AV1 reports to the terminal by itself unless told to keep to errors.
    ::setenv("SVT_LOG", "1", 0);
    SetOption(ctx, "crf", q);
    SetOption(ctx, "preset", "8");
  } else {  // libaom-av1
    ctx->bit_rate = 0;
    SetOption(ctx, "crf", q);
    SetOption(ctx, "cpu-used", "6");
    SetOption(ctx, "row-mt", "1");
  }
}

SwsContext* NewConverter(int width, int height) {
  SwsContext* sws =
      sws_getContext(width, height, AV_PIX_FMT_BGR0, width, height, AV_PIX_FMT_YUV420P,
                     SWS_BILINEAR | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
  if (!sws) throw VideoError("cannot set up the conversion to YUV 4:2:0");
  // BT.709 limited range, as the stream is tagged: screens are full-range RGB.
  const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
  sws_setColorspaceDetails(sws, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
  return sws;
}

void Convert(SwsContext* sws, const TBitmap& screen, uint8_t* const planes[3],
             const int strides[3]) {
  const uint8_t* source[1] = {screen.Bits()};
  const int source_stride[1] = {static_cast<int>(screen.RowBytes())};
  sws_scale(sws, source, source_stride, 0, screen.Height(), planes, strides);
}

}  // namespace

std::optional<VideoCodec> CodecByName(const std::string& name) {
  if (name == "h264") return VideoCodec::kH264;
  if (name == "vp9") return VideoCodec::kVP9;
  if (name == "av1") return VideoCodec::kAV1;
  return std::nullopt;
}

const char* CodecName(VideoCodec codec) {
  switch (codec) {
    case VideoCodec::kH264:
      return "h264";
    case VideoCodec::kVP9:
      return "vp9";
    case VideoCodec::kAV1:
      return "av1";
  }
  return "?";
}

std::optional<VideoContainer> ContainerForPath(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return std::nullopt;
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == "mp4") return VideoContainer::kMp4;
  if (ext == "webm") return VideoContainer::kWebm;
  if (ext == "mkv") return VideoContainer::kMkv;
  return std::nullopt;
}

VideoCodec DefaultCodec(VideoContainer container) {
  return container == VideoContainer::kWebm ? VideoCodec::kVP9 : VideoCodec::kH264;
}

bool ContainerCarries(VideoContainer container, VideoCodec codec) {
  return container != VideoContainer::kWebm || codec != VideoCodec::kH264;
}

int DefaultCrf(VideoCodec codec) {
  return codec == VideoCodec::kH264 ? 18 : 30;
}

int MaxCrf(VideoCodec codec) {
  return codec == VideoCodec::kH264 ? 51 : 63;
}

struct FrameFree {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;

// A converted screen and the number of frames it stays on screen.
struct QueuedScreen {
  FramePtr frame;
  int64_t frames = 0;
};

struct VideoEncoder::State {
  VideoSettings settings;
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  AVStream* stream = nullptr;
  SwsContext* sws = nullptr;
  // The screens' pictures: a frame's buffer goes back here once the encoder lets go of it, so
  // that a screen reuses the memory of one already encoded.
  AVBufferPool* pictures = nullptr;
  AVPacket* packet = nullptr;
  std::function<void(int64_t)> each_frame;

  // Between the calling thread and the encoding thread.
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<QueuedScreen> queue;
  bool closing = false;
  std::atomic<bool> abandoned{false};  // stop amid a screen: the video will not be completed
  std::exception_ptr failure;
  std::atomic<int64_t> encoded{0};
  std::thread worker;

  ~State() {
    StopWorker(true);
    av_packet_free(&packet);
    sws_freeContext(sws);
    avcodec_free_context(&codec);
    av_buffer_pool_uninit(&pictures);
    if (format) {
      if (format->pb) avio_closep(&format->pb);
      avformat_free_context(format);
    }
  }

  // Ends the encoding thread once it has encoded the queue, or at once when `abandon`.
  void StopWorker(bool abandon) {
    if (!worker.joinable()) return;
    {
      const std::scoped_lock lock(mutex);
      if (abandon) queue.clear();
      closing = true;
      abandoned = abandon;
    }
    changed.notify_all();
    worker.join();
  }

  // The encoding thread: encodes the queued screens in order until closed; a failure is kept
  // for the calling thread and ends it.
  void Work() {
    for (;;) {
      QueuedScreen next;
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return !queue.empty() || closing; });
        if (queue.empty()) return;
        next = std::move(queue.front());
        queue.pop_front();
      }
      changed.notify_all();
      try {
        for (int64_t k = 0; k < next.frames && !abandoned; ++k) {
          next.frame->pts = encoded;
          Check(avcodec_send_frame(codec, next.frame.get()), "encoding failed");
          Drain();
          ++encoded;
          if (each_frame) each_frame(encoded);
        }
      } catch (...) {
        {
          const std::scoped_lock lock(mutex);
          failure = std::current_exception();
          queue.clear();
        }
        changed.notify_all();
        return;
      }
    }
  }

  // Queues a converted screen, waiting while the queue is full.
  void Enqueue(QueuedScreen screen) {
    // A few screens: enough to even out slow and quick ones, each a whole picture's memory.
    constexpr std::size_t kQueueLength = 2;
    {
      std::unique_lock lock(mutex);
      changed.wait(lock, [this] { return queue.size() < kQueueLength || failure; });
      if (failure) std::rethrow_exception(failure);
      queue.push_back(std::move(screen));
    }
    changed.notify_all();
  }

  static constexpr int kAlign = 64;  // rows as the encoders' vector code likes them

  // A frame of the video's size on a buffer from the pool.
  FramePtr NewFrame() {
    const int w = settings.width, h = settings.height;
    FramePtr frame(av_frame_alloc());
    if (!pictures || !frame || !(frame->buf[0] = av_buffer_pool_get(pictures)))
      throw VideoError("out of memory for a frame");
    Check(av_image_fill_arrays(frame->data, frame->linesize, frame->buf[0]->data,
                               AV_PIX_FMT_YUV420P, w, h, kAlign),
          "cannot lay out a frame");
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = w;
    frame->height = h;
    frame->color_range = AVCOL_RANGE_MPEG;
    frame->colorspace = AVCOL_SPC_BT709;
    return frame;
  }

  // Writes every packet the encoder has ready.
  void Drain() {
    for (;;) {
      const int r = avcodec_receive_packet(codec, packet);
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return;
      Check(r, "encoding failed");
      av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
      packet->stream_index = stream->index;
      Check(av_interleaved_write_frame(format, packet), "cannot write the video");
    }
  }
};

VideoEncoder::VideoEncoder(const std::string& path, VideoContainer container,
                           const VideoSettings& settings)
    : s_(std::make_unique<State>()) {
  static std::once_flag quiet;
  std::call_once(quiet, [] { av_log_set_callback(KeepErrors); });
  State& s = *s_;
  s.settings = settings;
  const char* format_name = container == VideoContainer::kMp4    ? "mp4"
                            : container == VideoContainer::kWebm ? "webm"
                                                                 : "matroska";
  const std::string url = "file:" + path;
  Check(avformat_alloc_output_context2(&s.format, nullptr, format_name, url.c_str()),
        "cannot set up the container");
  s.format->flags |= AVFMT_FLAG_BITEXACT;

  const AVCodec* codec = FindEncoder(settings.codec);
  s.codec = avcodec_alloc_context3(codec);
  if (!s.codec) throw VideoError("cannot set up the encoder");
  s.codec->width = settings.width;
  s.codec->height = settings.height;
  s.codec->time_base = AVRational{1, settings.fps};
  s.codec->framerate = AVRational{settings.fps, 1};
  s.codec->pix_fmt = AV_PIX_FMT_YUV420P;
  s.codec->color_range = AVCOL_RANGE_MPEG;
  s.codec->colorspace = AVCOL_SPC_BT709;
  s.codec->color_primaries = AVCOL_PRI_BT709;
  s.codec->color_trc = AVCOL_TRC_BT709;
  s.codec->thread_count = kEncoderThreads;
  s.codec->flags |= AV_CODEC_FLAG_BITEXACT;
  if (s.format->oformat->flags & AVFMT_GLOBALHEADER) s.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  ConfigureEncoder(s.codec, codec, settings.crf);
  Check(avcodec_open2(s.codec, codec, nullptr),
        std::string("cannot open the ") + codec->name + " encoder at " +
            std::to_string(settings.width) + "x" + std::to_string(settings.height));

  s.stream = avformat_new_stream(s.format, nullptr);
  if (!s.stream) throw VideoError("cannot set up the video stream");
  s.stream->time_base = s.codec->time_base;
  s.stream->avg_frame_rate = s.codec->framerate;
  s.stream->r_frame_rate = s.codec->framerate;
  Check(avcodec_parameters_from_context(s.stream->codecpar, s.codec), "cannot set up the stream");

  Check(avio_open(&s.format->pb, url.c_str(), AVIO_FLAG_WRITE), "cannot open " + path);
  AVDictionary* options = nullptr;
  // The index first, so that a browser starts playing before the whole file has arrived.
  if (container == VideoContainer::kMp4) av_dict_set(&options, "movflags", "+faststart", 0);
  const int written = avformat_write_header(s.format, &options);
  av_dict_free(&options);
  Check(written, "cannot write the video's header");

  s.sws = NewConverter(settings.width, settings.height);
  s.packet = av_packet_alloc();
  const int picture_size =
      av_image_get_buffer_size(AV_PIX_FMT_YUV420P, settings.width, settings.height, State::kAlign);
  s.pictures = av_buffer_pool_init(static_cast<std::size_t>(picture_size), nullptr);
  if (!s.packet || !s.pictures) throw VideoError("out of memory");
  s.worker = std::thread([&s] { s.Work(); });
}

VideoEncoder::~VideoEncoder() = default;

void VideoEncoder::OnFrame(std::function<void(int64_t)> each_frame) {
  s_->each_frame = std::move(each_frame);
}

void VideoEncoder::Encode(const TBitmap& screen, int64_t frames) {
  State& s = *s_;
  if (frames <= 0) return;
  if (screen.Width() != s.settings.width || screen.Height() != s.settings.height ||
      screen.Format() != PixelFormat::pf32bit)
    throw VideoError("a screen of the wrong size or format");
  QueuedScreen queued{s.NewFrame(), frames};
  Convert(s.sws, screen, queued.frame->data, queued.frame->linesize);
  s.Enqueue(std::move(queued));
}

void VideoEncoder::Finish() {
  State& s = *s_;
  s.StopWorker(false);
  if (s.failure) std::rethrow_exception(s.failure);
  Check(avcodec_send_frame(s.codec, nullptr), "encoding failed");
  s.Drain();
  Check(av_write_trailer(s.format), "cannot complete the video");
  Check(avio_closep(&s.format->pb), "cannot complete the video");
}

int64_t VideoEncoder::FramesEncoded() const {
  return s_->encoded;
}

void VideoEncoder::ConvertToYuv420(const TBitmap& screen, uint8_t* yuv) {
  const int w = screen.Width(), h = screen.Height();
  SwsContext* sws = NewConverter(w, h);
  uint8_t* const planes[3] = {yuv, yuv + w * h, yuv + w * h + (w / 2) * (h / 2)};
  const int strides[3] = {w, w / 2, w / 2};
  Convert(sws, screen, planes, strides);
  sws_freeContext(sws);
}

}  // namespace qm::video
