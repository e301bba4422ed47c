#include "BehaviorSection.h"
#include "ContentView.h"
#include "DashboardTab.h"
#include "ElidedLabel.h"
#include "HostNameRow.h"
#include "HostStatusCard.h"
#include "LogLineText.h"
#include "LogRow.h"
#include "LogTab.h"
#include "MenuBarController.h"
#include "OnboardingView.h"
#include "PullConfirmation.h"
#include "SettingsTab.h"
#include "SyncButton.h"
#include "TestCommon.h"
#include "TestDock.h"
#include "ToggleSwitch.h"
#include "ViewTestFixture.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTabWidget>

// The views, offscreen, against a coordinator with fake services.
class TestViews : public QObject {
    Q_OBJECT

    int m_case = 0;
    QString m_root;
    std::unique_ptr<ViewTestFixture> m_fixture;
    ViewTestFixture &fixture() { return *m_fixture; }
    SimulatedMac &here() { return fixture().harness().mac(); }
    QString sharedDock() const { return m_fixture->folder() + u"/com.apple.dock.plist"_s; }

    // This Mac holds Finder and Notes; the Mac "Air" shared Finder and Xcode.
    void airSharesItsDock(const TestDock::Shape &mine = TestDock::withApps({u"Finder"_s, u"Notes"_s}),
                          const TestDock::Shape &airs = TestDock::withApps({u"Finder"_s, u"Xcode"_s}))
    {
        here().writeDock(TestDock::build(mine));
        SimulatedMac air(u"Air"_s, fixture().folder(), m_root);
        air.writeDock(TestDock::build(airs));
        QCOMPARE(air.run(SyncEngine::Mode::Push), SyncEngine::Result::pushed());
    }

    // An applied Dock keeps this Mac's bookkeeping: it is the same Dock, not the same bytes.
    bool sameDock(const QByteArray &a, const QByteArray &b)
    {
        return DockLayout::parse(a, here().home()) == DockLayout::parse(b, here().home());
    }

    // The dialog a click opened; none when it did not open.
    template <typename T> static T *awaitDialog()
    {
        T *dialog = nullptr;
        (void)QTest::qWaitFor(
            [&] { return (dialog = qobject_cast<T *>(QApplication::activeModalWidget())) != nullptr; });
        return dialog;
    }

private slots:
    void init()
    {
        m_root = TestEnvironment::root() + u"/views-"_s + QString::number(++m_case);
        m_fixture = std::make_unique<ViewTestFixture>(m_root);
        fixture().loc().setLang(u"en"_s);
    }
    void cleanup() { m_fixture.reset(); }

