// `quenmora video` as a user runs it: the file's stream as ffprobe sees it, frames decoded at
// chosen times against `quenmora render`, the same file from the same command, playback to the
// end in headless Chromium, and refusals and interruptions that leave nothing behind.
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "browser_pipe.h"
#include "imaging/png_writer.h"
#include "platform/stretch.h"
#include "player/frm_main.h"
#include "tests/payload/show_builder.h"
#include "tests/player/memory_window.h"
#include "tests/support/test_files.h"
#include "tests/tools/tool_run.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

double Scale() {
  const char* text = std::getenv("QUENMORA_TEST_TIMEOUT_SCALE");
  const double scale = text ? std::atof(text) : 1.0;
  return scale > 0 ? scale : 1.0;
}

// A command with a time limit of `seconds` (scaled).
test::RunResult Limited(const std::string& command, int seconds = 120) {
  return test::Shell("timeout " + std::to_string(static_cast<int>(seconds * Scale())) + " " +
                     command);
}
test::RunResult Video(const std::string& args) {
  return Limited(std::string(QM_BIN_DIR) + "/quenmora video " + args);
}

std::map<std::string, std::string> Probe(const std::string& path) {
  const test::RunResult r = Limited(
      "ffprobe -v error -select_streams v:0 -show_entries "
      "stream=codec_name,width,height,r_frame_rate:format=duration -of default=nw=1 " +
      path);
  std::map<std::string, std::string> fields;
  for (std::size_t at = 0; at < r.out.size();) {
    const std::size_t end = std::min(r.out.find('\n', at), r.out.size());
    const std::string line = r.out.substr(at, end - at);
    if (const std::size_t eq = line.find('='); eq != std::string::npos)
      fields[line.substr(0, eq)] = line.substr(eq + 1);
    at = end + 1;
  }
  return fields;
}

std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

constexpr int kW = 192, kH = 128;
constexpr TColor kBackground = 0x403020;  // #203040

// A two-slide presentation of 192x128 pictures, interval 1 s, no caption strip, and its videos.
class VideoFiles : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new test::TempFolder;
    const std::string d = folder_->Path();
    test::WriteTestPicture(d + "/one.png", kW, kH, 1);
    test::WriteTestPicture(d + "/two.png", kW, kH, 2);
    TBitmap background(kW, kH, PixelFormat::pf24bit);
    FillRect(background, Rect(0, 0, kW, kH), kBackground);
    WritePng24(background, d + "/background.png");
    // Any file serves as the player: the video reads only the payload.
    const test::RunResult packed =
        test::Quenmora("pack -o " + d + "/show --player " + QM_BIN_DIR + "/quenmora" +
                       " --interval 1 --caption-position none --background '#203040' " + d +
                       "/one.png " + d + "/two.png");
    ASSERT_EQ(packed.status, 0) << packed.out;
  }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }
  static std::string Dir() { return folder_->Path(); }
  static test::TempFolder* folder_;
};
test::TempFolder* VideoFiles::folder_ = nullptr;

TEST_F(VideoFiles, StreamMatchesTheShowsTimelineAndTheSameCommandGivesTheSameFile) {
  struct Row {
    const char* out;
    const char* options;
    const char* codec;
    int fps;
    bool twice;
  } rows[] = {{"show.mp4", "", "h264", 30, true},
              {"show.webm", "", "vp9", 30, true},
              {"show.mkv", "--codec av1 --fps 24", "av1", 24, false},
              {"show25.mp4", "--fps 25", "h264", 25, false}};
  // Two slides, each 25 frames of 50 ms and an interval of 1 s.
  const double duration = 2 * (25 * 0.05 + 1);
  for (const Row& r : rows) {
    const std::string out = Dir() + "/" + r.out;
    const std::string command =
        "-o " + out + " --size 192x128 " + r.options + " " + Dir() + "/show";
    const test::RunResult made = Video(command);
    ASSERT_EQ(made.status, 0) << made.out;
    const auto p = Probe(out);
    EXPECT_EQ(p.at("codec_name"), r.codec);
    EXPECT_EQ(p.at("width") + "x" + p.at("height"), "192x128");
    EXPECT_EQ(p.at("r_frame_rate"), std::to_string(r.fps) + "/1");
    EXPECT_NEAR(std::stod(p.at("duration")), duration, 1.0 / r.fps) << r.out;
    if (r.twice) {
      const std::string again = Dir() + "/again-" + r.out;
      ASSERT_EQ(
          Video("-o " + again + " --size 192x128 " + r.options + " " + Dir() + "/show").status, 0);
      EXPECT_TRUE(test::ReadBytes(out) == test::ReadBytes(again)) << r.out << " differs";
    }
  }
}

