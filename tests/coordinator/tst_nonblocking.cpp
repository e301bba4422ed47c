#include "CoordinatorHarness.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

#include <sys/stat.h>

// A file of a cloud folder that is not downloaded can block a read for a long time. A named pipe
// with no writer blocks the same way, for ever: the interface must keep running while the sync
// folder holds one in place of the meta file, the log or a status file.
class TestNonBlocking : public QObject {
    Q_OBJECT

private slots:
    void mainThreadKeepsRunningWhileSharedFilesBlock_data()
    {
        QTest::addColumn<QString>("blockedFile");
        QTest::newRow("meta file") << QStringLiteral("tandrill-meta.txt");
        QTest::newRow("log") << QStringLiteral("tandrill.log");
        QTest::newRow("status file") << QStringLiteral("status-iMac.txt");
        QTest::newRow("shared Dock copy") << QStringLiteral("com.apple.dock.plist");
    }
    void mainThreadKeepsRunningWhileSharedFilesBlock()
    {
        QFETCH(QString, blockedFile);
        const QString root = TestEnvironment::root() + QLatin1Char('/') + QString::fromLatin1(QTest::currentDataTag());
        const QString folder = root + QLatin1String("/shared");
        QDir().mkpath(folder);
        CoordinatorHarness mac(QStringLiteral("Mac mini"), root);
        mac.mac().writeDock("<dock>", 1'700'000'000);
        mac.storeSetUp(folder);
        writeBytes(folder + QLatin1String("/status-Studio.txt"), "hostname=Studio\nlast_action=push");
        const QString fifo = folder + QLatin1Char('/') + blockedFile;
        QFile::remove(fifo);
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);

        SyncManager &manager = mac.start();
        qint64 longestGap = 0;
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0;
        QTimer heartbeat;
        heartbeat.setTimerType(Qt::PreciseTimer);
        connect(&heartbeat, &QTimer::timeout, this, [&] {
            const qint64 now = clock.elapsed();
            longestGap = std::max(longestGap, now - last);
            last = now;
        });
        heartbeat.start(5);
        QTimer refresher;
        connect(&refresher, &QTimer::timeout, &manager, [&] {
            manager.refreshAll();
            manager.performSync(SyncEngine::Mode::Auto);
        });
        refresher.start(20);

        QTest::qWait(1500);
        refresher.stop();
        QTRY_VERIFY_WITH_TIMEOUT(!manager.hasPendingWork(), 10000);
        heartbeat.stop();

        QVERIFY2(longestGap <= 50, qPrintable(QStringLiteral("longest gap %1 ms").arg(longestGap)));
        // The coordinator kept working: syncs ran to an end and the other Macs are still listed.
        QVERIFY(!manager.isSyncing());
        QVERIFY(!manager.statusMessage().isEmpty());
        const QList<HostInfo> hosts = manager.connectedHosts();
        QVERIFY(std::any_of(hosts.begin(), hosts.end(),
                            [](const HostInfo &host) { return host.hostname == QLatin1String("Studio"); }));
        QVERIFY(mac.mac().hasDock());
        QCOMPARE(mac.mac().dockBytes(), QByteArray("<dock>"));
    }
};

TANDRILL_TEST_MAIN(TestNonBlocking)
#include "tst_nonblocking.moc"
