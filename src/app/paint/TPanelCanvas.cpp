#include "app/paint/TPanelCanvas.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include "app/paint/Tone.h"

namespace tervane {

TPanelCanvas::TPanelCanvas(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPanelCanvas::paint(QPainter& painter, const QRectF& rect) {
  constexpr double kGlow = 0.07;
  const QColor clear = Tone::ink(0).resolve(TervaneTint::carbon);
  const QColor glow = Tone::ink(kGlow).resolve(TervaneTint::carbon);
  painter.fillRect(rect, qColor(TervaneTints::deepBg));

  const QPointF centre(rect.x() + 0.12 * rect.width(), rect.y() - 0.05 * rect.height());
  QRadialGradient radial(centre, 0.95 * rect.width());
  radial.setColorAt(0, glow);
  radial.setColorAt(1, clear);
  painter.fillRect(rect, radial);

  QLinearGradient linear(rect.topLeft(), QPointF(rect.left(), rect.center().y()));
  linear.setColorAt(0, glow);
  linear.setColorAt(1, clear);
  painter.fillRect(rect, linear);
}

void TPanelCanvas::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  paint(painter, rect());
}

}  // namespace tervane
