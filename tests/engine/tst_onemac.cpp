#include "TestCommon.h"
#include "TestDock.h"
#include "platform/CloudFiles.h"

#include <latch>
#include <thread>

using namespace TestFiles;

namespace {

const QDateTime kNow(QDate(2025, 3, 7), QTime(14, 5, 9));

} // namespace

// One Mac's own side: its operations take turns, its backups keep what they protect, and a file
// the cloud evicted under its own name is not taken for one that can be read.
class TestOneMac : public OneMacTest {
    Q_OBJECT

private slots:
    void init()
    {
        makeMac();
        m_mac->writeDock("A0", 1741000000);
    }

    // While another operation holds this Mac, each writing one gives up with its reason and changes nothing.
    void operationsTakeTurns_data()
    {
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<bool>("restore"); // a restore instead of the mode's run
        for (const Mode mode : {Mode::Push, Mode::Pull, Mode::Auto, Mode::Status})
            QTest::addRow("mode %d", int(mode)) << mode << false;
        QTest::newRow("restore") << Mode::Pull << true;
    }
    void operationsTakeTurns()
    {
        QFETCH(Mode, mode);
        QFETCH(bool, restore);
        SimulatedMac b(u"Mac B"_s, folder(), m_root->path());
        b.writeDock("B0", 1741000100);
        QCOMPARE(b.run(Mode::Push).kind(), Kind::Pushed);
        QCOMPARE(m_mac->engine().backupLocalDock(u"_vor_pull"_s), std::nullopt);
        const QStringList backups = m_mac->backups();
        const QStringList shared = entryNames(folder());
        EngineServices services = m_mac->services();
        services.operationWait = std::chrono::milliseconds(0);
        SyncEngine engine(folder(), m_mac->hostname(), services);
        const SafeFile::ExclusiveLock running = engine.lockOperations();
        QVERIFY(running.held());

        const SyncEngine::Result result = restore ? engine.restoreBackup(backups.constFirst()) : engine.run(mode);

        QCOMPARE(result, SyncEngine::Result::error(SyncEngine::operationBusyMessage()));
        QCOMPARE(m_mac->dockBytes(), "A0"_ba);
        QCOMPARE(m_mac->backups(), backups);
        QCOMPARE(entryNames(folder()), shared);
    }

    // A push and a pull at once, as the app's background run and a tandrill-cli call may start them:
    // whichever goes first, the Dock ends as the shared copy.
    void pushAndPullAtOnce()
    {
        SimulatedMac b(u"Mac B"_s, folder(), m_root->path());
        for (int round = 1; round <= 20; ++round) {
            b.writeDock("B" + QByteArray::number(round), 1741000000 + 10 * round);
            QCOMPARE(b.run(Mode::Push).kind(), Kind::Pushed);
            m_mac->writeDock("A" + QByteArray::number(round), 1741000005 + 10 * round);
            std::latch start(2);
            std::thread pull([&] {
                start.arrive_and_wait();
                m_mac->run(Mode::Pull);
            });
            start.arrive_and_wait();
            m_mac->run(Mode::Push);
            pull.join();
            QCOMPARE(m_mac->dockBytes(), readBytes(folder() + u"/com.apple.dock.plist"_s));
        }
    }

    // The backup an operation takes ranks above all there by its name, whatever the clock or the
    // files' times say, so its own pruning never takes it; a restore keeps the backup it applies.
    // What is no backup of this app, or no file, is neither counted nor removed, nor followed.
    void backupsKeepWhatTheyProtect_data()
    {
        QTest::addColumn<QStringList>("existing"); // each holds the Dock of its name
        QTest::addColumn<QString>("restore");      // a push when empty
        QTest::addColumn<QString>("taken");
        QTest::addColumn<QStringList>("pruned");
        QStringList today, ahead; // ten each; ahead: a clock ahead, or a trip west
        for (int i = 0; i < 10; ++i) {
            today.append(u"com.apple.dock.20250307_13%1.plist"_s.arg(i, 4, 10, QLatin1Char('0')));
            ahead.append(u"com.apple.dock.20250307_15%1.plist"_s.arg(i, 4, 10, QLatin1Char('0')));
        }
        QTest::newRow("clock right") << today << QString() << u"com.apple.dock.20250307_140509.plist"_s
                                     << today.mid(0, 1);
        QTest::newRow("same second") << QStringList{u"com.apple.dock.20250307_140509.plist"_s} << QString()
                                     << u"com.apple.dock.20250307_140509-2.plist"_s << QStringList();
        QTest::newRow("names ahead of the clock")
            << ahead << QString() << u"com.apple.dock.20250307_150009-2.plist"_s << ahead.mid(0, 1);
        QTest::newRow("restore the oldest")
            << today << today.first() << u"com.apple.dock.20250307_140509_vor_restore.plist"_s << today.mid(1, 1);
        QTest::newRow("restore the oldest, names ahead")
            << ahead << ahead.first() << u"com.apple.dock.20250307_150009_vor_restore-2.plist"_s << ahead.mid(1, 1);
    }
    void backupsKeepWhatTheyProtect()
    {
        QFETCH(QStringList, existing);
        QFETCH(QString, restore);
        QFETCH(QString, taken);
        QFETCH(QStringList, pruned);
        const QString dir = m_mac->backupsDirectory() + u'/';
        QVERIFY(QDir().mkpath(dir));
        for (const QString &name : existing) // the older by name, the newer by time
            writeFile(dir + name, TestDock::marker(name.toUtf8()), 1741000000.0 - double(existing.indexOf(name)));
        const QString outside = m_root->path() + u"/outside"_s;
        writeBytes(outside, "SECRET");
        writeBytes(dir + u"notes.txt"_s, "notes");
        QVERIFY(QFile::link(outside, dir + u"com.apple.dock.20200101_000000.plist"_s));
        m_mac->setNow(kNow);

        const SyncEngine::Result result =
            restore.isEmpty() ? m_mac->run(Mode::Push) : m_mac->engine().restoreBackup(restore);

        QCOMPARE(result.kind(), restore.isEmpty() ? Kind::Pushed : Kind::Restored);
        QStringList expected = existing;
        for (const QString &name : pruned)
            expected.removeOne(name);
        expected << taken << u"notes.txt"_s << u"com.apple.dock.20200101_000000.plist"_s;
        expected.sort();
        QCOMPARE(m_mac->backups(), expected);
        QCOMPARE(readBytes(dir + taken), "A0"_ba);
        QCOMPARE(readBytes(outside), "SECRET"_ba);
        QCOMPARE(m_mac->engine().listBackups().constFirst().name, taken);
        if (!restore.isEmpty())
            QCOMPARE(m_mac->dockBytes(), restore.toUtf8());
    }

    // Since macOS 14 an evicted file keeps its name, marked dataless in its flags.
    void datalessFilesAreUnavailable()
    {
        const QString path = folder() + u"/status-Mac_B.txt"_s;
        writeBytes(path, "hostname=Mac B");
        QCOMPARE(CloudFiles::stateFromFlags(path, 0x8, 0x40000000), CloudFiles::State::Present);
        QCOMPARE(CloudFiles::stateFromFlags(path, 0x40000008, 0x40000000), CloudFiles::State::Unavailable);
    }
};

TANDRILL_TEST_CLASS(TestOneMac)
#include "tst_onemac.moc"
