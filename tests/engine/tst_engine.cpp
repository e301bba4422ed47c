#include "HostInfo.h"
#include "LogEntry.h"
#include "SharedLog.h"
#include "TestCommon.h"
#include "TestDock.h"

#include <map>
#include <thread>

using namespace TestFiles;
using TestDock::Shape;
using Result = SyncEngine::Result;
Q_DECLARE_METATYPE(TestDock::Shape)

namespace {

const QString kHost = u"Lab's MacBook Pro"_s;
const QDateTime kStamp(QDate(2025, 3, 7), QTime(14, 5, 9));
const QByteArray kLocal("<plist>local dock</plist>");
const QByteArray kShared("<plist>shared dock</plist>");
const QByteArray
    kOldStatus("hostname=Lab's MacBook Pro\nlast_action=sync\nlast_time=2025-03-01 10:00:00\nlast_pulled=5");

} // namespace

// One Mac's engine against a shared folder: the decision, the bytes it writes, and what it refuses.
class TestEngine : public OneMacTest {
    Q_OBJECT

    QString status() const { return file("status-Labs_MacBook_Pro.txt"); }
    QString marker() const { return file("conflict-Labs_MacBook_Pro.txt"); }
    QString ownLog() const { return file("log-Labs_MacBook_Pro.txt"); }

    // Another Mac's push as this Mac finds it, with this Mac's own conflict marker and an older status.
    void prepareOtherPush()
    {
        writeFile(file("com.apple.dock.plist"), kShared, 1741356400.5);
        writeBytes(file("tandrill-meta.txt"), "mtime=1741356400\nhost=Other\nupdated=2025-03-07 14:06:40");
        writeBytes(status(), kOldStatus);
        writeBytes(marker(), {});
        writeBytes(file("conflict-Other.txt"), {});
    }

private slots:
    void init()
    {
        makeMac(kHost);
        m_mac->setNow(kStamp);
    }

    // A joining Mac that finds another Dock asks, whatever state the meta file is in; it never pushes.
    void decision_data()
    {
        QTest::addColumn<double>("local");          // the Dock file's time; no Dock file when negative
        QTest::addColumn<QByteArray>("meta");       // no meta file when null
        QTest::addColumn<QByteArray>("lastPulled"); // no own status file when null
        QTest::addColumn<QString>("copy"); // the shared copy, with the meta's time: "" when there is a meta file
        QTest::addColumn<Kind>("kind");
        const auto add = [](const char *name, double local, const QByteArray &meta, const QByteArray &lastPulled,
                            Kind kind, const char *copy = "") {
            QTest::newRow(name) << local << meta << lastPulled << QString::fromLatin1(copy) << kind;
        };
        const QByteArray other("mtime=2500\nhost=Other");
        const QByteArray none;
        add("no meta file: first push", 2000.25, none, "1500", Kind::Pushed);
        add("mtime nan, never agreed: asked, no push", 3000.25, "mtime=nan\nhost=Other", none, Kind::Conflict);
        add("negative last_pulled: still a conflict", 3000.25, other, "-5", Kind::Conflict);
        add("local newer, agreed with the shared copy: push", 3000.25, other, "2500", Kind::Pushed);
        add("shared newer: pull", 2000.25, "mtime=3000\nhost=Other", "2000", Kind::Pulled);
        add("equal in whole seconds", 2500.75, other, "2500", Kind::InSync);
        add("both changed: conflict", 3000.25, other, "2000", Kind::Conflict);
        add("host differing in case: conflict", 3000.25, "mtime=2500\nhost=lab's macbook pro", "2000", Kind::Conflict);
        add("never pulled, another Dock: conflict", 3000.25, other, none, Kind::Conflict);
        add("agreed with the local Dock: no conflict", 3000.75, "mtime=3500\nhost=Other", "3000", Kind::Pulled);
        add("last push was this Mac's: no conflict", 3000.25, "mtime=2500\nhost=Lab's MacBook Pro", "2000",
            Kind::Pushed);
        add("no local Dock: pull", -1.0, "mtime=3000\nhost=Other", none, Kind::Pulled);
        add("nothing anywhere: the push fails", -1.0, none, none, Kind::Error);
        add("joining, meta file not arrived yet", 3000.25, none, none, Kind::Conflict, "copy");
        add("joining, meta file empty", 3000.25, "", none, Kind::Conflict);
        add("joining, meta file with CR LF", 3000.25, "mtime=1741356400\r\nhost=Other\r\n", none, Kind::Conflict);
        add("joining, before 1970", 3000.25, "mtime=-86400\nhost=Other", none, Kind::Conflict);
        add("joining, copy is a link", 3000.25, "mtime=2500\nhost=Other", none, Kind::Error, "link");
    }
    void decision()
    {
        QFETCH(double, local);
        QFETCH(QByteArray, meta);
        QFETCH(QByteArray, lastPulled);
        QFETCH(QString, copy);
        QFETCH(Kind, kind);
        if (local >= 0)
            m_mac->writeDock(kLocal, local);
        if (!meta.isNull())
            writeBytes(file("tandrill-meta.txt"), meta);
        const double remote = m_mac->engine().remoteMTime();
        if (copy == u"link"_s) {
            writeFile(folder() + u"/elsewhere.plist"_s, kShared, remote);
            QVERIFY(QFile::link(folder() + u"/elsewhere.plist"_s, file("com.apple.dock.plist")));
        } else if (!meta.isNull() || !copy.isEmpty()) {
            writeFile(file("com.apple.dock.plist"), kShared, remote > 0 ? remote : 1000);
        }
        if (!lastPulled.isNull())
            writeBytes(status(), "hostname=Lab's MacBook Pro\nlast_pulled=" + lastPulled);
        const QByteArray statusBefore = readBytes(status());
        const QByteArray sharedBefore = readBytes(file("com.apple.dock.plist"));
        const QByteArray localBefore = m_mac->dockBytes();

        const SyncEngine::Result result = m_mac->engine().autoSync();

        QCOMPARE(result.kind(), kind);
        QCOMPARE(m_mac->notifier().bodies().size(), copy == u"link"_s ? 0 : 1); // a wait is no news
        QCOMPARE(QFileInfo::exists(marker()), kind == Kind::Conflict);
        QCOMPARE(m_mac->dockRestarts(), kind == Kind::Pulled ? 1 : 0);
        QVERIFY(m_mac->backups().isEmpty() || kind == Kind::Pushed || kind == Kind::Pulled);
        if (kind == Kind::Conflict) // nothing agreed
            QCOMPARE(readBytes(status()), statusBefore);
        QCOMPARE(readBytes(file("com.apple.dock.plist")), kind == Kind::Pushed ? kLocal : sharedBefore);
        QCOMPARE(m_mac->dockBytes(), kind == Kind::Pulled ? kShared : localBefore);
    }

