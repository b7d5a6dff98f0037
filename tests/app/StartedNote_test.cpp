// The started note: replaced by a newer stage's, fading on the manual clock, and
// letting clicks through.
#include <gtest/gtest.h>

#include <QApplication>

#include "app/panels/StartedPanelController.h"
#include "support/PanelFixture.h"

namespace tervane::testing {
namespace {

StageSnapshot stage(const std::string& line, std::vector<StageItem> stowed) {
  StageSnapshot s;
  s.actionText = line;
  s.stowed = std::move(stowed);
  return s;
}

using StartedNoteTest = PanelFixture<StartedPanelController>;

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
  EXPECT_EQ(controller->note()->whatIDid()->text(),
            "Your screen was already clear, so I hid nothing.");

  writeScreen(*controller->panel(), "started-note", QColor(70, 90, 120));
}

TEST(StartedNotePlace, ALittleAboveTheMiddle) {
  EXPECT_EQ(startedNoteOrigin(QRect(0, 0, 1000, 800), QSize(560, 196)), QPoint(220, 230));
  EXPECT_EQ(startedNoteOrigin(QRect(100, 30, 1920, 1050), QSize(560, 196)), QPoint(780, 363));
}

}  // namespace
}  // namespace tervane::testing