    // Names from the folder show as plain text, one being edited survives a refresh; two Macs of one name are told.
    void otherMacsNames_data()
    {
        QTest::addColumn<QString>("otherMachine"); // of the second computer named like this Mac
        QTest::addColumn<bool>("sameName");
        QTest::newRow("another computer") << u"bbbb"_s << true;
        QTest::newRow("this computer, its status restored") << u"aaaa"_s << false;
        QTest::newRow("an older version writes no machine") << QString() << false;
    }
    void otherMacsNames()
    {
        QFETCH(QString, otherMachine);
        QFETCH(bool, sameName);
        here().setMachine(u"aaaa"_s);
        SyncManager &manager = fixture().startSetUp();
        const QString markup = u"<b>Bold</b> & Co"_s;
        fixture().writeStatus(markup, u"push"_s, u"<i>2024</i>"_s);
        fixture().refresh();
        DashboardTab dashboard(&manager, &fixture().loc());
        QVERIFY(showView(&dashboard));
        for (const QLabel *label : dashboard.findChildren<QLabel *>())
            QVERIFY2(label->textFormat() == Qt::PlainText || !label->text().contains(u'<'), qPrintable(label->text()));
        const auto names = dashboard.findChildren<ElidedLabel *>(u"hostDisplayName"_s);
        QVERIFY(
            std::any_of(names.begin(), names.end(), [&](const ElidedLabel *name) { return name->text() == markup; }));
        for (const HostStatusCard *card : dashboard.findChildren<HostStatusCard *>()) // tooltips are rich text
            QVERIFY(!card->toolTip().contains(u"<b>Bold"_s));

        SettingsTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        HostNameRow *other = nullptr; // the lower of the two visible rows: this Mac comes first
        for (HostNameRow *row : tab.findChildren<HostNameRow *>())
            if (row->isVisibleTo(&tab) && (!other || row->mapTo(&tab, QPoint()).y() > other->mapTo(&tab, QPoint()).y()))
                other = row;
        QVERIFY(other);
        QTest::mouseClick(childNamed<QPushButton>(other, "editNameButton"), Qt::LeftButton);
        QTest::keyClicks(childNamed<QLineEdit>(other, "nameField"), u"Travel"_s);
        fixture().refresh();
        QVERIFY(other->isEditing());
        QCOMPARE(childNamed<QLineEdit>(other, "nameField")->text(), u"Travel"_s);

        SimulatedMac studio(u"Studio"_s, fixture().folder(), m_root);
        studio.setMachine(otherMachine);
        studio.writeDock(TestDock::build(TestDock::withApps({u"Notes"_s})), 2000);
        QCOMPARE(studio.run(Mode::Push).kind(), Kind::Pushed);
        fixture().refresh();
        QCOMPARE(childNamed<QWidget>(&dashboard, "sameNameNotice")->isVisible(), sameName);
    }

