// The Quenmora player: a presentation is this program with a gallery payload appended.
#include <QApplication>

#include "player/error_boxes.h"
#include "player/frm_main.h"
#include "player/player_messages.h"
#include "player/taskbar_hint.h"

int main(int argc, char** argv) {
  // Pictures are shown one picture pixel to one screen pixel, on high-density screens too.
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  QApplication app(argc, argv);
  QApplication::setApplicationName(qm::kApplicationTitle);
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
