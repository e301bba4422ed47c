#include "BookmarkManager.h"
#include "ChangeWatcher.h"
#include "CoordinatorHarness.h"
#include "LocalizationManager.h"
#include "TestCommon.h"

#include <QSemaphore>
#include <QSignalSpy>

#include <atomic>

using namespace std::chrono_literals;

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

private slots:
    void init()
    {
        m_root = TestEnvironment::root() + u"/coordinator-"_s + QString::number(++m_case);
        m_folder = m_root + u"/iCloud/Dock Sync"_s;
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
        QVERIFY(QFile::exists(m_folder + u"/status-Mac_mini.txt"_s) &&
                QFile::exists(m_folder + u"/com.apple.dock.plist"_s));
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
        // Dismissed while a folder read is in flight: the read's old answer does not bring it back.
        manager.refreshAll();
        manager.dismissConflict();
        QVERIFY(!manager.conflictDetected());
        first->settle();
        QVERIFY(!manager.conflictDetected());
        first->advance(5s);
        QVERIFY(!manager.conflictDetected());
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
        // A Mac whose status file the cloud evicted is still one of them.
        QVERIFY(TestFiles::place(m_folder + u"/status-beta.txt"_s, u"iCloud stub"_s));
        mac->advance(ChangeWatcher::kActivityQuiet);
        QCOMPARE(manager.connectedHosts().size(), 3);
        // Two more: the fifth Mac is welcomed, once.
        const qsizetype notices = mac->mac().notifier().bodies().size();
        writeBytes(m_folder + u"/status-gamma.txt"_s, "hostname=gamma");
        writeBytes(m_folder + u"/status-delta.txt"_s, "hostname=delta");
        QSignalSpy hosts(&manager, &SyncManager::connectedHostsChanged);
        mac->advance(ChangeWatcher::kActivityQuiet);
        QCOMPARE(manager.connectedHosts().size(), 5);
        QCOMPARE(mac->mac().notifier().bodies().size(), notices + 1);
        hosts.clear();
        QSignalSpy lines(&manager, &SyncManager::logLinesChanged);
        mac->advance(30s);
        QCOMPARE(hosts.count() + lines.count(), 0); // nothing changed, nothing announced
        QCOMPARE(mac->mac().notifier().bodies().size(), notices + 1);
        manager.removeHost(u"alpha"_s);
        mac->settle();
        QCOMPARE(manager.connectedHosts().size(), 4);
        QVERIFY(!QFile::exists(m_folder + u"/status-alpha.txt"_s));
        // Another folder, empty: nothing of this one stays on show.
        const QString empty = m_root + u"/Other"_s;
        QVERIFY(QDir().mkpath(empty));
        manager.performSync(Mode::Push);
        mac->settle();
        QCOMPARE(manager.remoteHostname(), u"zeta"_s);
        QCOMPARE(manager.lastSyncLocal(), u"2023-11-15 03:43:20"_s); // the Dock file's time, here 5:30 ahead of UTC
        manager.changeSyncFolder(empty);
        mac->settle();
        QCOMPARE(manager.connectedHosts().size(), 0);
        QCOMPARE(manager.logLines().size(), 0);
        QCOMPARE(manager.remoteHostname(), u"—"_s);
        QCOMPARE(manager.lastSyncRemote(), u"—"_s);
    }

    void settingsSurviveARestart_data()
    {
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("interval") << "intervalHours"_ba << QVariant(7);
        QTest::newRow("sync on start") << "syncOnStart"_ba << QVariant(true);
        QTest::newRow("sync on change") << "syncOnChange"_ba << QVariant(false);
        QTest::newRow("names") << "hostCustomNames"_ba << QVariant::fromValue(HostNameMap{{u"iMac"_s, u"Büro"_s}});
        QTest::newRow("language") << "lang"_ba << QVariant(u"en"_s);
        QTest::newRow("background sync started") << "daemonRunning"_ba << QVariant(true);
        QTest::newRow("background sync stopped") << "daemonRunning"_ba << QVariant(false);
    }
    void settingsSurviveARestart()
    {
        QFETCH(QByteArray, property);
        QFETCH(QVariant, value);
        const bool localization = property == "lang";
        auto mac = setUpMac();
        LocalizationManager language(&mac->settings(), QLocale(QLocale::German)); // followed, not stored
        QVERIFY(!mac->settings().contains(LocalizationManager::kLanguageKey));
        QObject *before = localization ? static_cast<QObject *>(&language) : &mac->start();
        if (property == "daemonRunning") { // switched with its buttons, not set
            auto *manager = static_cast<SyncManager *>(before);
            manager->startDaemon();
            if (!value.toBool())
                manager->stopDaemon();
        } else {
            QVERIFY(before->property(property.constData()) != value);
            QVERIFY(before->setProperty(property.constData(), value));
        }
        mac->stop();
        mac->settings().sync();
        LocalizationManager relaunched(&mac->settings(), QLocale(QLocale::German));
        QObject *after = localization ? static_cast<QObject *>(&relaunched) : &mac->start();
        QCOMPARE(after->property(property.constData()), value);
    }

    // Background runs come at the interval while background sync is on. Timers stand still in sleep:
    // a run due meanwhile comes at the first check after wake, once.
    void backgroundRuns_data()
    {
        QTest::addColumn<int>("sleptMinutes"); // none: awake throughout
        QTest::addColumn<int>("runsAfterWake");
        QTest::newRow("awake") << 0 << 0;
        QTest::newRow("asleep past the due time") << 150 << 1;
        QTest::newRow("asleep shorter than the period") << 30 << 0;
    }
    void backgroundRuns()
    {
        QFETCH(int, sleptMinutes);
        QFETCH(int, runsAfterWake);
        auto mac = setUpMac();
        const QDateTime start(QDate(2026, 3, 7), QTime(9, 0));
        if (sleptMinutes > 0)
            mac->mac().setNow(start);
        SyncManager &manager = mac->start();
        manager.setIntervalHours(2);
        mac->settle();
        manager.startDaemon();
        mac->advance(999ms);
        QCOMPARE(count("AUTO: Lokal="), 0);
        mac->advance(1ms);
        QCOMPARE(count("AUTO: Lokal="), 1);
        if (sleptMinutes > 0) {
            mac->mac().setNow(start.addSecs(sleptMinutes * 60)); // asleep: the wall clock alone moved on
            mac->advance(SyncManager::kWakeCheckPeriod);
            QCOMPARE(count("AUTO: Lokal="), 1 + runsAfterWake);
            mac->advance(20min); // the next run is a whole period after the last, by the wall clock
            QCOMPARE(count("AUTO: Lokal="), 1 + runsAfterWake);
            return;
        }
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

    // A user sync waits for a background run in flight; quick repeats while it waits are dropped.
    void userSyncNeverOverlapsABackgroundRun()
    {
        auto mac = setUpMac();
        SyncManager &gated = mac->start();
        gated.performSync(Mode::Push);
        mac->settle();
        // The next write anyone makes waits until released: a background run in flight without timing.
        QSemaphore entered, gate;
        std::atomic<bool> armed{true};
        SafeFile::setFaultInjector([&](SafeFile::Step, const QString &) {
            if (armed.exchange(false)) {
                entered.release();
                gate.acquire();
            }
            return 0;
        });
        const auto healed = qScopeGuard([] { SafeFile::setFaultInjector({}); });
        gated.daemonTick();
        QVERIFY(entered.tryAcquire(1, 10000)); // the background run is inside its work now
        gated.performSync(Mode::Push);
        QVERIFY(gated.isSyncing());
        gated.performSync(Mode::Push); // quick repeats while one waits run once
        gated.performSync(Mode::Pull);
        gated.daemonTick(); // nor does another background run come after it
        QTest::qWait(100);
        const int earlier = count("PUSH: Sende");
        gate.release();
        QCOMPARE(earlier, 1); // only the earlier push, while the background run is held
        QTRY_VERIFY(!gated.hasPendingWork());
        QCOMPARE(count("PUSH: Sende"), 2);
        QCOMPARE(count("PULL:"), 0);
        const QByteArray log = macLogs();
        QVERIFY(log.lastIndexOf("AUTO: Dock ist bereits synchron") < log.lastIndexOf("PUSH: Sende"));
    }

    // Background sync acts once a change settled, and not on its own echo; a lost watch comes back.
    void changeDrivenRuns_data()
    {
        QTest::addColumn<bool>("shared"); // the iMac's push arriving, else this Mac's Dock changing
        QTest::addColumn<bool>("rewrites");
        QTest::addColumn<bool>("syncOnChange");
        QTest::addColumn<QString>("folder"); // what happened to the folder before the change
        QTest::newRow("shared, in two steps") << true << false << true << u""_s;
        QTest::newRow("shared, the Dock rewrites its file after the pull") << true << true << true << u""_s;
        QTest::newRow("local") << false << false << true << u""_s;
        QTest::newRow("local, the Dock rewrites its file after the push") << false << true << true << u""_s;
        QTest::newRow("shared, setting off: the interval only") << true << false << false << u""_s;
        QTest::newRow("shared, folder renamed and back") << true << false << true << u"renamed"_s;
        QTest::newRow("shared, folder replaced by a copy") << true << false << true << u"replaced"_s;
    }
    void changeDrivenRuns()
    {
        QFETCH(bool, shared);
        QFETCH(bool, rewrites);
        QFETCH(bool, syncOnChange);
        QFETCH(QString, folder);
        // A file arrives as a sync service delivers it: whole, by rename, with its time.
        const auto land = [](const QString &from, const QString &to, const QString &name) {
            return SafeFile::copyReplacing(from + u'/' + name, to + u'/' + name).ok();
        };
        auto mac = setUpMac();
        mac->mac().dock().setRewritesOnRestart(rewrites);
        SyncManager &manager = mac->start();
        manager.setSyncOnChange(syncOnChange);
        manager.startDaemon();
        mac->advance(1min); // the first run shares this Mac's Dock
        QCOMPARE(manager.engineRuns(), 1);
        if (!folder.isEmpty()) {
            const QString away = m_root + u"/iCloud/away"_s;
            QVERIFY(QDir().rename(m_folder, away));
            mac->advance(1min);
            QVERIFY(folder == u"renamed"_s ? QDir().rename(away, m_folder) : QDir().mkpath(m_folder));
            for (const QString &name : QDir(away).entryList(QDir::Files))
                QVERIFY(land(away, m_folder, name));
            manager.refreshAll();
            mac->settle();
        }
        const auto quiet = shared ? ChangeWatcher::kSharedQuiet : ChangeWatcher::kLocalQuiet;
        if (shared) {
            // The iMac, in step with the shared folder, pushes from a folder of its own.
            const QString staging = m_root + u"/iMac's view"_s;
            QVERIFY(QDir().mkpath(staging));
            for (const QLatin1StringView name : {SyncFormat::kDockFileName, SyncFormat::kMetaFileName})
                QVERIFY(land(m_folder, staging, name));
            SimulatedMac imac(u"iMac"_s, staging, m_root);
            QCOMPARE(imac.run(Mode::Pull), SyncEngine::Result::pulled());
            imac.writeDock("<imac>", 1'800'000'000);
            QCOMPARE(imac.run(Mode::Push), SyncEngine::Result::pushed());
            QVERIFY(land(staging, m_folder, SyncFormat::kDockFileName));
            mac->advance(quiet - 1s); // the meta file is still on its way
            QVERIFY(land(staging, m_folder, SyncFormat::kMetaFileName));
        } else {
            // Another Mac's status arriving meanwhile does not share a Dock still being rearranged.
            writeBytes(m_folder + u"/status-iMac.txt"_s, "hostname=iMac");
            mac->mac().writeDock("<mini, rearranged>", 1'750'000'000);
        }
        mac->advance(quiet - 1ms);
        QCOMPARE(manager.engineRuns(), 1);
        mac->advance(1ms);
        const int afterChange = syncOnChange ? 2 : 1;
        QCOMPARE(manager.engineRuns(), afterChange);
        if (rewrites)
            mac->mac().dock().restartDock(); // as the Dock does some time after it was restarted
        mac->advance(30min);
        QCOMPARE(manager.engineRuns(), afterChange);
        mac->advance(1h); // the interval runs as before
        QCOMPARE(manager.engineRuns(), afterChange + 1);
        if (shared)
            QCOMPARE(mac->mac().dockBytes(), "<imac>"_ba);
        else
            QCOMPARE(readBytes(m_folder + u"/com.apple.dock.plist"_s), "<mini, rearranged>"_ba);
        QCOMPARE(count("PUSH: Sende"), shared ? 1 : 2);
        QCOMPARE(count("PULL: Hole"), shared ? 1 : 0);
        QCOMPARE(mac->mac().notifier().bodies().size(), 2); // a background run in sync is silent
    }

    void bookmarkFollowsARenamedFolder()
    {
        auto mac = setUpMac();
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
