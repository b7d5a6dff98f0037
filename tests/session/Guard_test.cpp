#include "support/ModelFixture.h"

namespace tervane::testing {
namespace {

using Move = FakeBrowsers::Move;
using R = StagePlanner::Remembered;

class Guard : public ChromeDesk {};

TEST_F(Guard, NothingIsShieldedWhileTheModelMovesThings) {
  build();
  start();
  desktop->personActivates("com.example.Mail");  // within 0.8 s of the hide
  EXPECT_TRUE(shield->presented().empty());
}

TEST_F(Guard, OneShieldAtATimeAndBackToItHidesAgainRevertsTheActivationAndJournalsIt) {
  openStage();
  const auto before = model->activation().secondsSinceLastUse("com.example.Mail");
  desktop->personActivates("com.example.Mail");
  EXPECT_NEAR(*model->activation().secondsSinceLastUse("com.example.Mail"), 0, 1e-9);
  // The focus comes back to Mail from the shield: still the one use that raised it.
  main->advance(0.1);
  desktop->personActivates("com.example.Editor");
  desktop->personActivates("com.example.Mail");
  ASSERT_EQ(shield->presented().size(), 1u);
  EXPECT_EQ(shield->presented()[0].item.id, "com.example.Mail");
  EXPECT_EQ(shield->presented()[0].actionText, "write the report");
  ASSERT_TRUE(shield->personAnswers(false));
  EXPECT_FALSE(shield->isShowing());
  EXPECT_TRUE(hidden("com.example.Mail"));
  EXPECT_EQ(model->activation().secondsSinceLastUse("com.example.Mail"), before);
  EXPECT_EQ(model->lastBecause(), "App Mail is hidden again, where it was.");
  EXPECT_TRUE(memory->choices().empty());
  ASSERT_EQ(model->openStage()->events().size(), 1u);
  EXPECT_FALSE(model->openStage()->events()[0].letThrough);
  EXPECT_EQ(onDisk(), model->openStage());

  main->advance(1);
  desktop->personActivates("com.example.Mail");
  EXPECT_EQ(shield->presented().size(), 2u) << "a no does not let it through";
}

TEST_F(Guard, INeedThisMovesTheItemToKeptAndLetsItThroughForTheStage) {
  openStage();
  desktop->personActivates("com.example.Music");
  ASSERT_TRUE(shield->personAnswers(true));
  EXPECT_EQ(idsOf(model->openStage()->kept).back(), "com.example.Music");
  EXPECT_FALSE(hidden("com.example.Music"));
  EXPECT_EQ(model->lastBecause(), "App Music is back on your screen. The rest is still hidden.");
  EXPECT_EQ(model->passed(), std::set<std::string>{"com.example.Music"});
  EXPECT_TRUE(memory->choices().empty()) << "only the question at the end remembers";
  EXPECT_EQ(onDisk(), model->openStage());
}

TEST_F(Guard, AStowedWindowFoundInFrontIsShieldedAndYesTakesItsTabs) {
  openStage();
  auto windows = browsers->windowsNow(BrowserKind::chrome);
  windows[1].isMinimized = false;  // the person restored window 7
  browsers->setWindows(BrowserKind::chrome, windows);
  desktop->personActivates("com.google.Chrome");
  desktop->personActivates("com.example.Editor");
  main->advance(1);
  desktop->personActivates("com.google.Chrome");  // within 3 s: read once
  settle();
  EXPECT_EQ(browsers->reads(BrowserKind::chrome), 2) << "one staging read, one check";
  ASSERT_EQ(shield->presented().size(), 1u);
  EXPECT_EQ(shield->presented()[0].item.id, "chrome:7");

  ASSERT_TRUE(shield->personAnswers(true));
  const auto kept = idsOf(model->openStage()->kept);
  EXPECT_EQ(std::vector<std::string>(kept.end() - 3, kept.end()),
            (std::vector<std::string>{"chrome:7", "chrome:7#0", "chrome:7#1"}));
  EXPECT_EQ(desktop->frontmost(), "com.google.Chrome");

  main->advance(5);
  desktop->personActivates("com.example.Editor");
  desktop->personActivates("com.google.Chrome");
  settle();
  EXPECT_EQ(shield->presented().size(), 1u) << "the window is kept now";
}

// An answer that cannot be journalled, or that comes after the guard stopped, changes
// nothing.
TEST_F(Guard, AnAnswerThatCannotBeKeptChangesNothing) {
  openStage();
  const auto before = *model->openStage();
  desktop->personActivates("com.example.Music");
  journalFails = true;
  ASSERT_TRUE(shield->personAnswers(true));
  EXPECT_EQ(model->openStage(), before);
  EXPECT_FALSE(shield->isShowing());
  EXPECT_TRUE(model->passed().empty());

  journalFails = false;
  main->advance(1);
  desktop->personActivates("com.example.Mail");
  ASSERT_TRUE(shield->isShowing());
  model->park();
  EXPECT_FALSE(shield->isShowing());
  model->answer(true);
  EXPECT_TRUE(model->openStage()->events().empty());
}

TEST_F(Guard, CorrectionsOnATabOrAWindowMoveTheWindowAndRememberTheSite) {
  openStage();
  model->keepAnyway(itemIn(model->openStage()->stowed, "chrome:7#1"));
  EXPECT_EQ(browsers->moves(),
            (std::vector<Move>{{Move::Kind::minimize, BrowserKind::chrome, {7}, 0},
                               {Move::Kind::restore, BrowserKind::chrome, {7}, 0},
                               {Move::Kind::focus, BrowserKind::chrome, {7}, 2}}));
  const std::vector<std::string> window{"chrome:7", "chrome:7#0", "chrome:7#1"};
  const auto last3 = [](const std::vector<StageItem>& items) {
    const auto ids = idsOf(items);
    return std::vector<std::string>(ids.end() - std::min<std::ptrdiff_t>(3, ids.size()), ids.end());
  };
  EXPECT_EQ(last3(model->openStage()->kept), window);
  EXPECT_EQ(memory->choices().at("host:docs.example.com"), R::keep);

  model->stowAlso(itemIn(model->openStage()->kept, "chrome:7#1"));
  EXPECT_EQ(browsers->moves().back(), (Move{Move::Kind::minimize, BrowserKind::chrome, {7}, 0}));
  EXPECT_EQ(last3(model->openStage()->stowed), window);
  EXPECT_EQ(memory->choices().at("host:docs.example.com"), R::stow);

  // Keep anyway on the window remembers its first tab with a host, and focuses no tab.
  model->keepAnyway(itemIn(model->openStage()->stowed, "chrome:7"));
  EXPECT_EQ(memory->choices().at("host:docs.example.com"), R::keep);
  EXPECT_EQ(model->lastBecause(), "Chrome window, 2 tabs stays from now on, because you said so.");
  EXPECT_EQ(browsers->moves().back(), (Move{Move::Kind::restore, BrowserKind::chrome, {7}, 0}));
  EXPECT_EQ(last3(model->openStage()->kept), window);
  EXPECT_EQ(onDisk(), model->openStage());
  EXPECT_FALSE(model->isTervaneMoving()) << "corrections bring nothing forward";
}

TEST_F(Guard, StowAlsoHidesAKeptAppAndRemembersIt) {
  openStage();
  model->stowAlso(itemIn(model->openStage()->kept, "com.google.Chrome"));
  EXPECT_TRUE(hidden("com.google.Chrome"));
  EXPECT_EQ(memory->choices().at("com.google.Chrome"), R::stow);
  EXPECT_EQ(model->lastBecause(), "I will hide App Chrome from now on, because you said so.");
  // An item no longer listed is ignored.
  const auto before = *model->openStage();
  model->stowAlso(StageItem::app("com.example.Gone", "Gone"));
  EXPECT_EQ(model->openStage(), before);
}

TEST_F(Guard, FinishingAsksOneQuestionAndYesIsRemembered) {
  addApp("com.example.Calendar", 30);  // kept, hideable, never used during the stage
  openStage();
  desktop->personActivates("com.example.Music");
  ASSERT_TRUE(shield->personAnswers(true));
  main->advance(60);
  model->done();
  ASSERT_TRUE(model->pendingQuestion().has_value());
  const auto& q = *model->pendingQuestion();
  EXPECT_EQ(idsOf(q.keepNextTime), std::vector<std::string>{"com.example.Music"});
  // Chrome and Calendar stayed on screen and were never opened during the stage.
  EXPECT_EQ(idsOf(q.putAwayNextTime),
            (std::vector<std::string>{"com.google.Chrome", "com.example.Calendar"}));
  model->answerQuestion(true);
  EXPECT_EQ(memory->choices(), (RememberedChoices{{"com.example.Music", R::keep},
                                                  {"com.google.Chrome", R::stow},
                                                  {"com.example.Calendar", R::stow}}));
  EXPECT_FALSE(model->pendingQuestion().has_value());
}

TEST_F(Guard, WasReachedForComparesLastUseWithTheStageStart) {
  openStage();
  const auto stage = *model->openStage();
  EXPECT_FALSE(model->wasReachedFor("com.example.Unknown", stage));
  EXPECT_FALSE(model->wasReachedFor("com.example.Mail", stage));
  main->advance(10);
  desktop->personActivates("com.example.Editor");
  desktop->personActivates("com.example.Mail");
  EXPECT_TRUE(model->wasReachedFor("com.example.Mail", stage));
  auto undated = stage;
  undated.takenAt = "yesterday";
  EXPECT_TRUE(model->wasReachedFor("com.example.Unknown", undated));
}

TEST(ActivationTarget, AWindowActivatesItsBrowserAndAnythingElseItsId) {
  const auto items = StageItem::forWindow(window(BrowserKind::edge, 3, {"a"}));
  EXPECT_EQ(MacNowModel::activationTarget(items[0]), "com.microsoft.edgemac");
  EXPECT_EQ(MacNowModel::activationTarget(items[1]), "edge:3#0");
  EXPECT_EQ(MacNowModel::activationTarget(StageItem::app("x.y", "Y")), "x.y");
  EXPECT_EQ(MacNowModel::evidence(items[0], items).size(), 1u);
  EXPECT_TRUE(MacNowModel::evidence(items[1], items).empty());
}

}  // namespace
}  // namespace tervane::testing
