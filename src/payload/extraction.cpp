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

void CopyCompressedBlock(const std::string& executable, FileStream& compressed_copy,
                         PlayerState& state) {
  FileStream exe(executable, FileStream::Mode::kOpenRead);
  const uint64_t length = exe.Size();
  state.payload_start = ReadPayloadStart(exe, length);
  exe.Seek(state.payload_start);
  compressed_copy.Reserve(length - state.payload_start - kPayloadTrailerSize);
  compressed_copy.CopyFrom(exe, length - state.payload_start - kPayloadTrailerSize);
}

namespace {

// Creates the extracted picture file for `fileName` beside a fresh temporary name T, at the
// path T + fileName. If that name is taken (by anything, a link included), a fresh T is drawn;
// the names drawn in vain are removed once a picture file is made. All files are recorded for
// removal at the end of the show.
std::unique_ptr<FileStream> CreatePictureFile(const std::string& file_name, std::string& path) {
  const std::string directory = GetTempPath();
  std::vector<std::string> drawn_in_vain;
  for (int attempt = 0; attempt < 64; ++attempt) {
    const ShowEndSignalsHeld held;
    const std::string name = GetTempFileName(directory);
    RecordRunFile(name);
    path = name + file_name;
    if (auto file = FileStream::TryCreateNew(path)) {
      RecordRunFile(path);
      for (const std::string& unused : drawn_in_vain) RemoveRunFile(unused);
      return file;
    }
    drawn_in_vain.push_back(name);
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
  sink.SetBackgroundColor(header.background_color);
  sink.LayoutCaptionStrip(header.caption_position);
  sink.LayoutPictureAreaFullScreen();
  sink.SetCaptionFont(header.font_name, header.font_color, header.font_size, header.font_style);
  sink.LayoutPictureAreaAgainstStrip(header.caption_position);
  if (!IsRandomStyle(header.style)) sink.SetTransitionStyle(StyleLowByte(header.style));
}

void Extract(FileStream& compressed, FileStream& inflated, PlayerState& state,
             GallerySettingsSink& sink) {
  const uint64_t block_size = compressed.Size();
  if (block_size <= kInflatedSizeFieldSize) throw EPayloadDamaged(msg::kDamageTrailerOutside);
  compressed.Seek(block_size - kInflatedSizeFieldSize);
  uint8_t size_field[kInflatedSizeFieldSize];
  compressed.ReadBuffer(size_field, sizeof size_field);
  const uint32_t inflated_size = LoadLittleEndian32(size_field);
  if (inflated_size == 0) throw EPayloadDamaged(msg::kDamageInflatedZero);

  // Deflate expands data at most 1032-fold, so a larger size field cannot be honest: reserve
  // no more than that.
  inflated.Reserve(std::min<uint64_t>(inflated_size, block_size * 1032));
  {
    // The zlib stream ends exactly where the inflated-size field begins.
    InflateStream zstream(compressed, 0, block_size - kInflatedSizeFieldSize);
    inflated.CopyFrom(zstream, inflated_size);
    zstream.VerifyEnd();
  }
  compressed.Close();

  inflated.Seek(0);
  uint8_t header_bytes[kGalleryHeaderSize];
  try {
    inflated.ReadBuffer(header_bytes, sizeof header_bytes);
  } catch (const EReadError&) {
    throw EPayloadDamaged(msg::kDamageShortHeader);
  }
  const GalleryHeader header = DecodeGalleryHeader(header_bytes);
  state.slide_count = header.count;
  state.loop_flag = header.loop;
  state.style_value = header.style;
  ApplyGalleryHeader(header, sink);

  uint64_t remaining = inflated_size - kGalleryHeaderSize;
  for (int32_t k = 0; k < header.count; ++k) {
    const SlideRecordHead head = ReadSlideRecordHead(inflated, remaining);
    state.slides.push_back({std::string(), head.caption});
    std::string path;
    std::unique_ptr<FileStream> picture = CreatePictureFile(Cp1252ToUtf8(head.file_name), path);
    state.slides.back().path = path;
    if (head.data_size > remaining) throw EPayloadDamaged(msg::kDamageRecordPastEnd);
    picture->Reserve(head.data_size);
    picture->CopyFrom(inflated, head.data_size);
    remaining -= head.data_size;
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
    state.compressed_copy_path = compressed->Path();
    const std::unique_ptr<FileStream> inflated = CreateCopyFile(directory);
    state.inflated_copy_path = inflated->Path();
    state.slide_position = 0;
    CopyCompressedBlock(executable, *compressed, state);
    Extract(*compressed, *inflated, state, sink);
    return true;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
}

}  // namespace qm
