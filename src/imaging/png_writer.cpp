#include "imaging/png_writer.h"

#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "imaging/byte_stream.h"
#include "imaging/imaging_messages.h"
#include "imaging/png_encoding.h"
#include "platform/exception.h"

namespace qm {

namespace {

// A PNG file written as it is encoded: the image data goes through one deflate stream into
// IDAT chunks of at most kChunkSize bytes, so that only a few rows and one chunk are ever held.
class PngFileWriter {
 public:
  explicit PngFileWriter(const std::string& path)
      : path_(path), file_(std::fopen(path.c_str(), "wb"), std::fclose), chunk_(kChunkSize) {
    if (!file_)
      throw EFCreateError(
          FormatMessage(msg::kFileCreateError, FullFileName(path).c_str(), std::strerror(errno)));
    if (deflateInit(&z_, 6) != Z_OK) throw EOutOfMemory(msg::kOutOfMemory);
  }
  ~PngFileWriter() { deflateEnd(&z_); }
  PngFileWriter(const PngFileWriter&) = delete;
  PngFileWriter& operator=(const PngFileWriter&) = delete;

  void Signature() {
    static constexpr uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    Put(kSignature, sizeof kSignature);
  }

  void Chunk(const char* name, const uint8_t* data, std::size_t size) {
    std::vector<uint8_t> head;
    PutBigEndian32(head, static_cast<uint32_t>(size));
    head.insert(head.end(), name, name + 4);
    Put(head.data(), head.size());
    if (size > 0) Put(data, size);
    std::vector<uint8_t> tail;
    PutBigEndian32(tail, ChunkCrc(name, data, size));
    Put(tail.data(), tail.size());
  }

  // Adds the bytes to the image data; Z_FINISH ends it and writes what is left.
  void ImageData(const uint8_t* data, std::size_t size, int flush = Z_NO_FLUSH) {
    z_.next_in = const_cast<Bytef*>(data);
    z_.avail_in = static_cast<uInt>(size);
    for (;;) {
      z_.next_out = chunk_.data() + used_;
      z_.avail_out = static_cast<uInt>(kChunkSize - used_);
      const int rc = deflate(&z_, flush);
      if (rc == Z_STREAM_ERROR) throw EOutOfMemory(msg::kOutOfMemory);
      used_ = kChunkSize - z_.avail_out;
      if (used_ == kChunkSize || (rc == Z_STREAM_END && used_ > 0)) {
        Chunk("IDAT", chunk_.data(), used_);
        used_ = 0;
      }
      if (flush == Z_FINISH ? rc == Z_STREAM_END : z_.avail_in == 0 && z_.avail_out != 0) return;
    }
  }

  void Finish() {
    Chunk("IEND", nullptr, 0);
    const int rc = std::fflush(file_.get());
    if (rc != 0 || std::ferror(file_.get())) WriteFailed();
    if (std::fclose(file_.release()) != 0) WriteFailed();
  }

 private:
  static constexpr std::size_t kChunkSize = 64 * 1024;

  void Put(const void* data, std::size_t size) {
    if (std::fwrite(data, 1, size, file_.get()) != size) WriteFailed();
  }
  [[noreturn]] void WriteFailed() {
    throw EWriteError("Cannot write " + path_ + ": " + std::strerror(errno));
  }

  std::string path_;
  std::unique_ptr<FILE, int (*)(FILE*)> file_;
  z_stream z_{};
  std::vector<uint8_t> chunk_;
  std::size_t used_ = 0;
};

}  // namespace

void WritePng24(const TBitmap& bitmap, const std::string& path) {
  const int width = bitmap.Width(), height = bitmap.Height();
  PngFileWriter png(path);
  png.Signature();
  std::vector<uint8_t> header;
  PutBigEndian32(header, static_cast<uint32_t>(width));
  PutBigEndian32(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});
  png.Chunk("IHDR", header.data(), header.size());
  const std::size_t row_bytes = static_cast<std::size_t>(width) * 3;
  std::vector<uint8_t> row(row_bytes), prev(row_bytes, 0), filtered(row_bytes + 1),
      trial(row_bytes + 1);
  for (int y = 0; y < height; ++y) {
    RowToRgb(bitmap, y, row.data());
    FilterRow(row.data(), prev.data(), row_bytes, filtered.data(), trial);
    png.ImageData(filtered.data(), filtered.size());
    row.swap(prev);
  }
  png.ImageData(nullptr, 0, Z_FINISH);
  png.Finish();
}

}  // namespace qm
