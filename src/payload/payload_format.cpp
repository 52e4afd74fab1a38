#include "payload/payload_format.h"

#include <cstring>
#include <stdexcept>

#include "platform/byte_order.h"

namespace qm {

namespace {
int32_t ReadI32LE(const uint8_t* p) {
  return static_cast<int32_t>(LoadLittleEndian32(p));
}
void WriteI32LE(uint8_t* p, int32_t v) {
  StoreLittleEndian32(p, static_cast<uint32_t>(v));
}
}  // namespace

void EncodeShortString(std::string_view text, uint8_t* out) {
  if (text.size() > kShortStringMaxLength) throw std::length_error("text longer than 255 bytes");
  std::memset(out, 0, kShortStringSize);
  out[0] = static_cast<uint8_t>(text.size());
  std::memcpy(out + 1, text.data(), text.size());
}

std::string DecodeShortString(const uint8_t* in) {
  return std::string(reinterpret_cast<const char*>(in + 1), in[0]);
}

void EncodeGalleryHeader(const GalleryHeader& h, uint8_t (&out)[kGalleryHeaderSize]) {
  std::memset(out, 0, sizeof out);
  WriteI32LE(out + 0, h.count);
  WriteI32LE(out + 4, h.interval);
  StoreLittleEndian32(out + 8, h.background_color);
  WriteI32LE(out + 12, h.loop);
  WriteI32LE(out + 16, h.caption_position);
  EncodeShortString(h.font_name, out + 20);
  StoreLittleEndian32(out + 276, h.font_color);
  WriteI32LE(out + 280, h.font_size);
  out[284] = h.font_style;
  WriteI32LE(out + 285, h.style);
  out[289] = h.reserved;
}

GalleryHeader DecodeGalleryHeader(const uint8_t (&in)[kGalleryHeaderSize]) {
  GalleryHeader h;
  h.count = ReadI32LE(in + 0);
  h.interval = ReadI32LE(in + 4);
  h.background_color = LoadLittleEndian32(in + 8);
  h.loop = ReadI32LE(in + 12);
  h.caption_position = ReadI32LE(in + 16);
  h.font_name = DecodeShortString(in + 20);
  h.font_color = LoadLittleEndian32(in + 276);
  h.font_size = ReadI32LE(in + 280);
  h.font_style = in[284];
  h.style = ReadI32LE(in + 285);
  h.reserved = in[289];
  return h;
}

void EncodeSlideRecordHead(const SlideRecordHead& r, uint8_t (&out)[kSlideRecordHeadSize]) {
  StoreLittleEndian32(out, r.data_size);
  EncodeShortString(r.file_name, out + 4);
  EncodeShortString(r.caption, out + 260);
}

SlideRecordHead DecodeSlideRecordHead(const uint8_t (&in)[kSlideRecordHeadSize]) {
  SlideRecordHead r;
  r.data_size = LoadLittleEndian32(in);
  r.file_name = DecodeShortString(in + 4);
  r.caption = DecodeShortString(in + 260);
  return r;
}

bool IsBareFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

}  // namespace qm
