// `quenmora pack` on collections of photos, as a user runs it: folders, orientations, fitting,
// formats, bad pictures, captions from the pictures and very large pictures, each checked by
// decoding the slides of the presentation written.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <jpeglib.h>  // after <cstdio>, which it needs

#include "photos/geometry.h"
#include "platform/byte_order.h"
#include "tests/photos/photo_files.h"
#include "tests/support/bmp_files.h"
#include "tests/support/shell.h"
#include "tests/support/test_files.h"

namespace qm {
namespace {

using test::kSanitized;

using test::Bytes;

int TimeLimit(int seconds) {
  const char* scale = std::getenv("QUENMORA_TEST_TIMEOUT_SCALE");
  const double s = scale ? std::atof(scale) : 1;
  return static_cast<int>(seconds * (s > 0 ? s : 1));
}

struct Slide {
  std::string name, caption;
  Bytes data;
};

// The slides of a presentation, read straight from its payload.
std::vector<Slide> ReadSlides(const std::string& show) {
  const Bytes file = test::ReadFile(show);
  const uint32_t start = LoadLittleEndian32(&file[file.size() - 4]);
  Bytes payload(LoadLittleEndian32(&file[file.size() - 8]));
  uLongf size = payload.size();
  EXPECT_EQ(uncompress(payload.data(), &size, &file[start], file.size() - 8 - start), Z_OK);
  std::vector<Slide> slides;
  std::size_t at = 290;
  for (uint32_t k = 0; k < LoadLittleEndian32(payload.data()); ++k) {
    const uint32_t n = LoadLittleEndian32(&payload[at]);
    Slide s;
    s.name.assign(reinterpret_cast<const char*>(&payload[at + 5]), payload[at + 4]);
    s.caption.assign(reinterpret_cast<const char*>(&payload[at + 261]), payload[at + 260]);
    s.data.assign(payload.begin() + at + 516, payload.begin() + at + 516 + n);
    slides.push_back(std::move(s));
    at += 516 + n;
  }
  return slides;
}

class PackTest : public ::testing::Test {
 protected:
  PackTest() : dir_(test::TempPath("photos")) {
    std::filesystem::create_directories(dir_ + "/in");
    test::WriteFile(dir_ + "/player", Bytes(1000, 0x90));
  }
  ~PackTest() override { std::filesystem::remove_all(dir_); }

