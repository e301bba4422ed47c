#include "DashboardTab.h"
#include "LogTab.h"
#include "SimulatedMac.h"
#include "StatusMenuModel.h"
#include "TestMain.h"
#include "ViewTestFixture.h"

#include <QLabel>
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
            } else if (row.command == Command::OpenWindow || row.command == Command::Quit) {
                QVERIFY(row.enabled());
            }
        }
        QCOMPARE(syncRows, 4);
    }
};

// In a dark appearance the names and the folder notice stay readable on the dark background.
class DarkAppearanceTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QApplication::setPalette(QPalette()); }

    void textStaysReadable_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }

    void textStaysReadable()
    {
        QFETCH(bool, dark);
        if (dark) {
            QPalette palette;
            palette.setColor(QPalette::Window, QColor(30, 30, 30));
            palette.setColor(QPalette::WindowText, QColor(235, 235, 235));
            palette.setColor(QPalette::Base, QColor(20, 20, 20));
            palette.setColor(QPalette::Text, QColor(235, 235, 235));
            QApplication::setPalette(palette);
        }
        QTemporaryDir root;
        ViewTestFixture fixture(root.path());
        fixture.writeStatus(QStringLiteral("Air"), QStringLiteral("push"), QStringLiteral("2024-05-01 10:00:00"));
        SyncManager &manager = fixture.startSetUp();
        DashboardTab tab(&manager, &fixture.loc());
        QVERIFY(showView(&tab));
        const QColor background = tab.palette().color(QPalette::Window);
        const auto contrast = [&background](const QWidget *text) {
            return std::abs(text->palette().color(QPalette::WindowText).lightness() - background.lightness());
        };
        const QList<QWidget *> names = tab.findChildren<QWidget *>(QStringLiteral("hostDisplayName"));
        QVERIFY(!names.isEmpty());
        for (const QWidget *name : names)
            QVERIFY(contrast(name) >= 120);
        QVERIFY(contrast(childNamed<QLabel>(&tab, "folderMissingTitle")) >= 60);
    }
};

TANDRILL_TEST_CLASS(ClearLogAsksTest)
TANDRILL_TEST_CLASS(TrayRowsWithoutFolderTest)
TANDRILL_TEST_CLASS(DarkAppearanceTest)
#include "tst_askfirst.moc"
