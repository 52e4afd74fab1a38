// `quenmora gallery`: a folder that shows every transition style as it plays, for choosing one:
// an animated preview per style (styles/NNN.png), a contact sheet of all styles half-way through
// (sheet.png) and a page that shows them grouped by family, with a search box (index.html). The
// page is self-contained: a browser opens it from disk and fetches nothing.
//
// The styles are rendered in worker processes, not threads: some styles draw from the program's
// one random generator, whose sequence must run on undisturbed within each transition.
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "imaging/png_writer.h"
#include "picshow/render.h"
#include "picshow/style_catalogue.h"
#include "platform/stretch.h"
#include "tools/commands.h"
#include "tools/pending_output.h"
#include "tools/sheet_text.h"
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

// Names the program that made the page.
constexpr const char kGeneratorMark[] = "<meta name=\"generator\" content=\"quenmora gallery\">";

constexpr int kSheetColumns = 10;
constexpr int kSheetTileWidth = 160;
constexpr int kSheetGap = 10;
constexpr int kSheetLabelLines = 3;
constexpr int kSheetTitleHeight = 30;
constexpr int kSheetProgress = 50;

struct Options {
  std::string out;
  int width = 320, height = 180;
  int step = 4;
  uint16_t delay_ms = kDefaultFrameDelayMs;
  int jobs = 0;
  std::vector<std::string> pictures;
};

std::optional<std::pair<int, int>> ParseSize(const std::string& text) {
  const std::size_t x = text.find('x');
  if (x == std::string::npos) return std::nullopt;
  const auto w = ParseInt32(text.substr(0, x)), h = ParseInt32(text.substr(x + 1));
  if (!w || !h || *w < 8 || *h < 8 || *w > 3840 || *h > 2160) return std::nullopt;
  return std::pair{*w, *h};
}

// ---- the pictures the tool paints ----

uint8_t Channel(double v) {
  return static_cast<uint8_t>(std::lround(std::fmin(255.0, std::fmax(0.0, v))));
}

void SetPixel(TBitmap& b, int x, int y, double r, double g, double bl) {
  uint8_t* p = b.ScanLine(y) + 4 * static_cast<std::size_t>(x);
  p[0] = Channel(bl);
  p[1] = Channel(g);
  p[2] = Channel(r);
  p[3] = 0;
}

// Evening: a warm sky, a low sun and dark water with a glitter path.
TBitmap PaintEvening(int w, int h) {
  TBitmap b(w, h, PixelFormat::pf32bit);
  for (int y = 0; y < h; ++y) {
    const double fy = (y + 0.5) / h;
    for (int x = 0; x < w; ++x) {
      const double fx = (x + 0.5) / w;
      if (fy < 0.62) {
        const double sun = std::hypot((fx - 0.68) * w / h, fy - 0.45);
        const double glow = std::exp(-sun * 6.0);
        double r = 70 + 180 * fy / 0.62 + 60 * glow, g = 40 + 110 * fy / 0.62 + 90 * glow,
               bl = 110 - 60 * fy / 0.62 + 40 * glow;
        if (sun < 0.11) r = 255, g = 236, bl = 170;
        SetPixel(b, x, y, r, g, bl);
      } else {
        const double glitter =
            std::exp(-std::pow((fx - 0.68) * 9.0, 2)) * (std::sin(fy * h * 0.9) > 0.3 ? 1.0 : 0.2);
        SetPixel(b, x, y, 30 + 200 * glitter, 40 + 150 * glitter, 80 + 60 * glitter);
      }
    }
  }
  return b;
}

