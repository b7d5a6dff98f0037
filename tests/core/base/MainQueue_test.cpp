#include "base/MainQueue.h"

#include <gtest/gtest.h>

#include <thread>

#include "base/OffMainRunning.h"
#include "base/Signal.h"

namespace tervane {

TEST(ManualMainQueue, TimersFireInTimeOrderAndWorkFromAnotherThreadRunsOnTheMain) {
  ManualClock clock;
  ManualMainQueue queue(clock);
  const auto start = clock.now();
  std::vector<std::string> order;
  queue.postAfter(3.0, [&] { order.push_back("fallback"); });
  queue.postAfter(0.8, [&] {
    order.push_back("moved@" + std::to_string(secondsBetween(start, clock.now())));
    queue.postAfter(0.1, [&] { order.push_back("nested"); });
  });
  queue.post([&] { order.push_back("posted"); });

  EXPECT_EQ(queue.advance(0.5), 1);
  EXPECT_EQ(order, std::vector<std::string>{"posted"});
  queue.advance(2.4);  // now at 2.9: moved and nested, not the fallback
  EXPECT_EQ(order, (std::vector<std::string>{"posted", "moved@0.800000", "nested"}));
  queue.advance(0.1);
  EXPECT_EQ(order.back(), "fallback");
  EXPECT_EQ(queue.pending(), 0u);

  // Work posted from another thread runs on the main thread.
  bool ranOnMain = false;
  std::thread([&] {
    EXPECT_FALSE(queue.isMainThread());
    queue.post([&] { ranOnMain = queue.isMainThread(); });
  }).join();
  EXPECT_EQ(queue.drain(), 1);
  EXPECT_TRUE(ranOnMain);
}

TEST(RunLoopMainQueue, RunsBackgroundCompletionsAndTimersUntilQuit) {
  SystemClock clock;
  auto loop = std::make_shared<RunLoopMainQueue>(clock);
  DetachedRunner runner(loop);
  std::vector<int> seen;
  runner.run<int>([] { return 42; }, [&](int value) {
    EXPECT_TRUE(loop->isMainThread());
    seen.push_back(value);
    loop->postAfter(0.01, [&] {
      seen.push_back(1);
      loop->quit();
    });
  });
  loop->run();
  EXPECT_EQ(seen, (std::vector<int>{42, 1}));
}

TEST(Signal, AnObservableNotifiesOnlyRealChangesAndASlotMayDisconnectItself) {
  Observable<std::string> line;
  std::vector<std::string> seen;
  auto connection = line.changed().connect([&](const std::string& v) { seen.push_back(v); });
  line.set("");
  line.set("write");
  line.set("write");
  line.set("read");
  EXPECT_EQ(seen, (std::vector<std::string>{"write", "read"}));

  // A slot may disconnect itself while being called.
  int calls = 0;
  Signal<int> signal;
  Signal<int>::Connection self = signal.connect([&](int) {
    ++calls;
    self.disconnect();
  });
  signal.emit(1);
  signal.emit(2);
  EXPECT_EQ(calls, 1);
}

}  // namespace tervane
