// `quenmora render --animate`: the animated PNG's structure, and every frame read back equal to
// the frame that `quenmora render --progress` composes.
#include <spawn.h>
#include <sys/resource.h>

#include <filesystem>
#include <optional>

#include <gtest/gtest.h>
#include <zlib.h>

#include "imaging/png_image.h"
#include "picshow/transition_math.h"
#include "platform/byte_order.h"
#include "platform/stretch.h"
#include "tests/imaging/test_pictures.h"
#include "tool_run.h"

namespace qm {
namespace {

struct ApngFrame {
  uint32_t width, height, x, y;
  uint16_t delay_num, delay_den;
  uint8_t dispose, blend;
  test::Bytes data;  // the frame's compressed image data, sequence numbers removed
};

struct Apng {
  std::vector<std::string> chunk_names;
  uint32_t width = 0, height = 0, frame_count = 0, plays = 0;
  std::vector<ApngFrame> frames;
};

// Reads the chunk list, checking the signature, every checksum and that fcTL and fdAT chunks
// number 0, 1, 2, ... in file order.
Apng ReadApng(const test::Bytes& file) {
  Apng a;
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  EXPECT_TRUE(file.size() > 8 && std::equal(kSignature, kSignature + 8, file.begin()));
  uint32_t sequence = 0;
  for (std::size_t at = 8; at + 12 <= file.size();) {
    const uint32_t length = LoadBigEndian32(&file[at]);
    EXPECT_LE(at + 12 + length, file.size());
    if (at + 12 + length > file.size()) break;
    const std::string name(file.begin() + at + 4, file.begin() + at + 8);
    const uint8_t* data = &file[at + 8];
    EXPECT_EQ(LoadBigEndian32(data + length), crc32_z(0, &file[at + 4], length + 4)) << name;
    a.chunk_names.push_back(name);
    if (name == "IHDR") {
      a.width = LoadBigEndian32(data);
      a.height = LoadBigEndian32(data + 4);
    } else if (name == "acTL") {
      a.frame_count = LoadBigEndian32(data);
      a.plays = LoadBigEndian32(data + 4);
    } else if (name == "fcTL") {
      EXPECT_EQ(LoadBigEndian32(data), sequence++);
      a.frames.push_back({LoadBigEndian32(data + 4),
                          LoadBigEndian32(data + 8),
                          LoadBigEndian32(data + 12),
                          LoadBigEndian32(data + 16),
                          LoadBigEndian16(data + 20),
                          LoadBigEndian16(data + 22),
                          data[24],
                          data[25],
                          {}});
    } else if (name == "fdAT" || name == "IDAT") {
      const uint32_t skip = name == "fdAT" ? 4 : 0;
      if (skip) {
        EXPECT_EQ(LoadBigEndian32(data), sequence++);
      }
      if (!a.frames.empty())
        a.frames.back().data.insert(a.frames.back().data.end(), data + skip, data + length);
    }
    at += 12 + length;
  }
  return a;
}

// The frame's rectangle decoded by the player's PNG decoder from a PNG of its own.
TBitmap DecodeFrame(const ApngFrame& f) {
  const test::Bytes png =
      test::AssemblePng({test::IhdrChunk(f.width, f.height, 8, 2), {"IDAT", f.data}, {"IEND", {}}});
  TPNGObject decoder;
  decoder.LoadFromBytes(png);
  TBitmap b;
  decoder.AssignTo(b);
  b.ConvertTo(PixelFormat::pf24bit);
  return b;
}

bool RowsEqual(const TBitmap& a, const TBitmap& b, int y, int x0, int x1) {
  return std::equal(a.ScanLine(y) + 3 * x0, a.ScanLine(y) + 3 * x1, b.ScanLine(y) + 3 * x0);
}

struct AnimationRow {
  int style, step;
  const char* delay_option;  // as given on the command line, "" for the default
  int delay_ms;
  uint32_t frames;  // progress 0 and one per step
};

class Animate : public ::testing::TestWithParam<AnimationRow> {
 protected:
  Animate() : dir_(tmp_.Path()) {
    test::WriteTestPicture(dir_ + "/old.png", kW, kH, 1);
    test::WriteTestPicture(dir_ + "/new.png", kW, kH, 2);
  }
  static constexpr int kW = 40, kH = 24;
  test::TempFolder tmp_;
  std::string dir_;
};

TEST_P(Animate, FramesAreTheRenderedFramesWithTheirDelays) {
  const AnimationRow row = GetParam();
  const std::string common = "--style " + std::to_string(row.style) + " --step " +
                             std::to_string(row.step) + " " + row.delay_option + " ";
  const test::RunResult r = test::Quenmora("render " + common + "--animate " + dir_ + "/old.png " +
                                           dir_ + "/new.png " + dir_ + "/anim.png");
  ASSERT_EQ(r.status, 0) << r.out;
  const Apng a = ReadApng(test::ReadBytes(dir_ + "/anim.png"));

  // Chunk order: IHDR, acTL, then per frame fcTL and its data (IDAT for the first), IEND.
  std::string order;
  for (const std::string& name : a.chunk_names) {
    const char code = name == "IHDR"   ? 'H'
                      : name == "acTL" ? 'A'
                      : name == "fcTL" ? 'f'
                      : name == "IDAT" ? 'I'
                      : name == "fdAT" ? 'd'
                      : name == "IEND" ? 'E'
                                       : '?';
    if (order.empty() || order.back() != code || code == 'f') order += code;
  }
  std::string want = "HAfI";
  for (uint32_t i = 1; i < row.frames; ++i) want += "fd";
  EXPECT_EQ(order, want + "E");
  EXPECT_EQ(a.width, uint32_t{kW});
  EXPECT_EQ(a.height, uint32_t{kH});
  EXPECT_EQ(a.frame_count, row.frames);
  EXPECT_EQ(a.plays, 0u);
  ASSERT_EQ(a.frames.size(), row.frames);

  // Default image: the old picture.
  const TBitmap old_picture = test::DecodePng(dir_ + "/old.png");
  EXPECT_EQ(test::BitmapRgb(test::DecodePng(dir_ + "/anim.png")), test::BitmapRgb(old_picture));

  TBitmap canvas(kW, kH, PixelFormat::pf24bit), before;
  int progress = 0;
  for (std::size_t i = 0; i < a.frames.size(); ++i) {
    SCOPED_TRACE("frame " + std::to_string(i) + ", progress " + std::to_string(progress));
    const ApngFrame& f = a.frames[i];
    const bool last = i + 1 == a.frames.size();
    EXPECT_EQ(f.delay_num * 1000 / f.delay_den, last ? 1000 : row.delay_ms);
    EXPECT_EQ(f.dispose, 0);  // keep the frame for the next one to draw over
    EXPECT_EQ(f.blend, 0);    // replace, not blend
    ASSERT_LE(f.x + f.width, uint32_t{kW});
    ASSERT_LE(f.y + f.height, uint32_t{kH});
    if (i == 0) {
      EXPECT_TRUE(f.x == 0 && f.y == 0 && f.width == kW && f.height == kH);
    }
    before = canvas;
    Draw(canvas, static_cast<int>(f.x), static_cast<int>(f.y), DecodeFrame(f));

    const std::string frame_png = dir_ + "/frame.png";
    const test::RunResult rf =
        test::Quenmora("render " + common + "--progress " + std::to_string(progress) + " " + dir_ +
                       "/old.png " + dir_ + "/new.png " + frame_png);
    ASSERT_EQ(rf.status, 0) << rf.out;
    ASSERT_EQ(test::BitmapRgb(canvas), test::BitmapRgb(test::DecodePng(frame_png)));

    // Only the changed rectangle is stored: its outer rows and columns each hold a change
    // (a frame without any change stores one pixel).
    if (i > 0 && test::BitmapRgb(canvas) != test::BitmapRgb(before)) {
      const int x0 = static_cast<int>(f.x), x1 = x0 + static_cast<int>(f.width);
      const int y0 = static_cast<int>(f.y), y1 = y0 + static_cast<int>(f.height);
      EXPECT_FALSE(RowsEqual(canvas, before, y0, x0, x1));
      EXPECT_FALSE(RowsEqual(canvas, before, y1 - 1, x0, x1));
      bool left = false, right = false;
      for (int y = y0; y < y1; ++y) {
        left |= !RowsEqual(canvas, before, y, x0, x0 + 1);
        right |= !RowsEqual(canvas, before, y, x1 - 1, x1);
      }
      EXPECT_TRUE(left && right);
    } else if (i > 0) {
      EXPECT_EQ(f.width * f.height, 1u);
    }
    progress = NextProgress(progress, row.step, false);
  }
}

INSTANTIATE_TEST_SUITE_P(Steps, Animate,
                         ::testing::Values(AnimationRow{5, 4, "", 50, 26},  // reveal: strips
                                           AnimationRow{118, 1, "--delay 20", 20,
                                                        101},  // fade: whole frames
                                           AnimationRow{84, 100, "--delay 300", 300, 2}));

// Frames are encoded and written as they are composed: a transition of 35 frames takes no more
// memory than one of 2 (its file is 12 MB: held whole, the frames would show).
TEST(AnimateMemory, StaysWithinAFewFramesWhateverTheLength) {
  if (test::kSanitized) GTEST_SKIP() << "the sanitizers' own bookkeeping hides the frames";
  test::TempFolder tmp;
  const std::string dir = tmp.Path(), tool = std::string(QM_BIN_DIR) + "/quenmora";
  test::WriteTestPicture(dir + "/old.png", 640, 360, 1);
  test::WriteTestPicture(dir + "/new.png", 640, 360, 2);
  const auto peak_kilobytes = [&](const char* step) {
    std::vector<std::string> args = {
        tool,        "render",         "--style",        "118",           "--step", step,
        "--animate", dir + "/old.png", dir + "/new.png", dir + "/out.png"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, tool.c_str(), nullptr, nullptr, argv.data(), environ), 0);
    rusage usage{};
    EXPECT_EQ(test::WaitForExit(pid, 120, &usage), std::optional<int>(0)) << step;
    return usage.ru_maxrss;
  };
  const long two_frames = peak_kilobytes("100");
  const long all_frames = peak_kilobytes("3");
  EXPECT_LT(all_frames - two_frames, 6 * 1024) << "kilobytes";
}

class AnimateRefuses : public ::testing::TestWithParam<test::RefusalRow> {};

TEST_P(AnimateRefuses, WithAClearMessageAndNoFile) {
  test::TempFolder tmp;
  const std::string dir = tmp.Path();
  test::WriteRefusalInputs(dir);
  const std::string args = test::InFolder(GetParam().args, dir);
  const test::RunResult r = test::Quenmora("render --style 5 --animate " + args);
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find(GetParam().message), std::string::npos) << r.out;
  EXPECT_FALSE(std::filesystem::exists(dir + "/out.png"));
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, AnimateRefuses,
    ::testing::Values(
        test::RefusalRow{"@/a.png @/b.png @/out.png", "differ in size: 32x18 and 32x20"},
        test::RefusalRow{"@/a.png @/broken.png @/out.png", "Portable Network Graphics"},
        test::RefusalRow{"@/a.png @/missing.png @/out.png", "missing.png"},
        test::RefusalRow{"@/a.png @/a.png @/no/such/dir/out.png", "out.png"},
        // The output is checked before the pictures are read.
        test::RefusalRow{"@/a.png @/broken.png @/no/such/dir/out.png",
                         "cannot create a file beside"}));

}  // namespace
}  // namespace qm
