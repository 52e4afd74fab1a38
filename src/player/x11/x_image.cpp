#include "player/x11/x_image.h"

#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "platform/shared_rows.h"
#include "player/x11/screen_format.h"

namespace qm {

XImageWriter::XImageWriter(XDisplay& x, xcb_drawable_t drawable, xcb_gcontext_t gc, int width,
                           int height, bool shared)
    : x_(x),
      drawable_(drawable),
      gc_(gc),
      width_(width),
      height_(height),
      row_bytes_(x.Format().RowBytes(width)) {
  if (!shared || width <= 0 || height <= 0) return;
  const xcb_query_extension_reply_t* shm = xcb_get_extension_data(x.Connection(), &xcb_shm_id);
  if (shm == nullptr || !shm->present) return;
  XReply<xcb_shm_query_version_reply_t> version(
      xcb_shm_query_version_reply(x.Connection(), xcb_shm_query_version(x.Connection()), nullptr));
  if (!version) return;
  const std::size_t size = row_bytes_ * static_cast<std::size_t>(height);
  const bool fd_passing =
      version->major_version > 1 || (version->major_version == 1 && version->minor_version >= 2);
  if ((fd_passing && AttachMemfd(size)) || AttachSysV(size)) memory_size_ = size;
}

XImageWriter::~XImageWriter() {
  if (segment_ != 0 && !x_.Lost()) {
    WaitForServer();
    xcb_shm_detach(x_.Connection(), segment_);
    xcb_flush(x_.Connection());
  }
  if (memory_ != nullptr && memory_size_ != 0) {
    if (sys_v_)
      shmdt(memory_);
    else
      munmap(memory_, memory_size_);
  }
}

bool XImageWriter::AttachMemfd(std::size_t size) {
  const int fd = memfd_create("quenmora-frame", MFD_CLOEXEC);
  if (fd < 0) return false;
  void* memory = MAP_FAILED;
  if (ftruncate(fd, static_cast<off_t>(size)) == 0)
    memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (memory == MAP_FAILED) {
    close(fd);
    return false;
  }
  const xcb_shm_seg_t segment = xcb_generate_id(x_.Connection());
  // The request carries the descriptor and closes it once sent.
  XReply<xcb_generic_error_t> error(xcb_request_check(
      x_.Connection(), xcb_shm_attach_fd_checked(x_.Connection(), segment, fd, 0)));
  if (error || x_.Lost()) {
    munmap(memory, size);
    return false;
  }
  segment_ = segment;
  memory_ = static_cast<uint8_t*>(memory);
  return true;
}

bool XImageWriter::AttachSysV(std::size_t size) {
  const int id = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
  if (id < 0) return false;
  void* memory = shmat(id, nullptr, 0);
  if (memory == reinterpret_cast<void*>(-1)) {
    shmctl(id, IPC_RMID, nullptr);
    return false;
  }
  const xcb_shm_seg_t segment = xcb_generate_id(x_.Connection());
  XReply<xcb_generic_error_t> error(xcb_request_check(
      x_.Connection(),
      xcb_shm_attach_checked(x_.Connection(), segment, static_cast<uint32_t>(id), 0)));
  // Marked for removal at once: the segment goes when the last of the two detaches, also when
  // the player ends abruptly.
  shmctl(id, IPC_RMID, nullptr);
  if (error || x_.Lost()) {
    shmdt(memory);
    return false;
  }
  segment_ = segment;
  memory_ = static_cast<uint8_t*>(memory);
  sys_v_ = true;
  return true;
}

void XImageWriter::WaitForServer() {
  if (!read_pending_) return;
  read_pending_ = false;
  std::free(xcb_get_input_focus_reply(x_.Connection(), read_cookie_, nullptr));
}

void XImageWriter::Put(const TBitmap& pixels, const TRect& area, int x, int y) {
  if (pixels.Format() != PixelFormat::pf32bit || x_.Lost()) return;
  // The part of `area` inside the bitmap whose target lies inside the drawable.
  TRect source;
  if (!IntersectRect(source, area, Rect(0, 0, pixels.Width(), pixels.Height()))) return;
  if (!IntersectRect(source, source, Rect(-x, -y, width_ - x, height_ - y))) return;
  const int w = source.Right - source.Left, h = source.Bottom - source.Top;
  const int dx = source.Left + x, dy = source.Top + y;
  xcb_connection_t* c = x_.Connection();
  const ScreenFormat& format = x_.Format();
  const std::size_t pixel_bytes = static_cast<std::size_t>(format.bits_per_pixel / 8);
  if (segment_ != 0) {
    WaitForServer();
    // A whole frame is tens of megabytes at 4K: converted by two threads, past the caches.
    auto convert = [&](int first, int last) {
      for (int row = first; row < last; ++row)
        ConvertRowUncached(
            pixels.ScanLine(source.Top + row) + static_cast<std::ptrdiff_t>(source.Left) * 4, w,
            memory_ + static_cast<std::size_t>(dy + row) * row_bytes_ +
                static_cast<std::size_t>(dx) * pixel_bytes,
            format);
      FinishUncachedRows();
    };
    RunRowPass(w, h, convert);
    xcb_shm_put_image(
        c, drawable_, gc_, static_cast<uint16_t>(width_), static_cast<uint16_t>(height_),
        static_cast<uint16_t>(dx), static_cast<uint16_t>(dy), static_cast<uint16_t>(w),
        static_cast<uint16_t>(h), static_cast<int16_t>(dx), static_cast<int16_t>(dy),
        static_cast<uint8_t>(format.depth), XCB_IMAGE_FORMAT_Z_PIXMAP, 0, segment_, 0);
    // The reply to this request tells that the server has read the image.
    read_cookie_ = xcb_get_input_focus(c);
    read_pending_ = true;
    xcb_flush(c);
    return;
  }
  // Bands of whole rows, each one request within the server's maximum request length.
  const std::size_t band_row = format.RowBytes(w);
  const std::size_t max_bytes = static_cast<std::size_t>(xcb_get_maximum_request_length(c)) * 4;
  constexpr std::size_t kRequestHeader = 24;
  const int rows = static_cast<int>(std::clamp<std::size_t>(
      (max_bytes > kRequestHeader ? max_bytes - kRequestHeader : 0) / band_row, 1,
      static_cast<std::size_t>(h)));
  band_.resize(band_row * static_cast<std::size_t>(rows));
  for (int top = 0; top < h; top += rows) {
    const int n = std::min(rows, h - top);
    for (int row = 0; row < n; ++row)
      ConvertRow(
          pixels.ScanLine(source.Top + top + row) + static_cast<std::ptrdiff_t>(source.Left) * 4, w,
          band_.data() + static_cast<std::size_t>(row) * band_row, format);
    xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable_, gc_, static_cast<uint16_t>(w),
                  static_cast<uint16_t>(n), static_cast<int16_t>(dx),
                  static_cast<int16_t>(dy + top), 0, static_cast<uint8_t>(format.depth),
                  static_cast<uint32_t>(band_row * static_cast<std::size_t>(n)), band_.data());
  }
  xcb_flush(c);
}

}  // namespace qm
