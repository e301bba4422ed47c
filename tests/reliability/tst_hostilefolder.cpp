// A shared folder arranged against this Mac: links planted for every shared name, a linked backups
// folder, oversized copies, directories where files go, hostile host names, a vanished folder.
// Whatever is planted, nothing outside the folder, the backups and the Dock file changes, nothing
// outside is copied in, the failure is named, and once the plant is gone the Macs converge again.

#include "../cli/CliRunner.h"
#include "HostInfo.h"
#include "SafeFile.h"
#include "SyncFormat.h"
#include "TestEnvironment.h"
#include "TestMain.h"

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include <thread>
#include <unistd.h>

using namespace TestFiles;
Q_DECLARE_METATYPE(std::optional<qint64>)

namespace {
enum class Plant { LinkOutside, LinkDock, LinkDangling, Directory, Sparse, LinkedBackups, NoFolder };
QByteArray dockOf(int tileSize)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict><key>persistent-apps</key><array/>"
           "<key>tilesize</key><integer>" +
           QByteArray::number(tileSize) + "</integer></dict></plist>";
}
bool link(const QString &target, const QString &at)
{
    return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(at).constData()) == 0;
}
} // namespace

class TestHostileFolder : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<SimulatedMac> m_a, m_b;
    QString m_folder, m_secret;

    // Every regular file below the folders that may change: none larger than a Dock may be, none
    // holding what lies outside.
    void checkNothingCopiedIn(const QByteArray &output, const QString &planted)
    {
        QVERIFY(!output.contains("SECRET"));
        for (const QString &root : {m_folder, m_a->backupsDirectory()}) {
            for (QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System); it.hasNext();) {
                const QString path = it.next();
                QVERIFY2(QFileInfo(path).isSymLink() || path == planted ||
                             (QFileInfo(path).size() <= SyncFormat::kMaxDockFileBytes &&
                              !readBytes(path).contains("SECRET")),
                         qPrintable(path));
            }
        }
    }

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        m_folder = m_root->path() + QLatin1String("/Dock Sync");
        m_secret = m_root->path() + QLatin1String("/outside/history");
        QDir().mkpath(m_folder);
        QDir().mkpath(m_root->path() + QLatin1String("/outside"));
        writeFile(m_secret, "SECRET line\n", 1000);
        m_a = std::make_unique<SimulatedMac>(QStringLiteral("Mac A"), m_folder, m_root->path());
        m_b = std::make_unique<SimulatedMac>(QStringLiteral("Mac B"), m_folder, m_root->path());
        m_a->writeDock(dockOf(48), 2000);
        m_b->writeDock(dockOf(64), 1000);
        QCOMPARE(m_b->run(SyncEngine::Mode::Push).kind(), SyncEngine::Result::Kind::Pushed);
    }

    void plantedArrangement_data()
    {
        QTest::addColumn<Plant>("plant");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("failure"); // empty: the command succeeds around the plant
        const QStringList shared{QStringLiteral("tandrill.log"), QStringLiteral("tandrill-meta.txt"),
                                 QStringLiteral("status-Mac_A.txt"), QStringLiteral("conflict-Mac_A.txt"),
                                 QStringLiteral("com.apple.dock.plist")};
        for (const auto &[plant, target] :
             {std::pair{Plant::LinkOutside, "outside"}, {Plant::LinkDock, "Dock"}, {Plant::LinkDangling, "nothing"}}) {
            for (const QString &name : shared) {
                const bool copy = name == QLatin1String("com.apple.dock.plist");
                QTest::addRow("%s linked to %s", qPrintable(name), target)
                    << plant << name << (copy ? "pull" : "push") << (copy ? "symbolischer Link" : "");
            }
            QTest::addRow("log linked to %s, read", target) << plant << "tandrill.log"
                                                            << "log"
                                                            << "";
        }
        QTest::newRow("backups linked to Preferences") << Plant::LinkedBackups << ""
                                                       << "push"
                                                       << "Backups: ist ein sym";
        QTest::newRow("directory as meta") << Plant::Directory << "tandrill-meta.txt"
                                           << "push"
                                           << "Meta-Datei nicht";
        QTest::newRow("directory as status, push") << Plant::Directory << "status-Mac_A.txt"
                                                   << "push"
                                                   << "Status-Datei";
        QTest::newRow("directory as status, pull") << Plant::Directory << "status-Mac_A.txt"
                                                   << "pull"
                                                   << "Dock übern";
        QTest::newRow("directory as status, status") << Plant::Directory << "status-Mac_A.txt"
                                                     << "status"
                                                     << "STATUS";
        QTest::newRow("200 MiB shared copy") << Plant::Sparse << "com.apple.dock.plist"
                                             << "pull"
                                             << "größer als 16 MiB";
        QTest::newRow("200 MiB local Dock") << Plant::Sparse << ""
                                            << "push"
                                            << "größer als 16 MiB";
        QTest::newRow("vanished folder") << Plant::NoFolder << ""
                                         << "push"
                                         << "Sync-Ordner nicht gefunden";
    }
    void plantedArrangement()
    {
        QFETCH(Plant, plant);
        QFETCH(QString, name);
        QFETCH(QString, command);
        QFETCH(QString, failure);
        const QString planted = name.isEmpty() ? m_a->dockPath() : m_folder + QLatin1Char('/') + name;
        const QString preferences = QFileInfo(m_a->dockPath()).absolutePath();
        if (plant == Plant::LinkOutside || plant == Plant::LinkDock || plant == Plant::LinkDangling) {
            QFile::remove(planted);
            QVERIFY(link(plant == Plant::LinkOutside ? m_secret
                         : plant == Plant::LinkDock  ? m_a->dockPath()
                                                     : m_root->path() + QLatin1String("/outside/new"),
                         planted));
        } else if (plant == Plant::Directory) {
            QVERIFY(QFile::remove(planted) || !QFile::exists(planted));
            QVERIFY(QDir().mkpath(planted));
        } else if (plant == Plant::Sparse) {
            QVERIFY(::truncate(QFile::encodeName(planted).constData(), 200LL * 1024 * 1024) == 0);
        } else if (plant == Plant::LinkedBackups) {
            QVERIFY(QDir().mkpath(QFileInfo(m_a->backupsDirectory()).absolutePath()));
            QVERIFY(link(preferences, m_a->backupsDirectory()));
        }
        const CliRunner cli(*m_a);
        QStringList arguments{QStringLiteral("--host"), QStringLiteral("Mac A"), QStringLiteral("--json"), command};
        if (plant == Plant::NoFolder) {
            cli.setAppFolder(m_folder);
            QVERIFY(QDir().rename(m_folder, m_folder + QLatin1String(" moved")));
        } else {
            arguments = QStringList{QStringLiteral("--folder"), m_folder} + arguments;
        }
        const auto outside = SafeFile::stamp(m_secret);
        const auto dock = SafeFile::stamp(m_a->dockPath());
        const QStringList outsideNames = entryNames(QFileInfo(m_secret).absolutePath());

        const CliOutput output = cli.run(arguments);
        QCOMPARE(output.exitCode, failure.isEmpty() ? 0 : 1);
        if (command != QLatin1String("log"))
            QVERIFY2(output.json()[QLatin1String("message")].toString().contains(failure), output.out);
        QCOMPARE(SafeFile::stamp(m_secret), outside);
        if (!failure.startsWith(QStringLiteral("Dock übern"))) // that pull applied the Dock, then failed
            QCOMPARE(SafeFile::stamp(m_a->dockPath()), dock);
        QCOMPARE(entryNames(QFileInfo(m_secret).absolutePath()), outsideNames);
        QCOMPARE(entryNames(preferences), QStringList{QStringLiteral("com.apple.dock.plist")});
        QCOMPARE(QFileInfo::exists(m_folder), plant != Plant::NoFolder);
        checkNothingCopiedIn(output.out, planted);

        // The plant removed, the next normal runs converge.
        if (plant == Plant::Sparse)
            writeFile(planted, dockOf(name.isEmpty() ? 48 : 64), name.isEmpty() ? 2000 : 1000);
        else if (plant == Plant::Directory)
            QVERIFY(QDir(planted).removeRecursively());
        else if (plant == Plant::LinkedBackups)
            QVERIFY(QFile::remove(m_a->backupsDirectory()));
        else if (plant == Plant::NoFolder)
            QVERIFY(QDir().rename(m_folder + QLatin1String(" moved"), m_folder));
        else
            QFile::remove(planted);
        QCOMPARE(cli.run({QStringLiteral("--folder"), m_folder, QStringLiteral("--host"), QStringLiteral("Mac A"),
                          QStringLiteral("push")})
                     .exitCode,
                 0);
        QVERIFY(m_b->run(SyncEngine::Mode::Auto).kind() != SyncEngine::Result::Kind::Error);
        QCOMPARE(m_b->dockBytes(), m_a->dockBytes());
    }

    void hostileHostNames_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::newRow("control characters add no line")
            << QStringList{QStringLiteral("A\nmtime=4102444800"), QStringLiteral("\x1b[31mRed\r")};
        QTest::newRow("300 letters") << QStringList{QString(300, QChar(0xe4))};
        QTest::newRow("nothing safe in them") << QStringList{QString(), QStringLiteral("🍎"), QStringLiteral("🍏"),
                                                             QStringLiteral("/"), QStringLiteral("..")};
    }
    void hostileHostNames()
    {
        QFETCH(QStringList, names);
        for (const QString &name : names)
            QCOMPARE(SyncEngine(m_folder, name, m_a->services()).run(SyncEngine::Mode::Push).kind(),
                     SyncEngine::Result::Kind::Pushed);
        QStringList statusFiles = QDir(m_folder).entryList({QStringLiteral("status-*")});
        QCOMPARE(statusFiles.size(), names.size() + 1); // and Mac B's
        for (const QString &file : statusFiles) {
            QVERIFY(file.toUtf8().size() <= 255);
            QCOMPARE(readBytes(m_folder + QLatin1Char('/') + file).count('\n'), 3);
        }
        const QByteArray meta = readBytes(m_folder + QLatin1String("/tandrill-meta.txt"));
        QVERIFY(meta.startsWith("mtime=2000\n") && meta.count('\n') == 2);
        QCOMPARE(readHostRegistry(m_folder, names.last())->size(), names.size() + 1);
    }

    // Text another Mac wrote reaches the terminal as text only; JSON keeps it exact.
    void plainOutputShowsNoControls()
    {
        const QByteArray evil = "Evil\x1b]0;owned\x07\xc2\x9b"
                                "2J\xe2\x80\xae";
        writeBytes(m_folder + QLatin1String("/status-Evil.txt"), "hostname=" + evil + "\nlast_action=push");
        writeBytes(m_folder + QLatin1String("/tandrill.log"), "[2025-01-01 00:00:00] [" + evil + "] x\n");
        const CliRunner cli(*m_a);
        for (const char *command : {"hosts", "log"}) {
            const CliOutput plain = cli.run({QStringLiteral("--folder"), m_folder, QLatin1String(command)});
            QVERIFY(plain.out.contains("Evil\xef\xbf\xbd]0;owned\xef\xbf\xbd\xef\xbf\xbd"
                                       "2J\xef\xbf\xbd"));
            const QJsonArray items =
                cli.run({QStringLiteral("--folder"), m_folder, QStringLiteral("--json"), QLatin1String(command)})
                    .json()
                    .array();
            QVERIFY(std::any_of(items.begin(), items.end(), [&evil](const QJsonValue &item) {
                return item[QLatin1String("hostname")] == QString::fromUtf8(evil) ||
                       item[QLatin1String("source")] == QString::fromUtf8(evil);
            }));
        }
    }

    void pruning_data()
    {
        QTest::addColumn<QStringList>("present"); // "link:" plants a link to the outside file
        QTest::addColumn<QStringList>("kept");
        QTest::addColumn<QString>("added");
        QStringList ten;
        for (int day = 10; day <= 19; ++day)
            ten << QStringLiteral("com.apple.dock.202501%1_000000.plist").arg(day);
        const QString now = QStringLiteral("com.apple.dock.20260101_120000");
        QTest::newRow("Dock older than every backup") << ten << ten.mid(1) << now + QLatin1String(".plist");
        const QStringList foreign{QStringLiteral("com.apple.dock.plist"), QStringLiteral("notes.plist"),
                                  now + QLatin1String("_x_.plist"), QStringLiteral("link:") + ten[0]};
        QTest::newRow("foreign names and links")
            << foreign + ten.mid(1) << foreign + ten.mid(1) << now + QLatin1String(".plist");
        const QStringList counters{now + QLatin1String("-999999999.plist"), now + QLatin1String("-2147483648.plist")};
        QTest::newRow("counters at their bounds") << counters << counters << now + QLatin1String("-1000000000.plist");
    }
    void pruning()
    {
        QFETCH(QStringList, present);
        QFETCH(QStringList, kept);
        QFETCH(QString, added);
        const QString backups = m_a->backupsDirectory() + QLatin1Char('/');
        QVERIFY(QDir(backups).removeRecursively() && QDir().mkpath(backups));
        for (const QString &name : present) {
            if (name.startsWith(QLatin1String("link:")))
                QVERIFY(link(m_secret, backups + name.mid(5)));
            else
                writeFile(backups + name, "backup", 3000); // newer than the Dock file they copied
        }
        m_a->setNow(QDateTime(QDate(2026, 1, 1), QTime(12, 0)));
        QCOMPARE(m_a->engine().backupLocalDock(QString()), std::nullopt);
        kept = (kept << added).replaceInStrings(QStringLiteral("link:"), QString());
        kept.sort();
        QCOMPARE(entryNames(backups), kept);
        QCOMPARE(readBytes(m_secret), "SECRET line\n");
    }

    // Writers on one Mac take turns: at the cap, a trim never drops a line appended meanwhile.
    void concurrentAppendsKeepEveryLine()
    {
        const QString log = m_folder + QLatin1String("/tandrill.log");
        QByteArray old;
        for (int i = 0; i < 480; ++i)
            old += "[2025-01-01 00:00:00] [Old] line " + QByteArray::number(i) + "\n";
        writeBytes(log, old);
        const EngineServices services = m_a->services();
        std::vector<std::thread> writers;
        for (int w = 0; w < 4; ++w) {
            writers.emplace_back([this, services, w] {
                for (int i = 0; i < 10; ++i)
                    SyncEngine(m_folder, QStringLiteral("Mac A"), services).log(QStringLiteral("w%1 %2").arg(w).arg(i));
            });
        }
        for (std::thread &writer : writers)
            writer.join();
        const QStringList messages = logMessages(log);
        QVERIFY(messages.size() == 499 || messages.size() == 500);
        for (int w = 0; w < 4; ++w) {
            for (int i = 0; i < 10; ++i)
                QVERIFY(messages.contains(QStringLiteral("w%1 %2").arg(w).arg(i)));
        }
    }
};

TANDRILL_TEST_CLASS(TestHostileFolder)
#include "tst_hostilefolder.moc"
