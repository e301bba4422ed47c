#include "ContentView.h"
#include "DashboardTab.h"
#include "MenuBarController.h"
#include "OnboardingView.h"
#include "PullConfirmation.h"
#include "SettingsTab.h"
#include "SyncButton.h"
#include "TestDock.h"
#include "TestEnvironment.h"
#include "TestMain.h"
#include "ViewTestFixture.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

// What the views show of the Dock itself: how it differs from the shared one, the questions asked
// before it is replaced, and the ways back (backups) and in (joining a folder).
class TestDockViews : public QObject {
    Q_OBJECT

    int m_case = 0;
    QString m_root;
    std::unique_ptr<ViewTestFixture> m_fixture;
    ViewTestFixture &fixture() { return *m_fixture; }
    SimulatedMac &here() { return fixture().harness().mac(); }
    QString sharedDock() const { return m_fixture->folder() + QLatin1String("/com.apple.dock.plist"); }

    // This Mac holds Finder and Notes; the Mac "Air" shared Finder and Xcode.
    void airSharesItsDock()
    {
        here().writeDock(TestDock::build(TestDock::withApps({QStringLiteral("Finder"), QStringLiteral("Notes")})));
        SimulatedMac air(QStringLiteral("Air"), fixture().folder(), m_root + QLatin1String("/air"));
        air.writeDock(TestDock::build(TestDock::withApps({QStringLiteral("Finder"), QStringLiteral("Xcode")})));
        QCOMPARE(air.run(SyncEngine::Mode::Push), SyncEngine::Result::pushed());
    }

    // The dialog a click opened; none when it did not open.
    template <typename T> static T *awaitDialog()
    {
        T *dialog = nullptr;
        (void)QTest::qWaitFor(
            [&] { return (dialog = qobject_cast<T *>(QApplication::activeModalWidget())) != nullptr; });
        return dialog;
    }

private slots:
    void init()
    {
        m_root = TestEnvironment::root() + QLatin1String("/dockviews-") + QString::number(++m_case);
        m_fixture = std::make_unique<ViewTestFixture>(m_root);
        fixture().loc().setLang(QStringLiteral("en"));
    }
    void cleanup() { m_fixture.reset(); }

    void dockStatusLine_data()
    {
        QTest::addColumn<bool>("differs");
        QTest::newRow("same") << false;
        QTest::newRow("different") << true;
    }
    void dockStatusLine()
    {
        QFETCH(bool, differs);
        SyncManager &manager = fixture().startSetUp();
        airSharesItsDock();
        if (!differs)
            here().writeDock(readBytes(sharedDock()));
        fixture().refresh();
        DashboardTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        const QString text = childNamed<QLabel>(&tab, "dockStatusText")->text();
        QCOMPARE(text.startsWith(QLatin1String("The shared Dock differs")), differs);
        QCOMPARE(text.contains(QLatin1String("+Xcode")) && text.contains(QStringLiteral("−Notes")), differs);
        QVERIFY(childNamed<QLabel>(&tab, "dockStatusPushed")->text().contains(QLatin1String("Air")));
    }

    // Cancel keeps this Mac's Dock byte for byte; Pull then brings the shared one.
    void pullAsksWhenTheDocksDiffer()
    {
        SyncManager &manager = fixture().startSetUp();
        airSharesItsDock();
        fixture().refresh();
        DashboardTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        const QByteArray before = here().dockBytes();
        QTest::mouseClick(childNamed<SyncButton>(&tab, "pullButton"), Qt::LeftButton);
        auto *dialog = awaitDialog<PullConfirmation>();
        QVERIFY(dialog);
        QVERIFY(dialog->informativeText().contains(QLatin1String("Xcode")));
        QVERIFY(dialog->informativeText().contains(QLatin1String("Notes")));
        QVERIFY(dialog->informativeText().contains(QLatin1String("Not installed")));
        QTest::mouseClick(childNamed<QPushButton>(dialog, "cancelPullButton"), Qt::LeftButton);
        fixture().settle();
        QVERIFY(!manager.isSyncing());
        QCOMPARE(here().dockBytes(), before);
        QCOMPARE(here().dockRestarts(), 0);

        QTest::mouseClick(childNamed<SyncButton>(&tab, "pullButton"), Qt::LeftButton);
        dialog = awaitDialog<PullConfirmation>();
        QVERIFY(dialog);
        QTest::mouseClick(dialog->pullButton(), Qt::LeftButton);
        fixture().settle();
        QCOMPARE(here().dockBytes(), readBytes(sharedDock()));
    }

