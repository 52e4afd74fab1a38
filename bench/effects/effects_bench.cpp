// Cost of a transition frame per style: ComposeFrame (the old contents, then the style's effect)
// at full HD and 4K, Step 4, averaged over the frames at progress 25, 50 and 75, against the
// two-copy compose (old contents copied, then the whole new picture copied, both by memcpy: the
// physical floor of any frame) measured in the same run: before the first style and after each
// style, so that every style is set against the floors timed just before and just after it. On a
// machine busy with other work a frame's time moves with that work over a run of minutes; a
// floor timed only at the run's start and end then made the ratios of the styles in between
// drift with it.
//
//   effects_bench [--styles=FIRST-LAST] [--step=S] [--sizes=WxH,...] [--progress=P,...]
//                 [--old=PICTURE --new=PICTURE] [--cpu-time] [--paired]
//                 [Google Benchmark options]
//
// Pictures: by default two photograph-like pictures painted here (sky, sun, hills, fine
// texture); --old/--new decode two pictures with the player's decoders instead (for example
// the demo gallery painted at each size: quenmora-demo-gallery DIR 3840x2160), scaled to each
// size. --cpu-time times each frame by the processor time of the benchmark's thread instead of
// the wall time: on a machine busy with other work the wall time also counts the waits for a
// processor. After the run a table gives per style the time per frame and the ratio to the lesser
// of the floors beside it at each size, and a summary line the median and the worst ratio with
// the worst style.
//
// Beside each floor line: the one-copy frame (every pixel written once, each row in two runs)
// and its ratio, the nearest a style can come; with --paired also the floor paired with itself,
// which shows whether the pairing favours the frame or its floor.
//
// --paired follows every frame with a floor, timed apart, and takes as a style's ratio the median
// of the ratios of each frame to the floor right after it; no floors run between the styles.
// Work elsewhere on the machine that comes and goes within a tenth of a second (other programs
// evicting the pictures from a shared cache) then weighs on a frame and its floor alike, where
// against floors timed a benchmark apart it moved a style's ratio by up to half between runs.
// Frame and floor also start from the same cache: floors run back to back, each copying what the
// one before copied, can run half as fast again as a floor after a frame, which at full HD set
// even the one-copy frame at 1.3 floors.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "imaging/slide_loader.h"
#include "picshow/frame_routine.h"
#include "picshow/style_catalogue.h"
#include "platform/random.h"
#include "platform/stretch.h"

