#include "app/paint/TText.h"

#include <QPainter>
#include <QTextLayout>
#include <cmath>

#include "app/paint/AppFonts.h"

namespace tervane {
namespace {

QTextOption wrapping() {
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  return option;
}

// Lays the text out in `width` and gives the height of its lines.
double layOut(QTextLayout& layout, double width) {
  layout.setTextOption(wrapping());
  layout.beginLayout();
  double y = 0;
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(width);
    line.setPosition(QPointF(0, y));
    y += line.height();
  }
  layout.endLayout();
  return y;
}

}  // namespace

TText::TText(ThemeManager& theme, QFont font, Tone tone, Wrap wrap, QWidget* parent)
    : QWidget(parent), theme_(theme), font_(std::move(font)), tone_(tone), wrap_(wrap) {
  tintConnection_ = theme_.tintChanged().connect([this](const TervaneTint&) { update(); });
  setAttribute(Qt::WA_TransparentForMouseEvents);
  QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  if (wrap_ == Wrap::lines) {
    // Its height comes from its width; a fixed vertical policy would hold it to one line.
    policy.setVerticalPolicy(QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
  } else {
    policy.setHorizontalPolicy(QSizePolicy::Ignored);
  }
  setSizePolicy(policy);
}

void TText::setText(const QString& text) {
  if (text == text_) return;
  text_ = text;
  changed();
}

void TText::setTone(Tone tone) {
  if (tone == tone_) return;
  tone_ = tone;
  update();
}

void TText::setTextFont(const QFont& font) {
  font_ = font;
  changed();
}

void TText::setOpacity(double opacity) {
  if (opacity == opacity_) return;
  opacity_ = opacity;
  update();
}

void TText::setAlignment(Qt::Alignment alignment) {
  alignment_ = alignment;
  update();
}

void TText::changed() {
  updateGeometry();
  update();
}

QString TText::shownText() const {
  if (wrap_ == Wrap::lines) return text_;
  const QFontMetricsF metrics(font_);
  return metrics.elidedText(text_, wrap_ == Wrap::elideEnd ? Qt::ElideRight : Qt::ElideMiddle,
                            width());
}

int TText::heightForWidth(int width) const {
  const QFontMetricsF metrics(font_);
  if (wrap_ != Wrap::lines || text_.isEmpty()) return static_cast<int>(std::ceil(metrics.height()));
  QTextLayout layout(text_, font_);
  return static_cast<int>(std::ceil(layOut(layout, std::max(1, width))));
}

QSize TText::sizeHint() const {
  const QFontMetricsF metrics(font_);
  const int width = static_cast<int>(std::ceil(metrics.horizontalAdvance(text_)));
  return {width, static_cast<int>(std::ceil(metrics.height()))};
}

QSize TText::minimumSizeHint() const {
  if (wrap_ != Wrap::lines) return {0, sizeHint().height()};
  return {0, heightForWidth(width() > 0 ? width() : sizeHint().width())};
}

void TText::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.setPen(tone_.resolve(theme_.tint(), opacity_));
  painter.setFont(font_);
  if (wrap_ != Wrap::lines) {
    // One line, centred in the height it was given.
    const QFontMetricsF metrics(font_);
    const QString shown = shownText();
    const double x = alignment_ & Qt::AlignRight ? width() - metrics.horizontalAdvance(shown) : 0;
    painter.drawText(QPointF(x, (height() + metrics.ascent() - metrics.descent()) / 2), shown);
    return;
  }
  QTextLayout layout(text_, font_);
  layOut(layout, width());
  layout.draw(&painter, QPointF(0, 0));
}

SectionLabel::SectionLabel(ThemeManager& theme, const QString& text, QWidget* parent)
    : TText(theme, AppFonts::sectionLabel(), Tone::dimmed(), Wrap::elideEnd, parent) {
  setLabel(text);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void SectionLabel::setLabel(const QString& text) {
  setText(text.toUpper());
}

}  // namespace tervane
