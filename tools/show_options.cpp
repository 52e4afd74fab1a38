#include "tools/show_options.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "player/cp1252.h"
#include "tools/style_lookup.h"
#include "tools/tool_files.h"
#include "tools/tool_options.h"

namespace qm::tool {

namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

const char kShowOptionsHelp[] =
    "  --interval SECONDS         time from the end of one transition to the next slide\n"
    "                             (default 5; 0 stays on the first slide)\n"
    "  --background COLOUR        window colour, #RRGGBB or the stored 0x00BBGGRR (default "
    "#000000)\n"
    "  --loop                     start again after the last slide (default: end the show)\n"
    "  --caption-position POS     0..5 or top-left, bottom-left, top-centre, bottom-centre,\n"
    "                             top-right, bottom-right; none for no caption (default 3)\n"
    "  --font NAME                caption typeface (default: the player's default face)\n"
    "  --font-colour COLOUR       caption text colour (default #000000; #FFFFFF gives a black "
    "strip)\n"
    "  --font-size POINTS         caption text size (default 14)\n"
    "  --bold, --italic, --underline, --strikeout   caption font style\n"
    "  --style STYLE              transition style: 0..150, a style name, or random (default)\n"
    "  --captions FILE            one caption per line, for the pictures in order; a caption\n"
    "                             given as PICTURE=CAPTION takes precedence\n";

bool ShowOptions::Take(const Args& args, std::size_t& i, std::string& error) {
  const std::string& a = args[i];
  std::string v;
  const auto value = [&] {
    if (i + 1 >= args.size()) return false;
    v = args[++i];
    return true;
  };
  const auto set = [&](auto setter) { setters_.push_back(setter); };
  if (a == "--interval") {
    const auto n = value() ? ParseInt32(v) : std::nullopt;
    if (!n)
      error = "--interval needs a whole number of seconds";
    else
      set([n = *n](GalleryHeader& h) { h.interval = n; });
  } else if (a == "--background" || a == "--font-colour" || a == "--font-color") {
    const auto c = value() ? ParseColor(v) : std::nullopt;
    if (!c)
      error = a + " needs a colour such as #1E2A44";
    else if (a == "--background")
      set([c = *c](GalleryHeader& h) { h.backgroundColor = c; });
    else
      set([c = *c](GalleryHeader& h) { h.fontColor = c; });
  } else if (a == "--loop") {
    set([](GalleryHeader& h) { h.loop = 1; });
  } else if (a == "--caption-position") {
    const auto p = value() ? ParseCaptionPosition(v) : std::nullopt;
    if (!p)
      error = "--caption-position needs 0..5 or a name such as bottom-centre";
    else
      set([p = *p](GalleryHeader& h) { h.captionPosition = p; });
  } else if (a == "--font") {
    if (!value())
      error = "--font needs a name";
    else
      font_utf8_ = v;
  } else if (a == "--font-size") {
    const auto n = value() ? ParseInt32(v) : std::nullopt;
    if (!n)
      error = "--font-size needs a whole number of points";
    else
      set([n = *n](GalleryHeader& h) { h.fontSize = n; });
  } else if (a == "--bold" || a == "--italic" || a == "--underline" || a == "--strikeout") {
    const uint8_t bit = a == "--bold"        ? kFontBold
                        : a == "--italic"    ? kFontItalic
                        : a == "--underline" ? kFontUnderline
                                             : kFontStrikeOut;
    set([bit](GalleryHeader& h) { h.fontStyle |= bit; });
  } else if (a == "--style") {
    const auto s = value() ? ParseStyleArgument(v) : std::nullopt;
    if (!s)
      error = "unknown style \"" + v + "\" (0..150, a name from 'quenmora styles', or random)";
    else
      set([s = *s](GalleryHeader& h) { h.style = s; });
  } else if (a == "--captions") {
    if (!value())
      error = "--captions needs a file";
    else
      captions_file_ = v;
  } else {
    return false;
  }
  return true;
}

std::string ShowOptions::ApplyTo(GalleryHeader& header) const {
  for (const auto& set : setters_) set(header);
  if (font_utf8_) {
    std::string error;
    const auto font = ToShortString(*font_utf8_, "font name", error);
    if (!font) return error;
    header.fontName = *font;
  }
  return "";
}

GalleryHeader DefaultShowHeader() {
  GalleryHeader h;
  h.interval = 5;
  h.captionPosition = 3;
  h.fontSize = 14;
  h.style = kRandomStyleMarker;
  return h;
}

void SplitPictureArgument(const std::string& arg, std::string& picture,
                          std::optional<std::string>& caption) {
  picture = arg;
  caption.reset();
  if (Exists(arg)) return;
  std::size_t first = std::string::npos;
  for (std::size_t at = arg.find('='); at != std::string::npos; at = arg.find('=', at + 1)) {
    if (first == std::string::npos) first = at;
    if (Exists(arg.substr(0, at))) {
      first = at;
      break;
    }
  }
  if (first == std::string::npos) return;
  picture = arg.substr(0, first);
  caption = arg.substr(first + 1);
}

std::optional<std::string> ToShortString(const std::string& utf8, const std::string& what,
                                         std::string& error) {
  std::string bad;
  auto bytes = Utf8ToCp1252(utf8, &bad);
  if (!bytes) {
    error = what + " \"" + utf8 + "\" holds " + bad + ", which Windows-1252 cannot represent";
    return std::nullopt;
  }
  if (bytes->size() > kShortStringMaxLength) {
    error = what + " \"" + utf8 + "\" is " + std::to_string(bytes->size()) +
            " bytes in Windows-1252; at most 255 fit";
    return std::nullopt;
  }
  return bytes;
}

std::string ApplyCaptionsFile(const std::string& file,
                              std::vector<std::optional<std::string>>& captions) {
  if (file.empty()) return "";
  if (const auto why = NotARegularFile(file, "captions file")) return *why;
  const auto cannotRead = [&](int cause) {
    return "cannot read the captions file " + file + ": " + std::strerror(cause);
  };
  std::unique_ptr<FILE, int (*)(FILE*)> in(std::fopen(file.c_str(), "rb"), std::fclose);
  if (!in) return cannotRead(errno);
  std::string error;
  char* data = nullptr;
  std::size_t capacity = 0;
  std::size_t k = 0;
  for (ssize_t n; error.empty() && (n = ::getline(&data, &capacity, in.get())) >= 0;) {
    std::string line(data, static_cast<std::size_t>(n));
    if (!line.empty() && line.back() == '\n') line.pop_back();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (k >= captions.size()) {
      if (!line.empty()) error = "the captions file has more captions than there are pictures";
      continue;
    }
    if (!captions[k]) captions[k] = line;
    ++k;
  }
  const int readError = std::ferror(in.get()) ? errno : 0;
  std::free(data);
  if (error.empty() && readError != 0) error = cannotRead(readError);
  return error;
}

}  // namespace qm::tool
