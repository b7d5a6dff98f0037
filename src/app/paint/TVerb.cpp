#include "app/paint/TVerb.h"

#include <QEnterEvent>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "app/paint/AppFonts.h"
#include "look/Motion.h"

namespace tervane {
namespace {

// Dark text on a light accent, light text on a dark one (the violet accent).
QColor textOnAccent(TervaneTint tint) {
  const Color accent = accentDark(tint);
  const double luminance = 0.2126 * accent.red + 0.7152 * accent.green + 0.0722 * accent.blue;
  return luminance > 0.45 ? qColor(TervaneTints::deepBg) : qColor(TervaneTints::ink);
}

QFont titleFont() {
  return AppFonts::figtree(14, AppFonts::Weight::medium);
}
QFont hintFont() {
  return AppFonts::figtree(10, AppFonts::Weight::medium);
}

}  // namespace

TVerb::TVerb(ThemeManager& theme, const QString& title, bool prominent,
             std::optional<QString> shortcut, QWidget* parent)
    : QAbstractButton(parent),
      theme_(theme),
      prominent_(prominent),
      shortcut_(std::move(shortcut)) {
  setText(title);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::TabFocus);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  tintConnection_ = theme_.tintChanged().connect([this](const TervaneTint&) { update(); });
  for (auto* value : {&hint_, &hover_}) {
    connect(value, &AnimatedValue::valueChanged, this, [this] { update(); });
  }
}

void TVerb::changedSize() {
  updateGeometry();
  update();
  if (auto* row = qobject_cast<TVerbRow*>(parentWidget())) row->verbChanged();
}

void TVerb::setTitle(const QString& title) {
  if (title == text()) return;
  setText(title);
  changedSize();
}

void TVerb::setProminent(bool prominent) {
  if (prominent == prominent_) return;
  prominent_ = prominent;
  update();
}

void TVerb::setShortcutHint(std::optional<QString> shortcut) {
  if (shortcut == shortcut_) return;
  shortcut_ = std::move(shortcut);
  changedSize();
}

void TVerb::setShowShortcut(bool show, bool animated) {
  showShortcut_ = show;
  if (animated) {
    hint_.animateTo(show ? 1 : 0, TMacMotion::hover);
  } else {
    hint_.setValue(show ? 1 : 0);
  }
}

double TVerb::shortcutOpacity() const {
  return shortcut_ ? kHintOpacity * hint_.value() : 0;
}

QSize TVerb::sizeHint() const {
  double width = QFontMetricsF(titleFont()).horizontalAdvance(text());
  if (shortcut_) width += kHintGap + QFontMetricsF(hintFont()).horizontalAdvance(*shortcut_);
  return {static_cast<int>(std::ceil(width + 2 * kPadding)), static_cast<int>(kHeight)};
}

void TVerb::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const TervaneTint tint = theme_.tint();
  const QRectF capsule = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  const double radius = capsule.height() / 2;
  const double pressed = isDown() ? 1 : 0;

  QColor label;
  if (prominent_) {
    QColor fill = qColor(accentDark(tint));
    fill = fill.lighter(100 + static_cast<int>(8 * hover_.value())).darker(100 + 12 * pressed);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(capsule, radius, radius);
    label = textOnAccent(tint);
  } else {
    painter.setBrush(Tone::accent(0.10 * hover_.value() + 0.10 * pressed).resolve(tint));
    painter.setPen(QPen(Tone::accent(0.55 + 0.25 * hover_.value()).resolve(tint), 1));
    painter.drawRoundedRect(capsule, radius, radius);
    label = qColor(TervaneTints::ink);
  }
  if (hasFocus() && focusPolicy() != Qt::NoFocus) {
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Tone::accent(0.9).resolve(tint), 1.5));
    painter.drawRoundedRect(capsule.adjusted(1.5, 1.5, -1.5, -1.5), radius - 1.5, radius - 1.5);
  }

  const QFontMetricsF title(titleFont());
  const double baseline = (height() + title.ascent() - title.descent()) / 2;
  const double hintWidth =
      shortcut_ ? kHintGap + QFontMetricsF(hintFont()).horizontalAdvance(*shortcut_) : 0;
  // Narrower than its title: the title is cut, the hint kept whole.
  const QString shown =
      title.elidedText(text(), Qt::ElideRight, width() - 2 * kPadding - hintWidth);
  painter.setFont(titleFont());
  painter.setPen(label);
  painter.drawText(QPointF(kPadding, baseline), shown);
  if (shortcut_ && shortcutOpacity() > 0) {
    QColor hintColor = label;
    hintColor.setAlphaF(static_cast<float>(shortcutOpacity()));
    painter.setFont(hintFont());
    painter.setPen(hintColor);
    painter.drawText(QPointF(kPadding + title.horizontalAdvance(shown) + kHintGap, baseline),
                     *shortcut_);
  }
}

