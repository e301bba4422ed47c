#pragma once

#include <QObject>

#include <functional>
#include <memory>

// Each file registers its QtTest class; the shared main isolates the environment and runs them all.
// Command line: QtTest's; "--class NAME" runs one class only; a function runs in the class that has it.
namespace TestRegistry {
using Factory = std::function<std::unique_ptr<QObject>()>;
bool add(const char *className, Factory factory);
int runAll(int argc, char *argv[]);
} // namespace TestRegistry

#define TANDRILL_TEST_CLASS(TestClass)                                                                                 \
    namespace {                                                                                                        \
    [[maybe_unused]] const bool registered##TestClass =                                                                \
        TestRegistry::add(#TestClass, [] { return std::make_unique<TestClass>(); });                                   \
    }
