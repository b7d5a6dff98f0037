// Every call to a browser (a script, a permission query) goes through the lane: each
// browser has its own serial worker thread, every call has a time limit, and a browser
// whose earlier calls hung is refused at once instead of piling more work behind them.
//
// A call that runs past its limit is given up: the caller gets nothing, the worker it runs
// on is taken out of service (the next call to that browser gets a fresh worker) and is
// left to finish on its own thread, after which it exits. While two or more given-up calls
// of one browser are still running, that browser is refused. Other browsers are never
// affected.
//
// The composition root owns one lane and shares it; the worker threads keep only shared
// state alive, so a late call that returns after the lane is gone touches nothing freed.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

#include "stage/BrowserKind.h"

namespace tervane {

class AppleEventLane {
 public:
  // Sees every wait of a caller before it begins: the browser and the call's budget. It
  // gives the seconds to wait in fact. Tests use it to record each limit and the thread
  // that waits, and to let a call to a held browser run out at once instead of after its
  // real budget.
  using WaitWatcher = std::function<double(BrowserKind kind, double budgetSeconds)>;

  explicit AppleEventLane(WaitWatcher watcher = nullptr);
  // Joins the current workers (their calls have all ended) and every given-up worker that
  // has exited; a given-up worker that still runs is detached and exits on its own.
  ~AppleEventLane();
  AppleEventLane(const AppleEventLane&) = delete;
  AppleEventLane& operator=(const AppleEventLane&) = delete;

  // Runs `work` on the browser's worker and waits at most `budgetSeconds` for it. Gives the
  // work's result, or nothing when the browser is refused or the time ran out (the work
  // then still runs, and its result is dropped). Never runs `work` on the calling thread.
  // `work` must be copyable and own what it uses: it may outlive the caller and the lane.
  template <class Work, class T = std::invoke_result_t<Work&>>
  std::optional<T> run(BrowserKind kind, double budgetSeconds, Work work) {
    static_assert(!std::is_void_v<T>, "the work must give a value");
    auto box = std::make_shared<std::optional<T>>();
    const bool ended = runOnLane(kind, budgetSeconds,
                                 [box, work = std::move(work)]() mutable { box->emplace(work()); });
    // The worker wrote the box before reporting the end under the lane's lock, and the
    // caller saw that report under the same lock; after a timeout the box is never read.
    if (!ended) return std::nullopt;
    return std::move(*box);
  }

  // How many given-up calls of the browser have not returned yet.
  int stuck(BrowserKind kind) const;
  // Blocks until at most `count` given-up calls of the browser are still running.
  void waitUntilStuckAtMost(BrowserKind kind, int count) const;
  // Blocks until every given-up call has returned and its worker has exited. For orderly
  // shutdown when the hung work is known to end (tests release what they held).
  void joinAbandonedWorkers();

  // The label of a browser's workers: the application's subsystem, ".ae.", the raw name.
  static std::string queueLabel(BrowserKind kind);
  // The label of the lane worker running the calling thread; none off the lane.
  static std::optional<std::string> currentQueueLabel();

 private:
  struct State;
  struct Queue;

  bool runOnLane(BrowserKind kind, double budgetSeconds, std::function<void()> work);

  std::shared_ptr<State> state_;
  WaitWatcher watcher_;
};

}  // namespace tervane
