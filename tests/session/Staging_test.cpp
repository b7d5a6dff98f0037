#include "base/Json.h"
#include "support/ModelFixture.h"
#include "words/StageWords.h"

namespace tervane::testing {
namespace {

class Staging : public ModelFixture {
 protected:
  void SetUp() override {
    addDesk();
    addApp("com.example.Notes", 60);
    addApp("com.example.Pinned", 9999, false, /*canHide=*/false);
  }
};

// Without a picker the apps are hidden and journalled at once; the browser windows join
// the stage once they are read.
TEST_F(Staging, WithoutAPickerAppsGoAtOnceAndBrowserWindowsJoinLater) {
  runChrome({window(BrowserKind::chrome, 7, {"a", "b", "c"}),
             window(BrowserKind::chrome, 8, {"front"}, true)});
  build();
  model->capture("write the report");
  model->set(kRule);

  ASSERT_TRUE(model->openStage().has_value());
  EXPECT_EQ(idsOf(model->openStage()->stowed),
            (std::vector<std::string>{"com.example.Mail", "com.example.Music"}));
  EXPECT_TRUE(hidden("com.example.Music"));
  EXPECT_FALSE(hidden("com.example.Notes"));
  EXPECT_EQ(onDisk(), model->openStage());
  EXPECT_EQ(model->lastBecause(), "You had not used them in the last 20 minutes.");
  EXPECT_EQ(offMain->pending(), 1u) << "only the browser read runs off the main thread";
  main->advance(MacNowModel::kMovingSeconds - 0.01);
  EXPECT_TRUE(model->isTervaneMoving()) << "the hides stay the model's own for a while";

  offMain->runNext();  // read, then join on the main thread
  EXPECT_EQ(idsOf(model->openStage()->stowed),
            (std::vector<std::string>{"com.example.Mail", "com.example.Music", "chrome:7",
                                      "chrome:7#0", "chrome:7#1", "chrome:7#2"}));
  EXPECT_EQ(model->lastBecause(),
            "You had not used them in the last 20 minutes. The 3 tabs in that window are still "
            "open, exactly where you left them.");
  EXPECT_EQ(onDisk(), model->openStage());

  EXPECT_EQ(offMain->pending(), 1u) << "the minimize runs off the main thread";
  offMain->runNext();
  EXPECT_EQ(browsers->moves(),
            (std::vector<Move>{{Move::Kind::minimize, BrowserKind::chrome, {7}, 0}}));
}

// A full disk at any step of the write, a folder in the journal's place, or a journal folder
// that cannot be made: no stage, nothing hidden, and the person reads why. Once the new
// journal is in place the stage is real, even if the folder is not synced after the rename;
// but not if the desktop hides nothing, for there is nothing to watch or recover.
TEST_F(Staging, AJournalThatCannotBeWrittenHidesNothingAndOpensNoStage) {
  struct Case {
    const char* name;
    std::optional<AtomicWriteStep> failsAt;
    std::function<void(const std::filesystem::path& folder)> spoil;
    bool opens = false, stuck = false;
  };
  const std::vector<Case> cases = {
      {"full at write", AtomicWriteStep::write, nullptr},
      {"full at sync", AtomicWriteStep::syncFile, nullptr},
      {"full at rename", AtomicWriteStep::rename, nullptr},
      {"a folder in the journal's place", std::nullopt,
       [](const std::filesystem::path& folder) {
         std::filesystem::create_directories(folder / StageJournal::kFileName);
       }},
      {"a journal folder under a file", std::nullopt,
       [](const std::filesystem::path& folder) { writeText(folder, "not a folder"); }},
      {"the folder not synced after the rename", AtomicWriteStep::syncFolder, nullptr, true},
      {"a desktop that hides nothing", std::nullopt, nullptr, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    desktop = std::make_shared<sim::SimDesktop>(clock);
    addApp("com.example.Editor", 1, true);
    addApp("com.example.Mail", 5000);
    desktop->setStuck("com.example.Mail", c.stuck);
    journalOptions.inject = [&c](AtomicWriteStep step) -> std::optional<int> {
      if (c.failsAt && step == *c.failsAt) return ENOSPC;
      return std::nullopt;
    };
    if (c.spoil) c.spoil(dir / "state");
    build();
    start();
    EXPECT_EQ(model->openStage().has_value(), c.opens);
    EXPECT_EQ(hidden("com.example.Mail"), c.opens);
    EXPECT_EQ(monitor->isRunning(), c.opens);
    EXPECT_EQ(onDisk(), model->openStage());
    if (!c.opens) {
      EXPECT_EQ(model->lastBecause(),
                c.stuck ? StageWords::kDesktopRefused : MacNowModel::kUnsavedStageBecause);
    }
    std::filesystem::remove_all(dir / "state");
  }
}

TEST_F(Staging, ThePickerChoosesAppsAndTabsAndASecondStartWaits) {
  picker->available = true;
  runChrome({window(BrowserKind::chrome, 1, {"docs"}, true),
             window(BrowserKind::chrome, 2, {"news", "docs"}),
             window(BrowserKind::chrome, 3, {"video"}, false, /*minimized=*/true)});
  addApp("com.google.Chrome", 9000);
  build();
  // A blank line is not taken, and a Start without a line opens at once: the picker is
  // never asked about an empty line. A line is taken trimmed.
  model->capture(" \n\t ");
  EXPECT_FALSE(model->now().has_value());
  model->set(kRule);
  ASSERT_TRUE(model->openStage().has_value());
  EXPECT_EQ(model->openStage()->actionText, "");
  model->bringBack(true);
  settle();
  int changes = 0;
  auto c = model->nowChanged().connect([&](const auto&) { ++changes; });
  model->capture("  write the report \n");
  EXPECT_EQ(changes, 1);
  ASSERT_TRUE(model->now().has_value());
  EXPECT_EQ(model->now()->textContent, "write the report");
  EXPECT_EQ(store->theNow(), model->now());

  picker->answer = std::set<std::string>{"app: App Music", "tab: news"};

  std::vector<bool> startingSeen;
  auto watch = model->startingChanged().connect([&](bool on) { startingSeen.push_back(on); });
  model->set(kRule);
  EXPECT_TRUE(model->starting());
  model->set(kRule);  // ignored while the request is in flight
  EXPECT_EQ(offMain->pending(), 1u);
  EXPECT_FALSE(model->openStage().has_value());

  offMain->runNext();
  ASSERT_EQ(picker->asked.size(), 1u);
  EXPECT_EQ(picker->asked[0].second,
            (std::vector<std::string>{"app: App Mail", "app: App Music", "app: App Notes",
                                      "tab: docs", "tab: news"}));
  ASSERT_TRUE(model->openStage().has_value());
  EXPECT_FALSE(model->starting());
  EXPECT_EQ(startingSeen, (std::vector<bool>{true, false}));
  // Music was wanted; Mail and Notes were not; Chrome holds a wanted tab and stays.
  EXPECT_TRUE(hidden("com.example.Mail"));
  EXPECT_FALSE(hidden("com.example.Music"));
  EXPECT_TRUE(hidden("com.example.Notes"));
  EXPECT_FALSE(hidden("com.google.Chrome"));
  // The prefetched pass joined at once: window 2 holds the wanted tab, 1 is in front.
  EXPECT_EQ(idsOf(model->openStage()->kept).back(), "chrome:2#1");
  EXPECT_EQ(model->lastBecause(), "They are not part of what you are doing right now.");
  EXPECT_EQ(onDisk(), model->openStage());

  main->advance(3.0);  // the fallback finds the request answered
  EXPECT_EQ(onDisk(), model->openStage());
}

// Browsers that refused are named in order after the reason; one seen through its windows
// alone is told of too, but only once in a run. One that needs consent is asked once and
// joins the same stage.
TEST_F(Staging, RefusalsAreNamedInOrderAfterTheReasonAndConsentJoinsTheSameStage) {
  browsers->setRunning({BrowserKind::chrome, BrowserKind::safari, BrowserKind::edge,
                        BrowserKind::brave, BrowserKind::firefox});
  browsers->setAuthorization(BrowserKind::safari, BrowserAuthorization::denied());
  browsers->setAuthorization(BrowserKind::chrome, BrowserAuthorization::busy());
  browsers->failReads(BrowserKind::edge, AppleScriptError::notPermitted());
  browsers->setWindowsOnly({BrowserKind::brave});
  browsers->setAuthorization(BrowserKind::firefox, BrowserAuthorization::needsConsent());
  browsers->setWindows(BrowserKind::firefox, {window(BrowserKind::firefox, 2, {"b"})});
  build();
  start();
  offMain->runNext();  // the first pass, without Firefox
  EXPECT_EQ(browsers->reads(BrowserKind::firefox), 0);
  const auto act = model->currentAct();
  settle();
  EXPECT_EQ(browsers->consentRequests(), 1);
  EXPECT_EQ(model->currentAct(), act);
  EXPECT_THAT(idsOf(model->openStage()->stowed), ::testing::Contains("firefox:2"));
  EXPECT_EQ(onDisk(), model->openStage());
  EXPECT_EQ(model->deniedBrowsers(),
            (std::vector<BrowserKind>{BrowserKind::safari, BrowserKind::edge}));
  const auto& because = model->lastBecause();
  EXPECT_THAT(because, ::testing::StartsWith("You had not used them in the last 20 minutes. "));
  EXPECT_THAT(because, ::testing::HasSubstr(StageWords::seesWindowsOnly({BrowserKind::brave})));
  EXPECT_THAT(because, ::testing::HasSubstr(
                           "Safari and Edge did not give permission, so its tabs stayed exactly "
                           "where they were. System Settings, Privacy & Security, Automation. "
                           "Chrome did not answer, so its tabs stayed exactly where they were."));

  model->bringBack(false);
  settle();
  model->set(kRule);
  settle();
  ASSERT_TRUE(model->openStage().has_value());
  EXPECT_THAT(model->lastBecause(), ::testing::Not(::testing::HasSubstr("I see only")));
}

// A browser pass that returns after Show everything, or whose join cannot be journalled,
// leaves the stage as it was and minimizes nothing.
TEST_F(Staging, ABrowserPassThatCannotLandMinimizesNothing) {
  for (const bool shownFirst : {true, false}) {
    SCOPED_TRACE(shownFirst ? "after show everything" : "journal not written");
    browsers = std::make_shared<FakeBrowsers>();
    runChrome({window(BrowserKind::chrome, 1, {"a"})});
    build();
    start();
    const auto before = shownFirst ? std::nullopt : model->openStage();
    auto late = offMain->runWorkHoldCompletion();
    if (shownFirst) model->bringBack(false);
    journalFails = !shownFirst;
    late();
    settle();
    EXPECT_EQ(model->openStage(), before);
    EXPECT_EQ(onDisk(), before);
    EXPECT_TRUE(browsers->moves().empty());
  }
}

// A Start over an open stage keeps what the open stage put away and the new plan does not
// hold, once each; the started note tells only of what this Start put away.
TEST_F(Staging, RestagingCarriesOverOnlyWhatTheNewPlanDoesNotHold) {
  const struct {
    const char* name;
    bool front, minimized;
    int stowed, kept;  // how often the window is in each list after the second Start
  } cases[] = {
      {"still minimized: carried over", false, true, 1, 0},
      {"brought back behind: stowed again, once", false, false, 1, 0},
      {"brought back in front: kept", true, false, 0, 1},
  };
  runChrome({});
  build();
  std::vector<StageSnapshot> began;
  model->onActBegan = [&](const StageSnapshot& s) { began.push_back(s); };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    began.clear();
    browsers->setWindows(BrowserKind::chrome, {window(BrowserKind::chrome, 1, {"a"})});
    start();
    settle();
    ASSERT_TRUE(browsers->windowsNow(BrowserKind::chrome)[0].isMinimized);

    browsers->setWindows(BrowserKind::chrome,
                         {window(BrowserKind::chrome, 1, {"a"}, c.front, c.minimized)});
    model->set(kRule);
    settle();
    const auto stowed = idsOf(model->openStage()->stowed);
    EXPECT_EQ(std::count(stowed.begin(), stowed.end(), "chrome:1"), c.stowed);
    EXPECT_EQ(std::count(stowed.begin(), stowed.end(), "chrome:1#0"), c.stowed);
    EXPECT_THAT(idsOf(model->openStage()->kept), ::testing::Contains("chrome:1").Times(c.kept));
    ASSERT_EQ(began.size(), 2u);
    EXPECT_EQ(idsOf(began[1].stowed),
              (std::vector<std::string>{"com.example.Mail", "com.example.Music"}));
    EXPECT_EQ(onDisk(), model->openStage());
    model->bringBack(true);
    EXPECT_FALSE(browsers->windowsNow(BrowserKind::chrome)[0].isMinimized);
  }
}

// A very long line, and titles that are not UTF-8 or carry control characters and
// direction marks: the journal stays valid JSON and nothing is put away that could not be
// brought back.
TEST_F(Staging, OddTitlesAndAHundredKilobyteLineSurviveTheJournal) {
  const std::string notUtf8 = "Bank \xC3\x28 \xFF statement";
  const std::string controls = std::string("tab\tbell\a esc\x1b[31m nul") + '\0' + "end";
  const std::string rightToLeft = "\xE2\x80\xAEtxt.exe \xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D";
  const std::string line = rightToLeft + std::string(100 * 1024, 'x') + 'z';

  desktop->addApp(sim::SimApp{"com.example.Odd", controls, 4000, true, false});
  auto back = window(BrowserKind::chrome, 7, {"a", "b"});
  back.tabs[0].title = notUtf8;
  back.tabs[1].title = controls;
  back.tabs[1].url = "https://b.example.com/\x01\xFE";
  runChrome({window(BrowserKind::chrome, 1, {"front"}, true), back});
  build();
  start(line);
  settle();

  ASSERT_TRUE(model->openStage().has_value());
  const auto stage = *model->openStage();
  EXPECT_TRUE(browsers->windowsNow(BrowserKind::chrome)[1].isMinimized);

  // The file is strict JSON; the long line and every valid title come back byte for byte,
  // bytes that are not UTF-8 come back replaced, and every id is unchanged.
  ASSERT_TRUE(jsonread::parse(readText(journal->fileURL())).has_value());
  const auto saved = onDisk();
  ASSERT_TRUE(saved.has_value());
  EXPECT_EQ(saved->actionText, line);
  EXPECT_EQ(idsOf(saved->stowed), idsOf(stage.stowed));
  EXPECT_EQ(itemIn(saved->stowed, "com.example.Odd").name, controls);
  EXPECT_EQ(itemIn(saved->stowed, "chrome:7#1").name, controls);
  EXPECT_EQ(itemIn(saved->stowed, "chrome:7#0").name, "Bank \xEF\xBF\xBD( \xEF\xBF\xBD statement");
  EXPECT_EQ(Store(*shared).theNow()->textContent, line);

  model->bringBack(true);
  EXPECT_FALSE(hidden("com.example.Odd"));
  EXPECT_FALSE(browsers->windowsNow(BrowserKind::chrome)[1].isMinimized);
}

}  // namespace
}  // namespace tervane::testing
