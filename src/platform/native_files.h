// The few file and process services that differ between Linux and Windows, behind one small
// interface: open, read, write, seek and close a file by its native handle, the running
// program's own file, the temporary directory, the machine's memory. Paths are UTF-8 on both
// systems (the Windows side speaks UTF-16 to the system, so any user folder name works).
// Failures are reported as C library error numbers (ENOENT, EACCES, EEXIST, ...) on both
// sides, so that messages name the same reasons everywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qm {

class NativeFile {
 public:
#ifdef _WIN32
  using Handle = void*;
#else
  using Handle = int;
#endif

  enum class Mode {
    kRead,              // an existing file, read-only; others may read and write it meanwhile
    kCreateOrTruncate,  // read-write; owner-only when new
    kCreateNew,         // read-write, created exclusively and owner-only; an existing name
                        // (a link included, which is never followed) fails with EEXIST
  };

  NativeFile() = default;
  // Opens `path`; an invalid file with `error` set when that fails.
  static NativeFile Open(const std::string& path, Mode mode, int& error);
  // Takes over a handle open for reading and writing.
  static NativeFile Adopt(Handle handle) {
    return NativeFile(handle);
  }
  ~NativeFile() {
    Close();
  }
  NativeFile(NativeFile&& other) noexcept : handle_(other.handle_) {
    other.handle_ = kInvalid;
  }
  NativeFile& operator=(NativeFile&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = other.handle_;
      other.handle_ = kInvalid;
    }
    return *this;
  }
  NativeFile(const NativeFile&) = delete;
  NativeFile& operator=(const NativeFile&) = delete;

  bool Valid() const {
    return handle_ != kInvalid;
  }
  Handle Native() const {
    return handle_;
  }

  // Up to `count` bytes: how many were moved (0 at the end of the file), or -1 with `error`.
  int64_t Read(void* buffer, std::size_t count, int& error);
  int64_t Write(const void* buffer, std::size_t count, int& error);
  bool Seek(uint64_t position);

  struct Info {
    uint64_t size = 0;
    bool directory = false;
    bool regular = false;
  };
  bool Stat(Info& info, int& error) const;

  // Reserves `size` bytes of disk without changing the file's size (a hint; false when the
  // system cannot), and gives back what stays unused past the end of the file.
  bool Reserve(uint64_t size);
  void ReleaseReserve();
  // Sets the permission bits (Linux); Windows files keep their folder's access rules.
  bool SetMode(unsigned mode, int& error);
  // Lets the system copy up to `count` bytes from this file's position to `target`'s without a
  // buffer of ours: how many were copied, 0 at the end, or -1 with `error` (ENOSYS, EXDEV,
  // EINVAL or EOPNOTSUPP where it cannot, for a buffered copy to take over).
  int64_t CopyTo(NativeFile& target, std::size_t count, int& error);

  // Closes the handle; false with `error` when the system reports a failure (a write that
  // could not be completed).
  bool Close(int& error);
  void Close() {
    int ignored = 0;
    (void)Close(ignored);
  }

 private:
#ifdef _WIN32
  static constexpr Handle kInvalid = nullptr;  // the Windows side never keeps a failed open
#else
  static constexpr Handle kInvalid = -1;
#endif
  explicit NativeFile(Handle handle) : handle_(handle) {}
  Handle handle_ = kInvalid;
};

// The full path of the running program's own file.
std::string OwnExecutablePath();
// `path` made absolute against the working directory and normalised ("a/../b.png" in /tmp:
// "/tmp/b.png"); `path` itself when that fails.
std::string FullPath(const std::string& path);
// The file name part of a path (after the last separator).
std::string FileNamePart(const std::string& path);
// The user's temporary directory, ending in the system's separator: $TMPDIR or /tmp on Linux,
// GetTempPathW's answer on Windows.
std::string TemporaryDirectory();
// Removes a file by name; false with `error` when it could not be removed.
bool RemoveFile(const std::string& path, int& error);
uint32_t ProcessId();
// The machine's physical memory in bytes (0 when it cannot be told).
uint64_t PhysicalMemoryBytes();
#ifdef _WIN32
// UTF-8 to the UTF-16 of the system's calls.
std::wstring WideFromUtf8(const std::string& utf8);
#endif

}  // namespace qm