  void Write(const std::string& name, const Bytes& b) { test::WriteFile(dir_ + "/in/" + name, b); }
  test::RunResult Pack(const std::string& args) {
    return test::Shell("timeout " + std::to_string(TimeLimit(120)) +
                       " " QM_BIN_DIR "/quenmora pack --player " + dir_ + "/player -o " + dir_ +
                       "/show " + args);
  }
  // The names in the test's folder: nothing but the inputs and what the pack wrote.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_))
      names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string dir_;
};

TEST_F(PackTest, EveryOrientationComesOutUprightLosslesslyAndScaled) {
  // Where the marks of an upright picture (red top left, green top right) lie as stored.
  constexpr int kStored[8][2] = {{0, 1}, {1, 0}, {2, 3}, {3, 2}, {0, 3}, {3, 0}, {2, 1}, {1, 2}};
  // Lossless; scaled; and turned by its pixels where the blocks of a JPEG would not move whole
  // (a side not a multiple of 8).
  struct Path {
    const char* fit;
    photos::Size upright, want;
  } paths[] = {{"--fit 1920x1080", {192, 128}, {192, 128}},
               {"--fit 96x96", {192, 128}, {96, 64}},
               {"--fit none", {196, 132}, {196, 132}}};
  for (const Path& p : paths) {
    std::filesystem::remove_all(dir_ + "/in");
    std::filesystem::create_directories(dir_ + "/in");
    for (int o = 1; o <= 8; ++o) {
      const photos::Size stored = photos::Oriented(p.upright, o);
      Write("o" + std::to_string(o) + ".jpg",
            test::Jpeg(test::MarkedCorners(stored.width, stored.height, kStored[o - 1][0],
                                           kStored[o - 1][1], 32),
                       95, test::ExifBlock(o)));
    }
    const test::RunResult r = Pack(std::string(p.fit) + " " + dir_ + "/in");
    ASSERT_EQ(r.status, 0) << r.out;
    const auto slides = ReadSlides(dir_ + "/show");
    ASSERT_EQ(slides.size(), 8u);
    for (int o = 1; o <= 8; ++o) {
      const Slide& s = slides[o - 1];
      EXPECT_EQ(s.name, "o" + std::to_string(o) + ".jpg");
      const TBitmap shown = test::DecodeSlide(s.name, s.data);
      const std::string where = std::string(p.fit) + " orientation " + std::to_string(o);
      EXPECT_EQ(shown.Width(), p.want.width) << where;
      EXPECT_EQ(shown.Height(), p.want.height) << where;
      const int mark = 32 * p.want.width / p.upright.width;
      EXPECT_EQ(test::CornerOf(shown, true, mark), 0) << where;
      EXPECT_EQ(test::CornerOf(shown, false, mark), 1) << where;
    }
  }
}

TEST_F(PackTest, FolderInNaturalOrderFittedWithFittingPicturesKeptByteForByte) {
  const Bytes fitting = test::Jpeg(test::Photo(640, 480));
  Write("IMG_2.jpg", fitting);
  Write("IMG_10.JPG", test::Jpeg(test::Photo(1200, 300)));
  Write("img_1.png", test::Encode(test::Encoding::kGif, test::Drawing(40, 30)));  // a GIF, misnamed
  Write("b.gif", test::Encode(test::Encoding::kGif, test::Drawing(900, 900)));
  Write("a.heic", test::Encode(test::Encoding::kHeic, test::Photo(96, 64)));
  Write("notes.txt", {'h', 'i'});
  Write(".hidden.jpg", fitting);
  std::filesystem::create_directories(dir_ + "/in/sub");
  test::WriteFile(dir_ + "/in/sub/c.webp",
                  test::Encode(test::Encoding::kWebpLossy, test::Photo(64, 48)));

  const test::RunResult r = Pack("--fit 800x600 --jobs 3 " + dir_ + "/in");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("skipping " + dir_ + "/in/notes.txt: not a picture"), std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("hidden"), std::string::npos) << r.out;
  struct Want {
    const char* name;
    int width, height;
  } want[] = {{"a.jpg", 96, 64},
              {"b.png", 600, 600},
              {"img_1.gif", 0, 0},
              {"IMG_2.jpg", 640, 480},
              {"IMG_10.JPG", 800, 200}};
  auto slides = ReadSlides(dir_ + "/show");
  ASSERT_EQ(slides.size(), 5u);
  for (std::size_t k = 0; k < 5; ++k) {
    if (want[k].width == 0) {
      // A GIF that fits is still converted: the player shows no GIF.
      EXPECT_EQ(slides[k].name, "img_1.png");
      EXPECT_GE(test::Psnr(test::DecodeSlide("x.png", slides[k].data), test::Drawing(40, 30)), 100);
      continue;
    }
    EXPECT_EQ(slides[k].name, want[k].name);
    const TBitmap shown = test::DecodeSlide(slides[k].name, slides[k].data);
    EXPECT_EQ(shown.Width(), want[k].width) << want[k].name;
    EXPECT_EQ(shown.Height(), want[k].height) << want[k].name;
  }
  EXPECT_EQ(slides[3].data, fitting);

