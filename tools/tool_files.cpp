#include "tools/tool_files.h"

#include <sys/stat.h>

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

}  // namespace qm::tool
