// The bitmap reader on files made here: every header version, every depth, bit fields, top-down
// rows, run-length data, data cut short, and each error with its exact text.
#include <gtest/gtest.h>

#include "imaging/bmp_reader.h"
#include "platform/exception.h"
#include "tests/imaging/test_pictures.h"

namespace qm {
namespace {

using test::Bytes;

// A 4-entry colour table (blue, green, red, 0) and 5 x 3 8-bit pixels, bottom-up.
const Bytes kTable = {10, 20, 30, 0, 40, 50, 60, 0, 70, 80, 90, 0, 1, 2, 3, 0};
const Bytes kPixels8 = {0, 1, 2, 3, 0, 0, 0, 0,   // bottom row, padded to 8 bytes
                        3, 3, 2, 2, 1, 0, 0, 0,   // middle row
                        1, 0, 1, 0, 3, 0, 0, 0};  // top row

std::vector<int> Indices(const TBitmap& b) {
  std::vector<int> out;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) {
      const int bits = b.BitsPerPixel(), per = 8 / bits;
      out.push_back((b.ScanLine(y)[x / per] >> ((per - 1 - x % per) * bits)) & ((1 << bits) - 1));
    }
  return out;
}

const std::vector<int> kIndices8 = {1, 0, 1, 0, 3, 3, 3, 2, 2, 1, 0, 1, 2, 3, 0};

void ExpectError(const Bytes& file, const char* class_name, const char* message) {
  try {
    DecodeBitmap(file);
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.ClassName(), class_name);
    EXPECT_EQ(e.Message(), message);
  }
}

void ExpectInvalid(const Bytes& file) {
  ExpectError(file, "EInvalidGraphic", "Bitmap ist ungültig");
}
void ExpectReadError(const Bytes& file) {
  ExpectError(file, "EReadError", "Stream-Lesefehler");
}

TEST(BmpReader, EveryHeaderVersionGivesTheSamePicture) {
  for (uint32_t size : {16u, 40u, 52u, 56u, 64u, 108u, 124u}) {
    SCOPED_TRACE(size);
    // A header too short for the colours-used count has a full table of 256 colours.
    Bytes table = kTable;
    if (size < 36) table.resize(256 * 4, 0);
    const TBitmap b = DecodeBitmap(
        test::AssembleBmp(test::BmpInfoHeader(size, 5, 3, 8, 0, 0, 4), table, kPixels8));
    ASSERT_EQ(b.Format(), PixelFormat::pf8bit);
    EXPECT_EQ(Indices(b), kIndices8);
    ASSERT_EQ(b.Palette().size(), 256u);  // 4 colours given, the rest black
    EXPECT_EQ(b.Palette()[2], (TRGBQuad{70, 80, 90, 0}));
    EXPECT_EQ(b.Palette()[4], TRGBQuad{});
  }
  // The core header: 16-bit sizes and three-byte colours.
  Bytes core = {12, 0, 0, 0, 5, 0, 3, 0, 1, 0, 8, 0};
  Bytes table3;
  for (int i = 0; i < 256; ++i) table3.insert(table3.end(), {uint8_t(i), uint8_t(i / 2), 7});
  const TBitmap c = DecodeBitmap(test::AssembleBmp(core, table3, kPixels8));
  EXPECT_EQ(Indices(c), kIndices8);
  EXPECT_EQ(c.Palette()[3], (TRGBQuad{3, 1, 7, 0}));
}

TEST(BmpReader, PaletteDepthsAndTopDownRows) {
  // 1 bit, 10 pixels wide: 0b10110011 0b01......
  const Bytes one = {0xB3, 0x40, 0, 0, 0x00, 0xC0, 0, 0};
  const TBitmap b1 =
      DecodeBitmap(test::AssembleBmp(test::BmpInfoHeader(40, 10, 2, 1), Bytes(8, 0xEE), one));
  ASSERT_EQ(b1.Format(), PixelFormat::pf1bit);
  EXPECT_EQ(Indices(b1), (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 0, 1, 1,     // top = file row 1
                                           1, 0, 1, 1, 0, 0, 1, 1, 0, 1}));  // bottom
  EXPECT_EQ(b1.Palette().size(), 2u);

  // 4 bits, top-down (negative height): rows come in file order.
  const Bytes four = {0x12, 0x30, 0, 0, 0xFE, 0xD0, 0, 0};
  const TBitmap b4 =
      DecodeBitmap(test::AssembleBmp(test::BmpInfoHeader(40, 3, -2, 4), Bytes(64, 0), four));
  ASSERT_EQ(b4.Format(), PixelFormat::pf4bit);
  EXPECT_EQ(Indices(b4), (std::vector<int>{1, 2, 3, 15, 14, 13}));
}

