#include "player/x11/x_display.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <xcb/randr.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "player/player_window.h"

namespace qm {

void FreeDeleter::operator()(void* p) const {
  std::free(p);
}

namespace {

template <typename T>
XReply<T> Own(T* reply) {
  return XReply<T>(reply);
}

// The desktop's font resolution (the Xft.dpi resource) when it sets one; 0 otherwise.
int ResourceDotsPerInch(xcb_connection_t* c, xcb_window_t root) {
  auto reply = Own(xcb_get_property_reply(
      c, xcb_get_property(c, 0, root, XCB_ATOM_RESOURCE_MANAGER, XCB_ATOM_STRING, 0, 1 << 16),
      nullptr));
  if (!reply) return 0;
  const std::string resources(static_cast<const char*>(xcb_get_property_value(reply.get())),
                              static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
  const std::size_t at = resources.find("Xft.dpi:");
  if (at == std::string::npos) return 0;
  return static_cast<int>(std::lround(std::strtod(resources.c_str() + at + 8, nullptr)));
}

}  // namespace

XDisplay::XDisplay() {
  int screen_number = 0;
  connection_ = xcb_connect(nullptr, &screen_number);
  if (xcb_connection_has_error(connection_) != 0) {
    xcb_disconnect(connection_);
    connection_ = nullptr;
    return;
  }
  const xcb_setup_t* setup = xcb_get_setup(connection_);
  for (auto it = xcb_setup_roots_iterator(setup); it.rem > 0; xcb_screen_next(&it), --screen_number)
    if (screen_number == 0) screen_ = it.data;
  if (screen_ == nullptr) screen_ = xcb_setup_roots_iterator(setup).data;

  format_.depth = screen_->root_depth;
  format_.msb_first = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
  for (auto d = xcb_screen_allowed_depths_iterator(screen_); d.rem > 0; xcb_depth_next(&d)) {
    for (auto v = xcb_depth_visuals_iterator(d.data); v.rem > 0; xcb_visualtype_next(&v)) {
      if (v.data->visual_id != screen_->root_visual) continue;
      true_color_ = v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR;
      format_.red_mask = v.data->red_mask;
      format_.green_mask = v.data->green_mask;
      format_.blue_mask = v.data->blue_mask;
    }
  }
  const xcb_format_t* formats = xcb_setup_pixmap_formats(setup);
  for (int i = 0; i < xcb_setup_pixmap_formats_length(setup); ++i) {
    if (formats[i].depth != format_.depth) continue;
    format_.bits_per_pixel = formats[i].bits_per_pixel;
    format_.scanline_pad = formats[i].scanline_pad;
  }

  monitor_ = {0, 0, screen_->width_in_pixels, screen_->height_in_pixels};
  FindMonitor();
  dpi_ = ResourceDotsPerInch(connection_, screen_->root);
  if (dpi_ <= 0 && screen_->width_in_millimeters > 0)
    dpi_ = static_cast<int>(
        std::lround(screen_->width_in_pixels * 25.4 / screen_->width_in_millimeters));
  if (dpi_ < 48 || dpi_ > 480) dpi_ = 96;

  wake_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  protocols_ = Atom("WM_PROTOCOLS");
  delete_window_ = Atom("WM_DELETE_WINDOW");
  LoadKeyboardMapping();
}

XDisplay::~XDisplay() {
  pending_.clear();
  if (wake_fd_ >= 0) close(wake_fd_);
  if (connection_ != nullptr) xcb_disconnect(connection_);
}

void XDisplay::FindMonitor() {
  const xcb_query_extension_reply_t* randr = xcb_get_extension_data(connection_, &xcb_randr_id);
  if (randr == nullptr || !randr->present) return;
  auto version = Own(xcb_randr_query_version_reply(
      connection_, xcb_randr_query_version(connection_, 1, 5), nullptr));
  if (!version || (version->major_version == 1 && version->minor_version < 5)) return;
  auto monitors = Own(xcb_randr_get_monitors_reply(
      connection_, xcb_randr_get_monitors(connection_, screen_->root, 1), nullptr));
  if (!monitors) return;
  bool found = false;
  for (auto it = xcb_randr_get_monitors_monitors_iterator(monitors.get()); it.rem > 0;
       xcb_randr_monitor_info_next(&it)) {
    const xcb_randr_monitor_info_t& m = *it.data;
    if (m.width == 0 || m.height == 0) continue;
    if (!found || m.primary) monitor_ = {m.x, m.y, m.width, m.height};
    found = true;
    if (m.primary) break;
  }
}

xcb_atom_t XDisplay::Atom(const char* name) {
  auto reply = Own(xcb_intern_atom_reply(
      connection_, xcb_intern_atom(connection_, 0, static_cast<uint16_t>(std::strlen(name)), name),
      nullptr));
  return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

void XDisplay::PrepareTopLevel(xcb_window_t window, const std::string& title,
                               std::initializer_list<const char*> states) {
  xcb_connection_t* c = connection_;
  const auto length = static_cast<uint32_t>(title.size());
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                      length, title.data());
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, Atom("_NET_WM_NAME"), Atom("UTF8_STRING"),
                      8, length, title.data());
  static constexpr char kClass[] = "quenmora-player\0Quenmora";
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                      sizeof kClass, kClass);
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, protocols_, XCB_ATOM_ATOM, 32, 1,
                      &delete_window_);
  // WM_HINTS: the window takes keyboard input (window managers that follow the hint never
  // focus a window without it) and starts in the normal state.
  const uint32_t hints[9] = {1 | 2, 1, 1, 0, 0, 0, 0, 0, 0};
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32, 9,
                      hints);
  const uint32_t pid = static_cast<uint32_t>(getpid());
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, Atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32,
                      1, &pid);
  std::vector<xcb_atom_t> atoms;
  for (const char* state : states) atoms.push_back(Atom(state));
  if (!atoms.empty())
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, Atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(atoms.size()), atoms.data());
}

