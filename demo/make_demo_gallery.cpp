// Paints the demo gallery: a handful of pictures of our own in every format the player shows
// (JPEG in colour and in grey, PNG in colour and with a palette, BMP), and a captions file in
// UTF-8.
//   quenmora-demo-gallery DIR [WIDTHxHEIGHT]
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <exception>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

// libjpeg's header needs size_t and FILE declared before it.
#include <jpeglib.h>

#include "imaging/png_encoding.h"
#include "imaging/png_writer.h"
#include "platform/byte_order.h"

namespace {

int kW = 1280, kH = 720;  // the pictures' size, 1280 x 720 unless asked otherwise

struct Rgb {
  double r = 0, g = 0, b = 0;
};

// A picture in red, green, blue doubles, painted with coverage (anti-aliased edges) and alpha.
struct Canvas {
  std::vector<Rgb> pixels = std::vector<Rgb>(static_cast<std::size_t>(kW) * kH);
  Rgb& At(int x, int y) { return pixels[static_cast<std::size_t>(y) * kW + x]; }
  void Blend(int x, int y, const Rgb& c, double alpha) {
    if (x < 0 || y < 0 || x >= kW || y >= kH || alpha <= 0) return;
    Rgb& p = At(x, y);
    alpha = std::min(alpha, 1.0);
    p = {p.r + (c.r - p.r) * alpha, p.g + (c.g - p.g) * alpha, p.b + (c.b - p.b) * alpha};
  }
  // A disc of radius r around (cx, cy), its colour (and opacity) by the distance from the centre.
  void Disc(double cx, double cy, double r,
            const std::function<std::pair<Rgb, double>(double)>& paint) {
    for (int y = std::max(0, int(cy - r - 1)); y <= std::min(kH - 1, int(cy + r + 1)); ++y)
      for (int x = std::max(0, int(cx - r - 1)); x <= std::min(kW - 1, int(cx + r + 1)); ++x) {
        const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
        const double cover = std::clamp(r + 0.5 - d, 0.0, 1.0);
        if (cover <= 0) continue;
        const auto [colour, alpha] = paint(d / r);
        Blend(x, y, colour, cover * alpha);
      }
  }
  void Disc(double cx, double cy, double r, const Rgb& c, double alpha = 1) {
    Disc(cx, cy, r, [&](double) { return std::make_pair(c, alpha); });
  }
  void Box(double x0, double y0, double x1, double y1, const Rgb& c, double alpha = 1) {
    for (int y = std::max(0, int(y0)); y < std::min(kH, int(std::ceil(y1))); ++y)
      for (int x = std::max(0, int(x0)); x < std::min(kW, int(std::ceil(x1))); ++x)
        Blend(x, y, c, alpha);
  }
};

Rgb Mix(const Rgb& a, const Rgb& b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// The colour at `t` (0..1) of a gradient through `stops` (position, colour).
Rgb Gradient(const std::vector<std::pair<double, Rgb>>& stops, double t) {
  if (t <= stops.front().first) return stops.front().second;
  for (std::size_t i = 1; i < stops.size(); ++i)
    if (t <= stops[i].first)
      return Mix(stops[i - 1].second, stops[i].second,
                 (t - stops[i - 1].first) / (stops[i].first - stops[i - 1].first));
  return stops.back().second;
}

// A picture filled with a vertical gradient through `stops`.
Canvas Sky(const std::vector<std::pair<double, Rgb>>& stops) {
  Canvas c;
  for (int y = 0; y < kH; ++y) {
    const Rgb colour = Gradient(stops, (y + 0.5) / kH);
    std::fill_n(&c.At(0, y), kW, colour);
  }
  return c;
}

Canvas Sunrise() {
  Canvas c = Sky({{0, {20, 30, 80}}, {0.55, {240, 130, 60}}, {1, {250, 210, 120}}});
  const std::vector<std::pair<double, Rgb>> sun = {
      {0, {255, 250, 210}}, {0.5, {255, 200, 90}}, {1, {255, 160, 60}}};
  c.Disc(kW * 0.62, kH * 0.62, 140,
         [&](double t) { return std::make_pair(Gradient(sun, t), 1 - t * t); });
  c.Box(0, kH * 0.68, kW, kH, {30, 60, 90});
  for (int k = 0; k < 40; ++k) {  // glitter on the water
    const double x = kW * 0.62 - 120 + (k * 37) % 240, y = kH * 0.70 + k * 5;
    c.Box(x, y, x + 30 + (k * 13) % 60, y + 2, {255, 220, 150}, 140 / 255.0);
  }
  return c;
}

Canvas Mountains() {
  Canvas c = Sky({{0, {90, 140, 210}}, {1, {230, 240, 250}}});
  const Rgb layers[3] = {{120, 130, 160}, {70, 90, 110}, {40, 70, 50}};
  for (int layer = 0; layer < 3; ++layer) {
    for (int x = 0; x < kW; ++x) {
      const double ridge = kH * (0.35 + 0.18 * layer) + 70 * std::sin(x * 0.006 + layer * 2.1) +
                           40 * std::sin(x * 0.017 + layer);
      for (int y = std::max(0, int(ridge)); y < kH; ++y)
        c.Blend(x, y, layers[layer], std::clamp(y + 1 - ridge, 0.0, 1.0));
    }
  }
  return c;
}

Canvas Lake() {
  Canvas c;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const double v = std::sin(x * 0.02 + std::sin(y * 0.03) * 2) * 0.5 + 0.5;
      const double w = std::cos(y * 0.015 + x * 0.004) * 0.5 + 0.5;
      c.At(x, y) = {std::floor(20 + 60 * v), std::floor(90 + 100 * w),
                    std::floor(140 + 100 * v * w)};
    }
  return c;
}

Canvas Pattern() {
  Canvas c;
  c.Box(0, 0, kW, kH, {250, 245, 230});
  const Rgb colours[5] = {
      {200, 40, 60}, {240, 170, 30}, {40, 120, 180}, {60, 160, 90}, {120, 60, 150}};
  for (int k = 0; k < 60; ++k)
    c.Disc((k * 211) % kW, (k * 137) % kH, 30 + (k * 17) % 70, colours[k % 5]);
  return c;
}

Canvas Night() {
  Canvas c = Sky({{0, {5, 5, 25}}, {1, {30, 30, 70}}});
  for (int k = 0; k < 300; ++k)
    c.Disc((k * 7919) % kW, (k * 104729) % (kH * 2 / 3), 0.8 + (k % 3) * 0.6, {255, 255, 230},
           (100 + (k * 53) % 155) / 255.0);
  c.Disc(kW * 0.2, kH * 0.25, 60, {250, 250, 220});
  c.Disc(kW * 0.2 + 28, kH * 0.25 - 12, 55, {5, 5, 25});
  return c;
}

uint8_t Byte(double v) {
  return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

qm::TBitmap ToBitmap(Canvas& c) {
  qm::TBitmap b(kW, kH, qm::PixelFormat::pf24bit);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const Rgb& p = c.At(x, y);
      uint8_t* q = b.ScanLine(y) + 3 * x;
      q[0] = Byte(p.b), q[1] = Byte(p.g), q[2] = Byte(p.r);
    }
  return b;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& data) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  return std::fclose(f) == 0 && ok;
}

