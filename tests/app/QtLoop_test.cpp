// The main queue, off-main runner and fd watcher over Qt's event loop. A guard timer
// ends a loop that would otherwise hang, and the test fails.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <set>
#include <thread>
#include <vector>

#include "app/qt/FdWatcher.h"
#include "app/qt/QtMainQueue.h"
#include "app/qt/QtOffMainRunner.h"

namespace tervane {
namespace {

// Runs the loop until `loop.quit()`; false when the guard had to end it.
bool runUntilQuit(QEventLoop& loop) {
  bool guarded = false;
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, &loop, [&] {
    guarded = true;
    loop.quit();
  });
  guard.start(10000);
  loop.exec();
  return !guarded;
}

TEST(QtMainQueue, RunsPostedWorkOnTheMainThreadInOrderAndTimersLater) {
  auto queue = std::make_shared<QtMainQueue>();
  EXPECT_TRUE(queue->isMainThread());
  QEventLoop loop;
  std::vector<std::string> ran;
  bool allOnMain = true;
  auto note = [&](std::string what) {
    return [&, what] {
      allOnMain = allOnMain && QThread::currentThread() == qApp->thread();
      ran.push_back(what);
      if (ran.size() == 4) loop.quit();
    };
  };
  queue->postAfter(0.02, note("timer"));
  bool offMainSaysMain = true;
  std::thread worker([&] {
    offMainSaysMain = queue->isMainThread();
    queue->post(note("from worker"));
    queue->postAfter(0.01, note("worker timer"));
  });
  worker.join();
  queue->post(note("posted"));
  ASSERT_TRUE(runUntilQuit(loop));
  EXPECT_FALSE(offMainSaysMain);
  EXPECT_TRUE(allOnMain);
  EXPECT_EQ((std::vector<std::string>(ran.begin(), ran.begin() + 2)),
            (std::vector<std::string>{"from worker", "posted"}));
  // Two real timers from two threads: their order is the clock's, not ours to assert.
  EXPECT_EQ(std::set<std::string>(ran.begin() + 2, ran.end()),
            (std::set<std::string>{"timer", "worker timer"}));
}

TEST(QtMainQueue, DropsWorkPostedBeforeItWasDestroyed) {
  bool ran = false;
  auto queue = std::make_unique<QtMainQueue>();
  queue->post([&] { ran = true; });
  queue.reset();
  QCoreApplication::processEvents();
  EXPECT_FALSE(ran);
}

TEST(QtOffMainRunner, RunsWorkOffTheMainThreadAndTheCompletionOnIt) {
  auto queue = std::make_shared<QtMainQueue>();
  QtOffMainRunner runner(queue);
  QEventLoop loop;
  const auto onMain = [] { return QThread::currentThread() == qApp->thread(); };
  // (whether the work ran on the main thread, whether its completion did)
  std::pair<bool, bool> seen{true, false};
  runner.run<bool>(onMain, [&](bool workOnMain) {
    seen = {workOnMain, onMain()};
    loop.quit();
  });
  ASSERT_TRUE(runUntilQuit(loop));
  EXPECT_EQ(seen, std::make_pair(false, true));
}

struct Pipe {
  Pipe() { EXPECT_EQ(::pipe(fds), 0); }
  ~Pipe() {
    ::close(fds[0]);
    ::close(fds[1]);
  }
  int fds[2] = {-1, -1};
};

TEST(FdWatcher, DispatchesWhenTheDescriptorIsReadableAndNotWhileDisabled) {
  Pipe pipe;
  int dispatched = 0;
  QEventLoop loop;
  FdWatcher watcher(pipe.fds[0], [&] {
    char c;
    EXPECT_EQ(::read(pipe.fds[0], &c, 1), 1);
    ++dispatched;
    loop.quit();
  });
  watcher.setEnabled(false);
  EXPECT_EQ(::write(pipe.fds[1], "x", 1), 1);
  QCoreApplication::processEvents();
  EXPECT_EQ(dispatched, 0);
  watcher.setEnabled(true);
  ASSERT_TRUE(runUntilQuit(loop));
  EXPECT_EQ(dispatched, 1);
}

TEST(FdWatcher, HandlesEventsAlreadyQueuedBeforeTheLoopSleeps) {
  // A connection library has read an event into its own queue; the socket holds nothing.
  Pipe pipe;
  int queued = 1;
  QEventLoop loop;
  FdWatcher watcher(
      pipe.fds[0], [] { ADD_FAILURE() << "nothing was written"; },
      [&] {
        if (queued > 0) --queued;
        loop.quit();
      });
  ASSERT_TRUE(runUntilQuit(loop));
  EXPECT_EQ(queued, 0);
}

}  // namespace
}  // namespace tervane
