#include "AppController.h"
#include "AppcastUpdater.h"
#include "ContentView.h"
#include "MainWindow.h"
#include "MenuBarController.h"
#include "OnboardingView.h"
#include "SyncManager.h"
#include "TestEnvironment.h"
#include "UpdaterManager.h"

#include <QApplication>
#include <QSystemTrayIcon>

// The running app as main() builds it, in the test's isolated home.
class AppShellTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void oneTrayItemAndOnePermissionRequest();
    void firstRunShowsTheWizard();
    void languageSurvivesARestart();
    void noUpdateChecksWithoutAFeed();
    void versionFromTheProject();
};

void AppShellTest::init()
{
    QSettings(QStringLiteral("Tandrill"), QStringLiteral("Tandrill")).clear();
}

void AppShellTest::oneTrayItemAndOnePermissionRequest()
{
    AppController app;
    QVERIFY(!app.menuBarController());
    QVERIFY(!app.notifications().permissionRequested());

    app.showWindow();
    QVERIFY(QTest::qWaitForWindowExposed(app.window()));
    MenuBarController *tray = app.menuBarController();
    QVERIFY(tray);
    QVERIFY(app.notifications().permissionRequested());
    QVERIFY(app.notifications().permissionGranted());

    // Closing and opening the window several times changes neither.
    for (int round = 0; round < 3; ++round) {
        app.window()->hide();
        app.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(app.window()));
    }
    QCOMPARE(app.menuBarController(), tray);
    QCOMPARE(app.notifications().permissionRequests(), 1);
    QCOMPARE(app.window()->findChildren<ContentView *>().size(), 1);
}

void AppShellTest::firstRunShowsTheWizard()
{
    AppController app;
    QVERIFY(!app.syncManager()->isOnboardingComplete());
    QVERIFY(qobject_cast<OnboardingView *>(app.window()->contentView()->currentView()));
    QCOMPARE(app.localization()->lang(), QStringLiteral("de"));
    QVERIFY(!QSettings(QStringLiteral("Tandrill"), QStringLiteral("Tandrill"))
                 .contains(QStringLiteral("TandrillLanguage")));
}

void AppShellTest::languageSurvivesARestart()
{
    {
        AppController app;
        app.localization()->toggle();
    }
    AppController restarted;
    QCOMPARE(restarted.localization()->lang(), QStringLiteral("en"));
    restarted.showWindow();
    QVERIFY(QTest::qWaitForWindowExposed(restarted.window()));
    QCOMPARE(restarted.menuBarController()->trayIcon()->toolTip(), QStringLiteral("Tandrill: Auto-Sync stopped"));
}

void AppShellTest::noUpdateChecksWithoutAFeed()
{
    AppController app;
    const auto *updater = qobject_cast<AppcastUpdater *>(app.updater());
    QVERIFY(updater);
    if (!updater->feed().isEmpty())
        QSKIP("this build has a feed address");
    QVERIFY(!app.updater()->canCheckForUpdates());
}

void AppShellTest::versionFromTheProject()
{
    QCOMPARE(AppController::version(), QStringLiteral(TANDRILL_VERSION));
    QVERIFY(!AppController::version().isEmpty());
}

TANDRILL_TEST_MAIN_IMPL(AppShellTest, QApplication)
#include "tst_appshell.moc"
