#include "LogEntry.h"
#include "SafeFile.h"
#include "SimulatedMac.h"
#include "SyncFormat.h"
#include "TestEnvironment.h"
#include "TestFiles.h"

#include <QTemporaryDir>

#include <memory>

using namespace TestFiles;
using Files = QMap<QString, double>; // backup file name -> modification time

namespace {

const QString kHost = QStringLiteral("Lab's MacBook Pro");
const QDateTime kStamp(QDate(2025, 3, 7), QTime(14, 5, 9));
const QByteArray kDock("<plist>dock</plist>");

QByteArray numberedLine(int n, qsizetype width = 0)
{
    QByteArray line = "[2025-03-01 10:00:00] [Other] line " + QByteArray::number(n);
    if (line.size() < width)
        line.append(QByteArray(width - line.size(), 'x'));
    return line + '\n';
}

// Puts something unusual at path. Kinds: missing, empty, invalid UTF-8, CRLF, oversized, at limit,
// FIFO, directory, symlink; "file" writes the given content as it is.
void place(const QString &path, const QString &kind, const QByteArray &content)
{
    if (kind == QLatin1String("missing"))
        return;
    if (kind == QLatin1String("empty"))
        writeBytes(path, {});
    else if (kind == QLatin1String("file"))
        writeBytes(path, content);
    else if (kind == QLatin1String("invalid UTF-8"))
        writeBytes(path, content + QByteArrayLiteral("\n\xff\xfe\x80 binary \x00\x01\n"));
    else if (kind == QLatin1String("CRLF"))
        writeBytes(path, QByteArray(content).replace("\n", "\r\n") + (content.endsWith('\n') ? "" : "\r\n"));
    else if (kind == QLatin1String("oversized") || kind == QLatin1String("at limit")) {
        const qint64 size = SyncFormat::kMaxKeyValueFileBytes + (kind == QLatin1String("oversized") ? 1 : 0);
        writeBytes(path, content + '\n' + QByteArray(size - content.size() - 1, '#'));
    } else if (kind == QLatin1String("FIFO"))
        QVERIFY(makeFifo(path));
    else if (kind == QLatin1String("directory"))
        QVERIFY(QDir().mkpath(path));
    else if (kind == QLatin1String("symlink")) {
        writeBytes(path + QLatin1String(".target"), content);
        QVERIFY(QFile::link(path + QLatin1String(".target"), path));
    } else
        QFAIL("unknown kind");
}

// The bytes of a regular file; never opens a FIFO, which would block.
QByteArray fileBytes(const QString &path)
{
    return SafeFile::readRegularFile(path, 1 << 30).value_or(QByteArray());
}

} // namespace

