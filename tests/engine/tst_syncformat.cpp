#include "SyncFormat.h"
#include "TestEnvironment.h"

class TestSyncFormat : public QObject {
    Q_OBJECT

private slots:
    void fileSafeName_data()
    {
        QTest::addColumn<QString>("hostname");
        QTest::addColumn<QString>("safe");
        QTest::newRow("apostrophe and spaces") << QStringLiteral("Lab's MacBook Pro") << QStringLiteral("Labs_MacBook_Pro");
        QTest::newRow("umlaut kept") << QStringLiteral("Jörg’s Mäc") << QStringLiteral("Jörgs_Mäc");
        QTest::newRow("only dropped characters") << QStringLiteral("'.!") << QString();
    }
    void fileSafeName()
    {
        QFETCH(QString, hostname);
        QFETCH(QString, safe);
        QCOMPARE(SyncFormat::fileSafeName(hostname), safe);
    }
};

TANDRILL_TEST_MAIN(TestSyncFormat)
#include "tst_syncformat.moc"
