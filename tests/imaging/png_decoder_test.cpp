// The PNG decoder on pictures made by the test's own writer: every accepted format, gamma,
// chunk handling, the image-data reader, transparency and every error with its exact text.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <functional>
#include <random>
#include <span>

#include "imaging/png_image.h"
#include "imaging/png_rows.h"
#include "tests/imaging/test_pictures.h"

namespace qm {
namespace {

using test::Bytes;
using test::PngChunk;
using test::PngImage;

TBitmap Decode(const Bytes& file, TPNGObject* keep = nullptr) {
  TPNGObject local;
  TPNGObject& png = keep ? *keep : local;
  png.LoadFromBytes(file);
  TBitmap bitmap;
  png.AssignTo(bitmap);
  return bitmap;
}

// A palette of `n` entries, pseudo-random.
Bytes RandomPalette(int n, uint32_t seed) {
  Bytes p(static_cast<std::size_t>(n) * 3);
  for (auto& b : p) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<uint8_t>(seed >> 16);
  }
  return p;
}

// What the picture should look like, computed from the samples without the decoder's tables.
Bytes ExpectedRgb(const PngImage& img, const Bytes& palette) {
  Bytes out;
  const int d = img.bit_depth;
  auto level = [&](uint16_t v) -> uint8_t {
    if (d == 16) return static_cast<uint8_t>(v >> 8);
    return static_cast<uint8_t>(v * 255 / ((1 << d) - 1));
  };
  auto high = [&](uint16_t v) { return static_cast<uint8_t>(d == 16 ? v >> 8 : v); };
  for (uint32_t y = 0; y < img.height; ++y) {
    for (uint32_t x = 0; x < img.width; ++x) {
      const uint16_t* s =
          &img.samples[(static_cast<std::size_t>(y) * img.width + x) * img.Channels()];
      switch (img.color_type) {
        case 0:
        case 4:
          out.insert(out.end(), 3, level(s[0]));
          break;
        case 2:
        case 6:
          out.insert(out.end(), {high(s[0]), high(s[1]), high(s[2])});
          break;
        case 3: {
          const std::size_t i = high(s[0]);
          if (i * 3 + 2 < palette.size())
            out.insert(out.end(), {palette[3 * i], palette[3 * i + 1], palette[3 * i + 2]});
          else
            out.insert(out.end(), 3, 0);
          break;
        }
      }
    }
  }
  return out;
}

int ExpectedBits(int type, int depth) {
  if (type == 2 || type == 6) return 24;
  if (type == 4 || depth == 16) return 8;
  return depth == 2 ? 4 : depth;
}

bool SameBitmap(const TBitmap& a, const TBitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height() || a.Format() != b.Format() ||
      a.Palette() != b.Palette())
    return false;
  return std::equal(a.Bits(), a.Bits() + a.RowBytes() * a.Height(), b.Bits());
}

TEST(PngDecode, EveryAcceptedFormatInterlacedOrNotGivesItsSamples) {
  const std::pair<int, int> formats[] = {{0, 1},  {0, 2},  {0, 4}, {0, 8}, {0, 16}, {2, 8},
                                         {2, 16}, {3, 1},  {3, 2}, {3, 4}, {3, 8},  {3, 16},
                                         {4, 8},  {4, 16}, {6, 8}, {6, 16}};
  const std::pair<uint32_t, uint32_t> sizes[] = {{1, 1}, {3, 2}, {13, 11}, {33, 9}};
  uint32_t seed = 1;
  for (auto [type, depth] : formats) {
    for (auto [w, h] : sizes) {
      SCOPED_TRACE(testing::Message()
                   << "type " << type << " depth " << depth << " size " << w << "x" << h);
      PngImage img = test::RandomPngImage(w, h, type, depth, ++seed);
      // Sixteen-bit palette images are outside the PNG standard; their filter distance is one
      // byte here, so only filters that do not look left give the writer's bytes back.
      if (type == 3 && depth == 16) img.filter = 2;
      const Bytes palette =
          type == 3 ? RandomPalette(depth >= 8 ? 256 : 1 << depth, seed) : Bytes{};
      const TBitmap plain = Decode(test::MakePng(img, palette));
      EXPECT_EQ(plain.Width(), static_cast<int>(w));
      EXPECT_EQ(plain.Height(), static_cast<int>(h));
      EXPECT_EQ(plain.BitsPerPixel(), ExpectedBits(type, depth));
      EXPECT_EQ(test::BitmapRgb(plain), ExpectedRgb(img, palette));
      EXPECT_FALSE(plain.Transparent);
      img.interlace = 1;
      const TBitmap interlaced = Decode(test::MakePng(img, palette));
      EXPECT_TRUE(SameBitmap(plain, interlaced));
    }
  }
}

