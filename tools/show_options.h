// The settings of a show as options on the command line (interval, colours, loop, caption
// strip, font, transition style, captions file) and its pictures with their captions, for the
// commands that make a show from pictures.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "payload/payload_format.h"
#include "tools/option_table.h"

namespace qm::tool {

// The help lines of the options ShowOptions takes.
extern const char kShowOptionsHelp[];

class ShowOptions {
 public:
  // Adds the show's options to a command's table. The rows refer to this object, which must
  // outlive the parsing.
  void AddTo(OptionTable& table);
  // Sets the header fields that options were given for, in the order given. Returns an error
  // text (a font name Windows-1252 cannot hold) or "".
  std::string ApplyTo(GalleryHeader& header) const;
  // The captions file (--captions), empty when none was given.
  const std::string& CaptionsFile() const { return captions_file_; }

 private:
  std::vector<std::function<void(GalleryHeader&)>> setters_;
  std::optional<std::string> font_utf8_;
  std::string captions_file_;
};

// The header `pack` starts from: interval 5, bottom-centre captions at 14 points, random styles.
GalleryHeader DefaultShowHeader();

// Splits PICTURE[=CAPTION]: an argument that names a file is a picture without caption;
// otherwise it splits at the first "=" whose left side names a file (or the first "=").
void SplitPictureArgument(const std::string& arg, std::string& picture,
                          std::optional<std::string>& caption);

// SplitPictureArgument for each of `args`, appended to `pictures` and `captions`.
void SplitPictureArguments(const std::vector<std::string>& args, std::vector<std::string>& pictures,
                           std::vector<std::optional<std::string>>& captions);

// Converts UTF-8 text to the Windows-1252 bytes a short string holds; otherwise sets `error`
// (naming the text as `what`) and returns nothing.
std::optional<std::string> ToShortString(const std::string& utf8, const std::string& what,
                                         std::string& error);

// Fills the captions not given on the command line from `file`, one line per picture in order,
// read to its end. Returns an error text or "".
std::string ApplyCaptionsFile(const std::string& file,
                              std::vector<std::optional<std::string>>& captions);

}  // namespace qm::tool