// Day: a blue sky with a white cloud over green hills and a red-roofed house.
TBitmap PaintDay(int w, int h) {
  TBitmap b(w, h, PixelFormat::pf32bit);
  for (int y = 0; y < h; ++y) {
    const double fy = (y + 0.5) / h;
    for (int x = 0; x < w; ++x) {
      const double fx = (x + 0.5) / w;
      const double hill = 0.6 + 0.1 * std::sin(fx * 5.0 + 1.0), near_hill = 0.78 - 0.12 * fx;
      const double cloud = std::hypot((fx - 0.25) * w / h * 0.6, (fy - 0.25) * 1.6);
      const bool house = fx > 0.58 && fx < 0.72 && fy > hill - 0.13 && fy < hill + 0.02;
      const bool roof = fx > 0.56 && fx < 0.74 && fy <= hill - 0.13 &&
                        fy > hill - 0.13 - (0.09 - std::fabs(fx - 0.65)) * 1.6;
      if (roof) {
        SetPixel(b, x, y, 200, 50, 40);
      } else if (house) {
        SetPixel(b, x, y, 245, 240, 225);
      } else if (fy > near_hill) {
        SetPixel(b, x, y, 50 + 30 * fx, 120 + 40 * (1 - fy), 40);
      } else if (fy > hill) {
        SetPixel(b, x, y, 90, 170 - 50 * (fy - hill), 70);
      } else if (cloud < 0.12) {
        SetPixel(b, x, y, 250, 250, 252);
      } else {
        SetPixel(b, x, y, 80 + 90 * fy, 150 + 70 * fy, 235);
      }
    }
  }
  return b;
}

// `picture` scaled to w x h, its middle cut to the aspect ratio of w x h first.
TBitmap Fit(const TBitmap& picture, int w, int h) {
  const int pw = picture.Width(), ph = picture.Height();
  TRect source = Rect(0, 0, pw, ph);
  if (static_cast<int64_t>(pw) * h > static_cast<int64_t>(ph) * w) {
    const int cut = static_cast<int>(static_cast<int64_t>(ph) * w / h);
    source.Left = (pw - cut) / 2, source.Right = source.Left + cut;
  } else {
    const int cut = static_cast<int>(static_cast<int64_t>(pw) * h / w);
    source.Top = (ph - cut) / 2, source.Bottom = source.Top + cut;
  }
  TBitmap out(w, h, PixelFormat::pf32bit);
  StretchCopyRect(out, Rect(0, 0, w, h), picture, source);
  return out;
}

// ---- the contact sheet ----

struct SheetLayout {
  int tile_w, tile_h, label_h, pitch_x, pitch_y, width, height;
};

SheetLayout LayoutSheet(int w, int h) {
  SheetLayout l{};
  l.tile_w = std::min(w, kSheetTileWidth);
  l.tile_h = std::max(1, static_cast<int>(static_cast<int64_t>(h) * l.tile_w / w));
  l.label_h = kSheetLabelLines * kGlyphHeight + 4;
  l.pitch_x = l.tile_w + kSheetGap;
  l.pitch_y = l.tile_h + l.label_h + kSheetGap;
  const int rows = (kMaxStyle + kSheetColumns - 1) / kSheetColumns;
  l.width = kSheetGap + kSheetColumns * l.pitch_x;
  l.height = kSheetTitleHeight + kSheetGap + rows * l.pitch_y;
  return l;
}

std::string Label(int style) {
  return std::to_string(style) + " " + StyleName(style);
}

// The tiles (32-bit pixels, one after another in style order) on a white sheet, each with its
// number and name below it.
TBitmap AssembleSheet(const SheetLayout& l, const uint8_t* tiles, int step) {
  TBitmap sheet(l.width, l.height, PixelFormat::pf24bit);
  FillRect(sheet, Rect(0, 0, l.width, l.height), 0x00FFFFFF);
  DrawText(sheet, kSheetGap, (kSheetTitleHeight - kGlyphHeight) / 2 + 4,
           "Quenmora transition styles at progress " + std::to_string(kSheetProgress) + " (step " +
               std::to_string(step) + ")",
           0x00000000);
  TBitmap tile(l.tile_w, l.tile_h, PixelFormat::pf32bit);
  const std::size_t tile_bytes = static_cast<std::size_t>(l.tile_w) * l.tile_h * 4;
  const int columns = l.tile_w / kGlyphWidth;
  for (int style = 1; style <= kMaxStyle; ++style) {
    std::memcpy(tile.Bits(), tiles + (style - 1) * tile_bytes, tile_bytes);
    const int x = kSheetGap + (style - 1) % kSheetColumns * l.pitch_x;
    const int y = kSheetTitleHeight + kSheetGap + (style - 1) / kSheetColumns * l.pitch_y;
    Draw(sheet, x, y, tile);
    const std::vector<std::string> lines = WrapText(Label(style), columns);
    for (std::size_t i = 0; i < lines.size() && i < kSheetLabelLines; ++i)
      DrawText(sheet, x, y + l.tile_h + 3 + static_cast<int>(i) * kGlyphHeight, lines[i],
               0x00303030);
  }
  return sheet;
}