// PSNR over the rows [top, bottom) of a w x h picture in 4:2:0 planes, with the chroma rows
// that cover them: frame `n` of `a` against frame `m` of `b`.
double Psnr(const test::Bytes& a, int n, const test::Bytes& b, int m, int w, int h, int top = 0,
            int bottom = -1) {
  if (bottom < 0) bottom = h;
  const std::size_t frame = std::size_t(w) * h * 3 / 2, quarter = std::size_t(w / 2) * (h / 2);
  if (a.size() < (n + 1) * frame || b.size() < (m + 1) * frame) return 0;
  double sum = 0, count = 0;
  auto add = [&](std::size_t plane, int stride, int row0, int row1) {
    for (std::size_t i = plane + std::size_t(row0) * stride; i < plane + std::size_t(row1) * stride;
         ++i, ++count) {
      const double d = double(a[n * frame + i]) - b[m * frame + i];
      sum += d * d;
    }
  };
  add(0, w, top, bottom);
  for (std::size_t plane : {std::size_t(w) * h, std::size_t(w) * h + quarter})
    add(plane, w / 2, top / 2, (bottom + 1) / 2);
  return sum == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * count / sum);
}

// Output frames `samples` of `video` decoded into 4:2:0 planes one after the other in `yuv`.
bool DecodeFrames(const std::string& video, std::initializer_list<int> samples,
                  const std::string& yuv) {
  std::string select = "0";
  for (int n : samples) select.append("+eq(n\\,").append(std::to_string(n)).append(")");
  return Limited("ffmpeg -v error -i " + video + " -vf \"select=" + select +
                 "\" -vsync 0 -f rawvideo -pix_fmt yuv420p " + yuv)
             .status == 0;
}

TEST_F(VideoFiles, FramesAtChosenTimesMatchTheFramesRenderComposes) {
  // Transition frames j (progress 4 (j + 1)) and a held slide; output frame n shows the frame
  // current at n / 30 s, so frame j is first sampled at n = ceil(1.5 j). The comparison is on
  // the encoder's own planes: render's frames go through a BT.709 limited-range conversion of
  // ffmpeg's, so what 4:2:0 cannot hold counts against neither side.
  const int frames[] = {5, 12, 20, 24};
  const auto samples = {8, 18, 30, 40};
  // Random styles (shreds) draw from the generator frame after frame: their frames come from a
  // whole rendered transition with the same seed.
  struct Row {
    int style;
    bool random;
  } rows[] = {{51, false}, {84, false}, {118, false}, {66, true}, {142, true}};
  double lowest = 99;
  for (const Row& r : rows) {
    const std::string s = std::to_string(r.style), d = Dir() + "/s" + s;
    fs::create_directories(d);
    const test::RunResult made =
        Video("-o " + d + "/v.mp4 --size 192x128 --interval 1 --caption-position none " +
              "--background '#203040' --seed 7 --style " + s + " " + Dir() + "/one.png");
    ASSERT_EQ(made.status, 0) << made.out;
    ASSERT_TRUE(DecodeFrames(d + "/v.mp4", samples, d + "/decoded.yuv"));
    std::string inputs, pads;
    const std::string render = std::string(QM_BIN_DIR) + "/quenmora render --seed 7 --style " + s +
                               " " + Dir() + "/background.png " + Dir() + "/one.png ";
    if (r.random) {
      ASSERT_EQ(Limited(render + "--frames " + d + " " + d + "/last.png").status, 0);
    }
    for (int k = 0; k < 4; ++k) {
      const int progress = 4 * (frames[k] + 1);
      char name[32];
      std::snprintf(name, sizeof name, "/frame-%03d.png", progress);
      if (!r.random) {
        ASSERT_EQ(
            Limited(render + "--progress " + std::to_string(progress) + " " + d + name).status, 0);
      }
      inputs.append(" -i ").append(d + name);
      pads.append("[").append(std::to_string(k)).append("]");
    }
    ASSERT_EQ(Limited("ffmpeg -v error" + inputs + " -filter_complex \"" + pads +
                      "concat=n=4,scale=out_color_matrix=bt709:out_range=tv,format=yuv420p\" " +
                      "-vsync 0 -f rawvideo " + d + "/rendered.yuv")
                  .status,
              0);
    const test::Bytes decoded = test::ReadBytes(d + "/decoded.yuv");
    const test::Bytes rendered = test::ReadBytes(d + "/rendered.yuv");
    for (int k = 0; k < 4; ++k) {
      const double psnr = Psnr(decoded, k, rendered, k, kW, kH);
      EXPECT_GE(psnr, 40) << "style " << s << ", progress " << 4 * (frames[k] + 1);
      lowest = std::min(lowest, psnr);
    }
  }
  std::printf("lowest PSNR of the decoded frames: %.2f dB\n", lowest);
}

