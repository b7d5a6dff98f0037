// The walk-through over a real model; each screen is also written as a PNG.
#include <gtest/gtest.h>

#include <QTest>

#include "app/panels/FirstRun.h"
#include "look/Shortcut.h"
#include "support/CardFixture.h"

namespace tervane::testing {
namespace {

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

TEST_F(FirstRunTest, TheLastScreenOffersStartOnlyWithALine) {
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
  EXPECT_EQ(dismissals, 1);
  EXPECT_EQ(loginSets, std::vector<bool>{false});
  EXPECT_TRUE(model().openStage());
}

TEST_F(FirstRunTest, TheLoginChoiceCountsOnlyOnTheLastScreen) {
  auto& run = open(2);
  // A true first run starts with the box ticked, whatever the login item says.
  EXPECT_TRUE(run.openAtLogin());
  QTest::keyClick(&run, Qt::Key_Escape);
  EXPECT_EQ(dismissals, 1);
  EXPECT_TRUE(loginSets.empty());

  model().setFirstRunStep(5);
  run.close();
  EXPECT_EQ(loginSets, std::vector<bool>{true});

  // Asked for again once seen: the box shows the login item as it is.
  session.store->setHasSeenMacFirstRun(true);
  loginOn = false;
  EXPECT_FALSE(open(5).openAtLogin());
  loginOn = true;
  EXPECT_TRUE(open(5).openAtLogin());
  QTest::mouseClick(view->closeMark(), Qt::LeftButton);
  EXPECT_EQ(loginSets, (std::vector<bool>{true, true}));
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

}  // namespace
}  // namespace tervane::testing
