#include "BenchRegistry.h"
#include "ChangeWatcher.h"
#include "RatioTableReporter.h"
#include "TestEnvironment.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <string>

int main(int argc, char *argv[])
{
    // A temporary HOME and XDG directories before anything reads them: the benchmarks push, pull
    // and back up Dock files, and must never reach the real ones.
    TestEnvironment::isolate();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    // The coordinator hands its results back through this thread's event loop.
    QCoreApplication app(argc, argv);

    registerBaselineBenchmarks();
    registerEngineBenchmarks();
    registerRefreshBenchmarks();
    registerPropagationBenchmarks();

    using Target = RatioTableReporter::Target;
    using namespace std::chrono;
    const std::string unchanged = kRefreshUnchangedName;
    // Aims: the quiet period the change waits for, and a second for the run that applies it.
    const double sharedAim = duration<double, std::milli>(ChangeWatcher::kSharedQuiet + 1s).count();
    const double localAim = duration<double, std::milli>(ChangeWatcher::kLocalQuiet + 1s).count();
    RatioTableReporter reporter(kBaselineName, {{kPushName, Target::Kind::RatioToBaseline, 2.0},
                                                {kPullName, Target::Kind::RatioToBaseline, 2.0},
                                                {kAutoInSyncName, Target::Kind::RatioToBaseline, 2.0},
                                                {unchanged + "/status_files:4", Target::Kind::Milliseconds, 0.2},
                                                {unchanged + "/status_files:1000", Target::Kind::Milliseconds, 20.0},
                                                {kPropagationSharedName, Target::Kind::Milliseconds, sharedAim},
                                                {kPropagationLocalName, Target::Kind::Milliseconds, localAim}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
