// File streams for start-up extraction and the authoring tool: exact reads that raise on a
// short read, writes that raise on failure, seeking, and stream-to-stream copies through a
// bounded buffer, so a gallery of any size is never held in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "platform/native_files.h"

namespace qm {

// Something bytes can be read from, exactly: ReadBuffer either fills the whole buffer or
// raises (EReadError for a stream that ends early, the stream's own error otherwise).
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual void ReadBuffer(void* buffer, std::size_t count) = 0;
};

class FileStream final : public ByteSource {
 public:
  enum class Mode {
    kOpenRead,  // existing file, read-only
    kCreate,    // create or truncate, read-write, owner-only when new
  };
  // Raises EFOpenError (open) or EFCreateError (create) with the system's reason.
  FileStream(const std::string& path, Mode mode);
  // Creates a new file exclusively; returns nothing when the name is already taken (by a file,
  // a directory or a link, which is never followed) and raises EFCreateError for other errors.
  static std::unique_ptr<FileStream> TryCreateNew(const std::string& path);
  // Takes over `file`, open for reading and writing, that was created at `path`.
  static std::unique_ptr<FileStream> Adopt(std::string path, NativeFile file);
  ~FileStream() override;
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  void ReadBuffer(void* buffer, std::size_t count) override;
  void WriteBuffer(const void* buffer, std::size_t count);
  void Seek(uint64_t position);
  uint64_t Position() const { return position_; }
  uint64_t Size() const;
  // Copies exactly `count` bytes from `source` to the current position, in blocks of at most
  // kCopyBufferSize bytes.
  void CopyFrom(ByteSource& source, uint64_t count);
  // The same from another file: the kernel copies the bytes file to file when it can, without
  // passing them through a buffer of ours; otherwise as above.
  void CopyFrom(FileStream& source, uint64_t count);
  // Reserves `size` bytes of disk for a file about to be written, so the file system can lay
  // it out in one piece. The file's size does not change, and whatever stays unwritten is
  // given back when the file is closed. A hint: failures are ignored.
  void Reserve(uint64_t size);
  // Sets the file's permission bits through the open file, never by name.
  void SetMode(unsigned mode);
  void Close();
  const std::string& Path() const { return path_; }
  // The system's error number for the last operation that failed, 0 when none did (a read that
  // found the end of the file is no system error). The raised texts do not carry it.
  int SystemError() const { return error_; }

  static constexpr std::size_t kCopyBufferSize = 61440;

 private:
  FileStream(std::string path, NativeFile file) : path_(std::move(path)), file_(std::move(file)) {}

  std::string path_;
  void ReleaseReserve();

  NativeFile file_;
  int error_ = 0;
  uint64_t position_ = 0;
  bool reserved_ = false;
};

}  // namespace qm
