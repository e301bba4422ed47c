#include "AppController.h"
#include "LocalizationManager.h"
#include "MainWindow.h"
#include "MenuBarController.h"
#include "SingleInstance.h"
#include "TestEnvironment.h"
#include "TestMain.h"

#include <QAction>
#include <QMenu>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// One running app per user: a second launch wakes the first one and ends.
class SingleInstanceTest : public QObject {
    Q_OBJECT

private slots:
    void aSecondLaunchShowsTheFirstOne()
    {
        const QString name = TestEnvironment::root() + QLatin1String("/runtime/instance-test");
        SingleInstance first(name);
        QVERIFY(first.claim(true));
        QSignalSpy shows(&first, &SingleInstance::showRequested);

        SingleInstance second(name);
        QVERIFY(!second.claim(true));
        QTRY_COMPARE(shows.size(), 1);

        // A login start finds the app running and leaves its window alone.
        SingleInstance login(name);
        QVERIFY(!login.claim(false));
        QTest::qWait(50);
        QCOMPARE(shows.size(), 1);
    }
};

// Started by the login item the app lives in the tray; the window is built when it is opened.
class TrayOnlyStartTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        QSettings settings(QStringLiteral("Tandrill"), QStringLiteral("Tandrill"));
        settings.clear();
        settings.setValue(QStringLiteral("TandrillLanguage"), QStringLiteral("en"));
    }

    void noWindowUntilItIsOpened()
    {
        AppController app(AppController::StartMode::TrayOnly);
        QVERIFY(!app.hasWindow());
        QVERIFY(app.menuBarController());
        QCoreApplication::processEvents();
        QVERIFY(!app.hasWindow());

        QAction *open = nullptr;
        for (QAction *action : app.menuBarController()->menu()->actions()) {
            if (action->text() == QStringLiteral("Open Tandrill…"))
                open = action;
        }
        QVERIFY(open);
        open->trigger();
        QVERIFY(app.hasWindow());
        QVERIFY(QTest::qWaitForWindowExposed(app.window()));
    }
};

// Without a stored choice the interface follows the system language.
class LanguageDefaultTest : public QObject {
    Q_OBJECT

private slots:
    void followsTheSystem_data()
    {
        QTest::addColumn<QString>("system");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("expected");
        QTest::newRow("German, Germany") << "de_DE" << QString() << "de";
        QTest::newRow("German, Switzerland") << "de_CH" << QString() << "de";
        QTest::newRow("English") << "en_US" << QString() << "en";
        QTest::newRow("French") << "fr_FR" << QString() << "en";
        QTest::newRow("a stored choice wins") << "en_GB"
                                              << "de"
                                              << "de";
    }

    void followsTheSystem()
    {
        QFETCH(QString, system);
        QFETCH(QString, stored);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QSettings settings(dir.filePath(QStringLiteral("Tandrill.conf")), QSettings::IniFormat);
        if (!stored.isEmpty())
            settings.setValue(LocalizationManager::kLanguageKey, stored);
        LocalizationManager loc(&settings, QLocale(system));
        QCOMPARE(loc.lang(), expected);
        QCOMPARE(settings.contains(LocalizationManager::kLanguageKey), !stored.isEmpty());
    }
};

TANDRILL_TEST_CLASS(SingleInstanceTest)
TANDRILL_TEST_CLASS(TrayOnlyStartTest)
TANDRILL_TEST_CLASS(LanguageDefaultTest)
#include "tst_shellstart.moc"
