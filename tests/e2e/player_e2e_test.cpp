// The player end to end, in a virtual X server: presentations packed here, screenshots
// compared with the pixels the layout and the sequencer call for, keys sent as a user would.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <sstream>

#include <gtest/gtest.h>

#include "imaging/slide_loader.h"
#include "payload/file_stream.h"
#include "payload/payload_writer.h"
#include "platform/exception.h"
#include "platform/stretch.h"
#include "player/text_renderer.h"
#include "tests/payload/show_builder.h"
#include "tests/support/shell.h"
#include "x_session.h"

namespace qm {
namespace {

using namespace std::chrono_literals;
using test::Bytes;

constexpr int kSW = 640, kSH = 480;
constexpr int kPicW = 200, kPicH = 100;
constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;
constexpr uint32_t kBackground = 0xFF404060;  // stored as 0x00604040
constexpr TColor kBackgroundStored = 0x00604040;

Bytes SolidBmp(uint32_t colour) {
  return test::SolidBmp(kPicW, kPicH, (colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
}

struct Slide {
  std::string name;
  Bytes data;
  std::string caption;  // UTF-8, ASCII here
};

constexpr uint32_t kBoxFace = 0xFFF0F0F0, kButtonFace = 0xFFE1E1E1;

// Whether `shot` shows `text` exactly, black on `background`, in the default sans-serif face
// at one of the sizes a box or caption takes; `centre` gets the middle of its ink.
bool ShowsText(const test::Shot& shot, const std::string& text, uint32_t background,
               TPoint* centre = nullptr) {
  for (int size = 11; size <= 20; ++size) {
    auto font = TextFont::Open({"sans-serif", size});
    if (!font) return false;
    const std::u32string line = Utf8ToUtf32(text);
    TBitmap ink(font->TextWidth(line) + 2, font->LineHeight(), PixelFormat::pf32bit);
    const TColor back =
        ((background & 0xFF) << 16) | (background & 0xFF00) | ((background >> 16) & 0xFF);
    FillRect(ink, Rect(0, 0, ink.Width(), ink.Height()), back);
    font->Draw(ink, 0, font->Ascent(), line, 0, Rect(0, 0, ink.Width(), ink.Height()));
    auto at = [&](int x, int y) {
      const uint8_t* p = ink.ScanLine(y) + 4 * x;
      return 0xFF000000u | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
    };
    // Only the box around the ink is compared: beside it the screen may show anything.
    TRect box = Rect(ink.Width(), ink.Height(), -1, -1);
    for (int y = 0; y < ink.Height(); ++y)
      for (int x = 0; x < ink.Width(); ++x)
        if (at(x, y) != background)
          box = Rect(std::min(box.Left, x), std::min(box.Top, y), std::max(box.Right, x + 1),
                     std::max(box.Bottom, y + 1));
    if (IsRectEmpty(box)) return false;
    const int w = box.Right - box.Left, h = box.Bottom - box.Top;
    for (int y = 0; y + h <= shot.Height(); ++y)
      for (int x = 0; x + w <= shot.Width(); ++x) {
        bool same = true;
        for (int v = 0; same && v < h; ++v)
          for (int u = 0; same && u < w; ++u)
            same = shot.Pixel(x + u, y + v) == at(box.Left + u, box.Top + v);
        if (!same) continue;
        if (centre != nullptr) *centre = {x + w / 2, y + h / 2};
        return true;
      }
  }
  return false;
}

// What a program wrote into a file, as text.
std::string Said(const std::string& path) {
  const Bytes said = test::ReadFile(path);
  return std::string(said.begin(), said.end());
}

class PlayerE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x_.Ok()) << "Xvfb did not start";
    char templ[] = "/tmp/qm-e2e-XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    dir_ = templ;
    std::filesystem::create_directories(dir_ + "/tmp");
    std::filesystem::create_directories(dir_ + "/tmp-runtime");
    chmod((dir_ + "/tmp-runtime").c_str(), 0700);
  }
  void TearDown() override {
    process_.reset();
    std::filesystem::remove_all(dir_);
  }

