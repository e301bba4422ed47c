// Renders the first-run wizard, the three tabs of the main window and the tray menu, in German and
// English, from a realistic sync folder shared by three Macs. Usage: tandrill_screenshots OUTDIR
#include "ContentView.h"
#include "CoordinatorHarness.h"
#include "LocalizationManager.h"
#include "MenuBarController.h"
#include "OnboardingView.h"
#include "TestEnvironment.h"
#include "dock_shots.h"

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimeZone>

#include <cstdio>

namespace {

class Shooter {
public:
    explicit Shooter(QString outDir) : m_outDir(std::move(outDir)) { QDir().mkpath(m_outDir); }

    void save(QWidget *widget, const QString &name, bool waitForAnimations = true)
    {
        if (waitForAnimations)
            settle();
        else
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        writeShot(widget, m_outDir, name);
    }

    static void settle(int ms = 450)
    {
        // Long enough for the fades and the wizard's step animation to finish.
        QTest::qWait(ms);
    }

private:
    QString m_outDir;
};

void shootWizard(Shooter &shooter, const QString &lang, const QString &root)
{
    CoordinatorHarness mac(QStringLiteral("Mac Studio"), root);
    LocalizationManager loc(&mac.settings());
    loc.setLang(lang);
    SyncManager &manager = mac.start();
    mac.settle();
    ContentView content(&manager, &loc, QStringLiteral(TANDRILL_VERSION));
    content.setWindowTitle(QStringLiteral("Tandrill"));
    content.resize(kShotWindowSize);
    content.show();
    shooter.save(&content, QStringLiteral("wizard-step1-") + lang);

    auto *wizard = content.findChild<OnboardingView *>();
    wizard->findChild<QPushButton *>(QStringLiteral("gotItButton"))->click();
    mac.folderPicker().answers.push_back(QDir::homePath() +
                                         QLatin1String("/Library/Mobile Documents/com~apple~CloudDocs/Dock Sync"));
    wizard->findChild<QPushButton *>(QStringLiteral("chooseFolderButton"))->click();
    shooter.save(&content, QStringLiteral("wizard-step2-") + lang);
}

// Three Macs that have pushed, pulled and synced through one folder over a morning.
void prepareFolder(CoordinatorHarness &mac, const QString &folder, const QString &root)
{
    SimulatedMac air(QStringLiteral("MacBook Air"), folder, root);
    SimulatedMac office(QStringLiteral("Office iMac"), folder, root);
    air.writeDock("<dock of the Air>", 1'741'939'200.0);
    office.writeDock("<dock of the office>", 1'741'930'000.0);
    mac.mac().writeDock("<dock of the studio>", 1'741'920'000.0);

    office.setNow(at(QStringLiteral("2025-03-14 08:02:11")));
    office.run(SyncEngine::Mode::Status);
    mac.mac().setNow(at(QStringLiteral("2025-03-14 08:15:40")));
    mac.mac().run(SyncEngine::Mode::Push);
    air.setNow(at(QStringLiteral("2025-03-14 08:47:05")));
    air.run(SyncEngine::Mode::Auto);
    air.writeDock("<dock of the Air, rearranged>", 1'741'943'000.0);
    air.setNow(at(QStringLiteral("2025-03-14 09:31:27")));
    air.run(SyncEngine::Mode::Push);
    office.setNow(at(QStringLiteral("2025-03-14 09:58:02")));
    office.run(SyncEngine::Mode::Auto);
    mac.mac().setNow(at(QStringLiteral("2025-03-14 10:04:19")));
    mac.mac().run(SyncEngine::Mode::Pull);
}

void shootMainWindow(Shooter &shooter, const QString &lang, const QString &root)
{
    CoordinatorHarness mac(QStringLiteral("Mac Studio"), root);
    const QString folder = cloudFolder(mac);
    mac.storeSetUp(folder);
    prepareFolder(mac, folder, root);
    LocalizationManager loc(&mac.settings());
    loc.setLang(lang);
    SyncManager &manager = mac.start();
    mac.settle();
    manager.setIntervalHours(3);
    manager.setDisplayName(QStringLiteral("Office"), QStringLiteral("Office iMac"));
    manager.startDaemon();
    manager.setSyncOnStart(true);
    manager.refreshAll();
    mac.settle();

    ContentView content(&manager, &loc, QStringLiteral(TANDRILL_VERSION));
    content.setWindowTitle(QStringLiteral("Tandrill"));
    content.resize(kShotWindowSize);
    content.show();
    auto *tabs = content.findChild<QTabWidget *>();
    const QStringList names{QStringLiteral("dashboard-"), QStringLiteral("log-"), QStringLiteral("settings-")};
    for (int i = 0; i < names.size(); ++i) {
        tabs->setCurrentIndex(i);
        shooter.save(&content, names[i] + lang);
    }
    // The whole settings tab, as it scrolls.
    content.resize(kShotWindowSize.width(), 1560);
    shooter.save(&content, QStringLiteral("settings-full-") + lang);

    // A conflict flagged, and an automatic sync running (its result not yet back).
    content.resize(kShotWindowSize);
    tabs->setCurrentIndex(0);
    QFile marker(folder + QLatin1String("/conflict-Mac_Studio.txt"));
    if (marker.open(QIODevice::WriteOnly))
        marker.write("conflict\n");
    marker.close();
    manager.refreshAll();
    mac.settle();
    Shooter::settle();
    manager.performSync(SyncEngine::Mode::Auto);
    shooter.save(&content, QStringLiteral("dashboard-conflict-") + lang, false);
    mac.settle();

    MenuBarController tray(&manager, &loc, MenuBarController::WindowActions{[] {}, [] {}});
    tray.rebuildMenu();
    QMenu *menu = tray.menu();
    menu->popup(QPoint(20, 20));
    shooter.save(menu, QStringLiteral("tray-menu-") + lang);
    menu->hide();
}

} // namespace

int main(int argc, char *argv[])
{
    TestEnvironment::isolate();
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    QApplication::setApplicationVersion(QStringLiteral(TANDRILL_VERSION));
    Shooter shooter(QString::fromLocal8Bit(argv[1]));
    int run = 0;
    for (const QString &lang : {QStringLiteral("de"), QStringLiteral("en")}) {
        shootWizard(shooter, lang, TestEnvironment::root() + QLatin1String("/wizard-") + QString::number(++run));
        shootMainWindow(shooter, lang, TestEnvironment::root() + QLatin1String("/main-") + QString::number(++run));
        shootDockViews(QString::fromLocal8Bit(argv[1]), lang,
                       TestEnvironment::root() + QLatin1String("/dock-") + QString::number(++run));
        shootStates(QString::fromLocal8Bit(argv[1]), lang,
                    TestEnvironment::root() + QLatin1String("/states-") + QString::number(++run));
    }
    return 0;
}
