// A browser that never answers, on the simulated platform with the real lanes, runner and
// permission check. Every wait the lane makes is recorded with its budget and thread; the
// held browser's scripts run out at once. What is asserted is each wait's limit, never a
// duration.
#include <mutex>
#include <thread>
#include <utility>

#include "base/OffMainRunning.h"
#include "support/ModelFixture.h"

namespace tervane::testing {
namespace {

// Two browsers of two windows each, and a third Safari window that is not visible and so
// is never read.
inline const nlohmann::json kTwoBrowserDesktop = nlohmann::json::parse(R"({
  "apps": [{"bundleId": "org.example.Editor", "isFrontmost": true, "secondsSinceLastUse": 1},
           {"bundleId": "org.example.Mail", "secondsSinceLastUse": 5000},
           {"bundleId": "com.apple.Safari", "secondsSinceLastUse": 1},
           {"bundleId": "com.google.Chrome", "secondsSinceLastUse": 1}],
  "browsers": {
    "safari": {"windows": [
      {"id": 5, "tabs": [{"title": "Front", "url": "https://a.example.com/"}]},
      {"id": 6, "tabs": [{"title": "Back", "url": "https://b.example.com/"}]},
      {"id": 7, "visible": false, "tabs": [{"title": "Hidden", "url": "https://c.example.com/"}]}]},
    "chrome": {"windows": [
      {"id": 1, "tabs": [{"title": "Docs", "url": "https://docs.example.com/"}]},
      {"id": 2, "tabs": [{"title": "News", "url": "https://news.example.com/"}]}]}}})");

// One correction of one window: its permission query, then its script.
constexpr double kSingleWindowWait =
    BrowserPermission::kBudgetSeconds + AppleScriptRunner::kBudgetSeconds;

struct Wait { bool onMain; BrowserKind kind; double budget; std::thread::id thread; };

class HungBrowser : public ModelFixture {
 protected:
  void SetUp() override {
    picker->available = false;
    offMain->workOnOwnThread = true;
    sim::SimBudgets budgets;
    budgets.watchWaits = [this](BrowserKind kind, double budget) {
      std::lock_guard lock(mutex);
      waits.push_back({main->isMainThread(), kind, budget, std::this_thread::get_id()});
      const bool held = hungScripts.count(kind) > 0 && budget == AppleScriptRunner::kBudgetSeconds;
      return held ? 0.0 : budget;
    };
    build(sim::SimPlatform::fromJson(kTwoBrowserDesktop, clock, std::move(budgets)).value());
  }

  void hang(BrowserKind kind) {
    platform->browser(kind)->hold();
    std::lock_guard lock(mutex);
    hungScripts.insert(kind);
  }

  std::vector<Wait> takeWaits() {
    std::lock_guard lock(mutex);
    return std::exchange(waits, {});
  }

  // The main thread's waits since the last look, each within one call's budget and all
  // together within one window's wait.
  std::vector<double> mainThreadLimits() {
    std::vector<double> limits;
    double total = 0;
    for (const auto& wait : takeWaits()) {
      if (!wait.onMain) continue;
      EXPECT_LE(wait.budget, AppleScriptRunner::kBudgetSeconds);
      limits.push_back(wait.budget);
      total += wait.budget;
    }
    EXPECT_LE(total, kSingleWindowWait);
    return limits;
  }

