// Start-up extraction of a gallery of about 200 MB of pictures, against the baseline of
// inflating the same zlib stream with zlib into one file on the same disk.
//   BM_InflateToOneFile: the baseline.
//   BM_StartupExtraction: the player's start-up (copy out of the executable, inflate into the
//                         second temporary file, one file per picture).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "payload/extraction.h"
#include "payload/file_stream.h"
#include "payload/payload_writer.h"
#include "platform/byte_order.h"

namespace {

namespace fs = std::filesystem;

constexpr int kPictures = 40;
constexpr std::size_t kPictureSize = 5 << 20;  // 40 x 5 MiB = 200 MiB

// Picture-like bytes: mostly incompressible like JPEG data, with some compressible stretches
// like PNG rows.
void FillPicture(std::vector<uint8_t>& data, uint32_t seed) {
  for (std::size_t k = 0; k < data.size(); ++k) {
    seed = seed * 1664525u + 1013904223u;
    const bool flat = (k >> 16) % 5 == 0;
    data[k] =
        flat ? static_cast<uint8_t>((k >> 4) + (seed >> 30)) : static_cast<uint8_t>(seed >> 24);
  }
}

// The benchmark's presentation, made once and kept in the temporary directory between runs.
const std::string& Show() {
  static const std::string path = [] {
    const fs::path dir = fs::temp_directory_path() / "quenmora-bench-gallery";
    const fs::path show = dir / "show";
    if (fs::exists(show)) return show.string();
    fs::create_directories(dir);
    std::vector<qm::PackSlide> slides;
    std::vector<uint8_t> data(kPictureSize);
    for (int k = 0; k < kPictures; ++k) {
      FillPicture(data, static_cast<uint32_t>(k));
      const std::string name = "picture" + std::to_string(k) + ".jpg";
      std::ofstream(dir / name, std::ios::binary)
          .write(reinterpret_cast<const char*>(data.data()), static_cast<long>(data.size()));
      slides.push_back({(dir / name).string(), name, "Bildunterschrift"});
    }
    std::ofstream(dir / "player", std::ios::binary) << std::string(2 << 20, 'P');
    {
      qm::FileStream out((dir / "show.part").string(), qm::FileStream::Mode::kCreate);
      qm::WritePresentation((dir / "player").string(), {}, slides, out);
    }
    fs::rename(dir / "show.part", show);
    for (const auto& s : slides) fs::remove(s.source_path);
    return show.string();
  }();
  return path;
}

std::string FreshDir() {
  std::string templ = (fs::temp_directory_path() / "quenmora-bench-run.XXXXXX").string();
  if (!mkdtemp(templ.data())) std::abort();
  return templ;
}

void BM_InflateToOneFile(benchmark::State& state) {
  const std::string show = Show();
  const uint64_t size = fs::file_size(show);
  for (auto _ : state) {
    state.PauseTiming();
    const std::string dir = FreshDir();
    state.ResumeTiming();
    const int in = open(show.c_str(), O_RDONLY);
    uint8_t tail[8];
    pread(in, tail, 8, static_cast<off_t>(size - 8));
    const uint32_t start = qm::LoadLittleEndian32(tail + 4);
    lseek(in, start, SEEK_SET);
    const int out = open((dir + "/payload").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    z_stream z{};
    inflateInit(&z);
    std::vector<uint8_t> input(64 << 10), output(64 << 10);
    uint64_t left = size - 8 - start;
    int rc = Z_OK;
    while (rc != Z_STREAM_END && left > 0) {
      const ssize_t n = read(in, input.data(), std::min<uint64_t>(left, input.size()));
      if (n <= 0) break;
      left -= static_cast<uint64_t>(n);
      z.next_in = input.data();
      z.avail_in = static_cast<uInt>(n);
      do {
        z.next_out = output.data();
        z.avail_out = static_cast<uInt>(output.size());
        rc = inflate(&z, Z_NO_FLUSH);
        if (write(out, output.data(), output.size() - z.avail_out) < 0) std::abort();
      } while (z.avail_out == 0 && rc == Z_OK);
    }
    inflateEnd(&z);
    close(out);
    close(in);
    state.PauseTiming();
    fs::remove_all(dir);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kPictures * kPictureSize));
}

void BM_StartupExtraction(benchmark::State& state) {
  const std::string show = Show();
  for (auto _ : state) {
    state.PauseTiming();
    const std::string dir = FreshDir();
    setenv("TMPDIR", dir.c_str(), 1);
    qm::PlayerState player;
    qm::DiscardingSettingsSink sink;
    state.ResumeTiming();
    if (!qm::RunStartupExtraction(show, player, sink)) state.SkipWithError("extraction failed");
    state.PauseTiming();
    unsetenv("TMPDIR");
    fs::remove_all(dir);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kPictures * kPictureSize));
}

BENCHMARK(BM_InflateToOneFile)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_StartupExtraction)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

}  // namespace

BENCHMARK_MAIN();
