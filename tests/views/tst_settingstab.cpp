#include "ContentView.h"
#include "DashboardTab.h"
#include "ElidedLabel.h"
#include "FolderProbe.h"
#include "InfoRow.h"
#include "OnboardingView.h"
#include "SettingsTab.h"
#include "SymbolView.h"
#include "TestEnvironment.h"
#include "ToggleSwitch.h"
#include "ViewStyle.h"
#include "ViewTestFixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QMutex>
#include <QPushButton>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTabWidget>
#include <QToolButton>

using namespace std::chrono_literals;

namespace {

QString pickFor(const QString &lang, const char *german, const char *english)
{
    return QString::fromUtf8(lang == QLatin1String("en") ? english : german);
}

QMessageBox *openDialog(const QWidget *owner, const char *name)
{
    QMessageBox *dialog = childNamed<QMessageBox>(owner, name);
    return dialog && dialog->isVisible() ? dialog : nullptr;
}

QStringList infoTexts(const QWidget *tab)
{
    QStringList texts;
    for (const InfoRow *row : tab->findChildren<InfoRow *>())
        texts.append(row->label() + QLatin1Char('=') + row->value());
    return texts;
}

} // namespace

class TestSettingsTab : public QObject {
    Q_OBJECT

private:
    int m_case = 0;
    std::unique_ptr<ViewTestFixture> m_fixture;

    ViewTestFixture &fixture() { return *m_fixture; }

private slots:
    void init()
    {
        m_fixture = std::make_unique<ViewTestFixture>(TestEnvironment::root() + QLatin1String("/settings-") +
                                                      QString::number(++m_case));
    }
    void cleanup() { m_fixture.reset(); }

    void emptyPathCountsAsMissing_data() { addLanguageColumn(); }
    void emptyPathCountsAsMissing()
    {
        QFETCH(QString, lang);
        fixture().loc().setLang(lang);
        SyncManager &manager = fixture().startFresh();
        SettingsTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        QCOMPARE(childNamed<ElidedLabel>(&tab, "syncFolderPath")->text(), QString());
        auto *check = childNamed<QLabel>(&tab, "folderCheckText");
        QTRY_VERIFY(check->isVisibleTo(&tab));
        QCOMPARE(check->text(),
                 pickFor(lang, "Ordner nicht gefunden — iCloud aktiv?", "Folder not found — is iCloud active?"));
        QCOMPARE(check->palette().color(QPalette::WindowText), ViewStyle::red());
        QCOMPARE(childNamed<SymbolView>(&tab, "folderCheckIcon")->symbol(), QStringLiteral("xmark.circle.fill"));
        QCOMPARE(childNamed<QLabel>(&tab, "syncFolderNote")->text(),
                 pickFor(lang,
                         "<b>Wichtig:</b> Auf allen Macs muss hier derselbe iCloud-Ordner eingestellt sein. Bis zu 4 "
                         "Macs werden dann automatisch erkannt.",
                         "<b>Important:</b> All Macs must use the same iCloud folder here. Up to 4 Macs will then be "
                         "detected automatically."));
    }

    void folderCheckIsAskedOnEveryDraw()
    {
        SyncManager &manager = fixture().startSetUp();
        SettingsTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        auto *check = childNamed<QLabel>(&tab, "folderCheckText");
        QTRY_COMPARE(check->text(), QStringLiteral("Ordner vorhanden ✓"));
        QCOMPARE(childNamed<SymbolView>(&tab, "folderCheckIcon")->symbol(), QStringLiteral("checkmark.circle.fill"));

        QVERIFY(QDir(fixture().folder()).removeRecursively());
        tab.hide();
        tab.show(); // drawn again
        QTRY_COMPARE(check->text(), QStringLiteral("Ordner nicht gefunden — iCloud aktiv?"));

        QVERIFY(QDir().mkpath(fixture().folder()));
        manager.refreshAll(); // the five-second refresh republishes the state
        QTRY_COMPARE(check->text(), QStringLiteral("Ordner vorhanden ✓"));
    }

