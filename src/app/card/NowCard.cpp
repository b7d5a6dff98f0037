#include "app/card/NowCard.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QShortcut>
#include <QVBoxLayout>

#include "app/paint/AppFonts.h"
#include "app/paint/TColumn.h"
#include "app/paint/Transitions.h"
#include "look/Motion.h"
#include "words/StageWords.h"

namespace tervane {
namespace {

constexpr int kPausedRefreshMs = 20 * 1000;

QString qs(const std::string& text) {
  return QString::fromStdString(text);
}

bool holdsMoreThanTabs(const std::vector<StageItem>& items) {
  return std::any_of(items.begin(), items.end(),
                     [](const StageItem& item) { return item.kind != StageItem::Kind::tab; });
}

}  // namespace

NowCard::NowCard(std::shared_ptr<MacNowModel> model, ThemeManager& theme, QWidget* parent)
    : QWidget(parent), model_(std::move(model)), theme_(theme) {
  setFixedWidth(kWidth);
  QSizePolicy policy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  policy.setHeightForWidth(true);
  setSizePolicy(policy);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::ClickFocus);
  build();

  nowConnection_ = model_->nowChanged().connect([this](const auto&) { refresh(); });
  stageConnection_ = model_->openStageChanged().connect([this](const auto&) { refresh(); });
  becauseConnection_ = model_->lastBecauseChanged().connect([this](const auto&) { refresh(); });
  justFinishedConnection_ =
      model_->justFinishedChanged().connect([this](const auto&) { refresh(); });
  questionConnection_ =
      model_->pendingQuestionChanged().connect([this](const auto&) { refresh(); });
  tintConnection_ = theme_.tintChanged().connect([this](const auto&) { update(); });

  pausedClock_.setInterval(kPausedRefreshMs);
  connect(&pausedClock_, &QTimer::timeout, this, [this] {
    if (const auto& stage = model_->openStage()) refreshHeader(*stage);
  });
  refresh();
}

NowCard::~NowCard() = default;

