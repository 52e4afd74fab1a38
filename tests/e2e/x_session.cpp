#include "x_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "imaging/slide_loader.h"

namespace qm::test {

namespace {

int RunCommand(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Starts a program with extra environment entries; `close_fd` (when not -1) is closed in it.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            int close_fd = -1, const std::string& stderr_path = "") {
  const pid_t pid = fork();
  if (pid == 0) {
    if (close_fd >= 0) close(close_fd);
    if (!stderr_path.empty()) {
      const int fd = open(stderr_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
      if (fd >= 0) dup2(fd, 2);
    }
    // "NAME=value" sets a variable, a bare "NAME" removes it.
    for (const std::string& e : env) {
      if (e.find('=') == std::string::npos)
        unsetenv(e.c_str());
      else
        putenv(const_cast<char*>(e.c_str()));
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  return pid;
}

// Reads one line from `fd` within `timeout`; empty when none came.
std::string ReadLine(int fd, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  std::string line;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return {};
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    char c = 0;
    if (read(fd, &c, 1) != 1) return {};
    if (c == '\n') return line;
    line += c;
  }
}

std::string Seconds(std::chrono::milliseconds timeout) {
  return std::to_string(std::max<long>(
      1, std::lround(static_cast<double>(timeout.count()) * TimeoutScale() / 1000.0)));
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t atom = reply != nullptr ? reply->atom : 0;
  std::free(reply);
  return atom;
}

// The first 32-bit value of a property of `type`; 0 when there is none.
uint32_t WindowProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property,
                        xcb_atom_t type) {
  xcb_get_property_reply_t* reply =
      xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, type, 0, 1), nullptr);
  uint32_t value = 0;
  if (reply != nullptr && xcb_get_property_value_length(reply) >= 4)
    value = *static_cast<const uint32_t*>(xcb_get_property_value(reply));
  std::free(reply);
  return value;
}

}  // namespace

XSession::XSession(int width, int height, const XSessionOptions& options) {
  int fds[2];
  if (pipe(fds) != 0) return;
  const std::string size =
      std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(options.depth);
  // -displayfd: the server takes a free display itself and writes its number when it accepts
  // connections; -noreset: it keeps running when its last client leaves.
  std::vector<std::string> argv = {"Xvfb",      "-displayfd", std::to_string(fds[1]),
                                   "-screen",   "0",          size,
                                   "-nolisten", "tcp",        "-noreset"};
  argv.insert(argv.end(), options.server_args.begin(), options.server_args.end());
  pid_ = Spawn(argv, {}, fds[0]);
  close(fds[1]);
  const std::string number =
      ReadLine(fds[0], std::chrono::milliseconds(std::lround(30000 * TimeoutScale())));
  close(fds[0]);
  if (!number.empty()) {
    display_ = ":" + number;
    connection_ = xcb_connect(display_.c_str(), nullptr);
    if (xcb_connection_has_error(connection_) != 0) {
      xcb_disconnect(connection_);
      connection_ = nullptr;
    }
  }
  if (Ok() && options.window_manager) {
    window_manager_ = Spawn({"openbox"}, {"DISPLAY=" + display_});
    // The window manager is at work once it manages a new window: it gives it WM_STATE. (It
    // names itself on the root window earlier, while a window mapped then may still be lost.)
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    const xcb_window_t probe = xcb_generate_id(connection_);
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, probe, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    const xcb_atom_t state = Atom(connection_, "WM_STATE");
    const bool managed = WaitFor(
        [&] {
          xcb_map_window(connection_, probe);
          return WindowProperty(connection_, probe, state, state) != 0;
        },
        std::chrono::seconds(30));
    xcb_destroy_window(connection_, probe);
    xcb_flush(connection_);
    if (!managed) {
      xcb_disconnect(connection_);
      connection_ = nullptr;
    }
  }
  if (!Ok() && pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
}

XSession::~XSession() {
  if (window_manager_ > 0) {
    kill(window_manager_, SIGTERM);
    waitpid(window_manager_, nullptr, 0);
  }
  if (connection_ != nullptr) xcb_disconnect(connection_);
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

uint32_t Shot::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= Width() || y >= Height()) return 0;
  const uint8_t* p = bitmap_.ScanLine(y) + 3 * x;
  return 0xFF000000u | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}

bool XSession::SaveScreenshot(const std::string& path) const {
  return RunCommand("DISPLAY=" + display_ + " timeout " + Seconds(std::chrono::seconds(30)) + " " +
                    QM_BIN_DIR + "/quenmora-screenshot " + path + " 2>/dev/null") == 0;
}

