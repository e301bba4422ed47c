#include "AppController.h"
#include "ContentView.h"
#include "DashboardTab.h"
#include "LanguageButton.h"
#include "LogTab.h"
#include "MainView.h"
#include "MainWindow.h"
#include "MenuBarController.h"
#include "SingleInstance.h"
#include "StatusIcon.h"
#include "SymbolIcons.h"
#include "TandrillIcon.h"
#include "TestCommon.h"
#include "UpdaterManager.h"
#include "ViewStyle.h"
#include "ViewTestFixture.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QSystemTrayIcon>

namespace {

class FakeUpdater final : public UpdaterManager {
public:
    void checkForUpdates() override {}
};

} // namespace

// The tray item, its menu, the main window and the app's start, driven by a real coordinator on a
// simulated Mac.
class TestShell : public QObject {
    Q_OBJECT

    int m_case = 0;
    std::unique_ptr<ViewTestFixture> m_fixture;
    std::unique_ptr<MenuBarController> m_tray;
    int m_opened = 0;
    int m_quits = 0;

    ViewTestFixture &fixture() { return *m_fixture; }
    SyncManager &manager() { return m_fixture->manager(); }
    QMenu *menu() { return m_tray->menu(); }

    // Started with the tray; set up with this Mac's Dock already pushed, or never set up.
    void startWithTray(bool setUp = true)
    {
        if (setUp) {
            fixture().harness().storeSetUp(fixture().folder());
            QCOMPARE(fixture().harness().mac().run(Mode::Push).kind(), SyncEngine::Result::Kind::Pushed);
        }
        fixture().startFresh();
        m_tray = std::make_unique<MenuBarController>(
            &manager(), &fixture().loc(),
            MenuBarController::WindowActions{[this] { ++m_opened; }, [this] { ++m_quits; }});
    }
    void trigger(const char *start)
    {
        QTRY_VERIFY(menuRow(menu(), QString::fromUtf8(start)));
        menuRow(menu(), QString::fromUtf8(start))->trigger();
        fixture().settle();
    }

private slots:
    void init()
    {
        m_fixture =
            std::make_unique<ViewTestFixture>(TestEnvironment::root() + u"/shell-"_s + QString::number(++m_case));
        m_opened = m_quits = 0;
    }
    void cleanup()
    {
        m_tray.reset();
        m_fixture.reset();
    }

    void itemsDoWhatTheySay()
    {
        startWithTray();
        SimulatedMac &mac = fixture().harness().mac();
        mac.writeDock("dock-2", 1700000100);
        trigger("↑");
        QCOMPARE(readBytes(fixture().folder() + u"/com.apple.dock.plist"_s), "dock-2"_ba);
        mac.writeDock("dock-3", 1600000000);
        trigger("↓");
        QCOMPARE(mac.dockBytes(), "dock-2"_ba);
        QCOMPARE(mac.dockRestarts(), 1);
        mac.notifier().clear();
        trigger("↕");
        QCOMPARE(mac.notifier().bodies().size(), 1); // an automatic run
        QVERIFY(readBytes(fixture().folder() + u"/tandrill.log"_s).contains("AUTO: Dock ist bereits"));
        trigger("▶");
        QVERIFY(manager().daemonRunning());
        trigger("⏸");
        QVERIFY(!manager().daemonRunning());
        QCOMPARE(m_opened + m_quits, 0);
        trigger("Tandrill öffnen");
        QCOMPARE(m_opened, 1);
        menu()->actions().constLast()->trigger();
        QCOMPARE(m_quits, 1);
    }

    // No sync row runs without a folder or while a sync runs; the menu says so even before a
    // queued refresh ran.
    void syncRowsDisabled_data()
    {
        QTest::addColumn<bool>("setUp");
        QTest::addColumn<QString>("disabled"); // the rows' first characters
        QTest::newRow("without a folder") << false << "↑↓↕▶";
        QTest::newRow("while syncing") << true << "↑↓↕";
    }
    void syncRowsDisabled()
    {
        QFETCH(bool, setUp);
        QFETCH(QString, disabled);
        startWithTray(setUp);
        if (setUp) {
            menuRow(menu(), u"↑"_s)->trigger();
            QVERIFY(manager().isSyncing());
            menu()->popup(QPoint(0, 0));
            QVERIFY(menuRow(menu(), u"⏳"_s));
        }
        for (const QChar command : disabled) {
            const QAction *action = menuRow(menu(), command);
            QVERIFY2(!action || !action->isEnabled(), qPrintable(QString(command)));
            QVERIFY2(setUp || !action->toolTip().isEmpty(), qPrintable(QString(command))); // says why
        }
        menu()->hide();
        if (!setUp)
            manager().completeSetup(fixture().folder());
        fixture().settle();
        QTRY_VERIFY(menuRow(menu(), u"↑"_s) && menuRow(menu(), u"↑"_s)->isEnabled());
    }

