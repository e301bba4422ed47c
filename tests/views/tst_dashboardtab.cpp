#include "ActivitySpinner.h"
#include "DashboardTab.h"
#include "ElidedLabel.h"
#include "EmptyHostCard.h"
#include "HostStatusCard.h"
#include "IntervalStepper.h"
#include "StatusCard.h"
#include "SymbolView.h"
#include "SyncButton.h"
#include "SyncFormat.h"
#include "TestEnvironment.h"
#include "ViewTestFixture.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>

using namespace std::chrono_literals;

namespace {

QString pickFor(const QString &lang, const char *german, const char *english)
{
    return QString::fromUtf8(lang == QLatin1String("en") ? english : german);
}

QList<HostStatusCard *> hostCards(const QWidget *tab)
{
    QList<HostStatusCard *> cards;
    for (HostStatusCard *card : tab->findChildren<HostStatusCard *>())
        cards.append(card);
    // Grid order: top to bottom, left to right.
    std::sort(cards.begin(), cards.end(),
              [](const QWidget *a, const QWidget *b) { return a->y() != b->y() ? a->y() < b->y() : a->x() < b->x(); });
    return cards;
}

QString cardName(const HostStatusCard *card)
{
    return childNamed<ElidedLabel>(card, "hostDisplayName")->text();
}

} // namespace

class TestDashboardTab : public QObject {
    Q_OBJECT

private:
    int m_case = 0;
    std::unique_ptr<ViewTestFixture> m_fixture;

    ViewTestFixture &fixture() { return *m_fixture; }

private slots:
    void init()
    {
        m_fixture = std::make_unique<ViewTestFixture>(TestEnvironment::root() + QLatin1String("/dash-") +
                                                      QString::number(++m_case));
    }
    void cleanup() { m_fixture.reset(); }

