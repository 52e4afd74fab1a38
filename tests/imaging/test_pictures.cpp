#include "tests/imaging/test_pictures.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

extern "C" {
#include <jpeglib.h>
}

#include "platform/byte_order.h"

namespace qm::test {

// ---- PNG ----

int PngImage::Channels() const {
  switch (color_type) {
    case 2:
      return 3;
    case 4:
      return 2;
    case 6:
      return 4;
    default:
      return 1;
  }
}

namespace {

uint32_t NextRandom(uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return state >> 8;
}

uint8_t PaethPredictor(int a, int b, int c) {
  const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
  return static_cast<uint8_t>(pb <= pc ? b : c);
}

// Packs one row of samples: depths below 8 fill bytes from the high bits, 16 bits big-endian.
Bytes PackRow(const PngImage& img, uint32_t y, uint32_t x0, uint32_t dx) {
  Bytes row;
  const int ch = img.Channels(), d = img.bit_depth;
  unsigned acc = 0;
  int used = 0;
  for (uint32_t x = x0; x < img.width; x += dx) {
    for (int c = 0; c < ch; ++c) {
      const uint16_t v = img.samples[(static_cast<std::size_t>(y) * img.width + x) * ch + c];
      if (d == 16) {
        row.push_back(static_cast<uint8_t>(v >> 8));
        row.push_back(static_cast<uint8_t>(v));
      } else if (d == 8) {
        row.push_back(static_cast<uint8_t>(v));
      } else {
        acc = (acc << d) | (v & ((1u << d) - 1));
        used += d;
        if (used == 8) {
          row.push_back(static_cast<uint8_t>(acc));
          acc = 0;
          used = 0;
        }
      }
    }
  }
  if (used > 0) row.push_back(static_cast<uint8_t>(acc << (8 - used)));
  return row;
}

void FilterInto(Bytes& out, const Bytes& row, const Bytes& prev, int type, std::size_t dist) {
  out.push_back(static_cast<uint8_t>(type));
  for (std::size_t i = 0; i < row.size(); ++i) {
    const int a = i >= dist ? row[i - dist] : 0, b = prev[i], c = i >= dist ? prev[i - dist] : 0;
    int pred = 0;
    switch (type) {
      case 1:
        pred = a;
        break;
      case 2:
        pred = b;
        break;
      case 3:
        pred = (a + b) / 2;
        break;
      case 4:
        pred = PaethPredictor(a, b, c);
        break;
    }
    out.push_back(static_cast<uint8_t>(row[i] - pred));
  }
}

}  // namespace

Bytes PngImage::FilteredData() const {
  struct Pass {
    uint32_t x0, y0, dx, dy;
  };
  const std::vector<Pass> passes =
      interlace ? std::vector<Pass>{{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                    {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}
                : std::vector<Pass>{{0, 0, 1, 1}};
  const std::size_t dist = std::max(1, Channels() * bit_depth / 8);
  Bytes out;
  int row_number = 0;
  for (const Pass& p : passes) {
    if (p.x0 >= width || p.y0 >= height) continue;
    Bytes prev;
    for (uint32_t y = p.y0; y < height; y += p.dy) {
      const Bytes row = PackRow(*this, y, p.x0, p.dx);
      if (prev.empty()) prev.assign(row.size(), 0);
      if (filter == kAdaptiveFilter) {
        Bytes best;
        long best_sum = -1;
        for (int type = 0; type <= 4; ++type) {
          Bytes trial;
          FilterInto(trial, row, prev, type, dist);
          long sum = 0;
          for (std::size_t i = 1; i < trial.size(); ++i)
            sum += trial[i] < 128 ? trial[i] : 256 - trial[i];
          if (best_sum < 0 || sum < best_sum) {
            best_sum = sum;
            best = std::move(trial);
          }
        }
        out.insert(out.end(), best.begin(), best.end());
      } else {
        const int type = filter >= 0 ? filter : row_number % 5;
        FilterInto(out, row, prev, type > 4 ? 0 : type, dist);
        if (type > 4) out[out.size() - row.size() - 1] = static_cast<uint8_t>(type);
      }
      prev = row;
      ++row_number;
    }
  }
  return out;
}

Bytes PngImage::Compressed() const {
  const Bytes raw = FilteredData();
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  Bytes out(size);
  if (compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 6) != Z_OK)
    throw std::runtime_error("compress2 failed");
  out.resize(size);
  return out;
}

PngImage RandomPngImage(uint32_t width, uint32_t height, int color_type, int bit_depth,
                        uint32_t seed) {
  PngImage img;
  img.width = width;
  img.height = height;
  img.color_type = color_type;
  img.bit_depth = bit_depth;
  img.samples.resize(static_cast<std::size_t>(width) * height * img.Channels());
  const uint32_t max = bit_depth == 16 ? 65535 : (1u << bit_depth) - 1;
  uint32_t state = seed;
  for (auto& s : img.samples) s = static_cast<uint16_t>(NextRandom(state) % (max + 1));
  return img;
}

Bytes BigEndian32(uint32_t v) {
  Bytes b(4);
  StoreBigEndian32(b.data(), v);
  return b;
}

PngChunk IhdrChunk(uint32_t width, uint32_t height, int bit_depth, int color_type, int interlace,
                   int compression, int filter) {
  Bytes d = BigEndian32(width);
  const Bytes h = BigEndian32(height);
  d.insert(d.end(), h.begin(), h.end());
  d.push_back(static_cast<uint8_t>(bit_depth));
  d.push_back(static_cast<uint8_t>(color_type));
  d.push_back(static_cast<uint8_t>(compression));
  d.push_back(static_cast<uint8_t>(filter));
  d.push_back(static_cast<uint8_t>(interlace));
  return {"IHDR", d};
}

PngChunk IhdrChunk(const PngImage& image) {
  return IhdrChunk(image.width, image.height, image.bit_depth, image.color_type, image.interlace);
}

std::vector<PngChunk> IdatChunks(const Bytes& compressed, int parts) {
  std::vector<PngChunk> chunks;
  const std::size_t step = (compressed.size() + parts - 1) / parts;
  for (int i = 0; i < parts; ++i) {
    const std::size_t a = std::min(compressed.size(), i * step);
    const std::size_t b = std::min(compressed.size(), a + step);
    chunks.push_back({"IDAT", Bytes(compressed.begin() + a, compressed.begin() + b)});
  }
  return chunks;
}

Bytes AssemblePng(const std::vector<PngChunk>& chunks, bool signature) {
  Bytes out;
  if (signature) out = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
  for (const PngChunk& c : chunks) {
    const Bytes len = BigEndian32(static_cast<uint32_t>(c.data.size()));
    out.insert(out.end(), len.begin(), len.end());
    const std::size_t start = out.size();
    out.insert(out.end(), c.name.begin(), c.name.end());
    out.insert(out.end(), c.data.begin(), c.data.end());
    uint32_t crc = static_cast<uint32_t>(crc32_z(0, out.data() + start, out.size() - start));
    if (c.bad_crc) crc ^= 1;
    const Bytes crcb = BigEndian32(crc);
    out.insert(out.end(), crcb.begin(), crcb.end());
  }
  return out;
}

Bytes MakePng(const PngImage& image, const Bytes& palette) {
  std::vector<PngChunk> chunks = {IhdrChunk(image)};
  if (!palette.empty()) chunks.push_back({"PLTE", palette});
  chunks.push_back({"IDAT", image.Compressed()});
  chunks.push_back({"IEND", {}});
  return AssemblePng(chunks);
}

// ---- BMP ----

// ---- JPEG ----

Bytes EncodeJpeg(const Bytes& samples, int width, int height, JpegKind kind) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &buffer, &size);
  c.image_width = static_cast<JDIMENSION>(width);
  c.image_height = static_cast<JDIMENSION>(height);
  const bool four =
      kind == JpegKind::kCmykAdobe || kind == JpegKind::kCmykPlain || kind == JpegKind::kYcck;
  c.input_components = kind == JpegKind::kGrey ? 1 : four ? 4 : 3;
  c.in_color_space = kind == JpegKind::kGrey ? JCS_GRAYSCALE : four ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 90, TRUE);
  if (kind == JpegKind::kProgressive) jpeg_simple_progression(&c);
  if (kind == JpegKind::kYcck) jpeg_set_colorspace(&c, JCS_YCCK);
  if (kind == JpegKind::kCmykPlain) c.write_Adobe_marker = FALSE;
  jpeg_start_compress(&c, TRUE);
  const std::size_t stride = static_cast<std::size_t>(width) * c.input_components;
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(samples.data() + c.next_scanline * stride);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  Bytes out(buffer, buffer + size);
  jpeg_destroy_compress(&c);
  std::free(buffer);
  return out;
}