  // With subfolders, in their place; one picture at a time gives the same presentation.
  ASSERT_EQ(Pack("--fit 800x600 --recursive --jobs 1 " + dir_ + "/in").status, 0);
  slides = ReadSlides(dir_ + "/show");
  ASSERT_EQ(slides.size(), 6u);
  EXPECT_EQ(slides[5].name, "c.jpg");
}

// `quenmora video` with pictures makes the show as `pack` makes it: the video of a folder
// (a turned JPEG captioned from its EXIF, a misnamed GIF, a WebP in a subfolder, a file that is
// no picture) is the very file made from the presentation `pack` makes of it with the same
// options. The picture options are refused with a presentation.
TEST_F(PackTest, VideoOfPicturesIsTheVideoOfWhatPackMakes) {
  Write("o6.jpg",
        test::Jpeg(test::MarkedCorners(64, 96, 1, 2, 16), 95, test::ExifBlock(6, "Gedreht")));
  Write("drawing.png", test::Encode(test::Encoding::kGif, test::Drawing(40, 30)));
  Write("notes.txt", {'h', 'i'});
  std::filesystem::create_directories(dir_ + "/in/sub");
  test::WriteFile(dir_ + "/in/sub/c.webp",
                  test::Encode(test::Encoding::kWebpLossy, test::Photo(200, 150)));
  const std::string options = "--fit 120x80 --recursive --captions-from exif --interval 1 ";
  ASSERT_EQ(Pack(options + dir_ + "/in").status, 0);
  const auto video = [&](const std::string& out, const std::string& args) {
    return test::Shell("timeout " + std::to_string(TimeLimit(120)) +
                       " " QM_BIN_DIR "/quenmora video --size 192x128 -o " + dir_ + "/" + out +
                       " " + args);
  };
  const test::RunResult made = video("pictures.mp4", options + dir_ + "/in");
  ASSERT_EQ(made.status, 0) << made.out;
  EXPECT_NE(made.out.find("quenmora video: skipping " + dir_ + "/in/notes.txt"), std::string::npos)
      << made.out;
  ASSERT_EQ(video("show.mp4", dir_ + "/show").status, 0);
  const Bytes from_pictures = test::ReadFile(dir_ + "/pictures.mp4");
  EXPECT_GT(from_pictures.size(), 1000u);
  EXPECT_TRUE(from_pictures == test::ReadFile(dir_ + "/show.mp4"));
  // One picture with a caption is a show of pictures too, not a presentation.
  const test::RunResult one = video("one.mp4", "--interval 1 '" + dir_ + "/in/o6.jpg=Eins'");
  EXPECT_EQ(one.status, 0) << one.out;
  const test::RunResult refused = video("no.mp4", "--fit 96x64 " + dir_ + "/show");
  EXPECT_NE(refused.status, 0);
  EXPECT_NE(refused.out.find("--fit is for pictures"), std::string::npos) << refused.out;
}

TEST_F(PackTest, ABadPictureFailsThePackUnlessSkipped) {
  Write("1.jpg", test::Jpeg(test::Photo(64, 48)));
  Bytes heic = test::Encode(test::Encoding::kHeic, test::Photo(64, 48));
  heic.resize(heic.size() / 3);
  Write("2.heic", heic);
  Bytes webp = test::Encode(test::Encoding::kWebpLossy, test::Photo(64, 48));
  webp.resize(40);
  Write("3.webp", webp);
  test::RunResult r = Pack(dir_ + "/in");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find(dir_ + "/in/2.heic: cannot read the HEIF"), std::string::npos) << r.out;
  EXPECT_EQ(Entries(), (std::vector<std::string>{"in", "player"}));

  r = Pack("--skip-bad " + dir_ + "/in");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("skipping " + dir_ + "/in/2.heic: cannot read the HEIF"), std::string::npos);
  EXPECT_NE(r.out.find("skipping " + dir_ + "/in/3.webp: cannot decode the WebP"),
            std::string::npos);
  EXPECT_NE(r.out.find("1 slide, 2 pictures left out"), std::string::npos) << r.out;
  EXPECT_EQ(Entries(), (std::vector<std::string>{"in", "player", "show"}));
}

TEST_F(PackTest, ShuffleKeepsEachCaptionWithItsPicture) {
  std::string args = "--shuffle";
  std::vector<std::string> names;
  for (int k = 0; k < 8; ++k) {
    names.push_back(std::to_string(k) + ".bmp");
    Write(names.back(), test::SolidBmp(4, 4, static_cast<uint8_t>(k), 0, 0));
    args += " " + dir_ + "/in/" + names.back() + "=caption" + std::to_string(k);
  }
  const test::RunResult r = Pack(args);
  ASSERT_EQ(r.status, 0) << r.out;
  std::vector<std::string> stored;
  for (const Slide& s : ReadSlides(dir_ + "/show")) {
    EXPECT_EQ("caption" + s.name.substr(0, s.name.find('.')), s.caption);
    EXPECT_EQ(s.data, test::SolidBmp(4, 4, static_cast<uint8_t>(std::stoi(s.name)), 0, 0));
    stored.push_back(s.name);
  }
  std::sort(stored.begin(), stored.end());
  EXPECT_EQ(stored, names);
}

