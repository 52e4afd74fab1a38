// Animated PNG (APNG) files: a sequence of frames of one size, each shown for its own delay. The
// first frame is also the file's default image, the one that viewers without animation show.
// Every later frame stores only the smallest rectangle in which it differs from the frame before
// it, drawn over that frame, so a transition that changes a strip per frame stays small.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/bitmap.h"

namespace qm {

class ApngEncoder {
 public:
  // `plays`: how many times viewers run the animation, 0 for endlessly.
  ApngEncoder(int width, int height, uint32_t plays = 0);

  // Adds a frame of the encoder's size (any format; palette bitmaps through their palette), to
  // be shown for `delay_ms` milliseconds. Throws EInvalidGraphic for a frame of another size.
  void AddFrame(const TBitmap& frame, uint16_t delay_ms);

  int FrameCount() const { return frames_; }

  // The whole file: signature, IHDR, acTL, then per frame fcTL and its image data (IDAT for the
  // first frame, fdAT for the others), IEND. Needs at least one frame.
  std::vector<uint8_t> Finish() const;

 private:
  int width_, height_;
  uint32_t plays_;
  int frames_ = 0;
  uint32_t sequence_ = 0;          // the next fcTL/fdAT sequence number
  std::vector<uint8_t> previous_;  // red, green, blue of the last frame added
  std::vector<uint8_t> current_;   // the frame being added, likewise
  std::vector<uint8_t> chunks_;    // fcTL, IDAT and fdAT chunks of the frames so far
};

// Writes `bytes` to `path`: throws EFCreateError when the file cannot be created and
// EWriteError, naming the system's reason, when writing fails.
void WriteBytesToFile(const std::vector<uint8_t>& bytes, const std::string& path);

}  // namespace qm
