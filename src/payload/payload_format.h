// The gallery payload: the byte layout that the authoring tool appends to the player and that
// start-up reads back. All integers are little-endian.
//
//   player image | zlib stream | inflated size (u32) | payload start (u32)
//
// The inflated payload is a 290-byte gallery header followed by `count` slide records, each a
// 516-byte record head (data size, file name, caption) and the picture's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/bitmap.h"

namespace qm {

inline constexpr std::size_t kShortStringSize = 256;
inline constexpr std::size_t kShortStringMaxLength = 255;
inline constexpr std::size_t kGalleryHeaderSize = 290;
inline constexpr std::size_t kSlideRecordHeadSize = 516;
inline constexpr std::size_t kPayloadTrailerSize = 4;
inline constexpr std::size_t kInflatedSizeFieldSize = 4;
inline constexpr int32_t kRandomStyleMarker = 999;

// Font style bits of the gallery header.
inline constexpr uint8_t kFontBold = 1, kFontItalic = 2, kFontUnderline = 4, kFontStrikeOut = 8;

// The gallery header as stored. Texts are Windows-1252 bytes (at most 255).
struct GalleryHeader {
  int32_t count = 0;
  int32_t interval = 0;
  TColor background_color = 0;
  int32_t loop = 0;
  int32_t caption_position = 0;
  std::string font_name;
  TColor font_color = 0;
  int32_t font_size = 0;
  uint8_t font_style = 0;
  int32_t style = 0;
  uint8_t reserved = 0;
};

// The head of one slide record; the picture's `dataSize` bytes follow it.
struct SlideRecordHead {
  uint32_t data_size = 0;
  std::string file_name;  // Windows-1252
  std::string caption;    // Windows-1252
};

void EncodeGalleryHeader(const GalleryHeader& header, uint8_t (&out)[kGalleryHeaderSize]);
GalleryHeader DecodeGalleryHeader(const uint8_t (&in)[kGalleryHeaderSize]);
void EncodeSlideRecordHead(const SlideRecordHead& head, uint8_t (&out)[kSlideRecordHeadSize]);
SlideRecordHead DecodeSlideRecordHead(const uint8_t (&in)[kSlideRecordHeadSize]);

// A short string: length byte, the text, zero filler. Text beyond 255 bytes is the caller's
// error (the encoder refuses it with std::length_error).
void EncodeShortString(std::string_view text, uint8_t* out);
std::string DecodeShortString(const uint8_t* in);

// Whether a stored file name may be joined to a temporary file name: not empty, not "." or
// "..", and free of "/", "\" and NUL, so it can never lead out of the temporary directory.
bool IsBareFileName(std::string_view name);

// The transition style that a header's style field gives the control: the low-order byte,
// or nothing for the random marker. Values above 150 are left to the control to ignore.
inline bool IsRandomStyle(int32_t style) {
  return style == kRandomStyleMarker;
}
inline uint8_t StyleLowByte(int32_t style) {
  return static_cast<uint8_t>(style & 0xFF);
}

}  // namespace qm
