// `quenmora video`: a presentation, or a show made from pictures, as a video file: what the
// player shows on a screen of the chosen size, frame-exact on the show's own timeline.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "imaging/slide_loader.h"
#include "payload/cp1252.h"
#include "payload/payload_errors.h"
#include "photos/decoders.h"
#include "tools/commands.h"
#include "tools/option_table.h"
#include "tools/pack_pictures.h"
#include "tools/pending_output.h"
#include "tools/show_options.h"
#include "tools/tool_files.h"
#include "tools/tool_messages.h"
#include "tools/tool_options.h"
#include "video/show_video.h"
#include "video/video_encoder.h"

namespace qm::tool {

namespace {

constexpr char kUsageHead[] =
    "usage: quenmora video -o OUT [options] SHOW\n"
    "       quenmora video -o OUT [options] [show options] [picture options] PICTURE[=CAPTION]...\n"
    "\n"
    "Makes a video of the presentation SHOW as its player shows it on a screen of --size: every\n"
    "slide's transition at the player's pace (4 % of the way every 50 ms), then the slide for\n"
    "the interval, the last slide too; a looping show is played once. Given pictures or\n"
    "folders instead, it makes the show from them as 'quenmora pack' makes it, with the show\n"
    "and picture options below. The extension of OUT picks the container: .mp4 (H.264, plays\n"
    "everywhere), .webm (VP9 or AV1) or .mkv. The same command always writes the same file.\n"
    "\n"
    "options:\n"
    "  -o, --output OUT           the video to write (required)\n"
    "  --size WxH                 the screen, even width and height (default 1920x1080)\n"
    "  --fps N                    frames per second, 1..120 (default 30)\n"
    "  --codec CODEC              h264, vp9 or av1 (default h264; vp9 for .webm)\n"
    "  --crf Q                    quality, lower is better: 0..51 for h264 (default 18), 0..63\n"
    "                             for vp9 and av1 (default 30)\n"
    "  --seed K                   the random generator's seed when the show starts,\n"
    "                             0..4294967295 (default 0), as for 'quenmora render'\n"
    "\n"
    "show options (with SHOW they replace the presentation's own settings):\n";

constexpr char kPictureOptionsHead[] = "\npicture options (pictures only):\n";

struct VideoOptions {
  std::string output;
  video::VideoSettings video;
  std::optional<video::VideoCodec> codec;
  std::optional<int> crf;
  uint32_t seed = 0;
  ShowOptions show;
  PictureOptions picture_options;
  std::string picture_option;  // the first picture option given, if any
  std::vector<std::string> inputs;
  // A show made from pictures: the pictures (folders expanded) and their captions.
  bool from_pictures = false;
  std::vector<std::string> pictures;
  std::vector<std::optional<std::string>> captions;
};

// Parses the command line; returns an error text or "" (and sets `help` for --help).
std::string ParseArguments(const Args& args, VideoOptions& o, bool& help) {
  OptionTable options = {
      Text({"-o", "--output"}, o.output, ""),
      Value(
          {"--size"},
          [&o](const std::string& value) {
            const auto size = ParseSize(value);
            if (!size || size->first < 16 || size->second < 16 || size->first > 8192 ||
                size->second > 8192 || size->first % 2 || size->second % 2)
              return false;
            std::tie(o.video.width, o.video.height) = *size;
            return true;
          },
          "--size takes WxH with even sides of 16 to 8192 pixels, not {}"),
      Number({"--fps"}, 1, 120, o.video.fps, "--fps takes 1..120, not {}"),
      Value(
          {"--codec"},
          [&o](const std::string& value) {
            o.codec = video::CodecByName(value);
            return o.codec.has_value();
          },
          "--codec takes h264, vp9 or av1, not {}"),
      Number({"--crf"}, 0, 63, o.crf, "--crf takes a quality of 0..63, not {}"),
      SeedOption(o.seed),
  };
  o.show.AddTo(options);
  // The picture options, each noting the first one given: a presentation refuses them.
  const std::size_t picture_options = options.size();
  AddPictureOptions(options, o.picture_options);
  for (std::size_t k = picture_options; k < options.size(); ++k) {
    Option& row = options[k];
    row.take = [&o, name = row.names.front(), take = std::move(row.take)](const std::string& v) {
      if (o.picture_option.empty()) o.picture_option = name;
      return take(v);
    };
  }
  const ParsedLine line = ParseCommandLine(args, options);
  help = line.help;
  if (help) return "";
  if (!line.error.empty()) return line.error;
  o.inputs = line.operands;
  if (o.output.empty()) return "no output file given (-o OUT)";
  if (o.inputs.empty()) return "give a presentation or pictures";
  // One file without a caption that is no picture by its name is a presentation; anything
  // else is pictures.
  std::string first;
  std::optional<std::string> caption;
  SplitPictureArgument(o.inputs[0], first, caption);
  struct stat st {};
  o.from_pictures = o.inputs.size() > 1 || caption || photos::HasPictureExtension(first) ||
                    (::stat(first.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
  if (!o.from_pictures && !o.picture_option.empty())
    return o.picture_option + " is for pictures; " + o.inputs[0] + " is a presentation";
  return "";
}

// The pictures and captions of the arguments, folders expanded into their pictures. Returns an
// error text or "".
std::string ListPictures(VideoOptions& o) {
  SplitPictureArguments(o.inputs, o.pictures, o.captions);
  return ExpandFolders(o.pictures, o.captions, o.picture_options.recursive);
}

// The pictures of a show made from pictures, as `pack` prepared them.
class PreparedPictures final : public video::SlidePictures {
 public:
  PreparedPictures(std::unique_ptr<FileStream> spool, std::vector<PictureSlide> slides)
      : spool_(std::move(spool)), slides_(std::move(slides)) {}
  std::optional<TBitmap> Next() override {
    const PictureSlide& slide = slides_.at(next_++);
    return DecodeSlidePicture(slide.picture.file_name, SlideBytes(slide, *spool_));
  }

 private:
  std::unique_ptr<FileStream> spool_;
  std::vector<PictureSlide> slides_;
  std::size_t next_ = 0;
};

// The show to film: a presentation's, or one made of the pictures given. Returns an error text
// or "".
std::string LoadShow(VideoOptions& o, video::Show& show,
                     std::unique_ptr<video::SlidePictures>& pictures) {
  if (!o.from_pictures) {
    const std::string& path = o.inputs[0];
    if (!o.show.CaptionsFile().empty())
      return "--captions gives captions to pictures; " + path + " has its own";
    if (const auto why = CannotRead(path, "presentation")) return *why;
    bool no_payload = false;
    try {
      show = video::ReadShow(path, &no_payload);
    } catch (const EPayloadDamaged& e) {
      return path + (no_payload ? ": not a presentation (" : ": damaged gallery payload (") +
             e.what() + ")";
    } catch (const std::exception& e) {
      return path + ": " + e.what();
    }
    pictures = video::PicturesOfShow(path);
  } else {
    // The pictures prepared as `pack` prepares them, kept beside the output until encoded.
    show.header = DefaultShowHeader();
    if (std::string e = ApplyCaptionsFile(o.show.CaptionsFile(), o.captions); !e.empty()) return e;
    if (std::string e = CheckPictures(o.pictures, o.captions); !e.empty()) return e;
    std::vector<PictureSlide> slides;
    std::unique_ptr<FileStream> spool;
    try {
      spool = OpenSpool(o.output);
    } catch (const std::exception& e) {
      return e.what();
    }
    if (std::string e = PrepareSlides(o.pictures, o.captions, o.picture_options, *spool, slides);
        !e.empty())
      return e;
    for (const PictureSlide& slide : slides)
      show.slides.push_back({slide.picture.file_name, slide.caption});
    show.header.count = static_cast<int32_t>(show.slides.size());
    pictures = std::make_unique<PreparedPictures>(std::move(spool), std::move(slides));
  }
  if (std::string e = o.show.ApplyTo(show.header); !e.empty()) return e;
  if (show.slides.empty()) return "the show has no slides";
  if (show.header.interval <= 0)
    return "the show never leaves its first slide (interval " +
           std::to_string(show.header.interval) + "); give --interval SECONDS";
  return "";
}

// The files the video reads, which the output must never be.
std::vector<Input> Inputs(const VideoOptions& o) {
  std::vector<Input> inputs = PictureInputs(o.from_pictures ? o.pictures : o.inputs);
  if (!o.show.CaptionsFile().empty())
    inputs.push_back({o.show.CaptionsFile(), "the captions file " + o.show.CaptionsFile()});
  return inputs;
}

// How far the encoding has come, on a terminal: frames, share, speed as a multiple of real time
// and the time left. Drawn on the encoding thread as frames are encoded, last after Finish.
class ProgressBar {
 public:
  ProgressBar(int64_t total, int fps)
      : total_(total), fps_(fps), shown_(::isatty(STDERR_FILENO) != 0) {}
  bool Shown() const { return shown_; }

  void Report(int64_t done, bool last) {
    const auto now = Clock::now();
    if (!last && now - drawn_ < std::chrono::milliseconds(100)) return;
    drawn_ = now;
    const int width = 30;
    const int filled = total_ ? static_cast<int>(done * width / total_) : width;
    const double seconds = Seconds();
    const double left = done ? seconds * static_cast<double>(total_ - done) / done : 0;
    std::fprintf(stderr, "\r[%s%s] %lld/%lld frames %3d%%  %.1fx real time  %d:%02d left ",
                 std::string(filled, '#').c_str(), std::string(width - filled, '-').c_str(),
                 static_cast<long long>(done), static_cast<long long>(total_),
                 total_ ? static_cast<int>(done * 100 / total_) : 100, Speed(done, seconds),
                 static_cast<int>(left) / 60, static_cast<int>(left) % 60);
    if (last) std::fputc('\n', stderr);
  }

  double Seconds() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }
  double Speed(int64_t done, double seconds) const {
    return seconds > 0 ? static_cast<double>(done) / fps_ / seconds : 0;
  }

 private:
  using Clock = std::chrono::steady_clock;

  int64_t total_;
  int fps_;
  bool shown_;
  Clock::time_point start_ = Clock::now(), drawn_{};
};

// Hands the screens to the encoder.
class EncodingSink final : public video::FrameSink {
 public:
  explicit EncodingSink(video::VideoEncoder& encoder) : encoder_(encoder) {}
  void Frames(const TBitmap& screen, int64_t frames) override { encoder_.Encode(screen, frames); }

 private:
  video::VideoEncoder& encoder_;
};

}  // namespace

int RunVideo(const Args& args) {
  VideoOptions o;
  bool help = false;
  const std::string error = ParseArguments(args, o, help);
  if (help) {
    std::fputs(kUsageHead, stdout);
    std::fputs(kShowOptionsHelp, stdout);
    std::fputs(kPictureOptionsHead, stdout);
    std::fputs(kPictureOptionsUsage, stdout);
    return 0;
  }
  if (!error.empty()) return UsageError(error);
  const auto container = video::ContainerForPath(o.output);
  if (!container) return UsageError("the output's name must end in .mp4, .webm or .mkv");
  o.video.codec = o.codec.value_or(video::DefaultCodec(*container));
  if (!video::ContainerCarries(*container, o.video.codec))
    return UsageError(std::string("a .webm video holds vp9 or av1, not ") +
                      video::CodecName(o.video.codec));
  // SVT-AV1 takes no smaller pictures, and libaom's are no use to anyone.
  if (o.video.codec == video::VideoCodec::kAV1 && (o.video.width < 64 || o.video.height < 64))
    return UsageError("av1 needs a size of at least 64x64");
  o.video.crf = o.crf.value_or(video::DefaultCrf(o.video.codec));
  if (o.video.crf > video::MaxCrf(o.video.codec))
    return UsageError("--crf takes 0.." + std::to_string(video::MaxCrf(o.video.codec)) + " for " +
                      video::CodecName(o.video.codec));
  if (o.from_pictures)
    if (std::string e = ListPictures(o); !e.empty()) return Fail(e);
  const std::vector<Input> inputs = Inputs(o);
  if (const auto why = CheckOutput(o.output, inputs)) return Fail(*why);

  video::Show show;
  std::unique_ptr<video::SlidePictures> pictures;
  if (std::string e = LoadShow(o, show, pictures); !e.empty()) return Fail(e);
  const video::ShowTimeline timeline = video::TimelineOf(show);
  const int64_t total = video::FirstFrameAt(timeline.DurationMs(), o.video.fps);

  std::optional<PendingOutput> out;
  // Before the encoder: its thread draws the bar until the encoder is gone.
  ProgressBar progress(total, o.video.fps);
  try {
    out.emplace(o.output, inputs);
    // The encoder starts its threads and creates the file by name; its threads never take an
    // interruption, which would remove the file while this thread goes on creating it.
    std::optional<video::VideoEncoder> encoder;
    {
      const InterruptsHeldBack held;
      encoder.emplace(out->Stream().Path(), *container, o.video);
    }
    if (progress.Shown())
      encoder->OnFrame([&progress](int64_t done) { progress.Report(done, false); });
    EncodingSink sink(*encoder);
    video::ShowVideoSettings settings{o.video.width, o.video.height, o.video.fps, o.seed};
    video::PlayShow(show, *pictures, settings, sink);
    encoder->Finish();
    const int64_t frames = encoder->FramesEncoded();
    if (progress.Shown()) progress.Report(frames, true);
    out->Commit();
    std::printf("%s: %lld frames, %.2f s at %d fps, %s %dx%d (%.1fx real time)\n", o.output.c_str(),
                static_cast<long long>(frames), static_cast<double>(timeline.DurationMs()) / 1000,
                o.video.fps, video::CodecName(o.video.codec), o.video.width, o.video.height,
                progress.Speed(frames, progress.Seconds()));
  } catch (const std::exception& e) {
    return Fail(out ? out->WriteError(e) : Describe(e));
  }
  return 0;
}

}  // namespace qm::tool
