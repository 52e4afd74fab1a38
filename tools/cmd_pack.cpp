// `quenmora pack`: makes a presentation from the player and a list of pictures.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "imaging/slide_loader.h"
#include "payload/cp1252.h"
#include "payload/extraction.h"
#include "payload/payload_format.h"
#include "payload/payload_reader.h"
#include "payload/payload_writer.h"
#include "payload/run_files.h"
#include "tools/commands.h"
#include "tools/option_table.h"
#include "tools/pack_pictures.h"
#include "tools/pending_output.h"
#include "tools/player_kind.h"
#include "tools/show_options.h"
#include "tools/style_lookup.h"
#include "tools/tool_files.h"
#include "tools/tool_messages.h"
#include "tools/tool_options.h"

namespace qm::tool {

namespace {

constexpr char kUsage[] =
    "usage: quenmora pack -o SHOW [options] PICTURE[=CAPTION]...\n"
    "\n"
    "Writes SHOW: the player with a gallery of the pictures appended.\n"
    "Captions and the font name are UTF-8 and must fit Windows-1252 (255 bytes at most).\n"
    "\n"
    "options:\n"
    "  -o, --output SHOW          the presentation to write (required); an existing file there\n"
    "                             is replaced only when it is a presentation\n"
    "  --force                    replace SHOW even when it is a file that is not a presentation\n"
    "  --target linux|windows     the system the presentation runs on (default linux);\n"
    "                             for windows, name it SHOW.exe\n"
    "  --player PATH              the player to copy (default: the target's player beside this\n"
    "                             tool, else the one installed with it)\n";

struct PackOptions {
  std::string output;
  std::string player;
  PlayerKind target = PlayerKind::kLinux;
  bool target_given = false;
  ShowOptions show;
  GalleryHeader header;
  std::vector<std::string> pictures;
  std::vector<std::optional<std::string>> captions;
  bool force = false;
  PictureOptions picture_options;
};

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

// The target's player beside this tool (a build tree), else where it is installed with it.
std::string DefaultPlayer(PlayerKind target) {
  const std::string self = OwnExecutablePath();
  const auto slash = self.find_last_of('/');
  const std::string dir = slash == std::string::npos ? std::string(".") : self.substr(0, slash);
  const std::string name = PlayerFileName(target);
  const std::string beside = dir + "/" + name;
  if (access(beside.c_str(), F_OK) == 0) return beside;
  return dir + "/" QUENMORA_PLAYER_FROM_TOOL "/" + name;
}

// Parses the command line into `o`: true with `help` set for --help; otherwise returns an error
// text or "".
std::string ParseArguments(const Args& args, PackOptions& o, bool& help) {
  OptionTable options = {
      Text({"-o", "--output"}, o.output, "-o needs a file name"),
      Text({"--player"}, o.player, "--player needs a path"),
      Value(
          {"--target"},
          [&o](const std::string& value) {
            if (value != "linux" && value != "windows") return false;
            o.target = value == "windows" ? PlayerKind::kWindows : PlayerKind::kLinux;
            o.target_given = true;
            return true;
          },
          "--target needs linux or windows"),
      Switch({"--force"}, o.force),
  };
  o.show.AddTo(options);
  AddPictureOptions(options, o.picture_options);
  const ParsedLine line = ParseCommandLine(args, options);
  help = line.help;
  if (help) return "";
  if (!line.error.empty()) return line.error;
  SplitPictureArguments(line.operands, o.pictures, o.captions);
  if (o.output.empty()) return "no output file given (-o SHOW)";
  o.header = DefaultShowHeader();
  return o.show.ApplyTo(o.header);
}

// Whether `path` ends in a payload trailer that points at a zlib stream: a presentation, even
// a damaged one, as opposed to a photo or a document that a mistyped -o would destroy.
bool IsPresentation(const std::string& path) {
  try {
    FileStream file(path, FileStream::Mode::kOpenRead);
    const uint32_t start = ReadPayloadStart(file, file.Size());
    uint8_t zlib[2];
    file.Seek(start);
    file.ReadBuffer(zlib, sizeof zlib);
    return (zlib[0] & 0x0F) == 8 && ((zlib[0] << 8) | zlib[1]) % 31 == 0;
  } catch (const std::exception&) {
    return false;
  }
}

class TerminalProgress {
 public:
  void operator()(uint64_t done, uint64_t total) {
    if (!enabled_ || total < (16u << 20)) return;
    std::fprintf(stderr, "\rpacking: %3d%% (%llu of %llu MB)", static_cast<int>(done * 100 / total),
                 static_cast<unsigned long long>(done >> 20),
                 static_cast<unsigned long long>(total >> 20));
    if (done == total) std::fprintf(stderr, "\n");
  }

