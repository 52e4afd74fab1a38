// The file and process services on Linux: descriptors opened close-on-exec, /proc/self/exe,
// fallocate for reservations, copy_file_range for kernel copies.
#include <fcntl.h>
#include <linux/falloc.h>
#include <sys/auxv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "platform/native_files.h"

namespace qm {

NativeFile NativeFile::Open(const std::string& path, Mode mode, int& error) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case Mode::kRead:
      flags |= O_RDONLY;
      break;
    case Mode::kCreateOrTruncate:
      flags |= O_RDWR | O_CREAT | O_TRUNC;
      break;
    case Mode::kCreateNew:
      flags |= O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW;
      break;
  }
  int fd;
  do {
    fd = ::open(path.c_str(), flags, 0600);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    // With O_EXCL a link is refused as ELOOP: for an exclusive create the name is just taken.
    error = (mode == Mode::kCreateNew && errno == ELOOP) ? EEXIST : errno;
    return NativeFile();
  }
  return NativeFile(fd);
}

int64_t NativeFile::Read(void* buffer, std::size_t count, int& error) {
  for (;;) {
    const ssize_t n = ::read(handle_, buffer, count);
    if (n >= 0) return n;
    if (errno != EINTR) {
      error = errno;
      return -1;
    }
  }
}

int64_t NativeFile::Write(const void* buffer, std::size_t count, int& error) {
  for (;;) {
    const ssize_t n = ::write(handle_, buffer, count);
    if (n >= 0) return n;
    if (errno != EINTR) {
      error = errno;
      return -1;
    }
  }
}

bool NativeFile::Seek(uint64_t position) {
  return position <= static_cast<uint64_t>(INT64_MAX) &&
         ::lseek(handle_, static_cast<off_t>(position), SEEK_SET) >= 0;
}

bool NativeFile::Stat(Info& info, int& error) const {
  struct stat st {};
  if (::fstat(handle_, &st) != 0) {
    error = errno;
    return false;
  }
  info.size = static_cast<uint64_t>(st.st_size);
  info.directory = S_ISDIR(st.st_mode);
  info.regular = S_ISREG(st.st_mode);
  return true;
}

bool NativeFile::Reserve(uint64_t size) {
  return size > 0 && size < static_cast<uint64_t>(INT64_MAX) &&
         ::fallocate(handle_, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) == 0;
}

void NativeFile::ReleaseReserve() {
  // Truncating a file to its own size frees the blocks reserved past its end.
  struct stat st {};
  if (::fstat(handle_, &st) == 0) (void)::ftruncate(handle_, st.st_size);
}

bool NativeFile::SetMode(unsigned mode, int& error) {
  if (::fchmod(handle_, static_cast<mode_t>(mode)) == 0) return true;
  error = errno;
  return false;
}

int64_t NativeFile::CopyTo(NativeFile& target, std::size_t count, int& error) {
  for (;;) {
    const ssize_t n = ::copy_file_range(handle_, nullptr, target.handle_, nullptr, count, 0);
    if (n >= 0) return n;
    if (errno != EINTR) {
      error = errno;
      return -1;
    }
  }
}

bool NativeFile::Close(int& error) {
  if (handle_ == kInvalid) return true;
  const int rc = ::close(handle_);
  handle_ = kInvalid;
  if (rc == 0) return true;
  error = errno;
  return false;
}

std::string OwnExecutablePath() {
  std::string path(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
  if (n <= 0) {
    // Without /proc (a minimal root, some containers): the path the program was started by,
    // as the kernel handed it over.
    const auto* started = reinterpret_cast<const char*>(getauxval(AT_EXECFN));
    return started != nullptr && *started != '\0' ? started : "/proc/self/exe";
  }
  path.resize(static_cast<std::size_t>(n));
  return path;
}

std::string FullPath(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(path, ec);
  return ec ? path : full.lexically_normal().string();
}

std::string FileNamePart(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string TemporaryDirectory() {
  const char* dir = std::getenv("TMPDIR");
  std::string path = (dir && *dir) ? dir : "/tmp";
  if (path.back() != '/') path += '/';
  return path;
}

bool RemoveFile(const std::string& path, int& error) {
  if (::unlink(path.c_str()) == 0) return true;
  error = errno;
  return false;
}

uint32_t ProcessId() {
  return static_cast<uint32_t>(::getpid());
}

uint64_t PhysicalMemoryBytes() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long page_size = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page_size <= 0) return 0;
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size);
}

}  // namespace qm
