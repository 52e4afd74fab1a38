// The Quenmora player: a presentation is this program with a gallery payload appended.
#include <QApplication>

#include "player/frm_main.h"
#include "player/player_messages.h"

int main(int argc, char** argv) {
  // Pictures are shown one picture pixel to one screen pixel, on high-density screens too.
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  QApplication app(argc, argv);
  QApplication::setApplicationName(qm::kApplicationTitle);
  QApplication::setQuitOnLastWindowClosed(false);

  qm::TfrmMain frmMain(qm::OwnExecutablePath());
  frmMain.show();
  if (!frmMain.StartupFailed()) {
    // The first slide comes at once (the sequencer's first tick).
  }
  return app.exec();
}
