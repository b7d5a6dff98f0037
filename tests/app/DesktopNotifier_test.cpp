// The desktop notification over a private dbus-daemon with a stand-in service.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QObject>
#include <QProcess>
#include <QTest>
#include <QVariantMap>

#include "app/shell/DesktopNotifier.h"

namespace tervane::testing {
namespace {

class FakeNotifications final : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  QStringList seen;

 public Q_SLOTS:
  uint Notify(const QString& app, uint, const QString&, const QString& summary, const QString& body,
              const QStringList&, const QVariantMap&, int) {
    seen << app + " | " + summary + " | " + body;
    return static_cast<uint>(seen.size());
  }
};

TEST(DesktopNotifier, ReachesTheServiceOnTheBusAndSaysWhenThereIsNone) {
  QProcess daemon;
  daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
  ASSERT_TRUE(daemon.waitForStarted(10000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return daemon.canReadLine(); }, 10000));
  const QString address = QString::fromUtf8(daemon.readLine()).trimmed();

  QDBusConnection app = QDBusConnection::connectToBus(address, "app");
  ASSERT_TRUE(app.isConnected());
  EXPECT_FALSE(DesktopNotifier::notify(app, "Tervane Now", "x"));

  FakeNotifications service;
  QDBusConnection host = QDBusConnection::connectToBus(address, "host");
  ASSERT_TRUE(host.registerObject("/org/freedesktop/Notifications", &service,
                                  QDBusConnection::ExportAllSlots));
  ASSERT_TRUE(host.registerService(QString::fromLatin1(DesktopNotifier::kService)));
  EXPECT_TRUE(DesktopNotifier::notify(app, "Tervane Now", "Press Ctrl+Alt+Super+N"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !service.seen.isEmpty(); }, 10000));
  EXPECT_EQ(service.seen, QStringList{"Tervane Now | Tervane Now | Press Ctrl+Alt+Super+N"});

  QDBusConnection::disconnectFromBus("host");
  QDBusConnection::disconnectFromBus("app");
  daemon.terminate();
  daemon.waitForFinished(10000);
}

}  // namespace
}  // namespace tervane::testing

#include "DesktopNotifier_test.moc"
