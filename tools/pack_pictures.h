// The pictures of a show made from pictures (`quenmora pack`, and `quenmora video` without a
// presentation): folders expanded into their pictures, every picture prepared (turned upright,
// fitted to the screen, converted to a format the player shows) on several threads, the
// prepared bytes kept in a nameless file until they are used, and each slide's caption chosen.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "payload/file_stream.h"
#include "photos/prepare.h"
#include "tools/option_table.h"

namespace qm::tool {

struct PictureOptions {
  bool recursive = false;
  bool captions_from_exif = false;
  bool skip_bad = false;
  bool shuffle = false;
  int jobs = 0;  // 0: one per processor
  photos::PrepareOptions prepare;
};

// The usage lines of the options below.
extern const char kPictureOptionsUsage[];

// Adds the picture options to a command's table, to be kept in `o`.
void AddPictureOptions(OptionTable& table, PictureOptions& o);

// Replaces every folder among `pictures` by the pictures in it, in natural name order (its
// caption, if any, is dropped); files that are not pictures are reported on standard error,
// one line each. Returns an error text or "".
std::string ExpandFolders(std::vector<std::string>& pictures,
                          std::vector<std::optional<std::string>>& captions, bool recursive);

// Puts the pictures, each with its caption, in a random order.
void ShufflePictures(std::vector<std::string>& pictures,
                     std::vector<std::optional<std::string>>& captions);

struct PreparedPicture {
  std::string path;       // as given or found
  std::string file_name;  // the name to store (UTF-8), its extension matching the data
  photos::Prepared prepared;
  uint64_t spool_offset = 0;  // where its bytes are in the spool, unless kept as is
  uint64_t spool_size = 0;
};

// The file that holds prepared pictures until the presentation is written: created without a
// name in the folder of `output` (or named and unlinked at once where the file system cannot),
// so nothing of it outlives the process however the process ends.
std::unique_ptr<FileStream> OpenSpool(const std::string& output);

// Prepares the pictures in order on o.jobs threads, appending the bytes of those that change
// to `spool`, with a progress line on a terminal. A picture that cannot be prepared ends it
// with an error naming the file and the reason, or with --skip-bad is left out with a warning.
// Returns an error text or "".
std::string PreparePictures(const std::vector<std::string>& pictures, const PictureOptions& o,
                            FileStream& spool, std::vector<PreparedPicture>& prepared,
                            std::vector<std::size_t>& kept);

// Before any work: every picture exists and can be read, and every caption given fits a short
// string. Returns an error text or "".
std::string CheckPictures(const std::vector<std::string>& pictures,
                          const std::vector<std::optional<std::string>>& captions);

struct PictureSlide {
  PreparedPicture picture;
  std::string caption;  // Windows-1252
};

// The slides of the pictures (with `captions` as given, one per picture): each prepared into
// `spool` (PreparePictures) and captioned with its own caption, else with --captions-from exif
// its description. A picture the player could never decode is refused; one past 8192 pixels a
// side is reported. Returns an error text or "".
std::string PrepareSlides(const std::vector<std::string>& pictures,
                          const std::vector<std::optional<std::string>>& captions,
                          const PictureOptions& o, FileStream& spool,
                          std::vector<PictureSlide>& slides);

// The bytes the player reads for `slide`: its file's, or its prepared ones from `spool`.
std::vector<uint8_t> SlideBytes(const PictureSlide& slide, FileStream& spool);

// A caption from a picture's own description, fitted to what a short string holds: characters
// Windows-1252 lacks become "?", and the text is cut to 255 bytes, each with a warning.
std::string FitDescription(const std::string& utf8, const std::string& path);

}  // namespace qm::tool
