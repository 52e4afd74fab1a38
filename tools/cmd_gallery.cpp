// `quenmora gallery`: a folder that shows every transition style as it plays, for choosing one:
// an animated preview per style (styles/NNN.png), a contact sheet of all styles half-way through
// (sheet.png) and a page that shows them grouped by family, with a search box (index.html). This
// file reads the command line and runs the steps; the pictures, the sheet, the page, the worker
// processes and the folder each have a file of their own (gallery_*).
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "imaging/png_writer.h"
#include "picshow/style_catalogue.h"
#include "tools/commands.h"
#include "tools/gallery_folder.h"
#include "tools/gallery_page.h"
#include "tools/gallery_pictures.h"
#include "tools/gallery_sheet.h"
#include "tools/gallery_workers.h"
#include "tools/option_table.h"
#include "tools/pending_output.h"
#include "tools/tool_messages.h"
#include "tools/tool_options.h"
#include "tools/transition_animation.h"

namespace qm::tool {

namespace {

namespace fs = std::filesystem;

constexpr const char kUsage[] =
    "usage: quenmora gallery -o DIR [--size WxH] [--step S] [--delay MS] [--jobs N] [OLD NEW]\n"
    "Makes folder DIR with a page that shows every transition style as it plays, for choosing\n"
    "one: open DIR/index.html in a browser (it works from disk and fetches nothing).\n"
    "  DIR/index.html      the styles grouped by family, with a search box; click one to see it\n"
    "                      large with its 'quenmora pack --style' option\n"
    "  DIR/styles/NNN.png  style NNN as an animated PNG, looping\n"
    "  DIR/sheet.png       all styles half-way through (progress 50), labelled, on one sheet\n"
    "The previews go from OLD to NEW (two pictures of equal size, scaled and cut to the preview\n"
    "size), or between two pictures the tool paints. DIR must be new, empty or an earlier\n"
    "gallery, which is replaced only when it holds nothing but the files that run made (listed\n"
    "in DIR/.quenmora-gallery); on an error or an interruption nothing is left behind.\n"
    "  --size WxH     size of the previews (default 320x180)\n"
    "  --step S       progress per frame in percent, 1..100 (default 4, as in the player)\n"
    "  --delay MS     milliseconds per frame, 0..65535 (default 50, the player's)\n"
    "  --jobs N       styles rendered at once (default: one per processor; fewer when the\n"
    "                 memory would not hold them)\n";

struct Options {
  std::string out;
  int width = 320, height = 180;
  int step = 4;
  uint16_t delay_ms = kDefaultFrameDelayMs;
  int jobs = 0;
  std::vector<std::string> pictures;
};

int MakeGallery(const Options& o, const InterruptWatch& watch) {
  const auto start = std::chrono::steady_clock::now();
  fs::path dir = fs::path(o.out).lexically_normal();
  if (dir.filename().empty()) dir = dir.parent_path();
  std::string last = o.out;
  while (last.size() > 1 && last.back() == '/') last.pop_back();
  last.erase(0, last.find_last_of('/') + 1);
  // "." and ".." (by any path) cannot be renamed over, and would take the user's files along.
  if (last == "." || last == ".." || dir.filename().empty() || dir.filename() == "." ||
      dir.filename() == "..")
    return Fail("the gallery needs a folder of its own, not " + o.out +
                " (give a new name such as " + (fs::path(o.out) / "gallery").string() + ")");
  if (dir.parent_path().empty()) dir = fs::path(".") / dir;
  if (const auto why = CheckDestination(dir)) return Fail(*why);

  // The folder is built beside its place, which also shows before any work that the place
  // takes new files.
  const auto built = MakeSiblingFolder(dir, ".partial-XXXXXX");
  if (!built)
    return Fail("cannot create the gallery in " + dir.parent_path().string() + ": " +
                std::strerror(errno));
  struct RemoveUnlessPublished {
    fs::path path;
    bool ours = true;  // the path names the gallery being built
    ~RemoveUnlessPublished() {
      std::error_code ec;
      if (ours) fs::remove_all(path, ec);
    }
  } cleanup{*built};

  TBitmap old_picture, new_picture;
  if (o.pictures.empty()) {
    old_picture = PaintEvening(o.width, o.height);
    new_picture = PaintDay(o.width, o.height);
  } else {
    const TBitmap a = LoadTransitionPicture(o.pictures[0]);
    const TBitmap b = LoadTransitionPicture(o.pictures[1]);
    CheckSameSize(a, b);
    old_picture = Fit(a, o.width, o.height);
    new_picture = Fit(b, o.width, o.height);
  }
  watch.Check();

  const SheetLayout layout = LayoutSheet(o.width, o.height);
  const SharedWorkMemory shared_memory(layout);
  SharedWork* shared = shared_memory.Get();

  fs::create_directory(*built / "styles");
  RenderSettings settings;
  settings.step = o.step;
  const int jobs = WorkerCount(o.jobs, o.width, o.height);
  RenderInWorkers(Work{&old_picture, &new_picture, settings, o.delay_ms,
                       (*built / "styles").string(), layout, shared, -1},
                  jobs, watch);

  WritePng24(AssembleSheet(layout, shared->Tiles(), o.step), (*built / "sheet.png").string());
  WriteText(BuildPage(o.width, o.height, o.step), *built / "index.html");
  WriteManifest(*built);
  watch.Check();
  Publish(*built, dir, cleanup.ours);
  cleanup.ours = false;

  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%s: %d styles at %dx%d, %s, in %.1f s (%d at once); open %s\n", dir.string().c_str(),
              kMaxStyle, o.width, o.height, Megabytes(dir).c_str(), seconds, jobs,
              (dir / "index.html").string().c_str());
  return 0;
}

}  // namespace

int RunGallery(const Args& args) {
  Options o;
  const OptionTable options = {
      Text({"-o"}, o.out, ""),
      Value(
          {"--size"},
          [&](const std::string& value) {
            const auto size = ParseSize(value);
            if (!size || size->first < 8 || size->second < 8 || size->first > 3840 ||
                size->second > 2160)
              return false;
            std::tie(o.width, o.height) = *size;
            return true;
          },
          "--size takes WxH from 8x8 to 3840x2160, not {}"),
      StepOption(o.step),
      DelayOption(o.delay_ms),
      Number({"--jobs"}, 1, 1024, o.jobs, "--jobs takes 1..1024, not {}"),
  };
  const ParsedLine line = ParseCommandLine(args, options);
  if (line.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!line.error.empty()) return UsageError(line.error);
  o.pictures = line.operands;
  if (o.out.empty()) return UsageError("-o DIR is required");
  if (!o.pictures.empty() && o.pictures.size() != 2)
    return UsageError("give two pictures, OLD and NEW, or none");
  try {
    // An interruption undoes the work as a failure does; the watch then ends the process by
    // the signal.
    const InterruptWatch watch;
    try {
      return MakeGallery(o, watch);
    } catch (const Interrupted&) {
      return Fail("interrupted; no gallery was written");
    }
  } catch (const fs::filesystem_error& e) {
    return Fail(e.path1().string() + ": " + e.code().message());
  } catch (const std::exception& e) {
    return Fail(Describe(e));
  }
}

}  // namespace qm::tool
