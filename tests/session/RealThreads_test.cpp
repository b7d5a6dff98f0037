// The model with its background work on real threads: a detached runner for the off-main
// tasks and the simulated platform's lanes for every browser call, as the application
// runs it. The test thread is the main thread; it sleeps until background work posts
// something back, then runs it, so nothing here waits on a timer.
#include <condition_variable>
#include <mutex>

#include "base/OffMainRunning.h"
#include "support/ModelFixture.h"

namespace tervane::testing {
namespace {

// The manual queue, with a way for the main thread to sleep until something is posted.
class WakingMainQueue final : public MainQueue {
 public:
  explicit WakingMainQueue(ManualClock& clock) : inner_(clock) {}

  void post(std::function<void()> fn) override {
    inner_.post(std::move(fn));
    wake();
  }
  void postAfter(double seconds, std::function<void()> fn) override {
    inner_.postAfter(seconds, std::move(fn));
    wake();
  }
  bool isMainThread() const override { return inner_.isMainThread(); }

  // Runs what has been posted; when there was nothing, sleeps until something is.
  void runOrWait() {
    std::uint64_t seen = 0;
    {
      std::lock_guard guard(mutex_);
      seen = posts_;
    }
    if (inner_.drain() > 0) return;
    std::unique_lock lock(mutex_);
    posted_.wait(lock, [&] { return posts_ != seen; });
  }

 private:
  void wake() {
    {
      std::lock_guard guard(mutex_);
      ++posts_;
    }
    posted_.notify_all();
  }

  ManualMainQueue inner_;
  std::mutex mutex_;
  std::condition_variable posted_;
  std::uint64_t posts_ = 0;
};

class OnRealThreads : public ModelFixture {
 protected:
  void SetUp() override {
    onSimPlatform(kTwoBrowserDesktop);
    desktop->setPermission(BrowserKind::chrome, sim::SimPermission::allowed);
    desktop->setPermission(BrowserKind::safari, sim::SimPermission::allowed);
  }

  void buildOnThreads() {
    auto d = dependencies(platform, platform->monitor(), nullptr);
    d.main = waking;
    d.offMain = std::make_shared<DetachedRunner>(waking);
    model = MacNowModel::make(std::move(d));
  }

  template <class Done>
  void runUntil(Done&& done) {
    while (!done()) waking->runOrWait();
  }

  bool minimized(BrowserKind kind, std::size_t window) const {
    return platform->browser(kind)->state().windows[window].minimized;
  }

  std::shared_ptr<WakingMainQueue> waking = std::make_shared<WakingMainQueue>(*clock);
};

TEST_F(OnRealThreads, AStageWithBothBrowsersIsMadeAndUndone) {
  // The picker is asked off the main thread, after the browsers were read on their lanes;
  // it has no answer, so the recency rule decides.
  picker->available = true;
  buildOnThreads();
  start();

  const std::vector<std::string> expected = {"org.example.Mail", "chrome:2", "chrome:2#0",
                                             "safari:6", "safari:6#0"};
  const auto stowedBrowsers = [&] {
    if (!model->openStage()) return false;
    auto ids = idsOf(model->openStage()->stowed);
    std::sort(ids.begin() + 1, ids.end());
    return ids == expected && minimized(BrowserKind::safari, 1) &&
           minimized(BrowserKind::chrome, 1);
  };
  runUntil(stowedBrowsers);
  EXPECT_EQ(picker->asked.size(), 1u);
  EXPECT_FALSE(minimized(BrowserKind::safari, 0));
  EXPECT_TRUE(hidden("org.example.Mail"));
  ASSERT_TRUE(onDisk().has_value());

  // Without waiting for the browsers: the windows come back on a background thread and the
  // journal is closed when that work reports back.
  model->bringBack(false);
  EXPECT_FALSE(hidden("org.example.Mail"));
  runUntil([&] {
    return !minimized(BrowserKind::safari, 1) && !minimized(BrowserKind::chrome, 1) &&
           !onDisk().has_value();
  });
  EXPECT_FALSE(model->openStage().has_value());
}

}  // namespace
}  // namespace tervane::testing
