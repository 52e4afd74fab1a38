// The memory budget of one decoded picture: every decoder refuses a picture past it with its
// error for memory it cannot have, from the header and before its large allocations, and
// decodes one that fits exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "imaging/decode_budget.h"
#include "imaging/slide_loader.h"
#include "platform/exception.h"
#include "platform/messages.h"
#include "tests/imaging/test_pictures.h"

namespace qm {
namespace {

using test::Bytes;

constexpr uint8_t kSof2[] = {0xFF, 0xC2}, kHuge[] = {0x4E, 0x20, 0x4E, 0x20};  // 20000, 20000

TEST(DecodeBudget, AQuarterOfPhysicalMemoryAtMostOneGibibyte) {
  constexpr uint64_t kGiB = uint64_t{1} << 30;
  EXPECT_EQ(DecodeBudgetFor(2 * kGiB), kGiB / 2);
  EXPECT_EQ(DecodeBudgetFor(4 * kGiB), kGiB);
  EXPECT_EQ(DecodeBudgetFor(64 * kGiB), kGiB);
  EXPECT_EQ(DecodeBudgetFor(0), kGiB) << "memory unknown";
  EXPECT_LE(DecodeBudget(), kGiB);
}

// A progressive JPEG of 16 x 16 pixels whose frame header declares 20000 x 20000.
Bytes ProgressiveJpegDeclaringHugeSize() {
  Bytes file =
      test::EncodeJpeg(test::PhotoLikeRgb(16, 16, 1), 16, 16, test::JpegKind::kProgressive);
  const auto sof = std::search(file.begin(), file.end(), kSof2, kSof2 + 2);
  std::copy_n(kHuge, 4, sof + 5);
  return file;
}

struct Picture {
  const char* name;  // the extension chooses the decoder
  Bytes file;
  uint64_t bytes;  // what decoding it takes, worked out by hand
};

std::vector<Picture> Pictures() {
  const Bytes rgb16 = test::PhotoLikeRgb(16, 16, 3);
  return {
      // Rows of 24-bit pixels padded to 4 bytes: 10 pixels, 32 bytes.
      {"rgb.bmp", test::SolidBmp(10, 10), 32 * 10},
      {"rgb16.bmp", test::AssembleBmp(test::BmpInfoHeader(40, 10, 10, 16), {}, Bytes(200)),
       32 * 10},
      {"mono.bmp", test::AssembleBmp(test::BmpInfoHeader(40, 33, 2, 1), Bytes(8), Bytes(16)),
       8 * 2},
      {"rgb.png", test::MakePng(test::RandomPngImage(10, 10, 2, 8, 1)), 32 * 10},
      // The alpha plane: one byte per pixel beside the 24-bit buffer.
      {"rgba.png", test::MakePng(test::RandomPngImage(10, 10, 6, 16, 2)), 32 * 10 + 100},
      // 2-bit grey becomes a 4-bit buffer: 10 pixels in 8 bytes.
      {"grey2.png", test::MakePng(test::RandomPngImage(10, 10, 0, 2, 3)), 8 * 10},
      {"baseline.jpg", test::EncodeJpeg(rgb16, 16, 16, test::JpegKind::kBaseline), 48 * 16},
      // 4:2:0 sampling: four luminance blocks and one of each colour difference, of 64
      // two-byte coefficients, kept for the whole picture between the scans.
      {"progressive.jpg", test::EncodeJpeg(rgb16, 16, 16, test::JpegKind::kProgressive),
       48 * 16 + 6 * 128},
      // Grey output is quantised to an 8-bit bitmap.
      {"grey.jpg", test::EncodeJpeg(Bytes(256, 0x40), 16, 16, test::JpegKind::kGrey), 16 * 16},
  };
}

class DecodeBudgetTest : public ::testing::Test {
 protected:
  ~DecodeBudgetTest() override { SetDecodeBudgetForTesting(0); }
  std::optional<TBitmap> Load(const Picture& p) {
    const std::string path = test::TempPath(p.name);
    test::WriteFile(path, p.file);
    struct Remove {
      std::string path;
      ~Remove() { std::remove(path.c_str()); }
    } remove{path};
    return LoadSlidePicture(path);
  }
  // Loading fails with the decoder's own error for memory it cannot have.
  void ExpectMemoryError(const Picture& p) {
    try {
      Load(p);
      ADD_FAILURE() << "decoded past the budget";
    } catch (const Exception& e) {
      const bool png = std::string(p.name).ends_with(".png");
      EXPECT_STREQ(e.ClassName(), png ? "EPngError" : "EOutOfMemory");
      EXPECT_STREQ(e.what(), png ? msg::kPngTooLarge : msg::kOutOfMemory);
    }
  }
};

TEST_F(DecodeBudgetTest, EveryDecoderTakesAPictureThatFitsAndRefusesOneByteLess) {
  for (const Picture& p : Pictures()) {
    SCOPED_TRACE(p.name);
    SetDecodeBudgetForTesting(p.bytes);
    EXPECT_NO_THROW(Load(p));
    SetDecodeBudgetForTesting(p.bytes - 1);
    ExpectMemoryError(p);
  }
}

// Small files that declare huge pictures fail at once under this machine's own budget (at most
// 1 GiB), without decoding or touching the memory they declare.
TEST_F(DecodeBudgetTest, TinyFilesDeclaringHugePicturesFailAtOnce) {
  // One row of pixels under a header declaring 20000 rows: the rows never reached stay empty.
  const test::PngImage row = test::RandomPngImage(20000, 1, 2, 8, 4);
  const Bytes png = test::AssemblePng(
      {test::IhdrChunk(20000, 20000, 8, 2), {"IDAT", row.Compressed()}, {"IEND", {}}});
  const Picture bombs[] = {
      {"23170x23170x32.bmp",
       test::AssembleBmp(test::BmpInfoHeader(40, 23170, 23170, 32), {}, Bytes(100)), 0},
      {"20000x20000.png", png, 0},
      {"20000x20000.jpg", ProgressiveJpegDeclaringHugeSize(), 0},
  };
  for (const Picture& p : bombs) {
    SCOPED_TRACE(p.name);
    ExpectMemoryError(p);
  }
}

}  // namespace
}  // namespace qm
