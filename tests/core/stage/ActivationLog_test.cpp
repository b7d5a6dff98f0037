#include "stage/ActivationLog.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/FakeActivationSource.h"
#include "support/TempDir.h"

namespace tervane {
using nlohmann::json;
using testing::FakeActivationSource;

namespace {
constexpr const char* kMail = "com.example.Mail";
constexpr double kStart = 1735787045;  // ManualClock::defaultStart() in seconds
}  // namespace

TEST(ActivationLog, RevertGoesBackOneStepOnly) {
  MemoryDefaults defaults;
  ManualClock clock;
  FakeActivationSource source;
  ActivationLog log(defaults, clock, source);

  source.activate(kMail);  // first ever: nothing to go back to
  log.revertLastActivation(kMail);
  EXPECT_EQ(log.secondsSinceLastUse(kMail), std::nullopt);
  EXPECT_EQ(defaults.get(ActivationLog::kDefaultsKey), json::object());

  log.record(kMail);  // t1
  clock.advance(30);
  log.record(kMail);  // t2
  clock.advance(5);
  EXPECT_EQ(log.secondsSinceLastUse(kMail), 5.0);
  log.revertLastActivation(kMail);
  EXPECT_EQ(log.secondsSinceLastUse(kMail), 35.0);
  EXPECT_EQ(defaults.get(ActivationLog::kDefaultsKey), (json{{kMail, kStart}}));
  log.revertLastActivation(kMail);
  EXPECT_EQ(log.secondsSinceLastUse(kMail), std::nullopt);
}

TEST(ActivationLog, StoredTimesKeepFractionsAndABadMapIsIgnoredWhole) {
  MemoryDefaults defaults;
  ManualClock clock(ManualClock::defaultStart() + toDuration(0.25));
  FakeActivationSource source;
  {
    ActivationLog log(defaults, clock, source);
    log.record(kMail);
  }
  EXPECT_EQ(defaults.get(ActivationLog::kDefaultsKey), (json{{kMail, kStart + 0.25}}));
  defaults.set(ActivationLog::kDefaultsKey, json{{kMail, kStart - 0.123456}, {"b", kStart}});
  ActivationLog reloaded(defaults, clock, source);
  ASSERT_TRUE(reloaded.secondsSinceLastUse(kMail).has_value());
  EXPECT_NEAR(*reloaded.secondsSinceLastUse(kMail), 0.373456, 1e-6);
  reloaded.record("b");
  EXPECT_EQ(defaults.get(ActivationLog::kDefaultsKey)->at(kMail), kStart - 0.123456);

  for (const json& bad : {json{{kMail, kStart}, {"b", "1735787045"}}, json{{kMail, true}},
                          json{{kMail, 1e300}}, json::array({kStart}), json("x")}) {
    defaults.set(ActivationLog::kDefaultsKey, bad);
    ActivationLog log(defaults, clock, source);
    EXPECT_EQ(log.secondsSinceLastUse(kMail), std::nullopt) << bad.dump();
    EXPECT_TRUE(log.lastUsed().empty());
  }
}

TEST(ActivationLog, TheFrontmostAppCountsAsJustUsedButIsNotWritten) {
  MemoryDefaults defaults;
  ManualClock clock;
  FakeActivationSource source(kMail);
  {
    ActivationLog log(defaults, clock, source);
    EXPECT_EQ(log.secondsSinceLastUse(kMail), 0.0);
    EXPECT_EQ(defaults.get(ActivationLog::kDefaultsKey), std::nullopt);
  }
  FakeActivationSource nameless("");  // an application without an identifier is in front
  ActivationLog later(defaults, clock, nameless);
  EXPECT_TRUE(later.lastUsed().empty()) << "lost unless something was recorded";
}

TEST(ActivationLog, RecordsUsableActivationsOnlyWhileItLives) {
  testing::TempDir dir;
  FileDefaults defaults(dir / "standard.json");
  ManualClock clock;
  FakeActivationSource source;
  auto log = std::make_unique<ActivationLog>(defaults, clock, source);
  source.activate("");
  source.activate("Caf\xe9");  // Latin-1, not UTF-8: cannot be a stored key
  EXPECT_EQ(defaults.get(ActivationLog::kDefaultsKey), std::nullopt);
  EXPECT_TRUE(log->lastUsed().empty());
  source.activate(kMail);
  clock.advance(2);
  EXPECT_EQ(log->secondsSinceLastUse(kMail), 2.0);

  log.reset();
  defaults.remove(ActivationLog::kDefaultsKey);
  source.activate("org.example.Other");
  EXPECT_EQ(defaults.get(ActivationLog::kDefaultsKey), std::nullopt);

  // A log destroyed by an earlier handler of the same activation is not reached.
  FakeActivationSource second;
  std::unique_ptr<ActivationLog> doomed;
  auto killer = second.onActivation([&](const std::string&) { doomed.reset(); });
  doomed = std::make_unique<ActivationLog>(defaults, clock, second);
  second.activate(kMail);
  EXPECT_EQ(doomed, nullptr);
  EXPECT_EQ(defaults.get(ActivationLog::kDefaultsKey), std::nullopt);
}

}  // namespace tervane
