#include "video/show_reader.h"

#include <utility>

#include "imaging/slide_loader.h"
#include "payload/file_stream.h"
#include "payload/payload_errors.h"
#include "payload/payload_reader.h"
#include "payload/zlib_streams.h"
#include "platform/byte_order.h"

namespace qm::video {

namespace {

// Streams the slide records out of a payload that ReadShow has checked: one picture's bytes in
// memory at a time.
class PayloadPictures final : public SlidePictures {
 public:
  explicit PayloadPictures(const std::string& path) : file_(path, FileStream::Mode::kOpenRead) {
    const uint64_t length = file_.Size();
    const uint32_t start = ReadPayloadStart(file_, length);
    const uint64_t stream_end = length - kPayloadTrailerSize - kInflatedSizeFieldSize;
    uint8_t word[kInflatedSizeFieldSize];
    file_.Seek(stream_end);
    file_.ReadBuffer(word, sizeof word);
    remaining_ = LoadLittleEndian32(word);
    if (remaining_ < kGalleryHeaderSize) throw EPayloadDamaged(msg::kDamageShortHeader);
    z_ = std::make_unique<InflateStream>(file_, start, stream_end);
    uint8_t header[kGalleryHeaderSize];
    z_->ReadBuffer(header, sizeof header);
    remaining_ -= kGalleryHeaderSize;
  }

  std::optional<TBitmap> Next() override {
    const SlideRecordHead head = ReadSlideRecordHead(*z_, remaining_);
    if (head.data_size > remaining_) throw EPayloadDamaged(msg::kDamageRecordPastEnd);
    std::vector<uint8_t> bytes(head.data_size);
    z_->ReadBuffer(bytes.data(), bytes.size());
    remaining_ -= head.data_size;
    return DecodeSlidePicture(head.file_name, std::move(bytes));
  }

 private:
  FileStream file_;
  std::unique_ptr<InflateStream> z_;
  uint64_t remaining_ = 0;
};

class FilePictures final : public SlidePictures {
 public:
  explicit FilePictures(std::vector<std::string> paths) : paths_(std::move(paths)) {}
  std::optional<TBitmap> Next() override { return LoadSlidePicture(paths_.at(next_++)); }

 private:
  std::vector<std::string> paths_;
  std::size_t next_ = 0;
};

}  // namespace

Show ReadShow(const std::string& path, bool* no_payload) {
  PayloadSummary summary = ReadPayloadSummary(path, no_payload);
  Show show;
  show.header = summary.header;
  for (SlideRecordHead& head : summary.slides)
    show.slides.push_back({std::move(head.file_name), std::move(head.caption)});
  return show;
}

std::unique_ptr<SlidePictures> PicturesOfShow(const std::string& path) {
  return std::make_unique<PayloadPictures>(path);
}

std::unique_ptr<SlidePictures> PicturesOfFiles(std::vector<std::string> paths) {
  return std::make_unique<FilePictures>(std::move(paths));
}

}  // namespace qm::video
