// Start-up to first slide: packs the pictures given into a presentation of PLAYER (no caption
// strip, the fade style, so the first frame of the first transition already changes the middle
// of the screen), starts it on $DISPLAY a few times and reports, per run, the time from the
// start to the first frame of the first slide and to the whole first slide on screen.
//   first_slide_bench PLAYER PICTURE...   (the screen must be the pictures' size)
// A Windows player (PLAYER.exe) runs under Wine in $WINEPREFIX, first cold (no Wine server
// running: Wine starts its server and desktop with the show), then warm (a server kept running).
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/slide_loader.h"
#include "payload/file_stream.h"
#include "payload/payload_writer.h"

namespace {

using Clock = std::chrono::steady_clock;

uint32_t CentrePixel(xcb_connection_t* c, const xcb_screen_t& screen) {
  xcb_get_image_reply_t* reply = xcb_get_image_reply(
      c,
      xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, screen.root,
                    static_cast<int16_t>(screen.width_in_pixels / 2),
                    static_cast<int16_t>(screen.height_in_pixels / 2), 1, 1, ~0u),
      nullptr);
  uint32_t pixel = 0;
  if (reply != nullptr && xcb_get_image_data_length(reply) >= 4) {
    const uint8_t* p = xcb_get_image_data(reply);
    pixel = (uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0]);
  }
  std::free(reply);
  return pixel;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: first_slide_bench PLAYER PICTURE...\n");
    return 2;
  }
  int screen_number = 0;
  xcb_connection_t* c = xcb_connect(nullptr, &screen_number);
  if (xcb_connection_has_error(c) != 0) {
    std::fprintf(stderr, "first_slide_bench: no display\n");
    return 1;
  }
  const xcb_screen_t& screen = *xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  const std::string dir =
      std::filesystem::temp_directory_path() / ("qm-first-slide-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir + "/tmp");

  // The expected middle pixel: the first picture's, centred on a screen of its size.
  std::optional<qm::TBitmap> first = qm::LoadSlidePicture(argv[2]);
  if (!first || first->Width() != screen.width_in_pixels ||
      first->Height() != screen.height_in_pixels) {
    std::fprintf(stderr, "first_slide_bench: the first picture must have the screen's size\n");
    return 1;
  }
  first->ConvertTo(qm::PixelFormat::pf32bit);
  const uint8_t* m = first->ScanLine(first->Height() / 2) + 4 * (first->Width() / 2);
  const uint32_t expected = uint32_t{m[2]} << 16 | uint32_t{m[1]} << 8 | m[0];

  qm::GalleryHeader header;
  header.interval = 0;
  header.background_color = expected == 0x00FF00FF ? 0 : 0x00FF00FF;
  const uint32_t background = header.background_color == 0 ? 0 : 0xFF00FF;
  header.caption_position = 7;
  header.font_name = "DejaVu Sans";
  header.font_size = 12;
  header.style = 118;
  std::vector<qm::PackSlide> slides;
  for (int i = 2; i < argc; ++i)
    slides.push_back(
        {argv[i], std::to_string(i) + std::filesystem::path(argv[i]).extension().string(), ""});
  const bool windows = std::filesystem::path(argv[1]).extension() == ".exe";
  const std::string show = dir + (windows ? "/show.exe" : "/show");
  {
    qm::FileStream out(show, qm::FileStream::Mode::kCreate);
    qm::WritePresentation(argv[1], header, slides, out);
  }
  std::filesystem::permissions(show, std::filesystem::perms::owner_all);
  std::printf("presentation: %d pictures, %.1f MB\n", argc - 2,
              static_cast<double>(std::filesystem::file_size(show)) / 1e6);

  std::vector<double> to_frame, to_slide;
  const int runs = windows ? 10 : 5;
  for (int run = 0; run < runs; ++run) {
    if (windows && run == 0) std::system("timeout 30 wineserver -k; timeout 30 wineserver -w");
    if (windows && run == runs / 2)
      std::system("timeout 30 wineserver -p; timeout 60 wine cmd /c exit >/dev/null 2>&1");
    // A fresh screen: the background of the root window, not the last run's picture.
    xcb_clear_area(c, 0, screen.root, 0, 0, 0, 0);
    xcb_flush(c);
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
      setenv("TMPDIR", (dir + "/tmp").c_str(), 1);
      if (windows)
        execlp("wine", "wine", show.c_str(), static_cast<char*>(nullptr));
      else
        execl(show.c_str(), show.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    double frame = -1, slide = -1;
    while (slide < 0) {
      const uint32_t pixel = CentrePixel(c, screen);
      const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
      if (frame < 0 && pixel != background && pixel != 0 && ms > 0) frame = ms;
      if (pixel == expected) slide = ms;
      if (ms > 120000) break;
      usleep(500);
    }
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    // Wine takes the window of an ended program away a moment later: the next run starts once
    // the picture has left the screen.
    for (const auto end = Clock::now() + std::chrono::seconds(10);
         CentrePixel(c, screen) == expected && Clock::now() < end;)
      usleep(1000);
    std::filesystem::remove_all(dir + "/tmp");
    std::filesystem::create_directories(dir + "/tmp");
    if (windows && run < runs / 2)
      std::system("timeout 30 wineserver -k; timeout 30 wineserver -w");
    std::printf("run %d: first frame %.0f ms, whole first slide %.0f ms\n", run + 1, frame, slide);
    to_frame.push_back(frame);
    to_slide.push_back(slide);
  }
  // Medians of five runs each: the cold ones of a Windows player first, then the warm ones.
  for (int from = 0; from < runs; from += 5) {
    std::sort(to_frame.begin() + from, to_frame.begin() + from + 5);
    std::sort(to_slide.begin() + from, to_slide.begin() + from + 5);
    std::printf("median%s: first frame %.0f ms, whole first slide %.0f ms\n",
                !windows    ? ""
                : from == 0 ? " (cold)"
                            : " (warm)",
                to_frame[from + 2], to_slide[from + 2]);
  }
  if (windows) std::system("timeout 30 wineserver -k");
  std::filesystem::remove_all(dir);
  xcb_disconnect(c);
  return 0;
}
