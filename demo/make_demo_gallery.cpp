// Paints the demo gallery: a handful of pictures of our own in every format the player shows
// (JPEG, PNG in colour and with a palette, BMP), and a captions file in UTF-8.
//   quenmora-demo-gallery DIR [WIDTHxHEIGHT]
#include <QColor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <utility>

namespace {

int kW = 1280, kH = 720;  // the pictures' size, 1280 x 720 unless asked otherwise

// A picture filled with a vertical gradient through `stops` (position 0..1, colour).
QImage Sky(std::initializer_list<std::pair<double, QColor>> stops) {
  QImage img(kW, kH, QImage::Format_RGB32);
  QLinearGradient sky(0, 0, 0, kH);
  for (const auto& [at, colour] : stops) sky.setColorAt(at, colour);
  QPainter(&img).fillRect(img.rect(), sky);
  return img;
}

QImage Sunrise() {
  QImage img =
      Sky({{0, QColor(20, 30, 80)}, {0.55, QColor(240, 130, 60)}, {1, QColor(250, 210, 120)}});
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  QRadialGradient sun(kW * 0.62, kH * 0.62, 140);
  sun.setColorAt(0, QColor(255, 250, 210));
  sun.setColorAt(0.5, QColor(255, 200, 90));
  sun.setColorAt(1, QColor(255, 160, 60, 0));
  p.setBrush(sun);
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPointF(kW * 0.62, kH * 0.62), 140, 140);
  p.setBrush(QColor(30, 60, 90));
  p.drawRect(0, kH * 0.68, kW, kH);
  for (int k = 0; k < 40; ++k) {  // glitter on the water
    p.setBrush(QColor(255, 220, 150, 140));
    p.drawRect(kW * 0.62 - 120 + (k * 37) % 240, kH * 0.70 + k * 5, 30 + (k * 13) % 60, 2);
  }
  return img;
}

QImage Mountains() {
  QImage img = Sky({{0, QColor(90, 140, 210)}, {1, QColor(230, 240, 250)}});
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor layers[3] = {QColor(120, 130, 160), QColor(70, 90, 110), QColor(40, 70, 50)};
  for (int layer = 0; layer < 3; ++layer) {
    QPainterPath path;
    path.moveTo(0, kH);
    for (int x = 0; x <= kW; x += 8) {
      const double y = kH * (0.35 + 0.18 * layer) + 70 * std::sin(x * 0.006 + layer * 2.1) +
                       40 * std::sin(x * 0.017 + layer);
      path.lineTo(x, y);
    }
    path.lineTo(kW, kH);
    p.fillPath(path, layers[layer]);
  }
  return img;
}

QImage Lake() {
  QImage img(kW, kH, QImage::Format_RGB32);
  for (int y = 0; y < kH; ++y) {
    auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < kW; ++x) {
      const double v = std::sin(x * 0.02 + std::sin(y * 0.03) * 2) * 0.5 + 0.5;
      const double w = std::cos(y * 0.015 + x * 0.004) * 0.5 + 0.5;
      row[x] = qRgb(static_cast<int>(20 + 60 * v), static_cast<int>(90 + 100 * w),
                    static_cast<int>(140 + 100 * v * w));
    }
  }
  return img;
}

QImage Pattern() {
  QImage img(kW, kH, QImage::Format_RGB32);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(img.rect(), QColor(250, 245, 230));
  const QColor colours[5] = {QColor(200, 40, 60), QColor(240, 170, 30), QColor(40, 120, 180),
                             QColor(60, 160, 90), QColor(120, 60, 150)};
  for (int k = 0; k < 60; ++k) {
    p.setBrush(colours[k % 5]);
    p.setPen(Qt::NoPen);
    const int r = 30 + (k * 17) % 70;
    p.drawEllipse(QPoint((k * 211) % kW, (k * 137) % kH), r, r);
  }
  // A palette picture: at most 256 colours, stored with the PNG's own palette.
  return img.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
}

QImage Night() {
  QImage img = Sky({{0, QColor(5, 5, 25)}, {1, QColor(30, 30, 70)}});
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  for (int k = 0; k < 300; ++k) {
    p.setBrush(QColor(255, 255, 230, 100 + (k * 53) % 155));
    const double r = 0.8 + (k % 3) * 0.6;
    p.drawEllipse(QPointF((k * 7919) % kW, (k * 104729) % (kH * 2 / 3)), r, r);
  }
  p.setBrush(QColor(250, 250, 220));
  p.drawEllipse(QPointF(kW * 0.2, kH * 0.25), 60, 60);
  p.setBrush(QColor(5, 5, 25));
  p.drawEllipse(QPointF(kW * 0.2 + 28, kH * 0.25 - 12), 55, 55);
  return img.convertToFormat(QImage::Format_Grayscale8);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc < 2 || argc > 3 ||
      (argc == 3 && (std::sscanf(argv[2], "%dx%d", &kW, &kH) != 2 || kW < 64 || kH < 64 ||
                     kW > 16384 || kH > 16384))) {
    std::fprintf(stderr, "usage: quenmora-demo-gallery DIR [WIDTHxHEIGHT]\n");
    return 2;
  }
  const QDir dir(QString::fromLocal8Bit(argv[1]));
  if (!dir.mkpath(".")) return 1;
  struct Picture {
    const char* file;
    QImage image;
    const char* caption;  // UTF-8; the tool stores it in Windows-1252
  } pictures[] = {
      {"sonnenaufgang.jpg", Sunrise(), "Sonnenaufgang über dem Großen Müggelsee"},
      {"bergwelt.bmp", Mountains(), "Bergwelt: Grüße von der Zugspitze"},
      {"see.png", Lake(), "Wellen auf dem Königssee – gemalt von Quenmora"},
      {"muster.png", Pattern(), "Ein Muster mit 256 Farben, straßenbahnbunt"},
      {"nacht.jpg", Night(), "Nachtstück in Graustufen: Mond über Köln"},
  };
  QFile captions(dir.filePath("captions.txt"));
  if (!captions.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 1;
  for (const Picture& pic : pictures) {
    if (!pic.image.save(dir.filePath(pic.file), nullptr, 90)) {
      std::fprintf(stderr, "cannot write %s\n", pic.file);
      return 1;
    }
    captions.write(pic.caption);
    captions.write("\n");
    std::printf("%s\n", qPrintable(dir.filePath(pic.file)));
  }
  return 0;
}
