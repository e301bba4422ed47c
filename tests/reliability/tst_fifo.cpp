// A named pipe in the sync folder behaves like a file whose download has stalled: a plain read of
// it blocks until someone writes, here for ever. Neither the engine nor the interface may wait on one.
#include "CoordinatorHarness.h"
#include "SafeFile.h"
#include "TestEnvironment.h"
#include "TestFiles.h"
#include "TestMain.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <future>
#include <thread>
#include <unistd.h>

using Kind = SyncEngine::Result::Kind;
using Mode = SyncEngine::Mode;
using namespace std::chrono_literals;

namespace {

// From `after` on until destroyed, opens every FIFO of the folder from both ends and closes it
// again: a call blocked on one returns late instead of never, so a test measures the block.
class FifoReleaser {
public:
    FifoReleaser(const QString &folder, std::chrono::milliseconds after)
        : m_thread([this, folder, after] {
              std::future<void> stop = m_stop.get_future();
              for (auto wait = after; stop.wait_for(wait) != std::future_status::ready; wait = 50ms) {
                  for (const QString &name : QDir(folder).entryList(QDir::System | QDir::Files | QDir::Hidden)) {
                      for (const int mode : {O_WRONLY, O_RDONLY}) {
                          const QByteArray path = QFile::encodeName(folder + QLatin1Char('/') + name);
                          if (const int fd = ::open(path.constData(), mode | O_NONBLOCK | O_CLOEXEC); fd >= 0)
                              ::close(fd);
                      }
                  }
              }
          })
    {}
    ~FifoReleaser()
    {
        m_stop.set_value();
        m_thread.join();
    }

private:
    std::promise<void> m_stop;
    std::thread m_thread;
};

} // namespace

class TestFifo : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_folder;

    QString file(const char *name) const { return m_folder + QLatin1Char('/') + QLatin1String(name); }

private slots:
    void initTestCase() { std::signal(SIGPIPE, SIG_IGN); } // a released writer must not end the test

    // Mac A pushed and Mac C registered; then the meta file, the log and A's status file become FIFOs.
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>(TestEnvironment::root() + QLatin1String("/fifo-XXXXXX"));
        m_folder = m_dir->path() + QLatin1String("/shared");
        SimulatedMac a(QStringLiteral("Mac A"), m_folder, m_dir->path());
        a.writeDock("A's Dock", 1741356309);
        QCOMPARE(a.run(Mode::Push), SyncEngine::Result::pushed());
        QCOMPARE(SimulatedMac(QStringLiteral("Mac C"), m_folder, m_dir->path()).run(Mode::Status).kind(),
                 Kind::StatusWritten);
        for (const char *name : {"tandrill-meta.txt", "tandrill.log", "status-Mac_A.txt"})
            QVERIFY(TestFiles::place(file(name), QStringLiteral("FIFO")));
    }

    void engineDoesNotWait_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<bool>("dockCopyIsFifo");
        QTest::addColumn<QString>("result");
        QTest::newRow("auto: a FIFO meta is unavailable") << QStringLiteral("auto") << false << "error";
        QTest::newRow("pull: a FIFO meta is unavailable") << QStringLiteral("pull") << false << "error";
        QTest::newRow("status") << QStringLiteral("status") << false << "statusWritten";
        QTest::newRow("push over a FIFO copy") << QStringLiteral("push") << true << "pushed";
        QTest::newRow("pull of a FIFO copy") << QStringLiteral("pull") << true << "error";
    }
    void engineDoesNotWait()
    {
        QFETCH(QString, operation);
        QFETCH(bool, dockCopyIsFifo);
        QFETCH(QString, result);
        if (dockCopyIsFifo)
            QVERIFY(TestFiles::place(file("com.apple.dock.plist"), QStringLiteral("FIFO")));
        SimulatedMac mac(QStringLiteral("Mac A"), m_folder, m_dir->path());
        mac.writeDock("A's changed Dock", 1741356400);
        QString name;
        std::future<void> done = std::async(std::launch::async, [&] {
            static const QStringList modes{QStringLiteral("auto"), QStringLiteral("push"), QStringLiteral("pull"),
                                           QStringLiteral("status")};
            name = mac.run(static_cast<Mode>(modes.indexOf(operation))).name();
        });
        const bool prompt = done.wait_for(10s) == std::future_status::ready; // only a block uses that up
        {
            const FifoReleaser releaser(m_folder, 0ms);
            done.wait();
        }
        QVERIFY2(prompt, "blocked on a FIFO");
        QCOMPARE(name, result);
        QCOMPARE(mac.dockBytes(),
                 result == QLatin1String("pulled") ? QByteArray("A's Dock") : QByteArray("A's changed Dock"));
    }

    // The main thread keeps running while the coordinator refreshes and syncs against the FIFOs. A
    // read of one on the main thread would stop it for five seconds, until the releaser steps in.
    void interfaceDoesNotWait()
    {
        CoordinatorHarness mac(QStringLiteral("Mac mini"), m_dir->path());
        mac.mac().writeDock("<dock>", 1'700'000'000);
        mac.storeSetUp(m_folder);
        QVERIFY(TestFiles::place(file("com.apple.dock.plist"), QStringLiteral("FIFO")));
        const FifoReleaser releaser(m_folder, 5s);
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
        QVERIFY2(longestGap < 2000,
                 qPrintable(QStringLiteral("the main thread stood still for %1 ms").arg(longestGap)));
        QVERIFY(!manager.isSyncing());
        QCOMPARE(manager.connectedHosts().size(), 2); // this Mac and C; A's status file is a FIFO
        QCOMPARE(mac.mac().dockBytes(), QByteArray("<dock>"));
    }
};

TANDRILL_TEST_CLASS(TestFifo)
#include "tst_fifo.moc"
