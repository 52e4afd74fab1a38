// The PngSuite conformance images: every valid image decodes to the pixels PIL derives for it
// (see make_pngsuite_expected.py), interlaced images equal their non-interlaced twins, and every
// corrupt image fails with the expected error.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "imaging/png_image.h"
#include "platform/byte_order.h"
#include "tests/imaging/test_pictures.h"

namespace qm {
namespace {

const std::string kSuite = std::string(QM_TESTDATA_DIR) + "/imaging/pngsuite/";

struct Expected {
  int width, height;
  test::Bytes rgb;
};

std::map<std::string, Expected> LoadExpected() {
  std::ifstream f(std::string(QM_TESTDATA_DIR) + "/imaging/pngsuite_expected.bin",
                  std::ios::binary);
  const test::Bytes blob((std::istreambuf_iterator<char>(f)), {});
  std::map<std::string, Expected> out;
  if (blob.size() < 4) return out;
  uLongf size = LoadLittleEndian32(blob.data());
  test::Bytes raw(size);
  if (uncompress(raw.data(), &size, blob.data() + 4, static_cast<uLong>(blob.size() - 4)) != Z_OK)
    return out;
  std::size_t pos = 0;
  auto u32 = [&](std::size_t at) { return static_cast<int>(LoadLittleEndian32(&raw[at])); };
  while (pos < raw.size()) {
    const std::size_t n = raw[pos];
    const std::string name(reinterpret_cast<const char*>(&raw[pos + 1]), n);
    pos += 1 + n;
    Expected e{u32(pos), u32(pos + 4), {}};
    pos += 8;
    const std::size_t bytes = static_cast<std::size_t>(e.width) * e.height * 3;
    e.rgb.assign(raw.begin() + pos, raw.begin() + pos + bytes);
    pos += bytes;
    out[name] = std::move(e);
  }
  return out;
}

TBitmap DecodeFile(const std::string& name, TPNGObject& png) {
  png.LoadFromFile(kSuite + name);
  TBitmap bitmap;
  png.AssignTo(bitmap);
  return bitmap;
}

TEST(PngSuite, EveryValidImageDecodesToItsPixels) {
  const auto expected = LoadExpected();
  ASSERT_EQ(expected.size(), 100u);  // primary and 16bit
  for (const auto& [name, e] : expected) {
    SCOPED_TRACE(name);
    TPNGObject png;
    const TBitmap bitmap = DecodeFile(name, png);
    ASSERT_EQ(bitmap.Width(), e.width);
    ASSERT_EQ(bitmap.Height(), e.height);
    const test::Bytes rgb = test::BitmapRgb(bitmap);
    const auto diff = std::mismatch(rgb.begin(), rgb.end(), e.rgb.begin());
    if (diff.first != rgb.end()) {
      const std::size_t at = static_cast<std::size_t>(diff.first - rgb.begin()) / 3;
      ADD_FAILURE() << "first difference at pixel (" << at % e.width << ", " << at / e.width
                    << "): " << int(*diff.first) << " instead of " << int(*diff.second);
    }
    // Colour types 2 and 6 give 24-bit bitmaps, the others palette bitmaps.
    const int type = png.Header()->ColorType;
    EXPECT_EQ(bitmap.BitsPerPixel() == 24, type == 2 || type == 6);
  }
}

TEST(PngSuite, InterlacedImagesEqualTheirTwins) {
  int pairs = 0;
  for (const char* folder : {"primary/", "16bit/"}) {
    for (const auto& entry : std::filesystem::directory_iterator(kSuite + folder)) {
      std::string name = entry.path().filename().string();
      const std::size_t i = name.find('i');
      if (name.size() < 4 || i != 3) continue;  // "basi...", "s01i..."
      std::string twin = name;
      twin[3] = 'n';
      if (!std::filesystem::exists(kSuite + folder + twin)) continue;
      SCOPED_TRACE(name);
      TPNGObject a, b;
      const TBitmap interlaced = DecodeFile(folder + name, a);
      const TBitmap plain = DecodeFile(folder + twin, b);
      EXPECT_EQ(a.InterlaceMethod, 1);
      EXPECT_EQ(b.InterlaceMethod, 0);
      EXPECT_EQ(interlaced.Format(), plain.Format());
      EXPECT_EQ(interlaced.Palette(), plain.Palette());
      EXPECT_EQ(test::BitmapRgb(interlaced), test::BitmapRgb(plain));
      ++pairs;
    }
  }
  EXPECT_EQ(pairs, 33);
}

TEST(PngSuite, SingleColourTransparency) {
  struct Case {
    const char* name;
    bool transparent;
    TColor colour;  // ignored for palette images: the colour of the first transparent entry
  };
  const Case cases[] = {
      {"primary/tbbn0g04.png", true, 0x000000},  // grey: first byte of 00 0F
      {"primary/tbrn2c08.png", true, 0xFFFFFF},  // RGB: second bytes
      {"16bit/tbwn0g16.png", true, 0xFFFFFF},   {"16bit/tbbn2c16.png", true, 0xFFFFFF},
      {"primary/tbbn3p08.png", true, 0},        {"primary/tp1n3p08.png", true, 0},
      {"primary/tm3n3p02.png", false, 0},  // three partly transparent entries
      {"primary/tp0n2c08.png", false, 0},       {"primary/basn6a08.png", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TPNGObject png;
    const TBitmap bitmap = DecodeFile(c.name, png);
    EXPECT_EQ(bitmap.Transparent, c.transparent);
    if (!c.transparent) continue;
    if (png.Header()->ColorType == 3) {
      const TRGBQuad q = bitmap.Palette()[0];  // index 0 is the transparent entry in these
      EXPECT_EQ(bitmap.TransparentColor,
                q.rgbRed | (TColor{q.rgbGreen} << 8) | (TColor{q.rgbBlue} << 16));
    } else {
      EXPECT_EQ(bitmap.TransparentColor, c.colour);
    }
  }
}

TEST(PngSuite, CorruptImagesFailWithTheirErrors) {
  const std::string header =
      "The file being readed is not a valid \"Portable Network Graphics\" image because it "
      "contains an invalid header. This file may be corruped, try obtaining it again.";
  const std::string crc =
      "This \"Portable Network Graphics\" image is not valid because it contains invalid pieces "
      "of data (crc error)";
  auto unsupported = [](int type, int depth) {
    return "This \"Portable Network Graphics\" image uses colour type " + std::to_string(type) +
           " with bit depth " + std::to_string(depth) + ", which is not supported.";
  };
  const struct {
    const char* name;
    const char* class_name;
    std::string message;
  } cases[] = {
      {"xc1n0g08.png", "EPngError", unsupported(1, 8)},
      {"xc9n2c08.png", "EPngError", unsupported(9, 8)},
      {"xd0n2c08.png", "EPngError", unsupported(2, 0)},
      {"xd3n2c08.png", "EPngError", unsupported(2, 3)},
      {"xd9n2c08.png", "EPngError", unsupported(2, 99)},
      {"xcrn0g04.png", "EPNGInvalidFileHeader", header},
      {"xlfn0g04.png", "EPNGInvalidFileHeader", header},
      {"xs1n0g01.png", "EPNGInvalidFileHeader", header},
      {"xs2n0g01.png", "EPNGInvalidFileHeader", header},
      {"xs4n0g01.png", "EPNGInvalidFileHeader", header},
      {"xs7n0g01.png", "EPNGInvalidFileHeader", header},
      {"xcsn0g01.png", "EPngInvalidCRC", crc},
      {"xhdn0g08.png", "EPngInvalidCRC", crc},
      {"xdtn0g01.png", "EPNGNoImageData",
       "This \"Portable Network Graphics\" image contains no data."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      TPNGObject png;
      png.LoadFromFile(kSuite + "corrupt/" + c.name);
      ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
      EXPECT_STREQ(e.ClassName(), c.class_name);
      EXPECT_EQ(e.Message(), c.message);
    }
  }
}

}  // namespace
}  // namespace qm