TEST(PngDecode, PicturesDecodeAsFarAsTheirDataGoes) {
  // Pictures whose rows take several times the decoder's inflate buffer, and a small interlaced
  // one cut inside a pass whose next pass has shorter rows, their data cut (kept: a fraction of
  // the filtered bytes, or above 1 a count of them) inside a row or whole, over three IDAT
  // chunks. Rows the data covers completely are decoded; the cut row and every row after it
  // stay zero.
  struct Row {
    int type, depth, interlace;
    uint32_t width, height;
    double kept;
  } rows[] = {{2, 8, 0, 600, 300, 0.77},
              {2, 8, 1, 600, 300, 1.0},
              {2, 8, 1, 600, 300, 0.6},
              {6, 8, 0, 600, 300, 0.9},
              {2, 8, 1, 5, 40, 52}};
  struct Pass {
    uint32_t x0, y0, dx, dy;
  };
  const Pass adam7[] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                        {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
  const Pass whole[] = {{0, 0, 1, 1}};
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << "type " << r.type << " interlace " << r.interlace
                                    << " width " << r.width << " kept " << r.kept);
    PngImage img = test::RandomPngImage(r.width, r.height, r.type, r.depth, 3);
    img.interlace = r.interlace;
    const Bytes filtered = img.FilteredData();
    const std::size_t kept = static_cast<std::size_t>(
        r.kept > 1 ? r.kept : static_cast<double>(filtered.size()) * r.kept);
    uLongf size = compressBound(static_cast<uLong>(kept));
    Bytes compressed(size);
    ASSERT_EQ(compress(compressed.data(), &size, filtered.data(), static_cast<uLong>(kept)), Z_OK);
    compressed.resize(size);
    std::vector<test::PngChunk> chunks{test::IhdrChunk(img)};
    for (auto& c : test::IdatChunks(compressed, 3)) chunks.push_back(c);
    chunks.push_back({"IEND", {}});

    Bytes expected = ExpectedRgb(img, {}), reached(expected.size(), 0);
    const int bytes_per_pixel = img.Channels() * r.depth / 8;
    std::size_t at = 0;
    for (const Pass& p : r.interlace ? std::span<const Pass>(adam7) : std::span<const Pass>(whole))
      for (uint32_t y = p.y0; y < img.height; y += p.dy) {
        const std::size_t pixels = (img.width - p.x0 + p.dx - 1) / p.dx;
        at += 1 + pixels * bytes_per_pixel;
        for (uint32_t x = p.x0; x < img.width && at <= kept; x += p.dx)
          std::fill_n(reached.begin() + (std::size_t{y} * img.width + x) * 3, 3, 1);
      }
    for (std::size_t i = 0; i < expected.size(); ++i) expected[i] = reached[i] ? expected[i] : 0;
    EXPECT_EQ(test::BitmapRgb(Decode(test::AssemblePng(chunks))), expected);
  }
}

TEST(PngDecode, GreyAndPaletteBitmapsKeepTheirIndicesAndOwnColours) {
  // Two-bit grey becomes four-bit ramp index v * 5 of a 16-entry ramp (levels k * 17).
  PngImage grey = test::RandomPngImage(8, 2, 0, 2, 7);
  for (uint32_t x = 0; x < 4; ++x) grey.At(x, 0, 0) = static_cast<uint16_t>(x);
  const TBitmap g = Decode(test::MakePng(grey));
  ASSERT_EQ(g.Format(), PixelFormat::pf4bit);
  ASSERT_EQ(g.Palette().size(), 16u);
  for (int k = 0; k < 16; ++k) EXPECT_EQ(g.Palette()[k].rgbGreen, k * 17);
  EXPECT_EQ(g.ScanLine(0)[0], 0x05);  // samples 0 and 1
  EXPECT_EQ(g.ScanLine(0)[1], 0xAF);  // samples 2 and 3

  // Two-bit palette indices stay indices 0..3 of the PNG's own palette.
  PngImage pal = test::RandomPngImage(4, 1, 3, 2, 9);
  for (uint32_t x = 0; x < 4; ++x) pal.At(x, 0, 0) = static_cast<uint16_t>(3 - x);
  const Bytes colours = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
  const TBitmap p = Decode(test::MakePng(pal, colours));
  ASSERT_EQ(p.Format(), PixelFormat::pf4bit);
  EXPECT_EQ(p.ScanLine(0)[0], 0x32);
  EXPECT_EQ(p.ScanLine(0)[1], 0x10);
  EXPECT_EQ(p.Palette()[3], (TRGBQuad{120, 110, 100, 0}));
  EXPECT_EQ(p.Palette()[4], TRGBQuad{});  // beyond the PNG's palette: black
}

TEST(PngDecode, AlphaIsNotBlendedAndKeptAsAPlane) {
  PngImage img = test::RandomPngImage(5, 3, 6, 8, 21);
  img.At(2, 1, 0) = 200;
  img.At(2, 1, 1) = 100;
  img.At(2, 1, 2) = 50;
  img.At(2, 1, 3) = 0;  // fully transparent, shown with its colour
  TPNGObject png;
  const TBitmap bmp = Decode(test::MakePng(img), &png);
  const uint8_t* p = bmp.ScanLine(1) + 2 * 3;
  EXPECT_EQ(p[0], 50);
  EXPECT_EQ(p[1], 100);
  EXPECT_EQ(p[2], 200);
  const auto& alpha = png.Header()->Alpha;
  ASSERT_EQ(alpha.size(), 15u);
  for (uint32_t y = 0; y < 3; ++y)
    for (uint32_t x = 0; x < 5; ++x) EXPECT_EQ(alpha[y * 5 + x], img.At(x, y, 3));
}

