// The Quenmora player for Windows: a presentation is this program with a gallery payload
// appended, found through the program's own file name.
#include <string>

#include "player/extraction.h"
#include "player/player_messages.h"
#include "player/run_files.h"

// The system's header comes last: its macros (ERROR, RGN_AND, COMPLEXREGION, ...) would rename
// the drawing layer's own constants.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Whichever way the show ends, the files this run extracted are removed.
  const qm::RunFilesCleanup runFiles;
  qm::PlayerState state;
  qm::DiscardingSettingsSink settings;
  if (!qm::RunStartupExtraction(qm::OwnExecutablePath(), state, settings)) {
    MessageBoxW(nullptr, qm::WideFromUtf8(qm::kStartupErrorText).c_str(),
                qm::WideFromUtf8(qm::kStartupErrorCaption).c_str(),
                MB_OK | MB_ICONERROR | MB_TOPMOST);
    return 0;
  }
  return 0;
}
