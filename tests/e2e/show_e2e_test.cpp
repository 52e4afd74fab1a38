// `quenmora show` end to end in a virtual X server: pictures and a presentation played without
// packing, keys sent as a user sends them, screenshots against the pixels each behaviour
// calls for.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "payload/file_stream.h"
#include "payload/payload_writer.h"
#include "photo_files.h"
#include "photos/geometry.h"
#include "tests/support/bmp_files.h"
#include "tests/support/test_files.h"
#include "x_session.h"

namespace qm {
namespace {

using namespace std::chrono_literals;

constexpr int kSW = 640, kSH = 480;
constexpr int kPicW = 200, kPicH = 100;
constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;
constexpr uint32_t kBlack = 0xFF000000;

test::Bytes Solid(uint32_t colour) {
  return test::SolidBmp(kPicW, kPicH, (colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
}

bool Near(uint32_t a, uint32_t b, int tolerance) {
  for (int shift : {0, 8, 16})
    if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) >
        tolerance)
      return false;
  return true;
}

class ShowE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x_.Ok()) << "Xvfb did not start";
    char templ[] = "/tmp/qm-show-XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    dir_ = templ;
    std::filesystem::create_directories(dir_ + "/tmp");
    std::filesystem::create_directories(dir_ + "/pictures");
  }
  void TearDown() override {
    process_.reset();
    std::filesystem::remove_all(dir_);
  }

  void Show(std::vector<std::string> args) {
    args.insert(args.begin(), {std::string(QM_BIN_DIR) + "/quenmora", "show"});
    test::ProcessOptions options;
    options.stderr_path = dir_ + "/said";
    process_ = std::make_unique<test::Process>(x_, args, dir_ + "/tmp", options);
  }
  std::string Said() const {
    const test::Bytes said = test::ReadFile(dir_ + "/said");
    return std::string(said.begin(), said.end());
  }

  bool CentreShows(uint32_t colour) {
    return test::WaitFor([&] { return x_.Screenshot().Pixel(kSW / 2, kSH / 2) == colour; }, 30s);
  }
  // Whether the screen holds `colour` at its centre for the whole of `span`.
  bool CentreHolds(uint32_t colour, std::chrono::milliseconds span) {
    return !test::WaitFor([&] { return x_.Screenshot().Pixel(kSW / 2, kSH / 2) != colour; }, span);
  }

  test::XSession x_{kSW, kSH};
  std::string dir_;
  std::unique_ptr<test::Process> process_;
};

// A folder plays in natural name order, a picture that cannot be read is skipped with a line,
// and the keys move through it: Right brings the next picture with its transition, Left the
// previous one, Home the first; Right past the last picture ends a show that does not loop.
TEST_F(ShowE2E, KeysMoveThroughAFolderInNaturalOrder) {
  const std::string pictures = dir_ + "/pictures/";
  test::WriteFile(pictures + "IMG_10.bmp", Solid(kBlue));
  test::WriteFile(pictures + "IMG_2.bmp", Solid(kGreen));
  test::WriteFile(pictures + "IMG_1.bmp", Solid(kRed));
  test::WriteFile(pictures + "IMG_3.jpg", {0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 1, 2});
  // A long interval: only the keys move the show.
  Show({"--interval", "600", "--style", "1", "--caption-position", "none", pictures});
  ASSERT_TRUE(CentreShows(kRed));

  ASSERT_TRUE(x_.KeyTo("Quenmora", "Right"));
  const int left = (kSW - kPicW) / 2, top = (kSH - kPicH) / 2;
  // Mid-transition: the new picture over part of its area, the bare background over the rest.
  test::Shot shot;
  ASSERT_TRUE(test::WaitFor(
      [&] {
        shot = x_.Screenshot();
        int green = 0, background = 0;
        for (int x = left; x < left + kPicW; ++x) {
          green += shot.Pixel(x, top + kPicH / 2) == kGreen;
          background += shot.Pixel(x, top + kPicH / 2) == kBlack;
        }
        return green > 0 && background > 0 && green + background == kPicW;
      },
      30s));
  ASSERT_TRUE(CentreShows(kGreen));
  ASSERT_TRUE(x_.KeyTo("Quenmora", "Right"));
  ASSERT_TRUE(CentreShows(kBlue)) << "the damaged IMG_3.jpg is skipped";
  EXPECT_NE(Said().find("skipping " + pictures + "IMG_3.jpg"), std::string::npos) << Said();
  ASSERT_TRUE(x_.KeyTo("Quenmora", "Left"));
  ASSERT_TRUE(CentreShows(kGreen)) << "Left goes back past the skipped picture";
  ASSERT_TRUE(x_.KeyTo("Quenmora", "Prior"));
  ASSERT_TRUE(CentreShows(kRed));
  ASSERT_TRUE(x_.KeyTo("Quenmora", "Next"));
  ASSERT_TRUE(CentreShows(kGreen));
  ASSERT_TRUE(x_.KeyTo("Quenmora", "Home"));
  ASSERT_TRUE(CentreShows(kRed));
  ASSERT_TRUE(x_.KeyTo("Quenmora", "End"));  // not one of the show's keys
  EXPECT_TRUE(CentreHolds(kRed, 500ms));
  for (uint32_t colour : {kGreen, kBlue}) {
    ASSERT_TRUE(x_.KeyTo("Quenmora", "Right"));
    ASSERT_TRUE(CentreShows(colour));
  }
  ASSERT_TRUE(x_.KeyTo("Quenmora", "Right"));
  EXPECT_EQ(process_->WaitExit(10s), std::optional<int>(0));
}

