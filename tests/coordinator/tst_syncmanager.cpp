#include "CoordinatorHarness.h"
#include "FolderSnapshot.h"
#include "SyncFormat.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QSignalSpy>

using namespace std::chrono_literals;
using Mode = SyncEngine::Mode;

namespace {

int countLines(const QString &path, const QString &needle)
{
    return static_cast<int>(QString::fromUtf8(readBytes(path)).count(needle));
}

} // namespace

class TestSyncManager : public QObject {
    Q_OBJECT

private:
    QString m_root;
    QString m_folder;
    int m_case = 0;

    std::unique_ptr<CoordinatorHarness> setUpMac(const QString &hostname, bool withDock = true)
    {
        auto harness = std::make_unique<CoordinatorHarness>(hostname, m_root);
        if (withDock)
            harness->mac().writeDock("<dock of " + hostname.toUtf8() + ">", 1'700'000'000.25);
        harness->storeSetUp(m_folder);
        return harness;
    }

    QString logPath() const { return m_folder + QLatin1String("/tandrill.log"); }

private slots:
    void init()
    {
        m_root = TestEnvironment::root() + QLatin1String("/case-") + QString::number(++m_case);
        m_folder = m_root + QLatin1String("/iCloud/Dock Sync");
        QDir().mkpath(m_root);
    }

    void firstLaunchWithEmptyStore()
    {
        CoordinatorHarness mac(QStringLiteral("Mac mini"), m_root);
        SyncManager &manager = mac.start();
        mac.settle();
        QVERIFY(!manager.isOnboardingComplete());
        QCOMPARE(manager.syncFolderPath(), QString());
        QCOMPARE(manager.intervalHours(), 1);
        QCOMPARE(manager.lastSyncLocal(), QStringLiteral("—"));
        QCOMPARE(manager.lastSyncRemote(), QStringLiteral("—"));
        QCOMPARE(manager.remoteHostname(), QStringLiteral("—"));
        QVERIFY(!manager.daemonRunning());
        QCOMPARE(mac.scheduler().repeatingPeriods(), QList<std::chrono::milliseconds>{5000ms});
        // The assignments at start store their values back; nothing else is written.
        QCOMPARE(mac.settings().value(QStringLiteral("TandrillIntervalHours")).toInt(), 1);
        QCOMPARE(mac.settings().value(QStringLiteral("TandrillSyncOnStart")).toBool(), false);
        QVERIFY(!mac.settings().contains(QStringLiteral("TandrillAutoSyncActive")));
        mac.advance(60s);
        QVERIFY(manager.logLines().isEmpty());
        QCOMPARE(manager.lastSyncLocal(), QStringLiteral("—"));
    }

    void storedIntervalIsClamped_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("expected");
        QTest::newRow("zero") << QVariant(0) << 1;
        QTest::newRow("negative") << QVariant(-4) << 1;
        QTest::newRow("one") << QVariant(1) << 1;
        QTest::newRow("six") << QVariant(6) << 6;
        QTest::newRow("garbage") << QVariant(QStringLiteral("often")) << 1;
    }
    void storedIntervalIsClamped()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, expected);
        CoordinatorHarness mac(QStringLiteral("Mac mini"), m_root);
        mac.settings().setValue(QStringLiteral("TandrillIntervalHours"), stored);
        QCOMPARE(mac.start().intervalHours(), expected);
        QCOMPARE(mac.settings().value(QStringLiteral("TandrillIntervalHours")).toInt(), expected);
    }

    void displayNamesRoundTrip()
    {
        CoordinatorHarness mac(QStringLiteral("Mac mini"), m_root);
        mac.start().setDisplayName(QStringLiteral("  \tBüro\t "), QStringLiteral("Lab's MacBook Pro"));
        QCOMPARE(mac.manager().hostCustomNames().value(QStringLiteral("Lab's MacBook Pro")), QStringLiteral("Büro"));
        const QByteArray stored = mac.settings().value(QStringLiteral("TandrillHostCustomNames")).toByteArray();
        QCOMPARE(stored, QByteArray("{\"Lab's MacBook Pro\":\"Büro\"}"));
        mac.stop();
        QCOMPARE(mac.start().hostCustomNames(),
                 (HostNameMap{{QStringLiteral("Lab's MacBook Pro"), QStringLiteral("Büro")}}));
        mac.manager().setDisplayName(QStringLiteral("   "), QStringLiteral("Lab's MacBook Pro"));
        QVERIFY(mac.manager().hostCustomNames().isEmpty());
        QCOMPARE(mac.settings().value(QStringLiteral("TandrillHostCustomNames")).toByteArray(), QByteArray("{}"));
    }

    void undecodableNamesAreLeftAlone_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("not json") << QByteArray("Büro, Küche");
        QTest::newRow("array") << QByteArray("[\"a\"]");
        QTest::newRow("number value") << QByteArray("{\"a\":1}");
    }
    void undecodableNamesAreLeftAlone()
    {
        QFETCH(QByteArray, stored);
        CoordinatorHarness mac(QStringLiteral("Mac mini"), m_root);
        mac.settings().setValue(QStringLiteral("TandrillHostCustomNames"), stored);
        QVERIFY(mac.start().hostCustomNames().isEmpty());
        QCOMPARE(mac.settings().value(QStringLiteral("TandrillHostCustomNames")).toByteArray(), stored);
    }

    void startUpWhenSetUpRegistersAndRefreshes()
    {
        auto mac = setUpMac(QStringLiteral("Lab's MacBook Pro"));
        SyncManager &manager = mac->start();
        mac->settle();
        const QByteArray status = readBytes(m_folder + QLatin1String("/status-Labs_MacBook_Pro.txt"));
        QVERIFY2(status.contains("last_action=online"), status.constData());
        QCOMPARE(manager.connectedHosts().size(), 1);
        QVERIFY(manager.connectedHosts().first().isThisMac);
        QCOMPARE(manager.logLines().first().message(), QStringLiteral("STATUS: Präsenz registriert"));
        // No meta file yet: the sync-info strings stay as they were, the local time included.
        QCOMPARE(manager.lastSyncLocal(), QStringLiteral("—"));
        QVERIFY(!manager.daemonRunning());
    }

    void syncInfoFollowsTheMetaFile()
    {
        auto mac = setUpMac(QStringLiteral("Mac mini"));
        SyncManager &manager = mac->start();
        writeBytes(m_folder + QLatin1String("/tandrill-meta.txt"),
                   "mtime=1\nhost=MacBook\nupdated=2024-01-02 03:04:05\nhost=iMac");
        mac->advance(5s);
        QCOMPARE(manager.remoteHostname(), QStringLiteral("iMac"));
        QCOMPARE(manager.lastSyncRemote(), QStringLiteral("2024-01-02 03:04:05"));
        QCOMPARE(manager.lastSyncLocal(), formatLocalTime(1'700'000'000.25));

        // An unreadable meta file leaves all three as they were.
        writeBytes(m_folder + QLatin1String("/tandrill-meta.txt"), "host=\xff\xfe");
        mac->mac().writeDock("changed", 1'800'000'000);
        mac->advance(5s);
        QCOMPARE(manager.remoteHostname(), QStringLiteral("iMac"));
        QCOMPARE(manager.lastSyncLocal(), formatLocalTime(1'700'000'000.25));
    }

    void completeSetup()
    {
        CoordinatorHarness mac(QStringLiteral("Mac mini"), m_root);
        mac.mac().writeDock("<dock>");
        SyncManager &manager = mac.start();
        QDir().mkpath(m_folder); // the folder picker hands over an existing folder
        QSignalSpy completed(&manager, &SyncManager::isOnboardingCompleteChanged);
        manager.completeSetup(m_folder);
        mac.settle();
        QCOMPARE(completed.count(), 1);
        QVERIFY(QFileInfo(m_folder).isDir());
        QCOMPARE(mac.settings().value(QStringLiteral("TandrillFolderPath")).toString(), m_folder);
        QVERIFY(mac.settings().value(QStringLiteral("TandrillOnboardingComplete")).toBool());
        QVERIFY(mac.settings().contains(QStringLiteral("TandrillSyncFolderBookmark")));
        QCOMPARE(mac.bookmarks().scopedURL(), std::optional<QString>(m_folder));
        QCOMPARE(manager.connectedHosts().size(), 1);
        QCOMPARE(manager.connectedHosts().first().lastAction, QStringLiteral("online"));
    }

    void changeSyncFolder()
    {
        auto mac = setUpMac(QStringLiteral("Mac mini"));
        SyncManager &manager = mac->start();
        mac->settle();
        manager.startDaemon();
        const QString other = m_root + QLatin1String("/elsewhere/Dock");
        QDir().mkpath(other);
        manager.changeSyncFolder(other);
        mac->settle();
        QCOMPARE(manager.syncFolderPath(), other);
        QCOMPARE(mac->settings().value(QStringLiteral("TandrillFolderPath")).toString(), other);
        QVERIFY(QFileInfo(other).isDir());
        QVERIFY(manager.daemonRunning());
        QVERIFY(manager.isOnboardingComplete());
        // No presence in the new folder until this Mac's next status write.
        QVERIFY(manager.connectedHosts().isEmpty());
        QVERIFY(manager.logLines().isEmpty());
    }

    void resetKeepsOnlyReassignedKeys()
    {
        auto mac = setUpMac(QStringLiteral("Mac mini"));
        mac->settings().setValue(QStringLiteral("TandrillLanguage"), QStringLiteral("en"));
        mac->settings().setValue(QStringLiteral("TandrillIntervalHours"), 5);
        SyncManager &manager = mac->start();
        manager.completeSetup(m_folder);
        manager.startDaemon();
        manager.setSyncOnStart(true);
        manager.setLaunchAtLogin(true);
        manager.setDisplayName(QStringLiteral("Büro"), QStringLiteral("Mac mini"));
        mac->settle();

        manager.resetAllSettings();
        QSettings &settings = mac->settings();
        for (const char *gone : {"TandrillFolderPath", "TandrillOnboardingComplete", "TandrillIntervalHours",
                                 "TandrillAutoSyncActive", "TandrillSyncFolderBookmark"})
            QVERIFY2(!settings.contains(QLatin1String(gone)), gone);
        QCOMPARE(settings.value(QStringLiteral("TandrillHostCustomNames")).toByteArray(), QByteArray("{}"));
        QCOMPARE(settings.value(QStringLiteral("TandrillSyncOnStart")).toBool(), false);
        QCOMPARE(settings.value(QStringLiteral("TandrillLanguage")).toString(), QStringLiteral("en"));
        QVERIFY(!manager.isOnboardingComplete());
        QVERIFY(!manager.daemonRunning());
        QVERIFY(!manager.launchAtLogin());
        QCOMPARE(mac->loginItem().status(), LoginItem::Status::NotRegistered);
        QCOMPARE(manager.intervalHours(), 5); // kept in memory only
        QVERIFY(manager.connectedHosts().isEmpty());
        QVERIFY(manager.logLines().isEmpty());
        QCOMPARE(manager.lastSyncRemote(), QStringLiteral("—"));
        QVERIFY(!mac->bookmarks().scopedURL());
        // Nothing in the shared folder or the backups is deleted.
        QVERIFY(QFile::exists(m_folder + QLatin1String("/status-Mac_mini.txt")));
        mac->advance(30s);
        QVERIFY(manager.logLines().isEmpty()); // not set up: ticks change nothing
    }

    void performSyncTexts_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::newRow("push") << int(Mode::Push) << QStringLiteral("Uploading…") << QStringLiteral("✓ Fertig");
        QTest::newRow("pull, nothing shared") << int(Mode::Pull) << QStringLiteral("Downloading…")
                                              << QStringLiteral("⚠ Keine gemeinsame Konfiguration vorhanden");
        QTest::newRow("auto") << int(Mode::Auto) << QStringLiteral("Syncing…") << QStringLiteral("✓ Fertig");
        QTest::newRow("status") << int(Mode::Status) << QStringLiteral("…") << QStringLiteral("✓ Fertig");
    }
    void performSyncTexts()
    {
        QFETCH(int, mode);
        QFETCH(QString, start);
        QFETCH(QString, end);
        auto mac = setUpMac(QStringLiteral("Mac mini"));
        SyncManager &manager = mac->start();
        mac->settle();
        QSignalSpy syncing(&manager, &SyncManager::isSyncingChanged);
        manager.performSync(static_cast<Mode>(mode));
        QVERIFY(manager.isSyncing());
        QCOMPARE(manager.statusMessage(), start);
        mac->settle();
        QVERIFY(!manager.isSyncing());
        QCOMPARE(manager.statusMessage(), end);
        QCOMPARE(syncing.count(), 2);
        mac->advance(2999ms);
        QCOMPARE(manager.statusMessage(), end);
        mac->advance(1ms);
        QCOMPARE(manager.statusMessage(), QString());
    }

    void twoQuickRequestsRunOnce()
    {
        auto mac = setUpMac(QStringLiteral("Mac mini"));
        SyncManager &manager = mac->start();
        mac->settle();
        manager.performSync(Mode::Push);
        manager.performSync(Mode::Push);
        manager.performSync(Mode::Pull);
        mac->settle();
        QCOMPARE(countLines(logPath(), QStringLiteral("PUSH: Sende")), 1);
        QCOMPARE(countLines(logPath(), QStringLiteral("PULL:")), 0);
        QCOMPARE(mac->mac().backups().size(), 1);
    }

    void noFolderNoEffect()
    {
        CoordinatorHarness mac(QStringLiteral("Mac mini"), m_root);
        SyncManager &manager = mac.start();
        QSignalSpy syncing(&manager, &SyncManager::isSyncingChanged);
        manager.performSync(Mode::Push);
        manager.daemonTick();
        mac.settle();
        QCOMPARE(syncing.count(), 0);
        QCOMPARE(manager.statusMessage(), QString());
        QVERIFY(!manager.makeEngine());
    }

    void manualPushDismissesConflictFirst()
    {
        auto mac = setUpMac(QStringLiteral("Mac mini"));
        SyncManager &manager = mac->start();
        writeBytes(manager.conflictFilePath(), QByteArray());
        mac->advance(5s);
        QVERIFY(manager.conflictDetected());
        manager.performSync(Mode::Push);
        QVERIFY(!manager.conflictDetected());
        mac->settle();
        QVERIFY(!manager.conflictDetected());
        QVERIFY(!QFile::exists(manager.conflictFilePath()));
    }

    void automaticConflictSetsTheFlag()
    {
        auto first = setUpMac(QStringLiteral("Mac mini"));
        auto second = setUpMac(QStringLiteral("iMac"));
        // Mac mini agreed with the shared state at 100; then iMac pushed 200 and the local Dock
        // changed at 150: both sides changed.
        first->mac().writeDock("<mini>", 100);
        QCOMPARE(first->mac().run(Mode::Push), SyncEngine::Result::pushed());
        second->mac().writeDock("<imac>", 200);
        QCOMPARE(second->mac().run(Mode::Push), SyncEngine::Result::pushed());
        first->mac().writeDock("<mini changed>", 150);

        SyncManager &manager = first->start();
        first->settle();
        manager.performSync(Mode::Auto);
        first->settle();
        QCOMPARE(manager.statusMessage(), QStringLiteral("⚠ Konflikt"));
        QVERIFY(manager.conflictDetected());
        first->advance(5s);
        QVERIFY(manager.conflictDetected());
        manager.dismissConflict();
        QVERIFY(!manager.conflictDetected());
        first->advance(5s);
        QVERIFY(!manager.conflictDetected());
    }

    void hostsThroughTheCoordinator()
    {
        auto mac = setUpMac(QStringLiteral("zeta"));
        writeBytes(m_folder + QLatin1String("/status-alpha.txt"), "hostname=alpha\nlast_action=push");
        writeBytes(m_folder + QLatin1String("/status-Beta.txt"), "hostname=Beta\nlast_time=2024-01-01 00:00:00");
        writeBytes(m_folder + QLatin1String("/status-notes.txt"), "text=hello");
        writeBytes(m_folder + QLatin1String("/status.txt"), "hostname=nobody");
        SyncManager &manager = mac->start();
        mac->settle();
        QStringList order;
        for (const HostInfo &host : manager.connectedHosts())
            order << host.hostname + QLatin1Char('|') + host.lastAction + QLatin1Char('|') + host.lastTime;
        QCOMPARE(order, (QStringList{QStringLiteral("zeta|online|") + manager.connectedHosts().first().lastTime,
                                     QStringLiteral("Beta|sync|2024-01-01 00:00:00"), QStringLiteral("alpha|push|—")}));

        manager.setDisplayName(QStringLiteral("Alpha's"), QStringLiteral("alpha"));
        QSignalSpy hostsChanged(&manager, &SyncManager::connectedHostsChanged);
        manager.removeHost(QStringLiteral("alpha"));
        mac->settle();
        QCOMPARE(hostsChanged.count(), 1);
        QCOMPARE(manager.connectedHosts().size(), 2);
        QVERIFY(!manager.hostCustomNames().contains(QStringLiteral("alpha")));
        QVERIFY(!QFile::exists(m_folder + QLatin1String("/status-alpha.txt")));

        // Removing this Mac lasts until its next status write.
        manager.removeHost(QStringLiteral("zeta"));
        mac->settle();
        QCOMPARE(manager.connectedHosts().size(), 1);
        manager.performSync(Mode::Auto);
        mac->settle();
        QCOMPARE(manager.connectedHosts().size(), 2);
    }

    void logTailAndClear()
    {
        auto mac = setUpMac(QStringLiteral("Mac mini"));
        QByteArray log;
        for (int i = 1; i <= 500; ++i)
            log += "[2024-05-01 10:00:00] [iMac] line " + QByteArray::number(i) + "\n";
        writeBytes(logPath(), log);
        SyncManager &manager = mac->start();
        mac->settle();
        // The presence line came last: 501 lines, the newest 80 shown newest first.
        QCOMPARE(manager.logLines().size(), 80);
        QCOMPARE(manager.logLines().first().message(), QStringLiteral("STATUS: Präsenz registriert"));
        QCOMPARE(manager.logLines().at(1).message(), QStringLiteral("line 500"));
        QCOMPARE(manager.logLines().last().message(), QStringLiteral("line 422"));

        QSignalSpy changed(&manager, &SyncManager::logLinesChanged);
        mac->advance(5s);
        QCOMPARE(changed.count(), 0); // nothing changed, nothing announced

        manager.clearLog();
        QVERIFY(manager.logLines().isEmpty());
        mac->settle();
        QCOMPARE(readBytes(logPath()), QByteArray());
        mac->advance(5s);
        QVERIFY(manager.logLines().isEmpty());
    }

    void threeMacsShareOneFolder()
    {
        auto a = setUpMac(QStringLiteral("A"));
        auto b = setUpMac(QStringLiteral("B"));
        auto c = setUpMac(QStringLiteral("C"));
        SyncManager &ma = a->start();
        SyncManager &mb = b->start();
        SyncManager &mc = c->start();
        a->settle();
        b->settle();
        c->settle();

        a->mac().writeDock("<the one true dock>", 1'750'000'000);
        ma.performSync(Mode::Push);
        a->settle();
        for (CoordinatorHarness *other : {b.get(), c.get()}) {
            other->advance(5s);
            QCOMPARE(other->manager().remoteHostname(), QStringLiteral("A"));
            QCOMPARE(other->manager().connectedHosts().size(), 3);
            other->manager().startDaemon();
            other->advance(1s);
            QCOMPARE(other->mac().dockBytes(), QByteArray("<the one true dock>"));
            QCOMPARE(other->mac().dockRestarts(), 1);
        }
        QCOMPARE(mb.connectedHosts().first().lastAction, QStringLiteral("pull"));
        // Settled: the next automatic run on every Mac finds nothing to do.
        for (CoordinatorHarness *mac : {a.get(), b.get(), c.get()}) {
            mac->manager().performSync(Mode::Auto);
            mac->settle();
            QCOMPARE(mac->manager().statusMessage(), QStringLiteral("✓ Fertig"));
            QCOMPARE(mac->mac().notifier().bodies().last(), QStringLiteral("Dock bereits synchron ✅"));
        }
        QCOMPARE(mc.connectedHosts().size(), 3);
    }
};

TANDRILL_TEST_MAIN(TestSyncManager)
#include "tst_syncmanager.moc"