TEST(PngDecode, FilterTypesAboveFourLeaveTheRowUnfiltered) {
  PngImage img = test::RandomPngImage(6, 4, 2, 8, 5);
  img.filter = 7;
  EXPECT_EQ(test::BitmapRgb(Decode(test::MakePng(img))), ExpectedRgb(img, {}));
}

TEST(PngDecode, UnfilterRowMatchesThePredictors) {
  // Average and Paeth at distance 3 with the left pixel missing for the first three bytes.
  const uint8_t prev[6] = {10, 20, 30, 40, 50, 60};
  uint8_t avg[6] = {1, 1, 1, 1, 1, 1};
  UnfilterRow(3, avg, prev, 6, 3);
  EXPECT_EQ(avg[0], 1 + 5);
  EXPECT_EQ(avg[3], 1 + (6 + 40) / 2);
  uint8_t paeth[6] = {1, 1, 1, 1, 1, 1};
  UnfilterRow(4, paeth, prev, 6, 3);
  EXPECT_EQ(paeth[0], 11);      // only the byte above
  EXPECT_EQ(paeth[3], 1 + 40);  // a=11, b=40, c=10: b is nearest to a + b - c
  uint8_t wrap[2] = {200, 100};
  const uint8_t up[2] = {100, 200};
  UnfilterRow(2, wrap, up, 2, 1);  // sums wrap modulo 256
  EXPECT_EQ(wrap[0], 44);
  EXPECT_EQ(wrap[1], 44);
}

TEST(PngDecode, EveryRowKernelAgreesWithThePortableOne) {
  std::mt19937 rng(11);
  auto random_bytes = [&](std::size_t n) {
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng());
    return v;
  };
  // Rows of every length up to a few pixels past the vector width, and long ones; a guard byte
  // past the row must stay as it was.
  std::vector<std::size_t> lengths{1000, 5763};
  for (std::size_t n = 0; n <= 70; ++n) lengths.push_back(n);
  const auto unfilters = SupportedRows(png::UnfilterRows());
  for (const auto& k : unfilters)
    for (int bpp : {3, 4})
      for (int filter = 1; filter <= 4; ++filter)
        for (std::size_t n : lengths) {
          const std::vector<uint8_t> prev = random_bytes(n), raw = random_bytes(n + 1);
          std::vector<uint8_t> want = raw, got = raw;
          const png::TUnfilters& portable = unfilters.back().function;
          const auto& model = bpp == 3 ? portable.Unfilter3 : portable.Unfilter4;
          const auto& tried = bpp == 3 ? k.function.Unfilter3 : k.function.Unfilter4;
          model[filter](want.data(), prev.data(), n);
          tried[filter](got.data(), prev.data(), n);
          ASSERT_EQ(got, want) << k.name << " filter " << filter << " at " << bpp << " bytes, "
                               << n;
        }
  const auto rgb = SupportedRows(png::RgbToBgrRows());
  const auto rgba = SupportedRows(png::RgbaToBgrRows());
  for (std::size_t count : lengths) {
    const std::vector<uint8_t> source = random_bytes(4 * count);
    std::vector<uint8_t> want(3 * count + 1, 7), want_alpha(count + 1, 7);
    rgb.back().function(source.data(), want.data(), count);
    for (const auto& k : rgb) {
      std::vector<uint8_t> got(3 * count + 1, 7);
      k.function(source.data(), got.data(), count);
      ASSERT_EQ(got, want) << k.name << " RGB, " << count;
    }
    rgba.back().function(source.data(), want.data(), want_alpha.data(), count);
    for (const auto& k : rgba) {
      std::vector<uint8_t> got(3 * count + 1, 7), got_alpha(count + 1, 7);
      k.function(source.data(), got.data(), got_alpha.data(), count);
      ASSERT_EQ(got, want) << k.name << " RGBA, " << count;
      ASSERT_EQ(got_alpha, want_alpha) << k.name << " alpha, " << count;
    }
  }
  // The Adler-32 sum over runs of every length around the reduction step, of random bytes and of
  // bytes of 255 (the largest sums), from a start sum of 1 and of a large one.
  const std::vector<uint8_t> random = random_bytes(12000), full(12000, 255);
  for (const auto& k : SupportedRows(png::Adler32Rows()))
    for (const auto* data : {&random, &full})
      for (std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{15}, std::size_t{16},
                            std::size_t{17}, std::size_t{5551}, std::size_t{5552},
                            std::size_t{5568}, std::size_t{11111}, std::size_t{12000}})
        for (uint32_t start : {1u, 0xFFF0FFF0u % 65521u * 65537u})
          ASSERT_EQ(k.function(start, data->data(), n), adler32_z(start, data->data(), n))
              << k.name << " sum of " << n;
}