// Space holds the picture past its interval, and again moves the show on.
TEST_F(ShowE2E, SpacePausesAndResumes) {
  const std::string pictures = dir_ + "/pictures/";
  test::WriteFile(pictures + "a.bmp", Solid(kRed));
  test::WriteFile(pictures + "b.bmp", Solid(kGreen));
  Show({"--interval", "2", "--style", "1", "--loop", pictures});
  ASSERT_TRUE(CentreShows(kRed));
  ASSERT_TRUE(x_.KeyTo("Quenmora", "space"));
  EXPECT_TRUE(CentreHolds(kRed, 5s)) << "paused for more than two intervals";
  ASSERT_TRUE(x_.KeyTo("Quenmora", "space"));
  ASSERT_TRUE(CentreShows(kGreen));
  ASSERT_TRUE(x_.KeyTo("Quenmora", "Escape"));
  EXPECT_EQ(process_->WaitExit(10s), std::optional<int>(0));
}

// A portrait photo stored sideways with an EXIF orientation, larger than the screen, shows
// upright and whole: as tall as the screen, centred, its marked corners where they belong.
TEST_F(ShowE2E, PhotosAreTurnedUprightAndFittedToTheScreen) {
  constexpr int kMark = 200;
  const TBitmap upright = test::MarkedCorners(1200, 1600, 0, 2, kMark);  // red top left
  // Stored turned a quarter anticlockwise, so orientation 6 turns it back.
  test::WriteFile(dir_ + "/pictures/portrait.jpg",
                  test::Jpeg(photos::Orient(upright, 8), 95, test::ExifBlock(6)));
  Show({"--interval", "600", "--caption-position", "none", "--background", "#000000",
        dir_ + "/pictures/portrait.jpg"});
  // Fitted: 360 x 480, from x = 140 to 500; each mark 60 pixels a side.
  const int left = (kSW - 360) / 2, right = left + 360, mark = kMark * kSH / 1600;
  // Once the transition has ended, all of it at once.
  test::Shot shot;
  const auto shown_upright = [&] {
    return Near(shot.Pixel(left + mark / 2, mark / 2), kRed, 40) &&
           Near(shot.Pixel(right - mark / 2, kSH - mark / 2), kGreen, 40) &&
           !Near(shot.Pixel(right - mark / 2, mark / 2), kRed, 40) &&
           shot.Pixel(left - 2, kSH / 2) == kBlack && shot.Pixel(left + 2, kSH / 2) != kBlack &&
           shot.Pixel(right - 2, kSH / 2) != kBlack && shot.Pixel(right + 1, kSH / 2) == kBlack;
  };
  EXPECT_TRUE(test::WaitFor(
      [&] {
        shot = x_.Screenshot();
        return shown_upright();
      },
      30s))
      << std::hex << shot.Pixel(left + mark / 2, mark / 2) << " "
      << shot.Pixel(right - mark / 2, kSH - mark / 2) << " " << shot.Pixel(left + 2, kSH / 2);
  ASSERT_TRUE(x_.KeyTo("Quenmora", "Escape"));
  EXPECT_EQ(process_->WaitExit(10s), std::optional<int>(0));
}

// A presentation's slides play with its own settings (here its background colour) where no
// option replaces them; Escape ends the show and the slides taken out of it are gone.
TEST_F(ShowE2E, APresentationPlaysAndEscapeLeavesNoFiles) {
  std::vector<PackSlide> slides;
  for (const auto& [name, colour] : {std::pair{"r.bmp", kRed}, {"g.bmp", kGreen}}) {
    test::WriteFile(dir_ + "/" + name, Solid(colour));
    slides.push_back({dir_ + "/" + name, name, name});
  }
  GalleryHeader header;
  header.interval = 1;
  header.loop = 1;
  header.background_color = 0x00FF0000;  // blue
  header.caption_position = 7;
  header.count = 2;
  {
    FileStream out(dir_ + "/show", FileStream::Mode::kCreate);
    WritePresentation(std::string(QM_BIN_DIR) + "/quenmora-player", header, slides, out);
  }
  Show({"--interval", "600", dir_ + "/show"});
  ASSERT_TRUE(CentreShows(kRed));
  EXPECT_EQ(x_.Screenshot().Pixel(5, 5), kBlue);
  EXPECT_FALSE(std::filesystem::is_empty(dir_ + "/tmp")) << "the slides are taken out";
  ASSERT_TRUE(x_.KeyTo("Quenmora", "Right"));
  ASSERT_TRUE(CentreShows(kGreen));
  ASSERT_TRUE(x_.KeyTo("Quenmora", "Escape"));
  EXPECT_EQ(process_->WaitExit(10s), std::optional<int>(0));
  EXPECT_TRUE(std::filesystem::is_empty(dir_ + "/tmp"));
  EXPECT_EQ(Said(), "");
}

}  // namespace
}  // namespace qm
