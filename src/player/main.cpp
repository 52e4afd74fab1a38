// The Quenmora player: a presentation is this program with a gallery payload appended.
#include <cstdio>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "payload/run_files.h"
#include "platform/messages.h"
#include "player/error_boxes.h"
#include "player/frm_main.h"
#include "player/player_window.h"

int main() {
#if defined(__GLIBC__)
  // Pictures and frames are blocks of megabytes, freed and made again with every slide. Left to
  // itself the C library raises its threshold for giving a block a mapping of its own whenever
  // such a block is freed, so the next blocks of a few megabytes land in the heap, which keeps
  // their pages once they are freed and grows in steps as slides of other sizes come (2.8 MB
  // over a few loops of a 4K show). A fixed threshold gives every large block its own mapping,
  // returned whole when it is freed, so the memory of a looped show stays level.
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
  // Whichever way the show ends, the files this run extracted are removed. First of all, so
  // that every thread started later has the end-of-show signals held back until extraction
  // takes them up.
  const qm::RunFilesCleanup run_files;
  std::string error;
  bool no_display = false;
  const std::unique_ptr<qm::PlayerWindow> window = qm::OpenPlayerWindow(&error, &no_display);
  if (!window) {
    // No display at all, or a screen the player cannot draw on: the reason, in a box where
    // one can be drawn, else on standard error.
    if (no_display)
      std::fprintf(stderr, "%s: %s\n", qm::msg::kApplicationTitle, error.c_str());
    else
      qm::ShowStandaloneMessageBox(qm::msg::kApplicationTitle, error);
    return 1;
  }
  qm::TfrmMain frm_main(*window);
  if (frm_main.FormCreate(qm::OwnExecutablePath())) {
    frm_main.Show();
    // The first slide comes at once. An error here has no handler around it: the fatal-error
    // box, then the program ends.
    try {
      frm_main.Timer1Timer();
    } catch (const std::exception& e) {
      qm::ShowFatalErrorBox(*window, e);
      return 1;
    }
  }
  frm_main.Run();
  return frm_main.DisplayLost() ? 1 : 0;
}
