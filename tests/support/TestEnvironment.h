#pragma once

#include <QString>
#include <QtTest>

// Gives the test process a fresh temporary HOME and XDG directories before anything reads them,
// so no test ever touches the real user's home, settings or Dock file.
namespace TestEnvironment {
void isolate();
QString root(); // the temporary directory that holds the isolated home
} // namespace TestEnvironment

#define TANDRILL_TEST_MAIN_IMPL(TestClass, AppClass)                                                               \
    int main(int argc, char *argv[])                                                                               \
    {                                                                                                              \
        TestEnvironment::isolate();                                                                                \
        AppClass app(argc, argv);                                                                                  \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                                   \
        TestClass test;                                                                                            \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                 \
        return QTest::qExec(&test, argc, argv);                                                                    \
    }

#define TANDRILL_TEST_MAIN(TestClass) TANDRILL_TEST_MAIN_IMPL(TestClass, QCoreApplication)
