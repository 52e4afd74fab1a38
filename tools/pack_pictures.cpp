#include "tools/pack_pictures.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <stdexcept>
#include <thread>

#include "imaging/decode_budget.h"
#include "imaging/picture_size.h"
#include "payload/cp1252.h"
#include "payload/payload_format.h"
#include "photos/batch.h"
#include "photos/picture_files.h"
#include "tools/show_options.h"
#include "tools/tool_files.h"
#include "tools/tool_messages.h"
#include "tools/tool_options.h"

namespace qm::tool {

const char kPictureOptionsUsage[] =
    "  PICTURE may also be a folder: its pictures in natural name order (IMG_2 before IMG_10).\n"
    "  Pictures may be JPEG, PNG, BMP, GIF (first frame), WebP, TIFF, HEIC/HEIF or AVIF;\n"
    "  each is turned upright by its EXIF orientation and stored as JPEG, PNG or BMP.\n"
    "  --recursive                take the pictures of subfolders too\n"
    "  --fit WxH                  scale larger pictures down to fit WxH, aspect kept\n"
    "                             (default 1920x1080); --fit none keeps every size\n"
    "  --quality Q                quality of the JPEGs written, 1..100 (default 90)\n"
    "  --captions-from exif       a picture without a caption takes its EXIF or XMP description\n"
    "  --skip-bad                 leave out pictures that cannot be read, with a warning,\n"
    "                             instead of failing\n"
    "  --jobs N                   pictures prepared at once (default: one per processor)\n"
    "  --shuffle                  the pictures in a random order\n";

namespace {

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The name to store: the picture's own, with the extension of the data when that changed or
// when the name's extension would not lead the player to the right decoder.
std::string StoredName(const std::string& path, const photos::Prepared& p) {
  const photos::Format format = p.format;
  std::string base = BaseName(path);
  const std::size_t dot = base.rfind('.');
  std::string ext = dot == std::string::npos ? "" : base.substr(dot);
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  const char* wanted = p.extension;
  if (p.kept_as_is)
    wanted = format == photos::Format::kJpeg  ? (ext == ".jpeg" ? ".jpeg" : ".jpg")
             : format == photos::Format::kPng ? ".png"
                                              : ".bmp";
  if (ext == wanted || (ext == ".jpeg" && std::string(wanted) == ".jpg")) return base;
  return (dot == std::string::npos ? base : base.substr(0, dot)) + wanted;
}

// The player decodes a picture only within its memory budget, which on the machine that shows
// the presentation is at most kDecodeBudgetCeiling: a picture past that could never be shown.
// Pictures larger than any screen are packed with a warning. A picture kept as it is is judged
// by its file's header; a prepared one by its size, as 24-bit pixels (and, for a PNG, an alpha
// plane).
std::optional<std::string> CheckPictureSize(const PreparedPicture& p) {
  std::optional<PictureSize> size;
  if (p.prepared.kept_as_is) {
    size = ReadPictureSize(p.path);
  } else {
    const auto w = static_cast<uint64_t>(p.prepared.size.width);
    const auto h = static_cast<uint64_t>(p.prepared.size.height);
    const bool png = std::string(p.prepared.extension) == ".png";
    size = PictureSize{w, h, png ? PngDecodeBytes(w, h, 24, 6) : BitmapBytes(w, h, 24)};
  }
  if (!size) return std::nullopt;
  const std::string dimensions = std::to_string(size->width) + "x" + std::to_string(size->height);
  const auto megabytes = [](uint64_t bytes) {
    return std::to_string((bytes + (1 << 20) - 1) >> 20);
  };
  if (size->decode_bytes > kDecodeBudgetCeiling)
    return p.path + " is " + dimensions + " pixels: the player would need " +
           megabytes(size->decode_bytes) + " MB to show it, more than the " +
           megabytes(kDecodeBudgetCeiling) + " MB it allows one picture (make it smaller)";
  if (size->width > 8192 || size->height > 8192)
    std::fprintf(stderr,
                 "quenmora %s: warning: %s is %s pixels, larger than 8192x8192: the player "
                 "needs %s MB to decode it, and more to show it\n",
                 CommandName(), p.path.c_str(), dimensions.c_str(),
                 megabytes(size->decode_bytes).c_str());
  return std::nullopt;
}

class ProgressLine {
 public:
  void Show(std::size_t done, std::size_t total, uint64_t bytes) {
    if (!enabled_) return;
    std::fprintf(stderr, "\rpreparing: %zu of %zu pictures, %.1f MB", done, total,
                 static_cast<double>(bytes) / 1e6);
    if (done == total) std::fprintf(stderr, "\n");
  }
  void Break() {
    if (enabled_) std::fprintf(stderr, "\n");
  }

