#include "imaging/apng_writer.h"

#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "imaging/byte_stream.h"
#include "imaging/imaging_messages.h"
#include "imaging/png_encoding.h"
#include "platform/exception.h"

namespace qm {

namespace {

constexpr uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
constexpr uint8_t kDisposeNone = 0, kBlendSource = 0;

void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

// Length, name, data and the checksum over name and data.
void AppendChunk(std::vector<uint8_t>& out, const char (&name)[5], const uint8_t* data,
                 std::size_t size) {
  PutBigEndian32(out, static_cast<uint32_t>(size));
  out.insert(out.end(), name, name + 4);
  if (size > 0) out.insert(out.end(), data, data + size);
  PutBigEndian32(out, ChunkCrc(name, data, size));
}

// The pixels as red, green, blue bytes, row after row.
void ToRgb(const TBitmap& frame, std::vector<uint8_t>& rgb) {
  const std::size_t row = static_cast<std::size_t>(frame.Width()) * 3;
  rgb.resize(row * frame.Height());
  for (int y = 0; y < frame.Height(); ++y) RowToRgb(frame, y, &rgb[row * y]);
}

struct Box {
  int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
};

// The smallest box holding every pixel in which `a` and `b` (rgb, width x height) differ; a
// single pixel when they are equal, since a frame cannot be empty.
Box ChangedBox(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int width,
               int height) {
  const std::size_t row = static_cast<std::size_t>(width) * 3;
  auto row_differs = [&](int y) { return std::memcmp(&a[row * y], &b[row * y], row) != 0; };
  int top = 0;
  while (top < height && !row_differs(top)) ++top;
  if (top == height) return {0, 0, 1, 1};
  int bottom = height;
  while (!row_differs(bottom - 1)) --bottom;
  int left = width, right = 0;
  for (int y = top; y < bottom; ++y) {
    const uint8_t* pa = &a[row * y];
    const uint8_t* pb = &b[row * y];
    int x = 0;
    while (x < left && std::memcmp(pa + 3 * x, pb + 3 * x, 3) == 0) ++x;
    left = x;
    x = width;
    while (x > right && std::memcmp(pa + 3 * (x - 1), pb + 3 * (x - 1), 3) == 0) --x;
    right = x;
  }
  return {left, top, right, bottom};
}

// The box of `rgb` as PNG image data: the rows filtered, then compressed.
std::vector<uint8_t> CompressBox(const std::vector<uint8_t>& rgb, int width, const Box& box) {
  const std::size_t n = static_cast<std::size_t>(box.right - box.left) * 3;
  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  const int rows = box.bottom - box.top;
  std::vector<uint8_t> raw((n + 1) * rows), trial(n + 1), zero(n, 0);
  for (int r = 0; r < rows; ++r) {
    const uint8_t* row = &rgb[stride * (box.top + r) + 3 * box.left];
    FilterRow(row, r > 0 ? row - stride : zero.data(), n, &raw[(n + 1) * r], trial);
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(size);
  if (compress2(packed.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 6) != Z_OK)
    throw EOutOfMemory(msg::kOutOfMemory);
  packed.resize(size);
  return packed;
}

}  // namespace

ApngEncoder::ApngEncoder(int width, int height, uint32_t plays)
    : width_(width), height_(height), plays_(plays) {}

void ApngEncoder::AddFrame(const TBitmap& frame, uint16_t delay_ms) {
  if (frame.Width() != width_ || frame.Height() != height_ || frame.Empty())
    throw EInvalidGraphic("an animation frame of " + std::to_string(frame.Width()) + "x" +
                          std::to_string(frame.Height()) + " in an animation of " +
                          std::to_string(width_) + "x" + std::to_string(height_));
  ToRgb(frame, current_);
  const Box box =
      frames_ == 0 ? Box{0, 0, width_, height_} : ChangedBox(previous_, current_, width_, height_);
  std::vector<uint8_t> control;
  PutBigEndian32(control, sequence_++);
  PutBigEndian32(control, static_cast<uint32_t>(box.right - box.left));
  PutBigEndian32(control, static_cast<uint32_t>(box.bottom - box.top));
  PutBigEndian32(control, static_cast<uint32_t>(box.left));
  PutBigEndian32(control, static_cast<uint32_t>(box.top));
  Put16(control, delay_ms);
  Put16(control, 1000);
  control.push_back(kDisposeNone);
  control.push_back(kBlendSource);
  AppendChunk(chunks_, "fcTL", control.data(), control.size());

  const std::vector<uint8_t> packed = CompressBox(current_, width_, box);
  // Image data in chunks of at most 1 MiB; fdAT chunks begin with their sequence number.
  constexpr std::size_t kChunk = 1 << 20;
  for (std::size_t at = 0; at < packed.size(); at += kChunk) {
    const std::size_t size = std::min(kChunk, packed.size() - at);
    if (frames_ == 0) {
      AppendChunk(chunks_, "IDAT", packed.data() + at, size);
    } else {
      std::vector<uint8_t> data;
      data.reserve(size + 4);
      PutBigEndian32(data, sequence_++);
      data.insert(data.end(), packed.begin() + at, packed.begin() + at + size);
      AppendChunk(chunks_, "fdAT", data.data(), data.size());
    }
  }
  previous_.swap(current_);
  ++frames_;
}

std::vector<uint8_t> ApngEncoder::Finish() const {
  if (frames_ == 0) throw EInvalidGraphic("an animation needs at least one frame");
  std::vector<uint8_t> out(kSignature, kSignature + 8);
  std::vector<uint8_t> header;
  PutBigEndian32(header, static_cast<uint32_t>(width_));
  PutBigEndian32(header, static_cast<uint32_t>(height_));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, not interlaced
  AppendChunk(out, "IHDR", header.data(), header.size());
  std::vector<uint8_t> animation;
  PutBigEndian32(animation, static_cast<uint32_t>(frames_));
  PutBigEndian32(animation, plays_);
  AppendChunk(out, "acTL", animation.data(), animation.size());
  out.insert(out.end(), chunks_.begin(), chunks_.end());
  AppendChunk(out, "IEND", nullptr, 0);
  return out;
}

void WriteBytesToFile(const std::vector<uint8_t>& bytes, const std::string& path) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!file)
    throw EFCreateError(
        FormatMessage(msg::kFileCreateError, FullFileName(path).c_str(), std::strerror(errno)));
  if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
      std::fflush(file.get()) != 0 || std::fclose(file.release()) != 0)
    throw EWriteError("Cannot write " + path + ": " + std::strerror(errno));
}

}  // namespace qm
