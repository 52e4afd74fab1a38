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
  if (!IsBareFileName(head.fileName)) throw EPayloadDamaged(msg::kDamageBadFileName);
  return head;
}

PayloadSummary ReadPayloadSummary(const std::string& path, bool* noPayload) {
  if (noPayload) *noPayload = false;
  PayloadSummary s;
  FileStream file(path, FileStream::Mode::kOpenRead);
  s.fileSize = file.Size();
  auto notAPayload = [&](const char* why) {
    if (noPayload) *noPayload = true;
    return EPayloadDamaged(why);
  };
  try {
    s.payloadStart = ReadPayloadStart(file, s.fileSize);
  } catch (const EPayloadDamaged&) {
    if (noPayload) *noPayload = true;
    throw;
  }
  const uint64_t streamEnd = s.fileSize - kPayloadTrailerSize - kInflatedSizeFieldSize;
  s.compressedSize = streamEnd - s.payloadStart;
  uint8_t word[kInflatedSizeFieldSize];
  file.Seek(streamEnd);
  file.ReadBuffer(word, sizeof word);
  s.inflatedSize = LoadLittleEndian32(word);

  // A zlib header is two bytes whose big-endian value is a multiple of 31, method 8.
  file.Seek(s.payloadStart);
  uint8_t zhead[2] = {0, 0};
  if (s.compressedSize >= 2) file.ReadBuffer(zhead, 2);
  if ((zhead[0] & 0x0F) != 8 || ((zhead[0] << 8) | zhead[1]) % 31 != 0)
    throw notAPayload(msg::kDamageBadStream);
  if (s.inflatedSize == 0) throw EPayloadDamaged(msg::kDamageInflatedZero);

  InflateStream z(file, s.payloadStart, streamEnd);
  uint8_t headerBytes[kGalleryHeaderSize];
  if (s.inflatedSize < kGalleryHeaderSize) throw EPayloadDamaged(msg::kDamageShortHeader);
  z.ReadBuffer(headerBytes, sizeof headerBytes);
  s.header = DecodeGalleryHeader(headerBytes);
  uint64_t remaining = s.inflatedSize - kGalleryHeaderSize;
  for (int32_t k = 0; k < s.header.count; ++k) {
    SlideRecordHead head = ReadSlideRecordHead(z, remaining);
    if (head.dataSize > remaining) throw EPayloadDamaged(msg::kDamageRecordPastEnd);
    Skip(z, head.dataSize);
    remaining -= head.dataSize;
    s.slides.push_back(std::move(head));
  }
  s.trailingBytes = remaining;
  Skip(z, remaining);
  z.VerifyEnd();
  return s;
}

}  // namespace qm
