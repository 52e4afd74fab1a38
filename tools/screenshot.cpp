// quenmora-screenshot OUT.png: saves what the X display shows (the whole primary screen).
// Used by the demo on machines without a display and by the end-to-end tests.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: quenmora-screenshot OUT.png\n");
    return 2;
  }
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return 1;
  const QPixmap shot = screen->grabWindow(0);
  if (shot.isNull() || !shot.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "quenmora-screenshot: cannot capture the screen\n");
    return 1;
  }
  return 0;
}
