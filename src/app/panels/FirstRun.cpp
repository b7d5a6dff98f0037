#include "app/panels/FirstRun.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>

#include "app/paint/AppFonts.h"
#include "app/paint/BeeMark.h"
#include "app/paint/TPanelCanvas.h"
#include "app/paint/Tone.h"
#include "app/panels/Entrance.h"
#include "look/Motion.h"

namespace tervane {
namespace {

using Kind = FirstRunIllustration::Kind;

// A title's line break, as the text layout breaks a line.
QString shownTitle(QString title) {
  return title.replace(QLatin1Char('\n'), QChar(QChar::LineSeparator));
}

QString fromStd(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

const std::vector<FirstRun::Screen>& FirstRun::screens() {
  static const std::vector<Screen> all = {
      {QStringLiteral("Nothing gets done\non a messy desk."),
       QStringLiteral("Forty tabs. Nine windows. The one thing you meant to do is under all of "
                      "it, and the day goes without it."),
       std::nullopt, Kind::crowded},
      {QStringLiteral("What are you doing\nright now?"),
       QStringLiteral("Say it in one line, right here. That is the whole setup."),
       // The capture shortcut's keys as they are named on Linux keyboards.
       QStringLiteral("Later, Control Alt Super N writes it from any app."), Kind::oneLine, true},
      {QStringLiteral("I hide\neverything else."),
       QStringLiteral("Whatever your one thing does not need goes quiet. Hidden, never quit, "
                      "and still running."),
       QStringLiteral("Each browser asks permission once, so its windows can go too."),
       Kind::clearing},
      {QStringLiteral("You decide\nwhat stays."),
       QStringLiteral("The card shows what stayed, what went, and why. Change any of it with "
                      "one click."),
       std::nullopt, Kind::receipt},
      {QStringLiteral("Two ways\nto stop."),
       QStringLiteral("Show everything puts your apps back and keeps your line. Finished puts "
                      "your apps back and ticks it off."),
       QStringLiteral("Nothing is ever closed. Every app comes back where you left it."),
       Kind::restored},
      {QStringLiteral("It lives in\nyour menu bar."),
       QStringLiteral("Click the bee any time. No Dock icon, no window to keep tidy."),
       std::nullopt, Kind::menuBar, false, true},
  };
  return all;
}

std::string FirstRun::keysText(const std::optional<Shortcut>& shortcut) {
  if (!shortcut) return "";
  const int mask = shortcut->carbonModifiers;
  std::string text;
  if (mask & CarbonModifier::control) text += "Ctrl+";
  if (mask & CarbonModifier::option) text += "Alt+";
  if (mask & CarbonModifier::shift) text += "Shift+";
  if (mask & CarbonModifier::command) text += "Super+";
  if (mask & CarbonModifier::function) text += "Fn+";
  return text + keyLabel(shortcut->carbonKeyCode);
}

std::vector<HotkeyLine> FirstRun::hotkeyLines(const KeyboardShortcuts& shortcuts) {
  std::vector<HotkeyLine> lines;
  for (const auto& name : AppShortcuts::all()) {
    lines.push_back({keysText(shortcuts.getShortcut(name)), AppShortcuts::verb(name)});
  }
  return lines;
}

FirstRun::FirstRun(std::shared_ptr<MacNowModel> model, ThemeManager& theme,
                   std::vector<HotkeyLine> shortcuts, FirstRunHooks hooks, QWidget* parent)
    : QWidget(parent),
      model_(std::move(model)),
      theme_(theme),
      shortcuts_(std::move(shortcuts)),
      hooks_(std::move(hooks)) {
  setFixedSize(kWidth, kHeight);
  setFocusPolicy(Qt::StrongFocus);
  setWindowTitle(QStringLiteral("Tervane Now"));

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(kSidePadding, kEndPadding, kSidePadding, kEndPadding);
  outer->setSpacing(0);

  auto* header = new QHBoxLayout;
  header->setSpacing(8);
  auto* bee = new BeeMark(theme_, 15, this);
  bee->setPose(false, 1);
  header->addWidget(bee, 0, Qt::AlignVCenter);
  header->addWidget(new SectionLabel(theme_, QStringLiteral("Tervane Now"), this), 0,
                    Qt::AlignVCenter);
  header->addStretch(1);
  QStringList titles;
  for (const auto& screen : screens()) {
    titles << QString(screen.title).replace(QLatin1Char('\n'), QLatin1Char(' '));
  }
  dots_ = new StepDots(theme_, titles, this);
  dots_->onSelect = [this](int index) { select(index); };
  header->addWidget(dots_, 0, Qt::AlignVCenter);
  header->addSpacing(12);
  closeMark_ = new CloseMark(theme_, this);
  connect(closeMark_, &QAbstractButton::clicked, this, &FirstRun::close);
  header->addWidget(closeMark_, 0, Qt::AlignVCenter);
  outer->addLayout(header);
  outer->addSpacing(22);

  content_ = new QWidget(this);
  auto* contentColumn = new QVBoxLayout(content_);
  contentColumn->setContentsMargins(0, 0, 0, 0);
  contentColumn->setSpacing(0);
  stack_ = new QStackedWidget(content_);
  for (int i = 0; i < kScreenCount; ++i) {
    pages_.push_back(buildPage(i));
    stack_->addWidget(pages_.back().widget);
  }
  contentColumn->addWidget(stack_, 1);
  outer->addWidget(content_, 1);

  verbs_ = new TVerbRow(this);
  auto add = [this](const QString& title, bool isProminent, void (FirstRun::*action)()) {
    auto* verb = new TVerb(theme_, title, isProminent);
    verb->setFocusPolicy(Qt::NoFocus);
    connect(verb, &QAbstractButton::clicked, this, action);
    verbs_->addVerb(verb);
    return verb;
  };
  back_ = add(QStringLiteral("Back"), false, &FirstRun::back);
  next_ = add(QStringLiteral("Next"), true, &FirstRun::next);
  notNow_ = add(QStringLiteral("Not now"), false, &FirstRun::close);
  start_ = add(QStringLiteral("Start"), true, &FirstRun::start);
  gotIt_ = add(QStringLiteral("Got it"), true, &FirstRun::close);
  auto* verbRow = new QHBoxLayout;
  verbRow->addStretch(1);
  verbRow->addWidget(verbs_);
  outer->addSpacing(12);
  outer->addLayout(verbRow);

  stepConnection_ = model_->firstRunStepChanged().connect([this](const int&) { refresh(); });
  nowConnection_ =
      model_->nowChanged().connect([this](const std::optional<AttentionTask>&) { refresh(); });
  refresh();
}

FirstRun::~FirstRun() = default;

FirstRun::Page FirstRun::buildPage(int index) {
  const Screen& screen = screens()[static_cast<std::size_t>(index)];
  Page page;
  page.widget = new QWidget;
  auto* column = new QVBoxLayout(page.widget);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  page.illustration = new FirstRunIllustration(theme_, screen.illustration, page.widget);
  column->addWidget(page.illustration, 0, Qt::AlignLeft);
  column->addSpacing(18);

  page.title =
      new TText(theme_, AppFonts::spaceGrotesk(45), Tone::ink(), TText::Wrap::lines, page.widget);
  page.title->setText(shownTitle(screen.title));
  column->addWidget(page.title);
  column->addSpacing(12);

  page.line =
      new TText(theme_, AppFonts::figtree(16), Tone::ink(), TText::Wrap::lines, page.widget);
  page.line->setText(screen.line);
  column->addWidget(page.line);

  if (screen.footnote) {
    column->addSpacing(8);
    page.footnote =
        new TText(theme_, AppFonts::figtree(12), Tone::dimmed(), TText::Wrap::lines, page.widget);
    page.footnote->setText(*screen.footnote);
    column->addWidget(page.footnote);
  }

  if (screen.oneLine) {
    column->addSpacing(18);
    input_ = new CaptureInput(theme_, false, page.widget);
    input_->onSubmit = [this] { next(); };
    column->addWidget(input_);
  }

  if (screen.shortcuts) {
    withoutTrayNote_ =
        new TText(theme_, AppFonts::figtree(12), Tone::accent(), TText::Wrap::lines, page.widget);
    withoutTrayNote_->hide();
    column->addSpacing(8);
    column->addWidget(withoutTrayNote_);
    column->addSpacing(14);
    std::vector<std::pair<QString, QString>> rows;
    for (const auto& hotkey : shortcuts_)
      rows.emplace_back(fromStd(hotkey.keys), fromStd(hotkey.verb));
    hotkeys_ = new HotkeyList(theme_, std::move(rows), kKeysColumn, page.widget);
    column->addWidget(hotkeys_);
    column->addSpacing(12);
    loginBox_ = new TCheck(
        theme_, QStringLiteral("Open when you log in, so the bee is always there."), page.widget);
    // On a true first run the box starts ticked.
    loginBox_->setChecked(true);
    column->addWidget(loginBox_, 0, Qt::AlignLeft);
  }
  column->addStretch(1);
  return page;
}

int FirstRun::shownStep() const {
  return std::clamp(model_->firstRunStep(), 0, kScreenCount - 1);
}

bool FirstRun::openAtLogin() const {
  return loginBox_ && loginBox_->isChecked();
}

QString FirstRun::draft() const {
  return input_ ? input_->text() : QString();
}

void FirstRun::setStep(int step) {
  if (step != model_->firstRunStep()) model_->setFirstRunStep(step);
}

void FirstRun::next() {
  const int index = shownStep();
  if (index == 1) model_->capture(draft().toStdString());
  // The last screen has no Next; a step past it would only show the last screen again.
  if (index + 1 < kScreenCount) setStep(index + 1);
}

void FirstRun::back() {
  const int index = shownStep();
  if (index >= 1) setStep(index - 1);
}

void FirstRun::select(int index) {
  if (index < 0 || index >= kScreenCount) return;
  setStep(index);
}

void FirstRun::close() {
  if (shownStep() == kScreenCount - 1 && hooks_.setLoginItem) hooks_.setLoginItem(openAtLogin());
  if (hooks_.dismiss) hooks_.dismiss();
}

void FirstRun::start() {
  // Dismissing may release the panel and this view with it: keep the model at hand.
  const auto model = model_;
  close();
  model->set(SeedRule::defaultRule());
}

void FirstRun::refresh() {
  const int index = shownStep();
  if (index == kScreenCount - 1 && withoutTrayNote_) {
    const auto note = hooks_.withoutTrayNote ? hooks_.withoutTrayNote() : std::nullopt;
    withoutTrayNote_->setVisible(note.has_value());
    if (note) withoutTrayNote_->setText(fromStd(*note));
  }
  if (index != pageShown_) {
    const bool first = pageShown_ < 0;
    pageShown_ = index;
    stack_->setCurrentIndex(index);
    dots_->setCurrent(index);
    if (!first && shown_)
      enterStaged(pages_[static_cast<std::size_t>(index)].widget, TMacMotion::page);
  }
  refreshVerbs();
}

void FirstRun::refreshVerbs() {
  const int index = shownStep();
  const bool last = index == kScreenCount - 1;
  const bool hasLine = model_->now().has_value();
  back_->setVisible(index >= 1);
  next_->setVisible(!last);
  notNow_->setVisible(last && hasLine);
  start_->setVisible(last && hasLine);
  gotIt_->setVisible(last && !hasLine);
  verbs_->verbChanged();
}

void FirstRun::prominent() {
  for (TVerb* verb : {next_, start_, gotIt_}) {
    if (!verb->isHidden()) {
      verb->click();
      return;
    }
  }
}

QStringList FirstRun::verbTitles() const {
  QStringList titles;
  for (auto* verb : verbs_->verbs()) {
    if (!verb->isHidden()) titles << verb->title();
  }
  return titles;
}

TVerb* FirstRun::verb(const QString& title) const {
  for (auto* verb : verbs_->verbs()) {
    if (!verb->isHidden() && verb->title() == title) return verb;
  }
  return nullptr;
}

TText* FirstRun::title() const {
  return pages_[static_cast<std::size_t>(shownStep())].title;
}
TText* FirstRun::line() const {
  return pages_[static_cast<std::size_t>(shownStep())].line;
}
TText* FirstRun::footnote() const {
  return pages_[static_cast<std::size_t>(shownStep())].footnote;
}
FirstRunIllustration* FirstRun::illustration() const {
  return pages_[static_cast<std::size_t>(shownStep())].illustration;
}

std::vector<std::pair<QString, QString>> FirstRun::shortcutRows() const {
  return hotkeys_ ? hotkeys_->rows() : std::vector<std::pair<QString, QString>>{};
}

void FirstRun::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shown_) return;
  shown_ = true;
  // Asked for again from the bar menu: the box says how the login item stands now.
  if (model_->hasSeenFirstRun() && hooks_.isLoginItemOn && loginBox_) {
    loginBox_->setChecked(hooks_.isLoginItemOn());
  }
  if (shownStep() != 1) setFocus(Qt::ActiveWindowFocusReason);
  enterStaged(content_, TMacMotion::panel);
}

void FirstRun::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  TPanelCanvas::paint(painter, rect());
}

void FirstRun::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
      event->accept();
      close();
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      event->accept();
      prominent();
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

}  // namespace tervane
