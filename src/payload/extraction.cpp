#include "payload/extraction.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <vector>

#include "payload/cp1252.h"
#include "payload/file_stream.h"
#include "payload/payload_errors.h"
#include "payload/payload_reader.h"
#include "payload/run_files.h"
#include "payload/temp_files.h"
#include "payload/zlib_streams.h"
#include "platform/byte_order.h"
#include "platform/exception.h"
#include "platform/messages.h"

namespace qm {

uint32_t TimerPeriodForInterval(int32_t interval) {
  constexpr int32_t kMaxSeconds = 2147483;
  if (interval <= 0) return 0;
  return static_cast<uint32_t>(interval > kMaxSeconds ? kMaxSeconds : interval) * 1000u;
}

void CopyCompressedBlock(const std::string& executable, FileStream& compressedCopy,
                         PlayerState& state) {
  FileStream exe(executable, FileStream::Mode::kOpenRead);
  const uint64_t length = exe.Size();
  state.payloadStart = ReadPayloadStart(exe, length);
  exe.Seek(state.payloadStart);
  compressedCopy.Reserve(length - state.payloadStart - kPayloadTrailerSize);
  compressedCopy.CopyFrom(exe, length - state.payloadStart - kPayloadTrailerSize);
}

namespace {

// Creates the extracted picture file for `fileName` beside a fresh temporary name T, at the
// path T + fileName. If that name is taken (by anything, a link included), a fresh T is drawn;
// the names drawn in vain are removed once a picture file is made. All files are recorded for
// removal at the end of the show.
std::unique_ptr<FileStream> CreatePictureFile(const std::string& fileName, std::string& path) {
  const std::string directory = GetTempPath();
  std::vector<std::string> drawnInVain;
  for (int attempt = 0; attempt < 64; ++attempt) {
    const ShowEndSignalsHeld held;
    const std::string name = GetTempFileName(directory);
    RecordRunFile(name);
    path = name + fileName;
    if (auto file = FileStream::TryCreateNew(path)) {
      RecordRunFile(path);
      for (const std::string& unused : drawnInVain) RemoveRunFile(unused);
      return file;
    }
    drawnInVain.push_back(name);
  }
  throw EFCreateError(FormatFileError(msg::kFileCreateError, path, EEXIST));
}

// A temporary copy, recorded for removal at the end of the show.
std::unique_ptr<FileStream> CreateCopyFile(const std::string& directory) {
  const ShowEndSignalsHeld held;
  std::unique_ptr<FileStream> file = CreateTempFile(directory);
  RecordRunFile(file->Path());
  return file;
}

// The slide count at the start of the payload in `executable`, read without writing anything;
// nothing when the payload cannot be read that far (start-up then fails where it finds the
// damage).
std::optional<int32_t> PeekSlideCount(const std::string& executable) {
  try {
    FileStream exe(executable, FileStream::Mode::kOpenRead);
    const uint64_t length = exe.Size();
    const uint32_t start = ReadPayloadStart(exe, length);
    InflateStream zstream(exe, start, length - kPayloadTrailerSize - kInflatedSizeFieldSize);
    uint8_t count[4];
    zstream.ReadBuffer(count, sizeof count);
    return static_cast<int32_t>(LoadLittleEndian32(count));
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace

void ApplyGalleryHeader(const GalleryHeader& header, GallerySettingsSink& sink) {
  sink.SetTimerPeriod(TimerPeriodForInterval(header.interval));
  sink.SetBackgroundColor(header.backgroundColor);
  sink.LayoutCaptionStrip(header.captionPosition);
  sink.LayoutPictureAreaFullScreen();
  sink.SetCaptionFont(header.fontName, header.fontColor, header.fontSize, header.fontStyle);
  sink.LayoutPictureAreaAgainstStrip(header.captionPosition);
  if (!IsRandomStyle(header.style)) sink.SetTransitionStyle(StyleLowByte(header.style));
}

void Extract(FileStream& compressed, FileStream& inflated, PlayerState& state,
             GallerySettingsSink& sink) {
  const uint64_t blockSize = compressed.Size();
  if (blockSize <= kInflatedSizeFieldSize) throw EPayloadDamaged(msg::kDamageTrailerOutside);
  compressed.Seek(blockSize - kInflatedSizeFieldSize);
  uint8_t sizeField[kInflatedSizeFieldSize];
  compressed.ReadBuffer(sizeField, sizeof sizeField);
  const uint32_t inflatedSize = LoadLittleEndian32(sizeField);
  if (inflatedSize == 0) throw EPayloadDamaged(msg::kDamageInflatedZero);

  // Deflate expands data at most 1032-fold, so a larger size field cannot be honest: reserve
  // no more than that.
  inflated.Reserve(std::min<uint64_t>(inflatedSize, blockSize * 1032));
  {
    // The zlib stream ends exactly where the inflated-size field begins.
    InflateStream zstream(compressed, 0, blockSize - kInflatedSizeFieldSize);
    inflated.CopyFrom(zstream, inflatedSize);
    zstream.VerifyEnd();
  }
  compressed.Close();

  inflated.Seek(0);
  uint8_t headerBytes[kGalleryHeaderSize];
  try {
    inflated.ReadBuffer(headerBytes, sizeof headerBytes);
  } catch (const EReadError&) {
    throw EPayloadDamaged(msg::kDamageShortHeader);
  }
  const GalleryHeader header = DecodeGalleryHeader(headerBytes);
  state.slideCount = header.count;
  state.loopFlag = header.loop;
  state.styleValue = header.style;
  ApplyGalleryHeader(header, sink);

  uint64_t remaining = inflatedSize - kGalleryHeaderSize;
  for (int32_t k = 0; k < header.count; ++k) {
    const SlideRecordHead head = ReadSlideRecordHead(inflated, remaining);
    state.slides.push_back({std::string(), head.caption});
    std::string path;
    std::unique_ptr<FileStream> picture = CreatePictureFile(Cp1252ToUtf8(head.fileName), path);
    state.slides.back().path = path;
    if (head.dataSize > remaining) throw EPayloadDamaged(msg::kDamageRecordPastEnd);
    picture->Reserve(head.dataSize);
    picture->CopyFrom(inflated, head.dataSize);
    remaining -= head.dataSize;
    picture->Close();
  }
  inflated.Close();
}

bool RunStartupExtraction(const std::string& executable, PlayerState& state,
                          GallerySettingsSink& sink, std::string* error) {
  AcceptShowEndSignals();
  try {
    // Each slide takes a temporary name: a count the name space cannot hold is refused before
    // anything is written.
    const std::optional<int32_t> count = PeekSlideCount(executable);
    if (count && *count > kMaxSlidesForTempNames) throw EPayloadDamaged(msg::kDamageTooManySlides);
    ReserveRunFiles(2 + 2 * static_cast<std::size_t>(std::max(count.value_or(0), 0)));
    const std::string directory = GetTempPath();
    const std::unique_ptr<FileStream> compressed = CreateCopyFile(directory);
    state.compressedCopyPath = compressed->Path();
    const std::unique_ptr<FileStream> inflated = CreateCopyFile(directory);
    state.inflatedCopyPath = inflated->Path();
    state.slidePosition = 0;
    CopyCompressedBlock(executable, *compressed, state);
    Extract(*compressed, *inflated, state, sink);
    return true;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
}

}  // namespace qm