// ---- gamma ----

uint8_t GammaEntry(uint32_t g, int i) {
  return static_cast<uint8_t>(
      std::nearbyint(255.0 * std::pow(i / 255.0, 1.0 / (g / 100000.0 * 2.2))));
}

TEST(PngGamma, AppliesToRgbGreyAndPalettesReadAfterIt) {
  const uint32_t g = 45455;
  const Bytes gama = test::BigEndian32(g);

  PngImage rgb = test::RandomPngImage(7, 5, 2, 8, 3);
  TPNGObject png;
  const TBitmap bmp =
      Decode(test::AssemblePng(
                 {test::IhdrChunk(rgb), {"gAMA", gama}, {"IDAT", rgb.Compressed()}, {"IEND", {}}}),
             &png);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(png.GammaTable[i], GammaEntry(g, i)) << i;
  Bytes expected = ExpectedRgb(rgb, {});
  for (auto& v : expected) v = GammaEntry(g, v);
  EXPECT_EQ(test::BitmapRgb(bmp), expected);

  PngImage grey = test::RandomPngImage(4, 4, 0, 4, 8);
  const TBitmap gb = Decode(test::AssemblePng(
      {test::IhdrChunk(grey), {"gAMA", gama}, {"IDAT", grey.Compressed()}, {"IEND", {}}}));
  for (int k = 0; k < 16; ++k) EXPECT_EQ(gb.Palette()[k].rgbRed, GammaEntry(g, k * 17));

  // The palette takes the gamma table in force when it is read.
  PngImage pal = test::RandomPngImage(2, 2, 3, 8, 4);
  const Bytes colours = {100, 150, 200};
  const TBitmap before = Decode(test::AssemblePng({test::IhdrChunk(pal),
                                                   {"gAMA", gama},
                                                   {"PLTE", colours},
                                                   {"IDAT", pal.Compressed()},
                                                   {"IEND", {}}}));
  EXPECT_EQ(before.Palette()[0],
            (TRGBQuad{GammaEntry(g, 200), GammaEntry(g, 150), GammaEntry(g, 100), 0}));
  const TBitmap after = Decode(test::AssemblePng({test::IhdrChunk(pal),
                                                  {"PLTE", colours},
                                                  {"gAMA", gama},
                                                  {"IDAT", pal.Compressed()},
                                                  {"IEND", {}}}));
  EXPECT_EQ(after.Palette()[0], (TRGBQuad{200, 150, 100, 0}));
}

TEST(PngGamma, ZeroKeepsTheTableAndAWrongLengthCountsAsOne) {
  PngImage img = test::RandomPngImage(2, 2, 2, 8, 3);
  TPNGObject zero;
  Decode(test::AssemblePng({test::IhdrChunk(img),
                            {"gAMA", test::BigEndian32(0)},
                            {"IDAT", img.Compressed()},
                            {"IEND", {}}}),
         &zero);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(zero.GammaTable[i], i);
  TPNGObject one;
  Decode(test::AssemblePng(
             {test::IhdrChunk(img), {"gAMA", {1, 2, 3}}, {"IDAT", img.Compressed()}, {"IEND", {}}}),
         &one);
  EXPECT_EQ(one.GammaTable[254], 0);
  EXPECT_EQ(one.GammaTable[255], 255);
}

// ---- chunks and the image-data reader ----

class PngChunks : public testing::Test {
 protected:
  PngImage img_ = test::RandomPngImage(40, 30, 2, 8, 77);
  Bytes compressed_ = img_.Compressed();
  Bytes expected_ = ExpectedRgb(img_, {});
};

TEST_F(PngChunks, ImageDataSplitOverChunksWithEmptyOnesDecodes) {
  std::vector<PngChunk> chunks = {test::IhdrChunk(img_)};
  for (const PngChunk& c : test::IdatChunks(compressed_, 5)) {
    chunks.push_back(c);
    chunks.push_back({"IDAT", {}});  // empty chunks inside the run are passed over
  }
  chunks.push_back({"IEND", {}});
  EXPECT_EQ(test::BitmapRgb(Decode(test::AssemblePng(chunks))), expected_);
}

TEST_F(PngChunks, OnlyTheFirstRunOfImageDataCounts) {
  // The second run holds garbage with a wrong checksum: it is skipped unread.
  TPNGObject png;
  const TBitmap bmp = Decode(test::AssemblePng({test::IhdrChunk(img_),
                                                {"IDAT", compressed_},
                                                {"tEXt", {'a', 0, 'b'}},
                                                {"IDAT", {1, 2, 3}, true},
                                                {"IEND", {}}}),
                             &png);
  EXPECT_EQ(test::BitmapRgb(bmp), expected_);
  int idat = 0;
  for (const auto& c : png.Chunks()) idat += c->Name() == "IDAT";
  EXPECT_EQ(idat, 1);
}