 private:
  bool enabled_ = ::isatty(2) != 0;
};

}  // namespace

void AddPictureOptions(OptionTable& table, PictureOptions& o) {
  table.insert(
      table.end(),
      {
          Switch({"--recursive"}, o.recursive),
          Switch({"--skip-bad"}, o.skip_bad),
          Switch({"--shuffle"}, o.shuffle),
          Value(
              {"--captions-from"},
              [&o](const std::string& value) { return o.captions_from_exif = value == "exif"; },
              "--captions-from takes exif"),
          Value(
              {"--fit"},
              [&o](const std::string& value) {
                const auto size = ParseSize(value);
                if (value == "none")
                  o.prepare.fit.reset();
                else if (size)
                  o.prepare.fit = photos::Size{size->first, size->second};
                return value == "none" || size.has_value();
              },
              "--fit needs WIDTHxHEIGHT such as 1920x1080, or none"),
          Number({"--quality"}, 1, 100, o.prepare.quality,
                 "--quality needs a whole number from 1 to 100"),
          Number({"--jobs"}, 1, 999, o.jobs, "--jobs needs a whole number from 1 to 999"),
      });
}

std::string ExpandFolders(std::vector<std::string>& pictures,
                          std::vector<std::optional<std::string>>& captions, bool recursive) {
  std::vector<std::string> files;
  std::vector<std::optional<std::string>> file_captions;
  for (std::size_t k = 0; k < pictures.size(); ++k) {
    if (!IsFolder(pictures[k])) {
      files.push_back(pictures[k]);
      file_captions.push_back(captions[k]);
      continue;
    }
    std::vector<std::string> found;
    try {
      found = photos::PicturesInFolder(pictures[k], recursive,
                                       [](const std::string& path, const std::string& why) {
                                         std::fprintf(stderr, "quenmora %s: skipping %s: %s\n",
                                                      CommandName(), path.c_str(), why.c_str());
                                       });
    } catch (const std::exception& e) {
      return e.what();
    }
    if (found.empty())
      return "no pictures in the folder " + pictures[k] +
             (recursive ? "" : " (--recursive takes its subfolders too)");
    for (std::string& f : found) {
      files.push_back(std::move(f));
      file_captions.emplace_back();
    }
  }
  pictures = std::move(files);
  captions = std::move(file_captions);
  return "";
}

void ShufflePictures(std::vector<std::string>& pictures,
                     std::vector<std::optional<std::string>>& captions) {
  std::vector<std::size_t> order(pictures.size());
  for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::shuffle(order.begin(), order.end(), std::mt19937(std::random_device{}()));
  std::vector<std::string> p;
  std::vector<std::optional<std::string>> c;
  for (const std::size_t k : order) {
    p.push_back(std::move(pictures[k]));
    c.push_back(std::move(captions[k]));
  }
  pictures = std::move(p);
  captions = std::move(c);
}

std::unique_ptr<FileStream> OpenSpool(const std::string& output) {
  const std::size_t slash = output.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "." : output.substr(0, slash + 1);
  int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    std::string name = (dir.back() == '/' ? dir : dir + "/") + ".quenmora-pictures-XXXXXX";
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) ::unlink(name.c_str());
  }
  if (fd < 0)
    throw std::runtime_error("cannot keep the prepared pictures beside " + output + ": " +
                             std::strerror(errno));
  return FileStream::Adopt("the prepared pictures", NativeFile::Adopt(fd));
}

