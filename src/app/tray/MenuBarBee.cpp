#include "app/tray/MenuBarBee.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <cmath>

#include <xcb/xcb.h>

#include <cstdlib>
#include <string>

#include "app/paint/BeeMark.h"
#include "app/paint/Tone.h"

namespace tervane {

MenuBarBee::MenuBarBee(const QColor& panelText) {
  const bool known = panelText.isValid();
  const QColor fill = known ? panelText : qColor(TervaneTints::ink);
  const QColor rim = known ? QColor() : qColor(TervaneTints::deepBg);
  images_[index(Picture::rest)] = draw(false, fill, 1, rim);
  images_[index(Picture::act)] = draw(true, actColour(), 1, rim);
  images_[index(Picture::steppedOut)] = draw(false, fill, kSteppedOutOpacity, rim);
  for (std::size_t i = 0; i < images_.size(); ++i) {
    icons_[i] = QIcon(QPixmap::fromImage(images_[i]));
  }
}

MenuBarBee::Picture MenuBarBee::pictureFor(const std::optional<StageSnapshot>& openStage) {
  if (!openStage) return Picture::rest;
  return openStage->isParked() ? Picture::steppedOut : Picture::act;
}

QColor MenuBarBee::panelTextColour() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  xcb_connection_t* c = x11 ? x11->connection() : nullptr;
  if (!c) return {};
  const auto intern = [c](const std::string& name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.data()), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
  };
  // The tray of the first screen: the one a tray host manages on every usual desktop.
  xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
      c, xcb_get_selection_owner(c, intern("_NET_SYSTEM_TRAY_S0")), nullptr);
  const xcb_window_t tray = owner ? owner->owner : xcb_window_t{XCB_WINDOW_NONE};
  std::free(owner);
  if (tray == XCB_WINDOW_NONE) return {};
  // Twelve cardinals of 16-bit channels: foreground, error, warning, success.
  xcb_get_property_reply_t* colours = xcb_get_property_reply(
      c, xcb_get_property(c, 0, tray, intern("_NET_SYSTEM_TRAY_COLORS"), XCB_ATOM_CARDINAL, 0, 12),
      nullptr);
  QColor foreground;
  if (colours && colours->format == 32 && xcb_get_property_value_length(colours) >= 12) {
    const auto* v = static_cast<const std::uint32_t*>(xcb_get_property_value(colours));
    foreground.setRgb(static_cast<int>(v[0] >> 8), static_cast<int>(v[1] >> 8),
                      static_cast<int>(v[2] >> 8));
  }
  std::free(colours);
  return foreground;
}

QImage MenuBarBee::draw(bool open, const QColor& colour, double opacity, const QColor& rim) {
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
  // With a rim the bee is drawn a little smaller, so the rim stays inside the picture.
  const double inset = rim.isValid() ? kRim / 2 : 0;
  const QPainterPath path =
      beePath(open, QRectF(inset, inset, kPoints - 2 * inset, kPoints - 2 * inset));
  if (rim.isValid())
    painter.strokePath(path, QPen(rim, kRim, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.fillPath(path, colour);
  return image;
}

}  // namespace tervane
