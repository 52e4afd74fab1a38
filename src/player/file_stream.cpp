#include "player/file_stream.h"

#include <fcntl.h>
#include <linux/falloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/exception.h"
#include "player/player_messages.h"

namespace qm {

FileStream::FileStream(const std::string& path, Mode mode) : path_(path) {
  switch (mode) {
    case Mode::kOpenRead:
      fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd_ < 0) throw EFOpenError(FormatFileError(kMsgFileOpenError, path, errno));
      break;
    case Mode::kCreate:
      fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
      if (fd_ < 0) throw EFCreateError(FormatFileError(kMsgFileCreateError, path, errno));
      break;
  }
}

std::unique_ptr<FileStream> FileStream::TryCreateNew(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd >= 0) return std::unique_ptr<FileStream>(new FileStream(path, fd));
  if (errno == EEXIST || errno == ELOOP) return nullptr;
  throw EFCreateError(FormatFileError(kMsgFileCreateError, path, errno));
}

std::unique_ptr<FileStream> FileStream::Adopt(std::string path, int fd) {
  return std::unique_ptr<FileStream>(new FileStream(std::move(path), fd));
}

FileStream::~FileStream() {
  if (fd_ >= 0) {
    ReleaseReserve();
    ::close(fd_);
  }
}

void FileStream::Close() {
  if (fd_ >= 0) {
    ReleaseReserve();
    const int rc = ::close(fd_);
    fd_ = -1;
    if (rc != 0) {
      error_ = errno;
      throw EWriteError(kMsgWriteError);
    }
  }
}

void FileStream::ReadBuffer(void* buffer, std::size_t count) {
  auto* p = static_cast<uint8_t*>(buffer);
  while (count > 0) {
    const ssize_t n = ::read(fd_, p, count);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error_ = errno;
    if (n <= 0) throw EReadError(kMsgReadError);
    p += n;
    count -= static_cast<std::size_t>(n);
    position_ += static_cast<uint64_t>(n);
  }
}

void FileStream::WriteBuffer(const void* buffer, std::size_t count) {
  const auto* p = static_cast<const uint8_t*>(buffer);
  while (count > 0) {
    const ssize_t n = ::write(fd_, p, count);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error_ = errno;
    if (n <= 0) throw EWriteError(kMsgWriteError);
    p += n;
    count -= static_cast<std::size_t>(n);
    position_ += static_cast<uint64_t>(n);
  }
}

void FileStream::Reserve(uint64_t size) {
  if (size > 0 && size < static_cast<uint64_t>(INT64_MAX) &&
      ::fallocate(fd_, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) == 0)
    reserved_ = true;
}

void FileStream::SetMode(unsigned mode) {
  if (::fchmod(fd_, static_cast<mode_t>(mode)) != 0) {
    error_ = errno;
    throw EWriteError(kMsgWriteError);
  }
}

void FileStream::ReleaseReserve() {
  // Truncating a file to its own size frees the blocks reserved past its end.
  struct stat st {};
  if (reserved_ && ::fstat(fd_, &st) == 0) (void)::ftruncate(fd_, st.st_size);
  reserved_ = false;
}

void FileStream::Seek(uint64_t position) {
  if (position > static_cast<uint64_t>(INT64_MAX) ||
      ::lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0)
    throw EReadError(kMsgReadError);
  position_ = position;
}

uint64_t FileStream::Size() const {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) throw EReadError(kMsgReadError);
  return static_cast<uint64_t>(st.st_size);
}

void FileStream::CopyFrom(FileStream& source, uint64_t count) {
  while (count > 0) {
    const std::size_t chunk =
        count < (std::size_t{1} << 30) ? static_cast<std::size_t>(count) : (std::size_t{1} << 30);
    const ssize_t n = ::copy_file_range(source.fd_, nullptr, fd_, nullptr, chunk, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // Not supported between these files (or the source ended): the buffered copy takes over
      // and reports a short source as a read error.
      if (n < 0 && errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) {
        error_ = errno;
        throw EWriteError(kMsgWriteError);
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
