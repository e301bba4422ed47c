#include "ContentView.h"
#include "DashboardTab.h"
#include "ElidedLabel.h"
#include "HostNameRow.h"
#include "HostStatusCard.h"
#include "LogTab.h"
#include "OnboardingView.h"
#include "SettingsTab.h"
#include "SyncButton.h"
#include "TestEnvironment.h"
#include "TestMain.h"
#include "ViewTestFixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

// The views, offscreen, against a coordinator with fake services.
class TestViews : public QObject {
    Q_OBJECT

    int m_case = 0;
    std::unique_ptr<ViewTestFixture> m_fixture;
    ViewTestFixture &fixture() { return *m_fixture; }

private slots:
    void init()
    {
        m_fixture = std::make_unique<ViewTestFixture>(TestEnvironment::root() + QLatin1String("/views-") +
                                                      QString::number(++m_case));
    }
    void cleanup() { m_fixture.reset(); }

    // Shown whenever a conflict is flagged, also when it was flagged before the Dashboard was
    // built; dismissing only removes the marker.
    void conflictBanner_data()
    {
        QTest::addColumn<bool>("flaggedBefore");
        QTest::newRow("flagged while shown") << false;
        QTest::newRow("flagged before the Dashboard exists") << true;
    }
    void conflictBanner()
    {
        QFETCH(bool, flaggedBefore);
        SyncManager &manager = fixture().startSetUp();
        if (flaggedBefore) {
            fixture().writeConflictMarker();
            fixture().refresh();
            QVERIFY(manager.conflictDetected());
        }
        DashboardTab tab(&manager, &fixture().loc());
        QVERIFY(showView(&tab));
        auto *banner = childNamed<QWidget>(&tab, "conflictBanner");
        QCOMPARE(banner->isVisibleTo(&tab), flaggedBefore);
        fixture().writeConflictMarker();
        fixture().refresh();
        QVERIFY(banner->isVisibleTo(&tab));
        const QByteArray dock = fixture().harness().mac().dockBytes();
        QTest::mouseClick(childNamed<QPushButton>(banner, "dismissConflictButton"), Qt::LeftButton);
        QVERIFY(!banner->isVisibleTo(&tab));
        fixture().settle();
        QVERIFY(!manager.conflictMarkerExists());
        QCOMPARE(fixture().harness().mac().dockBytes(), dock); // no sync
        QVERIFY(!QFile::exists(fixture().folder() + QLatin1String("/com.apple.dock.plist")));
    }

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
        const QString shared = fixture().folder() + QLatin1String("/com.apple.dock.plist");
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
        const QString markup = QStringLiteral("<b>Bold</b> & Co");
        fixture().writeStatus(markup, QStringLiteral("push"), QStringLiteral("<i>2024</i>"));
        fixture().refresh();
        DashboardTab dashboard(&manager, &fixture().loc());
        QVERIFY(showView(&dashboard));
        QList<QLabel *> labels = dashboard.findChildren<QLabel *>();
        for (const QLabel *label : labels)
            QVERIFY2(label->textFormat() == Qt::PlainText || !label->text().contains(QLatin1Char('<')),
                     qPrintable(label->text()));
        const auto names = dashboard.findChildren<ElidedLabel *>(QStringLiteral("hostDisplayName"));
        QVERIFY(
            std::any_of(names.begin(), names.end(), [&](const ElidedLabel *name) { return name->text() == markup; }));
        for (const HostStatusCard *card : dashboard.findChildren<HostStatusCard *>()) // tooltips are rich text
            QVERIFY(!card->toolTip().contains(QLatin1String("<b>Bold")));
    }

    void aNameEditSurvivesTheRefresh()
    {
        SyncManager &manager = fixture().startSetUp();
        fixture().writeStatus(QStringLiteral("Air"), QStringLiteral("pull"), QStringLiteral("2024"));
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
        QTest::keyClicks(childNamed<QLineEdit>(air, "nameField"), QStringLiteral("Travel"));
        fixture().refresh();
        QVERIFY(air->isEditing());
        QCOMPARE(childNamed<QLineEdit>(air, "nameField")->text(), QStringLiteral("Travel"));
    }

    void wizardCompletesTheSetUp()
    {
        SyncManager &manager = fixture().startFresh();
        ContentView content(&manager, &fixture().loc(), QString());
        QVERIFY(showView(&content, QSize(600, 800)));
        auto *wizard = content.findChild<OnboardingView *>();
        QVERIFY(wizard);
        QTest::mouseClick(childNamed<QPushButton>(wizard, "gotItButton"), Qt::LeftButton);
        const QString folder = fixture().folder();
        fixture().harness().folderPicker().answers.push_back(folder);
        QTest::mouseClick(childNamed<QPushButton>(wizard, "chooseFolderButton"), Qt::LeftButton);
        QTest::mouseClick(childNamed<QPushButton>(wizard, "getStartedButton"), Qt::LeftButton);
        fixture().settle();
        QVERIFY(manager.isOnboardingComplete());
        QCOMPARE(manager.syncFolderPath(), folder);
        QTRY_VERIFY(!content.findChild<OnboardingView *>());
        QVERIFY(qobject_cast<DashboardTab *>(content.findChild<QTabWidget *>()->currentWidget()));
    }
};

TANDRILL_TEST_CLASS(TestViews)
#include "tst_views.moc"
