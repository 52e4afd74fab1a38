#include "tools/show_options.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "payload/cp1252.h"
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

void ShowOptions::AddTo(OptionTable& table) {
  // Each option given adds its setter, so later options win over earlier ones.
  const auto set = [this](auto parse, auto store) {
    return [this, parse, store](const std::string& text) {
      const auto value = parse(text);
      if (value) setters_.push_back([store, v = *value](GalleryHeader& h) { store(h, v); });
      return value.has_value();
    };
  };
  const auto flag = [this](auto store) { return [this, store] { setters_.push_back(store); }; };
  const auto colour = [&](const char* name, auto store) {
    return Value({name}, set(ParseColor, store),
                 std::string(name) + " needs a colour such as #1E2A44");
  };
  const auto font_style = [&](const char* name, uint8_t bit) {
    return Switch({name}, flag([bit](GalleryHeader& h) { h.font_style |= bit; }));
  };
  table.insert(
      table.end(),
      {
          Value({"--interval"},
                set(ParseInt32, [](GalleryHeader& h, int32_t n) { h.interval = n; }),
                "--interval needs a whole number of seconds"),
          colour("--background", [](GalleryHeader& h, TColor c) { h.background_color = c; }),
          colour("--font-colour", [](GalleryHeader& h, TColor c) { h.font_color = c; }),
          colour("--font-color", [](GalleryHeader& h, TColor c) { h.font_color = c; }),
          Switch({"--loop"}, flag([](GalleryHeader& h) { h.loop = 1; })),
          Value({"--caption-position"},
                set(ParseCaptionPosition,
                    [](GalleryHeader& h, int32_t p) { h.caption_position = p; }),
                "--caption-position needs 0..5 or a name such as bottom-centre"),
          Text({"--font"}, font_utf8_, "--font needs a name"),
          Value({"--font-size"},
                set(ParseInt32, [](GalleryHeader& h, int32_t n) { h.font_size = n; }),
                "--font-size needs a whole number of points"),
          font_style("--bold", kFontBold),
          font_style("--italic", kFontItalic),
          font_style("--underline", kFontUnderline),
          font_style("--strikeout", kFontStrikeOut),
          Value({"--style"},
                set(ParseStyleArgument, [](GalleryHeader& h, int32_t s) { h.style = s; }),
                "unknown style \"{}\" (0..150, a name from 'quenmora styles', or random)"),
          Text({"--captions"}, captions_file_, "--captions needs a file"),
      });
}

std::string ShowOptions::ApplyTo(GalleryHeader& header) const {
  for (const auto& set : setters_) set(header);
  if (font_utf8_) {
    std::string error;
    const auto font = ToShortString(*font_utf8_, "font name", error);
    if (!font) return error;
    header.font_name = *font;
  }
  return "";
}

GalleryHeader DefaultShowHeader() {
  GalleryHeader h;
  h.interval = 5;
  h.caption_position = 3;
  h.font_size = 14;
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

void SplitPictureArguments(const std::vector<std::string>& args, std::vector<std::string>& pictures,
                           std::vector<std::optional<std::string>>& captions) {
  for (const std::string& arg : args) {
    std::string picture;
    std::optional<std::string> caption;
    SplitPictureArgument(arg, picture, caption);
    pictures.push_back(picture);
    captions.push_back(caption);
  }
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
  const auto cannot_read = [&](int cause) {
    return "cannot read the captions file " + file + ": " + std::strerror(cause);
  };
  std::unique_ptr<FILE, int (*)(FILE*)> in(std::fopen(file.c_str(), "rb"), std::fclose);
  if (!in) return cannot_read(errno);
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
  const int read_error = std::ferror(in.get()) ? errno : 0;
  std::free(data);
  if (error.empty() && read_error != 0) error = cannot_read(read_error);
  return error;
}

}  // namespace qm::tool
