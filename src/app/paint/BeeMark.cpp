#include "app/paint/BeeMark.h"

#include <QPainter>
#include <algorithm>

#include "look/BeeShape.h"

namespace tervane {
namespace {

// Each pose parsed once, in design units.
const QPainterPath& designPath(bool open) {
  static const QPainterPath openPath = toPainterPath(BeeShape{true}.designPath());
  static const QPainterPath closedPath = toPainterPath(BeeShape{false}.designPath());
  return open ? openPath : closedPath;
}

}  // namespace

QPainterPath toPainterPath(const VectorPath& path) {
  QPainterPath out;
  out.setFillRule(Qt::WindingFill);
  for (const auto& e : path.elements()) {
    switch (e.kind) {
      case PathElement::Kind::move:
        out.moveTo(e.to.x, e.to.y);
        break;
      case PathElement::Kind::line:
        out.lineTo(e.to.x, e.to.y);
        break;
      case PathElement::Kind::cubic:
        out.cubicTo(e.control1.x, e.control1.y, e.control2.x, e.control2.y, e.to.x, e.to.y);
        break;
      case PathElement::Kind::close:
        out.closeSubpath();
        break;
    }
  }
  return out;
}

QPainterPath beePath(bool open, const QRectF& frame) {
  const double scale = BeeShape::scale(Rect{frame.x(), frame.y(), frame.width(), frame.height()});
  QTransform transform;
  transform.translate(frame.x(), frame.y());
  transform.scale(scale, scale);
  return transform.map(designPath(open));
}

BeeMark::BeeMark(ThemeManager& theme, double size, QWidget* parent)
    : QWidget(parent), theme_(theme), size_(size) {
  setFixedSize(static_cast<int>(size), static_cast<int>(size));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  tintConnection_ = theme_.tintChanged().connect([this](const TervaneTint&) { update(); });
  for (auto* value : {&openness_, &opacity_}) {
    connect(value, &AnimatedValue::valueChanged, this, [this] { update(); });
  }
}

void BeeMark::setPose(bool open, double opacity) {
  openness_.setValue(open ? 1 : 0);
  opacity_.setValue(opacity);
}

void BeeMark::animatePose(bool open, double opacity, const Motion& motion) {
  openness_.animateTo(open ? 1 : 0, motion);
  opacity_.animateTo(opacity, motion);
}

void BeeMark::setTone(Tone tone) {
  tone_ = tone;
  update();
}

QSize BeeMark::sizeHint() const {
  return {static_cast<int>(size_), static_cast<int>(size_)};
}

void BeeMark::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  const QRectF frame(0, 0, size_, size_);
  // A spring may swing past its ends; the crossfade and the opacity stay within 0 … 1.
  const double openness = std::clamp(openness_.value(), 0.0, 1.0);
  const double opacity = std::clamp(opacity_.value(), 0.0, 1.0);
  const QColor colour = tone_.resolve(theme_.tint());
  if (openness > 0) {
    painter.setOpacity(opacity * openness);
    painter.fillPath(beePath(true, frame), colour);
  }
  if (openness < 1) {
    painter.setOpacity(opacity * (1 - openness));
    painter.fillPath(beePath(false, frame), colour);
  }
}

}  // namespace tervane
