#include "app/panels/FirstRunParts.h"

#include <QEnterEvent>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <algorithm>

#include "app/paint/AppFonts.h"
#include "app/paint/BeeMark.h"
#include "app/paint/Tone.h"
#include "look/Motion.h"

namespace tervane {

// ---- StepDots ----

StepDots::StepDots(ThemeManager& theme, QStringList titles, QWidget* parent)
    : QWidget(parent), theme_(theme), titles_(std::move(titles)) {
  setMouseTracking(true);
  setCursor(Qt::PointingHandCursor);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  tintConnection_ = theme_.tintChanged().connect([this](const TervaneTint&) { update(); });
}

void StepDots::setCurrent(int index) {
  if (index == current_) return;
  current_ = index;
  update();
}

QSize StepDots::sizeHint() const {
  const int n = count();
  if (n == 0) return {0, kDot};
  return {kCapsule + (n - 1) * (kDot + kSpacing), 14};
}

QRect StepDots::dotRect(int index) const {
  int x = 0;
  for (int i = 0; i < index; ++i) x += (i == current_ ? kCapsule : kDot) + kSpacing;
  const int width = index == current_ ? kCapsule : kDot;
  return QRect(x, (height() - kDot) / 2, width, kDot);
}

int StepDots::dotAt(const QPoint& point) const {
  for (int i = 0; i < count(); ++i) {
    // A little room around each dot, so they are easy to hit.
    if (dotRect(i).adjusted(-kSpacing / 2, -4, kSpacing / 2, 4).contains(point)) return i;
  }
  return -1;
}

void StepDots::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  const TervaneTint tint = theme_.tint();
  for (int i = 0; i < count(); ++i) {
    const QRectF dot = dotRect(i);
    QColor colour;
    if (i == current_) {
      colour = Tone::accent().resolve(tint);
    } else {
      colour = Tone::ink(i == hovering_ ? 0.6 : 0.25).resolve(tint);
    }
    painter.setBrush(colour);
    painter.drawRoundedRect(dot, kDot / 2.0, kDot / 2.0);
  }
}

void StepDots::mouseMoveEvent(QMouseEvent* event) {
  const int at = dotAt(event->position().toPoint());
  if (at != hovering_) {
    hovering_ = at;
    update();
  }
}

void StepDots::mouseReleaseEvent(QMouseEvent* event) {
  const int at = dotAt(event->position().toPoint());
  if (event->button() == Qt::LeftButton && at >= 0 && onSelect) onSelect(at);
}

void StepDots::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  hovering_ = -1;
  update();
}

bool StepDots::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const int at = dotAt(help->pos());
    if (at >= 0) {
      QToolTip::showText(help->globalPos(), titles_[at], this, dotRect(at));
    } else {
      QToolTip::hideText();
    }
    return true;
  }
  return QWidget::event(event);
}

// ---- CloseMark ----

CloseMark::CloseMark(ThemeManager& theme, QWidget* parent)
    : QAbstractButton(parent), theme_(theme) {
  setCursor(Qt::PointingHandCursor);
  setToolTip(QStringLiteral("Close, or press Escape"));
  setAccessibleName(QStringLiteral("Close"));
  setFocusPolicy(Qt::NoFocus);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  connect(&hover_, &AnimatedValue::valueChanged, this, [this] { update(); });
}

void CloseMark::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const TervaneTint tint = theme_.tint();
  if (hover_.value() > 0) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(Tone::ink(0.1 * hover_.value()).resolve(tint));
    painter.drawEllipse(QRectF(rect()));
  }
  QPen pen(Tone::ink(0.6 + 0.4 * hover_.value()).resolve(tint), 1.5);
  pen.setCapStyle(Qt::RoundCap);
  painter.setPen(pen);
  const QPointF c = QRectF(rect()).center();
  const double r = 4.5;
  painter.drawLine(c + QPointF(-r, -r), c + QPointF(r, r));
  painter.drawLine(c + QPointF(-r, r), c + QPointF(r, -r));
}

void CloseMark::enterEvent(QEnterEvent* event) {
  QAbstractButton::enterEvent(event);
  hover_.animateTo(1, TMacMotion::hover);
}

void CloseMark::leaveEvent(QEvent* event) {
  QAbstractButton::leaveEvent(event);
  hover_.animateTo(0, TMacMotion::hover);
}

// ---- TCheck ----

TCheck::TCheck(ThemeManager& theme, const QString& label, QWidget* parent)
    : QAbstractButton(parent), theme_(theme) {
  setText(label);
  setCheckable(true);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::TabFocus);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  tintConnection_ = theme_.tintChanged().connect([this](const TervaneTint&) { update(); });
}

QSize TCheck::sizeHint() const {
  const QFontMetrics metrics(AppFonts::figtree(12));
  return {kBox + kGap + metrics.horizontalAdvance(text()) + 2,
          std::max(kBox, metrics.height()) + 2};
}