bool WriteBmp(Canvas& c, const std::string& path) {
  const qm::TBitmap b = ToBitmap(c);
  const uint32_t row = static_cast<uint32_t>(b.RowBytes()), size = 54 + row * kH;
  std::vector<uint8_t> out;
  auto put = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  out = {'B', 'M'};
  put(size, 4), put(0, 4), put(54, 4);
  put(40, 4), put(kW, 4), put(kH, 4), put(1, 2), put(24, 2), put(0, 4), put(row * kH, 4);
  put(2835, 4), put(2835, 4), put(0, 4), put(0, 4);
  for (int y = kH - 1; y >= 0; --y) out.insert(out.end(), b.ScanLine(y), b.ScanLine(y) + row);
  return WriteFile(path, out);
}

bool WriteJpeg(Canvas& c, const std::string& path, bool grey) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, f);
  cinfo.image_width = static_cast<JDIMENSION>(kW);
  cinfo.image_height = static_cast<JDIMENSION>(kH);
  cinfo.input_components = grey ? 1 : 3;
  cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<uint8_t> row(static_cast<std::size_t>(kW) * 3);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      const Rgb& p = c.At(x, y);
      if (grey)
        row[x] = Byte(0.299 * p.r + 0.587 * p.g + 0.114 * p.b);
      else
        row[3 * x] = Byte(p.r), row[3 * x + 1] = Byte(p.g), row[3 * x + 2] = Byte(p.b);
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return std::fclose(f) == 0;
}

