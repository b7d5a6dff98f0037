// The main queue, off-main runner and fd watcher over Qt's event loop (a guard timer
// ends a loop that would otherwise hang, and the test fails); the look's motions as
// curves and as animations driven by the animation clock.
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <cmath>
#include <set>
#include <thread>
#include <vector>

#include "app/paint/AnimatedValue.h"
#include "app/paint/MotionCurve.h"
#include "app/qt/FdWatcher.h"
#include "app/qt/QtMainQueue.h"
#include "app/qt/QtOffMainRunner.h"
#include "support/QtTestApp.h"

namespace tervane::testing {
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

TEST(QtLoop, TheQueueRunsPostedWorkInOrderAndTimersLaterAndTheRunnerWorksOffTheMainThread) {
  auto queue = std::make_shared<QtMainQueue>();
  EXPECT_TRUE(queue->isMainThread());
  QEventLoop loop;
  const auto onMain = [] { return QThread::currentThread() == qApp->thread(); };
  std::vector<std::string> ran;
  bool allOnMain = true;
  auto note = [&](std::string what) {
    return [&, what] {
      allOnMain = allOnMain && onMain();
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

  // The off-main runner: (whether the work ran on the main thread, whether its completion did)
  QtOffMainRunner runner(queue);
  std::pair<bool, bool> seen{true, false};
  runner.run<bool>(onMain, [&](bool workOnMain) {
    seen = {workOnMain, onMain()};
    loop.quit();
  });
  ASSERT_TRUE(runUntilQuit(loop));
  EXPECT_EQ(seen, std::make_pair(false, true));

  // Work posted to a queue destroyed before the loop came round is dropped.
  bool ranLate = false;
  auto gone = std::make_unique<QtMainQueue>();
  gone->post([&] { ranLate = true; });
  gone.reset();
  QCoreApplication::processEvents();
  EXPECT_FALSE(ranLate);
}

struct Pipe {
  Pipe() { EXPECT_EQ(::pipe(fds), 0); }
  ~Pipe() { for (int fd : fds) ::close(fd); }
  int fds[2] = {-1, -1};
};

TEST(FdWatcher, DispatchesWhenReadableNotWhileDisabledAndForEventsAlreadyQueued) {
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

  // A connection library has read an event into its own queue; the socket holds nothing.
  Pipe empty;
  int queued = 1;
  FdWatcher queueing(
      empty.fds[0], [] { ADD_FAILURE() << "nothing was written"; },
      [&] {
        if (queued > 0) --queued;
        loop.quit();
      });
  ASSERT_TRUE(runUntilQuit(loop));
  EXPECT_EQ(queued, 0);
}

// The first moment the curve turns back, sampled every millisecond.
double firstPeak(const MotionCurve& curve) {
  for (double t = 0.001; t < curve.duration(); t += 0.001) {
    if (curve.velocityAt(t) <= 0) return t;
  }
  return curve.duration();
}

TEST(MotionCurve, SpringsSwingWithTheirResponseAndComeToRestAndEaseOutIsFrontLoaded) {
  // Response is the period of the undamped swing: the first peak of a spring with
  // damping fraction ζ comes at response / (2 √(1 − ζ²)).
  for (const Motion& motion : {TMacMotion::state, TMacMotion::panel}) {
    const MotionCurve curve(motion, 0, 1);
    const double zeta = motion.dampingFraction;
    EXPECT_NEAR(firstPeak(curve), motion.response / (2 * std::sqrt(1 - zeta * zeta)), 0.003);
    const double peak = curve.valueAt(firstPeak(curve));
    EXPECT_GT(peak, 1);  // a spring, not an ease: it overshoots a little
    EXPECT_LT(peak, 1.01);
  }
  // Every spring comes to rest within a second, close to its target before it snaps there.
  for (const Motion& motion : {TMacMotion::state, TMacMotion::settle, TMacMotion::page,
                               TMacMotion::panel, TMacMotion::line}) {
    const MotionCurve curve(motion, 0, 1);
    EXPECT_NEAR(curve.valueAt(curve.duration() * 0.999), 1, 0.003);
    EXPECT_EQ(curve.valueAt(curve.duration()), 1);
    EXPECT_LT(curve.duration(), 1.0);
  }

  // An ease-out is front-loaded and ends on time.
  const MotionCurve curve(TMacMotion::hover, 10, 20);
  EXPECT_DOUBLE_EQ(curve.duration(), 0.12);
  EXPECT_EQ(curve.valueAt(0), 10);
  const double half = curve.valueAt(0.06);
  EXPECT_GT(half, 16);
  EXPECT_LT(half, 18);
  double last = 10;
  for (double t = 0.005; t <= 0.12; t += 0.005) {
    EXPECT_GE(curve.valueAt(t), last);
    last = curve.valueAt(t);
  }
  EXPECT_EQ(curve.valueAt(0.12), 20);
}

TEST(AnimatedValue, WaitsForItsDelayAndKeepsItsSpeedWhenRetargeted) {
  auto& clock = AnimationClock::instance();
  AnimatedValue delayed(0);
  delayed.animateTo(1, TMacMotion::settle, TMacMotion::delay(20));
  clock.advance(0.25);
  EXPECT_EQ(delayed.value(), 0);  // row 20 waits 0.26 s, not 0.44
  clock.advance(0.05);
  EXPECT_GT(delayed.value(), 0);
  clock.settle();
  EXPECT_EQ(delayed.value(), 1);
  EXPECT_FALSE(delayed.isAnimating());

  // Turned back while rising, a spring rises on for a moment before it falls.
  AnimatedValue turned(0);
  turned.animateTo(1, TMacMotion::state);
  clock.advance(0.05);
  const double atTurn = turned.value();
  turned.animateTo(0, TMacMotion::state);
  clock.advance(0.016);
  EXPECT_GT(turned.value(), atTurn);
  clock.settle();
  EXPECT_EQ(turned.value(), 0);
}

}  // namespace
}  // namespace tervane::testing
