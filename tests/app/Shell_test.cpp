// The application shell on the simulated desktop: launch order, recovery, the four
// shortcuts' actions, the panels' lifetimes and quitting; the walk-through over a real
// model, each screen also written as a PNG; and the desktop notification over a private
// dbus-daemon with a stand-in service.
#include <QDBusConnection>
#include <QMenu>
#include <QProcess>
#include <QTextEdit>
#include <QToolTip>

#include "app/shell/AppDelegate.h"
#include "app/shell/DesktopNotifier.h"
#include "look/Shortcut.h"
#include "sim/SimPlatform.h"
#include "support/CardFixture.h"

namespace tervane::testing {
namespace {

// Answers nothing, so a Start stages at once by recency.
class SilentPicker final : public ActPicking {
 public:
  bool isAvailable() override { return available; }
  void prewarm() override { ++prewarms; }
  std::optional<std::set<std::string>> pick(const std::string&,
                                            const std::vector<std::string>&) override {
    return std::nullopt;
  }
  bool available = false;
  int prewarms = 0;
};

class ShellTest : public CardFixture {
 protected:
  void SetUp() override {
    auto made = sim::SimPlatform::fromJson(describedDesktop("working"), clock);
    ASSERT_TRUE(made) << made.error().message;
    platform = made.value();
  }

  // Launches the shell; a shell still running is gone first, as after a quit or a crash.
  AppDelegate& launch() {
    delegate.reset();
    ShellEnvironment e;
    e.main = main;
    e.clock = clock;
    e.offMain = offMain;
    e.platform = platform;
    e.monitor = platform->monitor();
    e.standardDefaults = standard;
    e.sharedDefaults = shared;
    e.journalFolder = dir / "journal";
    e.picker = picker;
    e.onKeyUp = [this](const ShortcutName& name, std::function<void()> action) {
      keyUps[name.rawValue] = std::move(action);
    };
    e.keepFocus = [this] {
      ++focusKept;
      return [this] { ++handBacks; };
    };
    e.quit = [this] { ++quits; };
    e.willTerminate = [this] {
      // Outside callers are stopped while the stage is still there to bring back.
      stageAtWillTerminate = delegate->model()->openStage().has_value();
    };
    e.trayProbe = [this] { return trayAvailable; };
    e.notify = [this](const std::string& text) {
      if (notificationService) notes.push_back(text);
      return notificationService;
    };
    delegate = std::make_unique<AppDelegate>(std::move(e));
    delegate->applicationDidFinishLaunching();
    settle();
    return *delegate;
  }

  void press(const std::string& name) {
    ASSERT_TRUE(keyUps.count(name)) << name;
    keyUps[name]();
    settle();
  }

  MacNowModel& model() { return *delegate->model(); }
  bool cardShown() { return delegate->menuBar().isCardShown(); }