// The caption strip in a video is the one the player draws. The player's own window on a
// screen of memory, after the same ticks, is the reference: the held first and second slides
// whole, and the strip in the middle of the second transition (a caption changes as its
// transition starts), for a top strip on the left and bottom strips in the centre and on the
// right. Both sides pass through the same BT.709 4:2:0 conversion.
TEST(VideoCaptions, TheStripIsThePlayersInEveryPlace) {
  test::PrivateTempDir tmp;  // the reference player extracts its slides there
  const std::string d = tmp.Path();
  constexpr int kWidth = 640, kHeight = 360;
  double lowest_strip = 99, lowest_frame = 99;
  for (int32_t p : {0, 3, 5}) {
    SCOPED_TRACE(p);
    GalleryHeader h;
    h.interval = 1;
    h.background_color = 0x00403020;
    h.caption_position = p;
    h.font_name = "DejaVu Sans";
    h.font_size = 14;
    h.font_color = 0x000000C0;
    h.style = 51;
    const std::string show = d + "/show" + std::to_string(p), video = show + ".mp4";
    test::WriteFile(show, test::SimplePresentation(h, {{"a.bmp",
                                                        "Erste Folie: Gr\xfc\xdf"
                                                        "e",
                                                        test::SolidBmp(300, 200, 200, 90, 40)},
                                                       {"b.bmp", "Zweite Folie, rechts?",
                                                        test::SolidBmp(600, 340, 30, 160, 90)}}));
    ASSERT_EQ(Video("-o " + video + " --size 640x360 " + show).status, 0);
    // Transitions last 1.25 s, intervals 1 s: frame 60 holds the first slide, 86 is in the
    // second transition, 120 holds the second slide.
    ASSERT_TRUE(DecodeFrames(video, {60, 86, 120}, show + ".yuv"));

    test::MemoryWindow window;
    window.screen = TBitmap(kWidth, kHeight, PixelFormat::pf32bit);
    TfrmMain player(window);
    ASSERT_TRUE(player.FormCreate(show));
    player.Show();
    test::Bytes screens;
    for (int slide = 0; slide < 2; ++slide) {
      player.Timer1Timer();
      for (int y = 0; y < kHeight; ++y)
        screens.insert(screens.end(), window.screen.ScanLine(y),
                       window.screen.ScanLine(y) + 4 * kWidth);
    }
    test::WriteFile(show + ".raw", screens);
    ASSERT_EQ(Limited("ffmpeg -v error -f rawvideo -pix_fmt bgr0 -s 640x360 -i " + show +
                      ".raw -vf scale=out_color_matrix=bt709:out_range=tv,format=yuv420p " +
                      "-f rawvideo " + show + ".ref.yuv")
                  .status,
              0);
    const TRect strip = player.lblDesc.bounds;
    ASSERT_EQ(strip.Bottom - strip.Top, player.lblDesc.LineHeight());
    const test::Bytes decoded = test::ReadBytes(show + ".yuv");
    const test::Bytes reference = test::ReadBytes(show + ".ref.yuv");
    const struct { int frame, screen; } pairs[] = {{0, 0}, {1, 1}, {2, 1}};
    for (auto [frame, screen] : pairs) {
      const double in_strip =
          Psnr(decoded, frame, reference, screen, kWidth, kHeight, strip.Top, strip.Bottom);
      EXPECT_GE(in_strip, 40) << "strip of decoded frame " << frame;
      lowest_strip = std::min(lowest_strip, in_strip);
      if (frame == 1) continue;  // mid-transition: only the strip is known
      const double whole = Psnr(decoded, frame, reference, screen, kWidth, kHeight);
      EXPECT_GE(whole, 40) << "decoded frame " << frame;
      lowest_frame = std::min(lowest_frame, whole);
    }
  }
  std::printf("lowest PSNR: caption strip %.2f dB, whole held frame %.2f dB\n", lowest_strip,
              lowest_frame);
}

TEST_F(VideoFiles, ChromiumPlaysMp4AndWebmToTheirEnd) {
  ASSERT_EQ(test::Shell("command -v chromium").status, 0)
      << "the browser test needs Debian's chromium (scripts/install-deps.sh installs it)";
  fs::create_directories(QM_ARTIFACT_DIR);
  for (const char* name : {"play.mp4", "play.webm"}) {
    const std::string video = Dir() + "/" + name;
    ASSERT_EQ(Video("-o " + video + " --size 192x128 " + Dir() + "/show").status, 0);
    const test::PageRun run =
        test::RunPage("file://" QM_VIDEO_TEST_DIR "/play_video.html?src=file://" + video,
                      "window.finished", Dir() + "/profile-" + name, 640, 480, 60 * Scale());
    EXPECT_TRUE(run.ok) << run.value;
    EXPECT_EQ(run.value, "ended 192x128 4.50") << name;
    ASSERT_GT(run.screenshot.size(), 8u) << name;
    const std::string shot = std::string(QM_ARTIFACT_DIR) + "/video-" + name + ".png";
    test::WriteFile(shot, test::Bytes(run.screenshot.begin(), run.screenshot.end()));
    EXPECT_EQ(test::DecodePng(shot).Width(), 640);
  }
}

