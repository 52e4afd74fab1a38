// Picture preparation for `quenmora pack`: EXIF and XMP reading, fitting, turning, scaling and
// the formats read, checked on pictures made here with each format's own encoder.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "photos/prepare.h"
#include "tests/photos/photo_files.h"
#include "tests/support/test_files.h"

namespace qm::photos {
namespace {

using test::Bytes;

ByteSpan Span(const Bytes& b) {
  return ByteSpan(b.data(), b.size());
}

TEST(Exif, ReadsOrientationAndDescriptionInBothByteOrders) {
  struct Row {
    int orientation;
    const char* description;
    bool big;
    int want_orientation;
    const char* want_description;
  } rows[] = {
      {6, "Harbour at dawn", false, 6, "Harbour at dawn"},
      {8, "Harbour at dawn", true, 8, "Harbour at dawn"},
      {3, "Hi", false, 3, "Hi"},                                // text held in the entry itself
      {9, "", false, 1, ""},                                    // no such orientation
      {1, "  OLYMPUS DIGITAL CAMERA  ", true, 1, ""},           // a camera's placeholder
      {2, "Caf\xE9 au lait", false, 2, "Caf\xC3\xA9 au lait"},  // ISO 8859-1 made UTF-8
      {7, "Caf\xC3\xA9", true, 7, "Caf\xC3\xA9"},               // UTF-8 kept
  };
  for (const Row& r : rows) {
    Metadata m;
    ReadExif(Span(test::ExifBlock(r.orientation, r.description, r.big)), m);
    EXPECT_EQ(m.orientation, r.want_orientation) << r.description;
    EXPECT_EQ(m.description, r.want_description) << r.description;
  }
}

TEST(Exif, DamagedBlocksReadNothingFromPastTheirEnd) {
  const Bytes whole = test::ExifBlock(6, "A long description of the view", true);
  for (std::size_t cut = 0; cut < whole.size(); ++cut) {
    Metadata m;
    ReadExif(ByteSpan(whole.data(), cut), m);
    // Cut before the orientation entry's end: nothing read; the text only when whole.
    EXPECT_EQ(m.orientation, cut >= 8 + 2 + 24 ? 6 : 1) << cut;
    EXPECT_TRUE(m.description.empty() || cut == whole.size()) << cut;
  }
  Bytes bad_offset = whole;
  bad_offset[4 + 3] = 0xF0;  // IFD 0 far past the end
  Metadata m;
  ReadExif(Span(bad_offset), m);
  EXPECT_EQ(m.orientation, 1);
}

TEST(Xmp, TakesTheDefaultLanguageAndDecodesEntities) {
  struct Row {
    const char* packet;
    const char* want;
  } rows[] = {
      {"<dc:description><rdf:Alt><rdf:li xml:lang=\"de\">Hafen</rdf:li><rdf:li "
       "xml:lang=\"x-default\">Harbour &amp; boats &#233;&#x263A;</rdf:li></rdf:Alt>"
       "</dc:description>",
       "Harbour & boats \xC3\xA9\xE2\x98\xBA"},
      {"<dc:description><rdf:Alt><rdf:li xml:lang=\"fr\">Port</rdf:li></rdf:Alt></dc:description>",
       "Port"},
      {"<dc:description><rdf:Alt><rdf:li/></rdf:Alt></dc:description>", ""},
      {"<dc:title><rdf:Alt><rdf:li>Title only</rdf:li></rdf:Alt></dc:title>", ""},
      {"<dc:description><rdf:Alt><rdf:li>unterminated", ""},
  };
  for (const Row& r : rows) EXPECT_EQ(XmpDescription(r.packet), r.want) << r.packet;
}

// Packets whose reading took time growing with the square of their size: many items left
// open, one long item of items, a text of '&' without ';', and EXIF blocks whose thousands of
// entries all name one long description. Each megabyte must take at most seconds, even
// instrumented on a loaded machine (a quadratic reading takes many minutes).
TEST(Metadata, RepeatedItemsAndEntriesAreReadInLinearTime) {
  auto repeat = [](std::string_view s, std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < n; ++i) out += s;
    return out;
  };
  const std::size_t n = 150000;
  const std::string ampersands(1 << 20, '&');
  Bytes exif = {'I', 'I', 42, 0, 8, 0, 0, 0, 0xFF, 0xFF};
  const uint32_t text_at = 10 + 0xFFFF * 12;
  for (int k = 0; k < 0xFFFF; ++k)
    exif.insert(exif.end(), {0x0E, 0x01, 2, 0, 0xFC, 0xFF, 3, 0, uint8_t(text_at),
                             uint8_t(text_at >> 8), uint8_t(text_at >> 16), 0});
  exif.resize(exif.size() + (1 << 18), 'a');
  const char* scale = std::getenv("QUENMORA_TEST_TIMEOUT_SCALE");
  const auto limit =
      std::chrono::duration<double>(10 * (scale && std::atof(scale) > 0 ? std::atof(scale) : 1.0));
  struct Row {
    std::string packet, want;
  } rows[] = {
      {"<dc:description>" + repeat("<rdf:li", n) + "></rdf:li>", ""},
      {"<dc:description>" + repeat("<rdf:li>", n) + "</rdf:li>", repeat("<rdf:li>", n - 1)},
      {"<dc:description><rdf:li>" + ampersands + "</rdf:li>", ampersands},
  };
  for (const Row& r : rows) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(XmpDescription(r.packet), r.want) << r.packet.substr(0, 40);
    EXPECT_LT(std::chrono::steady_clock::now() - start, limit) << r.packet.substr(0, 40);
  }
  const auto start = std::chrono::steady_clock::now();
  Metadata m;
  ReadExif(Span(exif), m);
  EXPECT_LT(std::chrono::steady_clock::now() - start, limit);
  EXPECT_EQ(m.description, std::string((1 << 18) - 4, 'a'));
}

