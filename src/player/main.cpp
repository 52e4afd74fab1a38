// The Quenmora player: a presentation is this program with a gallery payload appended.
#include <cstdio>

#include "payload/run_files.h"
#include "platform/messages.h"
#include "player/error_boxes.h"
#include "player/frm_main.h"
#include "player/player_window.h"

int main() {
  // Whichever way the show ends, the files this run extracted are removed. First of all, so
  // that every thread started later has the end-of-show signals held back until extraction
  // takes them up.
  const qm::RunFilesCleanup runFiles;
  std::string error;
  bool noDisplay = false;
  const std::unique_ptr<qm::PlayerWindow> window = qm::OpenPlayerWindow(&error, &noDisplay);
  if (!window) {
    // No display at all, or a screen the player cannot draw on: the reason, in a box where
    // one can be drawn, else on standard error.
    if (noDisplay)
      std::fprintf(stderr, "%s: %s\n", qm::msg::kApplicationTitle, error.c_str());
    else
      qm::ShowStandaloneMessageBox(qm::msg::kApplicationTitle, error);
    return 1;
  }
  qm::TfrmMain frmMain(*window);
  if (frmMain.FormCreate(qm::OwnExecutablePath())) {
    frmMain.Show();
    // The first slide comes at once. An error here has no handler around it: the fatal-error
    // box, then the program ends.
    try {
      frmMain.Timer1Timer();
    } catch (const std::exception& e) {
      qm::ShowFatalErrorBox(*window, e);
      return 1;
    }
  }
  frmMain.Run();
  return frmMain.DisplayLost() ? 1 : 0;
}
