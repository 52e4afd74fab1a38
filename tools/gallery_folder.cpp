#include "tools/gallery_folder.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <sstream>
#include <vector>

#include "imaging/png_writer.h"
#include "picshow/style_catalogue.h"
#include "tools/tool_messages.h"

namespace qm::tool {

namespace fs = std::filesystem;

namespace {

// The list of the files a gallery run made, in its folder.
constexpr const char kManifestName[] = ".quenmora-gallery";
constexpr const char kManifestHead[] = "quenmora gallery: the files this gallery consists of";

// The entries of a gallery folder, relative to it, folders ending in "/"; the manifest last.
std::vector<std::string> GalleryEntries() {
  std::vector<std::string> entries = {"index.html", "sheet.png", "styles/"};
  for (int style = 1; style <= kMaxStyle; ++style)
    entries.push_back("styles/" + StyleFileName(style));
  entries.push_back(kManifestName);
  return entries;
}

// The entries the manifest in `dir` lists, or none when it is missing or not one. It is opened
// only when it is a regular file, never through a link, and read to a bounded length.
std::set<std::string> ReadManifest(const fs::path& dir) {
  const int fd =
      open((dir / kManifestName).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return {};
  struct stat st {};
  std::string text;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size < (1 << 16)) {
    text.resize(static_cast<std::size_t>(st.st_size));
    if (read(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) text.clear();
  }
  close(fd);
  std::set<std::string> entries;
  std::istringstream lines(text);
  std::string line;
  if (!std::getline(lines, line) || line != kManifestHead) return {};
  while (std::getline(lines, line)) entries.insert(line);
  entries.insert(kManifestName);
  return entries;
}

// The first entry of `dir` that is not one its manifest lists, as that kind of entry (a folder
// or a regular file; links and special files never are), or nothing.
std::optional<fs::path> ForeignEntry(const fs::path& dir) {
  const std::set<std::string> own = ReadManifest(dir);
  for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator();
       ++it) {
    const fs::file_status st = it->symlink_status();
    std::string name = it->path().lexically_relative(dir).generic_string();
    if (fs::is_directory(st)) name += '/';
    if (!own.count(name) || !(fs::is_directory(st) || fs::is_regular_file(st))) return it->path();
  }
  return std::nullopt;
}

// Removes the files of the gallery in `dir` that its manifest lists, and the folder once it is
// empty. Anything else stays; says so when that keeps the folder.
void RemoveGallery(const fs::path& dir) {
  const std::set<std::string> own = ReadManifest(dir);
  std::error_code ec;
  for (auto it = own.rbegin(); it != own.rend(); ++it) {  // "styles/" after "styles/001.png"
    const fs::path path = dir / *it;
    if (it->back() == '/')
      rmdir(path.c_str());
    else if (fs::is_regular_file(fs::symlink_status(path, ec)))
      unlink(path.c_str());
  }
  if (rmdir(dir.c_str()) != 0 && errno != ENOENT)
    Fail("kept " + dir.string() + ", which holds files the earlier gallery did not");
}

}  // namespace

std::string StyleFileName(int style) {
  char name[16];
  std::snprintf(name, sizeof name, "%03d.png", style);
  return name;
}

std::optional<std::string> CheckDestination(const fs::path& dir) {
  std::error_code ec;
  const fs::file_status st = fs::symlink_status(dir, ec);
  if (!fs::exists(st)) return std::nullopt;
  if (!fs::is_directory(st)) return dir.string() + " exists and is not a folder";
  if (const auto foreign = ForeignEntry(dir))
    return dir.string() + " holds " + foreign->string() +
           ", which is not a file of a gallery made here; give a new or empty folder";
  return std::nullopt;
}

std::optional<fs::path> MakeSiblingFolder(const fs::path& dir, const char* kind) {
  std::string name = ".";
  name += dir.filename().string();
  name += kind;
  std::string templ = (dir.parent_path() / name).string();
  if (!mkdtemp(templ.data())) return std::nullopt;
  return fs::path(templ);
}

void WriteManifest(const fs::path& dir) {
  std::string manifest = std::string(kManifestHead) + "\n";
  for (const std::string& entry : GalleryEntries()) manifest += entry + "\n";
  WriteText(manifest, dir / kManifestName);
}

void Publish(const fs::path& built, const fs::path& dir, bool& built_is_new) {
  if (const auto why = CheckDestination(dir)) throw ToolError(*why);
  const auto cannot = [&](const char* what, int cause) {
    return ToolError(std::string("cannot ") + what + " " + dir.string() + ": " +
                     std::strerror(cause));
  };
  // A new name, or an empty folder, is taken in one step; a folder with anything in it is not.
  if (rename(built.c_str(), dir.c_str()) != 0) {
    if (errno != ENOTEMPTY && errno != EEXIST)
      throw cannot("move the gallery into place at", errno);
    // An earlier gallery changes places with the new one in one step and is checked once more
    // where it now lies; should a file of the user's have come meanwhile, the exchange is undone.
    if (renameat2(AT_FDCWD, built.c_str(), AT_FDCWD, dir.c_str(), RENAME_EXCHANGE) != 0)
      throw cannot("replace the earlier gallery", errno);
    built_is_new = false;
    if (const auto foreign = ForeignEntry(built)) {
      built_is_new =
          renameat2(AT_FDCWD, built.c_str(), AT_FDCWD, dir.c_str(), RENAME_EXCHANGE) == 0;
      throw ToolError(dir.string() + " holds " +
                      (dir / foreign->lexically_relative(built)).string() +
                      ", which is not a file of a gallery made here; give a new or empty folder");
    }
    RemoveGallery(built);
  }
  std::error_code ec;
  // mkdtemp made the folder private; a gallery is for viewing like any other document.
  fs::permissions(dir,
                  fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                      fs::perms::others_read | fs::perms::others_exec,
                  ec);
}

std::string Megabytes(const fs::path& dir) {
  std::uintmax_t bytes = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    if (entry.is_regular_file()) bytes += entry.file_size();
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
  return text;
}

void WriteText(const std::string& text, const fs::path& path) {
  FileSink file(path.string());
  file.Write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  file.Close();
}

}  // namespace qm::tool