namespace qm {
namespace {

struct TSize {
  int w, h;
  std::string Label() const { return std::to_string(w) + "x" + std::to_string(h); }
};

struct TOptions {
  int first = 1, last = kMaxStyle;
  int step = 4;
  std::vector<TSize> sizes{{1920, 1080}, {3840, 2160}};
  std::vector<int> progress{25, 50, 75};
  std::string old_path, new_path;
  bool cpu_time = false;
  bool paired = false;
};

TOptions g_options;

// A photograph-like picture: a sky gradient, a sun, rolling hills and a fine texture, so that
// neighbouring pixels differ as in a photograph.
TBitmap PaintPicture(int w, int h, int variant) {
  TBitmap b(w, h, PixelFormat::pf32bit);
  const double sun_x = variant == 0 ? 0.62 : 0.25, sun_y = variant == 0 ? 0.3 : 0.2;
  uint32_t noise = 0x1234567u + static_cast<uint32_t>(variant);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = b.ScanLine(y);
    const double fy = static_cast<double>(y) / h;
    for (int x = 0; x < w; ++x) {
      const double fx = static_cast<double>(x) / w;
      noise = noise * 1664525u + 1013904223u;
      const int grain = static_cast<int>(noise >> 29) - 4;
      const double hill = 0.65 + 0.08 * std::sin(fx * (variant == 0 ? 7.0 : 4.0) + variant);
      double r, g, bl;
      if (fy > hill) {
        r = 40 + 60 * fx;
        g = 90 + 80 * (1 - fy);
        bl = 40;
      } else {
        r = variant == 0 ? 30 + 200 * fy : 90 + 60 * fy;
        g = variant == 0 ? 40 + 120 * fy : 120 + 80 * fy;
        bl = variant == 0 ? 110 + 60 * fy : 200 - 40 * fy;
        const double d = std::hypot(fx - sun_x, (fy - sun_y) * h / w);
        if (d < 0.08) r = g = 250, bl = 200;
      }
      row[4 * x] = static_cast<uint8_t>(std::clamp(static_cast<int>(bl) + grain, 0, 255));
      row[4 * x + 1] = static_cast<uint8_t>(std::clamp(static_cast<int>(g) + grain, 0, 255));
      row[4 * x + 2] = static_cast<uint8_t>(std::clamp(static_cast<int>(r) + grain, 0, 255));
      row[4 * x + 3] = 0;
    }
  }
  return b;
}

// The picture at `path` decoded as the player decodes slides, in 32 bits, stretched to the size.
TBitmap LoadPicture(const std::string& path, const TSize& size) {
  const std::optional<TBitmap> decoded = LoadSlidePicture(path);
  if (!decoded || decoded->Empty()) {
    std::fprintf(stderr, "effects_bench: cannot use %s as a picture\n", path.c_str());
    std::exit(2);
  }
  TBitmap b(size.w, size.h, PixelFormat::pf32bit);
  StretchBlt(b, 0, 0, size.w, size.h, *decoded, 0, 0, decoded->Width(), decoded->Height());
  return b;
}

// The two pictures of a transition at one size, made once and shared by every benchmark.
struct TPictures {
  TBitmap old_contents, picture, display;
};

TPictures& PicturesFor(const TSize& size) {
  static std::map<std::pair<int, int>, TPictures> cache;
  auto [it, fresh] = cache.try_emplace({size.w, size.h});
  if (fresh) {
    TPictures& p = it->second;
    const bool files = !g_options.old_path.empty();
    p.old_contents =
        files ? LoadPicture(g_options.old_path, size) : PaintPicture(size.w, size.h, 0);
    p.picture = files ? LoadPicture(g_options.new_path, size) : PaintPicture(size.w, size.h, 1);
    p.display = TBitmap(size.w, size.h, PixelFormat::pf32bit);
  }
  return it->second;
}

void CopyFloor(TPictures& p) {
  const std::size_t bytes = p.display.RowBytes() * static_cast<std::size_t>(p.display.Height());
  std::memcpy(p.display.Bits(), p.old_contents.Bits(), bytes);
  benchmark::ClobberMemory();
  std::memcpy(p.display.Bits(), p.picture.Bits(), bytes);
  benchmark::DoNotOptimize(p.display.Bits());
  benchmark::ClobberMemory();
}

void BM_TwoCopyFloor(benchmark::State& state, TSize size) {
  TPictures& p = PicturesFor(size);
  for (auto _ : state) CopyFloor(p);
}

// The median of a non-empty list (the mean of the middle two of an even count).
double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Seconds on the clock the frames are timed by: the process's processor time with --cpu-time.
double Now() {
  timespec t{};
  clock_gettime(g_options.cpu_time ? CLOCK_PROCESS_CPUTIME_ID : CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Runs `frame` once per iteration, or with --paired each time followed by a floor timed apart:
// the iteration's time is the frame's, and the counter "ratio" the median of frame / floor.
template <typename Frame>
void RunFrames(benchmark::State& state, TPictures& p, Frame&& frame) {
  if (!g_options.paired) {
    for (auto _ : state) {
      frame();
      benchmark::DoNotOptimize(p.display.Bits());
      benchmark::ClobberMemory();
    }
    return;
  }
  std::vector<double> ratios;
  for (auto _ : state) {
    const double t0 = Now();
    frame();
    benchmark::DoNotOptimize(p.display.Bits());
    benchmark::ClobberMemory();
    const double t1 = Now();
    CopyFloor(p);
    const double t2 = Now();
    state.SetIterationTime(t1 - t0);
    ratios.push_back((t1 - t0) / std::max(t2 - t1, 1e-9));
  }
  if (!ratios.empty()) state.counters["ratio"] = Median(std::move(ratios));
}

// The least a frame that writes every pixel once costs: each row copied by memcpy in two runs,
// the new picture's columns up to the progress and the old contents' beyond, over the same
// progress values as the styles. Against the two-copy floor it shows how near a style can come
// on this machine: about half where the pictures stay in the cache, more where rows split
// between two pictures read slower than whole pictures copied one after the other.
void BM_OneCopy(benchmark::State& state, TSize size) {
  TPictures& p = PicturesFor(size);
  const std::vector<int>& progress = g_options.progress;
  std::size_t i = 0;
  RunFrames(state, p, [&] {
    const int32_t split = std::clamp(size.w * progress[i] / 100, 0, size.w);
    for (int32_t y = 0; y < size.h; ++y) {
      auto* row = reinterpret_cast<uint32_t*>(p.display.ScanLine(y));
      const auto* old = reinterpret_cast<const uint32_t*>(p.old_contents.ScanLine(y));
      std::memcpy(row, p.picture.ScanLine(y), 4 * static_cast<std::size_t>(split));
      std::memcpy(row + split, old + split, 4 * static_cast<std::size_t>(size.w - split));
    }
    i = (i + 1) % progress.size();
  });
}

// With --paired, the floor as a frame against the floor after it: the ratio a frame exactly as
// dear as the floor gets, 1 where the pairing favours neither side.
void BM_FloorPaired(benchmark::State& state, TSize size) {
  TPictures& p = PicturesFor(size);
  RunFrames(state, p, [&] { CopyFloor(p); });
}

void BM_Style(benchmark::State& state, int style, TSize size) {
  TPictures& p = PicturesFor(size);
  const TransitionBitmaps bitmaps{&p.display, &p.picture, &p.old_contents, size.w, size.h};
  const std::vector<int>& progress = g_options.progress;
  std::size_t i = 0;
  SetRandomSeed(0);
  RunFrames(state, p, [&] {
    ComposeFrame(bitmaps, style, g_options.step, progress[i], nullptr);
    i = (i + 1) % progress.size();
  });
}

// A benchmark's name without what the library appends ("/min_warmup_time:.../process_time/
// real_time").
std::string BaseName(std::string name) {
  for (const char* suffix : {"/min_warmup_time", "/process_time", "/real_time"})
    if (const std::size_t at = name.find(suffix); at != std::string::npos) name.resize(at);
  return name;
}

// Collects the mean time per iteration of every run (wall or processor time), by name, as the
// console shows them.
class TCollector : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations <= 0) continue;
      // A paired run (the one with a ratio) times its frames itself, on the chosen clock, as
      // its manual time.
      const auto r = run.counters.find("ratio");
      const bool own = g_options.cpu_time && r == run.counters.end();
      seconds[BaseName(run.benchmark_name())].push_back(
          (own ? run.cpu_accumulated_time : run.real_accumulated_time) /
          static_cast<double>(run.iterations));
      if (r != run.counters.end())
        ratios[BaseName(run.benchmark_name())].push_back(r->second.value);
    }
    ConsoleReporter::ReportRuns(runs);
  }
  // The median of the paired ratios of the repetitions of the benchmarks named (--paired).
  std::optional<double> PairedRatio(std::initializer_list<std::string> names) const {
    std::vector<double> v;
    for (const std::string& name : names)
      if (const auto it = ratios.find(name); it != ratios.end())
        v.insert(v.end(), it->second.begin(), it->second.end());
    if (v.empty()) return std::nullopt;
    return Median(std::move(v));
  }
  // The fastest of the repetitions of a benchmark: the least disturbed by other work.
  std::optional<double> Best(const std::string& name) const {
    const auto it = seconds.find(name);
    if (it == seconds.end() || it->second.empty()) return std::nullopt;
    return *std::min_element(it->second.begin(), it->second.end());
  }
  std::map<std::string, std::vector<double>> seconds, ratios;
};

