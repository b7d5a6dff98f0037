// A session model on a simulated desktop with a manual clock, a manual main queue and a
// manual off-main runner, so that every test decides when background work and its
// completion happen. The journal lives in a temporary folder and can be made to fail.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "base/Defaults.h"
#include "base/MainQueue.h"
#include "session/MacNowModel.h"
#include "sim/SimDesktop.h"
#include "sim/SimPlatform.h"
#include "support/FakeBrowsers.h"
#include "support/ManualOffMain.h"
#include "support/TempDir.h"

namespace tervane::testing {

inline const SeedRule kRule = SeedRule::defaultRule();

class FakePicker final : public ActPicking {
 public:
  bool available = true;
  std::optional<std::set<std::string>> answer;
  std::vector<std::pair<std::string, std::vector<std::string>>> asked;

  bool isAvailable() override { return available; }
  void prewarm() override {}
  std::optional<std::set<std::string>> pick(const std::string& line,
                                            const std::vector<std::string>& items) override {
    asked.emplace_back(line, items);
    if (!answer) return std::nullopt;
    std::set<std::string> chosen;
    for (const auto& item : items) {
      if (answer->count(item) > 0) chosen.insert(item);
    }
    return chosen;
  }
};

class ModelFixture : public ::testing::Test {
 protected:
  // Builds the model over the desktop, with the fake browsers; call after arranging them.
  void build() {
    using NoBrowsers = std::map<BrowserKind, std::shared_ptr<SimulatedBrowser>>;
    build(std::make_shared<sim::SimPlatform>(desktop, clock, NoBrowsers(), sim::SimBudgets()),
          browsers);
  }

  // Builds the model over another platform; a null browser surface is the platform's own.
  void build(std::shared_ptr<sim::SimPlatform> p, std::shared_ptr<BrowserSurfacing> surface = {}) {
    platform = std::move(p);
    desktop = platform->desktop();
    monitor = platform->monitor();
    journal = std::make_shared<StageJournal>(dir / "state", journalOptions);
    memory = std::make_shared<StageMemory>(*standard);
    store = std::make_shared<Store>(*shared);
    model = MacNowModel::make({modelMain, clock, platform, standard, store, journal, memory,
                               monitor, modelOffMain, picker, nullptr, std::move(surface), shield});
  }

  void addApp(const std::string& id, std::optional<double> age, bool front = false,
              bool canHide = true) {
    desktop->addApp(sim::SimApp{id, "App " + id.substr(id.rfind('.') + 1), age, canHide, false});
    if (front) desktop->personActivates(id);
  }

  // The usual desk, with no picker: Editor in front, Mail used long ago, Music never.
  void addDesk() {
    picker->available = false;
    addApp("com.example.Editor", 5, /*front=*/true);
    addApp("com.example.Mail", 3000);
    addApp("com.example.Music", std::nullopt);
  }

  void runChrome(std::vector<WindowFacts> windows) {
    browsers->setRunning({BrowserKind::chrome});
    browsers->setWindows(BrowserKind::chrome, std::move(windows));
  }

  void start(const std::string& line = "write") {
    model->capture(line);
    model->set(kRule);
  }

  bool hidden(const std::string& id) const { return desktop->app(id)->isHidden; }

  std::optional<StageSnapshot> onDisk() const { return journal->open(); }

  // Runs background work and completions until nothing is left.
  void settle() {
    while (offMain->runAll() > 0 || main->drain() > 0) {
    }
  }

  TempDir dir;
  std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
  std::shared_ptr<ManualMainQueue> main = std::make_shared<ManualMainQueue>(*clock);
  std::shared_ptr<ManualOffMain> offMain = std::make_shared<ManualOffMain>();
  // What the model runs its work on; a test on real threads puts its own in before build().
  std::shared_ptr<MainQueue> modelMain = main;
  std::shared_ptr<OffMainRunning> modelOffMain = offMain;
  std::shared_ptr<MemoryDefaults> standard = std::make_shared<MemoryDefaults>();
  std::shared_ptr<MemoryDefaults> shared = std::make_shared<MemoryDefaults>();
  std::shared_ptr<sim::SimDesktop> desktop = std::make_shared<sim::SimDesktop>(clock);
  std::shared_ptr<FakeBrowsers> browsers = std::make_shared<FakeBrowsers>();
  std::shared_ptr<sim::RecordingShield> shield = std::make_shared<sim::RecordingShield>();
  std::shared_ptr<FakePicker> picker = std::make_shared<FakePicker>();
  std::atomic<bool> journalFails{false};
  AtomicWriteOptions journalOptions{.inject = [this](AtomicWriteStep step) -> std::optional<int> {
    return journalFails && step == AtomicWriteStep::rename ? std::optional(EIO) : std::nullopt;
  }};

  std::shared_ptr<StageJournal> journal;
  std::shared_ptr<StageMemory> memory;
  std::shared_ptr<Store> store;
  std::shared_ptr<sim::SimGuardMonitor> monitor;
  std::shared_ptr<sim::SimPlatform> platform;
  std::shared_ptr<MacNowModel> model;
};

inline WindowFacts window(BrowserKind kind, std::int64_t id, std::vector<std::string> titles,
                          bool front = false, bool minimized = false) {
  WindowFacts w{kind, id, {}, front, minimized};
  for (std::size_t i = 0; i < titles.size(); ++i) {
    w.tabs.push_back(TabFacts{titles[i], "https://" + titles[i] + ".example.com/", i == 0});
  }
  return w;
}

// The item with this id in a stage's list.
inline StageItem itemIn(const std::vector<StageItem>& items, const std::string& id) {
  for (const auto& item : items) {
    if (item.id == id) return item;
  }
  ADD_FAILURE() << "no item " << id;
  return {};
}

// The ids in a stage's list, or in its last `last` items.
inline std::vector<std::string> idsOf(const std::vector<StageItem>& items, std::size_t last = 0) {
  std::vector<std::string> ids;
  for (const auto& item : items) ids.push_back(item.id);
  if (last > 0 && last < ids.size()) ids.erase(ids.begin(), ids.end() - std::ptrdiff_t(last));
  return ids;
}

// The usual desk with Chrome kept for its front window 8; its window 7 is put away, and
// window 9 the person minimized. Window 7's first tab has no host.
class ChromeDesk : public ModelFixture {
 protected:
  void SetUp() override {
    addDesk();
    addApp("com.google.Chrome", 10);
    auto mixed = window(BrowserKind::chrome, 7, {"a", "b"});
    mixed.tabs[0].url = "about:blank";
    mixed.tabs[1].url = "https://www.Docs.example.com/x";
    runChrome({window(BrowserKind::chrome, 8, {"front"}, true), mixed,
               window(BrowserKind::chrome, 9, {"mine"}, false, /*minimized=*/true)});
  }

  // Opens the stage with its windows put away, and lets the model's own moves pass.
  void openStage() {
    build();
    start("write the report");
    settle();
    ASSERT_TRUE(browsers->windowsNow(BrowserKind::chrome)[1].isMinimized);
    main->advance(1);
  }
};

}  // namespace tervane::testing
