#include "player/x11/x_message_box.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/canvas.h"
#include "player/player_window.h"
#include "player/text_renderer.h"
#include "player/x11/x_image.h"

namespace qm {

namespace {

constexpr TColor kFace = 0x00F0F0F0, kText = 0x00000000, kButtonFace = 0x00E1E1E1,
                 kButtonBorder = 0x00D77800, kIconRed = 0x002311E8, kWhite = 0x00FFFFFF;

void Fill(TBitmap& b, const TRect& r, TColor color) {
  TRect clipped;
  if (!IntersectRect(clipped, r, Rect(0, 0, b.Width(), b.Height()))) return;
  for (int y = clipped.Top; y < clipped.Bottom; ++y) {
    uint8_t* p = b.ScanLine(y) + static_cast<std::ptrdiff_t>(clipped.Left) * 4;
    for (int x = clipped.Left; x < clipped.Right; ++x, p += 4) {
      p[0] = static_cast<uint8_t>(color >> 16);
      p[1] = static_cast<uint8_t>(color >> 8);
      p[2] = static_cast<uint8_t>(color);
      p[3] = 0;
    }
  }
}

// The error icon: a red disc with a white cross, `size` pixels square at (left, top).
void DrawErrorIcon(TBitmap& b, int left, int top, int size) {
  const double r = size / 2.0, stroke = std::max(1.0, size / 14.0), arm = r * 0.42;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const double dx = x + 0.5 - r, dy = y + 0.5 - r;
      if (dx * dx + dy * dy > r * r) continue;
      const bool cross = (std::fabs(dx - dy) < stroke || std::fabs(dx + dy) < stroke) &&
                         std::fabs(dx) < arm && std::fabs(dy) < arm;
      Fill(b, Rect(left + x, top + y, left + x + 1, top + y + 1), cross ? kWhite : kIconRed);
    }
  }
}

struct BoxLayout {
  int scale100 = 100;  // the screen's resolution against 96 dots per inch, in percent
  int S(int pixels) const { return pixels * scale100 / 100; }
  std::vector<std::u32string> lines;
  int width = 0, height = 0, icon = 0, text_left = 0, text_top = 0;
  TRect button;
};

BoxLayout Lay(TextFont& font, const std::string& text, int dpi, int max_width) {
  BoxLayout l;
  l.scale100 = std::max(100, dpi * 100 / 96);
  l.icon = l.S(32);
  const int margin = l.S(16);
  const int wrap_width = std::max(l.S(200), max_width - l.icon - 3 * margin);
  l.lines = WrapText(Utf8ToUtf32(text), wrap_width, [&](char32_t c) { return font.Advance(c); });
  int text_width = 0;
  for (const auto& line : l.lines) text_width = std::max(text_width, font.TextWidth(line));
  const int text_height = static_cast<int>(l.lines.size()) * font.LineHeight();
  l.text_left = margin + l.icon + margin;
  const int body = std::max(l.icon, text_height);
  l.text_top = margin + (body - text_height) / 2;
  const int button_w = l.S(75), button_h = std::max(l.S(23), font.LineHeight() + l.S(8));
  l.width = std::max(l.text_left + text_width + margin, button_w + 2 * margin);
  l.height = margin + body + margin + button_h + l.S(12);
  const int bx = (l.width - button_w) / 2, by = margin + body + margin;
  l.button = Rect(bx, by, bx + button_w, by + button_h);
  return l;
}

void Paint(TBitmap& b, TextFont& font, const BoxLayout& l) {
  Fill(b, Rect(0, 0, b.Width(), b.Height()), kFace);
  DrawErrorIcon(b, l.S(16), l.S(16), l.icon);
  const TRect all = Rect(0, 0, b.Width(), b.Height());
  for (std::size_t i = 0; i < l.lines.size(); ++i)
    font.Draw(b, l.text_left, l.text_top + static_cast<int>(i) * font.LineHeight() + font.Ascent(),
              l.lines[i], kText, all);
  const int border = std::max(1, l.S(1));
  Fill(b, l.button, kButtonBorder);
  Fill(b,
       Rect(l.button.Left + border, l.button.Top + border, l.button.Right - border,
            l.button.Bottom - border),
       kButtonFace);
  const std::u32string ok = U"OK";
  const int tx = (l.button.Left + l.button.Right - font.TextWidth(ok)) / 2;
  const int ty = (l.button.Top + l.button.Bottom - font.LineHeight()) / 2 + font.Ascent();
  font.Draw(b, tx, ty, ok, kText, all);
}

bool Inside(const TRect& r, int x, int y) {
  return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
}

}  // namespace

