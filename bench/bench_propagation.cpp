#include "BenchRegistry.h"

#include "ChangeWatcher.h"
#include "CoordinatorHarness.h"
#include "Scheduler.h"
#include "SyncFormat.h"

#include <QAbstractEventDispatcher>
#include <QDeadlineTimer>
#include <QDir>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

// This Mac's coordinator with background sync on, in real time (the quiet periods are what is
// measured), beside the iMac, whose pushes reach the shared folder file by file as a sync service
// delivers them.
class TwoMacs {
public:
    TwoMacs()
        : m_folder(m_root.path() + QLatin1String("/iCloud/Dock Sync")),
          m_staging(m_root.path() + QLatin1String("/iMac's folder")), m_scheduler(createQtScheduler()),
          m_mac(QStringLiteral("MacBook-Pro"), m_root.path()), m_imac(QStringLiteral("iMac"), m_staging, m_root.path())
    {
        QDir().mkpath(m_staging);
        m_mac.mac().writeDock("<first>", 1'700'000'000);
        m_mac.storeSetUp(m_folder);
        m_mac.useScheduler(m_scheduler.get());
        m_mac.start().startDaemon();
        m_ready = waitFor([this] { return m_mac.manager().engineRuns() > 0 && !m_mac.manager().hasPendingWork(); });
    }

    bool ready() const { return m_ready; }

    // The iMac pushes `dock`; its Dock copy lands first, its meta file last. The time runs from the
    // last file until this Mac's Dock holds it.
    std::optional<double> sharedChange(const QByteArray &dock)
    {
        m_imac.writeDock(dock);
        if (m_imac.run(SyncEngine::Mode::Push) != SyncEngine::Result::pushed() || !land(SyncFormat::kDockFileName))
            return std::nullopt;
        const auto start = std::chrono::steady_clock::now();
        if (!land(SyncFormat::kMetaFileName) || !waitFor([&] { return m_mac.mac().dockBytes() == dock; }))
            return std::nullopt;
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }

    // This Mac's Dock changes; the time runs until the shared copy holds it.
    std::optional<double> localChange(const QByteArray &dock)
    {
        const auto start = std::chrono::steady_clock::now();
        m_mac.mac().writeDock(dock);
        const QString shared = m_folder + QLatin1Char('/') + SyncFormat::kDockFileName;
        if (!waitFor([&] { return readBytes(shared) == dock; }))
            return std::nullopt;
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }

    // Untimed, between rounds: what the last change set off runs out, as it would before the next
    // change a person makes minutes later.
    void letSettle()
    {
        const QDeadlineTimer quiet(ChangeWatcher::kSharedQuiet + std::chrono::seconds(1));
        waitFor([&] { return quiet.hasExpired() && !m_mac.manager().hasPendingWork(); });
    }

private:
    bool land(QLatin1StringView name)
    {
        return SafeFile::copyReplacing(m_staging + QLatin1Char('/') + name, m_folder + QLatin1Char('/') + name).ok();
    }

    // Runs the event loop until done() holds, for at most a minute.
    static bool waitFor(const std::function<bool()> &done)
    {
        QTimer wake; // looks again now and then: a file written by a worker wakes nobody here
        wake.start(20);
        const QDeadlineTimer deadline(std::chrono::minutes(1));
        while (!done()) {
            if (deadline.hasExpired())
                return false;
            QThread::currentThread()->eventDispatcher()->processEvents(QEventLoop::WaitForMoreEvents);
        }
        return true;
    }

    QTemporaryDir m_root;
    QString m_folder;
    QString m_staging;
    std::unique_ptr<Scheduler> m_scheduler;
    CoordinatorHarness m_mac;
    SimulatedMac m_imac;
    bool m_ready = false;
};

void propagate(benchmark::State &state, bool shared)
{
    TwoMacs macs;
    if (!macs.ready())
        state.SkipWithError("the first background run did not come");
    int round = 0;
    for (auto _ : state) {
        const QByteArray dock = "<change " + QByteArray::number(++round) + '>';
        const auto seconds = shared ? macs.sharedChange(dock) : macs.localChange(dock);
        if (!seconds) {
            state.SkipWithError("the change did not arrive within a minute");
            break;
        }
        state.SetIterationTime(*seconds);
        macs.letSettle();
    }
}

} // namespace

void registerPropagationBenchmarks()
{
    using benchmark::RegisterBenchmark;
    // A few rounds: each lasts a quiet period, and the spread is the timers', not the work's.
    RegisterBenchmark(kPropagationSharedName, propagate, true)
        ->Iterations(3)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark(kPropagationLocalName, propagate, false)
        ->Iterations(2)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
}
