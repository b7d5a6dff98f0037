#include "app/paint/TBecause.h"

#include <QPainter>

#include "app/paint/AppFonts.h"

namespace tervane {

THairline::THairline(QWidget* parent, int inset) : QWidget(parent), inset_(inset) {
  setFixedHeight(1);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void THairline::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect().adjusted(inset_, 0, -inset_, 0),
                   Tone::ink(TervaneTints::hairlineOpacity).resolve(TervaneTint::carbon));
}

TBecause::TBecause(ThemeManager& theme, const QString& text, QWidget* parent)
    : QWidget(parent),
      theme_(theme),
      text_(new TText(theme, AppFonts::figtree(12), Tone::dimmed(), TText::Wrap::lines, this)) {
  text_->setText(text);
  // Its height comes from its width; a fixed vertical policy would hold it to one line.
  QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
  policy.setHeightForWidth(true);
  setSizePolicy(policy);
  tintConnection_ = theme_.tintChanged().connect([this](const TervaneTint&) { update(); });
}

void TBecause::setText(const QString& text) {
  text_->setText(text);
  updateGeometry();
}

int TBecause::heightForWidth(int width) const {
  return text_->heightForWidth(std::max(1, width - kBarWidth - kGap));
}

QSize TBecause::sizeHint() const {
  const QSize inner = text_->sizeHint();
  return {inner.width() + kBarWidth + kGap, inner.height()};
}

void TBecause::resizeEvent(QResizeEvent*) {
  text_->setGeometry(kBarWidth + kGap, 0, std::max(0, width() - kBarWidth - kGap), height());
}

void TBecause::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(QRect(0, 0, kBarWidth, height()), Tone::accent(0.45).resolve(theme_.tint()));
}

}  // namespace tervane
