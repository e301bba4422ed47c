// The views that show the Dock itself: the Dashboard's status line when the shared Dock differs,
// the pull confirmation, the conflict banner's choice, Settings → Backups and the wizard's join
// step, each in light and dark appearance.
#include "dock_shots.h"

#include "ContentView.h"
#include "CoordinatorHarness.h"
#include "LocalizationManager.h"
#include "OnboardingView.h"
#include "PullConfirmation.h"
#include "TestDock.h"

#include <QApplication>
#include <QDir>
#include <QPalette>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <cstdio>

namespace {

void save(QWidget *widget, const QString &outDir, const QString &name)
{
    QTest::qWait(450); // fades and step animations
    writeShot(widget, outDir, name);
}

QPalette darkPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0x1e, 0x1e, 0x1e));
    palette.setColor(QPalette::WindowText, QColor(0xe8, 0xe8, 0xe8));
    palette.setColor(QPalette::Base, QColor(0x2a, 0x2a, 0x2a));
    palette.setColor(QPalette::AlternateBase, QColor(0x32, 0x32, 0x32));
    palette.setColor(QPalette::Text, QColor(0xe8, 0xe8, 0xe8));
    palette.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
    palette.setColor(QPalette::ButtonText, QColor(0xe8, 0xe8, 0xe8));
    palette.setColor(QPalette::ToolTipBase, QColor(0x2a, 0x2a, 0x2a));
    palette.setColor(QPalette::ToolTipText, QColor(0xe8, 0xe8, 0xe8));
    palette.setColor(QPalette::Highlight, QColor(0x0a, 0x84, 0xff));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::PlaceholderText, QColor(0x8a, 0x8a, 0x8a));
    return palette;
}

// A Dock of apps that live in root/Applications; the ones named in `missing` are not installed.
QByteArray dockOf(const QString &root, const QStringList &apps, int tileSize, const QStringList &missing = {})
{
    TestDock::Shape shape;
    for (const QString &app : apps) {
        const QString path = root + QLatin1String("/Applications/") + app + QLatin1String(".app");
        if (!missing.contains(app))
            QDir().mkpath(path);
        shape.apps.append({app, path, {}});
    }
    shape.settings.insert(QStringLiteral("tilesize"), tileSize);
    return TestDock::build(shape);
}

const QStringList kStudioApps{QStringLiteral("Finder"), QStringLiteral("Safari"), QStringLiteral("Mail"),
                              QStringLiteral("Notes"), QStringLiteral("Music")};
const QStringList kAirApps{QStringLiteral("Finder"), QStringLiteral("Safari"), QStringLiteral("Xcode"),
                           QStringLiteral("Mail"),   QStringLiteral("Music"),  QStringLiteral("Figma")};

