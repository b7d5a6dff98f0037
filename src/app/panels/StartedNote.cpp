#include "app/panels/StartedNote.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "app/paint/AppFonts.h"
#include "app/paint/Tone.h"
#include "words/ClearingStrings.h"
#include "words/StageWords.h"

namespace tervane {

StartedNote::StartedNote(ThemeManager& theme, const StageSnapshot& stage, QWidget* parent)
    : QWidget(parent), theme_(theme) {
  setFixedSize(kWidth, kHeight);
  setAttribute(Qt::WA_TransparentForMouseEvents);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
  column->setSpacing(0);

  auto* header = new QHBoxLayout;
  header->setSpacing(7);
  auto* bee = new BeeMark(theme_, 13, this);
  bee->setPose(false, 1);
  header->addWidget(bee, 0, Qt::AlignVCenter);
  header->addWidget(new SectionLabel(theme_, QStringLiteral("You are on"), this), 1,
                    Qt::AlignVCenter);
  column->addLayout(header);
  column->addSpacing(18);

  headline_ =
      new TText(theme_, AppFonts::spaceGrotesk(28), Tone::ink(), TText::Wrap::elideEnd, this);
  headline_->setText(QString::fromStdString(ClearingStrings::shieldHeadline(stage.actionText)));
  column->addWidget(headline_);
  column->addSpacing(16);

  whatIDid_ = new TText(theme_, AppFonts::figtree(14, AppFonts::Weight::medium), Tone::ink(),
                        TText::Wrap::lines, this);
  whatIDid_->setText(QString::fromStdString(StageWords::whatIDid(stage)));
  column->addWidget(whatIDid_);
  column->addSpacing(8);

  reassurance_ = new TText(theme_, AppFonts::figtree(12), Tone::dimmed(), TText::Wrap::lines, this);
  reassurance_->setText(reassurance());
  column->addWidget(reassurance_);
  column->addStretch(1);

  tintConnection_ = theme_.tintChanged().connect([this](const TervaneTint&) { update(); });
}

void StartedNote::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath shape;
  shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius, kCornerRadius);
  painter.fillPath(shape, Tone::deepBg().resolve(theme_.tint()));
  painter.strokePath(shape,
                     QPen(Tone::ink(TervaneTints::hairlineOpacity).resolve(theme_.tint()), 1));
}

}  // namespace tervane
