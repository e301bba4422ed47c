#include "HostInfo.h"
#include "LogEntry.h"
#include "SafeFile.h"
#include "SimulatedMac.h"
#include "SyncFormat.h"
#include "TestEnvironment.h"
#include "TestFiles.h"

#include <QDir>
#include <QTemporaryDir>

#include <memory>

using namespace TestFiles;
using Result = SyncEngine::Result;
using Mode = SyncEngine::Mode;

Q_DECLARE_METATYPE(SyncEngine::Mode)

// Several Macs, each with its own home, backups and clock, sharing one sync folder.
class TestMultiMac : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;

    QString folder() const { return m_root->path() + QLatin1String("/Dock Sync"); }
    QString file(const char *name) const { return folder() + QLatin1Char('/') + QLatin1String(name); }

    std::unique_ptr<SimulatedMac> mac(const QString &name, const QByteArray &dock, double mtime)
    {
        auto simulated = std::make_unique<SimulatedMac>(name, folder(), m_root->path());
        simulated->setNow(QDateTime(QDate(2025, 3, 7), QTime(14, 5, 9)));
        simulated->writeDock(dock, mtime);
        // Each Mac last agreed with the folder when its Dock was written; a Mac that never did
        // would get a conflict on joining with another Dock.
        QDir().mkpath(folder());
        writeBytes(folder() + QLatin1String("/status-") + SyncFormat::fileSafeName(name) + QLatin1String(".txt"),
                   "hostname=" + name.toUtf8() + "\nlast_pulled=" + QByteArray::number(qint64(mtime)));
        return simulated;
    }

    // What the sync service does when it does not keep modification times: the copy arrives new.
    void touchSharedCopy(double mtime) { QVERIFY(SafeFile::setModificationTime(file("com.apple.dock.plist"), mtime)); }

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        QVERIFY(m_root->isValid());
    }

    void pushThenAutoPull_data()
    {
        QTest::addColumn<double>("arrivedTime"); // the shared copy's time as B finds it; 0: as pushed
        QTest::newRow("times kept by the sync service") << 0.0;
        QTest::newRow("copy arrives with a newer time") << 1741359999.5;
    }
    void pushThenAutoPull()
    {
        QFETCH(double, arrivedTime);
        auto a = mac(QStringLiteral("Mac A"), "dock of A", 1741356309.75);
        auto b = mac(QStringLiteral("Mac B"), "dock of B", 1741350000.25);

        QCOMPARE(a->run(Mode::Push), Result::pushed());
        if (arrivedTime > 0)
            touchSharedCopy(arrivedTime);
        QCOMPARE(b->run(Mode::Auto), Result::pulled());
        QCOMPARE(b->dockBytes(), QByteArray("dock of A"));
        QCOMPARE(b->dockMTime(), 1741356309.0);
        QCOMPARE(b->dockRestarts(), 1);

        // No ping-pong: both sides are settled, again and again.
        for (int round = 0; round < 2; ++round) {
            QCOMPARE(a->run(Mode::Auto), Result::inSync());
            QCOMPARE(b->run(Mode::Auto), Result::inSync());
        }
        QCOMPARE(readBytes(file("tandrill-meta.txt")).left(29), QByteArray("mtime=1741356309\nhost=Mac A\nu"));
        QCOMPARE(a->backups().size(), 1);
        QCOMPARE(b->backups().size(), 1);
        QCOMPARE(a->dockRestarts(), 0);
    }

    void copyNotYetArrived()
    {
        auto a = mac(QStringLiteral("Mac A"), "dock of A, first", 1000.5);
        auto b = mac(QStringLiteral("Mac B"), "dock of B", 500);
        QCOMPARE(a->run(Mode::Push), Result::pushed());
        a->writeDock("dock of A, second", 2000.5);
        // The new meta file is there, the new copy is still on its way.
        const QByteArray firstCopy = readBytes(file("com.apple.dock.plist"));
        QCOMPARE(a->run(Mode::Push), Result::pushed());
        writeFile(file("com.apple.dock.plist"), firstCopy, 1000.5);

        // Until it arrives nothing is pulled or pushed: the copy there is already replaced.
        QCOMPARE(b->run(Mode::Auto).kind(), Result::Kind::Error);
        QCOMPARE(b->dockBytes(), QByteArray("dock of B"));

        writeFile(file("com.apple.dock.plist"), "dock of A, second", 2000.5);
        QCOMPARE(b->run(Mode::Auto), Result::pulled());
        QCOMPARE(b->dockBytes(), QByteArray("dock of A, second"));
        QCOMPARE(b->run(Mode::Auto), Result::inSync());
    }

    void threeMacsFollowTheNewest()
    {
        auto a = mac(QStringLiteral("Mac A"), "dock of A", 1000.25);
        auto b = mac(QStringLiteral("Mac B"), "dock of B", 900.5);
        auto c = mac(QStringLiteral("Mac C"), "dock of C", 800.75);
        QCOMPARE(a->run(Mode::Auto), Result::pushed());
        QCOMPARE(b->run(Mode::Auto), Result::pulled());
        QCOMPARE(c->run(Mode::Auto), Result::pulled());

        c->writeDock("dock of C, edited", 2000.5);
        QCOMPARE(c->run(Mode::Auto), Result::pushed());
        QCOMPARE(a->run(Mode::Auto), Result::pulled());
        QCOMPARE(b->run(Mode::Auto), Result::pulled());
        for (SimulatedMac *each : {a.get(), b.get(), c.get()}) {
            QCOMPARE(each->run(Mode::Auto), Result::inSync());
            QCOMPARE(each->dockBytes(), QByteArray("dock of C, edited"));
        }
        QCOMPARE(readLogTail(file("tandrill.log"), 1).constFirst().source(), QStringLiteral("Mac C"));
    }

    void conflictingEdits_data()
    {
        QTest::addColumn<Mode>("choice");
        QTest::addColumn<QByteArray>("winner");
        QTest::newRow("B keeps its own") << Mode::Push << QByteArray("dock of B, edited");
        QTest::newRow("B takes A's") << Mode::Pull << QByteArray("dock of A, edited");
    }
    void conflictingEdits()
    {
        QFETCH(Mode, choice);
        QFETCH(QByteArray, winner);
        auto a = mac(QStringLiteral("Mac A"), "dock of A", 1000.25);
        auto b = mac(QStringLiteral("Mac B"), "dock of B", 900.5);
        QCOMPARE(a->run(Mode::Push), Result::pushed());
        QCOMPARE(b->run(Mode::Auto), Result::pulled());

        a->writeDock("dock of A, edited", 2000.5);
        QCOMPARE(a->run(Mode::Auto), Result::pushed());
        b->writeDock("dock of B, edited", 2100.5);
        QCOMPARE(b->run(Mode::Auto), Result::conflict());
        QVERIFY(QFileInfo::exists(file("conflict-Mac_B.txt")));
        QVERIFY(!QFileInfo::exists(file("conflict-Mac_A.txt")));
        QCOMPARE(b->dockBytes(), QByteArray("dock of B, edited"));

        QCOMPARE(b->run(choice), choice == Mode::Push ? Result::pushed() : Result::pulled());
        QVERIFY(!QFileInfo::exists(file("conflict-Mac_B.txt")));
        QCOMPARE(a->run(Mode::Auto), choice == Mode::Push ? Result::pulled() : Result::inSync());
        QCOMPARE(b->run(Mode::Auto), Result::inSync());
        QCOMPARE(a->dockBytes(), winner);
        QCOMPARE(b->dockBytes(), winner);
    }

    void neverConflictsWithOwnPush()
    {
        // A fractional time on A's file: compared as read, A would find P < L and report a conflict.
        auto a = mac(QStringLiteral("Mac A"), "dock of A", 1000.75);
        auto b = mac(QStringLiteral("Mac B"), "dock of B", 500.5);
        QCOMPARE(a->run(Mode::Push), Result::pushed());
        QCOMPARE(a->run(Mode::Auto), Result::inSync());
        b->writeDock("dock of B, edited", 3000.5);
        QCOMPARE(b->run(Mode::Push), Result::pushed());
        QCOMPARE(a->run(Mode::Auto), Result::pulled());
        QVERIFY(!QFileInfo::exists(file("conflict-Mac_A.txt")));

        // The meta file naming A itself never makes a conflict, whatever A's status says.
        a->writeDock("dock of A, edited", 4000.5);
        QCOMPARE(a->run(Mode::Push), Result::pushed());
        writeBytes(file("status-Mac_A.txt"), "hostname=Mac A\nlast_pulled=10");
        a->writeDock("dock of A, edited again", 5000.5);
        QCOMPARE(a->run(Mode::Auto), Result::pushed());
    }

    void presenceKeepsAConflictVisible()
    {
        auto a = mac(QStringLiteral("Mac A"), "dock of A", 1000.25);
        auto b = mac(QStringLiteral("Mac B"), "dock of B", 900.5);
        QCOMPARE(a->run(Mode::Push), Result::pushed());
        QCOMPARE(b->run(Mode::Auto), Result::pulled());
        a->writeDock("dock of A, edited", 2000.5);
        QCOMPARE(a->run(Mode::Push), Result::pushed());
        b->writeDock("dock of B, edited", 2100.5);

        // B starts and announces itself before its first automatic run: both edits stay visible.
        QCOMPARE(b->run(Mode::Status), Result::statusWritten());
        QCOMPARE(b->run(Mode::Auto), Result::conflict());
        QCOMPARE(readBytes(file("com.apple.dock.plist")), QByteArray("dock of A, edited"));
        QCOMPARE(b->dockBytes(), QByteArray("dock of B, edited"));
    }

    void registry()
    {
        const QString me = QStringLiteral("zeta");
        const auto write = [this](const char *name, const QByteArray &bytes) { writeBytes(file(name), bytes); };
        QVERIFY(QDir().mkpath(folder()));
        write("status-zeta.txt", "hostname=zeta\nlast_action=pull\nlast_time=2025-03-07 14:05:09\nlast_pulled=1");
        write("status-zeta-copy.txt", "hostname=old\nhostname=zeta");
        write("status-beta.txt", "hostname=beta\nlast_action=Push");
        write("status-Beta.txt", "hostname=Beta\nlast_time=2025-03-01 10:00:00\r\nlast_action=online");
        write("status-Alpha.txt", "hostname=Alpha\nlast_action=push\nlast_time=a=b");
        write("status-Ecole.txt", "hostname=E\xcc\x81"
                                  "cole"); // decomposed; composed, É sorts after the Latin letters
        write("status-fullwidth.txt", "hostname=\xef\xbc\xa1"); // U+FF21 sorts before U+1F34E, not so in UTF-16
        write("status-apple.txt", "hostname=\xf0\x9f\x8d\x8e");
        write("status-notes.txt", "last_action=push\nnotes=yes");
        write("status.txt", "hostname=Not listed");
        write("conflict-Gamma.txt", "hostname=Gamma");
        write("status-bad.txt", "hostname=Bad\xff");
        write("status-empty.txt", "");
        write("status-huge.txt", "hostname=Huge\n" + QByteArray(70 * 1024, '#'));
        QVERIFY(makeFifo(file("status-fifo.txt")));
        QVERIFY(QDir().mkpath(file("status-dir.txt")));

        const auto hosts = readHostRegistry(folder(), me);
        QVERIFY(hosts.has_value());
        QStringList names, actions, times;
        for (const HostInfo &host : *hosts) {
            names.append(host.hostname);
            actions.append(host.lastAction);
            times.append(host.lastTime);
            QCOMPARE(host.isThisMac, host.hostname == me);
        }
        QCOMPARE(names,
                 (QStringList{me, me, QStringLiteral("Alpha"), QStringLiteral("Beta"), QStringLiteral("beta"),
                              QStringLiteral("E\u0301cole"), QStringLiteral("\uff21"), QStringLiteral("\U0001F34E")}));
        QCOMPARE(actions.mid(2, 4), (QStringList{QStringLiteral("push"), QStringLiteral("online"),
                                                 QStringLiteral("Push"), QStringLiteral("sync")}));
        QCOMPARE(times.mid(2, 4), (QStringList{QStringLiteral("a=b"), QStringLiteral("2025-03-01 10:00:00\r"),
                                               QStringLiteral("—"), QStringLiteral("—")}));
        QVERIFY(hosts->value(0).id != hosts->value(1).id);
        QVERIFY(hosts->value(0).id != readHostRegistry(folder(), me)->value(0).id);

        QVERIFY(!readHostRegistry(m_root->path() + QLatin1String("/missing"), me).has_value());
        QVERIFY(!readHostRegistry(QString(), me).has_value());
    }

    void actionSymbols_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("icon");
        QTest::addColumn<QString>("label");
        QTest::newRow("push") << QStringLiteral("push") << QStringLiteral("arrow.up.circle.fill")
                              << QStringLiteral("Push");
        QTest::newRow("pull") << QStringLiteral("pull") << QStringLiteral("arrow.down.circle.fill")
                              << QStringLiteral("Pull");
        QTest::newRow("online") << QStringLiteral("online") << QStringLiteral("wifi") << QStringLiteral("Online");
        QTest::newRow("sync") << QStringLiteral("sync") << QStringLiteral("arrow.triangle.2.circlepath")
                              << QStringLiteral("Sync");
        QTest::newRow("capital Push") << QStringLiteral("Push") << QStringLiteral("arrow.triangle.2.circlepath")
                                      << QStringLiteral("Sync");
    }
    void actionSymbols()
    {
        QFETCH(QString, action);
        QFETCH(QString, icon);
        QFETCH(QString, label);
        HostInfo host;
        host.lastAction = action;
        QCOMPARE(host.actionIcon(), icon);
        QCOMPARE(host.actionLabel(), label);
    }

    void registryThroughTheEngine()
    {
        auto b = mac(QStringLiteral("Mac B"), "b", 1);
        auto c = mac(QStringLiteral("Mac C"), "c", 1);
        auto a = mac(QStringLiteral("Mac A"), "a", 1);
        for (SimulatedMac *each : {c.get(), a.get(), b.get()})
            QCOMPARE(each->run(Mode::Status), Result::statusWritten());
        const auto hosts = readHostRegistry(folder(), QStringLiteral("Mac C"));
        QVERIFY(hosts.has_value());
        QStringList names;
        for (const HostInfo &host : *hosts) {
            names.append(host.hostname);
            QCOMPARE(host.lastAction, QStringLiteral("online"));
            QCOMPARE(host.lastTime, QStringLiteral("2025-03-07 14:05:09"));
        }
        QCOMPARE(names, (QStringList{QStringLiteral("Mac C"), QStringLiteral("Mac A"), QStringLiteral("Mac B")}));
        QVERIFY(hosts->value(0).isThisMac);
    }

    void logEntry_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("timestamp");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("message");
        QTest::newRow("well formed") << QStringLiteral("[2024-05-01 10:00:00] [Mac-mini] PUSH: Erfolgreich hochgeladen")
                                     << QStringLiteral("2024-05-01 10:00:00") << QStringLiteral("Mac-mini")
                                     << QStringLiteral("PUSH: Erfolgreich hochgeladen");
        QTest::newRow("separator inside the message") << QStringLiteral("[t] [Mac] a] b] c") << QStringLiteral("t")
                                                      << QStringLiteral("Mac") << QStringLiteral("a] b] c");
        QTest::newRow("message blanks trimmed") << QStringLiteral("[t] [Mac] \t msg \t") << QStringLiteral("t")
                                                << QStringLiteral("Mac") << QStringLiteral("msg");
        QTest::newRow("brackets trimmed from the source")
            << QStringLiteral("[t] [[Mac]]] m") << QStringLiteral("t") << QStringLiteral("Mac") << QStringLiteral("m");
        QTest::newRow("empty middle part")
            << QStringLiteral("[t] ] m") << QStringLiteral("t") << QString() << QStringLiteral("m");
        QTest::newRow("no separator") << QStringLiteral("[just text") << QStringLiteral("just text") << QString()
                                      << QString();
        QTest::newRow("no separator, no bracket") << QStringLiteral("plain") << QString() << QString() << QString();
        QTest::newRow("two parts only") << QStringLiteral("x] [Mac") << QString() << QStringLiteral("Mac") << QString();
        QTest::newRow("carriage return kept")
            << QStringLiteral("[t] [Mac] m\r") << QStringLiteral("t") << QStringLiteral("Mac") << QStringLiteral("m\r");
    }
    void logEntry()
    {
        QFETCH(QString, raw);
        QFETCH(QString, timestamp);
        QFETCH(QString, source);
        QFETCH(QString, message);
        const LogEntry entry = LogEntry::fromRaw(raw);
        QCOMPARE(entry.raw, raw);
        QCOMPARE(entry.timestamp(), timestamp);
        QCOMPARE(entry.source(), source);
        QCOMPARE(entry.message(), message);
    }

    void logTail_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QStringList>("raws");
        QByteArray fiveHundred;
        QStringList newest80;
        for (int i = 1; i <= 500; ++i)
            fiveHundred += "line " + QByteArray::number(i) + '\n';
        for (int i = 500; i > 420; --i)
            newest80.append(QStringLiteral("line %1").arg(i));
        QTest::newRow("500 lines: the newest 80") << fiveHundred << 80 << newest80;
        QTest::newRow("three lines, newest first")
            << QByteArray("a\nb\nc\n") << 80
            << QStringList{QStringLiteral("c"), QStringLiteral("b"), QStringLiteral("a")};
        QTest::newRow("empty lines dropped, blank ones kept")
            << QByteArray("a\n\n \n\r\n\nb") << 80
            << QStringList{QStringLiteral("b"), QStringLiteral("\r"), QStringLiteral(" "), QStringLiteral("a")};
        QTest::newRow("limit") << QByteArray("a\nb\nc\n") << 2 << QStringList{QStringLiteral("c"), QStringLiteral("b")};
        QTest::newRow("limit 0") << QByteArray("a\n") << 0 << QStringList();
        QTest::newRow("empty file") << QByteArray("") << 80 << QStringList();
        QTest::newRow("no file") << QByteArray() << 80 << QStringList();
    }
    void logTail()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, limit);
        QFETCH(QStringList, raws);
        QVERIFY(QDir().mkpath(folder()));
        if (!content.isNull())
            writeBytes(file("tandrill.log"), content);
        const QList<LogEntry> entries = readLogTail(file("tandrill.log"), limit);
        QStringList read;
        for (const LogEntry &entry : entries)
            read.append(entry.raw);
        QCOMPARE(read, raws);
        const QList<LogEntry> again = readLogTail(file("tandrill.log"), limit);
        for (qsizetype i = 0; i < entries.size(); ++i) {
            QCOMPARE(again[i].raw, entries[i].raw);
            QVERIFY(again[i].id != entries[i].id);
        }
    }

    void logTailOfOversizedLog()
    {
        QVERIFY(QDir().mkpath(folder()));
        QByteArray content(2 * 1024 * 1024, 'x'); // one huge first line, cut by the read limit
        content += "\n[t] [Mac A] last\n";
        writeBytes(file("tandrill.log"), content);
        const QList<LogEntry> entries = readLogTail(file("tandrill.log"));
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries.constFirst().source(), QStringLiteral("Mac A"));
    }
};

TANDRILL_TEST_MAIN(TestMultiMac)
#include "tst_multimac.moc"
