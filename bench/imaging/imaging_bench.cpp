// Decoding speed of the slide decoders against their baselines. Each benchmark decodes the same
// file in memory with our path and with the baseline in turn, iteration by iteration, so that
// both see the same machine load; it reports both times and their ratio (ours / baseline, aim:
// PNG at most 0.8 for RGB and RGBA, JPEG at most 1.05). Times are the decoding thread's processor
// time (user and system, page faults included), which a busy machine disturbs far less than elapsed
// time. The pictures are photo-like (smooth shading with noise) at 1920 x 1080 and 3840 x 2160.
//
//   build/.../bin/imaging_bench [--benchmark_filter=Png]
#include <benchmark/benchmark.h>
#include <png.h>

#include <time.h>

#include <cstring>
#include <map>
#include <stdexcept>
#include <string>

#include "imaging/jpeg_image.h"
#include "imaging/png_image.h"
#include "tests/imaging/test_pictures.h"

extern "C" {
#include <jpeglib.h>
}

namespace {

using qm::test::Bytes;

// The calling thread's processor time in seconds.
double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// ---- test files ----

enum class Kind { kRgb, kRgba, kPalette, kInterlaced, kJpeg };

Bytes MakeFile(Kind kind, int width, int height) {
  const Bytes rgb = qm::test::PhotoLikeRgb(width, height, 42);
  if (kind == Kind::kJpeg)
    return qm::test::EncodeJpeg(rgb, width, height, qm::test::JpegKind::kBaseline);
  qm::test::PngImage img;
  img.width = static_cast<uint32_t>(width);
  img.height = static_cast<uint32_t>(height);
  img.filter = qm::test::PngImage::kAdaptiveFilter;
  Bytes palette;
  if (kind == Kind::kPalette) {
    // 3-3-2 colour cube: red and green in 8 levels, blue in 4.
    img.color_type = 3;
    for (int i = 0; i < 256; ++i)
      palette.insert(palette.end(), {static_cast<uint8_t>((i >> 5) * 255 / 7),
                                     static_cast<uint8_t>(((i >> 2) & 7) * 255 / 7),
                                     static_cast<uint8_t>((i & 3) * 85)});
    for (std::size_t p = 0; p < rgb.size() / 3; ++p)
      img.samples.push_back(static_cast<uint16_t>(
          (rgb[3 * p] & 0xE0) | ((rgb[3 * p + 1] >> 3) & 0x1C) | (rgb[3 * p + 2] >> 6)));
  } else if (kind == Kind::kRgba) {
    // Alpha that follows the picture, as a soft matte would.
    img.color_type = 6;
    for (std::size_t p = 0; p < rgb.size() / 3; ++p)
      img.samples.insert(img.samples.end(), {rgb[3 * p], rgb[3 * p + 1], rgb[3 * p + 2],
                                             static_cast<uint16_t>(255 - (rgb[3 * p + 1] >> 2))});
  } else {
    img.color_type = 2;
    img.interlace = kind == Kind::kInterlaced ? 1 : 0;
    img.samples.assign(rgb.begin(), rgb.end());
  }
  return qm::test::MakePng(img, palette);
}

const Bytes& File(Kind kind, int width, int height) {
  static std::map<std::tuple<Kind, int, int>, Bytes> cache;
  auto key = std::make_tuple(kind, width, height);
  auto it = cache.find(key);
  if (it == cache.end()) it = cache.emplace(key, MakeFile(kind, width, height)).first;
  return it->second;
}

// ---- baselines ----

struct MemoryReader {
  const Bytes* data;
  std::size_t pos;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
  auto* r = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (r->pos + count > r->data->size()) png_error(png, "read past the end");
  std::memcpy(out, r->data->data() + r->pos, count);
  r->pos += count;
}

// libpng decoding the file into blue-green-red rows (and alpha, for pictures that have it).
std::size_t LibpngDecode(const Bytes& file, Bytes& pixels) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    throw std::runtime_error("libpng failed");
  }
  MemoryReader reader{&file, 0};
  png_set_read_fn(png, &reader, ReadFromMemory);
  png_read_info(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (png_get_color_type(png, info) == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const std::size_t stride = (png_get_rowbytes(png, info) + 3) & ~std::size_t{3};
  pixels.resize(stride * height);
  std::vector<png_bytep> rows(height);
  for (png_uint_32 y = 0; y < height; ++y) rows[y] = pixels.data() + y * stride;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return pixels.size();
}

// A plain libjpeg decode loop into 24-bit blue-green-red rows.
std::size_t LibjpegDecode(const Bytes& file, Bytes& pixels) {
  jpeg_decompress_struct d{};
  jpeg_error_mgr err{};
  d.err = jpeg_std_error(&err);
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, file.data(), static_cast<unsigned long>(file.size()));
  jpeg_read_header(&d, TRUE);
  d.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&d);
  const std::size_t stride = (std::size_t{d.output_width} * 3 + 3) & ~std::size_t{3};
  pixels.resize(stride * d.output_height);
  while (d.output_scanline < d.output_height) {
    JSAMPROW row = pixels.data() + d.output_scanline * stride;
    jpeg_read_scanlines(&d, &row, 1);
  }
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
  return pixels.size();
}

// ---- our paths ----

std::size_t OurPng(const Bytes& file) {
  qm::TPNGObject png;
  png.LoadFromBytes(file);
  const qm::TBitmap bitmap = png.TakeBitmap();
  return bitmap.RowBytes() * static_cast<std::size_t>(bitmap.Height());
}

std::size_t OurJpeg(const Bytes& file) {
  qm::TJPEGImage jpeg;
  jpeg.LoadFromBytes(file);
  const qm::TBitmap bitmap = jpeg.TakeBitmap();
  return bitmap.RowBytes() * static_cast<std::size_t>(bitmap.Height());
}

// ---- side-by-side timing ----

void SideBySide(benchmark::State& state, Kind kind) {
  const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  const Bytes& file = File(kind, width, height);
  double ours = 0, baseline = 0;
  for (auto _ : state) {
    const double t0 = ThreadSeconds();
    benchmark::DoNotOptimize(kind == Kind::kJpeg ? OurJpeg(file) : OurPng(file));
    const double t1 = ThreadSeconds();
    {
      // A fresh image for every decode, as ours makes a fresh bitmap.
      Bytes pixels;
      benchmark::DoNotOptimize(kind == Kind::kJpeg ? LibjpegDecode(file, pixels)
                                                   : LibpngDecode(file, pixels));
    }
    const double t2 = ThreadSeconds();
    ours += t1 - t0;
    baseline += t2 - t1;
    state.SetIterationTime(t1 - t0);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["ours_ms"] = ours / n * 1e3;
  state.counters["baseline_ms"] = baseline / n * 1e3;
  state.counters["ratio"] = ours / baseline;
  state.counters["file_KiB"] = static_cast<double>(file.size()) / 1024.0;
}

void Sizes(benchmark::internal::Benchmark* b) {
  b->Args({1920, 1080})->Args({3840, 2160})->UseManualTime()->Unit(benchmark::kMillisecond);
}

BENCHMARK_CAPTURE(SideBySide, PngRgb, Kind::kRgb)->Apply(Sizes);
BENCHMARK_CAPTURE(SideBySide, PngRgba, Kind::kRgba)->Apply(Sizes);
BENCHMARK_CAPTURE(SideBySide, PngPalette, Kind::kPalette)->Apply(Sizes);
BENCHMARK_CAPTURE(SideBySide, PngInterlaced, Kind::kInterlaced)->Apply(Sizes);
BENCHMARK_CAPTURE(SideBySide, Jpeg, Kind::kJpeg)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
