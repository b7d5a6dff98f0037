// The application shell: builds the one session model with its collaborators, hands it to
// the tray bee, installs the four global shortcuts, owns the floating panels (capture,
// walk-through, help, started note) and brings everything back before the application
// quits. It only wires and shows; every decision about stages is the model's.
//
// What differs between desktops (the platform, the guard, where files live, the picker,
// how shortcuts reach the window system, the login item) comes in through
// `ShellEnvironment`, so the same shell runs on the X11 desktop and, in tests, on the
// simulated one. Main thread only.
#pragma once

#include <QObject>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/panels/HelpView.h"
#include "app/panels/StartedPanelController.h"
#include "app/shell/ShellPanels.h"
#include "app/shield/ShieldPanelController.h"
#include "app/tray/MenuBarController.h"
#include "app/tray/TrayPresence.h"
#include "base/Clock.h"
#include "base/Defaults.h"
#include "base/MainQueue.h"
#include "base/OffMainRunning.h"
#include "data/Store.h"
#include "guard/GuardObserving.h"
#include "learning/StageMemory.h"
#include "look/Shortcut.h"
#include "look/ThemeManager.h"
#include "session/MacNowModel.h"
#include "session/PlatformFactory.h"
#include "stage/ActPicker.h"
#include "stage/StageJournal.h"

namespace tervane {

struct ShellEnvironment {
  std::shared_ptr<MainQueue> main;
  std::shared_ptr<const Clock> clock;
  std::shared_ptr<OffMainRunning> offMain;
  std::shared_ptr<PlatformFactory> platform;
  std::shared_ptr<GuardObserving> monitor;
  // The standard settings (remembered choices, shortcuts, the activation log) and the
  // shared suite (the current line, the tint, the walk-through flag).
  std::shared_ptr<Defaults> standardDefaults;
  std::shared_ptr<Defaults> sharedDefaults;
  std::filesystem::path journalFolder;
  std::shared_ptr<ActPicking> picker;

  // Registers the action run when a named shortcut is released; empty on a desktop
  // without global shortcuts.
  std::function<void(const ShortcutName&, std::function<void()>)> onKeyUp;
  // The login item; empty when the desktop has none.
  std::function<bool()> isLoginItemOn;
  std::function<bool(bool on)> setLoginItem;
  // Notes where the keyboard is as the capture panel opens and gives what returns it
  // there when the panel closes.
  CapturePanelController::FocusKeeper keepFocus;
  // Ends the event loop; the shell's `applicationWillTerminate` runs after it.
  std::function<void()> quit;
  // Runs first when the application terminates, before anything is brought back: stops
  // what reaches the model from outside (the control socket).
  std::function<void()> willTerminate;

  // Whether a system tray can show the bee; empty: Qt's reading of the desktop's trays.
  std::function<bool()> trayProbe;
  // Shows a desktop notification; false when the desktop has no notification service.
  // Empty: there is none.
  std::function<bool(const std::string& text)> notify;

  MenuBarOptions menu;
  HelpOptions help;
};

class AppDelegate final : public QObject {
  Q_OBJECT

 public:
  explicit AppDelegate(ShellEnvironment environment, QObject* parent = nullptr);
  ~AppDelegate() override;

  // The delegate of the running application, once it has launched.
  static AppDelegate* shared();

  // Builds the model and the tray, recovers a stage left by a run that died, installs the
  // shortcuts and shows the walk-through on a first launch.
  void applicationDidFinishLaunching();
  // Brings back everything put away and closes the journal. Once; later calls do nothing.
  void applicationWillTerminate();

  void showHelp();
  // Menu "Quit": everything comes back, then the event loop ends.
  void quit();

  const std::shared_ptr<MacNowModel>& model() const { return model_; }
  ThemeManager* theme() const { return theme_.get(); }
  Store* store() const { return store_.get(); }
  KeyboardShortcuts& shortcuts() { return shortcuts_; }
  MenuBarController& menuBar() { return *menuBar_; }
  CapturePanelController& capturePanel() { return capturePanel_; }
  FirstRunPanelController& welcomePanel() { return welcomePanel_; }
  HelpPanelController& helpPanel() { return helpPanel_; }
  StartedPanelController* startedPanel() const { return startedPanel_.get(); }
  ShieldPanelController* shield() const { return shield_.get(); }
  TrayPresence* trayPresence() const { return trayPresence_.get(); }

  // Stored once the person was told how to reach the card on a desktop without a tray.
  static constexpr const char* kToldWithoutTrayKey = "told_how_to_reach_card_without_tray";

  // The four shortcuts' actions, as the window system calls them.
  void capture();
  void start();
  void stepOut();
  void done();

 private:
  void installHotkeys();
  void openCard();
  // Without a tray, says once how the card is reached: by a desktop notification, or,
  // where there is no notification service, on the walk-through's last screen.
  void sayHowToReachTheCard();
  std::string withoutTrayText() const;
  bool toldWithoutTray() const;
  void rememberToldWithoutTray();

  ShellEnvironment environment_;
  KeyboardShortcuts shortcuts_;
  std::shared_ptr<MacNowModel> model_;
  std::shared_ptr<Store> store_;
  std::unique_ptr<ThemeManager> theme_;
  CapturePanelController capturePanel_;
  FirstRunPanelController welcomePanel_;
  HelpPanelController helpPanel_;
  std::unique_ptr<StartedPanelController> startedPanel_;
  std::shared_ptr<ShieldPanelController> shield_;
  std::unique_ptr<MenuBarController> menuBar_;
  std::unique_ptr<TrayPresence> trayPresence_;
  Signal<std::optional<StageItem>>::Connection shieldConnection_;
  bool terminated_ = false;
};

}  // namespace tervane
