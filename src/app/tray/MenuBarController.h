// The bee in the system tray, the application's only permanent presence. Left click opens
// or closes the now card in a popover under the bee (or at the pointer when the tray does
// not say where the bee is), ready for typing; right click closes the card and opens the
// bar menu, built anew each time it opens so its check mark, quit title and version are
// current. The bee's picture follows the model's open stage by itself, and while a stage
// runs the battery is read every 60 seconds into the bee's tooltip (Linux trays show no
// text beside an icon).
//
// The menu's rows reach the application shell through `MenuBarActions`; the card widget
// comes from a factory, built once at install. Main thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "app/tray/MenuBarBee.h"
#include "base/MainQueue.h"
#include "base/Signal.h"
#include "look/BatteryReading.h"
#include "look/ThemeManager.h"
#include "session/MacNowModel.h"
#include "words/MenuStrings.h"

class QMenu;
class QSystemTrayIcon;
class QAction;

namespace tervane {

// What the bar menu's rows do; each is the application shell's. A row whose action is
// missing is shown disabled.
struct MenuBarActions {
  // "How Tervane Now works…": opens the walk-through again from its first screen.
  std::function<void()> showWelcome;
  std::function<void()> showHelp;
  // Without one the row says that the package manager brings updates, greyed.
  std::function<void()> checkForUpdates;
  // The login item: read when the menu opens, set to the opposite when the row is chosen.
  std::function<bool()> isLoginItemOn;
  std::function<void(bool on)> setLoginItem;
  // Brings everything back and quits.
  std::function<void()> quit;
};

struct MenuBarOptions {
  AppIdentity app;
  std::filesystem::path powerSupplyFolder = BatteryReading::kSystemFolder;
  // The tray panel's text colour for the resting bees; the platform theme's when invalid.
  QColor panelText;
};

// Builds the card inside the popover.
using CardFactory = std::function<QWidget*(QWidget* parent)>;

// Where the popover's top-left corner goes: centred under the bee's rectangle in the tray
// (or under the pointer when the tray gives no rectangle), above it when there is no room
// below, and kept inside the screen's available area.
QPoint popoverOrigin(const QRect& beeGeometry, const QPoint& pointer, const QSize& size,
                     const QRect& available);

class MenuBarController final : public QObject {
  Q_OBJECT

 public:
  static constexpr double kBatterySeconds = 60;
  static constexpr int kPopoverGap = 4;
  static QString toolTipName() { return QStringLiteral("Tervane Now"); }

  MenuBarController(std::shared_ptr<MainQueue> main, MenuBarOptions options, MenuBarActions actions,
                    CardFactory cardFactory, QObject* parent = nullptr);
  ~MenuBarController() override;

  // Creates the tray icon, the popover with its card and the bar menu, and starts
  // following the model. Once; later calls do nothing.
  void install(std::shared_ptr<MacNowModel> model, ThemeManager& theme);

  // Shows the card under the bee, ready for typing, unless it is shown already.
  void openCard();
  void closeCard();
  bool isCardShown() const;
  // Left click.
  void toggleCard();

  // Brings the picture and the battery reading in line with the model.
  void refresh();

  // Right click: closes the card and rebuilds the menu's rows. The tray runs it just
  // before the menu opens.
  void prepareBarMenu();

  MenuBarBee::Picture picture() const { return picture_; }
  // Called with each picture the bee takes, for a desktop that shows the bee itself (GNOME
  // Shell's top bar, through its extension).
  std::function<void(MenuBarBee::Picture)> onPicture;
  const MenuBarBee& bee();
  QString toolTip() const;
  bool batteryShown() const { return batteryGeneration_ != 0; }
  QSystemTrayIcon* trayIcon() const { return tray_; }
  QMenu* barMenu() const { return menu_.get(); }
  QWidget* popover() const { return popover_; }
  QWidget* card() const { return card_; }

 private:
  void showBattery();
  void hideBattery();
  void updateBattery();
  void scheduleBattery(std::uint64_t generation);
  void applyPicture();

  std::shared_ptr<MainQueue> main_;
  MenuBarOptions options_;
  MenuBarActions actions_;
  CardFactory cardFactory_;
  std::shared_ptr<MacNowModel> model_;
  std::optional<MenuBarBee> bee_;
  MenuBarBee::Picture picture_ = MenuBarBee::Picture::rest;
  QString batteryTitle_;
  // Nonzero while the battery is shown; a tick of an older generation does nothing.
  std::uint64_t batteryGeneration_ = 0;
  std::uint64_t nextGeneration_ = 1;

  QSystemTrayIcon* tray_ = nullptr;
  std::unique_ptr<QMenu> menu_;
  QPointer<QWidget> popover_;
  QPointer<QWidget> card_;
  Signal<std::optional<StageSnapshot>>::Connection stageConnection_;
};

}  // namespace tervane