TEST_F(PngChunks, ChrmIsDroppedUncheckedAndAncillaryChunksAreKept) {
  TPNGObject png;
  Decode(test::AssemblePng({test::IhdrChunk(img_),
                            {"cHRM", Bytes(32, 1), true},
                            {"prVt", {4, 5, 6}},
                            {"tEXt", {'K', 'e', 'y', 0, 'v', 'a', 'l'}},
                            {"tIME", {0x07, 0xE6, 12, 24, 18, 30, 59}},
                            {"IDAT", compressed_},
                            {"IEND", {}}}),
         &png);
  std::vector<std::string> names;
  for (const auto& c : png.Chunks()) names.push_back(c->Name());
  EXPECT_EQ(names, (std::vector<std::string>{"IHDR", "prVt", "tEXt", "tIME", "IDAT", "IEND"}));
  EXPECT_EQ(png.Chunks()[1]->Data(), (Bytes{4, 5, 6}));
  const auto* text = png.Find<TChunktEXt>();
  EXPECT_EQ(text->Keyword, "Key");
  EXPECT_EQ(text->Text, "val");
  const auto* time = png.Find<TChunktIME>();
  EXPECT_EQ(time->Year, 2022);
  EXPECT_EQ(time->Month, 12);
  EXPECT_EQ(time->Second, 59);
}

TEST_F(PngChunks, CompressedTextInflatesOrStaysEmpty) {
  const std::string words = "Quenmora compressed text";
  uLongf size = compressBound(words.size());
  Bytes z(size);
  compress2(z.data(), &size, reinterpret_cast<const Bytef*>(words.data()), words.size(), 9);
  z.resize(size);
  Bytes good = {'T', 'i', 't', 'l', 'e', 0, 0};
  good.insert(good.end(), z.begin(), z.end());
  Bytes bad = {'T', 0, 0, 0xFF, 0xFF, 0xFF};
  Bytes cut(good.begin(), good.end() - 6);
  const Bytes* files[] = {&good, &bad, &cut};
  for (const Bytes* file : files) {
    const Bytes& data = *file;
    TPNGObject png;
    Decode(test::AssemblePng(
               {test::IhdrChunk(img_), {"zTXt", data}, {"IDAT", compressed_}, {"IEND", {}}}),
           &png);
    const auto* text = png.Find<TChunkzTXt>();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->Text, file == &good ? words : "");
  }
}

TEST_F(PngChunks, DataThatEndsEarlyLeavesRowsZero) {
  // The compressed stream holds only the first 10 rows.
  PngImage part = img_;
  part.height = 10;
  part.samples.resize(40 * 10 * 3);
  const Bytes file =
      test::AssemblePng({test::IhdrChunk(img_), {"IDAT", part.Compressed()}, {"IEND", {}}});
  const Bytes rgb = test::BitmapRgb(Decode(file));
  const std::size_t split = 40 * 10 * 3;
  EXPECT_TRUE(std::equal(rgb.begin(), rgb.begin() + split, expected_.begin()));
  EXPECT_TRUE(std::all_of(rgb.begin() + split, rgb.end(), [](uint8_t v) { return v == 0; }));
}

TEST_F(PngChunks, DataAfterTheCompressedStreamIsCheckedAndIgnored) {
  Bytes padded = compressed_;
  padded.insert(padded.end(), {9, 9, 9, 9});
  EXPECT_EQ(test::BitmapRgb(
                Decode(test::AssemblePng({test::IhdrChunk(img_), {"IDAT", padded}, {"IEND", {}}}))),
            expected_);
  EXPECT_THROW(
      Decode(test::AssemblePng({test::IhdrChunk(img_), {"IDAT", padded, true}, {"IEND", {}}})),
      EPngInvalidCRC);
}

TEST_F(PngChunks, AStreamAskingForAPresetDictionaryEndsTheData) {
  // Such a stream cannot go on; the decoder must stop rather than ask again and again.
  const Bytes dictionary_stream = {0x78, 0xBB, 0, 0, 0, 1, 0x4B, 0x04, 0x00};
  const Bytes rgb = test::BitmapRgb(Decode(
      test::AssemblePng({test::IhdrChunk(img_), {"IDAT", dictionary_stream}, {"IEND", {}}})));
  EXPECT_TRUE(std::all_of(rgb.begin(), rgb.end(), [](uint8_t v) { return v == 0; }));
}

TEST_F(PngChunks, ALaterHeaderIsCheckedButKeepsTheFirstImage) {
  const TBitmap bmp = Decode(test::AssemblePng(
      {test::IhdrChunk(img_), {"IDAT", compressed_}, test::IhdrChunk(7, 7, 8, 0), {"IEND", {}}}));
  EXPECT_EQ(bmp.Width(), 40);
  EXPECT_EQ(test::BitmapRgb(bmp), expected_);
  EXPECT_THROW(Decode(test::AssemblePng({test::IhdrChunk(img_),
                                         test::IhdrChunk(70000, 1, 8, 0),
                                         {"IDAT", compressed_},
                                         {"IEND", {}}})),
               EPNGSizeExceeds);
}