TEST(Fit, SizesOnBothSidesOfTheLimit) {
  struct Row {
    Size picture, box, want;
  } rows[] = {
      {{4000, 3000}, {1920, 1080}, {1440, 1080}},  // landscape, height-limited
      {{3000, 4000}, {1920, 1080}, {810, 1080}},   // portrait
      {{1920, 1080}, {1920, 1080}, {1920, 1080}},  // exactly the limit
      {{1921, 1080}, {1920, 1080}, {1920, 1079}},  // one pixel over
      {{1920, 1081}, {1920, 1080}, {1918, 1080}},
      {{1000, 500}, {1920, 1080}, {1000, 500}},  // smaller: never enlarged
      {{5000, 100}, {1920, 1080}, {1920, 38}},   // a panorama
      {{1, 5000}, {1920, 1080}, {1, 1080}},      // never thinner than a pixel
  };
  for (const Row& r : rows) {
    const Size got = FitInside(r.picture, r.box);
    EXPECT_EQ(got, r.want) << r.picture.width << "x" << r.picture.height << " -> " << got.width
                           << "x" << got.height;
  }
}

TEST(Formats, DecodeToTheReferencePixels) {
  using test::Encoding;
  // Drawings in lossless formats come out exactly (as PNG); photographs in lossy formats come
  // out as JPEG within the loss of their own encoding and ours at quality 90 (PSNR >= 30 dB).
  struct Row {
    const char* name;
    Encoding encoding;
    bool drawing;
    const char* extension;
    double min_psnr;
  } rows[] = {
      {"TIFF drawing", Encoding::kTiff, true, ".png", 100},
      {"TIFF photograph", Encoding::kTiff, false, ".jpg", 38},
      {"GIF", Encoding::kGif, true, ".png", 100},
      {"WebP lossless", Encoding::kWebpLossless, true, ".png", 100},
      {"WebP lossy", Encoding::kWebpLossy, false, ".jpg", 32},
      {"HEIC", Encoding::kHeic, false, ".jpg", 30},
      {"AVIF", Encoding::kAvif, false, ".jpg", 30},
      {"HEIC grid of tiles", Encoding::kHeicGrid, false, ".jpg", 30},
  };
  for (const Row& r : rows) {
    const TBitmap reference = r.drawing ? test::Drawing(160, 120) : test::Photo(160, 120);
    const Bytes file = test::Encode(r.encoding, reference);
    PrepareOptions options;
    options.fit.reset();
    const Prepared out = PreparePicture(Span(file), options);
    ASSERT_FALSE(out.kept_as_is) << r.name;
    EXPECT_STREQ(out.extension, r.extension) << r.name;
    const TBitmap shown = test::DecodeSlide(std::string("x") + r.extension, out.data);
    EXPECT_GE(test::Psnr(shown, reference), r.min_psnr) << r.name;
  }
}

TEST(Formats, TransparentPixelsShowTheBackgroundAndMakeAPng) {
  const Bytes webp = test::Encode(test::Encoding::kWebpLossless, test::Photo(64, 32), true);
  PrepareOptions options;
  options.background = 0x00336699;  // 0x00BBGGRR
  const Prepared out = PreparePicture(Span(webp), options);
  ASSERT_STREQ(out.extension, ".png");
  const TBitmap shown = test::DecodeSlide("x.png", out.data);
  const uint8_t* see_through = shown.ScanLine(10) + 50 * 3;
  EXPECT_EQ(see_through[0], 0x33);  // blue
  EXPECT_EQ(see_through[1], 0x66);
  EXPECT_EQ(see_through[2], 0x99);
  EXPECT_EQ(std::memcmp(shown.ScanLine(10) + 3, test::Photo(64, 32).ScanLine(10) + 3, 3), 0);
}