    // Stored lines read in the interface language and date style, unknown ones as they are; clearing asks first.
    void logTab_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<QString>("time"); // when the engine wrote its lines, as shown
        QTest::addColumn<bool>("clear");   // the answer to the question
        QTest::newRow("English, clearing cancelled") << u"en"_s << u"12/7/2026 3:12 PM"_s << false;
        QTest::newRow("German, cleared") << u"de"_s << u"07.12.2026 15:12"_s << true;
    }
    void logTab()
    {
        QFETCH(QString, lang);
        QFETCH(QString, time);
        QFETCH(bool, clear);
        SimulatedMac &mac = fixture().harness().mac();
        mac.setNow(QDateTime(QDate(2026, 12, 7), QTime(15, 12, 33)));
        SyncManager &manager = fixture().startSetUp();
        const QString oldLog = fixture().folder() + u"/tandrill.log"_s; // read, never written
        writeBytes(oldLog, "[2026-12-07 15:12:30] [Air] Hallo, Welt (von: unbekannt)\nnot a log line\n");
        for (const Mode mode : {Mode::Pull, Mode::Push, Mode::Auto, Mode::Pull})
            mac.run(mode);
        fixture().loc().setLang(lang == u"en"_s ? u"de"_s : u"en"_s);
        fixture().refresh();
        LogTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        fixture().loc().setLang(lang); // the rows follow a switch
        int engineRows = 0;
        for (const LogRow *row : tab.findChildren<LogRow *>()) {
            const QString shown = childNamed<QLabel>(row, "logMessage")->text();
            const QString stored = row->entry().message();
            if (row->entry().source() != u"Studio"_s) {
                QCOMPARE(shown, stored);
                continue;
            }
            ++engineRows;
            QCOMPARE(childNamed<QLabel>(row, "logTimestamp")->text(), time);
            QVERIFY2(!shown.contains(QRegularExpression(u"\\d{9}"_s)), qPrintable(shown));
            if (lang == u"en"_s)
                QVERIFY2(shown != stored, qPrintable(stored));
            else if (!stored.contains(u'='))
                QCOMPARE(shown, stored);
        }
        QVERIFY(engineRows >= 7);
        // An automatic run's two times keep their places: this Mac's Dock first, then the shared one.
        const QString autoLine = logMessageText(
            &fixture().loc(), u"AUTO: Lokal=1796656326  iCloud=1700000000 (von: Air)  MeinLetzterPull=0"_s);
        QVERIFY2(autoLine.contains(u"2026"_s) && autoLine.indexOf(u"2026"_s) < autoLine.indexOf(u"2023"_s),
                 qPrintable(autoLine));

        const QByteArray before = readBytes(oldLog);
        const qsizetype lines = manager.logLines().size();
        QTest::mouseClick(childNamed<QPushButton>(&tab, "clearLogButton"), Qt::LeftButton);
        fixture().settle();
        QCOMPARE(manager.logLines().size(), lines); // nothing happens before the answer
        auto *dialog = childNamed<QMessageBox>(&tab, "clearLogDialog");
        QVERIFY(dialog);
        if (clear)
            childNamed<QPushButton>(dialog, "confirmClearLogButton")->click();
        else
            QTest::keyClick(dialog, Qt::Key_Return); // the question's default keeps the log
        fixture().refresh();                         // read anew: the cleared lines stay hidden
        QCOMPARE(manager.logLines().isEmpty(), clear);
        QCOMPARE(readBytes(oldLog), before);
        QCOMPARE(QFileInfo::exists(fixture().folder() + u"/tandrill-log-cleared.txt"_s), clear);
    }

    // Whatever differs, the Dock is never replaced without a question that says what; Cancel keeps it.
    void pullAsksFirst_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("shown");
        const QStringList apps{u"Xcode"_s, u"Notes"_s, u"Not installed"_s};
        QTest::newRow("apps, from the Dashboard") << u"Dashboard"_s << u"apps"_s << apps;
        QTest::newRow("apps, from the tray") << u"tray"_s << u"apps"_s << apps;
        QTest::newRow("order only") << u"direct"_s << u"order"_s << QStringList{u"order"_s};
        QTest::newRow("a setting only, both values") << u"direct"_s << u"setting"_s << QStringList{u"41 → 56"_s};
        QTest::newRow("folders only") << u"direct"_s << u"others"_s << QStringList{u"Downloads"_s};
        QTest::newRow("restore the backup a pull made")
            << u"Settings"_s << u"apps"_s << QStringList{u"Xcode"_s, u"Notes"_s};
    }
    void pullAsksFirst()
    {
        QFETCH(QString, from);
        QFETCH(QString, kind);
        QFETCH(QStringList, shown);
        const bool restore = from == u"Settings"_s;
        SyncManager &manager = fixture().startSetUp();
        TestDock::Shape mine = TestDock::withApps({u"Finder"_s, u"Notes"_s});
        mine.settings.insert(u"tilesize"_s, 41);
        TestDock::Shape theirs = mine;
        if (kind == u"apps"_s)
            theirs.apps[1] = TestDock::withApps({u"Xcode"_s}).apps.constFirst();
        else if (kind == u"order"_s)
            std::swap(theirs.apps[0], theirs.apps[1]);
        else if (kind == u"setting"_s)
            theirs.settings.insert(u"tilesize"_s, 56);
        else
            theirs.others.append({u"Downloads"_s, u"/Users/me/Downloads"_s, {}});
        airSharesItsDock(mine, theirs);
        const QByteArray own = here().dockBytes();
        if (restore)
            manager.performSync(SyncEngine::Mode::Pull); // backs up this Mac's Dock first
        fixture().refresh();
        DashboardTab tab(&manager, &fixture().loc());
        SettingsTab settings(&manager, &fixture().loc());
        MenuBarController tray(&manager, &fixture().loc(), {});
        QVERIFY(showView(&tab) && showView(&settings));
        tray.rebuildMenu();
        QCoreApplication::processEvents();
        QAction *pull = menuRow(tray.menu(), u"↓"_s);
        QVERIFY(pull);
        const auto askToPull = [&] {
            if (from == u"tray"_s)
                pull->trigger();
            else if (from == u"Dashboard"_s)
                QTest::mouseClick(childNamed<SyncButton>(&tab, "pullButton"), Qt::LeftButton);
            else if (restore)
                QTest::mouseClick(childNamed<QPushButton>(&settings, "restoreBackupButton"), Qt::LeftButton);
            else
                PullConfirmation::pullAfterAsking(&manager, &fixture().loc(), nullptr);
            return awaitDialog<QMessageBox>();
        };
        const QByteArray before = here().dockBytes();
        const int restarts = here().dockRestarts();
        auto *dialog = askToPull();
        QVERIFY(dialog);
        QCOMPARE(!dialog->parent(), from == u"tray"_s || from == u"direct"_s);
        for (const QString &each : shown) // a restore's list comes from a read off this thread
            QTRY_VERIFY2(dialog->informativeText().contains(each, Qt::CaseInsensitive),
                         qPrintable(dialog->informativeText()));
        if (from == u"direct"_s)
            QTest::keyClick(dialog, Qt::Key_Escape);
        else
            QTest::mouseClick(childNamed<QPushButton>(dialog, restore ? "cancelRestoreButton" : "cancelPullButton"),
                              Qt::LeftButton);
        fixture().settle();
        QVERIFY(!manager.isSyncing());
        QCOMPARE(here().dockBytes(), before);
        QCOMPARE(here().dockRestarts(), restarts);
        dialog = askToPull();
        QVERIFY(dialog);
        QTest::mouseClick(childNamed<QPushButton>(dialog, restore ? "confirmRestoreButton" : "confirmPullButton"),
                          Qt::LeftButton);
        fixture().settle();
        QVERIFY(sameDock(here().dockBytes(), restore ? own : readBytes(sharedDock())));
        QCOMPARE(here().dockRestarts(), restarts + 1);
    }

    // Shown whenever a conflict is flagged, also before the Dashboard was built; each button does its job.
    // A Mac that keeps its own look (switched off in the settings) is told that its tile size stays.
    void conflictBanner_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("flaggedBefore");
        QTest::newRow("dismiss, this Mac keeps its own look") << u"dismissConflictButton"_s << false;
        QTest::newRow("keep this Mac's Dock, flagged before") << u"keepLocalDockButton"_s << true;
        QTest::newRow("use the shared Dock") << u"useSharedDockButton"_s << false;
    }
    void conflictBanner()
    {
        QFETCH(QString, button);
        QFETCH(bool, flaggedBefore);
        const bool keep = button == u"keepLocalDockButton"_s;
        const bool use = button == u"useSharedDockButton"_s;
        SyncManager &manager = fixture().startSetUp();
        TestDock::Shape shape = TestDock::withApps({u"Finder"_s, u"Notes"_s});
        if (!keep && !use) { // dismissed, the Docks stay as they are: here with another tile size
            shape.settings.insert(u"tilesize"_s, 36);
            BehaviorSection behavior(&manager, &fixture().loc());
            QTest::mouseClick(childNamed<ToggleSwitch>(&behavior, "sameLookSwitch"), Qt::LeftButton);
        }
        airSharesItsDock(shape);
        if (flaggedBefore) {
            writeBytes(manager.conflictFilePath(), {});
            fixture().refresh();
            QVERIFY(manager.conflictDetected());
        }
        DashboardTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        auto *banner = childNamed<QWidget>(&tab, "conflictBanner");
        QCOMPARE(banner->isVisibleTo(&tab), flaggedBefore);
        writeBytes(manager.conflictFilePath(), {});
        fixture().refresh();
        QVERIFY(banner->isVisibleTo(&tab));
        QVERIFY(childNamed<QLabel>(banner, "conflictMessage")->text().contains(u"Air"_s));
        const QString status = childNamed<QLabel>(&tab, "dockStatusText")->text();
        const QString ownLook = keep || use ? QString() : u" · This Mac keeps its own look: tile size"_s;
        QVERIFY2(status.startsWith(u"The shared Dock differs"_s) &&
                     status.contains(u"the shared Dock has Xcode, this Mac does not"_s) &&
                     status.endsWith(u"this Mac has Notes, the shared Dock does not"_s + ownLook),
                 qPrintable(status));
        const QByteArray mine = here().dockBytes();
        const QByteArray shared = readBytes(sharedDock());
        QTest::mouseClick(banner->findChild<QPushButton *>(button), Qt::LeftButton);
        if (use) { // asks as Pull does, with the whole list
            auto *dialog = awaitDialog<PullConfirmation>();
            QVERIFY(dialog);
            QTest::mouseClick(dialog->pullButton(), Qt::LeftButton);
        }
        QVERIFY(!banner->isVisibleTo(&tab));
        fixture().settle();
        QCOMPARE(readBytes(sharedDock()), keep ? mine : shared);
        QVERIFY(sameDock(here().dockBytes(), use ? shared : mine));
        QVERIFY(!manager.conflictMarkerExists());
    }

    // The wizard completes the set-up; joining a folder that holds another Dock asks first, then the Docks agree.
    void wizardJoins_data()
    {
        QTest::addColumn<QString>("choice"); // empty: nothing shared yet
        QTest::newRow("empty folder") << QString();
        QTest::newRow("pulls by default") << u"pull"_s;
        QTest::newRow("pushes when chosen") << u"push"_s;
    }
    void wizardJoins()
    {
        QFETCH(QString, choice);
        SyncManager &manager = fixture().startFresh();
        if (!choice.isEmpty())
            airSharesItsDock();
        const QByteArray mine = here().dockBytes();
        const QByteArray shared = readBytes(sharedDock());
        ContentView content(&manager, &fixture().loc(), QString());
        QVERIFY(showView(&content, QSize(600, 800)));
        auto *wizard = content.findChild<OnboardingView *>();
        QTest::mouseClick(childNamed<QPushButton>(wizard, "gotItButton"), Qt::LeftButton);
        fixture().harness().folderPicker().answers.push_back(fixture().folder());
        QTest::mouseClick(childNamed<QPushButton>(wizard, "chooseFolderButton"), Qt::LeftButton);
        fixture().settle();
        QCOMPARE(childNamed<QWidget>(wizard, "joinChoice")->isVisibleTo(wizard), !choice.isEmpty());
        QCOMPARE(readBytes(sharedDock()), shared); // nothing ran before the answer
        QCOMPARE(here().dockBytes(), mine);
        const bool push = choice == u"push"_s;
        if (push)
            QTest::mouseClick(childNamed<QRadioButton>(wizard, "joinPushChoice"), Qt::LeftButton, {},
                              QPoint(4, childNamed<QRadioButton>(wizard, "joinPushChoice")->height() / 2));
        QTest::mouseClick(childNamed<QPushButton>(wizard, "getStartedButton"), Qt::LeftButton);
        fixture().settle();
        QVERIFY(manager.isOnboardingComplete());
        QCOMPARE(manager.syncFolderPath(), fixture().folder());
        QTRY_VERIFY(!content.findChild<OnboardingView *>());
        QVERIFY(qobject_cast<DashboardTab *>(content.findChild<QTabWidget *>()->currentWidget()));
        if (!choice.isEmpty()) {
            QCOMPARE(readBytes(sharedDock()), push ? mine : shared);
            QVERIFY(sameDock(here().dockBytes(), push ? mine : shared));
            QCOMPARE(childNamed<QLabel>(&content, "dockStatusText")->text(), u"Same as the shared Dock"_s);
            QCOMPARE(childNamed<QLabel>(&content, "dockStatusPushed")->text().contains(u"Air"_s), !push);
        }
    }
};

TANDRILL_TEST_CLASS(TestViews)
#include "tst_views.moc"
