#include "stage/ActivationLog.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/FakeActivationSource.h"

namespace tervane {
using nlohmann::json;

namespace {
constexpr const char* kMail = "com.example.Mail";
constexpr double kStart = 1735787045;  // ManualClock::defaultStart() in seconds

struct ActivationLogTest : ::testing::Test {
  std::optional<json> stored() const { return defaults.get(ActivationLog::kDefaultsKey); }

  MemoryDefaults defaults;
  ManualClock clock;
  testing::FakeActivationSource source;
};
}  // namespace

TEST_F(ActivationLogTest, RevertGoesBackOneStepOnly) {
  ActivationLog log(defaults, clock, source);
  source.activate(kMail);  // first ever: nothing to go back to
  log.revertLastActivation(kMail);
  EXPECT_EQ(log.secondsSinceLastUse(kMail), std::nullopt);
  EXPECT_EQ(stored(), json::object());

  log.record(kMail);  // t1
  clock.advance(30);
  log.record(kMail);  // t2
  clock.advance(5);
  EXPECT_EQ(log.secondsSinceLastUse(kMail), 5.0);
  log.revertLastActivation(kMail);
  EXPECT_EQ(log.secondsSinceLastUse(kMail), 35.0);
  EXPECT_EQ(stored(), (json{{kMail, kStart}}));
  log.revertLastActivation(kMail);
  EXPECT_EQ(log.secondsSinceLastUse(kMail), std::nullopt);
}

TEST_F(ActivationLogTest, StoredTimesKeepFractionsAndABadMapIsIgnoredWhole) {
  clock.advance(0.25);
  ActivationLog(defaults, clock, source).record(kMail);
  EXPECT_EQ(stored(), (json{{kMail, kStart + 0.25}}));
  defaults.set(ActivationLog::kDefaultsKey, json{{kMail, kStart - 0.123456}, {"b", kStart}});
  ActivationLog reloaded(defaults, clock, source);
  EXPECT_NEAR(reloaded.secondsSinceLastUse(kMail).value_or(-1), 0.373456, 1e-6);
  reloaded.record("b");
  EXPECT_EQ(stored()->at(kMail), kStart - 0.123456);

  for (const json& bad : {json{{kMail, kStart}, {"b", "1735787045"}}, json{{kMail, true}},
                          json{{kMail, 1e300}}, json::array({kStart}), json("x")}) {
    defaults.set(ActivationLog::kDefaultsKey, bad);
    EXPECT_TRUE(ActivationLog(defaults, clock, source).lastUsed().empty()) << bad.dump();
  }
}

// The app in front when the log starts counts as just used, but is not written.
TEST_F(ActivationLogTest, RecordsUsableActivationsOnlyWhileItLives) {
  source.activate(kMail);
  EXPECT_EQ(ActivationLog(defaults, clock, source).secondsSinceLastUse(kMail), 0.0);
  EXPECT_EQ(stored(), std::nullopt);
  source.activate("");  // an application without an identifier is in front
  auto log = std::make_unique<ActivationLog>(defaults, clock, source);
  EXPECT_TRUE(log->lastUsed().empty()) << "lost unless something was recorded";
  source.activate("");
  source.activate("Caf\xe9");  // Latin-1, not UTF-8: cannot be a stored key
  EXPECT_EQ(stored(), std::nullopt);
  EXPECT_TRUE(log->lastUsed().empty());
  source.activate(kMail);
  clock.advance(2);
  EXPECT_EQ(log->secondsSinceLastUse(kMail), 2.0);

  log.reset();
  defaults.remove(ActivationLog::kDefaultsKey);
  source.activate("org.example.Other");
  EXPECT_EQ(stored(), std::nullopt);

  // A log destroyed by an earlier handler of the same activation is not reached.
  std::unique_ptr<ActivationLog> doomed;
  auto killer = source.onActivation([&](const std::string&) { doomed.reset(); });
  doomed = std::make_unique<ActivationLog>(defaults, clock, source);
  source.activate(kMail);
  EXPECT_EQ(doomed, nullptr);
  EXPECT_EQ(stored(), std::nullopt);
}

}  // namespace tervane