TEST(Formats, BrokenAndOversizedFilesAreRefusedWithAReason) {
  using test::Encoding;
  const auto cut = [](Bytes b, double keep) {
    b.resize(static_cast<std::size_t>(b.size() * keep));
    return b;
  };
  // The boxes that describe the picture damaged (damaged coded data is concealed, not refused).
  const auto scribbled = [](Bytes b) {
    for (std::size_t i = 16; i < b.size() / 4; i += 5) b[i] ^= 0x5A;
    return b;
  };
  Bytes huge_png = {0x89, 'P',  'N', 'G', '\r', '\n', 0x1A, '\n', 0,    0, 0,
                    13,   'I',  'H', 'D', 'R',  0,    0,    0x4E, 0x20, 0, 0,
                    0x4E, 0x20, 8,   2,   0,    0,    0,    0,    0,    0, 0};
  const Bytes heic = test::Encode(Encoding::kHeic, test::Photo(64, 64));
  const Bytes webp = test::Encode(Encoding::kWebpLossy, test::Photo(64, 64));
  struct Row {
    const char* name;
    Bytes file;
    const char* reason;
  } rows[] = {
      {"HEIC cut short", cut(heic, 0.5), "HEIF"},
      {"HEIC scribbled", scribbled(heic), "HEIF"},
      {"WebP cut short", cut(webp, 0.5), "WebP"},
      {"WebP header only", cut(webp, 0.1), "WebP"},
      {"GIF without picture", {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, ';'}, "GIF"},
      {"TIFF header only", {'I', 'I', 42, 0, 8, 0, 0, 0}, "TIFF"},
      {"text", {'h', 'e', 'l', 'l', 'o'}, "not a picture"},
      {"empty", {}, "empty"},
      {"20000x20000 PNG", huge_png, "more than the limit of 1024 MiB"},
      // A grid whose tile is an overlay with a canvas of its own, far larger than the sizes the
      // file gives for both.
      {"HEIF overlay canvas",
       test::ReadFile(QM_FUZZ_CORPUS_DIR
                      "/heif_photo_fuzzer/regress-overlay-canvas-beyond-memory-limit"),
       "45888x62753 pixels take 24716 MiB to decode, more than the limit of 1024 MiB"},
      // Coded pictures whose own parameters give 30000x30000 pixels, the size their codec
      // allocates frames at: a 64x64 HEVC tile, and a 13x9 AV1 picture.
      {"HEVC frame beyond its tile",
       test::ReadFile(QM_FUZZ_CORPUS_DIR
                      "/heif_photo_fuzzer/regress-hevc-frame-beyond-memory-limit"),
       "30000x30000 pixels take 7725 MiB to decode, more than the limit of 1024 MiB"},
      {"AV1 frame beyond its picture",
       test::ReadFile(QM_FUZZ_CORPUS_DIR
                      "/heif_photo_fuzzer/regress-av1-frame-beyond-memory-limit"),
       "30000x30000 pixels take 7725 MiB to decode, more than the limit of 1024 MiB"},
  };
  PrepareOptions options;
  options.memory_limit = uint64_t{1} << 30;
  for (const Row& r : rows) {
    try {
      PreparePicture(Span(r.file), options);
      ADD_FAILURE() << r.name << " was prepared";
    } catch (const PictureError& e) {
      EXPECT_NE(std::string(e.what()).find(r.reason), std::string::npos)
          << r.name << ": " << e.what();
    }
  }
}

// Linear-light Lanczos-3 computed directly in double precision, one output pixel at a time.
double ReferenceSample(const TBitmap& src, double scale_x, double scale_y, int x, int y, int c) {
  const auto lanczos = [](double t) {
    t = std::abs(t);
    if (t < 1e-12) return 1.0;
    if (t >= 3) return 0.0;
    const double pt = M_PI * t;
    return 3 * std::sin(pt) * std::sin(pt / 3) / (pt * pt);
  };
  const auto linear = [](int v) {
    const double s = v / 255.0;
    return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
  };
  const double cx = (x + 0.5) * scale_x, cy = (y + 0.5) * scale_y;
  double sum = 0, weights = 0;
  for (int sy = std::max(0, int(cy - 3 * scale_y) - 1);
       sy < std::min(src.Height(), int(cy + 3 * scale_y) + 2); ++sy)
    for (int sx = std::max(0, int(cx - 3 * scale_x) - 1);
         sx < std::min(src.Width(), int(cx + 3 * scale_x) + 2); ++sx) {
      const double w = lanczos((sx + 0.5 - cx) / scale_x) * lanczos((sy + 0.5 - cy) / scale_y);
      sum += w * linear(src.ScanLine(sy)[sx * 3 + c]);
      weights += w;
    }
  const double l = std::clamp(sum / weights, 0.0, 1.0);
  return 255 * (l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055);
}