void XDisplay::Activate(xcb_window_t window) {
  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = window;
  message.type = Atom("_NET_ACTIVE_WINDOW");
  message.data.data32[0] = 1;  // the request comes from an application
  message.data.data32[1] = XCB_CURRENT_TIME;
  xcb_send_event(connection_, 0, screen_->root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&message));
  xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
  xcb_flush(connection_);
}

bool XDisplay::IsDeleteRequest(const xcb_client_message_event_t& message) {
  return message.type == protocols_ && message.format == 32 &&
         message.data.data32[0] == delete_window_;
}

void XDisplay::LoadKeyboardMapping() {
  const xcb_setup_t* setup = xcb_get_setup(connection_);
  min_keycode_ = setup->min_keycode;
  const int count = setup->max_keycode - setup->min_keycode + 1;
  auto reply = Own(xcb_get_keyboard_mapping_reply(
      connection_,
      xcb_get_keyboard_mapping(connection_, setup->min_keycode, static_cast<uint8_t>(count)),
      nullptr));
  keysyms_.clear();
  symbols_per_keycode_ = 0;
  if (!reply) return;
  symbols_per_keycode_ = reply->keysyms_per_keycode;
  const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply.get());
  keysyms_.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(reply.get()));
}

uint32_t XDisplay::KeySymbol(xcb_keycode_t keycode) {
  if (symbols_per_keycode_ <= 0 || keycode < min_keycode_) return 0;
  const std::size_t at = static_cast<std::size_t>(keycode - min_keycode_) *
                         static_cast<std::size_t>(symbols_per_keycode_);
  return at < keysyms_.size() ? keysyms_[at] : 0;
}

void XDisplay::PushBack(XReply<xcb_generic_event_t> event) {
  pending_.push_front(std::move(event));
}

void XDisplay::Wake() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = write(wake_fd_, &one, sizeof one);
}

XReply<xcb_generic_event_t> XDisplay::NextEvent(int64_t deadline_ns, bool* woken) {
  *woken = false;
  if (!pending_.empty()) {
    XReply<xcb_generic_event_t> event = std::move(pending_.front());
    pending_.pop_front();
    return event;
  }
  for (;;) {
    if (Lost()) return nullptr;
    XReply<xcb_generic_event_t> event(xcb_poll_for_event(connection_));
    if (event) {
      if ((event->response_type & 0x7F) == XCB_MAPPING_NOTIFY) {
        const auto* mapping = reinterpret_cast<const xcb_mapping_notify_event_t*>(event.get());
        if (mapping->request == XCB_MAPPING_KEYBOARD) LoadKeyboardMapping();
        continue;
      }
      return event;
    }
    if (xcb_flush(connection_) <= 0) return nullptr;
    pollfd fds[2] = {{xcb_get_file_descriptor(connection_), POLLIN, 0}, {wake_fd_, POLLIN, 0}};
    timespec limit{};
    if (deadline_ns >= 0) {
      const int64_t left = std::max<int64_t>(0, deadline_ns - MonotonicNanoseconds());
      limit.tv_sec = static_cast<time_t>(left / 1'000'000'000);
      limit.tv_nsec = static_cast<long>(left % 1'000'000'000);
    }
    const int ready = ppoll(fds, 2, deadline_ns >= 0 ? &limit : nullptr, nullptr);
    if (ready < 0 && errno == EINTR) {
      // A signal: the caller looks at what it asks for.
      *woken = true;
      return nullptr;
    }
    if (fds[1].revents & POLLIN) {
      uint64_t count = 0;
      [[maybe_unused]] const ssize_t n = read(wake_fd_, &count, sizeof count);
      *woken = true;
      return nullptr;
    }
    if (ready == 0) return nullptr;
  }
}

}  // namespace qm