  std::shared_ptr<SilentPicker> picker = std::make_shared<SilentPicker>();
  std::shared_ptr<sim::SimPlatform> platform;
  std::map<std::string, std::function<void()>> keyUps;
  bool trayAvailable = true;
  bool notificationService = true;
  std::vector<std::string> notes;
  int focusKept = 0;
  int handBacks = 0;
  int quits = 0;
  std::optional<bool> stageAtWillTerminate;
  std::unique_ptr<AppDelegate> delegate;
};

TEST_F(ShellTest, AFirstLaunchWiresEverythingAndShowsTheWalkThrough) {
  picker->available = true;
  launch();
  EXPECT_EQ(picker->prewarms, 1);
  ASSERT_NE(delegate->welcomePanel().panel(), nullptr);
  EXPECT_TRUE(delegate->welcomePanel().panel()->isVisible());

  // What Qt draws itself is as dark as the rest: the bar menu and tooltips.
  EXPECT_LT(delegate->menuBar().barMenu()->palette().color(QPalette::Window).lightnessF(), 0.2);
  EXPECT_LT(QToolTip::palette().color(QPalette::ToolTipBase).lightnessF(), 0.2);
  EXPECT_GT(QToolTip::palette().color(QPalette::ToolTipText).lightnessF(), 0.8);

  // The walk-through ends through the model: remembered, closed, and the card opens.
  model().dismissFirstRun();
  settle();
  EXPECT_EQ(delegate->welcomePanel().panel(), nullptr);
  EXPECT_TRUE(cardShown());

  // The menu's welcome row opens it again from the first screen.
  model().setFirstRunStep(3);
  model().showFirstRunAgain();
  settle();
  ASSERT_NE(delegate->welcomePanel().view(), nullptr);
  EXPECT_EQ(delegate->welcomePanel().view()->shownStep(), 0);
  EXPECT_TRUE(model().hasSeenFirstRun()) << "seeing it again does not forget it was seen";
}

TEST_F(ShellTest, ALaunchRecoversTheStageARunThatDiedLeftBehind) {
  launch();
  model().capture("write the report");
  press("start");
  const auto stage = model().openStage();
  ASSERT_TRUE(stage && !stage->stowed.empty() &&
              stage->stowed.front().kind == StageItem::Kind::app);
  const auto* stowedApp = platform->desktop()->app(stage->stowed.front().id);
  EXPECT_TRUE(stowedApp->isHidden);
  // A shortcut the person cleared stays cleared.
  delegate->shortcuts().setShortcut(std::nullopt, AppShortcuts::done());
  // The process dies without quitting (launch drops the running shell): nothing is
  // brought back and the journal stays.
  launch();
  EXPECT_EQ(model().openStage(), stage);
  EXPECT_TRUE(platform->monitor()->isRunning());
  EXPECT_EQ(delegate->shortcuts().getShortcut(AppShortcuts::done()), std::nullopt);

  delegate->quit();
  EXPECT_EQ(stageAtWillTerminate, true);
  EXPECT_FALSE(stowedApp->isHidden);
  EXPECT_FALSE(std::filesystem::exists(dir / "journal" / StageJournal::kFileName));
  EXPECT_EQ(quits, 1);
  // Quitting twice brings nothing back twice.
  delegate->applicationWillTerminate();
  EXPECT_EQ(quits, 1);
}

TEST_F(ShellTest, ShortcutsActOnTheModelOrOpenTheCard) {
  launch();
  model().dismissFirstRun();
  delegate->menuBar().closeCard();
  settle();

  // Nothing written yet: start, pause and done only open the card.
  for (const char* name : {"start", "stepOut", "done"}) {
    press(name);
    EXPECT_TRUE(cardShown()) << name;
    EXPECT_FALSE(model().openStage()) << name;
    delegate->menuBar().closeCard();
  }

  model().capture("write the report");
  press("start");
  ASSERT_TRUE(model().openStage());
  EXPECT_FALSE(cardShown());
  EXPECT_TRUE(delegate->startedPanel()->isShowing());
  const auto takenAt = model().openStage()->takenAt;

  // A shield that asks closes the started note, which would float above it.
  clock->advance(MacNowModel::kMovingSeconds + 0.1);
  platform->desktop()->personActivates(model().openStage()->stowed.front().id);
  settle();
  ASSERT_TRUE(model().pendingSubject());
  EXPECT_FALSE(delegate->startedPanel()->isShowing());
  model().answer(false);
  settle();

  // A second start with a stage open only opens the card.
  press("start");
  EXPECT_TRUE(cardShown());
  EXPECT_EQ(model().openStage()->takenAt, takenAt);

  press("stepOut");
  EXPECT_TRUE(model().openStage()->isParked());
  press("stepOut");
  EXPECT_FALSE(model().openStage()->isParked());

  press("done");
  EXPECT_FALSE(model().openStage());
  EXPECT_FALSE(model().now());
}

TEST_F(ShellTest, TheCapturePanelIsShownOnceHelpIsReplacedAndPanelsMoveByTheirBackground) {
  launch();
  press("capture");
  QWidget* panel = delegate->capturePanel().panel();
  ASSERT_NE(panel, nullptr);
  press("capture");
  EXPECT_EQ(delegate->capturePanel().panel(), panel);
  EXPECT_EQ(focusKept, 1);
  // The keyboard is the editor's at once: what is typed without a click is the line.
  auto* editor = panel->findChild<QTextEdit*>();
  ASSERT_EQ(panel->focusWidget(), editor);

  QEvent deactivate(QEvent::WindowDeactivate);
  QApplication::sendEvent(panel, &deactivate);
  settle();
  EXPECT_EQ(delegate->capturePanel().panel(), nullptr);
  EXPECT_EQ(handBacks, 1);

  // Help is replaced, not brought forward.
  delegate->showHelp();
  QPointer<QWidget> first = delegate->helpPanel().panel();
  delegate->showHelp();
  settle();
  EXPECT_TRUE(first.isNull());

  // The walk-through and help move when dragged by their background.
  for (QWidget* panel : {delegate->welcomePanel().panel(), delegate->helpPanel().panel()}) {
    ASSERT_NE(panel, nullptr);
    const QPoint before = panel->pos();
    // A corner of the backdrop, where no control sits.
    QWidget* under = panel->childAt(6, 6);
    ASSERT_NE(under, nullptr);
    const QPoint at = under->mapFrom(panel, QPoint(6, 6));
    QTest::mousePress(under, Qt::LeftButton, {}, at);
    QTest::mouseMove(under, at + QPoint(40, 30));
    QTest::mouseRelease(under, Qt::LeftButton, {}, at + QPoint(40, 30));
    EXPECT_EQ(panel->pos(), before + QPoint(40, 30)) << panel->metaObject()->className();
  }
}

TEST_F(ShellTest, WithoutATrayTheWayToTheCardIsSaidOnceWhenTheTrayGoes) {
  shared->set("has_seen_mac_first_run", true);
  launch();
  EXPECT_TRUE(notes.empty()) << "a tray shows the bee";

  trayAvailable = false;
  delegate->trayPresence()->recheck();
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].find("Press Ctrl+Alt+Super+N"), std::string::npos) << notes[0];
  EXPECT_NE(notes[0].find("tervane-now open"), std::string::npos) << notes[0];
  EXPECT_EQ(delegate->welcomePanel().panel(), nullptr);

