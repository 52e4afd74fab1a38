// quenmora-screenshot OUT.png|OUT.bmp: saves what the X display shows (the whole screen of
// $DISPLAY) as a PNG file, or as an uncompressed BMP file when the name ends in ".bmp". Used by
// the demo on machines without a display and by the end-to-end tests (BMP: quick to write and
// to read, also in instrumented builds).
#include <xcb/xcb.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

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

// A bottom-up BMP file of 24 bits per pixel: the file header, the information header, the rows.
void WriteBmp24(const qm::TBitmap& shot, const std::string& path) {
  const auto row_bytes = static_cast<uint32_t>(shot.RowBytes());
  const uint32_t image_bytes = row_bytes * static_cast<uint32_t>(shot.Height());
  std::vector<uint8_t> header;
  auto put = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) header.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  header = {'B', 'M'};
  put(54 + image_bytes, 4), put(0, 4), put(54, 4);
  put(40, 4), put(static_cast<uint32_t>(shot.Width()), 4),
      put(static_cast<uint32_t>(shot.Height()), 4);
  put(1, 2), put(24, 2), put(0, 4), put(image_bytes, 4), put(2835, 4), put(2835, 4), put(0, 4),
      put(0, 4);
  FILE* f = std::fopen(path.c_str(), "wb");
  bool ok = f != nullptr && std::fwrite(header.data(), 1, header.size(), f) == header.size();
  for (int y = shot.Height() - 1; ok && y >= 0; --y)
    ok = std::fwrite(shot.ScanLine(y), 1, row_bytes, f) == row_bytes;
  if (f != nullptr && std::fclose(f) != 0) ok = false;
  if (!ok) throw std::runtime_error("cannot write " + path);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: quenmora-screenshot OUT.png\n");
    return 2;
  }
  int screen_number = 0;
  xcb_connection_t* c = xcb_connect(nullptr, &screen_number);
  if (xcb_connection_has_error(c) != 0) {
    std::fprintf(stderr, "quenmora-screenshot: cannot open the display\n");
    return 1;
  }
  auto it = xcb_setup_roots_iterator(xcb_get_setup(c));
  for (; screen_number > 0 && it.rem > 1; --screen_number) xcb_screen_next(&it);
  const xcb_screen_t& screen = *it.data;
  uint32_t masks[3] = {0xFF0000, 0xFF00, 0xFF};
  for (auto d = xcb_screen_allowed_depths_iterator(&screen); d.rem > 0; xcb_depth_next(&d))
    for (auto v = xcb_depth_visuals_iterator(d.data); v.rem > 0; xcb_visualtype_next(&v))
      if (v.data->visual_id == screen.root_visual)
        masks[0] = v.data->red_mask, masks[1] = v.data->green_mask, masks[2] = v.data->blue_mask;
  const int w = screen.width_in_pixels, h = screen.height_in_pixels;
  qm::TBitmap shot(w, h, qm::PixelFormat::pf24bit);
  int bytes = 4;  // per pixel, from the screen's pixmap format
  const xcb_setup_t* setup = xcb_get_setup(c);
  for (int i = 0; i < xcb_setup_pixmap_formats_length(setup); ++i)
    if (xcb_setup_pixmap_formats(setup)[i].depth == screen.root_depth)
      bytes = xcb_setup_pixmap_formats(setup)[i].bits_per_pixel / 8;
  // In bands of rows, all asked for before the first answer is read, with the server held for
  // us alone meanwhile, so that no client draws between two bands: the picture is of one moment.
  constexpr int kBand = 32;
  xcb_grab_server(c);
  std::vector<xcb_get_image_cookie_t> cookies;
  for (int y = 0; y < h; y += kBand)
    cookies.push_back(xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, screen.root, 0,
                                    static_cast<int16_t>(y), static_cast<uint16_t>(w),
                                    static_cast<uint16_t>(std::min(kBand, h - y)), ~0u));
  for (int band = 0; band < static_cast<int>(cookies.size()); ++band) {
    xcb_get_image_reply_t* reply = xcb_get_image_reply(c, cookies[band], nullptr);
    if (reply == nullptr) {
      std::fprintf(stderr, "quenmora-screenshot: cannot capture the screen\n");
      return 1;
    }
    const int rows = std::min(kBand, h - band * kBand);
    const int stride = xcb_get_image_data_length(reply) / rows;
    for (int r = 0; r < rows; ++r) {
      const uint8_t* data = xcb_get_image_data(reply) + static_cast<std::ptrdiff_t>(r) * stride;
      uint8_t* row = shot.ScanLine(band * kBand + r);
      for (int x = 0; x < w; ++x, data += bytes) {
        uint32_t pixel = 0;
        for (int b = bytes - 1; b >= 0; --b) pixel = (pixel << 8) | data[b];
        row[3 * x] = Channel(pixel, masks[2]);
        row[3 * x + 1] = Channel(pixel, masks[1]);
        row[3 * x + 2] = Channel(pixel, masks[0]);
      }
    }
    std::free(reply);
  }
  xcb_ungrab_server(c);
  xcb_disconnect(c);
  const std::string out = argv[1];
  try {
    if (out.size() > 4 && out.compare(out.size() - 4, 4, ".bmp") == 0) {
      WriteBmp24(shot, out);
    } else {
      qm::WritePng24(shot, out);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quenmora-screenshot: %s\n", e.what());
    return 1;
  }
  return 0;
}