// A palette PNG: the colours quantised to a cube of 6 reds, 7 greens and 6 blues.
bool WritePalettePng(Canvas& c, const std::string& path) {
  std::vector<uint8_t> raw;
  for (int y = 0; y < kH; ++y) {
    raw.push_back(0);
    for (int x = 0; x < kW; ++x) {
      const Rgb& p = c.At(x, y);
      raw.push_back(static_cast<uint8_t>(std::lround(p.r * 5 / 255) * 42 +
                                         std::lround(p.g * 6 / 255) * 6 +
                                         std::lround(p.b * 5 / 255)));
    }
  }
  uLongf packed = compressBound(raw.size());
  std::vector<uint8_t> idat(packed);
  if (compress2(idat.data(), &packed, raw.data(), raw.size(), 9) != Z_OK) return false;
  idat.resize(packed);
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto chunk = [&](const char* name, const std::vector<uint8_t>& data) {
    qm::AppendBigEndian32(out, static_cast<uint32_t>(data.size()));
    out.insert(out.end(), name, name + 4);
    out.insert(out.end(), data.begin(), data.end());
    qm::AppendBigEndian32(out, qm::ChunkCrc(name, data.data(), data.size()));
  };
  std::vector<uint8_t> header;
  qm::AppendBigEndian32(header, static_cast<uint32_t>(kW));
  qm::AppendBigEndian32(header, static_cast<uint32_t>(kH));
  header.insert(header.end(), {8, 3, 0, 0, 0});
  std::vector<uint8_t> palette;
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 7; ++g)
      for (int b = 0; b < 6; ++b)
        palette.insert(palette.end(), {Byte(r * 51.0), Byte(g * 42.5), Byte(b * 51.0)});
  chunk("IHDR", header);
  chunk("PLTE", palette);
  chunk("IDAT", idat);
  chunk("IEND", {});
  return WriteFile(path, out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3 ||
      (argc == 3 && (std::sscanf(argv[2], "%dx%d", &kW, &kH) != 2 || kW < 64 || kH < 64 ||
                     kW > 16384 || kH > 16384))) {
    std::fprintf(stderr, "usage: quenmora-demo-gallery DIR [WIDTHxHEIGHT]\n");
    return 2;
  }
  const std::string dir = argv[1];
  mkdir(dir.c_str(), 0777);
  struct Picture {
    const char* file;
    Canvas (*paint)();
    bool (*write)(Canvas&, const std::string&);
    const char* caption;  // UTF-8; the tool stores it in Windows-1252
  } pictures[] = {
      {"sonnenaufgang.jpg", Sunrise,
       [](Canvas& c, const std::string& p) { return WriteJpeg(c, p, false); },
       "Sonnenaufgang über dem Großen Müggelsee"},
      {"bergwelt.bmp", Mountains, WriteBmp, "Bergwelt: Grüße von der Zugspitze"},
      {"see.png", Lake,
       [](Canvas& c, const std::string& p) {
         try {
           qm::WritePng24(ToBitmap(c), p);
           return true;
         } catch (const std::exception&) {
           return false;
         }
       },
       "Wellen auf dem Königssee – gemalt von Quenmora"},
      {"muster.png", Pattern, WritePalettePng, "Ein Muster mit 252 Farben, straßenbahnbunt"},
      {"nacht.jpg", Night, [](Canvas& c, const std::string& p) { return WriteJpeg(c, p, true); },
       "Nachtstück in Graustufen: Mond über Köln"},
  };
  std::string captions;
  for (const Picture& pic : pictures) {
    Canvas canvas = pic.paint();
    const std::string path = dir + "/" + pic.file;
    if (!pic.write(canvas, path)) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
    captions += std::string(pic.caption) + "\n";
    std::printf("%s\n", path.c_str());
  }
  if (!WriteFile(dir + "/captions.txt", std::vector<uint8_t>(captions.begin(), captions.end()))) {
    std::fprintf(stderr, "cannot write %s/captions.txt\n", dir.c_str());
    return 1;
  }
  return 0;
}