  // Once is enough: a tray that comes and goes again, or the next launch, says nothing.
  trayAvailable = true;
  delegate->trayPresence()->recheck();
  trayAvailable = false;
  delegate->trayPresence()->recheck();
  launch();
  EXPECT_EQ(notes.size(), 1u);
}

TEST_F(ShellTest, WithoutATrayOrNotificationsTheWalkThroughsLastScreenSaysIt) {
  trayAvailable = false;
  notificationService = false;
  // A first run: the walk-through's own last screen says it.
  launch();
  FirstRun* run = delegate->welcomePanel().view();
  ASSERT_NE(run, nullptr);
  EXPECT_FALSE(run->withoutTrayNote()->isVisibleTo(run));
  model().setFirstRunStep(FirstRun::kScreenCount - 1);
  settle();
  EXPECT_TRUE(run->withoutTrayNote()->isVisibleTo(run));
  EXPECT_NE(run->withoutTrayNote()->text().indexOf("tervane-now open"), -1);
  model().dismissFirstRun();
  delegate.reset();

  // Seen already but never told: the last screen is shown for it, once.
  shared->set(AppDelegate::kToldWithoutTrayKey, false);
  launch();
  ASSERT_NE(delegate->welcomePanel().view(), nullptr);
  EXPECT_EQ(delegate->welcomePanel().view()->shownStep(), FirstRun::kScreenCount - 1);
  model().dismissFirstRun();
  launch();
  EXPECT_EQ(delegate->welcomePanel().panel(), nullptr);
}

