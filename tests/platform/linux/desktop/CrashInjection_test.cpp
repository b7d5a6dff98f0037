// Kills the application at a random moment of a stage, round after round, and checks that
// nothing is lost: after a restart and Show everything every window is as the person left
// it before the stage (iconified only if they had iconified it), the journal is absent or
// decodes, and no temporary file is left.
//
//   TERVANE_CRASH_ROUNDS=200 TERVANE_CRASH_SEED=7
//       build/dev/tests/platform/linux/tervane_x11_tests --gtest_filter='CrashInjection.*'
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <random>

#include "base/Json.h"
#include "stage/StageRecords.h"
#include "support/AppUnderTest.h"
#include "support/XTestDesktop.h"

namespace tervane::x11 {
namespace {

using testing::AppUnderTest;
using testing::ChildProcess;
using testing::XTestDesktop;

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

class CrashInjection : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 1; i <= 12; ++i) {
      const std::string name = "App" + std::to_string(i);
      windows[name] = desktop.xterm(name);
    }
    // The person minimized two of them before any stage; nothing may ever restore those.
    for (const char* name : {"App3", "App7"}) {
      minimizedByPerson.insert(name);
      ASSERT_EQ(desktop.minimize(windows[name]), 0);
      ASSERT_TRUE(desktop.waitIconic(windows[name], true));
    }
  }

  std::vector<std::string> stageIds(const char* list) {
    std::vector<std::string> ids;
    const auto status = app.statusJson();
    if (!status.is_object() || !status["stage"].is_object()) return ids;
    for (const auto& item : status["stage"][list]) ids.push_back(item["id"].get<std::string>());
    return ids;
  }

  // One of the ids, at random; empty when there is none.
  std::string pick(const std::vector<std::string>& ids) {
    if (ids.empty()) return {};
    return ids[std::uniform_int_distribution<std::size_t>(0, ids.size() - 1)(random)];
  }

  // The steps of a stage, each a command line; some read the stage to choose their item.
  std::vector<std::function<std::vector<std::string>()>> steps(int round) {
    return {
        [round] { return std::vector<std::string>{"capture", "round " + std::to_string(round)}; },
        [] { return std::vector<std::string>{"start"}; },
        [this] {
          // The person reaches for something put away (not one they minimized themselves).
          std::vector<std::string> ids;
          for (const auto& id : stageIds("stowed")) {
            if (windows.count(id) && !minimizedByPerson.count(id)) ids.push_back(id);
          }
          const auto id = pick(ids);
          if (id.empty()) return std::vector<std::string>{"status"};
          app.command({"status", "--until", "settled"});
          desktop.run({"xdotool", "windowactivate", std::to_string(windows[id])});
          return std::vector<std::string>{"status", "--until", "shield"};
        },
        [this] {
          return std::vector<std::string>{"answer", random() % 2 ? "yes" : "no"};
        },
        [this] { return std::vector<std::string>{"keep", pick(stageIds("stowed"))}; },
        [this] { return std::vector<std::string>{"stow", pick(stageIds("kept"))}; },
        [] { return std::vector<std::string>{"pause"}; },
        [] { return std::vector<std::string>{"pause"}; },
        [] { return std::vector<std::string>{"done"}; },
    };
  }

  void checkNothingLost(const std::string& when) {
    for (const auto& [name, window] : windows) {
      EXPECT_TRUE(desktop.waitIconic(window, minimizedByPerson.count(name) > 0))
          << when << ": " << name;
    }
    if (std::filesystem::exists(app.journalFile())) {
      const auto parsed = jsonread::parse(testing::readText(app.journalFile()));
      EXPECT_TRUE(parsed && decodeStageSnapshot(*parsed)) << when << ": the journal does not decode";
    }
    EXPECT_EQ(temporaries(app.stateFolder()), std::vector<std::string>{}) << when;
    EXPECT_EQ(temporaries(app.configFolder()), std::vector<std::string>{}) << when;
  }

  XTestDesktop desktop;
  AppUnderTest app{desktop};
  std::map<std::string, xcb_window_t> windows;
  std::set<std::string> minimizedByPerson;
  std::mt19937 random;
};

TEST_F(CrashInjection, AKilledRunLosesNothing) {
  const int rounds = environmentNumber("TERVANE_CRASH_ROUNDS", 30);
  const auto seed =
      static_cast<unsigned>(environmentNumber("TERVANE_CRASH_SEED", static_cast<int>(::getpid())));
  random.seed(seed);
  std::cout << "crash injection: " << rounds << " rounds, seed " << seed << "\n";

  for (int round = 1; round <= rounds && !HasFailure(); ++round) {
    SCOPED_TRACE("round " + std::to_string(round) + " of seed " + std::to_string(seed));
    ASSERT_EQ(desktop.run({"xdotool", "windowactivate", "--sync", std::to_string(windows["App1"])}),
              0);
    app.launch();
    auto all = steps(round);
    const auto killAt = std::uniform_int_distribution<std::size_t>(0, all.size())(random);
    for (std::size_t i = 0; i < killAt; ++i) (void)app.command(all[i]());

    // The kill lands while the next request is on its way, or between two of them.
    std::unique_ptr<ChildProcess> inFlight;
    if (killAt < all.size() && random() % 2) inFlight = app.commandInBackground(all[killAt]());
    app.kill();
    if (inFlight) (void)inFlight->wait(60);

    app.launch();
    (void)app.command({"show"});
    checkNothingLost("after show");
    ASSERT_EQ(app.terminate(), 0) << app.output();
    checkNothingLost("after quitting");
  }
}

}  // namespace
}  // namespace tervane::x11
