// The walk-through shown at the first launch and again from the bar menu: six short
// screens (the problem, the one line, typed right there, what gets hidden, the receipt,
// the two ways to stop, and where the application lives, with its shortcuts and the
// choice to open at login). The shown screen is the model's `firstRunStep`, kept within
// the six, so it survives closing and reopening the panel within a run.
//
// Closing (the × mark, Escape, "Got it", "Not now" or "Start") applies the login choice
// only from the last screen, then hands over to the application shell's `dismiss`, which
// records that the walk-through was seen and hides the panel. "Start" also starts the
// first stage at once with the default rule.
#pragma once

#include <QStackedWidget>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/card/CaptureInput.h"
#include "app/paint/TText.h"
#include "app/paint/TVerb.h"
#include "app/panels/FirstRunParts.h"
#include "look/Shortcut.h"
#include "look/ThemeManager.h"
#include "session/MacNowModel.h"

namespace tervane {

// One line of the shortcut list: the keys as Linux writes them ("Ctrl+Alt+Super+N"; empty
// when the person cleared the shortcut) and what the shortcut does.
struct HotkeyLine {
  std::string keys;
  std::string verb;

  friend bool operator==(const HotkeyLine&, const HotkeyLine&) = default;
};

// The application shell's part of the walk-through.
struct FirstRunHooks {
  std::function<bool()> isLoginItemOn;
  std::function<void(bool on)> setLoginItem;
  // Records that the walk-through was seen and hides its panel. It runs inside this view's
  // own handlers, so it may hide the panel at once but must release it with deleteLater.
  std::function<void()> dismiss;
  // On a desktop without a tray, where the bee the last screen speaks of cannot show:
  // how the card is reached instead, said on that screen. Asked each time it is shown.
  std::function<std::optional<std::string>()> withoutTrayNote;
};

class FirstRun final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kWidth = 660;
  static constexpr int kHeight = 560;
  static constexpr int kSidePadding = 30;
  static constexpr int kEndPadding = 28;
  static constexpr int kScreenCount = 6;
  // Wide enough for the longest key names Linux writes ("Ctrl+Alt+Super+N").
  static constexpr int kKeysColumn = 120;

  struct Screen {
    QString title;  // may hold a line break
    QString line;
    std::optional<QString> footnote;
    FirstRunIllustration::Kind illustration;
    bool oneLine = false;    // the line editor
    bool shortcuts = false;  // the shortcut list and the login choice
  };
  static const std::vector<Screen>& screens();

  // The four named shortcuts in order, read now.
  static std::vector<HotkeyLine> hotkeyLines(const KeyboardShortcuts& shortcuts);
  // "Ctrl+Alt+Super+N"; empty for none.
  static std::string keysText(const std::optional<Shortcut>& shortcut);

  FirstRun(std::shared_ptr<MacNowModel> model, ThemeManager& theme,
           std::vector<HotkeyLine> shortcuts, FirstRunHooks hooks, QWidget* parent = nullptr);
  ~FirstRun() override;

  // `firstRunStep` kept within 0 … 5.
  int shownStep() const;

  void next();
  void back();
  void select(int index);
  void close();
  void start();

  bool openAtLogin() const;
  QString draft() const;

  // The parts on screen, for the shell and for tests.
  TText* title() const;
  TText* line() const;
  TText* footnote() const;  // null on a screen without one
  FirstRunIllustration* illustration() const;
  CaptureInput* input() const { return input_; }
  TCheck* loginBox() const { return loginBox_; }
  // The last screen's word on reaching the card without a tray; hidden where a tray is.
  TText* withoutTrayNote() const { return withoutTrayNote_; }
  StepDots* dots() const { return dots_; }
  CloseMark* closeMark() const { return closeMark_; }
  QStringList verbTitles() const;
  TVerb* verb(const QString& title) const;
  // Each line of the shortcut list as shown: keys and verb.
  std::vector<std::pair<QString, QString>> shortcutRows() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  struct Page {
    QWidget* widget = nullptr;
    TText* title = nullptr;
    TText* line = nullptr;
    TText* footnote = nullptr;
    FirstRunIllustration* illustration = nullptr;
  };
  Page buildPage(int index);
  void refresh();
  void refreshVerbs();
  void setStep(int step);
  void prominent();

  std::shared_ptr<MacNowModel> model_;
  ThemeManager& theme_;
  std::vector<HotkeyLine> shortcuts_;
  FirstRunHooks hooks_;
  bool shown_ = false;
  int pageShown_ = -1;

  QWidget* content_ = nullptr;
  StepDots* dots_ = nullptr;
  CloseMark* closeMark_ = nullptr;
  QStackedWidget* stack_ = nullptr;
  std::vector<Page> pages_;
  CaptureInput* input_ = nullptr;
  TCheck* loginBox_ = nullptr;
  TText* withoutTrayNote_ = nullptr;
  HotkeyList* hotkeys_ = nullptr;
  TVerbRow* verbs_ = nullptr;
  TVerb* back_ = nullptr;
  TVerb* next_ = nullptr;
  TVerb* notNow_ = nullptr;
  TVerb* start_ = nullptr;
  TVerb* gotIt_ = nullptr;

  Signal<int>::Connection stepConnection_;
  Signal<std::optional<AttentionTask>>::Connection nowConnection_;
};

}  // namespace tervane