TEST(VideoRefusals, BadInputGetsAClearMessageAndLeavesNothingBehind) {
  const test::RefusalRow rows[] = {
      {"-o @/v.mp4 --size 95x64 @/a.png", "--size takes WxH with even sides"},
      {"-o @/v.avi @/a.png", "must end in .mp4, .webm or .mkv"},
      {"-o @/v.webm --codec h264 @/a.png", "a .webm video holds vp9 or av1"},
      {"-o @/v.mp4 --crf 52 @/a.png", "--crf takes 0..51 for h264"},
      {"-o @/v.mp4 --fps 0 @/a.png", "--fps takes 1..120"},
      {"-o @/v.mp4 --codec av1 --size 32x32 @/a.png", "av1 needs a size of at least 64x64"},
      {"--size 96x64 @/a.png", "no output file given"},
      {"-o @/link.mp4 @/a.png", "is also an input"},
      {"-o @/fifo.mp4 @/a.png", "is a named pipe"},
      {"-o @/v.mp4 @/a.png @/notes.txt", "notes.txt: not a picture"},
      {"-o @/v.mp4 @/notes.txt", "not a presentation"},
      {"-o @/v.mp4 --interval 0 @/a.png", "never leaves its first slide"},
      {"-o @/keep.mp4 --size 32x18 @/a.png @/broken.png", "broken.png: not a readable PNG"},
      {"-o @/keep.mp4 --size 32x18 @/damaged", "slide 2 (kaputt.png)"},
      {"-o @/v.mp4 --recursive @/damaged", "--recursive is for pictures"},
  };
  test::TempFolder folder;
  const std::string d = folder.Path();
  test::WriteRefusalInputs(d);
  test::WriteFile(d + "/notes.txt", {'h', 'i'});
  // A presentation whose second slide the decoder refuses: found while the video is written.
  GalleryHeader header;
  header.interval = 1;
  test::WriteFile(d + "/damaged",
                  test::SimplePresentation(header, {{"a.bmp", "", test::SolidBmp(8, 8)},
                                                    {"kaputt.png", "", {'n', 'o'}}}));
  test::WriteFile(d + "/keep.mp4", {'k', 'e', 'e', 'p'});
  ASSERT_EQ(::link((d + "/a.png").c_str(), (d + "/link.mp4").c_str()), 0);
  ASSERT_EQ(::mkfifo((d + "/fifo.mp4").c_str(), 0600), 0);
  const std::vector<std::string> before = Entries(d);
  for (const test::RefusalRow& r : rows) {
    const test::RunResult result = Video(test::InFolder(r.args, d));
    EXPECT_NE(result.status, 0) << r.args;
    EXPECT_NE(result.out.find(r.message), std::string::npos) << r.args << "\n" << result.out;
    EXPECT_EQ(Entries(d), before) << r.args;
  }
  EXPECT_EQ(test::ReadBytes(d + "/keep.mp4"), (test::Bytes{'k', 'e', 'e', 'p'}));
}

TEST(VideoInterrupted, EndsBySignalAndLeavesNothingBehind) {
  test::TempFolder folder;
  const std::string d = folder.Path();
  test::WriteTestPicture(d + "/a.png", 32, 18, 1);
  const std::string tool = std::string(QM_BIN_DIR) + "/quenmora", out = d + "/v.mp4",
                    in = d + "/a.png";
  // An hour of one slide: long enough to be interrupted while it writes.
  const char* argv[] = {tool.c_str(), "video",      "-o",   out.c_str(), "--size",
                        "32x18",      "--interval", "3600", in.c_str(),  nullptr};
  pid_t pid = 0;
  ASSERT_EQ(
      posix_spawn(&pid, tool.c_str(), nullptr, nullptr, const_cast<char* const*>(argv), environ),
      0);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(int(60 * Scale()));
  bool writing = false;
  while (!writing && std::chrono::steady_clock::now() < deadline) {
    for (const std::string& name : Entries(d)) writing = writing || name.rfind("v.mp4.", 0) == 0;
    if (!writing) ::usleep(20000);
  }
  EXPECT_TRUE(writing);
  ::kill(pid, SIGTERM);
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() < deadline)
    ::usleep(20000);
  if (std::chrono::steady_clock::now() >= deadline) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_EQ(Entries(d), std::vector<std::string>{"a.png"});
}

}  // namespace
}  // namespace qm
