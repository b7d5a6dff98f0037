// The off-main runner over a Qt thread pool: work runs on a pool thread, its completion
// is posted to the main queue. Nothing is cancelled. The pool is wide enough that a few
// browsers stuck until their lane's time limit do not hold up the picker or other work,
// and destroying the runner waits for work still running (each bounded by those limits).
#pragma once

#include <QThreadPool>
#include <memory>

#include "base/MainQueue.h"
#include "base/OffMainRunning.h"

namespace tervane {

class QtOffMainRunner final : public OffMainRunning {
 public:
  static constexpr int kMaxThreads = 16;

  explicit QtOffMainRunner(std::shared_ptr<MainQueue> main);
  ~QtOffMainRunner() override;
  QtOffMainRunner(const QtOffMainRunner&) = delete;
  QtOffMainRunner& operator=(const QtOffMainRunner&) = delete;

  void runTask(std::function<void()> work, std::function<void()> done) override;

  // Blocks until every started work closure has returned (their completions may still be
  // queued on the main queue). For shutting down and for tests.
  void waitForWork();

 private:
  std::shared_ptr<MainQueue> main_;
  QThreadPool pool_;
};

}  // namespace tervane
