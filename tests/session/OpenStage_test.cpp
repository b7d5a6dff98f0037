// An open stage: the guard and the corrections made while it is open, then pausing,
// finishing, quitting and recovering it, on a desktop that may not do what it is asked.
#include "support/ModelFixture.h"

#include "base/ISOTime.h"
#include "base/Log.h"
#include "control/ControlCommands.h"

namespace tervane::testing {
namespace {

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
  EXPECT_TRUE(memory->choices().empty());
  ASSERT_EQ(model->openStage()->events().size(), 1u);
  EXPECT_FALSE(model->openStage()->events()[0].letThrough);
  EXPECT_EQ(onDisk(), model->openStage());

  main->advance(1);
  desktop->personActivates("com.example.Mail");
  EXPECT_EQ(shield->presented().size(), 2u) << "a no does not let it through";

  // A yes that cannot be journalled, or an answer after the guard stopped, changes nothing.
  const auto answered = *model->openStage();
  journalFails = true;
  ASSERT_TRUE(shield->personAnswers(true));
  EXPECT_EQ(model->openStage(), answered);
  EXPECT_FALSE(shield->isShowing());
  EXPECT_TRUE(model->passed().empty());
  journalFails = false;
  main->advance(1);
  desktop->personActivates("com.example.Editor");
  desktop->personActivates("com.example.Mail");
  ASSERT_TRUE(shield->isShowing());
  model->park();
  EXPECT_FALSE(shield->isShowing());
  model->answer(true);
  EXPECT_EQ(model->openStage()->events().size(), 1u);
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
  EXPECT_EQ(idsOf(model->openStage()->kept, 3),
            (std::vector<std::string>{"chrome:7", "chrome:7#0", "chrome:7#1"}));
  EXPECT_EQ(desktop->frontmost(), "com.google.Chrome");

