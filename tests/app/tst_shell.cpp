#include "CoordinatorHarness.h"
#include "LocalizationManager.h"
#include "MainWindow.h"
#include "MenuBarController.h"
#include "TestEnvironment.h"
#include "TestMain.h"
#include "UpdaterManager.h"
#include "ViewStyle.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QTemporaryDir>

namespace {

class FakeUpdater final : public UpdaterManager {
public:
    void checkForUpdates() override {}
};

QString shown(const QAction *action)
{
    return action->text().replace(QStringLiteral("&&"), QStringLiteral("&"));
}

// The menu's action whose text starts with the given one, or null.
QAction *row(const QMenu *menu, const QString &start)
{
    for (QAction *action : menu->actions()) {
        if (shown(action).startsWith(start))
            return action;
    }
    return nullptr;
}

} // namespace

// The tray item, its menu and the main window, driven by a real coordinator on a simulated Mac.
class TestShell : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<QSettings> m_settings;
    std::unique_ptr<LocalizationManager> m_loc;
    std::unique_ptr<CoordinatorHarness> m_mac;
    std::unique_ptr<MenuBarController> m_tray;
    QString m_folder;
    int m_opened = 0;
    int m_quits = 0;

    SyncManager &manager() { return m_mac->manager(); }
    QMenu *menu() { return m_tray->menu(); }
    void flagConflict()
    {
        writeBytes(manager().conflictFilePath(), "conflict");
        manager().refreshAll();
        m_mac->settle();
        QVERIFY(manager().conflictDetected());
    }

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>(TestEnvironment::root() + QStringLiteral("/shell-XXXXXX"));
        m_settings = std::make_unique<QSettings>(m_root->filePath(QStringLiteral("app.ini")), QSettings::IniFormat);
        m_loc = std::make_unique<LocalizationManager>(m_settings.get());
        m_folder = m_root->filePath(QStringLiteral("iCloud/Tandrill"));
        m_mac = std::make_unique<CoordinatorHarness>(QStringLiteral("Studio"), m_root->path());
        m_mac->storeSetUp(m_folder);
        m_mac->mac().writeDock("dock-1", 1700000000);
        QCOMPARE(m_mac->mac().run(SyncEngine::Mode::Push).kind(), SyncEngine::Result::Kind::Pushed);
        m_mac->start();
        m_mac->settle();
        m_opened = m_quits = 0;
        m_tray = std::make_unique<MenuBarController>(
            &manager(), m_loc.get(), MenuBarController::WindowActions{[this] { ++m_opened; }, [this] { ++m_quits; }});
    }
    void cleanup()
    {
        m_tray.reset();
        m_mac.reset();
    }

    void itemsDoWhatTheySay()
    {
        RecordingNotifier &notifier = m_mac->mac().notifier();
        m_mac->mac().writeDock("dock-2", 1700000100);
        row(menu(), QStringLiteral("↑"))->trigger();
        m_mac->settle();
        QCOMPARE(readBytes(m_folder + QStringLiteral("/com.apple.dock.plist")), QByteArray("dock-2"));
        m_mac->mac().writeDock("dock-3", 1600000000);
        QTRY_VERIFY(row(menu(), QStringLiteral("↓")));
        row(menu(), QStringLiteral("↓"))->trigger();
        m_mac->settle();
        QCOMPARE(m_mac->mac().dockBytes(), QByteArray("dock-2"));
        QCOMPARE(m_mac->mac().dockRestarts(), 1);
        notifier.clear();
        QTRY_VERIFY(row(menu(), QStringLiteral("↕")));
        row(menu(), QStringLiteral("↕"))->trigger();
        m_mac->settle();
        QCOMPARE(notifier.bodies().size(), 1); // an automatic run
        QVERIFY(readBytes(m_folder + QStringLiteral("/tandrill.log")).contains("AUTO: Dock ist bereits synchron"));
        QTRY_VERIFY(row(menu(), QStringLiteral("▶")));
        row(menu(), QStringLiteral("▶"))->trigger();
        QVERIFY(manager().daemonRunning());
        QTRY_VERIFY(row(menu(), QStringLiteral("⏸")));
        row(menu(), QStringLiteral("⏸"))->trigger();
        QVERIFY(!manager().daemonRunning());
        QCOMPARE(m_opened + m_quits, 0);
        row(menu(), QStringLiteral("Tandrill öffnen"))->trigger();
        QCOMPARE(m_opened, 1);
        menu()->actions().constLast()->trigger();
        QCOMPARE(m_quits, 1);
    }

    // While a sync runs, no row starts another; the menu says so even before a queued refresh ran.
    void rowsWhileSyncing()
    {
        row(menu(), QStringLiteral("↑"))->trigger();
        QVERIFY(manager().isSyncing());
        menu()->popup(QPoint(0, 0));
        QVERIFY(row(menu(), QStringLiteral("⏳")));
        for (const char *command : {"↑", "↓", "↕"}) {
            const QAction *action = row(menu(), QString::fromUtf8(command));
            QVERIFY2(!action || !action->isEnabled(), command);
        }
        menu()->hide();
        m_mac->settle();
        QTRY_VERIFY(row(menu(), QStringLiteral("↑")) && row(menu(), QStringLiteral("↑"))->isEnabled());
    }

    void colourTooltipAndRebuildFollowTheState()
    {
        const QString stoppedTip = m_tray->trayIcon()->toolTip();
        const QColor stopped = m_tray->titleColor();
        int builds = m_tray->rebuildCount();
        manager().startDaemon();
        QTRY_COMPARE(m_tray->titleColor(), ViewStyle::green());
        QVERIFY(m_tray->rebuildCount() > builds);
        QVERIFY(row(menu(), QStringLiteral("⏸")));
        flagConflict(); // a conflict wins over the running state
        QTRY_COMPARE(m_tray->titleColor(), ViewStyle::orange());
        QVERIFY(m_tray->trayIcon()->toolTip().contains(QStringLiteral("Konflikt")));
        QVERIFY(shown(menu()->actions().first()).contains(QStringLiteral("Konflikt")));
        // Another Mac appears, then gets a display name: the menu follows.
        SimulatedMac other(QStringLiteral("Office-Mini"), m_folder, m_root->path());
        QCOMPARE(other.run(SyncEngine::Mode::Status).kind(), SyncEngine::Result::Kind::StatusWritten);
        manager().refreshAll();
        m_mac->settle();
        QTRY_VERIFY(row(menu(), QStringLiteral("  Office-Mini")));
        manager().setDisplayName(QStringLiteral("<b>Büro</b> & Co"), QStringLiteral("Office-Mini"));
        QTRY_VERIFY(row(menu(), QStringLiteral("  <b>Büro</b> & Co"))); // plain text, as typed
        manager().dismissConflict();
        manager().stopDaemon();
        QTRY_COMPARE(m_tray->titleColor(), stopped);
        QCOMPARE(m_tray->trayIcon()->toolTip(), stoppedTip);
    }

    void closingWithAndWithoutATray_data()
    {
        QTest::addColumn<bool>("tray");
        QTest::newRow("with a tray: the app stays") << true;
        QTest::newRow("without a tray: the app quits") << false;
    }
    void closingWithAndWithoutATray()
    {
        QFETCH(bool, tray);
        FakeUpdater updater;
        MainWindow window(&manager(), m_loc.get(), &updater, QStringLiteral("1.0.0"),
                          MainWindow::Shell{[tray] { return tray; }, [this] { ++m_quits; }});
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.close();
        QVERIFY(!window.isVisible());
        QCOMPARE(m_quits, tray ? 0 : 1);
        window.present();
        QVERIFY(window.isVisible());
    }
};

TANDRILL_TEST_CLASS(TestShell)
#include "tst_shell.moc"
