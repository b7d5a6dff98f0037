// Whether the desktop has a system tray that can show the bee, and word when one appears
// or goes. Trays come in two kinds: a StatusNotifierWatcher on the session bus (KDE,
// most panels of today) and an XEmbed tray, the owner of the X selection
// _NET_SYSTEM_TRAY_S<screen> (older panels, trayer, stalonetray). GNOME has neither
// unless an extension adds one. Qt's own reading of both is asked again whenever the
// watcher's bus name or the selection's owner changes. Main thread only.
#pragma once

#include <QObject>
#include <functional>

class QDBusServiceWatcher;

namespace tervane {

class TrayPresence final : public QObject {
  Q_OBJECT

 public:
  // `probe` replaces Qt's reading (tests).
  explicit TrayPresence(std::function<bool()> probe = {}, QObject* parent = nullptr);

  bool available() const { return available_; }

 public Q_SLOTS:
  // Reads again; `changed` follows when the answer differs.
  void recheck();

 Q_SIGNALS:
  void changed(bool available);

 private:
  std::function<bool()> probe_;
  bool available_ = false;
  QDBusServiceWatcher* watcher_ = nullptr;
};

}  // namespace tervane