// The floor timed before the first style ("before"), or just after style `when`.
std::string FloorName(const TSize& size, const std::string& when) {
  return "Floor/" + when + "/" + size.Label();
}
// The one-copy frame timed before the first style or after the last.
std::string OneCopyName(const TSize& size, const std::string& when) {
  return "OneCopy/" + when + "/" + size.Label();
}
std::string StyleLabel(int style) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%03d", style);
  return buf;
}
std::string StyleBenchName(int style, const TSize& size) {
  return "Style/" + StyleLabel(style) + "/" + size.Label();
}

void PrintTable(const TCollector& c, const std::vector<int>& styles) {
  std::printf("\nStep %d, progress", g_options.step);
  for (int p : g_options.progress) std::printf(" %d", p);
  if (g_options.paired)
    std::printf(
        "; ratio = median of time per frame / two-copy floor (memcpy of old contents, then\n"
        "new) timed right after that frame; the floor lines give the least of a size\n");
  else
    std::printf(
        "; ratio = time per frame / two-copy floor (memcpy of old contents, then new) timed\n"
        "just before and after the style, the lesser; the floor lines give the least of a size\n");
  // The floors in the order they ran: 0 before the first style, i after the i-th. The floor
  // beside the styles from `first` to `last` (exclusive) is the lesser of the one timed just
  // before them and the one just after.
  auto floor_at = [&](std::size_t i, const TSize& size) {
    return c.Best(FloorName(size, i == 0 ? "before" : StyleLabel(styles[i - 1]))).value_or(1e30);
  };
  auto floor_beside = [&](std::size_t first, std::size_t last, const TSize& size) {
    return std::min(floor_at(first, size), floor_at(last, size));
  };
  for (const TSize& size : g_options.sizes) {
    double f = floor_at(0, size);
    for (std::size_t i = 1; i <= styles.size(); ++i) f = std::min(f, floor_at(i, size));
    std::printf("floor %-9s %8.3f ms\n", size.Label().c_str(), f * 1e3);
    const double one = std::min(c.Best(OneCopyName(size, "before")).value_or(1e30),
                                c.Best(OneCopyName(size, "after")).value_or(1e30));
    // Unpaired, like a style: against the floors beside its two timings (before the first
    // style and after the last), not the least of the run.
    const double one_ratio =
        g_options.paired
            ? c.PairedRatio({OneCopyName(size, "before"), OneCopyName(size, "after")}).value_or(0)
            : one / floor_beside(0, styles.size(), size);
    std::printf("one-copy frame %-9s %8.3f ms  ratio %.2f\n", size.Label().c_str(), one * 1e3,
                one_ratio);
    if (const auto self = c.PairedRatio({"FloorPaired/" + size.Label()}))
      std::printf("floor paired with itself %-9s ratio %.2f\n", size.Label().c_str(), *self);
  }
  std::printf("%5s  %-48s", "style", "name");
  for (const TSize& size : g_options.sizes) std::printf("  %9s ms  ratio", size.Label().c_str());
  std::printf("\n");
  struct TWorst {
    double ratio = 0;
    int style = 0;
    std::string size;
  } worst;
  std::vector<double> all;
  for (std::size_t i = 0; i < styles.size(); ++i) {
    const int style = styles[i];
    std::printf("%5d  %-48.48s", style, StyleName(style));
    for (std::size_t k = 0; k < g_options.sizes.size(); ++k) {
      const auto t = c.Best(StyleBenchName(style, g_options.sizes[k]));
      const auto paired_ratio = c.PairedRatio({StyleBenchName(style, g_options.sizes[k])});
      if (!t || (g_options.paired && !paired_ratio)) {
        std::printf("  %12s  %5s", "-", "-");
        continue;
      }
      const double ratio =
          g_options.paired ? *paired_ratio : *t / floor_beside(i, i + 1, g_options.sizes[k]);
      all.push_back(ratio);
      if (ratio > worst.ratio) worst = {ratio, style, g_options.sizes[k].Label()};
      std::printf("  %12.3f  %5.2f", *t * 1e3, ratio);
    }
    std::printf("\n");
  }
  if (all.empty()) {
    std::printf("no style with an effect procedure in the range\n");
    return;
  }
  const double median = Median(all);
  std::printf("summary: %zu styles, median ratio %.2f, worst ratio %.2f (style %d \"%s\" at %s)\n",
              styles.size(), median, worst.ratio, worst.style, StyleName(worst.style),
              worst.size.c_str());
}

