#include "BenchRegistry.h"
#include "BenchSetup.h"

#include "HostInfo.h"
#include "LogEntry.h"

#include <benchmark/benchmark.h>

#include <chrono>

using namespace BenchSetup;
using Kind = SyncEngine::Result::Kind;

namespace {

// One operation again and again on a folder of four Macs, as the app runs it. Every iteration
// must do the real work: a run that ends differently than expected stops the benchmark instead of
// timing a shortcut.
void runRepeatedly(benchmark::State &state, SyncEngine::Mode mode, Kind expected)
{
    BenchFolder folder(4);
    SyncEngine engine = folder.engine();
    for (auto _ : state) {
        const SyncEngine::Result result = engine.run(mode);
        if (result.kind() != expected) {
            state.SkipWithError(
                qPrintable(QLatin1String("unexpected result: ") + result.name() + QLatin1Char(' ') + result.message()));
            break;
        }
    }
}

void push(benchmark::State &state)
{
    runRepeatedly(state, SyncEngine::Mode::Push, Kind::Pushed);
}

void pull(benchmark::State &state)
{
    runRepeatedly(state, SyncEngine::Mode::Pull, Kind::Pulled);
}

// Nothing changed since this Mac's last push: the automatic sync only reads and reports.
void autoInSync(benchmark::State &state)
{
    runRepeatedly(state, SyncEngine::Mode::Auto, Kind::InSync);
}

void logAppendAtCap(benchmark::State &state)
{
    BenchFolder folder(4);
    const SyncEngine engine = folder.engine();
    const QString message = QStringLiteral("AUTO: Dock ist bereits synchron");
    for (auto _ : state)
        engine.log(message);
    if (readBytes(folder.logPath()).count('\n') > kLogLineCap)
        state.SkipWithError("the log grew past its cap");
}

void pruneBackupsAtCap(benchmark::State &state)
{
    BenchFolder folder(4);
    const SyncEngine engine = folder.engine();
    const QString directory = engine.backupsDirectory();
    const QByteArray dock = dockBytes();
    int taken = 0;
    for (auto _ : state) {
        // One backup more than kept, as right after a new one was taken; only the pruning is timed.
        const QString name = QStringLiteral("/com.apple.dock.20250106_090000-%1.plist").arg(taken + 2);
        deliverFile(directory + name, dock, 1'736'200'000.0 + taken);
        ++taken;
        const auto start = std::chrono::steady_clock::now();
        engine.pruneBackups(kBackupsKept);
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    if (folder.thisMac().backups().size() != kBackupsKept)
        state.SkipWithError("pruning did not keep ten backups");
}

void hostRegistry(benchmark::State &state)
{
    const int macs = static_cast<int>(state.range(0));
    BenchFolder folder(macs);
    const QString me = folder.thisMac().hostname();
    for (auto _ : state) {
        const auto hosts = readHostRegistry(folder.folder(), me);
        if (!hosts || hosts->size() != macs) {
            state.SkipWithError("the registry missed Macs");
            break;
        }
    }
}

void logModelFromFullLog(benchmark::State &state)
{
    BenchFolder folder(4);
    const QString path = folder.logPath();
    const int limit = static_cast<int>(state.range(0));
    for (auto _ : state) {
        const QList<LogEntry> entries = readLogTail(path, limit);
        if (entries.size() != limit) {
            state.SkipWithError("the log model is short of lines");
            break;
        }
    }
}

} // namespace

void registerEngineBenchmarks()
{
    using benchmark::RegisterBenchmark;
    RegisterBenchmark(kPushName, push)->UseRealTime();
    RegisterBenchmark(kPullName, pull)->UseRealTime();
    RegisterBenchmark(kAutoInSyncName, autoInSync)->UseRealTime();
    RegisterBenchmark("engine/log_append_at_cap", logAppendAtCap)->UseRealTime();
    RegisterBenchmark("engine/prune_backups_at_10", pruneBackupsAtCap)->UseManualTime();
    RegisterBenchmark("engine/host_registry", hostRegistry)
        ->ArgName("status_files")
        ->Arg(4)
        ->Arg(100)
        ->Arg(1000)
        ->UseRealTime();
    // The coordinator shows the newest 80 lines; `tandrill-cli log --limit` may ask for all of them.
    RegisterBenchmark("engine/log_model_full_log", logModelFromFullLog)
        ->ArgName("lines")
        ->Arg(80)
        ->Arg(kLogLineCap)
        ->UseRealTime();
}