void NowCard::build() {
  auto* layout = new QVBoxLayout(this);
  layout->setSpacing(0);
  layout->setContentsMargins(kPadding, kPadding, kPadding, kPadding);

  // 1. Head: the bee and the name.
  auto* head = new QHBoxLayout;
  head->setSpacing(7);
  bee_ = new BeeMark(theme_, 13, this);
  head->addWidget(bee_);
  head->addWidget(new SectionLabel(theme_, QStringLiteral("Tervane Now"), this));
  head->addStretch(1);
  layout->addLayout(head);
  layout->addSpacing(14);

  // 3. The one question, with its rule below.
  questionBox_ = new TColumn(this);
  layout->addWidget(questionBox_);

  // 4. The line, or the prompt with the line editor.
  line_ = new TText(theme_, AppFonts::spaceGrotesk(24), Tone::ink(), TText::Wrap::lines, this);
  layout->addWidget(line_);

  promptBox_ = new TColumn(this);
  auto* prompt = promptBox_->column();
  justFinishedBox_ = new TColumn(promptBox_);
  auto* finished = justFinishedBox_->column();
  auto* finishedRow = new QHBoxLayout;
  finishedRow->setSpacing(8);
  justFinishedText_ = new TText(theme_, AppFonts::figtree(12), Tone::dimmed(), TText::Wrap::lines,
                                justFinishedBox_);
  undo_ = new TPlainButton(theme_, QStringLiteral("Undo"), AppFonts::figtree(12), Tone::accent(),
                           justFinishedBox_);
  finishedRow->addWidget(justFinishedText_, 1);
  finishedRow->addWidget(undo_, 0, Qt::AlignTop);
  finished->addLayout(finishedRow);
  finished->addSpacing(14);
  finished->addWidget(new THairline(justFinishedBox_));
  finished->addSpacing(14);
  prompt->addWidget(justFinishedBox_);
  prompt_ = new TText(theme_, AppFonts::figtree(16, AppFonts::Weight::medium), Tone::dimmed(),
                      TText::Wrap::lines, promptBox_);
  prompt_->setText(QStringLiteral("What is the one thing?"));
  prompt->addWidget(prompt_);
  prompt->addSpacing(10);
  input_ = new CaptureInput(theme_, /*large=*/false, promptBox_);
  prompt->addWidget(input_);
  layout->addWidget(promptBox_);

  // 5a. No stage yet: "Start" and "Finished".
  lineVerbsBox_ = new TColumn(this);
  auto* lineVerbs = lineVerbsBox_->column();
  notBack_ =
      new TText(theme_, AppFonts::figtree(12), Tone::dimmed(), TText::Wrap::lines, lineVerbsBox_);
  lineVerbs->addSpacing(12);
  lineVerbs->addWidget(notBack_);
  lineVerbs->addSpacing(16);
  lineVerbs_ = new TVerbRow(lineVerbsBox_);
  start_ = new TVerb(theme_, QStringLiteral("Start"), /*prominent=*/true, shortcutHint());
  finishLine_ = new TVerb(theme_, QStringLiteral("Finished"));
  lineVerbs_->addVerb(start_);
  lineVerbs_->addVerb(finishLine_);
  lineVerbs->addWidget(lineVerbs_);
  layout->addWidget(lineVerbsBox_);

  // 5b. The stage body.
  stageBox_ = new TColumn(this);
  auto* stage = stageBox_->column();
  stage->addSpacing(14);
  stage->addWidget(new THairline(stageBox_));
  stage->addSpacing(12);
  stageHeader_ = new TText(theme_, AppFonts::figtree(14, AppFonts::Weight::medium), Tone::ink(),
                           TText::Wrap::lines, stageBox_);
  stage->addWidget(stageHeader_);
  noteBox_ = new TColumn(stageBox_);
  auto* note = noteBox_->column();
  note->addSpacing(6);
  note_ = new TText(theme_, AppFonts::figtree(12), Tone::dimmed(), TText::Wrap::lines, noteBox_);
  note_->setText(QStringLiteral(
      "Nothing was closed. They are all still running, just off your screen. Show everything "
      "brings them back."));
  note->addWidget(note_);
  stage->addWidget(noteBox_);
  becauseBox_ = new TColumn(stageBox_);
  auto* because = becauseBox_->column();
  because->addSpacing(10);
  because_ = new TBecause(theme_, {}, becauseBox_);
  because->addWidget(because_);
  stage->addWidget(becauseBox_);
  stage->addSpacing(18);
  receipt_ = new ReceiptView(theme_, stageBox_);
  stage->addWidget(receipt_);
  stage->addSpacing(20);
  stageVerbs_ = new TVerbRow(stageBox_);
  park_ = new TVerb(theme_, QStringLiteral("I need a minute"));
  resume_ = new TVerb(theme_, QStringLiteral("Back to it."), /*prominent=*/true, shortcutHint());
  showEverything_ = new TVerb(theme_, QStringLiteral("Show everything"));
  finishStage_ = new TVerb(theme_, QStringLiteral("Finished this one"), false, shortcutHint());
  for (auto* verb : {resume_, park_, showEverything_, finishStage_}) stageVerbs_->addVerb(verb);
  stage->addWidget(stageVerbs_);
  layout->addWidget(stageBox_);

  // Each control calls one model operation.
  connect(undo_, &QAbstractButton::clicked, this, [this] { model_->undoFinish(); });
  connect(start_, &QAbstractButton::clicked, this,
          [this] { model_->set(SeedRule::defaultRule()); });
  connect(finishLine_, &QAbstractButton::clicked, this, [this] { model_->done(); });
  connect(park_, &QAbstractButton::clicked, this, [this] { model_->park(); });
  connect(resume_, &QAbstractButton::clicked, this, [this] { model_->resume(); });
  connect(showEverything_, &QAbstractButton::clicked, this,
          [this] { model_->bringBack(/*waitingForBrowsers=*/false); });
  connect(finishStage_, &QAbstractButton::clicked, this, [this] { model_->done(); });
  receipt_->onStowAlso = [this](const StageItem& item) { model_->stowAlso(item); };
  receipt_->onKeepAnyway = [this](const StageItem& item) { model_->keepAnyway(item); };
  input_->onSubmit = [this] {
    // An empty draft goes to the model too, which ignores it; the draft empties either way.
    const std::string draft = input_->text().toStdString();
    model_->capture(draft);
    input_->setText({});
  };
  lineVerbs_->onHoverChanged = [this](bool hovered) { setVerbsHovered(hovered); };
  stageVerbs_->onHoverChanged = [this](bool hovered) { setVerbsHovered(hovered); };

  for (auto key : {Qt::Key_Return, Qt::Key_Enter}) {
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | key), this);
    // The card is its window's whole content: the key answers wherever the keyboard is in
    // it, even on a part that a change of the model has just hidden.
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, [this] { prominentAction(); });
    (key == Qt::Key_Return ? returnShortcut_ : enterShortcut_) = shortcut;
  }
}

void NowCard::refresh() {
  const auto& now = model_->now();
  const auto& stage = model_->openStage();
  const auto& finished = model_->justFinished();

  refreshQuestion();

  line_->setVisible(now.has_value());
  if (now) line_->setText(qs(now->textContent));

  promptBox_->setVisible(!now);
  const bool showFinished = !now && finished.has_value();
  // Nothing says back unless it is back.
  const auto& notBack = model_->notBack();
  notBack_->setVisible(!notBack.empty());
  notBack_->setText(qs(notBack));
  if (showFinished) {
    justFinishedText_->setText(
        qs(notBack.empty() ? StageWords::finishedAndUndone(*finished) : notBack));
    if (justFinishedBox_->isHidden() && assembled_) fadeIn(justFinishedBox_, TMacMotion::state);
  }
  justFinishedBox_->setVisible(showFinished);

  lineVerbsBox_->setVisible(!stage && now);
  stageBox_->setVisible(stage.has_value());
  if (stage) {
    refreshStage(*stage);
  } else {
    shownStage_.reset();
    pausedClock_.stop();
  }

  // The bee closes its wings and dims while the stage is paused.
  const bool paused = stage && stage->isParked();
  if (!shownPaused_) {
    bee_->setPose(!paused, paused ? 0.45 : 0.9);
  } else if (*shownPaused_ != paused) {
    bee_->animatePose(!paused, paused ? 0.45 : 0.9, TMacMotion::state);
  }
  shownPaused_ = paused;
  refit();

  // The editor may have held the keyboard when the prompt went; a hidden focus widget
  // would keep it, so the card takes it back.
  setFocusProxy(promptBox_->isHidden() ? nullptr : input_);
  QWidget* focused = window()->focusWidget();
  if (focused && isAncestorOf(focused) && !focused->isVisibleTo(window())) takeFocus();
}

