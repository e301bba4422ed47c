#include "NotificationManager.h"
#include "TestEnvironment.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QProcess>
#include <QTemporaryDir>
#include <QVariantMap>

#include <thread>

namespace {
// A stand-in for the desktop's notification daemon that records every Notify call.
class FakeNotificationServer : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Call {
        QString appName;
        uint replacesId = 0;
        QString appIcon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        int timeout = 0;
    };
    QList<Call> calls;

public slots:
    uint Notify(const QString &appName, uint replacesId, const QString &appIcon, const QString &summary,
                const QString &body, const QStringList &actions, const QVariantMap &hints, int timeout)
    {
        calls.append({appName, replacesId, appIcon, summary, body, actions, hints, timeout});
        return static_cast<uint>(calls.size());
    }
    QStringList GetCapabilities() { return {QStringLiteral("body")}; }
};

const char *kBusConfig = "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                         " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                         "<busconfig>\n"
                         "  <type>session</type>\n"
                         "  <listen>unix:tmpdir=%1</listen>\n"
                         "  <auth>EXTERNAL</auth>\n"
                         "  <policy context=\"default\">\n"
                         "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                         "    <allow eavesdrop=\"true\"/>\n"
                         "    <allow own=\"*\"/>\n"
                         "  </policy>\n"
                         "</busconfig>\n";
} // namespace

// Notifications over a private session bus whose configuration activates no service, so no real
// notification daemon can answer in the fake server's place.
class NotificationsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void notifyArguments();
    void twoSendsTwoNotifications();
    void sendsFromWorkerThreads();
    void noServerIsSilent();
    void noBusIsSilent();
    void permissionAskedOnce();

private:
    QDBusConnection clientConnection();

    QTemporaryDir m_dir;
    QProcess m_bus;
    QString m_address;
    int m_connections = 0;
    std::unique_ptr<FakeNotificationServer> m_server;
    QString m_serverName;
};

void NotificationsTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString configPath = m_dir.filePath(QStringLiteral("bus.conf"));
    QFile config(configPath);
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(QString::fromUtf8(kBusConfig).arg(m_dir.path()).toUtf8());
    config.close();

    m_bus.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + configPath,
                                                QStringLiteral("--print-address"), QStringLiteral("--nofork")});
    QVERIFY2(m_bus.waitForStarted(), "dbus-daemon is needed (package dbus)");
    QTRY_VERIFY(m_bus.canReadLine());
    m_address = QString::fromUtf8(m_bus.readLine()).trimmed();
    QVERIFY(!m_address.isEmpty());
}

void NotificationsTest::cleanupTestCase()
{
    m_bus.terminate();
    m_bus.waitForFinished();
}

QDBusConnection NotificationsTest::clientConnection()
{
    QDBusConnection connection =
        QDBusConnection::connectToBus(m_address, QStringLiteral("client-%1").arg(++m_connections));
    return connection;
}

void NotificationsTest::init()
{
    m_serverName = QStringLiteral("server-%1").arg(++m_connections);
    QDBusConnection server = QDBusConnection::connectToBus(m_address, m_serverName);
    QVERIFY(server.isConnected());
    m_server = std::make_unique<FakeNotificationServer>();
    QVERIFY(
        server.registerObject(QString(NotificationManager::kPath), m_server.get(), QDBusConnection::ExportAllSlots));
    QVERIFY(server.registerService(NotificationManager::kService));
}

void NotificationsTest::cleanup()
{
    QDBusConnection server(m_serverName);
    server.unregisterService(NotificationManager::kService);
    server.unregisterObject(QString(NotificationManager::kPath));
    QDBusConnection::disconnectFromBus(m_serverName);
    m_server.reset();
}

