#include "payload/payload_reader.h"

#include "payload/payload_errors.h"
#include "payload/zlib_streams.h"
#include "platform/byte_order.h"

namespace qm {

namespace {

// Reads and drops `count` bytes of `source`.
void Skip(ByteSource& source, uint64_t count) {
  uint8_t buffer[16384];
  while (count > 0) {
    const std::size_t n = count < sizeof buffer ? static_cast<std::size_t>(count) : sizeof buffer;
    source.ReadBuffer(buffer, n);
    count -= n;
  }
}

}  // namespace

uint32_t ReadPayloadStart(FileStream& file, uint64_t length) {
  if (length < kPayloadTrailerSize) throw EPayloadDamaged(msg::kDamageNoTrailer);
  uint8_t trailer[kPayloadTrailerSize];
  file.Seek(length - kPayloadTrailerSize);
  file.ReadBuffer(trailer, sizeof trailer);
  const uint32_t start = LoadLittleEndian32(trailer);
  // The block holds at least the inflated-size field and one byte of zlib stream.
  if (static_cast<uint64_t>(start) + kPayloadTrailerSize + kInflatedSizeFieldSize >= length)
    throw EPayloadDamaged(msg::kDamageTrailerOutside);
  return start;
}

SlideRecordHead ReadSlideRecordHead(ByteSource& source, uint64_t& remaining) {
  if (remaining < kSlideRecordHeadSize) throw EPayloadDamaged(msg::kDamageRecordPastEnd);
  uint8_t bytes[kSlideRecordHeadSize];
  source.ReadBuffer(bytes, sizeof bytes);
  remaining -= kSlideRecordHeadSize;
  SlideRecordHead head = DecodeSlideRecordHead(bytes);
  if (!IsBareFileName(head.file_name)) throw EPayloadDamaged(msg::kDamageBadFileName);
  return head;
}

PayloadSummary ReadPayloadSummary(const std::string& path, bool* no_payload) {
  if (no_payload) *no_payload = false;
  PayloadSummary s;
  FileStream file(path, FileStream::Mode::kOpenRead);
  s.file_size = file.Size();
  auto not_a_payload = [&](const char* why) {
    if (no_payload) *no_payload = true;
    return EPayloadDamaged(why);
  };
  try {
    s.payload_start = ReadPayloadStart(file, s.file_size);
  } catch (const EPayloadDamaged&) {
    if (no_payload) *no_payload = true;
    throw;
  }
  const uint64_t stream_end = s.file_size - kPayloadTrailerSize - kInflatedSizeFieldSize;
  s.compressed_size = stream_end - s.payload_start;
  uint8_t word[kInflatedSizeFieldSize];
  file.Seek(stream_end);
  file.ReadBuffer(word, sizeof word);
  s.inflated_size = LoadLittleEndian32(word);

  // A zlib header is two bytes whose big-endian value is a multiple of 31, method 8.
  file.Seek(s.payload_start);
  uint8_t zhead[2] = {0, 0};
  if (s.compressed_size >= 2) file.ReadBuffer(zhead, 2);
  if ((zhead[0] & 0x0F) != 8 || ((zhead[0] << 8) | zhead[1]) % 31 != 0)
    throw not_a_payload(msg::kDamageBadStream);
  if (s.inflated_size == 0) throw EPayloadDamaged(msg::kDamageInflatedZero);

  InflateStream z(file, s.payload_start, stream_end);
  uint8_t header_bytes[kGalleryHeaderSize];
  if (s.inflated_size < kGalleryHeaderSize) throw EPayloadDamaged(msg::kDamageShortHeader);
  z.ReadBuffer(header_bytes, sizeof header_bytes);
  s.header = DecodeGalleryHeader(header_bytes);
  uint64_t remaining = s.inflated_size - kGalleryHeaderSize;
  for (int32_t k = 0; k < s.header.count; ++k) {
    SlideRecordHead head = ReadSlideRecordHead(z, remaining);
    if (head.data_size > remaining) throw EPayloadDamaged(msg::kDamageRecordPastEnd);
    Skip(z, head.data_size);
    remaining -= head.data_size;
    s.slides.push_back(std::move(head));
  }
  s.trailing_bytes = remaining;
  Skip(z, remaining);
  z.VerifyEnd();
  return s;
}

}  // namespace qm
