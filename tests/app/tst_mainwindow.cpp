#include "ApplicationMenu.h"
#include "ContentView.h"
#include "CoordinatorHarness.h"
#include "LocalizationManager.h"
#include "MainWindow.h"
#include "MenuBarController.h"
#include "TestEnvironment.h"
#include "UpdaterManager.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTemporaryDir>

namespace {
class FakeUpdater final : public UpdaterManager {
public:
    void setCanCheck(bool canCheck) { setCanCheckForUpdates(canCheck); }
    void checkForUpdates() override { ++checks; }
    int checks = 0;
};

QString labelText(const QWidget *root, const char *name)
{
    const auto *label = root->findChild<QLabel *>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<missing %1>").arg(QLatin1String(name));
}

} // namespace

// The main window, its application menu, closing, and a language switch seen everywhere.
class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowMinimumSize();
    void applicationMenu();
    void updateCommandFollowsUpdater();
    void closingKeepsTheAppWithATray();
    void closingQuitsWithoutATray();
    void contentShownEveryTime();
    void languageSwitchEverywhereAtOnce();

private:
    SyncManager &startCoordinator(bool setUp = true);
    std::unique_ptr<MainWindow> makeWindow(bool trayAvailable = true);

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<QSettings> m_settings;
    std::unique_ptr<LocalizationManager> m_loc;
    std::unique_ptr<CoordinatorHarness> m_mac;
    FakeUpdater m_updater;
    int m_quits = 0;
    QString m_folder;
};

void MainWindowTest::init()
{
    m_root = std::make_unique<QTemporaryDir>(TestEnvironment::root() + QStringLiteral("/window-XXXXXX"));
    m_settings = std::make_unique<QSettings>(m_root->filePath(QStringLiteral("app.ini")), QSettings::IniFormat);
    m_loc = std::make_unique<LocalizationManager>(m_settings.get());
    m_folder = m_root->filePath(QStringLiteral("iCloud/Tandrill"));
    m_updater.setCanCheck(false);
    m_updater.checks = 0;
    m_quits = 0;
}

void MainWindowTest::cleanup()
{
    m_mac.reset();
    m_loc.reset();
    m_settings.reset();
    m_root.reset();
}

SyncManager &MainWindowTest::startCoordinator(bool setUp)
{
    m_mac = std::make_unique<CoordinatorHarness>(QStringLiteral("Studio"), m_root->path());
    if (setUp)
        m_mac->storeSetUp(m_folder);
    m_mac->mac().writeDock("dock", 1700000000);
    m_mac->start();
    m_mac->settle();
    return m_mac->manager();
}

std::unique_ptr<MainWindow> MainWindowTest::makeWindow(bool trayAvailable)
{
    return std::make_unique<MainWindow>(
        &m_mac->manager(), m_loc.get(), &m_updater, QStringLiteral("1.0.0"),
        MainWindow::Shell{[trayAvailable] { return trayAvailable; }, [this] { ++m_quits; }});
}

void MainWindowTest::windowMinimumSize()
{
    startCoordinator(false);
    auto window = makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->resize(100, 100);
    QCoreApplication::processEvents();
    QVERIFY(window->width() >= 520);
    QVERIFY(window->height() >= 600);
    QCOMPARE(window->contentView()->size(), QSize(520, 600));

    // The main view asks for more height; the larger demand decides.
    m_mac->manager().completeSetup(m_folder);
    m_mac->settle();
    window->resize(100, 100);
    QCoreApplication::processEvents();
    QCOMPARE(window->contentView()->size(), QSize(520, 660));
}

void MainWindowTest::applicationMenu()
{
    startCoordinator();
    auto window = makeWindow();
    ApplicationMenu *menu = window->applicationMenu();
    const QList<QAction *> actions = menu->menu()->actions();
    QCOMPARE(actions.size(), 4);
    QCOMPARE(actions.at(0), menu->aboutAction());
    QCOMPARE(actions.at(1), menu->checkForUpdatesAction());
    QVERIFY(actions.at(2)->isSeparator());
    QCOMPARE(actions.at(3), menu->quitAction());
    QCOMPARE(menu->aboutAction()->menuRole(), QAction::AboutRole);
    QCOMPARE(menu->quitAction()->menuRole(), QAction::QuitRole);
    QVERIFY(menu->checkForUpdatesAction()->shortcut().isEmpty());

    QCOMPARE(menu->checkForUpdatesAction()->text(), QStringLiteral("Nach Updates suchen…"));
    m_loc->setLang(QStringLiteral("en"));
    QCOMPARE(menu->checkForUpdatesAction()->text(), QStringLiteral("Check for Updates…"));
    QCOMPARE(menu->aboutAction()->text(), QStringLiteral("About Tandrill"));
    m_loc->setLang(QStringLiteral("EN"));
    QCOMPARE(menu->checkForUpdatesAction()->text(), QStringLiteral("Nach Updates suchen…"));

    // No menu anywhere offers a new window.
    for (const QAction *top : window->menuBar()->actions()) {
        QVERIFY(top->menu());
        for (const QAction *item : top->menu()->actions()) {
            QVERIFY2(!item->text().contains(QStringLiteral("New"), Qt::CaseInsensitive) &&
                         !item->text().contains(QStringLiteral("Neu"), Qt::CaseInsensitive),
                     qPrintable(item->text()));
        }
    }

    menu->quitAction()->trigger();
    QCOMPARE(m_quits, 1);
    menu->aboutAction()->trigger();
    auto *about = window->findChild<QWidget *>(QStringLiteral("aboutDialog"));
    QVERIFY(about);
    QVERIFY(about->isVisible());
    about->close();
}

