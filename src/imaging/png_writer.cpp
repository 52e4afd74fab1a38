#include "imaging/png_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
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

FileSink::FileSink(const std::string& path)
    : path_(path), fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)) {
  if (fd_ < 0) throw EFCreateError("cannot create " + path + ": " + std::strerror(errno));
}

FileSink::~FileSink() {
  if (fd_ >= 0) ::close(fd_);
}

void FileSink::Write(const uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd_, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Failed(n < 0 ? errno : ENOSPC);
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

void FileSink::Close() {
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && errno != EINTR) Failed(errno);
}

void FileSink::Failed(int cause) const {
  throw EWriteError("cannot write " + path_ + ": " + std::strerror(cause));
}

}  // namespace qm
