#include "imaging/apng_writer.h"

#include <cstring>
#include <string>

#include "platform/byte_order.h"
#include "platform/exception.h"

namespace qm {

namespace {

constexpr uint8_t kDisposeNone = 0, kBlendSource = 0;

void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
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

}  // namespace

ApngEncoder::ApngEncoder(ByteSink& out, int width, int height, uint32_t frames, uint32_t plays)
    : out_(out), width_(width), height_(height), frames_(frames) {
  if (frames == 0) throw EInvalidGraphic("an animation needs at least one frame");
  WritePngSignature(out_);
  WriteRgbHeader(out_, width, height);
  std::vector<uint8_t> animation;
  AppendBigEndian32(animation, frames);
  AppendBigEndian32(animation, plays);
  WriteChunk(out_, "acTL", animation.data(), animation.size());
}

void ApngEncoder::AddFrame(const TBitmap& frame, uint16_t delay_ms) {
  if (frame.Width() != width_ || frame.Height() != height_ || frame.Empty())
    throw EInvalidGraphic("an animation frame of " + std::to_string(frame.Width()) + "x" +
                          std::to_string(frame.Height()) + " in an animation of " +
                          std::to_string(width_) + "x" + std::to_string(height_));
  if (added_ == frames_)
    throw EInvalidGraphic("more frames than the " + std::to_string(frames_) + " declared");
  ToRgb(frame, current_);
  const Box box =
      added_ == 0 ? Box{0, 0, width_, height_} : ChangedBox(previous_, current_, width_, height_);
  std::vector<uint8_t> control;
  AppendBigEndian32(control, sequence_++);
  AppendBigEndian32(control, static_cast<uint32_t>(box.right - box.left));
  AppendBigEndian32(control, static_cast<uint32_t>(box.bottom - box.top));
  AppendBigEndian32(control, static_cast<uint32_t>(box.left));
  AppendBigEndian32(control, static_cast<uint32_t>(box.top));
  Put16(control, delay_ms);
  Put16(control, 1000);
  control.push_back(kDisposeNone);
  control.push_back(kBlendSource);
  WriteChunk(out_, "fcTL", control.data(), control.size());

  // The first frame's data is the default image (IDAT); the others' go in fdAT chunks.
  const std::size_t stride = static_cast<std::size_t>(width_) * 3;
  DeflatedImageData data(out_, static_cast<std::size_t>(box.right - box.left) * 3,
                         added_ == 0 ? nullptr : &sequence_);
  for (int y = box.top; y < box.bottom; ++y) data.AddRow(&current_[stride * y + 3 * box.left]);
  data.Finish();
  previous_.swap(current_);
  ++added_;
}

void ApngEncoder::Finish() {
  if (added_ != frames_)
    throw EInvalidGraphic("an animation of " + std::to_string(added_) + " frames declared " +
                          std::to_string(frames_));
  WriteChunk(out_, "IEND", nullptr, 0);
}

}  // namespace qm