void RunMessageBox(XDisplay& x, xcb_window_t owner, const std::string& title,
                   const std::string& text) {
  const int dpi = x.DotsPerInch();
  std::unique_ptr<TextFont> font =
      TextFont::Open({"sans-serif", (9 * dpi + 36) / 72, false, false, false, false});
  if (!font || x.Lost()) {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    return;
  }
  const xcb_rectangle_t& monitor = x.Monitor();
  const BoxLayout layout = Lay(*font, text, dpi, monitor.width * 3 / 4);
  TBitmap pixels(layout.width, layout.height, PixelFormat::pf32bit);
  Paint(pixels, *font, layout);

  xcb_connection_t* c = x.Connection();
  const xcb_window_t box = xcb_generate_id(c);
  const uint32_t values[] = {XCB_BACK_PIXMAP_NONE,
                             XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_KEY_PRESS |
                                 XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                 XCB_EVENT_MASK_STRUCTURE_NOTIFY};
  const int left = monitor.x + (monitor.width - layout.width) / 2;
  const int top = monitor.y + (monitor.height - layout.height) / 2;
  xcb_create_window(c, XCB_COPY_FROM_PARENT, box, x.Screen().root, static_cast<int16_t>(left),
                    static_cast<int16_t>(top), static_cast<uint16_t>(layout.width),
                    static_cast<uint16_t>(layout.height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    x.Visual(), XCB_CW_BACK_PIXMAP | XCB_CW_EVENT_MASK, values);
  x.PrepareTopLevel(box, title, {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_MODAL"});
  const xcb_atom_t dialog = x.Atom("_NET_WM_WINDOW_TYPE_DIALOG");
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, box, x.Atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM,
                      32, 1, &dialog);
  if (owner != 0)
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, box, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW,
                        32, 1, &owner);
  // A fixed size at a fixed place: the middle of the monitor.
  const uint32_t w = static_cast<uint32_t>(layout.width), h = static_cast<uint32_t>(layout.height);
  const uint32_t hints[18] = {1 | 2 | 4 | 8 | 16 | 32,
                              static_cast<uint32_t>(left),
                              static_cast<uint32_t>(top),
                              w,
                              h,
                              w,
                              h,
                              w,
                              h};
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, box, XCB_ATOM_WM_NORMAL_HINTS,
                      XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
  const xcb_gcontext_t gc = xcb_generate_id(c);
  const uint32_t gc_values[] = {0};
  xcb_create_gc(c, gc, box, XCB_GC_GRAPHICS_EXPOSURES, gc_values);
  XImageWriter writer(x, box, gc, layout.width, layout.height, false);
  xcb_map_window(c, box);
  xcb_flush(c);

  std::vector<XReply<xcb_generic_event_t>> later;
  bool wake = false, done = false;
  while (!done) {
    bool woken = false;
    XReply<xcb_generic_event_t> event = x.NextEvent(-1, &woken);
    wake |= woken;
    if (!event) {
      if (x.Lost()) return;
      continue;
    }
    const uint8_t type = event->response_type & 0x7F;
    switch (type) {
      case XCB_EXPOSE:
        if (reinterpret_cast<const xcb_expose_event_t*>(event.get())->window == box) {
          writer.Put(pixels, Rect(0, 0, layout.width, layout.height), 0, 0);
          continue;
        }
        break;
      case XCB_MAP_NOTIFY:
        if (reinterpret_cast<const xcb_map_notify_event_t*>(event.get())->window == box) {
          x.Activate(box);
          continue;
        }
        break;
      case XCB_KEY_PRESS: {
        const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event.get());
        const uint32_t sym = x.KeySymbol(key->detail);
        if (key->event == box &&
            (sym == kKeyReturn || sym == kKeyEnter || sym == kKeyEscape || sym == kKeySpace))
          done = true;
        continue;
      }
      case XCB_BUTTON_PRESS:
      case XCB_BUTTON_RELEASE: {
        const auto* button = reinterpret_cast<const xcb_button_release_event_t*>(event.get());
        if (type == XCB_BUTTON_RELEASE && button->event == box && button->detail == 1 &&
            Inside(layout.button, button->event_x, button->event_y))
          done = true;
        continue;
      }
      case XCB_CLIENT_MESSAGE: {
        const auto* message = reinterpret_cast<const xcb_client_message_event_t*>(event.get());
        if (message->window == box) {
          done = x.IsDeleteRequest(*message);
          continue;
        }
        break;
      }
      default:
        if (type == 0 || reinterpret_cast<const xcb_expose_event_t*>(event.get())->window == box)
          continue;  // errors, and the box's own structure events
        break;
    }
    later.push_back(std::move(event));
  }
  xcb_free_gc(c, gc);
  xcb_destroy_window(c, box);
  xcb_flush(c);
  for (auto it = later.rbegin(); it != later.rend(); ++it) x.PushBack(std::move(*it));
  if (wake) x.Wake();
}

bool ShowStandaloneMessageBox(const std::string& title, const std::string& text) {
  XDisplay x;
  std::string why;
  if (!x.Ok() || !Drawable(x.TrueColor(), x.Format(), &why)) {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    return false;
  }
  RunMessageBox(x, 0, title, text);
  return true;
}

}  // namespace qm