    // A refused run changes nothing, spends no backup, and names a shared file it cannot read now.
    void refusals_data()
    {
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<QString>("where"); // "local" Dock, "backups", or a file of the folder
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("failure");
        const auto add = [](Mode mode, const char *where, const char *kind, const char *failure = "") {
            const char *name = mode == Mode::Push ? "push" : (mode == Mode::Pull ? "pull" : "auto");
            QTest::addRow("%s: %s %s", name, where, kind)
                << mode << QString::fromLatin1(where) << QString::fromLatin1(kind) << QString::fromUtf8(failure);
        };
        for (const char *kind : {"missing", "directory", "FIFO", "not a Dock"})
            add(Mode::Push, "local", kind);
        add(Mode::Push, "local", "over 16 MiB", "größer als 16 MiB");
        add(Mode::Push, "backups", "empty");
        for (const char *kind : {"missing", "empty", "FIFO", "not a Dock"})
            add(Mode::Pull, "com.apple.dock.plist", kind);
        add(Mode::Pull, "com.apple.dock.plist", "over 16 MiB", "größer als 16 MiB");
        const char *unavailable = "ist noch nicht verfügbar";
        for (const char *kind : {"directory", "dangling link", "iCloud stub", "older than the meta"})
            add(Mode::Pull, "com.apple.dock.plist", kind, unavailable);
        // A FIFO is a download that stalled for ever: a plain read of it would never return.
        for (const char *kind : {"directory", "FIFO"})
            add(Mode::Pull, "tandrill-meta.txt", kind, unavailable);
        add(Mode::Pull, "local", "directory");
        for (const char *name : {"tandrill-meta.txt", "com.apple.dock.plist", "status-Labs_MacBook_Pro.txt"}) {
            for (const char *kind : {"iCloud stub", "FIFO"})
                add(Mode::Auto, name, kind, unavailable);
        }
        // What is there but is no Dock is named, never taken for "in sync" or pushed over.
        for (const char *kind : {"empty", "not a Dock", "dangling link"})
            add(Mode::Auto, "com.apple.dock.plist", kind);
        add(Mode::Auto, "local", "not a Dock", "keine Dock-Konfiguration");
    }
    void refusals()
    {
        QFETCH(Mode, mode);
        QFETCH(QString, where);
        QFETCH(QString, kind);
        QFETCH(QString, failure);
        prepareOtherPush();
        m_mac->writeDock(kLocal, 1741356309.25);
        QDir().mkpath(QFileInfo(m_mac->backupsDirectory()).absolutePath());
        const QString path = where == u"local"_s     ? m_mac->dockPath()
                             : where == u"backups"_s ? m_mac->backupsDirectory()
                                                     : folder() + u'/' + where;
        if (kind == u"older than the meta"_s) // not arrived yet
            QVERIFY(SafeFile::setModificationTime(path, 1741356399.5));
        else
            QVERIFY(place(path, kind));
        QStringList names = entryNames(folder());
        names.removeAll(u"log-Labs_MacBook_Pro.txt"_s);
        QByteArrayList shared;
        for (const QString &name : names)
            shared.append(readBytes(folder() + u'/' + name));

        const SyncEngine::Result result = m_mac->run(mode);

        QCOMPARE(result.kind(), Kind::Error);
        QVERIFY2(result.message().contains(failure), qPrintable(result.message()));
        QCOMPARE(logMessages(ownLog()).size(), 2);
        if (where != u"local"_s) {
            QCOMPARE(m_mac->dockBytes(), kLocal);
            QCOMPARE(m_mac->dockMTime(), 1741356309.25);
        }
        QStringList after = entryNames(folder());
        after.removeAll(u"log-Labs_MacBook_Pro.txt"_s);
        QCOMPARE(after, names);
        for (qsizetype i = 0; i < names.size(); ++i)
            QCOMPARE(readBytes(folder() + u'/' + names[i]), shared[i]);
        QVERIFY(m_mac->backups().isEmpty());
        QCOMPARE(m_mac->dockRestarts(), 0);
    }

