// quenmora-screenshot OUT.png: saves what the X display shows (the whole screen of $DISPLAY).
// Used by the demo on machines without a display and by the end-to-end tests.
#include <xcb/xcb.h>

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "imaging/png_writer.h"
#include "platform/bitmap.h"

namespace {

// One channel of a pixel under `mask`, widened to 8 bits.
uint8_t Channel(uint32_t pixel, uint32_t mask) {
  if (mask == 0) return 0;
  const int bits = std::popcount(mask);
  uint32_t value = (pixel & mask) >> std::countr_zero(mask);
  value = bits >= 8 ? value >> (bits - 8)
                    : (value << (8 - bits)) | (value >> (2 * bits - 8 > 0 ? 2 * bits - 8 : 0));
  return static_cast<uint8_t>(value);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: quenmora-screenshot OUT.png\n");
    return 2;
  }
  int screenNumber = 0;
  xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
  if (xcb_connection_has_error(c) != 0) {
    std::fprintf(stderr, "quenmora-screenshot: cannot open the display\n");
    return 1;
  }
  auto it = xcb_setup_roots_iterator(xcb_get_setup(c));
  for (; screenNumber > 0 && it.rem > 1; --screenNumber) xcb_screen_next(&it);
  const xcb_screen_t& screen = *it.data;
  uint32_t masks[3] = {0xFF0000, 0xFF00, 0xFF};
  for (auto d = xcb_screen_allowed_depths_iterator(&screen); d.rem > 0; xcb_depth_next(&d))
    for (auto v = xcb_depth_visuals_iterator(d.data); v.rem > 0; xcb_visualtype_next(&v))
      if (v.data->visual_id == screen.root_visual)
        masks[0] = v.data->red_mask, masks[1] = v.data->green_mask, masks[2] = v.data->blue_mask;
  const int w = screen.width_in_pixels, h = screen.height_in_pixels;
  qm::TBitmap shot(w, h, qm::PixelFormat::pf24bit);
  // Row by row, with the server held for us alone meanwhile, so that no client draws between
  // two rows: the picture is of one moment.
  xcb_grab_server(c);
  for (int y = 0; y < h; ++y) {
    xcb_get_image_reply_t* reply = xcb_get_image_reply(
        c,
        xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, screen.root, 0, static_cast<int16_t>(y),
                      static_cast<uint16_t>(w), 1, ~0u),
        nullptr);
    if (reply == nullptr) {
      std::fprintf(stderr, "quenmora-screenshot: cannot capture the screen\n");
      return 1;
    }
    const uint8_t* data = xcb_get_image_data(reply);
    const int bytes = xcb_get_image_data_length(reply) / w;
    uint8_t* row = shot.ScanLine(y);
    for (int x = 0; x < w; ++x, data += bytes) {
      uint32_t pixel = 0;
      for (int b = bytes - 1; b >= 0; --b) pixel = (pixel << 8) | data[b];
      row[3 * x] = Channel(pixel, masks[2]);
      row[3 * x + 1] = Channel(pixel, masks[1]);
      row[3 * x + 2] = Channel(pixel, masks[0]);
    }
    std::free(reply);
  }
  xcb_ungrab_server(c);
  xcb_disconnect(c);
  try {
    qm::WritePng24(shot, argv[1]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quenmora-screenshot: %s\n", e.what());
    return 1;
  }
  return 0;
}