Shot XSession::Screenshot() const {
  char path[] = "/tmp/qm-e2e-shot-XXXXXX.bmp";
  const int fd = mkstemps(path, 4);
  if (fd < 0) return {};
  close(fd);
  Shot shot;
  try {
    if (SaveScreenshot(path))
      if (std::optional<TBitmap> image = LoadSlidePicture(path)) {
        image->ConvertTo(PixelFormat::pf24bit);
        shot = Shot(std::move(*image));
      }
  } catch (const std::exception&) {
  }
  unlink(path);
  return shot;
}

bool XSession::KeyTo(const std::string& title, const std::string& key) const {
  // search --sync waits until the window is there; windowfocus --sync until it has the focus.
  // The key then goes to the focused window as typed (a key that closes the window must not
  // be sent to it by name, which fails once it is gone).
  const std::string x = "DISPLAY=" + display_ + " timeout " + Seconds(std::chrono::seconds(30));
  return RunCommand(x + " xdotool search --sync --onlyvisible --name '^" + title +
                    "$' windowfocus --sync %1 >/dev/null 2>&1") == 0 &&
         RunCommand(x + " xdotool key " + key + " >/dev/null 2>&1") == 0;
}

bool XSession::WaitForWindow(const std::string& title) const {
  return RunCommand("DISPLAY=" + display_ + " timeout " + Seconds(std::chrono::seconds(30)) +
                    " xdotool search --sync --onlyvisible --name '^" + title +
                    "$' >/dev/null 2>&1") == 0;
}

bool XSession::Key(const std::string& key) const {
  return RunCommand("DISPLAY=" + display_ + " timeout " + Seconds(std::chrono::seconds(30)) +
                    " xdotool key " + key + " >/dev/null 2>&1") == 0;
}

bool XSession::ClickAt(int x, int y) const {
  return RunCommand("DISPLAY=" + display_ + " timeout " + Seconds(std::chrono::seconds(30)) +
                    " xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) +
                    " click 1 >/dev/null 2>&1") == 0;
}

bool XSession::CloseWindow(const std::string& title) const {
  // The window manager's request, as ICCCM has it: WM_PROTOCOLS with WM_DELETE_WINDOW.
  FILE* search = popen(("DISPLAY=" + display_ + " timeout " + Seconds(std::chrono::seconds(30)) +
                        " xdotool search --sync --onlyvisible --name '^" + title + "$'")
                           .c_str(),
                       "r");
  if (search == nullptr) return false;
  unsigned long id = 0;
  const bool found = std::fscanf(search, "%lu", &id) == 1;
  pclose(search);
  if (!found) return false;
  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = static_cast<xcb_window_t>(id);
  message.type = Atom(connection_, "WM_PROTOCOLS");
  message.data.data32[0] = Atom(connection_, "WM_DELETE_WINDOW");
  message.data.data32[1] = XCB_CURRENT_TIME;
  xcb_send_event(connection_, 0, message.window, 0, reinterpret_cast<const char*>(&message));
  return xcb_flush(connection_) > 0;
}

void XSession::KillServer() {
  if (connection_ != nullptr) xcb_disconnect(connection_);
  connection_ = nullptr;
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  pid_ = -1;
}

bool XSession::WindowExists(const std::string& title) const {
  return RunCommand("DISPLAY=" + display_ + " xdotool search --onlyvisible --name '^" + title +
                    "$' >/dev/null 2>&1") == 0;
}

Process::Process(const XSession& x, const std::vector<std::string>& argv, const std::string& tmpdir,
                 const ProcessOptions& options) {
  std::vector<std::string> env = {"DISPLAY=" + x.Display(), "TMPDIR=" + tmpdir,
                                  options.runtime_folder ? "XDG_RUNTIME_DIR=" + tmpdir + "-runtime"
                                                         : std::string("XDG_RUNTIME_DIR"),
                                  "ASAN_OPTIONS=detect_leaks=0"};
  env.insert(env.end(), options.env.begin(), options.env.end());
  pid_ = Spawn(argv, env, -1, options.stderr_path);
}

Process::~Process() {
  if (Running()) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

bool Process::Running() {
  if (status_ || pid_ <= 0) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
  }
  return true;
}

void Process::Signal(int sig) const {
  if (pid_ > 0) kill(pid_, sig);
}

std::optional<int> Process::WaitExit(std::chrono::milliseconds timeout) {
  WaitFor([&] { return !Running(); }, timeout);
  return status_;
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() +
                   std::chrono::milliseconds(std::lround(timeout.count() * TimeoutScale()));
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace qm::test