void NotificationsTest::notifyArguments()
{
    NotificationManager notifications(clientConnection());
    notifications.send(QStringLiteral("Dock nach iCloud hochgeladen ✅"), QStringLiteral("Tandrill"));
    QTRY_COMPARE(m_server->calls.size(), 1);
    const FakeNotificationServer::Call call = m_server->calls.first();
    QCOMPARE(call.appName, QStringLiteral("Tandrill"));
    QCOMPARE(call.replacesId, 0u);
    QCOMPARE(call.summary, QStringLiteral("Tandrill"));
    QCOMPARE(call.body, QStringLiteral("Dock nach iCloud hochgeladen ✅"));
    QVERIFY(call.actions.isEmpty());
    QCOMPARE(call.timeout, -1);
    QCOMPARE(call.hints.value(QStringLiteral("urgency")).toInt(), 1);
    QCOMPARE(call.hints.value(QStringLiteral("urgency")).metaType(), QMetaType::fromType<uchar>());
    QCOMPARE(call.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("tandrill"));
}

void NotificationsTest::twoSendsTwoNotifications()
{
    NotificationManager notifications(clientConnection());
    notifications.send(QStringLiteral("⚠️ Konflikt erkannt — bitte Push oder Pull manuell wählen"),
                       QStringLiteral("Tandrill"));
    notifications.send(QStringLiteral("Dock bereits synchron ✅"), QStringLiteral("Tandrill"));
    QTRY_COMPARE(m_server->calls.size(), 2);
    QCOMPARE(m_server->calls.at(0).body,
             QStringLiteral("⚠️ Konflikt erkannt — bitte Push oder Pull manuell wählen"));
    QCOMPARE(m_server->calls.at(1).body, QStringLiteral("Dock bereits synchron ✅"));
    // Neither replaces the other.
    QCOMPARE(m_server->calls.at(0).replacesId, 0u);
    QCOMPARE(m_server->calls.at(1).replacesId, 0u);
}

void NotificationsTest::sendsFromWorkerThreads()
{
    NotificationManager notifications(clientConnection());
    std::vector<std::thread> workers;
    for (int worker = 0; worker < 4; ++worker) {
        workers.emplace_back([&notifications, worker] {
            for (int i = 0; i < 5; ++i)
                notifications.send(QStringLiteral("body %1-%2").arg(worker).arg(i), QStringLiteral("Tandrill"));
        });
    }
    for (std::thread &worker : workers)
        worker.join();
    QTRY_COMPARE(m_server->calls.size(), 20);
    QCOMPARE(notifications.permissionRequests(), 1);
}

void NotificationsTest::noServerIsSilent()
{
    cleanup();
    QDBusConnection client = clientConnection();
    QVERIFY(!client.interface()->isServiceRegistered(NotificationManager::kService).value());
    NotificationManager notifications(client);
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    notifications.send(QStringLiteral("Dock von iCloud geladen ✅"), QStringLiteral("Tandrill"));
    notifications.send(QStringLiteral("❌ Pull fehlgeschlagen"), QStringLiteral("Tandrill"));
    // The bus's error replies arrive and are dropped without a trace.
    QTest::qWait(200);
    init();
}

void NotificationsTest::noBusIsSilent()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    NotificationManager notifications(
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("nowhere")));
    notifications.send(QStringLiteral("❌ Push fehlgeschlagen"), QStringLiteral("Tandrill"));
    QCOMPARE(m_server->calls.size(), 0);
}

void NotificationsTest::permissionAskedOnce()
{
    NotificationManager notifications(clientConnection());
    QVERIFY(!notifications.permissionRequested());
    // A send before the window was ever shown makes the request itself.
    notifications.send(QStringLiteral("Dock bereits synchron ✅"), QStringLiteral("Tandrill"));
    QVERIFY(notifications.permissionRequested());
    QVERIFY(notifications.permissionGranted());
    notifications.requestPermission();
    notifications.requestPermission();
    QCOMPARE(notifications.permissionRequests(), 1);
}

TANDRILL_TEST_MAIN_IMPL(NotificationsTest, QCoreApplication)
#include "tst_notifications.moc"