std::string PreparePictures(const std::vector<std::string>& pictures, const PictureOptions& o,
                            FileStream& spool, std::vector<PreparedPicture>& prepared,
                            std::vector<std::size_t>& kept) {
#if defined(__GLIBC__)
  // A decoded photograph takes tens of megabytes. The C library would map each such block
  // afresh and give it back when freed, so every picture would pay again for the system to
  // hand out and clear its pages (a sixth of the work for 12-megapixel JPEGs); kept in the
  // heap, one picture's memory serves the next on the same thread.
  mallopt(M_MMAP_THRESHOLD, 256 << 20);
  mallopt(M_TRIM_THRESHOLD, 512 << 20);
#endif
  const int jobs = o.jobs > 0 ? o.jobs : std::max(1u, std::thread::hardware_concurrency());
  ProgressLine progress;
  uint64_t written = 0;
  std::string error;
  photos::PrepareInOrder(pictures, o.prepare, jobs, [&](std::size_t k, photos::Outcome&& out) {
    const std::string& path = pictures[k];
    if (!out.ok) {
      if (!o.skip_bad) {
        progress.Break();
        error = path + ": " + out.error;
        return false;
      }
      progress.Break();
      std::fprintf(stderr, "quenmora %s: skipping %s: %s\n", CommandName(), path.c_str(),
                   out.error.c_str());
      return true;
    }
    PreparedPicture p;
    p.path = path;
    p.spool_offset = spool.Position();
    try {
      p.file_name = StoredName(path, out.prepared);
      if (out.prepared.kept_as_is) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) written += static_cast<uint64_t>(st.st_size);
      } else {
        spool.WriteBuffer(out.prepared.data.data(), out.prepared.data.size());
        p.spool_size = out.prepared.data.size();
        written += out.prepared.data.size();
        out.prepared.data.clear();
        out.prepared.data.shrink_to_fit();
      }
    } catch (const std::exception& e) {
      error = spool.SystemError() ? "cannot keep the prepared pictures beside the output: " +
                                        std::string(std::strerror(spool.SystemError()))
                                  : path + ": " + e.what();
      return false;
    }
    p.prepared = std::move(out.prepared);
    prepared.push_back(std::move(p));
    kept.push_back(k);
    progress.Show(k + 1, pictures.size(), written);
    return true;
  });
  return error;
}

std::string CheckPictures(const std::vector<std::string>& pictures,
                          const std::vector<std::optional<std::string>>& captions) {
  for (std::size_t k = 0; k < pictures.size(); ++k) {
    struct stat st {};
    if (::stat(pictures[k].c_str(), &st) != 0) return "no such picture: " + pictures[k];
    if (const auto why = CannotRead(pictures[k], "picture")) return *why;
    std::string error;
    if (captions[k] && !ToShortString(*captions[k], "caption", error)) return error;
  }
  return "";
}

std::string PrepareSlides(const std::vector<std::string>& pictures,
                          const std::vector<std::optional<std::string>>& captions,
                          const PictureOptions& o, FileStream& spool,
                          std::vector<PictureSlide>& slides) {
  std::vector<PreparedPicture> prepared;
  std::vector<std::size_t> kept;
  if (std::string e = PreparePictures(pictures, o, spool, prepared, kept); !e.empty()) return e;
  if (prepared.empty() && !pictures.empty()) return "none of the pictures could be read";
  for (const PreparedPicture& p : prepared)
    if (const auto why = CheckPictureSize(p)) return *why;
  for (std::size_t j = 0; j < prepared.size(); ++j) {
    std::string caption, error;
    if (const auto& given = captions[kept[j]])
      caption = *ToShortString(*given, "caption", error);
    else if (o.captions_from_exif)
      caption = FitDescription(prepared[j].prepared.metadata.description, prepared[j].path);
    slides.push_back({std::move(prepared[j]), std::move(caption)});
  }
  return "";
}

std::vector<uint8_t> SlideBytes(const PictureSlide& slide, FileStream& spool) {
  const PreparedPicture& p = slide.picture;
  if (p.prepared.kept_as_is) {
    uint64_t size = 0;
    return photos::ReadPictureFile(p.path, UINT64_MAX, size);
  }
  std::vector<uint8_t> bytes(p.spool_size);
  spool.Seek(p.spool_offset);
  spool.ReadBuffer(bytes.data(), bytes.size());
  return bytes;
}

std::string FitDescription(const std::string& utf8, const std::string& path) {
  std::string bytes;
  bool replaced = false;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    const std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : 4;
    const auto one = Utf8ToCp1252(utf8.substr(i, n));
    if (one && one->size() == 1) {
      bytes += *one;
    } else {
      bytes += '?';
      replaced = true;
    }
    i += n;
  }
  if (replaced)
    std::fprintf(stderr,
                 "quenmora %s: warning: %s: characters of its description that Windows-1252 "
                 "lacks are shown as \"?\"\n",
                 CommandName(), path.c_str());
  if (bytes.size() > kShortStringMaxLength) {
    bytes.resize(kShortStringMaxLength);
    std::fprintf(stderr,
                 "quenmora %s: warning: %s: its description is cut to the 255 bytes a caption "
                 "holds\n",
                 CommandName(), path.c_str());
  }
  return bytes;
}

}  // namespace qm::tool