  std::mutex mutex;
  std::vector<Wait> waits;
  std::set<BrowserKind> hungScripts;
};

TEST_F(HungBrowser, NoModelCallWaitsLongerThanOneWindowAndTheBrowserComesBackWhenItAnswers) {
  hang(BrowserKind::safari);
  start();
  settle();
  ASSERT_TRUE(model->openStage().has_value());
  EXPECT_EQ(model->busyBrowsers(), std::vector<BrowserKind>{BrowserKind::safari});
  EXPECT_EQ(idsOf(model->openStage()->stowed),
            (std::vector<std::string>{"org.example.Mail", "chrome:2", "chrome:2#0"}));
  EXPECT_TRUE(mainThreadLimits().empty()) << "Start reads the browsers off the main thread";

  hang(BrowserKind::chrome);
  main->advance(MacNowModel::kMovingSeconds);  // past the model's own minimizing
  model->cameForward("com.google.Chrome");     // the guard's look at the kept browser's windows
  settle();
  EXPECT_TRUE(mainThreadLimits().empty());
  EXPECT_EQ(platform->lane()->stuck(BrowserKind::chrome), 1);
  EXPECT_FALSE(shield->isShowing());

  // A correction of one window is the one wait the main thread makes, and it is bounded.
  model->stowAlso(itemIn(model->openStage()->kept, "chrome:1"));
  EXPECT_EQ(mainThreadLimits(), (std::vector<double>{BrowserPermission::kBudgetSeconds,
                                                     AppleScriptRunner::kBudgetSeconds}));
  EXPECT_EQ(model->lastBecause(),
            "I will hide Chrome window, 1 tab from now on, because you said so.");
  EXPECT_EQ(onDisk(), model->openStage());
  EXPECT_EQ(platform->lane()->stuck(BrowserKind::chrome), 2);

  // Two calls hang now: the browser is refused without any wait, and the window stays
  // where it was, which is what the person is told.
  model->keepAnyway(itemIn(model->openStage()->stowed, "chrome:2"));
  EXPECT_TRUE(mainThreadLimits().empty());
  EXPECT_EQ(model->lastBecause(),
            "Chrome window, 1 tab did not come back when asked. Show everything tries again.");

  // Once one hung call returns the browser is sent to again.
  {
    std::lock_guard lock(mutex);
    hungScripts.erase(BrowserKind::chrome);
  }
  platform->browser(BrowserKind::chrome)->release();
  platform->lane()->waitUntilStuckAtMost(BrowserKind::chrome, 0);
  model->keepAnyway(itemIn(model->openStage()->stowed, "chrome:1"));
  EXPECT_EQ(mainThreadLimits().size(), 2u);
  EXPECT_FALSE(platform->browser(BrowserKind::chrome)->state().windows[0].minimized);

  model->done();
  settle();
  EXPECT_TRUE(mainThreadLimits().empty());
}

TEST_F(HungBrowser, QuittingWaitsForEachHungBrowserOnItsOwnNeverForTheirSum) {
  start();
  settle();
  ASSERT_TRUE(model->openStage().has_value());
  hang(BrowserKind::chrome);
  hang(BrowserKind::safari);
  takeWaits();

  model->prepareToQuit();
  std::map<BrowserKind, double> limits;
  std::map<BrowserKind, std::set<std::thread::id>> threads;
  for (const auto& wait : takeWaits()) {
    EXPECT_FALSE(wait.onMain);
    limits[wait.kind] += wait.budget;
    threads[wait.kind].insert(wait.thread);
  }
  EXPECT_EQ(limits, (std::map<BrowserKind, double>{{BrowserKind::chrome, kSingleWindowWait},
                                                   {BrowserKind::safari, kSingleWindowWait}}));
  ASSERT_EQ(threads[BrowserKind::chrome].size(), 1u);
  EXPECT_EQ(threads[BrowserKind::safari].count(*threads[BrowserKind::chrome].begin()), 0u)
      << "one browser's time limits must not be added to another's";
  EXPECT_FALSE(model->openStage().has_value());
  EXPECT_FALSE(desktop->app("org.example.Mail")->isHidden);
  EXPECT_FALSE(onDisk().has_value());
}

// The main queue as a real run loop on the test thread, run until a condition holds after
// a piece of work.
class RunUntilQueue final : public MainQueue {
 public:
  explicit RunUntilQueue(const Clock& clock) : loop_(clock) {}
  void post(std::function<void()> fn) override { loop_.post(checked(std::move(fn))); }
  void postAfter(double seconds, std::function<void()> fn) override {
    loop_.postAfter(seconds, checked(std::move(fn)));
  }
  bool isMainThread() const override { return loop_.isMainThread(); }
  void runUntil(std::function<bool()> done) {
    done_ = std::move(done);
    if (!done_()) loop_.run();
  }

 private:
  std::function<void()> checked(std::function<void()> fn) {
    return [this, fn = std::move(fn)] {
      fn();
      if (done_()) loop_.quit();
    };
  }
  RunLoopMainQueue loop_;
  std::function<bool()> done_ = [] { return false; };
};

// The model with its background work on real threads, as the application runs it: a
// detached runner for the off-main tasks and the platform's lanes for every browser call.
// The picker is asked off the main thread after the browsers were read; it has no answer,
// so the recency rule decides. Without waiting for the browsers, their windows come back
// on a background thread and the journal is closed when that work reports back.
class OnRealThreads : public ModelFixture {
 protected:
  void SetUp() override {
    modelMain = waking;
    modelOffMain = std::make_shared<DetachedRunner>(waking);
    build(sim::SimPlatform::fromJson(kTwoBrowserDesktop, clock).value());
  }
  bool minimized(BrowserKind kind, std::size_t window) const {
    return platform->browser(kind)->state().windows[window].minimized;
  }

  std::shared_ptr<RunUntilQueue> waking = std::make_shared<RunUntilQueue>(*clock);
};

TEST_F(OnRealThreads, AStageWithBothBrowsersIsMadeAndUndone) {
  start();
  waking->runUntil([&] {
    return model->openStage() && minimized(BrowserKind::safari, 1) &&
           minimized(BrowserKind::chrome, 1);
  });
  auto ids = idsOf(model->openStage()->stowed);
  std::sort(ids.begin() + 1, ids.end());
  EXPECT_EQ(ids, (std::vector<std::string>{"org.example.Mail", "chrome:2", "chrome:2#0",
                                           "safari:6", "safari:6#0"}));
  EXPECT_EQ(picker->asked.size(), 1u);
  EXPECT_FALSE(minimized(BrowserKind::safari, 0));
  EXPECT_TRUE(hidden("org.example.Mail"));
  ASSERT_TRUE(onDisk().has_value());

  model->bringBack(false);
  EXPECT_FALSE(hidden("org.example.Mail"));
  waking->runUntil([&] {
    return !minimized(BrowserKind::safari, 1) && !minimized(BrowserKind::chrome, 1) &&
           !onDisk().has_value();
  });
  EXPECT_FALSE(model->openStage().has_value());
}

}  // namespace
}  // namespace tervane::testing