class FirstRunTest : public CardFixture {
 protected:
  void SetUp() override { load(); }

  FirstRun& open(int step) {
    model().setFirstRunStep(step);
    KeyboardShortcuts shortcuts(*standard);
    AppShortcuts::declareAll(shortcuts);
    shortcuts.setShortcut(std::nullopt, AppShortcuts::done());
    FirstRunHooks hooks;
    hooks.isLoginItemOn = [this] { return loginOn; };
    hooks.setLoginItem = [this](bool on) { loginSets.push_back(on); };
    hooks.dismiss = [this] { ++dismissals; };
    view =
        std::make_unique<FirstRun>(session.model, *theme, FirstRun::hotkeyLines(shortcuts), hooks);
    view->show();
    settle();
    return *view;
  }

  QString titleOf(int index) {
    return QString(FirstRun::screens()[static_cast<std::size_t>(index)].title)
        .replace(QLatin1Char('\n'), QChar(QChar::LineSeparator));
  }

  std::unique_ptr<FirstRun> view;
  bool loginOn = false;
  std::vector<bool> loginSets;
  int dismissals = 0;
};

TEST_F(FirstRunTest, ReturnOnTheSecondScreenStoresTheLineAndGoesOn) {
  auto& run = open(1);
  ASSERT_NE(run.input(), nullptr);
  EXPECT_EQ(run.footnote()->text(), "Later, Control Alt Super N writes it from any app.");
  QTest::keyClicks(run.input()->editor(), "Write the Q3 report");
  QTest::keyClick(run.input()->editor(), Qt::Key_Return);
  settle();
  ASSERT_TRUE(model().now());
  EXPECT_EQ(model().now()->textContent, "Write the Q3 report");
  EXPECT_EQ(model().firstRunStep(), 2);
  EXPECT_EQ(run.title()->text(), titleOf(2));
  EXPECT_EQ(run.dots()->current(), 2);

  // Leaving another screen by Next stores nothing; Back goes back.
  run.next();
  EXPECT_EQ(model().firstRunStep(), 3);
  run.back();
  run.back();
  EXPECT_EQ(model().firstRunStep(), 1);
  run.back();
  run.back();
  EXPECT_EQ(model().firstRunStep(), 0);
  EXPECT_EQ(run.verbTitles(), QStringList{"Next"});
  EXPECT_EQ(model().now()->textContent, "Write the Q3 report");
  model().setFirstRunStep(-2);
  EXPECT_EQ(run.title()->text(), titleOf(0));
}

TEST_F(FirstRunTest, TheLastScreenOffersStartOnlyWithALineAndOnlyItSetsTheLoginItem) {
  // Leaving an earlier screen leaves the login item alone.
  QTest::keyClick(&open(2), Qt::Key_Escape);
  EXPECT_EQ(dismissals, 1);
  EXPECT_TRUE(loginSets.empty());
  // A true first run starts with the box ticked, whatever the login item says.
  model().setFirstRunStep(5);
  view->close();
  EXPECT_EQ(loginSets, std::vector<bool>{true});

  // A step beyond the screens shows the last; Back goes to the one before it.
  auto& run = open(9);
  EXPECT_EQ(run.title()->text(), titleOf(5));
  run.back();
  EXPECT_EQ(model().firstRunStep(), 4);
  run.next();
  // The shortcuts as Linux names the keys; a cleared one has none.
  const std::vector<std::pair<QString, QString>> rows = {
      {"Ctrl+Alt+Super+N", "Write down the one thing"},
      {"Ctrl+Alt+Super+S", "Start"},
      {"Ctrl+Alt+Super+P", "Take a minute, and come back"},
      {"", "Finished"}};
  EXPECT_EQ(run.shortcutRows(), rows);
  EXPECT_EQ(FirstRun::keysText(Shortcut{KeyCode::returnKey, CarbonModifier::shift}), "Shift+↩");
  EXPECT_EQ(run.verbTitles(), (QStringList{"Back", "Got it"}));
  writeScreen(run, "first-run-6");

  model().capture("Write the Q3 report");
  settle();
  EXPECT_EQ(run.verbTitles(), (QStringList{"Back", "Not now", "Start"}));
  EXPECT_TRUE(run.verb("Start")->prominent());
  EXPECT_FALSE(run.verb("Not now")->prominent());

  // Return answers the prominent verb: the walk-through closes and the first stage starts.
  run.loginBox()->click();
  QTest::keyClick(&run, Qt::Key_Return);
  settle();
  EXPECT_EQ(dismissals, 3);  // Escape, the close above, and Return
  EXPECT_EQ(loginSets, (std::vector<bool>{true, false}));
  EXPECT_TRUE(model().openStage());

  // Asked for again once seen: the box shows the login item as it is.
  session.store->setHasSeenMacFirstRun(true);
  loginOn = false;
  EXPECT_FALSE(open(5).openAtLogin());
  loginOn = true;
  EXPECT_TRUE(open(5).openAtLogin());
  QTest::mouseClick(view->closeMark(), Qt::LeftButton);
  EXPECT_EQ(loginSets, (std::vector<bool>{true, false, true}));
}