    void folderCheckNeverWaitsForTheFileSystem()
    {
        // A sleeping network or cloud folder can hold a stat for seconds; the question goes to a
        // pool thread, and only the newest waiting path is asked next.
        QSemaphore answer;
        QMutex mutex;
        QStringList asked;
        FolderProbe probe([&](const QString &path) {
            {
                QMutexLocker lock(&mutex);
                asked.append(path);
            }
            answer.acquire();
            return path == QLatin1String("/a");
        });
        QSignalSpy checked(&probe, &FolderProbe::checked);
        QElapsedTimer clock;
        clock.start();
        probe.check(QStringLiteral("/a"));
        probe.check(QStringLiteral("/b"));
        probe.check(QStringLiteral("/c"));
        QVERIFY(clock.elapsed() < 1000);
        QTest::qWait(100); // the event loop keeps running meanwhile
        QCOMPARE(checked.count(), 0);

        answer.release();
        QTRY_COMPARE(checked.count(), 1);
        QCOMPARE(checked.at(0), (QVariantList{QStringLiteral("/a"), true}));
        answer.release();
        QTRY_COMPARE(checked.count(), 2);
        QCOMPARE(checked.at(1), (QVariantList{QStringLiteral("/c"), false}));
        QMutexLocker lock(&mutex);
        QCOMPARE(asked, (QStringList{QStringLiteral("/a"), QStringLiteral("/c")}));
    }