Bytes ReferenceJpegDecode(const Bytes& jpeg, int* width, int* height, bool grey) {
  jpeg_decompress_struct d{};
  jpeg_error_mgr err{};
  d.err = jpeg_std_error(&err);
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&d, TRUE);
  d.out_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_start_decompress(&d);
  *width = static_cast<int>(d.output_width);
  *height = static_cast<int>(d.output_height);
  const std::size_t stride = std::size_t{d.output_width} * d.output_components;
  Bytes out(stride * d.output_height);
  while (d.output_scanline < d.output_height) {
    JSAMPROW row = out.data() + d.output_scanline * stride;
    jpeg_read_scanlines(&d, &row, 1);
  }
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
  return out;
}

// ---- bitmaps ----

Bytes BitmapRgb(const TBitmap& bitmap) {
  Bytes out;
  out.reserve(static_cast<std::size_t>(bitmap.Width()) * bitmap.Height() * 3);
  const int bits = bitmap.BitsPerPixel();
  for (int y = 0; y < bitmap.Height(); ++y) {
    const uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < bitmap.Width(); ++x) {
      if (bits <= 8) {
        const int per = 8 / bits;
        const unsigned idx = (row[x / per] >> ((per - 1 - x % per) * bits)) & ((1u << bits) - 1);
        const TRGBQuad q = idx < bitmap.Palette().size() ? bitmap.Palette()[idx] : TRGBQuad{};
        out.insert(out.end(), {q.rgbRed, q.rgbGreen, q.rgbBlue});
      } else {
        const uint8_t* p = row + static_cast<std::size_t>(x) * (bits / 8);
        out.insert(out.end(), {p[2], p[1], p[0]});
      }
    }
  }
  return out;
}

Bytes PhotoLikeRgb(int width, int height, uint32_t seed) {
  Bytes out(static_cast<std::size_t>(width) * height * 3);
  uint32_t state = seed;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double fx = static_cast<double>(x) / width, fy = static_cast<double>(y) / height;
      const double base[3] = {128 + 90 * std::sin(6.0 * fx + 2.0 * fy) * std::cos(3.0 * fy),
                              128 + 80 * std::sin(4.0 * fy + 1.5) * std::cos(5.0 * fx * fy + 0.5),
                              110 + 100 * std::cos(7.0 * (fx - 0.4) * (fy - 0.6) + 1.0)};
      for (int c = 0; c < 3; ++c) {
        const int noise = static_cast<int>(NextRandom(state) % 13) - 6;
        const int v = static_cast<int>(base[c]) + noise;
        out[(static_cast<std::size_t>(y) * width + x) * 3 + c] =
            static_cast<uint8_t>(v < 0     ? 0
                                 : v > 255 ? 255
                                           : v);
      }
    }
  }
  return out;
}

}  // namespace qm::test