TEST_F(PngChunks, ALaterPaletteReplacesColoursAndBytesAfterTheEndAreIgnored) {
  PngImage pal = test::RandomPngImage(3, 3, 3, 1, 2);
  Bytes file = test::AssemblePng({test::IhdrChunk(pal),
                                  {"PLTE", {1, 2, 3, 4, 5, 6}},
                                  {"IDAT", pal.Compressed()},
                                  {"PLTE", {7, 8, 9}},
                                  {"IEND", {}}});
  file.insert(file.end(), {0xDE, 0xAD});
  const TBitmap bmp = Decode(file);
  EXPECT_EQ(bmp.Palette()[0], (TRGBQuad{9, 8, 7, 0}));
  EXPECT_EQ(bmp.Palette()[1], (TRGBQuad{6, 5, 4, 0}));
}

// ---- transparency ----

TEST(PngTransparency, SingleColourTransparencyAsRecorded) {
  struct Case {
    int type;
    Bytes trns;
    bool transparent;
    TColor colour;
  };
  const Case cases[] = {
      // Grey: the first of the two bytes as the grey level.
      {0, {0x12, 0x34}, true, 0x121212},
      // RGB: the second byte of each two-byte value.
      {2, {0, 0x11, 0, 0x22, 0, 0x33}, true, 0x332211},
      // Palette: the colour of the first fully transparent index when one entry differs.
      {3, {255, 0, 255}, true, 0x060504},
      {3, {255, 255, 255}, false, 0},
      {3, {0, 128}, false, 0},  // two entries differ from 255
      {6, {1, 2, 3, 4, 5, 6}, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    PngImage img = test::RandomPngImage(2, 2, c.type, 8, 1);
    std::vector<PngChunk> chunks = {test::IhdrChunk(img)};
    if (c.type == 3) chunks.push_back({"PLTE", {1, 2, 3, 4, 5, 6, 7, 8, 9}});
    chunks.push_back({"tRNS", c.trns});
    chunks.push_back({"IDAT", img.Compressed()});
    chunks.push_back({"IEND", {}});
    const TBitmap bmp = Decode(test::AssemblePng(chunks));
    EXPECT_EQ(bmp.Transparent, c.transparent);
    EXPECT_EQ(bmp.TransparentColor, c.colour);
  }
}

// ---- errors ----

struct ErrorCase {
  const char* what;
  std::function<Bytes()> file;
  const char* class_name;
  std::string message;
};

void ExpectError(const ErrorCase& c) {
  SCOPED_TRACE(c.what);
  try {
    TPNGObject png;
    png.LoadFromBytes(c.file());
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.ClassName(), c.class_name);
    EXPECT_EQ(e.Message(), c.message);
  }
}

const std::string kZlib =
    "Could not decompress the image because it contains invalid compressed data.\r\n"
    " Description: ";

