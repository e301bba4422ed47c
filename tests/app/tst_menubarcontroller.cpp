#include "CoordinatorHarness.h"
#include "LocalizationManager.h"
#include "MenuBarController.h"
#include "MenuRowStyle.h"
#include "TestEnvironment.h"
#include "ViewStyle.h"

#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTextDocument>

namespace {
// The text the menu shows for an action ("&&" is how a menu title says "&").
QString shown(const QAction *action)
{
    return action->text().replace(QStringLiteral("&&"), QStringLiteral("&"));
}

// A tooltip as the tooltip window renders it.
QString shownToolTip(const QAction *action)
{
    const QString tip = action->toolTip();
    if (!Qt::mightBeRichText(tip))
        return tip;
    QTextDocument document;
    document.setHtml(tip);
    return document.toPlainText();
}

QStringList describe(const QMenu *menu)
{
    QStringList lines;
    for (const QAction *action : menu->actions()) {
        if (action->isSeparator()) {
            lines << QStringLiteral("---");
            continue;
        }
        // Rows without a tooltip of their own report their title; the menu shows none for them.
        const QString tip = action->toolTip() == action->iconText() ? QString() : shownToolTip(action);
        lines << shown(action) + QLatin1Char('|') + tip + QLatin1Char('|') +
                     (action->isEnabled() ? QStringLiteral("on") : QStringLiteral("off"));
    }
    return lines;
}

QAction *findAction(const QMenu *menu, const QString &title)
{
    for (QAction *action : menu->actions()) {
        if (shown(action) == title)
            return action;
    }
    return nullptr;
}

int pixelsNear(const QImage &image, const QRect &area, const QColor &color)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (qAbs(pixel.red() - color.red()) < 40 && qAbs(pixel.green() - color.green()) < 40 &&
                qAbs(pixel.blue() - color.blue()) < 40)
                ++count;
        }
    }
    return count;
}
} // namespace

// The tray item and its menu driven by a real coordinator on a simulated Mac.
class MenuBarControllerTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void trayShowsCoordinatorState();
    void statusTitleColourAndTooltip();
    void rowsDrawnInTheirColours();
    void rebuildsAfterEachChange();
    void syncingRowWhileASyncRuns();
    void itemsCallTheCoordinator();
    void windowItemsCallTheShell();
    void hostNamesStayPlainText();

private:
    void startCoordinator();
    std::unique_ptr<MenuBarController> makeController();

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<QSettings> m_langSettings;
    std::unique_ptr<LocalizationManager> m_loc;
    std::unique_ptr<CoordinatorHarness> m_mac;
    QString m_folder;
    int m_opened = 0;
    int m_quit = 0;
};

void MenuBarControllerTest::init()
{
    m_root = std::make_unique<QTemporaryDir>(TestEnvironment::root() + QStringLiteral("/menu-XXXXXX"));
    m_langSettings = std::make_unique<QSettings>(m_root->filePath(QStringLiteral("lang.ini")), QSettings::IniFormat);
    m_loc = std::make_unique<LocalizationManager>(m_langSettings.get());
    m_folder = m_root->filePath(QStringLiteral("iCloud/Tandrill"));
    m_opened = 0;
    m_quit = 0;
}

void MenuBarControllerTest::cleanup()
{
    m_mac.reset();
    m_loc.reset();
    m_langSettings.reset();
    m_root.reset();
}

void MenuBarControllerTest::startCoordinator()
{
    m_mac = std::make_unique<CoordinatorHarness>(QStringLiteral("Studio"), m_root->path());
    m_mac->storeSetUp(m_folder);
    m_mac->mac().writeDock("dock-1", 1700000000);
    // A meta file in the folder, so the coordinator reads the local Dock time.
    QCOMPARE(m_mac->mac().run(SyncEngine::Mode::Push).kind(), SyncEngine::Result::Kind::Pushed);
    m_mac->mac().notifier().clear();
    m_mac->start();
    m_mac->settle();
}

std::unique_ptr<MenuBarController> MenuBarControllerTest::makeController()
{
    return std::make_unique<MenuBarController>(
        &m_mac->manager(), m_loc.get(), MenuBarController::WindowActions{[this] { ++m_opened; }, [this] { ++m_quit; }});
}

