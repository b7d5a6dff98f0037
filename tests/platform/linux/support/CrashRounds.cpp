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
  if (!std::filesystem::exists(folder)) return found;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const auto name = entry.path().filename().string();
    if (!name.empty() && name[0] == '.') found.push_back(name);
  }
  return found;
}

using Args = std::vector<std::string>;

class Rounds {
 public:
  Rounds(AppUnderTest& app, const CrashDesktop& desktop, unsigned seed)
      : app_(app), desktop_(desktop), random_(seed) {}

  // The steps of a stage, each a command line; some read the stage to choose their item.
  std::vector<std::function<Args()>> steps(int round) {
    return {
        [round] {
          return Args{"capture", "round " + std::to_string(round)};
        },
        [] { return Args{"start"}; },
        [this] {
          // The person reaches for something put away (not one they minimized themselves).
          std::vector<std::string> ids;
          for (const auto& id : stageIds("stowed")) {
            if (isDesktopApp(id) && !desktop_.minimizedByPerson.count(id)) ids.push_back(id);
          }
          const auto id = pick(ids);
          if (id.empty()) return Args{"status"};
          app_.command({"status", "--until", "settled"});
          desktop_.activate(id, false);
          return Args{"status", "--until", "shield"};
        },
        [this] {
          return Args{"answer", random_() % 2 ? "yes" : "no"};
        },
        [this] {
          return Args{"keep", pick(stageIds("stowed"))};
        },
        [this] {
          return Args{"stow", pick(stageIds("kept"))};
        },
        [] { return Args{"pause"}; },
        [] { return Args{"pause"}; },
        [] { return Args{"done"}; },
    };
  }

  void round(int number) {
    desktop_.activate(desktop_.apps.front(), true);
    app_.launch();
    auto all = steps(number);
    const auto killAt = std::uniform_int_distribution<std::size_t>(0, all.size())(random_);
    for (std::size_t i = 0; i < killAt; ++i) (void)app_.command(all[i]());

    // The kill lands while the next request is on its way, or between two of them.
    std::unique_ptr<ChildProcess> inFlight;
    if (killAt < all.size() && random_() % 2) inFlight = app_.commandInBackground(all[killAt]());
    app_.kill();
    if (inFlight) (void)inFlight->wait(60);

    app_.launch();
    (void)app_.command({"show"});
    checkNothingLost("after show", false);
    ASSERT_EQ(app_.terminate(), 0) << app_.output();
    checkNothingLost("after quitting", true);
  }

 private:
  bool isDesktopApp(const std::string& id) const {
    return std::find(desktop_.apps.begin(), desktop_.apps.end(), id) != desktop_.apps.end();
  }

  std::vector<std::string> stageIds(const char* list) {
    std::vector<std::string> ids;
    const auto status = app_.statusJson();
    if (!status.is_object() || !status["stage"].is_object()) return ids;
    for (const auto& item : status["stage"][list]) ids.push_back(item["id"].get<std::string>());
    return ids;
  }

  // One of the ids, at random; empty when there is none.
  std::string pick(const std::vector<std::string>& ids) {
    if (ids.empty()) return {};
    return ids[std::uniform_int_distribution<std::size_t>(0, ids.size() - 1)(random_)];
  }

  // Temporaries are looked for only once the application has `stopped`: while it runs, a
  // write in progress (the activation log's, as windows come back) has one for a moment.
  void checkNothingLost(const std::string& when, bool stopped) {
    for (const auto& name : desktop_.apps) {
      EXPECT_TRUE(desktop_.waitMinimized(name, desktop_.minimizedByPerson.count(name) > 0))
          << when << ": " << name;
    }
    if (std::filesystem::exists(app_.journalFile())) {
      const auto parsed = jsonread::parse(readText(app_.journalFile()));
      EXPECT_TRUE(parsed && decodeStageSnapshot(*parsed))
          << when << ": the journal does not decode";
    }
    if (!stopped) return;
    EXPECT_EQ(temporaries(app_.stateFolder()), std::vector<std::string>{}) << when;
    EXPECT_EQ(temporaries(app_.configFolder()), std::vector<std::string>{}) << when;
  }

  AppUnderTest& app_;
  const CrashDesktop& desktop_;
  std::mt19937 random_;
};

}  // namespace

void runCrashRounds(AppUnderTest& app, const CrashDesktop& desktop) {
  const int rounds = environmentNumber("TERVANE_CRASH_ROUNDS", 30);
  const auto seed =
      static_cast<unsigned>(environmentNumber("TERVANE_CRASH_SEED", static_cast<int>(::getpid())));
  std::cout << "crash injection: " << rounds << " rounds, seed " << seed << "\n";
  Rounds run(app, desktop, seed);
  for (int round = 1; round <= rounds && !::testing::Test::HasFailure(); ++round) {
    SCOPED_TRACE("round " + std::to_string(round) + " of seed " + std::to_string(seed));
    run.round(round);
  }
}

}  // namespace tervane::testing