TEST(PngErrors, EachFailureRaisesItsClassWithItsText) {
  const PngImage img = test::RandomPngImage(4, 4, 2, 8, 11);
  const Bytes z = img.Compressed();
  const PngChunk ihdr = test::IhdrChunk(img);
  const PngChunk idat = {"IDAT", z};
  const PngChunk iend = {"IEND", {}};
  const Bytes good = test::AssemblePng({ihdr, idat, iend});
  const PngChunk grey32 = test::IhdrChunk(32, 32, 8, 0);
  const Bytes damaged = {0x78, 0x9C, 0x63, 0x64, 0x60, 0x24, 0x00, 0x14, 0x08,
                         0xC8, 0xB3, 0x0C, 0x05, 0x92, 0x92, 0x92, 0x92};
  const ErrorCase cases[] = {
      {"signature",
       [&] {
         Bytes b = good;
         b[1] = 'p';
         return b;
       },
       "EPNGInvalidFileHeader",
       "The file being readed is not a valid \"Portable Network Graphics\" image because it "
       "contains an invalid header. This file may be corruped, try obtaining it again."},
      {"empty file", [] { return Bytes{}; }, "EPNGInvalidFileHeader",
       "The file being readed is not a valid \"Portable Network Graphics\" image because it "
       "contains an invalid header. This file may be corruped, try obtaining it again."},
      {"end before IEND",
       [&] {
         return test::AssemblePng({ihdr, idat});
       },
       "EPngUnexpectedEnd",
       "This \"Portable Network Graphics\" image is invalid because the decoder found an "
       "unexpected end of the file."},
      {"IHDR not first",
       [&] {
         return test::AssemblePng({{"tEXt", {'a'}}, ihdr, idat, iend});
       },
       "EPNGIHDRNotFirst",
       "This \"Portable Network Graphics\" image is not supported or it might be invalid.\r\n"
       "(IHDR chunk is not the first)"},
      {"unknown critical",
       [&] {
         return test::AssemblePng({ihdr, {"QUUX", {}}, idat, iend});
       },
       "EPNGUnknownCriticalChunk",
       "This \"Portable Network Graphics\" image contains an unknown critical part which could "
       "not be decoded."},
      {"crc of a chunk",
       [&] {
         return test::AssemblePng({ihdr, {"tEXt", {'a'}, true}, idat, iend});
       },
       "EPngInvalidCRC",
       "This \"Portable Network Graphics\" image is not valid because it contains invalid "
       "pieces of data (crc error)"},
      {"crc of IDAT",
       [&] {
         return test::AssemblePng({ihdr, {"IDAT", z, true}, iend});
       },
       "EPngInvalidCRC",
       "This \"Portable Network Graphics\" image is not valid because it contains invalid "
       "pieces of data (crc error)"},
      {"file ends inside IDAT",
       [&] {
         Bytes b = test::AssemblePng({ihdr, idat});
         b.resize(b.size() - 10);
         return b;
       },
       "EPngInvalidCRC",
       "This \"Portable Network Graphics\" image is not valid because it contains invalid "
       "pieces of data (crc error)"},
      {"file ends inside a chunk",
       [&] {
         Bytes b = good;
         b.resize(30);
         return b;
       },
       "EPngInvalidCRC",
       "This \"Portable Network Graphics\" image is not valid because it contains invalid "
       "pieces of data (crc error)"},
      {"short IHDR",
       [&] {
         return test::AssemblePng({{"IHDR", Bytes(12, 0)}, idat, iend});
       },
       "EPngInvalidIHDR",
       "The \"Portable Network Graphics\" image could not be loaded because one of its main "
       "piece of data (ihdr) might be corrupted"},
      {"width 65536",
       [&] {
         return test::AssemblePng({test::IhdrChunk(65536, 1, 8, 2), idat, iend});
       },
       "EPNGSizeExceeds",
       "This \"Portable Network Graphics\" image is not supported because either it's width or "
       "height exceeds the maximum size, which is 65535 pixels length."},
      {"height 2^32-1",
       [&] {
         return test::AssemblePng({test::IhdrChunk(1, 0xFFFFFFFF, 8, 2), idat, iend});
       },
       "EPNGSizeExceeds",
       "This \"Portable Network Graphics\" image is not supported because either it's width or "
       "height exceeds the maximum size, which is 65535 pixels length."},
      {"compression 1",
       [&] {
         return test::AssemblePng({test::IhdrChunk(4, 4, 8, 2, 0, 1), idat, iend});
       },
       "EPNGUnknownCompression",
       "This \"Portable Network Graphics\" image is encoded with an unknown compression scheme "
       "which could not be decoded."},
      {"interlace 2",
       [&] {
         return test::AssemblePng({test::IhdrChunk(4, 4, 8, 2, 2), idat, iend});
       },
       "EPNGUnknownInterlace",
       "This \"Portable Network Graphics\" image uses an unknown interlace scheme which could "
       "not be decoded."},
      {"palette of 4 bytes",
       [&] {
         return test::AssemblePng({ihdr, {"PLTE", Bytes(4)}, idat, iend});
       },
       "EPNGInvalidPalette",
       "The \"Portable Network Graphics\" image contains an invalid palette."},
      {"palette of 257 entries",
       [&] {
         return test::AssemblePng({ihdr, {"PLTE", Bytes(771)}, idat, iend});
       },
       "EPNGInvalidPalette",
       "The \"Portable Network Graphics\" image contains an invalid palette."},
      {"transparency of 257 bytes",
       [&] {
         return test::AssemblePng({ihdr, {"tRNS", Bytes(257)}, idat, iend});
       },
       "EPNGInvalidPalette",
       "The \"Portable Network Graphics\" image contains an invalid palette."},
      {"image data continues in another chunk",
       [&] {
         auto parts = test::IdatChunks(z, 2);
         return test::AssemblePng({ihdr, parts[0], {"tEXt", {'a'}}, parts[1], iend});
       },
       "EPNGMissingMultipleIDAT",
       "This \"Portable Network Graphics\" image is invalid because it has missing image parts."},
      {"invalid compressed data",
       [&] {
         Bytes bad = z;
         bad[0] = 0x78;
         bad[1] = 0x9C;
         bad[2] = 0xFF;
         bad[3] = 0xFF;
         return test::AssemblePng({ihdr, {"IDAT", bad}, iend});
       },
       "EPNGZLIBError", kZlib + "data error (-3)"},
      // A stream for 32 x 32 grey whose input ends right after its 7th row and whose next
      // match reaches back before the data's start: reading row by row, the chunk's checksum
      // and the next chunk's name are checked before inflate meets the damage.
      {"damage after a row that ends the chunk, checksum wrong",
       [&] {
         return test::AssemblePng({grey32, {"IDAT", damaged, true}, iend});
       },
       "EPngInvalidCRC",
       "This \"Portable Network Graphics\" image is not valid because it contains invalid "
       "pieces of data (crc error)"},
      {"damage after a row that ends the chunk, no IDAT after it",
       [&] {
         return test::AssemblePng({grey32, {"IDAT", damaged}, iend});
       },
       "EPNGMissingMultipleIDAT",
       "This \"Portable Network Graphics\" image is invalid because it has missing image parts."},
      {"damage after a row that ends the chunk, more IDAT after it",
       [&] {
         return test::AssemblePng({grey32, {"IDAT", damaged}, {"IDAT", {0}}, iend});
       },
       "EPNGZLIBError", kZlib + "data error (-3)"},
      {"no image data",
       [&] {
         return test::AssemblePng({ihdr, iend});
       },
       "EPNGNoImageData", "This \"Portable Network Graphics\" image contains no data."},
      {"RGB at 4 bits",
       [&] {
         return test::AssemblePng({test::IhdrChunk(4, 4, 4, 2), idat, iend});
       },
       "EPngError",
       "This \"Portable Network Graphics\" image uses colour type 2 with bit depth 4, which is "
       "not supported."},
      {"colour type 5",
       [&] {
         return test::AssemblePng({test::IhdrChunk(4, 4, 8, 5), idat, iend});
       },
       "EPngError",
       "This \"Portable Network Graphics\" image uses colour type 5 with bit depth 8, which is "
       "not supported."},
      {"width 0",
       [&] {
         return test::AssemblePng({test::IhdrChunk(0, 4, 8, 2), idat, iend});
       },
       "EPngError",
       "This \"Portable Network Graphics\" image is invalid because its width or height is 0."},
      {"palette transparency without palette",
       [&] {
         const PngImage p = test::RandomPngImage(2, 2, 3, 8, 1);
         return test::AssemblePng(
             {test::IhdrChunk(p), {"tRNS", {0}}, {"IDAT", p.Compressed()}, iend});
       },
       "EPngError",
       "This \"Portable Network Graphics\" image is invalid because it has transparency for a "
       "palette but no palette."},
      {"65535 x 65535 RGB cannot be held",
       [&] {
         return test::AssemblePng({test::IhdrChunk(65535, 65535, 16, 6), idat, iend});
       },
       "EPngError",
       "This \"Portable Network Graphics\" image is too large: there is not enough memory for "
       "it."},
  };
  for (const ErrorCase& c : cases) ExpectError(c);
}

