// Pixels into an X drawable: through a shared memory segment when the server shares one with
// the player (a memfd first, System V shared memory second), else through PutImage requests cut
// into bands that fit the server's request length.
#pragma once

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <vector>

#include "platform/bitmap.h"
#include "platform/rect.h"
#include "player/x11/x_display.h"

namespace qm {

class XImageWriter {
 public:
  // For a drawable of `width` x `height` pixels with `gc`; `shared` allows shared memory.
  XImageWriter(XDisplay& x, xcb_drawable_t drawable, xcb_gcontext_t gc, int width, int height,
               bool shared);
  ~XImageWriter();
  XImageWriter(const XImageWriter&) = delete;
  XImageWriter& operator=(const XImageWriter&) = delete;

  // Copies `area` of the 32-bit `pixels` to the drawable, bitmap pixel (0, 0) at (x, y).
  void Put(const TBitmap& pixels, const TRect& area, int x, int y);
  bool Shared() const { return segment_ != 0; }

 private:
  bool AttachMemfd(std::size_t size);
  bool AttachSysV(std::size_t size);
  // Waits until the server has read the segment's last image, so it may be written again.
  void WaitForServer();

  XDisplay& x_;
  xcb_drawable_t drawable_;
  xcb_gcontext_t gc_;
  int width_, height_;
  std::size_t row_bytes_;
  xcb_shm_seg_t segment_ = 0;
  uint8_t* memory_ = nullptr;
  std::size_t memory_size_ = 0;
  bool sys_v_ = false;
  bool read_pending_ = false;
  xcb_get_input_focus_cookie_t read_cookie_{};
  std::vector<uint8_t> band_;
};

}  // namespace qm
