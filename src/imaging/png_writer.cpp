#include "imaging/png_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/exception.h"

namespace qm {

void WritePng24(const TBitmap& bitmap, ByteSink& out) {
  const int width = bitmap.Width(), height = bitmap.Height();
  WritePngSignature(out);
  WriteRgbHeader(out, width, height);
  std::vector<uint8_t> row(static_cast<std::size_t>(width) * 3);
  DeflatedImageData data(out, row.size());
  for (int y = 0; y < height; ++y) {
    RowToRgb(bitmap, y, row.data());
    data.AddRow(row.data());
  }
  data.Finish();
  WriteChunk(out, "IEND", nullptr, 0);
}

void WritePng24(const TBitmap& bitmap, const std::string& path) {
  FileSink file(path);
  WritePng24(bitmap, file);
  file.Close();
}

FileSink::FileSink(const std::string& path) : path_(path), file_(std::fopen(path.c_str(), "wb")) {
  if (!file_) throw EFCreateError("cannot create " + path + ": " + std::strerror(errno));
}

FileSink::~FileSink() {
  if (file_) std::fclose(file_);
}

void FileSink::Write(const uint8_t* data, std::size_t size) {
  if (size > 0 && std::fwrite(data, 1, size, file_) != size) Failed(errno);
}

void FileSink::Close() {
  std::FILE* file = file_;
  file_ = nullptr;
  const bool flushed = std::fflush(file) == 0 && !std::ferror(file);
  const int cause = errno;
  if (std::fclose(file) != 0 || !flushed) Failed(flushed ? errno : cause);
}

void FileSink::Failed(int cause) const {
  throw EWriteError("cannot write " + path_ + ": " + std::strerror(cause));
}

}  // namespace qm
