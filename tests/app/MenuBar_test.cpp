// The tray bee over a real model on the simulated desktop: its picture and bar menu for
// no stage, a running stage and a paused one, the battery reading in its tooltip every
// minute while a stage runs, and where the card opens. No system tray is needed: the
// controller's icon, tooltip and menu are read directly.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QSystemTrayIcon>
#include <cmath>

#include "app/card/NowCard.h"
#include "app/tray/MenuBarController.h"
#include "support/CardFixture.h"

namespace tervane::testing {
namespace {

class MenuBarTest : public CardFixture {
 protected:
  void SetUp() override {
    load();
    battery("BAT0", 84);
  }
  void TearDown() override {
    bar.reset();
    QApplication::processEvents();
  }

  void battery(const std::string& name, int percent) {
    std::filesystem::create_directories(power / name);
    writeText(power / name / "type", "Battery\n");
    writeText(power / name / "status", "Discharging\n");
    writeText(power / name / "capacity", std::to_string(percent) + "\n");
  }

  MenuBarController& install() {
    MenuBarOptions options;
    options.app = AppIdentity{"Linux", "1.4", "212"};
    options.powerSupplyFolder = power.path();
    options.panelText = QColor(250, 250, 250);
    MenuBarActions actions;
    actions.showWelcome = [this] { ++welcomes; };
    actions.showHelp = [this] { ++helps; };
    actions.checkForUpdates = [this] { ++updateChecks; };
    actions.isLoginItemOn = [this] { return loginOn; };
    actions.setLoginItem = [this](bool on) { loginSets.push_back(on); };
    actions.quit = [this] { ++quits; };
    bar = std::make_unique<MenuBarController>(main, options, actions, [this](QWidget* parent) {
      return new NowCard(session.model, *theme, parent);
    });
    bar->install(session.model, *theme);
    return *bar;
  }

