#include "app/shell/DesktopNotifier.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QVariantMap>

namespace tervane::DesktopNotifier {

bool available(const QDBusConnection& bus) {
  if (!bus.isConnected() || !bus.interface()) return false;
  const QString service = QString::fromLatin1(kService);
  if (bus.interface()->isServiceRegistered(service).value()) return true;
  const auto activatable = bus.interface()->activatableServiceNames();
  return activatable.isValid() && activatable.value().contains(service);
}

bool notify(const QDBusConnection& bus, const QString& summary, const QString& body) {
  if (!available(bus)) return false;
  QDBusMessage call = QDBusMessage::createMethodCall(
      QString::fromLatin1(kService), QStringLiteral("/org/freedesktop/Notifications"),
      QString::fromLatin1(kService), QStringLiteral("Notify"));
  // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout (-1:
  // the service's own choice).
  call << QStringLiteral("Tervane Now") << 0u << QStringLiteral("org.tervane.now") << summary
       << body << QStringList() << QVariantMap() << -1;
  return bus.send(call);
}

}  // namespace tervane::DesktopNotifier
