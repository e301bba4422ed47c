// A named pipe in the sync folder behaves like a file whose download has stalled: a plain read of
// it blocks until someone writes, here for ever. The interface may never wait on one (the engine's
// refusals of FIFOs are rows of its own table).
#include "CoordinatorHarness.h"
#include "TestCommon.h"

#include <QElapsedTimer>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <stop_token>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// From `after` on until stopped, opens every FIFO of the folder from both ends and closes it again:
// a call blocked on one returns late instead of never, so a test measures the block.
std::jthread fifoReleaser(const QString &folder, std::chrono::milliseconds after)
{
    return std::jthread([folder, after](std::stop_token stop) {
        std::mutex mutex;
        std::unique_lock lock(mutex);
        std::condition_variable_any wake;
        for (auto wait = after; !wake.wait_for(lock, stop, wait, [] { return false; }) && !stop.stop_requested();
             wait = 50ms) {
            for (const QString &name : QDir(folder).entryList(QDir::System | QDir::Files | QDir::Hidden)) {
                for (const int mode : {O_WRONLY, O_RDONLY}) {
                    const QByteArray path = QFile::encodeName(folder + u'/' + name);
                    if (const int fd = ::open(path.constData(), mode | O_NONBLOCK | O_CLOEXEC); fd >= 0)
                        ::close(fd);
                }
            }
        }
    });
}

} // namespace

class TestFifo : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_folder;

    QString file(const char *name) const { return m_folder + u'/' + QLatin1String(name); }

private slots:
    void initTestCase() { std::signal(SIGPIPE, SIG_IGN); } // a released writer must not end the test

    // Mac A pushed and Mac C registered; then the meta file, the log and A's status file become FIFOs.
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>(TestEnvironment::root() + u"/fifo-XXXXXX"_s);
        m_folder = m_dir->path() + u"/shared"_s;
        SimulatedMac a(u"Mac A"_s, m_folder, m_dir->path());
        a.writeDock("A's Dock", 1741356309);
        QCOMPARE(a.run(Mode::Push), SyncEngine::Result::pushed());
        QCOMPARE(SimulatedMac(u"Mac C"_s, m_folder, m_dir->path()).run(Mode::Status).kind(), Kind::StatusWritten);
        for (const char *name : {"tandrill-meta.txt", "tandrill.log", "log-Mac_A.txt", "status-Mac_A.txt"})
            QVERIFY(TestFiles::place(file(name), u"FIFO"_s));
    }

    // The main thread keeps running while the coordinator refreshes and syncs against the FIFOs. A
    // read of one on the main thread would stop it for five seconds, until the releaser steps in.
    void interfaceDoesNotWait()
    {
        CoordinatorHarness mac(u"Mac mini"_s, m_dir->path());
        mac.mac().writeDock("<dock>", 1'700'000'000);
        mac.storeSetUp(m_folder);
        QVERIFY(TestFiles::place(file("com.apple.dock.plist"), u"FIFO"_s));
        const std::jthread releaser = fifoReleaser(m_folder, 5s);
        SyncManager &manager = mac.start();
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0;
        qint64 longestGap = 0;
        QTimer heartbeat;
        connect(&heartbeat, &QTimer::timeout, this, [&] {
            longestGap = std::max(longestGap, clock.elapsed() - last);
            last = clock.elapsed();
        });
        heartbeat.start(10);
        QTimer refresher;
        connect(&refresher, &QTimer::timeout, &manager, [&] {
            manager.refreshAll();
            manager.performSync(Mode::Auto);
        });
        refresher.start(20);
        QTest::qWait(1500);
        refresher.stop();
        QTRY_VERIFY_WITH_TIMEOUT(!manager.hasPendingWork(), 10000);
        QVERIFY2(longestGap < 2000, qPrintable(u"the main thread stood still for %1 ms"_s.arg(longestGap)));
        QVERIFY(!manager.isSyncing());
        QCOMPARE(manager.connectedHosts().size(), 2); // this Mac and C; A's status file is a FIFO
        QCOMPARE(mac.mac().dockBytes(), "<dock>"_ba);
    }
};

TANDRILL_TEST_CLASS(TestFifo)
#include "tst_fifo.moc"