void TCheck::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const TervaneTint tint = theme_.tint();
  const QRectF box(0.5, (height() - kBox) / 2.0 + 0.5, kBox - 1, kBox - 1);
  if (isChecked()) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(Tone::accent().resolve(tint));
    painter.drawRoundedRect(box, 4, 4);
    QPen tick(Tone::deepBg().resolve(tint), 1.8);
    tick.setCapStyle(Qt::RoundCap);
    tick.setJoinStyle(Qt::RoundJoin);
    painter.setPen(tick);
    painter.setBrush(Qt::NoBrush);
    QPainterPath mark;
    mark.moveTo(box.left() + 3.2, box.center().y() + 0.2);
    mark.lineTo(box.left() + 5.8, box.bottom() - 3.4);
    mark.lineTo(box.right() - 3, box.top() + 3.6);
    painter.drawPath(mark);
  } else {
    painter.setPen(QPen(Tone::ink(0.45).resolve(tint), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(box, 4, 4);
  }
  painter.setFont(AppFonts::figtree(12));
  painter.setPen(Tone::ink().resolve(tint));
  painter.drawText(QRect(kBox + kGap, 0, width() - kBox - kGap, height()),
                   Qt::AlignLeft | Qt::AlignVCenter, text());
}

// ---- HotkeyList ----

HotkeyList::HotkeyList(ThemeManager& theme, std::vector<std::pair<QString, QString>> rows,
                       int keysWidth, QWidget* parent)
    : QWidget(parent), theme_(theme), rows_(std::move(rows)), keysWidth_(keysWidth) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  setFixedHeight(static_cast<int>(rows_.size()) * kRowHeight);
  tintConnection_ = theme_.tintChanged().connect([this](const TervaneTint&) { update(); });
}

QSize HotkeyList::sizeHint() const {
  return {keysWidth_ + kGap + 200, static_cast<int>(rows_.size()) * kRowHeight};
}

