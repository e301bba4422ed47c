#include "SafeFile.h"
#include "SimulatedMac.h"
#include "TestEnvironment.h"
#include "TestFiles.h"

#include <QTemporaryDir>

#include <memory>

using namespace TestFiles;
using Kind = SyncEngine::Result::Kind;

Q_DECLARE_METATYPE(SyncEngine::Result::Kind)

namespace {

const QString kHost = QStringLiteral("Lab's MacBook Pro");
const QDateTime kStamp(QDate(2025, 3, 7), QTime(14, 5, 9));
const QByteArray kLocal("<plist>local dock</plist>");
const QByteArray kShared("<plist>shared dock</plist>");
const QByteArray kStatusHead("hostname=Lab's MacBook Pro\nlast_action=push\nlast_time=2025-03-01 10:00:00\n");

const QString kPushed = QStringLiteral("Dock nach iCloud hochgeladen ✅");
const QString kPulled = QStringLiteral("Dock von iCloud geladen ✅");
const QString kConflict = QStringLiteral("⚠️ Konflikt erkannt — bitte Push oder Pull manuell wählen");
const QString kFirst = QStringLiteral("AUTO: Erstmalige Synchronisation → Push");
const QString kLocalNewer = QStringLiteral("AUTO: Lokales Dock ist aktueller → Push");
const QString kConflictLine =
    QStringLiteral("KONFLIKT: Lokales Dock UND iCloud-Dock wurden seit letztem Sync verändert");

QString autoLine(const char *local, const char *remote, const char *host, const char *lastPulled)
{
    return QStringLiteral("AUTO: Lokal=%1  iCloud=%2 (von: %3)  MeinLetzterPull=%4")
        .arg(QLatin1String(local), QLatin1String(remote), QString::fromUtf8(host), QLatin1String(lastPulled));
}

QString pullLine(const char *host)
{
    return QStringLiteral("AUTO: iCloud-Dock ist aktueller (von %1) → Pull").arg(QString::fromUtf8(host));
}

} // namespace

