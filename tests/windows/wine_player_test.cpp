// The Windows player end to end under Wine, in a virtual X server: presentations packed by the
// tool with --target windows, screenshots compared with the pixels the layout calls for, keys
// and boxes as a user meets them. One server and one Wine prefix (made by the fixture test
// before these) serve every case; Wine's processes end with the suite.
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "payload/file_stream.h"
#include "payload/payload_writer.h"
#include "tests/payload/show_builder.h"
#include "tests/support/bmp_files.h"
#include "tests/support/shell.h"
#include "tests/support/test_files.h"
#include "x_session.h"

namespace qm {
namespace {

using namespace std::chrono_literals;
using test::Bytes;

constexpr int kSW = 640, kSH = 480;
constexpr int kPicW = 200, kPicH = 100;
constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kWhite = 0xFFFFFFFF;
constexpr uint32_t kBackground = 0xFF404060;
constexpr char kPrefix[] = QM_WINE_PREFIX;

// Wine's programs run in this run's prefix, quietly.
test::ProcessOptions WineOptions() {
  test::ProcessOptions options;
  options.runtime_folder = false;
  options.env = {"WINEPREFIX=" + std::string(kPrefix), "WINEDEBUG=-all"};
  return options;
}

Bytes SolidBmp(uint32_t colour) {
  return test::SolidBmp(kPicW, kPicH, (colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
}

// Rows of the strip at the bottom (or top) edge, counted while column `x` shows `strip`.
int StripHeight(const test::Shot& shot, uint32_t strip, bool bottom, int x) {
  int h = 0;
  while (h < shot.Height() && shot.Pixel(x, bottom ? shot.Height() - 1 - h : h) == strip) ++h;
  return h;
}

// The player's temporary files anywhere in the prefix's user folders (where GetTempPathW points).
std::set<std::string> PlayerTempFiles() {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::recursive_directory_iterator(
           std::string(kPrefix) + "/drive_c/users",
           std::filesystem::directory_options::skip_permission_denied))
    if (e.path().filename().string().rfind("~tm", 0) == 0) names.insert(e.path().string());
  return names;
}

class WinePlayer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { x_ = new test::XSession(kSW, kSH); }
  static void TearDownTestSuite() {
    // The Wine server and its desktop process belong to this server: both end with it.
    test::Shell("WINEPREFIX=" + std::string(kPrefix) + " timeout 30 wineserver -k");
    delete x_;
    x_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(x_->Ok()) << "Xvfb did not start";
    ASSERT_TRUE(std::filesystem::exists(std::string(kPrefix) + "/system.reg"))
        << "no Wine prefix at " << kPrefix;
  }
  void TearDown() override { process_.reset(); }

  // Packs the pictures with the tool, as a user makes a show for Windows.
  void Pack(const std::string& options, const std::vector<std::pair<std::string, Bytes>>& pics) {
    std::string args = " pack --target windows -o " + dir_.Path() + "/show.exe " + options;
    for (const auto& [name, data] : pics) {
      test::WriteFile(dir_.Path() + "/" + name, data);
      args += " " + dir_.Path() + "/" + name;
    }
    const test::RunResult r = test::Shell(std::string(QM_BIN_DIR) + "/quenmora" + args);
    ASSERT_EQ(r.status, 0) << r.out;
  }
  void Run(const std::string& program) {
    temp_files_before_ = PlayerTempFiles();
    process_ = std::make_unique<test::Process>(*x_, std::vector<std::string>{"wine", program},
                                               dir_.Path(), WineOptions());
  }
  bool WaitForPixel(int x, int y, uint32_t colour, std::chrono::milliseconds timeout = 30s) {
    return test::WaitFor(
        [&] {
          const test::Shot shot = x_->Screenshot();
          return !shot.IsNull() && shot.Pixel(x, y) == colour;
        },
        timeout);
  }
  // Ends the show with Escape: exit code 0, and the run's temporary files are gone.
  bool Escape() {
    if (!x_->KeyTo("Quenmora", "Escape") || process_->WaitExit(10s) != std::optional<int>(0))
      return false;
    EXPECT_EQ(PlayerTempFiles(), temp_files_before_);
    return true;
  }

  static test::XSession* x_;
  test::PrivateTempDir dir_;
  std::unique_ptr<test::Process> process_;
  std::set<std::string> temp_files_before_;  // the player's files in the prefix before the run
};

test::XSession* WinePlayer::x_ = nullptr;

constexpr char kCommon[] = "--interval 0 --background '#404060' --font Tahoma --style 0 ";

// The first slide exactly where the layout puts it, for a strip at the bottom, at the top and
// for none; Escape ends the show with exit code 0.
TEST_F(WinePlayer, FirstSlideAndStripInEachPositionClassThenEscape) {
  struct Case {
    const char* position;
    int strip;  // 1 bottom, -1 top, 0 none
  } cases[] = {{"bottom-centre", 1}, {"top-left", -1}, {"none", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.position);
    Pack(kCommon + std::string("--caption-position ") + c.position, {{"r.bmp", SolidBmp(kRed)}});
    Run(dir_.Path() + "/show.exe");
    ASSERT_TRUE(WaitForPixel(kSW / 2, kSH / 2 - (c.strip == 0 ? 0 : 20), kRed));
    const test::Shot shot = x_->Screenshot();
    const int h = c.strip == 0 ? 0 : StripHeight(shot, kWhite, c.strip > 0, kSW - 1);
    if (c.strip != 0) {
      EXPECT_GT(h, 10);
      EXPECT_LT(h, 40);
    } else {
      EXPECT_EQ(shot.Pixel(kSW - 1, kSH - 1), kBackground);
      EXPECT_EQ(shot.Pixel(0, 0), kBackground);
    }
    // Picture area: (0, 0, SW, SH - h) below a bottom strip, (0, h, SW, SH) under a top one.
    const int area_top = c.strip < 0 ? h : 0, area_height = c.strip > 0 ? kSH - h : kSH;
    const int left = (kSW - kPicW) / 2, top = area_top + (area_height - kPicH) / 2;
    for (int y = top - 1; y <= top + kPicH; ++y)
      for (int x = left - 1; x <= left + kPicW; ++x) {
        const bool inside = x >= left && x < left + kPicW && y >= top && y < top + kPicH;
        ASSERT_EQ(shot.Pixel(x, y), inside ? kRed : kBackground) << x << "," << y;
      }
    ASSERT_TRUE(Escape());
  }
}

// In a folder whose name Windows' ANSI code page may not hold, as users' folders often are.
TEST_F(WinePlayer, LoopedShowWrapsFromAFolderWithAUnicodeName) {
  Pack("--interval 1 --loop --style 0 --caption-position none",
       {{"r.bmp", SolidBmp(kRed)}, {"g.bmp", SolidBmp(kGreen)}});
  const std::string folder = dir_.Path() + "/Grüße Ωμέγα";
  std::filesystem::create_directory(folder);
  std::filesystem::rename(dir_.Path() + "/show.exe", folder + "/show.exe");
  Run(folder + "/show.exe");
  for (uint32_t colour : {kRed, kGreen, kRed, kGreen})
    ASSERT_TRUE(WaitForPixel(kSW / 2, kSH / 2, colour)) << std::hex << colour;
  ASSERT_TRUE(Escape());
}

// A presentation whose payload is damaged: the start-up box, found by its title, closed with
// Return, and the program ends with 0 without a slide and without the copies it made.
TEST_F(WinePlayer, DamagedPayloadShowsTheStartupBox) {
  Bytes show = test::ReadFile(std::string(QM_BIN_DIR) + "/quenmora-player.exe");
  const Bytes junk = test::Pattern(500, 7);
  const auto start = static_cast<uint32_t>(show.size());
  show.insert(show.end(), junk.begin(), junk.end());
  for (int k = 0; k < 4; ++k) show.push_back(static_cast<uint8_t>(start >> (8 * k)));
  test::WriteFile(dir_.Path() + "/kaputt.exe", show);
  Run(dir_.Path() + "/kaputt.exe");
  ASSERT_TRUE(x_->KeyTo("Fehler", "Return"));
  EXPECT_EQ(process_->WaitExit(10s), std::optional<int>(0));
  EXPECT_FALSE(x_->WindowExists("Quenmora"));
  EXPECT_EQ(PlayerTempFiles(), temp_files_before_);
}

// A damaged slide in the middle: the decoder's box titled with the application's title; after
// it the show halts on the previous slide until Escape.
TEST_F(WinePlayer, DamagedSlideShowsTheDecoderBoxAndHalts) {
  // Written here rather than by the tool, which refuses a picture it cannot read.
  test::WriteFile(dir_.Path() + "/r.bmp", SolidBmp(kRed));
  test::WriteFile(dir_.Path() + "/kaputt.png", Bytes{'n', 'o', ' ', 'p', 'n', 'g'});
  GalleryHeader header;
  header.interval = 1;
  header.caption_position = 7;
  header.font_size = 14;
  {
    FileStream out(dir_.Path() + "/show.exe", FileStream::Mode::kCreate);
    WritePresentation(
        std::string(QM_BIN_DIR) + "/quenmora-player.exe", header,
        {{dir_.Path() + "/r.bmp", "r.bmp", ""}, {dir_.Path() + "/kaputt.png", "kaputt.png", ""}},
        out);
  }
  Run(dir_.Path() + "/show.exe");
  ASSERT_TRUE(WaitForPixel(kSW / 2, kSH / 2, kRed));
  ASSERT_TRUE(x_->KeyTo("Quenmora Player", "Return"));
  ASSERT_TRUE(test::WaitFor([&] { return !x_->WindowExists("Quenmora Player"); }, 10s));
  // The box's place is painted again with the previous slide, where the show halts.
  EXPECT_TRUE(WaitForPixel(kSW / 2, kSH / 2, kRed)) << "the show halts";
  ASSERT_TRUE(Escape());
}

// While the show runs, its copies and slide files are in the temporary folder; whether it ends
// by its last slide, by closing its window or with the user's session (by Escape: every other
// case), they are gone and nothing else is.
TEST_F(WinePlayer, EveryEndOfTheShowRemovesTheTemporaryFiles) {
  struct Case {
    const char* name;
    const char* loop;
    std::function<void()> end;
  } cases[] = {
      {"last slide", "", [] {}},
      {"window closed", "--loop", [&] { ASSERT_TRUE(x_->CloseWindow("Quenmora")); }},
      // Windows ends the process once its windows have taken the end of the session.
      {"log-off", "--loop",
       [] {
         const int limit = static_cast<int>(30 * test::TimeoutScale());
         EXPECT_EQ(test::Shell("WINEPREFIX=" + std::string(kPrefix) + " WINEDEBUG=-all timeout " +
                               std::to_string(limit) + " wine wineboot --end-session")
                       .status,
                   0);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Pack(std::string("--interval 1 --style 0 --caption-position none ") + c.loop,
         {{"r.bmp", SolidBmp(kRed)}, {"g.bmp", SolidBmp(kGreen)}});
    Run(dir_.Path() + "/show.exe");
    ASSERT_TRUE(WaitForPixel(kSW / 2, kSH / 2, kRed));
    EXPECT_EQ(PlayerTempFiles().size(), temp_files_before_.size() + 2 + 2 * 2);
    c.end();
    EXPECT_EQ(process_->WaitExit(20s), std::optional<int>(0));
    EXPECT_EQ(PlayerTempFiles(), temp_files_before_);
  }
}

// GDI answers an unknown family with another face without a word; the caption font falls back
// to the system's dialog face then, and takes the family asked for when it is there.
TEST_F(WinePlayer, CaptionFaceIsTheFamilyAskedForElseTheDialogFace) {
  const std::string out = dir_.Path() + "/faces.txt";
  process_ = std::make_unique<test::Process>(
      *x_,
      std::vector<std::string>{"wine", std::string(QM_WINDOWS_HELPER_DIR) + "/font_faces.exe",
                               "Z:" + out, "Tahoma", "MS Sans Serif", "No Such Face"},
      dir_.Path(), WineOptions());
  ASSERT_EQ(process_->WaitExit(30s), std::optional<int>(0));
  const Bytes said = test::ReadFile(out);
  EXPECT_EQ(std::string(said.begin(), said.end()),
            "Tahoma -> Tahoma\nMS Sans Serif -> MS Sans Serif\nNo Such Face -> Tahoma\n");
}

}  // namespace
}  // namespace qm
