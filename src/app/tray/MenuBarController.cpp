#include "app/tray/MenuBarController.h"

#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace tervane {
namespace {

// The card's popover. A popup takes every click while it is open, so a click on the bee
// would only close it: the controller hears of presses outside first, so a right click on
// the bee can still open the bar menu.
class Popover final : public QWidget {
 public:
  Popover() : QWidget(nullptr, Qt::Popup | Qt::FramelessWindowHint) {
    // The click that closes the card is not passed on: clicking the bee while the card is
    // open only closes the card.
    setAttribute(Qt::WA_NoMouseReplay);
  }
  std::function<void(const QPoint& global, Qt::MouseButton button)> onPressOutside;

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    const bool outside = !rect().contains(event->position().toPoint());
    const QPoint global = event->globalPosition().toPoint();
    const Qt::MouseButton button = event->button();
    QWidget::mousePressEvent(event);
    if (outside && onPressOutside) onPressOutside(global, button);
  }
};

}  // namespace

QPoint popoverOrigin(const QRect& beeGeometry, const QPoint& pointer, const QSize& size,
                     const QRect& available) {
  const bool hasBee = beeGeometry.isValid() && !beeGeometry.isEmpty();
  const double centre = hasBee ? beeGeometry.x() + beeGeometry.width() / 2.0 : pointer.x();
  const int top = hasBee ? beeGeometry.y() : pointer.y();
  const int bottom = hasBee ? beeGeometry.y() + beeGeometry.height() : pointer.y();
  const int gap = MenuBarController::kPopoverGap;
  int x = static_cast<int>(std::lround(centre - size.width() / 2.0));
  int y = bottom + gap;
  // A tray at the foot of the screen: the card opens upwards.
  if (y + size.height() > available.y() + available.height()) y = top - gap - size.height();
  x = std::max(available.left(), std::min(x, available.x() + available.width() - size.width()));
  y = std::max(available.top(), std::min(y, available.y() + available.height() - size.height()));
  return {x, y};
}

MenuBarController::MenuBarController(std::shared_ptr<MainQueue> main, MenuBarOptions options,
                                     MenuBarActions actions, CardFactory cardFactory,
                                     QObject* parent)
    : QObject(parent),
      main_(std::move(main)),
      options_(std::move(options)),
      actions_(std::move(actions)),
      cardFactory_(std::move(cardFactory)) {}

MenuBarController::~MenuBarController() {
  delete popover_.data();
}

const MenuBarBee& MenuBarController::bee() {
  if (!bee_) {
    bee_.emplace(options_.panelText.isValid() ? options_.panelText : MenuBarBee::panelTextColour());
  }
  return *bee_;
}

void MenuBarController::install(std::shared_ptr<MacNowModel> model, ThemeManager& theme) {
  if (model_ || !model) return;
  model_ = std::move(model);

  tray_ = new QSystemTrayIcon(this);
  tray_->setIcon(bee().icon(picture_));
  tray_->setToolTip(toolTip());

  auto* popover = new Popover;
  popover->setWindowTitle(toolTipName());
  popover->onPressOutside = [this](const QPoint& global, Qt::MouseButton button) {
    if (button != Qt::RightButton || !tray_ || !tray_->geometry().contains(global)) return;
    // Once the popup has let go of the pointer.
    QPointer<MenuBarController> self(this);
    QTimer::singleShot(0, this, [self, global] {
      if (self && self->menu_) self->menu_->popup(global);
    });
  };
  auto* layout = new QVBoxLayout(popover);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  if (cardFactory_) {
    card_ = cardFactory_(popover);
    if (card_) layout->addWidget(card_);
  }
  popover_ = popover;
  (void)theme;  // the card reads the theme itself; the bee's colours are fixed

  menu_ = std::make_unique<QMenu>();
  connect(menu_.get(), &QMenu::aboutToShow, this, &MenuBarController::prepareBarMenu);
  tray_->setContextMenu(menu_.get());
  connect(tray_, &QSystemTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger) {
              toggleCard();
            } else if (reason == QSystemTrayIcon::Context) {
              closeCard();
            }
          });

  stageConnection_ = model_->openStageChanged().connect(
      [this](const std::optional<StageSnapshot>&) { refresh(); });
  refresh();
  tray_->show();
}

