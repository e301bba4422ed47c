#include "BookmarkManager.h"
#include "CoordinatorHarness.h"
#include "TestCommon.h"

#include <QSemaphore>
#include <QSignalSpy>

#include <atomic>

using namespace std::chrono_literals;

namespace {

// Holds the engine inside its first notification until released, so a test can act while a run
// is in flight without relying on timing.
// Holds the engine's next read of this Mac's Dock until released (a background run stays quiet,
// so its notification cannot hold it).
class GateDock final : public DockPreferences {
public:
    explicit GateDock(DockPreferences *dock) : m_dock(dock) {}
    std::optional<QByteArray> exportCurrent() override
    {
        if (m_armed.exchange(false)) {
            m_entered.release();
            m_gate.acquire();
        }
        return m_dock->exportCurrent();
    }
    std::optional<QString> import(const QByteArray &bytes) override { return m_dock->import(bytes); }
    void restartDock() override { m_dock->restartDock(); }
    void arm() { m_armed = true; }
    bool waitUntilEntered() { return m_entered.tryAcquire(1, 10000); }
    void release() { m_gate.release(); }

private:
    DockPreferences *m_dock;
    std::atomic<bool> m_armed{false};
    QSemaphore m_entered;
    QSemaphore m_gate;
};

} // namespace

// The coordinator of one Mac on fake services and virtual time.
class TestCoordinator : public QObject {
    Q_OBJECT

    QString m_root;
    QString m_folder;
    int m_case = 0;

