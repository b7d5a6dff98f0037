#include "app/qt/FdWatcher.h"

#include <QAbstractEventDispatcher>
#include <QThread>

namespace tervane {

FdWatcher::FdWatcher(int fd, std::function<void()> onReadable, std::function<void()> beforeBlocking,
                     QObject* parent)
    : QObject(parent),
      fd_(fd),
      onReadable_(std::move(onReadable)),
      beforeBlocking_(std::move(beforeBlocking)),
      notifier_(fd, QSocketNotifier::Read) {
  connect(&notifier_, &QSocketNotifier::activated, this, [this] {
    if (enabled_ && onReadable_) onReadable_();
  });
  if (beforeBlocking_) {
    if (auto* dispatcher = QAbstractEventDispatcher::instance(thread())) {
      aboutToBlock_ = connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
        if (enabled_) beforeBlocking_();
      });
    }
  }
}

FdWatcher::~FdWatcher() {
  disconnect(aboutToBlock_);
}

void FdWatcher::setEnabled(bool enabled) {
  enabled_ = enabled;
  notifier_.setEnabled(enabled);
}

}  // namespace tervane