void MainWindowTest::updateCommandFollowsUpdater()
{
    startCoordinator();
    auto window = makeWindow();
    QAction *check = window->applicationMenu()->checkForUpdatesAction();
    QVERIFY(!check->isEnabled());
    check->trigger();
    QCOMPARE(m_updater.checks, 0);

    m_updater.setCanCheck(true);
    QVERIFY(check->isEnabled());
    check->trigger();
    QCOMPARE(m_updater.checks, 1);
    m_updater.setCanCheck(false);
    QVERIFY(!check->isEnabled());
    m_updater.setCanCheck(true);
    QVERIFY(check->isEnabled());
}

void MainWindowTest::closingKeepsTheAppWithATray()
{
    startCoordinator();
    auto window = makeWindow(true);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QVERIFY(window->close());
    QVERIFY(!window->isVisible());
    QCOMPARE(m_quits, 0);
    window->present();
    QVERIFY(window->isVisible());
}

void MainWindowTest::closingQuitsWithoutATray()
{
    startCoordinator();
    auto window = makeWindow(false);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->close();
    QCOMPARE(m_quits, 1);
}

void MainWindowTest::contentShownEveryTime()
{
    startCoordinator();
    auto window = makeWindow();
    QSignalSpy shown(window.get(), &MainWindow::contentShown);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QCOMPARE(shown.size(), 1);
    window->close();
    window->present();
    QCOMPARE(shown.size(), 2);
}

void MainWindowTest::languageSwitchEverywhereAtOnce()
{
    SyncManager &manager = startCoordinator();
    auto window = makeWindow();
    MenuBarController tray(&manager, m_loc.get(), {});
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QVERIFY(!m_settings->contains(LocalizationManager::kLanguageKey));

    auto *button = window->findChild<QAbstractButton *>(QStringLiteral("languageButton"));
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(m_loc->lang(), QStringLiteral("en"));
    QCOMPARE(m_settings->value(LocalizationManager::kLanguageKey).toString(), QStringLiteral("en"));

    QCOMPARE(labelText(window.get(), "headerTagline"), QStringLiteral("Your Dock. On all Macs. Always in sync."));
    QCOMPARE(window->findChild<QTabWidget *>(QStringLiteral("mainTabs"))->tabText(2), QStringLiteral("Settings"));
    QCOMPARE(window->applicationMenu()->checkForUpdatesAction()->text(), QStringLiteral("Check for Updates…"));
    QTRY_COMPARE(tray.trayIcon()->toolTip(), QStringLiteral("Tandrill: Auto-Sync stopped"));
    QCOMPARE(tray.menu()->actions().first()->text(), QStringLiteral("● Auto-Sync stopped"));
    QCOMPARE(tray.menu()->actions().last()->text(), QStringLiteral("Quit"));

    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(m_settings->value(LocalizationManager::kLanguageKey).toString(), QStringLiteral("de"));
    QCOMPARE(labelText(window.get(), "headerTagline"), QStringLiteral("Dein Dock. Auf allen Macs. Immer gleich."));
    QCOMPARE(window->applicationMenu()->checkForUpdatesAction()->text(), QStringLiteral("Nach Updates suchen…"));
    QTRY_COMPARE(tray.trayIcon()->toolTip(), QStringLiteral("Tandrill: Auto-Sync gestoppt"));
    QCOMPARE(tray.menu()->actions().last()->text(), QStringLiteral("Beenden"));

    // A new start reads the stored language.
    m_loc->toggle();
    LocalizationManager restarted(m_settings.get());
    QCOMPARE(restarted.lang(), QStringLiteral("en"));
}

TANDRILL_TEST_MAIN_IMPL(MainWindowTest, QApplication)
#include "tst_mainwindow.moc"
