#include "tools/tool_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qm::tool {

namespace {

const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISFIFO(mode)) return "a named pipe";
  if (S_ISSOCK(mode)) return "a socket";
  return "a special file";
}

}  // namespace

std::optional<std::string> NotARegularFile(const std::string& path, const std::string& what) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return std::nullopt;
  return "the " + what + " " + path + " is " + KindOf(st.st_mode) + ", not a regular file";
}

std::optional<std::string> CannotRead(const std::string& path, const std::string& what) {
  if (auto why = NotARegularFile(path, what)) return why;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return "cannot read the " + what + " " + path + ": " + std::strerror(errno);
  ::close(fd);
  return std::nullopt;
}

}  // namespace qm::tool
