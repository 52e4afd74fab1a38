#include "photos/picture_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <set>
#include <stdexcept>

#include "photos/decoders.h"

namespace qm::photos {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
char Fold(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

[[noreturn]] void Fail(const std::string& what, int error) {
  throw std::runtime_error(what + ": " + std::strerror(error));
}

void Walk(const std::string& folder, bool recursive, std::set<std::pair<dev_t, ino_t>>& seen,
          std::vector<std::string>& found,
          const std::function<void(const std::string&, const std::string&)>& skipped) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
  if (!dir) Fail("cannot read the folder " + folder, errno);
  struct stat self {};
  if (::fstat(::dirfd(dir.get()), &self) == 0 && !seen.insert({self.st_dev, self.st_ino}).second)
    return;  // a link back to a folder already read
  std::vector<std::string> names;
  errno = 0;
  while (const dirent* e = ::readdir(dir.get())) {
    if (e->d_name[0] != '.') names.emplace_back(e->d_name);
    errno = 0;
  }
  if (errno != 0) Fail("cannot read the folder " + folder, errno);
  std::sort(names.begin(), names.end(), NaturalLess);
  const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  for (const std::string& name : names) {
    const std::string path = prefix + name;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
      skipped(path, std::strerror(errno));
    } else if (S_ISDIR(st.st_mode)) {
      if (recursive) Walk(path, recursive, seen, found, skipped);
    } else if (!HasPictureExtension(name)) {
      skipped(path, "not a picture");
    } else if (!S_ISREG(st.st_mode)) {
      skipped(path, "not a regular file");
    } else {
      found.push_back(path);
    }
  }
}

}  // namespace

bool NaturalLess(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      std::size_t ie = i, je = j;
      while (ie < a.size() && IsDigit(a[ie])) ++ie;
      while (je < b.size() && IsDigit(b[je])) ++je;
      std::size_t is = i, js = j;
      while (is + 1 < ie && a[is] == '0') ++is;
      while (js + 1 < je && b[js] == '0') ++js;
      const std::string_view x = a.substr(is, ie - is), y = b.substr(js, je - js);
      if (x.size() != y.size()) return x.size() < y.size();
      if (x != y) return x < y;
      i = ie, j = je;
      continue;
    }
    if (Fold(a[i]) != Fold(b[j])) return Fold(a[i]) < Fold(b[j]);
    ++i, ++j;
  }
  if ((i < a.size()) != (j < b.size())) return j < b.size();
  return a < b;
}

std::vector<std::string> PicturesInFolder(
    const std::string& folder, bool recursive,
    const std::function<void(const std::string& path, const std::string& why)>& skipped) {
  std::vector<std::string> found;
  std::set<std::pair<dev_t, ino_t>> seen;
  Walk(folder, recursive, seen, found, skipped);
  return found;
}

std::vector<uint8_t> ReadPictureFile(const std::string& path, uint64_t up_to, uint64_t& file_size) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Fail("cannot open it", errno);
  std::unique_ptr<int, void (*)(int*)> closer(new int(fd), [](int* f) {
    ::close(*f);
    delete f;
  });
  struct stat st {};
  if (::fstat(fd, &st) != 0) Fail("cannot read it", errno);
  if (!S_ISREG(st.st_mode)) throw std::runtime_error("not a regular file");
  file_size = static_cast<uint64_t>(st.st_size);
  std::vector<uint8_t> bytes(static_cast<std::size_t>(std::min(file_size, up_to)));
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail("cannot read it", errno);
    if (n == 0) throw std::runtime_error("it became shorter while it was read");
    done += static_cast<std::size_t>(n);
  }
  return bytes;
}

}  // namespace qm::photos