  // Packs `slides` with `header` into a presentation at `path`.
  void Pack(const std::string& path, GalleryHeader header, const std::vector<Slide>& slides) {
    std::vector<PackSlide> pack;
    for (const Slide& s : slides) {
      test::WriteFile(dir_ + "/" + s.name, s.data);
      pack.push_back({dir_ + "/" + s.name, s.name, s.caption});
    }
    FileStream out(path, FileStream::Mode::kCreate);
    WritePresentation(std::string(QM_BIN_DIR) + "/quenmora-player", header, pack, out);
  }
  // Packs a presentation and starts it, on the session `x` when one is given.
  void Start(GalleryHeader header, const std::vector<Slide>& slides,
             const test::XSession* x = nullptr, const test::ProcessOptions& options = {}) {
    Pack(dir_ + "/show", header, slides);
    StartFile(dir_ + "/show", x, options);
  }
  void StartFile(const std::string& path, const test::XSession* x = nullptr,
                 const test::ProcessOptions& options = {}) {
    chmod(path.c_str(), 0755);
    process_ = std::make_unique<test::Process>(x ? *x : x_, std::vector<std::string>{path},
                                               dir_ + "/tmp", options);
  }

  GalleryHeader Header(int32_t interval, int32_t loop, int32_t position = 3) {
    GalleryHeader h;
    h.interval = interval;
    h.loop = loop;
    h.background_color = kBackgroundStored;
    h.caption_position = position;
    h.font_name = "DejaVu Sans";
    h.font_size = 14;
    h.style = 0;
    return h;
  }

  // Waits until the screen's pixel at (x, y) has `colour`.
  bool WaitForPixel(int x, int y, uint32_t colour, std::chrono::milliseconds timeout = 30s,
                    const test::XSession* session = nullptr) {
    return test::WaitFor(
        [&] {
          const test::Shot shot = (session ? *session : x_).Screenshot();
          return !shot.IsNull() && shot.Pixel(x, y) == colour;
        },
        timeout);
  }

  // Whether the screen's pixel at (x, y) stops being `colour` within `watch`: a show that is
  // to stay on a slide is watched for longer than an interval of one second and a transition.
  bool LeavesPixel(int x, int y, uint32_t colour, std::chrono::milliseconds watch) {
    return test::WaitFor(
        [&] {
          const test::Shot shot = x_.Screenshot();
          return !shot.IsNull() && shot.Pixel(x, y) != colour;
        },
        watch);
  }

