#include "app/tray/MenuBarBee.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <cmath>

#include "app/paint/BeeMark.h"

namespace tervane {

MenuBarBee::MenuBarBee(const QColor& panelText) {
  images_[index(Picture::rest)] = draw(false, panelText, 1);
  images_[index(Picture::act)] = draw(true, actColour(), 1);
  images_[index(Picture::steppedOut)] = draw(false, panelText, kSteppedOutOpacity);
  for (std::size_t i = 0; i < images_.size(); ++i) {
    icons_[i] = QIcon(QPixmap::fromImage(images_[i]));
  }
}

MenuBarBee::Picture MenuBarBee::pictureFor(const std::optional<StageSnapshot>& openStage) {
  if (!openStage) return Picture::rest;
  return openStage->isParked() ? Picture::steppedOut : Picture::act;
}

QColor MenuBarBee::panelTextColour() {
  return QGuiApplication::palette().color(QPalette::Active, QPalette::WindowText);
}

QImage MenuBarBee::draw(bool open, const QColor& colour, double opacity) {
  const int pixels = static_cast<int>(std::lround(kPoints * kScale));
  QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) {
    // Nothing could be allocated: an empty picture of the same size stands in.
    QImage empty(kPoints, kPoints, QImage::Format_ARGB32_Premultiplied);
    if (!empty.isNull()) empty.fill(Qt::transparent);
    return empty;
  }
  image.setDevicePixelRatio(kScale);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setOpacity(opacity);
  painter.fillPath(beePath(open, QRectF(0, 0, kPoints, kPoints)), colour);
  return image;
}

}  // namespace tervane
