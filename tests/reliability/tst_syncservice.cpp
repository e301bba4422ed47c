// Simulated Macs whose sync folders are separate replicas, kept in step by a real file-sync
// tool (Unison) between the steps, once keeping modification times and once not.

#include "LogEntry.h"
#include "SimulatedMac.h"
#include "SyncFormat.h"
#include "TestEnvironment.h"
#include "UnisonHub.h"

#include <QDir>
#include <QDirIterator>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

using Kind = SyncEngine::Result::Kind;

namespace {

// Every file below a folder with its bytes, keyed by relative path.
QMap<QString, QByteArray> folderContents(const QString &folder)
{
    QMap<QString, QByteArray> contents;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        contents.insert(QDir(folder).relativeFilePath(path), readBytes(path));
    }
    return contents;
}

} // namespace

// Two or three Macs, each with its own replica of the sync folder, and the Unison hub between them.
class Network {
public:
    Network(const QString &root, bool keepTimes, const QStringList &names)
        : m_hub(root, keepTimes), m_clock(static_cast<double>(QDateTime::currentSecsSinceEpoch() - 10 * 24 * 3600))
    {
        for (const QString &name : names)
            m_macs.push_back(std::make_unique<SimulatedMac>(name, m_hub.addReplica(name), root));
    }

    UnisonHub &hub() { return m_hub; }
    SimulatedMac &mac(int index) { return *m_macs[static_cast<size_t>(index)]; }
    int size() const { return static_cast<int>(m_macs.size()); }
    QStringList &trace() { return m_trace; }

    // Passes ok through; when it is false, prints every step so far, which QtTest would cut short.
    bool explain(bool ok) const
    {
        if (!ok) {
            for (const QString &line : m_trace)
                std::fprintf(stderr, "  %s\n", qPrintable(line));
        }
        return ok;
    }

    // The user changes the Dock; edits are a minute apart and lie in the past, as a Dock file's
    // time always lies before the moment the sync service carries it.
    void edit(SimulatedMac &mac, const QByteArray &bytes)
    {
        m_clock += 60;
        mac.writeDock(bytes, m_clock);
        m_trace.append(mac.hostname() + QLatin1String(": edit ") + QString::fromUtf8(bytes));
    }

    Kind run(SimulatedMac &mac, SyncEngine::Mode mode)
    {
        const SyncEngine engine = mac.engine();
        const QString seen = QStringLiteral(" (L=%1 R=%2 by %3 P=%4 shared \"%5\")")
                                 .arg(qint64(engine.localDockMTime()))
                                 .arg(qint64(engine.remoteMTime()))
                                 .arg(engine.readMeta(QStringLiteral("host")).value_or(QString()))
                                 .arg(qint64(engine.readLastPulled()))
                                 .arg(QString::fromUtf8(readBytes(engine.folderFile(SyncFormat::kDockFileName))));
        const SyncEngine::Result result = mac.run(mode);
        static const char *const names[] = {"auto", "push", "pull", "status"};
        m_trace.append(mac.hostname() + QLatin1String(": ") + QLatin1String(names[static_cast<int>(mode)]) +
                       QLatin1String(" -> ") + result.name() + QLatin1Char(' ') + result.message() +
                       QLatin1String(" [dock ") + QString::fromUtf8(mac.dockBytes()) + QLatin1Char(']') + seen);
        if (!mac.hasDock() || mac.dockBytes().isEmpty())
            m_dockEverLost = true;
        return result.kind();
    }
    Kind autoSync(SimulatedMac &mac) { return run(mac, SyncEngine::Mode::Auto); }

    bool propagate()
    {
        m_trace.append(QStringLiteral("propagate"));
        return m_hub.propagate();
    }

    bool dockEverLost() const { return m_dockEverLost; }

    // Quiet rounds: propagate, then every Mac's automatic sync; a Mac that reports a conflict is
    // resolved the way a user would, by pulling the shared Dock. True once a whole round finds
    // every Mac in sync.
    bool settle(int maxRounds)
    {
        for (int round = 0; round < maxRounds; ++round) {
            if (!propagate())
                return false;
            bool allInSync = true;
            for (int i = 0; i < size(); ++i) {
                const Kind kind = autoSync(mac(i));
                if (kind == Kind::Conflict)
                    run(mac(i), SyncEngine::Mode::Pull);
                allInSync = allInSync && kind == Kind::InSync;
            }
            if (allInSync)
                return true;
        }
        return false;
    }