  test::XSession x_{kSW, kSH};
  std::string dir_;
  std::unique_ptr<test::Process> process_;
};

// Rows of the strip at the bottom (or top) edge, counted while column `x` shows `strip`.
int StripHeight(const test::Shot& shot, uint32_t strip, bool bottom, int x) {
  int h = 0;
  while (h < shot.Height() && shot.Pixel(x, bottom ? shot.Height() - 1 - h : h) == strip) ++h;
  return h;
}

// Horizontal extent of the pixels within rows [y0, y1) that are not `strip`.
std::pair<int, int> TextColumns(const test::Shot& shot, uint32_t strip, int y0, int y1) {
  int lo = shot.Width(), hi = -1;
  for (int y = y0; y < y1; ++y)
    for (int x = 0; x < shot.Width(); ++x)
      if (shot.Pixel(x, y) != strip) lo = std::min(lo, x), hi = std::max(hi, x);
  return {lo, hi};
}

TEST_F(PlayerE2E, ThreeSlidesShowInOrderCentredThenTheShowEnds) {
  Start(Header(1, 0, 7), {{"r.bmp", SolidBmp(kRed), "eins"},
                          {"g.bmp", SolidBmp(kGreen), "zwei"},
                          {"b.bmp", SolidBmp(kBlue), "drei"}});
  const int left = (kSW - kPicW) / 2, top = (kSH - kPicH) / 2;
  for (uint32_t colour : {kRed, kGreen, kBlue}) {
    // One screenshot for every check: a slide is on screen for about a second only.
    test::Shot shot;
    ASSERT_TRUE(test::WaitFor(
        [&] {
          shot = x_.Screenshot();
          return !shot.IsNull() && shot.Pixel(kSW / 2, kSH / 2) == colour &&
                 shot.Pixel(left, top) == colour &&
                 shot.Pixel(left + kPicW - 1, top + kPicH - 1) == colour;
        },
        30s))
        << std::hex << colour;
    EXPECT_EQ(shot.Pixel(left - 1, top), kBackground);
    EXPECT_EQ(shot.Pixel(left, top + kPicH), kBackground);
    EXPECT_EQ(shot.Pixel(2, 2), kBackground) << "no caption strip for position 7";
  }
  // The last slide stays one interval, then the program ends by itself.
  EXPECT_EQ(process_->WaitExit(20s), std::optional<int>(0));
}

TEST_F(PlayerE2E, LoopingShowWrapsAndEscapeEndsIt) {
  Start(Header(1, 1), {{"r.bmp", SolidBmp(kRed), ""}, {"g.bmp", SolidBmp(kGreen), ""}});
  for (uint32_t colour : {kRed, kGreen, kRed, kGreen})
    ASSERT_TRUE(WaitForPixel(kSW / 2, kSH / 2, colour)) << std::hex << colour;
  ASSERT_TRUE(x_.KeyTo("Quenmora", "Escape"));
  EXPECT_EQ(process_->WaitExit(1s), std::optional<int>(0));
}

TEST_F(PlayerE2E, IntervalZeroKeepsTheFirstSlide) {
  Start(Header(0, 1), {{"r.bmp", SolidBmp(kRed), ""}, {"g.bmp", SolidBmp(kGreen), ""}});
  ASSERT_TRUE(WaitForPixel(kSW / 2, kSH / 2, kRed));
  EXPECT_FALSE(LeavesPixel(kSW / 2, kSH / 2, kRed, 2500ms)) << "interval 0 never advances";
  ASSERT_TRUE(x_.KeyTo("Quenmora", "shift+Escape"));
  EXPECT_EQ(process_->WaitExit(2s), std::optional<int>(0));
}

// Caption strips: edge, alignment, one visible line, and the picture area beside them.
TEST_F(PlayerE2E, CaptionPositionsLayTheStripAndPictureArea) {
  struct Case {
    int32_t position;
    bool bottom;
    const char* align;
  } cases[] = {{1, true, "left"}, {3, true, "centre"}, {0, false, "left"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.position);
    // A caption long enough to wrap: only one line of it may show.
    std::string caption = "Mmm";
    if (c.position == 3) caption = std::string(30, 'M') + " " + std::string(30, 'M');
    Start(Header(0, 0, c.position), {{"r.bmp", SolidBmp(kRed), caption}});
    // The picture shows, and the caption strip with it.
    test::Shot shot;
    ASSERT_TRUE(test::WaitFor(
        [&] {
          shot = x_.Screenshot();
          return !shot.IsNull() && ((shot.Pixel(kSW / 2, kSH / 2) >> 16) & 0xFF) > 200 &&
                 StripHeight(shot, 0xFFFFFFFF, c.bottom, kSW - 1) > 10;
        },
        30s));
    const int h = StripHeight(shot, 0xFFFFFFFF, c.bottom, kSW - 1);
    EXPECT_GT(h, 10);
    EXPECT_LT(h, 40) << "one line only";
    // Picture area: bottom strip (0, 0, SW, SH - h); top strip (0, h, SW, SH).
    const int area_top = c.bottom ? 0 : h;
    const int area_height = c.bottom ? kSH - h : kSH;
    const int top = area_top + (area_height - kPicH) / 2;
    EXPECT_EQ(shot.Pixel(kSW / 2, top), kRed);
    EXPECT_NE(shot.Pixel(kSW / 2, top - 1), kRed);
    EXPECT_EQ(shot.Pixel(kSW / 2, top + kPicH - 1), kRed);
    EXPECT_NE(shot.Pixel(kSW / 2, top + kPicH), kRed);
    const int y0 = c.bottom ? kSH - h : 0;
    const auto [lo, hi] = TextColumns(shot, 0xFFFFFFFF, y0, y0 + h);
    ASSERT_GE(hi, lo) << "caption text visible";
    if (std::string(c.align) == "left") {
      EXPECT_LT(lo, 10);
    } else {
      EXPECT_NEAR((lo + hi) / 2, kSW / 2, 12);
    }
    ASSERT_TRUE(x_.KeyTo("Quenmora", "Escape"));
    EXPECT_EQ(process_->WaitExit(3s), std::optional<int>(0));
  }
}

TEST_F(PlayerE2E, WhiteCaptionTextGetsABlackStrip) {
  GalleryHeader h = Header(0, 0, 3);
  h.font_color = 0x00FFFFFF;
  Start(h, {{"g.bmp", SolidBmp(kGreen), "Weiss auf Schwarz"}});
  ASSERT_TRUE(WaitForPixel(kSW / 2, kSH / 2, kGreen));
  const test::Shot shot = x_.Screenshot();
  EXPECT_EQ(shot.Pixel(2, kSH - 2), 0xFF000000);
  const int strip_h = StripHeight(shot, 0xFF000000, true, 2);
  bool white = false;
  for (int x = 0; x < kSW; ++x)
    for (int y = kSH - strip_h; y < kSH; ++y) white |= shot.Pixel(x, y) == 0xFFFFFFFF;
  EXPECT_TRUE(white);
  ASSERT_TRUE(x_.KeyTo("Quenmora", "Escape"));
  EXPECT_EQ(process_->WaitExit(3s), std::optional<int>(0));
}

TEST_F(PlayerE2E, DamagedSlideInTheMiddleShowsTheErrorBoxAndHalts) {
  Start(Header(1, 0), {{"r.bmp", SolidBmp(kRed), "eins"},
                       {"kaputt.png", Bytes{'n', 'o', ' ', 'p', 'n', 'g'}, "zwei"},
                       {"b.bmp", SolidBmp(kBlue), "drei"}});
  ASSERT_TRUE(WaitForPixel(kSW / 2, kSH / 2, kRed));
  ASSERT_TRUE(x_.KeyTo("Quenmora Player", "Return"));
  ASSERT_TRUE(test::WaitFor([&] { return !x_.WindowExists("Quenmora Player"); }, 5s));
  EXPECT_FALSE(LeavesPixel(kSW / 2, kSH / 2, kRed, 2500ms)) << "the show halts";
  EXPECT_TRUE(process_->Running());
  ASSERT_TRUE(x_.KeyTo("Quenmora", "Escape"));
  EXPECT_EQ(process_->WaitExit(3s), std::optional<int>(0));
}

// The fatal-error box: its exact text on screen (the screenshot is kept), and a click on OK
// ends the player.
TEST_F(PlayerE2E, DamagedFirstSlideShowsTheFatalBoxWithItsTextAndEndsOnOk) {
  const Bytes damaged(100, 0x11);
  test::WriteFile(dir_ + "/expected.jpg", damaged);
  std::string message, class_name;
  try {
    LoadSlidePicture(dir_ + "/expected.jpg");
  } catch (const Exception& e) {
    message = e.what();
    class_name = e.ClassName();
  }
  ASSERT_FALSE(message.empty());
  Start(Header(1, 0), {{"kaputt.jpg", damaged, ""}});
  ASSERT_TRUE(x_.WaitForWindow("Anwendungsfehler"));
  // Line one names the class and the module (the address varies), line two is the message.
  const std::string first = "Exception " + class_name + " in Modul show bei ";
  TPoint ok{};
  ASSERT_TRUE(test::WaitFor(
      [&] {
        const test::Shot shot = x_.Screenshot();
        return ShowsText(shot, first, kBoxFace) && ShowsText(shot, message, kBoxFace) &&
               ShowsText(shot, "OK", kButtonFace, &ok);
      },
      30s))
      << first << " / " << message;
  x_.SaveScreenshot(std::string(QM_ARTIFACT_DIR) + "/fatal-error-box.png");
  ASSERT_TRUE(x_.ClickAt(ok.X, ok.Y));
  EXPECT_EQ(process_->WaitExit(5s), std::optional<int>(1));
}

TEST_F(PlayerE2E, DamagedPayloadShowsTheStartupErrorAndNoSlide) {
  test::WriteFile(dir_ + "/bare", test::ReadFile(std::string(QM_BIN_DIR) + "/quenmora-player"));
  StartFile(dir_ + "/bare");
  ASSERT_TRUE(x_.KeyTo("Fehler", "Return"));
  EXPECT_EQ(process_->WaitExit(5s), std::optional<int>(0));
  // The two temporary copies are gone with the program.
  EXPECT_TRUE(std::filesystem::is_empty(dir_ + "/tmp"));
}

// While the show runs the temporary directory holds the two copies and two files per slide;
// however the show ends, the program takes exactly these away and leaves everything else.
TEST_F(PlayerE2E, EveryEndOfTheShowRemovesTheRunsFilesAndNothingElse) {
  struct Case {
    const char* name;
    int32_t loop;
    std::function<void()> end;
    int exit_code;
  } cases[] = {
      {"last slide", 0, [] {}, 0},
      {"Escape", 1, [&] { ASSERT_TRUE(x_.KeyTo("Quenmora", "Escape")); }, 0},
      {"window closed", 1, [&] { ASSERT_TRUE(x_.CloseWindow("Quenmora")); }, 0},
      {"SIGINT", 1, [&] { process_->Signal(SIGINT); }, 128 + SIGINT},
      {"SIGTERM", 1, [&] { process_->Signal(SIGTERM); }, 128 + SIGTERM},
      {"SIGHUP", 1, [&] { process_->Signal(SIGHUP); }, 128 + SIGHUP},
  };
  const std::string tmp = dir_ + "/tmp";
  const auto entries = [&] {
    return std::distance(std::filesystem::directory_iterator(tmp),
                         std::filesystem::directory_iterator());
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Someone else's file, named as the player names its own.
    test::WriteFile(tmp + "/~tm1.tmp", {1});
    Start(Header(1, c.loop), {{"r.bmp", SolidBmp(kRed), ""}, {"g.bmp", SolidBmp(kGreen), ""}});
    ASSERT_TRUE(WaitForPixel(kSW / 2, kSH / 2, kRed));
    EXPECT_EQ(entries(), 1 + 2 + 2 * 2);
    c.end();
    EXPECT_EQ(process_->WaitExit(10s), std::optional<int>(c.exit_code));
    EXPECT_EQ(entries(), 1);
    EXPECT_TRUE(std::filesystem::exists(tmp + "/~tm1.tmp"));
  }
}

// Without XDG_RUNTIME_DIR the framework picks a runtime folder of its own, and for a temporary
// directory it cannot use that was /runtime-<user>: outside any temporary directory.
TEST_F(PlayerE2E, WithoutARuntimeFolderNothingIsWrittenOutsideTheTemporaryDirectory) {
  auto runtime_folders_at_the_root = [] {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator("/"))
      if (e.path().filename().string().rfind("runtime-", 0) == 0) names.push_back(e.path());
    return names;
  };
  const std::vector<std::string> before = runtime_folders_at_the_root();
  test::WriteFile(dir_ + "/bare", test::ReadFile(std::string(QM_BIN_DIR) + "/quenmora-player"));
  chmod((dir_ + "/bare").c_str(), 0755);
  process_ =
      std::make_unique<test::Process>(x_, std::vector<std::string>{dir_ + "/bare"},
                                      dir_ + "/missing", test::ProcessOptions{false, {}, ""});
  ASSERT_TRUE(x_.KeyTo("Fehler", "Return"));
  EXPECT_EQ(process_->WaitExit(5s), std::optional<int>(0));
  EXPECT_EQ(runtime_folders_at_the_root(), before);
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/missing"));
}

