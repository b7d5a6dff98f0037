// The panels beside the card: the shield (one at a time over the whole screen, its
// answers, scale and fade), the started note (replaced, fading, letting clicks through)
// and help (the address, the system line, the files folder, closing).
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include "app/panels/HelpView.h"
#include "app/panels/StartedPanelController.h"
#include "app/shield/ShieldPanelController.h"
#include "base/MainQueue.h"
#include "data/Store.h"
#include "look/ShieldLayout.h"
#include "look/ThemeManager.h"
#include "support/QtTestApp.h"
#include "support/TempDir.h"

namespace tervane::testing {
namespace {

// The look, on a manual clock and main queue.
class PanelTest : public ::testing::Test {
 protected:
  ManualClock clock;
  std::shared_ptr<ManualMainQueue> main = std::make_shared<ManualMainQueue>(clock);
  MemoryDefaults defaults;
  Store store{defaults};
  ThemeManager theme{store};
};

// A panel controller over the look.
template <class Controller>
class ControllerTest : public PanelTest {
 protected:
  ~ControllerTest() override {
    controller.reset();
    QApplication::processEvents();
  }
  std::unique_ptr<Controller> controller = std::make_unique<Controller>(main, theme);
};

// How many windows on screen hold a Content.
template <class Content>
int windowsShowing() {
  int count = 0;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible() && w->findChild<Content*>()) ++count;
  }
  return count;
}

class ShieldTest : public ControllerTest<ShieldPanelController> {
 protected:
  std::function<void(bool)> record(std::vector<bool>& into) {
    return [&into](bool letThrough) { into.push_back(letThrough); };
  }
  const StageItem slack = StageItem::app("com.example.Slack", "Slack");
  const StageItem mail = StageItem::app("com.example.Mail", "Mail");
};

TEST_F(ShieldTest, ASecondPresentIsDroppedAndADismissedShieldFadesWhileTheNextShows) {
  std::vector<bool> first, second;
  controller->present(slack, "Write the Q3 report", record(first));
  ASSERT_TRUE(controller->isShowing());
  QPointer<QWidget> panel = controller->panel();
  // The whole screen, not only its free area.
  EXPECT_EQ(panel->geometry(), QGuiApplication::primaryScreen()->geometry());

  controller->present(mail, "Something else", record(second));
  EXPECT_EQ(controller->panel(), panel);
  EXPECT_EQ(windowsShowing<ShieldView>(), 1);
  EXPECT_EQ(controller->view()->line()->text(), "You hid Slack for this one.");
  EXPECT_EQ(controller->view()->headline()->text(), "Write the Q3 report");

  QTest::mouseClick(controller->view()->needThis(), Qt::LeftButton);
  EXPECT_EQ(first, std::vector<bool>{true});
  // The view answers once, whatever else the person presses before it goes.
  QTest::keyClick(controller->view(), Qt::Key_Escape);
  EXPECT_EQ(first, std::vector<bool>{true});

  // Dismissed, it is forgotten at once and closes after its fade.
  controller->dismiss();
  controller->dismiss();
  EXPECT_FALSE(controller->isShowing());
  EXPECT_EQ(controller->fading(), 1);
  EXPECT_TRUE(panel->isVisible());
  // A new shield may follow while the old one fades.
  controller->present(slack, "Plan", record(first));
  EXPECT_TRUE(controller->isShowing());
  EXPECT_NE(controller->panel(), panel);
  main->advance(ShieldPanelController::kFadeSeconds - 0.01);
  EXPECT_TRUE(panel && panel->isVisible());
  main->advance(0.02);
  EXPECT_TRUE(!panel || !panel->isVisible());
  EXPECT_EQ(controller->fading(), 0);
  EXPECT_EQ(windowsShowing<ShieldView>(), 1);
  EXPECT_TRUE(second.empty());
}

