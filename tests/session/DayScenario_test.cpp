// One whole day on the simulated desktop, checking after every step that the journal on
// disk says exactly what the model holds, and at the end that nothing was lost.
#include "support/ModelFixture.h"

namespace tervane::testing {
namespace {

using R = StagePlanner::Remembered;

class DayScenario : public ModelFixture {
 protected:
  void SetUp() override {
    picker->available = false;
    addApp("com.example.Editor", 5, /*front=*/true);
    addApp("com.example.Mail", 3000);
    addApp("com.example.Music", 4000);
    addApp("com.example.Chat", 5000);
    addApp("com.example.Calendar", 60);
    addApp("com.google.Chrome", 10);
    runChrome({window(BrowserKind::chrome, 1, {"spec", "docs"}, true),
               window(BrowserKind::chrome, 2, {"news", "video"}),
               window(BrowserKind::chrome, 3, {"shop"}),
               window(BrowserKind::chrome, 4, {"mine"}, false, /*minimized=*/true)});
    build();
  }

  // The journal always says what the model holds.
  void expectJournalled(const char* step) {
    EXPECT_EQ(onDisk(), model->openStage()) << "after " << step;
  }

  void personOpens(const std::string& id) {
    main->advance(1);
    desktop->personActivates(id);
    settle();
  }
};

TEST_F(DayScenario, AWholeDayLosesNothing) {
  start("write the quarterly report");
  settle();
  expectJournalled("start");
  const auto hiddenAtStart =
      std::vector<std::string>{"com.example.Mail", "com.example.Music", "com.example.Chat"};
  for (const auto& id : hiddenAtStart) EXPECT_TRUE(hidden(id)) << id;
  EXPECT_TRUE(browsers->windowsNow(BrowserKind::chrome)[1].isMinimized);
  EXPECT_TRUE(browsers->windowsNow(BrowserKind::chrome)[2].isMinimized);

  // A hidden app comes forward; "Back to it".
  personOpens("com.example.Chat");
  ASSERT_TRUE(shield->isShowing());
  shield->personAnswers(false);
  expectJournalled("back to it");
  EXPECT_TRUE(hidden("com.example.Chat"));

  // It comes forward again; "I need this".
  personOpens("com.example.Chat");
  ASSERT_TRUE(shield->isShowing());
  shield->personAnswers(true);
  expectJournalled("I need this");
  EXPECT_FALSE(hidden("com.example.Chat"));

  // Keep anyway on a window; stow also on an app.
  model->keepAnyway(itemIn(model->openStage()->stowed, "chrome:3"));
  expectJournalled("keep anyway");
  EXPECT_FALSE(browsers->windowsNow(BrowserKind::chrome)[2].isMinimized);
  model->stowAlso(itemIn(model->openStage()->kept, "com.example.Calendar"));
  expectJournalled("stow also");
  EXPECT_TRUE(hidden("com.example.Calendar"));

  // Park with Chrome in front; resume refines to the front tab.
  personOpens("com.google.Chrome");
  model->park();
  settle();
  expectJournalled("park");
  ASSERT_TRUE(model->openStage()->mark.has_value());
  EXPECT_EQ(model->openStage()->mark->windowId, 1);
  EXPECT_EQ(model->openStage()->mark->tabIndex, 1);
  personOpens("com.example.Music");  // paused: anything may be opened
  EXPECT_FALSE(shield->isShowing());
  model->resume();
  settle();
  expectJournalled("resume");
  EXPECT_TRUE(hidden("com.example.Music"));
  EXPECT_EQ(desktop->frontmost(), "com.google.Chrome");

  // Finished: the one question, answered yes.
  main->advance(120);
  model->done();
  settle();
  EXPECT_FALSE(onDisk().has_value());
  EXPECT_FALSE(std::filesystem::exists(journal->fileURL()));
  ASSERT_TRUE(model->pendingQuestion().has_value());
  EXPECT_EQ(idsOf(model->pendingQuestion()->keepNextTime),
            std::vector<std::string>{"com.example.Chat"});
  model->answerQuestion(true);

  // Everything the stage hid is back; the window the person minimized stays minimized.
  for (const auto& app : desktop->apps()) EXPECT_FALSE(app.isHidden) << app.bundleId;
  const auto windows = browsers->windowsNow(BrowserKind::chrome);
  EXPECT_FALSE(windows[0].isMinimized);
  EXPECT_FALSE(windows[1].isMinimized);
  EXPECT_FALSE(windows[2].isMinimized);
  EXPECT_TRUE(windows[3].isMinimized);

  // The remembered choices are the ones the person gave.
  EXPECT_EQ(memory->choices(), (RememberedChoices{{"host:shop.example.com", R::keep},
                                                  {"com.example.Calendar", R::stow},
                                                  {"com.example.Chat", R::keep}}));
  EXPECT_FALSE(model->now().has_value());
  EXPECT_EQ(model->justFinished(), "write the quarterly report");
}

}  // namespace
}  // namespace tervane::testing