TEST_F(PlayerE2E, EmptyGalleryEndsAtOnce) {
  Start(Header(5, 0), {});
  EXPECT_EQ(process_->WaitExit(5s), std::optional<int>(0));
}

// Screens of 16 bits and a server without shared memory are drawn on; on an 8-bit screen the
// player says why it cannot show anything and ends with exit code 1.
TEST_F(PlayerE2E, ScreensOfEveryKindAreDrawnOnOrRefusedWithAReason) {
  struct Row {
    int depth;
    std::vector<std::string> server_args;
    bool drawn;
  } rows[] = {{16, {}, true}, {24, {"-extension", "MIT-SHM"}, true}, {8, {}, false}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.depth);
    test::XSession x(kSW, kSH, {r.depth, false, r.server_args});
    ASSERT_TRUE(x.Ok());
    const std::string errors = dir_ + "/stderr";
    Start(Header(0, 0, 7), {{"r.bmp", SolidBmp(kRed), ""}}, &x, {true, {}, errors});
    if (r.drawn) {
      EXPECT_TRUE(WaitForPixel(kSW / 2, kSH / 2, kRed, 30s, &x));
      const test::Shot shot = x.Screenshot();
      EXPECT_EQ(shot.Pixel((kSW - kPicW) / 2, (kSH - kPicH) / 2), kRed);
      EXPECT_NE(shot.Pixel((kSW - kPicW) / 2 - 1, (kSH - kPicH) / 2), kRed);
      ASSERT_TRUE(x.KeyTo("Quenmora", "Escape"));
      EXPECT_EQ(process_->WaitExit(5s), std::optional<int>(0));
    } else {
      EXPECT_EQ(process_->WaitExit(10s), std::optional<int>(1));
      EXPECT_NE(Said(errors).find("(8 Bit"), std::string::npos);
    }
  }
}

