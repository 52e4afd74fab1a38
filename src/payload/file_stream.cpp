#include "payload/file_stream.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/exception.h"
#include "platform/messages.h"

namespace qm {

FileStream::FileStream(const std::string& path, Mode mode) : path_(path) {
  int error = 0;
  switch (mode) {
    case Mode::kOpenRead:
      file_ = NativeFile::Open(path, NativeFile::Mode::kRead, error);
      if (!file_.Valid()) throw EFOpenError(FormatFileError(msg::kFileOpenError, path, error));
      break;
    case Mode::kCreate:
      file_ = NativeFile::Open(path, NativeFile::Mode::kCreateOrTruncate, error);
      if (!file_.Valid()) throw EFCreateError(FormatFileError(msg::kFileCreateError, path, error));
      break;
  }
}

std::unique_ptr<FileStream> FileStream::TryCreateNew(const std::string& path) {
  int error = 0;
  NativeFile file = NativeFile::Open(path, NativeFile::Mode::kCreateNew, error);
  if (file.Valid()) return std::unique_ptr<FileStream>(new FileStream(path, std::move(file)));
  if (error == EEXIST) return nullptr;
  throw EFCreateError(FormatFileError(msg::kFileCreateError, path, error));
}

std::unique_ptr<FileStream> FileStream::Adopt(std::string path, NativeFile file) {
  return std::unique_ptr<FileStream>(new FileStream(std::move(path), std::move(file)));
}

FileStream::~FileStream() {
  if (file_.Valid()) {
    ReleaseReserve();
    file_.Close();
  }
}

void FileStream::Close() {
  if (file_.Valid()) {
    ReleaseReserve();
    if (!file_.Close(error_)) throw EWriteError(msg::kStreamWriteError);
  }
}

void FileStream::ReadBuffer(void* buffer, std::size_t count) {
  auto* p = static_cast<uint8_t*>(buffer);
  while (count > 0) {
    const int64_t n = file_.Read(p, count, error_);
    if (n <= 0) throw EReadError(msg::kStreamReadError);
    p += n;
    count -= static_cast<std::size_t>(n);
    position_ += static_cast<uint64_t>(n);
  }
}

void FileStream::WriteBuffer(const void* buffer, std::size_t count) {
  const auto* p = static_cast<const uint8_t*>(buffer);
  while (count > 0) {
    const int64_t n = file_.Write(p, count, error_);
    if (n <= 0) throw EWriteError(msg::kStreamWriteError);
    p += n;
    count -= static_cast<std::size_t>(n);
    position_ += static_cast<uint64_t>(n);
  }
}

void FileStream::Reserve(uint64_t size) {
  if (file_.Reserve(size)) reserved_ = true;
}

void FileStream::SetMode(unsigned mode) {
  if (!file_.SetMode(mode, error_)) throw EWriteError(msg::kStreamWriteError);
}

void FileStream::ReleaseReserve() {
  if (reserved_) file_.ReleaseReserve();
  reserved_ = false;
}

void FileStream::Seek(uint64_t position) {
  if (!file_.Seek(position)) throw EReadError(msg::kStreamReadError);
  position_ = position;
}

uint64_t FileStream::Size() const {
  NativeFile::Info info;
  int error = 0;
  if (!file_.Stat(info, error)) throw EReadError(msg::kStreamReadError);
  return info.size;
}

void FileStream::CopyFrom(FileStream& source, uint64_t count) {
  while (count > 0) {
    const std::size_t chunk =
        count < (std::size_t{1} << 30) ? static_cast<std::size_t>(count) : (std::size_t{1} << 30);
    int error = 0;
    const int64_t n = source.file_.CopyTo(file_, chunk, error);
    if (n <= 0) {
      // Not supported between these files (or the source ended): the buffered copy takes over
      // and reports a short source as a read error.
      if (n < 0 && error != EXDEV && error != ENOSYS && error != EINVAL && error != EOPNOTSUPP) {
        error_ = error;
        throw EWriteError(msg::kStreamWriteError);
      }
      CopyFrom(static_cast<ByteSource&>(source), count);
      return;
    }
    source.position_ += static_cast<uint64_t>(n);
    position_ += static_cast<uint64_t>(n);
    count -= static_cast<uint64_t>(n);
  }
}

void FileStream::CopyFrom(ByteSource& source, uint64_t count) {
  if (count == 0) return;
  const std::size_t size =
      count < kCopyBufferSize ? static_cast<std::size_t>(count) : kCopyBufferSize;
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[size]);
  while (count > 0) {
    const std::size_t n = count < size ? static_cast<std::size_t>(count) : size;
    source.ReadBuffer(buffer.get(), n);
    WriteBuffer(buffer.get(), n);
    count -= n;
  }
}

}  // namespace qm
