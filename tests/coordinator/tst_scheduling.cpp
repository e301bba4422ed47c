#include "CoordinatorHarness.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QSemaphore>
#include <QSignalSpy>

#include <atomic>

using namespace std::chrono_literals;
using Mode = SyncEngine::Mode;

namespace {

int autoRuns(const QString &folder)
{
    return static_cast<int>(
        QString::fromUtf8(readBytes(folder + QLatin1String("/tandrill.log"))).count(QStringLiteral("AUTO: Lokal=")));
}

// Holds the engine inside its first notification until released, so a test can act while a run
// is in flight without relying on timing.
class GateNotifier final : public Notifier {
public:
    void send(const QString &, const QString &) override
    {
        if (m_armed.exchange(false)) {
            m_entered.release();
            m_gate.acquire();
        }
    }
    void arm() { m_armed = true; }
    bool waitUntilEntered() { return m_entered.tryAcquire(1, 10000); }
    void release() { m_gate.release(); }

private:
    std::atomic<bool> m_armed{false};
    QSemaphore m_entered;
    QSemaphore m_gate;
};

} // namespace

class TestScheduling : public QObject {
    Q_OBJECT

private:
    QString m_root;
    QString m_folder;
    int m_case = 0;

    std::unique_ptr<CoordinatorHarness> setUpMac()
    {
        auto mac = std::make_unique<CoordinatorHarness>(QStringLiteral("Mac mini"), m_root);
        mac->mac().writeDock("<dock>", 1'700'000'000);
        mac->storeSetUp(m_folder);
        return mac;
    }

    // A coordinator of the simulated Mac whose engine notifications pass through the gate.
    static std::unique_ptr<SyncManager> startGated(CoordinatorHarness &mac, GateNotifier &gate)
    {
        CoordinatorServices services;
        services.settings = &mac.settings();
        services.hostName = [] { return QStringLiteral("Mac mini"); };
        services.engine = mac.mac().services();
        services.engine.notices = noticesTo(&gate);
        services.scheduler = &mac.scheduler();
        auto manager = std::make_unique<SyncManager>(services);
        while (manager->hasPendingWork())
            QCoreApplication::processEvents();
        return manager;
    }

private slots:
    void init()
    {
        m_root = TestEnvironment::root() + QLatin1String("/sched-") + QString::number(++m_case);
        m_folder = m_root + QLatin1String("/shared");
        QDir().mkpath(m_root);
    }

    void periodFollowsTheInterval_data()
    {
        QTest::addColumn<int>("hours");
        QTest::addColumn<qint64>("periodMs");
        QTest::newRow("1 hour") << 1 << qint64(3'600'000);
        QTest::newRow("24 hours") << 24 << qint64(86'400'000);
        QTest::newRow("below one counts as one") << 0 << qint64(3'600'000);
    }
    void periodFollowsTheInterval()
    {
        QFETCH(int, hours);
        QFETCH(qint64, periodMs);
        auto mac = setUpMac();
        SyncManager &manager = mac->start();
        manager.setIntervalHours(hours);
        manager.startDaemon();
        QCOMPARE(manager.autoSyncPeriod(), std::optional<std::chrono::milliseconds>(periodMs));
        QVERIFY(mac->settings().value(QStringLiteral("TandrillAutoSyncActive")).toBool());
    }

    void ticksComeAtTheInterval()
    {
        auto mac = setUpMac();
        SyncManager &manager = mac->start();
        manager.setIntervalHours(2);
        mac->settle();
        manager.startDaemon();
        mac->advance(999ms);
        QCOMPARE(autoRuns(m_folder), 0);
        mac->advance(1ms);
        QCOMPARE(autoRuns(m_folder), 1);
        mac->advance(2h - 1s);
        QCOMPARE(autoRuns(m_folder), 2);
        mac->advance(6h);
        QCOMPARE(autoRuns(m_folder), 5);

        // A restart replaces the timer: one extra run after a second, then a new period.
        manager.startDaemon();
        mac->advance(1s);
        QCOMPARE(autoRuns(m_folder), 6);
        mac->advance(2h - 1s - 1ms);
        QCOMPARE(autoRuns(m_folder), 6);
        mac->advance(1ms);
        QCOMPARE(autoRuns(m_folder), 7);

        manager.stopDaemon();
        mac->advance(10h);
        QCOMPARE(autoRuns(m_folder), 7);
        QVERIFY(!mac->settings().value(QStringLiteral("TandrillAutoSyncActive")).toBool());
    }

    void stopBeforeTheFirstRunCancelsIt()
    {
        auto mac = setUpMac();
        SyncManager &manager = mac->start();
        manager.startDaemon();
        manager.stopDaemon();
        mac->advance(3h);
        QCOMPARE(autoRuns(m_folder), 0);
    }

    void resumedAfterRelaunch()
    {
        auto mac = setUpMac();
        mac->settings().setValue(QStringLiteral("TandrillAutoSyncActive"), true);
        mac->settings().setValue(QStringLiteral("TandrillSyncOnStart"), true);
        SyncManager &manager = mac->start();
        QVERIFY(manager.daemonRunning());
        QSignalSpy syncing(&manager, &SyncManager::isSyncingChanged);
        mac->advance(999ms);
        QCOMPARE(autoRuns(m_folder), 0);
        mac->advance(1ms);
        QCOMPARE(autoRuns(m_folder), 1);
        QCOMPARE(syncing.count(), 0); // the background run is invisible
        mac->advance(499ms);
        QCOMPARE(syncing.count(), 0);
        mac->advance(1ms);
        QCOMPARE(autoRuns(m_folder), 2);
        QCOMPARE(syncing.count(), 2); // the sync on start is user-visible
    }

    void userSyncNeverOverlapsABackgroundRun()
    {
        auto mac = setUpMac();
        GateNotifier gate;
        SyncManager &manager = mac->start();
        mac->settle();
        manager.performSync(Mode::Push); // shared state now equal: the next auto run is "in sync"
        mac->settle();
        mac->stop();

        const auto managed = startGated(*mac, gate);
        SyncManager &gated = *managed;

        gate.arm();
        gated.daemonTick();
        QVERIFY(gate.waitUntilEntered()); // the background run is inside its notification now
        gated.performSync(Mode::Push);
        QVERIFY(gated.isSyncing());
        QTest::qWait(100);
        const QString log = QString::fromUtf8(readBytes(m_folder + QLatin1String("/tandrill.log")));
        QCOMPARE(log.count(QStringLiteral("PUSH: Sende")), 1); // only the earlier push
        gate.release();
        QTRY_VERIFY(!gated.hasPendingWork());
        QVERIFY(!gated.isSyncing());
        const QString after = QString::fromUtf8(readBytes(m_folder + QLatin1String("/tandrill.log")));
        QCOMPARE(after.count(QStringLiteral("PUSH: Sende")), 2);
        QVERIFY(after.lastIndexOf(QStringLiteral("AUTO: Dock ist bereits synchron")) <
                after.lastIndexOf(QStringLiteral("PUSH: Sende")));
    }

    void backgroundTickSkippedWhileUserSyncRuns()
    {
        auto mac = setUpMac();
        SyncManager &manager = mac->start();
        mac->settle();
        manager.performSync(Mode::Push);
        manager.daemonTick();
        mac->settle();
        QCOMPARE(autoRuns(m_folder), 0);
    }

    void stopWhileARunIsInFlight()
    {
        auto mac = setUpMac();
        GateNotifier gate;
        const auto managed = startGated(*mac, gate);
        SyncManager &manager = *managed;

        manager.startDaemon();
        gate.arm();
        mac->scheduler().advance(1s);
        QVERIFY(gate.waitUntilEntered());
        manager.stopDaemon();
        gate.release();
        QTRY_VERIFY(!manager.hasPendingWork());
        // The run finished and its refresh happened.
        QVERIFY(!manager.logLines().isEmpty());
        QCOMPARE(manager.remoteHostname(), QStringLiteral("Mac mini"));
        mac->scheduler().advance(48h);
        QTRY_VERIFY(!manager.hasPendingWork());
        QCOMPARE(autoRuns(m_folder), 1);
    }

    void refreshTicksNotifyOnlyOnChange()
    {
        auto mac = setUpMac();
        SyncManager &manager = mac->start();
        mac->settle();
        QSignalSpy hosts(&manager, &SyncManager::connectedHostsChanged);
        QSignalSpy log(&manager, &SyncManager::logLinesChanged);
        mac->advance(30s);
        QCOMPARE(hosts.count(), 0);
        QCOMPARE(log.count(), 0);
        writeBytes(m_folder + QLatin1String("/status-iMac.txt"), "hostname=iMac\nlast_action=pull");
        mac->advance(5s);
        QCOMPARE(hosts.count(), 1);
        QCOMPARE(manager.connectedHosts().last().hostname, QStringLiteral("iMac"));
    }
};

TANDRILL_TEST_MAIN(TestScheduling)
#include "tst_scheduling.moc"