    // What a push or a pull over another Mac's push writes, byte for byte: this Mac's conflict marker
    // goes, another's stays. A pull backs the local Dock up first, then applies the copy with the time
    // the meta file records.
    void writesExactBytes_data()
    {
        QTest::addColumn<QByteArray>("meta"); // of the pulled push; a push when empty
        QTest::addColumn<QByteArray>("copy"); // in the folder afterwards
        QTest::addColumn<double>("applied");  // the local Dock's time afterwards; a pulled copy's own is 1741356999.5
        QTest::addColumn<QByteArray>("lastPulled");
        const QByteArray meta = "mtime=1741356400\nhost=Other";
        QTest::newRow("push") << ""_ba << kLocal << 1741356309.25 << "1741356309"_ba;
        QTest::newRow("pull: newer copy takes the recorded time") << meta << kShared << 1741356400.0 << "1741356400"_ba;
        QTest::newRow("pull: same layout, the Dock keeps running") << meta << kLocal << 1741356400.0 << "1741356400"_ba;
        QTest::newRow("pull: meta mtime not a number") << "mtime=nan"_ba << kShared << 1741356999.5 << "0"_ba;
    }
    void writesExactBytes()
    {
        QFETCH(QByteArray, meta);
        QFETCH(QByteArray, copy);
        QFETCH(double, applied);
        QFETCH(QByteArray, lastPulled);
        const bool push = meta.isEmpty();
        prepareOtherPush();
        if (!push) {
            writeBytes(file("tandrill-meta.txt"), meta);
            writeFile(file("com.apple.dock.plist"), copy, 1741356999.5);
        }
        m_mac->writeDock(kLocal, 1741356309.25);

        QCOMPARE(m_mac->run(push ? Mode::Push : Mode::Pull), push ? Result::pushed() : Result::pulled());
        QCOMPARE(readBytes(file("com.apple.dock.plist")), copy);
        QCOMPARE(SafeFile::modificationTime(file("com.apple.dock.plist")), push ? 1741356309.25 : 1741356999.5);
        QCOMPARE(m_mac->dockBytes(), copy);
        QCOMPARE(m_mac->dockMTime(), applied);
        QCOMPARE(m_mac->dockRestarts(), copy == kLocal ? 0 : 1);
        const QString backup = u"com.apple.dock.20250307_140509%1.plist"_s.arg(push ? u""_s : u"_vor_pull"_s);
        QCOMPARE(m_mac->backups(), QStringList{backup});
        QCOMPARE(readBytes(m_mac->backupsDirectory() + u'/' + backup), kLocal);
        QCOMPARE(readBytes(status()), "hostname=Lab's MacBook Pro\nlast_action="_ba + (push ? "push" : "pull") +
                                          "\nlast_time=2025-03-07 14:05:09\nlast_pulled=" + lastPulled);
        QVERIFY(!QFileInfo::exists(marker()) && QFileInfo::exists(file("conflict-Other.txt")));
        if (!push)
            return;
        // The three lines every Mac reads, then the pushed Dock's identity and the identities it builds
        // on: none, as the push it replaced named none.
        QCOMPARE(readBytes(file("tandrill-meta.txt")),
                 "mtime=1741356309\nhost=Lab's MacBook Pro\nupdated=2025-03-07 14:05:09\ndock="_ba +
                     DockLayout::parse(TestDock::marker(kLocal))->identity() + "\nhistory="_ba);
        QCOMPARE(m_mac->run(Mode::Auto), Result::inSync()); // its own push, despite the fraction of a second
    }