    bool allDocksEqual()
    {
        for (int i = 1; i < size(); ++i) {
            if (mac(i).dockBytes() != mac(0).dockBytes())
                return false;
        }
        return true;
    }

private:
    UnisonHub m_hub;
    std::vector<std::unique_ptr<SimulatedMac>> m_macs;
    double m_clock;
    QStringList m_trace;
    bool m_dockEverLost = false;
};

class TestSyncService : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    static void addModes()
    {
        QTest::addColumn<bool>("keepTimes");
        QTest::newRow("keeping times") << true;
        QTest::newRow("not keeping times") << false;
    }

    // A pushes its Dock, B pulls it, and both are in sync afterwards.
    static void startInSync(Network &net, const QByteArray &dock)
    {
        net.edit(net.mac(1), "B's first Dock");
        net.edit(net.mac(0), dock);
        QCOMPARE(net.autoSync(net.mac(0)), Kind::Pushed);
        QVERIFY2(net.propagate(), qPrintable(net.hub().lastError()));
        QCOMPARE(net.autoSync(net.mac(1)), Kind::Pulled);
        QCOMPARE(net.mac(1).dockBytes(), dock);
        QVERIFY(net.explain(net.settle(1)));
    }

private slots:
    void initTestCase()
    {
        if (UnisonHub::executable().isEmpty())
            QSKIP("unison is not installed (scripts/deps.sh test installs it)");
    }

    void init() { m_dir = std::make_unique<QTemporaryDir>(TestEnvironment::root() + QLatin1String("/sync-XXXXXX")); }
    void cleanup() { m_dir.reset(); }

    void pulledDockStaysInSync_data() { addModes(); }
    void pulledDockStaysInSync()
    {
        QFETCH(bool, keepTimes);
        Network net(m_dir->path(), keepTimes, {QStringLiteral("Mac A"), QStringLiteral("Mac B")});
        SimulatedMac &a = net.mac(0);
        SimulatedMac &b = net.mac(1);
        net.edit(b, "B's old Dock");
        net.edit(a, "A's Dock");

        QCOMPARE(net.autoSync(a), Kind::Pushed);
        QVERIFY2(net.propagate(), qPrintable(net.hub().lastError()));
        QCOMPARE(net.autoSync(b), Kind::Pulled);
        QCOMPARE(b.dockBytes(), QByteArray("A's Dock"));
        const QByteArray meta = readBytes(net.hub().hub() + QLatin1Char('/') + SyncFormat::kMetaFileName);

        // No push-pull ping-pong: round after round both sides stay in sync, and nobody pushes.
        for (int round = 0; round < 3; ++round) {
            QVERIFY2(net.propagate(), qPrintable(net.hub().lastError()));
            QVERIFY(net.explain(net.autoSync(a) == Kind::InSync));
            QVERIFY(net.explain(net.autoSync(b) == Kind::InSync));
        }
        QVERIFY(net.propagate());
        QCOMPARE(readBytes(net.hub().hub() + QLatin1Char('/') + SyncFormat::kMetaFileName), meta);
        QCOMPARE(a.dockRestarts(), 0);
        QCOMPARE(b.dockRestarts(), 1);
    }

    void bothChangedIsAConflictAndAPushResolvesIt_data() { addModes(); }
    void bothChangedIsAConflictAndAPushResolvesIt()
    {
        QFETCH(bool, keepTimes);
        Network net(m_dir->path(), keepTimes, {QStringLiteral("Mac A"), QStringLiteral("Mac B")});
        SimulatedMac &a = net.mac(0);
        SimulatedMac &b = net.mac(1);
        startInSync(net, "first Dock");
        if (QTest::currentTestFailed())
            return;

        net.edit(a, "A's new Dock");
        net.edit(b, "B's new Dock");
        QCOMPARE(net.autoSync(a), Kind::Pushed);
        QVERIFY(net.propagate());

        // B sees A's push and its own change: it must not guess.
        QCOMPARE(net.autoSync(b), Kind::Conflict);
        QVERIFY(QFile::exists(b.syncFolder() + QLatin1Char('/') +
                              SyncFormat::hostFileName(SyncFormat::kConflictPrefix, b.hostname())));
        QCOMPARE(b.dockBytes(), QByteArray("B's new Dock"));

        // The user keeps B's Dock.
        QCOMPARE(net.run(b, SyncEngine::Mode::Push), Kind::Pushed);
        QVERIFY(net.propagate());
        QCOMPARE(net.autoSync(a), Kind::Pulled);
        QVERIFY(net.explain(net.settle(3)));
        QCOMPARE(a.dockBytes(), QByteArray("B's new Dock"));
        QCOMPARE(b.dockBytes(), QByteArray("B's new Dock"));

        // Every replica converges to the same files, the conflict marker gone everywhere.
        QVERIFY(net.propagate());
        const auto hubFiles = folderContents(net.hub().hub());
        QVERIFY(!hubFiles.contains(SyncFormat::hostFileName(SyncFormat::kConflictPrefix, b.hostname())));
        QCOMPARE(folderContents(a.syncFolder()), hubFiles);
        QCOMPARE(folderContents(b.syncFolder()), hubFiles);
        QCOMPARE(hubFiles.value(SyncFormat::kDockFileName), QByteArray("B's new Dock"));
    }

    void partialArrival_data()
    {
        QTest::addColumn<bool>("keepTimes");
        QTest::addColumn<QString>("first");
        for (const bool keepTimes : {true, false}) {
            const char *mode = keepTimes ? "keeping times" : "not keeping times";
            QTest::addRow("%s, meta file first", mode) << keepTimes << QString(SyncFormat::kMetaFileName);
            QTest::addRow("%s, Dock copy first", mode) << keepTimes << QString(SyncFormat::kDockFileName);
        }
    }
    void partialArrival()
    {
        QFETCH(bool, keepTimes);
        QFETCH(QString, first);
        Network net(m_dir->path(), keepTimes, {QStringLiteral("Mac A"), QStringLiteral("Mac B")});
        SimulatedMac &a = net.mac(0);
        SimulatedMac &b = net.mac(1);
        startInSync(net, "old Dock");
        if (QTest::currentTestFailed())
            return;

        net.edit(a, "newest Dock");
        QCOMPARE(net.autoSync(a), Kind::Pushed);

        // One of the two files reaches B; B syncs on what it has.
        QVERIFY(net.hub().sync(a.syncFolder(), {first}));
        QVERIFY(net.hub().sync(b.syncFolder(), {first}));
        const Kind early = net.autoSync(b);
        QVERIFY(net.explain(early != Kind::Error && early != Kind::Conflict));
        QVERIFY(b.hasDock());
        QVERIFY(!b.dockBytes().isEmpty());

        // The rest arrives: B must end with the newest Dock, and both settle.
        QVERIFY(net.explain(net.settle(4)));
        QVERIFY(net.explain(b.dockBytes() == "newest Dock"));
        QCOMPARE(a.dockBytes(), QByteArray("newest Dock"));
        QVERIFY(!net.dockEverLost());
    }

    void bothAppendToTheLog_data() { addModes(); }
    void bothAppendToTheLog()
    {
        QFETCH(bool, keepTimes);
        Network net(m_dir->path(), keepTimes, {QStringLiteral("Mac A"), QStringLiteral("Mac B")});
        SimulatedMac &a = net.mac(0);
        SimulatedMac &b = net.mac(1);
        // A log close to its cap, so that both sides trim while they append.
        QByteArray nearlyFull;
        for (int i = 0; i < 495; ++i)
            nearlyFull += "[2025-03-07 14:05:09] [Mac A] STATUS: Präsenz registriert\n";
        writeBytes(a.syncFolder() + QLatin1Char('/') + SyncFormat::kLogFileName, nearlyFull);
        QVERIFY(net.propagate());

        for (int round = 0; round < 4; ++round) {
            for (int i = 0; i < 4; ++i) {
                QCOMPARE(net.run(a, SyncEngine::Mode::Status), Kind::StatusWritten);
                QCOMPARE(net.run(b, SyncEngine::Mode::Status), Kind::StatusWritten);
            }
            QVERIFY2(net.propagate(), qPrintable(net.hub().lastError()));
        }

        static const QRegularExpression wellFormed(
            QStringLiteral(R"(^\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\] \[Mac [AB]\] \S.*$)"));
        const QByteArray hubLog = readBytes(net.hub().hub() + QLatin1Char('/') + SyncFormat::kLogFileName);
        for (const QString &folder : {a.syncFolder(), b.syncFolder(), net.hub().hub()}) {
            const QString path = folder + QLatin1Char('/') + SyncFormat::kLogFileName;
            QCOMPARE(readBytes(path), hubLog);
            const QList<LogEntry> entries = readLogTail(path, 1000);
            QVERIFY(entries.size() >= 400);
            QVERIFY(entries.size() <= 500);
            for (const LogEntry &entry : entries) {
                QVERIFY2(wellFormed.match(entry.raw).hasMatch(), qPrintable(entry.raw));
                QVERIFY(!entry.timestamp().isEmpty());
                QVERIFY(!entry.source().isEmpty());
                QVERIFY(!entry.message().isEmpty());
            }
        }
        // And the engines go on appending to what the sync service left.
        QCOMPARE(net.run(b, SyncEngine::Mode::Status), Kind::StatusWritten);
        QCOMPARE(readLogTail(b.syncFolder() + QLatin1Char('/') + SyncFormat::kLogFileName, 1).value(0).message(),
                 QStringLiteral("STATUS: Präsenz registriert"));
    }

    void threeMacsConverge_data()
    {
        QTest::addColumn<bool>("keepTimes");
        QTest::addColumn<quint32>("seed");
        for (const bool keepTimes : {true, false}) {
            for (const quint32 seed : {1u, 2u, 16u, 30u, 52u}) {
                QTest::addRow("%s, seed %u", keepTimes ? "keeping times" : "not keeping times", seed)
                    << keepTimes << seed;
            }
        }
    }
    void threeMacsConverge()
    {
        QFETCH(bool, keepTimes);
        QFETCH(quint32, seed);
        Network net(m_dir->path(), keepTimes,
                    {QStringLiteral("Mac A"), QStringLiteral("Mac B"), QStringLiteral("Lab's Mac mini")});
        for (int i = 0; i < net.size(); ++i)
            net.edit(net.mac(i), "first Dock of " + net.mac(i).hostname().toUtf8());

        QRandomGenerator random(seed);
        int edits = 0;
        for (int step = 0; step < 40; ++step) {
            SimulatedMac &mac = net.mac(static_cast<int>(random.bounded(net.size())));
            const quint32 dice = random.bounded(100u);
            if (dice < 25) {
                net.edit(mac, "Dock edit " + QByteArray::number(++edits) + " on " + mac.hostname().toUtf8());
            } else if (dice < 55) {
                const Kind kind = net.autoSync(mac);
                QVERIFY(net.explain(kind != Kind::Error));
            } else if (dice < 65) {
                QVERIFY(net.explain(net.run(mac, SyncEngine::Mode::Push) == Kind::Pushed));
            } else if (dice < 85) {
                net.trace().append(mac.hostname() + QLatin1String(": sync with the hub"));
                QVERIFY2(net.hub().sync(mac.syncFolder()), qPrintable(net.hub().lastError()));
            } else {
                QVERIFY2(net.propagate(), qPrintable(net.hub().lastError()));
            }
        }

        QVERIFY(net.explain(net.settle(8)));
        QVERIFY(net.explain(net.allDocksEqual()));
        // A further quiet round changes nothing: no Mac pushes or pulls again.
        QVERIFY(net.explain(net.settle(1)));
        QVERIFY(net.explain(!net.dockEverLost()));
        QVERIFY(net.propagate());
        QCOMPARE(readBytes(net.hub().hub() + QLatin1Char('/') + SyncFormat::kDockFileName), net.mac(0).dockBytes());
    }
};

TANDRILL_TEST_MAIN(TestSyncService)
#include "tst_syncservice.moc"