// Every filter kernel this processor runs.
TEST(Downscale, MatchesADirectComputationInLinearLight) {
  struct Row {
    Size from, to;
  } rows[] = {{{120, 80}, {48, 32}}, {{97, 53}, {24, 40}}, {{60, 60}, {59, 21}}};
  for (const auto& kernels : SupportedRows(DownscaleKernelRows()))
    for (const Row& r : rows) {
      const TBitmap src = test::Photo(r.from.width, r.from.height);
      const TBitmap got = Downscale(src, r.to, kernels.function);
      ASSERT_EQ((Size{got.Width(), got.Height()}), r.to) << kernels.name;
      double worst = 0;
      for (int y = 0; y < r.to.height; ++y)
        for (int x = 0; x < r.to.width; ++x)
          for (int c = 0; c < 3; ++c)
            worst = std::max(
                worst, std::abs(got.ScanLine(y)[x * 3 + c] -
                                ReferenceSample(src, double(r.from.width) / r.to.width,
                                                double(r.from.height) / r.to.height, x, y, c)));
      EXPECT_LE(worst, 1.0) << kernels.name << " " << r.from.width << "x" << r.from.height;
    }
  // Fine black and white lines average to half the light: sRGB 188, not 128.
  TBitmap lines(64, 64, PixelFormat::pf24bit);
  for (int y = 0; y < 64; ++y) std::memset(lines.ScanLine(y), y % 2 ? 255 : 0, 64 * 3);
  const TBitmap half = Downscale(lines, {32, 16});
  EXPECT_NEAR(half.ScanLine(8)[16 * 3], 188, 2);
}

// A JPEG is scaled while it is decoded only as far as that leaves twice the asked size, and
// not beyond the memory limit when a larger scale would exceed it.
TEST(Downscale, DecodingScaleLeavesTwiceTheAskedSize) {
  const uint64_t plenty = uint64_t{1} << 40;
  struct Row {
    Size full, at_least;
    uint64_t max_pixels;
    Fraction want;
  } rows[] = {
      {{4000, 3000}, {1440, 1080}, plenty, {1, 1}},  // 1/2 would leave 1.4 times
      {{6000, 4000}, {1620, 1080}, plenty, {1, 1}},
      {{8000, 6000}, {1440, 1080}, plenty, {3, 8}},
      {{20000, 20000}, {1080, 1080}, plenty, {1, 8}},
      {{800, 600}, {90, 68}, plenty, {1, 4}},
      {{4000, 3000}, {4000, 3000}, plenty, {1, 1}},
      {{30000, 30000}, {8000, 8000}, 300'000'000, {3, 8}},  // whole: over the limit
  };
  for (const Row& r : rows)
    EXPECT_EQ(JpegDecodeFraction(r.full, r.at_least, r.max_pixels), r.want) << r.full.width;
}

// A grainy photograph scaled while it is decoded (at 1/2, 1/4 or 1/8, then exactly) comes out
// close to the exact downscale of the whole picture, and of the size asked for: the grain is
// the fine detail that scaling the blocks too close to the asked size smears.
TEST(Downscale, ScaledWhileDecodingStaysCloseToTheWholePicturesDownscale) {
  TBitmap grainy = test::Photo(800, 600);
  uint32_t seed = 1;
  for (int y = 0; y < 600; ++y)
    for (uint8_t* p = grainy.ScanLine(y); p < grainy.ScanLine(y) + 800 * 3; ++p) {
      seed = seed * 1664525 + 1013904223;
      *p = static_cast<uint8_t>(std::clamp(*p + static_cast<int>(seed >> 27) - 16, 0, 255));
    }
  const Bytes jpeg = test::Jpeg(grainy, 95);
  DecodeRequest whole;
  const TBitmap full = Decode(Format::kJpeg, Span(jpeg), whole).pixels;
  for (const Size fit : {Size{390, 293}, Size{300, 225}, Size{190, 143}, Size{90, 68}}) {
    PrepareOptions options;
    options.fit = fit;
    const TBitmap got = DecodeUpright(Span(jpeg), options).pixels;
    ASSERT_EQ((Size{got.Width(), got.Height()}), FitInside({800, 600}, fit));
    EXPECT_GE(test::Psnr(got, Downscale(full, FitInside({800, 600}, fit))), 45) << fit.width;
  }
}

}  // namespace
}  // namespace qm::photos
