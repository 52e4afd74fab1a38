// The Quenmora player: a presentation is this program with a gallery payload appended.
#include <QApplication>

#include "player/error_boxes.h"
#include "player/frm_main.h"
#include "player/player_messages.h"
#include "player/run_files.h"
#include "player/taskbar_hint.h"
#include "player/temp_files.h"

int main(int argc, char** argv) {
  // Whichever way the show ends, the files this run extracted are removed. First of all, so
  // that the framework's threads start with the end-of-show signals held back.
  const qm::RunFilesCleanup runFiles;
  // Pictures are shown one picture pixel to one screen pixel, on high-density screens too.
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  // The player writes nothing outside the temporary directory, the framework included. When
  // no runtime folder can be made there, the framework falls back to one in its own idea of
  // the temporary directory, which for a missing one is the root of the file system: while it
  // starts, it is shown a temporary directory in which no folder can be made. Start-up then
  // fails as it does without a temporary directory.
  const bool runtimeFolderMade = qm::SetRuntimeFolderWhenUnset();
  const bool hadTmpdir = qEnvironmentVariableIsSet("TMPDIR");
  const QByteArray tmpdir = qgetenv("TMPDIR");
  if (!runtimeFolderMade) qputenv("TMPDIR", "/dev/null");
  QApplication app(argc, argv);
  if (!runtimeFolderMade && hadTmpdir) qputenv("TMPDIR", tmpdir);
  if (!runtimeFolderMade && !hadTmpdir) qunsetenv("TMPDIR");
  QApplication::setApplicationName(qm::kApplicationTitle);
  QApplication::setApplicationVersion(QUENMORA_VERSION);
  QApplication::setQuitOnLastWindowClosed(false);

  qm::TfrmMain frmMain(qm::OwnExecutablePath());
  qm::SetSkipTaskbarHint(&frmMain);
  frmMain.show();
  frmMain.activateWindow();
  if (!frmMain.StartupFailed()) {
    // The first slide comes at once. An error here has no handler around it: the fatal-error
    // box, then the program ends.
    try {
      frmMain.Timer1Timer();
    } catch (const std::exception& e) {
      qm::ShowFatalErrorBox(e);
      return 1;
    }
  }
  return app.exec();
}
