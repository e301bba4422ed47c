#include "HostInfo.h"
#include "LogEntry.h"
#include "TestCommon.h"
#include "TestDock.h"

#include <map>

using namespace TestFiles;
using TestDock::Shape;
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
class TestEngine : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<SimulatedMac> m_mac;

    QString folder() const { return m_root->path() + u"/Dock Sync"_s; }
    QString file(const char *name) const { return folder() + u'/' + QLatin1String(name); }
    QString status() const { return file("status-Labs_MacBook_Pro.txt"); }
    QString marker() const { return file("conflict-Labs_MacBook_Pro.txt"); }

    // Another Mac's push as this Mac finds it, with this Mac's own conflict marker and an older status.
    void prepareOtherPush()
    {
        QVERIFY(QDir().mkpath(folder()));
        writeFile(file("com.apple.dock.plist"), kShared, 1741356400.5);
        writeBytes(file("tandrill-meta.txt"), "mtime=1741356400\nhost=Other\nupdated=2025-03-07 14:06:40");
        writeBytes(status(), kOldStatus);
        writeBytes(marker(), {});
        writeBytes(file("conflict-Other.txt"), {});
    }

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        QVERIFY(m_root->isValid());
        m_mac = std::make_unique<SimulatedMac>(kHost, folder(), m_root->path());
        m_mac->setNow(kStamp);
    }

    void decision_data()
    {
        QTest::addColumn<double>("local");          // the Dock file's time; no Dock file when negative
        QTest::addColumn<QByteArray>("meta");       // no meta file when null; the shared copy has its time
        QTest::addColumn<QByteArray>("lastPulled"); // no own status file when null
        QTest::addColumn<Kind>("kind");
        const QByteArray other("mtime=2500\nhost=Other");
        QTest::newRow("no meta file: first push") << 2000.25 << QByteArray() << "1500"_ba << Kind::Pushed;
        QTest::newRow("mtime nan: first push, not in sync")
            << 3000.25 << "mtime=nan\nhost=Other"_ba << QByteArray() << Kind::Pushed;
        QTest::newRow("local newer: push") << 3000.25 << other << "2500"_ba << Kind::Pushed;
        QTest::newRow("shared newer: pull") << 2000.25 << "mtime=3000\nhost=Other"_ba
                                            << "2000"_ba << Kind::Pulled;
        QTest::newRow("equal in whole seconds") << 2500.75 << other << "2500"_ba << Kind::InSync;
        QTest::newRow("both changed: conflict") << 3000.25 << other << "2000"_ba << Kind::Conflict;
        QTest::newRow("host differing in case: conflict") << 3000.25 << "mtime=2500\nhost=lab's macbook pro"_ba
                                                          << "2000"_ba << Kind::Conflict;
        QTest::newRow("never pulled, another Dock: conflict") << 3000.25 << other << QByteArray() << Kind::Conflict;
        QTest::newRow("agreed with the shared copy: no conflict") << 3000.25 << other << "2500"_ba << Kind::Pushed;
        QTest::newRow("agreed with the local Dock: no conflict") << 3000.75 << "mtime=3500\nhost=Other"_ba
                                                                 << "3000"_ba << Kind::Pulled;
        QTest::newRow("last push was this Mac's: no conflict") << 3000.25 << "mtime=2500\nhost=Lab's MacBook Pro"_ba
                                                               << "2000"_ba << Kind::Pushed;
        QTest::newRow("no local Dock: pull") << -1.0 << "mtime=3000\nhost=Other"_ba << QByteArray() << Kind::Pulled;
        QTest::newRow("nothing anywhere: the push fails") << -1.0 << QByteArray() << QByteArray() << Kind::Error;
    }
    void decision()
    {
        QFETCH(double, local);
        QFETCH(QByteArray, meta);
        QFETCH(QByteArray, lastPulled);
        QFETCH(Kind, kind);
        QVERIFY(QDir().mkpath(folder()));
        if (local >= 0)
            m_mac->writeDock(kLocal, local);
        if (!meta.isNull()) {
            writeBytes(file("tandrill-meta.txt"), meta);
            const double remote = m_mac->engine().remoteMTime();
            writeFile(file("com.apple.dock.plist"), kShared, remote > 0 ? remote : 1000);
        }
        if (!lastPulled.isNull())
            writeBytes(status(), "hostname=Lab's MacBook Pro\nlast_pulled=" + lastPulled);
        const QByteArray statusBefore = readBytes(status());

        const SyncEngine::Result result = m_mac->engine().autoSync();

        QCOMPARE(result.kind(), kind);
        QCOMPARE(m_mac->notifier().bodies().size(), 1);
        QCOMPARE(QFileInfo::exists(marker()), kind == Kind::Conflict);
        QCOMPARE(m_mac->dockRestarts(), kind == Kind::Pulled ? 1 : 0);
        if (kind == Kind::Conflict || kind == Kind::InSync)
            QVERIFY(m_mac->backups().isEmpty());
        if (kind == Kind::Conflict) { // nothing overwritten, nothing agreed
            QCOMPARE(readBytes(status()), statusBefore);
            QCOMPARE(readBytes(file("com.apple.dock.plist")), kShared);
            QCOMPARE(m_mac->dockBytes(), kLocal);
        }
        if (kind == Kind::Pushed)
            QCOMPARE(readBytes(file("com.apple.dock.plist")), kLocal);
        if (kind == Kind::Pulled)
            QCOMPARE(m_mac->dockBytes(), kShared);
    }

    void pushWritesExactBytes()
    {
        QVERIFY(QDir().mkpath(folder()));
        writeBytes(marker(), {});
        writeBytes(file("conflict-Other.txt"), {});
        m_mac->writeDock(kLocal, 1741356309.25);
        QCOMPARE(m_mac->run(Mode::Push), SyncEngine::Result::pushed());

        QCOMPARE(readBytes(file("com.apple.dock.plist")), kLocal);
        QCOMPARE(SafeFile::modificationTime(file("com.apple.dock.plist")), 1741356309.25);
        QCOMPARE(readBytes(file("tandrill-meta.txt")),
                 "mtime=1741356309\nhost=Lab's MacBook Pro\nupdated=2025-03-07 14:05:09"_ba);
        QCOMPARE(readBytes(status()), QByteArray("hostname=Lab's MacBook Pro\nlast_action=push\n"
                                                 "last_time=2025-03-07 14:05:09\nlast_pulled=1741356309"));
        QCOMPARE(readBytes(file("tandrill.log")),
                 QByteArray("[2025-03-07 14:05:09] [Lab's MacBook Pro] PUSH: Sende lokales Dock nach Dock Sync "
                            "\xe2\x80\xa6\n[2025-03-07 14:05:09] [Lab's MacBook Pro] PUSH: Erfolgreich hochgeladen\n"));
        QCOMPARE(m_mac->backups(), QStringList{u"com.apple.dock.20250307_140509.plist"_s});
        QVERIFY(!QFileInfo::exists(marker()) && QFileInfo::exists(file("conflict-Other.txt")));
        QCOMPARE(m_mac->dockRestarts(), 0);
        // Its own push is in sync afterwards, despite the fraction of a second.
        QCOMPARE(m_mac->run(Mode::Auto), SyncEngine::Result::inSync());
    }

    // A refused run leaves the local Dock untouched, shared state too, and spends no backup. A shared
    // file that is there but cannot be read now is named, never taken for an absent one.
    void refusals_data()
    {
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<QString>("where"); // "local" Dock, "backups", or a file of the folder
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("failure");
        const auto add = [](Mode mode, const char *where, const char *kind, const char *failure = "") {
            QTest::addRow("%s: %s %s",
                          mode == Mode::Push   ? "push"
                          : mode == Mode::Pull ? "pull"
                                               : "auto",
                          where, kind)
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
        names.removeAll(u"tandrill.log"_s);
        QByteArrayList shared;
        for (const QString &name : names)
            shared.append(name == u"tandrill.log"_s ? QByteArray() : readBytes(folder() + u'/' + name));

        const SyncEngine::Result result = m_mac->run(mode);

        QCOMPARE(result.kind(), Kind::Error);
        QVERIFY2(result.message().contains(failure), qPrintable(result.message()));
        QCOMPARE(logMessages(file("tandrill.log")).size(), mode == Mode::Auto ? 1 : 2);
        if (where != u"local"_s) {
            QCOMPARE(m_mac->dockBytes(), kLocal);
            QCOMPARE(m_mac->dockMTime(), 1741356309.25);
        }
        QStringList after = entryNames(folder());
        after.removeAll(u"tandrill.log"_s);
        QCOMPARE(after, names);
        for (qsizetype i = 0; i < names.size(); ++i)
            QCOMPARE(readBytes(folder() + u'/' + names[i]), shared[i]);
        QVERIFY(m_mac->backups().isEmpty());
        QCOMPARE(m_mac->dockRestarts(), 0);
    }

    // A pull backs the local Dock up first, then applies the copy with the time the meta file records.
    void pullBacksUpThenAppliesTheRecordedTime_data()
    {
        QTest::addColumn<double>("sharedTime");
        QTest::addColumn<QByteArray>("meta"); // no meta file when null
        QTest::addColumn<double>("applied");
        QTest::addColumn<QByteArray>("lastPulled");
        QTest::addColumn<QByteArray>("copy");
        QTest::newRow("newer copy takes the recorded time")
            << 1741356999.5 << "mtime=1741356400\nhost=Other"_ba << 1741356400.0 << "1741356400"_ba << kShared;
        QTest::newRow("same layout: the Dock keeps running")
            << 1741356999.5 << "mtime=1741356400\nhost=Other"_ba << 1741356400.0 << "1741356400"_ba << kLocal;
        QTest::newRow("no meta file") << 1741356999.5 << QByteArray() << 1741356999.5 << "0"_ba << kShared;
        QTest::newRow("meta mtime not a number") << 1741356999.5 << "mtime=nan"_ba << 1741356999.5 << "0"_ba << kShared;
    }
    void pullBacksUpThenAppliesTheRecordedTime()
    {
        QFETCH(double, sharedTime);
        QFETCH(QByteArray, meta);
        QFETCH(double, applied);
        QFETCH(QByteArray, lastPulled);
        QFETCH(QByteArray, copy);
        prepareOtherPush();
        QFile::remove(file("tandrill-meta.txt"));
        if (!meta.isNull())
            writeBytes(file("tandrill-meta.txt"), meta);
        writeFile(file("com.apple.dock.plist"), copy, sharedTime);
        m_mac->writeDock(kLocal, 1741356309.25);

        QCOMPARE(m_mac->run(Mode::Pull), SyncEngine::Result::pulled());
        QCOMPARE(m_mac->dockBytes(), copy);
        QCOMPARE(m_mac->dockMTime(), applied);
        QCOMPARE(m_mac->dockRestarts(), copy == kLocal ? 0 : 1);
        QCOMPARE(m_mac->backups(), QStringList{u"com.apple.dock.20250307_140509_vor_pull.plist"_s});
        QCOMPARE(readBytes(m_mac->backupsDirectory() + u'/' + m_mac->backups().constFirst()), kLocal);
        QCOMPARE(readBytes(status()), QByteArray("hostname=Lab's MacBook Pro\nlast_action=pull\nlast_time=2025-03-07 "
                                                 "14:05:09\nlast_pulled=") +
                                          lastPulled);
        QVERIFY(!QFileInfo::exists(marker()));
        QVERIFY(QFileInfo::exists(file("conflict-Other.txt")));
        QCOMPARE(SafeFile::modificationTime(file("com.apple.dock.plist")), sharedTime);
    }

    // Macs that differ in language, account name and bookkeeping hold one Dock: nothing to pull,
    // nothing to push, no restart.
    void sameDockOnMacsThatDiffer_data()
    {
        QTest::addColumn<Shape>("local");
        QTest::newRow("labels in German") << TestDock::realistic(u"de"_s);
        QTest::newRow("labels in Spanish") << TestDock::realistic(u"es"_s);
        QTest::newRow("another account") << TestDock::realistic(u"en"_s, u"anna.schmidt"_s);
        Shape bookkeeping = TestDock::realistic(u"en"_s, u"anna"_s);
        bookkeeping.generation = 4;
        QTest::newRow("recent apps, trash and counters") << bookkeeping;
    }
    void sameDockOnMacsThatDiffer()
    {
        QFETCH(Shape, local);
        const QByteArray shared = TestDock::build(TestDock::realistic(u"en"_s, u"anna"_s));
        prepareOtherPush();
        writeFile(file("com.apple.dock.plist"), shared, 1741356400.5);
        m_mac->writeDock(TestDock::build(local), 1741356999.25);
        QCOMPARE(m_mac->engine().dockDifference().result, DockDifference::Result::Same);
        QCOMPARE(m_mac->run(Mode::Auto), SyncEngine::Result::inSync());
        QCOMPARE(readBytes(file("com.apple.dock.plist")), shared);
        QCOMPARE(m_mac->dockRestarts(), 0);
    }

    // A pull makes another account's Dock this Mac's: its bookkeeping stays, the folders point into
    // this home without the other Mac's bookmarks, and a Mac that keeps its own look keeps it.
    void pullMakesTheDockThisMacs_data()
    {
        QTest::addColumn<bool>("sameLook");
        QTest::newRow("same look on all Macs") << true;
        QTest::newRow("own look") << false;
    }
    void pullMakesTheDockThisMacs()
    {
        QFETCH(bool, sameLook);
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
        EngineServices services = m_mac->services();
        services.sameLookOnAllMacs = sameLook;
        QCOMPARE(SyncEngine(folder(), kHost, services).run(Mode::Pull), SyncEngine::Result::pulled());

        const QByteArray applied = m_mac->dockBytes();
        const auto layout = DockLayout::parse(applied, m_mac->home());
        const auto expected = DockLayout::parse(shared, m_mac->home());
        QVERIFY(layout->withoutLook() == expected->withoutLook());
        QCOMPARE(layout->settings.value(u"tilesize"_s),
                 DockLayout::parse(sameLook ? shared : before)->settings[u"tilesize"_s]);
        for (const QString &key : DockLayout::volatileKeys())
            QCOMPARE(TestDock::topLevelValue(applied, key), TestDock::topLevelValue(before, key));
        const QByteArray folders = TestDock::topLevelValue(applied, u"persistent-others"_s);
        QVERIFY(folders.contains(QUrl::fromLocalFile(m_mac->home() + u"/Downloads/"_s).toEncoded()));
        QVERIFY(!folders.contains("<key>book</key>"));
        QCOMPARE(readBytes(m_mac->backupsDirectory() + u'/' + m_mac->backups().constFirst()), before);
    }

    void logKeepsTheNewestLines_data()
    {
        QTest::addColumn<int>("existing");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("kept");
        QTest::newRow("new log") << 0 << 0 << 0;
        QTest::newRow("499 lines gain one") << 499 << 0 << 499;
        QTest::newRow("500 lines") << 500 << 0 << 498;
        QTest::newRow("1200 lines") << 1200 << 0 << 498;
        QTest::newRow("beyond the read limit: only whole lines of the last MiB") << 600 << 4000 << 262;
    }
    void logKeepsTheNewestLines()
    {
        QFETCH(int, existing);
        QFETCH(int, width);
        QFETCH(int, kept);
        QVERIFY(QDir().mkpath(folder()));
        QList<QByteArray> old;
        for (int i = 1; i <= existing; ++i)
            old.append(QByteArray("[t] [Other] line " + QByteArray::number(i)).leftJustified(width, 'x') + '\n');
        writeBytes(file("tandrill.log"), old.join());
        m_mac->engine().log(u"newest"_s);
        QCOMPARE(readBytes(file("tandrill.log")),
                 old.mid(existing - kept).join() + SyncFormat::logLine(kStamp, kHost, u"newest"_s));
    }

    // Twelve backups in one second: none overwrites another. Pruning keeps the ten newest by the time
    // in their names, then the counter, whatever the files' own times; what is no backup of this
    // app, or no file, is neither counted nor removed, and a link is not followed.
    void backupsNeverOverwriteAndKeepTen()
    {
        const QString dir = m_mac->backupsDirectory() + u'/';
        const QString outside = m_root->path() + u"/outside"_s;
        QVERIFY(QDir().mkpath(dir));
        writeBytes(outside, "SECRET");
        const QString now = u"com.apple.dock.20250307_140509"_s;
        const QStringList others{u"notes.txt"_s,       u"com.apple.dock.20200101_000000.PLIST"_s,
                                 u".hidden.plist"_s,   now + u"-2147483648.plist"_s,
                                 now + u"_x_.plist"_s, u"com.apple.dock.20200101_000000.plist"_s};
        for (const QString &name : others.mid(0, 5))
            writeFile(dir + name, "other", 1);
        QVERIFY(QFile::link(outside, dir + others.last()));
        for (int day = 10; day <= 19; ++day) // older by name, newer by file time
            writeFile(dir + u"com.apple.dock.202501%1_000000.plist"_s.arg(day), "older", 4102444800);
        for (int i = 1; i <= 12; ++i) {
            m_mac->writeDock("dock " + QByteArray::number(i), 1741356309.25);
            QCOMPARE(m_mac->engine().backupLocalDock(u"_vor_pull"_s), std::nullopt);
        }
        QStringList left = entryNames(dir);
        for (const QString &name : others)
            QVERIFY2(left.removeOne(name), qPrintable(name));
        QByteArrayList contents;
        for (const QString &name : left)
            contents.append(readBytes(dir + name));
        QCOMPARE(contents.size(), 10);
        for (int i = 1; i <= 12; ++i)
            QCOMPARE(contents.contains("dock " + QByteArray::number(i)), i > 2);
        QCOMPARE(readBytes(outside), "SECRET"_ba);
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
        QCOMPARE(SyncFormat::hostFileName(SyncFormat::kStatusPrefix, hostname), u"status-"_s + safe + u".txt"_s);
    }

    void keyValueRules_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value"); // null: the file is not read at all
        QTest::newRow("carriage return stays") << "mtime=1\r\nhost=A"_ba << u"mtime"_s << u"1\r"_s;
        QTest::newRow("value keeps equals signs") << "a=b=c"_ba << u"a"_s << u"b=c"_s;
        QTest::newRow("last duplicate wins") << "k=1\njunk\nk=2"_ba << u"k"_s << u"2"_s;
        QTest::newRow("invalid UTF-8") << "a=1\nb=\xff"_ba << u"a"_s << QString();
    }
    void keyValueRules()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, key);
        QFETCH(QString, value);
        const auto values = SyncFormat::parseKeyValues(bytes);
        QCOMPARE(values.has_value(), !value.isNull());
        if (values)
            QCOMPARE(values->value(key), value);
    }

    void numberRules_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("number");
        QTest::addColumn<QByteArray>("whole"); // as written into last_pulled and mtime
        QTest::newRow("fraction truncated") << u"1741356309.75"_s << 1741356309.75 << "1741356309"_ba;
        QTest::newRow("negative toward zero") << u"-5.5"_s << -5.5 << "-5"_ba;
        QTest::newRow("exponent") << u"1.5e3"_s << 1500.0 << "1500"_ba;
        QTest::newRow("beyond 64 bits") << u"1e300"_s << 1e300 << "0"_ba;
        for (const char *junk : {" 5", "5 ", "5\r", "12abc", "1,5", "nan", "-Infinity", "1e400", ""})
            QTest::addRow("junk '%s'", junk) << QString::fromLatin1(junk) << 0.0 << "0"_ba;
    }
    void numberRules()
    {
        QFETCH(QString, text);
        QFETCH(double, number);
        QFETCH(QByteArray, whole);
        QCOMPARE(SyncFormat::readNumber(text), number);
        QCOMPARE(SyncFormat::wholeNumberText(number), whole);
    }

    void hostListOrderAndJunkSkipped()
    {
        QVERIFY(QDir().mkpath(folder()));
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
            {"status-huge.txt", "hostname=Huge\n" + QByteArray(70 * 1024, '#')}};
        for (const auto &[name, bytes] : files)
            writeBytes(file(name), bytes);
        QVERIFY(makeFifo(file("status-fifo.txt")));
        const auto hosts = readHostRegistry(folder(), u"zeta"_s);
        QVERIFY(hosts.has_value());
        QStringList names;
        for (const HostInfo &host : *hosts)
            names.append(host.hostname + (host.isThisMac ? u"*"_s : u""_s));
        QCOMPARE(names, (QStringList{u"zeta*"_s, u"Alpha"_s, u"Beta"_s, u"beta"_s}));
        QCOMPARE(hosts->at(3).lastAction, u"sync"_s); // missing fields read as defaults
        QVERIFY(!readHostRegistry(m_root->path() + u"/missing"_s, u"zeta"_s).has_value());
    }

    // Macs in other languages and accounts share one Dock: a change goes round, then nothing moves.
    void macsThatDifferSettle()
    {
        std::vector<std::unique_ptr<SimulatedMac>> macs;
        QList<SimulatedMac *> all;
        for (const auto &[language, account] :
             {std::pair{u"en"_s, u"anna"_s}, {u"de"_s, u"anna"_s}, {u"es"_s, u"anna.schmidt"_s}}) {
            macs.push_back(std::make_unique<SimulatedMac>(u"Mac "_s + language, folder(), m_root->path()));
            macs.back()->writeDock(TestDock::build(TestDock::realistic(language, account)), 1000.25);
            macs.back()->establish();
            macs.back()->dock().setRewritesOnRestart(true);
            macs.back()->dock().setLanguage(language);
            all.append(macs.back().get());
        }
        QCOMPARE(all[0]->run(Mode::Push), SyncEngine::Result::pushed());
        int conflicts = 0;
        QVERIFY(settleMacs(all, 1, &conflicts));
        Shape changed = TestDock::realistic(u"en"_s, u"anna"_s);
        changed.apps.removeAt(1);
        all[0]->writeDock(TestDock::build(changed), 5000.5);
        QVERIFY(settleMacs(all, 3, &conflicts));
        QCOMPARE(conflicts, 0);
        QVERIFY(staysQuiet(all, 3));
        for (const SimulatedMac *mac : all)
            QVERIFY(*DockLayout::parse(mac->dockBytes(), mac->home()) == *DockLayout::parse(TestDock::build(changed)));
    }

    // The stories of several Macs on one folder. Steps: "A edit" (a newer Dock), "A push=pushed"
    // (run and expected result), "D joins A0" (a Mac that never agreed with the folder, holding that
    // Dock), "stash"/"swap" (hold back the shared copy, as a sync service may),
    // "touch" (the copy arrives with a newer time), "marker B"/"nomarker B", "B forget" (its record of
    // the agreed Dock lost: the times decide). Afterwards every Mac runs in sync with the winning Dock.
    void convergence_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QByteArray>("winner");
        const auto s = [](const char *steps) { return QString::fromLatin1(steps).split(u','); };
        QTest::newRow("push, then auto pull; no ping-pong")
            << s("A auto=pushed,B auto=pulled,A auto=inSync") << "A0"_ba;
        QTest::newRow("copy arrives with a newer time") << s("A push=pushed,touch,B auto=pulled") << "A0"_ba;
        QTest::newRow("three Macs follow the newest")
            << s("A auto=pushed,B auto=pulled,C auto=pulled,C edit,C auto=pushed,A auto=pulled,B auto=pulled")
            << "C1"_ba;
        const char *conflict =
            "A push=pushed,B auto=pulled,A edit,A auto=pushed,B edit,B auto=conflict,marker B,nomarker A";
        QTest::newRow("conflict resolved by push")
            << s(conflict) + s("B push=pushed,nomarker B,A auto=pulled") << "B2"_ba;
        QTest::newRow("conflict resolved by pull")
            << s(conflict) + s("B auto=conflict,B pull=pulled,nomarker B") << "A1"_ba;
        QTest::newRow("presence keeps a conflict visible")
            << s("A push=pushed,B auto=pulled,A edit,A push=pushed,B edit,B forget,B status=statusWritten,B "
                 "auto=conflict,B pull=pulled")
            << "A1"_ba;
        QTest::newRow("own push never a conflict") << s("A push=pushed,A auto=inSync,B edit,B push=pushed,A "
                                                        "auto=pulled,A edit,A push=pushed,A edit,A auto=pushed")
                                                   << "A3"_ba;
        QTest::newRow("a newer Dock joining: conflict, never a push")
            << s("A push=pushed,D joins D0,D auto=conflict,D auto=conflict,D pull=pulled") << "A0"_ba;
        QTest::newRow("the same Dock joins, then follows")
            << s("A push=pushed,D joins A0,D auto=inSync,A edit,A push=pushed,D auto=pulled") << "A1"_ba;
        QTest::newRow("half-arrived copy pulled again")
            << s("A push=pushed,stash,A edit,A push=pushed,swap,B auto=error,swap,B auto=pulled") << "A1"_ba;
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
                macs[name]->writeDock(joins ? words[2].toUtf8() : QString(name).toUtf8() + '0',
                                      joins ? 9000.5 : 1000.25 - 100 * (name.unicode() - u'A'));
                if (!joins)
                    macs[name]->establish();
                macs[name]->dock().setRewritesOnRestart(true);
            }
        }
        static const std::map<QString, Mode> modes{
            {u"auto"_s, Mode::Auto}, {u"push"_s, Mode::Push}, {u"pull"_s, Mode::Pull}, {u"status"_s, Mode::Status}};
        const QString shared = file("com.apple.dock.plist");
        QByteArray stash;
        double stashTime = 0;
        int edits = 0;
        for (const QString &step : steps) {
            const QStringList words = step.split(u' ');
            const QStringList run = words.value(1).split(u'=');
            if (words.value(1) == u"joins"_s) {
                continue;
            } else if (step == u"touch"_s) {
                QVERIFY(SafeFile::setModificationTime(shared, 1741359999.5));
            } else if (step == u"stash"_s || step == u"swap"_s) {
                const QByteArray bytes = readBytes(shared);
                const double time = SafeFile::modificationTime(shared).value_or(0);
                if (step == u"swap"_s)
                    writeFile(shared, stash, stashTime);
                std::tie(stash, stashTime) = std::pair(bytes, time);
            } else if (words[0].endsWith(u"marker"_s)) {
                QCOMPARE(QFileInfo::exists(file("conflict-Mac_") + words[1] + u".txt"_s), words[0] == u"marker"_s);
            } else if (run[0] == u"forget"_s) {
                for (const QString &agreed :
                     QDir(macs[step[0]]->backupsDirectory()).entryList({u".agreed-*"_s}, QDir::Hidden | QDir::Files))
                    QVERIFY(QFile::remove(macs[step[0]]->backupsDirectory() + u'/' + agreed));
            } else if (run[0] == u"edit"_s) {
                ++edits;
                macs[step[0]]->writeDock(words[0].toUtf8() + QByteArray::number(edits), 2000.5 + 100 * edits);
            } else {
                const SyncEngine::Result result = macs[step[0]]->run(modes.at(run[0]));
                QVERIFY2(result.name() == run[1], qPrintable(step + u" gave "_s + result.name()));
            }
        }
        // One round to follow, no conflict on the way; then, although every restarted Dock rewrote
        // its file, nothing moves.
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