TEST(BmpReader, TrueColourDepths) {
  // 24 bits: blue, green, red as stored; rows of 2 pixels padded to 8 bytes.
  const Bytes p24 = {1, 2, 3, 4, 5, 6, 0, 0};
  const TBitmap b24 = DecodeBitmap(test::AssembleBmp(test::BmpInfoHeader(40, 2, 1, 24), {}, p24));
  ASSERT_EQ(b24.Format(), PixelFormat::pf24bit);
  EXPECT_EQ(Bytes(b24.ScanLine(0), b24.ScanLine(0) + 6), Bytes(p24.begin(), p24.begin() + 6));

  // 32 bits without bit fields: copied as they are.
  const Bytes p32 = {1, 2, 3, 4};
  const TBitmap b32 = DecodeBitmap(test::AssembleBmp(test::BmpInfoHeader(40, 1, 1, 32), {}, p32));
  ASSERT_EQ(b32.Format(), PixelFormat::pf32bit);
  EXPECT_EQ(Bytes(b32.ScanLine(0), b32.ScanLine(0) + 4), p32);

  // 16 bits, 5-5-5 by default: channels widened by repeating their bits, to 24 bits.
  const Bytes p16 = {0xFF, 0x7F, 0x01, 0x00, 0x00, 0x7C, 0x10, 0x42};  // white, blue 1, red, grey
  const TBitmap b16 = DecodeBitmap(test::AssembleBmp(test::BmpInfoHeader(40, 4, 1, 16), {}, p16));
  ASSERT_EQ(b16.Format(), PixelFormat::pf24bit);
  EXPECT_EQ(test::BitmapRgb(b16), (Bytes{255, 255, 255, 0, 0, 8, 255, 0, 0, 132, 132, 132}));
}

TEST(BmpReader, BitFields) {
  // 16 bits 5-6-5, masks after a 40-byte header.
  Bytes masks(12);
  test::PutLittleEndian32(masks, 0, 0xF800);
  test::PutLittleEndian32(masks, 4, 0x07E0);
  test::PutLittleEndian32(masks, 8, 0x001F);
  const Bytes p565 = {0x00, 0xF8, 0xE0, 0x07, 0x20, 0x00, 0, 0};
  const TBitmap b =
      DecodeBitmap(test::AssembleBmp(test::BmpInfoHeader(40, 3, 1, 16, 3), masks, p565));
  EXPECT_EQ(test::BitmapRgb(b), (Bytes{255, 0, 0, 0, 255, 0, 0, 4, 0}));

  // 32 bits with 10-bit channels, masks inside a 56-byte header: the top 8 bits are kept.
  Bytes header = test::BmpInfoHeader(56, 1, 1, 32, 3);
  test::PutLittleEndian32(header, 40, 0x3FF00000);
  test::PutLittleEndian32(header, 44, 0x000FFC00);
  test::PutLittleEndian32(header, 48, 0x000003FF);
  Bytes pixel(4);
  test::PutLittleEndian32(pixel, 0, (0x3FFu << 20) | (0x200u << 10) | 0x004u);
  const TBitmap b32 = DecodeBitmap(test::AssembleBmp(header, {}, pixel));
  ASSERT_EQ(b32.Format(), PixelFormat::pf32bit);
  EXPECT_EQ(Bytes(b32.ScanLine(0), b32.ScanLine(0) + 4), (Bytes{1, 128, 255, 0}));
}

TEST(BmpReader, RunLength8) {
  // 6 x 3. Bottom row: run of 3 x index 1, literal 2 3 4 (padded), end of line. Middle row:
  // move right 2 and up 1 (to the top row), run of 9 x index 5 (cut at the row's end), end of
  // bitmap. The middle row is never written.
  const Bytes data = {3, 1, 0, 3, 2, 3, 4, 0, 0, 0, 0, 2, 2, 1, 9, 5, 0, 1};
  const TBitmap b =
      DecodeBitmap(test::AssembleBmp(test::BmpInfoHeader(40, 6, 3, 8, 1), Bytes(1024, 0), data));
  ASSERT_EQ(b.Format(), PixelFormat::pf8bit);
  EXPECT_EQ(Indices(b), (std::vector<int>{0, 0, 5, 5, 5, 5,     // top
                                          0, 0, 0, 0, 0, 0,     // middle: never written
                                          1, 1, 1, 2, 3, 4}));  // bottom
  // Cut after the literal: the rest stays index 0, without error.
  const Bytes cut(data.begin(), data.begin() + 6);
  const TBitmap c =
      DecodeBitmap(test::AssembleBmp(test::BmpInfoHeader(40, 6, 3, 8, 1), Bytes(1024, 0), cut));
  EXPECT_EQ(Indices(c), (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 2, 3, 0}));
}

