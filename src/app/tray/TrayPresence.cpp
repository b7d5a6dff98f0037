#include "app/tray/TrayPresence.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QGuiApplication>
#include <QScreen>
#include <QSystemTrayIcon>

namespace tervane {

TrayPresence::TrayPresence(std::function<bool()> probe, QObject* parent)
    : QObject(parent), probe_(std::move(probe)) {
  if (!probe_) {
    probe_ = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
      watcher_ = new QDBusServiceWatcher(QStringLiteral("org.kde.StatusNotifierWatcher"), bus,
                                         QDBusServiceWatcher::WatchForOwnerChange, this);
      connect(watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this, [this] { recheck(); });
    }
    // Qt's X11 layer follows the XEmbed tray selection's owner and says when it changes,
    // through its native interface: a QObject whose class Qt declares only in private
    // headers, so it is reached as the QObject it is and its signal by name.
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
      if (auto* native = reinterpret_cast<QObject*>(QGuiApplication::platformNativeInterface())) {
        connect(native, SIGNAL(systemTrayWindowChanged(QScreen*)), this, SLOT(recheck()));
      }
    }
  }
  available_ = probe_();
}

void TrayPresence::recheck() {
  const bool now = probe_();
  if (now == available_) return;
  available_ = now;
  Q_EMIT changed(now);
}

}  // namespace tervane
