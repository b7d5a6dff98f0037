#include "app/card/OneQuestion.h"

#include <QVBoxLayout>

#include "app/paint/AppFonts.h"

namespace tervane {

bool OneQuestion::asks(const ObservationLog::Observation& observation) {
  return ObservationLog::prompt(observation).has_value();
}

OneQuestion::OneQuestion(std::shared_ptr<MacNowModel> model, ThemeManager& theme,
                         const ObservationLog::Observation& observation, QWidget* parent)
    : TColumn(parent), model_(std::move(model)), observation_(observation) {
  auto* layout = column();

  const auto prompt = ObservationLog::prompt(observation_);
  if (!prompt) return;
  question_ = new TText(theme, AppFonts::figtree(14, AppFonts::Weight::medium), Tone::ink(),
                        TText::Wrap::lines, this);
  question_->setText(QString::fromStdString(prompt->question));
  layout->addWidget(question_);

  if (observation_.putAwayNextTime.size() >= kListFrom) {
    layout->addSpacing(10);
    layout->addWidget(nameList(theme, QStringLiteral("I would hide these"),
                               observation_.putAwayNextTime, hideNames_));
  }
  if (observation_.keepNextTime.size() >= kListFrom) {
    layout->addSpacing(10);
    layout->addWidget(nameList(theme, QStringLiteral("I would leave these alone"),
                               observation_.keepNextTime, keepNames_));
  }

  layout->addSpacing(12);
  auto* answers = new TVerbRow(this);
  yes_ = new TVerb(theme, QString::fromStdString(prompt->yes));
  no_ = new TVerb(theme, QString::fromStdString(prompt->no));
  answers->addVerb(yes_);
  answers->addVerb(no_);
  layout->addWidget(answers);
  connect(yes_, &TVerb::clicked, this, [this] { model_->answerQuestion(true); });
  connect(no_, &TVerb::clicked, this, [this] { model_->answerQuestion(false); });
}

QWidget* OneQuestion::nameList(ThemeManager& theme, const QString& label,
                               const std::vector<StageItem>& items, QStringList& names) {
  auto* list = new TColumn(this);
  auto* layout = list->column();
  auto* title = new SectionLabel(theme, label, list);
  layout->addWidget(title);
  for (const auto& item : items) {
    auto* name =
        new TText(theme, AppFonts::figtree(12), Tone::dimmed(), TText::Wrap::elideEnd, list);
    name->setText(QString::fromStdString(item.name));
    name->setFixedHeight(22);
    layout->addWidget(name);
    names << name->text();
  }
  return list;
}

QString OneQuestion::question() const {
  return question_ ? question_->text() : QString();
}

}  // namespace tervane
