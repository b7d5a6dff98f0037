// A desktop notification through org.freedesktop.Notifications, the service that GNOME,
// KDE, Xfce and the stand-alone daemons (dunst, xfce4-notifyd) offer on the session bus.
// The call is sent without waiting for its answer; nothing is shown when no service is
// there, and the caller hears so.
#pragma once

#include <QDBusConnection>
#include <QString>

namespace tervane::DesktopNotifier {

inline constexpr const char* kService = "org.freedesktop.Notifications";

// Whether a notification service is on `bus` (running, or started on demand).
bool available(const QDBusConnection& bus);

// Sends the notification; false when no service is there to show it.
bool notify(const QDBusConnection& bus, const QString& summary, const QString& body);

}  // namespace tervane::DesktopNotifier
