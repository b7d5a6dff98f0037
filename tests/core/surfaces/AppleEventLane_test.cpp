#include "surfaces/AppleEventLane.h"

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <thread>
#include <vector>

namespace tervane {
namespace {

using Gate = std::latch;

// Long enough never to run out for work that returns at once; short enough for work that
// is held at a gate.
constexpr double kPlenty = 10.0;
constexpr double kShort = 0.02;

// Work that waits at the gate, then answers `value`.
auto heldWork(std::shared_ptr<Gate> gate, int value) {
  return [gate, value] {
    gate->wait();
    return value;
  };
}

TEST(AppleEventLane, RunsEachBrowserOnItsOwnLabelledWorker) {
  AppleEventLane lane;
  const auto where = [] {
    return std::make_pair(AppleEventLane::currentQueueLabel(), std::this_thread::get_id());
  };
  const auto onChrome = lane.run(BrowserKind::chrome, kPlenty, where);
  ASSERT_TRUE(onChrome);
  EXPECT_NE(onChrome->second, std::this_thread::get_id());
  EXPECT_EQ(lane.run(BrowserKind::chrome, kPlenty, where), onChrome);
}

// The watcher sees every wait with its budget, and the time it gives is the time waited:
// here a budget of days ends at once. A refused call makes no wait at all.
TEST(AppleEventLane, TwoHungCallsRefuseOnlyThatBrowserUntilOneReturns) {
  std::vector<std::pair<BrowserKind, double>> seen;
  AppleEventLane lane([&](BrowserKind kind, double budget) {
    seen.emplace_back(kind, budget);
    return budget > 100 ? 0.0 : budget;
  });
  auto first = std::make_shared<Gate>(1);
  auto second = std::make_shared<Gate>(1);
  EXPECT_EQ(lane.run(BrowserKind::safari, 1e6, heldWork(first, 1)), std::nullopt);
  EXPECT_EQ(lane.stuck(BrowserKind::safari), 1);
  // The hung call still holds its worker; this one only returns on a new worker.
  EXPECT_EQ(lane.run(BrowserKind::safari, kPlenty, [] { return 0; }), 0);
  EXPECT_EQ(lane.run(BrowserKind::safari, 1e6, heldWork(second, 2)), std::nullopt);
  EXPECT_EQ(lane.stuck(BrowserKind::safari), 2);

  // Refused without being sent: a budget this long would otherwise let the work answer.
  std::atomic<bool> sent = false;
  EXPECT_EQ(lane.run(BrowserKind::safari, kPlenty, [&] { return sent = true; }), std::nullopt);
  EXPECT_FALSE(sent);
  EXPECT_EQ(lane.run(BrowserKind::brave, kPlenty, [] { return 7; }), 7);
  const auto safari = BrowserKind::safari;
  EXPECT_EQ(seen,
            (std::vector<std::pair<BrowserKind, double>>{
                {safari, 1e6}, {safari, kPlenty}, {safari, 1e6}, {BrowserKind::brave, kPlenty}}));

  first->count_down();
  lane.waitUntilStuckAtMost(BrowserKind::safari, 1);
  EXPECT_EQ(lane.run(BrowserKind::safari, kPlenty, [] { return 8; }), 8);
  EXPECT_EQ(lane.stuck(BrowserKind::safari), 1);

  second->count_down();
  lane.joinAbandonedWorkers();
  EXPECT_EQ(lane.stuck(BrowserKind::safari), 0);
}

// A call queued behind a hung one on the same worker runs out too, after that worker was
// replaced: its give-up is not a second hung call, and must not take the new worker down.
// The watcher orders the steps: budget 1 is the hung call, budget 2 the one behind it.
TEST(AppleEventLane, ACallGivenUpOnAReplacedWorkerCountsNothing) {
  Gate hungRuns{1}, behindQueued{1}, replacementServed{1};
  AppleEventLane lane([&](BrowserKind, double budget) {
    if (budget == 1) behindQueued.wait();
    if (budget == 2) {
      behindQueued.count_down();
      replacementServed.wait();
    }
    return budget <= 2 ? 0.0 : budget;
  });
  auto gate = std::make_shared<Gate>(1);
  std::thread hung([&] {
    EXPECT_EQ(lane.run(BrowserKind::chrome, 1,
                       [&, gate] {
                         hungRuns.count_down();
                         gate->wait();
                         return 1;
                       }),
              std::nullopt);
  });
  hungRuns.wait();
  std::thread behind(
      [&] { EXPECT_EQ(lane.run(BrowserKind::chrome, 2, [] { return 2; }), std::nullopt); });
  hung.join();
  EXPECT_EQ(lane.run(BrowserKind::chrome, kPlenty, [] { return 3; }), 3);
  replacementServed.count_down();
  behind.join();

  EXPECT_EQ(lane.stuck(BrowserKind::chrome), 1);
  EXPECT_EQ(lane.run(BrowserKind::chrome, kPlenty, [] { return 4; }), 4);
  gate->count_down();
  lane.joinAbandonedWorkers();
  EXPECT_EQ(lane.stuck(BrowserKind::chrome), 0);
}

// Calls that run out of time race their own ends from several threads at once. Whatever
// the order, an answer is the caller's own, and once every given-up call has returned
// nothing is left counted as hung and the browser answers again.
TEST(AppleEventLane, CallsGivenUpOnManyThreadsAreUncountedOnceTheyReturn) {
  AppleEventLane lane;
  std::atomic<int> wrong = 0;
  std::atomic<int> answered = 0;
  std::vector<std::thread> callers;
  for (int c = 0; c < 6; ++c) {
    callers.emplace_back([&, c] {
      for (int i = 0; i < 200; ++i) {
        const int mine = c * 1000 + i;
        const double budget = i % 2 == 0 ? 0.0 : kPlenty;
        const auto got = lane.run(BrowserKind::edge, budget, [mine] { return mine; });
        if (got && *got != mine) ++wrong;
        if (got) ++answered;
      }
    });
  }
  for (auto& caller : callers) caller.join();
  lane.joinAbandonedWorkers();
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(answered, 0);
  EXPECT_EQ(lane.stuck(BrowserKind::edge), 0);
  EXPECT_EQ(lane.run(BrowserKind::edge, kPlenty, [] { return 9; }), 9);
}

TEST(AppleEventLane, AHungCallMayReturnAfterTheLaneIsGone) {
  auto gate = std::make_shared<Gate>(1);
  auto released = std::make_shared<Gate>(1);
  {
    AppleEventLane lane;
    // Opens `released` when the last copy of the work (on the worker) is destroyed, which
    // is after the late call has reported its return to the lane's state.
    auto marker = std::shared_ptr<void>(nullptr, [released](void*) { released->count_down(); });
    EXPECT_EQ(lane.run(BrowserKind::chrome, kShort,
                       [gate, marker] {
                         gate->wait();
                         return 1;
                       }),
              std::nullopt);
  }
  gate->count_down();
  released->wait();
}

}  // namespace
}  // namespace tervane
