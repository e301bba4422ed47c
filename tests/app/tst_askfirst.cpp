#include "LogTab.h"
#include "SimulatedMac.h"
#include "StatusMenuModel.h"
#include "TestMain.h"
#include "ViewTestFixture.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

// Clearing the shared log clears it for every Mac, so it asks first.
class ClearLogAsksTest : public QObject {
    Q_OBJECT

private slots:
    void asksBeforeClearing_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("cleared");
        QTest::newRow("cancel keeps the log") << "cancelClearLogButton" << false;
        QTest::newRow("clear empties it") << "confirmClearLogButton" << true;
    }

    void asksBeforeClearing()
    {
        QFETCH(QString, answer);
        QFETCH(bool, cleared);
        QTemporaryDir root;
        ViewTestFixture fixture(root.path());
        fixture.writeLog({QStringLiteral("[2024-05-01 10:00:00] [Air] PUSH: one")});
        SyncManager &manager = fixture.startSetUp();
        const QByteArray before = readBytes(fixture.folder() + QLatin1String("/tandrill.log"));
        const qsizetype shown = manager.logLines().size();
        QVERIFY(shown > 0);
        LogTab tab(&manager, &fixture.loc());
        QVERIFY(showView(&tab));

        QTest::mouseClick(childNamed<QPushButton>(&tab, "clearLogButton"), Qt::LeftButton);
        fixture.settle();
        QCOMPARE(manager.logLines().size(), shown); // nothing happens before the answer
        auto *dialog = childNamed<QMessageBox>(&tab, "clearLogDialog");
        QVERIFY(dialog);
        auto *button = dialog->findChild<QPushButton *>(answer);
        QVERIFY(button);
        button->click();
        fixture.settle();

        QCOMPARE(manager.logLines().isEmpty(), cleared);
        QCOMPARE(readBytes(fixture.folder() + QLatin1String("/tandrill.log")), cleared ? QByteArray() : before);
    }
};

// Before a folder is chosen the tray's sync rows cannot run; they are disabled and say why.
class TrayRowsWithoutFolderTest : public QObject {
    Q_OBJECT

private slots:
    void syncRowsNeedAFolder_data()
    {
        QTest::addColumn<bool>("hasFolder");
        QTest::newRow("no folder") << false;
        QTest::newRow("folder chosen") << true;
    }

    void syncRowsNeedAFolder()
    {
        QFETCH(bool, hasFolder);
        StatusMenuState state;
        state.lastSyncLocal = QStringLiteral("—");
        state.hasSyncFolder = hasFolder;
        int syncRows = 0;
        for (const StatusMenuRow &row : StatusMenuModel::rows(state, nullptr)) {
            using Command = StatusMenuRow::Command;
            if (row.command == Command::Push || row.command == Command::Pull || row.command == Command::Auto ||
                row.command == Command::StartDaemon) {
                ++syncRows;
                QCOMPARE(row.enabled(), hasFolder);
                QVERIFY(!row.toolTip.isEmpty());
            }
        }
        QCOMPARE(syncRows, 4);
    }
};

TANDRILL_TEST_CLASS(ClearLogAsksTest)
TANDRILL_TEST_CLASS(TrayRowsWithoutFolderTest)
#include "tst_askfirst.moc"