    // A pull keeps this Mac's bookkeeping, points folders into this home, drops bookmarks.
    void pullMakesTheDockThisMacs()
    {
        Shape sharedShape = TestDock::realistic(u"en"_s, u"anna"_s);
        sharedShape.settings.insert(u"tilesize"_s, 64);
        const QByteArray shared = TestDock::build(sharedShape);
        Shape local = TestDock::withApps({u"Safari"_s});
        local.generation = 4;
        local.settings.insert(u"tilesize"_s, 36);
        const QByteArray before = TestDock::build(local);
        prepareOtherPush();
        writeFile(file("com.apple.dock.plist"), shared, 1741356400.5);
        m_mac->writeDock(before, 1741356309.25);
        QCOMPARE(m_mac->run(Mode::Pull), SyncEngine::Result::pulled());

        const QByteArray applied = m_mac->dockBytes();
        QVERIFY(*DockLayout::parse(applied, m_mac->home()) == *DockLayout::parse(shared, m_mac->home()));
        for (const QString &key : DockLayout::volatileKeys())
            QCOMPARE(TestDock::topLevelValue(applied, key), TestDock::topLevelValue(before, key));
        const QByteArray folders = TestDock::topLevelValue(applied, u"persistent-others"_s);
        QVERIFY(folders.contains(QUrl::fromLocalFile(m_mac->home() + u"/Downloads/"_s).toEncoded()));
        QVERIFY(!folders.contains("<key>book</key>"));
        QCOMPARE(readBytes(m_mac->backupsDirectory() + u'/' + m_mac->backups().constFirst()), before);
    }