// ---- the page ----

std::string Html(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string StyleFileName(int style) {
  char name[16];
  std::snprintf(name, sizeof name, "%03d.png", style);
  return name;
}

constexpr const char kPageHead[] = R"html(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
%GENERATOR%
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Quenmora transition styles</title>
<style>
  body { margin: 0; font: 15px/1.4 system-ui, sans-serif; background: #f4f4f2; color: #222; }
  header { position: sticky; top: 0; z-index: 1; background: #fff; padding: 12px 20px;
           box-shadow: 0 1px 4px rgba(0, 0, 0, 0.15); display: flex; gap: 16px;
           align-items: baseline; flex-wrap: wrap; }
  h1 { font-size: 20px; margin: 0; }
  #search { font-size: 16px; padding: 6px 10px; width: 22em; max-width: 90vw; }
  #count { color: #666; }
  main { padding: 8px 20px 40px; }
  h2 { font-size: 17px; margin: 22px 0 8px; }
  h2::first-letter { text-transform: uppercase; }
  .styles { display: flex; flex-wrap: wrap; gap: 14px; }
  figure { margin: 0; width: %WIDTH%px; cursor: pointer; background: #fff; padding: 6px;
           border-radius: 6px; box-shadow: 0 1px 3px rgba(0, 0, 0, 0.12); }
  figure:hover, figure:focus { outline: 2px solid #3a7bd5; }
  figure img { display: block; width: 100%; height: auto; }
  figcaption { font-size: 13px; margin-top: 4px; }
  figcaption b { display: inline-block; min-width: 2.2em; }
  .hidden { display: none; }
  dialog { border: none; border-radius: 8px; padding: 18px; max-width: 95vw; }
  dialog::backdrop { background: rgba(0, 0, 0, 0.6); }
  dialog img { display: block; width: min(%LARGE%px, 90vw); height: auto; }
  dialog h3 { margin: 0 0 10px; font-size: 18px; }
  .option { display: flex; gap: 8px; align-items: center; margin-top: 12px; }
  .option code { background: #eee; padding: 6px 10px; border-radius: 4px; font-size: 15px;
                 user-select: all; }
  .option button, #close { font-size: 14px; padding: 5px 12px; }
  #close { float: right; }
</style>
</head>
<body>
<header>
  <h1>Quenmora transition styles</h1>
  <input id="search" type="search" placeholder="Filter by name or number" autofocus
         aria-label="Filter styles by name or number">
  <span id="count"></span>
</header>
<main>
)html";

constexpr const char kPageTail[] = R"html(</main>
<dialog id="large">
  <button id="close" type="button">Close</button>
  <h3 id="large-title"></h3>
  <img id="large-image" alt="">
  <div class="option"><code id="option"></code>
    <button id="copy" type="button">Copy</button><span id="copied"></span></div>
</dialog>
<script>
"use strict";
const figures = Array.from(document.querySelectorAll("figure[data-style]"));
const search = document.getElementById("search");
const count = document.getElementById("count");

// A style matches when its number starts with the text typed, or its name holds it.
function filter() {
  const q = search.value.trim().toLowerCase();
  let shown = 0;
  for (const f of figures) {
    const match = q === "" || f.dataset.style.startsWith(q) || f.dataset.name.includes(q);
    f.classList.toggle("hidden", !match);
    if (match) ++shown;
  }
  for (const s of document.querySelectorAll("section")) {
    s.classList.toggle("hidden", !s.querySelector("figure:not(.hidden)"));
  }
  count.textContent = shown === figures.length ? figures.length + " styles"
                                               : shown + " of " + figures.length + " styles";
}
search.addEventListener("input", filter);
filter();

const dialog = document.getElementById("large");
const option = document.getElementById("option");
const copied = document.getElementById("copied");
function show(f) {
  const img = f.querySelector("img");
  document.getElementById("large-title").textContent = f.querySelector("figcaption").textContent;
  document.getElementById("large-image").src = img.getAttribute("src");
  document.getElementById("large-image").alt = img.alt;
  option.textContent = "quenmora pack --style " + f.dataset.style;
  copied.textContent = "";
  dialog.showModal();
}
for (const f of figures) {
  f.addEventListener("click", () => show(f));
  f.addEventListener("keydown", (e) => { if (e.key === "Enter") show(f); });
}
document.getElementById("close").addEventListener("click", () => dialog.close());
dialog.addEventListener("click", (e) => { if (e.target === dialog) dialog.close(); });

// The clipboard interface needs a secure context, which a page opened from disk may not be;
// selecting the text and copying it works there.
document.getElementById("copy").addEventListener("click", async () => {
  try {
    await navigator.clipboard.writeText(option.textContent);
  } catch (e) {
    const range = document.createRange();
    range.selectNodeContents(option);
    getSelection().removeAllRanges();
    getSelection().addRange(range);
    document.execCommand("copy");
  }
  copied.textContent = "copied";
});
</script>
</body>
</html>
)html";

void ReplaceAll(std::string& text, const std::string& what, const std::string& with) {
  for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += with.size())
    text.replace(at, what.size(), with);
}

