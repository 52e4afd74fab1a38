// `quenmora show`: plays pictures straight from their files, a folder or a presentation, in the
// player's own window and with its sequencer, transitions and caption strip, without packing.
// Unlike the presentation it fits each picture into the visible picture area (turned upright by
// its EXIF orientation, as `pack --fit` prepares it) and takes keys to move through the show.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "payload/extraction.h"
#include "payload/payload_errors.h"
#include "payload/payload_reader.h"
#include "payload/run_files.h"
#include "photos/decoders.h"
#include "photos/picture_files.h"
#include "photos/prepare.h"
#include "player/frm_main.h"
#include "player/player_window.h"
#include "tools/commands.h"
#include "tools/option_table.h"
#include "tools/pack_pictures.h"
#include "tools/show_options.h"
#include "tools/tool_files.h"
#include "tools/tool_messages.h"

namespace qm::tool {

namespace {

constexpr char kUsage[] =
    "usage: quenmora show [options] PICTURE[=CAPTION]...|FOLDER...|SHOW\n"
    "\n"
    "Plays the pictures, or the slides of the presentation SHOW, full screen in the player's\n"
    "window, each brought in by its transition, without making a presentation. Every picture is\n"
    "turned upright and scaled down to fit the part of the screen beside the caption strip.\n"
    "Keys: Space pauses and resumes; Right or Page Down shows the next picture, Left or Page Up\n"
    "the previous one, Home the first; Escape ends the show. Past the last picture the show\n"
    "ends, unless it loops. A picture that cannot be read is skipped with a message.\n"
    "\n"
    "options (with SHOW they replace the presentation's own settings):\n"
    "  --recursive                take the pictures of subfolders too\n"
    "  --shuffle                  play the pictures in a random order\n";

struct ShowCommandOptions {
  ShowOptions show;
  PictureOptions pictures;
  std::vector<std::string> inputs;
  std::vector<std::optional<std::string>> captions;
};

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A single file that is not a picture by its first bytes is taken for a presentation.
bool IsPresentationArgument(const std::vector<std::string>& inputs) {
  if (inputs.size() != 1 || !IsRegularFile(inputs[0])) return false;
  try {
    uint64_t size = 0;
    const std::vector<uint8_t> head = photos::ReadPictureFile(inputs[0], 64, size);
    return photos::SniffFormat(head) == photos::Format::kUnknown;
  } catch (const std::exception&) {
    return false;
  }
}

// Parses the command line into `o`: with `help` set for --help; otherwise returns an error text
// or "".
std::string ParseArguments(const Args& args, ShowCommandOptions& o, bool& help) {
  OptionTable options = {Switch({"--recursive"}, o.pictures.recursive),
                         Switch({"--shuffle"}, o.pictures.shuffle)};
  o.show.AddTo(options);
  const ParsedLine line = ParseCommandLine(args, options);
  help = line.help;
  if (help) return "";
  if (!line.error.empty()) return line.error;
  for (const std::string& a : line.operands) {
    std::string picture;
    std::optional<std::string> caption;
    SplitPictureArgument(a, picture, caption);
    o.inputs.push_back(picture);
    o.captions.push_back(caption);
  }
  if (o.inputs.empty()) return "give pictures, folders or a presentation";
  return "";
}

// The player's window and sequencer with the show's own picture decoding, keys and handling of
// pictures that cannot be shown.
class ShowWindow final : public TfrmMain {
 public:
  using TfrmMain::TfrmMain;

  // Below a top strip the picture area ends at the screen's bottom edge (the presentation's
  // reaches past it), so that a fitted picture shows whole.
  void LayoutPictureAreaAgainstStrip(int32_t p) override {
    TfrmMain::LayoutPictureAreaAgainstStrip(p);
    if (p == 0 || p == 2 || p == 4)
      SetClientSize(ClientWidth(), std::max(1, Window().Height() - pic_show_bounds.Top));
  }

  // Whether the show ended because none of its pictures could be shown.
  bool NothingShown() const { return nothing_shown_; }

 protected:
  std::optional<TBitmap> LoadSlide(const recImgItems& slide) override {
    uint64_t size = 0;
    const std::vector<uint8_t> file = photos::ReadPictureFile(slide.path, UINT64_MAX, size);
    photos::PrepareOptions options;
    options.fit = photos::Size{ClientWidth(), ClientHeight()};
    options.background = Color;
    photos::UprightPicture picture = photos::DecodeUpright(file, options);
    failures_ = 0;
    step_ = 1;
    return std::move(picture.pixels);
  }

  void FormKeyDown(WindowEvent key) override {
    const int32_t current = CurrentSlide();
    switch (key) {
      case WindowEvent::kSpace:
        SetPaused(!Paused());
        break;
      case WindowEvent::kNext:
        GoToSlide(current + 1);
        break;
      case WindowEvent::kPrevious:
        if (HasBefore(current)) {
          step_ = -1;
          GoToSlide(Before(current));
        }
        break;
      case WindowEvent::kHome:
        GoToSlide(0);
        break;
      default:
        break;
    }
  }