// The automatic decision of one Mac: every branch, every condition of a conflict.
class TestAutoSync : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<SimulatedMac> m_mac;

    QString folder() const { return m_root->path() + QLatin1String("/Dock Sync"); }
    QString file(const char *name) const { return folder() + QLatin1Char('/') + QLatin1String(name); }

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        QVERIFY(m_root->isValid());
        QVERIFY(QDir().mkpath(folder()));
        m_mac = std::make_unique<SimulatedMac>(kHost, folder(), m_root->path());
        m_mac->setNow(kStamp);
    }

    void decision_data()
    {
        QTest::addColumn<double>("local");          // the Dock file's time; none when negative
        QTest::addColumn<QByteArray>("meta");       // no meta file when null; the shared copy has R's time
        QTest::addColumn<QByteArray>("lastPulled"); // no own status file when null
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("autoLine");
        QTest::addColumn<QString>("decision");
        QTest::addColumn<QStringList>("notifications");
        const QByteArray other("mtime=2500\nhost=Other");

        QTest::newRow("no meta file: first sync, even with P > 0")
            << 2000.25 << QByteArray() << QByteArray("1500") << Kind::Pushed
            << autoLine("2000", "0", "unbekannt", "1500") << kFirst << QStringList{kPushed};
        QTest::newRow("meta without mtime: first sync")
            << 2000.25 << QByteArray("host=Other") << QByteArray("1500") << Kind::Pushed
            << autoLine("2000", "0", "Other", "1500") << kFirst << QStringList{kPushed};
        QTest::newRow("CRLF meta: mtime invalid, host keeps CR")
            << 2000.25 << QByteArray("mtime=3000\r\nhost=Other\r\n") << QByteArray() << Kind::Pushed
            << autoLine("2000", "0", "Other\r", "0") << kFirst << QStringList{kPushed};
        QTest::newRow("mtime nan reads as 0, not as in sync")
            << 3000.25 << QByteArray("mtime=nan\nhost=Other") << QByteArray() << Kind::Pushed
            << autoLine("3000", "0", "Other", "0") << kFirst << QStringList{kPushed};
        QTest::newRow("mtime inf reads as 0")
            << 3000.25 << QByteArray("mtime=inf\nhost=Other") << QByteArray() << Kind::Pushed
            << autoLine("3000", "0", "Other", "0") << kFirst << QStringList{kPushed};
        QTest::newRow("local newer: push")
            << 3000.25 << other << QByteArray("2500") << Kind::Pushed << autoLine("3000", "2500", "Other", "2500")
            << kLocalNewer << QStringList{kPushed};
        QTest::newRow("shared newer: pull")
            << 2000.25 << QByteArray("mtime=3000\nhost=Other") << QByteArray("2000") << Kind::Pulled
            << autoLine("2000", "3000", "Other", "2000") << pullLine("Other") << QStringList{kPulled};
        QTest::newRow("equal in whole seconds, printed rounded")
            << 1741356309.75 << QByteArray("mtime=1741356309\nhost=Lab's MacBook Pro") << QByteArray("1741356309")
            << Kind::InSync << autoLine("1741356310", "1741356309", "Lab's MacBook Pro", "1741356309")
            << QStringLiteral("AUTO: Dock ist bereits synchron")
            << QStringList{QStringLiteral("Dock bereits synchron ✅")};
        QTest::newRow("conflict: P > 0, P < L, P < R, H not this Mac")
            << 3000.25 << other << QByteArray("2000") << Kind::Conflict << autoLine("3000", "2500", "Other", "2000")
            << kConflictLine << QStringList{kConflict};
        QTest::newRow("host differing in case still conflicts")
            << 3000.25 << QByteArray("mtime=2500\nhost=lab's macbook pro") << QByteArray("2000") << Kind::Conflict
            << autoLine("3000", "2500", "lab's macbook pro", "2000") << kConflictLine << QStringList{kConflict};
        // A Mac that never agreed with the shared Dock and holds another one does not win by time.
        QTest::newRow("P = 0 with another Dock: conflict")
            << 3000.25 << other << QByteArray() << Kind::Conflict << autoLine("3000", "2500", "Other", "0")
            << kConflictLine << QStringList{kConflict};
        QTest::newRow("P with CR reads as 0: conflict")
            << 3000.25 << other << QByteArray("2000\r\n") << Kind::Conflict << autoLine("3000", "2500", "Other", "0")
            << kConflictLine << QStringList{kConflict};
        QTest::newRow("P = L in whole seconds: no conflict")
            << 3000.75 << QByteArray("mtime=3500\nhost=Other") << QByteArray("3000") << Kind::Pulled
            << autoLine("3001", "3500", "Other", "3000") << pullLine("Other") << QStringList{kPulled};
        QTest::newRow("P = R: no conflict")
            << 3000.25 << other << QByteArray("2500") << Kind::Pushed << autoLine("3000", "2500", "Other", "2500")
            << kLocalNewer << QStringList{kPushed};
        QTest::newRow("P > L: no conflict")
            << 3000.25 << QByteArray("mtime=3500\nhost=Other") << QByteArray("3200") << Kind::Pulled
            << autoLine("3000", "3500", "Other", "3200") << pullLine("Other") << QStringList{kPulled};
        QTest::newRow("L = R with P behind both: in sync, no conflict")
            << 2500.5 << other << QByteArray("2000") << Kind::InSync << autoLine("2500", "2500", "Other", "2000")
            << QStringLiteral("AUTO: Dock ist bereits synchron")
            << QStringList{QStringLiteral("Dock bereits synchron ✅")};
        QTest::newRow("last push was this Mac's: no conflict")
            << 3000.25 << QByteArray("mtime=2500\nhost=Lab's MacBook Pro") << QByteArray("2000") << Kind::Pushed
            << autoLine("3000", "2500", "Lab's MacBook Pro", "2000") << kLocalNewer << QStringList{kPushed};
        QTest::newRow("meta without host: unbekannt")
            << 2000.25 << QByteArray("mtime=3000") << QByteArray("2000") << Kind::Pulled
            << autoLine("2000", "3000", "unbekannt", "2000") << pullLine("unbekannt") << QStringList{kPulled};
        QTest::newRow("no local Dock file: pull")
            << -1.0 << QByteArray("mtime=3000\nhost=Other") << QByteArray() << Kind::Pulled
            << autoLine("0", "3000", "Other", "0") << pullLine("Other") << QStringList{kPulled};
        QTest::newRow("nothing anywhere: the push fails")
            << -1.0 << QByteArray() << QByteArray() << Kind::Error << autoLine("0", "0", "unbekannt", "0") << kFirst
            << QStringList{QStringLiteral("❌ Push fehlgeschlagen")};
    }
    void decision()
    {
        QFETCH(double, local);
        QFETCH(QByteArray, meta);
        QFETCH(QByteArray, lastPulled);
        QFETCH(Kind, kind);
        QFETCH(QString, autoLine);
        QFETCH(QString, decision);
        QFETCH(QStringList, notifications);
        if (local >= 0)
            m_mac->writeDock(kLocal, local);
        if (!meta.isNull()) {
            writeBytes(file("tandrill-meta.txt"), meta);
            const double remote = m_mac->engine().remoteMTime();
            writeFile(file("com.apple.dock.plist"), kShared, remote > 0 ? remote : 1000);
        }
        const QString status = file("status-Labs_MacBook_Pro.txt");
        if (!lastPulled.isNull())
            writeBytes(status, kStatusHead + "last_pulled=" + lastPulled);
        const QByteArray statusBefore = readBytes(status);

        const SyncEngine::Result result = m_mac->engine().autoSync();

        QCOMPARE(result.kind(), kind);
        const QStringList lines = logMessages(file("tandrill.log"));
        QVERIFY(lines.size() >= 2);
        QCOMPARE(lines[0], autoLine);
        QCOMPARE(lines[1], decision);
        QCOMPARE(m_mac->notifier().bodies(), notifications);
        QCOMPARE(m_mac->notifier().titles(), QStringList{QStringLiteral("Tandrill")});
        const QString marker = file("conflict-Labs_MacBook_Pro.txt");
        QCOMPARE(QFileInfo::exists(marker), kind == Kind::Conflict);

        switch (kind) {
        case Kind::Conflict:
            QCOMPARE(QFileInfo(marker).size(), 0);
            QCOMPARE(lines.size(), 2);
            QCOMPARE(readBytes(status), statusBefore);
            QVERIFY(m_mac->backups().isEmpty());
            QCOMPARE(readBytes(file("com.apple.dock.plist")), kShared);
            QCOMPARE(m_mac->dockBytes(), kLocal);
            break;
        case Kind::InSync:
            QCOMPARE(lines.size(), 2);
            QVERIFY(readBytes(status).startsWith("hostname=Lab's MacBook Pro\nlast_action=sync\n"));
            QVERIFY(m_mac->backups().isEmpty());
            break;
        case Kind::Pushed:
            QCOMPARE(readBytes(file("com.apple.dock.plist")), kLocal);
            QVERIFY(readBytes(file("tandrill-meta.txt")).contains("\nhost=Lab's MacBook Pro\n"));
            QCOMPARE(lines.constLast(), QStringLiteral("PUSH: Erfolgreich hochgeladen"));
            break;
        case Kind::Pulled:
            QCOMPARE(m_mac->dockBytes(), kShared);
            QCOMPARE(m_mac->dockRestarts(), 1);
            QCOMPARE(lines.constLast(), QStringLiteral("PULL: Dock aktualisiert und neu gestartet"));
            break;
        default:
            QVERIFY(result.message().startsWith(QLatin1String("PUSH FEHLER: ")));
            QCOMPARE(lines.constLast(), result.message());
        }
        if (kind != Kind::Pulled)
            QCOMPARE(m_mac->dockRestarts(), 0);
    }

    // The marker stays while the decision keeps running, and goes with the next push or pull.
    void conflictMarkerLifecycle_data()
    {
        QTest::addColumn<SyncEngine::Mode>("resolution");
        QTest::newRow("resolved by push") << SyncEngine::Mode::Push;
        QTest::newRow("resolved by pull") << SyncEngine::Mode::Pull;
    }
    void conflictMarkerLifecycle()
    {
        QFETCH(SyncEngine::Mode, resolution);
        m_mac->writeDock(kLocal, 3000.25);
        writeBytes(file("tandrill-meta.txt"), "mtime=2500\nhost=Other");
        writeFile(file("com.apple.dock.plist"), kShared, 2500);
        writeBytes(file("status-Labs_MacBook_Pro.txt"), kStatusHead + "last_pulled=2000");
        writeBytes(file("conflict-Other.txt"), {});
        const QString marker = file("conflict-Labs_MacBook_Pro.txt");

        QCOMPARE(m_mac->engine().autoSync(), SyncEngine::Result::conflict());
        QCOMPARE(m_mac->engine().autoSync(), SyncEngine::Result::conflict());
        QVERIFY(QFileInfo::exists(marker));

        const SyncEngine::Result resolved = m_mac->run(resolution);
        QVERIFY(resolved == SyncEngine::Result::pushed() || resolved == SyncEngine::Result::pulled());
        QVERIFY(!QFileInfo::exists(marker));
        QVERIFY(QFileInfo::exists(file("conflict-Other.txt")));
        QCOMPARE(m_mac->run(SyncEngine::Mode::Auto), SyncEngine::Result::inSync());
    }

    void runAutoCreatesFolders()
    {
        const QString nested = m_root->path() + QLatin1String("/new/Dock Sync");
        m_mac->writeDock(kLocal, 3000.25);
        SyncEngine engine(nested, kHost, m_mac->services());
        QCOMPARE(engine.run(SyncEngine::Mode::Auto), SyncEngine::Result::pushed());
        QCOMPARE(readBytes(nested + QLatin1String("/com.apple.dock.plist")), kLocal);
        QCOMPARE(logMessages(nested + QLatin1String("/tandrill.log")).value(1), kFirst);
    }

    void ownPushIsInSyncAfterwards()
    {
        // A fractional modification time must not make the Mac push its own file again.
        m_mac->writeDock(kLocal, 1741356309.999);
        QCOMPARE(m_mac->run(SyncEngine::Mode::Push), SyncEngine::Result::pushed());
        QCOMPARE(m_mac->run(SyncEngine::Mode::Auto), SyncEngine::Result::inSync());
        QCOMPARE(readBytes(file("status-Labs_MacBook_Pro.txt")),
                 QByteArray("hostname=Lab's MacBook Pro\nlast_action=sync\nlast_time=2025-03-07 14:05:09\n"
                            "last_pulled=1741356309"));
        QCOMPARE(m_mac->backups().size(), 1);
    }
};

TANDRILL_TEST_MAIN(TestAutoSync)
#include "tst_autosync.moc"