    void colourTooltipAndRebuildFollowTheState()
    {
        startWithTray();
        const QString stoppedTip = m_tray->trayIcon()->toolTip();
        const QColor stopped = m_tray->titleColor();
        const int builds = m_tray->rebuildCount();
        manager().startDaemon();
        QTRY_COMPARE(m_tray->titleColor(), ViewStyle::green());
        QVERIFY(m_tray->rebuildCount() > builds);
        QVERIFY(menuRow(menu(), u"⏸"_s));
        fixture().writeConflictMarker(); // a conflict wins over the running state
        fixture().refresh();
        QTRY_COMPARE(m_tray->titleColor(), ViewStyle::orange());
        QVERIFY(m_tray->trayIcon()->toolTip().contains(u"Konflikt"_s));
        QVERIFY(shownText(menu()->actions().first()).contains(u"Konflikt"_s));
        // Another Mac appears, then gets a display name: the menu follows, as plain text.
        fixture().writeStatus(u"Office-Mini"_s, u"push"_s, u"2024"_s);
        fixture().refresh();
        QTRY_VERIFY(menuRow(menu(), u"  Office-Mini"_s));
        manager().setDisplayName(u"<b>Büro</b> & Co"_s, u"Office-Mini"_s);
        QTRY_VERIFY(menuRow(menu(), u"  <b>Büro</b> & Co"_s));
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
        fixture().startSetUp();
        FakeUpdater updater;
        MainWindow window(&manager(), &fixture().loc(), &updater, u"1.0.0"_s,
                          MainWindow::Shell{[tray] { return tray; }, [this] { ++m_quits; }});
        QVERIFY(showView(&window));
        window.close();
        QVERIFY(!window.isVisible());
        QCOMPARE(m_quits, tray ? 0 : 1);
        window.present();
        QVERIFY(window.isVisible());
    }

