#include "imaging/png_encoding.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>

#include "imaging/packed_pixels.h"
#include "platform/byte_order.h"
#include "platform/exception.h"
#include "platform/messages.h"

namespace qm {

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

namespace {

uint8_t PaethPredict(int a, int b, int c) {
  const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
  if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
  return static_cast<uint8_t>(pb <= pc ? b : c);
}

}  // namespace

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

uint32_t ChunkCrc(const char* name, const uint8_t* data, std::size_t size) {
  uLong crc = crc32_z(0L, reinterpret_cast<const Bytef*>(name), 4);
  if (size > 0) crc = crc32_z(crc, data, size);
  return static_cast<uint32_t>(crc);
}

void WritePngSignature(ByteSink& out) {
  static constexpr uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
  out.Write(kSignature, sizeof kSignature);
}

void WriteChunk(ByteSink& out, const char* name, const uint8_t* data, std::size_t size) {
  std::vector<uint8_t> head;
  AppendBigEndian32(head, static_cast<uint32_t>(size));
  head.insert(head.end(), name, name + 4);
  out.Write(head.data(), head.size());
  if (size > 0) out.Write(data, size);
  std::vector<uint8_t> tail;
  AppendBigEndian32(tail, ChunkCrc(name, data, size));
  out.Write(tail.data(), tail.size());
}

void WriteRgbHeader(ByteSink& out, int width, int height) {
  std::vector<uint8_t> header;
  AppendBigEndian32(header, static_cast<uint32_t>(width));
  AppendBigEndian32(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, adaptive, none
  WriteChunk(out, "IHDR", header.data(), header.size());
}

namespace {
constexpr std::size_t kImageChunkBytes = 64 * 1024;
}

DeflatedImageData::DeflatedImageData(ByteSink& out, std::size_t row_bytes, uint32_t* sequence)
    : out_(out),
      sequence_(sequence),
      prefix_(sequence ? 4 : 0),
      previous_(row_bytes, 0),
      filtered_(row_bytes + 1),
      trial_(row_bytes + 1),
      chunk_(prefix_ + kImageChunkBytes) {
  if (deflateInit(&z_, 6) != Z_OK) throw EOutOfMemory(msg::kOutOfMemory);
}

DeflatedImageData::~DeflatedImageData() {
  deflateEnd(&z_);
}

void DeflatedImageData::AddRow(const uint8_t* rgb) {
  FilterRow(rgb, previous_.data(), previous_.size(), filtered_.data(), trial_);
  std::memcpy(previous_.data(), rgb, previous_.size());
  Deflate(filtered_.data(), filtered_.size(), Z_NO_FLUSH);
}

void DeflatedImageData::Finish() {
  Deflate(nullptr, 0, Z_FINISH);
}

void DeflatedImageData::Deflate(const uint8_t* data, std::size_t size, int flush) {
  z_.next_in = const_cast<Bytef*>(data);
  z_.avail_in = static_cast<uInt>(size);
  for (;;) {
    z_.next_out = chunk_.data() + prefix_ + used_;
    z_.avail_out = static_cast<uInt>(kImageChunkBytes - used_);
    const int rc = deflate(&z_, flush);
    if (rc == Z_STREAM_ERROR) throw EOutOfMemory(msg::kOutOfMemory);
    used_ = kImageChunkBytes - z_.avail_out;
    if (used_ == kImageChunkBytes || (rc == Z_STREAM_END && used_ > 0)) WriteOut();
    if (flush == Z_FINISH ? rc == Z_STREAM_END : z_.avail_in == 0 && z_.avail_out != 0) return;
  }
}

void DeflatedImageData::WriteOut() {
  if (sequence_) {
    const uint32_t n = (*sequence_)++;
    for (int k = 0; k < 4; ++k) chunk_[k] = static_cast<uint8_t>(n >> (24 - 8 * k));
  }
  WriteChunk(out_, sequence_ ? "fdAT" : "IDAT", chunk_.data(), prefix_ + used_);
  used_ = 0;
}

}  // namespace qm