    std::unique_ptr<CoordinatorHarness> setUpMac(const QString &hostname = u"Mac mini"_s)
    {
        auto mac = std::make_unique<CoordinatorHarness>(hostname, m_root);
        mac->mac().writeDock("<dock of " + hostname.toUtf8() + ">", 1'700'000'000.25);
        mac->storeSetUp(m_folder);
        return mac;
    }
    QByteArray macLogs() const // every Mac's own log file
    {
        QByteArray logs;
        for (const QString &name : QDir(m_folder).entryList({u"log-*.txt"_s}, QDir::Files, QDir::Name))
            logs += readBytes(m_folder + u'/' + name);
        return logs;
    }
    int count(const char *needle) const { return static_cast<int>(macLogs().count(needle)); }
    // A coordinator of the simulated Mac whose engine notifications pass through the gate.
    static std::unique_ptr<SyncManager> startGated(CoordinatorHarness &mac, GateDock &gate)
    {
        CoordinatorServices services;
        services.settings = &mac.settings();
        services.hostName = [] { return u"Mac mini"_s; };
        services.engine = mac.mac().services();
        services.engine.dockPreferences = &gate;
        services.scheduler = &mac.scheduler();
        auto manager = std::make_unique<SyncManager>(services);
        while (manager->hasPendingWork())
            QCoreApplication::processEvents();
        return manager;
    }

private slots:
    void init()
    {
        m_root = TestEnvironment::root() + u"/coordinator-"_s + QString::number(++m_case);
        m_folder = m_root + u"/iCloud/Dock Sync"_s;
        QDir().mkpath(m_root);
    }

    void resetKeepsLanguageBackupsAndSharedFiles()
    {
        auto mac = setUpMac();
        mac->settings().setValue(u"TandrillLanguage"_s, u"en"_s);
        SyncManager &manager = mac->start();
        manager.startDaemon();
        manager.setLaunchAtLogin(true);
        manager.setDisplayName(u"Büro"_s, u"Mac mini"_s);
        manager.performSync(Mode::Push);
        mac->settle();
        const QStringList backups = mac->mac().backups();
        QCOMPARE(backups.size(), 1);
        manager.resetAllSettings();
        QCOMPARE(mac->settings().value(u"TandrillLanguage"_s).toString(), u"en"_s);
        QVERIFY(!mac->settings().contains(u"TandrillFolderPath"_s));
        QVERIFY(!manager.isOnboardingComplete());
        QVERIFY(!manager.daemonRunning());
        QVERIFY(manager.hostCustomNames().isEmpty());
        QCOMPARE(mac->loginItem().status(), LoginItem::Status::NotRegistered);
        QCOMPARE(mac->mac().backups(), backups);
        QVERIFY(QFile::exists(m_folder + u"/status-Mac_mini.txt"_s));
        QVERIFY(QFile::exists(m_folder + u"/com.apple.dock.plist"_s));
        mac->advance(2h);
        QCOMPARE(count("PUSH: Sende"), 1); // not set up: ticks do nothing
    }

    void conflictFlag()
    {
        auto first = setUpMac();
        auto second = setUpMac(u"iMac"_s);
        // Mac mini agreed at 100; then iMac pushed 200 and the local Dock changed at 150.
        first->mac().writeDock("<mini>", 100);
        QCOMPARE(first->mac().run(Mode::Push), SyncEngine::Result::pushed());
        second->mac().writeDock("<imac>", 200);
        QCOMPARE(second->mac().run(Mode::Push), SyncEngine::Result::pushed());
        first->mac().writeDock("<mini changed>", 150);
        SyncManager &manager = first->start();
        first->settle();
        manager.performSync(Mode::Auto);
        first->settle();
        QVERIFY(manager.conflictDetected());
        first->advance(5s);
        QVERIFY(manager.conflictDetected());
        // Dismissed while a folder read is in flight: the read's old answer does not bring it back.
        manager.refreshAll();
        manager.dismissConflict();
        QVERIFY(!manager.conflictDetected());
        first->settle();
        QVERIFY(!manager.conflictDetected());
        first->advance(5s);
        QVERIFY(!manager.conflictDetected());
        QVERIFY(!QFile::exists(manager.conflictFilePath()));
        QCOMPARE(first->mac().dockBytes(), "<mini changed>"_ba); // dismissing changes no Dock
        // A marker left by the engine shows at the next refresh; a manual push clears it at once.
        writeBytes(manager.conflictFilePath(), {});
        first->advance(5s);
        QVERIFY(manager.conflictDetected());
        manager.performSync(Mode::Push);
        QVERIFY(!manager.conflictDetected());
        first->settle();
        QVERIFY(!manager.conflictDetected());
    }

    void hostsAndLog()
    {
        auto mac = setUpMac(u"zeta"_s);
        writeBytes(m_folder + u"/status-alpha.txt"_s, "hostname=alpha\nlast_action=push");
        QByteArray log;
        for (int i = 1; i <= 500; ++i)
            log += "[2024-05-01 10:00:00] [iMac] line " + QByteArray::number(i) + "\n";
        writeBytes(m_folder + u"/tandrill.log"_s, log);
        SyncManager &manager = mac->start();
        mac->settle();
        QCOMPARE(manager.connectedHosts().size(), 2);
        QCOMPARE(manager.logLines().size(), 80); // the newest, newest first
        QCOMPARE(manager.logLines().at(1).message(), u"line 500"_s);
        QSignalSpy hosts(&manager, &SyncManager::connectedHostsChanged);
        QSignalSpy lines(&manager, &SyncManager::logLinesChanged);
        mac->advance(30s);
        QCOMPARE(hosts.count() + lines.count(), 0); // nothing changed, nothing announced
        manager.removeHost(u"alpha"_s);
        mac->settle();
        QCOMPARE(manager.connectedHosts().size(), 1);
        QVERIFY(!QFile::exists(m_folder + u"/status-alpha.txt"_s));
    }

    void backgroundTiming()
    {
        auto mac = setUpMac();
        SyncManager &manager = mac->start();
        manager.setIntervalHours(2);
        mac->settle();
        manager.startDaemon();
        mac->advance(999ms);
        QCOMPARE(count("AUTO: Lokal="), 0);
        mac->advance(1ms);
        QCOMPARE(count("AUTO: Lokal="), 1);
        mac->advance(8h);
        QCOMPARE(count("AUTO: Lokal="), 5);
        manager.stopDaemon();
        mac->advance(10h);
        QCOMPARE(count("AUTO: Lokal="), 5);
        // Relaunched with the daemon on and sync on start: both runs come, only the second is visible.
        mac->settings().setValue(u"TandrillSyncOnStart"_s, true);
        mac->settings().setValue(u"TandrillAutoSyncActive"_s, true);
        mac->stop();
        SyncManager &relaunched = mac->start();
        QSignalSpy syncing(&relaunched, &SyncManager::isSyncingChanged);
        mac->advance(1s);
        QCOMPARE(count("AUTO: Lokal="), 6);
        QCOMPARE(syncing.count(), 0);
        mac->advance(500ms);
        QCOMPARE(count("AUTO: Lokal="), 7);
        QCOMPARE(syncing.count(), 2);
    }

    // Timers stand still while the Mac sleeps; a background run that fell due meanwhile comes with
    // the first refresh tick after wake, and the next one a whole period after it.
    void backgroundRunAfterSleep_data()
    {
        QTest::addColumn<int>("sleptMinutes");
        QTest::addColumn<int>("runsAfterWake");
        QTest::newRow("past the due time") << 150 << 1;
        QTest::newRow("shorter than the period") << 30 << 0;
    }
    void backgroundRunAfterSleep()
    {
        QFETCH(int, sleptMinutes);
        QFETCH(int, runsAfterWake);
        auto mac = setUpMac();
        const QDateTime start(QDate(2026, 3, 7), QTime(9, 0));
        mac->mac().setNow(start);
        SyncManager &manager = mac->start();
        manager.setIntervalHours(1);
        mac->settle();
        manager.startDaemon();
        mac->advance(1s);
        QCOMPARE(count("AUTO: Lokal="), 1);
        mac->mac().setNow(start.addSecs(sleptMinutes * 60)); // asleep: the wall clock alone moved on
        mac->advance(5s);
        QCOMPARE(count("AUTO: Lokal="), 1 + runsAfterWake);
        mac->advance(50min);
        QCOMPARE(count("AUTO: Lokal="), 1 + runsAfterWake);
    }

    // A user sync waits for a background run in flight; quick repeats while it waits are dropped.
    void userSyncNeverOverlapsABackgroundRun()
    {
        auto mac = setUpMac();
        mac->start().performSync(Mode::Push);
        mac->settle();
        mac->stop();
        GateDock gate(mac->mac().services().dockPreferences);
        const auto gated = startGated(*mac, gate);
        gate.arm();
        gated->daemonTick();
        QVERIFY(gate.waitUntilEntered()); // the background run is inside its read of the Dock now
        gated->performSync(Mode::Push);
        QVERIFY(gated->isSyncing());
        gated->performSync(Mode::Push); // quick repeats while one waits run once
        gated->performSync(Mode::Pull);
        gated->daemonTick(); // nor does another background run come after it
        QTest::qWait(100);
        QCOMPARE(count("PUSH: Sende"), 1); // only the earlier push
        gate.release();
        QTRY_VERIFY(!gated->hasPendingWork());
        QCOMPARE(count("PUSH: Sende"), 2);
        QCOMPARE(count("PULL:"), 0);
        const QByteArray log = macLogs();
        QVERIFY(log.lastIndexOf("AUTO: Dock ist bereits synchron") < log.lastIndexOf("PUSH: Sende"));
    }

    void bookmarkFollowsARenamedFolder()
    {
        auto mac = setUpMac();
        QDir().mkpath(m_folder);
        mac->bookmarks().saveBookmark(m_folder);
        const QString moved = m_root + u"/iCloud/Dock (moved)"_s;
        QVERIFY(QDir().rename(m_folder, moved));
        QTest::ignoreMessage(QtWarningMsg, "Tandrill: Bookmark ist stale, erneuere …");
        SyncManager &manager = mac->start();
        QCOMPARE(manager.syncFolderPath(), moved);
        QCOMPARE(mac->settings().value(u"TandrillFolderPath"_s).toString(), moved);
        mac->settle();
        QVERIFY(QFile::exists(moved + u"/status-Mac_mini.txt"_s));
        mac->stop();
        QCOMPARE(mac->start().syncFolderPath(), moved); // renewed: no longer stale
        mac->settle();
        // Renamed while running: the next sync follows, and nothing is made at the old place.
        const QString again = m_root + u"/iCloud/Dock (again)"_s;
        QVERIFY(QDir().rename(moved, again));
        mac->manager().performSync(Mode::Push);
        mac->settle();
        QCOMPARE(mac->manager().syncFolderPath(), again);
        QCOMPARE(mac->manager().syncStatus().outcome, SyncStatus::Outcome::Done);
        QVERIFY(QFile::exists(again + u"/com.apple.dock.plist"_s) && !QFileInfo::exists(moved));
    }
};

TANDRILL_TEST_CLASS(TestCoordinator)
#include "tst_coordinator.moc"