void HotkeyList::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::TextAntialiasing);
  const QFont font = AppFonts::figtree(12);
  painter.setFont(font);
  const QFontMetrics metrics(font);
  const TervaneTint tint = theme_.tint();
  int y = 0;
  for (const auto& [keys, verb] : rows_) {
    painter.setPen(Tone::dimmed().resolve(tint));
    painter.drawText(QRect(0, y, keysWidth_, kRowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(keys, Qt::ElideRight, keysWidth_));
    painter.setPen(Tone::ink().resolve(tint));
    const int x = keysWidth_ + kGap;
    painter.drawText(QRect(x, y, width() - x, kRowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(verb, Qt::ElideRight, width() - x));
    y += kRowHeight;
  }
}

// ---- FirstRunIllustration ----

namespace {

struct Palette {
  QColor window;
  QColor border;
  QColor bar;
  QColor accent;
  QColor faint;
};

void drawWindow(QPainter& p, const QRectF& r, const Palette& c, const QColor& fill,
                double opacity = 1) {
  p.save();
  p.setOpacity(opacity);
  QPainterPath shape;
  shape.addRoundedRect(r, 5, 5);
  p.fillPath(shape, fill);
  p.strokePath(shape, QPen(c.border, 1));
  // A title bar with three lights.
  p.setClipPath(shape);
  // On the accent's own window the bar darkens instead, so it shows on a light accent too.
  const bool accent = fill == c.accent;
  p.fillRect(QRectF(r.left(), r.top(), r.width(), 9),
             accent ? qColor(TervaneTints::deepBg, 0.18) : c.bar);
  p.setClipping(false);
  p.setPen(Qt::NoPen);
  p.setBrush(accent ? qColor(TervaneTints::deepBg, 0.35) : c.border);
  for (int i = 0; i < 3; ++i) p.drawEllipse(QPointF(r.left() + 6 + i * 5, r.top() + 4.5), 1.4, 1.4);
  p.restore();
}

void drawTextBar(QPainter& p, const QRectF& r, const QColor& colour) {
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawRoundedRect(r, r.height() / 2, r.height() / 2);
}

void drawCrowded(QPainter& p, const Palette& c) {
  // The one thing, half under everything else.
  drawWindow(p, QRectF(132, 30, 70, 44), c, c.accent);
  const QRectF windows[] = {{6, 16, 92, 56},   {44, 4, 104, 60},  {92, 24, 84, 56},
                            {150, 6, 100, 48}, {184, 30, 98, 50}, {226, 12, 68, 56},
                            {24, 42, 84, 40},  {118, 50, 76, 34}};
  for (const auto& r : windows) drawWindow(p, r, c, c.window);
}

void drawClearing(QPainter& p, const Palette& c) {
  const QRectF gone[] = {{4, 8, 70, 40}, {16, 44, 64, 36}, {226, 6, 70, 42}, {214, 42, 76, 38}};
  for (const auto& r : gone) drawWindow(p, r, c, c.window, 0.3);
  // Where they went: short strokes outwards.
  QPen trail(c.faint, 1.2);
  trail.setCapStyle(Qt::RoundCap);
  p.setPen(trail);
  for (double y : {22.0, 42.0, 62.0}) {
    p.drawLine(QPointF(96, y), QPointF(84, y));
    p.drawLine(QPointF(204, y), QPointF(216, y));
  }
  drawWindow(p, QRectF(108, 12, 84, 60), c, c.accent);
}

void drawRestored(QPainter& p, const Palette& c) {
  for (int i = 0; i < 4; ++i) {
    const QRectF r(6 + i * 72, 16, 62, 52);
    drawWindow(p, r, c, i == 1 ? c.accent : c.window);
  }
}

void drawReceipt(QPainter& p, const Palette& c) {
  const QRectF card(4, 2, 196, 80);
  QPainterPath shape;
  shape.addRoundedRect(card, 10, 10);
  p.fillPath(shape, c.window);
  p.strokePath(shape, QPen(c.border, 1));
  const double x = card.left() + 12;
  drawTextBar(p, QRectF(x, 10, 34, 4), c.faint);
  for (int i = 0; i < 2; ++i) {
    const double y = 20 + i * 11;
    p.setBrush(c.accent);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(x + 3, y + 2.5), 2.5, 2.5);
    drawTextBar(p, QRectF(x + 10, y + 0.5, i == 0 ? 70 : 52, 4), c.border);
  }
  p.fillRect(QRectF(x, 45, card.width() - 24, 1), c.bar);
  drawTextBar(p, QRectF(x, 52, 30, 4), c.faint);
  for (int i = 0; i < 2; ++i) {
    const double y = 61 + i * 12;
    drawTextBar(p, QRectF(x + 10, y, i == 0 ? 60 : 44, 4), c.faint);
    // The one click that changes it.
    QPainterPath pill;
    pill.addRoundedRect(QRectF(card.right() - 46, y - 3, 34, 10), 5, 5);
    p.setPen(QPen(c.accent, 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(pill);
  }
}

void drawMenuBar(QPainter& p, const Palette& c) {
  QPainterPath bar;
  bar.addRoundedRect(QRectF(0, 4, 300, 20), 5, 5);
  p.fillPath(bar, c.bar);
  p.setPen(Qt::NoPen);
  p.setBrush(c.faint);
  for (double x : {196.0, 214.0, 232.0}) p.drawEllipse(QPointF(x, 14), 3.5, 3.5);
  drawTextBar(p, QRectF(10, 12, 36, 4), c.faint);
  p.fillPath(beePath(true, QRectF(254, 7, 14, 14)), c.accent);
  // The card, hanging under the bee.
  const QRectF card(204, 30, 92, 50);
  QPainterPath shape;
  shape.addRoundedRect(card, 8, 8);
  QPainterPath caret;
  caret.moveTo(256, 26);
  caret.lineTo(262, 31);
  caret.lineTo(250, 31);
  caret.closeSubpath();
  shape = shape.united(caret);
  p.fillPath(shape, c.window);
  p.strokePath(shape, QPen(c.border, 1));
  drawTextBar(p, QRectF(card.left() + 10, card.top() + 12, 56, 5), c.accent);
  drawTextBar(p, QRectF(card.left() + 10, card.top() + 24, 70, 3), c.faint);
  drawTextBar(p, QRectF(card.left() + 10, card.top() + 32, 48, 3), c.faint);
}

void drawOneLine(QPainter& p, const Palette& c) {
  p.fillPath(beePath(false, QRectF(4, 8, 16, 16)), c.accent);
  QPen underline(c.border, 1);
  p.setPen(underline);
  p.drawLine(QPointF(4, 66), QPointF(290, 66));
  drawTextBar(p, QRectF(4, 44, 148, 8), c.faint);
  p.fillRect(QRectF(158, 38, 2, 20), c.accent);
}

}  // namespace

FirstRunIllustration::FirstRunIllustration(ThemeManager& theme, Kind kind, QWidget* parent)
    : QWidget(parent), theme_(theme), kind_(kind) {
  setFixedSize(kWidth, kHeight);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  tintConnection_ = theme_.tintChanged().connect([this](const TervaneTint&) { update(); });
}

void FirstRunIllustration::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const TervaneTint tint = theme_.tint();
  const Palette colours{
      qColor(composite(TervaneTints::ink, TervaneTints::deepBg, 0.07)),
      Tone::ink(0.22).resolve(tint),
      Tone::ink(0.08).resolve(tint),
      Tone::accent().resolve(tint),
      Tone::ink(0.3).resolve(tint),
  };
  switch (kind_) {
    case Kind::crowded:
      drawCrowded(painter, colours);
      break;
    case Kind::oneLine:
      drawOneLine(painter, colours);
      break;
    case Kind::clearing:
      drawClearing(painter, colours);
      break;
    case Kind::receipt:
      drawReceipt(painter, colours);
      break;
    case Kind::restored:
      drawRestored(painter, colours);
      break;
    case Kind::menuBar:
      drawMenuBar(painter, colours);
      break;
  }
}

}  // namespace tervane