    void noMacsShowsTwoStatusCards_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<bool>("withMeta");
        QTest::newRow("German, nothing known") << QStringLiteral("de") << false;
        QTest::newRow("English, nothing known") << QStringLiteral("en") << false;
        QTest::newRow("German, meta file") << QStringLiteral("de") << true;
        QTest::newRow("English, meta file") << QStringLiteral("en") << true;
    }
    void noMacsShowsTwoStatusCards()
    {
        QFETCH(QString, lang);
        QFETCH(bool, withMeta);
        fixture().loc().setLang(lang);
        SyncManager &manager = withMeta ? fixture().startSetUp() : fixture().startFresh();
        if (withMeta) {
            fixture().writeMeta(QStringLiteral("Mac-mini"), QStringLiteral("2024-01-02 03:04:05"));
            manager.removeHost(fixture().hostname()); // no status file at all
            fixture().refresh();
        }
        QVERIFY(manager.connectedHosts().isEmpty());
        DashboardTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));

        QVERIFY(childNamed<QWidget>(&tab, "statusCards")->isVisibleTo(&tab));
        QVERIFY(!childNamed<QWidget>(&tab, "hostGrid")->isVisibleTo(&tab));
        auto *local = childNamed<StatusCard>(&tab, "localStatusCard");
        auto *remote = childNamed<StatusCard>(&tab, "remoteStatusCard");
        QCOMPARE(local->title(), pickFor(lang, "Dieser Mac", "This Mac"));
        QCOMPARE(local->subtitle(), pickFor(lang, "Letztes Dock-Update", "Last Dock update"));
        QCOMPARE(remote->subtitle(), pickFor(lang, "Letzter Sync", "Last sync"));
        if (withMeta) {
            QCOMPARE(remote->title(), QStringLiteral("Mac-mini"));
            QCOMPARE(remote->value(), QStringLiteral("2024-01-02 03:04:05"));
            QCOMPARE(local->value(), manager.lastSyncLocal());
            QVERIFY(local->value() != QStringLiteral("—"));
        } else {
            QCOMPARE(remote->title(), pickFor(lang, "Anderer Mac", "Other Mac"));
            QCOMPARE(local->value(), QStringLiteral("—"));
            QCOMPARE(remote->value(), QStringLiteral("—"));
        }
        QVERIFY(tab.findChildren<HostStatusCard *>().isEmpty());
        QVERIFY(tab.findChildren<EmptyHostCard *>().isEmpty());
    }

    void oneMacIsTaggedAndLeavesThreePlaces_data() { addLanguageColumn(); }
    void oneMacIsTaggedAndLeavesThreePlaces()
    {
        QFETCH(QString, lang);
        fixture().loc().setLang(lang);
        SyncManager &manager = fixture().startSetUp();
        DashboardTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));

        const auto cards = hostCards(&tab);
        QCOMPARE(cards.size(), 1);
        QCOMPARE(cardName(cards[0]), fixture().hostname());
        auto *tag = childNamed<QWidget>(cards[0], "thisMacTag");
        QVERIFY(tag->isVisibleTo(&tab));
        QCOMPARE(tag->findChild<QLabel *>()->text(), pickFor(lang, "Dieser Mac", "This Mac"));
        QCOMPARE(childNamed<QLabel>(cards[0], "hostActionLabel")->text(), QStringLiteral("Online"));
        QCOMPARE(childNamed<SymbolView>(cards[0], "hostActionIcon")->symbol(), QStringLiteral("wifi"));
        QCOMPARE(cards[0]->toolTip(),
                 pickFor(lang, "Letzter Sync-Status von ", "Last sync status of ") + fixture().hostname());

        const auto empties = tab.findChildren<EmptyHostCard *>();
        QCOMPARE(empties.size(), 3);
        for (EmptyHostCard *empty : empties) {
            QVERIFY(empty->isVisibleTo(&tab));
            QCOMPARE(childNamed<QLabel>(empty, "emptyHostTitle")->text(), pickFor(lang, "Weiterer Mac", "Another Mac"));
            QCOMPARE(childNamed<QLabel>(empty, "emptyHostSubtitle")->text(),
                     pickFor(lang, "Noch nicht verbunden", "Not yet connected"));
            QVERIFY(empty->toolTip().startsWith(pickFor(lang, "Bis zu 4 Macs", "Up to 4 Macs")));
        }
        QVERIFY(!childNamed<QWidget>(&tab, "statusCards")->isVisibleTo(&tab));
    }

    void fourOrMoreMacsLeaveNoEmptyPlace_data()
    {
        QTest::addColumn<int>("others");
        QTest::newRow("four Macs") << 3;
        QTest::newRow("five Macs") << 4;
    }
    void fourOrMoreMacsLeaveNoEmptyPlace()
    {
        QFETCH(int, others);
        SyncManager &manager = fixture().startSetUp();
        DashboardTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        const QStringList names{QStringLiteral("Office iMac"), QStringLiteral("Air"), QStringLiteral("MacBook Pro"),
                                QStringLiteral("Mini")};
        for (int i = 0; i < others; ++i)
            fixture().writeStatus(names[i], QStringLiteral("push"), QStringLiteral("2024-05-01 10:00:00"));
        fixture().refresh();

        const auto cards = hostCards(&tab);
        QCOMPARE(cards.size(), others + 1);
        QVERIFY(tab.findChildren<EmptyHostCard *>().isEmpty());
        QCOMPARE(cardName(cards[0]), fixture().hostname()); // this Mac first, then by name
        QStringList expected = names.mid(0, others);
        std::sort(expected.begin(), expected.end());
        for (int i = 0; i < others; ++i) {
            QCOMPARE(cardName(cards[i + 1]), expected[i]);
            QVERIFY(!childNamed<QWidget>(cards[i + 1], "thisMacTag")->isVisibleTo(&tab));
            QCOMPARE(childNamed<QLabel>(cards[i + 1], "hostActionLabel")->text(), QStringLiteral("Push"));
            QCOMPARE(childNamed<ElidedLabel>(cards[i + 1], "hostLastTime")->text(),
                     QStringLiteral("2024-05-01 10:00:00"));
        }
        QCOMPARE(cards[0]->x(), cards[2]->x()); // two columns
        QVERIFY(cards[1]->x() > cards[0]->x());
    }

    void displayNameShowsAboveHostName()
    {
        SyncManager &manager = fixture().startSetUp();
        fixture().writeStatus(QStringLiteral("Office iMac"), QStringLiteral("pull"), QStringLiteral("2024-05-01"));
        fixture().refresh();
        DashboardTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        HostStatusCard *office = hostCards(&tab).at(1);
        auto *realName = childNamed<ElidedLabel>(office, "hostRealName");
        QVERIFY(!realName->isVisibleTo(&tab));

        manager.setDisplayName(QStringLiteral("  Office  "), QStringLiteral("Office iMac"));
        QCOMPARE(cardName(office), QStringLiteral("Office"));
        QVERIFY(realName->isVisibleTo(&tab));
        QCOMPARE(realName->text(), QStringLiteral("Office iMac"));
        QCOMPARE(office->toolTip(), QStringLiteral("Letzter Sync-Status von Office"));

        manager.setDisplayName(QString(), QStringLiteral("Office iMac"));
        QCOMPARE(cardName(office), QStringLiteral("Office iMac"));
        QVERIFY(!realName->isVisibleTo(&tab));
    }

    void hostNamesAreShownAsTyped()
    {
        SyncManager &manager = fixture().startSetUp();
        const QString markup = QStringLiteral("<b>Bold</b> & Co");
        fixture().writeStatus(markup, QStringLiteral("push"), QStringLiteral("2024"));
        fixture().refresh();
        DashboardTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        HostStatusCard *card = hostCards(&tab).at(1);
        QCOMPARE(cardName(card), markup);
        // The tooltip, which Qt would read as markup, is escaped so the name shows literally.
        QVERIFY(card->toolTip().contains(QStringLiteral("&lt;b&gt;Bold&lt;/b&gt;")));
    }

    void conflictBannerAndDismiss_data() { addLanguageColumn(); }
    void conflictBannerAndDismiss()
    {
        QFETCH(QString, lang);
        fixture().loc().setLang(lang);
        SyncManager &manager = fixture().startSetUp();
        DashboardTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        auto *banner = childNamed<QWidget>(&tab, "conflictBanner");
        QVERIFY(!banner->isVisibleTo(&tab));

        fixture().writeConflictMarker();
        fixture().refresh();
        QVERIFY(banner->isVisibleTo(&tab));
        QVERIFY(banner->y() < childNamed<QWidget>(&tab, "hostGrid")->y()); // above the Macs
        QCOMPARE(childNamed<QLabel>(banner, "conflictTitle")->text(),
                 pickFor(lang, "Konflikt erkannt", "Conflict Detected"));
        QCOMPARE(childNamed<QLabel>(banner, "conflictMessage")->text(),
                 pickFor(lang,
                         "Das Dock wurde auf diesem Mac UND in iCloud verändert. Bitte wähle manuell Push oder Pull.",
                         "The Dock was modified on this Mac AND in iCloud. Please choose Push or Pull manually."));
        auto *dismiss = childNamed<QPushButton>(banner, "dismissConflictButton");
        QCOMPARE(dismiss->text(), pickFor(lang, "Ignorieren", "Dismiss"));
        QCOMPARE(dismiss->toolTip(), pickFor(lang, "Konflikt-Markierung entfernen ohne zu synchronisieren",
                                             "Remove the conflict flag without syncing"));

        const QByteArray dock = fixture().harness().mac().dockBytes();
        QTest::mouseClick(dismiss, Qt::LeftButton);
        QVERIFY(!banner->isVisibleTo(&tab));
        fixture().settle();
        QVERIFY(!manager.conflictMarkerExists());
        QCOMPARE(fixture().harness().mac().dockBytes(), dock); // no sync
        QVERIFY(!QFile::exists(fixture().folder() + QLatin1String("/com.apple.dock.plist")));
    }

    void startAndStopFollowTheDaemon_data() { addLanguageColumn(); }
    void startAndStopFollowTheDaemon()
    {
        QFETCH(QString, lang);
        fixture().loc().setLang(lang);
        SyncManager &manager = fixture().startSetUp();
        DashboardTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        auto *start = childNamed<QPushButton>(&tab, "startButton");
        auto *stop = childNamed<QPushButton>(&tab, "stopButton");
        QCOMPARE(start->text(), pickFor(lang, "Starten", "Start"));
        QCOMPARE(stop->text(), pickFor(lang, "Stoppen", "Stop"));
        QCOMPARE(stop->toolTip(),
                 pickFor(lang, "Hält den automatischen Hintergrund-Sync an", "Stops the background auto sync"));
        QVERIFY(start->isEnabled());
        QVERIFY(!stop->isEnabled());

        QTest::mouseClick(start, Qt::LeftButton);
        QVERIFY(manager.daemonRunning());
        QVERIFY(!start->isEnabled());
        QVERIFY(stop->isEnabled());

        QTest::mouseClick(stop, Qt::LeftButton);
        QVERIFY(!manager.daemonRunning());
        QVERIFY(start->isEnabled());
        QVERIFY(!stop->isEnabled());
    }

    void stepperBoundsAndLabels_data() { addLanguageColumn(); }
    void stepperBoundsAndLabels()
    {
        QFETCH(QString, lang);
        fixture().loc().setLang(lang);
        SyncManager &manager = fixture().startSetUp();
        DashboardTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        auto *stepper = childNamed<IntervalStepper>(&tab, "intervalStepper");
        auto *up = childNamed<QToolButton>(stepper, "stepUp");
        auto *down = childNamed<QToolButton>(stepper, "stepDown");
        QCOMPARE(childNamed<QLabel>(&tab, "intervalCaption")->text(), pickFor(lang, "Intervall:", "Interval:"));
        QCOMPARE(stepper->labelText(), pickFor(lang, "1 Stunde", "1 hour"));
        QVERIFY(!down->isEnabled());

        QTest::mouseClick(up, Qt::LeftButton);
        QCOMPARE(manager.intervalHours(), 2);
        QCOMPARE(fixture().harness().settings().value(QStringLiteral("TandrillIntervalHours")).toInt(), 2);
        QCOMPARE(stepper->labelText(), pickFor(lang, "2 Stunden", "2 hours"));
        QVERIFY(down->isEnabled());

        for (int i = 0; i < 30; ++i)
            QTest::mouseClick(up, Qt::LeftButton);
        QCOMPARE(manager.intervalHours(), 24);
        QCOMPARE(stepper->labelText(), pickFor(lang, "24 Stunden", "24 hours"));
        QVERIFY(!up->isEnabled());

        for (int i = 0; i < 30; ++i)
            QTest::mouseClick(down, Qt::LeftButton);
        QCOMPARE(manager.intervalHours(), 1);
        QCOMPARE(stepper->labelText(), pickFor(lang, "1 Stunde", "1 hour"));
    }

    void applyRestartsOnlyARunningDaemon()
    {
        SyncManager &manager = fixture().startSetUp();
        DashboardTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        auto *up = childNamed<QToolButton>(&tab, "stepUp");
        auto *apply = childNamed<QPushButton>(&tab, "applyIntervalButton");
        QCOMPARE(apply->text(), QStringLiteral("Übernehmen"));

        QTest::mouseClick(up, Qt::LeftButton);
        QTest::mouseClick(apply, Qt::LeftButton);
        QVERIFY(!manager.daemonRunning());
        QVERIFY(!manager.autoSyncPeriod());

        QTest::mouseClick(childNamed<QPushButton>(&tab, "startButton"), Qt::LeftButton);
        QCOMPARE(manager.autoSyncPeriod(), std::optional<std::chrono::milliseconds>(2h));
        QTest::mouseClick(up, Qt::LeftButton);
        QCOMPARE(manager.autoSyncPeriod(), std::optional<std::chrono::milliseconds>(2h)); // not before Apply
        QTest::mouseClick(apply, Qt::LeftButton);
        QVERIFY(manager.daemonRunning());
        QCOMPARE(manager.autoSyncPeriod(), std::optional<std::chrono::milliseconds>(3h));
    }

    void syncButtonsSpinWhileSyncing_data() { addLanguageColumn(); }
    void syncButtonsSpinWhileSyncing()
    {
        QFETCH(QString, lang);
        fixture().loc().setLang(lang);
        SyncManager &manager = fixture().startSetUp();
        DashboardTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        auto *push = childNamed<SyncButton>(&tab, "pushButton");
        auto *pull = childNamed<SyncButton>(&tab, "pullButton");
        auto *autoSync = childNamed<SyncButton>(&tab, "autoButton");
        QCOMPARE(push->label(), QStringLiteral("Push"));
        QCOMPARE(push->subtitle(), pickFor(lang, "Lokal → iCloud", "Local → iCloud"));
        QCOMPARE(pull->subtitle(), pickFor(lang, "iCloud → Lokal", "iCloud → Local"));
        QCOMPARE(autoSync->label(), QStringLiteral("Auto"));
        QCOMPARE(autoSync->subtitle(), pickFor(lang, "Automatisch", "Automatic"));
        QCOMPARE(autoSync->toolTip(), pickFor(lang, "Tandrill entscheidet selbst: Wer aktueller ist gewinnt.",
                                              "Tandrill decides: whoever is newer wins."));

        QTest::mouseClick(push, Qt::LeftButton);
        QVERIFY(manager.isSyncing());
        for (SyncButton *button : {push, pull, autoSync}) {
            QVERIFY(!button->isEnabled());
            QVERIFY(childNamed<ActivitySpinner>(button, "syncButtonSpinner")->isVisibleTo(&tab));
            QVERIFY(!childNamed<SymbolView>(button, "syncButtonIcon")->isVisibleTo(&tab));
        }
        QTest::mouseClick(pull, Qt::LeftButton); // ignored while disabled
        fixture().settle();
        QVERIFY(!manager.isSyncing());
        for (SyncButton *button : {push, pull, autoSync}) {
            QVERIFY(button->isEnabled());
            QVERIFY(!childNamed<ActivitySpinner>(button, "syncButtonSpinner")->isVisibleTo(&tab));
        }
        QVERIFY(QFile::exists(fixture().folder() + QLatin1String("/com.apple.dock.plist")));
        QCOMPARE(fixture().harness().mac().dockRestarts(), 0); // the pull never ran
    }

    void statusMessageAppearsAndFades()
    {
        SyncManager &manager = fixture().startSetUp();
        DashboardTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        auto *message = childNamed<QLabel>(&tab, "statusMessage");
        QVERIFY(!message->isVisibleTo(&tab));

        QTest::mouseClick(childNamed<SyncButton>(&tab, "pushButton"), Qt::LeftButton);
        QVERIFY(message->isVisibleTo(&tab));
        QCOMPARE(message->text(), QStringLiteral("Lade hoch…"));
        fixture().settle();
        QCOMPARE(message->text(), QStringLiteral("✓ Fertig"));

        fixture().harness().advance(3s); // the coordinator clears the text
        QVERIFY(manager.statusMessage().isEmpty());
        QCOMPARE(message->text(), QStringLiteral("✓ Fertig")); // fading out
        QTRY_VERIFY(!message->isVisibleTo(&tab));
    }

    void languageSwitchRedrawsTexts()
    {
        SyncManager &manager = fixture().startSetUp();
        DashboardTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        QCOMPARE(childNamed<QPushButton>(&tab, "applyIntervalButton")->text(), QStringLiteral("Übernehmen"));
        fixture().loc().toggle();
        QCOMPARE(childNamed<QPushButton>(&tab, "applyIntervalButton")->text(), QStringLiteral("Apply"));
        QCOMPARE(childNamed<IntervalStepper>(&tab, "intervalStepper")->labelText(), QStringLiteral("1 hour"));
        QCOMPARE(childNamed<QWidget>(&tab, "thisMacTag")->findChild<QLabel *>()->text(), QStringLiteral("This Mac"));
        QCOMPARE(childNamed<EmptyHostCard>(&tab, "emptyHostCard")
                     ->findChild<QLabel *>(QStringLiteral("emptyHostTitle"))
                     ->text(),
                 QStringLiteral("Another Mac"));
    }
};

TANDRILL_TEST_MAIN_IMPL(TestDashboardTab, QApplication)
#include "tst_dashboardtab.moc"
