// The presentation window on X11 (xcb).
#include <cstdio>
#include <memory>

#include "player/player_window.h"
#include "player/x11/x_display.h"
#include "player/x11/x_image.h"
#include "player/x11/x_message_box.h"

namespace qm {

namespace {

class XPlayerWindow final : public PlayerWindow {
 public:
  explicit XPlayerWindow(std::unique_ptr<XDisplay> display);
  ~XPlayerWindow() override;

  int Width() const override { return x_->Monitor().width; }
  int Height() const override { return x_->Monitor().height; }
  int DotsPerInch() const override { return x_->DotsPerInch(); }
  void Show() override;
  void Present(const TBitmap& pixels, const TRect& area, int x, int y) override {
    image_->Put(pixels, area, x, y);
  }
  WindowEvent WaitEvent(int64_t deadline_ns) override;
  void Wake() override { x_->Wake(); }
  void MessageBox(const std::string& title, const std::string& text) override {
    RunMessageBox(*x_, window_, title, text);
  }

 private:
  std::unique_ptr<XDisplay> x_;
  xcb_window_t window_ = 0;
  xcb_gcontext_t gc_ = 0;
  xcb_cursor_t cursor_ = 0;
  std::unique_ptr<XImageWriter> image_;
};

XPlayerWindow::XPlayerWindow(std::unique_ptr<XDisplay> display) : x_(std::move(display)) {
  xcb_connection_t* c = x_->Connection();
  const xcb_screen_t& screen = x_->Screen();
  const xcb_rectangle_t& monitor = x_->Monitor();

  // An invisible cursor: a 1 x 1 pixmap with an empty mask.
  const xcb_pixmap_t blank = xcb_generate_id(c);
  xcb_create_pixmap(c, 1, blank, screen.root, 1, 1);
  cursor_ = xcb_generate_id(c);
  xcb_create_cursor(c, cursor_, blank, blank, 0, 0, 0, 0, 0, 0, 0, 0);
  xcb_free_pixmap(c, blank);

  window_ = xcb_generate_id(c);
  // No background: the server leaves exposed parts alone and the player draws them at once.
  const uint32_t values[] = {
      XCB_BACK_PIXMAP_NONE,
      XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_STRUCTURE_NOTIFY,
      cursor_};
  xcb_create_window(c, XCB_COPY_FROM_PARENT, window_, screen.root, monitor.x, monitor.y,
                    monitor.width, monitor.height, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    screen.root_visual, XCB_CW_BACK_PIXMAP | XCB_CW_EVENT_MASK | XCB_CW_CURSOR,
                    values);
  x_->PrepareTopLevel(window_, "Quenmora",
                      {"_NET_WM_STATE_FULLSCREEN", "_NET_WM_STATE_ABOVE",
                       "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"});
  // No frame (window managers that read the Motif hints), and the place and size the window
  // asks for: the monitor, also where no window manager makes it full screen.
  const uint32_t motif[5] = {2, 0, 0, 0, 0};
  const xcb_atom_t motif_atom = x_->Atom("_MOTIF_WM_HINTS");
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window_, motif_atom, motif_atom, 32, 5, motif);
  uint32_t size_hints[18] = {1 | 2 | 4 | 8, static_cast<uint32_t>(monitor.x),
                             static_cast<uint32_t>(monitor.y), monitor.width, monitor.height};
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_NORMAL_HINTS,
                      XCB_ATOM_WM_SIZE_HINTS, 32, 18, size_hints);

  gc_ = xcb_generate_id(c);
  const uint32_t gc_values[] = {0};
  xcb_create_gc(c, gc_, window_, XCB_GC_GRAPHICS_EXPOSURES, gc_values);
  image_ = std::make_unique<XImageWriter>(*x_, window_, gc_, monitor.width, monitor.height, true);
}

XPlayerWindow::~XPlayerWindow() {
  image_.reset();
  if (!x_->Lost()) {
    xcb_connection_t* c = x_->Connection();
    xcb_free_gc(c, gc_);
    xcb_destroy_window(c, window_);
    xcb_free_cursor(c, cursor_);
    xcb_flush(c);
  }
}

void XPlayerWindow::Show() {
  xcb_map_window(x_->Connection(), window_);
  xcb_flush(x_->Connection());
}

WindowEvent XPlayerWindow::WaitEvent(int64_t deadline_ns) {
  for (;;) {
    bool woken = false;
    XReply<xcb_generic_event_t> event = x_->NextEvent(deadline_ns, &woken);
    if (!event) {
      if (x_->Lost()) return WindowEvent::kLost;
      return woken ? WindowEvent::kWake : WindowEvent::kTimeout;
    }
    switch (event->response_type & 0x7F) {
      case XCB_EXPOSE: {
        const auto* expose = reinterpret_cast<const xcb_expose_event_t*>(event.get());
        if (expose->window == window_ && expose->count == 0) return WindowEvent::kExpose;
        break;
      }
      case XCB_KEY_PRESS: {
        const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event.get());
        switch (x_->KeySymbol(key->detail)) {
          case kKeyEscape:
            return WindowEvent::kEscape;
          case kKeySpace:
            return WindowEvent::kSpace;
          case kKeyRight:
          case kKeyPageDown:
          case kKeyPadRight:
          case kKeyPadPageDown:
            return WindowEvent::kNext;
          case kKeyLeft:
          case kKeyPageUp:
          case kKeyPadLeft:
          case kKeyPadPageUp:
            return WindowEvent::kPrevious;
          case kKeyHome:
          case kKeyPadHome:
            return WindowEvent::kHome;
          default:
            break;
        }
        break;
      }
      case XCB_CLIENT_MESSAGE:
        if (x_->IsDeleteRequest(*reinterpret_cast<const xcb_client_message_event_t*>(event.get())))
          return WindowEvent::kClose;
        break;
      case XCB_MAP_NOTIFY:
        // Window managers give a window that skips the taskbar the focus only on request.
        if (reinterpret_cast<const xcb_map_notify_event_t*>(event.get())->window == window_)
          x_->Activate(window_);
        break;
      default:
        break;  // errors of requests that raced the window manager, and other events
    }
  }
}

}  // namespace

std::unique_ptr<PlayerWindow> OpenPlayerWindow(std::string* error, bool* no_display) {
  auto display = std::make_unique<XDisplay>();
  *no_display = !display->Ok();
  if (!display->Ok()) {
    *error = "Die Anzeige (X-Display) kann nicht geöffnet werden.";
    return nullptr;
  }
  if (!Drawable(display->TrueColor(), display->Format(), error)) return nullptr;
  return std::make_unique<XPlayerWindow>(std::move(display));
}

}  // namespace qm