TEST(PngErrors, TheStreamsStoredSumIsCheckedWhereverItsBytesLie) {
  // The last 4 bytes of the compressed stream hold the sum of the inflated data; they are read
  // (and any of them changed is a data error) when they follow the picture's last data in a
  // chunk, and when the stream ends before the picture does, here holding 10 of its 30 rows,
  // wherever they lie: in one chunk with the rest, or spread one byte a chunk.
  const PngImage img = test::RandomPngImage(40, 30, 2, 8, 77);
  PngImage part = img;
  part.height = 10;
  part.samples.resize(40 * 10 * 3);
  Bytes expected_part = ExpectedRgb(img, {});
  std::fill(expected_part.begin() + 40 * 10 * 3, expected_part.end(), 0);
  struct Row {
    const PngImage* data;
    std::size_t spread;
    Bytes expected;
  } rows[] = {
      {&img, 0, ExpectedRgb(img, {})}, {&part, 0, expected_part}, {&part, 5, expected_part}};
  for (const Row& r : rows)
    for (std::size_t changed : {0, 1, 4}) {  // the byte that many from the end, 0 for none
      SCOPED_TRACE(testing::Message() << "rows " << r.data->height << " spread " << r.spread
                                      << " changed " << changed);
      Bytes z = r.data->Compressed();
      if (changed) z[z.size() - changed] ^= 0x20;
      std::vector<PngChunk> chunks{test::IhdrChunk(img),
                                   {"IDAT", Bytes(z.begin(), z.end() - r.spread)}};
      for (std::size_t i = z.size() - r.spread; i < z.size(); ++i)
        chunks.push_back({"IDAT", {z[i]}});
      chunks.push_back({"IEND", {}});
      const Bytes file = test::AssemblePng(chunks);
      if (!changed)
        EXPECT_EQ(test::BitmapRgb(Decode(file)), r.expected);
      else
        ExpectError({"stored sum changed", [&] { return file; }, "EPNGZLIBError",
                     kZlib + "data error (-3)"});
    }
}

TEST(PngErrors, AreBaseExceptionsButNotEachOther) {
  try {
    TPNGObject().LoadFromBytes(Bytes{1, 2, 3});
  } catch (const EPngError&) {
    FAIL() << "EPNGInvalidFileHeader is not an EPngError";
  } catch (const Exception& e) {
    EXPECT_NE(dynamic_cast<const EPNGInvalidFileHeader*>(&e), nullptr);
  }
}

TEST(PngErrors, AFailedLoadLeavesNoPreviousPicture) {
  const PngImage img = test::RandomPngImage(4, 4, 2, 8, 11);
  TPNGObject png;
  png.LoadFromBytes(test::MakePng(img));
  EXPECT_THROW(png.LoadFromBytes(Bytes{0}), EPNGInvalidFileHeader);
  TBitmap bmp;
  png.AssignTo(bmp);
  EXPECT_TRUE(bmp.Empty());
}

}  // namespace
}  // namespace qm
