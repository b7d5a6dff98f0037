#include "app/qt/QtMainQueue.h"

#include <QThread>
#include <QTimer>
#include <cmath>

namespace tervane {

QtMainQueue::QtMainQueue() : context_(std::make_unique<QObject>()) {}

QtMainQueue::~QtMainQueue() = default;

void QtMainQueue::post(std::function<void()> fn) {
  QMetaObject::invokeMethod(context_.get(), std::move(fn), Qt::QueuedConnection);
}

void QtMainQueue::postAfter(double seconds, std::function<void()> fn) {
  const int msecs = seconds <= 0 ? 0 : static_cast<int>(std::ceil(seconds * 1000));
  QObject* context = context_.get();
  // A timer must be started on the thread of its context; from elsewhere, hop there first.
  auto start = [context, msecs, fn = std::move(fn)]() mutable {
    QTimer::singleShot(msecs, Qt::PreciseTimer, context, std::move(fn));
  };
  if (isMainThread()) {
    start();
  } else {
    post(std::move(start));
  }
}

bool QtMainQueue::isMainThread() const {
  return QThread::currentThread() == context_->thread();
}

}  // namespace tervane
