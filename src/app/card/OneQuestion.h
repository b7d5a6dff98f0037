// The one question for next time, at the top of the card while the model has a pending
// observation: the question sentence, the names it would hide or leave alone when there
// are four or more of them (three or fewer are named in the sentence already), and two
// answers. Yes remembers the answer; no only clears the question. Both go through
// `answerQuestion`, the model's one operation for it.
#pragma once

#include <QWidget>
#include <memory>
#include <optional>

#include "app/paint/TColumn.h"
#include "app/paint/TText.h"
#include "app/paint/TVerb.h"
#include "learning/ObservationLog.h"
#include "look/ThemeManager.h"
#include "session/MacNowModel.h"

namespace tervane {

class OneQuestion final : public TColumn {
  Q_OBJECT

 public:
  // Lists start at this many names.
  static constexpr std::size_t kListFrom = 4;

  OneQuestion(std::shared_ptr<MacNowModel> model, ThemeManager& theme,
              const ObservationLog::Observation& observation, QWidget* parent = nullptr);

  // Whether an observation gives anything to ask; the card shows the view only then.
  static bool asks(const ObservationLog::Observation& observation);

  const ObservationLog::Observation& observation() const { return observation_; }
  QString question() const;
  // The names under "I would hide these" and "I would leave these alone"; empty when that
  // list is not drawn.
  QStringList hideNames() const { return hideNames_; }
  QStringList keepNames() const { return keepNames_; }
  TVerb* yes() const { return yes_; }
  TVerb* no() const { return no_; }

 private:
  QWidget* nameList(ThemeManager& theme, const QString& label, const std::vector<StageItem>& items,
                    QStringList& names);

  std::shared_ptr<MacNowModel> model_;
  ObservationLog::Observation observation_;
  TText* question_ = nullptr;
  TVerb* yes_ = nullptr;
  TVerb* no_ = nullptr;
  QStringList hideNames_;
  QStringList keepNames_;
};

}  // namespace tervane