TEST_F(ShieldTest, ReturnAndEscapeGoBack) {
  for (auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
    std::vector<bool> answers;
    controller->present(mail, "", record(answers));
    ASSERT_TRUE(controller->isShowing());
    EXPECT_EQ(controller->view()->headline()->text(), "Whatever you are doing.");
    QTest::keyClick(controller->view(), key);
    EXPECT_EQ(answers, std::vector<bool>{false}) << key;
    controller->dismiss();
  }
  std::vector<bool> answers;
  controller->present(mail, "Plan", record(answers));
  QTest::mouseClick(controller->view()->goBack(), Qt::LeftButton);
  EXPECT_EQ(answers, std::vector<bool>{false});
}

TEST_F(ShieldTest, ScaleFollowsTheScreen) {
  // The scale's limits are the layout's own; here the view takes it on as it is resized.
  for (const QSize screen : {QSize(1440, 900), QSize(1280, 720)}) {
    ShieldView view(theme, "Write the Q3 report", "Slack", [](bool) {});
    view.resize(screen);
    view.show();
    AnimationClock::instance().settle();
    const double scale = ShieldLayout::scale(screen.width(), screen.height());
    EXPECT_DOUBLE_EQ(view.scale(), scale) << screen.width();
    EXPECT_EQ(view.card()->width(), static_cast<int>(std::lround(440 * scale)));
    EXPECT_NEAR(view.card()->geometry().center().x(), screen.width() / 2, 1);
    EXPECT_NEAR(view.card()->geometry().center().y(), screen.height() / 2, 1);
    if (screen == QSize(1440, 900)) {
      writeScreen(view, "shield", QColor(60, 92, 130),
                  {QRect(120, 90, 620, 440), QRect(560, 300, 700, 480)});
    }
  }
}

StageSnapshot stage(const std::string& line, std::vector<StageItem> stowed) {
  StageSnapshot s;
  s.actionText = line;
  s.stowed = std::move(stowed);
  return s;
}

using StartedNoteTest = ControllerTest<StartedPanelController>;

TEST_F(StartedNoteTest, ANewerStageReplacesTheNoteWhichFadesAfterItsOwnTime) {
  controller->show(stage("Write the Q3 report", {StageItem::app("com.example.Slack", "Slack")}));
  EXPECT_EQ(windowsShowing<StartedNote>(), 1);
  main->advance(1);
  controller->show(stage("Plan the week", {}));
  EXPECT_EQ(windowsShowing<StartedNote>(), 1);
  EXPECT_EQ(controller->note()->headline()->text(), "Plan the week");

  // The first note's time runs out: it must not touch the second.
  main->advance(2.4);
  EXPECT_TRUE(controller->isShowing());
  EXPECT_FALSE(controller->isFading());
  main->advance(0.99);
  EXPECT_FALSE(controller->isFading());
  main->advance(0.02);
  EXPECT_TRUE(controller->isFading());
  main->advance(StartedPanelController::kFadeSeconds);
  EXPECT_FALSE(controller->isShowing());
  EXPECT_EQ(windowsShowing<StartedNote>(), 0);
  EXPECT_EQ(main->pending(), 0u);

  // A stage begun while the note fades gets a whole new note and time.
  controller->show(stage("One", {}));
  main->advance(StartedPanelController::kShowSeconds + 0.01);
  ASSERT_TRUE(controller->isFading());
  controller->show(stage("Two", {}));
  EXPECT_FALSE(controller->isFading());
  main->advance(StartedPanelController::kFadeSeconds + 0.01);
  EXPECT_TRUE(controller->isShowing());
  EXPECT_EQ(controller->note()->headline()->text(), "Two");
}

