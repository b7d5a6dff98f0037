// The main queue over Qt's event loop, so the session model runs unchanged inside the
// application: posted work becomes a queued call on a context object that lives on the
// main thread, timers are single-shot Qt timers on that object. Work posted after the
// queue is gone is dropped with its context object.
#pragma once

#include <QObject>
#include <QPointer>
#include <memory>

#include "base/MainQueue.h"

namespace tervane {

class QtMainQueue final : public MainQueue {
 public:
  // Build on the thread that runs the Qt event loop; that thread is the main thread.
  QtMainQueue();
  ~QtMainQueue() override;
  QtMainQueue(const QtMainQueue&) = delete;
  QtMainQueue& operator=(const QtMainQueue&) = delete;

  void post(std::function<void()> fn) override;
  void postAfter(double seconds, std::function<void()> fn) override;
  bool isMainThread() const override;

  // The object queued work runs on, for code that wants to tie its own Qt work to it.
  QObject* context() const { return context_.get(); }

 private:
  std::unique_ptr<QObject> context_;
};

}  // namespace tervane
