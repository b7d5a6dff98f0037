#include "base/MainQueue.h"

#include <chrono>

namespace tervane {

ManualMainQueue::ManualMainQueue(ManualClock& clock)
    : clock_(clock), mainThread_(std::this_thread::get_id()) {}

void ManualMainQueue::post(std::function<void()> fn) {
  std::lock_guard lock(mutex_);
  posted_.push_back(std::move(fn));
}

void ManualMainQueue::postAfter(double seconds, std::function<void()> fn) {
  std::lock_guard lock(mutex_);
  timers_.emplace(TimerKey{clock_.now() + toDuration(seconds), nextSequence_++}, std::move(fn));
}

bool ManualMainQueue::isMainThread() const { return std::this_thread::get_id() == mainThread_; }

bool ManualMainQueue::runOne() {
  std::function<void()> fn;
  {
    std::lock_guard lock(mutex_);
    if (!posted_.empty()) {
      fn = std::move(posted_.front());
      posted_.erase(posted_.begin());
    } else if (!timers_.empty() && std::get<0>(timers_.begin()->first) <= clock_.now()) {
      fn = std::move(timers_.begin()->second);
      timers_.erase(timers_.begin());
    } else {
      return false;
    }
  }
  fn();
  return true;
}

int ManualMainQueue::drain() {
  int ran = 0;
  while (runOne()) ++ran;
  return ran;
}

int ManualMainQueue::advance(double seconds) {
  const TimePoint target = clock_.now() + toDuration(seconds);
  int ran = drain();
  for (;;) {
    TimePoint next;
    {
      std::lock_guard lock(mutex_);
      if (timers_.empty() || std::get<0>(timers_.begin()->first) > target) break;
      next = std::get<0>(timers_.begin()->first);
    }
    if (next > clock_.now()) clock_.set(next);
    ran += drain();
  }
  clock_.set(target);
  return ran + drain();
}

std::size_t ManualMainQueue::pending() const {
  std::lock_guard lock(mutex_);
  return posted_.size() + timers_.size();
}

RunLoopMainQueue::RunLoopMainQueue(const Clock& clock)
    : clock_(clock), mainThread_(std::this_thread::get_id()) {}

void RunLoopMainQueue::post(std::function<void()> fn) {
  {
    std::lock_guard lock(mutex_);
    posted_.push_back(std::move(fn));
  }
  wake_.notify_one();
}

void RunLoopMainQueue::postAfter(double seconds, std::function<void()> fn) {
  {
    std::lock_guard lock(mutex_);
    timers_.emplace(TimerKey{clock_.now() + toDuration(seconds), nextSequence_++}, std::move(fn));
  }
  wake_.notify_one();
}

bool RunLoopMainQueue::isMainThread() const { return std::this_thread::get_id() == mainThread_; }

void RunLoopMainQueue::quit() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_one();
}

void RunLoopMainQueue::run() {
  std::unique_lock lock(mutex_);
  quit_ = false;
  while (!quit_) {
    std::function<void()> fn;
    if (!posted_.empty()) {
      fn = std::move(posted_.front());
      posted_.erase(posted_.begin());
    } else if (!timers_.empty() && std::get<0>(timers_.begin()->first) <= clock_.now()) {
      fn = std::move(timers_.begin()->second);
      timers_.erase(timers_.begin());
    } else if (!timers_.empty()) {
      // Timers are kept on the wall clock; the wait uses the steady clock for its length.
      const auto wait = std::get<0>(timers_.begin()->first) - clock_.now();
      wake_.wait_for(lock, wait);
      continue;
    } else {
      wake_.wait(lock);
      continue;
    }
    lock.unlock();
    fn();
    lock.lock();
  }
}

}  // namespace tervane
