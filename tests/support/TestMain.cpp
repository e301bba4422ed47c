#include "TestMain.h"

#include "TestEnvironment.h"

#include <QtTest>

#ifdef TANDRILL_TEST_GUI
#include <QApplication>
using TestApplication = QApplication;
#else
using TestApplication = QCoreApplication;
#endif

#include <csignal>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

std::map<std::string, TestRegistry::Factory> &registry()
{
    static std::map<std::string, TestRegistry::Factory> classes; // sorted: a stable order of runs
    return classes;
}

bool hasTestFunction(const QObject &test, const QByteArray &name) // "function" or "function:dataTag"
{
    return test.metaObject()->indexOfMethod(QByteArray(name.split(':').constFirst() + "()").constData()) >=
           test.metaObject()->methodOffset();
}

} // namespace

bool TestRegistry::add(const char *className, Factory factory)
{
    registry().emplace(className, std::move(factory));
    return true;
}

namespace {

// QtTest's own crash handler, installed again by every class of a program, ends up calling itself
// for ever when a test aborts: the test would hang until the watchdog. This one names the test
// and lets the signal end the process at once. A segmentation fault stays with the sanitizer.
extern "C" void reportAbort(int signal)
{
    std::signal(signal, SIG_DFL);
    const char *function = QTest::currentTestFunction();
    const char *tag = QTest::currentDataTag();
    std::fprintf(stderr, "ABORTED: %s(%s)\n", function ? function : "?", tag ? tag : "");
    std::raise(signal);
}

} // namespace

int TestRegistry::runAll(int argc, char *argv[])
{
    std::signal(SIGABRT, reportAbort);
    // Options go to every class; function names only to the class that has them.
    static const std::set<std::string> withValue{"-o",          "-maxwarnings", "-eventdelay", "-keydelay",
                                                 "-mousedelay", "-seed",        "-platform",   "--class"};
    static char noCrashHandler[] = "-nocrashhandler";
    std::vector<char *> options{argv[0], noCrashHandler};
    std::vector<char *> functions;
    std::string onlyClass;
    for (int i = 1; i < argc; ++i) {
        const bool takesValue = withValue.count(argv[i]) > 0 && i + 1 < argc;
        if (std::string(argv[i]) == "--class" && takesValue)
            onlyClass = argv[++i];
        else if (argv[i][0] != '-')
            functions.push_back(argv[i]);
        else {
            options.push_back(argv[i]);
            if (takesValue)
                options.push_back(argv[++i]);
        }
    }
    int failures = 0;
    int ran = 0;
    for (const auto &[name, factory] : registry()) {
        const std::unique_ptr<QObject> test = factory();
        std::vector<char *> arguments = options;
        for (char *function : functions) {
            if (hasTestFunction(*test, function))
                arguments.push_back(function);
        }
        const bool skipped =
            (!onlyClass.empty() && name != onlyClass) || (!functions.empty() && arguments.size() == options.size());
        if (!skipped) {
            ++ran;
            failures += QTest::qExec(test.get(), int(arguments.size()), arguments.data());
        }
    }
    // A mistyped name runs nothing: that is no pass.
    if (ran == 0)
        std::fprintf(stderr, "no test class or function matches the arguments\n");
    return ran == 0 ? 1 : std::min(failures, 127);
}

int main(int argc, char *argv[])
{
    TestEnvironment::isolate();
    TestApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    QTEST_SET_MAIN_SOURCE_PATH
    return TestRegistry::runAll(argc, argv);
}