TEST_F(PackTest, CaptionsFromTheirExifOrXmpDescription) {
  Write("1.jpg", test::Jpeg(test::Photo(32, 32), 90, test::ExifBlock(1, "K\xC3\xB6ln am Rhein")));
  Write("2.jpg", test::Jpeg(test::Photo(32, 32), 90, test::ExifBlock(1, "from EXIF"),
                            "Harbour &amp; boats \xE2\x98\xBA"));
  Write("3.jpg", test::Jpeg(test::Photo(32, 32), 90, test::ExifBlock(6, "SONY DSC")));
  Write("4.jpg", test::Jpeg(test::Photo(32, 32), 90, test::ExifBlock(1, std::string(300, 'x'))));
  const test::RunResult r = Pack("--captions-from exif " + dir_ + "/in/1.jpg " + dir_ +
                                 "/in/2.jpg=Given " + dir_ + "/in/3.jpg " + dir_ + "/in/4.jpg");
  ASSERT_EQ(r.status, 0) << r.out;
  const auto slides = ReadSlides(dir_ + "/show");
  ASSERT_EQ(slides.size(), 4u);
  EXPECT_EQ(slides[0].caption, "K\xF6ln am Rhein");  // Windows-1252
  EXPECT_EQ(slides[1].caption, "Given");
  EXPECT_EQ(slides[2].caption, "");
  EXPECT_EQ(slides[3].caption, std::string(255, 'x'));
  EXPECT_NE(r.out.find("4.jpg: its description is cut to the 255 bytes"), std::string::npos);
  ASSERT_EQ(Pack("--captions-from exif " + dir_ + "/in/2.jpg").status, 0);
  EXPECT_EQ(ReadSlides(dir_ + "/show")[0].caption, "Harbour & boats ?");
}

// A 20000 x 20000 JPEG, written row by row so that the test never holds it whole.
void WriteHugeJpeg(const std::string& path, int size) {
  FILE* out = std::fopen(path.c_str(), "wb");
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, out);
  c.image_width = c.image_height = static_cast<JDIMENSION>(size);
  c.input_components = 1;
  c.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 50, TRUE);
  jpeg_start_compress(&c, TRUE);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(size));
  while (c.next_scanline < c.image_height) {
    for (int x = 0; x < size; ++x)
      row[x] = static_cast<JSAMPLE>((x / 500 + c.next_scanline / 500) % 2 * 200);
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&c, rows, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::fclose(out);
}

TEST_F(PackTest, AHugePictureIsScaledWhileDecodingOrRefusedNamingTheLimit) {
  WriteHugeJpeg(dir_ + "/in/huge.jpg", 20000);
  const std::string tool = QM_BIN_DIR "/quenmora";
  const std::string limit = std::to_string(TimeLimit(120));
  std::vector<std::string> args = {"timeout", limit,          tool,
                                   "pack",    "--player",     dir_ + "/player",
                                   "-o",      dir_ + "/show", dir_ + "/in/huge.jpg"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  ASSERT_EQ(posix_spawnp(&pid, "timeout", &quiet, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&quiet);
  int status = 0;
  rusage usage{};
  ASSERT_EQ(wait4(pid, &status, 0, &usage), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  // 1/8 of each side decoded (2500 x 2500): far below the 1.2 GB of the whole picture. (The
  // sanitizers' own memory would hide it.)
  if (!kSanitized) {
    EXPECT_LT(usage.ru_maxrss, 200 * 1024) << "peak memory in KiB";
  }
  const auto slides = ReadSlides(dir_ + "/show");
  const TBitmap shown = test::DecodeSlide(slides.at(0).name, slides[0].data);
  EXPECT_EQ(shown.Width(), 1080);
  EXPECT_EQ(shown.Height(), 1080);

  // A PNG of that size cannot be decoded in parts: refused before decoding.
  Bytes png = {0x89, 'P',  'N',  'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0,
               0,    0x4E, 0x20, 0,   0,    0x4E, 0x20, 8,    2, 0, 0, 0,  0,   0,   0,   0};
  Write("huge.png", png);
  const test::RunResult r = Pack(dir_ + "/in/huge.png");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(
      r.out.find("huge.png: 20000x20000 pixels take 1145 MiB to decode, more than the limit of"),
      std::string::npos)
      << r.out;
}

}  // namespace
}  // namespace qm
