#include "DashboardTab.h"
#include "ElidedLabel.h"
#include "HostNameRow.h"
#include "HostStatusCard.h"
#include "LogRow.h"
#include "LogTab.h"
#include "SettingsTab.h"
#include "SyncButton.h"
#include "TestCommon.h"
#include "ViewTestFixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

// The views, offscreen, against a coordinator with fake services.
class TestViews : public QObject {
    Q_OBJECT

    int m_case = 0;
    std::unique_ptr<ViewTestFixture> m_fixture;
    ViewTestFixture &fixture() { return *m_fixture; }

private slots:
    void init()
    {
        m_fixture =
            std::make_unique<ViewTestFixture>(TestEnvironment::root() + u"/views-"_s + QString::number(++m_case));
    }
    void cleanup() { m_fixture.reset(); }

    void buttonsDoWhatTheySay()
    {
        SyncManager &manager = fixture().startSetUp();
        DashboardTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        auto *push = childNamed<SyncButton>(&tab, "pushButton");
        auto *pull = childNamed<SyncButton>(&tab, "pullButton");
        auto *autoSync = childNamed<SyncButton>(&tab, "autoButton");
        QTest::mouseClick(push, Qt::LeftButton);
        QVERIFY(manager.isSyncing());
        for (SyncButton *button : {push, pull, autoSync})
            QVERIFY(!button->isEnabled());
        QTest::mouseClick(pull, Qt::LeftButton); // ignored while disabled
        fixture().settle();
        const QString shared = fixture().folder() + u"/com.apple.dock.plist"_s;
        QCOMPARE(readBytes(shared), fixture().harness().mac().dockBytes());
        QCOMPARE(fixture().harness().mac().dockRestarts(), 0);
        fixture().harness().mac().writeDock("changed", 1'600'000'000);
        QTRY_VERIFY(pull->isEnabled());
        QTest::mouseClick(pull, Qt::LeftButton);
        fixture().settle();
        QCOMPARE(fixture().harness().mac().dockBytes(), readBytes(shared));
        QCOMPARE(fixture().harness().mac().dockRestarts(), 1);
    }

    void sharedNamesAreShownAsPlainText()
    {
        SyncManager &manager = fixture().startSetUp();
        const QString markup = u"<b>Bold</b> & Co"_s;
        fixture().writeStatus(markup, u"push"_s, u"<i>2024</i>"_s);
        fixture().refresh();
        DashboardTab dashboard(&manager, &fixture().loc());
        QVERIFY(showView(&dashboard));
        QList<QLabel *> labels = dashboard.findChildren<QLabel *>();
        for (const QLabel *label : labels)
            QVERIFY2(label->textFormat() == Qt::PlainText || !label->text().contains(u'<'), qPrintable(label->text()));
        const auto names = dashboard.findChildren<ElidedLabel *>(u"hostDisplayName"_s);
        QVERIFY(
            std::any_of(names.begin(), names.end(), [&](const ElidedLabel *name) { return name->text() == markup; }));
        for (const HostStatusCard *card : dashboard.findChildren<HostStatusCard *>()) // tooltips are rich text
            QVERIFY(!card->toolTip().contains(u"<b>Bold"_s));
    }

    void aNameEditSurvivesTheRefresh()
    {
        SyncManager &manager = fixture().startSetUp();
        fixture().writeStatus(u"Air"_s, u"pull"_s, u"2024"_s);
        fixture().refresh();
        SettingsTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        HostNameRow *air = nullptr; // the lower of the two visible rows: this Mac comes first
        for (HostNameRow *row : tab.findChildren<HostNameRow *>()) {
            if (row->isVisibleTo(&tab) && (!air || row->mapTo(&tab, QPoint()).y() > air->mapTo(&tab, QPoint()).y()))
                air = row;
        }
        QVERIFY(air);
        QTest::mouseClick(childNamed<QPushButton>(air, "editNameButton"), Qt::LeftButton);
        QTest::keyClicks(childNamed<QLineEdit>(air, "nameField"), u"Travel"_s);
        fixture().refresh();
        QVERIFY(air->isEditing());
        QCOMPARE(childNamed<QLineEdit>(air, "nameField")->text(), u"Travel"_s);
    }

    // The same stored lines in both languages. The engine's own lines read in the interface language
    // with its date style and no raw seconds since 1970; a line that is not known stays as it is.
    void logTabSpeaksTheInterfaceLanguage_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<QString>("time"); // when the engine wrote its lines, as shown
        QTest::newRow("English") << u"en"_s << u"12/7/2026 3:12 PM"_s;
        QTest::newRow("German") << u"de"_s << u"07.12.2026 15:12"_s;
    }
    void logTabSpeaksTheInterfaceLanguage()
    {
        QFETCH(QString, lang);
        QFETCH(QString, time);
        fixture().writeLog({u"[2026-12-07 15:12:30] [Air] Hallo, Welt (von: unbekannt)"_s, u"not a log line"_s});
        SimulatedMac &mac = fixture().harness().mac();
        mac.setNow(QDateTime(QDate(2026, 12, 7), QTime(15, 12, 33)));
        SyncManager &manager = fixture().startSetUp();
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
    }
};

TANDRILL_TEST_CLASS(TestViews)
#include "tst_views.moc"
