// The states a user must not miss and the questions asked before a Dock is replaced: the sync
// folder gone (window and tray), a joining Mac's conflict banner, a pull that changes many things
// (the whole list) and the restore question.
#include "ContentView.h"
#include "CoordinatorHarness.h"
#include "LocalizationManager.h"
#include "MenuBarController.h"
#include "PullConfirmation.h"
#include "TestDock.h"
#include "dock_shots.h"

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

namespace {

// Apps installed in root/Applications, as on a Mac that has them all.
QByteArray dockWith(const QString &root, const QStringList &apps, int tileSize)
{
    TestDock::Shape shape;
    for (const QString &app : apps) {
        const QString path = root + QLatin1String("/Applications/") + app + QLatin1String(".app");
        QDir().mkpath(path);
        shape.apps.append({app, path, {}});
    }
    shape.settings.insert(QStringLiteral("tilesize"), tileSize);
    return TestDock::build(shape);
}

const QStringList kStudioApps{QStringLiteral("Finder"), QStringLiteral("Safari"), QStringLiteral("Mail"),
                              QStringLiteral("Notes"),  QStringLiteral("Music"),  QStringLiteral("Pages")};
const QStringList kAirApps{QStringLiteral("Finder"),   QStringLiteral("Safari"),  QStringLiteral("Xcode"),
                           QStringLiteral("Mail"),     QStringLiteral("Slack"),   QStringLiteral("Figma"),
                           QStringLiteral("Terminal"), QStringLiteral("Numbers"), QStringLiteral("Keynote"),
                           QStringLiteral("Calendar"), QStringLiteral("Photos"),  QStringLiteral("Maps"),
                           QStringLiteral("Music")};

class StateShots {
public:
    StateShots(QString outDir, QString lang, QString root)
        : m_outDir(std::move(outDir)), m_lang(std::move(lang)), m_root(std::move(root))
    {}

    void all()
    {
        folderMissing();
        joiningAndQuestions();
    }

private:
    QString m_outDir;
    QString m_lang;
    QString m_root;

    void save(QWidget *widget, const QString &name)
    {
        QTest::qWait(450); // fades and step animations
        writeShot(widget, m_outDir, name + QLatin1Char('-') + m_lang);
    }

    std::unique_ptr<ContentView> window(SyncManager &manager, LocalizationManager &loc)
    {
        auto content = std::make_unique<ContentView>(&manager, &loc, QStringLiteral(TANDRILL_VERSION));
        content->setWindowTitle(QStringLiteral("Tandrill"));
        content->resize(kShotWindowSize);
        content->show();
        return content;
    }

    // Set up, auto-sync on, then the folder went away (renamed, or iCloud Drive signed out).
    void folderMissing()
    {
        CoordinatorHarness mac(QStringLiteral("Mac Studio"), m_root + QLatin1String("/missing"));
        const QString folder = cloudFolder(mac);
        mac.storeSetUp(folder);
        mac.mac().writeDock(dockWith(m_root, kStudioApps, 48), 1'741'920'000.0);
        mac.mac().setNow(at(QStringLiteral("2025-03-14 08:15:40")));
        mac.mac().run(SyncEngine::Mode::Push);
        LocalizationManager loc(&mac.settings());
        loc.setLang(m_lang);
        SyncManager &manager = mac.start();
        manager.startDaemon();
        mac.settle();
        QDir(folder).removeRecursively();
        manager.performSync(SyncEngine::Mode::Push);
        mac.settle();
        manager.refreshAll();
        mac.settle();
        const auto content = window(manager, loc);
        save(content.get(), QStringLiteral("dashboard-folder-missing"));

        MenuBarController tray(&manager, &loc, MenuBarController::WindowActions{[] {}, [] {}});
        tray.rebuildMenu();
        QMenu *menu = tray.menu();
        menu->popup(QPoint(20, 20));
        save(menu, QStringLiteral("tray-folder-missing"));
        menu->hide();
    }

    // The Air shares its Dock; this Mac joins with a Dock of its own and has never agreed on one.
    void joiningAndQuestions()
    {
        CoordinatorHarness mac(QStringLiteral("Mac Studio"), m_root + QLatin1String("/joining"));
        const QString folder = cloudFolder(mac);
        SimulatedMac air(QStringLiteral("MacBook Air"), folder, m_root + QLatin1String("/joining"));
        air.writeDock(dockWith(m_root, kAirApps, 64), 1'741'943'000.0);
        air.setNow(at(QStringLiteral("2025-03-14 09:31:27")));
        air.run(SyncEngine::Mode::Push);
        mac.storeSetUp(folder);
        mac.mac().writeDock(dockWith(m_root, kStudioApps, 48), 1'741'920'000.0);
        mac.mac().setNow(at(QStringLiteral("2025-03-14 09:40:02")));
        mac.mac().run(SyncEngine::Mode::Status);
        LocalizationManager loc(&mac.settings());
        loc.setLang(m_lang);
        SyncManager &manager = mac.start();
        mac.settle();
        manager.performSync(SyncEngine::Mode::Auto);
        mac.settle();
        manager.refreshAll();
        mac.settle();
        const auto content = window(manager, loc);
        save(content.get(), QStringLiteral("dashboard-conflict-joining"));

        // "Use the shared Dock": the whole list of what changes, however long.
        PullConfirmation::pullAfterAsking(&manager, &loc, content.get());
        if (auto *dialog = content->findChild<PullConfirmation *>()) {
            save(dialog, QStringLiteral("pull-confirmation-full"));
            dialog->reject();
        }

        // Pulled after all: the Dock before it is a backup, and restoring it asks first.
        manager.performSync(SyncEngine::Mode::Pull);
        mac.settle();
        manager.refreshAll();
        mac.settle();
        auto *tabs = content->findChild<QTabWidget *>();
        tabs->setCurrentIndex(2);
        QTest::qWait(50);
        if (auto *restore = content->findChild<QPushButton *>(QStringLiteral("restoreBackupButton"))) {
            restore->click();
            mac.settle();
            if (auto *dialog = content->findChild<QMessageBox *>(QStringLiteral("restoreDialog"))) {
                save(dialog, QStringLiteral("restore-confirmation"));
                dialog->reject();
            }
        }
    }
};

} // namespace

void shootStates(const QString &outDir, const QString &lang, const QString &root)
{
    StateShots(outDir, lang, root).all();
}
