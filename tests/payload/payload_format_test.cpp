// The byte layout of the gallery header and slide records, file-name checks and the
// Windows-1252 conversions that captions, file names and font names go through.
#include <cstring>

#include <gtest/gtest.h>

#include "payload/cp1252.h"
#include "payload/payload_format.h"
#include "platform/byte_order.h"

namespace qm {
namespace {

TEST(PayloadFormat, HeaderFieldsSitAtTheirOffsets) {
  GalleryHeader h;
  h.count = -2;
  h.interval = 0x01020304;
  h.background_color = 0x00A0B0C0;
  h.loop = 5;
  h.caption_position = -1;
  h.font_name = "Verdana";
  h.font_color = 0x00FFFFFF;
  h.font_size = 24;
  h.font_style = 0xF3;
  h.style = 999;
  h.reserved = 0x5A;
  uint8_t b[kGalleryHeaderSize];
  EncodeGalleryHeader(h, b);
  EXPECT_EQ(LoadLittleEndian32(b + 0), 0xFFFFFFFEu);
  EXPECT_EQ(LoadLittleEndian32(b + 4), 0x01020304u);
  EXPECT_EQ(LoadLittleEndian32(b + 8), 0x00A0B0C0u);
  EXPECT_EQ(LoadLittleEndian32(b + 12), 5u);
  EXPECT_EQ(LoadLittleEndian32(b + 16), 0xFFFFFFFFu);
  EXPECT_EQ(b[20], 7);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(b + 21), 7), "Verdana");
  EXPECT_EQ(LoadLittleEndian32(b + 276), 0x00FFFFFFu);
  EXPECT_EQ(LoadLittleEndian32(b + 280), 24u);
  EXPECT_EQ(b[284], 0xF3);
  EXPECT_EQ(LoadLittleEndian32(b + 285), 999u);  // unaligned, right after the style byte
  EXPECT_EQ(b[289], 0x5A);

  const GalleryHeader back = DecodeGalleryHeader(b);
  EXPECT_EQ(back.count, -2);
  EXPECT_EQ(back.caption_position, -1);
  EXPECT_EQ(back.font_name, "Verdana");
  EXPECT_EQ(back.font_style, 0xF3);
  EXPECT_EQ(back.style, 999);
  EXPECT_EQ(back.reserved, 0x5A);
}

TEST(PayloadFormat, ShortStringsIgnoreTheirFillerAndHoldAtMost255Bytes) {
  uint8_t field[kShortStringSize];
  std::memset(field, 'Z', sizeof field);
  field[0] = 3;
  EXPECT_EQ(DecodeShortString(field), "ZZZ");
  field[0] = 255;
  EXPECT_EQ(DecodeShortString(field).size(), 255u);
  EXPECT_THROW(EncodeShortString(std::string(256, 'a'), field), std::length_error);
  EncodeShortString(std::string(255, 'a'), field);
  EXPECT_EQ(field[0], 255);

  uint8_t head[kSlideRecordHeadSize];
  EncodeSlideRecordHead({123456, "a.jpg",
                         "Gr\xfc\xdf"
                         "e"},
                        head);
  EXPECT_EQ(LoadLittleEndian32(head), 123456u);
  EXPECT_EQ(head[4], 5);
  EXPECT_EQ(head[260], 5);
  const SlideRecordHead back = DecodeSlideRecordHead(head);
  EXPECT_EQ(back.caption,
            "Gr\xfc\xdf"
            "e");
}

TEST(PayloadFormat, OnlyBareFileNamesAreAccepted) {
  for (const char* ok : {"a.jpg", "..jpg", "a..b", "~tm.tmp", "x y.png", "\xe4.bmp"})
    EXPECT_TRUE(IsBareFileName(ok)) << ok;
  for (const char* bad : {"", ".", "..", "/etc/passwd", "a/b.jpg", "..\\x.jpg", "dir\\"})
    EXPECT_FALSE(IsBareFileName(bad)) << bad;
  EXPECT_FALSE(IsBareFileName(std::string("a\0b", 3)));
}

TEST(PayloadFormat, StyleFieldLowByte) {
  EXPECT_TRUE(IsRandomStyle(999));
  EXPECT_FALSE(IsRandomStyle(231));
  EXPECT_EQ(StyleLowByte(266), 10);
  EXPECT_EQ(StyleLowByte(999), 231);
  EXPECT_EQ(StyleLowByte(-1), 255);
}

TEST(Cp1252, BytesBecomeUnicodeByTheWindowsTable) {
  EXPECT_EQ(Cp1252ToUtf8("\xc4\xd6\xdc\xe4\xf6\xfc\xdf"), "ÄÖÜäöüß");
  EXPECT_EQ(Cp1252ToUtf8("\x80\x85\x99\x9f"), "€…™Ÿ");
  // The five undefined bytes show as the replacement character.
  EXPECT_EQ(Cp1252ToUtf8("\x81\x8d\x8f\x90\x9d"), "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(Cp1252ToCodePoint(0xA0), 0xA0u);
  EXPECT_EQ(Cp1252ToCodePoint(0x8C), 0x152u);
}

TEST(Cp1252, Utf8RoundTripsAndRefusesWhatItCannotStore) {
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    const auto back = Utf8ToCp1252(Cp1252ToUtf8(one));
    if (Cp1252ToCodePoint(static_cast<unsigned char>(b)) == 0xFFFD) {
      EXPECT_FALSE(back) << b;  // U+FFFD has no byte of its own
    } else {
      ASSERT_TRUE(back) << b;
      EXPECT_EQ(*back, one) << b;
    }
  }
  std::string bad;
  EXPECT_FALSE(
      Utf8ToCp1252("Stra\xc3\x9f"
                   "e \xe2\x86\x92 Ost",
                   &bad));
  EXPECT_EQ(bad, "→");
  EXPECT_FALSE(Utf8ToCp1252("日本", &bad));
  EXPECT_FALSE(Utf8ToCp1252("\xc3", &bad)) << "cut-off sequence";
  EXPECT_FALSE(Utf8ToCp1252("\xc0\xaf", &bad)) << "overlong form";
  EXPECT_FALSE(Utf8ToCp1252("\xed\xa0\x80", &bad)) << "surrogate";
  EXPECT_EQ(*Utf8ToCp1252("Grüße €5"),
            "Gr\xfc\xdf"
            "e \x80"
            "5");
}

}  // namespace
}  // namespace qm
