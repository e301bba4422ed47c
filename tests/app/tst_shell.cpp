#include "AppController.h"
#include "ContentView.h"
#include "DashboardTab.h"
#include "HeaderView.h"
#include "LanguageButton.h"
#include "MainView.h"
#include "MainWindow.h"
#include "MenuBarController.h"
#include "QtTranslations.h"
#include "SharedLog.h"
#include "SingleInstance.h"
#include "StateBadge.h"
#include "StatusIcon.h"
#include "SyncButton.h"
#include "TandrillIcon.h"
#include "TestCommon.h"
#include "TestDock.h"
#include "ViewStyle.h"
#include "ViewTestFixture.h"

#include <QDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSystemTrayIcon>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

// The tray item, its menu, the main window and the app's start, on a real coordinator.
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
    std::unique_ptr<MainWindow> makeWindow(MainWindow::Shell shell = {[] { return true; }, [] {}},
                                           QSettings *settings = nullptr)
    {
        return std::make_unique<MainWindow>(&manager(), &fixture().loc(), nullptr, u"1.0.0"_s, std::move(shell),
                                            settings);
    }

    // Started with the tray; set up with this Mac's Dock already pushed, or never set up.
    void startWithTray(bool setUp = true, bool folderGone = false)
    {
        if (setUp) {
            fixture().harness().storeSetUp(fixture().folder());
            QCOMPARE(fixture().harness().mac().run(Mode::Push).kind(), SyncEngine::Result::Kind::Pushed);
        }
        if (folderGone)
            QVERIFY(QDir(fixture().folder()).removeRecursively());
        fixture().startFresh();
        m_tray = std::make_unique<MenuBarController>(
            &manager(), &fixture().loc(),
            MenuBarController::WindowActions{[this] { ++m_opened; }, [this] { ++m_quits; }});
    }
    void trigger(const QString &start)
    {
        QTRY_VERIFY(menuRow(menu(), start) && menuRow(menu(), start)->isEnabled());
        menuRow(menu(), start)->trigger();
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

    // No sync control runs without a folder or while a sync runs, and the menu says so before its refresh;
    // then each of the tray's rows does what it says.
    void syncControls_data()
    {
        QTest::addColumn<bool>("setUp");
        QTest::addColumn<QString>("disabled"); // the tray rows' first characters
        QTest::newRow("without a folder") << false << "↑↓↕▶";
        QTest::newRow("while syncing") << true << "↑↓↕";
    }
    void syncControls()
    {
        QFETCH(bool, setUp);
        QFETCH(QString, disabled);
        startWithTray(setUp);
        DashboardTab tab(&manager(), &fixture().loc());
        QVERIFY(showView(&tab));
        const QList<SyncButton *> buttons = tab.findChildren<SyncButton *>(); // Push, Pull and Auto
        if (setUp) {
            QTest::mouseClick(childNamed<SyncButton>(&tab, "pushButton"), Qt::LeftButton);
            QVERIFY(manager().isSyncing());
            for (const SyncButton *button : std::as_const(buttons))
                QVERIFY(!button->isEnabled());
            for (const char *banner : {"keepLocalDockButton", "useSharedDockButton"})
                QVERIFY2(!childNamed<QPushButton>(&tab, banner)->isEnabled(), banner);
            QTest::mouseClick(childNamed<SyncButton>(&tab, "pullButton"), Qt::LeftButton); // ignored while disabled
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
        QCOMPARE(readBytes(fixture().folder() + u"/com.apple.dock.plist"_s),
                 setUp ? fixture().harness().mac().dockBytes() : QByteArray()); // the Dashboard's push ran
        QCOMPARE(fixture().harness().mac().dockRestarts(), 0);
        QTRY_VERIFY(std::all_of(buttons.cbegin(), buttons.cend(), [](const SyncButton *b) { return b->isEnabled(); }));
        manager().stopDaemon(); // the set-up's end starts it
        SimulatedMac &mac = fixture().harness().mac();
        mac.writeDock("dock-2", 1700000100);
        trigger(u"↑"_s);
        QCOMPARE(readBytes(fixture().folder() + u"/com.apple.dock.plist"_s), "dock-2"_ba);
        mac.writeDock("dock-3", 1600000000);
        trigger(u"↓"_s); // nothing to compare: pulls without asking
        QCOMPARE(mac.dockBytes(), "dock-2"_ba);
        QCOMPARE(mac.dockRestarts(), 1);
        mac.notifier().clear();
        trigger(u"↕"_s);
        QCOMPARE(mac.notifier().bodies().size(), 1); // an automatic run
        QVERIFY(readBytes(fixture().folder() + u'/' + SharedLog::ownFileName(mac.hostname()))
                    .contains("AUTO: Dock ist bereits"));
        trigger(u"▶"_s);
        QVERIFY(manager().daemonRunning());
        QTRY_COMPARE(m_tray->titleColor(), ViewStyle::green());
        // Another Mac appears, then gets a display name: the menu follows, as plain text.
        fixture().writeStatus(u"Office-Mini"_s, u"push"_s, u"2024"_s);
        fixture().refresh();
        QTRY_VERIFY(menuRow(menu(), u"  Office-Mini"_s));
        manager().setDisplayName(u"<b>Büro</b> & Co"_s, u"Office-Mini"_s);
        QTRY_VERIFY(menuRow(menu(), u"  <b>Büro</b> & Co"_s));
        trigger(u"⏸"_s);
        QVERIFY(!manager().daemonRunning());
        QTRY_COMPARE(m_tray->titleColor(), QApplication::palette().color(QPalette::WindowText)); // the plain one
        QTest::mouseClick(childNamed<QPushButton>(&tab, "applyIntervalButton"), Qt::LeftButton);
        QVERIFY(!manager().daemonRunning()); // a new interval starts no background sync
        trigger(u"Tandrill öffnen"_s);
        QCOMPARE(m_opened, 1);
        menu()->actions().constLast()->trigger();
        QCOMPARE(m_quits, 1);
    }

    // A new appearance remakes the window's content on the same tab, once the user is not busy in it.
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
        const auto window = makeWindow();
        QVERIFY(showView(window.get()));
        ContentView *content = window->contentView();
        if (wizard)
            QTest::mouseClick(content->findChild<QPushButton *>(u"gotItButton"_s), Qt::LeftButton);
        else
            qobject_cast<MainView *>(content->currentView())->showTab(2);
        const QPointer<QWidget> before = content->currentView();
        QPointer<QWidget> busyWith; // deleted when the user is done
        if (busy == u"dialog"_s)
            busyWith = new QDialog(window.get());
        else if (busy == u"typing"_s)
            busyWith = new QLineEdit(before);
        if (busyWith) {
            busyWith->show();
            busyWith->setFocus();
            QTRY_VERIFY(busy == u"dialog"_s || busyWith->hasFocus());
        }

        const QPalette light = QApplication::palette();
        QApplication::setPalette(QPalette(QColor(30, 30, 30), QColor(30, 30, 30))); // dark, with white text
        const auto restore = qScopeGuard([&light] { QApplication::setPalette(light); });
        QTRY_COMPARE(m_tray->titleColor(), QColor(Qt::white));
        if (!busy.isEmpty()) {
            QTest::qWait(2 * ContentView::kRestyleRetryMilliseconds);
            QCOMPARE(content->currentView(), before.data());
            delete busyWith;
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

    // Drawn icons come in device pixels: sharp on a Retina screen, and not drawn at four times the size.
    void drawnIconsAtTheScaleAskedFor_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QSize>("space"); // the size asked for
        QTest::addColumn<QSize>("drawn"); // what comes: a square icon in a wide space is square
        QTest::newRow("tray title") << u"tray"_s << QSize(22, 22) << QSize(22, 22);
        QTest::newRow("logo in a wide space") << u"logo"_s << QSize(32, 24) << QSize(24, 24);
        QTest::newRow("flag") << u"flag"_s << QSize(20, 15) << QSize(20, 15);
    }
    void drawnIconsAtTheScaleAskedFor()
    {
        QFETCH(QString, kind);
        QFETCH(QSize, space);
        QFETCH(QSize, drawn);
        LanguageButton language(&fixture().loc());
        const QIcon icon = kind == u"tray"_s   ? StatusIcon::render(Qt::black)
                           : kind == u"logo"_s ? TandrillIcon::icon()
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
            const QImage blank = canvas;
            QPainter painter(&canvas);
            icon.paint(&painter, QRect(QPoint(0, 0), space));
            const QImage painted = canvas.copy();
            painter.setCompositionMode(QPainter::CompositionMode_Clear);
            painter.fillRect(QRect(QPoint(space.width() - drawn.width(), space.height() - drawn.height()) / 2, drawn),
                             Qt::transparent);
            painter.end();
            QVERIFY(painted != blank);
            QVERIFY2(canvas == blank, qPrintable(u"drawn outside its square at scale %1"_s.arg(scale)));
        }
    }

    // What keeps this Mac from syncing shows everywhere and is told once; runs that change nothing are quiet.
    void stateFollowsTheTruth_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("problem");
        QTest::newRow("in sync") << u"in sync"_s << false;
        QTest::newRow("folder missing") << u"folder missing"_s << true;
        QTest::newRow("folder missing at launch") << u"folder missing at launch"_s << true;
        QTest::newRow("conflict") << u"conflict"_s << true;
        QTest::newRow("shared Dock not arrived yet") << u"unavailable"_s << true;
        QTest::newRow("conflict ignored, nothing changed since") << u"ignored"_s << false;
        QTest::newRow("conflict ignored, then a Dock changed") << u"ignored, changed"_s << true;
    }
    void stateFollowsTheTruth()
    {
        QFETCH(QString, state);
        QFETCH(bool, problem);
        const bool folderMissing = state.startsWith(u"folder missing"_s);
        const bool atLaunch = state == u"folder missing at launch"_s;
        startWithTray(true, atLaunch);
        fixture().loc().setLang(u"en"_s);
        HeaderView header(&manager(), &fixture().loc());
        DashboardTab tab(&manager(), &fixture().loc());
        QVERIFY(showView(&tab));
        SimulatedMac &mac = fixture().harness().mac();
        if (state == u"folder missing"_s) {
            QVERIFY(QDir(fixture().folder()).removeRecursively());
        } else if (state.startsWith(u"conflict"_s) || state.startsWith(u"ignored"_s)) {
            SimulatedMac air(u"Air"_s, fixture().folder(), fixture().folder() + u"-air"_s);
            air.writeDock(TestDock::build(TestDock::withApps({u"Finder"_s, u"Xcode"_s})));
            QCOMPARE(air.run(Mode::Push), SyncEngine::Result::pushed());
            mac.writeDock(TestDock::build(TestDock::withApps({u"Finder"_s, u"Notes"_s})));
        } else if (state == u"unavailable"_s) { // evicted: iCloud Drive leaves a stub beside it
            QVERIFY(QFile::remove(fixture().folder() + u"/com.apple.dock.plist"_s));
            writeBytes(fixture().folder() + u"/.com.apple.dock.plist.icloud"_s, "stub");
        }
        mac.notifier().clear();
        manager().startDaemon();
        const auto threeRuns = [this] { fixture().harness().advance(std::chrono::hours(3)); };
        threeRuns();
        if (state.startsWith(u"ignored"_s)) {
            QVERIFY(manager().conflictDetected());
            manager().ignoreConflict();
            fixture().settle();
            mac.notifier().clear();
            threeRuns();
            QVERIFY(!manager().conflictDetected());
            if (state == u"ignored, changed"_s) {
                mac.writeDock(TestDock::build(TestDock::withApps({u"Finder"_s, u"Mail"_s})));
                threeRuns();
            }
        }
        const auto *badge = childNamed<StateBadge>(&header, "stateBadge");
        QCOMPARE(badge->state(), problem ? StateBadge::State::Conflict : StateBadge::State::Active);
        QTRY_COMPARE(m_tray->titleColor(), problem ? ViewStyle::orange() : ViewStyle::green());
        QCOMPARE(m_tray->trayIcon()->toolTip() == u"Tandrill: Auto-Sync active"_s, !problem);
        menu()->popup(QPoint(0, 0));
        QCOMPARE(menuRow(menu(), u"⚠️"_s) == menu()->actions().first(), problem);
        menu()->hide();
        const qsizetype told = mac.notifier().bodies().size();
        QVERIFY2(atLaunch ? told <= 1 : told == (problem ? 1 : 0), qPrintable(QString::number(told)));
        // "Last" is this Mac's last successful run, not a file's time.
        QCOMPARE(manager().lastSuccessfulSync() != u"—"_s, state == u"in sync"_s);
        QCOMPARE(childNamed<QWidget>(&tab, "folderMissingNotice")->isVisibleTo(&tab), folderMissing);
        manager().performSync(Mode::Push); // a vanished folder is never made again: a sync fails, saying so
        fixture().settle();
        QCOMPARE(childNamed<QLabel>(&tab, "statusMessage")->text() == u"⚠ Sync folder not found"_s, folderMissing);
        QCOMPARE(QFileInfo::exists(fixture().folder()), !folderMissing);
    }

    // Keyboard only: focus shows, Return presses, Ctrl+W closes; without a tray to stay in, closing quits.
    void keyboard_data()
    {
        QTest::addColumn<QString>("control"); // class name
        QTest::addColumn<bool>("tray");
        QTest::newRow("prominent button") << u"ProminentButton"_s << true;
        QTest::newRow("sync button") << u"SyncButton"_s << true;
        QTest::newRow("language button, without a tray") << u"LanguageButton"_s << false;
        QTest::newRow("toggle switch") << u"ToggleSwitch"_s << true;
    }
    void keyboard()
    {
        QFETCH(QString, control);
        QFETCH(bool, tray);
        fixture().startSetUp();
        QStringList told;
        const auto window =
            makeWindow({[tray] { return tray; }, [this] { ++m_quits; }, [&told](const QString &text) { told << text; }},
                       &fixture().harness().settings());
        QVERIFY(showView(window.get(), QSize(900, 900)));
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        if (control == u"ToggleSwitch"_s)
            qobject_cast<MainView *>(window->contentView()->currentView())->showTab(2);
        QAbstractButton *button = nullptr;
        QTRY_VERIFY(std::ranges::any_of(window->findChildren<QAbstractButton *>(), [&](QAbstractButton *candidate) {
            button = candidate;
            return candidate->inherits(qPrintable(control)) && candidate->isVisible() && candidate->isEnabled();
        }));
        const QImage unfocused = button->grab().toImage();
        button->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(button->hasFocus());
        QVERIFY(button->grab().toImage() != unfocused);

        QSignalSpy pressed(button, &QAbstractButton::clicked);
        QTest::keyClick(button, Qt::Key_Return);
        QTRY_COMPARE(pressed.size(), 1);
        fixture().settle();

        for (int close = 0; close < 2; ++close) {
            window->present();
            QVERIFY(QTest::qWaitForWindowActive(window.get()));
            QTest::keySequence(window.get(), QKeySequence(Qt::CTRL | Qt::Key_W));
            QTRY_VERIFY(!window->isVisible());
        }
        QCOMPARE(told.size(), tray ? 1 : 0);
        QCOMPARE(m_quits, tray ? 0 : 2);
    }

    // Every text shown or told is in the interface language; a conflict's notice names the banner's buttons.
    void oneLanguageEverywhere_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<QString>("foreign");
        QTest::newRow("English") << u"en"_s << uR"([äöüÄÖÜß]|\b(der|die|das|und|nicht|ist|wird|oder|Ordner)\b)"_s;
        QTest::newRow("German") << u"de"_s << uR"(\b(the|and|this|is|not|with|folder|Folder)\b)"_s;
    }
    void oneLanguageEverywhere()
    {
        QFETCH(QString, lang);
        QFETCH(QString, foreign);
        startWithTray();
        QtTranslations translations(&fixture().loc());
        fixture().loc().setLang(lang == u"de"_s ? u"en"_s : u"de"_s);
        fixture().loc().setLang(lang);
        writeBytes(manager().conflictFilePath(), {});
        fixture().refresh();
        const auto window = makeWindow();
        QVERIFY(showView(window.get()));
        QStringList texts{m_tray->trayIcon()->toolTip()};
        for (const int tab : {0, 2}) { // the Log tab shows the stored lines as they are
            qobject_cast<MainView *>(window->contentView()->currentView())->showTab(tab);
            QCoreApplication::processEvents();
            for (QWidget *widget : window->findChildren<QWidget *>()) {
                const auto *label = qobject_cast<QLabel *>(widget);
                const auto *button = qobject_cast<QAbstractButton *>(widget);
                if (widget->isVisible())
                    texts << widget->toolTip() << (label ? label->text() : button ? button->text() : QString());
            }
        }
        m_tray->rebuildMenu();
        for (const QAction *row : menu()->actions())
            texts << row->text() << row->toolTip();
        QSet<QString> notices;
        for (const ConflictCause cause :
             {ConflictCause::BothChanged, ConflictCause::Joining, ConflictCause::Overwritten}) {
            const QString text = noticeText({SyncNotice::Kind::Conflict, {}, cause}, lang);
            for (const char *button : {"keepLocalDockButton", "useSharedDockButton"})
                QVERIFY2(text.contains(childNamed<QPushButton>(window.get(), button)->text()), qPrintable(text));
            notices.insert(text);
        }
        QCOMPARE(notices.size(), 3);
        texts += notices.values();
        for (const QString &text : std::as_const(texts))
            QVERIFY2(!QRegularExpression(foreign).match(text).hasMatch(), qPrintable(text));
        if (QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + u"/qtbase_de.qm"_s)) {
            QMessageBox box(QMessageBox::Question, u"T"_s, u"T"_s, QMessageBox::Cancel);
            QCOMPARE(box.button(QMessageBox::Cancel)->text(), lang == u"de"_s ? u"Abbrechen"_s : u"Cancel"_s);
        }
    }

    // As main starts the app: one per user, and a crash's socket is no bar; started by the login item it lives
    // in the tray, its window built when opened. A second launch wakes it, a second login start does not.
    void startsOncePerUserInTheTray()
    {
        const QString name = TestEnvironment::root() + u"/instance-test"_s;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, QFile::encodeName(name).constData(), sizeof address.sun_path);
        const int crashed = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(::bind(crashed, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0);
        ::close(crashed);
        QVERIFY(QFileInfo::exists(name));
        SingleInstance first(name);
        QVERIFY(first.claim(false));
        QSignalSpy shows(&first, &SingleInstance::showRequested);
        QSettings settings(u"Tandrill"_s, u"Tandrill"_s);
        settings.clear();
        settings.setValue(u"TandrillLanguage"_s, u"en"_s);
        const QString folder = TestEnvironment::root() + u"/login-start-folder"_s;
        QVERIFY(QDir().mkpath(folder));
        settings.setValue(u"TandrillFolderPath"_s, folder);
        settings.setValue(u"TandrillOnboardingComplete"_s, true);
        AppController app([] { return std::optional<bool>(true); });
        QVERIFY(!app.startsWithWindow());
        QVERIFY(app.menuBarController());
        QCoreApplication::processEvents();
        QVERIFY(!app.hasWindow());
        QAction *open = menuRow(app.menuBarController()->menu(), u"Open Tandrill…"_s);
        QVERIFY(open);
        open->trigger();
        QVERIFY(app.hasWindow());
        QVERIFY(QTest::qWaitForWindowExposed(app.window()));
        SingleInstance second(name);
        QVERIFY(!second.claim(true));
        QTRY_COMPARE(shows.size(), 1);
        SingleInstance login(name);
        QVERIFY(!login.claim(false));
        QTest::qWait(50);
        QCOMPARE(shows.size(), 1);
    }
};

TANDRILL_TEST_CLASS(TestShell)
#include "tst_shell.moc"