TEST(BmpReader, RunLength4) {
  // 5 x 2. Bottom: run of 5 alternating 1 and 2; end of line. Top: literal 3, 4, 5 (two
  // bytes), run of 2 x (6, 7), end of bitmap.
  const Bytes data = {5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 2, 0x67, 0, 1};
  const TBitmap b =
      DecodeBitmap(test::AssembleBmp(test::BmpInfoHeader(40, 5, 2, 4, 2), Bytes(64, 0), data));
  ASSERT_EQ(b.Format(), PixelFormat::pf4bit);
  EXPECT_EQ(Indices(b), (std::vector<int>{3, 4, 5, 6, 7, 1, 2, 1, 2, 1}));
}

TEST(BmpReader, ShortImageDataLeavesRowsZero) {
  // Only the bottom row and two bytes of the middle row are in the file.
  const Bytes part(kPixels8.begin(), kPixels8.begin() + 10);
  const TBitmap b =
      DecodeBitmap(test::AssembleBmp(test::BmpInfoHeader(40, 5, 3, 8, 0, 0, 4), kTable, part));
  EXPECT_EQ(Indices(b), (std::vector<int>{0, 0, 0, 0, 0, 3, 3, 0, 0, 0, 0, 1, 2, 3, 0}));
  // An image size below the rows' size limits the data the same way.
  const TBitmap s =
      DecodeBitmap(test::AssembleBmp(test::BmpInfoHeader(40, 5, 3, 8, 0, 10, 4), kTable, kPixels8));
  EXPECT_EQ(Indices(s), Indices(b));
}

TEST(BmpReader, PixelDataOffset) {
  // A gap between the colour table and the pixels: the file header's offset is used.
  Bytes gapped(6 + kPixels8.size(), 0xAB);
  std::copy(kPixels8.begin(), kPixels8.end(), gapped.begin() + 6);
  const TBitmap b = DecodeBitmap(test::AssembleBmp(test::BmpInfoHeader(40, 5, 3, 8, 0, 0, 4),
                                                   kTable, gapped, 14 + 40 + 16 + 6));
  EXPECT_EQ(Indices(b), kIndices8);
  // An offset inside the headers or past the end: the pixels follow the colour table.
  for (uint32_t offset : {20u, 100000u}) {
    const TBitmap c = DecodeBitmap(
        test::AssembleBmp(test::BmpInfoHeader(40, 5, 3, 8, 0, 0, 4), kTable, kPixels8, offset));
    EXPECT_EQ(Indices(c), kIndices8);
  }
}

TEST(BmpReader, Errors) {
  EXPECT_TRUE(DecodeBitmap({}).Empty());
  const Bytes good = test::AssembleBmp(test::BmpInfoHeader(40, 5, 3, 8, 0, 0, 4), kTable, kPixels8);
  Bytes not_bm = good;
  not_bm[1] = 'A';
  ExpectInvalid(not_bm);
  ExpectReadError({'B', 'M', 0});                           // shorter than the file header
  ExpectReadError(Bytes(good.begin(), good.begin() + 10));  // inside the file header
  ExpectReadError(Bytes(good.begin(), good.begin() + 40));  // inside the info header
  ExpectReadError(Bytes(good.begin(), good.begin() + 60));  // inside the colour table
  Bytes huge_header = good;
  test::PutLittleEndian32(huge_header, 14, 0xFFFFFFF0);
  ExpectReadError(huge_header);

  auto with = [&](auto change) {
    Bytes h = test::BmpInfoHeader(40, 5, 3, 8, 0, 0, 4);
    change(h);
    return test::AssembleBmp(h, kTable, kPixels8);
  };
  ExpectInvalid(with([](Bytes& h) { h[12] = 2; }));                            // planes
  ExpectInvalid(with([](Bytes& h) { test::PutLittleEndian32(h, 32, 257); }));  // colours used
  ExpectInvalid(with([](Bytes& h) { test::PutLittleEndian32(h, 16, 4); }));    // JPEG data
  ExpectInvalid(with([](Bytes& h) { test::PutLittleEndian32(h, 16, 2); }));    // RLE4 at 8 bits
  ExpectInvalid(with([](Bytes& h) { test::PutLittleEndian32(h, 16, 3); }));    // fields at 8
  ExpectInvalid(with([](Bytes& h) { h[14] = 2; }));                            // 2 bits
  ExpectInvalid(with([](Bytes& h) { test::PutLittleEndian32(h, 4, 0); }));     // width 0
  ExpectInvalid(with([](Bytes& h) { test::PutLittleEndian32(h, 8, 0); }));     // height 0
  ExpectInvalid(with([](Bytes& h) { test::PutLittleEndian32(h, 4, 0x80000000); }));  // width < 0
  ExpectInvalid(with([](Bytes& h) { test::PutLittleEndian32(h, 8, 0x80000000); }));  // INT_MIN
  ExpectInvalid(with([](Bytes& h) {
    test::PutLittleEndian32(h, 16, 1);
    test::PutLittleEndian32(h, 8, static_cast<uint32_t>(-3));  // top-down run-length data
  }));
}

}  // namespace
}  // namespace qm
