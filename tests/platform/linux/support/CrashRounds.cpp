#include "support/CrashRounds.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <random>

#include "base/Json.h"
#include "stage/StageRecords.h"

namespace tervane::testing {
namespace {

int environmentNumber(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::atoi(value) : fallback;
}

// Files whose name starts with a dot are the atomic writes' temporaries.
std::vector<std::string> temporaries(const std::filesystem::path& folder) {
  std::vector<std::string> found;
  for (const auto& name : listFolder(folder)) {
    if (name[0] == '.') found.push_back(name);
  }
  return found;
}

}  // namespace

void runCrashRounds(AppUnderTest& app, const CrashDesktop& desktop) {
  const int rounds = environmentNumber("TERVANE_CRASH_ROUNDS", 30);
  const auto seed =
      static_cast<unsigned>(environmentNumber("TERVANE_CRASH_SEED", static_cast<int>(::getpid())));
  std::cout << "crash injection: " << rounds << " rounds, seed " << seed << "\n";
  std::mt19937 random(seed);
  const auto stageIds = [&](const char* list) {
    std::vector<std::string> ids;
    const auto status = app.statusJson();
    if (!status.is_object() || !status["stage"].is_object()) return ids;
    for (const auto& item : status["stage"][list]) ids.push_back(item["id"].get<std::string>());
    return ids;
  };
  // One of the ids, at random; empty when there is none.
  const auto pick = [&](const std::vector<std::string>& ids) {
    if (ids.empty()) return std::string();
    return ids[std::uniform_int_distribution<std::size_t>(0, ids.size() - 1)(random)];
  };
  // Temporaries are looked for only once the application has `stopped`: while it runs, a
  // write in progress (the activation log's, as windows come back) has one for a moment.
  const auto checkNothingLost = [&](const std::string& when, bool stopped) {
    for (const auto& name : desktop.apps) {
      EXPECT_TRUE(desktop.waitMinimized(name, desktop.minimizedByPerson.count(name) > 0))
          << when << ": " << name;
    }
    if (std::filesystem::exists(app.journalFile())) {
      const auto parsed = jsonread::parse(readText(app.journalFile()));
      EXPECT_TRUE(parsed && decodeStageSnapshot(*parsed))
          << when << ": the journal does not decode";
    }
    if (!stopped) return;
    EXPECT_EQ(temporaries(app.stateFolder()), std::vector<std::string>{}) << when;
    EXPECT_EQ(temporaries(app.configFolder()), std::vector<std::string>{}) << when;
  };
  using Args = std::vector<std::string>;
  int round = 0;
  // The steps of a stage, each a command line; some read the stage to choose their item.
  const std::vector<std::function<Args()>> steps = {
      [&] { return Args{"capture", "round " + std::to_string(round)}; },
      [] { return Args{"start"}; },
      [&] {
        // The person reaches for something put away (not one they minimized themselves).
        std::vector<std::string> ids;
        for (const auto& id : stageIds("stowed")) {
          const auto& apps = desktop.apps;
          const bool onDesktop = std::find(apps.begin(), apps.end(), id) != apps.end();
          if (onDesktop && !desktop.minimizedByPerson.count(id)) ids.push_back(id);
        }
        const auto id = pick(ids);
        if (id.empty()) return Args{"status"};
        app.command({"status", "--until", "settled"});
        desktop.activate(id, false);
        return Args{"status", "--until", "shield"};
      },
      [&] { return Args{"answer", random() % 2 ? "yes" : "no"}; },
      [&] { return Args{"keep", pick(stageIds("stowed"))}; },
      [&] { return Args{"stow", pick(stageIds("kept"))}; },
      [] { return Args{"pause"}; },
      [] { return Args{"pause"}; },
      [] { return Args{"done"}; },
  };
  while (++round <= rounds && !::testing::Test::HasFailure()) {
    SCOPED_TRACE("round " + std::to_string(round) + " of seed " + std::to_string(seed));
    desktop.activate(desktop.apps.front(), true);
    app.launch();
    const auto killAt = std::uniform_int_distribution<std::size_t>(0, steps.size())(random);
    for (std::size_t i = 0; i < killAt; ++i) (void)app.command(steps[i]());
    // The kill lands while the next request is on its way, or between two of them.
    std::unique_ptr<ChildProcess> inFlight;
    if (killAt < steps.size() && random() % 2) inFlight = app.commandInBackground(steps[killAt]());
    app.kill();
    if (inFlight) (void)inFlight->wait(60);

    app.launch();
    (void)app.command({"show"});
    checkNothingLost("after show", false);
    ASSERT_EQ(app.terminate(), 0) << app.output();
    checkNothingLost("after quitting", true);
  }
}

}  // namespace tervane::testing
