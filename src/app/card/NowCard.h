// The now card: the whole face of the application, shown in the bar's popover. It shows
// the person's one line or the prompt to write one, the one question for next time, the
// confirmation after a finish with its "Undo", and, while a stage is open, the receipt of
// what stayed, what was hidden and what came forward, with a way back from every row.
//
// The card keeps no state of its own beyond the draft in its line editor, whether it has
// assembled (its rows settle in once, the first time it is shown), whether the verbs are
// hovered, and which window rows are open. Everything else is read from the session model
// and redrawn when one of the model's change signals fires. Every control calls exactly
// one model operation. Control-Return answers the prominent verb on screen: "Start",
// "Back to it." while paused, else the Finished verb of an open stage.
#pragma once

#include <QTimer>
#include <QWidget>
#include <memory>
#include <optional>

#include "app/card/CaptureInput.h"
#include "app/card/OneQuestion.h"
#include "app/card/ReceiptViews.h"
#include "app/paint/BeeMark.h"
#include "app/paint/TBecause.h"
#include "app/paint/TColumn.h"
#include "app/paint/TText.h"
#include "app/paint/TVerb.h"
#include "base/Signal.h"
#include "look/ThemeManager.h"
#include "session/MacNowModel.h"

class QShortcut;

namespace tervane {

class NowCard final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kWidth = 340;
  static constexpr int kPadding = 18;
  // The keyboard hint of the prominent verbs: Control-Return on Linux.
  static QString shortcutHint() { return QStringLiteral("Ctrl+\u21A9"); }

  NowCard(std::shared_ptr<MacNowModel> model, ThemeManager& theme, QWidget* parent = nullptr);
  ~NowCard() override;

  bool assembled() const { return assembled_; }
  bool verbsHovered() const { return verbsHovered_; }

  // The card's parts, for the app shell and for tests. Which of them are on screen follows
  // the model (`isVisibleTo(card)`).
  BeeMark* bee() const { return bee_; }
  OneQuestion* question() const { return question_; }
  TText* line() const { return line_; }
  TText* justFinished() const { return justFinishedText_; }
  TPlainButton* undo() const { return undo_; }
  TText* prompt() const { return prompt_; }
  CaptureInput* input() const { return input_; }
  TVerb* start() const { return start_; }
  TVerb* finishLine() const { return finishLine_; }
  TText* stageHeader() const { return stageHeader_; }
  TText* note() const { return note_; }
  TBecause* because() const { return because_; }
  ReceiptView* receipt() const { return receipt_; }
  TVerb* park() const { return park_; }
  TVerb* resume() const { return resume_; }
  TVerb* showEverything() const { return showEverything_; }
  TVerb* finishStage() const { return finishStage_; }
  TVerbRow* lineVerbs() const { return lineVerbs_; }
  // What Show everything could not bring back, while the line stays.
  TText* notBack() const { return notBack_; }
  TVerbRow* stageVerbs() const { return stageVerbs_; }

  // Gives the keyboard to the line editor when it is on the card, else to the card itself
  // (where Control-Return answers the prominent verb).
  void takeFocus();

  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;
  QSize sizeHint() const override;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void build();
  void refresh();
  void refreshQuestion();
  void refreshStage(const StageSnapshot& stage);
  void refreshHeader(const StageSnapshot& stage);
  void refit();
  void prominentAction();
  void setVerbsHovered(bool hovered);

  std::shared_ptr<MacNowModel> model_;
  ThemeManager& theme_;
  bool assembled_ = false;
  bool verbsHovered_ = false;
  std::optional<bool> shownPaused_;
  std::optional<StageSnapshot> shownStage_;

  BeeMark* bee_ = nullptr;
  TColumn* questionBox_ = nullptr;
  OneQuestion* question_ = nullptr;
  TText* line_ = nullptr;
  TColumn* promptBox_ = nullptr;
  TColumn* justFinishedBox_ = nullptr;
  TText* justFinishedText_ = nullptr;
  TPlainButton* undo_ = nullptr;
  TText* prompt_ = nullptr;
  CaptureInput* input_ = nullptr;
  TColumn* lineVerbsBox_ = nullptr;
  TVerbRow* lineVerbs_ = nullptr;
  TText* notBack_ = nullptr;
  TVerb* start_ = nullptr;
  TVerb* finishLine_ = nullptr;
  TColumn* stageBox_ = nullptr;
  TText* stageHeader_ = nullptr;
  TColumn* noteBox_ = nullptr;
  TText* note_ = nullptr;
  TColumn* becauseBox_ = nullptr;
  TBecause* because_ = nullptr;
  ReceiptView* receipt_ = nullptr;
  TVerbRow* stageVerbs_ = nullptr;
  TVerb* park_ = nullptr;
  TVerb* resume_ = nullptr;
  TVerb* showEverything_ = nullptr;
  TVerb* finishStage_ = nullptr;
  QShortcut* returnShortcut_ = nullptr;
  QShortcut* enterShortcut_ = nullptr;
  // The pause sentence counts minutes, which pass without the model changing.
  QTimer pausedClock_;

  Signal<std::optional<AttentionTask>>::Connection nowConnection_;
  Signal<std::optional<StageSnapshot>>::Connection stageConnection_;
  Signal<std::string>::Connection becauseConnection_;
  Signal<std::optional<std::string>>::Connection justFinishedConnection_;
  Signal<std::optional<ObservationLog::Observation>>::Connection questionConnection_;
  Signal<TervaneTint>::Connection tintConnection_;
};

}  // namespace tervane