// Under an EWMH window manager the window covers the screen without a frame and takes the
// keyboard focus itself: a key sent to whatever window has the focus reaches it.
TEST_F(PlayerE2E, UnderAWindowManagerTheShowTakesTheFocusAndEscapeEndsIt) {
  test::XSession x(kSW, kSH, {24, true, {}});
  ASSERT_TRUE(x.Ok()) << "openbox did not start";
  Start(Header(0, 1, 7), {{"r.bmp", SolidBmp(kRed), ""}}, &x, {true, {}, dir_ + "/stderr"});
  ASSERT_TRUE(WaitForPixel(kSW / 2, kSH / 2, kRed, 30s, &x))
      << "running: " << process_->Running() << ", said: " << Said(dir_ + "/stderr");
  const test::Shot shot = x.Screenshot();
  EXPECT_EQ(shot.Pixel((kSW - kPicW) / 2, (kSH - kPicH) / 2), kRed) << "centred on the screen";
  EXPECT_EQ(shot.Pixel(0, 0), kBackground) << "no frame";
  EXPECT_EQ(shot.Pixel(kSW - 1, kSH - 1), kBackground);
  ASSERT_TRUE(x.Key("Escape"));
  EXPECT_EQ(process_->WaitExit(5s), std::optional<int>(0));
}

