#include "stage/StagePlanner.h"

#include <gtest/gtest.h>

#include <limits>

#include "core/stage/StageItems.h"

namespace tervane {
namespace {

using R = StagePlanner::Remembered;
using testing::ids;
using Ids = std::vector<std::string>;
using WindowIds = std::vector<std::int64_t>;
const SeedRule kRule = SeedRule::defaultRule();
const std::string kMinutes = "You had not used them in the last 20 minutes.";
const std::string kWanted = "They are not part of what you are doing right now.";
const std::string kMemory = " Some of that is what you told me last time.";

AppFacts app(std::string id, std::optional<double> age, bool front = false, bool canHide = true) {
  return AppFacts{id, "Name of " + id, front, age, canHide};
}

WindowIds windowIds(const std::vector<WindowFacts>& windows) {
  WindowIds out;
  for (const auto& w : windows) out.push_back(w.windowId);
  return out;
}

WindowFacts window(BrowserKind kind, std::int64_t id, std::vector<std::string> urls,
                   bool front = false, bool minimized = false) {
  WindowFacts w{kind, id, {}, front, minimized};
  for (const auto& url : urls) w.tabs.push_back(TabFacts{"Tab " + url, url, false});
  return w;
}

}  // namespace

TEST(StagePlanner, AwayKeepsEverythingWithoutTheMemorySuffix) {
  const std::vector<AppFacts> apps = {app("a", 99999), app("b", std::nullopt)};
  auto plan = StagePlanner::plan(apps, kRule, 1200.0, {{"a", R::stow}}, std::nullopt, {});
  EXPECT_EQ(ids(plan.kept), (Ids{"a", "b"}));
  EXPECT_TRUE(plan.stowed.empty());
  EXPECT_EQ(plan.because, "You have been away a while, so nothing was put away.");

  auto windows =
      StagePlanner::planWindows({window(BrowserKind::chrome, 1, {"https://a/"}, false, true)}, {},
                                kRule, 1200.0, {}, std::nullopt);
  EXPECT_EQ(windows.kept.size(), 1u) << "away keeps even minimized windows";
  EXPECT_EQ(windows.because, "");
}

TEST(StagePlanner, RulesApplyInOrderFrontmostThenCanHideThenMemory) {
  const std::vector<AppFacts> apps = {
      app("front", 99999, /*front=*/true),             // remembered stow, but frontmost
      app("pinned", 99999, false, /*canHide=*/false),  // remembered stow, cannot hide
      app("remembered.keep", 99999),                   // old but remembered keep
      app("remembered.stow", 1),                       // fresh but remembered stow
  };
  const RememberedChoices memory = {{"front", R::stow}, {"pinned", R::stow},
                                    {"remembered.keep", R::keep}, {"remembered.stow", R::stow}};
  auto plan = StagePlanner::plan(apps, kRule, 0, memory, std::set<std::string>{}, {});
  EXPECT_EQ(ids(plan.kept), (Ids{"front", "pinned", "remembered.keep"}));
  EXPECT_EQ(ids(plan.stowed), (Ids{"remembered.stow"}));
  // The wanted set never decided, so the minutes sentence stands, with the memory suffix.
  EXPECT_EQ(plan.because, kMinutes + kMemory);
}

TEST(StagePlanner, RecencyRuleWithoutAWantedSet) {
  const std::vector<AppFacts> apps = {app("exact", 1200), app("old", 1200.5),
                                      app("never", std::nullopt), app("recent", 10)};
  auto plan = StagePlanner::plan(apps, kRule, 1199.9, {}, std::nullopt, {});
  EXPECT_EQ(ids(plan.kept), (Ids{"exact", "recent"}));
  EXPECT_EQ(ids(plan.stowed), (Ids{"old", "never"}));
  EXPECT_EQ(plan.because, kMinutes);
  EXPECT_EQ(plan.stowed[0], StageItem::app("old", "Name of old"));

  // Minutes come from the rule, truncated; an unknown age is older than any finite window.
  SeedRule rule{150, 1200};
  plan = StagePlanner::plan({app("a", 151)}, rule, 0, {}, std::nullopt, {});
  EXPECT_EQ(plan.because, "You had not used them in the last 2 minutes.");
  SeedRule huge{std::numeric_limits<double>::max() / 2, 1200};
  plan = StagePlanner::plan({app("never", std::nullopt)}, huge, 0, {}, std::nullopt, {});
  EXPECT_EQ(ids(plan.stowed), (Ids{"never"}));
  plan = StagePlanner::plan({app("a", 1)}, kRule, 0, {{"b", R::keep}}, std::nullopt, {});
  EXPECT_EQ(plan.because, "There was nothing to hide. Your screen was already clear.")
      << "memory unused when the app was not remembered";
}

TEST(StagePlanner, BrowsersFallToRecencyUnlessWanted) {
  const std::vector<AppFacts> apps = {app("com.google.Chrome", 1201), app("com.apple.Safari", 600),
                                      app("com.brave.Browser", 5000)};
  auto withoutWanted = StagePlanner::plan(apps, kRule, 0, {}, std::nullopt, {});
  EXPECT_EQ(ids(withoutWanted.stowed), (Ids{"com.google.Chrome", "com.brave.Browser"}));

  auto withWanted = StagePlanner::plan(apps, kRule, 0, {}, std::set<std::string>{"Something"},
                                       {"com.brave.Browser"});
  EXPECT_EQ(ids(withWanted.kept), (Ids{"com.apple.Safari", "com.brave.Browser"}));
  EXPECT_EQ(ids(withWanted.stowed), (Ids{"com.google.Chrome"}));
  EXPECT_EQ(withWanted.because, kMinutes)
      << "only browsers were judged: the wanted set decided nothing";
}

TEST(StagePlanner, WantedSetDecidesByExactNameAndAnEmptySetStowsEveryOrdinaryApp) {
  std::vector<AppFacts> apps = {app("a", 1), app("b", 1), app("c", 1)};
  apps[0].name = "Notes";
  apps[1].name = "notes";
  auto plan = StagePlanner::plan(apps, kRule, 0, {}, std::set<std::string>{"Notes"}, {});
  EXPECT_EQ(ids(plan.kept), (Ids{"a"}));
  EXPECT_EQ(ids(plan.stowed), (Ids{"b", "c"}));
  EXPECT_EQ(plan.because, kWanted);

  auto empty = StagePlanner::plan(apps, kRule, 0, {{"c", R::keep}}, std::set<std::string>{}, {});
  EXPECT_EQ(ids(empty.stowed), (Ids{"a", "b"}));
  EXPECT_EQ(empty.because, kWanted + kMemory);

  // The wanted set decided for an app it kept: still the wanted sentence.
  auto keptOnly = StagePlanner::plan({apps[0], app("old", 5000)}, kRule, 0, {{"old", R::stow}},
                                     std::set<std::string>{"Notes"}, {});
  EXPECT_EQ(keptOnly.because, kWanted + kMemory);
}

TEST(StagePlanner, WindowsSkipHiddenAppsMinimizedAndEmptyAndKeepTheFrontWindow) {
  const std::vector<WindowFacts> windows = {
      window(BrowserKind::safari, 1, {"https://a.com/"}),               // Safari app is stowed
      window(BrowserKind::chrome, 2, {"https://a.com/"}, false, true),  // minimized
      window(BrowserKind::chrome, 3, {}),                               // no tabs
      window(BrowserKind::chrome, 4, {"https://b.com/"}, true),         // front
      window(BrowserKind::chrome, 5, {"https://c.com/", "https://d.com/", "https://e.com/"}),
  };
  auto plan = StagePlanner::planWindows(windows, {"com.apple.Safari"}, kRule, 0, {}, std::nullopt);
  EXPECT_EQ(windowIds(plan.kept), (WindowIds{4}));
  EXPECT_EQ(windowIds(plan.stowed), (WindowIds{5}));
  EXPECT_EQ(plan.because, "The 3 tabs in that window are still open, exactly where you left them.");
  EXPECT_EQ(plan.stowByBrowser(), (std::map<BrowserKind, WindowIds>{{BrowserKind::chrome, {5}}}));
  EXPECT_EQ(plan.stowedItems().size(), 4u);
  EXPECT_EQ(plan.keptItems()[0].id, "chrome:4");
}

TEST(StagePlanner, WindowMemoryKeepBeatsStowAndMarksTheSentence) {
  const std::vector<WindowFacts> windows = {
      window(BrowserKind::chrome, 1,
             {"https://www.docs.com/", "https://mail.com/"}),  // keep + stow
      window(BrowserKind::edge, 2, {"https://mail.com/x"}),    // stow
  };
  const RememberedChoices memory = {{"host:docs.com", R::keep}, {"host:mail.com", R::stow}};
  auto plan = StagePlanner::planWindows(windows, {}, kRule, 0, memory, std::nullopt);
  EXPECT_EQ(windowIds(plan.kept), (WindowIds{1}));
  EXPECT_EQ(windowIds(plan.stowed), (WindowIds{2}));
  EXPECT_EQ(plan.because,
            "The 1 tab in that window is still open, exactly where you left it." + kMemory);
}

TEST(StagePlanner, WantedTabsKeepAWindowAndTheSentenceCountsEveryStowedTab) {
  auto w1 = window(BrowserKind::chrome, 1, {"https://a.com/"});
  w1.tabs[0].title = "  Design doc ";
  auto w2 = window(BrowserKind::brave, 2, {"https://x.com/"});
  auto w3 = window(BrowserKind::chrome, 3, {});
  w3.tabs.push_back(TabFacts{"", "https://y.com/", false});
  auto plan = StagePlanner::planWindows({w1, w2, w3}, {}, kRule, 0, {},
                                        std::set<std::string>{"Design doc"});
  EXPECT_EQ(windowIds(plan.kept), (WindowIds{1}));
  EXPECT_EQ(windowIds(plan.stowed), (WindowIds{2, 3}));
  EXPECT_EQ(plan.because,
            "The 2 tabs in those 2 windows are still open, exactly where you left them.");
  EXPECT_EQ(plan.stowByBrowser().at(BrowserKind::brave), (WindowIds{2}));

  auto nothing =
      StagePlanner::planWindows({w1}, {}, kRule, 0, {{"host:a.com", R::keep}}, std::nullopt);
  EXPECT_EQ(nothing.because, "") << "no stowed window: no sentence, memory ignored";
}

}  // namespace tervane
