#include "app/shell/AppDelegate.h"

#include "app/card/NowCard.h"
#include "app/paint/DarkLook.h"
#include "app/shell/ShortcutActions.h"

namespace tervane {
namespace {

AppDelegate* gShared = nullptr;

// The views set the login item and read it back when they next show; the result of a
// single change is only logged by the login item itself.
std::function<void(bool)> setLoginItem(const ShellEnvironment& environment) {
  if (!environment.setLoginItem) return {};
  return [set = environment.setLoginItem](bool on) { (void)set(on); };
}

FirstRunHooks firstRunHooks(const ShellEnvironment& environment) {
  FirstRunHooks hooks;
  hooks.isLoginItemOn = environment.isLoginItemOn;
  hooks.setLoginItem = setLoginItem(environment);
  return hooks;
}

HelpOptions helpOptions(const ShellEnvironment& environment) {
  HelpOptions options = environment.help;
  if (options.filesFolder.empty()) options.filesFolder = environment.journalFolder;
  return options;
}

}  // namespace

AppDelegate::AppDelegate(ShellEnvironment environment, QObject* parent)
    : QObject(parent),
      environment_(std::move(environment)),
      shortcuts_(*environment_.standardDefaults),
      capturePanel_(environment_.keepFocus),
      welcomePanel_(shortcuts_, firstRunHooks(environment_)),
      helpPanel_(helpOptions(environment_)) {}

AppDelegate::~AppDelegate() {
  if (gShared == this) gShared = nullptr;
  if (model_) {
    model_->onActBegan = nullptr;
    model_->onFirstRunDismissed = nullptr;
    model_->onFirstRunRequested = nullptr;
  }
}

AppDelegate* AppDelegate::shared() {
  return gShared;
}

void AppDelegate::applicationDidFinishLaunching() {
  gShared = this;
  store_ =
      std::make_shared<Store>(environment_.sharedDefaults.get(), *environment_.standardDefaults);
  theme_ = std::make_unique<ThemeManager>(*store_);
  // Every surface draws its own dark backdrop; what Qt draws (the bar menu, tooltips)
  // takes the same dark look.
  DarkLook::apply(theme_->tint());

  shield_ = std::make_shared<ShieldPanelController>(environment_.main, *theme_);
  MacNowModel::Dependencies d;
  d.main = environment_.main;
  d.clock = environment_.clock;
  d.platform = environment_.platform;
  d.standardDefaults = environment_.standardDefaults;
  d.store = store_;
  d.journal = std::make_shared<StageJournal>(environment_.journalFolder);
  d.memory = std::make_shared<StageMemory>(*environment_.standardDefaults);
  d.monitor = environment_.monitor;
  d.offMain = environment_.offMain;
  d.picker = environment_.picker;
  d.shield = shield_;
  model_ = MacNowModel::make(std::move(d));

  // The model reads the stored line itself; a line that does not decode leaves none.
  model_->setShowFirstRun(!store_->hasSeenMacFirstRun());
  model_->recoverIfNeeded();
  model_->prewarmPicker();

  trayPresence_ = std::make_unique<TrayPresence>(environment_.trayProbe);
  connect(trayPresence_.get(), &TrayPresence::changed, this, [this] { sayHowToReachTheCard(); });
  welcomePanel_.withoutTrayNote = [this]() -> std::optional<std::string> {
    if (trayPresence_->available()) return std::nullopt;
    rememberToldWithoutTray();
    return withoutTrayText();
  };

  startedPanel_ = std::make_unique<StartedPanelController>(environment_.main, *theme_);
  MenuBarActions actions;
  actions.showWelcome = [this] { model_->showFirstRunAgain(); };
  actions.showHelp = [this] { showHelp(); };
  // Linux installs are updated by the package manager; the row says so and does nothing.
  actions.isLoginItemOn = environment_.isLoginItemOn;
  actions.setLoginItem = setLoginItem(environment_);
  actions.quit = [this] { quit(); };
  menuBar_ = std::make_unique<MenuBarController>(
      environment_.main, environment_.menu, std::move(actions),
      [this](QWidget* parent) -> QWidget* { return new NowCard(model_, *theme_, parent); });
  menuBar_->install(model_, *theme_);
  welcomePanel_.openCard = [this] { openCard(); };

  installHotkeys();

  model_->onActBegan = [this](const StageSnapshot& stage) {
    if (menuBar_->isCardShown()) menuBar_->closeCard();
    startedPanel_->show(stage);
  };
  // The started note floats above everything; a shield that asks must not sit under it.
  shieldConnection_ = model_->pendingSubjectChanged().connect([this](const auto& subject) {
    if (subject) startedPanel_->close();
  });
  model_->onFirstRunDismissed = [this] { welcomePanel_.close(/*handBackMachine=*/true); };
  model_->onFirstRunRequested = [this] { welcomePanel_.show(model_, *theme_); };

  if (model_->showFirstRun()) welcomePanel_.show(model_, *theme_);
  sayHowToReachTheCard();
}

std::string AppDelegate::withoutTrayText() const {
  return MenuStrings::withoutTray(
      FirstRun::keysText(shortcuts_.getShortcut(AppShortcuts::capture())));
}

bool AppDelegate::toldWithoutTray() const {
  return environment_.sharedDefaults->getBool(kToldWithoutTrayKey).value_or(false);
}

void AppDelegate::rememberToldWithoutTray() {
  if (!toldWithoutTray()) environment_.sharedDefaults->set(kToldWithoutTrayKey, true);
}

void AppDelegate::sayHowToReachTheCard() {
  if (!trayPresence_ || trayPresence_->available() || toldWithoutTray()) return;
  // The walk-through on screen says it on its last screen.
  if (model_->showFirstRun()) return;
  if (environment_.notify && environment_.notify(withoutTrayText())) {
    rememberToldWithoutTray();
    return;
  }
  model_->showFirstRunAgain();
  model_->setFirstRunStep(FirstRun::kScreenCount - 1);
}

void AppDelegate::installHotkeys() {
  AppShortcuts::declareAll(shortcuts_);
  if (!environment_.onKeyUp) return;
  environment_.onKeyUp(AppShortcuts::capture(), [this] { capture(); });
  environment_.onKeyUp(AppShortcuts::start(), [this] { start(); });
  environment_.onKeyUp(AppShortcuts::stepOut(), [this] { stepOut(); });
  environment_.onKeyUp(AppShortcuts::done(), [this] { done(); });
}

void AppDelegate::openCard() {
  menuBar_->openCard();
}

void AppDelegate::capture() {
  // The card, a popup, would keep the keyboard from the panel.
  if (menuBar_->isCardShown()) menuBar_->closeCard();
  capturePanel_.show(model_, *theme_);
}
void AppDelegate::start() {
  ShortcutActions::start(*model_, [this] { openCard(); });
}
void AppDelegate::stepOut() {
  ShortcutActions::stepOut(*model_, [this] { openCard(); });
}
void AppDelegate::done() {
  ShortcutActions::done(*model_, [this] { openCard(); });
}

void AppDelegate::showHelp() {
  if (theme_) helpPanel_.show(*theme_);
}

void AppDelegate::quit() {
  applicationWillTerminate();
  if (environment_.quit) environment_.quit();
}

void AppDelegate::applicationWillTerminate() {
  if (terminated_ || !model_) return;
  terminated_ = true;
  if (environment_.willTerminate) environment_.willTerminate();
  model_->prepareToQuit();
}

}  // namespace tervane
