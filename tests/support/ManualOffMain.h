// An off-main runner for tests: work and completions run only when the test says so,
// so a test can hold a completion back and prove that a late result is dropped.
#pragma once

#include <deque>
#include <functional>
#include <thread>

#include "base/OffMainRunning.h"

namespace tervane::testing {

class ManualOffMain final : public OffMainRunning {
 public:
  // When set, each task's work runs on a thread of its own (the caller waits for it), so
  // that what it does is seen off the main thread; completions stay on the caller's.
  bool workOnOwnThread = false;

  void runTask(std::function<void()> work, std::function<void()> done) override {
    tasks_.push_back({std::move(work), std::move(done)});
  }

  std::size_t pending() const { return tasks_.size(); }

  // Runs the oldest task's work and completion; false when nothing is pending.
  bool runNext() {
    if (tasks_.empty()) return false;
    auto task = std::move(tasks_.front());
    tasks_.pop_front();
    runWork(task.work);
    task.done();
    return true;
  }

  // Runs tasks, including any they start, until none is left. Returns how many ran.
  int runAll() {
    int ran = 0;
    while (runNext()) ++ran;
    return ran;
  }

  // Runs the oldest task's work now but keeps its completion for later.
  std::function<void()> runWorkHoldCompletion() {
    auto task = std::move(tasks_.front());
    tasks_.pop_front();
    runWork(task.work);
    return task.done;
  }

 private:
  void runWork(const std::function<void()>& work) const {
    if (!workOnOwnThread) return work();
    std::thread(work).join();
  }

  struct Task {
    std::function<void()> work;
    std::function<void()> done;
  };
  std::deque<Task> tasks_;
};

}  // namespace tervane::testing
