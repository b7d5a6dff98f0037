// tervane-bee-png: the bee icon as a square PNG of a given size, drawn from the same outline
// the application paints, for icon themes that want pixel sizes beside the SVG.
//
//   tervane-bee-png SIZE OUT.png
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <string>

#include "app/paint/BeeMark.h"
#include "look/Tint.h"

int main(int argc, char** argv) {
  int size = 0;
  if (argc == 3) {
    try {
      size = std::stoi(argv[1]);
    } catch (...) {
      size = 0;
    }
  }
  if (size < 16 || size > 1024) {
    std::fprintf(stderr, "usage: tervane-bee-png SIZE OUT.png   (SIZE 16 to 1024)\n");
    return 2;
  }
  // Drawing into an image needs no screen.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);

  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const tervane::Color ink = tervane::TervaneTints::deepBg;
    painter.fillPath(tervane::beePath(true, QRectF(0, 0, size, size)),
                     QColor::fromRgbF(static_cast<float>(ink.red), static_cast<float>(ink.green),
                                      static_cast<float>(ink.blue)));
  }
  if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::fprintf(stderr, "tervane-bee-png: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
