// The tray bee over a real model, read directly from the controller: no tray is needed.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>
#include <algorithm>
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
    battery(84);
    MenuBarOptions options;
    options.app = AppIdentity{"Linux", "1.4", "212"};
    options.powerSupplyFolder = power.path();
    MenuBarActions actions;
    actions.showWelcome = [this] { calls.push_back("welcome"); };
    actions.showHelp = [this] { calls.push_back("help"); };
    actions.isLoginItemOn = [this] { return loginOn; };
    actions.setLoginItem = [this](bool on) { calls.push_back(on ? "login on" : "login off"); };
    actions.quit = [this] { calls.push_back("quit"); };
    bar = std::make_unique<MenuBarController>(main, options, actions, [this](QWidget* parent) {
      return new NowCard(session.model, *theme, parent);
    });
    bar->install(session.model, *theme);
  }

  void battery(int percent) {
    std::filesystem::create_directories(power / "BAT0");
    writeText(power / "BAT0" / "type", "Battery\n");
    writeText(power / "BAT0" / "status", "Discharging\n");
    writeText(power / "BAT0" / "capacity", std::to_string(percent) + "\n");
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
  bool loginOn = true;
  std::vector<std::string> calls;
};

TEST_F(MenuBarTest, BarMenuRowsAndPictureFollowTheStageReachTheShellAndClicksToggleTheCard) {
  EXPECT_EQ(menuRows(),
            (QStringList{"Tervane Now for Linux 1.4 (212)", "-", "How Tervane Now works…", "Help",
                         "-", "Updates come with your package manager", "Open at login", "-",
                         "Quit Tervane Now"}));
  // Without an update check (as on Linux) the row only says how updates come.
  EXPECT_FALSE(row("Updates come with your package manager")->isEnabled());
  EXPECT_FALSE(row("Tervane Now for Linux 1.4 (212)")->isEnabled());
  EXPECT_TRUE(row("Open at login")->isChecked());
  EXPECT_EQ(row("Quit Tervane Now")->shortcut(), QKeySequence(QKeySequence::Quit));

  // Built afresh each time it opens: the check mark follows the login item.
  loginOn = false;
  menuRows();
  EXPECT_FALSE(row("Open at login")->isChecked());
  for (const char* t : {"Open at login", "How Tervane Now works…", "Help", "Quit Tervane Now"})
    row(t)->trigger();
  EXPECT_EQ(calls, (std::vector<std::string>{"login on", "welcome", "help", "quit"}));

  // The tray shows the picture the controller says it shows; the last row says what
  // quitting does.
  using Picture = MenuBarBee::Picture;
  const auto expectStage = [&](Picture picture, const QString& quit) {
    EXPECT_EQ(bar->picture(), picture);
    EXPECT_EQ(bar->trayIcon()->icon().cacheKey(), bar->bee().icon(picture).cacheKey());
    EXPECT_EQ(menuRows().last(), quit);
  };
  expectStage(Picture::rest, "Quit Tervane Now");
  startStage();
  expectStage(Picture::act, "Bring everything back and quit");
  model().park();
  settle();
  expectStage(Picture::steppedOut, "Bring everything back and quit");
  model().bringBack(false);
  settle();
  expectStage(Picture::rest, "Quit Tervane Now");

  // Opening the menu or a right click closes the card; a left click toggles it.
  ASSERT_NE(bar->card(), nullptr);
  Q_EMIT bar->trayIcon()->activated(QSystemTrayIcon::Trigger);
  EXPECT_TRUE(bar->isCardShown());
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

TEST(MenuBarBee, PicturesAreDrawnInTheirColoursAndReadOnLightAndDarkPanels) {
  using Picture = MenuBarBee::Picture;
  const auto pixels = [](const QImage& image) {
    std::vector<QRgb> out;
    for (int i = 0; i < image.width() * image.height(); ++i) {
      out.push_back(image.pixel(i % image.width(), i / image.width()));
    }
    return out;
  };
  // The most opaque pixel of each picture carries its colour.
  const auto strongest = [&](const QImage& image) {
    const auto all = pixels(image);
    return QColor::fromRgba(qUnpremultiply(*std::max_element(
        all.begin(), all.end(), [](QRgb a, QRgb b) { return qAlpha(a) < qAlpha(b); })));
  };
  const QColor panelText(30, 200, 40);
  const MenuBarBee bee(panelText);
  EXPECT_EQ(bee.image(Picture::act).size(), QSize(36, 36));
  EXPECT_EQ(bee.image(Picture::act).deviceIndependentSize(), QSizeF(18, 18));
  EXPECT_EQ(strongest(bee.image(Picture::rest)).rgba(), panelText.rgba());
  EXPECT_EQ(strongest(bee.image(Picture::act)).rgb(), MenuBarBee::actColour().rgb());
  EXPECT_NEAR(strongest(bee.image(Picture::steppedOut)).alpha(), 0.45 * 255, 1.5);
  // Open and closed wings are different outlines.
  EXPECT_NE(bee.image(Picture::rest).convertToFormat(QImage::Format_Alpha8),
            bee.image(Picture::act).convertToFormat(QImage::Format_Alpha8));

  // Without the panel's colours every bee is legible on light and dark panels: drawn over
  // a grey panel, its pixels' grey stands well apart from it. The stepped-out bee is the
  // resting one faded on purpose.
  for (Picture picture : {Picture::rest, Picture::act}) {
    for (const int panel : {246, 28}) {
      int covered = 0, legible = 0;
      for (const QRgb pixel : pixels(MenuBarBee().image(picture))) {
        if (qAlpha(pixel) < 128) continue;
        ++covered;
        legible += qAlpha(pixel) * std::abs(qGray(pixel) - panel) >= 90 * 255;
      }
      ASSERT_GT(covered, 0);
      EXPECT_GT(legible, covered / 6) << panel << " " << static_cast<int>(picture);
    }
  }
}

TEST_F(MenuBarTest, BatteryIsReadEveryMinuteOnlyWhileAStageRuns) {
  EXPECT_EQ(bar->toolTip(), "Tervane Now");
  startStage();
  EXPECT_EQ(bar->toolTip(), "Tervane Now 84%");
  EXPECT_EQ(bar->trayIcon()->toolTip(), "Tervane Now 84%");

  battery(80);
  main->advance(59);
  EXPECT_EQ(bar->toolTip(), "Tervane Now 84%");
  main->advance(1);
  EXPECT_EQ(bar->toolTip(), "Tervane Now 80%");

  model().park();
  settle();
  EXPECT_EQ(bar->toolTip(), "Tervane Now");
  battery(70);
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
  battery(60);
  main->advance(60);
  EXPECT_EQ(bar->toolTip(), "Tervane Now 60%");

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
