#include "guard/GuardPolicy.h"

#include <gtest/gtest.h>

#include "core/stage/StageItems.h"
#include "guard/GuardMonitor.h"
#include "support/FakeActivationSource.h"

namespace tervane {

namespace {

using GuardPolicy::Trigger;
using testing::tabItem;
using testing::windowItem;
using Reason = GuardVerdict::Reason;

// Slack and Music stowed with a Chrome window and its tab; Mail kept.
StageSnapshot stage() {
  StageSnapshot s;
  s.actionText = "write the report";
  s.stowed = {StageItem::app("com.tinyspeck.slackmacgap", "Slack"), windowItem("chrome:7"),
              tabItem("chrome:7", "1"), StageItem::app("com.apple.Music", "Music")};
  s.kept = {StageItem::app("com.apple.mail", "Mail")};
  return s;
}

GuardVerdict decide(const Trigger& trigger, const std::set<std::string>& passed = {},
                    bool parked = false, bool moving = false) {
  return GuardPolicy::decide(trigger, stage(), passed, parked, moving);
}

}  // namespace

TEST(GuardPolicy, RulesApplyInOrderAndTheFirstWins) {
  const auto slack = Trigger::app("com.tinyspeck.slackmacgap");
  // No stage beats moving and parked.
  EXPECT_EQ(GuardPolicy::decide(slack, std::nullopt, {}, true, true),
            GuardVerdict::letBe(Reason::noOpenStage));
  // Moving beats parked and a shield.
  EXPECT_EQ(decide(slack, {}, true, true), GuardVerdict::letBe(Reason::tervaneIsMoving));
  // Parked beats a shield, and holds for every trigger.
  EXPECT_EQ(decide(slack, {}, true), GuardVerdict::letBe(Reason::parked));
  EXPECT_EQ(decide(Trigger::app("com.unknown"), {}, true), GuardVerdict::letBe(Reason::parked));
  EXPECT_EQ(decide(Trigger::window("chrome:7#1"), {}, true), GuardVerdict::letBe(Reason::parked));
  // A tab is evidence even when its id was let through.
  EXPECT_EQ(decide(Trigger::window("chrome:7#1"), {"chrome:7#1"}),
            GuardVerdict::letBe(Reason::evidenceOnly));
  EXPECT_EQ(decide(slack), GuardVerdict::shield(stage().stowed[0]));
}

TEST(GuardPolicy, OnlyStowedItemsAreOursAndAppTriggersMatchOnlyApps) {
  EXPECT_EQ(decide(Trigger::app("com.apple.mail")), GuardVerdict::letBe(Reason::notOurs))
      << "a kept app is not ours";
  EXPECT_EQ(decide(Trigger::app("chrome:7")), GuardVerdict::letBe(Reason::notOurs))
      << "an app trigger never matches a window item";
  EXPECT_EQ(decide(Trigger::app("com.tinyspeck.Slackmacgap")), GuardVerdict::letBe(Reason::notOurs))
      << "ids compare exactly";
  EXPECT_EQ(decide(Trigger::window("chrome:7")), GuardVerdict::shield(stage().stowed[1]));
  EXPECT_EQ(decide(Trigger::window("com.apple.Music")), GuardVerdict::shield(stage().stowed[3]))
      << "a window trigger matches an item of any kind";
}

TEST(GuardPolicy, APassedItemIsLetBeWhileAnotherStillShields) {
  const std::set<std::string> passed = {"com.tinyspeck.slackmacgap"};
  const auto slack = decide(Trigger::app("com.tinyspeck.slackmacgap"), passed);
  EXPECT_EQ(slack, GuardVerdict::letBe(Reason::alreadyPassed));
  EXPECT_EQ(slack.item(), nullptr);
  EXPECT_EQ(decide(Trigger::app("com.apple.Music"), passed),
            GuardVerdict::shield(stage().stowed[3]));
  EXPECT_NE(GuardVerdict::shield(stage().stowed[0]), GuardVerdict::shield(stage().stowed[3]));
}

TEST(GuardMonitor, WatchesBetweenStartAndStopWithTheFirstCallback) {
  auto source = std::make_shared<testing::FakeActivationSource>("XTerm");
  GuardMonitor monitor(source);
  std::vector<std::string> first, second;
  monitor.stop();  // idle: nothing happens
  monitor.start([&](const std::string& id) { first.push_back(id); });
  monitor.start([&](const std::string& id) { second.push_back(id); });  // dropped: watching
  EXPECT_TRUE(monitor.isRunning());
  source->activate("XClock");
  monitor.stop();
  EXPECT_FALSE(monitor.isRunning());
  source->activate("XLogo");
  monitor.start([&](const std::string& id) { second.push_back(id); });
  source->activate("XTerm");
  EXPECT_EQ(first, std::vector<std::string>{"XClock"});
  EXPECT_EQ(second, std::vector<std::string>{"XTerm"});
}

}  // namespace tervane
