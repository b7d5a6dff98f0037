#include "data/Store.h"

#include <gtest/gtest.h>

#include "base/Json.h"

namespace tervane {
using nlohmann::json;

// A new task has a fresh id and whole-second times. The now is stored as JSON text without
// absent optionals (its round trip and removal are the session tests' business).
TEST(Store, TheNowIsStoredAsJsonTextOfATaskWithAFreshId) {
  ManualClock clock(ManualClock::defaultStart() + toDuration(0.75));
  auto task = AttentionTask::makeNow("write the letter", clock);
  const auto later = AttentionTask::make("write the letter", clock);
  EXPECT_NE(task.id, later.id);
  EXPECT_EQ(task.id.find_first_of("abcdef"), std::string::npos);
  EXPECT_EQ(task.timestampPushed, "2025-01-02T03:04:05Z");
  EXPECT_EQ(task.becameNowAt, "2025-01-02T03:04:05Z");
  EXPECT_EQ(later.becameNowAt, std::nullopt);

  MemoryDefaults defaults;
  Store store(defaults);
  task.textContent = "a\xff";  // not UTF-8: stored with a replacement character
  store.setTheNow(task);
  const auto stored = json::parse(defaults.getString(Store::kTheNowTaskKey).value_or("null"));
  EXPECT_TRUE(stored.contains("area") && stored.contains("answersList"));
  EXPECT_FALSE(stored.contains("clearedAt"));
  EXPECT_EQ(store.theNow().value_or(later).textContent, "a\xEF\xBF\xBD");
}

TEST(Store, UndecodableTasksReadAsNoneAndStayInPlace) {
  MemoryDefaults defaults;
  Store store(defaults);

  const auto task = json::parse(R"({"id":"A1","textContent":"write the letter",
    "timestampPushed":"2025-01-02T03:04:05Z","area":"Personal","tags":["x"],"shape":"craft",
    "est":"","friction":false,"questionProgress":0,"answersList":[],"becameNowAt":null})");
  defaults.set(Store::kTheNowTaskKey, task.dump());
  ASSERT_TRUE(store.theNow().has_value()) << "a null optional decodes as absent";
  EXPECT_EQ(store.theNow()->becameNowAt, std::nullopt);

  auto missingArea = task;
  missingArea.erase("area");
  auto wrongType = task;
  wrongType["questionProgress"] = "0";
  for (const json& stored : {json(missingArea.dump()), json(wrongType.dump()), json("{not json"),
                             json(task) /* an object, not text */}) {
    defaults.set(Store::kTheNowTaskKey, stored);
    EXPECT_EQ(store.theNow(), std::nullopt) << stored.dump();
    EXPECT_EQ(defaults.get(Store::kTheNowTaskKey), stored);
  }
}

TEST(Store, SettingsHaveTheirDefaultsAndUseTheSharedSuiteWhenItOpened) {
  MemoryDefaults shared, standard;
  Store store(&shared, standard);
  store.setHasSeenMacFirstRun(true);
  store.setSelectedTintId("MOSS");
  EXPECT_TRUE(store.hasSeenMacFirstRun());
  EXPECT_EQ(store.selectedTintId(), "MOSS");
  EXPECT_EQ(shared.getString(Store::kSelectedTintKey), "MOSS");
  EXPECT_EQ(standard.get(Store::kSelectedTintKey), std::nullopt);

  Store fallback(nullptr, standard);
  fallback.setHasSeenMacFirstRun(true);
  EXPECT_EQ(standard.getBool(Store::kHasSeenFirstRunKey), true);
}

}  // namespace tervane
