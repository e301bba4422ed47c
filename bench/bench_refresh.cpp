#include "BenchRegistry.h"
#include "BenchSetup.h"

#include "CoordinatorHarness.h"
#include "SyncFormat.h"

#include <benchmark/benchmark.h>

#include <array>
#include <chrono>

using namespace BenchSetup;

namespace {

// This Mac's coordinator on a shared folder of `macs` Macs with a full log, settled, its window
// open: what the safety refresh finds while nobody syncs.
class RefreshedCoordinator {
public:
    explicit RefreshedCoordinator(int macs) : m_folder(macs), m_mac(hostName(0), m_folder.root()), m_expectedHosts(macs)
    {
        m_mac.mac().writeDock(dockBytes(), m_folder.thisMac().dockMTime());
        m_mac.storeSetUp(m_folder.folder());
        m_mac.start().setWindowVisible(true);
        m_mac.settle();
    }

    BenchFolder &folder() { return m_folder; }

    // What one tick of the refresh timer sets off, until its results are applied on this thread:
    // the timer itself fires (a refresh after a sync reads more, anew).
    void tick() { m_mac.advance(SyncManager::kSafetyRefreshPeriod); }

    // Whether the coordinator shows what the folder holds, so the ticks timed did the full work.
    bool showsFolder()
    {
        const SyncManager &manager = m_mac.manager();
        return manager.connectedHosts().size() == m_expectedHosts && manager.logLines().size() == 80 &&
               manager.remoteHostname() == hostName(0);
    }

private:
    BenchFolder m_folder;
    CoordinatorHarness m_mac;
    qsizetype m_expectedHosts;
};

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void unchanged(benchmark::State &state)
{
    RefreshedCoordinator coordinator(static_cast<int>(state.range(0)));
    if (!coordinator.showsFolder())
        state.SkipWithError("the coordinator does not show the folder");
    for (auto _ : state)
        coordinator.tick();
}

// Another Mac rewrites its status file between ticks; only the tick is timed.
void statusChanged(benchmark::State &state)
{
    RefreshedCoordinator coordinator(static_cast<int>(state.range(0)));
    const QString host = hostName(1);
    const QString path =
        coordinator.folder().folder() + QLatin1Char('/') + SyncFormat::hostFileName(SyncFormat::kStatusPrefix, host);
    int round = 0;
    for (auto _ : state) {
        ++round;
        deliverFile(path, statusBytes(host, round % 2 ? QStringLiteral("push") : QStringLiteral("sync"), round),
                    1'736'200'000.0 + round);
        const auto start = std::chrono::steady_clock::now();
        coordinator.tick();
        state.SetIterationTime(secondsSince(start));
    }
    if (!coordinator.showsFolder())
        state.SkipWithError("the coordinator does not show the folder");
}

// The full log moves on by one line between ticks; only the tick is timed.
void logChanged(benchmark::State &state)
{
    RefreshedCoordinator coordinator(static_cast<int>(state.range(0)));
    const std::array<QByteArray, 2> logs{logLines(kLogLineCap, 0), logLines(kLogLineCap, 1)};
    int round = 0;
    for (auto _ : state) {
        ++round;
        deliverFile(coordinator.folder().logPath(), logs[static_cast<size_t>(round % 2)], 1'736'200'000.0 + round);
        const auto start = std::chrono::steady_clock::now();
        coordinator.tick();
        state.SetIterationTime(secondsSince(start));
    }
    if (!coordinator.showsFolder())
        state.SkipWithError("the coordinator does not show the folder");
}

} // namespace

void registerRefreshBenchmarks()
{
    using benchmark::RegisterBenchmark;
    RegisterBenchmark(kRefreshUnchangedName, unchanged)->ArgName("status_files")->Arg(4)->Arg(1000)->UseRealTime();
    RegisterBenchmark("refresh/status_changed", statusChanged)
        ->ArgName("status_files")
        ->Arg(4)
        ->Arg(1000)
        ->UseManualTime();
    RegisterBenchmark("refresh/log_changed", logChanged)->ArgName("status_files")->Arg(4)->Arg(1000)->UseManualTime();
}
