// Work that may block (a language model, a browser) runs off the main thread and comes
// back with its result on the main queue. Nothing is cancelled: a caller that no longer
// wants a result checks a token in its completion.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "base/MainQueue.h"

namespace tervane {

class OffMainRunning {
 public:
  virtual ~OffMainRunning() = default;

  // Runs `work` on a background thread, then `done` on the main thread.
  virtual void runTask(std::function<void()> work, std::function<void()> done) = 0;

  // Typed form: the work's result is handed to `then` on the main thread.
  template <class R>
  void run(std::function<R()> work, std::function<void(R)> then) {
    auto result = std::make_shared<std::optional<R>>();
    runTask([work = std::move(work), result] { result->emplace(work()); },
            [then = std::move(then), result] { then(std::move(**result)); });
  }
};

// Runs each task on a detached thread of its own and posts the completion to the main
// queue. Tasks are few and short-lived (one per Start, per browser pass, per check), so a
// pool would add nothing; a hung browser costs one parked thread, never the main thread.
class DetachedRunner final : public OffMainRunning {
 public:
  explicit DetachedRunner(std::shared_ptr<MainQueue> main) : main_(std::move(main)) {}
  void runTask(std::function<void()> work, std::function<void()> done) override;

 private:
  std::shared_ptr<MainQueue> main_;
};

}  // namespace tervane