  // The rows of the bar menu as the person sees it when it opens.
  QStringList menuRows() {
    Q_EMIT bar->barMenu()->aboutToShow();
    QStringList rows;
    for (QAction* action : bar->barMenu()->actions()) {
      rows << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return rows;
  }
  QAction* row(const QString& title) {
    for (QAction* action : bar->barMenu()->actions()) {
      if (action->text() == title) return action;
    }
    return nullptr;
  }

  void startStage() {
    model().capture("Write the Q3 report");
    model().set(SeedRule::defaultRule());
    settle();
    ASSERT_TRUE(model().openStage());
  }

  TempDir power;
  std::unique_ptr<MenuBarController> bar;
  int welcomes = 0;
  int helps = 0;
  int updateChecks = 0;
  int quits = 0;
  bool loginOn = true;
  std::vector<bool> loginSets;
};

TEST_F(MenuBarTest, BarMenuRowsFollowTheStageAndReachTheShell) {
  install();
  const QStringList noStage = {"Tervane Now for Linux 1.4 (212)",
                               "-",
                               "How Tervane Now works…",
                               "Help",
                               "-",
                               "Check for updates…",
                               "Open at login",
                               "-",
                               "Quit Tervane Now"};
  EXPECT_EQ(menuRows(), noStage);
  EXPECT_FALSE(row("Tervane Now for Linux 1.4 (212)")->isEnabled());
  EXPECT_TRUE(row("Open at login")->isChecked());
  EXPECT_EQ(row("Quit Tervane Now")->shortcut(), QKeySequence(QKeySequence::Quit));

  // Built afresh each time it opens: the check mark follows the login item.
  loginOn = false;
  menuRows();
  EXPECT_FALSE(row("Open at login")->isChecked());
  row("Open at login")->trigger();
  EXPECT_EQ(loginSets, std::vector<bool>{true});
  row("How Tervane Now works…")->trigger();
  row("Help")->trigger();
  row("Check for updates…")->trigger();
  row("Quit Tervane Now")->trigger();
  EXPECT_EQ((std::vector<int>{welcomes, helps, updateChecks, quits}),
            (std::vector<int>{1, 1, 1, 1}));

  startStage();
  EXPECT_EQ(menuRows().last(), "Bring everything back and quit");
  model().park();
  settle();
  EXPECT_EQ(menuRows().last(), "Bring everything back and quit");
  model().done();
  settle();
  EXPECT_EQ(menuRows().last(), "Quit Tervane Now");
}

TEST_F(MenuBarTest, RightClickClosesTheCardLeftClickTogglesIt) {
  install();
  ASSERT_NE(bar->card(), nullptr);
  Q_EMIT bar->trayIcon()->activated(QSystemTrayIcon::Trigger);
  EXPECT_TRUE(bar->isCardShown());
  EXPECT_TRUE(bar->card()->isVisible());
  Q_EMIT bar->barMenu()->aboutToShow();
  EXPECT_FALSE(bar->isCardShown());

  Q_EMIT bar->trayIcon()->activated(QSystemTrayIcon::Trigger);
  Q_EMIT bar->trayIcon()->activated(QSystemTrayIcon::Trigger);
  EXPECT_FALSE(bar->isCardShown());
  bar->openCard();
  bar->openCard();
  EXPECT_TRUE(bar->isCardShown());
  Q_EMIT bar->trayIcon()->activated(QSystemTrayIcon::Context);
  EXPECT_FALSE(bar->isCardShown());
}

TEST_F(MenuBarTest, PictureFollowsTheStageByItself) {
  install();
  using Picture = MenuBarBee::Picture;
  // The tray shows the picture the controller says it shows.
  const auto expectPicture = [&](Picture picture) {
    EXPECT_EQ(bar->picture(), picture);
    EXPECT_EQ(bar->trayIcon()->icon().cacheKey(), bar->bee().icon(picture).cacheKey());
  };
  expectPicture(Picture::rest);
  startStage();
  expectPicture(Picture::act);
  model().park();
  settle();
  expectPicture(Picture::steppedOut);
  model().resume();
  settle();
  expectPicture(Picture::act);
  model().bringBack(false);
  settle();
  expectPicture(Picture::rest);
}

TEST_F(MenuBarTest, PicturesAreDrawnInTheirColours) {
  const QColor panelText(30, 200, 40);
  MenuBarBee bee(panelText);
  // The most opaque pixel of each picture carries its colour.
  const auto strongest = [](const QImage& image) {
    QColor best(0, 0, 0, 0);
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        const QColor c = image.pixelColor(x, y);
        if (c.alpha() > best.alpha()) best = c;
      }
    }
    return best;
  };
  using Picture = MenuBarBee::Picture;
  for (Picture picture : {Picture::rest, Picture::act, Picture::steppedOut}) {
    const QImage& image = bee.image(picture);
    EXPECT_EQ(image.size(), QSize(36, 36));
    EXPECT_EQ(image.deviceIndependentSize(), QSizeF(18, 18));
  }
  const QColor rest = strongest(bee.image(Picture::rest));
  const QColor act = strongest(bee.image(Picture::act));
  const QColor out = strongest(bee.image(Picture::steppedOut));
  EXPECT_EQ(rest.alpha(), 255);
  EXPECT_EQ(rest.rgb(), panelText.rgb());
  EXPECT_EQ(act.rgb(), MenuBarBee::actColour().rgb());
  EXPECT_NEAR(out.alpha(), 0.45 * 255, 1.5);
  // Open and closed wings are different outlines.
  EXPECT_NE(bee.image(Picture::rest).convertToFormat(QImage::Format_Alpha8),
            bee.image(Picture::act).convertToFormat(QImage::Format_Alpha8));
}

// WCAG's contrast ratio of two opaque colours.
double contrast(QColor a, QColor b) {
  const auto luminance = [](QColor c) {
    const auto channel = [](double v) {
      return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
  };
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST(MenuBarBeeOnAPanel, WithoutThePanelsColoursEveryBeeReadsOnLightAndDarkPanels) {
  const MenuBarBee bee;
  using Picture = MenuBarBee::Picture;
  for (const QColor panel : {QColor(246, 246, 246), QColor(28, 28, 30)}) {
    // The stepped-out bee is the resting one faded on purpose.
    for (Picture picture : {Picture::rest, Picture::act}) {
      QImage shown(bee.image(picture).size(), QImage::Format_RGB32);
      shown.fill(panel);
      QPainter(&shown).drawImage(QRectF(QPointF(0, 0), QSizeF(shown.size())), bee.image(picture));
      int covered = 0, legible = 0;
      for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
          if (qAlpha(bee.image(picture).pixel(x, y)) < 128) continue;
          ++covered;
          legible += contrast(shown.pixelColor(x, y), panel) >= 3 ? 1 : 0;
        }
      }
      ASSERT_GT(covered, 0);
      EXPECT_GT(legible, covered / 6)
          << panel.name().toStdString() << " " << static_cast<int>(picture);
    }
  }
}

TEST_F(MenuBarTest, BatteryIsReadEveryMinuteOnlyWhileAStageRuns) {
  install();
  EXPECT_EQ(bar->toolTip(), "Tervane Now");
  startStage();
  EXPECT_EQ(bar->toolTip(), "Tervane Now 84%");
  EXPECT_EQ(bar->trayIcon()->toolTip(), "Tervane Now 84%");

  battery("BAT0", 80);
  main->advance(59);
  EXPECT_EQ(bar->toolTip(), "Tervane Now 84%");
  main->advance(1);
  EXPECT_EQ(bar->toolTip(), "Tervane Now 80%");

  model().park();
  settle();
  EXPECT_EQ(bar->toolTip(), "Tervane Now");
  battery("BAT0", 70);
  main->advance(120);
  EXPECT_EQ(bar->toolTip(), "Tervane Now");

  // Resumed: read at once, and one timer only however often the stage resumes.
  model().resume();
  settle();
  EXPECT_EQ(bar->toolTip(), "Tervane Now 70%");
  const auto timers = main->pending();
  bar->refresh();
  bar->refresh();
  EXPECT_EQ(main->pending(), timers);
  int reads = 0;
  battery("BAT0", 60);
  for (int minute = 0; minute < 3; ++minute) {
    main->advance(60);
    reads += bar->toolTip() == "Tervane Now 60%";
  }
  EXPECT_EQ(reads, 3);

  // A machine without an internal battery shows nothing.
  std::filesystem::remove_all(power.path() / "BAT0");
  main->advance(60);
  EXPECT_EQ(bar->toolTip(), "Tervane Now");
}

TEST(MenuBarPopover, OpensUnderTheBeeOrAtThePointerInsideTheScreen) {
  const QRect screen(0, 0, 1920, 1080);
  const QSize card(340, 200);
  // Under the bee, centred on it.
  EXPECT_EQ(popoverOrigin(QRect(1700, 0, 24, 24), {5, 5}, card, screen), QPoint(1542, 28));
  // Near the right edge: kept on screen.
  EXPECT_EQ(popoverOrigin(QRect(1890, 0, 24, 24), {5, 5}, card, screen), QPoint(1580, 28));
  // A tray at the foot of the screen: above the bee.
  EXPECT_EQ(popoverOrigin(QRect(1700, 1056, 24, 24), {5, 5}, card, screen), QPoint(1542, 852));
  // No geometry from the tray: at the pointer.
  EXPECT_EQ(popoverOrigin(QRect(), {800, 10}, card, screen), QPoint(630, 14));
}

}  // namespace
}  // namespace tervane::testing