  // A picture that cannot be shown is reported and skipped, in the direction the show was going;
  // when every picture of the show has failed in a row, the show ends.
  void SlideFailed(const std::exception& e) override {
    const auto count = static_cast<int32_t>(State().slides.size());
    const std::string& path = State().slides[static_cast<std::size_t>(CurrentSlide())].path;
    std::fprintf(stderr, "quenmora show: skipping %s: %s\n", path.c_str(), Describe(e).c_str());
    if (++failures_ >= count) {
      nothing_shown_ = true;
      std::fprintf(stderr, "quenmora show: none of the pictures could be shown\n");
      Close();
      return;
    }
    if (step_ < 0 && HasBefore(CurrentSlide())) {
      GoToSlide(Before(CurrentSlide()));
    } else {
      step_ = 1;
      GoToSlide(CurrentSlide() + 1);
    }
  }

 private:
  // Before the first picture comes the last one only in a show that loops.
  bool HasBefore(int32_t slide) const { return slide > 0 || State().loop_flag != 0; }
  int32_t Before(int32_t slide) const {
    return slide > 0 ? slide - 1 : static_cast<int32_t>(State().slides.size()) - 1;
  }

  int32_t step_ = 1;  // the way the show goes: back after Left, else forward
  int32_t failures_ = 0;
  bool nothing_shown_ = false;
};

// The pictures named on the command line, folders expanded, with their captions.
std::string PictureSlides(ShowCommandOptions& o, std::vector<recImgItems>& slides) {
  if (std::string e = ExpandFolders(o.inputs, o.captions, o.pictures.recursive); !e.empty())
    return e;
  if (std::string e = ApplyCaptionsFile(o.show.CaptionsFile(), o.captions); !e.empty()) return e;
  for (std::size_t k = 0; k < o.inputs.size(); ++k) {
    const std::string& path = o.inputs[k];
    if (!IsRegularFile(path)) return "no such picture: " + path;
    if (const auto why = CannotRead(path, "picture")) return *why;
    std::string error;
    const auto caption = ToShortString(o.captions[k].value_or(""), "caption", error);
    if (!caption) return error;
    slides.push_back({path, *caption});
  }
  return "";
}

// The header of a presentation, its whole payload checked.
std::string PresentationHeader(const ShowCommandOptions& o, GalleryHeader& header) {
  const std::string& path = o.inputs[0];
  if (!o.show.CaptionsFile().empty())
    return "--captions gives captions to pictures; " + path + " has its own";
  if (o.captions[0]) return path + " is a presentation: its slides have their own captions";
  if (const auto why = CannotRead(path, "presentation")) return *why;
  bool no_payload = false;
  try {
    header = ReadPayloadSummary(path, &no_payload).header;
  } catch (const EPayloadDamaged& e) {
    return path + (no_payload ? ": neither a picture nor a presentation"
                              : ": damaged gallery payload (" + std::string(e.what()) + ")");
  } catch (const std::exception& e) {
    return path + ": " + Describe(e);
  }
  return "";
}

}  // namespace

int RunShow(const Args& args) {
  ShowCommandOptions o;
  bool help = false;
  const std::string error = ParseArguments(args, o, help);
  if (help) {
    std::fputs(kUsage, stdout);
    std::fputs(kShowOptionsHelp, stdout);
    return 0;
  }
  if (!error.empty()) return UsageError(error);

  // First of all, as in the player: the slides extracted from a presentation are removed
  // however the show ends, and the signals that end it are held back on every thread until
  // the main thread takes them up.
  const RunFilesCleanup run_files;
  const bool presentation = IsPresentationArgument(o.inputs);
  GalleryHeader header = DefaultShowHeader();
  std::vector<recImgItems> slides;
  if (std::string e = presentation ? PresentationHeader(o, header) : PictureSlides(o, slides);
      !e.empty()) {
    AcceptShowEndSignals();
    return Fail(e);
  }
  if (std::string e = o.show.ApplyTo(header); !e.empty()) {
    AcceptShowEndSignals();
    return Fail(e);
  }

  std::string reason;
  bool no_display = false;
  const std::unique_ptr<PlayerWindow> window = OpenPlayerWindow(&reason, &no_display);
  if (!window) {
    AcceptShowEndSignals();
    return Fail(no_display ? "no display to show the pictures on (is DISPLAY set?)"
                           : "the display cannot show the pictures: " + reason);
  }
  if (presentation) {
    PlayerState state;
    DiscardingSettingsSink discard;
    if (!RunStartupExtraction(o.inputs[0], state, discard, &reason))
      return Fail(o.inputs[0] + ": " + reason);
    slides = std::move(state.slides);
  } else {
    AcceptShowEndSignals();
  }
  if (slides.empty()) return Fail("the show has no pictures");
  if (o.pictures.shuffle)
    std::shuffle(slides.begin(), slides.end(), std::mt19937(std::random_device{}()));

  ShowWindow frm(*window);
  frm.FormCreate(header, std::move(slides));
  frm.Show();
  frm.Timer1TimerFromTimer();
  frm.Run();
  return frm.DisplayLost() || frm.NothingShown() ? 1 : 0;
}

}  // namespace qm::tool