 private:
  bool enabled_ = ::isatty(2) != 0;
};

}  // namespace

int RunPack(const Args& args) {
  PackOptions o;
  bool help = false;
  const std::string error = ParseArguments(args, o, help);
  if (help) {
    std::fputs(kUsage, stdout);
    std::fputs(kShowOptionsHelp, stdout);
    std::fputs(kPictureOptionsUsage, stdout);
    return 0;
  }
  if (!error.empty()) return UsageError(error);
  if (std::string e = ExpandFolders(o.pictures, o.captions, o.picture_options.recursive);
      !e.empty())
    return Fail(e);
  // Each slide takes one of the player's temporary names, so the player refuses a show with more.
  if (o.pictures.size() > static_cast<std::size_t>(kMaxSlidesForTempNames))
    return Fail(std::to_string(o.pictures.size()) +
                " pictures given; a presentation holds at most " +
                std::to_string(kMaxSlidesForTempNames) + " slides");
  if (o.player.empty()) o.player = DefaultPlayer(o.target);

  // The presentation replaces whatever the output names, which must never be a special file or
  // a file the pack reads: the same file by identity, whichever name or link leads to it. A
  // file there that is not a presentation is kept unless the user says otherwise.
  std::vector<Input> inputs = PictureInputs(o.pictures);
  inputs.push_back({o.player, "the player " + o.player});
  if (!o.show.CaptionsFile().empty())
    inputs.push_back({o.show.CaptionsFile(), "the captions file " + o.show.CaptionsFile()});
  if (const auto why = CheckOutput(o.output, inputs)) return Fail(*why);
  if (!o.force && Exists(o.output) && !IsPresentation(o.output))
    return Fail(o.output + " exists and is not a presentation; it is kept (--force replaces it)");

  if (std::string e = ApplyCaptionsFile(o.show.CaptionsFile(), o.captions); !e.empty())
    return Fail(e);
  if (o.picture_options.shuffle) ShufflePictures(o.pictures, o.captions);
  if (!Exists(o.player)) return Fail("player not found: " + o.player + " (use --player PATH)");
  if (const auto why = CannotRead(o.player, "player")) return Fail(*why);
  // A player for another system would make a presentation that never starts.
  if (const PlayerKind kind = ReadPlayerKind(o.player); o.target_given && kind != o.target)
    return Fail("the player " + o.player + " is a program for " + PlayerKindName(kind) +
                ", not for " + PlayerKindName(o.target));
  const auto name_of = [](const std::string& base,
                          std::string& error) -> std::optional<std::string> {
    auto name = ToShortString(base, "file name", error);
    if (!name) return std::nullopt;
    if (const std::size_t bytes = Cp1252ToUtf8(*name).size(); bytes > kMaxExtractedNameBytes) {
      error = "file name \"" + base + "\" is " + std::to_string(bytes) +
              " bytes long; the player can extract names of at most " +
              std::to_string(kMaxExtractedNameBytes) + " bytes (rename the picture)";
      return std::nullopt;
    }
    return name;
  };
  if (std::string e = CheckPictures(o.pictures, o.captions); !e.empty()) return Fail(e);
  for (const std::string& path : o.pictures) {
    const auto slash = path.find_last_of('/');
    std::string error;
    if (!name_of(slash == std::string::npos ? path : path.substr(slash + 1), error))
      return Fail(error);
  }

  // Write beside the target and rename, so a failure never leaves half a presentation. Every
  // picture is prepared before the presentation is written (the slide count comes first, and
  // bad pictures may be left out), the changed ones kept in a nameless file beside the output.
  std::optional<PendingOutput> out;
  std::vector<PackSlide> slides;
  std::size_t changed = 0;
  try {
    out.emplace(o.output, inputs);
    const std::unique_ptr<FileStream> spool = OpenSpool(o.output);
    std::vector<PictureSlide> prepared;
    if (std::string e = PrepareSlides(o.pictures, o.captions, o.picture_options, *spool, prepared);
        !e.empty())
      return Fail(e);
    for (const PictureSlide& s : prepared) {
      const PreparedPicture& p = s.picture;
      std::string error;
      auto name = name_of(p.file_name, error);
      if (!name) return Fail(error);
      PackSlide slide{p.path, *name, s.caption};
      if (!p.prepared.kept_as_is) {
        slide.spool = spool.get();
        slide.spool_offset = p.spool_offset;
        slide.spool_size = p.spool_size;
        ++changed;
      }
      slides.push_back(std::move(slide));
    }
    TerminalProgress progress;
    WritePresentation(o.player, o.header, slides, out->Stream(),
                      [&](uint64_t d, uint64_t t) { progress(d, t); });
    const mode_t mask = ::umask(0);
    ::umask(mask);
    out->Commit(0777 & ~mask);
  } catch (const std::exception& e) {
    return Fail(out ? out->WriteError(e) : Describe(e));
  }
  std::printf("%s: %zu slide%s", o.output.c_str(), slides.size(), slides.size() == 1 ? "" : "s");
  if (changed > 0) std::printf(", %zu turned, scaled or converted", changed);
  if (slides.size() < o.pictures.size())
    std::printf(", %zu picture%s left out", o.pictures.size() - slides.size(),
                o.pictures.size() - slides.size() == 1 ? "" : "s");
  std::printf("\n");
  return 0;
}

}  // namespace qm::tool
