// The shield: one at a time over the whole screen, its answers, scale and fade.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include "app/shield/ShieldPanelController.h"
#include "support/PanelFixture.h"

namespace tervane::testing {
namespace {

class ShieldTest : public PanelFixture<ShieldPanelController> {
 protected:
  std::function<void(bool)> record(std::vector<bool>& into) {
    return [&into](bool letThrough) { into.push_back(letThrough); };
  }
  const StageItem slack = StageItem::app("com.example.Slack", "Slack");
  const StageItem mail = StageItem::app("com.example.Mail", "Mail");
};

TEST_F(ShieldTest, ASecondPresentIsDroppedWithItsCallback) {
  std::vector<bool> first, second;
  controller->present(slack, "Write the Q3 report", record(first));
  ASSERT_TRUE(controller->isShowing());
  QWidget* panel = controller->panel();
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
  controller->dismiss();
  main->advance(ShieldPanelController::kFadeSeconds);
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

TEST_F(ShieldTest, DismissForgetsAtOnceAndClosesAfterTheFade) {
  std::vector<bool> answers;
  controller->present(mail, "Plan", record(answers));
  QPointer<QWidget> first = controller->panel();
  controller->dismiss();
  controller->dismiss();
  EXPECT_FALSE(controller->isShowing());
  EXPECT_EQ(controller->fading(), 1);
  EXPECT_TRUE(first->isVisible());

  // A new shield may follow while the old one fades.
  controller->present(slack, "Plan", record(answers));
  EXPECT_TRUE(controller->isShowing());
  EXPECT_NE(controller->panel(), first);

  main->advance(ShieldPanelController::kFadeSeconds - 0.01);
  EXPECT_TRUE(first && first->isVisible());
  main->advance(0.02);
  EXPECT_TRUE(!first || !first->isVisible());
  EXPECT_EQ(controller->fading(), 0);
  EXPECT_EQ(windowsShowing<ShieldView>(), 1);
}

TEST_F(ShieldTest, ScaleFollowsTheScreenWithinItsLimits) {
  struct Case {
    QSize screen;
    double scale;
  };
  for (const Case& c : {Case{{1440, 900}, 1.4}, Case{{1280, 720}, 1.15}, Case{{800, 600}, 1.15},
                        Case{{2560, 1440}, 1.4}}) {
    ShieldView view(theme, "Write the Q3 report", "Slack", [](bool) {});
    view.resize(c.screen);
    view.show();
    AnimationClock::instance().settle();
    EXPECT_DOUBLE_EQ(view.scale(), c.scale) << c.screen.width();
    EXPECT_EQ(view.card()->width(), static_cast<int>(std::lround(440 * c.scale)));
    EXPECT_NEAR(view.card()->geometry().center().x(), c.screen.width() / 2, 1);
    EXPECT_NEAR(view.card()->geometry().center().y(), c.screen.height() / 2, 1);
    if (c.screen == QSize(1440, 900)) {
      writeScreen(view, "shield", QColor(60, 92, 130),
                  {QRect(120, 90, 620, 440), QRect(560, 300, 700, 480)});
    }
  }
}

}  // namespace
}  // namespace tervane::testing
