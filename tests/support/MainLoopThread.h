// A real main loop on its own thread, for tests of code that posts to the main queue from
// a background thread (the control socket). The queue is built on the loop's thread, so
// `isMainThread()` is true exactly inside posted work. The destructor ends the loop after
// the work already posted.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "base/Clock.h"
#include "base/MainQueue.h"

namespace tervane::testing {

class MainLoopThread {
 public:
  MainLoopThread() {
    thread_ = std::thread([this] {
      {
        std::lock_guard lock(mutex_);
        queue_ = std::make_shared<RunLoopMainQueue>(clock_);
      }
      ready_.notify_all();
      queue_->run();
    });
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [this] { return queue_ != nullptr; });
  }
  ~MainLoopThread() {
    // Quitting from inside the loop: a quit before `run` began would be forgotten.
    queue_->post([q = queue_.get()] { q->quit(); });
    thread_.join();
  }
  MainLoopThread(const MainLoopThread&) = delete;
  MainLoopThread& operator=(const MainLoopThread&) = delete;

  const std::shared_ptr<RunLoopMainQueue>& queue() const { return queue_; }

 private:
  SystemClock clock_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::shared_ptr<RunLoopMainQueue> queue_;
  std::thread thread_;
};

}  // namespace tervane::testing
