#include "imaging/byte_stream.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/exception.h"
#include "platform/messages.h"
#include "platform/native_files.h"

namespace qm {

namespace {

[[noreturn]] void ThrowOpenError(const std::string& path, int error) {
  throw EFOpenError(FormatFileError(msg::kFileOpenError, FullFileName(path), error));
}

}  // namespace

std::string FullFileName(const std::string& path) {
  return FullPath(path);
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  int error = 0;
  NativeFile file = NativeFile::Open(path, NativeFile::Mode::kRead, error);
  if (!file.Valid()) ThrowOpenError(path, error);
  NativeFile::Info info;
  if (!file.Stat(info, error)) ThrowOpenError(path, error);
  if (info.directory) ThrowOpenError(path, EISDIR);

  std::vector<uint8_t> bytes;
  try {
    if (info.regular && info.size > 0 && info.size < SIZE_MAX)
      bytes.reserve(static_cast<std::size_t>(info.size));
    // Read until the end, whatever the size said: the file may change while it is read.
    uint8_t block[65536];
    for (;;) {
      const int64_t got = file.Read(block, sizeof block, error);
      if (got < 0) throw EReadError(msg::kStreamReadError);
      if (got == 0) break;
      bytes.insert(bytes.end(), block, block + got);
    }
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory(msg::kOutOfMemory);
  }
  return bytes;
}

std::size_t TByteReader::Read(void* dest, std::size_t count) {
  const std::size_t n = count < Remaining() ? count : Remaining();
  if (n > 0) std::memcpy(dest, data_.data() + pos_, n);
  pos_ += n;
  return n;
}

void TByteReader::ReadBuffer(void* dest, std::size_t count) {
  if (count > Remaining()) throw EReadError(msg::kStreamReadError);
  Read(dest, count);
}

void TByteReader::Skip(uint64_t count) {
  pos_ = count < Remaining() ? pos_ + static_cast<std::size_t>(count) : data_.size();
}

void TByteReader::Seek(uint64_t position) {
  pos_ = position < data_.size() ? static_cast<std::size_t>(position) : data_.size();
}

}  // namespace qm