// The window manager's close request ends the show like Escape; a display that goes away ends
// it too, by the player's own hand (exit code 1, no crash).
TEST_F(PlayerE2E, CloseRequestAndLostDisplayEndTheShow) {
  Start(Header(0, 1, 7), {{"r.bmp", SolidBmp(kRed), ""}});
  ASSERT_TRUE(WaitForPixel(kSW / 2, kSH / 2, kRed));
  ASSERT_TRUE(x_.CloseWindow("Quenmora"));
  EXPECT_EQ(process_->WaitExit(5s), std::optional<int>(0));

  test::XSession x(kSW, kSH);
  Start(Header(0, 1, 7), {{"r.bmp", SolidBmp(kRed), ""}}, &x);
  ASSERT_TRUE(WaitForPixel(kSW / 2, kSH / 2, kRed, 30s, &x));
  x.KillServer();
  EXPECT_EQ(process_->WaitExit(5s), std::optional<int>(1));
}

// Without any font the show still runs: the strip is there, without text.
TEST_F(PlayerE2E, WithoutAnyFontTheShowRunsWithoutCaptionText) {
  const std::string config = "<?xml version=\"1.0\"?><fontconfig></fontconfig>";
  test::WriteFile(dir_ + "/fonts.conf", Bytes(config.begin(), config.end()));
  Start(Header(0, 0, 3), {{"r.bmp", SolidBmp(kRed), "Mmm Mmm"}}, nullptr,
        {true, {"FONTCONFIG_FILE=" + dir_ + "/fonts.conf", "FONTCONFIG_PATH=" + dir_}, ""});
  test::Shot shot;
  ASSERT_TRUE(test::WaitFor(
      [&] {
        shot = x_.Screenshot();
        return !shot.IsNull() && shot.Pixel(kSW / 2, kSH / 2 - 20) == kRed &&
               StripHeight(shot, 0xFFFFFFFF, true, kSW / 2) > 5;
      },
      30s));
  const int h = StripHeight(shot, 0xFFFFFFFF, true, kSW / 2);
  const auto [lo, hi] = TextColumns(shot, 0xFFFFFFFF, kSH - h, kSH);
  EXPECT_LT(hi, lo) << "no text";
  ASSERT_TRUE(x_.KeyTo("Quenmora", "Escape"));
  EXPECT_EQ(process_->WaitExit(5s), std::optional<int>(0));
}

