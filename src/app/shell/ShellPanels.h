// The shell's small floating panels: the one-line capture panel, the walk-through and the
// help panel. Each controller lives for the whole process and holds its panel only while
// it is shown: showing creates it, closing drops it. The capture panel is brought forward
// when it is shown again; the walk-through and help are replaced by a new panel.
//
// Panels are frameless tool windows above other windows on every workspace, centred on
// the screen under the pointer; they take the keyboard when shown. The walk-through and
// help move when dragged by their background. Views call close from inside their own
// handlers, so panels are released with deleteLater. Main thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

#include "app/panels/FirstRun.h"
#include "app/panels/HelpView.h"
#include "look/ThemeManager.h"
#include "session/MacNowModel.h"

namespace tervane {

// The capture panel's top-left corner: centred across the available area, raised by 9 %
// of its height.
QPoint capturePanelOrigin(const QRect& available, const QSize& size);

class CapturePanelController final : public QObject {
  Q_OBJECT

 public:
  static constexpr double kRaise = 0.09;

  // Called as the panel opens, before it takes the keyboard; what it gives is run after
  // the panel closed, to hand the keyboard back to where the person was. May be empty.
  using FocusKeeper = std::function<std::function<void()>()>;

  explicit CapturePanelController(FocusKeeper keepFocus = {}, QObject* parent = nullptr);
  ~CapturePanelController() override;

  // Shows the panel ready for typing, or brings the one on screen forward.
  void show(std::shared_ptr<MacNowModel> model, ThemeManager& theme);
  // Closes and drops the panel; also runs when it loses the keyboard.
  void close();

  QWidget* panel() const { return panel_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  FocusKeeper keepFocus_;
  std::function<void()> handBack_;
  QPointer<QWidget> panel_;
};

class FirstRunPanelController final : public QObject {
  Q_OBJECT

 public:
  FirstRunPanelController(const KeyboardShortcuts& shortcuts, FirstRunHooks hooks,
                          QObject* parent = nullptr);
  ~FirstRunPanelController() override;

  // Replaces any walk-through on screen with a new one.
  void show(std::shared_ptr<MacNowModel> model, ThemeManager& theme);
  // Closes and drops the panel; then, when asked, opens the card so the person can go on.
  void close(bool handBackMachine);

  QWidget* panel() const { return panel_; }
  FirstRun* view() const { return view_; }

  // Opens the card; set by the shell once the menu bar exists.
  std::function<void()> openCard;
  // The last screen's word on a desktop without a tray; set by the shell.
  std::function<std::optional<std::string>()> withoutTrayNote;

 private:
  const KeyboardShortcuts& shortcuts_;
  FirstRunHooks hooks_;
  QPointer<QWidget> panel_;
  QPointer<FirstRun> view_;
};

class HelpPanelController final : public QObject {
  Q_OBJECT

 public:
  explicit HelpPanelController(HelpOptions options, QObject* parent = nullptr);
  ~HelpPanelController() override;

  // Replaces any help panel on screen with a new one.
  void show(ThemeManager& theme);
  void close();

  QWidget* panel() const { return panel_; }
  HelpView* view() const { return view_; }

 private:
  HelpOptions options_;
  QPointer<QWidget> panel_;
  QPointer<HelpView> view_;
};

}  // namespace tervane