// The styles grouped by family, the families in the order of their first style.
std::string BuildPage(int w, int h, int step) {
  std::vector<std::string> families;
  std::map<std::string, std::vector<int>> members;
  for (int style = 1; style <= kMaxStyle; ++style) {
    const TEffectFamily* family = kEffectTable[style - 1].Recipe.Family;
    const std::string name = family ? std::string(family->Name) : "plain cut";
    if (!members.count(name)) families.push_back(name);
    members[name].push_back(style);
  }
  std::string page = kPageHead;
  ReplaceAll(page, "%GENERATOR%", kGeneratorMark);
  ReplaceAll(page, "%WIDTH%", std::to_string(std::clamp(w, 160, 256)));
  ReplaceAll(page, "%LARGE%", std::to_string(std::max(w, 960)));
  page += "<p>Each preview plays the transition from the old picture to the new one at step " +
          std::to_string(step) +
          ", as the player shows it. Click a style to see it large and to copy its option.</p>\n";
  for (const std::string& family : families) {
    page += "<section>\n<h2>" + Html(family) + "</h2>\n<div class=\"styles\">\n";
    for (int style : members[family]) {
      std::string lower = StyleName(style);
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      const std::string number = std::to_string(style), name = Html(StyleName(style));
      page += "<figure data-style=\"" + number + "\" data-name=\"" + Html(lower) +
              "\" tabindex=\"0\"><img src=\"styles/" + StyleFileName(style) + "\" width=\"" +
              std::to_string(w) + "\" height=\"" + std::to_string(h) + "\" alt=\"" + number + " " +
              name + "\"><figcaption><b>" + number + "</b> " + name + "</figcaption></figure>\n";
    }
    page += "</div>\n</section>\n";
  }
  page += kPageTail;
  return page;
}

// ---- rendering in worker processes ----

// Shared between the workers: the next style to take, and the sheet's tiles.
// kMaxStyle tiles of tile_w x tile_h x 4 bytes follow it in the same mapping.
struct SharedWork {
  std::atomic<int> next_style{0};
  uint8_t* Tiles() { return reinterpret_cast<uint8_t*>(this + 1); }
};

struct Work {
  const TBitmap* old_picture;
  const TBitmap* new_picture;
  RenderSettings settings;
  uint16_t delay_ms;
  std::string styles_dir;
  SheetLayout layout;
  SharedWork* shared;
  int report_fd;  // one byte per style done
};

