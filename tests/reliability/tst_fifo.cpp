// A named pipe in the sync folder behaves like a file whose download has stalled: a plain read of
// it blocks until someone writes. No engine operation and no reader may wait on one.

#include "HostInfo.h"
#include "LogEntry.h"
#include "SafeFile.h"
#include "SimulatedMac.h"
#include "SyncFormat.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QTemporaryDir>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <future>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using Kind = SyncEngine::Result::Kind;
using namespace std::chrono_literals;

namespace {

bool makeFifo(const QString &path)
{
    QFile::remove(path);
    return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0;
}

bool isFifo(const QString &path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISFIFO(info.st_mode);
}

// Opens every FIFO of the folder from the other end and closes it again, so that a thread stuck
// in an open or read of one gets an end of file and can be joined.
void releaseFifos(const QString &folder)
{
    for (const QString &name : QDir(folder).entryList(QDir::System | QDir::Files | QDir::Hidden)) {
        const QByteArray path = QFile::encodeName(folder + QLatin1Char('/') + name);
        for (const int mode : {O_WRONLY, O_RDONLY}) {
            const int fd = ::open(path.constData(), mode | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0)
                ::close(fd);
        }
    }
}

// Runs work on a thread of its own; false when it has not finished after ten seconds, a margin
// that only a blocked call can use up. The thread is always joined before returning.
bool finishesPromptly(const std::function<void()> &work, const QString &folder)
{
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    std::thread worker([&work, &done] {
        work();
        done.set_value();
    });
    const bool prompt = finished.wait_for(10s) == std::future_status::ready;
    while (finished.wait_for(100ms) != std::future_status::ready)
        releaseFifos(folder);
    worker.join();
    return prompt;
}

} // namespace

class TestFifo : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SimulatedMac> m_mac;
    QString m_folder;

    QString folderFile(QLatin1StringView name) const { return m_folder + QLatin1Char('/') + name; }
    QString statusOf(const QString &hostname) const
    {
        return m_folder + QLatin1Char('/') + SyncFormat::hostFileName(SyncFormat::kStatusPrefix, hostname);
    }