    // The tray's Pull asks in a dialog of its own, the window being hidden perhaps.
    void trayPullAsksToo()
    {
        SyncManager &manager = fixture().startSetUp();
        airSharesItsDock();
        fixture().refresh();
        MenuBarController tray(&manager, &fixture().loc(), {});
        tray.rebuildMenu();
        QCoreApplication::processEvents();
        const QList<QAction *> rows = tray.menu()->actions();
        const auto pull = std::find_if(rows.begin(), rows.end(),
                                       [](QAction *row) { return row->text().startsWith(QStringLiteral("↓")); });
        QVERIFY(pull != rows.end());
        const QByteArray before = here().dockBytes();
        (*pull)->trigger();
        auto *dialog = awaitDialog<PullConfirmation>();
        QVERIFY(dialog);
        QVERIFY(!dialog->parent());
        dialog->reject();
        fixture().settle();
        QCOMPARE(here().dockBytes(), before);
    }

    void conflictBannerChooses_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("keepsThisMac");
        QTest::newRow("keep this Mac's Dock") << QStringLiteral("keepLocalDockButton") << true;
        QTest::newRow("use the shared Dock") << QStringLiteral("useSharedDockButton") << false;
    }
    void conflictBannerChooses()
    {
        QFETCH(QString, button);
        QFETCH(bool, keepsThisMac);
        SyncManager &manager = fixture().startSetUp();
        airSharesItsDock();
        fixture().writeConflictMarker();
        fixture().refresh();
        DashboardTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        auto *banner = childNamed<QWidget>(&tab, "conflictBanner");
        QVERIFY(banner->isVisibleTo(&tab));
        QVERIFY(childNamed<QLabel>(banner, "conflictMessage")->text().contains(QLatin1String("Air")));
        const QByteArray mine = here().dockBytes();
        const QByteArray shared = readBytes(sharedDock());
        QTest::mouseClick(banner->findChild<QPushButton *>(button), Qt::LeftButton);
        fixture().settle();
        QCOMPARE(readBytes(sharedDock()), keepsThisMac ? mine : shared);
        QCOMPARE(here().dockBytes(), keepsThisMac ? mine : shared);
        QVERIFY(!manager.conflictMarkerExists());
    }

    void restoreAsksFirst()
    {
        SyncManager &manager = fixture().startSetUp();
        airSharesItsDock();
        const QByteArray mine = here().dockBytes();
        manager.performSync(SyncEngine::Mode::Pull); // backs up this Mac's Dock first
        fixture().refresh();
        const QByteArray pulled = here().dockBytes();
        QVERIFY(pulled != mine);
        SettingsTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        const auto restoreNewest = [&] {
            QTest::mouseClick(childNamed<QPushButton>(&tab, "restoreBackupButton"), Qt::LeftButton);
            return awaitDialog<QMessageBox>();
        };
        QMessageBox *dialog = restoreNewest();
        QVERIFY(dialog);
        QTest::mouseClick(childNamed<QPushButton>(dialog, "cancelRestoreButton"), Qt::LeftButton);
        fixture().settle();
        QCOMPARE(here().dockBytes(), pulled);
        dialog = restoreNewest();
        QVERIFY(dialog);
        QTest::mouseClick(childNamed<QPushButton>(dialog, "confirmRestoreButton"), Qt::LeftButton);
        fixture().settle();
        QCOMPARE(here().dockBytes(), mine);
    }

    void wizardJoins_data()
    {
        QTest::addColumn<bool>("pushChosen");
        QTest::newRow("pulls by default") << false;
        QTest::newRow("pushes when chosen") << true;
    }
    void wizardJoins()
    {
        QFETCH(bool, pushChosen);
        SyncManager &manager = fixture().startFresh();
        airSharesItsDock();
        const QByteArray mine = here().dockBytes();
        const QByteArray shared = readBytes(sharedDock());
        ContentView content(&manager, &fixture().loc(), QString());
        QVERIFY(showView(&content, QSize(600, 800)));
        auto *wizard = content.findChild<OnboardingView *>();
        QTest::mouseClick(childNamed<QPushButton>(wizard, "gotItButton"), Qt::LeftButton);
        fixture().harness().folderPicker().answers.push_back(fixture().folder());
        QTest::mouseClick(childNamed<QPushButton>(wizard, "chooseFolderButton"), Qt::LeftButton);
        fixture().settle();
        QVERIFY(childNamed<QWidget>(wizard, "joinChoice")->isVisibleTo(wizard));
        QCOMPARE(readBytes(sharedDock()), shared); // nothing ran before the answer
        QCOMPARE(here().dockBytes(), mine);
        if (pushChosen)
            QTest::mouseClick(childNamed<QRadioButton>(wizard, "joinPushChoice"), Qt::LeftButton, {},
                              QPoint(4, childNamed<QRadioButton>(wizard, "joinPushChoice")->height() / 2));
        QTest::mouseClick(childNamed<QPushButton>(wizard, "getStartedButton"), Qt::LeftButton);
        fixture().settle();
        QVERIFY(manager.isOnboardingComplete());
        QCOMPARE(readBytes(sharedDock()), pushChosen ? mine : shared);
        QCOMPARE(here().dockBytes(), pushChosen ? mine : shared);
    }
};

TANDRILL_TEST_CLASS(TestDockViews)
#include "tst_dockviews.moc"
