// The JPEG path on files made with the JPEG library's compressor, compared with a plain decode
// of the same file by the library.
#include <gtest/gtest.h>

#include <cstdlib>

#include "imaging/jpeg_image.h"
#include "tests/imaging/test_pictures.h"

namespace qm {
namespace {

using test::Bytes;
using test::JpegKind;

constexpr int kW = 37, kH = 23;  // not multiples of the 8 x 8 blocks

Bytes ReferenceRgb(const Bytes& jpeg) {
  int w, h;
  return test::ReferenceJpegDecode(jpeg, &w, &h, false);
}

TEST(Jpeg, BaselineAndProgressiveDecodeTo24BitRows) {
  const Bytes rgb = test::PhotoLikeRgb(kW, kH, 3);
  for (JpegKind kind : {JpegKind::kBaseline, JpegKind::kProgressive}) {
    const Bytes file = test::EncodeJpeg(rgb, kW, kH, kind);
    TJPEGImage jpeg;
    jpeg.LoadFromBytes(file);
    EXPECT_EQ(jpeg.Width(), kW);  // from the header, before decoding
    EXPECT_EQ(jpeg.Height(), kH);
    EXPECT_FALSE(jpeg.Grayscale());
    TBitmap bitmap;
    jpeg.AssignTo(bitmap);
    ASSERT_EQ(bitmap.Format(), PixelFormat::pf24bit);
    ASSERT_EQ(bitmap.Width(), kW);
    EXPECT_EQ(test::BitmapRgb(bitmap), ReferenceRgb(file));
  }
}

// Mean and largest difference of two equally long sample arrays.
std::pair<double, int> Difference(const Bytes& a, const Bytes& b) {
  long sum = 0;
  int worst = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const int d = std::abs(int(a[i]) - int(b[i]));
    sum += d;
    worst = std::max(worst, d);
  }
  return {static_cast<double>(sum) / static_cast<double>(a.size()), worst};
}

TEST(Jpeg, GreyscaleBecomesAnEightBitBitmapOfAtMost236Greys) {
  Bytes grey(kW * kH);
  for (std::size_t i = 0; i < grey.size(); ++i) grey[i] = static_cast<uint8_t>(i * 7 % 256);
  const Bytes file = test::EncodeJpeg(grey, kW, kH, JpegKind::kGrey);
  TJPEGImage jpeg;
  jpeg.LoadFromBytes(file);
  EXPECT_TRUE(jpeg.Grayscale());
  const TBitmap& bitmap = jpeg.Bitmap();
  ASSERT_EQ(bitmap.Format(), PixelFormat::pf8bit);
  ASSERT_LE(bitmap.Palette().size(), 236u);
  EXPECT_GE(bitmap.Palette().size(), 200u);
  for (const TRGBQuad& q : bitmap.Palette()) {
    EXPECT_EQ(q.rgbRed, q.rgbGreen);
    EXPECT_EQ(q.rgbRed, q.rgbBlue);
  }
  int w, h;
  const Bytes reference = test::ReferenceJpegDecode(file, &w, &h, true);
  const Bytes rgb = test::BitmapRgb(bitmap);
  Bytes decoded;
  for (std::size_t i = 0; i < reference.size(); ++i) decoded.push_back(rgb[3 * i]);
  const auto [mean, worst] = Difference(decoded, reference);
  EXPECT_LT(mean, 1.0);  // 236 levels with error diffusion
  EXPECT_LE(worst, 3);
}

TEST(Jpeg, EightBitSettingsQuantiseTo236Colours) {
  const Bytes rgb = test::PhotoLikeRgb(kW, kH, 5);
  const Bytes file = test::EncodeJpeg(rgb, kW, kH, JpegKind::kBaseline);
  TJPEGImage colour;
  colour.Settings.PixelFormat = TJPEGPixelFormat::jf8Bit;
  colour.LoadFromBytes(file);
  ASSERT_EQ(colour.Bitmap().Format(), PixelFormat::pf8bit);
  EXPECT_LE(colour.Bitmap().Palette().size(), 236u);
  EXPECT_LT(Difference(test::BitmapRgb(colour.Bitmap()), ReferenceRgb(file)).first, 6.0);

  TJPEGImage grey;
  grey.Settings.Grayscale = true;
  grey.LoadFromBytes(file);
  ASSERT_EQ(grey.Bitmap().Format(), PixelFormat::pf8bit);
  for (const TRGBQuad& q : grey.Bitmap().Palette()) EXPECT_EQ(q.rgbRed, q.rgbBlue);

  TJPEGImage half;
  half.Settings.Scale = TJPEGScale::jsHalf;
  half.LoadFromBytes(file);
  EXPECT_EQ(half.Bitmap().Width(), (kW + 1) / 2);
}

TEST(Jpeg, ScreensOfAtMost256ColoursMakeEightBitTheDefault) {
  const TJPEGDefaults saved = JPEGDefaults;
  InitJPEGDefaults(8, 1);
  EXPECT_EQ(TJPEGImage().Settings.PixelFormat, TJPEGPixelFormat::jf8Bit);
  InitJPEGDefaults(4, 2);
  EXPECT_EQ(TJPEGImage().Settings.PixelFormat, TJPEGPixelFormat::jf8Bit);
  InitJPEGDefaults(16, 1);
  EXPECT_EQ(TJPEGImage().Settings.PixelFormat, TJPEGPixelFormat::jf24Bit);
  JPEGDefaults = saved;
  const TJPEGImage fresh;
  EXPECT_EQ(fresh.Settings.CompressionQuality, 90);
  EXPECT_TRUE(fresh.Settings.Smoothing);
  EXPECT_EQ(fresh.Settings.Scale, TJPEGScale::jsFullSize);
  EXPECT_EQ(fresh.Settings.Performance, TJPEGPerformance::jpBestQuality);
}

TEST(Jpeg, FourComponentFilesBecomeRgb) {
  // Four 8 x 8 blocks: red, green, blue, white. Adobe and YCCK files hold the inks inverted
  // (255 = no ink); plain CMYK files hold ink amounts.
  const uint8_t inverted[4][4] = {
      {255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 255, 255}};
  const uint8_t expected[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
  for (JpegKind kind : {JpegKind::kCmykAdobe, JpegKind::kYcck, JpegKind::kCmykPlain}) {
    SCOPED_TRACE(static_cast<int>(kind));
    Bytes samples(16 * 16 * 4);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x)
        for (int c = 0; c < 4; ++c) {
          const uint8_t v = inverted[(y / 8) * 2 + x / 8][c];
          samples[(y * 16 + x) * 4 + c] = kind == JpegKind::kCmykPlain ? 255 - v : v;
        }
    TJPEGImage jpeg;
    jpeg.LoadFromBytes(test::EncodeJpeg(samples, 16, 16, kind));
    ASSERT_EQ(jpeg.Bitmap().Format(), PixelFormat::pf24bit);
    const Bytes rgb = test::BitmapRgb(jpeg.Bitmap());
    for (int q = 0; q < 4; ++q) {
      const std::size_t at = ((q / 2) * 8 * 16 + (q % 2) * 8 + 3 * 16 + 3) * 3;  // inside the block
      for (int c = 0; c < 3; ++c) EXPECT_NEAR(rgb[at + c], expected[q][c], 6) << q << " " << c;
    }
  }
}

TEST(Jpeg, TruncatedFileDecodesWithoutError) {
  const Bytes rgb = test::PhotoLikeRgb(64, 64, 9);
  const Bytes file = test::EncodeJpeg(rgb, 64, 64, JpegKind::kBaseline);
  const Bytes cut(file.begin(), file.begin() + static_cast<long>(file.size() * 2 / 3));
  TJPEGImage jpeg;
  jpeg.LoadFromBytes(cut);
  const TBitmap& bitmap = jpeg.Bitmap();
  ASSERT_EQ(bitmap.Height(), 64);
  // The first block row is complete in the data and decodes as in the whole file.
  const Bytes whole = ReferenceRgb(file), part = test::BitmapRgb(bitmap);
  EXPECT_TRUE(std::equal(part.begin(), part.begin() + 64 * 8 * 3, whole.begin()));
}

TEST(Jpeg, ErrorsCarryTheLibraryMessageCode) {
  // PNG data fails at load: not a JPEG file (code 53).
  TJPEGImage png;
  try {
    png.LoadFromBytes({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13});
    ADD_FAILURE() << "no exception";
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.ClassName(), "EJPEG");
    EXPECT_EQ(e.Message(), "JPEG-Fehler #53");
  }
  // An empty file loads and fails when decoded: empty input (code 42).
  TJPEGImage empty;
  empty.LoadFromBytes({});
  EXPECT_EQ(empty.Width(), 0);
  try {
    empty.Bitmap();
    ADD_FAILURE() << "no exception";
  } catch (const EJPEG& e) {
    EXPECT_EQ(e.Message(), "JPEG-Fehler #42");
  }
  // Damage after a valid header fails in decoding; the decoder is released (leak check).
  Bytes file = test::EncodeJpeg(test::PhotoLikeRgb(16, 16, 1), 16, 16, JpegKind::kProgressive);
  for (std::size_t i = file.size() / 2; i < file.size(); i += 3) file[i] = 0xFF;
  TJPEGImage damaged;
  try {
    damaged.LoadFromBytes(file);
    damaged.Bitmap();
  } catch (const EJPEG& e) {
    EXPECT_EQ(e.Message().rfind("JPEG-Fehler #", 0), 0u);
  }
}

}  // namespace
}  // namespace qm
