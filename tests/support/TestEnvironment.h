#pragma once

#include <QString>
#include <QtTest>

// Gives the test process a fresh temporary HOME and XDG directories before anything reads them,
// so no test ever touches the real user's home, settings or Dock file.
namespace TestEnvironment {
void isolate();
QString root(); // the temporary directory that holds the isolated home
} // namespace TestEnvironment