// A root holding nothing but a presentation, the libraries ldd names for it, the fontconfig
// configuration and one font: as an unprivileged user, through the X server's socket, the
// first slide and its caption appear and Escape ends the show.
TEST_F(PlayerE2E, MinimalRootHoldsOnlyThePlayerItsLibrariesAndOneFont) {
#ifdef QM_SANITIZED
  GTEST_SKIP() << "the root holds the player as shipped, not one built with sanitizers";
#endif
  if (test::Shell("chroot --userspec=65534:65534 / true").status != 0)
    GTEST_SKIP() << "chroot is not permitted here (it needs root or CAP_SYS_CHROOT)";
  const std::string root = dir_ + "/root";
  std::filesystem::create_directories(root + "/tmp");
  std::filesystem::permissions(root + "/tmp",
                               std::filesystem::perms::all | std::filesystem::perms::sticky_bit);
  Pack(root + "/show", Header(0, 0, 3), {{"r.bmp", SolidBmp(kRed), "Mmm"}});
  chmod((root + "/show").c_str(), 0755);
  // Every library at the path the loader looks for it, links resolved.
  const test::RunResult libs = test::Shell("ldd " + root + "/show");
  ASSERT_EQ(libs.status, 0) << libs.out;
  std::istringstream lines(libs.out);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t slash = line.find('/');
    if (slash == std::string::npos) continue;
    const std::string path = line.substr(slash, line.find(' ', slash) - slash);
    std::filesystem::create_directories(root + std::filesystem::path(path).parent_path().string());
    std::filesystem::copy_file(std::filesystem::canonical(path), root + path);
  }
  std::filesystem::create_directories(root + "/etc");
  std::filesystem::copy(
      "/etc/fonts", root + "/etc/fonts",
      std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks);
  const test::RunResult font = test::Shell("fc-match -f '%{file}' 'DejaVu Sans'");
  ASSERT_EQ(font.status, 0);
  std::filesystem::create_directories(root + "/usr/share/fonts");
  std::filesystem::copy_file(font.out, root + "/usr/share/fonts/font.ttf");

  process_ = std::make_unique<test::Process>(
      x_, std::vector<std::string>{"chroot", "--userspec=65534:65534", root, "/show"}, "/tmp",
      test::ProcessOptions{false, {"HOME=/"}, ""});
  test::Shot shot;
  ASSERT_TRUE(test::WaitFor(
      [&] {
        shot = x_.Screenshot();
        return !shot.IsNull() && shot.Pixel(kSW / 2, (kSH - 20) / 2) == kRed &&
               StripHeight(shot, 0xFFFFFFFF, true, kSW - 1) > 10;
      },
      30s));
  const int h = StripHeight(shot, 0xFFFFFFFF, true, kSW - 1);
  const int top = (kSH - h - kPicH) / 2, left = (kSW - kPicW) / 2;
  EXPECT_EQ(shot.Pixel(left, top), kRed);
  EXPECT_EQ(shot.Pixel(left - 1, top), kBackground);
  EXPECT_EQ(shot.Pixel(left + kPicW - 1, top + kPicH - 1), kRed);
  const auto [lo, hi] = TextColumns(shot, 0xFFFFFFFF, kSH - h, kSH);
  EXPECT_NEAR((lo + hi) / 2, kSW / 2, 12) << "the caption, centred, in the root's one font";
  ASSERT_TRUE(x_.KeyTo("Quenmora", "Escape"));
  EXPECT_EQ(process_->WaitExit(5s), std::optional<int>(0));
}

}  // namespace
}  // namespace qm
