// The main thread's queue. The model, the views and every timer live on it; work from
// other threads comes back through `post`. The application runs it on Qt's event loop,
// command-line tools on `RunLoopMainQueue`, tests on `ManualMainQueue`.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <tuple>
#include <vector>

#include "base/Clock.h"

namespace tervane {

class MainQueue {
 public:
  virtual ~MainQueue() = default;
  // Runs `fn` on the main thread soon. Callable from any thread.
  virtual void post(std::function<void()> fn) = 0;
  // Runs `fn` on the main thread after `seconds`. Callable from any thread.
  virtual void postAfter(double seconds, std::function<void()> fn) = 0;
  // True on the thread that runs this queue.
  virtual bool isMainThread() const = 0;
};

// A queue that runs only when the test says so, with timers on a manual clock.
// The thread that built it counts as the main thread.
class ManualMainQueue final : public MainQueue {
 public:
  explicit ManualMainQueue(ManualClock& clock);

  void post(std::function<void()> fn) override;
  void postAfter(double seconds, std::function<void()> fn) override;
  bool isMainThread() const override;

  // Runs everything posted and every timer that is due, including work they post in turn.
  // Returns how many closures ran.
  int drain();
  // Moves the clock forward by `seconds`, firing timers in time order as they fall due.
  int advance(double seconds);
  // Number of posted closures and timers not yet run.
  std::size_t pending() const;

 private:
  using TimerKey = std::tuple<TimePoint, std::uint64_t>;
  bool runOne();

  ManualClock& clock_;
  std::thread::id mainThread_;
  mutable std::mutex mutex_;
  std::vector<std::function<void()>> posted_;
  std::map<TimerKey, std::function<void()>> timers_;
  std::uint64_t nextSequence_ = 0;
};

// A real-time main loop for command-line tools: `run` executes posted work and timers on
// the calling thread until `quit`.
class RunLoopMainQueue final : public MainQueue {
 public:
  explicit RunLoopMainQueue(const Clock& clock);

  void post(std::function<void()> fn) override;
  void postAfter(double seconds, std::function<void()> fn) override;
  bool isMainThread() const override;

  void run();
  void quit();

 private:
  using TimerKey = std::tuple<TimePoint, std::uint64_t>;
  const Clock& clock_;
  std::thread::id mainThread_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<std::function<void()>> posted_;
  std::map<TimerKey, std::function<void()>> timers_;
  std::uint64_t nextSequence_ = 0;
  bool quit_ = false;
};

}  // namespace tervane