void NowCard::takeFocus() {
  setFocus(Qt::OtherFocusReason);
}

void NowCard::refreshQuestion() {
  const auto& pending = model_->pendingQuestion();
  const bool asks = pending && OneQuestion::asks(*pending);
  if (question_ && (!asks || question_->observation() != *pending)) {
    // The answer buttons may be mid-click: let the old view go after this event.
    for (QObject* child : questionBox_->children()) {
      if (auto* widget = qobject_cast<QWidget*>(child)) {
        widget->hide();
        widget->deleteLater();
      }
    }
    QLayoutItem* item;
    while ((item = questionBox_->column()->takeAt(0)) != nullptr) delete item;
    question_ = nullptr;
  }
  if (asks && !question_) {
    auto* layout = questionBox_->column();
    question_ = new OneQuestion(model_, theme_, *pending, questionBox_);
    layout->addWidget(question_);
    layout->addSpacing(14);
    layout->addWidget(new THairline(questionBox_));
    layout->addSpacing(14);
    if (assembled_) fadeIn(question_, TMacMotion::state);
  }
  questionBox_->setVisible(question_ != nullptr);
}

void NowCard::refreshStage(const StageSnapshot& stage) {
  const bool paused = stage.isParked();
  refreshHeader(stage);
  noteBox_->setVisible(!paused && holdsMoreThanTabs(stage.stowed));
  const auto& because = model_->lastBecause();
  becauseBox_->setVisible(!because.empty());
  because_->setText(qs(because));

  if (shownStage_ != stage) {
    receipt_->setStage(stage, assembled_);
    shownStage_ = stage;
  }

  park_->setVisible(!paused);
  resume_->setVisible(paused);
  showEverything_->setVisible(holdsMoreThanTabs(stage.stowed));
  const auto& now = model_->now();
  finishStage_->setTitle(qs(StageWords::finished(now ? now->textContent : "")));
  // While paused the key belongs to "Back to it." alone, so only it shows the hint.
  finishStage_->setShortcutHint(paused ? std::nullopt : std::optional(shortcutHint()));

  if (paused && !pausedClock_.isActive()) pausedClock_.start();
  if (!paused) pausedClock_.stop();
}

void NowCard::refreshHeader(const StageSnapshot& stage) {
  if (stage.isParked()) {
    const auto minutes = model_->parkedMinutes();
    stageHeader_->setText(minutes ? qs(StageWords::paused(*minutes))
                                  : QStringLiteral("Paused. Your apps are still hidden."));
  } else {
    stageHeader_->setText(qs(StageWords::whatIDid(stage)));
  }
}

void NowCard::prominentAction() {
  const auto& stage = model_->openStage();
  if (stage) {
    if (stage->isParked()) {
      model_->resume();
    } else {
      model_->done();
    }
  } else if (model_->now()) {
    model_->set(SeedRule::defaultRule());
  }
}

void NowCard::setVerbsHovered(bool hovered) {
  verbsHovered_ = hovered;
}

int NowCard::heightForWidth(int width) const {
  return layout()->hasHeightForWidth() ? layout()->heightForWidth(width)
                                       : layout()->sizeHint().height();
}

QSize NowCard::sizeHint() const {
  return {kWidth, heightForWidth(kWidth)};
}

void NowCard::refit() {
  const int height = heightForWidth(kWidth);
  if (height != this->height() || minimumHeight() != height) setFixedHeight(height);
}

bool NowCard::event(QEvent* event) {
  const bool handled = QWidget::event(event);
  // A child grew or shrank (a wrapped line, the line editor): the card follows.
  if (event->type() == QEvent::LayoutRequest) refit();
  return handled;
}

void NowCard::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Minutes paused pass without the model changing; a card shown again reads them anew.
  if (const auto& stage = model_->openStage()) refreshHeader(*stage);
  takeFocus();
  if (assembled_) return;
  assembled_ = true;
  receipt_->enter();
  model_->prewarmPicker();
}

void NowCard::hideEvent(QHideEvent* event) {
  // The rows reset their own hover; the card's flag follows them.
  setVerbsHovered(false);
  QWidget::hideEvent(event);
}

void NowCard::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), qColor(TervaneTints::deepBg));
}

}  // namespace tervane
