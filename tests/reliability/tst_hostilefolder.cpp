// A shared folder arranged against this Mac. Nothing outside the folder, the backups and the Dock
// changes, nothing outside is copied in, the failure is named, and without the plant the Macs converge.

#include "../cli/CliRunner.h"
#include "CoordinatorHarness.h"
#include "HostInfo.h"
#include "TestCommon.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

using namespace TestFiles;
using namespace std::chrono_literals;

namespace {
enum class Plant { LinkOutside, LinkDock, LinkDangling, Directory, LinkedBackups, Vanished };
void row(QStringView tag, Plant plant, QStringView name, QStringView command, QStringView failure = {})
{
    QTest::newRow(qPrintable(tag.toString())) << plant << name.toString() << command.toString() << failure.toString();
}
} // namespace

class TestHostileFolder : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<SimulatedMac> m_a, m_b;
    QString m_folder, m_secret;

private slots:
    void initTestCase() { std::signal(SIGPIPE, SIG_IGN); } // a released FIFO writer must not end the test
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        m_folder = m_root->path() + u"/Dock Sync"_s;
        m_secret = m_root->path() + u"/outside/history"_s;
        QVERIFY(QDir().mkpath(m_folder) && QDir().mkpath(QFileInfo(m_secret).absolutePath()));
        writeFile(m_secret, "SECRET line\n", 1000);
        m_a = std::make_unique<SimulatedMac>(u"Mac A"_s, m_folder, m_root->path());
        m_b = std::make_unique<SimulatedMac>(u"Mac B"_s, m_folder, m_root->path());
        m_a->writeDock("A's Dock", 2000);
        m_b->writeDock("B's Dock", 1000);
        QCOMPARE(m_b->run(Mode::Push).kind(), Kind::Pushed);
    }

    void plantedArrangement_data()
    {
        QTest::addColumn<Plant>("plant");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("failure"); // empty: the command succeeds around the plant
        const QStringList shared{u"log-Mac_A.txt"_s, u"tandrill-meta.txt"_s, u"status-Mac_A.txt"_s,
                                 u"conflict-Mac_A.txt"_s};
        for (const auto &[plant, to] : {std::pair{Plant::LinkOutside, u"outside"_s},
                                        {Plant::LinkDock, u"the Dock"_s},
                                        {Plant::LinkDangling, u"nowhere"_s}}) {
            for (const QString &name : shared)
                row(QString(name + u" linked to "_s + to), plant, name, u"push");
            row(QString(u"log linked to "_s + to + u", read"_s), plant, u"tandrill.log", u"log");
            row(QString(u"copy linked to "_s + to), plant, u"com.apple.dock.plist", u"pull",
                plant == Plant::LinkDangling ? u"noch nicht verfügbar" : u"symbolischer Link");
        }
        row(u"backups linked to Preferences", Plant::LinkedBackups, u"", u"push",
            u"Backups: ist ein symbolischer Link");
        row(u"directory as meta", Plant::Directory, u"tandrill-meta.txt", u"push", u"Meta-Datei nicht geschrieben");
        row(u"directory as status, push", Plant::Directory, u"status-Mac_A.txt", u"push", u"Status-Datei nicht");
        row(u"directory as status, pull", Plant::Directory, u"status-Mac_A.txt", u"pull", u"noch nicht verfügbar");
        row(u"directory as status, status", Plant::Directory, u"status-Mac_A.txt", u"status", u"STATUS FEHLER");
        row(u"vanished folder", Plant::Vanished, u"", u"push", u"Sync-Ordner nicht gefunden");
    }
    void plantedArrangement()
    {
        QFETCH(Plant, plant);
        QFETCH(QString, name);
        QFETCH(QString, command);
        QFETCH(QString, failure);
        const QString planted = name.isEmpty() ? m_a->dockPath() : m_folder + u'/' + name;
        const QString preferences = QFileInfo(m_a->dockPath()).absolutePath();
        const QString moved = m_folder + u" moved"_s;
        const CliRunner cli(*m_a);
        QStringList arguments{u"--folder"_s, m_folder, u"--host"_s, u"Mac A"_s, u"--json"_s, command};
        const QStringList targets{m_secret, m_a->dockPath(), m_secret + u".new"_s};
        if (plant <= Plant::LinkDangling) {
            QFile::remove(planted);
            QVERIFY(QFile::link(targets[static_cast<int>(plant)], planted));
        } else if (plant == Plant::Directory) {
            QFile::remove(planted);
            QVERIFY(QDir().mkpath(planted + u"/x"_s));
        } else if (plant == Plant::LinkedBackups) {
            QVERIFY(QDir().mkpath(QFileInfo(m_a->backupsDirectory()).absolutePath()));
            QVERIFY(QFile::link(preferences, m_a->backupsDirectory()));
        } else {
            cli.setAppFolder(m_folder); // the app's folder, renamed away
            arguments = arguments.mid(2);
            QVERIFY(QDir().rename(m_folder, moved));
        }
        const auto secret = SafeFile::stamp(m_secret);
        const auto dock = SafeFile::stamp(m_a->dockPath());

        const CliOutput output = cli.run(arguments);
        QCOMPARE(output.exitCode, failure.isEmpty() ? 0 : 1);
        if (command != u"log"_s)
            QVERIFY2(output.json()[u"message"_s].toString().contains(failure), output.out);
        QVERIFY(!output.out.contains("SECRET"));
        QCOMPARE(SafeFile::stamp(m_secret), secret);
        QCOMPARE(SafeFile::stamp(m_a->dockPath()), dock);
        QCOMPARE(entryNames(QFileInfo(m_secret).absolutePath()), QStringList{u"history"_s});
        QCOMPARE(entryNames(preferences), QStringList{u"com.apple.dock.plist"_s});
        QCOMPARE(QFileInfo::exists(m_folder), plant != Plant::Vanished);
        for (const QString &root : {m_folder, m_a->backupsDirectory()}) {
            for (QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System); it.hasNext();) {
                const QFileInfo file(it.next());
                if (!file.isSymLink() && file.filePath() != planted)
                    QVERIFY(file.size() < 100000 && !readBytes(file.filePath()).contains("SECRET"));
            }
        }

        // The plant removed, the next normal runs converge.
        if (plant == Plant::Directory)
            QVERIFY(QDir(planted).removeRecursively());
        else if (plant == Plant::Vanished)
            QVERIFY(QDir().rename(moved, m_folder));
        else // a push may have removed the link already
            QFile::remove(plant == Plant::LinkedBackups ? m_a->backupsDirectory() : planted);
        QCOMPARE(cli.run({u"--folder"_s, m_folder, u"--host"_s, u"Mac A"_s, u"push"_s}).exitCode, 0);
        // Where the plant took the meta file, A's push carries no history: B is asked, and takes it.
        int conflicts = 0;
        QVERIFY(settleMacs({m_b.get()}, 2, &conflicts));
        QCOMPARE(conflicts, name == u"tandrill-meta.txt"_s ? 1 : 0);
        QCOMPARE(m_b->dockBytes(), "A's Dock"_ba);
    }

    void hostileHostNames_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::newRow("control characters add no line") << QStringList{u"A\nmtime=4102444800"_s, u"\x1b[31mRed\r"_s};
        QTest::newRow("300 letters") << QStringList{QString(300, QChar(0xe4))};
        QTest::newRow("nothing safe in them") << QStringList{u""_s, u"🍎"_s, u"🍏"_s, u"/"_s, u".."_s};
        QTest::newRow("names that clean alike, or that a Mac's file system takes for one, still part")
            << QStringList{u"Anna’s MacBook"_s, u"Annas MacBook"_s, u"Mac A"_s,   u"Mac_A"_s,
                           u"Mac\u200bBook"_s,  u"MacBook"_s,       u"macbook"_s, u"MACBOOK"_s};
    }
    void hostileHostNames()
    {
        QFETCH(QStringList, names);
        for (const QString &name : names)
            QCOMPARE(SyncEngine(m_folder, name, m_a->services()).run(SyncEngine::Mode::Push).kind(), Kind::Pushed);
        const QStringList statusFiles = QDir(m_folder).entryList({u"status-*"_s});
        QCOMPARE(statusFiles.size(), names.size() + 1); // and Mac B's
        QVERIFY(statusFiles.contains(SyncFormat::hostFileName(SyncFormat::kStatusPrefix, names.first())));
        QSet<QString> onAMac; // what a Mac's file system tells apart
        for (const QString &file : statusFiles)
            onAMac.insert(file.normalized(QString::NormalizationForm_C).toCaseFolded());
        QCOMPARE(onAMac.size(), statusFiles.size());
        for (const QString &file : statusFiles)
            QVERIFY(file.toUtf8().size() <= 255 && readBytes(m_folder + u'/' + file).count('\n') == 3);
        const QByteArray meta = readBytes(m_folder + u"/tandrill-meta.txt"_s);
        QVERIFY2(meta.startsWith("mtime=2000\n") && meta.count('\n') == 4, meta.constData()); // a push's five lines
        QCOMPARE(readHostRegistry(m_folder, names.last())->size(), names.size() + 1);
    }

    // Text another Mac wrote reaches the terminal as text only; JSON keeps it exact.
    void plainOutputShowsNoControls()
    {
        const QByteArray evil = QByteArrayLiteral("Evil\x1b]0;owned\x07\xc2\x9b\x32J\xe2\x80\xae");
        writeBytes(m_folder + u"/status-Evil.txt"_s, "hostname=" + evil + "\nlast_action=push");
        writeBytes(m_folder + u"/tandrill.log"_s, "[2025-01-01 00:00:00] [" + evil + "] x\n");
        for (const QString &command : {u"hosts"_s, u"log"_s}) {
            const CliRunner cli(*m_a);
            const QByteArray shown = u"Evil\ufffd]0;owned\ufffd\ufffd2J\ufffd"_s.toUtf8();
            QVERIFY(cli.run({u"--folder"_s, m_folder, command}).out.contains(shown));
            const QByteArray exact =
                QJsonDocument(QJsonArray{QString::fromUtf8(evil)}).toJson(QJsonDocument::Compact).chopped(1).mid(1);
            QVERIFY(cli.run({u"--folder"_s, m_folder, u"--json"_s, command}).out.contains(exact));
        }
    }

    // A FIFO is a file whose download stalled: a plain read of it blocks for ever. The main thread keeps
    // running while the coordinator refreshes and syncs against FIFOs in place of the shared files
    // (the engine's refusals of them are rows of its own table).
    void interfaceDoesNotWait()
    {
        QCOMPARE(m_a->run(Mode::Status).kind(), Kind::StatusWritten);
        CoordinatorHarness mac(u"Mac mini"_s, m_root->path());
        mac.mac().writeDock("<dock>", 1'700'000'000);
        mac.storeSetUp(m_folder);
        for (const char *name :
             {"tandrill-meta.txt", "tandrill.log", "log-Mac_B.txt", "status-Mac_B.txt", "com.apple.dock.plist"})
            QVERIFY(place(m_folder + u'/' + QLatin1String(name), u"FIFO"_s));
        // After five seconds, every FIFO is opened from both ends now and then: a read blocked on one
        // on the main thread returns late instead of never, and the heartbeat measures the stop.
        const std::jthread releaser([this](std::stop_token stop) {
            for (int tick = 1; !stop.stop_requested(); ++tick) {
                std::this_thread::sleep_for(50ms);
                for (const QString &name : QDir(m_folder).entryList(QDir::System | QDir::Files | QDir::Hidden)) {
                    const QByteArray path = QFile::encodeName(m_folder + u'/' + name);
                    for (const int mode : {O_WRONLY, O_RDONLY}) {
                        if (const int fd = tick < 100 ? -1 : ::open(path.constData(), mode | O_NONBLOCK); fd >= 0)
                            ::close(fd);
                    }
                }
            }
        });
        QElapsedTimer clock;
        clock.start();
        SyncManager &manager = mac.start();
        qint64 last = 0, longestGap = 0;
        QTimer heartbeat; // refreshes and syncs for 1.5 s, and measures how long the main thread stood still
        connect(&heartbeat, &QTimer::timeout, &manager, [&] {
            longestGap = std::max(longestGap, clock.elapsed() - last);
            last = clock.elapsed();
            if (last < 1500) {
                manager.refreshAll();
                manager.performSync(Mode::Auto);
            }
        });
        heartbeat.start(10);
        QTRY_VERIFY_WITH_TIMEOUT(clock.elapsed() > 1500 && !manager.hasPendingWork(), 10000);
        QVERIFY2(longestGap < 2000, qPrintable(u"the main thread stood still for %1 ms"_s.arg(longestGap)));
        QVERIFY(!manager.isSyncing());
        QCOMPARE(manager.connectedHosts().size(), 2); // this Mac and A; B's status file is a FIFO
        QCOMPARE(mac.mac().dockBytes(), "<dock>"_ba);
    }
};

TANDRILL_TEST_CLASS(TestHostileFolder)
#include "tst_hostilefolder.moc"
