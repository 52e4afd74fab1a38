// The caption text (word wrap, code pages, the face fontconfig and FreeType give) and the
// conversion of frames into the pixel formats of X screens.
#include <gtest/gtest.h>

#include "platform/stretch.h"
#include "player/text_renderer.h"
#include "player/x11/screen_format.h"

namespace qm {
namespace {

// One advance per character: 'W' 3 pixels, everything else 1.
int Narrow(char32_t c) {
  return c == U'W' ? 3 : 1;
}

TEST(WrapText, BreaksAtSpacesAndLineBreaksAndSplitsLongWords) {
  struct Row {
    std::u32string text;
    int width;
    std::vector<std::u32string> lines;
  } rows[] = {
      {U"", 10, {}},
      {U"eins zwei drei", 100, {U"eins zwei drei"}},
      {U"eins zwei drei", 9, {U"eins zwei", U"drei"}},
      {U"eins zwei drei", 8, {U"eins", U"zwei", U"drei"}},
      {U"a\r\nb\n\nc", 10, {U"a", U"b", U"", U"c"}},
      {U"WWWW x", 8, {U"WW", U"WW x"}},
      {U"WW", 1, {U"W", U"W"}},  // a character wider than the box still takes a line
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.text.begin(), r.text.end()));
    EXPECT_EQ(WrapText(r.text, r.width, Narrow), r.lines);
  }
}

TEST(TextCodes, Cp1252AndUtf8ToUnicode) {
  EXPECT_EQ(Cp1252ToUtf32("Gr\xfc\xdf\x80\x81"), U"Grüß€\uFFFD");
  EXPECT_EQ(Utf8ToUtf32("Grüß €"), U"Grüß €");
  EXPECT_EQ(Utf8ToUtf32("a\xff"
                        "b\xc3"),
            U"a\uFFFDb\uFFFD");
  // Overlong, surrogate and out-of-range sequences: a replacement for the lead byte, each
  // continuation byte on its own.
  EXPECT_EQ(Utf8ToUtf32("\xc0\x80|\xed\xa0\x80|\xf4\x90\x80\x80|\xf7\xbf\xbf\xbf|\xf4\x8f\xbf\xbf"),
            U"\uFFFD\uFFFD|\uFFFD\uFFFD\uFFFD|\uFFFD\uFFFD\uFFFD\uFFFD|"
            U"\uFFFD\uFFFD\uFFFD\uFFFD|\U0010FFFF");
}

int InkColumns(TextFont& font, const std::u32string& text, int* below) {
  TBitmap b(200, 80, PixelFormat::pf32bit);
  FillRect(b, Rect(0, 0, 200, 80), 0x00FFFFFF);
  font.Draw(b, 10, 40, text, 0, Rect(0, 0, 200, 80));
  int lo = 200, hi = -1, grey = 0;
  *below = 0;
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 200; ++x) {
      const uint8_t v = b.ScanLine(y)[4 * x];
      if (v == 0xFF) continue;
      lo = std::min(lo, x), hi = std::max(hi, x);
      grey += v != 0;
      if (y > 40) ++*below;
    }
  EXPECT_GT(grey, 0) << "anti-aliased edges";
  return hi - lo + 1;
}

TEST(TextFont, FamilyFallbackStylesAndLines) {
  auto plain = TextFont::Open({"DejaVu Sans", 20});
  ASSERT_TRUE(plain) << "the tests need fonts-dejavu-core";
  EXPECT_EQ(plain->Family(), "DejaVu Sans");
  EXPECT_GT(plain->LineHeight(), 20);
  EXPECT_LT(plain->LineHeight(), 30);
  // A family the system lacks gives the default sans-serif face, not whatever face fontconfig
  // ranks first for the name.
  auto fallback = TextFont::Open({"Comic Sans MS", 20});
  auto sans = TextFont::Open({"sans-serif", 20});
  ASSERT_TRUE(fallback && sans);
  EXPECT_EQ(fallback->Family(), sans->Family());
  EXPECT_EQ(TextFont::Open({"", 20})->Family(), sans->Family());

  int below = 0;
  const int upright = InkColumns(*plain, U"l", &below);
  EXPECT_EQ(below, 0) << "'l' sits on the baseline";
  auto italic = TextFont::Open({"DejaVu Sans", 20, false, true});
  EXPECT_GT(InkColumns(*italic, U"l", &below), upright + 2) << "slanted";
  auto bold = TextFont::Open({"DejaVu Sans", 20, true});
  EXPECT_GT(bold->Advance(U'M'), plain->Advance(U'M'));
  auto underlined = TextFont::Open({"DejaVu Sans", 20, false, false, true});
  InkColumns(*underlined, U"l", &below);
  EXPECT_GT(below, 0) << "the underline runs below the baseline";
  auto struck = TextFont::Open({"DejaVu Sans", 20, false, false, false, true});
  EXPECT_GT(InkColumns(*struck, U"ll", &below), InkColumns(*plain, U"ll", &below))
      << "the line spans the advance";
}

