#include "support/ModelFixture.h"

#include "base/ISOTime.h"
#include "base/Log.h"
#include "control/ControlCommands.h"
#include "words/StageWords.h"

namespace tervane::testing {
namespace {

using Move = FakeBrowsers::Move;

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

  // Its minutes are whole ones, and never below zero.
  EXPECT_EQ(model->parkedMinutes(), 0);
  main->advance(90);
  EXPECT_EQ(model->parkedMinutes(), 1);
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
  EXPECT_EQ(model->lastBecause(), "Back to it. Everything you were not using is hidden again.");
  settle();
  const auto moves = browsers->moves();
  ASSERT_GE(moves.size(), 2u);
  EXPECT_EQ(moves[moves.size() - 2], (Move{Move::Kind::minimize, BrowserKind::chrome, {7}, 0}));
  EXPECT_EQ(moves.back(), (Move{Move::Kind::focus, BrowserKind::chrome, {8}, 1}));
  EXPECT_EQ(desktop->frontmost(), "com.google.Chrome");
  EXPECT_EQ(onDisk(), model->openStage());
}

TEST_F(Ending, AFailedJournalWriteLeavesParkAndResumeUndone) {
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
}

TEST_F(Ending, ShowEverythingBringsAppsAndWindowsBackAndClosesTheJournal) {
  openStage();
  model->bringBack(false);
  EXPECT_FALSE(model->openStage().has_value());
  EXPECT_FALSE(hidden("com.example.Mail"));
  EXPECT_FALSE(monitor->isRunning());
  EXPECT_EQ(model->lastBecause(), "");
  EXPECT_TRUE(onDisk().has_value()) << "closed once the windows are back";
  settle();
  EXPECT_FALSE(browsers->windowsNow(BrowserKind::chrome)[1].isMinimized);
  EXPECT_TRUE(browsers->windowsNow(BrowserKind::chrome)[2].isMinimized)
      << "a window the person minimized is not the stage's to bring back";
  EXPECT_FALSE(onDisk().has_value());
  EXPECT_FALSE(std::filesystem::exists(journal->fileURL()));
}

TEST_F(Ending, ALateRestoreDoesNotCloseTheJournalOfANewerStage) {
  openStage();
  model->bringBack(false);
  model->set(kRule);  // a new stage begins before the windows are back
  const auto newer = *model->openStage();
  offMain->runWorkHoldCompletion()();  // then the windows are back
  EXPECT_EQ(onDisk(), newer);
}

TEST_F(Ending, DoneObservesBringsBackAndClearsTheLineAndUndoRestoresIt) {
  openStage();
  model->done();
  EXPECT_FALSE(model->openStage().has_value());
  EXPECT_FALSE(model->now().has_value());
  EXPECT_FALSE(shared->get("the_now_task").has_value());
  EXPECT_EQ(model->justFinished(), "write the report");
  model->undoFinish();
  ASSERT_TRUE(model->now().has_value());
  EXPECT_EQ(model->now()->textContent, "write the report");
  EXPECT_EQ(store->theNow(), model->now());
  EXPECT_FALSE(model->justFinished().has_value());
  EXPECT_FALSE(hidden("com.example.Mail")) << "undo never hides again";

  // Finishing without a stage still clears the line.
  model->done();
  EXPECT_EQ(model->justFinished(), "write the report");
  EXPECT_FALSE(model->now().has_value());
}

TEST_F(Ending, QuitWaitsForTheBrowsersAndLeavesNoJournal) {
  openStage();
  model->park();
  model->prepareToQuit();
  EXPECT_FALSE(browsers->windowsNow(BrowserKind::chrome)[1].isMinimized)
      << "restored on the calling thread before quitting";
  EXPECT_FALSE(onDisk().has_value());
  EXPECT_FALSE(hidden("com.example.Mail"));
}

TEST_F(Ending, RecoveryTakesUpAStageLeftByARunThatDied) {
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
}

TEST_F(Ending, RecoveryReadsOnlyAJournalItCanDecodeAndWatchesAnOpenStage) {
  build();
  std::filesystem::create_directories(journal->directory());
  writeText(journal->fileURL(), "{\"takenAt\": 3}");
  model->recoverIfNeeded();
  EXPECT_FALSE(model->openStage().has_value());
  EXPECT_EQ(readText(journal->fileURL()), "{\"takenAt\": 3}") << "left as it was";

  StageSnapshot s{
      "2025-01-02T03:04:05Z", "x", {StageItem::app("com.example.Mail", "Mail")}, {}, {}, {}, {}};
  ASSERT_TRUE(journal->write(s).ok());
  build();
  model->recoverIfNeeded();
  EXPECT_EQ(model->lastBecause(),
            "Tervane stopped while this was open. Your 1 thing is still put away, safe.");
  EXPECT_TRUE(monitor->isRunning());
}

// A desktop that does not always do what it is asked: a stuck app neither hides nor
// comes back.
class StubbornDesktop : public Ending {};

TEST_F(StubbornDesktop, NothingHiddenMeansNoStageAndNothingJournalled) {
  browsers->setRunning({});
  build();
  desktop->setStuck("com.example.Mail", true);
  desktop->setStuck("com.example.Music", true);
  start("write the report");
  settle();
  EXPECT_FALSE(model->openStage());
  EXPECT_FALSE(onDisk());
  EXPECT_FALSE(monitor->isRunning());
  EXPECT_EQ(model->lastBecause(), StageWords::kDesktopRefused);

  // One that does hide opens the stage with only what really went.
  desktop->setStuck("com.example.Mail", false);
  model->set(kRule);
  settle();
  ASSERT_TRUE(model->openStage());
  EXPECT_EQ(idsOf(model->openStage()->stowed), std::vector<std::string>{"com.example.Mail"});
  EXPECT_EQ(onDisk(), model->openStage());
}

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

  // Quitting logs what stays put away; Keep anyway on such an app says so too.
  auto sink = std::make_shared<RecordingLogSink>();
  Log::setSink(sink);
  model->set(kRule);
  settle();
  desktop->setStuck("com.example.Mail", true);
  model->prepareToQuit();
  Log::setSink(nullptr);
  ASSERT_EQ(sink->records().size(), 1u);
  EXPECT_EQ(sink->records()[0].message, "at quit: " + mailNotBack);
  desktop->setStuck("com.example.Mail", false);
  model->bringBack(false);
  model->set(kRule);
  settle();
  ASSERT_EQ(idsOf(model->openStage()->stowed).front(), "com.example.Mail");
  desktop->setStuck("com.example.Mail", true);
  model->keepAnyway(model->openStage()->stowed.front());
  EXPECT_EQ(model->lastBecause(), mailNotBack);
}

}  // namespace
}  // namespace tervane::testing
