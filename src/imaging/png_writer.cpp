#include "imaging/png_writer.h"

#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "imaging/byte_stream.h"
#include "imaging/imaging_messages.h"
#include "imaging/packed_pixels.h"
#include "platform/exception.h"

namespace qm {

namespace {

void PutBigEndian32(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 24));
  out.push_back(static_cast<uint8_t>(v >> 16));
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

void PutChunk(std::vector<uint8_t>& out, const char* name, const uint8_t* data, std::size_t size) {
  PutBigEndian32(out, static_cast<uint32_t>(size));
  const std::size_t start = out.size();
  out.insert(out.end(), name, name + 4);
  if (size > 0) out.insert(out.end(), data, data + size);
  PutBigEndian32(out, static_cast<uint32_t>(crc32_z(0L, out.data() + start, size + 4)));
}

// Row y of the bitmap as red, green, blue bytes.
void RowToRgb(const TBitmap& bitmap, int y, uint8_t* rgb) {
  const uint8_t* src = bitmap.ScanLine(y);
  const int width = bitmap.Width(), bits = bitmap.BitsPerPixel();
  const auto& palette = bitmap.Palette();
  for (int x = 0; x < width; ++x, rgb += 3) {
    if (bits <= 8) {
      const unsigned index = GetPackedSample(src, static_cast<uint32_t>(x), bits);
      const TRGBQuad c = index < palette.size() ? palette[index] : TRGBQuad{};
      rgb[0] = c.rgbRed;
      rgb[1] = c.rgbGreen;
      rgb[2] = c.rgbBlue;
    } else {
      const uint8_t* p = src + static_cast<std::size_t>(x) * (bits / 8);
      rgb[0] = p[2];
      rgb[1] = p[1];
      rgb[2] = p[0];
    }
  }
}

uint8_t PaethPredict(int a, int b, int c) {
  const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
  if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
  return static_cast<uint8_t>(pb <= pc ? b : c);
}

// Filters `row` against `prev` with each of the five filters and keeps the one whose bytes,
// taken as signed, have the smallest sum of magnitudes.
void FilterRow(const uint8_t* row, const uint8_t* prev, std::size_t n, uint8_t* out,
               std::vector<uint8_t>& trial) {
  uint64_t best_sum = UINT64_MAX;
  for (uint8_t type = 0; type <= 4; ++type) {
    trial[0] = type;
    uint64_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const int a = i >= 3 ? row[i - 3] : 0, b = prev[i], c = i >= 3 ? prev[i - 3] : 0;
      int predicted = 0;
      switch (type) {
        case 1:
          predicted = a;
          break;
        case 2:
          predicted = b;
          break;
        case 3:
          predicted = (a + b) >> 1;
          break;
        case 4:
          predicted = PaethPredict(a, b, c);
          break;
      }
      const uint8_t v = static_cast<uint8_t>(row[i] - predicted);
      trial[i + 1] = v;
      sum += v < 128 ? v : 256 - v;
    }
    if (sum < best_sum) {
      best_sum = sum;
      std::memcpy(out, trial.data(), n + 1);
    }
  }
}

}  // namespace

std::vector<uint8_t> EncodePng24(const TBitmap& bitmap) {
  const int width = bitmap.Width(), height = bitmap.Height();
  const std::size_t row_bytes = static_cast<std::size_t>(width) * 3;
  std::vector<uint8_t> raw((row_bytes + 1) * static_cast<std::size_t>(height));
  std::vector<uint8_t> row(row_bytes), prev(row_bytes, 0), trial(row_bytes + 1);
  for (int y = 0; y < height; ++y) {
    RowToRgb(bitmap, y, row.data());
    FilterRow(row.data(), prev.data(), row_bytes, &raw[(row_bytes + 1) * y], trial);
    row.swap(prev);
  }
  uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packed_size);
  if (compress2(packed.data(), &packed_size, raw.data(), static_cast<uLong>(raw.size()), 6) != Z_OK)
    throw EOutOfMemory(msg::kOutOfMemory);
  packed.resize(packed_size);

  std::vector<uint8_t> out = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
  std::vector<uint8_t> header;
  PutBigEndian32(header, static_cast<uint32_t>(width));
  PutBigEndian32(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});
  PutChunk(out, "IHDR", header.data(), header.size());
  // Image data in chunks of at most 1 MiB.
  constexpr std::size_t kChunk = 1 << 20;
  for (std::size_t at = 0; at < packed.size(); at += kChunk)
    PutChunk(out, "IDAT", packed.data() + at, std::min(kChunk, packed.size() - at));
  PutChunk(out, "IEND", nullptr, 0);
  return out;
}

void WritePng24(const TBitmap& bitmap, const std::string& path) {
  const std::vector<uint8_t> bytes = EncodePng24(bitmap);
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!file)
    throw EFCreateError(
        FormatMessage(msg::kFileCreateError, FullFileName(path).c_str(), std::strerror(errno)));
  if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
      std::fflush(file.get()) != 0)
    throw EWriteError(msg::kStreamWriteError);
}

}  // namespace qm