// A worker's loop: takes styles until none are left; writes each preview, frame by frame as it
// is composed, and its sheet tile.
void RenderStyles(const Work& w) {
  const std::size_t tile_bytes = static_cast<std::size_t>(w.layout.tile_w) * w.layout.tile_h * 4;
  TBitmap frame, tile(w.layout.tile_w, w.layout.tile_h, PixelFormat::pf32bit);
  for (;;) {
    const int style = w.shared->next_style.fetch_add(1) + 1;
    if (style > kMaxStyle) return;
    RenderSettings settings = w.settings;
    settings.style = style;
    FileSink preview(w.styles_dir + "/" + StyleFileName(style));
    AnimateTransition(*w.old_picture, *w.new_picture, settings, w.delay_ms, preview);
    preview.Close();
    RenderFrame(*w.old_picture, *w.new_picture, settings, kSheetProgress, frame);
    StretchCopyRect(tile, Rect(0, 0, w.layout.tile_w, w.layout.tile_h), frame,
                    Rect(0, 0, frame.Width(), frame.Height()));
    std::memcpy(w.shared->Tiles() + (style - 1) * tile_bytes, tile.Bits(), tile_bytes);
    const uint8_t done = static_cast<uint8_t>(style);
    if (write(w.report_fd, &done, 1) != 1) return;
  }
}

int ProcessorCount() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
  return std::max(1L, sysconf(_SC_NPROCESSORS_ONLN));
}

// The memory a worker needs for previews of w x h: the bitmaps of the transition being composed
// and the frames the animation writer compares, about ten 32-bit frames, and its program.
uint64_t WorkerBytes(int w, int h) {
  return 10 * static_cast<uint64_t>(w) * h * 4 + (32u << 20);
}

// The memory the workers may take together: what the system reports available, or half of
// the physical memory where it does not say.
uint64_t MemoryForWorkers() {
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  uint64_t kilobytes = 0;
  while (meminfo >> key >> kilobytes) {
    if (key == "MemAvailable:") return kilobytes * 1024 * 3 / 4;
    meminfo.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
  }
  return static_cast<uint64_t>(sysconf(_SC_PHYS_PAGES)) * sysconf(_SC_PAGESIZE) / 2;
}