class TestFileLayer : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<SimulatedMac> m_mac;

    QString folder() const { return m_root->path() + QLatin1String("/Dock Sync"); }
    QString logPath() const { return folder() + QLatin1String("/tandrill.log"); }
    QString metaPath() const { return folder() + QLatin1String("/tandrill-meta.txt"); }
    QString statusPath() const { return folder() + QLatin1String("/status-Labs_MacBook_Pro.txt"); }
    QByteArray newLine(const QString &message) const { return SyncFormat::logLine(kStamp, kHost, message); }

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        QVERIFY(m_root->isValid());
        QVERIFY(QDir().mkpath(folder()));
        m_mac = std::make_unique<SimulatedMac>(kHost, folder(), m_root->path());
        m_mac->setNow(kStamp);
        m_mac->writeDock(kDock, 1741356309.25);
    }

    void logAppendAndTrim_data()
    {
        QTest::addColumn<int>("existing");
        QTest::addColumn<int>("keptOld");
        QTest::addColumn<bool>("invalidUtf8");
        QTest::newRow("new log") << 0 << 0 << false;
        QTest::newRow("499 lines gain a 500th") << 499 << 499 << false;
        QTest::newRow("500 lines cut to the newest 499") << 500 << 498 << false;
        QTest::newRow("longer log cut to the newest 499") << 1200 << 498 << false;
        QTest::newRow("invalid UTF-8 does not stop the trim") << 500 << 498 << true;
    }
    void logAppendAndTrim()
    {
        QFETCH(int, existing);
        QFETCH(int, keptOld);
        QFETCH(bool, invalidUtf8);
        QList<QByteArray> old;
        for (int i = 1; i <= existing; ++i)
            old.append(invalidUtf8 && i % 7 == 0 ? "\xff\xc0 " + numberedLine(i) : numberedLine(i));
        if (existing > 0)
            writeBytes(logPath(), old.join());

        m_mac->engine().log(QStringLiteral("STATUS: Präsenz registriert"));

        const QByteArray expected =
            old.mid(existing - keptOld).join() + newLine(QStringLiteral("STATUS: Präsenz registriert"));
        QCOMPARE(readBytes(logPath()), expected);
    }

    void logIntoMissingFolder()
    {
        const QString nested = m_root->path() + QLatin1String("/not/yet/there");
        EngineServices services = m_mac->services();
        services.createSyncFolder = true; // only a folder the user named is ever made
        SyncEngine(nested, kHost, services).log(QStringLiteral("x"));
        QCOMPARE(readBytes(nested + QLatin1String("/tandrill.log")), newLine(QStringLiteral("x")));
    }

    void oversizedLogCut_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("width");
        QTest::newRow("short lines") << 40000 << 60;
        QTest::newRow("long lines") << 600 << 4000;
        QTest::newRow("one line larger than the read limit") << 1 << 3 * 1024 * 1024;
    }
    void oversizedLogCut()
    {
        QFETCH(int, lines);
        QFETCH(int, width);
        QList<QByteArray> old;
        for (int i = 1; i <= lines; ++i)
            old.append(numberedLine(i, width));
        writeBytes(logPath(), old.join());
        QVERIFY(old.join().size() > SyncFormat::kMaxLogReadBytes);

        m_mac->engine().log(QStringLiteral("PUSH: Erfolgreich hochgeladen"));

        // Only complete lines within the last MiB survive, at most the newest 498 of them.
        const QByteArray appended = newLine(QStringLiteral("PUSH: Erfolgreich hochgeladen"));
        const qsizetype fit = (SyncFormat::kMaxLogReadBytes - appended.size()) / old.constFirst().size();
        const qsizetype kept = std::min<qsizetype>(fit, 498);
        QCOMPARE(readBytes(logPath()), old.mid(old.size() - kept).join() + appended);
    }

    void backupNames_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("before a push") << QString()
                                       << QStringList{QStringLiteral("com.apple.dock.20250307_140509-2.plist"),
                                                      QStringLiteral("com.apple.dock.20250307_140509-3.plist"),
                                                      QStringLiteral("com.apple.dock.20250307_140509.plist"),
                                                      QStringLiteral("com.apple.dock.20250307_140510.plist")};
        QTest::newRow("before a pull") << QStringLiteral("_vor_pull")
                                       << QStringList{QStringLiteral("com.apple.dock.20250307_140509_vor_pull-2.plist"),
                                                      QStringLiteral("com.apple.dock.20250307_140509_vor_pull-3.plist"),
                                                      QStringLiteral("com.apple.dock.20250307_140509_vor_pull.plist"),
                                                      QStringLiteral("com.apple.dock.20250307_140510_vor_pull.plist")};
    }
    void backupNames()
    {
        QFETCH(QString, suffix);
        QFETCH(QStringList, names);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(m_mac->engine().backupLocalDock(suffix), std::nullopt);
        m_mac->advance(1);
        QCOMPARE(m_mac->engine().backupLocalDock(suffix), std::nullopt);

        QCOMPARE(m_mac->backups(), names);
        for (const QString &name : names) {
            const QString path = m_mac->backupsDirectory() + QLatin1Char('/') + name;
            QCOMPARE(readBytes(path), kDock);
            QCOMPARE(SafeFile::modificationTime(path), 1741356309.25); // the Dock file's own time
        }
    }

    void backupWithoutDockFile()
    {
        QVERIFY(QFile::remove(m_mac->dockPath()));
        QCOMPARE(m_mac->engine().backupLocalDock(QString()), std::nullopt);
        QVERIFY(m_mac->backups().isEmpty());
    }

    void backupFailureReported()
    {
        // Something that is not a directory where the backups belong.
        QVERIFY(QDir().mkpath(QFileInfo(m_mac->backupsDirectory()).absolutePath()));
        writeBytes(m_mac->backupsDirectory(), "in the way");
        const auto failure = m_mac->engine().backupLocalDock(QString());
        QVERIFY(failure.has_value());
        QVERIFY(!failure->isEmpty());
    }

    void pruning_data()
    {
        QTest::addColumn<Files>("existing");
        QTest::addColumn<double>("dockTime");
        QTest::addColumn<QStringList>("removed");
        const auto name = [](int day) {
            return QStringLiteral("com.apple.dock.202503%1_120000.plist").arg(day, 2, 10, QLatin1Char('0'));
        };

        Files byDate;
        for (int day = 1; day <= 10; ++day)
            byDate.insert(name(day), 1000.0 + day);
        byDate[name(10)] = 500; // the newest name carries the oldest date
        QTest::newRow("eleventh backup removes the oldest by name") << byDate << 5000.0 << QStringList{name(1)};

        Files withOthers = byDate;
        withOthers.insert(QStringLiteral("notes.txt"), 1);
        withOthers.insert(QStringLiteral("com.apple.dock.20200101_000000.PLIST"), 1);
        withOthers.insert(QStringLiteral("com.apple.dock.20200101_000000.plist.bak"), 1);
        withOthers.insert(QStringLiteral(".hidden.plist"), 1);
        QTest::newRow("other files neither counted nor removed") << withOthers << 5000.0 << QStringList{name(1)};

        Files sameDate;
        for (int day = 1; day <= 10; ++day)
            sameDate.insert(name(day), 1741356309.25);
        QTest::newRow("equal dates: the oldest name goes") << sameDate << 1741356309.25 << QStringList{name(1)};

        QTest::newRow("fewer than ten") << Files{{name(1), 1}, {name(2), 2}} << 5000.0 << QStringList();
    }
    void pruning()
    {
        QFETCH(Files, existing);
        QFETCH(double, dockTime);
        QFETCH(QStringList, removed);
        QVERIFY(QDir().mkpath(m_mac->backupsDirectory()));
        for (auto it = existing.cbegin(); it != existing.cend(); ++it)
            writeFile(m_mac->backupsDirectory() + QLatin1Char('/') + it.key(), "old", it.value());
        m_mac->writeDock(kDock, dockTime);

        QCOMPARE(m_mac->engine().backupLocalDock(QString()), std::nullopt);

        QStringList expected = existing.keys();
        expected.append(QStringLiteral("com.apple.dock.20250307_140509.plist"));
        for (const QString &gone : removed)
            expected.removeOne(gone);
        expected.sort();
        QCOMPARE(entryNames(m_mac->backupsDirectory()), expected);
    }

    void pruningWithinOneSecond()
    {
        // An unchanged Dock file backed up twelve times in one second: all copies share one date,
        // and the two taken first are the ones that go.
        for (int i = 0; i < 12; ++i)
            QCOMPARE(m_mac->engine().backupLocalDock(QString()), std::nullopt);
        QStringList expected;
        for (int n = 3; n <= 12; ++n)
            expected.append(QStringLiteral("com.apple.dock.20250307_140509-%1.plist").arg(n));
        expected.sort();
        QCOMPARE(m_mac->backups(), expected);
    }

    void replaceItem_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("refuseEmpty");
        QTest::addColumn<bool>("succeeds");
        QTest::newRow("file") << QStringLiteral("file") << true << true;
        QTest::newRow("empty file allowed") << QStringLiteral("empty") << false << true;
        QTest::newRow("empty file refused") << QStringLiteral("empty") << true << false;
        QTest::newRow("missing source") << QStringLiteral("missing") << false << false;
        QTest::newRow("directory") << QStringLiteral("directory") << false << false;
        QTest::newRow("FIFO") << QStringLiteral("FIFO") << false << false;
    }
    void replaceItem()
    {
        QFETCH(QString, source);
        QFETCH(bool, refuseEmpty);
        QFETCH(bool, succeeds);
        const QString sourcePath = m_root->path() + QLatin1String("/source.plist");
        place(sourcePath, source, "new bytes");
        if (source == QLatin1String("file"))
            QVERIFY(SafeFile::setModificationTime(sourcePath, 2000.5));
        const QString targetDir = m_root->path() + QLatin1String("/target");
        QVERIFY(QDir().mkpath(targetDir));
        const QString target = targetDir + QLatin1String("/com.apple.dock.plist");
        writeFile(target, "old bytes", 1234.5);

        const auto failure = SyncEngine::replaceItem(sourcePath, target, std::nullopt, refuseEmpty);

        QCOMPARE(!failure.has_value(), succeeds);
        QCOMPARE(entryNames(targetDir), QStringList{QStringLiteral("com.apple.dock.plist")}); // no temporary left
        if (succeeds) {
            QCOMPARE(readBytes(target), readBytes(sourcePath));
            QCOMPARE(SafeFile::modificationTime(target), SafeFile::modificationTime(sourcePath));
        } else {
            QVERIFY(!failure->isEmpty());
            QCOMPARE(readBytes(target), QByteArray("old bytes"));
            QCOMPARE(SafeFile::modificationTime(target), 1234.5);
        }
    }

    void replaceItemSetsGivenTime()
    {
        const QString target = m_root->path() + QLatin1String("/copy.plist");
        QCOMPARE(SyncEngine::replaceItem(m_mac->dockPath(), target, 1741356000.0), std::nullopt);
        QCOMPARE(readBytes(target), kDock);
        QCOMPARE(SafeFile::modificationTime(target), 1741356000.0);
        QCOMPARE(m_mac->dockMTime(), 1741356309.25); // the source keeps its own
    }

    void replaceItemIntoMissingDirectory()
    {
        const QString target = m_root->path() + QLatin1String("/nowhere/com.apple.dock.plist");
        QVERIFY(SyncEngine::replaceItem(m_mac->dockPath(), target).has_value());
        QVERIFY(!QFileInfo::exists(target));
    }

    void badMetaFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<double>("mtime");
        QTest::addColumn<QString>("host");
        const QString none = QStringLiteral("(none)");
        QTest::newRow("missing") << QStringLiteral("missing") << 0.0 << none;
        QTest::newRow("empty") << QStringLiteral("empty") << 0.0 << none;
        QTest::newRow("invalid UTF-8") << QStringLiteral("invalid UTF-8") << 0.0 << none;
        QTest::newRow("CRLF") << QStringLiteral("CRLF") << 0.0 << QStringLiteral("Other\r");
        QTest::newRow("over 64 KiB") << QStringLiteral("oversized") << 0.0 << none;
        QTest::newRow("exactly 64 KiB") << QStringLiteral("at limit") << 1741356309.5 << QStringLiteral("Other");
        QTest::newRow("FIFO") << QStringLiteral("FIFO") << 0.0 << none;
        QTest::newRow("directory") << QStringLiteral("directory") << 0.0 << none;
        QTest::newRow("symlink to a file, not followed") << QStringLiteral("symlink") << 0.0 << none;
    }
    void badMetaFile()
    {
        QFETCH(QString, kind);
        QFETCH(double, mtime);
        QFETCH(QString, host);
        place(metaPath(), kind, "mtime=1741356309.5\nhost=Other");
        const SyncEngine engine = m_mac->engine();
        QCOMPARE(engine.remoteMTime(), mtime);
        QCOMPARE(engine.readMeta(QStringLiteral("host")).value_or(QStringLiteral("(none)")), host);
    }

    void badStatusFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<double>("lastPulled");
        for (const char *kind : {"missing", "empty", "invalid UTF-8", "CRLF", "oversized", "FIFO", "directory"})
            QTest::newRow(kind) << QString::fromLatin1(kind) << 0.0;
        QTest::newRow("exactly 64 KiB") << QStringLiteral("at limit") << 1741356309.0;
        QTest::newRow("second of two lines wins") << QStringLiteral("file") << 1741356309.0;
    }
    void badStatusFile()
    {
        QFETCH(QString, kind);
        QFETCH(double, lastPulled);
        place(statusPath(), kind, "hostname=Lab's MacBook Pro\nlast_pulled=5\nlast_pulled=1741356309");
        QCOMPARE(m_mac->engine().readLastPulled(), lastPulled);
        // A status write replaces whatever is there with a proper file, or leaves a directory alone.
        m_mac->engine().writeStatus(QStringLiteral("online"));
        if (kind != QLatin1String("directory"))
            QVERIFY(readBytes(statusPath()).startsWith("hostname=Lab's MacBook Pro\nlast_action=online\n"));
    }

    void badLogFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("appended");
        QTest::addColumn<int>("entries"); // what a reader shows afterwards
        QTest::newRow("missing") << QStringLiteral("missing") << true << 1;
        QTest::newRow("invalid UTF-8") << QStringLiteral("invalid UTF-8") << true << 3;
        QTest::newRow("CRLF") << QStringLiteral("CRLF") << true << 2;
        QTest::newRow("FIFO") << QStringLiteral("FIFO") << false << 0;
        QTest::newRow("directory") << QStringLiteral("directory") << false << 0;
    }
    void badLogFile()
    {
        QFETCH(QString, kind);
        QFETCH(bool, appended);
        QFETCH(int, entries);
        place(logPath(), kind, numberedLine(1));
        const QByteArray before = fileBytes(logPath());

        m_mac->engine().log(QStringLiteral("x"));

        QCOMPARE(fileBytes(logPath()), appended ? QByteArray(before + newLine(QStringLiteral("x"))) : before);
        const QList<LogEntry> read = readLogTail(logPath());
        QCOMPARE(read.size(), entries);
        if (kind == QLatin1String("CRLF"))
            QVERIFY(read.constLast().raw.endsWith(QLatin1Char('\r')));
    }

    void syncFolderIsAFile()
    {
        writeBytes(folder() + QLatin1String("/file"), "x");
        SyncEngine engine(folder() + QLatin1String("/file"), kHost, m_mac->services());
        engine.log(QStringLiteral("x"));
        engine.writeStatus(QStringLiteral("online"));
        QCOMPARE(engine.remoteMTime(), 0.0);
        QCOMPARE(readBytes(folder() + QLatin1String("/file")), QByteArray("x"));
    }
};

TANDRILL_TEST_MAIN(TestFileLayer)
#include "tst_filelayer.moc"
