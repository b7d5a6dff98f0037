#include "surfaces/AppleEventLane.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "base/Log.h"

namespace tervane {
namespace {

thread_local const std::string* tCurrentLabel = nullptr;

// One call's end report. `ended` is written by the worker and read by the caller, both
// under the lane's lock, which is what keeps a call that ended from being counted as hung.
struct Call {
  bool ended = false;
  std::condition_variable endedChanged;
};

std::chrono::steady_clock::time_point deadlineAfter(double seconds) {
  constexpr double kLongest = 365.0 * 24 * 3600;
  if (!(seconds > 0)) seconds = 0;  // also NaN
  seconds = std::min(seconds, kLongest);
  return std::chrono::steady_clock::now() +
         std::chrono::duration_cast<std::chrono::steady_clock::duration>(
             std::chrono::duration<double>(seconds));
}

}  // namespace

// A serial worker: runs its jobs one at a time in submission order on its own thread.
struct AppleEventLane::Queue {
  explicit Queue(std::string label) : label(std::move(label)) {}

  void submit(std::function<void()> job) {
    {
      std::lock_guard guard(mutex);
      jobs.push_back(std::move(job));
    }
    wake.notify_one();
  }

  void retire() {
    {
      std::lock_guard guard(mutex);
      retired = true;
    }
    wake.notify_one();
  }

  bool hasExited() {
    std::lock_guard guard(mutex);
    return exited;
  }

  static void serve(std::shared_ptr<Queue> queue) {
    tCurrentLabel = &queue->label;
    std::unique_lock lock(queue->mutex);
    for (;;) {
      queue->wake.wait(lock, [&] { return !queue->jobs.empty() || queue->retired; });
      if (queue->jobs.empty()) break;
      auto job = std::move(queue->jobs.front());
      queue->jobs.pop_front();
      lock.unlock();
      job();
      job = nullptr;  // its captures may hold the last reference to the lane's state
      lock.lock();
    }
    queue->exited = true;
  }

  const std::string label;
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<std::function<void()>> jobs;
  bool retired = false;  // out of service: the thread exits once its jobs are done
  bool exited = false;
};

// Everything the lane shares with its workers. The maps are guarded by `lock`, which is
// held only for look-ups and updates, never while work runs.
struct AppleEventLane::State {
  struct Worker {
    std::shared_ptr<Queue> queue;
    std::thread thread;
  };

  mutable std::mutex lock;
  mutable std::condition_variable stuckChanged;
  std::map<BrowserKind, Worker> queues;
  std::map<BrowserKind, int> stuck;
  std::vector<Worker> abandoned;

  int stuckCount(BrowserKind kind) const {
    auto it = stuck.find(kind);
    return it == stuck.end() ? 0 : it->second;
  }

  // The browser's current worker, made on demand; none while two or more given-up calls
  // of the browser still run.
  std::shared_ptr<Queue> laneFor(BrowserKind kind) {
    if (stuckCount(kind) >= 2) return nullptr;
    if (auto it = queues.find(kind); it != queues.end()) return it->second.queue;
    auto queue = std::make_shared<Queue>(queueLabel(kind));
    std::thread thread(&Queue::serve, queue);
    queues.emplace(kind, Worker{queue, std::move(thread)});
    return queue;
  }

  // A call on `queue` ran out of time. Only the first give-up of a worker counts: calls
  // queued behind a hung one on an already replaced worker change nothing.
  void abandon(BrowserKind kind, const Queue* queue) {
    auto it = queues.find(kind);
    if (it == queues.end() || it->second.queue.get() != queue) return;
    it->second.queue->retire();
    abandoned.push_back(std::move(it->second));
    queues.erase(it);
    ++stuck[kind];
    stuckChanged.notify_all();
  }

  // A call on `queue` returned. On the current worker that is the ordinary case; on a
  // replaced worker it is a late return, which lowers the count (never below 0).
  void finished(BrowserKind kind, const Queue* queue) {
    if (auto it = queues.find(kind); it != queues.end() && it->second.queue.get() == queue) {
      return;
    }
    if (auto it = stuck.find(kind); it != stuck.end() && it->second >= 1) {
      --it->second;
      stuckChanged.notify_all();
    }
  }

  // Given-up workers whose thread has ended, taken out so that they can be joined.
  std::vector<Worker> takeExited() {
    std::vector<Worker> done;
    for (auto it = abandoned.begin(); it != abandoned.end();) {
      if (it->queue->hasExited()) {
        done.push_back(std::move(*it));
        it = abandoned.erase(it);
      } else {
        ++it;
      }
    }
    return done;
  }
};

AppleEventLane::AppleEventLane(WaitWatcher watcher)
    : state_(std::make_shared<State>()), watcher_(std::move(watcher)) {}

AppleEventLane::~AppleEventLane() {
  std::map<BrowserKind, State::Worker> current;
  std::vector<State::Worker> abandoned;
  {
    std::lock_guard guard(state_->lock);
    current.swap(state_->queues);
    abandoned.swap(state_->abandoned);
  }
  // Every call on a current worker has ended (a call that runs out of time takes its
  // worker out of service), so these joins are short.
  for (auto& [kind, worker] : current) {
    worker.queue->retire();
    worker.thread.join();
  }
  for (auto& worker : abandoned) {
    if (worker.queue->hasExited()) {
      worker.thread.join();
    } else {
      worker.thread.detach();
    }
  }
}

bool AppleEventLane::runOnLane(BrowserKind kind, double budgetSeconds, std::function<void()> work) {
  auto state = state_;
  auto call = std::make_shared<Call>();
  std::shared_ptr<Queue> queue;
  std::vector<State::Worker> exited;
  {
    std::lock_guard guard(state->lock);
    exited = state->takeExited();
    queue = state->laneFor(kind);
    // Submitted under the lock so that the worker cannot be retired in between.
    if (queue) {
      const Queue* on = queue.get();
      queue->submit([state, call, kind, on, work = std::move(work)] {
        work();
        std::lock_guard guard(state->lock);
        call->ended = true;
        state->finished(kind, on);
        call->endedChanged.notify_all();
      });
    }
  }
  for (auto& worker : exited) worker.thread.join();
  if (!queue) return false;

  const auto deadline = deadlineAfter(watcher_ ? watcher_(kind, budgetSeconds) : budgetSeconds);
  std::unique_lock lock(state->lock);
  if (call->endedChanged.wait_until(lock, deadline, [&] { return call->ended; })) return true;
  state->abandon(kind, queue.get());
  return false;
}

int AppleEventLane::stuck(BrowserKind kind) const {
  std::lock_guard guard(state_->lock);
  return state_->stuckCount(kind);
}

void AppleEventLane::waitUntilStuckAtMost(BrowserKind kind, int count) const {
  std::unique_lock lock(state_->lock);
  state_->stuckChanged.wait(lock, [&] { return state_->stuckCount(kind) <= count; });
}

void AppleEventLane::joinAbandonedWorkers() {
  std::vector<State::Worker> workers;
  {
    std::lock_guard guard(state_->lock);
    workers.swap(state_->abandoned);
  }
  for (auto& worker : workers) worker.thread.join();
}

std::string AppleEventLane::queueLabel(BrowserKind kind) {
  return std::string(kAppSubsystem) + ".ae." + rawValue(kind);
}

std::optional<std::string> AppleEventLane::currentQueueLabel() {
  if (tCurrentLabel == nullptr) return std::nullopt;
  return *tCurrentLabel;
}

}  // namespace tervane