// The formats of X screens the player draws on, and one pixel through each.
TEST(ScreenFormat, ConvertsIntoEveryDrawnFormat) {
  const uint8_t bgrx[8] = {0x10, 0x80, 0xF8, 0x00, 0xFF, 0xFF, 0xFF, 0x00};
  struct Row {
    ScreenFormat format;
    std::vector<uint8_t> bytes;
  } rows[] = {
      {{24, 32, 32, 0xFF0000, 0xFF00, 0xFF, false}, {0x10, 0x80, 0xF8, 0, 0xFF, 0xFF, 0xFF, 0}},
      {{32, 32, 32, 0xFF, 0xFF00, 0xFF0000, false}, {0xF8, 0x80, 0x10, 0, 0xFF, 0xFF, 0xFF, 0}},
      {{24, 32, 32, 0xFF0000, 0xFF00, 0xFF, true}, {0, 0xF8, 0x80, 0x10, 0, 0xFF, 0xFF, 0xFF}},
      {{24, 24, 32, 0xFF0000, 0xFF00, 0xFF, false}, {0x10, 0x80, 0xF8, 0xFF, 0xFF, 0xFF}},
      // 5-6-5: red 0xF8 -> 31, green 0x80 -> 32, blue 0x10 -> 2: 0xFC02
      {{16, 16, 32, 0xF800, 0x07E0, 0x001F, false}, {0x02, 0xFC, 0xFF, 0xFF}},
      {{16, 16, 32, 0xF800, 0x07E0, 0x001F, true}, {0xFC, 0x02, 0xFF, 0xFF}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.format.bits_per_pixel * 10 + r.format.msb_first);
    std::string why;
    EXPECT_TRUE(Drawable(true, r.format, &why)) << why;
    std::vector<uint8_t> out(r.bytes.size());
    ConvertRow(bgrx, 2, out.data(), r.format);
    EXPECT_EQ(out, r.bytes);
  }
  EXPECT_EQ((ScreenFormat{16, 16, 32}.RowBytes(3)), 8u);
  EXPECT_EQ((ScreenFormat{24, 24, 32}.RowBytes(3)), 12u);
}

// The conversion into the shared image gives ConvertRow's bytes for every format, at every
// alignment of the target and lengths around the 16- and 64-byte blocks, and nothing beyond.
TEST(ScreenFormat, UncachedRowsEqualConvertedRows) {
  std::vector<uint8_t> from(4 * 80);
  for (std::size_t i = 0; i < from.size(); ++i) from[i] = static_cast<uint8_t>(i * 37 + 11);
  for (const ScreenFormat& format : {ScreenFormat{24, 32, 32, 0xFF0000, 0xFF00, 0xFF, false},
                                     ScreenFormat{24, 24, 32, 0xFF0000, 0xFF00, 0xFF, false},
                                     ScreenFormat{16, 16, 32, 0xF800, 0x07E0, 0x001F, true}})
    for (int offset = 0; offset < 16; offset += 1)
      for (int count : {0, 1, 3, 4, 5, 16, 17, 19, 33, 80}) {
        std::vector<uint8_t> want(4 * 80 + 32, 0xA5), got = want;
        ConvertRow(from.data(), count, want.data() + offset, format);
        ConvertRowUncached(from.data(), count, got.data() + offset, format);
        FinishUncachedRows();
        ASSERT_EQ(got, want) << format.bits_per_pixel << " offset " << offset << " count " << count;
      }
}

TEST(ScreenFormat, OtherVisualsAreRefusedWithAReason) {
  struct Row {
    bool true_color;
    ScreenFormat format;
  } rows[] = {
      {false, {8, 8, 32, 0, 0, 0, false}},                   // PseudoColor
      {true, {8, 8, 32, 0xE0, 0x1C, 0x03, false}},           // 8-bit TrueColor
      {false, {24, 32, 32, 0xFF0000, 0xFF00, 0xFF, false}},  // DirectColor
      {true, {16, 16, 32, 0xF800, 0xF800, 0x1F, false}},     // overlapping masks
  };
  for (const Row& r : rows) {
    std::string why;
    EXPECT_FALSE(Drawable(r.true_color, r.format, &why));
    EXPECT_NE(why.find(std::to_string(r.format.depth) + " Bit"), std::string::npos) << why;
  }
}

}  // namespace
}  // namespace qm
