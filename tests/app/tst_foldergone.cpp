#include "DashboardTab.h"
#include "TestMain.h"
#include "ViewTestFixture.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

using namespace std::chrono_literals;

// A sync folder that vanished after the set-up (renamed, cloud drive not mounted) is never
// created again: every sync fails and says so, unless the bookmark finds the folder elsewhere.
class FolderGoneTest : public QObject {
    Q_OBJECT

private slots:
    void init() { m_root = std::make_unique<QTemporaryDir>(); }

    void syncFailsAndNothingIsCreated_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<QString>("lang");
        QTest::addColumn<QString>("shown");
        QTest::newRow("push") << "push"
                              << "de" << QStringLiteral("⚠ Sync-Ordner nicht gefunden");
        QTest::newRow("pull") << "pull"
                              << "en" << QStringLiteral("⚠ Sync folder not found");
        QTest::newRow("auto") << "auto"
                              << "en" << QStringLiteral("⚠ Sync folder not found");
        QTest::newRow("background tick") << "daemon"
                                         << "de" << QString();
        QTest::newRow("launch") << "launch"
                                << "en" << QString();
    }

    void syncFailsAndNothingIsCreated()
    {
        QFETCH(QString, trigger);
        QFETCH(QString, lang);
        QFETCH(QString, shown);
        ViewTestFixture fixture(m_root->path());
        fixture.loc().setLang(lang);
        if (trigger == QLatin1String("launch")) {
            fixture.harness().storeSetUp(fixture.folder());
            QVERIFY(QDir(fixture.folder()).removeRecursively());
            fixture.harness().start();
            fixture.settle();
        } else {
            fixture.startSetUp();
            QVERIFY(QDir(fixture.folder()).removeRecursively());
        }
        SyncManager &manager = fixture.manager();
        DashboardTab tab(&manager, &fixture.loc());
        QVERIFY(showView(&tab));

        if (trigger == QLatin1String("daemon")) {
            manager.startDaemon();
            fixture.harness().advance(SyncManager::kFirstDaemonRunDelay + SyncManager::kRefreshPeriod);
        } else if (trigger != QLatin1String("launch")) {
            const SyncEngine::Mode mode = trigger == QLatin1String("push")   ? SyncEngine::Mode::Push
                                          : trigger == QLatin1String("pull") ? SyncEngine::Mode::Pull
                                                                             : SyncEngine::Mode::Auto;
            manager.performSync(mode);
            fixture.settle();
            QCOMPARE(manager.syncStatus().outcome, SyncStatus::Outcome::FolderMissing);
            QVERIFY(!manager.isSyncing());
            QCOMPARE(childNamed<QLabel>(&tab, "statusMessage")->text(), shown);
        }
        fixture.harness().advance(SyncManager::kRefreshPeriod);

        QVERIFY(!QFileInfo::exists(fixture.folder()));
        QVERIFY(manager.syncFolderMissing());
        QVERIFY(childNamed<QWidget>(&tab, "folderMissingNotice")->isVisibleTo(&tab));
    }

    void aRenamedFolderIsFollowed()
    {
        ViewTestFixture fixture(m_root->path());
        SyncManager &manager = fixture.startFresh();
        QDir().mkpath(fixture.folder());
        manager.completeSetup(fixture.folder());
        fixture.settle();
        const QString renamed = fixture.folder() + QLatin1String(" (moved)");
        QVERIFY(QDir().rename(fixture.folder(), renamed));

        manager.performSync(SyncEngine::Mode::Push);
        fixture.settle();

        QCOMPARE(manager.syncFolderPath(), renamed);
        QCOMPARE(manager.syncStatus().outcome, SyncStatus::Outcome::Done);
        QVERIFY(QFileInfo::exists(renamed + QLatin1String("/com.apple.dock.plist")));
        QVERIFY(!QFileInfo::exists(fixture.folder()));
        QVERIFY(!manager.syncFolderMissing());
    }

private:
    std::unique_ptr<QTemporaryDir> m_root;
};

TANDRILL_TEST_CLASS(FolderGoneTest)
#include "tst_foldergone.moc"