void TVerb::enterEvent(QEnterEvent* event) {
  hover_.animateTo(1, TMacMotion::hover);
  QAbstractButton::enterEvent(event);
}

void TVerb::leaveEvent(QEvent* event) {
  hover_.animateTo(0, TMacMotion::hover);
  QAbstractButton::leaveEvent(event);
}

TVerbRow::TVerbRow(QWidget* parent) : QWidget(parent) {
  // Its height comes from its width; a fixed vertical policy would hold it to one line.
  QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
  policy.setHeightForWidth(true);
  setSizePolicy(policy);
}

void TVerbRow::addVerb(TVerb* verb) {
  verb->setParent(this);
  verb->installEventFilter(this);
  verbs_.push_back(verb);
  verb->setShowShortcut(hovered_);
  updateGeometry();
}

int TVerbRow::place(int width, bool apply) {
  int x = 0, y = 0, lineHeight = 0;
  for (auto* verb : verbs_) {
    if (verb->isHidden()) continue;
    const QSize hint = verb->sizeHint();
    const int w = std::min(hint.width(), std::max(1, width));
    if (x > 0 && x + w > width) {
      x = 0;
      y += lineHeight + kSpacing;
      lineHeight = 0;
    }
    if (apply) verb->setGeometry(x, y, w, hint.height());
    x += w + kSpacing;
    lineHeight = std::max(lineHeight, hint.height());
  }
  return y + lineHeight;
}

int TVerbRow::heightForWidth(int width) const {
  return const_cast<TVerbRow*>(this)->place(width, false);
}

QSize TVerbRow::sizeHint() const {
  int width = 0;
  for (auto* verb : verbs_) {
    if (verb->isHidden()) continue;
    width += (width > 0 ? kSpacing : 0) + verb->sizeHint().width();
  }
  return {width, static_cast<int>(TVerb::kHeight)};
}

QSize TVerbRow::minimumSizeHint() const {
  return {0, static_cast<int>(TVerb::kHeight)};
}

void TVerbRow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  place(width(), true);
}

void TVerbRow::verbChanged() {
  place(width(), true);
  updateGeometry();
}

bool TVerbRow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent) {
    verbChanged();
  }
  return QWidget::eventFilter(watched, event);
}

void TVerbRow::enterEvent(QEnterEvent* event) {
  setHovered(true);
  QWidget::enterEvent(event);
}

void TVerbRow::leaveEvent(QEvent* event) {
  setHovered(false);
  QWidget::leaveEvent(event);
}

void TVerbRow::hideEvent(QHideEvent* event) {
  // A window closed under the pointer sends no leave: the hints must not wait for the
  // next opening to fade.
  setHovered(false, /*animated=*/false);
  QWidget::hideEvent(event);
}

void TVerbRow::setHovered(bool hovered, bool animated) {
  if (hovered == hovered_) return;
  hovered_ = hovered;
  for (auto* verb : verbs_) verb->setShowShortcut(hovered, animated);
  if (onHoverChanged) onHoverChanged(hovered);
}

TPlainButton::TPlainButton(ThemeManager& theme, const QString& title, QFont font, Tone tone,
                           QWidget* parent)
    : QAbstractButton(parent), theme_(theme), font_(std::move(font)), tone_(tone) {
  setText(title);
  setCursor(Qt::PointingHandCursor);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  tintConnection_ = theme_.tintChanged().connect([this](const TervaneTint&) { update(); });
}

QSize TPlainButton::sizeHint() const {
  const QFontMetricsF metrics(font_);
  return {static_cast<int>(std::ceil(metrics.horizontalAdvance(text()))),
          static_cast<int>(std::ceil(metrics.height()))};
}

void TPlainButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setFont(font_);
  painter.setPen(tone_.resolve(theme_.tint(), isDown() ? 0.6 : 1));
  painter.drawText(QPointF(0, QFontMetricsF(font_).ascent()), text());
}

}  // namespace tervane