    // A change of appearance makes the window's content anew in the new colours, on the tab that
    // was shown, and the tray title follows; the content waits while the user is busy in it.
    void appearanceChange_data()
    {
        QTest::addColumn<QString>("busy");
        QTest::newRow("nothing in the way") << QString();
        QTest::newRow("a dialog is open") << u"dialog"_s;
        QTest::newRow("a text is being typed") << u"typing"_s;
        QTest::newRow("the wizard past its first step") << u"wizard"_s;
    }
    void appearanceChange()
    {
        QFETCH(QString, busy);
        const bool wizard = busy == u"wizard"_s;
        startWithTray(!wizard);
        FakeUpdater updater;
        MainWindow window(&manager(), &fixture().loc(), &updater, u"1.0.0"_s,
                          MainWindow::Shell{[] { return true; }, [] {}});
        QVERIFY(showView(&window));
        ContentView *content = window.contentView();
        if (wizard)
            QTest::mouseClick(content->findChild<QPushButton *>(u"gotItButton"_s), Qt::LeftButton);
        else
            qobject_cast<MainView *>(content->currentView())->showTab(2);
        const QPointer<QWidget> before = content->currentView();
        QPointer<QDialog> dialog;
        if (busy == u"dialog"_s) {
            dialog = new QDialog(&window);
            dialog->show();
        }
        QPointer<QLineEdit> field;
        if (busy == u"typing"_s) {
            field = new QLineEdit(before);
            field->show();
            field->setFocus();
            QTRY_VERIFY(field->hasFocus());
        }

        const QPalette light = QApplication::palette();
        QCOMPARE(m_tray->titleColor(), light.color(QPalette::WindowText)); // stopped: the plain colour
        QPalette dark = light;
        for (const auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
            dark.setColor(role, QColor(30, 30, 30));
        for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            dark.setColor(role, Qt::white);
        QApplication::setPalette(dark);
        const auto restore = qScopeGuard([&light] { QApplication::setPalette(light); });
        QTRY_COMPARE(m_tray->titleColor(), QColor(Qt::white));
        if (!busy.isEmpty()) {
            QTest::qWait(2 * ContentView::kRestyleRetryMilliseconds);
            QCOMPARE(content->currentView(), before.data());
            if (dialog)
                dialog->close();
            if (field)
                field->clearFocus();
            if (wizard)
                manager().completeSetup(fixture().folder());
        }
        QTRY_VERIFY(!before);
        auto *made = qobject_cast<MainView *>(content->currentView());
        QVERIFY(made);
        QCOMPARE(made->currentTab(), wizard ? 0 : 2);
        QCOMPARE(made->findChild<QLabel *>(u"versionFooter"_s)->palette().color(QPalette::WindowText),
                 ViewStyle::withOpacity(Qt::white, 0.3));
    }

    // The drawn icons come at the size asked for, in device pixels, at one and at two device
    // pixels per point: sharp on a Retina screen, and not drawn at four times the size.
    void drawnIconsAtTheScaleAskedFor_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QSize>("space"); // the size asked for
        QTest::addColumn<QSize>("drawn"); // what comes: a square icon in a wide space is square
        QTest::newRow("tray title") << u"tray"_s << QSize(22, 22) << QSize(22, 22);
        QTest::newRow("logo in a wide space") << u"logo"_s << QSize(32, 24) << QSize(24, 24);
        QTest::newRow("symbol") << u"symbol"_s << QSize(16, 16) << QSize(16, 16);
        QTest::newRow("flag") << u"flag"_s << QSize(20, 15) << QSize(20, 15);
    }
    void drawnIconsAtTheScaleAskedFor()
    {
        QFETCH(QString, kind);
        QFETCH(QSize, space);
        QFETCH(QSize, drawn);
        LanguageButton language(&fixture().loc());
        const QIcon icon = kind == u"tray"_s     ? StatusIcon::render(Qt::black)
                           : kind == u"logo"_s   ? TandrillIcon::icon()
                           : kind == u"symbol"_s ? SymbolIcons::icon(u"gearshape"_s, Qt::black)
                                                 : language.icon();
        if (icon.isNull())
            QSKIP("this system shows the flag as text");
        for (const qreal scale : {1.0, 2.0}) {
            const QPixmap pixmap = icon.pixmap(space, scale);
            QCOMPARE(pixmap.size(), drawn * scale);
            QCOMPARE(pixmap.deviceIndependentSize(), QSizeF(drawn));

            // Painted into the space: centred there, within the picture's own square.
            QImage canvas(space * scale, QImage::Format_ARGB32_Premultiplied);
            canvas.setDevicePixelRatio(scale);
            canvas.fill(Qt::transparent);
            QPainter painter(&canvas);
            icon.paint(&painter, QRect(QPoint(0, 0), space));
            painter.end();
            const QRect picture(QPoint((space.width() - drawn.width()) / 2, (space.height() - drawn.height()) / 2) * scale,
                                drawn * scale);
            int inside = 0;
            for (int y = 0; y < canvas.height(); ++y) {
                for (int x = 0; x < canvas.width(); ++x) {
                    if (qAlpha(canvas.pixel(x, y)) == 0)
                        continue;
                    QVERIFY2(picture.contains(x, y), qPrintable(u"%1,%2 at scale %3"_s.arg(x).arg(y).arg(scale)));
                    ++inside;
                }
            }
            QVERIFY(inside > 0);
        }
    }