void MenuBarControllerTest::trayShowsCoordinatorState()
{
    startCoordinator();
    auto controller = makeController();
    QMenu *menu = controller->menu();
    QVERIFY(menu->toolTipsVisible());
    QCOMPARE(controller->trayIcon()->contextMenu(), menu);

    const QStringList lines = describe(menu);
    QCOMPARE(lines.first(), QStringLiteral("● Auto-Sync gestoppt||off"));
    QVERIFY2(lines.at(1).startsWith(QStringLiteral("Zuletzt: ")), qPrintable(lines.at(1)));
    QCOMPARE(lines.at(1).section(QLatin1Char('|'), 0, 0),
             QStringLiteral("Zuletzt: ") + m_mac->manager().lastSyncLocal());
    QVERIFY(lines.contains(QStringLiteral("Verbundene Macs:||off")));
    const HostInfo me = m_mac->manager().connectedHosts().first();
    QVERIFY(lines.contains(QStringLiteral("  Studio (dieser Mac)|Letzte Aktion: ") + me.actionLabel() +
                           QStringLiteral(" um ") + me.lastTime + QStringLiteral("|off")));
    QCOMPARE(lines.last(),
             QStringLiteral("Beenden|Tandrill vollständig beenden (Auto-Sync stoppt bis zum nächsten Start)|on"));

    // Fonts and colours of the label rows.
    const QAction *status = menu->actions().first();
    QCOMPARE(status->font().pixelSize(), 12);
    QCOMPARE(status->property(MenuRowStyle::kTintProperty).value<QColor>(), ViewStyle::red());
    const QAction *last = menu->actions().at(1);
    QCOMPARE(last->font().pixelSize(), 11);
    const QAction *header = findAction(menu, QStringLiteral("Verbundene Macs:"));
    QVERIFY(header);
    QCOMPARE(header->font().pixelSize(), 10);
    QVERIFY(header->font().bold());
    const QAction *push = findAction(menu, QStringLiteral("↑  Dock hochladen (Push)"));
    QVERIFY(push);
    QVERIFY(!push->property(MenuRowStyle::kTintProperty).isValid());
    QVERIFY(push->shortcut().isEmpty());
}

void MenuBarControllerTest::statusTitleColourAndTooltip()
{
    startCoordinator();
    auto controller = makeController();
    SyncManager &manager = m_mac->manager();
    const QColor label = QGuiApplication::palette().color(QPalette::Active, QPalette::WindowText);

    QCOMPARE(controller->titleColor(), label);
    QCOMPARE(controller->trayIcon()->toolTip(), QStringLiteral("Tandrill: Auto-Sync gestoppt"));

    manager.startDaemon();
    QTRY_COMPARE(controller->titleColor(), ViewStyle::green());
    QCOMPARE(controller->trayIcon()->toolTip(), QStringLiteral("Tandrill: Auto-Sync aktiv"));

    // A conflict wins over the running state.
    writeBytes(manager.conflictFilePath(), "conflict");
    manager.refreshAll();
    m_mac->settle();
    QVERIFY(manager.conflictDetected());
    QTRY_COMPARE(controller->titleColor(), ViewStyle::orange());
    QCOMPARE(controller->trayIcon()->toolTip(),
             QStringLiteral("Tandrill: Konflikt erkannt – bitte Push oder Pull manuell wählen"));
    m_loc->setLang(QStringLiteral("en"));
    QTRY_COMPARE(controller->trayIcon()->toolTip(),
                 QStringLiteral("Tandrill: Conflict detected – please choose Push or Pull manually"));

    // The icon really shows "TR" in that colour.
    const QImage image = controller->trayIcon()->icon().pixmap(QSize(22, 22)).toImage();
    int orangePixels = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() > 200 && qAbs(pixel.red() - 255) < 8 && qAbs(pixel.green() - 149) < 8 && pixel.blue() < 8)
                ++orangePixels;
        }
    }
    QVERIFY2(orangePixels > 10, qPrintable(QString::number(orangePixels)));

    manager.dismissConflict();
    m_mac->settle();
    QTRY_COMPARE(controller->titleColor(), ViewStyle::green());
    manager.stopDaemon();
    QTRY_COMPARE(controller->titleColor(), label);
    QCOMPARE(controller->trayIcon()->toolTip(), QStringLiteral("Tandrill: Auto-Sync stopped"));
}

