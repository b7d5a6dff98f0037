#include "app/shield/ShieldView.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/paint/AppFonts.h"
#include "app/paint/Tone.h"
#include "look/Motion.h"
#include "look/ShieldLayout.h"
#include "words/ClearingStrings.h"
#include "words/GuardStrings.h"

namespace tervane {
namespace {

QString fromView(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

int px(double points) {
  return static_cast<int>(std::lround(points));
}

// The breathing glow behind the card's content is drawn still: its strength at rest.
constexpr double kGlowOpacity = 0.32;

}  // namespace

// The raised card: the tint's raised surface in a continuous rounded rectangle, with the
// accent's glow behind its top-leading corner.
class ShieldView::Card final : public QWidget {
 public:
  Card(ThemeManager& theme, QWidget* parent) : QWidget(parent), theme_(theme) {}
  double scale = 1;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const TervaneTint tint = theme_.tint();
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), kCornerRadius * scale, kCornerRadius * scale);
    painter.setClipPath(shape);
    painter.fillPath(shape, Tone::surface().resolve(tint));

    const double size = kGlowSize * scale;
    const QPointF centre(kGlowX * scale + size / 2, kGlowY * scale + size / 2);
    QRadialGradient glow(centre, size / 2);
    glow.setColorAt(0, Tone::accent(kGlowOpacity).resolve(tint));
    glow.setColorAt(1, Tone::accent(0).resolve(tint));
    painter.fillRect(QRectF(centre.x() - size / 2, centre.y() - size / 2, size, size), glow);

    painter.setClipping(false);
    painter.strokePath(shape, QPen(Tone::ink(TervaneTints::hairlineOpacity).resolve(tint), 1));
  }

 private:
  ThemeManager& theme_;
};

ShieldView::ShieldView(ThemeManager& theme, const QString& actionText, const QString& subjectName,
                       std::function<void(bool)> onAnswer, QWidget* parent)
    : QWidget(parent), theme_(theme), onAnswer_(std::move(onAnswer)) {
  setFocusPolicy(Qt::StrongFocus);
  card_ = new Card(theme_, this);

  label_ = new SectionLabel(theme_, fromView(GuardStrings::setAsideFor), card_);
  headline_ = new TText(theme_, AppFonts::spaceGrotesk(28), Tone::ink(), TText::Wrap::lines, card_);
  headline_->setText(
      QString::fromStdString(ClearingStrings::shieldHeadline(actionText.toStdString())));
  line_ = new TText(theme_, AppFonts::figtree(14), Tone::dimmed(), TText::Wrap::lines, card_);
  line_->setText(QString::fromStdString(GuardStrings::youPutThisAway(subjectName.toStdString())));
  goBack_ = new TVerb(theme_, fromView(GuardStrings::goBack), false, std::nullopt, card_);
  needThis_ = new TVerb(theme_, fromView(GuardStrings::needThis), false, std::nullopt, card_);
  // The keys belong to the shield as a whole: Return and Escape answer wherever focus is.
  goBack_->setFocusPolicy(Qt::NoFocus);
  needThis_->setFocusPolicy(Qt::NoFocus);
  connect(goBack_, &QAbstractButton::clicked, this, [this] { answer(false); });
  connect(needThis_, &QAbstractButton::clicked, this, [this] { answer(true); });

  cardOpacity_ = new QGraphicsOpacityEffect(card_);
  cardOpacity_->setOpacity(0);
  card_->setGraphicsEffect(cardOpacity_);

  connect(&backdrop_, &AnimatedValue::valueChanged, this, [this] { update(); });
  connect(&entrance_, &AnimatedValue::valueChanged, this, [this](double value) {
    const double clamped = std::clamp(value, 0.0, 1.0);
    cardOpacity_->setOpacity(clamped);
    cardOpacity_->setEnabled(clamped < 1);
    placeCard();
  });
  tintConnection_ = theme_.tintChanged().connect([this](const TervaneTint&) { update(); });
  applyScale();
}

QWidget* ShieldView::card() const {
  return card_;
}

void ShieldView::answer(bool letThrough) {
  if (answered_) return;
  answered_ = true;
  if (onAnswer_) onAnswer_(letThrough);
}

void ShieldView::applyScale() {
  const double s = ShieldLayout::scale(width(), height());
  if (s == scale_) return;
  scale_ = s;
  card_->scale = s;

  // Rebuild the column with this scale's lengths; the texts and verbs stay.
  delete column_;
  delete headerBee_;
  delete restingBee_;
  headerBee_ = new BeeMark(theme_, kHeaderBee * s, card_);
  headerBee_->setPose(false, 1);
  restingBee_ = new BeeMark(theme_, kRestingBee * s, card_);
  restingBee_->setPose(false, 1);

  column_ = new QVBoxLayout(card_);
  column_->setContentsMargins(px(kInset * s), px(kInset * s), px(kInset * s), px(kInset * s));
  column_->setSpacing(0);
  header_ = new QHBoxLayout;
  header_->setSpacing(px(8 * s));
  header_->addWidget(headerBee_, 0, Qt::AlignVCenter);
  header_->addWidget(label_, 1, Qt::AlignVCenter);
  column_->addLayout(header_);
  column_->addSpacing(px(kHeaderGap * s));
  column_->addWidget(headline_);
  column_->addSpacing(px(kHeadlineGap * s));
  column_->addWidget(line_);
  column_->addSpacing(px(kLineGap * s));
  buttons_ = new QHBoxLayout;
  buttons_->setSpacing(kButtonSpacing);
  buttons_->addWidget(goBack_, 0, Qt::AlignVCenter);
  buttons_->addWidget(needThis_, 0, Qt::AlignVCenter);
  buttons_->addSpacing(px(kMinSpacer * s));
  buttons_->addStretch(1);
  buttons_->addWidget(restingBee_, 0, Qt::AlignVCenter);
  column_->addLayout(buttons_);
  for (QWidget* w : card_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) w->show();
  placeCard();
}

void ShieldView::placeCard() {
  const int width = px(kCardWidth * scale_);
  const int height = column_->hasHeightForWidth() ? column_->totalHeightForWidth(width)
                                                  : column_->totalSizeHint().height();
  const double offset = kEntranceOffset * (1 - std::clamp(entrance_.value(), 0.0, 1.0));
  card_->setGeometry((this->width() - width) / 2, (this->height() - height) / 2 + px(offset), width,
                     height);
}

void ShieldView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  applyScale();
  placeCard();
}

void ShieldView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  setFocus(Qt::ActiveWindowFocusReason);
  if (shown_) return;
  shown_ = true;
  backdrop_.animateTo(1, TMacMotion::scrimIn);
  entrance_.animateTo(1, TMacMotion::settle, kEntranceDelay);
}

void ShieldView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Tone::deepBg(kBackdropOpacity)
                               .resolve(theme_.tint(), std::clamp(backdrop_.value(), 0.0, 1.0)));
}

void ShieldView::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
      answer(false);
      event->accept();
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

}  // namespace tervane
