// Dispatches a file descriptor's events from the Qt event loop, never by polling: a socket
// notifier calls `onReadable` whenever the descriptor has data. A connection library that
// reads ahead (as an X11 client library does while waiting for a reply) may hold events in
// its own queue with nothing left on the socket; `beforeBlocking`, when given, is called
// each time the event loop is about to sleep, so such queued events are handled too. Both
// callbacks run on the thread that made the watcher.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>

namespace tervane {

class FdWatcher final : public QObject {
  Q_OBJECT

 public:
  FdWatcher(int fd, std::function<void()> onReadable, std::function<void()> beforeBlocking = {},
            QObject* parent = nullptr);
  ~FdWatcher() override;

  int fd() const { return fd_; }
  // Stops and restarts both callbacks, for example while the connection is being torn down.
  void setEnabled(bool enabled);
  bool isEnabled() const { return notifier_.isEnabled(); }

 private:
  int fd_;
  std::function<void()> onReadable_;
  std::function<void()> beforeBlocking_;
  QSocketNotifier notifier_;
  QMetaObject::Connection aboutToBlock_;
  bool enabled_ = true;
};

}  // namespace tervane