void MenuBarControllerTest::rowsDrawnInTheirColours()
{
    startCoordinator();
    writeBytes(m_mac->manager().conflictFilePath(), "conflict");
    m_mac->manager().refreshAll();
    m_mac->settle();
    auto controller = makeController();
    QMenu *menu = controller->menu();
    menu->popup(QPoint(0, 0));
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    const QImage image = menu->grab().toImage();
    const qreal ratio = image.devicePixelRatio();
    const auto area = [&](const QString &title) {
        QAction *action = findAction(menu, title);
        return action ? menu->actionGeometry(action) : QRect();
    };
    const QRect conflictRow = area(QStringLiteral("⚠️  Konflikt erkannt"));
    const QRect statusRow = area(QStringLiteral("● Auto-Sync gestoppt"));
    const QRect pushRow = area(QStringLiteral("↑  Dock hochladen (Push)"));
    QVERIFY(!conflictRow.isEmpty() && !statusRow.isEmpty() && !pushRow.isEmpty());
    QCOMPARE(ratio, 1.0);
    QVERIFY(pixelsNear(image, conflictRow, ViewStyle::orange()) > 20);
    QVERIFY(pixelsNear(image, statusRow, ViewStyle::red()) > 5);
    QCOMPARE(pixelsNear(image, pushRow, ViewStyle::red()), 0);
    QCOMPARE(pixelsNear(image, pushRow, ViewStyle::orange()), 0);
    menu->hide();
}

void MenuBarControllerTest::rebuildsAfterEachChange()
{
    startCoordinator();
    auto controller = makeController();
    SyncManager &manager = m_mac->manager();
    QMenu *menu = controller->menu();
    int builds = controller->rebuildCount();
#define REBUILT()                                                                                                      \
    QTRY_VERIFY(controller->rebuildCount() > builds);                                                                  \
    builds = controller->rebuildCount()

    manager.startDaemon();
    REBUILT();
    QCOMPARE(shown(menu->actions().first()), QStringLiteral("● Auto-Sync aktiv"));
    QVERIFY(findAction(menu, QStringLiteral("⏸  Auto-Sync stoppen")));

    m_loc->toggle();
    REBUILT();
    QCOMPARE(shown(menu->actions().first()), QStringLiteral("● Auto-Sync active"));

    writeBytes(manager.conflictFilePath(), "conflict");
    manager.refreshAll();
    m_mac->settle();
    REBUILT();
    QCOMPARE(shown(menu->actions().first()), QStringLiteral("⚠️  Conflict detected"));

    // Another Mac appears in the folder.
    SimulatedMac other(QStringLiteral("Office-Mini"), m_folder, m_root->path());
    other.writeDock("dock-2", 1700000100);
    QCOMPARE(other.run(SyncEngine::Mode::Status).kind(), SyncEngine::Result::Kind::StatusWritten);
    manager.refreshAll();
    m_mac->settle();
    REBUILT();
    QVERIFY(findAction(menu, QStringLiteral("  Office-Mini")));

    manager.setDisplayName(QStringLiteral("Büro"), QStringLiteral("Office-Mini"));
    REBUILT();
    QVERIFY(findAction(menu, QStringLiteral("  Büro")));
    QVERIFY(!findAction(menu, QStringLiteral("  Office-Mini")));

    // A new local Dock time shows in the "Last:" row.
    m_mac->mac().writeDock("dock-3", 1700003600);
    manager.refreshAll();
    m_mac->settle();
    REBUILT();
    QVERIFY(findAction(menu, QStringLiteral("Last: ") + manager.lastSyncLocal()));

    // A burst of changes is one rebuild, on the next turn of the event loop.
    manager.stopDaemon();
    m_loc->toggle();
    QCOMPARE(controller->rebuildCount(), builds);
    QCoreApplication::processEvents();
    QCOMPARE(controller->rebuildCount(), builds + 1);
#undef REBUILT
}

void MenuBarControllerTest::syncingRowWhileASyncRuns()
{
    startCoordinator();
    auto controller = makeController();
    QMenu *menu = controller->menu();
    findAction(menu, QStringLiteral("↑  Dock hochladen (Push)"))->trigger();
    QVERIFY(m_mac->manager().isSyncing());
    // Opened now, the menu shows the running sync, also before any queued refresh ran.
    menu->popup(QPoint(0, 0));
    QStringList lines = describe(menu);
    QVERIFY2(lines.contains(QStringLiteral("⏳ Synchronisiere…||off")), qPrintable(lines.join(u'\n')));
    QVERIFY(!findAction(menu, QStringLiteral("↑  Dock hochladen (Push)")));
    QVERIFY(!findAction(menu, QStringLiteral("↓  Dock herunterladen (Pull)")));
    QVERIFY(!findAction(menu, QStringLiteral("↕  Jetzt synchronisieren (Auto)")));
    menu->hide();
    m_mac->settle();
    QTRY_VERIFY(findAction(menu, QStringLiteral("↑  Dock hochladen (Push)")));
    QVERIFY(!findAction(menu, QStringLiteral("⏳ Synchronisiere…")));
}