// The Air shared its Dock after this Mac had pushed, pulled and restored an older one.
void prepareFolder(CoordinatorHarness &mac, const QString &folder, const QString &root)
{
    SimulatedMac air(QStringLiteral("MacBook Air"), folder, root);
    SimulatedMac &studio = mac.mac();
    studio.writeDock(dockOf(root, kStudioApps, 48), 1'741'920'000.0);
    studio.setNow(at(QStringLiteral("2025-03-14 08:15:40")));
    studio.run(SyncEngine::Mode::Push);
    air.writeDock(dockOf(root, kAirApps, 64, {QStringLiteral("Figma")}), 1'741'943'000.0);
    air.setNow(at(QStringLiteral("2025-03-14 09:31:27")));
    air.run(SyncEngine::Mode::Push);
    studio.setNow(at(QStringLiteral("2025-03-14 09:40:02")));
    studio.run(SyncEngine::Mode::Pull);
    studio.setNow(at(QStringLiteral("2025-03-14 10:04:19")));
    const QStringList backups = studio.backups();
    if (!backups.isEmpty())
        studio.engine().restoreBackup(backups.first());
}

void shootJoinStep(const QString &outDir, const QString &suffix, const QString &root)
{
    CoordinatorHarness mac(QStringLiteral("Mac Studio"), root);
    const QString folder = cloudFolder(mac);
    SimulatedMac air(QStringLiteral("MacBook Air"), folder, root);
    air.writeDock(dockOf(root, kAirApps, 64, {QStringLiteral("Figma")}), 1'741'943'000.0);
    air.setNow(at(QStringLiteral("2025-03-14 09:31:27")));
    air.run(SyncEngine::Mode::Push);
    mac.mac().writeDock(dockOf(root, kStudioApps, 48), 1'741'920'000.0);
    LocalizationManager loc(&mac.settings());
    loc.setLang(suffix.left(2));
    SyncManager &manager = mac.start();
    mac.settle();
    ContentView content(&manager, &loc, QStringLiteral(TANDRILL_VERSION));
    content.setWindowTitle(QStringLiteral("Tandrill"));
    content.resize(kShotWindowSize);
    content.show();
    auto *wizard = content.findChild<OnboardingView *>();
    wizard->findChild<QPushButton *>(QStringLiteral("gotItButton"))->click();
    mac.folderPicker().answers.push_back(folder);
    wizard->findChild<QPushButton *>(QStringLiteral("chooseFolderButton"))->click();
    mac.settle();
    save(&content, outDir, QStringLiteral("wizard-join-") + suffix);
}

void shootMainWindow(const QString &outDir, const QString &suffix, const QString &root)
{
    CoordinatorHarness mac(QStringLiteral("Mac Studio"), root);
    const QString folder = cloudFolder(mac);
    mac.storeSetUp(folder);
    prepareFolder(mac, folder, root);
    LocalizationManager loc(&mac.settings());
    loc.setLang(suffix.left(2));
    SyncManager &manager = mac.start();
    mac.settle();
    manager.refreshAll();
    mac.settle();

    ContentView content(&manager, &loc, QStringLiteral(TANDRILL_VERSION));
    content.setWindowTitle(QStringLiteral("Tandrill"));
    content.resize(kShotWindowSize);
    content.show();
    auto *tabs = content.findChild<QTabWidget *>();
    tabs->setCurrentIndex(0);
    save(&content, outDir, QStringLiteral("dashboard-differs-") + suffix);

    PullConfirmation::pullAfterAsking(&manager, &loc, &content);
    if (auto *dialog = content.findChild<PullConfirmation *>()) {
        save(dialog, outDir, QStringLiteral("pull-confirmation-") + suffix);
        dialog->reject();
    }

    tabs->setCurrentIndex(2);
    if (auto *backups = content.findChild<QWidget *>(QStringLiteral("backupsSection")))
        save(backups, outDir, QStringLiteral("settings-backups-") + suffix);

    tabs->setCurrentIndex(0);
    QFile marker(folder + QLatin1String("/conflict-Mac_Studio.txt"));
    if (marker.open(QIODevice::WriteOnly))
        marker.write("conflict\n");
    marker.close();
    manager.refreshAll();
    mac.settle();
    save(&content, outDir, QStringLiteral("dashboard-conflict-choice-") + suffix);
}

} // namespace

QString cloudFolder(CoordinatorHarness &mac)
{
    qputenv("HOME", mac.mac().home().toUtf8());
    return QDir::homePath() + QLatin1String("/Library/Mobile Documents/com~apple~CloudDocs/Dock Sync");
}

QDateTime at(const QString &text)
{
    return QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

void writeShot(QWidget *widget, const QString &outDir, const QString &name)
{
    const QString path = outDir + QLatin1Char('/') + name + QLatin1String(".png");
    if (!widget->grab().save(path))
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
    else
        std::printf("%s\n", qPrintable(path));
}

void shootDockViews(const QString &outDir, const QString &lang, const QString &root)
{
    const QPalette light = QApplication::palette();
    shootMainWindow(outDir, lang, root + QLatin1String("/light"));
    shootJoinStep(outDir, lang, root + QLatin1String("/join-light"));
    QApplication::setPalette(darkPalette());
    shootMainWindow(outDir, lang + QLatin1String("-dark"), root + QLatin1String("/dark"));
    shootJoinStep(outDir, lang + QLatin1String("-dark"), root + QLatin1String("/join-dark"));
    QApplication::setPalette(light);
}