  main->advance(5);
  desktop->personActivates("com.example.Editor");
  desktop->personActivates("com.google.Chrome");
  settle();
  EXPECT_EQ(shield->presented().size(), 1u) << "the window is kept now";
}

TEST_F(Guard, CorrectionsOnATabAWindowOrAnAppMoveItAndRememberIt) {
  openStage();
  model->keepAnyway(itemIn(model->openStage()->stowed, "chrome:7#1"));
  EXPECT_EQ(browsers->moves(),
            (std::vector<Move>{{Move::Kind::minimize, BrowserKind::chrome, {7}, 0},
                               {Move::Kind::restore, BrowserKind::chrome, {7}, 0},
                               {Move::Kind::focus, BrowserKind::chrome, {7}, 2}}));
  const std::vector<std::string> window{"chrome:7", "chrome:7#0", "chrome:7#1"};
  EXPECT_EQ(idsOf(model->openStage()->kept, 3), window);
  EXPECT_EQ(memory->choices().at("host:docs.example.com"), R::keep);

  model->stowAlso(itemIn(model->openStage()->kept, "chrome:7#1"));
  EXPECT_EQ(browsers->moves().back(), (Move{Move::Kind::minimize, BrowserKind::chrome, {7}, 0}));
  EXPECT_EQ(idsOf(model->openStage()->stowed, 3), window);
  EXPECT_EQ(memory->choices().at("host:docs.example.com"), R::stow);

  // Keep anyway on the window remembers its first tab with a host, and focuses no tab.
  model->keepAnyway(itemIn(model->openStage()->stowed, "chrome:7"));
  EXPECT_EQ(memory->choices().at("host:docs.example.com"), R::keep);
  EXPECT_EQ(model->lastBecause(), "Chrome window, 2 tabs stays from now on, because you said so.");
  EXPECT_EQ(browsers->moves().back(), (Move{Move::Kind::restore, BrowserKind::chrome, {7}, 0}));
  EXPECT_EQ(idsOf(model->openStage()->kept, 3), window);
  EXPECT_EQ(onDisk(), model->openStage());
  EXPECT_FALSE(model->isTervaneMoving()) << "corrections bring nothing forward";

  model->stowAlso(itemIn(model->openStage()->kept, "com.google.Chrome"));
  EXPECT_TRUE(hidden("com.google.Chrome"));
  EXPECT_EQ(memory->choices().at("com.google.Chrome"), R::stow);
  const auto before = *model->openStage();
  model->stowAlso(StageItem::app("com.example.Gone", "Gone"));
  EXPECT_EQ(model->openStage(), before) << "an item no longer listed is ignored";
}

TEST_F(Guard, INeedThisLetsItThroughForTheStageAndFinishingAsksWhetherToRememberIt) {
  addApp("com.example.Calendar", 30);  // kept, hideable, never used during the stage
  openStage();
  desktop->personActivates("com.example.Music");
  ASSERT_TRUE(shield->personAnswers(true));
  EXPECT_EQ(idsOf(model->openStage()->kept).back(), "com.example.Music");
  EXPECT_FALSE(hidden("com.example.Music"));
  EXPECT_EQ(model->lastBecause(), "App Music is back on your screen. The rest is still hidden.");
  EXPECT_EQ(model->passed(), std::set<std::string>{"com.example.Music"});
  EXPECT_TRUE(memory->choices().empty()) << "only the question at the end remembers";
  EXPECT_EQ(onDisk(), model->openStage());
  // An app never used was not reached for; a stage of unknown start counts as reached.
  auto stage = *model->openStage();
  EXPECT_FALSE(model->wasReachedFor("com.example.Unknown", stage));
  stage.takenAt = "yesterday";
  EXPECT_TRUE(model->wasReachedFor("com.example.Unknown", stage));

  main->advance(60);
  model->done();
  ASSERT_TRUE(model->pendingQuestion().has_value());
  const auto& q = *model->pendingQuestion();
  EXPECT_EQ(idsOf(q.keepNextTime), std::vector<std::string>{"com.example.Music"});
  // Chrome and Calendar stayed on screen and were never opened during the stage; Editor
  // was in use.
  EXPECT_EQ(idsOf(q.putAwayNextTime),
            (std::vector<std::string>{"com.google.Chrome", "com.example.Calendar"}));
  model->answerQuestion(true);
  EXPECT_EQ(memory->choices(), (RememberedChoices{{"com.example.Music", R::keep},
                                                  {"com.google.Chrome", R::stow},
                                                  {"com.example.Calendar", R::stow}}));
  EXPECT_FALSE(model->pendingQuestion().has_value());
}

// Where a let-through item sends the person, what moves with an item, and which window
// numbers a list names for each browser.
TEST(ModelItems, ActivationTargetsEvidenceAndWindowIds) {
  auto items = StageItem::forWindow(window(BrowserKind::safari, 4, {"a"}));
  EXPECT_EQ(MacNowModel::activationTarget(items[0]), "com.apple.Safari");
  EXPECT_EQ(MacNowModel::activationTarget(items[1]), "safari:4#0");
  EXPECT_EQ(MacNowModel::activationTarget(StageItem::app("x.y", "Y")), "x.y");
  EXPECT_EQ(MacNowModel::evidence(items[0], items).size(), 1u);
  EXPECT_TRUE(MacNowModel::evidence(items[1], items).empty());
  auto odd = items[0], unknown = items[0];
  odd.id = "chrome:x";
  odd.browser = "chrome";
  unknown.browser = "opera";
  items.insert(items.end(), {odd, unknown});
  items.push_back(StageItem::forWindow(window(BrowserKind::safari, 9, {}))[0]);
  EXPECT_EQ(MacNowModel::windowIds(items),
            (std::map<BrowserKind, std::vector<std::int64_t>>{{BrowserKind::safari, {4, 9}}}));
}

class Ending : public ChromeDesk {};

TEST_F(Ending, ParkKeepsEverythingHiddenAndResumeHidesAgainAndReturnsToTheMarkedTab) {
  openStage();
  desktop->personActivates("com.google.Chrome");
  main->advance(1);
  model->park();
  ASSERT_TRUE(model->openStage()->isParked());
  EXPECT_FALSE(monitor->isRunning());
  EXPECT_TRUE(hidden("com.example.Mail"));
  EXPECT_EQ(model->openStage()->mark,
            (ResumeMark{"com.google.Chrome", "App Chrome", {}, {}, {}, {}}));
  settle();  // the mark is refined to the front window's active tab
  EXPECT_EQ(model->openStage()->mark, (ResumeMark{"com.google.Chrome", "App Chrome", "chrome", 8, 1,
                                                  "https://front.example.com/"}));
  EXPECT_EQ(onDisk(), model->openStage());

  const auto parked = *model->openStage();
  model->park();  // parking a parked stage does nothing
  EXPECT_EQ(model->openStage(), parked);

  // Its minutes are never below zero.
  auto future = *model->openStage();
  future.parkedAt = ISOTime::format(clock->now() + std::chrono::hours(1));
  ASSERT_TRUE(model->apply(future));
  EXPECT_EQ(model->parkedMinutes(), 0);

  desktop->personActivates("com.example.Mail");  // the person opens anything while paused
  EXPECT_FALSE(hidden("com.example.Mail"));
  EXPECT_FALSE(shield->isShowing());

  model->resume();
  EXPECT_EQ(model->parkedMinutes(), std::nullopt);
  EXPECT_FALSE(model->openStage()->mark.has_value());
  EXPECT_TRUE(hidden("com.example.Mail"));
  EXPECT_TRUE(monitor->isRunning());
  settle();
  const auto moves = browsers->moves();
  ASSERT_GE(moves.size(), 2u);
  EXPECT_EQ(moves[moves.size() - 2], (Move{Move::Kind::minimize, BrowserKind::chrome, {7}, 0}));
  EXPECT_EQ(moves.back(), (Move{Move::Kind::focus, BrowserKind::chrome, {8}, 1}));
  EXPECT_EQ(desktop->frontmost(), "com.google.Chrome");
  EXPECT_EQ(onDisk(), model->openStage());
}

TEST_F(Ending, AFailedJournalWriteLeavesParkAndResumeUndoneAndQuitBringsAllBack) {
  openStage();
  const auto open = *model->openStage();
  journalFails = true;
  model->park();
  EXPECT_EQ(model->openStage(), open);
  EXPECT_TRUE(monitor->isRunning());
  journalFails = false;
  model->park();
  const auto parked = *model->openStage();
  journalFails = true;
  model->resume();
  EXPECT_EQ(model->openStage(), parked);
  EXPECT_FALSE(monitor->isRunning());

  // Quitting still brings everything back, waiting for the browsers.
  journalFails = false;
  model->prepareToQuit();
  EXPECT_FALSE(browsers->windowsNow(BrowserKind::chrome)[1].isMinimized)
      << "restored on the calling thread before quitting";
}

// Show everything closes the journal once the windows are back, but never the journal of
// a stage begun before they were.
TEST_F(Ending, ALateRestoreDoesNotCloseTheJournalOfANewerStage) {
  openStage();
  model->bringBack(false);
  EXPECT_FALSE(model->openStage().has_value());
  EXPECT_FALSE(hidden("com.example.Mail"));
  EXPECT_FALSE(monitor->isRunning());
  EXPECT_EQ(model->lastBecause(), "");
  EXPECT_TRUE(onDisk().has_value()) << "closed once the windows are back";
  model->set(kRule);  // a new stage begins before the windows are back
  const auto newer = *model->openStage();
  offMain->runWorkHoldCompletion()();  // then the windows are back
  EXPECT_EQ(onDisk(), newer);

  model->bringBack(false);
  settle();
  EXPECT_FALSE(browsers->windowsNow(BrowserKind::chrome)[1].isMinimized);
  EXPECT_TRUE(browsers->windowsNow(BrowserKind::chrome)[2].isMinimized)
      << "a window the person minimized is not the stage's to bring back";
  EXPECT_FALSE(std::filesystem::exists(journal->fileURL()));
}

// Recovery takes up a stage left by a run that died, and leaves a journal it cannot read
// as it was.
TEST_F(Ending, RecoveryTakesUpAStageLeftByARunThatDied) {
  build();
  std::filesystem::create_directories(journal->directory());
  writeText(journal->fileURL(), "{\"takenAt\": 3}");
  model->recoverIfNeeded();
  EXPECT_FALSE(model->openStage().has_value());
  EXPECT_EQ(readText(journal->fileURL()), "{\"takenAt\": 3}") << "left as it was";

  openStage();
  model->park();
  settle();
  const auto left = *model->openStage();
  model.reset();  // the run dies: nothing brought back

  build();
  model->recoverIfNeeded();
  EXPECT_EQ(model->openStage(), left);
  EXPECT_EQ(
      model->lastBecause(),
      "Tervane stopped while you were stepped out. Your 3 things are still put away, waiting.");
  EXPECT_FALSE(monitor->isRunning());
  model->bringBack(true);
  EXPECT_FALSE(hidden("com.example.Mail"));
  EXPECT_FALSE(onDisk().has_value());

  // A stage left open is watched again.
  auto open = left;
  open.parkedAt.reset();
  ASSERT_TRUE(journal->write(open).ok());
  build();
  model->recoverIfNeeded();
  EXPECT_EQ(model->lastBecause(),
            "Tervane stopped while this was open. Your 3 things are still put away, safe.");
  EXPECT_TRUE(monitor->isRunning());
}

// A desktop that does not always do what it is asked: a stuck app neither hides nor
// comes back.
class StubbornDesktop : public Ending {};

TEST_F(StubbornDesktop, WhatDidNotComeBackIsSaidAndTriedAgain) {
  openStage();
  desktop->setStuck("com.example.Mail", true);
  browsers->setAuthorization(BrowserKind::chrome, BrowserAuthorization::denied());

  ControlCommands commands(model, main, [] {});
  std::optional<ControlReply> reply;
  const auto show = [&] {
    reply.reset();
    commands.handle(R"({"command":"show"})", [&](const ControlReply& r) { reply = r; });
  };
  show();
  EXPECT_FALSE(reply) << "the reply waits for the browser windows";
  settle();
  main->advance(MacNowModel::kMovingSeconds);
  ASSERT_TRUE(reply);
  EXPECT_FALSE(reply->ok);
  const std::string mailNotBack =
      "App Mail did not come back when asked. Show everything tries again.";
  const std::string expected =
      mailNotBack + " Chrome windows did not come back when asked. Show everything tries again.";
  EXPECT_EQ(reply->message, expected);
  EXPECT_EQ(model->lastBecause(), expected);
  EXPECT_FALSE(model->openStage());

  // With no stage open, Show everything and the next launch try the app again.
  show();
  ASSERT_TRUE(reply);
  EXPECT_FALSE(reply->ok);
  EXPECT_TRUE(hidden("com.example.Mail"));
  desktop->setStuck("com.example.Mail", false);
  model->recoverIfNeeded();
  EXPECT_FALSE(hidden("com.example.Mail"));
  EXPECT_TRUE(model->lastBecause().empty());
  show();
  EXPECT_EQ(reply->message, "No stage is open, so there is nothing to bring back.");

  // Quitting logs what stays put away.
  auto sink = std::make_shared<RecordingLogSink>();
  Log::setSink(sink);
  model->set(kRule);
  settle();
  desktop->setStuck("com.example.Mail", true);
  model->prepareToQuit();
  Log::setSink(nullptr);
  ASSERT_EQ(sink->records().size(), 1u);
  EXPECT_EQ(sink->records()[0].message, "at quit: " + mailNotBack);
  // A new stage lists only what really went; Keep anyway on such an app says so too.
  desktop->setStuck("com.example.Mail", false);
  desktop->setStuck("com.example.Music", true);
  model->bringBack(false);
  model->set(kRule);
  settle();
  const auto stowed = idsOf(model->openStage()->stowed);
  ASSERT_EQ(stowed.front(), "com.example.Mail");
  EXPECT_EQ(std::count(stowed.begin(), stowed.end(), "com.example.Music"), 0);
  desktop->setStuck("com.example.Mail", true);
  model->keepAnyway(model->openStage()->stowed.front());
  EXPECT_EQ(model->lastBecause(), mailNotBack);
}

}  // namespace
}  // namespace tervane::testing