void MenuBarControllerTest::itemsCallTheCoordinator()
{
    startCoordinator();
    auto controller = makeController();
    QMenu *menu = controller->menu();
    SyncManager &manager = m_mac->manager();
    RecordingNotifier &notifier = m_mac->mac().notifier();
    notifier.clear();

    findAction(menu, QStringLiteral("↑  Dock hochladen (Push)"))->trigger();
    m_mac->settle();
    QCOMPARE(notifier.bodies(), QStringList{QStringLiteral("Dock nach iCloud hochgeladen ✅")});
    QCOMPARE(readBytes(m_folder + QStringLiteral("/com.apple.dock.plist")), QByteArray("dock-1"));

    QTRY_VERIFY(findAction(menu, QStringLiteral("↕  Jetzt synchronisieren (Auto)")));
    findAction(menu, QStringLiteral("↕  Jetzt synchronisieren (Auto)"))->trigger();
    m_mac->settle();
    QCOMPARE(notifier.bodies().last(), QStringLiteral("Dock bereits synchron ✅"));

    QTRY_VERIFY(findAction(menu, QStringLiteral("↓  Dock herunterladen (Pull)")));
    findAction(menu, QStringLiteral("↓  Dock herunterladen (Pull)"))->trigger();
    m_mac->settle();
    QCOMPARE(notifier.bodies().last(), QStringLiteral("Dock von iCloud geladen ✅"));
    QCOMPARE(m_mac->mac().dockRestarts(), 1);

    QTRY_VERIFY(findAction(menu, QStringLiteral("▶  Auto-Sync starten")));
    findAction(menu, QStringLiteral("▶  Auto-Sync starten"))->trigger();
    QVERIFY(manager.daemonRunning());
    QTRY_VERIFY(findAction(menu, QStringLiteral("⏸  Auto-Sync stoppen")));
    findAction(menu, QStringLiteral("⏸  Auto-Sync stoppen"))->trigger();
    QVERIFY(!manager.daemonRunning());
    QCOMPARE(m_opened, 0);
    QCOMPARE(m_quit, 0);
}

void MenuBarControllerTest::windowItemsCallTheShell()
{
    startCoordinator();
    auto controller = makeController();
    m_loc->setLang(QStringLiteral("en"));
    QTRY_VERIFY(findAction(controller->menu(), QStringLiteral("Open Tandrill…")));
    findAction(controller->menu(), QStringLiteral("Open Tandrill…"))->trigger();
    QCOMPARE(m_opened, 1);
    QCOMPARE(m_quit, 0);
    findAction(controller->menu(), QStringLiteral("Quit"))->trigger();
    QCOMPARE(m_quit, 1);
    QCOMPARE(m_opened, 1);
}

void MenuBarControllerTest::hostNamesStayPlainText()
{
    startCoordinator();
    const QString evil = QStringLiteral("<b>Evil</b> & Co");
    SimulatedMac other(evil, m_folder, m_root->path());
    other.writeDock("dock-2", 1700000100);
    QCOMPARE(other.run(SyncEngine::Mode::Push).kind(), SyncEngine::Result::Kind::Pushed);
    m_mac->manager().refreshAll();
    m_mac->settle();
    m_mac->manager().setDisplayName(QStringLiteral("<i>Büro</i> & Co"), evil);

    auto controller = makeController();
    QAction *row = findAction(controller->menu(), QStringLiteral("  <i>Büro</i> & Co"));
    QVERIFY(row);
    QCOMPARE(shownToolTip(row),
             evil + QStringLiteral(" — Letzte Aktion: Push um ") + m_mac->manager().connectedHosts().last().lastTime);
}

TANDRILL_TEST_MAIN_IMPL(MenuBarControllerTest, QApplication)
#include "tst_menubarcontroller.moc"