TEST_F(FirstRunTest, EveryScreen) {
  theme->setTint(TervaneTint::violet);
  auto& run = open(0);
  for (int i = 0; i < FirstRun::kScreenCount; ++i) {
    run.select(i);
    settle();
    const auto& screen = FirstRun::screens()[static_cast<std::size_t>(i)];
    EXPECT_EQ(run.line()->text(), screen.line);
    EXPECT_EQ(run.footnote() != nullptr, screen.footnote.has_value());
    // Everything fits on the panel.
    const QWidget* lowest = run.illustration()->parentWidget();
    for (const QWidget* child : lowest->findChildren<QWidget*>()) {
      if (child->isVisibleTo(&run)) {
        EXPECT_LE(child->mapTo(&run, QPoint(0, child->height())).y(), FirstRun::kHeight - 28 - 32)
            << i;
      }
    }
    writeScreen(run, QStringLiteral("first-run-%1").arg(i + 1));
  }
}

class FakeNotifications final : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  QStringList seen;

 public Q_SLOTS:
  uint Notify(const QString& app, uint, const QString&, const QString& summary, const QString& body,
              const QStringList&, const QVariantMap&, int) {
    seen << app + " | " + summary + " | " + body;
    return static_cast<uint>(seen.size());
  }
};

TEST(DesktopNotifier, ReachesTheServiceOnTheBusAndSaysWhenThereIsNone) {
  QProcess daemon;
  daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
  ASSERT_TRUE(daemon.waitForStarted(10000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return daemon.canReadLine(); }, 10000));
  const QString address = QString::fromUtf8(daemon.readLine()).trimmed();

  QDBusConnection app = QDBusConnection::connectToBus(address, "app");
  ASSERT_TRUE(app.isConnected());
  EXPECT_FALSE(DesktopNotifier::notify(app, "Tervane Now", "x"));

  FakeNotifications service;
  QDBusConnection host = QDBusConnection::connectToBus(address, "host");
  ASSERT_TRUE(host.registerObject("/org/freedesktop/Notifications", &service,
                                  QDBusConnection::ExportAllSlots));
  ASSERT_TRUE(host.registerService(QString::fromLatin1(DesktopNotifier::kService)));
  EXPECT_TRUE(DesktopNotifier::notify(app, "Tervane Now", "Press Ctrl+Alt+Super+N"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !service.seen.isEmpty(); }, 10000));
  EXPECT_EQ(service.seen, QStringList{"Tervane Now | Tervane Now | Press Ctrl+Alt+Super+N"});

  QDBusConnection::disconnectFromBus("host");
  QDBusConnection::disconnectFromBus("app");
  daemon.terminate();
  daemon.waitForFinished(10000);
}

}  // namespace
}  // namespace tervane::testing

#include "Shell_test.moc"