bool ParseRange(const char* text, int& first, int& last) {
  if (std::sscanf(text, "%d-%d", &first, &last) == 2)
    return first >= 1 && first <= last && last <= kMaxStyle;
  if (std::sscanf(text, "%d", &first) == 1) return last = first, first >= 1 && first <= kMaxStyle;
  return false;
}

template <typename T, typename Parse>
bool ParseList(const char* text, std::vector<T>& out, Parse parse) {
  out.clear();
  std::string s(text);
  std::size_t at = 0;
  while (at <= s.size()) {
    const std::size_t comma = std::min(s.find(',', at), s.size());
    T value;
    if (!parse(s.substr(at, comma - at), value)) return false;
    out.push_back(value);
    at = comma + 1;
  }
  return !out.empty();
}

// Takes this program's own options out of argv; returns false on a malformed one.
bool ParseOwnOptions(int& argc, char** argv) {
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    auto value = [&](const char* name) -> const char* {
      const std::size_t n = std::strlen(name);
      return std::strncmp(a, name, n) == 0 ? a + n : nullptr;
    };
    bool ok = true;
    if (const char* v = value("--styles=")) {
      ok = ParseRange(v, g_options.first, g_options.last);
    } else if (const char* v = value("--step=")) {
      ok = std::sscanf(v, "%d", &g_options.step) == 1 && g_options.step >= 1 &&
           g_options.step <= 100;
    } else if (const char* v = value("--sizes=")) {
      ok = ParseList(v, g_options.sizes, [](const std::string& t, TSize& s) {
        return std::sscanf(t.c_str(), "%dx%d", &s.w, &s.h) == 2 && s.w > 0 && s.h > 0 &&
               s.w <= 16384 && s.h <= 16384;
      });
    } else if (const char* v = value("--progress=")) {
      ok = ParseList(v, g_options.progress, [](const std::string& t, int& p) {
        return std::sscanf(t.c_str(), "%d", &p) == 1 && p >= 0 && p <= 100;
      });
    } else if (const char* v = value("--old=")) {
      g_options.old_path = v;
    } else if (const char* v = value("--new=")) {
      g_options.new_path = v;
    } else if (std::strcmp(a, "--cpu-time") == 0) {
      g_options.cpu_time = true;
    } else if (std::strcmp(a, "--paired") == 0) {
      g_options.paired = true;
    } else {
      argv[kept++] = argv[i];
      continue;
    }
    if (!ok) {
      std::fprintf(stderr, "effects_bench: bad option %s\n", a);
      return false;
    }
  }
  argc = kept;
  return g_options.old_path.empty() == g_options.new_path.empty();
}

}  // namespace
}  // namespace qm

