#include "TestMain.h"

#include "TestEnvironment.h"

#include <QMetaMethod>
#include <QtTest>

#ifdef TANDRILL_TEST_GUI
#include <QApplication>
using TestApplication = QApplication;
#else
using TestApplication = QCoreApplication;
#endif

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

std::map<std::string, TestRegistry::Factory> &registry()
{
    static std::map<std::string, TestRegistry::Factory> classes; // sorted: a stable order of runs
    return classes;
}

bool hasTestFunction(const QObject &test, const char *argument)
{
    QByteArray name(argument);
    name = name.left(name.indexOf(':')); // "function:dataTag"
    const QMetaObject *meta = test.metaObject();
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        if (meta->method(i).name() == name)
            return true;
    }
    return false;
}

} // namespace

bool TestRegistry::add(const char *className, Factory factory)
{
    registry().emplace(className, std::move(factory));
    return true;
}

int TestRegistry::runAll(int argc, char *argv[])
{
    // Split the arguments into options (kept for every class) and function names.
    std::vector<char *> options{argv[0]};
    std::vector<char *> functions;
    std::string onlyClass;
    static const std::vector<std::string> optionsWithValue{"-o",          "-maxwarnings", "-eventdelay", "-keydelay",
                                                           "-mousedelay", "-seed",        "-platform"};
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--class" && i + 1 < argc) {
            onlyClass = argv[++i];
        } else if (!argument.empty() && argument.front() == '-') {
            options.push_back(argv[i]);
            const bool takesValue =
                std::find(optionsWithValue.begin(), optionsWithValue.end(), argument) != optionsWithValue.end();
            if (takesValue && i + 1 < argc)
                options.push_back(argv[++i]);
        } else {
            functions.push_back(argv[i]);
        }
    }

    int failures = 0;
    for (const auto &[name, factory] : registry()) {
        if (!onlyClass.empty() && name != onlyClass)
            continue;
        const std::unique_ptr<QObject> test = factory();
        std::vector<char *> arguments = options;
        for (char *function : functions) {
            if (hasTestFunction(*test, function))
                arguments.push_back(function);
        }
        if (!functions.empty() && arguments.size() == options.size())
            continue; // none of the named functions is in this class
        failures += QTest::qExec(test.get(), static_cast<int>(arguments.size()), arguments.data());
    }
    return std::min(failures, 127);
}

int main(int argc, char *argv[])
{
    TestEnvironment::isolate();
    TestApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    QTEST_SET_MAIN_SOURCE_PATH
    return TestRegistry::runAll(argc, argv);
}
