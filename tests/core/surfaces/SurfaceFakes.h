// Fakes for the browser-control tests: a gate that holds work until the test opens it,
// a script executor that records texts and answers canned outcomes, and a platform
// permission hook that answers what it is told.
#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "surfaces/AppleEventLane.h"
#include "surfaces/AutomationPermission.h"
#include "surfaces/ScriptExecutor.h"

namespace tervane::testing {

class Gate {
 public:
  void wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return open_; });
  }
  void open() {
    {
      std::lock_guard guard(mutex_);
      open_ = true;
    }
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
};

// Answers the queued outcomes in order, then missing; every execution first waits at the
// gate when one is set.
class FakeScriptExecutor final : public ScriptExecutor {
 public:
  ScriptOutcome execute(const std::string& script) override {
    ScriptOutcome answer = ReplyDescriptor();
    std::shared_ptr<Gate> gate;
    {
      std::lock_guard guard(mutex_);
      scripts_.push_back(script);
      recorded_.notify_all();
      if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
      }
      gate = gate_;
    }
    if (gate) gate->wait();
    return answer;
  }

  void answer(ScriptOutcome outcome) {
    std::lock_guard guard(mutex_);
    answers_.push_back(std::move(outcome));
  }
  void holdAt(std::shared_ptr<Gate> gate) {
    std::lock_guard guard(mutex_);
    gate_ = std::move(gate);
  }
  std::vector<std::string> scripts() const {
    std::lock_guard guard(mutex_);
    return scripts_;
  }
  // Blocks until `count` scripts have reached the executor.
  void waitForScripts(std::size_t count) const {
    std::unique_lock lock(mutex_);
    recorded_.wait(lock, [&] { return scripts_.size() >= count; });
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable recorded_;
  std::deque<ScriptOutcome> answers_;
  std::vector<std::string> scripts_;
  std::shared_ptr<Gate> gate_;
};

class FakeAutomationPermission final : public AutomationPermission {
 public:
  struct Query {
    std::string bundleId;
    bool askUserIfNeeded;
    std::optional<std::string> laneLabel;  // the lane worker it ran on, if any
  };

  std::vector<std::string> runningApplicationIds() override {
    std::lock_guard guard(mutex_);
    return running_;
  }

  std::optional<int> automationStatus(const std::string& bundleId, bool askUserIfNeeded) override {
    std::optional<int> status = 0;
    std::shared_ptr<Gate> gate;
    {
      std::lock_guard guard(mutex_);
      queries_.push_back({bundleId, askUserIfNeeded, AppleEventLane::currentQueueLabel()});
      asked_.notify_all();
      if (auto it = statuses_.find(bundleId); it != statuses_.end()) status = it->second;
      gate = gate_;
    }
    if (gate) gate->wait();
    return status;
  }

  void setRunning(std::vector<std::string> ids) {
    std::lock_guard guard(mutex_);
    running_ = std::move(ids);
  }
  // Unset identifiers answer 0 (allowed).
  void setStatus(const std::string& bundleId, std::optional<int> status) {
    std::lock_guard guard(mutex_);
    statuses_[bundleId] = status;
  }
  void holdAt(std::shared_ptr<Gate> gate) {
    std::lock_guard guard(mutex_);
    gate_ = std::move(gate);
  }
  std::vector<Query> queries() const {
    std::lock_guard guard(mutex_);
    return queries_;
  }
  void waitForQueries(std::size_t count) const {
    std::unique_lock lock(mutex_);
    asked_.wait(lock, [&] { return queries_.size() >= count; });
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable asked_;
  std::vector<std::string> running_;
  std::map<std::string, std::optional<int>> statuses_;
  std::vector<Query> queries_;
  std::shared_ptr<Gate> gate_;
};

}  // namespace tervane::testing