// Runs `jobs` workers and shows their progress on a terminal; an interruption stops them.
// Raises ToolError when a style could not be rendered, Interrupted on an interruption.
void RenderInWorkers(Work work, int jobs, const InterruptWatch& watch) {
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0)
    throw ToolError(std::string("cannot start the workers: ") + std::strerror(errno));
  std::fflush(stdout);
  std::fflush(stderr);
  std::vector<pid_t> workers;
  for (int i = 0; i < jobs; ++i) {
    const pid_t pid = fork();
    if (pid == 0) {
      for (int sig : {SIGINT, SIGTERM, SIGHUP}) signal(sig, SIG_DFL);
      close(report[0]);
      work.report_fd = report[1];
      int status = 0;
      try {
        RenderStyles(work);
      } catch (const std::exception& e) {
        Fail(Describe(e));
        status = 1;
      }
      _exit(status);
    }
    if (pid < 0) break;
    workers.push_back(pid);
  }
  const int fork_error = errno;
  close(report[1]);

  // Waits for the workers' reports and for an interruption, whichever comes first.
  const bool terminal = isatty(STDERR_FILENO);
  int done = 0;
  bool interrupted = false;
  while (!workers.empty()) {
    pollfd waits[2] = {{report[0], POLLIN, 0}, {watch.Fd(), POLLIN, 0}};
    if (poll(waits, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (waits[1].revents) {
      interrupted = true;
      break;
    }
    uint8_t buffer[256];
    const ssize_t n = read(report[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<int>(n);
    if (terminal) std::fprintf(stderr, "\rquenmora gallery: %d of %d styles", done, kMaxStyle);
  }
  close(report[0]);
  if (terminal && done > 0) std::fputc('\n', stderr);
  if (interrupted)
    for (pid_t pid : workers) kill(pid, SIGKILL);
  bool failed = false;
  for (pid_t pid : workers) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    failed |= !WIFEXITED(status) || WEXITSTATUS(status) != 0;
  }
  watch.Check();
  if (workers.empty())
    throw ToolError(std::string("cannot start the workers: ") + std::strerror(fork_error));
  if (failed || done != kMaxStyle)
    throw ToolError("rendering the styles failed (" + std::to_string(done) + " of " +
                    std::to_string(kMaxStyle) + " done)");
}

// ---- the output folder ----

// The list of the files a gallery run made, in its folder. A later run replaces the folder
// only when it holds nothing else, so that no file of the user's is ever removed with it.
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

// Why the gallery cannot go to `dir`, or nothing.
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

// A fresh folder beside `dir`, hidden, named after it.
std::optional<fs::path> MakeSiblingFolder(const fs::path& dir, const char* kind) {
  std::string name = ".";
  name += dir.filename().string();
  name += kind;
  std::string templ = (dir.parent_path() / name).string();
  if (!mkdtemp(templ.data())) return std::nullopt;
  return fs::path(templ);
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

// Moves the finished folder `built` to `dir`, replacing an empty folder or an earlier gallery
// there, checked again now: what came meanwhile is never replaced. `built_is_new` says whether
// `built` still names the new gallery, which the caller may then remove.
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
  const std::size_t tile_bytes = static_cast<std::size_t>(layout.tile_w) * layout.tile_h * 4;
  const std::size_t shared_bytes = sizeof(SharedWork) + kMaxStyle * tile_bytes;
  void* memory =
      mmap(nullptr, shared_bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) throw std::bad_alloc();
  struct Unmap {
    void* p;
    std::size_t n;
    ~Unmap() { munmap(p, n); }
  } unmap{memory, shared_bytes};
  auto* shared = new (memory) SharedWork{};

  fs::create_directory(*built / "styles");
  RenderSettings settings;
  settings.step = o.step;
  const int wanted = std::min(o.jobs > 0 ? o.jobs : ProcessorCount(), kMaxStyle);
  const int jobs = static_cast<int>(std::clamp<uint64_t>(
      MemoryForWorkers() / WorkerBytes(o.width, o.height), 1, static_cast<uint64_t>(wanted)));
  if (jobs < wanted)
    std::fprintf(stderr, "quenmora gallery: rendering %d styles at once, as the memory holds\n",
                 jobs);
  RenderInWorkers(Work{&old_picture, &new_picture, settings, o.delay_ms,
                       (*built / "styles").string(), layout, shared, -1},
                  jobs, watch);

  WritePng24(AssembleSheet(layout, shared->Tiles(), o.step), (*built / "sheet.png").string());
  WriteText(BuildPage(o.width, o.height, o.step), *built / "index.html");
  std::string manifest = std::string(kManifestHead) + "\n";
  for (const std::string& entry : GalleryEntries()) manifest += entry + "\n";
  WriteText(manifest, *built / kManifestName);
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
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    const bool takes_value =
        a == "-o" || a == "--size" || a == "--step" || a == "--delay" || a == "--jobs";
    if (!takes_value) {
      if (a.size() > 1 && a[0] == '-') return UsageError("unknown option " + a);
      o.pictures.push_back(a);
      continue;
    }
    if (i + 1 >= args.size()) return UsageError(a + " needs a value");
    const std::string& value = args[++i];
    if (a == "-o") {
      o.out = value;
    } else if (a == "--size") {
      const auto size = ParseSize(value);
      if (!size) return UsageError("--size takes WxH from 8x8 to 3840x2160, not " + value);
      std::tie(o.width, o.height) = *size;
    } else if (a == "--step") {
      const auto s = ParseInt32(value);
      if (!s || *s < 1 || *s > 100) return UsageError("--step takes 1..100, not " + value);
      o.step = *s;
    } else if (a == "--delay") {
      const auto d = ParseInt32(value);
      if (!d || *d < 0 || *d > 65535) return UsageError("--delay takes 0..65535, not " + value);
      o.delay_ms = static_cast<uint16_t>(*d);
    } else {
      const auto j = ParseInt32(value);
      if (!j || *j < 1 || *j > 1024) return UsageError("--jobs takes 1..1024, not " + value);
      o.jobs = *j;
    }
  }
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