    // This Mac's own log: at most 500 lines, always whole lines, none from before the log was cleared.
    void logWriter_data()
    {
        QTest::addColumn<QByteArray>("before");  // the file; none when null
        QTest::addColumn<QByteArray>("cleared"); // the clear marker's time; none when empty
        QTest::addColumn<QByteArray>("after");   // before the new line
        const auto lines = [](int from, int to, int width = 0) {
            QByteArray text;
            for (int i = from; i <= to; ++i)
                text +=
                    QByteArray("[2025-03-07 14:00:00] [X] " + QByteArray::number(i)).leftJustified(width, 'x') + '\n';
            return text;
        };
        const QByteArray huge(10 * 1024 * 1024, 'x');
        const QByteArray wide = lines(1, 600, 4000);
        QTest::newRow("new log") << QByteArray() << QByteArray() << ""_ba;
        QTest::newRow("499 lines gain one") << lines(1, 499) << QByteArray() << lines(1, 499);
        QTest::newRow("500 lines: the oldest goes") << lines(1, 500) << QByteArray() << lines(2, 500);
        QTest::newRow("1200 lines") << lines(1, 1200) << QByteArray() << lines(702, 1200);
        QTest::newRow("no final line feed")
            << "[2025-03-07 14:00:00] [X] Se"_ba << QByteArray() << "[2025-03-07 14:00:00] [X] Se\n"_ba;
        QTest::newRow("one 10 MB line: its end stays")
            << huge << QByteArray() << "\u2026"_ba + huge.first(65536) + '\n';
        QTest::newRow("beyond the read limit: whole lines and the end of the cut one")
            << wide << QByteArray() << "\u2026"_ba + wide.last(1024 * 1024);
        QTest::newRow("cleared: older lines go, an untimed one with its line")
            << "[2025-03-07 14:04:59] [X] a\n[2025-03-07 14:05:00] [X] b\nmore of b\n[2025-03-07 14:05:01] [X] c\n"_ba
            << "2025-03-07 14:05:00"_ba
            << "[2025-03-07 14:05:01] [X] c\n"_ba;
    }
    void logWriter()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, cleared);
        QFETCH(QByteArray, after);
        if (!before.isNull())
            writeBytes(ownLog(), before);
        if (!cleared.isEmpty())
            writeBytes(file("tandrill-log-cleared.txt"), "cleared=" + cleared);
        m_mac->engine().log(u"newest"_s);
        const QByteArray written = readBytes(ownLog());
        QVERIFY(written == after + SyncFormat::logLine(kStamp, kHost, u"newest"_s)); // no 10 MB diff on failure
        QCOMPARE(entryNames(folder()).size(), cleared.isEmpty() ? 1 : 2);
    }

    // Every Mac's log, the old shared log and its conflict copies, merged newest first, since cleared.
    void logMerge_data()
    {
        QTest::addColumn<QStringList>("files"); // "name:line|line|…", lines as "second host message"
        QTest::addColumn<QString>("cleared");   // second of the clear marker; none when empty
        QTest::addColumn<QStringList>("shown"); // the messages, newest first
        QTest::newRow("every Mac and the old log by time; one second keeps a file's order")
            << QStringList{u"log-A.txt:1 A a1|4 A a4|4 A a5"_s, u"log-B.txt:2 B b2"_s, u"tandrill.log:0 C c0|3 C c3"_s}
            << u""_s << QStringList{u"a5"_s, u"a4"_s, u"c3"_s, u"b2"_s, u"a1"_s, u"c0"_s};
        QTest::newRow("conflict copies of the old log merged once")
            << QStringList{u"tandrill.log:1 C c1|1 C c1|2 C c2"_s,
                           u"tandrill.sync-conflict-20261207-101010-ABCDEFG.log:1 C c1|3 C c3"_s,
                           u"tandrill 2.log:1 C c1|2 C c2|4 C c4"_s}
            << u""_s << QStringList{u"c4"_s, u"c3"_s, u"c2"_s, u"c1"_s, u"c1"_s};
        QTest::newRow("cleared: older lines hidden in every file")
            << QStringList{u"log-A.txt:2 A a2|- untimed|3 A a3"_s, u"tandrill.log:1 C c1|5 C c5"_s} << u"2"_s
            << QStringList{u"c5"_s, u"a3"_s};
        QTest::newRow("copies of a Mac's file and other files are no log")
            << QStringList{u"log-A.txt:1 A a1|- untimed"_s, u"log-A 2.txt:2 A x"_s,
                           u"log-A.sync-conflict-20261207-101010-ABCDEFG.txt:2 A x"_s, u"status-A.txt:2 A x"_s,
                           u"tandrill.log.tmp:2 A x"_s}
            << u""_s << QStringList{u""_s, u"a1"_s};
    }
    void logMerge()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, cleared);
        QFETCH(QStringList, shown);
        const auto line = [](const QString &entry) {
            const QStringList part = entry.split(u' ');
            return part[0] == u"-"_s ? part[1] : u"[2025-03-07 14:00:0%1] [%2] %3"_s.arg(part[0], part[1], part[2]);
        };
        for (const QString &entry : files) {
            const qsizetype colon = entry.indexOf(u':');
            QStringList lines;
            for (const QString &each : entry.mid(colon + 1).split(u'|'))
                lines.append(line(each) + u'\n');
            writeBytes(folder() + u'/' + entry.left(colon), lines.join(QString()).toUtf8());
        }
        if (!cleared.isEmpty())
            writeBytes(file("tandrill-log-cleared.txt"), "cleared=2025-03-07 14:00:0" + cleared.toUtf8());
        QStringList messages;
        for (const LogEntry &entry : SharedLog::readMerged(folder(), 100))
            messages.append(entry.message());
        QCOMPARE(messages, shown);
    }

    // Four Macs, two writers each (app and tool), appending at once lose no line, even at the cap.
    void appendingAtOnceLosesNoLine()
    {
        QByteArray old, prior;
        for (int i = 0; i < 480; ++i) {
            old += "[2025-03-07 14:00:00] [Old] old " + QByteArray::number(i) + '\n';
            prior += "[2025-03-07 14:00:00] [Mac 0] prior " + QByteArray::number(i) + '\n';
        }
        writeBytes(file("tandrill.log"), old);
        writeBytes(file("log-Mac_0.txt"), prior);
        std::vector<std::unique_ptr<SimulatedMac>> macs;
        std::vector<std::thread> writers;
        for (int m = 0; m < 4; ++m)
            macs.push_back(std::make_unique<SimulatedMac>(u"Mac %1"_s.arg(m), folder(), m_root->path()));
        for (size_t w = 0; w < 8; ++w) {
            writers.emplace_back([engine = macs[w / 2]->engine(), w] {
                for (int i = 0; i < 60; ++i)
                    engine.log(u"w%1 line %2"_s.arg(w).arg(i));
            });
        }
        for (std::thread &writer : writers)
            writer.join();
        QSet<QString> messages;
        for (const LogEntry &entry : SharedLog::readMerged(folder(), 10000))
            messages.insert(entry.message());
        QCOMPARE(messages.size(), 480 + 380 + 8 * 60);
        const QStringList first = logMessages(file("log-Mac_0.txt"));
        QCOMPARE(first.size(), 500);
        for (int line = 0; line < 120; ++line)
            QVERIFY(first.contains(u"w%1 line %2"_s.arg(line / 60).arg(line % 60)));
        QCOMPARE(readBytes(file("tandrill.log")), old);
    }

    void safeNames_data()
    {
        QTest::addColumn<QString>("hostname");
        QTest::addColumn<QString>("safe");
        QTest::newRow("apostrophe and spaces") << u"Lab's MacBook Pro"_s << u"Labs_MacBook_Pro"_s;
        QTest::newRow("umlauts, combining marks") << u"Jörg’s Mäc Jo\u0308"_s << u"Jörgs_Mäc_Jo\u0308"_s;
        QTest::newRow("path separators and dots") << u"../a/b\\c.local"_s << u"abclocal"_s;
        QTest::newRow("emoji and other blanks") << u"I ❤️ a\tb\u00a0c"_s << u"I__abc"_s;
    }
    void safeNames()
    {
        QFETCH(QString, hostname);
        QFETCH(QString, safe);
        QCOMPARE(SyncFormat::fileSafeName(hostname), safe);
    }

    void hostListOrderAndJunkSkipped()
    {
        const std::map<const char *, QByteArray> files{
            {"status-zeta.txt", "hostname=zeta\nlast_action=pull"},
            {"status-beta.txt", "hostname=beta"},
            {"status-Beta.txt", "hostname=Beta\nlast_action=online"},
            {"status-Alpha.txt", "hostname=Alpha"},
            {"status-notes.txt", "notes=yes"},
            {"status.txt", "hostname=Not listed"},
            {"conflict-Gamma.txt", "hostname=Gamma"},
            {"status-bad.txt", "hostname=Bad\xff"},
            {"status-zeta 2.txt", "hostname=Ghost"}, // copies a sync service made, not Macs
            {"status-zeta.sync-conflict-20261207-101010-ABCDEFG.txt", "hostname=Ghost"},
            {"status-huge.txt", "hostname=Huge\n" + QByteArray(70 * 1024, '#')},
            {".status-Evicted.txt.icloud", "stub"}}; // the cloud took the file, the Mac is still there
        for (const auto &[name, bytes] : files)
            writeBytes(file(name), bytes);
        QVERIFY(place(file("status-fifo.txt"), u"FIFO"_s));
        const auto hosts = readHostRegistry(folder(), u"zeta"_s);
        QVERIFY(hosts.has_value());
        QStringList names;
        for (const HostInfo &host : *hosts)
            names.append(host.hostname + (host.isThisMac ? u"*"_s : u""_s));
        QCOMPARE(names, (QStringList{u"zeta*"_s, u"Alpha"_s, u"Beta"_s, u"Evicted"_s, u"beta"_s}));
        QCOMPARE(hosts->at(3).lastAction, u"sync"_s); // missing fields read as defaults
        QVERIFY(!readHostRegistry(m_root->path() + u"/missing"_s, u"zeta"_s).has_value());
    }

    // Macs in other languages and accounts share one Dock: a change goes round, then nothing moves.
    // The one that keeps its own look is in sync with another tile size, shares with the shared look
    // and pulls keeping its own.
    void macsThatDifferSettle()
    {
        const auto dock = [](const QString &language, const QString &account, int removed, int tileSize) {
            Shape shape = TestDock::realistic(language, account);
            shape.apps.remove(1, removed);
            shape.settings.insert(u"tilesize"_s, tileSize);
            return TestDock::build(shape);
        };
        std::vector<std::unique_ptr<SimulatedMac>> macs;
        QList<SimulatedMac *> all;
        for (const auto &[language, account] :
             {std::pair{u"en"_s, u"anna"_s}, {u"de"_s, u"anna"_s}, {u"es"_s, u"anna.schmidt"_s}}) {
            macs.push_back(std::make_unique<SimulatedMac>(u"Mac "_s + language, folder(), m_root->path()));
            macs.back()->writeDock(dock(language, account, 0, language == u"es"_s ? 36 : 48), 1000.25);
            macs.back()->establish();
            macs.back()->dock().setRewritesOnRestart(true);
            macs.back()->dock().setLanguage(language);
            all.append(macs.back().get());
        }
        all[2]->setSameLookOnAllMacs(false);
        QCOMPARE(all[0]->run(Mode::Push), SyncEngine::Result::pushed());
        int conflicts = 0;
        QVERIFY(settleMacs(all, 1, &conflicts));
        QCOMPARE(all[2]->dockRestarts(), 0);
        for (const int removed : {1, 2}) { // a change on the Mac with its own look, then one on another
            if (removed == 1)
                all[2]->writeDock(dock(u"es"_s, u"anna.schmidt"_s, removed, 36), 5000.5);
            else
                all[0]->writeDock(dock(u"en"_s, u"anna"_s, removed, 48), 9000.5);
            QVERIFY(settleMacs(all, 3, &conflicts));
            for (const SimulatedMac *mac : all)
                QVERIFY(*DockLayout::parse(mac->dockBytes(), mac->home()) ==
                        *DockLayout::parse(dock(u"en"_s, u"anna"_s, removed, mac == all[2] ? 36 : 48)));
        }
        QCOMPARE(conflicts, 0);
        QVERIFY(staysQuiet(all, 3));
    }

    // Several Macs on one folder, all but a joining one in sync on "S0" first; then every Mac ends in
    // sync on the winner. Steps: "A edit", "A push=pushed" (run, result), "D joins D0", "stash"/"swap"
    // ("…meta": hold back the copy or meta file), "save"/"restore" (the folder), "empty", "future"
    // (meta time far ahead), "touch" (newer copy time), "B takes", "marker B"/"nomarker B", "B forget".
    void convergence_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QByteArray>("winner");
        const auto s = [](const char *steps) { return QString::fromLatin1(steps).split(u','); };
        QTest::newRow("copy arrives with a newer time") << s("A edit,A push=pushed,touch,B auto=pulled") << "A1"_ba;
        QTest::newRow("three Macs follow the newest")
            << s("A edit,A auto=pushed,B auto=pulled,C auto=pulled,C edit,C auto=pushed,A auto=pulled,B auto=pulled")
            << "C2"_ba;
        const char *conflict =
            "A edit,A push=pushed,B auto=pulled,A edit,A auto=pushed,B edit,B auto=conflict,marker B,nomarker A";
        QTest::newRow("conflict resolved by push")
            << s(conflict) + s("B push=pushed,nomarker B,A auto=pulled") << "B3"_ba;
        QTest::newRow("conflict resolved by pull")
            << s(conflict) + s("B auto=conflict,B pull=pulled,nomarker B") << "A2"_ba;
        QTest::newRow("conflict cleared once the Docks are equal")
            << s(conflict) + s("B takes,B auto=inSync,nomarker B") << "A2"_ba;
        QTest::newRow("presence keeps a conflict visible")
            << s("A edit,A push=pushed,B auto=pulled,A edit,A push=pushed,B edit,B forget,B status=statusWritten,B "
                 "auto=conflict,B pull=pulled")
            << "A2"_ba;
        QTest::newRow("own push never a conflict") << s("A edit,A push=pushed,A auto=inSync,B edit,B push=pushed,A "
                                                        "auto=pulled,A edit,A push=pushed,A edit,A auto=pushed")
                                                   << "A4"_ba;
        QTest::newRow("a newer Dock joining: conflict, never a push")
            << s("A edit,A push=pushed,D joins D0,D auto=conflict,D auto=conflict,D pull=pulled") << "A1"_ba;
        QTest::newRow("the same Dock joins, then follows")
            << s("A edit,A push=pushed,D joins A1,D auto=inSync,A edit,A push=pushed,D auto=pulled") << "A2"_ba;
        QTest::newRow("half-arrived copy pulled again")
            << s("A edit,A push=pushed,stash,A edit,A push=pushed,swap,B auto=error,swap,B auto=pulled") << "A2"_ba;
        QTest::newRow("concurrent pushes: the overwritten Mac is asked")
            << s("A edit,B edit,save,A auto=pushed,restore,B auto=pushed,A auto=conflict,marker A,B auto=inSync,"
                 "A push=pushed,B auto=pulled")
            << "A1"_ba;
        QTest::newRow("a new Mac before its folder arrived: the others are asked")
            << s("A edit,A push=pushed,B auto=pulled,empty,E joins E0,E auto=pushed,A auto=conflict,B "
                 "auto=conflict,A push=pushed")
            << "A1"_ba;
        QTest::newRow("a late meta file: wait, then both changed")
            << s("A edit,A push=pushed,stashmeta,B auto=pulled,B edit,B push=pushed,swapmeta,A edit,A auto=error,"
                 "swapmeta,A auto=conflict,A pull=pulled")
            << "B2"_ba;
        QTest::newRow("a meta time far ahead decides nothing")
            << s("A edit,A push=pushed,future,B auto=pulled,C pull=pulled") << "A1"_ba;
    }
    void convergence()
    {
        QFETCH(QStringList, steps);
        QFETCH(QByteArray, winner);
        std::map<QChar, std::unique_ptr<SimulatedMac>> macs;
        for (const QString &step : steps) {
            const QChar name = step[0];
            if (step[1] == u' ' && !macs[name]) {
                const QStringList words = step.split(u' ');
                const bool joins = words[1] == u"joins"_s;
                macs[name] = std::make_unique<SimulatedMac>(u"Mac "_s + name, folder(), m_root->path());
                macs[name]->writeDock(joins ? words[2].toUtf8() : "S0"_ba,
                                      joins ? 9000.5 : 1000.25 - 100 * (name.unicode() - u'A'));
                if (!joins)
                    QVERIFY(macs[name]->run(macs.size() == 1 ? Mode::Push : Mode::Auto).kind() != Kind::Error);
                macs[name]->dock().setRewritesOnRestart(true);
            }
        }
        static const std::map<QString, Mode> modes{
            {u"auto"_s, Mode::Auto}, {u"push"_s, Mode::Push}, {u"pull"_s, Mode::Pull}, {u"status"_s, Mode::Status}};
        const QString shared = file("com.apple.dock.plist");
        const QString meta = file("tandrill-meta.txt");
        std::map<QString, std::pair<QByteArray, double>> held; // by the step that holds it
        int edits = 0;
        for (const QString &step : steps) {
            const QStringList words = step.split(u' ');
            const QStringList run = words.value(1).split(u'=');
            if (words.value(1) == u"joins"_s) {
                continue;
            } else if (step == u"touch"_s) {
                QVERIFY(SafeFile::setModificationTime(shared, 1741359999.5));
            } else if (step.startsWith(u"stash"_s) || step.startsWith(u"swap"_s) || step == u"save"_s ||
                       step == u"restore"_s) {
                for (const QString &path : {shared, meta}) {
                    const bool both = step == u"save"_s || step == u"restore"_s;
                    if (!both && step.endsWith(u"meta"_s) != (path == meta))
                        continue;
                    auto &[bytes, time] = held[path + (both ? u"saved"_s : u""_s)];
                    const std::pair now(readBytes(path), SafeFile::modificationTime(path).value_or(0));
                    if (step.startsWith(u"swap"_s) || step == u"restore"_s)
                        writeFile(path, bytes, time);
                    if (step != u"restore"_s)
                        std::tie(bytes, time) = now;
                }
            } else if (step == u"empty"_s) {
                QVERIFY(QFile::remove(shared) && QFile::remove(meta));
            } else if (step == u"future"_s) {
                writeBytes(meta, readBytes(meta).replace("mtime=", "mtime=4102444800"));
            } else if (run[0] == u"takes"_s) {
                macs[step[0]]->writeDock(readBytes(shared), 5000.5);
            } else if (words[0].endsWith(u"marker"_s)) {
                QCOMPARE(QFileInfo::exists(file("conflict-Mac_") + words[1] + u".txt"_s), words[0] == u"marker"_s);
            } else if (run[0] == u"forget"_s) {
                const QDir data = QFileInfo(macs[step[0]]->backupsDirectory()).dir();
                for (const QString &record : data.entryList({u"agreed-*"_s}, QDir::Files))
                    QVERIFY(QFile::remove(data.filePath(record)));
            } else if (run[0] == u"edit"_s) {
                ++edits;
                macs[step[0]]->writeDock(words[0].toUtf8() + QByteArray::number(edits), 2000.5 + 100 * edits);
            } else {
                const SyncEngine::Result result = macs[step[0]]->run(modes.at(run[0]));
                QVERIFY2(result.name() == run[1], qPrintable(step + u" gave "_s + result.name()));
            }
        }
        // One round to follow, no conflict; then nothing moves, though restarted Docks rewrite their files.
        QList<SimulatedMac *> all;
        for (auto &[name, mac] : macs)
            all.append(mac.get());
        int conflicts = 0;
        QVERIFY(settleMacs(all, 2, &conflicts));
        QCOMPARE(conflicts, 0);
        QVERIFY(staysQuiet(all, 3));
        for (const SimulatedMac *mac : all)
            QCOMPARE(mac->dockBytes(), winner);
    }
};

TANDRILL_TEST_CLASS(TestEngine)
#include "tst_engine.moc"