bool MenuBarController::isCardShown() const {
  return popover_ && popover_->isVisible();
}

void MenuBarController::openCard() {
  if (!popover_ || isCardShown()) return;
  popover_->adjustSize();
  const QPoint pointer = QCursor::pos();
  const QRect bee = tray_ ? tray_->geometry() : QRect();
  QScreen* screen = QGuiApplication::screenAt(bee.isValid() ? bee.center() : pointer);
  if (!screen) screen = QGuiApplication::primaryScreen();
  const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
  popover_->move(popoverOrigin(bee, pointer, popover_->size(), available));
  popover_->show();
  popover_->raise();
  popover_->activateWindow();
  if (card_) card_->setFocus(Qt::PopupFocusReason);
}

void MenuBarController::closeCard() {
  if (isCardShown()) popover_->hide();
}

void MenuBarController::toggleCard() {
  if (isCardShown()) {
    closeCard();
  } else {
    openCard();
  }
}

void MenuBarController::refresh() {
  if (!model_ || !tray_) return;
  picture_ = MenuBarBee::pictureFor(model_->openStage());
  applyPicture();
  if (picture_ == MenuBarBee::Picture::act) {
    showBattery();
  } else {
    hideBattery();
  }
}

void MenuBarController::applyPicture() {
  tray_->setIcon(bee().icon(picture_));
  if (onPicture) onPicture(picture_);
}

QString MenuBarController::toolTip() const {
  return toolTipName() + batteryTitle_;
}

void MenuBarController::showBattery() {
  updateBattery();
  if (batteryGeneration_ != 0) return;
  batteryGeneration_ = nextGeneration_++;
  scheduleBattery(batteryGeneration_);
}

void MenuBarController::hideBattery() {
  batteryGeneration_ = 0;
  batteryTitle_.clear();
  if (tray_) tray_->setToolTip(toolTip());
}

void MenuBarController::scheduleBattery(std::uint64_t generation) {
  QPointer<MenuBarController> self(this);
  main_->postAfter(kBatterySeconds, [self, generation] {
    if (!self || self->batteryGeneration_ != generation) return;
    self->updateBattery();
    self->scheduleBattery(generation);
  });
}

void MenuBarController::updateBattery() {
  batteryTitle_ = QString::fromStdString(
      BatteryReading::title(BatteryReading::current(options_.powerSupplyFolder)));
  if (tray_) tray_->setToolTip(toolTip());
}

void MenuBarController::prepareBarMenu() {
  closeCard();
  QMenu& menu = *menu_;
  menu.clear();

  auto* version = menu.addAction(QString::fromStdString(MenuStrings::version(options_.app)));
  version->setEnabled(false);
  menu.addSeparator();

  auto addRow = [&menu](std::string_view title, const std::function<void()>& action) {
    auto* row = menu.addAction(QString::fromUtf8(title.data(), static_cast<int>(title.size())));
    row->setEnabled(static_cast<bool>(action));
    if (action) QObject::connect(row, &QAction::triggered, row, [action] { action(); });
    return row;
  };
  addRow(MenuStrings::howItWorks, actions_.showWelcome);
  addRow(MenuStrings::help, actions_.showHelp);
  menu.addSeparator();
  addRow(actions_.checkForUpdates ? MenuStrings::checkForUpdates
                                  : MenuStrings::updatesFromPackageManager,
         actions_.checkForUpdates);

  std::function<void()> toggleLogin;
  if (actions_.isLoginItemOn && actions_.setLoginItem) {
    toggleLogin = [this] { actions_.setLoginItem(!actions_.isLoginItemOn()); };
  }
  auto* login = addRow(MenuStrings::openAtLogin, toggleLogin);
  login->setCheckable(true);
  login->setChecked(actions_.isLoginItemOn && actions_.isLoginItemOn());
  menu.addSeparator();

  const bool hasOpenStage = model_ && model_->openStage().has_value();
  auto* quit = addRow(MenuStrings::quit(hasOpenStage), actions_.quit);
  quit->setShortcut(QKeySequence::Quit);
}

}  // namespace tervane