TEST_F(StartedNoteTest, SaysWhatStartedAndLetsClicksThrough) {
  controller->show(stage("", {StageItem::app("com.example.Slack", "Slack"),
                              StageItem::app("com.example.Mail", "Mail")}));
  StartedNote* note = controller->note();
  EXPECT_EQ(note->headline()->text(), "Whatever you are doing.");
  EXPECT_EQ(note->whatIDid()->text(), "I hid 2 apps.");
  EXPECT_TRUE(controller->panel()->windowFlags() & Qt::WindowTransparentForInput);
  EXPECT_NE(QApplication::activeWindow(), controller->panel());

  controller->show(stage("Write the Q3 report", {}));
  writeScreen(*controller->panel(), "started-note", QColor(70, 90, 120));
}

TEST(StartedNotePlace, ALittleAboveTheMiddle) {
  EXPECT_EQ(startedNoteOrigin(QRect(0, 0, 1000, 800), QSize(560, 196)), QPoint(220, 230));
  EXPECT_EQ(startedNoteOrigin(QRect(100, 30, 1920, 1050), QSize(560, 196)), QPoint(780, 363));
}

class HelpTest : public PanelTest {
 protected:
  HelpView& open() {
    HelpOptions options;
    options.app = AppIdentity{"Linux", "1.4", "212"};
    options.system = SystemIdentity{"Debian GNU/Linux", "12"};
    options.filesFolder = folder;
    options.openUrl = [this](const QUrl& url) {
      opened.push_back(url);
      return true;
    };
    view = std::make_unique<HelpView>(theme, options, [this] { ++closes; });
    view->show();
    AnimationClock::instance().settle();
    return *view;
  }

  TempDir dir;
  std::filesystem::path folder = dir / "state" / "tervane-now";
  std::unique_ptr<HelpView> view;
  std::vector<QUrl> opened;
  int closes = 0;
};

TEST_F(HelpTest, CopiesTheAddressShowsTheFilesFolderAndCloses) {
  auto* help = &open();
  QApplication::clipboard()->setText("something else");
  QTest::mouseClick(help->addressRow(), Qt::LeftButton);
  QTest::mouseClick(help->addressRow(), Qt::LeftButton);
  EXPECT_EQ(QApplication::clipboard()->text(), kSupportAddress);
  EXPECT_EQ(help->copyLabel(), "Copied");
  EXPECT_EQ(help->systemLine()->text(), "Tervane Now for Linux 1.4 (212), Debian GNU/Linux 12");
  writeScreen(*help, "help");

  // Opened again, it starts with "Copy".
  help = &open();
  EXPECT_EQ(help->copyLabel(), "Copy");

  QTest::mouseClick(help->showFiles(), Qt::LeftButton);
  QTest::mouseClick(help->showFiles(), Qt::LeftButton);
  const QUrl url = QUrl::fromLocalFile(QString::fromStdString(folder.string()));
  EXPECT_EQ(opened, (std::vector<QUrl>{url, url}));
  // The folder exists before the file manager is asked to show it.
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_EQ(closes, 0);

  QTest::keyClick(help, Qt::Key_Return);
  QTest::keyClick(help, Qt::Key_Escape);
  QTest::mouseClick(help->closeVerb(), Qt::LeftButton);
  EXPECT_EQ(closes, 3);
}

TEST(HelpSystem, ReadsTheSystemFromOsRelease) {
  TempDir dir;
  writeText(dir / "os-release", "NAME=\"Fedora Linux\"\nVERSION_ID=40\n");
  const auto system = readSystemIdentity(dir / "os-release", dir / "missing");
  EXPECT_EQ(TervaneContact::systemLine(AppIdentity{"Linux", "1.4", ""}, system),
            "Tervane Now for Linux 1.4 (), Fedora Linux 40");
  writeText(dir / "fallback", "NAME=Debian\n");
  EXPECT_EQ(readSystemIdentity(dir / "missing", dir / "fallback").name, "Debian");
  EXPECT_EQ(readSystemIdentity(dir / "missing", dir / "missing too").name, "Linux");
}

}  // namespace
}  // namespace tervane::testing