private slots:
    void initTestCase()
    {
        // Only the release of a stuck writer could raise it, and only when a test already failed.
        std::signal(SIGPIPE, SIG_IGN);
    }

    // A folder where Mac A pushed and Mac B and Mac C registered; then the meta file, the log and
    // the status files of A and B become FIFOs. C's status file stays a regular file.
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>(TestEnvironment::root() + QLatin1String("/fifo-XXXXXX"));
        m_folder = m_dir->path() + QLatin1String("/shared");
        m_mac = std::make_unique<SimulatedMac>(QStringLiteral("Mac A"), m_folder, m_dir->path());
        m_mac->writeDock("A's Dock", 1741356309);
        QCOMPARE(m_mac->run(SyncEngine::Mode::Push), SyncEngine::Result::pushed());
        SimulatedMac b(QStringLiteral("Mac B"), m_folder, m_dir->path());
        SimulatedMac c(QStringLiteral("Mac C"), m_folder, m_dir->path());
        QCOMPARE(b.run(SyncEngine::Mode::Status), SyncEngine::Result::statusWritten());
        QCOMPARE(c.run(SyncEngine::Mode::Status), SyncEngine::Result::statusWritten());
        m_mac->writeDock("A's changed Dock", 1741356400);

        for (const QString &path : {folderFile(SyncFormat::kMetaFileName), folderFile(SyncFormat::kLogFileName),
                                    statusOf(QStringLiteral("Mac A")), statusOf(QStringLiteral("Mac B"))})
            QVERIFY(makeFifo(path));
    }
    void cleanup()
    {
        m_mac.reset();
        m_dir.reset();
    }

    void readersDoNotWait()
    {
        SyncEngine engine = m_mac->engine();
        std::optional<QString> host;
        double remote = -1;
        double lastPulled = -1;
        std::optional<QList<HostInfo>> hosts;
        QList<LogEntry> log;
        const bool prompt = finishesPromptly(
            [&] {
                host = engine.readMeta(QStringLiteral("host"));
                remote = engine.remoteMTime();
                lastPulled = engine.readLastPulled();
                hosts = readHostRegistry(m_folder, QStringLiteral("Mac A"));
                log = readLogTail(folderFile(SyncFormat::kLogFileName));
            },
            m_folder);
        QVERIFY2(prompt, "a reader blocked on a FIFO");

        // Each FIFO reads as a missing file; the regular status file of C is still listed.
        QVERIFY(!host);
        QCOMPARE(remote, 0.0);
        QCOMPARE(lastPulled, 0.0);
        QVERIFY(hosts);
        QCOMPARE(hosts->size(), 1);
        QCOMPARE(hosts->first().hostname, QStringLiteral("Mac C"));
        QVERIFY(log.isEmpty());
    }

    void logWriterDoesNotWait()
    {
        SyncEngine engine = m_mac->engine();
        QVERIFY2(finishesPromptly([&] { engine.log(QStringLiteral("PUSH: Erfolgreich hochgeladen")); }, m_folder),
                 "the log writer blocked on a FIFO");
        QVERIFY(isFifo(folderFile(SyncFormat::kLogFileName)));
    }

    void operationsDoNotWait_data()
    {
        QTest::addColumn<SyncEngine::Mode>("mode");
        QTest::addColumn<bool>("dockCopyIsFifo");
        QTest::addColumn<SyncEngine::Result::Kind>("expected");
        // With the meta file unreadable the automatic decision sees a first synchronization.
        QTest::newRow("auto") << SyncEngine::Mode::Auto << false << Kind::Pushed;
        QTest::newRow("push") << SyncEngine::Mode::Push << false << Kind::Pushed;
        QTest::newRow("pull") << SyncEngine::Mode::Pull << false << Kind::Pulled;
        QTest::newRow("status") << SyncEngine::Mode::Status << false << Kind::StatusWritten;
        QTest::newRow("push over a Dock copy that is a FIFO") << SyncEngine::Mode::Push << true << Kind::Pushed;
        QTest::newRow("pull of a Dock copy that is a FIFO") << SyncEngine::Mode::Pull << true << Kind::Error;
    }
    void operationsDoNotWait()
    {
        QFETCH(SyncEngine::Mode, mode);
        QFETCH(bool, dockCopyIsFifo);
        QFETCH(SyncEngine::Result::Kind, expected);
        if (dockCopyIsFifo)
            QVERIFY(makeFifo(folderFile(SyncFormat::kDockFileName)));
        const QByteArray dockBefore = m_mac->dockBytes();

        SyncEngine engine = m_mac->engine();
        std::optional<SyncEngine::Result> result;
        QVERIFY2(finishesPromptly([&] { result = engine.run(mode); }, m_folder),
                 "an engine operation blocked on a FIFO");
        QVERIFY(result);
        QVERIFY2(result->kind() == expected, qPrintable(result->name() + QLatin1Char(' ') + result->message()));

        switch (expected) {
        case Kind::Pushed:
            // The FIFOs that the push writes are replaced by complete regular files.
            QVERIFY(SafeFile::isRegularFile(folderFile(SyncFormat::kMetaFileName)));
            QVERIFY(SafeFile::isRegularFile(statusOf(QStringLiteral("Mac A"))));
            QCOMPARE(readBytes(folderFile(SyncFormat::kDockFileName)), dockBefore);
            break;
        case Kind::Pulled:
            QCOMPARE(m_mac->dockBytes(), QByteArray("A's Dock"));
            QVERIFY(isFifo(folderFile(SyncFormat::kMetaFileName)));
            break;
        case Kind::Error:
            QVERIFY(result->message().startsWith(QLatin1String("PULL FEHLER: ")));
            QCOMPARE(m_mac->dockBytes(), dockBefore);
            QCOMPARE(m_mac->dockRestarts(), 0);
            break;
        default:
            QVERIFY(SafeFile::isRegularFile(statusOf(QStringLiteral("Mac A"))));
            break;
        }
        QVERIFY(isFifo(statusOf(QStringLiteral("Mac B"))));
    }
};

TANDRILL_TEST_MAIN(TestFifo)
#include "tst_fifo.moc"