    void changeFolderFlow_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<bool>("chosen");
        QTest::addColumn<bool>("running");
        QTest::newRow("German, cancelled, stopped") << QStringLiteral("de") << false << false;
        QTest::newRow("English, cancelled, running") << QStringLiteral("en") << false << true;
        QTest::newRow("German, chosen, stopped") << QStringLiteral("de") << true << false;
        QTest::newRow("English, chosen, running") << QStringLiteral("en") << true << true;
    }
    void changeFolderFlow()
    {
        QFETCH(QString, lang);
        QFETCH(bool, chosen);
        QFETCH(bool, running);
        fixture().loc().setLang(lang);
        SyncManager &manager = fixture().startSetUp();
        if (running) {
            manager.startDaemon();
            fixture().harness().advance(10min); // past the first run: the next is an hour after the start
        }
        const auto nextRun = fixture().harness().scheduler().nextDue();
        const QString newFolder =
            QDir::homePath() + QLatin1String("/Library/Mobile Documents/com~apple~CloudDocs/Dock");
        if (chosen)
            fixture().harness().folderPicker().answers.push_back(newFolder);
        SettingsTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));

        auto *change = childNamed<QPushButton>(&tab, "changeFolderButton");
        QCOMPARE(change->text(), pickFor(lang, "Ordner ändern…", "Change Folder…"));
        QTest::mouseClick(change, Qt::LeftButton);
        QMessageBox *alert = openDialog(&tab, "changeFolderDialog");
        QVERIFY(alert);
        QCOMPARE(alert->text(), pickFor(lang, "Sync-Ordner ändern?", "Change Sync Folder?"));
        QCOMPARE(
            alert->informativeText(),
            pickFor(lang,
                    "Den neuen Ordner musst du auf allen Macs gleich einstellen, sonst verlieren sie die Verbindung.",
                    "You must set the same folder on all Macs, otherwise they will lose their connection."));
        QCOMPARE(childNamed<QPushButton>(alert, "cancelChangeButton")->text(), pickFor(lang, "Abbrechen", "Cancel"));
        auto *choose = childNamed<QPushButton>(alert, "chooseFolderButton");
        QCOMPARE(choose->text(), pickFor(lang, "Ordner wählen", "Choose Folder"));
        QTest::mouseClick(choose, Qt::LeftButton);
        fixture().settle();
        QCOMPARE(fixture().harness().folderPicker().calls, 1);
        QCOMPARE(manager.daemonRunning(), running);

        if (!chosen) {
            QCOMPARE(manager.syncFolderPath(), fixture().folder());
            QCOMPARE(fixture().harness().scheduler().nextDue(), nextRun);
            return;
        }
        QCOMPARE(manager.syncFolderPath(), newFolder);
        QVERIFY(QFileInfo::exists(newFolder));
        // Shown under the home directory as "~".
        QCOMPARE(childNamed<ElidedLabel>(&tab, "syncFolderPath")->text(),
                 QStringLiteral("~/Library/Mobile Documents/com~apple~CloudDocs/Dock"));
        QTRY_COMPARE(childNamed<QLabel>(&tab, "folderCheckText")->text(),
                     pickFor(lang, "Ordner vorhanden ✓", "Folder found ✓"));
        if (running) // restarted: the first run of the new timer comes a second later
            QCOMPARE(fixture().harness().scheduler().nextDue(),
                     std::optional(fixture().harness().scheduler().now() + SyncManager::kFirstDaemonRunDelay));
        else
            QVERIFY(!manager.autoSyncPeriod());
    }

    void cancellingTheAlertChoosesNothing()
    {
        SyncManager &manager = fixture().startSetUp();
        SettingsTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        QTest::mouseClick(childNamed<QPushButton>(&tab, "changeFolderButton"), Qt::LeftButton);
        QMessageBox *alert = openDialog(&tab, "changeFolderDialog");
        QVERIFY(alert);
        QTest::mouseClick(childNamed<QPushButton>(alert, "cancelChangeButton"), Qt::LeftButton);
        QTRY_VERIFY(!openDialog(&tab, "changeFolderDialog"));
        QCOMPARE(fixture().harness().folderPicker().calls, 0);
        QCOMPARE(manager.syncFolderPath(), fixture().folder());
    }

    void launchAtLoginSwitchAndApprovalHint_data() { addLanguageColumn(); }
    void launchAtLoginSwitchAndApprovalHint()
    {
        QFETCH(QString, lang);
        fixture().loc().setLang(lang);
        SyncManager &manager = fixture().startSetUp();
        fixture().harness().loginItem().m_statusAfterRegister = LoginItem::Status::RequiresApproval;
        SettingsTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        auto *toggle = childNamed<ToggleSwitch>(&tab, "launchAtLoginSwitch");
        auto *hint = childNamed<QWidget>(&tab, "approvalHint");
        QVERIFY(!toggle->isChecked());
        QVERIFY(!hint->isVisibleTo(&tab));

        QTest::mouseClick(toggle, Qt::LeftButton);
        QVERIFY(manager.launchAtLogin());
        QCOMPARE(fixture().harness().loginItem().registerCalls, 1);
        QVERIFY(hint->isVisibleTo(&tab));
        QCOMPARE(childNamed<QLabel>(hint, "approvalHintText")->text(),
                 pickFor(lang, "Bitte in Systemeinstellungen → Allgemein → Anmeldeobjekte bestätigen.",
                         "Please confirm in System Settings → General → Login Items."));

        // The user approves in the system settings: the next draw drops the hint.
        fixture().harness().loginItem().m_status = LoginItem::Status::Enabled;
        tab.hide();
        tab.show();
        QVERIFY(!hint->isVisibleTo(&tab));

        QTest::mouseClick(toggle, Qt::LeftButton);
        QVERIFY(!manager.launchAtLogin());
        QCOMPARE(fixture().harness().loginItem().unregisterCalls, 1);
    }

    void syncOnStartSwitch()
    {
        SyncManager &manager = fixture().startSetUp();
        SettingsTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        auto *toggle = childNamed<ToggleSwitch>(&tab, "syncOnStartSwitch");
        QTest::mouseClick(toggle, Qt::LeftButton);
        QVERIFY(manager.syncOnStart());
        QCOMPARE(fixture().harness().settings().value(QStringLiteral("TandrillSyncOnStart")).toBool(), true);
        manager.setSyncOnStart(false);
        QVERIFY(!toggle->isChecked());
    }

    void backupsRowOpensTheFolder_data() { addLanguageColumn(); }
    void backupsRowOpensTheFolder()
    {
        QFETCH(QString, lang);
        fixture().loc().setLang(lang);
        SyncManager &manager = fixture().startSetUp();
        SettingsTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        QCOMPARE(childNamed<ElidedLabel>(&tab, "backupPath")->text(),
                 ViewStyle::abbreviatedPath(manager.backupFolderURL()));
        auto *open = childNamed<QPushButton>(&tab, "openBackupsButton");
        QCOMPARE(open->text(), pickFor(lang, "Öffnen", "Open"));
        QCOMPARE(open->toolTip(), pickFor(lang, "Backup-Ordner im Finder öffnen", "Open backup folder in Finder"));
        QTest::mouseClick(open, Qt::LeftButton);
        QCOMPARE(fixture().harness().openedFolders(), QStringList{manager.backupFolderURL()});
    }

    void resetFlow_data() { addLanguageColumn(); }
    void resetFlow()
    {
        QFETCH(QString, lang);
        fixture().loc().setLang(lang);
        SyncManager &manager = fixture().startSetUp();
        ContentView content(&manager, &fixture().loc(), QStringLiteral("1.0.0"));
        QVERIFY(showView(&content, QSize(600, 800)));
        content.findChild<QTabWidget *>(QStringLiteral("mainTabs"))->setCurrentIndex(2); // built when first shown
        auto *tab = content.findChild<SettingsTab *>();
        QVERIFY(tab);
        auto *reset = childNamed<QPushButton>(tab, "resetButton");
        QCOMPARE(reset->text(), pickFor(lang, "Zurücksetzen…", "Reset…"));

        QTest::mouseClick(reset, Qt::LeftButton);
        QMessageBox *dialog = openDialog(tab, "resetDialog");
        QVERIFY(dialog);
        QCOMPARE(dialog->text(), pickFor(lang, "Alle Einstellungen zurücksetzen?", "Reset All Settings?"));
        QCOMPARE(dialog->informativeText(),
                 pickFor(lang,
                         "Sync-Ordner, Mac-Namen und Onboarding-Status werden gelöscht. Backups bleiben erhalten.",
                         "Sync folder, Mac names, and onboarding status will be deleted. Backups are kept."));
        auto *cancel = childNamed<QPushButton>(dialog, "cancelResetButton");
        QCOMPARE(cancel->text(), pickFor(lang, "Abbrechen", "Cancel"));
        QTest::mouseClick(cancel, Qt::LeftButton);
        fixture().settle();
        QVERIFY(manager.isOnboardingComplete());
        QCOMPARE(manager.syncFolderPath(), fixture().folder());
        QVERIFY(content.findChild<SettingsTab *>());

        QTest::mouseClick(reset, Qt::LeftButton);
        dialog = openDialog(tab, "resetDialog");
        QVERIFY(dialog);
        auto *confirm = childNamed<QPushButton>(dialog, "confirmResetButton");
        QCOMPARE(confirm->text(), pickFor(lang, "Zurücksetzen", "Reset"));
        QTest::mouseClick(confirm, Qt::LeftButton);
        QTRY_VERIFY(!manager.isOnboardingComplete());
        QTRY_VERIFY(!content.findChild<SettingsTab *>());
        auto *wizard = content.findChild<OnboardingView *>();
        QVERIFY(wizard);
        QCOMPARE(wizard->step(), 1);
        QVERIFY(!wizard->selectedURL());
    }

    void infoRowsFollowTheInterval_data() { addLanguageColumn(); }
    void infoRowsFollowTheInterval()
    {
        QFETCH(QString, lang);
        fixture().loc().setLang(lang);
        SyncManager &manager = fixture().startSetUp();
        SettingsTab tab(&manager, &fixture().loc());
        DashboardTab dashboard(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        const auto expected = [&](const QString &interval) {
            return QStringList{
                pickFor(lang, "Version", "Version") + QStringLiteral("=—"),
                pickFor(lang, "Auto-Sync", "Auto Sync") + QStringLiteral("=com.tandrill.auto"),
                pickFor(lang, "Sync-Modus", "Sync Mode") + QStringLiteral("=iCloud Drive (Hub)"),
                QStringLiteral("Max. Macs=4"),
                pickFor(lang, "Intervall", "Interval") + QLatin1Char('=') + interval,
                pickFor(lang, "Dieser Mac", "This Mac") + QLatin1Char('=') + fixture().hostname(),
                pickFor(lang, "Entwickler", "Developer") + QStringLiteral("=Brennwick"),
            };
        };
        QCOMPARE(infoTexts(&tab), expected(QStringLiteral("1h")));
        QTest::mouseClick(childNamed<QToolButton>(&dashboard, "stepUp"), Qt::LeftButton);
        QCOMPARE(infoTexts(&tab), expected(QStringLiteral("2h")));
        manager.setIntervalHours(24);
        QCOMPARE(infoTexts(&tab), expected(QStringLiteral("24h")));
    }
};

TANDRILL_TEST_MAIN_IMPL(TestSettingsTab, QApplication)
#include "tst_settingstab.moc"