int main(int argc, char** argv) {
  using namespace qm;
  if (!ParseOwnOptions(argc, argv)) {
    std::fprintf(stderr,
                 "usage: effects_bench [--styles=FIRST-LAST] [--step=S] [--sizes=WxH,...]\n"
                 "                     [--progress=P,...] [--old=PICTURE --new=PICTURE]\n"
                 "                     [--cpu-time] [--paired]\n"
                 "                     [Google Benchmark options]\n");
    return 2;
  }
  std::vector<int> styles;
  for (int s = g_options.first; s <= g_options.last; ++s)
    if (kEffectTable[s - 1].Drawn()) styles.push_back(s);
  // Every floor and style runs a few frames untimed first: at full HD the pictures stay in the
  // cache from one benchmark to the next of the same size, but not after one of another size.
  auto timed = [](benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime()->MinWarmUpTime(0.01);
  };
  // With --paired the styles and the one-copy frame time themselves and their floors.
  auto paired = [&](benchmark::internal::Benchmark* b) {
    if (!g_options.paired) return timed(b);
    b->Unit(benchmark::kMillisecond)->UseManualTime()->MinWarmUpTime(0.01);
  };
  for (const TSize& size : g_options.sizes) {
    timed(benchmark::RegisterBenchmark(FloorName(size, "before").c_str(), BM_TwoCopyFloor, size));
    paired(benchmark::RegisterBenchmark(OneCopyName(size, "before").c_str(), BM_OneCopy, size));
    if (g_options.paired)
      paired(benchmark::RegisterBenchmark(("FloorPaired/" + size.Label()).c_str(), BM_FloorPaired,
                                          size));
  }
  for (int style : styles)
    for (const TSize& size : g_options.sizes) {
      paired(
          benchmark::RegisterBenchmark(StyleBenchName(style, size).c_str(), BM_Style, style, size));
      if (!g_options.paired)
        timed(benchmark::RegisterBenchmark(FloorName(size, StyleLabel(style)).c_str(),
                                           BM_TwoCopyFloor, size));
    }
  for (const TSize& size : g_options.sizes)
    paired(benchmark::RegisterBenchmark(OneCopyName(size, "after").c_str(), BM_OneCopy, size));
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  TCollector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  PrintTable(collector, styles);
  benchmark::Shutdown();
  return 0;
}
