#pragma once

#include <QObject>

#include <functional>
#include <memory>

// One test program runs several QtTest classes: each file registers its class with
// TANDRILL_TEST_CLASS, and the shared main (TestMain.cpp) isolates the environment, creates the
// application object and runs every registered class in turn.
//
// Command line: everything QtTest takes. "--class NAME" runs one class only; function names
// given without it run in whichever class has them.
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
