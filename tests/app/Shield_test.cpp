// The shield: one window at a time over the whole screen, the card's words, the answers
// by button and by key, the scale on two screen sizes, and the fade before it closes.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QTest>

#include "app/shield/ShieldPanelController.h"
#include "support/PanelFixture.h"

namespace tervane::testing {
namespace {

StageItem app(const std::string& id, const std::string& name) {
  return StageItem::app(id, name);
}

// The shield as it looks over a desktop: a wallpaper and two windows beneath it.
QImage overDesktop(QWidget& view) {
  QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&image);
  QLinearGradient wallpaper(0, 0, view.width(), view.height());
  wallpaper.setColorAt(0, QColor(60, 92, 130));
  wallpaper.setColorAt(1, QColor(140, 110, 160));
  painter.fillRect(image.rect(), wallpaper);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(236, 236, 240));
  painter.drawRoundedRect(QRect(120, 90, 620, 440), 10, 10);
  painter.setBrush(QColor(250, 250, 252));
  painter.drawRoundedRect(QRect(560, 300, 700, 480), 10, 10);
  painter.setBrush(Qt::NoBrush);
  view.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
  painter.end();
  return image;
}

class ShieldTest : public PanelFixture<ShieldPanelController> {
 protected:
  std::function<void(bool)> record(std::vector<bool>& into) {
    return [&into](bool letThrough) { into.push_back(letThrough); };
  }
};

TEST_F(ShieldTest, ASecondPresentIsDroppedWithItsCallback) {
  std::vector<bool> first, second;
  controller->present(app("com.example.Slack", "Slack"), "Write the Q3 report", record(first));
  ASSERT_TRUE(controller->isShowing());
  QWidget* panel = controller->panel();
  EXPECT_TRUE(panel->isVisible());
  EXPECT_TRUE(panel->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(panel->windowFlags() & Qt::FramelessWindowHint);
  // The whole screen, not only its free area.
  EXPECT_EQ(panel->geometry(), QGuiApplication::primaryScreen()->geometry());

  controller->present(app("com.example.Mail", "Mail"), "Something else", record(second));
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
    controller->present(app("com.example.Mail", "Mail"), "", record(answers));
    ASSERT_TRUE(controller->isShowing());
    EXPECT_EQ(controller->view()->headline()->text(), "Whatever you are doing.");
    QTest::keyClick(controller->view(), key);
    EXPECT_EQ(answers, std::vector<bool>{false}) << key;
    controller->dismiss();
  }
  std::vector<bool> answers;
  controller->present(app("com.example.Mail", "Mail"), "Plan", record(answers));
  QTest::mouseClick(controller->view()->goBack(), Qt::LeftButton);
  EXPECT_EQ(answers, std::vector<bool>{false});
  EXPECT_EQ(controller->view()->goBack()->title(), "Back to it");
  EXPECT_FALSE(controller->view()->goBack()->prominent());
  EXPECT_FALSE(controller->view()->needThis()->prominent());
}

TEST_F(ShieldTest, DismissForgetsAtOnceAndClosesAfterTheFade) {
  std::vector<bool> answers;
  controller->present(app("com.example.Mail", "Mail"), "Plan", record(answers));
  QPointer<QWidget> first = controller->panel();
  controller->dismiss();
  controller->dismiss();
  EXPECT_FALSE(controller->isShowing());
  EXPECT_EQ(controller->fading(), 1);
  EXPECT_TRUE(first->isVisible());

  // A new shield may follow while the old one fades.
  controller->present(app("com.example.Slack", "Slack"), "Plan", record(answers));
  EXPECT_TRUE(controller->isShowing());
  EXPECT_NE(controller->panel(), first);

  main->advance(ShieldPanelController::kFadeSeconds - 0.01);
  EXPECT_TRUE(first && first->isVisible());
  main->advance(0.02);
  EXPECT_TRUE(!first || !first->isVisible());
  EXPECT_EQ(controller->fading(), 0);
  EXPECT_TRUE(controller->panel()->isVisible());
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
    // Centred.
    EXPECT_NEAR(view.card()->geometry().center().x(), c.screen.width() / 2, 1);
    EXPECT_NEAR(view.card()->geometry().center().y(), c.screen.height() / 2, 1);
    if (c.screen == QSize(1440, 900)) writeScreen(overDesktop(view), "shield");
  }
}

}  // namespace
}  // namespace tervane::testing
