// Fakes for the browser-control tests: a gate that holds work until the test opens it,
// a script executor that records texts and answers canned outcomes, and a platform
// permission hook that answers what it is told.
#pragma once

#include <deque>
#include <latch>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "surfaces/AppleEventLane.h"
#include "surfaces/AutomationPermission.h"
#include "surfaces/ScriptExecutor.h"

namespace tervane::testing {

// Holds whoever waits at it until the test counts it down from 1.
using Gate = std::latch;

// Records every call, and holds each call at the gate when one is set.
template <typename Call>
class CallRecorder {
 public:
  void holdAt(std::shared_ptr<Gate> gate) {
    std::lock_guard guard(mutex_);
    gate_ = std::move(gate);
  }
  std::vector<Call> calls() const {
    std::lock_guard guard(mutex_);
    return calls_;
  }

 protected:
  // Records `call` and takes `answer()` under the lock, then waits at the gate, if any.
  template <typename Answer>
  auto record(Call call, Answer answer) {
    std::unique_lock lock(mutex_);
    calls_.push_back(std::move(call));
    auto result = answer();
    const auto gate = gate_;
    lock.unlock();
    if (gate) gate->wait();
    return result;
  }
  mutable std::mutex mutex_;

 private:
  std::vector<Call> calls_;
  std::shared_ptr<Gate> gate_;
};

// Answers the queued outcomes in order, then missing.
class FakeScriptExecutor final : public ScriptExecutor, public CallRecorder<std::string> {
 public:
  ScriptOutcome execute(const std::string& script) override {
    return record(script, [&]() -> ScriptOutcome {
      if (answers_.empty()) return ReplyDescriptor();
      auto answer = answers_.front();
      answers_.pop_front();
      return answer;
    });
  }
  void answer(ScriptOutcome outcome) {
    std::lock_guard guard(mutex_);
    answers_.push_back(std::move(outcome));
  }
  std::vector<std::string> scripts() const { return calls(); }

 private:
  std::deque<ScriptOutcome> answers_;
};

struct PermissionQuery {
  std::string bundleId;
  bool askUserIfNeeded;
  std::optional<std::string> laneLabel;  // the lane worker it ran on, if any
  bool operator==(const PermissionQuery&) const = default;
};

// Identifiers without a status set answer 0 (allowed).
class FakeAutomationPermission final : public AutomationPermission,
                                       public CallRecorder<PermissionQuery> {
 public:
  std::vector<std::string> runningApplicationIds() override {
    std::lock_guard guard(mutex_);
    return running_;
  }
  std::optional<int> automationStatus(const std::string& bundleId, bool askUserIfNeeded) override {
    return record({bundleId, askUserIfNeeded, AppleEventLane::currentQueueLabel()}, [&] {
      const auto it = statuses_.find(bundleId);
      return it == statuses_.end() ? std::optional<int>(0) : it->second;
    });
  }
  void setRunning(std::vector<std::string> ids) {
    std::lock_guard guard(mutex_);
    running_ = std::move(ids);
  }
  void setStatus(const std::string& bundleId, std::optional<int> status) {
    std::lock_guard guard(mutex_);
    statuses_[bundleId] = status;
  }

 private:
  std::vector<std::string> running_;
  std::map<std::string, std::optional<int>> statuses_;
};

}  // namespace tervane::testing