    // A sync folder that vanished after the set-up (renamed, cloud drive not mounted) is never
    // created again: every sync fails and says so.
    void vanishedFolder_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<QString>("lang");
        QTest::addColumn<QString>("message");
        QTest::newRow("push") << u"push"_s << u"de"_s << u"⚠ Sync-Ordner nicht gefunden"_s;
        QTest::newRow("pull") << u"pull"_s << u"en"_s << u"⚠ Sync folder not found"_s;
        QTest::newRow("background tick") << u"daemon"_s << u"de"_s << QString();
        QTest::newRow("launch") << u"launch"_s << u"en"_s << QString();
    }
    void vanishedFolder()
    {
        QFETCH(QString, trigger);
        QFETCH(QString, lang);
        QFETCH(QString, message);
        fixture().loc().setLang(lang);
        fixture().harness().storeSetUp(fixture().folder());
        if (trigger != u"launch"_s)
            fixture().startFresh();
        QVERIFY(QDir(fixture().folder()).removeRecursively());
        if (trigger == u"launch"_s)
            fixture().startFresh();
        DashboardTab tab(&manager(), &fixture().loc());
        QVERIFY(showView(&tab));

        if (trigger == u"daemon"_s) {
            manager().startDaemon();
            fixture().harness().advance(SyncManager::kFirstDaemonRunDelay + SyncManager::kSafetyRefreshPeriod);
        } else if (!message.isEmpty()) {
            manager().performSync(trigger == u"push"_s ? Mode::Push : trigger == u"pull"_s ? Mode::Pull : Mode::Auto);
            fixture().settle();
            QCOMPARE(manager().syncStatus().outcome, SyncStatus::Outcome::FolderMissing);
            QVERIFY(!manager().isSyncing());
            QCOMPARE(childNamed<QLabel>(&tab, "statusMessage")->text(), message);
        }
        fixture().harness().advance(SyncManager::kSafetyRefreshPeriod);
        QVERIFY(!QFileInfo::exists(fixture().folder()));
        QVERIFY(manager().syncFolderMissing());
        QVERIFY(childNamed<QWidget>(&tab, "folderMissingNotice")->isVisibleTo(&tab));
    }

    // Clearing the shared log clears it for every Mac, so it asks first.
    void clearLogAsks_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("cleared");
        QTest::newRow("cancel keeps the log") << "cancelClearLogButton" << false;
        QTest::newRow("clear empties it") << "confirmClearLogButton" << true;
    }
    void clearLogAsks()
    {
        QFETCH(QString, answer);
        QFETCH(bool, cleared);
        fixture().writeLog({u"[2024-05-01 10:00:00] [Air] PUSH: one"_s});
        SyncManager &manager = fixture().startSetUp();
        const QString log = fixture().folder() + u"/tandrill.log"_s;
        const QByteArray before = readBytes(log);
        const qsizetype lines = manager.logLines().size();
        QVERIFY(lines > 0);
        LogTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        QTest::mouseClick(childNamed<QPushButton>(&tab, "clearLogButton"), Qt::LeftButton);
        fixture().settle();
        QCOMPARE(manager.logLines().size(), lines); // nothing happens before the answer
        auto *dialog = childNamed<QMessageBox>(&tab, "clearLogDialog");
        QVERIFY(dialog);
        childNamed<QPushButton>(dialog, qPrintable(answer))->click();
        fixture().settle();
        QCOMPARE(manager.logLines().isEmpty(), cleared);
        QCOMPARE(readBytes(log), cleared ? QByteArray() : before);
    }

    // One running app per user: a second launch wakes the first one; a login start leaves it alone.
    void oneInstance()
    {
        const QString name = TestEnvironment::root() + u"/runtime/instance-test"_s;
        SingleInstance first(name);
        QVERIFY(first.claim(true));
        QSignalSpy shows(&first, &SingleInstance::showRequested);
        SingleInstance second(name);
        QVERIFY(!second.claim(true));
        QTRY_COMPARE(shows.size(), 1);
        SingleInstance login(name);
        QVERIFY(!login.claim(false));
        QTest::qWait(50);
        QCOMPARE(shows.size(), 1);
    }

    // Started by the login item the app lives in the tray; the window is built when it is opened.
    void trayOnlyStartBuildsNoWindow()
    {
        QSettings settings(u"Tandrill"_s, u"Tandrill"_s);
        settings.clear();
        settings.setValue(u"TandrillLanguage"_s, u"en"_s);
        AppController app(AppController::StartMode::TrayOnly);
        QVERIFY(app.menuBarController());
        QCoreApplication::processEvents();
        QVERIFY(!app.hasWindow());
        QAction *open = menuRow(app.menuBarController()->menu(), u"Open Tandrill…"_s);
        QVERIFY(open);
        open->trigger();
        QVERIFY(app.hasWindow());
        QVERIFY(QTest::qWaitForWindowExposed(app.window()));
    }

    // Without a stored choice the interface follows the system language.
    void languageFollowsTheSystem_data()
    {
        QTest::addColumn<QString>("system");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("expected");
        QTest::newRow("German, Switzerland") << u"de_CH"_s << QString() << u"de"_s;
        QTest::newRow("French: English") << u"fr_FR"_s << QString() << u"en"_s;
        QTest::newRow("a stored choice wins") << u"en_GB"_s << u"de"_s << u"de"_s;
    }
    void languageFollowsTheSystem()
    {
        QFETCH(QString, system);
        QFETCH(QString, stored);
        QFETCH(QString, expected);
        QSettings &settings = fixture().harness().settings();
        if (!stored.isEmpty())
            settings.setValue(LocalizationManager::kLanguageKey, stored);
        LocalizationManager loc(&settings, QLocale(system));
        QCOMPARE(loc.lang(), expected);
        QCOMPARE(settings.contains(LocalizationManager::kLanguageKey), !stored.isEmpty());
    }
};

TANDRILL_TEST_CLASS(TestShell)
#include "tst_shell.moc"
