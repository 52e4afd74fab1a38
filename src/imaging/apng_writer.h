// Animated PNG (APNG) files: a sequence of frames of one size, each shown for its own delay. The
// first frame is also the file's default image, the one that viewers without animation show.
// Every later frame stores only the smallest rectangle in which it differs from the frame before
// it, drawn over that frame, so a transition that changes a strip per frame stays small.
//
// The file is written as the frames come: the number of frames is declared at the start (the
// animation control chunk precedes them), and only the last frame and the one being added are
// held, whatever the animation's length.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/png_encoding.h"
#include "platform/bitmap.h"

namespace qm {

class ApngEncoder {
 public:
  // Writes the signature, the header and the animation control for `frames` frames (at least
  // one) to `out`. `plays`: how many times viewers run the animation, 0 for endlessly.
  ApngEncoder(ByteSink& out, int width, int height, uint32_t frames, uint32_t plays = 0);

  // Writes a frame of the encoder's size (any format; palette bitmaps through their palette),
  // to be shown for `delay_ms` milliseconds. Throws EInvalidGraphic for a frame of another size
  // or one more than declared.
  void AddFrame(const TBitmap& frame, uint16_t delay_ms);

  uint32_t FrameCount() const { return added_; }

  // Ends the file. Throws EInvalidGraphic when fewer frames were added than declared.
  void Finish();

 private:
  ByteSink& out_;
  int width_, height_;
  uint32_t frames_;
  uint32_t added_ = 0;
  uint32_t sequence_ = 0;          // the next fcTL/fdAT sequence number
  std::vector<uint8_t> previous_;  // red, green, blue of the last frame added
  std::vector<uint8_t> current_;   // the frame being added, likewise
};

}  // namespace qm
