// The presentation window on Windows: a top-most pop-up tool window over the primary monitor,
// frames copied in with SetDIBitsToDevice, keys and paints from the window's messages, message
// boxes by MessageBoxW. The process is per-monitor DPI aware, so a high-density screen shows
// one picture pixel per screen pixel, and asks for a 1 ms timer resolution while the window
// exists, so that frames and ticks keep their times (the default resolution is 15.6 ms).
#include <chrono>
#include <deque>
#include <string>

#include "payload/run_files.h"
#include "platform/messages.h"
#include "platform/native_files.h"
#include "player/player_window.h"

// The system's headers come last: their macros (ERROR, RGN_AND, ...) would rename the drawing
// layer's own constants.
#include <windows.h>

#include <mmsystem.h>  // needs the types of windows.h
#undef MessageBox      // the window's own operation, not the system's macro

namespace qm {

namespace {

constexpr wchar_t kWindowClass[] = L"TfrmMain";

// Per-monitor DPI awareness where the system has it (Windows 10 1703 and later), else the
// whole-system awareness of older versions. Looked up at run time, so the player still starts
// on systems without the newer call.
void BecomeDpiAware() {
  using SetContext = BOOL(WINAPI*)(HANDLE);
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (user32 != nullptr) {
    if (auto set = reinterpret_cast<SetContext>(
            reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
        set != nullptr &&
        set(reinterpret_cast<HANDLE>(static_cast<intptr_t>(-4))))  // PER_MONITOR_AWARE_V2
      return;
  }
  SetProcessDPIAware();
}

class Win32PlayerWindow final : public PlayerWindow {
 public:
  Win32PlayerWindow() = default;
  ~Win32PlayerWindow() override;
  bool Create(std::string* error);

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  int DotsPerInch() const override { return dpi_; }
  void Show() override;
  void Present(const TBitmap& pixels, const TRect& area, int x, int y) override;
  WindowEvent WaitEvent(int64_t deadline_ns) override;
  void Wake() override { SetEvent(wake_); }
  void MessageBox(const std::string& title, const std::string& text) override {
    ::MessageBoxW(hwnd_, WideFromUtf8(text).c_str(), WideFromUtf8(title).c_str(),
                  MB_OK | MB_ICONERROR | MB_TOPMOST);
  }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);

  HWND hwnd_ = nullptr;
  HANDLE wake_ = nullptr;
  bool timer_period_set_ = false;
  int width_ = 0, height_ = 0, dpi_ = 96;
  std::deque<WindowEvent> pending_;
};

Win32PlayerWindow::~Win32PlayerWindow() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  if (wake_ != nullptr) CloseHandle(wake_);
  if (timer_period_set_) timeEndPeriod(1);
}

bool Win32PlayerWindow::Create(std::string* error) {
  timer_period_set_ = timeBeginPeriod(1) == TIMERR_NOERROR;
  wake_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &Win32PlayerWindow::WindowProc;
  wc.hInstance = instance;
  wc.hCursor = nullptr;  // no mouse cursor over the show
  wc.lpszClassName = kWindowClass;
  if (wake_ == nullptr || RegisterClassExW(&wc) == 0) {
    if (error) *error = "the window class cannot be registered";
    return false;
  }
  // The primary monitor in physical pixels (the process is DPI aware).
  width_ = GetSystemMetrics(SM_CXSCREEN);
  height_ = GetSystemMetrics(SM_CYSCREEN);
  if (const HDC screen = GetDC(nullptr); screen != nullptr) {
    dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
  // Top-most tool window (no taskbar button), no frame.
  hwnd_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kWindowClass,
                          WideFromUtf8(msg::kMainWindowCaption).c_str(), WS_POPUP, 0, 0, width_,
                          height_, nullptr, nullptr, instance, this);
  if (hwnd_ == nullptr) {
    if (error) *error = "the window cannot be created";
    return false;
  }
  return true;
}

void Win32PlayerWindow::Show() {
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  SetFocus(hwnd_);
}

void Win32PlayerWindow::Present(const TBitmap& pixels, const TRect& area, int x, int y) {
  const int w = area.Right - area.Left, h = area.Bottom - area.Top;
  if (w <= 0 || h <= 0 || pixels.Format() != PixelFormat::pf32bit) return;
  // The rows of the area as a top-down bitmap of their own; the columns by the source x.
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = pixels.Width();
  info.bmiHeader.biHeight = -h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  const HDC dc = GetDC(hwnd_);
  if (dc == nullptr) return;
  SetDIBitsToDevice(dc, x + area.Left, y + area.Top, static_cast<DWORD>(w), static_cast<DWORD>(h),
                    area.Left, 0, 0, static_cast<UINT>(h), pixels.ScanLine(area.Top), &info,
                    DIB_RGB_COLORS);
  ReleaseDC(hwnd_, dc);
}

WindowEvent Win32PlayerWindow::WaitEvent(int64_t deadline_ns) {
  for (;;) {
    MSG msg;
    while (pending_.empty() && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        pending_.push_back(WindowEvent::kClose);
        break;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (!pending_.empty()) {
      const WindowEvent event = pending_.front();
      pending_.pop_front();
      return event;
    }
    DWORD timeout = INFINITE;
    if (deadline_ns >= 0) {
      const int64_t left = deadline_ns - MonotonicNanoseconds();
      if (left <= 0)
        return WaitForSingleObject(wake_, 0) == WAIT_OBJECT_0 ? WindowEvent::kWake
                                                              : WindowEvent::kTimeout;
      // Whole milliseconds, rounded up: the wait never ends before the deadline.
      timeout = static_cast<DWORD>((left + 999'999) / 1'000'000);
    }
    const DWORD woke =
        MsgWaitForMultipleObjectsEx(1, &wake_, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woke == WAIT_OBJECT_0) return WindowEvent::kWake;
    // A message arrived, or the time ran out: look again.
  }
}

LRESULT CALLBACK Win32PlayerWindow::WindowProc(HWND hwnd, UINT message, WPARAM wparam,
                                               LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    auto* window = static_cast<Win32PlayerWindow*>(create->lpCreateParams);
    window->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
  }
  auto* self = reinterpret_cast<Win32PlayerWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self != nullptr && self->hwnd_ == hwnd) return self->Handle(message, wparam, lparam);
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

LRESULT Win32PlayerWindow::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd_, &ps);
      EndPaint(hwnd_, &ps);
      pending_.push_back(WindowEvent::kExpose);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // the player draws every pixel itself
    case WM_SETCURSOR:
      SetCursor(nullptr);
      return TRUE;
    case WM_KEYDOWN:
      if (wparam == VK_ESCAPE) pending_.push_back(WindowEvent::kEscape);
      return 0;
    case WM_CLOSE:
      pending_.push_back(WindowEvent::kClose);
      return 0;
    case WM_ENDSESSION:
      // The user logs off or the machine shuts down: Windows may end the process as soon as
      // this returns, before the show's own end would run. The run's temporary files go now,
      // and the show ends should the process live on.
      if (wparam) {
        RemoveRunFiles();
        pending_.push_back(WindowEvent::kClose);
      }
      return 0;
    default:
      return DefWindowProcW(hwnd_, message, wparam, lparam);
  }
}

}  // namespace

std::unique_ptr<PlayerWindow> OpenPlayerWindow(std::string* error, bool* no_display) {
  if (no_display) *no_display = false;
  BecomeDpiAware();
  auto window = std::make_unique<Win32PlayerWindow>();
  if (!window->Create(error)) return nullptr;
  return window;
}

bool ShowStandaloneMessageBox(const std::string& title, const std::string& text) {
  BecomeDpiAware();
  return MessageBoxW(nullptr, WideFromUtf8(text).c_str(), WideFromUtf8(title).c_str(),
                     MB_OK | MB_ICONERROR | MB_TOPMOST) != 0;
}

}  // namespace qm
